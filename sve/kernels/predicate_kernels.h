// Predicate initialisation, logic, tests and counts.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_pfalse_p(cpu_state *state, aarch64_p_reg pd);
aarch64_decode_rc sve_ptrue_pi(cpu_state *state, aarch64_p_reg pd, int pattern);

// Element count of a predicate-constraint pattern at an element size in bytes.
unsigned pattern_element_count(unsigned pattern, unsigned esize);
