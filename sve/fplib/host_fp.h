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

#include "sve/fplib/fp_types.h"

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
