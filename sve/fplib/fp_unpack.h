// Unpacking with flush-to-zero, operand classification, and the NaN rules:
// processing of one NaN and the choice among two or three operands.
#pragma once

#include "sve/fplib/fp_bits.h"
#include "sve/fplib/fp_types.h"

// Sign, biased exponent and integer significand of an operand. A subnormal
// (or zero) gets exponent 1 and no implicit bit; infinities and NaNs keep the
// all-ones exponent and carry the implicit bit.
template <typename T>
struct FPUnpacked {
    int sgn;
    int exp;
    T mnt;
};

template <typename T>
inline FPUnpacked<T> fp_unpack(T x, int mode, int *flags) {
    using F = FPFormat<T>;
    FPUnpacked<T> u;
    u.sgn = int(x >> (F::W - 1));
    u.exp = int((x >> F::M) & F::EMAX);
    u.mnt = T(x & F::FRAC);
    if (u.exp) {
        u.mnt = T(u.mnt | F::IMPLICIT);
    } else {
        u.exp = 1;
        if (u.mnt && (mode & F::FZ_BIT)) {
            if (F::FLUSH_RAISES_IDC) *flags |= FPSCR_IDC;
            u.mnt = 0;
        }
    }
    return u;
}

template <typename T>
inline bool fp_is_zero(const FPUnpacked<T> &u) {
    return u.mnt == 0;
}
template <typename T>
inline bool fp_is_inf(const FPUnpacked<T> &u) {
    return u.exp == FPFormat<T>::EMAX && (u.mnt & FPFormat<T>::FRAC) == 0;
}
template <typename T>
inline bool fp_is_nan(const FPUnpacked<T> &u) {
    return u.exp == FPFormat<T>::EMAX && (u.mnt & FPFormat<T>::FRAC) != 0;
}
template <typename T>
inline bool fp_is_snan(const FPUnpacked<T> &u) {
    return fp_is_nan(u) && (u.mnt & FPFormat<T>::QUIET) == 0;
}
template <typename T>
inline bool fp_is_qnan(const FPUnpacked<T> &u) {
    return fp_is_nan(u) && (u.mnt & FPFormat<T>::QUIET) != 0;
}

// Shifts a finite non-zero significand so that its leading one is the
// implicit bit, lowering the exponent accordingly (subnormals go below 1).
template <typename T>
inline void fp_normalise(FPUnpacked<T> &u) {
    const int sh = fp_clz(u.mnt) - FPFormat<T>::E;
    u.mnt = T(u.mnt << sh);
    u.exp -= sh;
}

// One NaN operand: a signalling NaN raises IOC and is quietened; DN turns
// every NaN result into the default NaN.
template <typename T>
inline T fp_process_nan(T x, int mode, int *flags) {
    if (!(x & FPFormat<T>::QUIET)) {
        *flags |= FPSCR_IOC;
        x = T(x | FPFormat<T>::QUIET);
    }
    return (mode & FPMODE_DN) ? fp_default_nan<T>() : x;
}

// Two operands: signalling a, signalling b, quiet a, quiet b. Returns true
// (with the result in *res) when a NaN decides the result.
template <typename T>
inline bool fp_process_nans(T a, T b, const FPUnpacked<T> &ua, const FPUnpacked<T> &ub, int mode,
                            int *flags, T *res) {
    if (fp_is_snan(ua)) {
        *res = fp_process_nan(a, mode, flags);
    } else if (fp_is_snan(ub)) {
        *res = fp_process_nan(b, mode, flags);
    } else if (fp_is_nan(ua)) {
        *res = fp_process_nan(a, mode, flags);
    } else if (fp_is_nan(ub)) {
        *res = fp_process_nan(b, mode, flags);
    } else {
        return false;
    }
    return true;
}

// Three operands (a is the addend of a fused multiply-add): signalling a, b,
// c, then quiet a, b, c.
template <typename T>
inline bool fp_process_nans3(T a, T b, T c, const FPUnpacked<T> &ua, const FPUnpacked<T> &ub,
                             const FPUnpacked<T> &uc, int mode, int *flags, T *res) {
    if (fp_is_snan(ua)) {
        *res = fp_process_nan(a, mode, flags);
    } else if (fp_is_snan(ub)) {
        *res = fp_process_nan(b, mode, flags);
    } else if (fp_is_snan(uc)) {
        *res = fp_process_nan(c, mode, flags);
    } else if (fp_is_nan(ua)) {
        *res = fp_process_nan(a, mode, flags);
    } else if (fp_is_nan(ub)) {
        *res = fp_process_nan(b, mode, flags);
    } else if (fp_is_nan(uc)) {
        *res = fp_process_nan(c, mode, flags);
    } else {
        return false;
    }
    return true;
}

// Canonicalises one operand under the FPSCR: NaN processing for a NaN, the
// signed zero for a zero or a flushed subnormal, the value itself otherwise.
template <typename T>
T FPProcess(T x, FPSCR &fpscr);

uint16_t FPProcess16(uint16_t x, FPSCR &fpscr);
uint32_t FPProcess32(uint32_t x, FPSCR &fpscr);
uint64_t FPProcess64(uint64_t x, FPSCR &fpscr);
