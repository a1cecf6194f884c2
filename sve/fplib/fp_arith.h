// Arithmetic on half, single and double encodings (T = uint16_t, uint32_t,
// uint64_t): every result is the correctly rounded one under the FPSCR's
// rounding mode, flush-to-zero and default-NaN controls; the raised
// exceptions are ORed into the FPSCR.
#pragma once

#include "sve/fplib/fp_types.h"

template <typename T>
T FPAdd(T a, T b, FPSCR &fpscr);
template <typename T>
T FPSub(T a, T b, FPSCR &fpscr);
template <typename T>
T FPMul(T a, T b, FPSCR &fpscr);
// As FPMul, except that infinity times zero is 2.0 (sign a XOR b), no flag.
template <typename T>
T FPMulX(T a, T b, FPSCR &fpscr);
// addend + a * b with one rounding.
template <typename T>
T FPMulAdd(T addend, T a, T b, FPSCR &fpscr);
template <typename T>
T FPDiv(T a, T b, FPSCR &fpscr);
template <typename T>
T FPSqrt(T a, FPSCR &fpscr);

// The fused multiply-add core: (a + b * c) * 2^scale with one rounding, a being
// the addend; mode and flags are the mode word and flags word.
template <typename T>
T fp_muladd(T a, T b, T c, int scale, int mode, int *flags);

uint16_t fp16_muladd(uint16_t a, uint16_t b, uint16_t c, int scale, int mode, int *flags);
uint32_t fp32_muladd(uint32_t a, uint32_t b, uint32_t c, int scale, int mode, int *flags);
uint64_t fp64_muladd(uint64_t a, uint64_t b, uint64_t c, int scale, int mode, int *flags);
