// Host floating-point operations: the processor's instructions under the
// emulated FPCR on AArch64, the software library everywhere else.
#include "sve/fplib/host_fp.h"

#include "sve/fplib/fplib.h"

namespace {

#if defined(__aarch64__)

using namespace host_fp_hw;

// Runs the hardware expression under the emulated FPCR.
#define HOST_FP_RUN(hw_expr, sw_expr)                        \
    do {                                                     \
        const host_fp_scope scope_ = host_fp_begin(fpcr);    \
        const auto result_ = (hw_expr);                      \
        host_fp_end(scope_, fpsr);                           \
        return result_;                                      \
    } while (0)

#else

// Runs the software expression under the emulated FPCR (as fpscr_).
#define HOST_FP_RUN(hw_expr, sw_expr)                        \
    do {                                                     \
        FPSCR fpscr_ = fpcr;                                 \
        const auto result_ = (sw_expr);                      \
        *fpsr |= fpscr_ & FPSCR_FLAGS;                       \
        return result_;                                      \
    } while (0)

#endif

inline FPRounding fpcr_rounding(uint32_t fpcr) { return FPRounding((fpcr >> FPSCR_RMODE_SHIFT) & 3); }

}  // namespace

template <typename T>
T host_fp_add(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fadd(a, b), FPAdd(a, b, fpscr_));
}
template <typename T>
T host_fp_sub(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fsub(a, b), FPSub(a, b, fpscr_));
}
template <typename T>
T host_fp_mul(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fmul(a, b), FPMul(a, b, fpscr_));
}
template <typename T>
T host_fp_mulx(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fmulx(a, b), FPMulX(a, b, fpscr_));
}
template <typename T>
T host_fp_div(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fdiv(a, b), FPDiv(a, b, fpscr_));
}
template <typename T>
T host_fp_sqrt(T a, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fsqrt(a), FPSqrt(a, fpscr_));
}
template <typename T>
T host_fp_muladd(T addend, T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fmadd(addend, a, b), FPMulAdd(addend, a, b, fpscr_));
}
template <typename T>
T host_fp_max(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fmax(a, b), FPMax(a, b, fpscr_));
}
template <typename T>
T host_fp_min(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fmin(a, b), FPMin(a, b, fpscr_));
}
template <typename T>
T host_fp_maxnum(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fmaxnm(a, b), FPMaxNum(a, b, fpscr_));
}
template <typename T>
T host_fp_minnum(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fminnm(a, b), FPMinNum(a, b, fpscr_));
}
template <typename T>
bool host_fp_compare_eq(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fcmeq(a, b) != 0, FPCompareEQ(a, b, fpscr_));
}
template <typename T>
bool host_fp_compare_ge(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fcmge(a, b) != 0, FPCompareGE(a, b, fpscr_));
}
template <typename T>
bool host_fp_compare_gt(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fcmgt(a, b) != 0, FPCompareGT(a, b, fpscr_));
}
template <typename T>
bool host_fp_compare_un(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fcmp(a, b, false) == 3, FPCompareUN(a, b, fpscr_));
}
template <typename T>
int host_fp_compare(T a, T b, bool signal_nans, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_fcmp(a, b, signal_nans), FPCompare(a, b, signal_nans, fpscr_));
}

template <typename T>
T host_fp_round_int(T x, FPRounding rounding, bool exact, uint32_t fpcr, uint32_t *fpsr) {
#if defined(__aarch64__)
    if (exact && rounding <= FPRounding_ZERO) {
        // FRINTX rounds with the FPCR's mode: run it under the requested one.
        fpcr = (fpcr & ~(3u << FPSCR_RMODE_SHIFT)) | (uint32_t(rounding) << FPSCR_RMODE_SHIFT);
        HOST_FP_RUN(hw_frintx(x), 0);
    }
    if (!exact) {
        switch (rounding) {
        case FPRounding_TIEEVEN: HOST_FP_RUN(hw_frintn(x), 0);
        case FPRounding_POSINF: HOST_FP_RUN(hw_frintp(x), 0);
        case FPRounding_NEGINF: HOST_FP_RUN(hw_frintm(x), 0);
        case FPRounding_ZERO: HOST_FP_RUN(hw_frintz(x), 0);
        case FPRounding_TIEAWAY: HOST_FP_RUN(hw_frinta(x), 0);
        default: break;
        }
    }
    // No single instruction: the software library gives the same result.
    FPSCR fpscr = fpcr;
    const T r = FPRoundInt(x, rounding, exact, fpscr);
    *fpsr |= fpscr & FPSCR_FLAGS;
    return r;
#else
    HOST_FP_RUN(0, FPRoundInt(x, rounding, exact, fpscr_));
#endif
}

template <typename To, typename T>
To host_fp_to_int(T x, bool is_unsigned, FPRounding rounding, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN((hw_to_int<To, T>(x, is_unsigned, rounding)),
                (fplibFPToFixed<T, To>(x, 0, is_unsigned, rounding, fpscr_)));
}

template <typename To>
To host_fp_from_int(uint64_t x, bool is_unsigned, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(is_unsigned ? hw_ucvtf<To>(x) : hw_scvtf<To>(x),
                fplibFixedToFP<To>(x, 0, is_unsigned, fpcr_rounding(fpcr), fpscr_));
}

template <typename From, typename To>
To host_fp_convert(From x, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN((hw_fcvt<From, To>(x)), (FPConvert<From, To>(x, fpcr_rounding(fpcr), fpscr_)));
}

template <typename T>
T host_fp_recip_estimate(T x, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_frecpe(x), FPRecipEstimate(x, fpscr_));
}
template <typename T>
T host_fp_rsqrt_estimate(T x, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_frsqrte(x), FPRSqrtEstimate(x, fpscr_));
}
template <typename T>
T host_fp_recip_step(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_frecps(a, b), FPRecipStepFused(a, b, fpscr_));
}
template <typename T>
T host_fp_rsqrt_step(T a, T b, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_frsqrts(a, b), FPRSqrtStepFused(a, b, fpscr_));
}
template <typename T>
T host_fp_recpx(T x, uint32_t fpcr, uint32_t *fpsr) {
    HOST_FP_RUN(hw_frecpx(x), FPRecpX(x, fpscr_));
}

#undef HOST_FP_RUN

#define HOST_FP_INSTANTIATE(T)                                                              \
    template T host_fp_add<T>(T, T, uint32_t, uint32_t *);                                 \
    template T host_fp_sub<T>(T, T, uint32_t, uint32_t *);                                 \
    template T host_fp_mul<T>(T, T, uint32_t, uint32_t *);                                 \
    template T host_fp_mulx<T>(T, T, uint32_t, uint32_t *);                                \
    template T host_fp_div<T>(T, T, uint32_t, uint32_t *);                                 \
    template T host_fp_sqrt<T>(T, uint32_t, uint32_t *);                                   \
    template T host_fp_muladd<T>(T, T, T, uint32_t, uint32_t *);                           \
    template T host_fp_max<T>(T, T, uint32_t, uint32_t *);                                 \
    template T host_fp_min<T>(T, T, uint32_t, uint32_t *);                                 \
    template T host_fp_maxnum<T>(T, T, uint32_t, uint32_t *);                              \
    template T host_fp_minnum<T>(T, T, uint32_t, uint32_t *);                              \
    template bool host_fp_compare_eq<T>(T, T, uint32_t, uint32_t *);                       \
    template bool host_fp_compare_ge<T>(T, T, uint32_t, uint32_t *);                       \
    template bool host_fp_compare_gt<T>(T, T, uint32_t, uint32_t *);                       \
    template bool host_fp_compare_un<T>(T, T, uint32_t, uint32_t *);                       \
    template int host_fp_compare<T>(T, T, bool, uint32_t, uint32_t *);                     \
    template T host_fp_round_int<T>(T, FPRounding, bool, uint32_t, uint32_t *);            \
    template uint32_t host_fp_to_int<uint32_t, T>(T, bool, FPRounding, uint32_t, uint32_t *); \
    template uint64_t host_fp_to_int<uint64_t, T>(T, bool, FPRounding, uint32_t, uint32_t *); \
    template T host_fp_from_int<T>(uint64_t, bool, uint32_t, uint32_t *);                  \
    template T host_fp_recip_estimate<T>(T, uint32_t, uint32_t *);                         \
    template T host_fp_rsqrt_estimate<T>(T, uint32_t, uint32_t *);                         \
    template T host_fp_recip_step<T>(T, T, uint32_t, uint32_t *);                          \
    template T host_fp_rsqrt_step<T>(T, T, uint32_t, uint32_t *);                          \
    template T host_fp_recpx<T>(T, uint32_t, uint32_t *);

HOST_FP_INSTANTIATE(uint32_t)
HOST_FP_INSTANTIATE(uint64_t)

template uint32_t host_fp_convert<uint16_t, uint32_t>(uint16_t, uint32_t, uint32_t *);
template uint64_t host_fp_convert<uint16_t, uint64_t>(uint16_t, uint32_t, uint32_t *);
template uint16_t host_fp_convert<uint32_t, uint16_t>(uint32_t, uint32_t, uint32_t *);
template uint64_t host_fp_convert<uint32_t, uint64_t>(uint32_t, uint32_t, uint32_t *);
template uint16_t host_fp_convert<uint64_t, uint16_t>(uint64_t, uint32_t, uint32_t *);
template uint32_t host_fp_convert<uint64_t, uint32_t>(uint64_t, uint32_t, uint32_t *);
