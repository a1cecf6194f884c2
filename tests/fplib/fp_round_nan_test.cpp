// Rounding and packing, flush-to-zero, alternative half precision, NaN
// processing and selection, and single-operand canonicalisation.
#include <gtest/gtest.h>

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"

using namespace fptest;

namespace {

constexpr uint32_t rmode(int rm) { return uint32_t(rm) << FPSCR_RMODE_SHIFT; }

// fp32_round_ of a value given by its integer significand (24 bits, leading
// one included) plus a fraction of an ulp in 1/8ths, and its biased exponent.
uint32_t round32(int sgn, int exp, uint32_t sig, int eighths, int rm, int mode, int *flags) {
    const uint32_t mnt = (sig << 9) | (uint32_t(eighths) << 6);  // leading one shifted out
    return fp32_round_(sgn, exp, mnt, rm, mode, flags);
}

}  // namespace

TEST(FPRound, TieBetweenLargestSubnormalAndSmallestNormalRoundsUpWithUnderflow) {
    // (0x7FFFFF + 1/2) * 2^-149 = 2^-127 * (1 + (1 - 2^-23)).
    int flags = 0;
    EXPECT_EQ(fp32_round_(0, 0, 0xFFFFFE00u, FPRounding_TIEEVEN, 0, &flags), 0x00800000u);
    EXPECT_EQ(flags, FPSCR_UFC | FPSCR_IXC);
    // Just below the tie rounds down to the largest subnormal.
    flags = 0;
    EXPECT_EQ(fp32_round_(0, 0, 0xFFFFFDFFu, FPRounding_TIEEVEN, 0, &flags), 0x007FFFFFu);
    EXPECT_EQ(flags, FPSCR_UFC | FPSCR_IXC);
}

TEST(FPRound, EveryRoundingOfBelowHalfExactlyHalfAndAboveHalf) {
    // Significand 1.5 (odd last bit) at exponent 127 plus 1/8, 4/8, 6/8 of an ulp.
    struct Case {
        int eighths, rm, sgn;
        uint32_t want;
    };
    const uint32_t odd = 0x3F800001u, even_up = 0x3F800002u;
    const Case cases[] = {
        {1, FPRounding_TIEEVEN, 0, odd},  {4, FPRounding_TIEEVEN, 0, even_up}, {6, FPRounding_TIEEVEN, 0, even_up},
        {1, FPRounding_POSINF, 0, even_up}, {1, FPRounding_POSINF, 1, odd},    {1, FPRounding_NEGINF, 1, even_up},
        {6, FPRounding_ZERO, 0, odd},     {4, FPRounding_TIEAWAY, 0, even_up}, {1, FPRounding_TIEAWAY, 0, odd},
        {6, FPRounding_ODD, 0, odd},      {1, FPRounding_ODD, 0, odd},
    };
    for (const Case &c : cases) {
        int flags = 0;
        const uint32_t got = round32(c.sgn, 127, 0x800001, c.eighths, c.rm, 0, &flags);
        EXPECT_EQ(got, c.want | (uint32_t(c.sgn) << 31)) << "rm " << c.rm << " eighths " << c.eighths;
        EXPECT_EQ(flags, FPSCR_IXC);
    }
    // Round to odd sets bit 0 of an even truncated significand too.
    int flags = 0;
    EXPECT_EQ(round32(0, 127, 0x800002, 1, FPRounding_ODD, 0, &flags), 0x3F800003u);
    // Exact values raise nothing in any mode.
    for (int rm = 0; rm <= 5; ++rm) {
        flags = 0;
        EXPECT_EQ(round32(0, 127, 0x800002, 0, rm, 0, &flags), 0x3F800002u);
        EXPECT_EQ(flags, 0);
    }
}

TEST(FPRound, FlushToZeroOfTinyResultRaisesUnderflowNotInexact) {
    int flags = 0;
    EXPECT_EQ(fp32_round_(1, 0, 0x80000000u, FPRounding_TIEEVEN, FPMODE_FZ, &flags), 0x80000000u);
    EXPECT_EQ(flags, FPSCR_UFC);
    // FZ does not flush half results, FZ16 does; FZ16 leaves single alone.
    flags = 0;
    EXPECT_NE(fp16_round_(0, 0, 0x8000, FPRounding_TIEEVEN, FPMODE_FZ, &flags), 0);
    flags = 0;
    EXPECT_EQ(fp16_round_(0, 0, 0x8000, FPRounding_TIEEVEN, FPMODE_FZ16, &flags), 0);
    EXPECT_EQ(flags, FPSCR_UFC);
    flags = 0;
    EXPECT_EQ(fp32_round_(0, 0, 0x80000000u, FPRounding_TIEEVEN, FPMODE_FZ16, &flags), 0x00600000u);
}

TEST(FPRound, OverflowByRoundingMode) {
    // 2^128 in single precision.
    struct Case {
        int sgn, rm;
        uint32_t want;
    } cases[] = {
        {0, FPRounding_TIEEVEN, 0x7F800000u}, {1, FPRounding_TIEEVEN, 0xFF800000u}, {0, FPRounding_ZERO, 0x7F7FFFFFu},
        {1, FPRounding_POSINF, 0xFF7FFFFFu},  {0, FPRounding_POSINF, 0x7F800000u},  {1, FPRounding_NEGINF, 0xFF800000u},
        {0, FPRounding_ODD, 0x7F7FFFFFu},     {0, FPRounding_TIEAWAY, 0x7F800000u},
    };
    for (const Case &c : cases) {
        int flags = 0;
        EXPECT_EQ(fp32_round_(c.sgn, 255, 0, c.rm, 0, &flags), c.want) << "rm " << c.rm;
        EXPECT_EQ(flags, FPSCR_OFC | FPSCR_IXC);
    }
    // Rounding up into the infinity exponent overflows as well.
    int flags = 0;
    EXPECT_EQ(fp64_round_(0, 2046, ~uint64_t(0), FPRounding_TIEEVEN, 0, &flags), 0x7FF0000000000000ull);
    EXPECT_EQ(flags, FPSCR_OFC | FPSCR_IXC);
}

TEST(FPRound, AlternativeHalfPrecisionHasNoInfinity) {
    int flags = 0;
    EXPECT_EQ(fp16_round_(0, 31, 0x4000, FPRounding_TIEEVEN, FPMODE_AHP, &flags), 0x7D00);
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(fp16_round_(1, 32, 0, FPRounding_TIEEVEN, FPMODE_AHP, &flags), 0xFFFF);
    EXPECT_EQ(flags, FPSCR_IOC);
    flags = 0;
    EXPECT_EQ(fp16_round_(0, 31, 0, FPRounding_TIEEVEN, 0, &flags), 0x7C00);
    EXPECT_EQ(flags, FPSCR_OFC | FPSCR_IXC);
}

TEST(FPRound, FarBelowTheSubnormalsRoundsToZeroOrTheSmallestSubnormal) {
    int flags = 0;
    EXPECT_EQ(fp64_round_(0, -5000, 0, FPRounding_TIEEVEN, 0, &flags), 0u);
    EXPECT_EQ(flags, FPSCR_UFC | FPSCR_IXC);
    flags = 0;
    EXPECT_EQ(fp64_round_(0, -5000, 0, FPRounding_POSINF, 0, &flags), 1u);
    flags = 0;
    EXPECT_EQ(fp16_round_(1, -40, 0, FPRounding_NEGINF, 0, &flags), 0x8001);
}

TEST(FPNaN, SelectionOrderAndDefaultNaN) {
    const uint32_t qa = 0x7FC00001u, qb = 0xFFC00002u, sb = 0x7F800003u, one = 0x3F800000u;
    FPSCR fpscr = 0;
    EXPECT_EQ(FPAdd(qa, sb, fpscr), 0x7FC00003u);  // signalling b beats quiet a
    EXPECT_EQ(fpscr, uint32_t(FPSCR_IOC));
    fpscr = FPSCR_DN;
    EXPECT_EQ(FPAdd(qa, sb, fpscr), 0x7FC00000u);
    EXPECT_EQ(fpscr & FPSCR_FLAGS, uint32_t(FPSCR_IOC));
    fpscr = 0;
    EXPECT_EQ(FPMul(qb, qa, fpscr), qb);  // quiet a first, sign and payload kept
    EXPECT_EQ(fpscr, 0u);
    fpscr = FPSCR_DN;
    EXPECT_EQ(FPAdd(qa, one, fpscr), 0x7FC00000u);
    EXPECT_EQ(fpscr & FPSCR_FLAGS, 0u);
    // Three operands: signalling ones first in the order addend, a, b.
    fpscr = 0;
    EXPECT_EQ(FPMulAdd(qa, one, sb, fpscr), 0x7FC00003u);
    fpscr = 0;
    EXPECT_EQ(FPMulAdd(0x7F800005u, qb, sb, fpscr), 0x7FC00005u);
    fpscr = 0;
    EXPECT_EQ(FPMulAdd(one, qb, qa, fpscr), qb);
    EXPECT_EQ(fpscr, 0u);
}

TEST(FPNaN, FlushedOperandRaisesInputDenormalEvenWhenANaNIsPropagated) {
    FPSCR fpscr = FPSCR_FZ;
    EXPECT_EQ(FPAdd(0x00000001u, 0x7FC00000u, fpscr), 0x7FC00000u);
    EXPECT_EQ(fpscr & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
    fpscr = FPSCR_FZ16;
    EXPECT_EQ(FPAdd(uint16_t(0x0001), uint16_t(0x3C00), fpscr), 0x3C00);
    EXPECT_EQ(fpscr & FPSCR_FLAGS, 0u);
}

TEST(FPProcess, CanonicalisesOneOperand) {
    struct Case {
        uint64_t x;
        uint32_t fpscr;
        uint64_t want;
        uint32_t flags;
    };
    const Case cases[] = {
        {0x7FF0000000000001ull, 0, 0x7FF8000000000001ull, FPSCR_IOC},
        {0xFFF8000000000001ull, FPSCR_DN, 0x7FF8000000000000ull, 0},
        {0x8000000000000001ull, FPSCR_FZ, 0x8000000000000000ull, FPSCR_IDC},
        {0x8000000000000001ull, 0, 0x8000000000000001ull, 0},
        {0xFFF0000000000000ull, 0, 0xFFF0000000000000ull, 0},
        {0x3FF0000000000001ull, rmode(3), 0x3FF0000000000001ull, 0},
    };
    for (const Case &c : cases) {
        FPSCR fpscr = c.fpscr;
        EXPECT_EQ(FPProcess64(c.x, fpscr), c.want) << std::hex << c.x;
        EXPECT_EQ(fpscr & FPSCR_FLAGS, c.flags) << std::hex << c.x;
    }
    FPSCR fpscr = FPSCR_FZ16;
    EXPECT_EQ(FPProcess16(0x83FF, fpscr), 0x8000);
    EXPECT_EQ(fpscr & FPSCR_FLAGS, 0u);
    fpscr = 0;
    EXPECT_EQ(FPProcess32(0x00400000u, fpscr), 0x00400000u);
    EXPECT_EQ(fpscr, 0u);
}
