// Addition, multiplication, fused multiply-add, division and square root on
// raw encodings, in integer arithmetic wide enough to be exact up to a sticky bit.
#include "sve/fplib/fp_arith.h"

#include <type_traits>

#include "sve/fplib/fp_round.h"
#include "sve/fplib/fp_unpack.h"

namespace {

// Double-width word for exact products: 32, 64 or 128 bits.
template <typename T>
struct FPWide;
template <>
struct FPWide<uint16_t> {
    typedef uint32_t type;
};
template <>
struct FPWide<uint32_t> {
    typedef uint64_t type;
};
template <>
struct FPWide<uint64_t> {
    typedef fp_u128 type;
};

// Working word of the fused multiply-add: room for the exact product, a carry
// bit and guard bits below both operands.
template <typename T>
using FPFmaWord = std::conditional_t<sizeof(T) == 8, fp_u128, uint64_t>;

template <typename T>
T fp_add_core(T a, T b, bool negate_b, int mode, int *flags) {
    using F = FPFormat<T>;
    FPUnpacked<T> ua = fp_unpack(a, mode, flags);
    FPUnpacked<T> ub = fp_unpack(b, mode, flags);
    T res;
    if (fp_process_nans(a, b, ua, ub, mode, flags, &res)) return res;
    ub.sgn ^= int(negate_b);

    const bool inf_a = fp_is_inf(ua), inf_b = fp_is_inf(ub);
    if (inf_a && inf_b && ua.sgn != ub.sgn) {
        *flags |= FPSCR_IOC;
        return fp_default_nan<T>();
    }
    if (inf_a) return fp_infinity<T>(ua.sgn);
    if (inf_b) return fp_infinity<T>(ub.sgn);
    if (fp_is_zero(ua) && fp_is_zero(ub) && ua.sgn == ub.sgn) return fp_zero<T>(ua.sgn);

    // Three guard bits below each significand; the smaller operand's lost bits
    // collapse into a sticky bit.
    uint64_t x = uint64_t(ua.mnt) << 3, y = uint64_t(ub.mnt) << 3;
    int exp;
    if (ua.exp >= ub.exp) {
        y = fp_shr_sticky(y, ua.exp - ub.exp);
        exp = ua.exp;
    } else {
        x = fp_shr_sticky(x, ub.exp - ua.exp);
        exp = ub.exp;
    }
    uint64_t sum;
    int sgn;
    if (ua.sgn == ub.sgn) {
        sum = x + y;
        sgn = ua.sgn;
    } else if (x >= y) {
        sum = x - y;
        sgn = ua.sgn;
    } else {
        sum = y - x;
        sgn = ub.sgn;
    }
    const int rm = mode & FPMODE_RMODE;
    if (sum == 0) return fp_zero<T>(rm == FPRounding_NEGINF);
    // sum is in units of 2^(exp - B - M - 3).
    return fp_round_norm<T>(sgn, exp - F::M - 3 + 63, sum, rm, mode, flags);
}

template <typename T>
T fp_mul_core(T a, T b, bool mulx, int mode, int *flags) {
    using F = FPFormat<T>;
    using Wide = typename FPWide<T>::type;
    const FPUnpacked<T> ua = fp_unpack(a, mode, flags);
    const FPUnpacked<T> ub = fp_unpack(b, mode, flags);
    T res;
    if (fp_process_nans(a, b, ua, ub, mode, flags, &res)) return res;
    const int sgn = ua.sgn ^ ub.sgn;
    const bool inf_a = fp_is_inf(ua), inf_b = fp_is_inf(ub);
    const bool zero_a = fp_is_zero(ua), zero_b = fp_is_zero(ub);
    if ((inf_a && zero_b) || (zero_a && inf_b)) {
        if (mulx) return fp_two<T>(sgn);
        *flags |= FPSCR_IOC;
        return fp_default_nan<T>();
    }
    if (inf_a || inf_b) return fp_infinity<T>(sgn);
    if (zero_a || zero_b) return fp_zero<T>(sgn);

    const Wide p = Wide(Wide(ua.mnt) * ub.mnt);
    // p is in units of 2^(a_exp + b_exp - 2B - 2M).
    const int e = ua.exp + ub.exp - F::B - 2 * F::M + (2 * F::W - 1);
    return fp_round_norm<T>(sgn, e, p, mode & FPMODE_RMODE, mode, flags);
}

template <typename T>
T fp_div_core(T a, T b, int mode, int *flags) {
    using F = FPFormat<T>;
    FPUnpacked<T> ua = fp_unpack(a, mode, flags);
    FPUnpacked<T> ub = fp_unpack(b, mode, flags);
    T res;
    if (fp_process_nans(a, b, ua, ub, mode, flags, &res)) return res;
    const int sgn = ua.sgn ^ ub.sgn;
    const bool inf_a = fp_is_inf(ua), inf_b = fp_is_inf(ub);
    const bool zero_a = fp_is_zero(ua), zero_b = fp_is_zero(ub);
    if ((inf_a && inf_b) || (zero_a && zero_b)) {
        *flags |= FPSCR_IOC;
        return fp_default_nan<T>();
    }
    if (inf_a || zero_b) {
        if (!inf_a) *flags |= FPSCR_DZC;
        return fp_infinity<T>(sgn);
    }
    if (zero_a || inf_b) return fp_zero<T>(sgn);

    fp_normalise(ua);
    fp_normalise(ub);
    // Quotient of M + 3 or M + 4 bits: the significand, a round bit and at
    // least one more bit, into which the remainder's stickiness is ORed.
    constexpr int K = F::M + 3;
    uint64_t q;
    if constexpr (sizeof(T) == 8) {
        const fp_u128 n = fp_u128(ua.mnt) << K;
        q = uint64_t(n / ub.mnt);
        q |= uint64_t(fp_u128(q) * ub.mnt != n);
    } else {
        const uint64_t n = uint64_t(ua.mnt) << K;
        q = n / ub.mnt;
        q |= uint64_t(q * ub.mnt != n);
    }
    // q is in units of 2^(a_exp - b_exp - K).
    return fp_round_norm<T>(sgn, ua.exp - ub.exp - K + F::B + 63, q, mode & FPMODE_RMODE, mode, flags);
}

template <typename T>
T fp_sqrt_core(T a, int mode, int *flags) {
    using F = FPFormat<T>;
    FPUnpacked<T> ua = fp_unpack(a, mode, flags);
    if (fp_is_nan(ua)) return fp_process_nan(a, mode, flags);
    if (fp_is_zero(ua)) return fp_zero<T>(ua.sgn);
    if (fp_is_inf(ua) && !ua.sgn) return a;
    if (ua.sgn) {
        *flags |= FPSCR_IOC;
        return fp_default_nan<T>();
    }
    fp_normalise(ua);
    // value = mnt * 2^(exp - B - M). The radicand mnt << s has an even
    // exponent exp - B - M - s and enough bits for a root of M + 3 bits or more.
    const int ue = ua.exp - F::B - F::M;
    if constexpr (sizeof(T) == 8) {
        const int s = 72 + (ue & 1);  // radicand in [2^124, 2^126)
        const fp_u128 n = fp_u128(ua.mnt) << s;
        uint64_t r = fp_isqrt128(n);
        r |= uint64_t(fp_u128(r) * r != n);
        return fp_round_norm<T>(0, (ue - s) / 2 + F::B + 63, r, mode & FPMODE_RMODE, mode, flags);
    } else {
        const int s = (60 - F::M) + ((ue ^ (60 - F::M)) & 1);  // radicand in [2^60, 2^62)
        const uint64_t n = uint64_t(ua.mnt) << s;
        uint64_t r = fp_isqrt64(n);
        r |= uint64_t(r * r != n);
        return fp_round_norm<T>(0, (ue - s) / 2 + F::B + 63, r, mode & FPMODE_RMODE, mode, flags);
    }
}

}  // namespace

template <typename T>
T fp_muladd(T a, T b, T c, int scale, int mode, int *flags) {
    using F = FPFormat<T>;
    using U = FPFmaWord<T>;
    constexpr int UW = fp_width<U>;
    FPUnpacked<T> ua = fp_unpack(a, mode, flags);
    FPUnpacked<T> ub = fp_unpack(b, mode, flags);
    FPUnpacked<T> uc = fp_unpack(c, mode, flags);

    const bool inf_b = fp_is_inf(ub), inf_c = fp_is_inf(uc);
    const bool zero_b = fp_is_zero(ub), zero_c = fp_is_zero(uc);
    const bool inf_times_zero = (inf_b && zero_c) || (zero_b && inf_c);

    T res;
    if (fp_process_nans3(a, b, c, ua, ub, uc, mode, flags, &res)) {
        // A quiet NaN addend does not hide an invalid product.
        if (fp_is_qnan(ua) && inf_times_zero) {
            *flags |= FPSCR_IOC;
            return fp_default_nan<T>();
        }
        return res;
    }

    const int sgn_p = ub.sgn ^ uc.sgn;
    const bool inf_a = fp_is_inf(ua), inf_p = inf_b || inf_c;
    const bool zero_a = fp_is_zero(ua), zero_p = zero_b || zero_c;
    if (inf_times_zero || (inf_a && inf_p && ua.sgn != sgn_p)) {
        *flags |= FPSCR_IOC;
        return fp_default_nan<T>();
    }
    if (inf_a) return fp_infinity<T>(ua.sgn);
    if (inf_p) return fp_infinity<T>(sgn_p);
    if (zero_a && zero_p && ua.sgn == sgn_p) return fp_zero<T>(ua.sgn);

    const int rm = mode & FPMODE_RMODE;
    // Both terms are placed with their leading one at bit UW - 3 or UW - 2 of
    // the working word; e is then the exponent of bit UW - 1 (as in fp_round_norm).
    U px = 0, ax = 0;
    int ep = 0, ea = 0;
    if (!zero_p) {
        fp_normalise(ub);
        fp_normalise(uc);
        px = U(U(U(ub.mnt) * uc.mnt) << (UW - 3 - 2 * F::M));
        ep = ub.exp + uc.exp - F::B + 2;
    }
    if (!zero_a) {
        fp_normalise(ua);
        ax = U(U(ua.mnt) << (UW - 3 - F::M));
        ea = ua.exp + 2;
    }
    if (zero_p) ep = ea;
    if (zero_a) ea = ep;

    int e;
    if (ep >= ea) {
        ax = fp_shr_sticky(ax, ep - ea);
        e = ep;
    } else {
        px = fp_shr_sticky(px, ea - ep);
        e = ea;
    }
    U sum;
    int sgn;
    if (ua.sgn == sgn_p) {
        sum = U(ax + px);
        sgn = ua.sgn;
    } else if (ax >= px) {
        sum = U(ax - px);
        sgn = ua.sgn;
    } else {
        sum = U(px - ax);
        sgn = sgn_p;
    }
    if (sum == 0) return fp_zero<T>(rm == FPRounding_NEGINF);
    return fp_round_norm<T>(sgn, e + scale, sum, rm, mode, flags);
}

template <typename T>
T FPAdd(T a, T b, FPSCR &fpscr) {
    int flags = 0;
    const T r = fp_add_core(a, b, false, fp_mode(fpscr), &flags);
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPSub(T a, T b, FPSCR &fpscr) {
    int flags = 0;
    const T r = fp_add_core(a, b, true, fp_mode(fpscr), &flags);
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPMul(T a, T b, FPSCR &fpscr) {
    int flags = 0;
    const T r = fp_mul_core(a, b, false, fp_mode(fpscr), &flags);
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPMulX(T a, T b, FPSCR &fpscr) {
    int flags = 0;
    const T r = fp_mul_core(a, b, true, fp_mode(fpscr), &flags);
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPMulAdd(T addend, T a, T b, FPSCR &fpscr) {
    int flags = 0;
    const T r = fp_muladd(addend, a, b, 0, fp_mode(fpscr), &flags);
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPDiv(T a, T b, FPSCR &fpscr) {
    int flags = 0;
    const T r = fp_div_core(a, b, fp_mode(fpscr), &flags);
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPSqrt(T a, FPSCR &fpscr) {
    int flags = 0;
    const T r = fp_sqrt_core(a, fp_mode(fpscr), &flags);
    fpscr |= FPSCR(flags);
    return r;
}

uint16_t fp16_muladd(uint16_t a, uint16_t b, uint16_t c, int scale, int mode, int *flags) {
    return fp_muladd<uint16_t>(a, b, c, scale, mode, flags);
}
uint32_t fp32_muladd(uint32_t a, uint32_t b, uint32_t c, int scale, int mode, int *flags) {
    return fp_muladd<uint32_t>(a, b, c, scale, mode, flags);
}
uint64_t fp64_muladd(uint64_t a, uint64_t b, uint64_t c, int scale, int mode, int *flags) {
    return fp_muladd<uint64_t>(a, b, c, scale, mode, flags);
}

#define FP_ARITH_INSTANTIATE(T)                                   \
    template T FPAdd<T>(T, T, FPSCR &);                           \
    template T FPSub<T>(T, T, FPSCR &);                           \
    template T FPMul<T>(T, T, FPSCR &);                           \
    template T FPMulX<T>(T, T, FPSCR &);                          \
    template T FPMulAdd<T>(T, T, T, FPSCR &);                     \
    template T FPDiv<T>(T, T, FPSCR &);                           \
    template T FPSqrt<T>(T, FPSCR &);                             \
    template T fp_muladd<T>(T, T, T, int, int, int *);

FP_ARITH_INSTANTIATE(uint16_t)
FP_ARITH_INSTANTIATE(uint32_t)
FP_ARITH_INSTANTIATE(uint64_t)
