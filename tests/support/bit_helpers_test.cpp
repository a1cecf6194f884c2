#include <gtest/gtest.h>

#include <random>

#include "sve/support/bit_helpers.h"
#include "sve/support/int_minmax.h"
#include "sve/support/polynomial_mult.h"

namespace {

uint64_t low(uint64_t x, int n) { return n >= 64 ? x : x & ((uint64_t{1} << n) - 1); }
bool bit(uint64_t x, int i) { return (x >> i) & 1; }

TEST(BitHelpers, EdgeCases) {
    EXPECT_EQ(ones(0), ~0ull);
    EXPECT_EQ(ones(64), ~0ull);
    EXPECT_EQ(CountLeadingZeroBits(0, 16), 16);
    EXPECT_EQ(CountLeadingSignBits(0xFFFF, 16), 15);
    EXPECT_EQ(CountLeadingSignBits(0, 8), 7);
    EXPECT_EQ(HighestBitSet(0x100, 8), -1);  // bits above n are ignored
    EXPECT_EQ(Reverse(0x0102030405060708ull, 64, 2), 0x0708050603040102ull);
    EXPECT_EQ(Reverse(0x0102030405060708ull, 64, 3), 0u);
    EXPECT_EQ(Reverse(0xAABB1234ull, 16, 1), 0x3412u);
    EXPECT_EQ(ShiftLeft(1, 65, 8), 2u);
}

// Every helper against a plain per-bit loop, all widths, random words.
TEST(BitHelpers, MatchNaiveLoops) {
    std::mt19937_64 rng(1);
    for (int iter = 0; iter < 4000; ++iter) {
        const uint64_t x = rng() >> (rng() % 64);
        for (int n = 1; n <= 64; ++n) {
            int hb = -1, cnt = 0, cls = 0;
            uint64_t rev = 0;
            for (int i = 0; i < n; ++i) {
                if (bit(x, i)) hb = i, ++cnt;
                rev |= uint64_t{bit(x, i)} << (n - 1 - i);
            }
            for (int i = n - 2; i >= 0 && bit(x, i) == bit(x, n - 1); --i) ++cls;
            ASSERT_EQ(HighestBitSet(x, n), hb) << n;
            ASSERT_EQ(CountLeadingZeroBits(x, n), n - 1 - hb) << n;
            ASSERT_EQ(CountLeadingSignBits(x, n), cls) << n;
            ASSERT_EQ(BitCount(x, n), cnt) << n;
            ASSERT_EQ(BitReverse(x, n), rev) << n;
        }
        for (int m : {16, 32, 64})
            for (int size : {1, 2, 4}) {
                const int count = m / 8 / size;
                if (count < 1) continue;
                uint64_t ref = 0;
                for (int j = 0; j < count; ++j) {
                    const uint64_t unit = low(x >> (8 * size * (count - 1 - j)), 8 * size);
                    ref |= unit << (8 * size * j);
                }
                ASSERT_EQ(Reverse(x, m, size), ref) << m << "/" << size;
            }
    }
}

TEST(MinMax, ComparesLowBitsReturnsWholeArgument) {
    EXPECT_EQ(Max(0x180, 0x07F, 8, 0), 0x07Fu);
    EXPECT_EQ(Max(0x180, 0x07F, 8, 1), 0x180u);
    EXPECT_EQ(Min(0x180, 0x07F, 8, 0), 0x180u);
    EXPECT_EQ(Max(0x105, 0x205, 8, 0), 0x105u);  // equal elements: first argument
    EXPECT_EQ(Max(1, 2, 12, 1), 0u);
    EXPECT_EQ(Min(0x8000000000000000ull, 1, 64, 0), 0x8000000000000000ull);
    EXPECT_EQ(Min(0x8000000000000000ull, 1, 64, 1), 1u);
}

TEST(PolynomialMult, MatchesCoefficientConvolution) {
    EXPECT_EQ(PolynomialMult(3, 3).lo, 5u);
    EXPECT_EQ(PolynomialMult(3, 3).hi, 0u);
    EXPECT_EQ(PolynomialMult(1ull << 63, 2).lo, 0u);
    EXPECT_EQ(PolynomialMult(1ull << 63, 2).hi, 1u);
    std::mt19937_64 rng(2);
    for (int iter = 0; iter < 300; ++iter) {
        const uint64_t a = rng(), b = rng();
        uint64_t lo = 0, hi = 0;
        for (int k = 0; k < 127; ++k) {
            bool c = false;
            for (int i = 0; i < 64; ++i)
                if (k - i >= 0 && k - i < 64) c ^= bit(a, i) & bit(b, k - i);
            (k < 64 ? lo : hi) |= uint64_t{c} << (k % 64);
        }
        const PolyProduct p = PolynomialMult(a, b);
        ASSERT_EQ(p.lo, lo);
        ASSERT_EQ(p.hi, hi);
    }
}

}  // namespace
