// The exponential accelerator's tables and bit layout, and the trigonometric
// accelerators.
#include <gtest/gtest.h>

#include <cmath>

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"

using namespace fptest;

TEST(FPSpecial, ExpaTablesAreTheRoundedFractionsOfPowersOfTwo) {
    // Long double carries 64 bits, enough to round to 52 correctly here (no
    // entry lies within 2^-8 of a tie).
    for (int i = 0; i < 64; ++i) {
        const long double v = std::exp2l((long double)i / 64) - 1;
        EXPECT_EQ(uint64_t(std::llroundl(std::ldexp(v, 52))), kFPEXPATable64[i]) << i;
        EXPECT_EQ(uint32_t(std::llroundl(std::ldexp(v, 23))), kFPEXPATable32[i]) << i;
    }
    for (int i = 0; i < 32; ++i) {
        const long double v = std::exp2l((long double)i / 32) - 1;
        EXPECT_EQ(uint16_t(std::llroundl(std::ldexp(v, 10))), kFPEXPATable16[i]) << i;
    }
}

TEST(FPSpecial, ExpaTakesExponentAndIndexFromTheInputBits) {
    EXPECT_EQ(FPEXPA<S>(0x00003F80u), 0x7F000000u);
    EXPECT_EQ(FPEXPA<S>(0xFFFFFFC1u), 0x7F800000u | kFPEXPATable32[1]);  // upper bits ignored, sign 0
    EXPECT_EQ(FPEXPA<H>(0x01E3), 0x3C00 | kFPEXPATable16[3]);            // exponent 15
    EXPECT_EQ(FPEXPA<D>(0x000000000000FFC0ull | 33), (0x3FFull << 52) | kFPEXPATable64[33]);
    EXPECT_EQ(FPEXPA<D>(0x1FFFFull), (0x7FFull << 52) | kFPEXPATable64[63]);
}

TEST(FPSpecial, TrigSquareTakesItsSignFromBitZero) {
    FPSCR s = 0;
    EXPECT_EQ(FPTRISMUL<S>(0xC0400000u, 1, s), 0xC1100000u);  // -3 * -3, sign from b
    EXPECT_EQ(FPTRISMUL<S>(0x40400000u, 2, s), 0x41100000u);
    EXPECT_EQ(FPTRISMUL<H>(0x8000, 1, s), 0x8000);
    EXPECT_EQ(FPTRISMUL<D>(0xFFF0000000000000ull, 0, s), 0x7FF0000000000000ull);
    EXPECT_EQ(s, 0u);
    // A NaN keeps its sign whatever bit 0 of b says.
    EXPECT_EQ(FPTRISMUL<S>(0xFF800001u, 0, s), 0xFFC00001u);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = FPSCR_FZ;
    EXPECT_EQ(FPTRISMUL<S>(0x00000001u, 1, s), 0x80000000u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
    s = 0;
    EXPECT_EQ(FPTRISMUL<S>(0x7F000000u, 1, s), 0xFF800000u);  // overflow, then the sign
    EXPECT_EQ(s, uint32_t(FPSCR_OFC | FPSCR_IXC));
}

TEST(FPSpecial, TrigMultiplyAddSelectsTheCoefficientBySignOfB) {
    FPSCR s = 0;
    // a = 0: the result is the coefficient itself.
    EXPECT_EQ(FPTRIMADD<S>(1, 0, 0x3F800000u, s), kFPTRIMADDCoefficients32[1]);
    EXPECT_EQ(FPTRIMADD<S>(1, 0, 0xBF800000u, s), 0xBF000000u);  // coefficient 9 = -0.5
    EXPECT_EQ(FPTRIMADD<D>(7, 0, 0x8000000000000000ull, s), kFPTRIMADDCoefficients64[15]);
    EXPECT_EQ(FPTRIMADD<H>(0, 0x3C00, 0xC000, s), 0x4200);  // 1 + 1 * |-2|
    EXPECT_EQ(s, 0u);
    // The table rows follow the sine and cosine series: (-1)^k / (2k+1)! and
    // (-1)^k / (2k)!, within 2% (the last terms are minimax-adjusted).
    const double fact[] = {1, 1, 2, 6, 24, 120, 720, 5040, 40320, 362880, 3628800, 39916800, 479001600, 6227020800.0};
    for (int k = 0; k < 7; ++k) {
        const double sine = (k & 1 ? -1 : 1) / fact[2 * k + 1], cosine = (k & 1 ? -1 : 1) / fact[2 * k];
        EXPECT_NEAR(f64(kFPTRIMADDCoefficients64[k]) / sine, 1.0, 0.02) << k;
        EXPECT_NEAR(f64(kFPTRIMADDCoefficients64[8 + k]) / cosine, 1.0, 0.02) << k;
        if (k < 5) {
            EXPECT_NEAR(f32(kFPTRIMADDCoefficients32[k]) / sine, 1.0, 0.02) << k;
            EXPECT_NEAR(f32(kFPTRIMADDCoefficients32[8 + k]) / cosine, 1.0, 0.02) << k;
        }
    }
    EXPECT_EQ(kFPTRIMADDCoefficients32[15], 0u);
    EXPECT_EQ(kFPTRIMADDCoefficients64[7], 0u);
}
