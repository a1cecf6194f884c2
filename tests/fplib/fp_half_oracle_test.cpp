// Half precision against exact oracles built from the host: half operands are
// doubles exactly; sums, differences and products are exact in double;
// quotients and square roots are correctly rounded in double (double has more
// than twice half's precision plus two bits, so one more rounding to half is
// the correct rounding) and computed in the same rounding direction, with the
// host's inexact flag as the sticky part; fused multiply-adds are exact in
// 128-bit fixed point. The final rounding to half is half_round (half_oracle.h).
#include <gtest/gtest.h>

#if defined(__x86_64__)

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"
#include "tests/fplib/half_oracle.h"

using namespace fptest;

namespace {

// Arm's NaN result of a two-operand operation with a NaN operand.
H arm_nan(H a, H b) {
    if (fp_is_snan_bits(a)) return H(a | 0x200);
    if (fp_is_snan_bits(b)) return H(b | 0x200);
    return fp_is_nan_bits(a) ? a : b;
}

// Expected half result of op on a and b under rm (op over doubles on the host).
HalfRef expected_binary(HostOp op, H a, H b, int rm) {
    std::fesetround(host_rounding(rm));
    std::feclearexcept(FE_ALL_EXCEPT);
    const double d = f64(host_op<D>(op, bits(half_to_double(a)), bits(half_to_double(b))));
    const int ex = std::fetestexcept(FE_ALL_EXCEPT);
    std::fesetround(FE_TONEAREST);
    if (fp_is_nan_bits(a) || fp_is_nan_bits(b))
        return {arm_nan(a, b), (fp_is_snan_bits(a) || fp_is_snan_bits(b)) ? FPSCR_IOC : 0};
    if (std::isnan(d)) return {0x7E00, FPSCR_IOC};
    if (std::isinf(d)) return {uint16_t(std::signbit(d) ? 0xFC00 : 0x7C00), (ex & FE_DIVBYZERO) ? FPSCR_DZC : 0};
    return half_round_double(d, (ex & FE_INEXACT) != 0, rm);
}

H lib_binary(HostOp op, H a, H b, FPSCR &fpscr) {
    switch (op) {
    case HostOp::Add: return FPAdd(a, b, fpscr);
    case HostOp::Sub: return FPSub(a, b, fpscr);
    case HostOp::Mul: return FPMul(a, b, fpscr);
    case HostOp::Div: return FPDiv(a, b, fpscr);
    default: return 0;
    }
}

void check_half_binary(HostOp op, uint64_t seed) {
    Rng r(seed);
    const uint64_t n = samples(200000, 10000000);
    int failures = 0;
    for (uint64_t i = 0; i < n && failures < 10; ++i) {
        const H a = biased_operand<H>(r), b = biased_operand<H>(r);
        for (int rm = 0; rm < 4; ++rm) {
            const HalfRef want = expected_binary(op, a, b, rm);
            FPSCR fpscr = FPSCR(rm) << FPSCR_RMODE_SHIFT;
            const H got = lib_binary(op, a, b, fpscr);
            if (got != want.bits || int(fpscr & FPSCR_FLAGS) != want.flags) {
                ++failures;
                ADD_FAILURE() << "op " << int(op) << " rmode " << rm << std::hex << " a=0x" << a << " b=0x" << b
                              << ": want 0x" << want.bits << " flags 0x" << want.flags << ", got 0x" << got
                              << " flags 0x" << (fpscr & FPSCR_FLAGS);
            }
        }
    }
}

}  // namespace

TEST(FPHalfOracle, AddRandomPairs) { check_half_binary(HostOp::Add, 101); }
TEST(FPHalfOracle, SubRandomPairs) { check_half_binary(HostOp::Sub, 102); }
TEST(FPHalfOracle, MulRandomPairs) { check_half_binary(HostOp::Mul, 103); }
TEST(FPHalfOracle, DivRandomPairs) { check_half_binary(HostOp::Div, 104); }

TEST(FPHalfOracle, SqrtExhaustive) {
    int failures = 0;
    for (int rm = 0; rm < 4; ++rm) {
        for (uint32_t x = 0; x < 0x10000 && failures < 10; ++x) {
            const H a = H(x);
            std::fesetround(host_rounding(rm));
            std::feclearexcept(FE_ALL_EXCEPT);
            const double d = f64(host_op<D>(HostOp::Sqrt, bits(half_to_double(a)), 0));
            const int ex = std::fetestexcept(FE_ALL_EXCEPT);
            std::fesetround(FE_TONEAREST);
            HalfRef want;
            if (fp_is_nan_bits(a))
                want = {H(a | 0x200), fp_is_snan_bits(a) ? FPSCR_IOC : 0};
            else if (std::isnan(d))
                want = {0x7E00, FPSCR_IOC};
            else if (std::isinf(d))
                want = {0x7C00, 0};
            else
                want = half_round_double(d, (ex & FE_INEXACT) != 0, rm);
            FPSCR fpscr = FPSCR(rm) << FPSCR_RMODE_SHIFT;
            const H got = FPSqrt(a, fpscr);
            if (got != want.bits || int(fpscr & FPSCR_FLAGS) != want.flags) {
                ++failures;
                ADD_FAILURE() << "sqrt rmode " << rm << std::hex << " a=0x" << a << ": want 0x" << want.bits
                              << " flags 0x" << want.flags << ", got 0x" << got << " flags 0x"
                              << (fpscr & FPSCR_FLAGS);
            }
        }
    }
}

// Fused multiply-add: every half value is an integer multiple of 2^-24, so
// addend + a * b is an exact integer multiple of 2^-48 below 2^82.
TEST(FPHalfOracle, MulAddRandomTriples) {
    Rng r(105);
    const uint64_t n = samples(200000, 10000000);
    int failures = 0;
    auto fixed = [](H h) {  // h * 2^24 as a signed integer
        const int e = (h >> 10) & 31, f = h & 0x3FF;
        const __int128 m = e ? __int128(1024 + f) << (e - 1) : __int128(f);
        return (h & 0x8000) ? -m : m;
    };
    for (uint64_t i = 0; i < n && failures < 10; ++i) {
        const H c = biased_operand<H>(r), a = biased_operand<H>(r), b = biased_operand<H>(r);
        for (int rm = 0; rm < 4; ++rm) {
            HalfRef want;
            const bool special = (c & 0x7C00) == 0x7C00 || (a & 0x7C00) == 0x7C00 || (b & 0x7C00) == 0x7C00;
            if (special) {
                // Infinities and NaNs: the host's double fused multiply-add,
                // with Arm's NaN choice and its invalid 0 * inf + qNaN.
                const double d = f64(host_op<D>(HostOp::MulAdd, bits(half_to_double(c)), bits(half_to_double(a)),
                                                bits(half_to_double(b))));
                const bool inf_zero = (((a & 0x7FFF) == 0x7C00) && !(b & 0x7FFF)) ||
                                      (!(a & 0x7FFF) && ((b & 0x7FFF) == 0x7C00));
                const int snan_flag = (fp_is_snan_bits(a) || fp_is_snan_bits(b) || fp_is_snan_bits(c)) ? FPSCR_IOC : 0;
                if (fp_is_qnan_bits(c) && inf_zero)
                    want = {0x7E00, FPSCR_IOC};
                else if (fp_is_snan_bits(c) || (!fp_is_snan_bits(a) && !fp_is_snan_bits(b) && fp_is_nan_bits(c)))
                    want = {H(c | 0x200), snan_flag};
                else if (fp_is_nan_bits(a) || fp_is_nan_bits(b))
                    want = {arm_nan(a, b), snan_flag};
                else if (std::isnan(d))
                    want = {0x7E00, FPSCR_IOC};
                else
                    want = {uint16_t(std::signbit(d) ? 0xFC00 : 0x7C00), 0};
            } else {
                const __int128 sum = (fixed(c) << 24) + fixed(a) * fixed(b);
                if (sum == 0) {
                    // Exact zero: the addend's zero when it and the product
                    // are zeros of one sign, otherwise the rounding-mode zero.
                    const bool zero_p = !(a & 0x7FFF) || !(b & 0x7FFF);
                    const int sp = ((a ^ b) >> 15) & 1, sc = c >> 15;
                    const bool same = !(c & 0x7FFF) && zero_p && sp == sc;
                    want = {uint16_t(same ? (c & 0x8000) : (rm == 2 ? 0x8000 : 0)), 0};
                } else {
                    const unsigned __int128 mag = sum < 0 ? (unsigned __int128)(-sum) : (unsigned __int128)sum;
                    want = half_round(sum < 0, mag, -48, false, rm);
                }
            }
            FPSCR fpscr = FPSCR(rm) << FPSCR_RMODE_SHIFT;
            const H got = FPMulAdd(c, a, b, fpscr);
            if (got != want.bits || int(fpscr & FPSCR_FLAGS) != want.flags) {
                ++failures;
                ADD_FAILURE() << "muladd rmode " << rm << std::hex << " c=0x" << c << " a=0x" << a << " b=0x" << b
                              << ": want 0x" << want.bits << " flags 0x" << want.flags << ", got 0x" << got
                              << " flags 0x" << (fpscr & FPSCR_FLAGS);
            }
        }
    }
}

// Round to integral, every half value, every rounding, exact and not: the
// reference rounds the double value with the host's nearbyint in the same
// direction (ties away: round), and the encoding keeps the input's sign.
TEST(FPHalfOracle, RoundIntExhaustive) {
    int failures = 0;
    for (int rounding = 0; rounding <= 4; ++rounding) {
        for (uint32_t x = 0; x < 0x10000 && failures < 10; ++x) {
            const H a = H(x);
            const double d = half_to_double(a);
            HalfRef want;
            if (fp_is_nan_bits(a)) {
                want = {H(a | 0x200), fp_is_snan_bits(a) ? FPSCR_IOC : 0};
            } else if (std::isinf(d)) {
                want = {a, 0};
            } else {
                const double rd = round_integral(d, rounding);
                want = half_round_double(rd, false, 0);
                want.flags = 0;
            }
            for (int exact = 0; exact < 2; ++exact) {
                FPSCR fpscr = 0;
                const H got = FPRoundInt(a, FPRounding(rounding), exact != 0, fpscr);
                const int want_flags = want.flags | ((exact && !std::isnan(d) && std::nearbyint(d) != d &&
                                                      std::isfinite(d))
                                                         ? FPSCR_IXC
                                                         : 0);
                if (got != want.bits || int(fpscr & FPSCR_FLAGS) != want_flags) {
                    ++failures;
                    ADD_FAILURE() << "roundint " << rounding << " exact " << exact << std::hex << " a=0x" << a
                                  << ": want 0x" << want.bits << ", got 0x" << got << " flags 0x"
                                  << (fpscr & FPSCR_FLAGS);
                }
            }
        }
    }
}

#else

TEST(FPHalfOracle, NeedsX86Host) { GTEST_SKIP() << "the host-built half-precision oracles run on x86_64 builds only"; }

#endif
