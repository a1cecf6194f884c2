// The first handlers end to end through the decode cascade, against results
// computed by hand: FFR access, PFALSE/PTRUE, prefetches, ADD/SUB, DUP, RDVL,
// ADDVL, ADDPL, CNTx and INCx/DECx; the integer divisions at their edges and
// the add reductions at their extremes.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <type_traits>
#include <vector>

#include "tests/common/test_state.h"

namespace {

constexpr uint32_t Rd(unsigned r) { return r; }
constexpr uint32_t Rn(unsigned r) { return r << 5; }
constexpr uint32_t Rm(unsigned r) { return r << 16; }
constexpr uint32_t Pg(unsigned r) { return r << 10; }
constexpr uint32_t Pattern(unsigned p) { return p << 5; }
constexpr uint32_t Mul(unsigned m) { return (m - 1) << 16; }
constexpr uint32_t Imm6(int v) { return (static_cast<uint32_t>(v) & 63) << 5; }
constexpr uint32_t Imm8(int v, bool shift = false) {
    return ((static_cast<uint32_t>(v) & 255) << 5) | (shift ? 1u << 13 : 0);
}

class FirstSlice : public ::testing::Test {
  protected:
    void SetUp() override {
        s = new_state();
        for (unsigned r = 0; r < 32; ++r)
            for (unsigned i = 0; i < kVecBytes; ++i) s->z[r][i] = static_cast<unsigned char>(r * 7 + i * 13);
        for (unsigned i = 0; i < 31; ++i) s->x[i] = 0x1000 * (i + 1);
        s->sp = 0x7fff0000;
        s->nzcv = 0x60000000;
    }
    void run(const char *handler, uint32_t operands) {
        ASSERT_EQ(run_word(s.get(), word_of(handler, operands)), DECODE_OK) << handler;
    }
    std::unique_ptr<cpu_state> s;
};

TEST_F(FirstSlice, SetffrWrffrRdffr) {
    run("VecPClearFFSR", 0);
    for (unsigned i = 0; i < kVecBytes; ++i) ASSERT_EQ(s->ffr[i], 1);
    for (unsigned i = 0; i < kVecBytes; ++i) s->p[3][i] = (i % 5 == 0) ? 0x81 : 0x80;  // stray high bits
    run("VecPWriteFFSRP", Rn(3));
    for (unsigned i = 0; i < kVecBytes; ++i) ASSERT_EQ(s->ffr[i], i % 5 == 0 ? 1 : 0) << i;
    run("VecPReadFFSRP", Rd(5));
    for (unsigned i = 0; i < kVecBytes; ++i) ASSERT_EQ(s->p[5][i], s->ffr[i]) << i;
    for (unsigned i = 0; i < kVecBytes; ++i) s->p[2][i] = i < 100;
    run("VecPActualP", Rd(6) | Rn(2));  // RDFFR P6.B, P2/Z
    for (unsigned i = 0; i < kVecBytes; ++i) ASSERT_EQ(s->p[6][i], (i % 5 == 0 && i < 100) ? 1 : 0) << i;
    // Pd = Pg: the result is computed from the old Pg.
    run("VecPActualP", Rd(2) | Rn(2));
    for (unsigned i = 0; i < kVecBytes; ++i) ASSERT_EQ(s->p[2][i], (i % 5 == 0 && i < 100) ? 1 : 0) << i;
}

TEST_F(FirstSlice, PfalseAndPtruePatterns) {
    std::memset(s->p[7], 1, kVecBytes);
    run("VecPFalse", Rd(7));
    for (unsigned i = 0; i < kVecBytes; ++i) ASSERT_EQ(s->p[7][i], 0);

    auto count_true = [&](unsigned p, unsigned esize) {
        unsigned n = 0;
        for (unsigned i = 0; i < kVecBytes; ++i) {
            if (i % esize) EXPECT_EQ(s->p[p][i], 0) << "byte between elements " << i;
            else n += s->p[p][i];
        }
        return n;
    };
    run("VecP32TrueI", Rd(1) | Pattern(30));  // MUL3 on words: elements 0..62
    EXPECT_EQ(count_true(1, 4), 63u);
    EXPECT_EQ(s->p[1][62 * 4], 1);
    EXPECT_EQ(s->p[1][63 * 4], 0);
    run("VecP8TrueI", Rd(1) | Pattern(7));  // VL7
    EXPECT_EQ(count_true(1, 1), 7u);
    run("VecP64TrueI", Rd(15) | Pattern(0));  // POW2 on doublewords
    EXPECT_EQ(count_true(15, 8), 32u);
    run("VecP16TrueI", Rd(0) | Pattern(20));  // unallocated pattern: none
    EXPECT_EQ(count_true(0, 2), 0u);
    run("VecP16TrueI", Rd(0) | Pattern(13));  // VL256 exceeds 128 halfwords: none
    EXPECT_EQ(count_true(0, 2), 0u);
    run("VecP8TrueI", Rd(0) | Pattern(13));  // VL256 on bytes: all
    EXPECT_EQ(count_true(0, 1), 256u);
    EXPECT_EQ(s->nzcv, 0x60000000u) << "PTRUE does not set flags";
}

TEST_F(FirstSlice, PrefetchesChangeNothing) {
    size_t n = 0;
    const sve_handler_info *h = sve_handler_catalog(&n);
    auto before = new_state();
    int prefetches = 0;
    for (size_t i = 0; i < n; ++i) {
        if (std::strstr(h[i].name, "Prefetch") == nullptr) continue;
        ++prefetches;
        s->pc = nullptr;
        std::memcpy(before.get(), s.get(), sizeof(cpu_state));
        const uint32_t w = h[i].fixed_value | (0xFFFFFFFFu & ~h[i].fixed_mask);  // every operand bit set
        EXPECT_EQ(h[i].fn(s.get(), w), DECODE_OK) << h[i].name;
        EXPECT_EQ(std::memcmp(before.get(), s.get(), sizeof(cpu_state)), 0) << h[i].name;
    }
    EXPECT_EQ(prefetches, 36);
}

TEST_F(FirstSlice, AddSubVectorsUnpredicated) {
    run("VecU8AddVVX", Rd(1) | Rn(2) | Rm(3));
    for (unsigned i = 0; i < 256; ++i)
        ASSERT_EQ(zget<uint8_t>(s.get(), 1, i), uint8_t(uint8_t(2 * 7 + i * 13) + uint8_t(3 * 7 + i * 13)));
    // Zd = Zn = Zm: doubles every word, from the old values.
    std::vector<uint32_t> old(64);
    for (unsigned i = 0; i < 64; ++i) old[i] = zget<uint32_t>(s.get(), 4, i);
    run("VecU32AddVVX", Rd(4) | Rn(4) | Rm(4));
    for (unsigned i = 0; i < 64; ++i) ASSERT_EQ(zget<uint32_t>(s.get(), 4, i), old[i] * 2);
    zset<uint64_t>(s.get(), 8, 5, 0);
    zset<uint64_t>(s.get(), 9, 5, 1);
    run("VecU64SubVVX", Rd(31) | Rn(8) | Rm(9));
    EXPECT_EQ(zget<uint64_t>(s.get(), 31, 5), ~uint64_t{0});
    zset<uint16_t>(s.get(), 8, 0, 0x8000);
    zset<uint16_t>(s.get(), 9, 0, 0x8001);
    run("VecU16SubVVX", Rd(0) | Rn(8) | Rm(9));
    EXPECT_EQ(zget<uint16_t>(s.get(), 0, 0), 0xFFFF);
}

TEST_F(FirstSlice, AddSubPredicatedMerges) {
    for (unsigned i = 0; i < kVecBytes; ++i) s->p[1][i] = (i / 2) % 3 == 0;  // halfword e active if e%3==0
    std::vector<uint16_t> old(128);
    for (unsigned e = 0; e < 128; ++e) old[e] = zget<uint16_t>(s.get(), 0, e);
    // ADD Z0.H, P1/M, Z0.H, Z0.H: active elements doubled, inactive unchanged.
    run("VecU16AddVVM", Rd(0) | Pg(1) | Rn(0));
    for (unsigned e = 0; e < 128; ++e)
        ASSERT_EQ(zget<uint16_t>(s.get(), 0, e), e % 3 == 0 ? uint16_t(old[e] * 2) : old[e]) << e;
    // Byte elements of a halfword predicate: only even bytes with their bit set are active.
    std::vector<uint8_t> a(256), b(256);
    for (unsigned i = 0; i < 256; ++i) {
        a[i] = zget<uint8_t>(s.get(), 10, i);
        b[i] = zget<uint8_t>(s.get(), 11, i);
    }
    run("VecU8SubVVM", Rd(10) | Pg(1) | Rn(11));
    for (unsigned i = 0; i < 256; ++i)
        ASSERT_EQ(zget<uint8_t>(s.get(), 10, i), s->p[1][i] ? uint8_t(a[i] - b[i]) : a[i]) << i;
    // Pg above P7 cannot be named: bit 13 is part of the key, so P1 through bits 12..10 only.
    std::memset(s->p[7], 0, kVecBytes);
    std::vector<uint64_t> d(32);
    for (unsigned e = 0; e < 32; ++e) d[e] = zget<uint64_t>(s.get(), 12, e);
    run("VecU64AddVVM", Rd(12) | Pg(7) | Rn(13));
    for (unsigned e = 0; e < 32; ++e) ASSERT_EQ(zget<uint64_t>(s.get(), 12, e), d[e]);
}

TEST_F(FirstSlice, AddSubImmediate) {
    for (unsigned e = 0; e < 64; ++e) zset<uint32_t>(s.get(), 5, e, e * 1000);
    run("VecU32AddVIX", Rd(5) | Imm8(200, true));  // #200, LSL #8
    for (unsigned e = 0; e < 64; ++e) ASSERT_EQ(zget<uint32_t>(s.get(), 5, e), e * 1000 + 51200);
    for (unsigned i = 0; i < 256; ++i) zset<uint8_t>(s.get(), 6, i, uint8_t(i));
    run("VecU8SubVIX", Rd(6) | Imm8(255));
    for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(zget<uint8_t>(s.get(), 6, i), uint8_t(i - 255));
    zset<uint64_t>(s.get(), 7, 31, ~uint64_t{0});
    run("VecU64AddVIX", Rd(7) | Imm8(1));
    EXPECT_EQ(zget<uint64_t>(s.get(), 7, 31), 0u);
    zset<uint16_t>(s.get(), 8, 127, 0);
    run("VecU16SubVIX", Rd(8) | Imm8(1, true));
    EXPECT_EQ(zget<uint16_t>(s.get(), 8, 127), 0xFF00);
}

TEST_F(FirstSlice, DupImmediateAndScalar) {
    run("VecS8DupI", Rd(0) | Imm8(-1));
    for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(zget<uint8_t>(s.get(), 0, i), 0xFF);
    run("VecS16DupI", Rd(1) | Imm8(-128, true));  // #-128, LSL #8
    for (unsigned e = 0; e < 128; ++e) ASSERT_EQ(zget<uint16_t>(s.get(), 1, e), 0x8000);
    run("VecS64DupI", Rd(2) | Imm8(127, true));
    for (unsigned e = 0; e < 32; ++e) ASSERT_EQ(zget<uint64_t>(s.get(), 2, e), 127u * 256);
    run("VecS32DupI", Rd(3) | Imm8(-2));
    for (unsigned e = 0; e < 64; ++e) ASSERT_EQ(zget<uint32_t>(s.get(), 3, e), 0xFFFFFFFEu);
    s->x[3] = 0x1122334455667788;
    run("VecU64DupS", Rd(4) | Rn(3));
    for (unsigned e = 0; e < 32; ++e) ASSERT_EQ(zget<uint64_t>(s.get(), 4, e), 0x1122334455667788u);
    run("VecU16DupS", Rd(5) | Rn(3));
    for (unsigned e = 0; e < 128; ++e) ASSERT_EQ(zget<uint16_t>(s.get(), 5, e), 0x7788);
    run("VecU32DupS", Rd(6) | Rn(31));  // register 31 is SP here
    for (unsigned e = 0; e < 64; ++e) ASSERT_EQ(zget<uint32_t>(s.get(), 6, e), 0x7fff0000u);
    run("VecU8DupS", Rd(7) | Rn(3));
    for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(zget<uint8_t>(s.get(), 7, i), 0x88);
}

TEST_F(FirstSlice, VectorLengthArithmetic) {
    run("VecS64VLX", Rd(0) | Imm6(-2));  // RDVL X0, #-2
    EXPECT_EQ(s->x[0], uint64_t(-512));
    const uint64_t x30 = s->x[30];
    run("VecS64VLX", Rd(31) | Imm6(31));  // RDVL XZR: nothing written
    EXPECT_EQ(s->x[30], x30);
    run("VecS64AddVLX", Rd(31) | Rm(31) | Imm6(-1));  // ADDVL SP, SP, #-1
    EXPECT_EQ(s->sp, 0x7fff0000u - 256);
    run("VecS64AddPLX", Rd(1) | Rm(2) | Imm6(3));  // ADDPL X1, X2, #3
    EXPECT_EQ(s->x[1], s->x[2] + 96);
    run("VecS64AddPLX", Rd(31) | Rm(31) | Imm6(-32));  // ADDPL SP, SP, #-32
    EXPECT_EQ(s->sp, 0x7fff0000u - 256 - 1024);
    run("VecS64AddVLX", Rd(28) | Rm(31) | Imm6(1));  // ADDVL X28, SP, #1
    EXPECT_EQ(s->x[28], s->sp + 256);
}

TEST_F(FirstSlice, CountsByPattern) {
    run("VecU8CountVLSI", Rd(0) | Pattern(7) | Mul(3));
    EXPECT_EQ(s->x[0], 21u);
    run("VecU8CountVLSI", Rd(0) | Pattern(13) | Mul(3));
    EXPECT_EQ(s->x[0], 768u);
    run("VecU32CountVLSI", Rd(1) | Pattern(30));
    EXPECT_EQ(s->x[1], 63u);
    run("VecU32CountVLSI", Rd(1) | Pattern(12));  // VL128 > 64 words
    EXPECT_EQ(s->x[1], 0u);
    run("VecU32CountVLSI", Rd(1) | Pattern(20));
    EXPECT_EQ(s->x[1], 0u);
    run("VecU16CountVLSI", Rd(2) | Pattern(30));
    EXPECT_EQ(s->x[2], 126u);
    run("VecU64CountVLSI", Rd(27) | Pattern(31) | Mul(16));
    EXPECT_EQ(s->x[27], 512u);
    auto before = new_state();
    std::memcpy(before.get(), s.get(), sizeof(cpu_state));
    run("VecU64CountVLSI", Rd(31) | Pattern(31));  // XZR: only pc moves
    before->pc = s->pc;
    EXPECT_EQ(std::memcmp(before.get(), s.get(), sizeof(cpu_state)), 0);
}

TEST_F(FirstSlice, IncrementAndDecrementByCount) {
    s->x[28] = 5;
    run("VecU8IncrVLSI", Rd(28) | Pattern(31));
    EXPECT_EQ(s->x[28], 261u);
    run("VecU8DecrVLSI", Rd(28) | Pattern(30));  // MUL3: 255
    EXPECT_EQ(s->x[28], 6u);
    s->x[0] = ~uint64_t{0};
    run("VecU64IncrVLSI", Rd(0) | Pattern(1) | Mul(2));  // VL1 x 2, wraps
    EXPECT_EQ(s->x[0], 1u);
    s->x[1] = 0;
    run("VecU16DecrVLSI", Rd(1) | Pattern(9) | Mul(16));  // VL16 x 16
    EXPECT_EQ(s->x[1], uint64_t(-256));
    run("VecU32IncrVLSI", Rd(1) | Pattern(0));  // POW2 = 64 words
    EXPECT_EQ(s->x[1], uint64_t(-192));
    run("VecU32DecrVLSI", Rd(31) | Pattern(31));  // XZR discards
    EXPECT_EQ(s->x[30], 0x1000u * 31);
}

// SDIV/UDIV/SDIVR/UDIVR on words and doublewords: zero divisors give 0, the
// most negative value divided by -1 wraps to itself, quotients round toward
// zero; inactive elements keep Zdn.
template <typename T, bool Signed, bool Reversed>
void check_division(cpu_state *s, std::mt19937_64 &rng, const char *handler) {
    using S = std::make_signed_t<T>;
    constexpr unsigned n = kVecBytes / sizeof(T);
    const T edges[] = {0, 1, T(-1), T(2), T(-2), T(3), T(7), T(-7),
                       static_cast<T>(std::numeric_limits<S>::min()), static_cast<T>(std::numeric_limits<S>::max()),
                       std::numeric_limits<T>::max()};
    const auto value = [&] { return rng() % 3 == 0 ? static_cast<T>(rng() >> (rng() % 64)) : edges[rng() % std::size(edges)]; };
    for (int iter = 0; iter < 20; ++iter) {
        std::vector<T> a(n), b(n);
        for (unsigned i = 0; i < n; ++i) {
            a[i] = value();
            b[i] = value();
            zset<T>(s, 1, i, a[i]);
            zset<T>(s, 2, i, b[i]);
        }
        for (unsigned i = 0; i < kVecBytes; ++i) s->p[3][i] = iter % 2 == 0 || rng() % 4 != 0;
        ASSERT_EQ(run_word(s, word_of(handler, Rd(1) | Rn(2) | Pg(3))), DECODE_OK) << handler;
        for (unsigned i = 0; i < n; ++i) {
            const T x = Reversed ? b[i] : a[i], y = Reversed ? a[i] : b[i];
            T want = a[i];
            if (s->p[3][i * sizeof(T)] & 1) {
                if (y == 0)
                    want = 0;
                else if (Signed && static_cast<S>(y) == -1)
                    want = static_cast<T>(T(0) - x);
                else
                    want = Signed ? static_cast<T>(static_cast<S>(x) / static_cast<S>(y)) : static_cast<T>(x / y);
            }
            ASSERT_EQ(zget<T>(s, 1, i), want) << handler << " element " << i << ": " << a[i] << ", " << b[i];
        }
    }
}

TEST_F(FirstSlice, DivisionsAtTheirEdges) {
    std::mt19937_64 rng(31);
    check_division<uint32_t, true, false>(s.get(), rng, "VecS32DivVVM");
    check_division<uint64_t, true, false>(s.get(), rng, "VecS64DivVVM");
    check_division<uint32_t, false, false>(s.get(), rng, "VecU32DivVVM");
    check_division<uint64_t, false, false>(s.get(), rng, "VecU64DivVVM");
    check_division<uint32_t, true, true>(s.get(), rng, "VecS32DivRVVM");
    check_division<uint64_t, true, true>(s.get(), rng, "VecS64DivRVVM");
    check_division<uint32_t, false, true>(s.get(), rng, "VecU32DivRVVM");
    check_division<uint64_t, false, true>(s.get(), rng, "VecU64DivRVVM");
}

// UADDV and SADDV where the sums are largest: every element at the type's
// extremes, all active, so that any narrower partial sum would overflow; and
// with every other element inactive.
TEST_F(FirstSlice, AddReductionsAtTheirExtremes) {
    struct form {
        const char *handler;
        unsigned esize;
        bool is_signed;
    };
    const form forms[] = {{"VecU8AddReduceV", 1, false},  {"VecU16AddReduceV", 2, false}, {"VecU32AddReduceV", 4, false},
                          {"VecU64AddReduceV", 8, false}, {"VecS8AddReduceV", 1, true},   {"VecS16AddReduceV", 2, true},
                          {"VecS32AddReduceV", 4, true}};
    for (const form &f : forms)
        for (int pattern = 0; pattern < 4; ++pattern) {
            const unsigned n = kVecBytes / f.esize;
            const uint64_t top = f.esize == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * f.esize)) - 1;
            // All ones (the largest unsigned, -1 signed), the largest positive, the most negative.
            const uint64_t value = pattern % 2 == 0 ? top : pattern == 1 ? top >> 1 : (top >> 1) + 1;
            uint64_t want = 0;
            for (unsigned i = 0; i < n; ++i) {
                const bool on = pattern < 3 || i % 2 == 0;
                std::memcpy(&s->z[2][i * f.esize], &value, f.esize);
                s->p[0][i * f.esize] = on;
                for (unsigned k = 1; k < f.esize; ++k) s->p[0][i * f.esize + k] = 1;  // ignored bytes
                if (!on) continue;
                const bool negative = f.is_signed && (value >> (8 * f.esize - 1)) & 1;
                want += negative ? value | ~top : value;
            }
            run(f.handler, Rd(1) | Rn(2) | Pg(0));
            EXPECT_EQ(zget<uint64_t>(s.get(), 1, 0), want) << f.handler << " pattern " << pattern;
            EXPECT_EQ(zget<uint64_t>(s.get(), 1, 1), 0u) << f.handler;
        }
}

}  // namespace
