// Host floating-point operations: the processor's instructions under the
// emulated FPCR on AArch64, the software library everywhere else.
#include "sve/fplib/host_fp.h"

#include "sve/fplib/fplib.h"

namespace {

#if defined(__aarch64__)

// FPCR fields taken from the emulated FPCR: AHP, DN, FZ, RMode and FZ16.
// Trap enables stay clear.
constexpr uint64_t kHostFPCRControls = 0x07C80000;

struct HostFPSaved {
    uint64_t fpcr;  // the host's FPCR and FPSR, restored afterwards
    uint64_t fpsr;
    uint64_t used;  // the FPCR the operation ran under
};

inline HostFPSaved host_fp_enter(uint32_t fpcr) {
    HostFPSaved s;
    asm volatile("mrs %0, fpcr" : "=r"(s.fpcr));
    asm volatile("mrs %0, fpsr" : "=r"(s.fpsr));
    s.used = fpcr & kHostFPCRControls;
    if (s.used != s.fpcr) asm volatile("msr fpcr, %0" : : "r"(s.used));
    asm volatile("msr fpsr, %0" : : "r"(uint64_t(0)));
    return s;
}

inline void host_fp_leave(const HostFPSaved &s, uint32_t *fpsr) {
    uint64_t raised;
    asm volatile("mrs %0, fpsr" : "=r"(raised));
    *fpsr |= uint32_t(raised) & FPSCR_FLAGS;
    if (s.used != s.fpcr) asm volatile("msr fpcr, %0" : : "r"(s.fpcr));
    asm volatile("msr fpsr, %0" : : "r"(s.fpsr));
}

// The instructions, one template per shape; every asm is volatile so that it
// stays between the FPCR write and the FPSR read.
#define HOST_FP_ASM_UNARY(fn, insn)                                                      \
    template <typename T>                                                                \
    inline T fn(T a) {                                                                   \
        T r;                                                                             \
        if constexpr (sizeof(T) == 4)                                                    \
            asm volatile(insn " %s0, %s1" : "=w"(r) : "w"(a));                           \
        else                                                                             \
            asm volatile(insn " %d0, %d1" : "=w"(r) : "w"(a));                           \
        return r;                                                                        \
    }
#define HOST_FP_ASM_BINARY(fn, insn)                                                     \
    template <typename T>                                                                \
    inline T fn(T a, T b) {                                                              \
        T r;                                                                             \
        if constexpr (sizeof(T) == 4)                                                    \
            asm volatile(insn " %s0, %s1, %s2" : "=w"(r) : "w"(a), "w"(b));              \
        else                                                                             \
            asm volatile(insn " %d0, %d1, %d2" : "=w"(r) : "w"(a), "w"(b));              \
        return r;                                                                        \
    }
#define HOST_FP_ASM_TO_INT(fn, insn)                                                     \
    template <typename To, typename T>                                                   \
    inline To fn(T a) {                                                                  \
        To r;                                                                            \
        if constexpr (sizeof(To) == 4 && sizeof(T) == 4)                                 \
            asm volatile(insn " %w0, %s1" : "=r"(r) : "w"(a));                           \
        else if constexpr (sizeof(To) == 4)                                              \
            asm volatile(insn " %w0, %d1" : "=r"(r) : "w"(a));                           \
        else if constexpr (sizeof(T) == 4)                                               \
            asm volatile(insn " %x0, %s1" : "=r"(r) : "w"(a));                           \
        else                                                                             \
            asm volatile(insn " %x0, %d1" : "=r"(r) : "w"(a));                           \
        return r;                                                                        \
    }

HOST_FP_ASM_BINARY(hw_fadd, "fadd")
HOST_FP_ASM_BINARY(hw_fsub, "fsub")
HOST_FP_ASM_BINARY(hw_fmul, "fmul")
HOST_FP_ASM_BINARY(hw_fmulx, "fmulx")
HOST_FP_ASM_BINARY(hw_fdiv, "fdiv")
HOST_FP_ASM_BINARY(hw_fmax, "fmax")
HOST_FP_ASM_BINARY(hw_fmin, "fmin")
HOST_FP_ASM_BINARY(hw_fmaxnm, "fmaxnm")
HOST_FP_ASM_BINARY(hw_fminnm, "fminnm")
HOST_FP_ASM_BINARY(hw_fcmeq, "fcmeq")
HOST_FP_ASM_BINARY(hw_fcmge, "fcmge")
HOST_FP_ASM_BINARY(hw_fcmgt, "fcmgt")
HOST_FP_ASM_BINARY(hw_frecps, "frecps")
HOST_FP_ASM_BINARY(hw_frsqrts, "frsqrts")
HOST_FP_ASM_UNARY(hw_fsqrt, "fsqrt")
HOST_FP_ASM_UNARY(hw_frecpe, "frecpe")
HOST_FP_ASM_UNARY(hw_frsqrte, "frsqrte")
HOST_FP_ASM_UNARY(hw_frecpx, "frecpx")
HOST_FP_ASM_UNARY(hw_frintn, "frintn")
HOST_FP_ASM_UNARY(hw_frintp, "frintp")
HOST_FP_ASM_UNARY(hw_frintm, "frintm")
HOST_FP_ASM_UNARY(hw_frintz, "frintz")
HOST_FP_ASM_UNARY(hw_frinta, "frinta")
HOST_FP_ASM_UNARY(hw_frintx, "frintx")
HOST_FP_ASM_TO_INT(hw_fcvtns, "fcvtns")
HOST_FP_ASM_TO_INT(hw_fcvtps, "fcvtps")
HOST_FP_ASM_TO_INT(hw_fcvtms, "fcvtms")
HOST_FP_ASM_TO_INT(hw_fcvtzs, "fcvtzs")
HOST_FP_ASM_TO_INT(hw_fcvtas, "fcvtas")
HOST_FP_ASM_TO_INT(hw_fcvtnu, "fcvtnu")
HOST_FP_ASM_TO_INT(hw_fcvtpu, "fcvtpu")
HOST_FP_ASM_TO_INT(hw_fcvtmu, "fcvtmu")
HOST_FP_ASM_TO_INT(hw_fcvtzu, "fcvtzu")
HOST_FP_ASM_TO_INT(hw_fcvtau, "fcvtau")

#undef HOST_FP_ASM_UNARY
#undef HOST_FP_ASM_BINARY
#undef HOST_FP_ASM_TO_INT

template <typename T>
inline T hw_fmadd(T addend, T a, T b) {
    T r;
    if constexpr (sizeof(T) == 4)
        asm volatile("fmadd %s0, %s1, %s2, %s3" : "=w"(r) : "w"(a), "w"(b), "w"(addend));
    else
        asm volatile("fmadd %d0, %d1, %d2, %d3" : "=w"(r) : "w"(a), "w"(b), "w"(addend));
    return r;
}

template <typename T>
inline int hw_fcmp(T a, T b, bool signal_nans) {
    uint64_t nzcv;
    if constexpr (sizeof(T) == 4) {
        if (signal_nans)
            asm volatile("fcmpe %s1, %s2\n\tmrs %0, nzcv" : "=r"(nzcv) : "w"(a), "w"(b) : "cc");
        else
            asm volatile("fcmp %s1, %s2\n\tmrs %0, nzcv" : "=r"(nzcv) : "w"(a), "w"(b) : "cc");
    } else {
        if (signal_nans)
            asm volatile("fcmpe %d1, %d2\n\tmrs %0, nzcv" : "=r"(nzcv) : "w"(a), "w"(b) : "cc");
        else
            asm volatile("fcmp %d1, %d2\n\tmrs %0, nzcv" : "=r"(nzcv) : "w"(a), "w"(b) : "cc");
    }
    return int(nzcv >> 28);
}

template <typename To>
inline To hw_scvtf(uint64_t x) {
    To r;
    if constexpr (sizeof(To) == 4)
        asm volatile("scvtf %s0, %x1" : "=w"(r) : "r"(x));
    else
        asm volatile("scvtf %d0, %x1" : "=w"(r) : "r"(x));
    return r;
}

template <typename To>
inline To hw_ucvtf(uint64_t x) {
    To r;
    if constexpr (sizeof(To) == 4)
        asm volatile("ucvtf %s0, %x1" : "=w"(r) : "r"(x));
    else
        asm volatile("ucvtf %d0, %x1" : "=w"(r) : "r"(x));
    return r;
}

template <typename From, typename To>
inline To hw_fcvt(From x) {
    To r;
    constexpr int f = int(sizeof(From)), t = int(sizeof(To));
    if constexpr (f == 2 && t == 4)
        asm volatile("fcvt %s0, %h1" : "=w"(r) : "w"(x));
    else if constexpr (f == 2 && t == 8)
        asm volatile("fcvt %d0, %h1" : "=w"(r) : "w"(x));
    else if constexpr (f == 4 && t == 2)
        asm volatile("fcvt %h0, %s1" : "=w"(r) : "w"(x));
    else if constexpr (f == 4 && t == 8)
        asm volatile("fcvt %d0, %s1" : "=w"(r) : "w"(x));
    else if constexpr (f == 8 && t == 2)
        asm volatile("fcvt %h0, %d1" : "=w"(r) : "w"(x));
    else
        asm volatile("fcvt %s0, %d1" : "=w"(r) : "w"(x));
    return r;
}

template <typename To, typename T>
inline To hw_to_int(T x, bool is_unsigned, FPRounding rounding) {
    switch (rounding) {
    case FPRounding_TIEEVEN: return is_unsigned ? hw_fcvtnu<To>(x) : hw_fcvtns<To>(x);
    case FPRounding_POSINF: return is_unsigned ? hw_fcvtpu<To>(x) : hw_fcvtps<To>(x);
    case FPRounding_NEGINF: return is_unsigned ? hw_fcvtmu<To>(x) : hw_fcvtms<To>(x);
    case FPRounding_TIEAWAY: return is_unsigned ? hw_fcvtau<To>(x) : hw_fcvtas<To>(x);
    default: return is_unsigned ? hw_fcvtzu<To>(x) : hw_fcvtzs<To>(x);
    }
}

// Runs the hardware expression under the emulated FPCR.
#define HOST_FP_RUN(hw_expr, sw_expr)                        \
    do {                                                     \
        const HostFPSaved saved_ = host_fp_enter(fpcr);      \
        const auto result_ = (hw_expr);                      \
        host_fp_leave(saved_, fpsr);                         \
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
