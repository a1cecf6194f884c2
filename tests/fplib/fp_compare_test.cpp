// Comparisons and maximum/minimum: the listed edge cases, and random operands
// (all three formats, flush-to-zero on and off) against a reference that
// compares the values as host doubles.
#include <gtest/gtest.h>

#include <cmath>

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"
#include "tests/fplib/half_oracle.h"

using namespace fptest;

namespace {

template <typename T>
double value_of(T x, bool flush) {
    using F = FPFormat<T>;
    if (flush && (x & F::EXP_MASK) == 0) return (x & F::SIGN) ? -0.0 : 0.0;
    if constexpr (sizeof(T) == 2)
        return half_to_double(x);
    else if constexpr (sizeof(T) == 4)
        return double(f32(x));
    else
        return f64(x);
}

template <typename T>
bool is_subnormal(T x) {
    return (x & FPFormat<T>::EXP_MASK) == 0 && (x & FPFormat<T>::FRAC) != 0;
}

template <typename T>
void check_random_compares(uint64_t seed) {
    using F = FPFormat<T>;
    Rng r(seed);
    const uint64_t n = samples(100000, 2000000);
    for (uint64_t i = 0; i < n; ++i) {
        const T a = biased_operand<T>(r);
        T b = biased_operand<T>(r);
        if (r.below(4) == 0) b = T(a ^ (r.coin() ? F::SIGN : 0));  // equal magnitudes
        const bool fz = r.coin();
        const FPSCR ctl = fz ? (sizeof(T) == 2 ? FPSCR_FZ16 : FPSCR_FZ) : 0;
        const double x = value_of(a, fz), y = value_of(b, fz);
        const bool nan = std::isnan(x) || std::isnan(y);
        const bool snan = fp_is_snan_bits(a) || fp_is_snan_bits(b);
        const uint32_t idc = (fz && sizeof(T) != 2 && (is_subnormal(a) || is_subnormal(b))) ? FPSCR_IDC : 0;
        const uint32_t quiet_flags = idc | (snan ? FPSCR_IOC : 0);
        const uint32_t signalling_flags = idc | (nan ? FPSCR_IOC : 0);

        FPSCR s = ctl;
        EXPECT_EQ(FPCompareEQ(a, b, s), !nan && x == y);
        EXPECT_EQ(s & FPSCR_FLAGS, quiet_flags);
        s = ctl;
        EXPECT_EQ(FPCompareUN(a, b, s), nan);
        EXPECT_EQ(s & FPSCR_FLAGS, quiet_flags);
        s = ctl;
        EXPECT_EQ(FPCompareGE(a, b, s), !nan && x >= y);
        EXPECT_EQ(s & FPSCR_FLAGS, signalling_flags);
        s = ctl;
        EXPECT_EQ(FPCompareGT(a, b, s), !nan && x > y);
        EXPECT_EQ(s & FPSCR_FLAGS, signalling_flags);
        for (int sig = 0; sig < 2; ++sig) {
            s = ctl;
            const int want = nan ? 3 : x == y ? 6 : x < y ? 8 : 2;
            EXPECT_EQ(FPCompare(a, b, sig != 0, s), want);
            EXPECT_EQ(s & FPSCR_FLAGS, sig ? signalling_flags : quiet_flags);
        }

        // Maximum and minimum of numbers: the larger/smaller value, +0 over
        // -0 for the maximum, and a flushed subnormal comes back as its zero.
        if (!nan) {
            for (int is_max = 0; is_max < 2; ++is_max) {
                s = ctl;
                const T got = is_max ? FPMax(a, b, s) : FPMin(a, b, s);
                double want;
                if (x == y && x == 0) {
                    const bool neg = is_max ? std::signbit(x) && std::signbit(y) : std::signbit(x) || std::signbit(y);
                    want = neg ? -0.0 : 0.0;
                } else {
                    want = is_max ? std::fmax(x, y) : std::fmin(x, y);
                }
                EXPECT_EQ(value_of(got, false), want);
                EXPECT_EQ(std::signbit(value_of(got, false)), std::signbit(want))
                    << std::hex << uint64_t(a) << " " << uint64_t(b) << " max " << is_max;
                EXPECT_EQ(s & FPSCR_FLAGS, idc);
            }
        }
    }
}

}  // namespace

TEST(FPCompareRandom, Half) { check_random_compares<H>(201); }
TEST(FPCompareRandom, Single) { check_random_compares<S>(202); }
TEST(FPCompareRandom, Double) { check_random_compares<D>(203); }

TEST(FPCompareEdge, QuietAndSignallingCompares) {
    const S qnan = 0x7FC00000u, snan = 0x7F800001u, one = 0x3F800000u, two = 0x40000000u;
    FPSCR s = 0;
    EXPECT_FALSE(FPCompareEQ(qnan, qnan, s));
    EXPECT_EQ(s, 0u);
    EXPECT_FALSE(FPCompareEQ(snan, one, s));
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = 0;
    EXPECT_FALSE(FPCompareGE(qnan, one, s));
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = 0;
    EXPECT_TRUE(FPCompareGE<S>(0, 0x80000000u, s));
    EXPECT_TRUE(FPCompareGE<S>(0x80000000u, 0, s));
    EXPECT_FALSE(FPCompareGT<S>(0, 0x80000000u, s));
    EXPECT_TRUE(FPCompareGT<S>(one | 0x80000000u, two | 0x80000000u, s));
    EXPECT_EQ(s, 0u);
    s = FPSCR_FZ;
    EXPECT_TRUE(FPCompareEQ<S>(1, 2, s));
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
    s = 0;
    EXPECT_EQ(FPCompare<D>(0x7FF8000000000000ull, 0, false, s), 3);
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(FPCompare<D>(0x7FF8000000000000ull, 0, true, s), 3);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
}

TEST(FPCompareEdge, MaxMinNumAndNaNs) {
    const S qnan = 0xFFC00001u, qnan2 = 0x7FC00002u, snan = 0x7F800003u, three = 0x40400000u;
    FPSCR s = 0;
    EXPECT_EQ(FPMaxNum(qnan, three, s), three);
    EXPECT_EQ(FPMinNum(three, qnan, s), three);
    EXPECT_EQ(FPMaxNum<S>(qnan, 0xFF800000u, s), 0xFF800000u);  // -inf still wins over the NaN
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(FPMaxNum(snan, three, s), 0x7FC00003u);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = FPSCR_DN;
    EXPECT_EQ(FPMaxNum(snan, three, s), 0x7FC00000u);
    s = 0;
    EXPECT_EQ(FPMinNum(qnan, qnan2, s), qnan);
    EXPECT_EQ(FPMaxNum(qnan, snan, s), 0x7FC00003u);
    EXPECT_EQ(FPMax(qnan, three, s), qnan);
    // Signed zeros.
    EXPECT_EQ(FPMax<S>(0, 0x80000000u, s), 0u);
    EXPECT_EQ(FPMax<S>(0x80000000u, 0, s), 0u);
    EXPECT_EQ(FPMin<S>(0, 0x80000000u, s), 0x80000000u);
    EXPECT_EQ(FPMin<S>(0x80000000u, 0, s), 0x80000000u);
    // A flushed subnormal comes back as a signed zero.
    s = FPSCR_FZ;
    EXPECT_EQ(FPMax<S>(0x00000005u, 0xBF800000u, s), 0u);
    EXPECT_EQ(FPMin<S>(0x80000005u, 0x3F800000u, s), 0x80000000u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
}
