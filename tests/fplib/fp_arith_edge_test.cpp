// Special operands of the arithmetic in all three formats: infinities,
// signed zeros, invalid operations, division by zero, flush-to-zero, and the
// fused multiply-add core with a scale.
#include <gtest/gtest.h>

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"

using namespace fptest;

namespace {

template <typename T>
struct Consts {
    using F = FPFormat<T>;
    static constexpr T inf = F::INF, ninf = T(F::INF | F::SIGN);
    static constexpr T zero = 0, nzero = F::SIGN;
    static constexpr T one = T(T(F::B) << F::M), none = T(one | F::SIGN);
    static constexpr T two = fp_two<T>(0), ntwo = fp_two<T>(1);
    static constexpr T four = T(T(F::B + 2) << F::M);
    static constexpr T dnan = F::DEFAULT_NAN;
    static constexpr T qnan_pos = T(F::INF | F::QUIET | 1);  // sign 0, payload 1
    static constexpr T min_sub = 1;
};

template <typename T>
class FPArithEdge : public ::testing::Test {};
typedef ::testing::Types<H, S, D> Formats;
TYPED_TEST_SUITE(FPArithEdge, Formats);

constexpr uint32_t kRM = 2u << FPSCR_RMODE_SHIFT;  // toward minus infinity

template <typename T, typename Fn>
void expect_op(Fn fn, T want, uint32_t want_flags, uint32_t fpscr_in = 0) {
    FPSCR fpscr = fpscr_in;
    const T got = fn(fpscr);
    EXPECT_EQ(uint64_t(got), uint64_t(want));
    EXPECT_EQ(fpscr & FPSCR_FLAGS, want_flags);
}

}  // namespace

TYPED_TEST(FPArithEdge, AddAndSubInfinitiesAndZeros) {
    using T = TypeParam;
    using C = Consts<T>;
    expect_op<T>([](FPSCR &s) { return FPAdd<T>(C::inf, C::ninf, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPSub<T>(C::inf, C::inf, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPSub<T>(C::one, C::ninf, s); }, C::inf, 0);
    expect_op<T>([](FPSCR &s) { return FPAdd<T>(C::zero, C::nzero, s); }, C::zero, 0);
    expect_op<T>([](FPSCR &s) { return FPAdd<T>(C::zero, C::nzero, s); }, C::nzero, 0, kRM);
    expect_op<T>([](FPSCR &s) { return FPSub<T>(C::one, C::one, s); }, C::nzero, 0, kRM);
    for (uint32_t rm = 0; rm < 4; ++rm)
        expect_op<T>([](FPSCR &s) { return FPAdd<T>(C::nzero, C::nzero, s); }, C::nzero, 0,
                     rm << FPSCR_RMODE_SHIFT);
    // A NaN second operand of a subtraction keeps its own sign.
    expect_op<T>([](FPSCR &s) { return FPSub<T>(C::one, C::qnan_pos, s); }, C::qnan_pos, 0);
}

TYPED_TEST(FPArithEdge, MulAndMulX) {
    using T = TypeParam;
    using C = Consts<T>;
    expect_op<T>([](FPSCR &s) { return FPMul<T>(C::inf, C::zero, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPMul<T>(C::nzero, C::ninf, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPMulX<T>(C::inf, C::nzero, s); }, C::ntwo, 0);
    expect_op<T>([](FPSCR &s) { return FPMulX<T>(C::ninf, C::nzero, s); }, C::two, 0);
    expect_op<T>([](FPSCR &s) { return FPMul<T>(C::ninf, C::one, s); }, C::ninf, 0);
    expect_op<T>([](FPSCR &s) { return FPMul<T>(C::none, C::zero, s); }, C::nzero, 0);
    // The smallest subnormal squared underflows to zero (inexact), or is
    // flushed on input under flush-to-zero (no underflow then).
    expect_op<T>([](FPSCR &s) { return FPMul<T>(C::min_sub, C::min_sub, s); }, C::zero, FPSCR_UFC | FPSCR_IXC);
    expect_op<T>([](FPSCR &s) { return FPMul<T>(C::min_sub, C::one, s); }, C::zero,
                 sizeof(T) == 2 ? 0u : uint32_t(FPSCR_IDC), sizeof(T) == 2 ? FPSCR_FZ16 : FPSCR_FZ);
}

TYPED_TEST(FPArithEdge, MulAddSpecialCases) {
    using T = TypeParam;
    using C = Consts<T>;
    // A quiet NaN addend does not hide infinity times zero, even with DN clear.
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::qnan_pos, C::inf, C::zero, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::qnan_pos, C::one, C::zero, s); }, C::qnan_pos, 0);
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::inf, C::ninf, C::one, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::ninf, C::ninf, C::one, s); }, C::ninf, 0);
    // Zeros: +0 + (+1 * -0) has opposite signs, so the result is the
    // rounding-mode zero; equal signs give that zero.
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::zero, C::one, C::nzero, s); }, C::zero, 0);
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::zero, C::one, C::nzero, s); }, C::nzero, 0, kRM);
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::nzero, C::one, C::nzero, s); }, C::nzero, 0);
    // Exact cancellation: 2 - 1 * 2.
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::two, C::none, C::two, s); }, C::zero, 0);
    expect_op<T>([](FPSCR &s) { return FPMulAdd<T>(C::two, C::none, C::two, s); }, C::nzero, 0, kRM);
}

TYPED_TEST(FPArithEdge, MulAddCoreScale) {
    using T = TypeParam;
    using C = Consts<T>;
    using F = FPFormat<T>;
    int flags = 0;
    // (4 + 2 * 2) * 2^-1 = 4; (1 + 0 * x) * 2^3 = 8; scaling below the
    // smallest normal rounds once.
    EXPECT_EQ(uint64_t(fp_muladd<T>(C::four, C::two, C::two, -1, 0, &flags)), uint64_t(C::four));
    EXPECT_EQ(uint64_t(fp_muladd<T>(C::one, C::zero, C::four, 3, 0, &flags)),
              uint64_t(T(T(F::B + 3) << F::M)));
    EXPECT_EQ(flags, 0);
    const T r = fp_muladd<T>(C::zero, C::one, T(C::one | 1), -(F::B + F::M), 0, &flags);
    EXPECT_EQ(uint64_t(r), 1u);  // just above half the smallest subnormal
    EXPECT_EQ(flags, FPSCR_UFC | FPSCR_IXC);
    flags = 0;
    EXPECT_EQ(uint64_t(fp_muladd<T>(C::zero, C::one, C::one, F::EMAX, 0, &flags)), uint64_t(C::inf));
    EXPECT_EQ(flags, FPSCR_OFC | FPSCR_IXC);
}

TYPED_TEST(FPArithEdge, DivAndSqrt) {
    using T = TypeParam;
    using C = Consts<T>;
    expect_op<T>([](FPSCR &s) { return FPDiv<T>(C::one, C::zero, s); }, C::inf, FPSCR_DZC);
    expect_op<T>([](FPSCR &s) { return FPDiv<T>(C::none, C::zero, s); }, C::ninf, FPSCR_DZC);
    expect_op<T>([](FPSCR &s) { return FPDiv<T>(C::inf, C::zero, s); }, C::inf, 0);
    expect_op<T>([](FPSCR &s) { return FPDiv<T>(C::zero, C::zero, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPDiv<T>(C::inf, C::ninf, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPDiv<T>(C::one, C::ninf, s); }, C::nzero, 0);
    expect_op<T>([](FPSCR &s) { return FPSqrt<T>(C::nzero, s); }, C::nzero, 0);
    expect_op<T>([](FPSCR &s) { return FPSqrt<T>(C::none, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPSqrt<T>(C::ninf, s); }, C::dnan, FPSCR_IOC);
    expect_op<T>([](FPSCR &s) { return FPSqrt<T>(C::inf, s); }, C::inf, 0);
    expect_op<T>([](FPSCR &s) { return FPSqrt<T>(C::four, s); }, C::two, 0);
    // A flushed negative subnormal is -0, whose root is -0 (with IDC for
    // single and double).
    expect_op<T>([](FPSCR &s) { return FPSqrt<T>(T(C::nzero | 1), s); }, C::nzero,
                 sizeof(T) == 2 ? 0u : uint32_t(FPSCR_IDC), sizeof(T) == 2 ? FPSCR_FZ16 : FPSCR_FZ);
}

TYPED_TEST(FPArithEdge, NegAndAbsTouchOnlyTheSign) {
    using T = TypeParam;
    using C = Consts<T>;
    const T snan = T(C::inf | 1);
    EXPECT_EQ(uint64_t(FPNeg<T>(snan)), uint64_t(T(snan | FPFormat<T>::SIGN)));
    EXPECT_EQ(uint64_t(FPAbs<T>(T(snan | FPFormat<T>::SIGN))), uint64_t(snan));
    EXPECT_EQ(uint64_t(FPNeg<T>(C::zero)), uint64_t(C::nzero));
}

TEST(FPArithFlush, ResultBelowTheNormalsIsFlushedWithUnderflowOnly) {
    // 2^-100 * 2^-30 in single precision with FZ.
    FPSCR fpscr = FPSCR_FZ;
    EXPECT_EQ(FPMul<S>(0x0D800000u, 0x30800000u, fpscr), 0u);
    EXPECT_EQ(fpscr & FPSCR_FLAGS, uint32_t(FPSCR_UFC));
    // Under FZ16 half precision flushes, FZ alone does not.
    FPSCR h = FPSCR_FZ;
    EXPECT_EQ(FPMul<H>(0x0400, 0x3800, h), 0x0200);  // 2^-14 * 0.5
    EXPECT_EQ(h & FPSCR_FLAGS, 0u);
    h = FPSCR_FZ16;
    EXPECT_EQ(FPMul<H>(0x0400, 0x3800, h), 0x0000);
    EXPECT_EQ(h & FPSCR_FLAGS, uint32_t(FPSCR_UFC));
}
