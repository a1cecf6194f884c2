// Reciprocal and reciprocal-square-root estimates, their fused Newton-Raphson
// steps, the reciprocal exponent and scaling by a power of two.
#pragma once

#include <cstdint>

#include "sve/fplib/fp_types.h"

// 1/x with an 8-bit significand estimate.
template <typename T>
T FPRecipEstimate(T x, FPSCR &fpscr);
// 1/sqrt(x) with an 8-bit significand estimate.
template <typename T>
T FPRSqrtEstimate(T x, FPSCR &fpscr);
// 2 - a * b with one rounding.
template <typename T>
T FPRecipStepFused(T a, T b, FPSCR &fpscr);
// (3 - a * b) / 2 with one rounding.
template <typename T>
T FPRSqrtStepFused(T a, T b, FPSCR &fpscr);
// The reciprocal exponent: the exponent field inverted, fraction cleared.
template <typename T>
T FPRecpX(T x, FPSCR &fpscr);

// x * 2^n, rounded under the FPSCR.
template <typename T>
T FPScale(T x, long n, FPSCR &fpscr);
uint16_t FPScale16(uint16_t x, short n, FPSCR &fpscr);
uint32_t FPScale32(uint32_t x, int n, FPSCR &fpscr);
uint64_t FPScale64(uint64_t x, long n, FPSCR &fpscr);

// The architecture's integer reciprocal square root estimate of a in
// [128, 512), a fixed-point value in [0.25, 1) with 512 as one: the result
// in [256, 512) approximates 512 / sqrt(a), rounded to nearest.
constexpr int fp_recip_sqrt_estimate(int a) {
    if (a < 256) {
        a = a * 2 + 1;  // units of 1/1024, centre of the interval
    } else {
        a = (a >> 1) << 1;
        a = (a + 1) * 2;  // units of 1/1024 with the last bit dropped
    }
    int64_t b = 512;
    while (int64_t(a) * (b + 1) * (b + 1) < (int64_t(1) << 28)) ++b;
    return int((b + 1) / 2);
}

// The 256 reciprocal-square-root estimate bytes (the estimate less 256),
// indexed by the exponent's parity (bit 7 set for an even exponent) and the
// seven fraction bits after the leading one.
struct FPRSqrtEstimateTable {
    uint8_t v[256];
};

constexpr FPRSqrtEstimateTable fp_make_rsqrt_estimate_table() {
    FPRSqrtEstimateTable t{};
    for (int i = 0; i < 256; ++i) {
        const int a = i < 128 ? 128 + i : 256 + 2 * (i - 128);
        t.v[i] = uint8_t(fp_recip_sqrt_estimate(a) - 256);
    }
    return t;
}

inline constexpr FPRSqrtEstimateTable kFPRSqrtEstimateTable = fp_make_rsqrt_estimate_table();
