// Raw IEEE 754 encodings, the floating-point control and status word, the
// rounding modes and the per-format constants shared by the whole library.
//
// Every value is handled as its raw encoding: uint16_t (half), uint32_t
// (single) and uint64_t (double). No host floating-point type appears here.
#pragma once

#include <cstdint>

// Combined control and status word, laid out like the architecture's
// FPSCR: the control fields are read, the cumulative flags are only ever set.
typedef uint32_t FPSCR;

enum FPRounding : int {
    FPRounding_TIEEVEN = 0,  // to nearest, ties to even
    FPRounding_POSINF = 1,   // toward +infinity
    FPRounding_NEGINF = 2,   // toward -infinity
    FPRounding_ZERO = 3,     // toward zero
    FPRounding_TIEAWAY = 4,  // to nearest, ties away from zero
    FPRounding_ODD = 5,      // to odd (von Neumann rounding)
};

// Cumulative exception flags (same bit numbers in the FPSCR and in the
// per-operation flags word).
inline constexpr int FPSCR_IOC = 1 << 0;  // invalid operation
inline constexpr int FPSCR_DZC = 1 << 1;  // division by zero
inline constexpr int FPSCR_OFC = 1 << 2;  // overflow
inline constexpr int FPSCR_UFC = 1 << 3;  // underflow
inline constexpr int FPSCR_IXC = 1 << 4;  // inexact
inline constexpr int FPSCR_IDC = 1 << 7;  // input denormal
inline constexpr uint32_t FPSCR_FLAGS = 0x9F;

// Control fields.
inline constexpr uint32_t FPSCR_FZ16 = 1u << 19;
inline constexpr int FPSCR_RMODE_SHIFT = 22;
inline constexpr uint32_t FPSCR_FZ = 1u << 24;
inline constexpr uint32_t FPSCR_DN = 1u << 25;
inline constexpr uint32_t FPSCR_AHP = 1u << 26;

// What a handler keeps of the library's FPSCR when merging it into FPSR.
inline constexpr uint32_t FPSR_MERGE_MASK = 0xF800009Fu;

// The mode word: the FPSCR condensed once per operation.
inline constexpr int FPMODE_RMODE = 3;
inline constexpr int FPMODE_FZ = 4;
inline constexpr int FPMODE_DN = 8;
inline constexpr int FPMODE_AHP = 16;
inline constexpr int FPMODE_FZ16 = 32;

// Mode word of the arithmetic operations: RMode, FZ, DN and FZ16 (never AHP).
inline constexpr int fp_mode(FPSCR fpscr) {
    return int((fpscr >> FPSCR_RMODE_SHIFT) & 0xF) | ((fpscr & FPSCR_FZ16) ? FPMODE_FZ16 : 0);
}

// Format constants of one encoding type.
template <typename T>
struct FPFormat {
    static_assert(sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8, "half, single or double encodings");
    static constexpr int W = int(8 * sizeof(T));
    static constexpr int E = W == 16 ? 5 : W == 32 ? 8 : 11;
    static constexpr int M = W - E - 1;
    static constexpr int B = (1 << (E - 1)) - 1;
    static constexpr int EMAX = (1 << E) - 1;  // exponent field of infinities and NaNs
    static constexpr T SIGN = T(T(1) << (W - 1));
    static constexpr T FRAC = T((T(1) << M) - 1);
    static constexpr T IMPLICIT = T(T(1) << M);
    static constexpr T QUIET = T(T(1) << (M - 1));
    static constexpr T EXP_MASK = T(T(EMAX) << M);
    static constexpr T INF = EXP_MASK;
    static constexpr T MAX_NORMAL = T(INF - 1);
    static constexpr T DEFAULT_NAN = T(INF | QUIET);
    // Mode-word bit that flushes subnormals of this format, and whether an
    // input flush raises IDC (single and double do, half does not).
    static constexpr int FZ_BIT = W == 16 ? FPMODE_FZ16 : FPMODE_FZ;
    static constexpr bool FLUSH_RAISES_IDC = W != 16;
};

template <typename T>
inline constexpr T fp_zero(int sgn) {
    return T(T(sgn) << (FPFormat<T>::W - 1));
}
template <typename T>
inline constexpr T fp_infinity(int sgn) {
    return T(fp_zero<T>(sgn) | FPFormat<T>::INF);
}
template <typename T>
inline constexpr T fp_max_normal(int sgn) {
    return T(fp_zero<T>(sgn) | FPFormat<T>::MAX_NORMAL);
}
template <typename T>
inline constexpr T fp_default_nan() {
    return FPFormat<T>::DEFAULT_NAN;
}
// 2.0, 1.5 and 3.0 with a sign, as the step operations need them.
template <typename T>
inline constexpr T fp_two(int sgn) {
    return T(fp_zero<T>(sgn) | (T(FPFormat<T>::B + 1) << FPFormat<T>::M));
}
template <typename T>
inline constexpr T fp_one_point_five(int sgn) {
    return T(fp_zero<T>(sgn) | (T(FPFormat<T>::B) << FPFormat<T>::M) | FPFormat<T>::QUIET);
}
template <typename T>
inline constexpr T fp_three(int sgn) {
    return T(fp_two<T>(sgn) | FPFormat<T>::QUIET);
}

// Sign manipulation: no NaN processing, no flags.
template <typename T>
inline constexpr T FPNeg(T x) {
    return T(x ^ FPFormat<T>::SIGN);
}
template <typename T>
inline constexpr T FPAbs(T x) {
    return T(x & T(~FPFormat<T>::SIGN));
}

// Encoding-level classification (no flush-to-zero, no AHP).
template <typename T>
inline constexpr bool fp_is_nan_bits(T x) {
    return (x & FPFormat<T>::EXP_MASK) == FPFormat<T>::EXP_MASK && (x & FPFormat<T>::FRAC) != 0;
}
template <typename T>
inline constexpr bool fp_is_qnan_bits(T x) {
    return fp_is_nan_bits(x) && (x & FPFormat<T>::QUIET) != 0;
}
template <typename T>
inline constexpr bool fp_is_snan_bits(T x) {
    return fp_is_nan_bits(x) && (x & FPFormat<T>::QUIET) == 0;
}
