// SVE words that a compiled plan runs as code of its own instead of a call of
// their handlers: the predicate words of a loop's control (WHILELT, WHILELO,
// RDFFR, PTEST, CNTP, INCP, DECP, BRKA, BRKB) and the byte compares of a
// string loop (CMP<cc> Pd.B with an immediate or a vector), and a loop
// counter's vector-length arithmetic (INC, DEC and CNT by elements, RDVL,
// ADDVL, ADDPL), whose amounts are constants. Under a
// translator, a call and its return are two lookups of where the code goes,
// which cost more than these words' own work; on a processor they are a pair
// of branches the code no longer takes.
//
// Each form gives its handler's result, bit for bit, on any register file
// whose predicate bytes are 0 or 1 (as cpu_state keeps them). A form may leave
// rarer states to the handler (PTEST under a governing predicate whose first
// or last element is inactive).
#pragma once

#include <cstdint>

namespace a64_emit {
struct emitter;
}

// Writes WORD's form into E and returns true, with *FALLBACK null or a branch
// (its offset 0) that the caller points at a call of WORD's handler, and that
// is taken before the form changed anything. Returns false, with nothing
// written, when WORD has no form.
bool emit_sve_form(a64_emit::emitter &e, uint32_t word, uint32_t **fallback);
