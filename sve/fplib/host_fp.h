// Single- and double-precision operations for the kernels that run on the
// host's floating-point unit, on raw encodings (T = uint32_t or uint64_t).
//
// Each function computes under the emulated FPCR `fpcr` (RMode, FZ, DN, AHP;
// trap enables are ignored) and ORs the cumulative exception flags it raises
// (IOC, DZC, OFC, UFC, IXC, IDC) into *fpsr. On AArch64 the processor's own
// instructions run with the hardware FPCR set to `fpcr` for the duration and
// the hardware FPSR read back (the host's FPCR and FPSR are restored after);
// on any other processor the bit-exact software library computes the same
// Arm result.
#pragma once

#include <cstdint>
#include <cstring>

#include "sve/fplib/fp_types.h"

#if defined(__aarch64__)
#include <arm_neon.h>

#include <type_traits>
#else
#include "sve/fplib/fplib.h"
#endif

// True when the functions below run on the processor's floating-point unit.
inline constexpr bool kHostFPIsHardware =
#if defined(__aarch64__)
    true;
#else
    false;
#endif

template <typename T>
T host_fp_add(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_sub(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_mul(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_mulx(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_div(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_sqrt(T a, uint32_t fpcr, uint32_t *fpsr);
// addend + a * b with one rounding.
template <typename T>
T host_fp_muladd(T addend, T a, T b, uint32_t fpcr, uint32_t *fpsr);

template <typename T>
T host_fp_max(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_min(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_maxnum(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_minnum(T a, T b, uint32_t fpcr, uint32_t *fpsr);

template <typename T>
bool host_fp_compare_eq(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
bool host_fp_compare_ge(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
bool host_fp_compare_gt(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
bool host_fp_compare_un(T a, T b, uint32_t fpcr, uint32_t *fpsr);
// NZCV nibble: 6 equal, 8 less, 2 greater, 3 unordered.
template <typename T>
int host_fp_compare(T a, T b, bool signal_nans, uint32_t fpcr, uint32_t *fpsr);

// Round to an integral value with an explicit rounding (0..4); with exact
// set, an inexact result raises IXC.
template <typename T>
T host_fp_round_int(T x, FPRounding rounding, bool exact, uint32_t fpcr, uint32_t *fpsr);

// To integer (To = uint32_t or uint64_t: the bit pattern of the signed or
// unsigned result), saturating, with an explicit rounding (0..4).
template <typename To, typename T>
To host_fp_to_int(T x, bool is_unsigned, FPRounding rounding, uint32_t fpcr, uint32_t *fpsr);
// From a 64-bit signed or unsigned integer, rounded with the FPCR's RMode
// (narrower integers are sign- or zero-extended first).
template <typename To>
To host_fp_from_int(uint64_t x, bool is_unsigned, uint32_t fpcr, uint32_t *fpsr);

// Precision conversion (uint16_t, uint32_t, uint64_t encodings), rounded with
// the FPCR's RMode, half precision under AHP.
template <typename From, typename To>
To host_fp_convert(From x, uint32_t fpcr, uint32_t *fpsr);

// Estimates and Newton-Raphson steps.
template <typename T>
T host_fp_recip_estimate(T x, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_rsqrt_estimate(T x, uint32_t fpcr, uint32_t *fpsr);
// 2 - a * b, one rounding.
template <typename T>
T host_fp_recip_step(T a, T b, uint32_t fpcr, uint32_t *fpsr);
// (3 - a * b) / 2, one rounding.
template <typename T>
T host_fp_rsqrt_step(T a, T b, uint32_t fpcr, uint32_t *fpsr);
template <typename T>
T host_fp_recpx(T x, uint32_t fpcr, uint32_t *fpsr);

// ---- One FPCR set-up for a whole instruction --------------------------------
//
// host_fp_begin puts the emulated FPCR in place (on AArch64: the hardware FPCR,
// FPSR cleared; elsewhere a local FPSCR), the host_fp_raw_* operations then
// compute one element each under it, and host_fp_end ORs the cumulative flags
// they raised into *fpsr and restores the host's FPCR and FPSR. Nothing else
// may use the floating-point unit in between.

#if defined(__aarch64__)

namespace host_fp_hw {

// FPCR fields taken from the emulated FPCR: AHP, DN, FZ, RMode and FZ16.
// Trap enables stay clear.
inline constexpr uint64_t kHostFPCRControls = 0x07C80000;

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

// Advanced SIMD forms over 16 bytes: four singles or two doubles, the same
// results and cumulative flags as the scalar instructions lane by lane (and
// eight 16-bit lanes, for the conversions to and from half precision).
template <typename T>
using vec_t = std::conditional_t<sizeof(T) == 2, uint16x8_t,
                                 std::conditional_t<sizeof(T) == 4, uint32x4_t, uint64x2_t>>;

#define HOST_FP_VASM_UNARY(fn, insn)                                                     \
    inline uint32x4_t fn(uint32x4_t a) {                                                 \
        uint32x4_t r;                                                                    \
        asm volatile(insn " %0.4s, %1.4s" : "=w"(r) : "w"(a));                           \
        return r;                                                                        \
    }                                                                                    \
    inline uint64x2_t fn(uint64x2_t a) {                                                 \
        uint64x2_t r;                                                                    \
        asm volatile(insn " %0.2d, %1.2d" : "=w"(r) : "w"(a));                           \
        return r;                                                                        \
    }
#define HOST_FP_VASM_BINARY(fn, insn)                                                    \
    inline uint32x4_t fn(uint32x4_t a, uint32x4_t b) {                                   \
        uint32x4_t r;                                                                    \
        asm volatile(insn " %0.4s, %1.4s, %2.4s" : "=w"(r) : "w"(a), "w"(b));           \
        return r;                                                                        \
    }                                                                                    \
    inline uint64x2_t fn(uint64x2_t a, uint64x2_t b) {                                   \
        uint64x2_t r;                                                                    \
        asm volatile(insn " %0.2d, %1.2d, %2.2d" : "=w"(r) : "w"(a), "w"(b));           \
        return r;                                                                        \
    }

HOST_FP_VASM_BINARY(v_fadd, "fadd")
HOST_FP_VASM_BINARY(v_fsub, "fsub")
HOST_FP_VASM_BINARY(v_fmul, "fmul")
HOST_FP_VASM_BINARY(v_fdiv, "fdiv")
HOST_FP_VASM_BINARY(v_fmax, "fmax")
HOST_FP_VASM_BINARY(v_fmaxnm, "fmaxnm")
HOST_FP_VASM_BINARY(v_fminnm, "fminnm")
HOST_FP_VASM_BINARY(v_fmin, "fmin")
// Pairwise: the lanes of A then B combined two by two, adjacent lanes.
HOST_FP_VASM_BINARY(v_faddp, "faddp")
HOST_FP_VASM_BINARY(v_fmaxp, "fmaxp")
HOST_FP_VASM_BINARY(v_fminp, "fminp")
HOST_FP_VASM_BINARY(v_fmaxnmp, "fmaxnmp")
HOST_FP_VASM_BINARY(v_fminnmp, "fminnmp")
// Compares: all ones in the lanes where the condition holds.
HOST_FP_VASM_BINARY(v_fcmeq, "fcmeq")
HOST_FP_VASM_BINARY(v_fcmge, "fcmge")
HOST_FP_VASM_BINARY(v_fcmgt, "fcmgt")
HOST_FP_VASM_BINARY(v_facge, "facge")
HOST_FP_VASM_BINARY(v_facgt, "facgt")
HOST_FP_VASM_BINARY(v_fabd, "fabd")
HOST_FP_VASM_BINARY(v_fmulx, "fmulx")
HOST_FP_VASM_BINARY(v_frecps, "frecps")
HOST_FP_VASM_UNARY(v_fsqrt, "fsqrt")
HOST_FP_VASM_UNARY(v_frinta, "frinta")
HOST_FP_VASM_UNARY(v_frecpe, "frecpe")
HOST_FP_VASM_UNARY(v_frintn, "frintn")
HOST_FP_VASM_UNARY(v_frintp, "frintp")
HOST_FP_VASM_UNARY(v_frintm, "frintm")
HOST_FP_VASM_UNARY(v_frintz, "frintz")
HOST_FP_VASM_UNARY(v_frinti, "frinti")
HOST_FP_VASM_UNARY(v_frintx, "frintx")
// Integers of the lane's width to and from floating point.
HOST_FP_VASM_UNARY(v_fcvtzs, "fcvtzs")
HOST_FP_VASM_UNARY(v_fcvtzu, "fcvtzu")
HOST_FP_VASM_UNARY(v_scvtf, "scvtf")
HOST_FP_VASM_UNARY(v_ucvtf, "ucvtf")

#undef HOST_FP_VASM_UNARY
#undef HOST_FP_VASM_BINARY

// Single to double precision and back, in 64-bit lanes: the single is the low
// half of its lane, zero-extended in the result.
inline uint64x2_t v_fcvt_single_to_double(uint64x2_t a) {
    const uint32x2_t low = vmovn_u64(a);
    uint64x2_t r;
    asm volatile("fcvtl %0.2d, %1.2s" : "=w"(r) : "w"(low));
    return r;
}
inline uint64x2_t v_fcvt_double_to_single(uint64x2_t a) {
    uint32x2_t r;
    asm volatile("fcvtn %0.2s, %1.2d" : "=w"(r) : "w"(a));
    return vmovl_u32(r);
}

// Half to single and single to double precision widened, and narrowed back,
// a whole register at a time (FCVTL/FCVTL2, FCVTN/FCVTN2; FCVTXN rounds to
// odd).
inline void v_widen(uint16x8_t h, uint32x4_t &lo, uint32x4_t &hi) {
    asm volatile("fcvtl %0.4s, %2.4h\n\tfcvtl2 %1.4s, %2.8h" : "=&w"(lo), "=w"(hi) : "w"(h));
}
inline uint16x8_t v_narrow(uint32x4_t lo, uint32x4_t hi) {
    uint16x8_t r;
    asm volatile("fcvtn %0.4h, %1.4s\n\tfcvtn2 %0.8h, %2.4s" : "=&w"(r) : "w"(lo), "w"(hi));
    return r;
}
inline void v_widen(uint32x4_t s, uint64x2_t &lo, uint64x2_t &hi) {
    asm volatile("fcvtl %0.2d, %2.2s\n\tfcvtl2 %1.2d, %2.4s" : "=&w"(lo), "=w"(hi) : "w"(s));
}
inline uint32x4_t v_narrow_to_odd(uint64x2_t lo, uint64x2_t hi) {
    uint32x4_t r;
    asm volatile("fcvtxn %0.2s, %1.2d\n\tfcvtxn2 %0.4s, %2.2d" : "=&w"(r) : "w"(lo), "w"(hi));
    return r;
}

// The integers of X (16- or 32-bit lanes, SIGNED or not) converted to the
// floating-point format twice their width, exactly: the low half of the lanes
// in LO, the high half in HI.
template <bool Signed>
inline void v_int_to_wider_fp(uint16x8_t x, uint32x4_t &lo, uint32x4_t &hi) {
    if constexpr (Signed) {
        const int16x8_t v = vreinterpretq_s16_u16(x);
        lo = v_scvtf(vreinterpretq_u32_s32(vmovl_s16(vget_low_s16(v))));
        hi = v_scvtf(vreinterpretq_u32_s32(vmovl_high_s16(v)));
    } else {
        lo = v_ucvtf(vmovl_u16(vget_low_u16(x)));
        hi = v_ucvtf(vmovl_high_u16(x));
    }
}
template <bool Signed>
inline void v_int_to_wider_fp(uint32x4_t x, uint64x2_t &lo, uint64x2_t &hi) {
    if constexpr (Signed) {
        const int32x4_t v = vreinterpretq_s32_u32(x);
        lo = v_scvtf(vreinterpretq_u64_s64(vmovl_s32(vget_low_s32(v))));
        hi = v_scvtf(vreinterpretq_u64_s64(vmovl_high_s32(v)));
    } else {
        lo = v_ucvtf(vmovl_u32(vget_low_u32(x)));
        hi = v_ucvtf(vmovl_high_u32(x));
    }
}

// Four halves to singles, four singles to halves (conversions, which take the
// FPCR's rounding mode, FZ for single-precision inputs and DN, and ignore FZ16).
inline uint32x4_t v_widen4(uint16x4_t h) {
    uint32x4_t r;
    asm volatile("fcvtl %0.4s, %1.4h" : "=w"(r) : "w"(h));
    return r;
}
inline uint16x4_t v_narrow4(uint32x4_t x) {
    uint16x4_t r;
    asm volatile("fcvtn %0.4h, %1.4s" : "=w"(r) : "w"(x));
    return r;
}

// addend + a * b with one rounding.
inline uint32x4_t v_fmla(uint32x4_t addend, uint32x4_t a, uint32x4_t b) {
    asm volatile("fmla %0.4s, %1.4s, %2.4s" : "+w"(addend) : "w"(a), "w"(b));
    return addend;
}
inline uint64x2_t v_fmla(uint64x2_t addend, uint64x2_t a, uint64x2_t b) {
    asm volatile("fmla %0.2d, %1.2d, %2.2d" : "+w"(addend) : "w"(a), "w"(b));
    return addend;
}

// Bit operations (no floating-point behaviour).
inline uint16x8_t v_splat(uint16_t x) { return vdupq_n_u16(x); }
inline uint32x4_t v_splat(uint32_t x) { return vdupq_n_u32(x); }
inline uint64x2_t v_splat(uint64_t x) { return vdupq_n_u64(x); }
inline uint32x4_t v_neg(uint32x4_t a) { return veorq_u32(a, vdupq_n_u32(0x80000000u)); }
inline uint64x2_t v_neg(uint64x2_t a) { return veorq_u64(a, vdupq_n_u64(0x8000000000000000ull)); }
inline uint32x4_t v_not(uint32x4_t a) { return vmvnq_u32(a); }
inline uint64x2_t v_not(uint64x2_t a) { return veorq_u64(a, vdupq_n_u64(~0ull)); }
inline uint32x4_t v_and(uint32x4_t a, uint32x4_t b) { return vandq_u32(a, b); }
inline uint64x2_t v_and(uint64x2_t a, uint64x2_t b) { return vandq_u64(a, b); }
// Lanes of `yes` where the mask is set, of `no` elsewhere.
inline uint16x8_t v_select(uint16x8_t m, uint16x8_t yes, uint16x8_t no) { return vbslq_u16(m, yes, no); }
inline uint32x4_t v_select(uint32x4_t m, uint32x4_t yes, uint32x4_t no) { return vbslq_u32(m, yes, no); }
inline uint64x2_t v_select(uint64x2_t m, uint64x2_t yes, uint64x2_t no) { return vbslq_u64(m, yes, no); }
// All ones in the lanes whose lowest bit is set.
inline uint16x8_t v_low_bit(uint16x8_t a) { return vtstq_u16(a, vdupq_n_u16(1)); }
inline uint32x4_t v_low_bit(uint32x4_t a) { return vtstq_u32(a, vdupq_n_u32(1)); }
inline uint64x2_t v_low_bit(uint64x2_t a) { return vtstq_u64(a, vdupq_n_u64(1)); }

// The 256-byte images 16 bytes at a time: where an element of T is active in
// the predicate bytes G, D gets VOP of A's element; elsewhere D keeps its
// element, and VOP sees INACTIVE there (a value that raises nothing in it).
template <typename T, typename VOp>
inline void merge_unary_pieces(const unsigned char *g, const unsigned char *a, unsigned char *d, T inactive, VOp vop) {
    using Vt = vec_t<T>;
    const Vt fill = v_splat(inactive);
    for (unsigned off = 0; off < 256; off += 16) {
        Vt m, x, old;
        std::memcpy(&m, g + off, 16);
        m = v_low_bit(m);
        std::memcpy(&x, a + off, 16);
        std::memcpy(&old, d + off, 16);
        const Vt res = vop(v_select(m, x, fill));
        const Vt out = v_select(m, res, old);
        std::memcpy(d + off, &out, 16);
    }
}

}  // namespace host_fp_hw

struct host_fp_scope {
    uint64_t host_fpcr;  // the host's FPCR and FPSR, restored by host_fp_end
    uint64_t host_fpsr;
    uint64_t used;  // the FPCR the operations run under
};

inline host_fp_scope host_fp_begin(uint32_t fpcr) {
    host_fp_scope s;
    asm volatile("mrs %0, fpcr" : "=r"(s.host_fpcr));
    asm volatile("mrs %0, fpsr" : "=r"(s.host_fpsr));
    s.used = fpcr & host_fp_hw::kHostFPCRControls;
    if (s.used != s.host_fpcr) asm volatile("msr fpcr, %0" : : "r"(s.used));
    asm volatile("msr fpsr, %x0" : : "rZ"(uint64_t(0)));
    return s;
}

inline void host_fp_end(const host_fp_scope &s, uint32_t *fpsr) {
    uint64_t raised;
    asm volatile("mrs %0, fpsr" : "=r"(raised));
    *fpsr |= uint32_t(raised) & FPSCR_FLAGS;
    if (s.used != s.host_fpcr) asm volatile("msr fpcr, %0" : : "r"(s.host_fpcr));
    asm volatile("msr fpsr, %0" : : "r"(s.host_fpsr));
}

#define HOST_FP_RAW(hw_expr, sw_expr) \
    (void)scope;                      \
    return hw_expr

#else

struct host_fp_scope {
    FPSCR fpscr;  // the emulated FPCR, the raised flags ORed in
};

inline host_fp_scope host_fp_begin(uint32_t fpcr) { return host_fp_scope{fpcr}; }
inline void host_fp_end(const host_fp_scope &s, uint32_t *fpsr) { *fpsr |= s.fpscr & FPSCR_FLAGS; }

#define HOST_FP_RAW(hw_expr, sw_expr) return sw_expr

#endif

template <typename T>
inline T host_fp_raw_add(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fadd(a, b), FPAdd(a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_sub(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fsub(a, b), FPSub(a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_mul(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fmul(a, b), FPMul(a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_div(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fdiv(a, b), FPDiv(a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_sqrt(host_fp_scope &scope, T a) {
    HOST_FP_RAW(host_fp_hw::hw_fsqrt(a), FPSqrt(a, scope.fpscr));
}
// addend + a * b with one rounding.
template <typename T>
inline T host_fp_raw_muladd(host_fp_scope &scope, T addend, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fmadd(addend, a, b), FPMulAdd(addend, a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_max(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fmax(a, b), FPMax(a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_min(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fmin(a, b), FPMin(a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_maxnum(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fmaxnm(a, b), FPMaxNum(a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_minnum(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fminnm(a, b), FPMinNum(a, b, scope.fpscr));
}
// X, zero- or sign-extended to 64 bits as IS_UNSIGNED says, converted to To with
// the scope's rounding mode.
template <typename To>
inline To host_fp_raw_from_int(host_fp_scope &scope, uint64_t x, bool is_unsigned) {
    HOST_FP_RAW(is_unsigned ? host_fp_hw::hw_ucvtf<To>(x) : host_fp_hw::hw_scvtf<To>(x),
                fplibFixedToFP<To>(x, 0, is_unsigned, FPRounding((scope.fpscr >> FPSCR_RMODE_SHIFT) & 3), scope.fpscr));
}
// Round to integral, ties away from zero, IXC not raised.
template <typename T>
inline T host_fp_raw_round_tieaway(host_fp_scope &scope, T a) {
    HOST_FP_RAW(host_fp_hw::hw_frinta(a), FPRoundInt(a, FPRounding_TIEAWAY, false, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_recip_estimate(host_fp_scope &scope, T a) {
    HOST_FP_RAW(host_fp_hw::hw_frecpe(a), FPRecipEstimate(a, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_rsqrt_estimate(host_fp_scope &scope, T a) {
    HOST_FP_RAW(host_fp_hw::hw_frsqrte(a), FPRSqrtEstimate(a, scope.fpscr));
}
// (3 - a * b) / 2, one rounding.
template <typename T>
inline T host_fp_raw_rsqrt_step(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_frsqrts(a, b), FPRSqrtStepFused(a, b, scope.fpscr));
}
template <typename T>
inline T host_fp_raw_recpx(host_fp_scope &scope, T a) {
    HOST_FP_RAW(host_fp_hw::hw_frecpx(a), FPRecpX(a, scope.fpscr));
}
// 2 - a * b, one rounding.
template <typename T>
inline T host_fp_raw_recip_step(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_frecps(a, b), FPRecipStepFused(a, b, scope.fpscr));
}
template <typename T>
inline bool host_fp_raw_compare_eq(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fcmeq(a, b) != 0, FPCompareEQ(a, b, scope.fpscr));
}
template <typename T>
inline bool host_fp_raw_compare_ge(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fcmge(a, b) != 0, FPCompareGE(a, b, scope.fpscr));
}
template <typename T>
inline bool host_fp_raw_compare_gt(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fcmgt(a, b) != 0, FPCompareGT(a, b, scope.fpscr));
}
template <typename T>
inline bool host_fp_raw_compare_un(host_fp_scope &scope, T a, T b) {
    HOST_FP_RAW(host_fp_hw::hw_fcmp(a, b, false) == 3, FPCompareUN(a, b, scope.fpscr));
}

#undef HOST_FP_RAW
