// Element counts of the predicate-constraint patterns (POW2, VL1..VL256, MUL4,
// MUL3, ALL).
#pragma once

// Number of elements out of n that the 5-bit pattern selects.
unsigned int VecTrueILength(unsigned long pattern, int n);
