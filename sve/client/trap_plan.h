// The trap host's plans: the stretches of code a trap runs, word by word, as
// it found them. The trap host makes them and runs them; trap_compile.h turns
// them into code.
#pragma once

#include <cstdint>

#include "sve/decode/sve_utils.h"
#include "sve/support/a64_scalar.h"

// A stretch of code a trap has run, as it was then: from a word at `pc`, each
// word with what runs it and where it is, on the way the code is expected to
// go: straight on, through B and BL, through a conditional branch the way a
// loop goes (backward taken, forward not), and through RET back after a BL of
// the plan. It ends at a word it cannot run, at a word it already holds (a
// loop), at the end of the page (see make_plan). Every word is compared with
// memory before it runs (in a compiled plan, all of them when it is called):
// a word that changed ends the plan there, and the plan is made again. A branch that goes the other way, or a RET elsewhere, ends
// the plan there too. A thread keeps kPlanSlots of them, each in one of the
// two slots of its address.
constexpr unsigned kPlanSteps = 41;  // a plan is 1 KiB
constexpr unsigned kPlanSlots = 64;
// A step's key: the word, and above it its kind. An emulated word's key is the
// word zero-extended, which one compare checks.
constexpr uint64_t kStepScalar = 1ull << 32;    // a register-only scalar word: its executor
constexpr uint64_t kStepConstant = 2ull << 32;  // PTRUE, PFALSE or SETFFR: a copy of 16 bytes, 16 times
constexpr uint64_t kStepMayMoveSp = 4ull << 32;  // a scalar word whose register 31 may be SP
constexpr unsigned kStepPieceShift = 36;        // a constant step: the offset of those bytes in the thread's record
constexpr unsigned kStepInlineShift = 36;       // a scalar step: its in-line kind (a64_inline_kind), when it has one
static_assert(kA64InlineKinds <= 16);
struct trap_step {
    union {
        sve_handler_fn sve;
        a64_scalar_fn scalar;
        uint64_t inline_value;     // a scalar step of an in-line kind: the value it needs
        unsigned char *predicate;  // the register a constant predicate write writes
    };
    uint64_t key;
    uint64_t at;  // the word's address
};
struct trap_plan {
    uint64_t pc;  // 0: none
    uint16_t count;
    uint8_t moves_sp;  // its last word is ADDVL or ADDPL to SP
    uint8_t emulated;  // emulated words in it
    uint8_t lead;      // scalar words before the first emulated one (all of them, without one)
    uint8_t trail;     // scalar words after the last emulated one
    uint16_t compiled;  // whether its steps have code in the thread's compiled plans (trap_compile.h), or its entries until then
    // After the last step, the entry whose `at` is where the plan goes on
    // when the last word went the expected way (kNoExpectedWay: none).
    trap_step steps[kPlanSteps + 1];
};
static_assert(sizeof(trap_plan) == 1024);
// No word is there: a branch without an expected way leaves the plan wherever it goes.
constexpr uint64_t kNoExpectedWay = 1;
