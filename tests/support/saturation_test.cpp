#include <gtest/gtest.h>

#include <random>

#include "sve/support/saturation.h"

namespace {

void expect_pair(SatPair r, uint64_t value, bool saturated) {
    EXPECT_EQ(r.value, value);
    EXPECT_EQ(r.saturated, saturated);
}

TEST(Saturation, EdgeCases) {
    expect_pair(SatQ(-129, 8, 0), 0x80, true);
    expect_pair(SatQ(-128, 8, 0), 0x80, false);
    expect_pair(SatQ(128, 8, 0), 0x7F, true);
    expect_pair(SatQ(-1, 8, 1), 0, true);
    expect_pair(SatQ(-1, 8, 0), 0xFF, false);
    expect_pair(SatAdd(0x7F, 0x01, 8, 0), 0x7F, true);
    expect_pair(SatAdd(0xFF, 0xFF, 8, 0), 0xFFFFFFFFFFFFFFFEull, false);  // raw sum
    expect_pair(SatSub(0xFF, 0x01, 8, 0), 0xFE, false);
    expect_pair(SatAdd(~0ull, 1, 64, 1), ~0ull, true);
    expect_pair(SatSub(1ull << 63, 1, 64, 0), 1ull << 63, true);  // minimum, as its pattern
}

TEST(Saturation, UnsignedProductsAboveTwoToThe127Saturate) {
    expect_pair(SatMult(~0ull, ~0ull, 64, 1), ~0ull, true);
    expect_pair(SatMult(1ull << 63, 2, 64, 1), ~0ull, true);
    expect_pair(SatMult(1ull << 32, (1ull << 32) - 1, 64, 1), ((1ull << 32) - 1) << 32, false);
    expect_pair(SatMult(1ull << 63, 1ull << 63, 64, 0), (1ull << 63) - 1, true);
    expect_pair(SatMult(0x80, 0x7F, 8, 0), 0x80, true);
}

// SatQ, SatAdd, SatSub and SatMult against a direct clamp, all widths.
TEST(Saturation, MatchesClampReference) {
    std::mt19937_64 rng(5);
    for (int iter = 0; iter < 3000; ++iter) {
        // Half of the operands sit next to a power of two, where the bounds are.
        auto operand = [&] { return rng() & 1 ? rng() >> (rng() % 64) : (1ull << (rng() % 64)) + rng() % 3 - 1; };
        const uint64_t a = operand(), b = operand();
        for (int n = 1; n <= 64; ++n)
            for (int u = 0; u < 2; ++u) {
                const WideInt lo = u ? 0 : -(WideInt{1} << (n - 1));
                const WideInt hi = u ? (WideInt{1} << n) - 1 : (WideInt{1} << (n - 1)) - 1;
                const uint64_t mask = n == 64 ? ~0ull : (1ull << n) - 1;
                auto check = [&](WideInt exact, SatPair got, bool raw, const char *what) {
                    const WideInt c = exact < lo ? lo : exact > hi ? hi : exact;
                    const uint64_t v = raw && c == exact ? static_cast<uint64_t>(c) : static_cast<uint64_t>(c) & mask;
                    ASSERT_EQ(got.value, v) << what << " n=" << n << " u=" << u << " a=" << a << " b=" << b;
                    ASSERT_EQ(got.saturated, c != exact) << what << " n=" << n << " u=" << u;
                };
                const WideInt x = Int(a, n, u), y = Int(b, n, u);
                check(x + y, SatAdd(a, b, n, u), true, "add");
                check(x - y, SatSub(a, b, n, u), false, "sub");
                check(x, SatQ(x, n, u), false, "q");
                if (!u || n < 64) check(x * y, SatMult(a, b, n, u), false, "mult");
            }
    }
}

TEST(Saturation, Shifts) {
    EXPECT_EQ(SatShiftLeft(0xC0, 1, 8, 0), 0xFFFFFFFFFFFFFF80ull);  // in range, unmasked
    EXPECT_EQ(SatShiftLeft(0x81, 1, 8, 0), 0x80u);
    EXPECT_EQ(SatShiftLeft(0x40, 1, 8, 0), 0x7Fu);
    EXPECT_EQ(SatShiftLeft(0x01, 200, 8, 1), 0xFFu);                 // amount capped at n
    EXPECT_EQ(SatShiftLeft(0x80, 0xFF, 8, 0), 0xFFFFFFFFFFFFFFC0ull);  // amount -1: shifts right
    expect_pair(SatShiftLeftU(0x40, 2, 8), 0xFF, true);
    expect_pair(SatShiftLeftU(0x80, 0, 8), 0, true);
    expect_pair(SatShiftLeftU(1, 63, 64), 1ull << 63, false);
    expect_pair(ShiftQLeftInt(-1, 8, 8, 0), 0xFFFFFFFFFFFFFF80ull, true);  // minimum sign-extended
    expect_pair(ShiftQLeftInt(0, 100, 8, 1), 0, false);
    expect_pair(ShiftQLeftInt(-16, -2, 8, 0), 0xFFFFFFFFFFFFFFFCull, false);
    expect_pair(ShiftQLeftInt(-40, 2, 8, 0), 0xFFFFFFFFFFFFFF80ull, true);
    expect_pair(SatQShift(WideInt{1} << 100, 128, 1), 0, false);
    expect_pair(SatQUShift(-5, 32), 0, true);
    expect_pair(SatQUShift(WideInt{1} << 20, 8), 0xFF, true);  // positive overflow never gives 0
    expect_pair(SatQUShift(-(WideInt{1} << 64) + 3, 40), 0, true);
}

}  // namespace
