// Floating-point handlers end to end through the decode cascade: exception
// flags (accumulated, never replaced; none from inactive elements), the
// emulated FPCR honoured on both the library and the host-FP paths, rounding
// variants, reduction order, conversions and the immediate forms, and FSCALE
// at the edges of the normal range.
#include <gtest/gtest.h>

#include <bit>
#include <limits>
#include <random>
#include <vector>

#include "sve/fplib/fp_arith.h"
#include "sve/fplib/fp_convert.h"
#include "sve/fplib/fp_estimate.h"
#include "sve/kernels/fp_kernels.h"
#include "tests/common/test_state.h"

namespace {

constexpr uint32_t Zd(unsigned r) { return r; }
constexpr uint32_t Zn(unsigned r) { return r << 5; }
constexpr uint32_t Zm(unsigned r) { return r << 16; }
constexpr uint32_t Pg(unsigned r) { return r << 10; }

constexpr uint32_t IOC = 1u << 0, OFC = 1u << 2, IXC = 1u << 4, IDC = 1u << 7, QC = 1u << 27;
constexpr uint32_t kRoundPlusInf = 1u << 22, kRoundZero = 3u << 22, kFZ = 1u << 24, kAHP = 1u << 26;

class FpHandlers : public ::testing::Test {
  protected:
    void SetUp() override { s = new_state(); }
    void run(const char *handler, uint32_t operands) {
        ASSERT_EQ(run_word(s.get(), word_of(handler, operands)), DECODE_OK) << handler;
    }
    // Predicate register p with element size `esize`: elements [0, n) active.
    void set_active(unsigned p, unsigned esize, unsigned n) {
        for (unsigned i = 0; i < kVecBytes; ++i) s->p[p][i] = (i % esize == 0 && i / esize < n) ? 1 : 0;
    }
    template <typename T>
    void fill(unsigned reg, T v) {
        for (unsigned i = 0; i < kVecBytes / sizeof(T); ++i) zset<T>(s.get(), reg, i, v);
    }
    std::unique_ptr<cpu_state> s;
};

// ---- Exception flags --------------------------------------------------------

TEST_F(FpHandlers, HalfOverflowFlagsAccumulateAcrossInstructions) {
    fill<uint16_t>(1, 0x7BFF);  // largest finite half
    fill<uint16_t>(2, 0x7BFF);
    set_active(0, 2, 1);
    s->fpsr = QC;  // unrelated kept bit
    run("VecF16AddVVM", Zd(1) | Zn(2) | Pg(0));
    EXPECT_EQ(zget<uint16_t>(s.get(), 1, 0), 0x7C00);  // +infinity
    EXPECT_EQ(zget<uint16_t>(s.get(), 1, 1), 0x7BFF);  // inactive, kept
    EXPECT_EQ(s->fpsr, QC | OFC | IXC);
    // An exact operation afterwards leaves the flags set.
    fill<uint16_t>(3, 0x3C00);
    fill<uint16_t>(4, 0x3C00);
    run("VecF16AddVVM", Zd(3) | Zn(4) | Pg(0));
    EXPECT_EQ(zget<uint16_t>(s.get(), 3, 0), 0x4000);
    EXPECT_EQ(s->fpsr, QC | OFC | IXC);
}

TEST_F(FpHandlers, DelegatingHandlerOrsFlagsIntoFpsr) {
    fill<uint32_t>(1, 0x3F800000);  // 1.0
    fill<uint32_t>(2, 0x3F800000);
    set_active(0, 4, 64);
    s->fpsr = OFC;  // from an earlier instruction
    run("VecF32AddVVM", Zd(1) | Zn(2) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 1, 63), 0x40000000u);
    EXPECT_EQ(s->fpsr, OFC);  // exact: nothing new, nothing cleared
}

// A compare with every element active writes each element's whole unit of
// predicate bytes (1 then zeros, or all zeros), and a NaN in one lane raises
// what that compare raises: FCMGT signals on any NaN, FCMEQ on a signalling one.
TEST_F(FpHandlers, CompareWithEveryElementActiveWritesWholeUnits) {
    for (unsigned e = 0; e < 32; ++e) {
        zset<uint64_t>(s.get(), 1, e, e % 3 == 0 ? 0x4000000000000000ull : 0x3FF0000000000000ull);  // 2.0 or 1.0
        zset<uint64_t>(s.get(), 2, e, 0x3FF8000000000000ull);                                       // 1.5
    }
    zset<uint64_t>(s.get(), 1, 7, 0x7FF8000000000001ull);  // a quiet NaN
    set_active(0, 8, 32);
    std::memset(s->p[1], 0xFF, kVecBytes);
    s->fpsr = 0;
    run("VecD64CmpGTVVZ", 1u | Zn(1) | Zm(2) | Pg(0));
    for (unsigned b = 0; b < kVecBytes; ++b)
        ASSERT_EQ(s->p[1][b], b % 8 == 0 && (b / 8) % 3 == 0 && b / 8 != 7 ? 1 : 0) << "byte " << b;
    EXPECT_EQ(s->fpsr, IOC);
    s->fpsr = 0;
    run("VecD64CmpEQVVZ", 1u | Zn(1) | Zm(1) | Pg(0));
    for (unsigned b = 0; b < kVecBytes; ++b) ASSERT_EQ(s->p[1][b], b % 8 == 0 && b / 8 != 7 ? 1 : 0) << "byte " << b;
    EXPECT_EQ(s->fpsr, 0u);  // a quiet NaN: FCMEQ raises nothing
}

TEST_F(FpHandlers, InactiveSignallingNaNRaisesNothing) {
    fill<uint16_t>(1, 0x7C01);  // signalling NaNs everywhere
    fill<uint32_t>(3, 0x7F800001);
    set_active(0, 4, 0);  // all inactive
    run("VecF16AddVVM", Zd(1) | Zn(1) | Pg(0));
    run("VecF32AddVVM", Zd(3) | Zn(3) | Pg(0));
    run("VecF32CmpEQVVZ", Zd(5) | Zn(3) | Zm(3) | Pg(0));
    run("VecF32MinVVM", Zd(3) | Zn(3) | Pg(0));
    EXPECT_EQ(s->fpsr, 0u);
    EXPECT_EQ(zget<uint16_t>(s.get(), 1, 0), 0x7C01);
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 5), 0x7F800001u);
    // One active element does raise IOC.
    set_active(0, 4, 1);
    run("VecF32MinVVM", Zd(3) | Zn(3) | Pg(0));
    EXPECT_EQ(s->fpsr, IOC);
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 0), 0x7FC00001u);  // quietened
}

// ---- The emulated FPCR ------------------------------------------------------

TEST_F(FpHandlers, HostPathHonoursRoundingAndFlushToZero) {
    fill<uint32_t>(1, 0x3F800000);  // 1.0
    fill<uint32_t>(2, 0x30800000);  // 2^-30
    s->fpcr = kRoundPlusInf;
    run("VecF32AddVVX", Zd(3) | Zn(1) | Zm(2));
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 0), 0x3F800001u);
    EXPECT_EQ(s->fpsr, IXC);
    s->fpcr = 0;
    run("VecF32AddVVX", Zd(3) | Zn(1) | Zm(2));
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 0), 0x3F800000u);
    // FZ from fpcr_extra: a denormal input is flushed and raises IDC.
    s->fpsr = 0;
    s->fpcr_extra = kFZ;
    fill<uint64_t>(4, 0x0000000000000001ull);
    fill<uint64_t>(5, 0);
    run("VecD64AddVVX", Zd(6) | Zn(4) | Zm(5));
    EXPECT_EQ(zget<uint64_t>(s.get(), 6, 0), 0u);
    EXPECT_EQ(s->fpsr, IDC);
}

TEST_F(FpHandlers, RoundToIntegralVariants) {
    fill<uint32_t>(1, 0x40200000);  // 2.5
    set_active(0, 4, 64);
    run("VecF32FRIntIVM", Zd(2) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 2, 0), 0x40000000u);  // 2.0, ties to even
    EXPECT_EQ(s->fpsr, 0u);
    run("VecF32FRIntAVM", Zd(3) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 0), 0x40400000u);  // 3.0, ties away
    EXPECT_EQ(s->fpsr, 0u);
    run("VecF32FRIntXVM", Zd(4) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 4, 0), 0x40000000u);
    EXPECT_EQ(s->fpsr, IXC);
    s->fpcr = kRoundPlusInf;
    run("VecF32FRIntIVM", Zd(5) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 5, 0), 0x40400000u);
}

// ---- Reductions -------------------------------------------------------------

TEST_F(FpHandlers, FaddaAddsInElementOrderUnlikeFaddv) {
    // 2^24 + 1 + 1 + 1: in order every +1 is rounded away; the tree adds 1 + 1 first.
    // FADDA starts from Vdn's low element.
    fill<uint32_t>(1, 0);
    zset<uint32_t>(s.get(), 1, 0, 0x4B800000);  // 2^24
    for (unsigned i = 1; i < 4; ++i) zset<uint32_t>(s.get(), 1, i, 0x3F800000);
    fill<uint32_t>(2, 0);
    fill<uint32_t>(4, 0xCB800000);  // -2^24
    set_active(0, 4, 4);
    run("VecF32AddReduceAV", Zd(2) | Zn(1) | Pg(0));
    run("VecF32AddReduceFV", Zd(3) | Zn(1) | Pg(0));
    run("VecF32AddReduceAV", Zd(4) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 2, 0), 0x4B800000u);  // 2^24, every +1 lost
    EXPECT_EQ(zget<uint32_t>(s.get(), 4, 0), 0x40400000u);  // -2^24 + 2^24 + 1 + 1 + 1 = 3
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 0), 0x4B800001u);  // 2^24 + 2
    for (unsigned i = 1; i < 64; ++i) {
        ASSERT_EQ(zget<uint32_t>(s.get(), 2, i), 0u) << i;
        ASSERT_EQ(zget<uint32_t>(s.get(), 3, i), 0u) << i;
    }
}

// FADDA with every element active (a loop's iterations before its last) and
// with one inactive, against the library's additions in element order: values
// near each other's rounding boundaries, denormals, infinities and NaNs, under
// every rounding mode with FZ and DN set or clear.
template <typename T>
void fadda_against_library(cpu_state *s, std::mt19937_64 &rng, const char *handler) {
    constexpr unsigned kElems = kVecBytes / sizeof(T), kBits = 8 * sizeof(T), kMant = sizeof(T) == 4 ? 23 : 52;
    const auto value = [&]() -> T {
        const T sign = static_cast<T>(rng() & 1) << (kBits - 1);
        switch (rng() % 8) {
            case 0: return sign | static_cast<T>(rng() & ((T(1) << kMant) - 1));  // denormal or zero
            case 1: return sign | (static_cast<T>(~T(0)) >> 1 & ~((T(1) << kMant) - 1));  // infinity
            case 2: return static_cast<T>(~T(0)) >> 1 & ~(T(1) << (kMant - 1)) & ~T(rng() % 2);  // NaN (mostly signalling)
            default: {
                // Near 1.0 in magnitude, so that sums round; a few far away.
                const T bias = (T(1) << (kBits - kMant - 2)) - 1;
                const T exp = static_cast<T>(bias + static_cast<T>(rng() % 40) - 20 + (rng() % 16 == 0 ? 100 : 0));
                return sign | exp << kMant | static_cast<T>(rng() & ((T(1) << kMant) - 1));
            }
        }
    };
    for (int iter = 0; iter < 300; ++iter) {
        const uint32_t fpcr = static_cast<uint32_t>(rng() % 4) << 22 | static_cast<uint32_t>(rng() % 4) << 24;
        const bool all = iter % 4 != 0;
        const unsigned off = all ? kElems : static_cast<unsigned>(rng() % kElems);
        // NaNs and infinities in one case in four, so that most sums stay finite.
        const bool special = iter % 4 == 1;
        std::vector<T> m(kElems);
        for (T &v : m) {
            v = value();
            while (!special && ((v >> kMant) & ((T(1) << (kBits - kMant - 1)) - 1)) == (T(1) << (kBits - kMant - 1)) - 1) v = value();
        }
        const T start = value();
        FPSCR f = fpcr;
        T acc = start;
        for (unsigned e = 0; e < kElems; ++e)
            if (e != off) acc = FPAdd(acc, m[e], f);
        for (unsigned e = 0; e < kElems; ++e) zset<T>(s, 1, e, m[e]);
        for (unsigned e = 0; e < kElems; ++e) zset<T>(s, 2, e, static_cast<T>(rng()));
        zset<T>(s, 2, 0, start);
        for (unsigned i = 0; i < kVecBytes; ++i) s->p[0][i] = i % sizeof(T) == 0 && i / sizeof(T) != off;
        s->fpcr = fpcr;
        s->fpsr = 0;
        ASSERT_EQ(run_word(s, word_of(handler, Zd(2) | Zn(1) | Pg(0))), DECODE_OK);
        ASSERT_EQ(zget<T>(s, 2, 0), acc) << handler << " iter " << iter << std::hex << " fpcr " << fpcr;
        for (unsigned e = 1; e < kElems; ++e) ASSERT_EQ(zget<T>(s, 2, e), T(0)) << handler << " element " << e;
        ASSERT_EQ(s->fpsr, f & FPSCR_FLAGS) << handler << " iter " << iter << std::hex << " fpcr " << fpcr;
    }
}

TEST_F(FpHandlers, FaddaOfWholeAndPartialVectorsIsTheLibrarys) {
    std::mt19937_64 rng(29);
    fadda_against_library<uint32_t>(s.get(), rng, "VecF32AddReduceAV");
    fadda_against_library<uint64_t>(s.get(), rng, "VecD64AddReduceAV");
}

TEST_F(FpHandlers, MaxNumReductionOfNoActiveElementIsDefaultNaN) {
    fill<uint64_t>(1, 0x3FF0000000000000ull);
    set_active(0, 8, 0);
    run("VecD64MaxNumReduceFV", Zd(2) | Zn(1) | Pg(0));
    run("VecF16MinNumReduceFV", Zd(3) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint64_t>(s.get(), 2, 0), 0x7FF8000000000000ull);
    EXPECT_EQ(zget<uint16_t>(s.get(), 3, 0), 0x7E00);
    EXPECT_EQ(s->fpsr, 0u);
}

// ---- Compares ---------------------------------------------------------------

TEST_F(FpHandlers, ComparesWritePredicatesAndNoConditionFlags) {
    fill<uint32_t>(1, 0x7FC07E00);  // quiet NaN; as halfwords: quiet NaN, quiet NaN
    zset<uint32_t>(s.get(), 1, 1, 0x3F803C00);
    fill<uint32_t>(2, 0x3F803C00);  // 1.0 as a single, and 1.0 as the low half
    set_active(0, 4, 2);
    s->nzcv = 0x20000000;
    std::memset(s->p[5], 1, kVecBytes);
    run("VecF32CmpEQVVZ", Zd(5) | Zn(1) | Zm(2) | Pg(0));
    EXPECT_EQ(s->fpsr, 0u);  // quiet NaN: EQ does not signal
    EXPECT_EQ(s->p[5][0], 0);
    EXPECT_EQ(s->p[5][4], 1);
    for (unsigned i = 8; i < kVecBytes; ++i) ASSERT_EQ(s->p[5][i], 0) << i;
    run("VecF16CmpGEVVZ", Zd(6) | Zn(1) | Zm(2) | Pg(0));
    EXPECT_EQ(s->fpsr, IOC);  // GE signals on any NaN
    EXPECT_EQ(s->p[6][0], 0);
    EXPECT_EQ(s->p[6][4], 1);  // halfword element 2: 1.0 >= 1.0
    EXPECT_EQ(s->nzcv, 0x20000000u);
}

// ---- Conversions ------------------------------------------------------------

TEST_F(FpHandlers, ConvertToIntegerTruncatesRegardlessOfFpcr) {
    fill<uint32_t>(1, 0xBFC00000);  // -1.5
    zset<uint32_t>(s.get(), 1, 1, 0x4F32D05E);  // 3e9
    set_active(0, 4, 64);
    s->fpcr = kRoundPlusInf;
    run("VecS32_4FromFVM", Zd(2) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 2, 0), 0xFFFFFFFFu);  // -1
    EXPECT_EQ(zget<uint32_t>(s.get(), 2, 1), 0x7FFFFFFFu);  // saturated
    EXPECT_EQ(s->fpsr, IOC | IXC);
    // Double to 32-bit signed in 64-bit containers: sign-extended.
    fill<uint64_t>(3, 0xBFF8000000000000ull);  // -1.5
    run("VecS64_4FromDVM", Zd(4) | Zn(3) | Pg(0));
    EXPECT_EQ(zget<uint64_t>(s.get(), 4, 0), ~uint64_t{0});
}

TEST_F(FpHandlers, NarrowingConvertIgnoresAlternativeHalfPrecision) {
    fill<uint32_t>(1, 0x501502F9);  // 1e10
    set_active(0, 4, 64);
    s->fpcr = kAHP;
    run("VecH32TruncFVM", Zd(2) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 2, 0), 0x7C00u);  // IEEE infinity, upper half zero
    EXPECT_EQ(s->fpsr, OFC | IXC);
}

TEST_F(FpHandlers, IntegerToFloatUsesFpcrRounding) {
    fill<uint64_t>(1, (uint64_t{1} << 53) + 1);  // not representable in binary64
    set_active(0, 8, 32);
    s->fpcr = kRoundZero;
    run("VecD64FromS8VM", Zd(2) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint64_t>(s.get(), 2, 0), 0x4340000000000000ull);  // 2^53
    s->fpcr = kRoundPlusInf;
    run("VecD64FromS8VM", Zd(2) | Zn(1) | Pg(0));
    EXPECT_EQ(zget<uint64_t>(s.get(), 2, 0), 0x4340000000000001ull);
    EXPECT_EQ(s->fpsr, IXC);
}

// ---- Immediates and operand roles -------------------------------------------

TEST_F(FpHandlers, HalfMultiplyByImmediateTwoIsExact) {
    fill<uint16_t>(1, 0x3E00);  // 1.5
    set_active(0, 2, 128);
    run("VecF16MulVIM", Zd(1) | Pg(0) | (1u << 5));
    EXPECT_EQ(zget<uint16_t>(s.get(), 1, 127), 0x4200);  // 3.0
    EXPECT_EQ(s->fpsr, 0u);
}

TEST_F(FpHandlers, FcpyTakesItsPredicateFromBits19To16) {
    fill<uint64_t>(1, 7);
    set_active(9, 8, 3);  // P9: only reachable through the 4-bit field
    run("VecD64DupIM", Zd(1) | (9u << 16) | (0x70u << 5));  // #1.0
    EXPECT_EQ(zget<uint64_t>(s.get(), 1, 2), 0x3FF0000000000000ull);
    EXPECT_EQ(zget<uint64_t>(s.get(), 1, 3), 7u);
    run("VecF16DupI", Zd(2) | (0xF0u << 5));  // FDUP #-1.0
    EXPECT_EQ(zget<uint16_t>(s.get(), 2, 100), 0xBC00);
}

TEST_F(FpHandlers, DestinationEqualToSourceReadsOldValues) {
    // FMAD Z1 = Z1 * Z1 + Z1: 3 * 3 + 3 = 12 in every active element.
    fill<uint32_t>(1, 0x40400000);
    set_active(0, 4, 64);
    run("VecF32FMADDVVVM", Zd(1) | Zn(1) | Zm(1) | Pg(0));
    EXPECT_EQ(zget<uint32_t>(s.get(), 1, 10), 0x41400000u);
    // FCMLA #90 with every register Z2 = (1 + 2i): acc + i*(1+2i)*... per element pair.
    for (unsigned i = 0; i < 64; i += 2) {
        zset<uint32_t>(s.get(), 2, i, 0x3F800000);      // 1
        zset<uint32_t>(s.get(), 2, i + 1, 0x40000000);  // 2
    }
    run("VecF32FCMLAVVVM", Zd(2) | Zn(2) | Zm(2) | Pg(0) | (1u << 13));
    // rot 90: re += -(n.im * m.im) = 1 - 4 = -3; im += n.im * m.re = 2 + 2 = 4.
    EXPECT_EQ(zget<uint32_t>(s.get(), 2, 0), 0xC0400000u);
    EXPECT_EQ(zget<uint32_t>(s.get(), 2, 1), 0x40800000u);
}

TEST_F(FpHandlers, IndexedMultiplyAddTakesTheIndexWithinEachSegment) {
    for (unsigned i = 0; i < 64; ++i) zset<uint32_t>(s.get(), 2, i, std::bit_cast<uint32_t>(float(i)));
    fill<uint32_t>(1, 0x3F800000);  // Zn = 1.0
    fill<uint32_t>(3, 0);           // Zda = 0
    run("VecF32FMAVVVIX", Zd(3) | Zn(1) | (2u << 16) | (3u << 19));  // Z2.S[3]
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 5), std::bit_cast<uint32_t>(7.0f));
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 60), std::bit_cast<uint32_t>(63.0f));
}

TEST_F(FpHandlers, ComplexAddRotations) {
    for (unsigned i = 0; i < 32; i += 2) {
        zset<uint64_t>(s.get(), 1, i, std::bit_cast<uint64_t>(1.0));
        zset<uint64_t>(s.get(), 1, i + 1, std::bit_cast<uint64_t>(2.0));
        zset<uint64_t>(s.get(), 2, i, std::bit_cast<uint64_t>(3.0));
        zset<uint64_t>(s.get(), 2, i + 1, std::bit_cast<uint64_t>(4.0));
    }
    std::memcpy(s->z[3], s->z[1], kVecBytes);
    set_active(0, 8, 32);
    run("VecD64FCADDVVM", Zd(1) | Zn(2) | Pg(0));              // #90: (1 - 4) + (2 + 3)i
    run("VecD64FCADDVVM", Zd(3) | Zn(2) | Pg(0) | (1u << 16));  // #270: (1 + 4) + (2 - 3)i
    EXPECT_EQ(zget<uint64_t>(s.get(), 1, 30), std::bit_cast<uint64_t>(-3.0));
    EXPECT_EQ(zget<uint64_t>(s.get(), 1, 31), std::bit_cast<uint64_t>(5.0));
    EXPECT_EQ(zget<uint64_t>(s.get(), 3, 0), std::bit_cast<uint64_t>(5.0));
    EXPECT_EQ(zget<uint64_t>(s.get(), 3, 1), std::bit_cast<uint64_t>(-1.0));
}

// ---- Kernels called directly ------------------------------------------------

TEST_F(FpHandlers, KernelsReportRaisedFlagsAndFollowTheirMinMaxRules) {
    fill<uint32_t>(1, 0x7FC00000);  // quiet NaN
    fill<uint32_t>(2, 0x3F800000);  // 1.0
    std::memcpy(s->z[3], s->z[1], kVecBytes);
    set_active(0, 4, 64);
    uint32_t raised = 0;
    ASSERT_EQ(sve_fmaxnm_zpz(s.get(), make_zreg(1, kQualS), make_preg(0, kQualS), make_zreg(2, kQualS), 0, &raised), DECODE_OK);
    ASSERT_EQ(sve_fmax_zpz(s.get(), make_zreg(3, kQualS), make_preg(0, kQualS), make_zreg(2, kQualS), 0, &raised), DECODE_OK);
    EXPECT_EQ(zget<uint32_t>(s.get(), 1, 0), 0x3F800000u);  // the number wins maxNum
    EXPECT_EQ(zget<uint32_t>(s.get(), 3, 0), 0x7FC00000u);  // the NaN wins max
    EXPECT_EQ(raised, 0u);                                  // quiet NaNs raise nothing
    // SCVTF 64-bit to single: the upper half of each doubleword becomes zero.
    fill<uint64_t>(4, ~uint64_t{0});  // -1
    fill<uint64_t>(5, 0xDEADBEEFDEADBEEFull);
    ASSERT_EQ(sve_scvtf_d2s_zpz(s.get(), make_zreg(5, kQualD), make_preg(0, kQualD), make_zreg(4, kQualD), 0, &raised), DECODE_OK);
    EXPECT_EQ(zget<uint64_t>(s.get(), 5, 0), 0xBF800000ull);
    EXPECT_EQ(raised, 0u);
}

}  // namespace

// FSCALE in every precision against the library, element by element, with
// Zdn at the edges of the normal range (and zeros, infinities, NaNs,
// denormals) and Zm moving it to just inside and just outside the range:
// results, kept inactive elements and the flags. With POWERS_NORMAL, every
// scale is one whose power of two is a normal number (the processor's FPU
// takes those: denormal and overflowing results then come from Zdn's edges),
// but in half the calls one element's, just outside that range.
template <typename T>
void check_fscale(cpu_state *s, const char *handler, uint32_t fpcr, std::mt19937_64 &rng, bool powers_normal = false) {
    using F = FPFormat<T>;
    using S = std::make_signed_t<T>;
    constexpr unsigned n = kVecBytes / sizeof(T);
    std::vector<T> a(n), m(n), want(n);
    FPSCR flags = 0;
    for (unsigned i = 0; i < n; ++i) s->p[0][i * sizeof(T)] = rng() % 4 != 0;
    const unsigned edge_at = static_cast<unsigned>(rng() % (2 * n));
    for (unsigned i = 0; i < n; ++i) {
        const T frac = static_cast<T>(rng()) & F::FRAC, sign = rng() % 2 ? F::SIGN : T(0);
        const T exps[] = {1, 2, T(F::EMAX - 2), T(F::EMAX - 1), T(F::B), 0};
        T v = T(sign | T(exps[rng() % 6] << F::M) | frac);
        switch (rng() % 10) {
            case 0: v = sign; break;                            // zero
            case 1: v = T(sign | F::INF); break;                // infinity
            case 2: v = T(F::INF | F::QUIET | (frac & 7)); break;  // quiet NaN
            case 3: v = T(F::INF | 1); break;                   // signalling NaN
            default: break;
        }
        const T e = T((v & F::EXP_MASK) >> F::M);
        const S steps[] = {S(1 - e), S(-e), S(F::EMAX - 1 - e), S(F::EMAX - e), S(0), S(3), S(-3),
                           std::numeric_limits<S>::max(), std::numeric_limits<S>::min()};
        const S normal_powers[] = {S(1 - S(F::B)), S(2 - S(F::B)), S(-3), S(-1), S(0), S(1), S(3), S(F::B - 1), S(F::B)};
        T k = static_cast<T>(powers_normal ? normal_powers[rng() % 9] : steps[rng() % 9]);
        if (powers_normal && i == edge_at) k = static_cast<T>(edge_at % 2 ? S(F::B + 1) : S(-S(F::B)));
        a[i] = v;
        m[i] = k;
        zset<T>(s, 1, i, v);
        zset<T>(s, 2, i, k);
        want[i] = v;
        if (s->p[0][i * sizeof(T)] & 1) {
            FPSCR f = fpcr;
            if constexpr (sizeof(T) == 2) want[i] = FPScale16(v, static_cast<short>(k), f);
            else if constexpr (sizeof(T) == 4) want[i] = FPScale32(v, static_cast<int32_t>(k), f);
            else want[i] = FPScale64(v, static_cast<long>(static_cast<int64_t>(k)), f);
            flags |= f & FPSCR_FLAGS;
        }
    }
    s->fpcr = fpcr;
    s->fpsr = 0;
    ASSERT_EQ(run_word(s, word_of(handler, Zd(1) | Zn(2) | Pg(0))), DECODE_OK);
    for (unsigned i = 0; i < n; ++i)
        ASSERT_EQ(zget<T>(s, 1, i), want[i]) << handler << " element " << i << " of " << std::hex << a[i] << " by "
                                             << m[i] << " fpcr " << fpcr;
    EXPECT_EQ(s->fpsr, flags) << handler << " fpcr " << std::hex << fpcr;
}

TEST_F(FpHandlers, FscaleAtTheEdgesOfTheNormalRangeIsTheLibrarys) {
    std::mt19937_64 rng(37);
    for (int iter = 0; iter < 30; ++iter)
        for (uint32_t fpcr : {0u, kFZ, kRoundZero | kFZ, kRoundPlusInf, 1u << 19 /* FZ16 */, 1u << 25 /* DN */}) {
            check_fscale<uint16_t>(s.get(), "VecF16ScaleVVM", fpcr, rng);
            check_fscale<uint32_t>(s.get(), "VecF32ScaleVVM", fpcr, rng);
            check_fscale<uint64_t>(s.get(), "VecD64ScaleVVM", fpcr, rng);
            check_fscale<uint32_t>(s.get(), "VecF32ScaleVVM", fpcr, rng, true);
            check_fscale<uint64_t>(s.get(), "VecD64ScaleVVM", fpcr, rng, true);
            if (HasFatalFailure()) return;
        }
}

// Half-precision arithmetic against the library element by element, on
// operands built to meet the rounding boundaries (significands with a lone
// top bit, all ones, a lone low bit), across the whole exponent range with
// denormals and infinities, under every rounding mode and with AHP, DN and FZ
// set or clear: results and flags. (The host computes these through single
// and double precision.)
uint16_t structured_half(std::mt19937_64 &rng) {
    const uint16_t fracs[] = {0, 0x200, 0x3FF, 1, 0x201, 0x1FF, static_cast<uint16_t>(rng() & 0x3FF)};
    const uint16_t exponent = rng() % 8 == 0 ? static_cast<uint16_t>(rng() % 2 ? 0 : rng() % 3) : static_cast<uint16_t>(rng() % 31);
    uint16_t v = static_cast<uint16_t>((rng() % 2) << 15 | exponent << 10 | fracs[rng() % 7]);
    if (rng() % 64 == 0) v = static_cast<uint16_t>((v & 0x8000) | 0x7C00);  // infinity
    return v;
}

// Every half-precision form that computes through the wider formats: its
// handler, operand fields and model of one element (A, B, C the elements of
// Z1, Z2, Z3; M the indexed element of Z3; IMM the immediate).
enum class half_form { vvm, vvx, vim, fma, fmad, indexed };
struct half_case {
    const char *handler;
    half_form form;
    uint32_t fields;
    uint16_t (*model)(uint16_t a, uint16_t b, uint16_t c, uint16_t m, FPSCR &f);
};
constexpr uint16_t kHalfHalf = 0x3800, kHalfOne = 0x3C00, kHalfTwo = 0x4000;
const half_case kHalfCases[] = {
    {"VecF16AddVVM", half_form::vvm, 0, [](uint16_t a, uint16_t b, uint16_t, uint16_t, FPSCR &f) { return FPAdd(a, b, f); }},
    {"VecF16SubVVM", half_form::vvm, 0, [](uint16_t a, uint16_t b, uint16_t, uint16_t, FPSCR &f) { return FPSub(a, b, f); }},
    {"VecF16SubRVVM", half_form::vvm, 0, [](uint16_t a, uint16_t b, uint16_t, uint16_t, FPSCR &f) { return FPSub(b, a, f); }},
    {"VecF16MulVVM", half_form::vvm, 0, [](uint16_t a, uint16_t b, uint16_t, uint16_t, FPSCR &f) { return FPMul(a, b, f); }},
    {"VecF16DivVVM", half_form::vvm, 0, [](uint16_t a, uint16_t b, uint16_t, uint16_t, FPSCR &f) { return FPDiv(a, b, f); }},
    {"VecF16DivRVVM", half_form::vvm, 0, [](uint16_t a, uint16_t b, uint16_t, uint16_t, FPSCR &f) { return FPDiv(b, a, f); }},
    {"VecF16AddVVX", half_form::vvx, 0, [](uint16_t, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPAdd(b, c, f); }},
    {"VecF16SubVVX", half_form::vvx, 0, [](uint16_t, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPSub(b, c, f); }},
    {"VecF16MulVVX", half_form::vvx, 0, [](uint16_t, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMul(b, c, f); }},
    {"VecF16AddVIM", half_form::vim, 1u << 5, [](uint16_t a, uint16_t, uint16_t, uint16_t, FPSCR &f) { return FPAdd(a, kHalfOne, f); }},
    {"VecF16SubVIM", half_form::vim, 0, [](uint16_t a, uint16_t, uint16_t, uint16_t, FPSCR &f) { return FPSub(a, kHalfHalf, f); }},
    {"VecF16SubRVIM", half_form::vim, 1u << 5, [](uint16_t a, uint16_t, uint16_t, uint16_t, FPSCR &f) { return FPSub(kHalfOne, a, f); }},
    {"VecF16MulVIM", half_form::vim, 1u << 5, [](uint16_t a, uint16_t, uint16_t, uint16_t, FPSCR &f) { return FPMul(a, kHalfTwo, f); }},
    {"VecF16FMAVVVM", half_form::fma, 0, [](uint16_t a, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMulAdd(a, b, c, f); }},
    {"VecF16FMSVVVM", half_form::fma, 0, [](uint16_t a, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMulAdd(a, FPNeg(b), c, f); }},
    {"VecF16FNMAVVVM", half_form::fma, 0, [](uint16_t a, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMulAdd(FPNeg(a), FPNeg(b), c, f); }},
    {"VecF16FNMSVVVM", half_form::fma, 0, [](uint16_t a, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMulAdd(FPNeg(a), b, c, f); }},
    // FMAD family: Zdn = Za (Z3) + Zdn (Z1) * Zm (Z2).
    {"VecF16FMADDVVVM", half_form::fmad, 0, [](uint16_t a, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMulAdd(c, a, b, f); }},
    {"VecF16FMSUBVVVM", half_form::fmad, 0, [](uint16_t a, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMulAdd(c, FPNeg(a), b, f); }},
    {"VecF16FNMADDVVVM", half_form::fmad, 0, [](uint16_t a, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMulAdd(FPNeg(c), FPNeg(a), b, f); }},
    {"VecF16FNMSUBVVVM", half_form::fmad, 0, [](uint16_t a, uint16_t b, uint16_t c, uint16_t, FPSCR &f) { return FPMulAdd(FPNeg(c), a, b, f); }},
    // Indexed, element 5 of each segment of Z3 (bit 22 and bits 20..19).
    {"VecF16FMAVVVIX", half_form::indexed, 1u << 22 | 1u << 19, [](uint16_t a, uint16_t b, uint16_t, uint16_t m, FPSCR &f) { return FPMulAdd(a, b, m, f); }},
    {"VecF16FMSVVVIX", half_form::indexed, 1u << 22 | 1u << 19, [](uint16_t a, uint16_t b, uint16_t, uint16_t m, FPSCR &f) { return FPMulAdd(a, FPNeg(b), m, f); }},
    {"VecF16MulVVIX", half_form::indexed, 1u << 22 | 1u << 19, [](uint16_t, uint16_t b, uint16_t, uint16_t m, FPSCR &f) { return FPMul(b, m, f); }},
};

TEST_F(FpHandlers, HalfPrecisionArithmeticIsTheLibrarys) {
    std::mt19937_64 rng(41);
    constexpr unsigned n = kVecBytes / 2;
    constexpr unsigned kCases = sizeof kHalfCases / sizeof kHalfCases[0];
    for (unsigned iter = 0; iter < 100 * kCases; ++iter) {
        const half_case &hc = kHalfCases[iter % kCases];
        const bool predicated = hc.form != half_form::vvx && hc.form != half_form::indexed;
        const uint32_t fpcr = static_cast<uint32_t>(rng() % 4) << 22 | static_cast<uint32_t>(rng() % 8) << 24;  // RMode, FZ, DN, AHP
        uint16_t a[n], b[n], c[n], want[n];
        for (unsigned i = 0; i < n; ++i) {
            a[i] = structured_half(rng);
            b[i] = structured_half(rng);
            c[i] = structured_half(rng);
            // A product that lands next to the addend's rounding boundaries.
            if (rng() % 2) b[i] = static_cast<uint16_t>((b[i] & 0x83FF) | ((((a[i] >> 10) & 31) - ((c[i] >> 10) & 31) + 4) & 31) << 10);
            s->p[0][2 * i] = predicated ? rng() % 8 != 0 : 1;
            s->p[0][2 * i + 1] = 0;
            zset<uint16_t>(s.get(), 1, i, a[i]);
            zset<uint16_t>(s.get(), 2, i, b[i]);
            zset<uint16_t>(s.get(), 3, i, c[i]);
        }
        FPSCR flags = 0;
        for (unsigned i = 0; i < n; ++i) {
            want[i] = a[i];
            if (!(s->p[0][2 * i] & 1)) continue;
            FPSCR f = fpcr;
            want[i] = hc.model(a[i], b[i], c[i], c[i - i % 8 + 5], f);
            flags |= f & FPSCR_FLAGS;
        }
        s->fpcr = fpcr;
        s->fpsr = 0;
        const uint32_t regs = hc.form == half_form::vvm   ? Zd(1) | Zn(2) | Pg(0)
                            : hc.form == half_form::vim   ? Zd(1) | Pg(0)
                            : hc.form == half_form::indexed ? Zd(1) | Zn(2) | Zm(3)
                                                          : Zd(1) | Zn(2) | Zm(3) | (predicated ? Pg(0) : 0);
        run(hc.handler, regs | hc.fields);
        for (unsigned i = 0; i < n; ++i)
            ASSERT_EQ(zget<uint16_t>(s.get(), 1, i), want[i])
                << hc.handler << " element " << i << std::hex << ": " << a[i] << ", " << b[i] << ", " << c[i] << " fpcr " << fpcr;
        ASSERT_EQ(s->fpsr, flags) << hc.handler << " fpcr " << std::hex << fpcr;
    }
}

// SCVTF/UCVTF to half precision from 16- and 32-bit integers against the
// library, with integers at half precision's rounding and overflow
// boundaries, under every rounding mode.
template <typename C, bool Signed>
void check_int_to_half(cpu_state *s, const char *handler, std::mt19937_64 &rng) {
    constexpr unsigned n = kVecBytes / sizeof(C);
    const int64_t edges[] = {0, 1, -1, 2047, 2048, 2049, 2050, 2051, 4097, 4098, 4099, 32767, -32768,
                             65503, 65504, 65505, 65519, 65520, 65521, -65519, -65520, 1 << 24, (1 << 24) + 1,
                             2147483647, -2147483647 - 1};
    const uint32_t fpcr = static_cast<uint32_t>(rng() % 4) << 22 | static_cast<uint32_t>(rng() % 8) << 24;
    std::vector<C> want(n);
    FPSCR flags = 0;
    for (unsigned i = 0; i < n; ++i) {
        const C v = static_cast<C>(rng() % 3 == 0 ? static_cast<int64_t>(rng()) : edges[rng() % (sizeof edges / sizeof edges[0])]);
        zset<C>(s, 2, i, v);
        const C old = static_cast<C>(rng());
        zset<C>(s, 1, i, old);
        s->p[0][i * sizeof(C)] = rng() % 4 != 0;
        want[i] = old;
        if (!(s->p[0][i * sizeof(C)] & 1)) continue;
        using S = std::make_signed_t<C>;
        const uint64_t wide = Signed ? static_cast<uint64_t>(int64_t{static_cast<S>(v)}) : uint64_t{v};
        FPSCR f = fpcr;
        want[i] = static_cast<C>(fplibFixedToFP<uint16_t>(wide, 0, !Signed, FPRounding((fpcr >> 22) & 3), f));
        flags |= f & FPSCR_FLAGS;
    }
    s->fpcr = fpcr;
    s->fpsr = 0;
    ASSERT_EQ(run_word(s, word_of(handler, Zd(1) | Zn(2) | Pg(0))), DECODE_OK);
    for (unsigned i = 0; i < n; ++i) ASSERT_EQ(zget<C>(s, 1, i), want[i]) << handler << " element " << i << " fpcr " << fpcr;
    EXPECT_EQ(s->fpsr, flags) << handler << " fpcr " << std::hex << fpcr;
}

TEST_F(FpHandlers, IntegersToHalfPrecisionAreTheLibrarys) {
    std::mt19937_64 rng(43);
    for (int iter = 0; iter < 40; ++iter) {
        check_int_to_half<uint16_t, true>(s.get(), "VecF16FromS2VM", rng);
        check_int_to_half<uint16_t, false>(s.get(), "VecF16FromU2VM", rng);
        check_int_to_half<uint32_t, true>(s.get(), "VecF16FromS4VM", rng);
        check_int_to_half<uint32_t, false>(s.get(), "VecF16FromU4VM", rng);
        if (HasFatalFailure()) return;
    }
}
