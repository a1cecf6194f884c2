// Precision conversions, float <-> fixed point and round to integral.
#include "sve/fplib/fp_convert.h"

#include "sve/fplib/fp_round.h"
#include "sve/fplib/fp_unpack.h"

namespace {

// Whether rounding the integer part x with two-bit error err (0 exact,
// 1 below half, 2 half, 3 above half) away from zero is required.
bool fp_int_round_up(uint64_t x, int err, int sgn, FPRounding rounding) {
    switch (rounding) {
    case FPRounding_TIEEVEN: return err == 3 || (err == 2 && (x & 1));
    case FPRounding_POSINF: return err != 0 && !sgn;
    case FPRounding_NEGINF: return err != 0 && sgn;
    case FPRounding_TIEAWAY: return err >= 2;
    default: return false;  // toward zero, and to odd treated as toward zero
    }
}

// Integer part and two-bit error of v * 2^-sh, sh >= 0. The error is 0
// whenever no set bit is shifted out, so a zero v is always exact.
void fp_split_integer(uint64_t v, int sh, uint64_t *x, int *err) {
    *x = sh >= 64 ? 0 : v >> sh;
    if (sh == 0) {
        *err = 0;
    } else if (sh - 1 >= 64) {
        *err = v != 0;  // all of v lies below half a unit
    } else {
        const int r = sh - 1;  // position of the half-unit bit
        *err = int(((v >> r) & 1) << 1) | int((v & fp_low_mask<uint64_t>(r)) != 0);
    }
}

template <typename T>
constexpr T fp_saturated(int sgn, bool is_unsigned) {
    // Signed: the largest positive or most negative value; unsigned: all ones or 0.
    constexpr int N = fp_width<T>;
    return T((T(!is_unsigned) << (N - 1)) - T(sgn == 0 ? 1 : 0));
}

}  // namespace

template <typename From, typename To>
To FPConvert(From x, FPRounding rounding, FPSCR &fpscr) {
    using FF = FPFormat<From>;
    using FT = FPFormat<To>;
    int flags = 0;
    const bool to_half = FT::W == 16, from_half = FF::W == 16;
    const bool ahp = (fpscr & FPSCR_AHP) != 0;
    // Half-precision inputs are never flushed by a conversion (FZ16 does not
    // apply); single and double inputs are flushed under FZ with IDC.
    int mode = int((fpscr >> FPSCR_RMODE_SHIFT) & 0xF);
    if (to_half && ahp) mode |= FPMODE_AHP;
    FPUnpacked<From> u = fp_unpack(x, mode, &flags);
    const bool special = u.exp == FF::EMAX && !(from_half && ahp);
    To r;
    if (special && fp_is_nan(u)) {
        if (to_half && ahp) {
            flags |= FPSCR_IOC;
            r = fp_zero<To>(u.sgn);
        } else {
            if (fp_is_snan(u)) flags |= FPSCR_IOC;
            if (mode & FPMODE_DN) {
                r = fp_default_nan<To>();
            } else {
                const From frac = From(x & FF::FRAC);
                To payload;
                if constexpr (FT::M >= FF::M)
                    payload = To(To(frac) << (FT::M - FF::M));
                else
                    payload = To(frac >> (FF::M - FT::M));
                r = To(fp_infinity<To>(u.sgn) | FT::QUIET | payload);
            }
        }
    } else if (special) {
        if (to_half && ahp) {
            flags |= FPSCR_IOC;
            r = To(fp_zero<To>(u.sgn) | 0x7FFF);
        } else {
            r = fp_infinity<To>(u.sgn);
        }
    } else if (fp_is_zero(u)) {
        r = fp_zero<To>(u.sgn);
    } else if constexpr (FT::W > FF::W) {
        // Widening is exact: normalise and re-bias.
        fp_normalise(u);
        const int e = u.exp - FF::B + FT::B;
        r = To(fp_zero<To>(u.sgn) | (To(e) << FT::M) | (To(To(u.mnt) << (FT::M - FF::M)) & FT::FRAC));
    } else {
        // u.mnt is in units of 2^(exp - B - M).
        r = fp_round_norm<To>(u.sgn, u.exp - FF::B + FT::B + FF::E, u.mnt, rounding, mode, &flags);
    }
    fpscr |= FPSCR(flags);
    return r;
}

uint64_t FPToFixed_64(int sgn, int exp, uint64_t mnt, bool is_unsigned, FPRounding rounding, int *flags) {
    // The value is (mnt << 11) * 2^(exp - 1086).
    const uint64_t v = mnt << 11;
    uint64_t x;
    int err;
    if (exp <= 1086) {
        fp_split_integer(v, 1086 - exp, &x, &err);
    } else {
        // Callers keep exp at most 1086; beyond it the value is an integer
        // that overflows unless the significand is short enough.
        const int up = exp - 1086;
        if (v != 0 && (up >= 64 || (v >> (64 - up)) != 0)) {
            *flags = FPSCR_IOC;
            return fp_saturated<uint64_t>(sgn, is_unsigned);
        }
        x = up >= 64 ? 0 : v << up;
        err = 0;
    }
    if (fp_int_round_up(x, err, sgn, rounding)) ++x;
    const bool overflow = is_unsigned ? (sgn && x != 0) : x > (uint64_t(1) << 63) - (sgn ? 0 : 1);
    if (overflow) {
        *flags = FPSCR_IOC;
        return fp_saturated<uint64_t>(sgn, is_unsigned);
    }
    if (err) *flags |= FPSCR_IXC;
    return sgn ? uint64_t(0) - x : x;
}

template <typename From, typename To>
To fplibFPToFixed(From x, int fbits, bool is_unsigned, FPRounding rounding, FPSCR &fpscr) {
    using FF = FPFormat<From>;
    constexpr int N = fp_width<To>;
    int flags = 0;
    const FPUnpacked<From> u = fp_unpack(x, fp_mode(fpscr), &flags);
    uint64_t r;
    if (fp_is_nan(u)) {
        flags |= FPSCR_IOC;
        r = 0;
    } else if (fp_is_inf(u)) {
        flags = FPSCR_IOC;
        r = uint64_t(fp_saturated<To>(u.sgn, is_unsigned));
    } else {
        const uint64_t mnt = uint64_t(u.mnt) << (52 - FF::M);
        const int exp = u.exp - FF::B + 1023 + fbits;
        if (exp > 1086) {
            flags = FPSCR_IOC;
            r = fp_saturated<uint64_t>(u.sgn, is_unsigned);
        } else {
            r = FPToFixed_64(u.sgn, exp, mnt, is_unsigned, rounding, &flags);
        }
        if constexpr (N < 64) {
            const bool out = is_unsigned ? r > fp_low_mask<uint64_t>(N)
                                         : (int64_t(r) < -(int64_t(1) << (N - 1)) ||
                                            int64_t(r) > (int64_t(1) << (N - 1)) - 1);
            if (out) {
                flags = FPSCR_IOC;
                r = uint64_t(fp_saturated<To>(u.sgn, is_unsigned));
            }
        }
    }
    fpscr |= FPSCR(flags);
    return To(r);
}

template <typename To>
To fplibFixedToFP(uint64_t x, int fbits, bool is_unsigned, FPRounding rounding, FPSCR &fpscr) {
    using FT = FPFormat<To>;
    const int sgn = !is_unsigned && (x >> 63);
    const uint64_t mag = sgn ? uint64_t(0) - x : x;
    if (mag == 0) return fp_zero<To>(0);
    // Flush-to-zero applies to the result as to any rounded result of its
    // format (FZ16 for half, FZ for single and double).
    const int mode = (int(rounding) & 3) | int((fpscr >> FPSCR_RMODE_SHIFT) & 12) | ((fpscr & FPSCR_FZ16) ? FPMODE_FZ16 : 0);
    int flags = 0;
    const To r = fp_round_norm<To>(sgn, FT::B + 63 - fbits, mag, rounding, mode, &flags);
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPRoundInt(T x, FPRounding rounding, bool exact, FPSCR &fpscr) {
    using F = FPFormat<T>;
    const int mode = fp_mode(fpscr);
    int flags = 0;
    const FPUnpacked<T> u = fp_unpack(x, mode, &flags);
    T r;
    if (fp_is_nan(u)) {
        r = fp_process_nan(x, mode, &flags);
    } else if (fp_is_inf(u)) {
        r = fp_infinity<T>(u.sgn);
    } else if (fp_is_zero(u)) {
        r = fp_zero<T>(u.sgn);
    } else if (u.exp >= F::B + F::M) {
        r = x;  // no fractional bits
    } else {
        // mnt is in units of 2^(exp - B - M), with exp - B - M < 0.
        uint64_t n;
        int err;
        fp_split_integer(uint64_t(u.mnt), F::B + F::M - u.exp, &n, &err);
        if (fp_int_round_up(n, err, u.sgn, rounding)) ++n;
        if (n == 0) {
            r = fp_zero<T>(u.sgn);
        } else {
            int unused = 0;
            r = fp_round_norm<T>(u.sgn, F::B + 63, n, FPRounding_ZERO, 0, &unused);
        }
        if (exact && err) flags |= FPSCR_IXC;
    }
    fpscr |= FPSCR(flags);
    return r;
}

#define FP_CONVERT_INSTANTIATE(From, To) template To FPConvert<From, To>(From, FPRounding, FPSCR &);
FP_CONVERT_INSTANTIATE(uint32_t, uint16_t)
FP_CONVERT_INSTANTIATE(uint64_t, uint16_t)
FP_CONVERT_INSTANTIATE(uint16_t, uint32_t)
FP_CONVERT_INSTANTIATE(uint64_t, uint32_t)
FP_CONVERT_INSTANTIATE(uint16_t, uint64_t)
FP_CONVERT_INSTANTIATE(uint32_t, uint64_t)

#define FP_TO_FIXED_INSTANTIATE(From, To) \
    template To fplibFPToFixed<From, To>(From, int, bool, FPRounding, FPSCR &);
#define FP_TO_FIXED_INSTANTIATE_ALL(From)   \
    FP_TO_FIXED_INSTANTIATE(From, uint16_t) \
    FP_TO_FIXED_INSTANTIATE(From, uint32_t) \
    FP_TO_FIXED_INSTANTIATE(From, uint64_t)
FP_TO_FIXED_INSTANTIATE_ALL(uint16_t)
FP_TO_FIXED_INSTANTIATE_ALL(uint32_t)
FP_TO_FIXED_INSTANTIATE_ALL(uint64_t)

template uint16_t fplibFixedToFP<uint16_t>(uint64_t, int, bool, FPRounding, FPSCR &);
template uint32_t fplibFixedToFP<uint32_t>(uint64_t, int, bool, FPRounding, FPSCR &);
template uint64_t fplibFixedToFP<uint64_t>(uint64_t, int, bool, FPRounding, FPSCR &);

template uint16_t FPRoundInt<uint16_t>(uint16_t, FPRounding, bool, FPSCR &);
template uint32_t FPRoundInt<uint32_t>(uint32_t, FPRounding, bool, FPSCR &);
template uint64_t FPRoundInt<uint64_t>(uint64_t, FPRounding, bool, FPSCR &);
