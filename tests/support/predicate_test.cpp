#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "sve/support/pred_pattern.h"
#include "sve/support/predicate_flags.h"

namespace {

constexpr uint32_t N = 1u << 31, Z = 1u << 30, C = 1u << 29, V = 1u << 28, kLow = 0x0FFFFFFF;

CpuContext context(uint32_t flags, uint32_t vl64 = kVl64) { return CpuContext{flags, 0, 0, vl64, {}}; }

PredV bits_at(std::initializer_list<unsigned> bits) {
    PredV p{};
    for (unsigned b : bits) set_pred_bit(p, b, true);
    return p;
}

// The predicate test written per element, straight from the element layout.
struct Reference {
    int first = -1, last = -1;
    uint32_t nzc = 0;
};

Reference reference(const PredV &mask, const PredV &result, int esize, uint32_t vl64) {
    const unsigned k = esize / 8, elements = std::min(vl64, kVl64) * 64 / esize;
    auto group_true = [&](unsigned e) {
        for (unsigned b = 0; b < k; ++b)
            if (pred_bit(result, e * k + b)) return true;
        return false;
    };
    Reference r;
    bool any = false;
    for (unsigned e = 0; e < elements; ++e)
        if (pred_bit(mask, e * k)) {
            if (r.first < 0) r.first = e;
            r.last = e;
            any |= group_true(e);
        }
    r.nzc = !any ? Z | C : (pred_bit(result, r.first * k) ? N : 0) | (group_true(r.last) ? 0 : C);
    return r;
}

TEST(PredicateFlags, EdgeCases) {
    CpuContext ctx = context(N | V | 0x0ABCDEF5);
    PredSetNZCV(bits_at({0, 5, 9}), PredV{}, 8, &ctx);  // all-false result
    EXPECT_EQ(ctx.flags, Z | C | 0x0ABCDEF5);
    // Element 3 of 16-bit elements: head bit 6 clear in the result, bit 7 set.
    ctx = context(V);
    PredSetNZC(bits_at({6}), bits_at({7}), 16, &ctx);
    EXPECT_EQ(ctx.flags, V);
    PredSetNCV(bits_at({6}), PredV{}, 16, &ctx);
    EXPECT_EQ(ctx.flags, C);  // Z kept clear, V cleared
    // For 64-bit elements only bits 0, 8, ..., 248 decide.
    EXPECT_EQ(FindFirstActive(bits_at({3, 9, 17, 250}), 64, &ctx), -1);
    EXPECT_EQ(FindLastActive(bits_at({0, 248, 255}), 64, &ctx), 31);
    ctx = context(0, 0x3FFFFFF);  // longer than a PredV holds: clamped, never read past it
    EXPECT_EQ(FindLastActive(bits_at({0, 255}), 8, &ctx), 255);
    EXPECT_EQ(FindFirstActive(bits_at({0}), 12, &ctx), -1);  // unsupported element size
}

TEST(PredicateFlags, MatchPerElementReference) {
    std::mt19937_64 rng(7);
    auto random_pred = [&] {
        PredV p;
        const int sparsity = rng() % 5;  // 0: dense ... 4: mostly empty
        for (auto &w : p.w) {
            w = rng();
            for (int i = 0; i < sparsity; ++i) w &= rng() & rng();
        }
        return p;
    };
    for (int iter = 0; iter < 3000; ++iter) {
        const PredV mask = random_pred(), result = random_pred();
        const uint32_t before = static_cast<uint32_t>(rng());
        const uint32_t vl64 = iter % 5 == 0 ? static_cast<uint32_t>(rng() % 40) : kVl64;
        for (int esize : {8, 16, 32, 64}) {
            const Reference ref = reference(mask, result, esize, vl64);
            CpuContext ctx = context(before, vl64);
            ASSERT_EQ(FindFirstActive(mask, esize, &ctx), ref.first);
            ASSERT_EQ(FindLastActive(mask, esize, &ctx), ref.last);
            PredSetNZCV(mask, result, esize, &ctx);
            ASSERT_EQ(ctx.flags, ref.nzc | (before & kLow)) << esize;
            ctx = context(before, vl64);
            PredSetNZC(mask, result, esize, &ctx);
            ASSERT_EQ(ctx.flags, ref.nzc | (before & (V | kLow)));
            ctx = context(before, vl64);
            PredSetNCV(mask, result, esize, &ctx);
            ASSERT_EQ(ctx.flags, (ref.nzc & (N | C)) | (before & (Z | kLow)));
            ctx = context(before, vl64);
            PredSetNC(mask, result, esize, &ctx);
            const uint32_t nc = ref.first < 0 ? before : (ref.nzc & (N | C)) | (before & (Z | V | kLow));
            ASSERT_EQ(ctx.flags, nc);
        }
    }
}

TEST(PredPattern, ElementCounts) {
    const struct { unsigned pattern; int n; unsigned count; } cases[] = {
        {13, 256, 256}, {12, 256, 128}, {8, 256, 8}, {30, 256, 255}, {29, 256, 256}, {0, 256, 256},
        {0, 100, 64},   {0, 1, 1},      {13, 32, 0}, {30, 32, 30},   {9, 16, 16},   {9, 15, 0},
        {5, 4, 0},      {20, 256, 0},   {32, 256, 0}, {31, 64, 64},  {31, 7, 7},  // all means all
    };
    for (const auto &c : cases) EXPECT_EQ(VecTrueILength(c.pattern, c.n), c.count) << c.pattern << "/" << c.n;
}

}  // namespace
