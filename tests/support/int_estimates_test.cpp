#include <gtest/gtest.h>

#include <random>

#include "sve/support/int_estimates.h"

namespace {

// The estimators in integer form, on the 9-bit operand index x<31:23>: an
// estimate r in 256..511 becomes the result r:Zeros(23).
uint32_t recip_reference(uint32_t x) {
    const uint32_t a = (x >> 23) * 2 + 1;  // operand midpoint in 1/1024 units
    const uint32_t b = (1u << 19) / a;
    return ((b + 1) / 2) << 23;
}

uint32_t rsqrt_reference(uint32_t x) {
    const uint64_t index = x >> 23;
    const uint64_t a = index < 256 ? index * 2 + 1 : ((index & ~1ull) + 1) * 2;  // 1/1024 units
    uint64_t b = 512;
    while (a * (b + 1) * (b + 1) < (1ull << 28)) ++b;
    return static_cast<uint32_t>((b + 1) / 2) << 23;
}

TEST(IntEstimates, OutOfRangeOperandsGiveAllOnes) {
    EXPECT_EQ(UnsignedRecipEstimate(0x7FFFFFFF, 32), 0xFFFFFFFFu);
    EXPECT_EQ(UnsignedRecipEstimate(0, 32), 0xFFFFFFFFu);
    EXPECT_EQ(UnsignedRSqrtEstimate(0x3FFFFFFF, 32), 0xFFFFFFFFu);
    EXPECT_NE(UnsignedRSqrtEstimate(0x40000000, 32), 0xFFFFFFFFu);
    EXPECT_EQ(recip_estimate(0.5), 511.0 / 256);
    EXPECT_EQ(recip_sqrt_estimate(0.25), 511.0 / 256);
}

TEST(IntEstimates, MatchIntegerEstimatorsForEveryIndex) {
    std::mt19937 rng(6);
    for (uint32_t index = 0; index < 512; ++index)
        for (int k = 0; k < 8; ++k) {
            const uint32_t x = index << 23 | (k == 0 ? 0 : k == 1 ? 0x7FFFFF : rng() & 0x7FFFFF);
            if (index >= 256) {
                ASSERT_EQ(UnsignedRecipEstimate(x, 32), recip_reference(x)) << std::hex << x;
            }
            if (index >= 128) {
                ASSERT_EQ(UnsignedRSqrtEstimate(x, 32), rsqrt_reference(x)) << std::hex << x;
            }
        }
}

}  // namespace
