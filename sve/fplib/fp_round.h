// Rounding and packing: the one place where an exact (or exact-plus-sticky)
// result becomes an encoding, with overflow, underflow, flush-to-zero and
// inexact decided here.
#pragma once

#include "sve/fplib/fp_bits.h"
#include "sve/fplib/fp_types.h"

// Rounds (-1)^sgn * 2^(exp - B) * (1 + mnt / 2^W) to the format of T.
// mnt holds the fraction bits after the leading one, left-aligned in W bits;
// its bit 0 is sticky. exp is biased and may be zero or negative. rm is the
// rounding (0..5), mode the mode word (flush bits and AHP), flags collects
// the exceptions. Tininess is detected before rounding.
template <typename T>
inline T fp_round_(int sgn, int exp, T mnt, int rm, int mode, int *flags) {
    using F = FPFormat<T>;
    constexpr int W = F::W, M = F::M;

    if (exp < 1 && (mode & F::FZ_BIT)) {
        *flags |= FPSCR_UFC;
        return fp_zero<T>(sgn);
    }

    // Leading one at bit M + 2, then the fraction, a round bit and a sticky bit.
    constexpr int drop = W - M - 2;
    const uint64_t m = (uint64_t(1) << (M + 2)) | uint64_t(mnt >> drop) |
                       uint64_t((mnt & fp_low_mask<T>(drop)) != 0);

    int e;
    uint64_t s;
    int r;  // 0 exact, 1 below half an ulp, 2 exactly half, 3 above half
    if (exp >= 1) {
        e = exp;
        s = m >> 2;
        r = int(m & 3);
    } else {
        e = 0;
        const int sh = 1 - exp;  // m >> sh keeps the round bit in bit 1
        s = sh + 2 >= 64 ? 0 : m >> (sh + 2);
        if (sh >= 64)
            r = 1;
        else
            r = int((m >> sh) & 3) | int((m & fp_low_mask<uint64_t>(sh)) != 0);
    }

    if (e == 0 && r != 0) *flags |= FPSCR_UFC;

    bool up;
    switch (rm) {
    case FPRounding_TIEEVEN: up = r == 3 || (r == 2 && (s & 1)); break;
    case FPRounding_POSINF: up = r != 0 && !sgn; break;
    case FPRounding_NEGINF: up = r != 0 && sgn; break;
    case FPRounding_TIEAWAY: up = r >= 2; break;
    default: up = false; break;
    }
    if (up) {
        ++s;
        if (s == (uint64_t(1) << M)) {
            e = 1;  // a subnormal rounded up to the smallest normal
        } else if (s == (uint64_t(2) << M)) {
            ++e;
            s >>= 1;
        }
    }
    if (rm == FPRounding_ODD && r != 0) s |= 1;

    if (W == 16 && (mode & FPMODE_AHP)) {
        // Alternative half precision: exponent 31 is finite, no infinities.
        if (e >= 32) {
            *flags |= FPSCR_IOC;
            return T(fp_zero<T>(sgn) | 0x7FFF);
        }
    } else if (e >= F::EMAX) {
        *flags |= FPSCR_OFC | FPSCR_IXC;
        const bool to_inf = rm == FPRounding_TIEEVEN || rm == FPRounding_TIEAWAY ||
                            (rm == FPRounding_POSINF && !sgn) || (rm == FPRounding_NEGINF && sgn);
        return to_inf ? fp_infinity<T>(sgn) : fp_max_normal<T>(sgn);
    }

    if (r != 0) *flags |= FPSCR_IXC;
    return T(fp_zero<T>(sgn) | (T(e) << M) | (T(s) & F::FRAC));
}

// Rounds (-1)^sgn * x * 2^(e - B - (width(U) - 1)) for a non-zero x of any
// unsigned word U: when the top bit of x is set, that is 2^(e - B) * 1.f.
template <typename T, typename U>
inline T fp_round_norm(int sgn, int e, U x, int rm, int mode, int *flags) {
    constexpr int UW = fp_width<U>, W = FPFormat<T>::W;
    const int sh = fp_clz(x);
    x = U(x << sh);
    e -= sh;
    x = U(x << 1);  // drop the leading one
    T mnt;
    if constexpr (UW > W)
        mnt = T(T(x >> (UW - W)) | T((x & fp_low_mask<U>(UW - W)) != 0));
    else
        mnt = T(T(x) << (W - UW));
    return fp_round_<T>(sgn, e, mnt, rm, mode, flags);
}

inline uint16_t fp16_round_(int sgn, int exp, uint16_t mnt, int rm, int mode, int *flags) {
    return fp_round_<uint16_t>(sgn, exp, mnt, rm, mode, flags);
}
inline uint32_t fp32_round_(int sgn, int exp, uint32_t mnt, int rm, int mode, int *flags) {
    return fp_round_<uint32_t>(sgn, exp, mnt, rm, mode, flags);
}
inline uint64_t fp64_round_(int sgn, int exp, uint64_t mnt, int rm, int mode, int *flags) {
    return fp_round_<uint64_t>(sgn, exp, mnt, rm, mode, flags);
}
