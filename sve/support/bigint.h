// 256-bit two's-complement integers, for intermediate results that can exceed
// the 128-bit wide integer.
#pragma once

#include <cstdint>

#include "sve/support/bit_helpers.h"
#include "sve/support/saturation.h"
#include "sve/support/wide_int.h"

namespace sve_support {

// Four 64-bit words, least significant first.
struct BigInt {
    uint64_t w[4];
};

constexpr bool big_is_negative(const BigInt &a) { return (a.w[3] >> 63) != 0; }

// w sign-extended to 256 bits.
constexpr BigInt toBigInt(WideInt w) {
    const uint64_t fill = w < 0 ? ~uint64_t{0} : 0;
    return {{bits(w), bits(w >> 64), fill, fill}};
}

// a + b modulo 2^256.
constexpr BigInt AddBigInt(BigInt a, BigInt b) {
    BigInt r{};
    uint64_t carry = 0;
    for (int i = 0; i < 4; ++i) {
        const uint64_t s = a.w[i] + b.w[i];
        const uint64_t c1 = s < a.w[i];
        r.w[i] = s + carry;
        carry = c1 | (r.w[i] < s);
    }
    return r;
}

// Arithmetic right shift by n. n <= 0 returns a unchanged; n >= 256 gives the
// sign fill.
constexpr BigInt ShiftRightBigInt(BigInt a, int n) {
    if (n <= 0) return a;
    const uint64_t fill = big_is_negative(a) ? ~uint64_t{0} : 0;
    if (n >= 256) return {{fill, fill, fill, fill}};
    const int words = n / 64;
    const int sh = n % 64;
    BigInt r{};
    for (int i = 0; i < 4; ++i) {
        const int src = i + words;
        const uint64_t lo = src < 4 ? a.w[src] : fill;
        const uint64_t hi = src + 1 < 4 ? a.w[src + 1] : fill;
        r.w[i] = sh == 0 ? lo : (lo >> sh) | (hi << (64 - sh));
    }
    return r;
}

// a saturated to n bits (n = 1..64). The value is an n-bit pattern,
// zero-extended; the signed minimum comes back as 2^(n-1).
constexpr SatPair SatQBigInt(BigInt a, int n, int is_unsigned) {
    n = clamp_width(n, 64);
    const uint64_t mask = width_mask(n);
    const bool high_zero = (a.w[1] | a.w[2] | a.w[3]) == 0;
    if (is_unsigned == 1) {
        if (big_is_negative(a)) return {0, true};
        if (high_zero && (a.w[0] & ~mask) == 0) return {a.w[0], false};
        return {mask, true};
    }
    const uint64_t min = uint64_t{1} << (n - 1);  // 2^(n-1), the signed minimum's pattern
    if (!big_is_negative(a)) {
        if (high_zero && a.w[0] <= min - 1) return {a.w[0] & mask, false};
        return {min - 1, true};
    }
    const bool high_ones = (a.w[1] & a.w[2] & a.w[3]) == ~uint64_t{0};
    const uint64_t sign_part = ~(min - 1);  // bits n-1..63
    if (high_ones && (a.w[0] & sign_part) == sign_part) return {a.w[0] & mask, false};
    return {min, true};
}

}  // namespace sve_support

// The architectural names, for unqualified use; other helpers stay qualified.
using sve_support::BigInt;
using sve_support::toBigInt;
using sve_support::AddBigInt;
using sve_support::ShiftRightBigInt;
using sve_support::SatQBigInt;
