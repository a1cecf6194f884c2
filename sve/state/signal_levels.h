// The SVE-only state across a program's signal handlers.
//
// An SVE processor's kernel saves Z0-Z31, P0-P15 and FFR in the signal frame
// when it delivers a signal and puts them back at sigreturn: bytes 0-15 of each
// Z register from the frame's V registers (so a handler that edits them in its
// ucontext changes them), everything else as it was. A host cannot hand that
// state to the kernel, so it keeps it here: one level per program handler that
// is running on the thread, and a copy of the SVE-only state taken only when
// the handler executes its first SVE instruction (a handler that runs no SVE
// pays for entering and leaving its level and nothing else).
//
// A handler that leaves by siglongjmp never reaches its end. Its level is
// noticed as abandoned the next time the thread is observed outside it (the
// next emulated instruction, signal or sigreturn): the code then runs above the
// handler's frame, or off the alternate stack the handler ran on. An abandoned
// level is discarded without restoring anything, as the kernel restores nothing
// on siglongjmp.
//
// The record is per thread and only touched by its own thread; a host updates
// it with asynchronous signals blocked or from the thread's own signal handlers,
// which nest in stack order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sve/state/cpu_state.h"

// What sigreturn gives back from the kernel's copy rather than from the frame's
// FP/SIMD record.
struct sve_upper_state {
    unsigned char z_upper[32][kVecBytes - 16];  // bytes 16-255 of Z0-Z31
    unsigned char p[16][kVecBytes];
    unsigned char ffr[kVecBytes];
};

struct sve_signal_level {
    uintptr_t frame_sp;      // the handler's stack pointer when it was entered
    uintptr_t alt_lo;        // the alternate stack the handler runs on, when
    uintptr_t alt_hi;        //   on_altstack: [alt_lo, alt_hi)
    bool on_altstack;
    bool saved;              // `copies[depth]` holds the interrupted state
};

// Deeper nesting than this is followed (entries and exits stay paired) but
// not protected: such levels get no copy.
inline constexpr unsigned kMaxSignalLevels = 32;

struct sve_signal_levels {
    unsigned depth;  // program handlers running on the thread, levels [0, depth)
    sve_signal_level level[kMaxSignalLevels];
    // One save area per level, obtained from the host on first need and kept
    // for the thread's life.
    sve_upper_state *copies[kMaxSignalLevels];
    uint64_t saves;      // copies taken (for tests and measurements)
    uint64_t restores;   // copies put back
    uint64_t abandoned;  // levels discarded because their handler was left by a jump
};

// Where a handler runs, as a host learns it at delivery.
struct sve_handler_frame {
    uintptr_t frame_sp;  // the handler's stack pointer at entry
    uintptr_t alt_lo;    // the thread's alternate stack at delivery, when one is
    uintptr_t alt_hi;    //   set up (alt_lo == alt_hi when none)
};

// A host's source of save areas: returns zeroed memory of sizeof(sve_upper_state)
// bytes or null (the level then goes unprotected).
using sve_copy_alloc_fn = sve_upper_state *(*)();

void sve_save_upper_state(const cpu_state &st, sve_upper_state &out);
void sve_restore_upper_state(const sve_upper_state &in, cpu_state &st);

// Discards the innermost levels whose handler the thread has left, seen from
// code running with stack pointer `sp`.
void sve_signal_levels_unwind(sve_signal_levels &levels, uintptr_t sp);

// A program handler is about to run; `interrupted_sp` is the stack pointer of
// the code the signal interrupted.
void sve_signal_levels_enter(sve_signal_levels &levels, const sve_handler_frame &frame,
                             uintptr_t interrupted_sp);

// The handler entered with `frame_sp` returns (sigreturn). Levels entered after
// it and never left are discarded; its own copy, if any, goes back into `st`
// (null when the thread has no register file yet; then there is nothing to
// restore). A frame that no level knows changes nothing and returns false.
bool sve_signal_levels_leave(sve_signal_levels &levels, uintptr_t frame_sp, cpu_state *st);

// Before an SVE instruction that code at `sp` executes: inside a handler whose
// level has no copy yet, take one. Returns true when a copy was taken now. The
// common case (no handler running) is the inline test.
bool sve_signal_levels_before_sve_slow(sve_signal_levels &levels, uintptr_t sp,
                                       const cpu_state &st, sve_copy_alloc_fn alloc);
inline bool sve_signal_levels_before_sve(sve_signal_levels &levels, uintptr_t sp,
                                         const cpu_state &st, sve_copy_alloc_fn alloc) {
    if (levels.depth == 0) return false;
    return sve_signal_levels_before_sve_slow(levels, sp, st, alloc);
}
