// Parts of the DynamoRIO client libsve_2048.so shared between its files.
//
//   sve_client.cpp              start-up, threads, block rewriting, emulation entry
//   plan_engine.cpp             going on past a run through the code that follows it
//   dr_translation.cpp          the state of a thread stopped inside an inline sequence
//   dr_signal_frames.cpp        the SVE-only state across the program's signal handlers
//   dr_processor_identity.cpp   what the program learns about the processor: HWCAP,
//                               the vector-length prctl calls, the ID registers
#pragma once

#include <cstdint>

#include "dr_api.h"
#include "sve/client/plan_engine.h"
#include "sve/state/cpu_state.h"
#include "sve/state/signal_levels.h"
#include "sve/decode/emulated_words.h"
#include "sve/support/profile.h"

// Everything the client keeps per application thread, in one block from the
// thread's own heap, zeroed when the thread starts.
struct dr_thread_data {
    // The register file the inline code stores into and loads from; it comes
    // first, so that the inline code addresses its fields from the block's start.
    cpu_state state;
    // Non-zero from the moment emulate_run has written the results of its run
    // of instructions into `state` until the inline code of the next run
    // clears it (before its call).
    uint64_t emulated;
    // The top of the thread's emulation stack, which emulate_run and
    // emulate_register_run run on (16-byte aligned).
    unsigned char *emulation_stack_top;
    // Non-zero when the inline code must leave through a clean call
    // (deliver_pending) after the emulation entry: kPendingFault when it
    // caught a fault of an emulated access, which the application gets;
    // kPendingResume when it went on past the run, to `resume_pc`.
    uint64_t fault_pending;
    // Where the program goes on after the emulation entry returned, when it
    // went on past the end of its run (null: at the run's end).
    const unsigned char *resume_pc;
    // What the entries go on through past a run's end (null until the
    // thread's first such run; see go_on_past_run).
    plan_engine *engine;
    // The instruction whose emulated access faulted and was handed to the
    // program as a signal, or null.
    const unsigned char *faulted_pc;
    // PR_SVE_VL_INHERIT as the thread last set it.
    bool vl_inherit;
    sve_signal_levels signal_levels;
    // The thread's framework context (for the try/except of emulate_run).
    void *drcontext;
    // The thread's profile record (null unless SVE_PROFILE is set).
    sve_profile_thread *profile;
    // Words this thread has looked up (the answers never change once the first
    // block is built).
    recognised_words recognised;
};

// The inline code clears `emulated` through the record's base register.
// and reads the other two through it, one load each.
static_assert(offsetof(dr_thread_data, state) == 0);
static_assert(offsetof(dr_thread_data, emulated) % 8 == 0 &&
              offsetof(dr_thread_data, emulated) / 8 < 4096);
static_assert(offsetof(dr_thread_data, emulation_stack_top) % 8 == 0 &&
              offsetof(dr_thread_data, emulation_stack_top) / 8 < 4096);
static_assert(offsetof(dr_thread_data, fault_pending) % 8 == 0 &&
              offsetof(dr_thread_data, fault_pending) / 8 < 4096);

constexpr uint64_t kPendingFault = 1, kPendingResume = 2;

// The calling thread's (or a stopped thread's) data.
dr_thread_data *client_thread_data(void *drcontext);

// The two registers the inline code borrows go to these framework spill slots
// first (both addressed from the stolen register, so that saving them takes one
// instruction each): X26 holds scratch values and X27 the record address. The
// save half then copies both into the record, and the load-back half takes them
// from there. X28, the framework's stolen register, has the application's value in
// the framework's own copy, which the inline code moves to and from the record.
inline constexpr dr_spill_slot_t kSlotX26 = static_cast<dr_spill_slot_t>(1);
inline constexpr dr_spill_slot_t kSlotX27 = static_cast<dr_spill_slot_t>(2);

// Positions in the inline sequence that replaces a run of SVE instructions,
// marked by labels (notes from drmgr's range, the run's first address and the
// address after it in the label's data) so that a stopped thread's position
// can be found in the fragment's instruction list.
enum sequence_mark : unsigned {
    kMarkStart,      // nothing saved yet
    kMarkX26Saved,   // X26 is in its slot
    kMarkX27Saved,   // X27 too; the rest of the save half stores into the record
    kMarkCall,       // the record holds the run's inputs; the call follows
    kMarkLoadBack,   // the call has returned: the record holds the results
    kMarkEnd,        // every register is the program's again
    // In the inline code of constant predicate writes (PTRUE, PFALSE), which
    // store into the record themselves without a call: the instruction from
    // `pc` to `end` is being written, those before it are done, and X26 and
    // X27 are in their slots.
    kMarkConstant,
    kMarkCount
};

// Creates the label for `mark` of the sequence standing for the run of SVE
// instructions from `pc` to `end` (the address after the run's last one);
// `word` is the instruction of a kMarkConstant mark.
instr_t *sequence_label(void *drcontext, sequence_mark mark, app_pc pc, app_pc end, uint32_t word = 0);

// Start-up of the parts in their own files.
void translation_init();
void translation_exit();
void signal_frames_init();
void processor_identity_init();
void processor_identity_thread_init(dr_thread_data *data);

// Called for every application instruction of a new block that is not SVE:
// replaces a read of an ID register that describes SVE (`word` is the
// instruction's encoding) by the value an SVE processor gives.
void rewrite_id_register_read(void *drcontext, instrlist_t *bb, instr_t *instr, uint32_t word);

// Called with the first block the process builds, at its start: the program's
// initial stack still holds the auxiliary vector its loader is about to read.
// Also finds out whether the processor lacks the half-precision instructions.
void mark_sve_in_auxiliary_vector(void *drcontext);

// The handler of an instruction the client emulates, or null: SVE, and the
// half-precision scalar and Advanced SIMD instructions where the processor
// lacks them (an Armv8.0 core).
sve_handler_fn emulated_handler(uint32_t word);
bool emulating_half_precision();

// Whether a SIGILL would end the program: it has no handler of its own.
bool program_sigill_is_default();

// The save areas for the SVE-only state across signal handlers: zeroed, from the
// calling thread's heap; freed with the thread.
sve_upper_state *allocate_upper_state();
void free_upper_states(void *drcontext, sve_signal_levels &levels);
