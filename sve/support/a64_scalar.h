// The scalar A64 instructions that join SVE runs into loops: branches,
// integer arithmetic, logic, moves, shifts, compares and selects on the general
// registers. None reads or writes memory, the vector or FP registers, or can
// fault, so a host may execute them on the emulated register file and carry on
// with the next SVE word without going back to native code.
//
// Branches through a register are limited to RET: BR and BLR set the branch
// type that a guarded page checks at the target, which native execution must
// see.
#pragma once

#include <cstdint>

#include "sve/state/cpu_state.h"

// Executes WORD, fetched from PC, on the X registers, SP and NZCV of S when it is
// one of these instructions, sets *NEXT to the address of the instruction that
// follows it (the branch target when a branch is taken) and returns true.
// Returns false, with S untouched, for every other word, including unallocated
// encodings.
bool a64_scalar_step(cpu_state &s, uint32_t word, uint64_t pc, uint64_t *next);

// Whether WORD is one of these instructions and not a branch: execution always
// goes on with the next word.
bool a64_scalar_straight(uint32_t word);

// The condition COND (0-15, as in B.cond) on the NZCV image (N bit 31, Z 30,
// C 29, V 28).
[[gnu::always_inline]] inline bool a64_condition_holds(unsigned cond, uint64_t nzcv) {
    const bool n = (nzcv >> 31) & 1, z = (nzcv >> 30) & 1, c = (nzcv >> 29) & 1, v = (nzcv >> 28) & 1;
    bool r;
    switch (cond >> 1) {
        case 0: r = z; break;
        case 1: r = c; break;
        case 2: r = n; break;
        case 3: r = v; break;
        case 4: r = c && !z; break;
        case 5: r = n == v; break;
        case 6: r = n == v && !z; break;
        default: r = true; break;
    }
    return (cond & 1) != 0 && cond != 15 ? !r : r;
}
