// Integer building blocks of the floating-point library: 128-bit words,
// leading-zero counts, right shifts that keep a sticky bit, and exact integer
// square roots.
#pragma once

#include <cstdint>

typedef unsigned __int128 fp_u128;

template <typename U>
inline constexpr int fp_width = int(8 * sizeof(U));

// Number of leading zero bits of a non-zero word of 16 to 128 bits.
template <typename U>
inline int fp_clz(U x) {
    if constexpr (sizeof(U) <= 4) {
        return __builtin_clz(uint32_t(x)) - (32 - fp_width<U>);
    } else if constexpr (sizeof(U) == 8) {
        return __builtin_clzll(uint64_t(x));
    } else {
        const uint64_t hi = uint64_t(x >> 64);
        return hi ? __builtin_clzll(hi) : 64 + __builtin_clzll(uint64_t(x));
    }
}

// Mask of the n low bits, 0 <= n < width.
template <typename U>
inline constexpr U fp_low_mask(int n) {
    return U((U(1) << n) - 1);
}

// x >> n with every bit shifted out ORed into bit 0 (n >= 0; any n at or
// above the width leaves only the sticky bit).
template <typename U>
inline U fp_shr_sticky(U x, int n) {
    if (n == 0) return x;
    if (n >= fp_width<U>) return U(x != 0);
    return U((x >> n) | U((x & fp_low_mask<U>(n)) != 0));
}

// Starting points for the square-root iteration: for t in [64, 256),
// the smallest integer not below sqrt((t + 1) * 2^24).
struct FPSqrtSeedTable {
    uint32_t v[192];
};

inline constexpr FPSqrtSeedTable fp_make_sqrt_seeds() {
    FPSqrtSeedTable t{};
    for (int i = 0; i < 192; ++i) {
        const uint64_t n = uint64_t(64 + i + 1) << 24;
        uint64_t lo = 0, hi = 1u << 16;  // ceil(sqrt(n)) lies in (lo, hi]
        while (hi - lo > 1) {
            const uint64_t mid = (lo + hi) / 2;
            if (mid * mid >= n)
                hi = mid;
            else
                lo = mid;
        }
        t.v[i] = uint32_t(hi);
    }
    return t;
}

inline constexpr FPSqrtSeedTable kFPSqrtSeeds = fp_make_sqrt_seeds();

// floor(sqrt(n)) for 2^56 <= n < 2^64.
inline uint64_t fp_isqrt64(uint64_t n) {
    // Scale so that the top bits t = n >> sh (sh even) lie in [64, 256).
    const int sh = (57 - __builtin_clzll(n)) & ~1;
    const uint64_t t = n >> sh;
    // Overestimate: ceil(sqrt((t + 1) * 2^24)) * 2^(sh/2 - 12), relative error below 2^-7.
    uint64_t x = (uint64_t(kFPSqrtSeeds.v[t - 64]) << (sh / 2)) >> 12;
    // Two Newton steps from above (each one roughly doubles the correct bits
    // and never falls below floor(sqrt(n))) leave x within a few units.
    x = (x + n / x) >> 1;
    x = (x + n / x) >> 1;
    while (fp_u128(x) * x > n) --x;
    return x;
}

// floor(sqrt(n)) for n >= 2^64.
inline uint64_t fp_isqrt128(fp_u128 n) {
    // Scale by an even power of two so that the top bit is bit 126 or 127.
    const int k = fp_clz(n) >> 1;
    n <<= 2 * k;
    // sqrt of the top 64 bits gives sqrt(n) to about 2^-31 (from above); one
    // Newton step with one 128-by-64 division leaves an error of a unit or so.
    fp_u128 x = (fp_u128(fp_isqrt64(uint64_t(n >> 64))) + 1) << 32;
    x = (x + n / x) >> 1;
    uint64_t r = (x >> 64) ? ~uint64_t(0) : uint64_t(x);
    while (fp_u128(r) * r > n) --r;
    // floor(sqrt(n * 4^k)) >> k == floor(sqrt(n)).
    return r >> k;
}
