// Unsigned reciprocal and reciprocal-square-root estimates of 32-bit fixed-point
// operands (the integer estimate instructions), with the 8-bit estimators they
// are built on.
#pragma once

#include <cstdint>

// 1/a to 8 fractional bits, for a in [0.5, 1): a is first rounded to the middle
// of its 1/512 step. The result lies in [1, 2).
double recip_estimate(double a);

// 1/sqrt(a) to 8 fractional bits, for a in [0.25, 1): a is first rounded to the
// middle of its 1/512 step (below 0.5) or 1/256 step (from 0.5). The result
// lies in [1, 2).
double recip_sqrt_estimate(double a);

// Reciprocal estimate of x read as a fraction in [0, 1); 0xFFFFFFFF when
// x < 0.5. Only 32-bit operands exist, so the width is not used.
uint32_t UnsignedRecipEstimate(uint32_t x, int n);

// Reciprocal square-root estimate of x read as a fraction in [0, 1);
// 0xFFFFFFFF when x < 0.25. The width is not used.
uint32_t UnsignedRSqrtEstimate(uint32_t x, int n);
