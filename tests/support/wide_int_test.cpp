#include <gtest/gtest.h>

#include <random>

#include "sve/support/bigint.h"
#include "sve/support/wide_int.h"

namespace {

constexpr WideInt kMin128 = static_cast<WideInt>(WideUInt{1} << 127);

bool same(const BigInt &a, const BigInt &b) {
    return a.w[0] == b.w[0] && a.w[1] == b.w[1] && a.w[2] == b.w[2] && a.w[3] == b.w[3];
}

TEST(WideInt, Conversions) {
    EXPECT_TRUE(Int(0x80, 8, 0) == -128);
    EXPECT_TRUE(Int(0x180, 8, 1) == 0x80);
    EXPECT_TRUE(Int(~0ull, 64, 1) == WideInt{~0ull});
    EXPECT_TRUE(Int(0xFF, 8, 2) == -1);  // any flag other than 1 is signed
    EXPECT_TRUE(SInt(0x8000, 12) == 0);
    EXPECT_TRUE(AbsInt(kMin128) == kMin128);  // wraps
}

TEST(WideInt, Shifts) {
    EXPECT_TRUE(ShiftLeftInt(1, 100) == ShiftLeftInt(1, 64));
    EXPECT_TRUE(ShiftLeftInt(-8, -2) == -2);
    EXPECT_TRUE(ShiftRightInt(-1, 200) == -1);
    EXPECT_TRUE(ShiftRightInt(-1, 128) == -1);
    EXPECT_TRUE(ShiftRightInt(kMin128, 128) == 0);
    EXPECT_TRUE(ShiftRightInt(1, -3) == 8);
    // Element-sized values shift exactly by any amount.
    std::mt19937_64 rng(3);
    for (int i = 0; i < 2000; ++i) {
        const WideInt w = Int(rng(), 64, static_cast<int>(rng() & 1));
        const int s = static_cast<int>(rng() % 300);
        const WideInt exact = s >= 127 ? (w < 0 ? -1 : 0) : w >> s;
        ASSERT_TRUE(ShiftRightInt(w, s) == exact) << s;
    }
}

TEST(BigInt, ArithmeticMatchesWideReference) {
    // Carries run through all four words.
    const BigInt all_ones{{~0ull, ~0ull, ~0ull, ~0ull}};
    EXPECT_TRUE(same(AddBigInt(all_ones, toBigInt(1)), BigInt{{0, 0, 0, 0}}));
    EXPECT_TRUE(same(AddBigInt(BigInt{{~0ull, ~0ull, ~0ull, 0}}, toBigInt(1)), BigInt{{0, 0, 0, 1}}));
    EXPECT_TRUE(same(ShiftRightBigInt(BigInt{{0, 0, 0, 1ull << 63}}, 255), all_ones));
    EXPECT_TRUE(same(ShiftRightBigInt(BigInt{{0, 0, 5, 0}}, 64), BigInt{{0, 5, 0, 0}}));
    std::mt19937_64 rng(4);
    for (int i = 0; i < 5000; ++i) {
        const WideInt a = (Int(rng(), 64, 0) * Int(rng(), 64, 1)) >> 1, b = Int(rng(), 64, 0) << 32;
        const int n = static_cast<int>(rng() % 128);
        ASSERT_TRUE(same(AddBigInt(toBigInt(a), toBigInt(b)), toBigInt(a + b)));
        ASSERT_TRUE(same(ShiftRightBigInt(toBigInt(a), n), toBigInt(a >> n))) << n;
        // Saturation agrees with the wide-integer one wherever both apply.
        for (int width : {8, 16, 32, 64}) {
            const WideInt w = rng() & 1 ? a : a >> (rng() % 100);
            for (int u = 0; u < 2; ++u) {
                const SatPair big = SatQBigInt(toBigInt(w), width, u), ref = SatQ(w, width, u);
                ASSERT_EQ(big.value, ref.value) << width << " " << u;
                ASSERT_EQ(big.saturated, ref.saturated);
            }
        }
    }
    // Values beyond 128 bits saturate.
    EXPECT_EQ(SatQBigInt(BigInt{{1, 0, 1, 0}}, 64, 1).value, ~0ull);
    EXPECT_EQ(SatQBigInt(BigInt{{0, 0, ~0ull, ~0ull}}, 64, 0).value, 1ull << 63);
    EXPECT_FALSE(SatQBigInt(toBigInt(-128), 8, 0).saturated);
    EXPECT_EQ(SatQBigInt(toBigInt(256), 8, 1).value, 0xFFu);
}

}  // namespace
