// The exponential accelerator and the two trigonometric accelerators.
#pragma once

#include <cstdint>

#include "sve/fplib/fp_types.h"


// Fraction fields of 2^(i/32) (10 bits), 2^(i/64) (23 bits) and 2^(i/64)
// (52 bits), rounded to nearest.
extern const uint16_t kFPEXPATable16[32];
extern const uint32_t kFPEXPATable32[64];
extern const uint64_t kFPEXPATable64[64];

// 2^(x / 2^k) from the input's bits: the exponent field comes from the input,
// the fraction from a table of 2^(i/32) (half) or 2^(i/64) (single, double).
// No rounding, no flags. Inline: an element loop of it is a few instructions
// an element.
template <typename T>
inline T FPEXPA(T x) {
    using F = FPFormat<T>;
    constexpr int kIndexBits = sizeof(T) == 2 ? 5 : 6;
    const T *table;
    if constexpr (sizeof(T) == 2)
        table = kFPEXPATable16;
    else if constexpr (sizeof(T) == 4)
        table = kFPEXPATable32;
    else
        table = kFPEXPATable64;
    const T index = T(x & ((T(1) << kIndexBits) - 1));
    const T exp = T((x >> kIndexBits) & F::EMAX);
    return T((exp << F::M) | table[index]);
}

// a * a rounded as FPMul, with the sign taken from bit 0 of b (NaNs unchanged).
template <typename T>
T FPTRISMUL(T a, T b, FPSCR &fpscr);

// coefficient[imm + (b negative ? 8 : 0)] + a * |b| with one rounding;
// imm is 0..7.
template <typename T>
T FPTRIMADD(int imm, T a, T b, FPSCR &fpscr);


// Sine-series (0..7) and cosine-series (8..15) coefficients.
extern const uint16_t kFPTRIMADDCoefficients16[16];
extern const uint32_t kFPTRIMADDCoefficients32[16];
extern const uint64_t kFPTRIMADDCoefficients64[16];
