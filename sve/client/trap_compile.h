// Plans as code. A trap that runs a plan word by word pays for its dispatch at
// every step: reading the step, finding its kind, decoding its registers, and
// (under a translator, where this host is often run) one lookup for every
// jump through a register. A compiled plan is the same steps as straight-line
// AArch64 code: each scalar word of an in-line kind runs as itself, on its
// operands loaded from the register file into scratch registers; each
// emulated word, each executor and each constant predicate write is a call or
// a copy in place; and each way out of the plan is a branch to an exit.
//
// A compiled plan does what the trap host's own loop does with the plan, step
// by step, except that it compares the plan's words with memory all at once
// when it is called (and does not run when one changed), not before each
// word, nor before each pass of a loop plan. It stops at a
// handler's failure and at an executor that declines,
// and leaves at a branch that goes another way than the plan's (or a RET
// elsewhere) and after a scalar word that leaves SP below the floor. What the
// trap counts and where it goes on are the caller's, from the exit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sve/client/trap_plan.h"
#include "sve/state/cpu_state.h"

// How a compiled plan ended, at its step `step`:
enum compiled_exit_reason : uint32_t {
    kCompiledEnd = 0,       // every step ran, the way the plan expects
    kCompiledBranched = 1,  // the step ran and the program goes on at `next`
    kCompiledChanged = 2,   // a word is not the plan's any more; no step ran (the step is 0)
    kCompiledFailed = 3,    // the step's handler returned `next` (a decode result); it did not run
    kCompiledDeclined = 4,  // the step's executor declined it; it did not run
};
struct compiled_exit {
    uint64_t next;
    uint64_t code;  // passes left << 32 | step << 8 | reason
};
// A plan that ends where it starts (a loop) runs up to PASSES times before it
// returns, its words checked before the first; any other plan runs once
// (PASSES 1). The passes left at the exit count the one that ended it: a
// plan that ran to its end every time leaves 0.
using compiled_plan_fn = compiled_exit (*)(cpu_state *st, uint64_t sp_floor, uint64_t passes);

// Whether compile_plan makes PLAN's code go round again at its end.
inline bool compiled_plan_loops(const trap_plan &plan) {
    return plan.steps[plan.count].at == plan.pc && plan.emulated != 0 && plan.moves_sp == 0;
}

// The bytes of code and constants one plan may need.
inline constexpr size_t kCompiledPlanBytes = 8192;

// Writes the code of PLAN into the KCOMPILEDPLANBYTES at AREA (executable and
// writable) and makes it visible to instruction fetch. RECORD is where the
// constant steps' piece offsets point from. Returns the entry, or null when a
// step has no compiled form or the code does not fit: the plan then runs
// word by word.
compiled_plan_fn compile_plan(const trap_plan &plan, const unsigned char *record, uint32_t *area);
