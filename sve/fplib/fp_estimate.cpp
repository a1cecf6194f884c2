// Reciprocal estimates and steps, reciprocal exponent, scaling.
#include "sve/fplib/fp_estimate.h"

#include "sve/fplib/fp_arith.h"
#include "sve/fplib/fp_round.h"
#include "sve/fplib/fp_unpack.h"

namespace {

static_assert(kFPRSqrtEstimateTable.v[0] == 255 && kFPRSqrtEstimateTable.v[1] == 253 &&
              kFPRSqrtEstimateTable.v[2] == 251 && kFPRSqrtEstimateTable.v[3] == 249 &&
              kFPRSqrtEstimateTable.v[255] == 0);

// The fused steps: addend +- a * b scaled by 2^scale, with their own result
// for infinity times zero.
template <typename T>
T fp_step_fused(T a, T b, T addend, int scale, T inf_times_zero, FPSCR &fpscr) {
    const int mode = fp_mode(fpscr);
    int flags = 0;
    a = FPNeg(a);
    const FPUnpacked<T> ua = fp_unpack(a, mode, &flags);
    const FPUnpacked<T> ub = fp_unpack(b, mode, &flags);
    T r;
    if (!fp_process_nans(a, b, ua, ub, mode, &flags, &r)) {
        const bool inf_a = fp_is_inf(ua), inf_b = fp_is_inf(ub);
        if ((inf_a && fp_is_zero(ub)) || (fp_is_zero(ua) && inf_b))
            r = inf_times_zero;
        else if (inf_a || inf_b)
            r = fp_infinity<T>(ua.sgn ^ ub.sgn);
        else
            r = fp_muladd<T>(addend, a, b, scale, mode, &flags);
    }
    fpscr |= FPSCR(flags);
    return r;
}

}  // namespace

template <typename T>
T FPRecipEstimate(T x, FPSCR &fpscr) {
    using F = FPFormat<T>;
    const int mode = fp_mode(fpscr);
    int flags = 0;
    const FPUnpacked<T> u = fp_unpack(x, mode, &flags);
    T r;
    if (fp_is_nan(u)) {
        r = fp_process_nan(x, mode, &flags);
    } else if (fp_is_inf(u)) {
        r = fp_zero<T>(u.sgn);
    } else if (fp_is_zero(u)) {
        flags |= FPSCR_DZC;
        r = fp_infinity<T>(u.sgn);
    } else if ((x & T(F::EXP_MASK | (F::QUIET | (F::QUIET >> 1)))) == 0) {
        // |x| < 2^-(B+1): the reciprocal overflows.
        const int rm = mode & FPMODE_RMODE;
        const bool to_inf = rm == FPRounding_TIEEVEN || (rm == FPRounding_POSINF && !u.sgn) ||
                            (rm == FPRounding_NEGINF && u.sgn);
        flags |= FPSCR_OFC | FPSCR_IXC;
        r = to_inf ? fp_infinity<T>(u.sgn) : fp_max_normal<T>(u.sgn);
    } else if ((mode & F::FZ_BIT) && u.exp >= 2 * F::B - 1) {
        // The reciprocal is below the smallest normal: flushed.
        flags |= FPSCR_UFC;
        r = fp_zero<T>(u.sgn);
    } else {
        const int sh = fp_clz(u.mnt);
        const T m = T(u.mnt << sh);
        const int e = u.exp + F::E - sh;
        const int a = int(m >> (F::W - 9));  // 256 <= a < 512
        const int est = ((1 << 19) / (2 * a + 1) + 1) / 2;  // 256 <= est < 512
        int q = 2 * F::B - 1 - e;
        T frac = T(T(est) << (F::M - 8));
        if (q == 0) {
            frac = T(frac >> 1);
        } else if (q == -1) {
            frac = T(frac >> 2);
            q = 0;
        }
        r = T(fp_zero<T>(u.sgn) | (T(q) << F::M) | (frac & F::FRAC));
    }
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPRSqrtEstimate(T x, FPSCR &fpscr) {
    using F = FPFormat<T>;
    const int mode = fp_mode(fpscr);
    int flags = 0;
    const FPUnpacked<T> u = fp_unpack(x, mode, &flags);
    T r;
    if (fp_is_nan(u)) {
        r = fp_process_nan(x, mode, &flags);
    } else if (fp_is_zero(u)) {
        flags |= FPSCR_DZC;
        r = fp_infinity<T>(u.sgn);
    } else if (u.sgn) {
        flags |= FPSCR_IOC;
        r = fp_default_nan<T>();
    } else if (fp_is_inf(u)) {
        r = fp_zero<T>(0);
    } else {
        const int sh = fp_clz(u.mnt);
        const T m = T(u.mnt << sh);
        const int e = u.exp + F::E - sh;
        const int index = ((~e & 1) << 7) | int((m >> (F::W - 8)) & 0x7F);
        const int q = (3 * F::B - 1 - e) >> 1;
        r = T((T(q) << F::M) | (T(kFPRSqrtEstimateTable.v[index]) << (F::M - 8)));
    }
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPRecipStepFused(T a, T b, FPSCR &fpscr) {
    return fp_step_fused(a, b, fp_two<T>(0), 0, fp_two<T>(0), fpscr);
}

template <typename T>
T FPRSqrtStepFused(T a, T b, FPSCR &fpscr) {
    return fp_step_fused(a, b, fp_three<T>(0), -1, fp_one_point_five<T>(0), fpscr);
}

template <typename T>
T FPRecpX(T x, FPSCR &fpscr) {
    using F = FPFormat<T>;
    const int mode = fp_mode(fpscr);
    int flags = 0;
    const FPUnpacked<T> u = fp_unpack(x, mode, &flags);  // IDC for a flushed subnormal
    const T sign = T(x & F::SIGN);
    const T exp = T(x & F::EXP_MASK);
    T r;
    if (fp_is_nan(u))
        r = fp_process_nan(x, mode, &flags);
    else if (exp == 0)
        r = T(sign | (T(F::EMAX - 1) << F::M));
    else
        r = T(sign | (T(~exp) & F::EXP_MASK));
    fpscr |= FPSCR(flags);
    return r;
}

template <typename T>
T FPScale(T x, long n, FPSCR &fpscr) {
    using F = FPFormat<T>;
    const int mode = fp_mode(fpscr);
    int flags = 0;
    FPUnpacked<T> u = fp_unpack(x, mode, &flags);
    T r;
    if (fp_is_nan(u)) {
        r = fp_process_nan(x, mode, &flags);
    } else if (fp_is_inf(u)) {
        r = fp_infinity<T>(u.sgn);
    } else if (fp_is_zero(u)) {
        r = fp_zero<T>(u.sgn);
    } else {
        // Beyond these bounds every finite value overflows or underflows.
        constexpr long limit = F::W == 16 ? 60 : F::W == 32 ? 300 : 3000;
        if (n > limit) n = limit;
        if (n < -limit) n = -limit;
        r = fp_round_norm<T>(u.sgn, u.exp + F::E + int(n), u.mnt, mode & FPMODE_RMODE, mode, &flags);
    }
    fpscr |= FPSCR(flags);
    return r;
}

uint16_t FPScale16(uint16_t x, short n, FPSCR &fpscr) { return FPScale<uint16_t>(x, n, fpscr); }
uint32_t FPScale32(uint32_t x, int n, FPSCR &fpscr) { return FPScale<uint32_t>(x, n, fpscr); }
uint64_t FPScale64(uint64_t x, long n, FPSCR &fpscr) { return FPScale<uint64_t>(x, n, fpscr); }

#define FP_ESTIMATE_INSTANTIATE(T)                       \
    template T FPRecipEstimate<T>(T, FPSCR &);           \
    template T FPRSqrtEstimate<T>(T, FPSCR &);           \
    template T FPRecipStepFused<T>(T, T, FPSCR &);       \
    template T FPRSqrtStepFused<T>(T, T, FPSCR &);       \
    template T FPRecpX<T>(T, FPSCR &);                   \
    template T FPScale<T>(T, long, FPSCR &);

FP_ESTIMATE_INSTANTIATE(uint16_t)
FP_ESTIMATE_INSTANTIATE(uint32_t)
FP_ESTIMATE_INSTANTIATE(uint64_t)
