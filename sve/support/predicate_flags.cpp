#include "sve/support/predicate_flags.h"

#include <bit>
#include <cstdint>

namespace {

constexpr uint32_t kFlagN = 1u << 31;
constexpr uint32_t kFlagZ = 1u << 30;
constexpr uint32_t kFlagC = 1u << 29;
constexpr uint32_t kFlagV = 1u << 28;

// Which predicate bits head an element: every k-th bit for k = esize / 8.
constexpr uint64_t element_heads(unsigned k) {
    switch (k) {
    case 1: return ~uint64_t{0};
    case 2: return 0x5555555555555555ull;
    case 4: return 0x1111111111111111ull;
    default: return 0x0101010101010101ull;
    }
}

// The active elements of a governing predicate: bit p of heads is set when the
// element at predicate bit p exists and is active. k is the number of
// predicate bits per element, 0 when there are no elements.
struct ActiveElements {
    uint64_t heads[4];
    unsigned k;
};

ActiveElements active_elements(const PredV &mask, int esize, const CpuContext *ctx) {
    ActiveElements a{{0, 0, 0, 0}, 0};
    if (esize != 8 && esize != 16 && esize != 32 && esize != 64) return a;
    uint32_t vl64 = context_vl64(ctx);
    if (vl64 > kVl64) vl64 = kVl64;  // a PredV holds no more than 2048 bits' worth
    const uint32_t elements = vl64 * 64u / static_cast<uint32_t>(esize);
    if (elements < 1) return a;
    a.k = static_cast<unsigned>(esize) / 8;
    const unsigned used = elements * a.k;  // predicate bits in use, at most 256
    const uint64_t heads = element_heads(a.k);
    for (unsigned w = 0; w < 4; ++w) {
        const unsigned base = 64 * w;
        uint64_t limit = 0;
        if (used >= base + 64)
            limit = ~uint64_t{0};
        else if (used > base)
            limit = (uint64_t{1} << (used - base)) - 1;
        a.heads[w] = mask.w[w] & heads & limit;
    }
    return a;
}

// Predicate bit of the first (lowest) / last (highest) active element, or -1.
int first_head(const ActiveElements &a) {
    for (int w = 0; w < 4; ++w)
        if (a.heads[w] != 0) return 64 * w + std::countr_zero(a.heads[w]);
    return -1;
}

int last_head(const ActiveElements &a) {
    for (int w = 3; w >= 0; --w)
        if (a.heads[w] != 0) return 64 * w + 63 - std::countl_zero(a.heads[w]);
    return -1;
}

// What the predicate test needs to know about result under mask.
struct PredTest {
    bool has_active;       // the mask has an active element
    bool any_true;         // some active element has a set bit in its result group
    bool first_true;       // bit p of result for the first active element
    bool last_group_zero;  // the last active element's result group is all zero
};

PredTest pred_test(const PredV &mask, const PredV &result, int esize, const CpuContext *ctx) {
    PredTest t{false, false, false, true};
    const ActiveElements a = active_elements(mask, esize, ctx);
    const int first = first_head(a);
    if (first < 0) return t;
    t.has_active = true;
    const uint64_t group = (uint64_t{1} << a.k) - 1;
    // Groups never straddle words, so spreading each head bit over its group
    // by multiplication produces no carries.
    for (int w = 0; w < 4; ++w) t.any_true |= (result.w[w] & (a.heads[w] * group)) != 0;
    t.first_true = pred_bit(result, static_cast<unsigned>(first));
    const int last = last_head(a);
    t.last_group_zero = ((result.w[last >> 6] >> (last & 63)) & group) == 0;
    return t;
}

void set_flag(CpuContext *ctx, uint32_t flag, bool value) {
    ctx->flags = value ? (ctx->flags | flag) : (ctx->flags & ~flag);
}

}  // namespace

int FindFirstActive(PredV mask, int esize, CpuContext *ctx) {
    const ActiveElements a = active_elements(mask, esize, ctx);
    const int p = first_head(a);
    return p < 0 ? -1 : p / static_cast<int>(a.k);
}

int FindLastActive(PredV mask, int esize, CpuContext *ctx) {
    const ActiveElements a = active_elements(mask, esize, ctx);
    const int p = last_head(a);
    return p < 0 ? -1 : p / static_cast<int>(a.k);
}

int PredSetNZC(PredV mask, PredV result, int esize, CpuContext *ctx) {
    const PredTest t = pred_test(mask, result, esize, ctx);
    set_flag(ctx, kFlagN, t.any_true && t.first_true);
    set_flag(ctx, kFlagZ, !t.any_true);
    set_flag(ctx, kFlagC, !t.any_true || t.last_group_zero);
    return 0;
}

int PredSetNZCV(PredV mask, PredV result, int esize, CpuContext *ctx) {
    PredSetNZC(mask, result, esize, ctx);
    set_flag(ctx, kFlagV, false);
    return 0;
}

int PredSetNCV(PredV mask, PredV result, int esize, CpuContext *ctx) {
    const PredTest t = pred_test(mask, result, esize, ctx);
    set_flag(ctx, kFlagN, t.any_true && t.first_true);
    set_flag(ctx, kFlagC, !t.any_true || t.last_group_zero);
    set_flag(ctx, kFlagV, false);
    return 0;
}

int PredSetNC(PredV mask, PredV result, int esize, CpuContext *ctx) {
    const PredTest t = pred_test(mask, result, esize, ctx);
    if (!t.has_active) return 0;
    set_flag(ctx, kFlagN, t.first_true);
    set_flag(ctx, kFlagC, t.last_group_zero);
    return 0;
}
