// Conversions: between the three precisions, floating point to fixed point
// with saturation, 64-bit integers to floating point, and rounding to an
// integral value. These take an explicit rounding; the FPSCR supplies the
// flush-to-zero, default-NaN and alternative-half-precision controls and
// receives the exceptions.
#pragma once

#include "sve/fplib/fp_types.h"

// Precision conversion From -> To (uint16_t, uint32_t, uint64_t encodings).
template <typename From, typename To>
To FPConvert(From x, FPRounding rounding, FPSCR &fpscr);

// x * 2^fbits as a signed or unsigned integer of To's width (uint16_t,
// uint32_t or uint64_t; the result is its two's complement bit pattern),
// saturating with IOC when out of range.
template <typename From, typename To>
To fplibFPToFixed(From x, int fbits, bool is_unsigned, FPRounding rounding, FPSCR &fpscr);

// The shared core: a value in double-precision unpacked form (exponent in
// double bias, at most 1086) to a 64-bit integer. flags is the flags word.
uint64_t FPToFixed_64(int sgn, int exp, uint64_t mnt, bool is_unsigned, FPRounding rounding, int *flags);

// The 64-bit integer x (signed or unsigned) divided by 2^fbits, rounded.
template <typename To>
To fplibFixedToFP(uint64_t x, int fbits, bool is_unsigned, FPRounding rounding, FPSCR &fpscr);

// x rounded to an integral value in the same format; with exact set, an
// inexact result raises IXC.
template <typename T>
T FPRoundInt(T x, FPRounding rounding, bool exact, FPSCR &fpscr);
