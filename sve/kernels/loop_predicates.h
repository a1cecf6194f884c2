// Predicates whose true elements are a prefix: PTRUE with a pattern, and the
// loop predicates WHILELT, WHILELE, WHILELO and WHILELS. Inline, so that a
// handler that knows the element size and register width at compile time runs
// them without the register records and the kernel call, and the kernels
// (which take them at run time) run the same code.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

#include "sve/kernels/kernel_common.h"
#include "sve/kernels/predicate_words.h"

// For each element size (by log2 of bytes), 256 bytes with the first byte of
// every element 1 and the others 0, then 256 zero bytes: the 256 bytes from
// kVecBytes - k * esize on are a predicate with its first k elements true.
struct alignas(16) prefix_table {
    unsigned char b[4][2 * kVecBytes];
};
constexpr prefix_table make_prefix_table() {
    prefix_table t{};
    for (unsigned k = 0; k < 4; ++k)
        for (unsigned j = 0; j < kVecBytes; ++j) t.b[k][j] = j % (1u << k) == 0;
    return t;
}
// (Hidden: read PC-relative rather than through the global offset table.)
[[gnu::visibility("hidden")]] inline constexpr prefix_table kPredicatePrefixes = make_prefix_table();

// Writes P with its first COUNT elements (at most the element count) true, at
// element size 1 << LG bytes.
inline void write_prefix(unsigned char *p, unsigned count, unsigned lg) {
    copy_pred(p, kPredicatePrefixes.b[lg] + kVecBytes - (count << lg));
}

#if defined(__aarch64__)
// Stores V sixteen times from P, as eight pairs.
[[gnu::always_inline]] inline void store_sixteen_times(unsigned char *p, uint8x16_t v) {
    __asm__ volatile(
        "stp %q1, %q1, [%0]\n\tstp %q1, %q1, [%0, #32]\n\tstp %q1, %q1, [%0, #64]\n\tstp %q1, %q1, [%0, #96]\n\t"
        "stp %q1, %q1, [%0, #128]\n\tstp %q1, %q1, [%0, #160]\n\tstp %q1, %q1, [%0, #192]\n\tstp %q1, %q1, [%0, #224]"
        :
        : "r"(p), "w"(v)
        : "memory");
}
#endif

// Writes P with every element true at element size 1 << LG bytes: one vector
// of the pattern, stored 16 times (the vector made in one instruction when LG
// is known where this is inlined).
[[gnu::always_inline]] inline void write_all_true(unsigned char *p, unsigned lg) {
#if defined(__aarch64__)
    store_sixteen_times(p, lg == 0   ? vdupq_n_u8(1)
                           : lg == 1 ? vreinterpretq_u8_u16(vdupq_n_u16(1))
                           : lg == 2 ? vreinterpretq_u8_u32(vdupq_n_u32(1))
                                     : vreinterpretq_u8_u64(vdupq_n_u64(1)));
#else
    for (unsigned k = 0; k < kVecBytes; k += 16) std::memcpy(p + k, kPredicatePrefixes.b[lg], 16);
#endif
}

// Writes P with the 16 bytes at PIECE, 16 times.
[[gnu::always_inline]] inline void write_repeated(unsigned char *p, const unsigned char *piece) {
#if defined(__aarch64__)
    store_sixteen_times(p, vld1q_u8(piece));
#else
    for (unsigned k = 0; k < kVecBytes; k += 16) std::memcpy(p + k, piece, 16);
#endif
}

// The loop predicates' leading true elements out of N, for counter C and limit
// L at a register width of BITS (MASK its all-ones value): element e is true
// while the condition holds for C + e (wrapping at the width) and for every
// earlier element. Once the counter passes the limit no later element is true,
// and it does so before it could wrap, except where the limit is the width's
// largest value for the inclusive conditions (LE, LS): every counter is then at
// or below it, wrapped or not.
inline int64_t loop_signed(uint64_t v, unsigned bits) {
    return bits == 64 ? static_cast<int64_t>(v) : static_cast<int64_t>(v << (64 - bits)) >> (64 - bits);
}
struct while_lt {  // signed C + e < L
    unsigned operator()(uint64_t c, uint64_t l, unsigned bits, unsigned n, uint64_t) const {
        const int64_t sc = loop_signed(c, bits), sl = loop_signed(l, bits);
        return sc < sl ? static_cast<unsigned>(std::min<uint64_t>(n, static_cast<uint64_t>(sl) - static_cast<uint64_t>(sc))) : 0u;
    }
};
struct while_le {  // signed C + e <= L
    unsigned operator()(uint64_t c, uint64_t l, unsigned bits, unsigned n, uint64_t mask) const {
        const int64_t sc = loop_signed(c, bits), sl = loop_signed(l, bits);
        if (sc > sl) return 0u;
        const uint64_t span = static_cast<uint64_t>(sl) - static_cast<uint64_t>(sc);
        return l == (mask >> 1) || span >= n - 1 ? n : static_cast<unsigned>(span + 1);
    }
};
struct while_lo {  // unsigned C + e < L
    unsigned operator()(uint64_t c, uint64_t l, unsigned, unsigned n, uint64_t) const {
        return c < l ? static_cast<unsigned>(std::min<uint64_t>(n, l - c)) : 0u;
    }
};
struct while_ls {  // unsigned C + e <= L
    unsigned operator()(uint64_t c, uint64_t l, unsigned, unsigned n, uint64_t mask) const {
        if (c > l) return 0u;
        return l == mask || l - c >= n - 1 ? n : static_cast<unsigned>(l - c + 1);
    }
};

// General register N for an operand where 31 is the zero register. X0-X30
// and SP are consecutive in the record, so the read needs no branch; 31's
// value (SP) is then dropped.
inline uint64_t read_x_or_zero(const cpu_state *s, unsigned n) {
    uint64_t v;
    std::memcpy(&v, reinterpret_cast<const unsigned char *>(s) + offsetof(cpu_state, x) + 8 * n, sizeof v);
    return n == 31 ? 0 : v;
}

// WHILE<cond> Pd.T, Rn, Rm at element size 1 << LG bytes, with X registers
// when X (else W): Pd gets the leading true elements, and the flags are
// PTEST's of the result under an all-true predicate (N = first element true,
// Z = none true, C = last element false, V = 0).
template <typename Count>
[[gnu::always_inline]] inline void write_loop_predicate(cpu_state *s, unsigned pd, unsigned lg, unsigned rn, unsigned rm,
                                                        bool x, Count count_of) {
    static_assert(offsetof(cpu_state, sp) == offsetof(cpu_state, x) + 8 * 31);
    const uint64_t mask = x ? ~uint64_t{0} : 0xFFFFFFFFu;
    const unsigned bits = x ? 64 : 32;
    const uint64_t counter = read_x_or_zero(s, rn) & mask, limit = read_x_or_zero(s, rm) & mask;
    const unsigned n = kVecBytes >> lg;
    const unsigned count = count_of(counter, limit, bits, n, mask);
    const uint64_t flags = count == 0 ? 0x60000000u : count < n ? 0xA0000000u : 0x80000000u;
    s->nzcv = (s->nzcv & ~uint64_t{0xF0000000}) | flags;
    write_prefix(s->p[pd], count, lg);
}
