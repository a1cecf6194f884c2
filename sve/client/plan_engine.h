// Running a thread's code by its plans (trap_plan.h): SVE words through their
// handlers, and the register-only scalar words that join them into loops and
// calls executed on the register file too, stretch by stretch, compiled where
// the thread has room for code (trap_compile.h). A host enters it at an
// emulated word and gets back where the program goes on; it keeps one engine
// per thread. The trap host runs every trap through it; the DynamoRIO client
// goes on through it after a run of its block, where that pays.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sve/client/trap_plan.h"
#include "sve/decode/emulated_words.h"
#include "sve/state/cpu_state.h"
#include "sve/support/profile.h"

// The 16 bytes a constant step copies: zeros (PFALSE), then every element true
// for each element size (PTRUE). A step's key holds the offset of its piece
// from the engine's start.
constexpr unsigned kPlanPieces = 5;
// The pages an engine's entries started in lately.
constexpr unsigned kCodePages = 4;

// A run carries on through at most this many instructions (SVE and scalar)
// before it returns to native code, and through at most this many scalar
// instructions between two SVE ones: a scalar loop runs natively. Signals wait
// while a run goes on; 8,192 steps are some tens of microseconds of emulation,
// while a trap's own round trip through the kernel costs a few: one trap per
// 1,024 steps was a tenth of the time of a short SVE loop called in a loop.
constexpr unsigned kStepsPerTrap = 8192;
constexpr unsigned kScalarStepsBetweenRuns = 32;

struct plan_engine {
    trap_plan plans[kPlanSlots];
    alignas(16) unsigned char pieces[kPlanPieces][16];
    recognised_words recognised;  // recognising a word walks up to 44 dispatch tables
    // The handler of an emulated word, or null (the host's choice of words).
    sve_handler_fn (*emulated)(uint32_t word);
    size_t page_bytes;
    // Emulated and scalar instructions run, for the host's counters.
    uint64_t instructions;
    uint64_t scalar_steps;
    sve_profile_thread *profile;  // null unless SVE_PROFILE is set
    // The last pages entries of this thread started in, which the processor
    // executed from: a stretch may go on into one of them from the page next
    // to it (0: none).
    uint64_t code_pages[kCodePages];
    unsigned next_code_page;
    // The code of the plans, kCompiledPlanBytes for each slot; null where the
    // process may not map memory both writable and executable, or when
    // profiling (the plans then run word by word).
    uint32_t *compiled;
};

// Fills the constant pieces of a zero-filled engine and sets its host's
// choices; COMPILED is the thread's kPlanSlots * kCompiledPlanBytes of code
// (writable and executable), or null.
void plan_engine_init(plan_engine &e, sve_handler_fn (*emulated)(uint32_t), size_t page_bytes, uint32_t *compiled,
                      sve_profile_thread *profile);

struct run_end {
    const uint32_t *at;  // where the program goes on, or the word that failed
    aarch64_decode_rc rc;
};

// Emulates from AT on the thread's state ST, stretch by stretch, each by its
// plan: SVE words, and the register-only scalar words that join them into
// loops and calls. Stops at any other word (AT's own, when it is one: nothing
// runs); at SP below SP_FLOOR (when not zero); at a word outside AT's page
// and the pages on either side of it that entries started in; after
// kStepsPerTrap steps; before going past kScalarStepsBetweenRuns scalar
// instructions in a row; and at a handler's failure (RC says which). ST.pc is
// each emulated word's address while it runs, for a fault's report.
//
// HOME (null: none) is where the host would rather it stopped: once the steps
// are used up, it goes on word by word until it comes to HOME, for at most as
// many steps again.
run_end run_plans(plan_engine &e, cpu_state &st, const uint32_t *at, uint64_t sp_floor,
                  const uint32_t *home = nullptr);
