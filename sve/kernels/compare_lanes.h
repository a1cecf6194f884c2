// The integer compares' lane code: Pd = Pg AND (Zn cond operand) with the
// flags, 16 bytes at a time, for element type T (uint8_t to uint64_t). Inline,
// so that the handlers, which know T and the condition, run it directly, and the
// kernels by register record run the same code.
#pragma once

#include <cstdint>
#include <cstring>
#include <limits>
#include <type_traits>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

#include "sve/kernels/compare_kernels.h"
#include "sve/kernels/kernel_common.h"
#include "sve/kernels/predicate_words.h"

namespace compare_lanes {

// 16 bytes of elements of type T.
template <typename T>
using piece = vec16<T>;

// The conditions on 16 bytes of unsigned elements: every lane all ones where
// the condition holds, else 0. The signed ones compare the same bits as signed.
template <typename T>
using spiece = piece<std::make_signed_t<T>>;
template <typename T>
inline spiece<T> as_signed(piece<T> v) { return reinterpret_cast<spiece<T>>(v); }

struct eq { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a == b; } };
struct ne { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a != b; } };
struct ge { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return as_signed<T>(a) >= as_signed<T>(b); } };
struct gt { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return as_signed<T>(a) > as_signed<T>(b); } };
struct lt { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return as_signed<T>(a) < as_signed<T>(b); } };
struct le { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return as_signed<T>(a) <= as_signed<T>(b); } };
struct hs { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a >= b; } };
struct hi { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a > b; } };
struct lo { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a < b; } };
struct ls { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a <= b; } };

// What a compare does to the condition's lane masks of the 16 bytes at byte k
// before they meet Pg: nothing, except in the wide compares.
struct as_is {
    piece<uint8_t> operator()(unsigned, piece<uint8_t> c) const { return c; }
};

// 64 bytes as four pieces, read with one LD1 of four registers on AArch64.
struct quad {
    piece<uint8_t> v[4];
};
inline quad load_quad(const unsigned char *p) {
#if defined(__aarch64__)
    const uint8x16x4_t x = vld1q_u8_x4(p);
    return quad{{x.val[0], x.val[1], x.val[2], x.val[3]}};
#else
    quad q;
    std::memcpy(q.v, p, 64);
    return q;
#endif
}

// The flags of a compare. With the first and the last element of Pg active
// (kEndsActive), as under an all-true predicate, they are the result's first
// and last elements; otherwise they come from the active ends, which are found
// in Pg before Pd (which may be Pg) is written. Then only the 64-byte pieces
// from the first active element's to the last one's, [from, to) in bytes (none
// when no element is active), can hold a true element: the compare runs there,
// and the other pieces of Pd, which hold no active element, are cleared.
template <bool kEndsActive>
struct compare_ends {
    pred_ends ends{};
    unsigned from = 0, to = kVecBytes;
    [[gnu::always_inline]] compare_ends(const unsigned char *g, unsigned esize) {
        if constexpr (!kEndsActive) {
            ends = find_pred_ends(g, esize);
            from = ends.none ? 0 : ends.first_word / 8 * 64;
            to = ends.none ? 0 : (ends.last_word / 8 + 1) * 64;
        }
    }
    // Whether the LEN bytes of Pd at K hold no active element.
    bool outside(unsigned k, unsigned len) const {
        if constexpr (kEndsActive) return false;
        return k + len <= from || k >= to;
    }
    void set_flags(cpu_state *s, const unsigned char *d, unsigned esize, bool any) const {
        if constexpr (kEndsActive)
            set_nzcv_bits(s, d[0] & 1, !any, !(d[kVecBytes - esize] & 1), false);
        else
            pred_result_flags(s, ends, d, any);
    }
};
inline bool compare_ends_active(const unsigned char *g, unsigned esize) { return (g[0] & g[kVecBytes - esize] & 1) != 0; }

// Pd[i] = active and cond(Zn[i], operand); flags from the result under Pg.
// 16 bytes at a time (operand(k) gives the operand's bytes k to k + 15): the
// condition gives all ones per true lane, which ANDed with Pg's bytes and 1 per
// lane leaves each element's unit 0 or 1 (its first byte the bit, the others
// 0) exactly where the element is active and true. Each 64 bytes of Pg are read
// before the same 64 bytes of Pd are written.
template <bool kEndsActive, typename T, typename Cond, typename Operand, typename Fix>
[[gnu::always_inline]] inline aarch64_decode_rc compare_t(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, Cond cond,
                                                          Operand operand, Fix fix) {
    using V = piece<T>;
    const unsigned char *g = s->p[pg], *a = s->z[zn];
    unsigned char *d = s->p[pd];
    const compare_ends<kEndsActive> ends(g, sizeof(T));
    const V one = V{} + T{1};
    V any{};
#pragma GCC unroll 4
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        if (ends.outside(k, 64)) {
            std::memset(d + k, 0, 64);
            continue;
        }
        const quad x = load_quad(a + k), gq = load_quad(g + k);
#pragma GCC unroll 4
        for (unsigned j = 0; j < 4; ++j) {
            const piece<uint8_t> c = reinterpret_cast<piece<uint8_t>>(
                cond.template operator()<T>(reinterpret_cast<V>(x.v[j]), reinterpret_cast<V>(operand(k + 16 * j))));
            const V r = reinterpret_cast<V>(fix(k + 16 * j, c)) & reinterpret_cast<V>(gq.v[j]) & one;
            std::memcpy(d + k + 16 * j, &r, 16);
            any |= r;
        }
    }
    uint64_t words[2];
    std::memcpy(words, &any, 16);
    ends.set_flags(s, d, sizeof(T), (words[0] | words[1]) != 0);
    return DECODE_OK;
}

#if defined(__aarch64__)
// Zero vectors in V29-V31 for the interleaving stores below, which keep them
// there between stores.
struct zero_lanes {
    uint8x16_t v29, v30, v31;
};
// Writes 64 bytes at D: byte 4i from byte i of R, the other bytes 0 (ST4
// with three zero registers), or 32 bytes: byte 2i from byte i of R, the
// others 0 (ST2 with one). The _and forms store R = A AND B and OR it into ANY.
inline void store_every4(unsigned char *d, uint8x16_t r, const zero_lanes &z) {
    register uint8x16_t z29 asm("v29") = z.v29;
    register uint8x16_t z30 asm("v30") = z.v30;
    register uint8x16_t z31 asm("v31") = z.v31;
    __asm__ volatile("mov v28.16b, %1.16b\n\tst4 {v28.16b-v31.16b}, [%0]"
                     :
                     : "r"(d), "w"(r), "w"(z29), "w"(z30), "w"(z31)
                     : "v28", "memory");
}
inline void store_every4_and(unsigned char *d, uint8x16_t a, uint8x16_t b, uint8x16_t &any, const zero_lanes &z) {
    register uint8x16_t z29 asm("v29") = z.v29;
    register uint8x16_t z30 asm("v30") = z.v30;
    register uint8x16_t z31 asm("v31") = z.v31;
    __asm__ volatile(
        "and v28.16b, %2.16b, %3.16b\n\torr %0.16b, %0.16b, v28.16b\n\tst4 {v28.16b-v31.16b}, [%1]"
        : "+w"(any)
        : "r"(d), "w"(a), "w"(b), "w"(z29), "w"(z30), "w"(z31)
        : "v28", "memory");
}
inline void store_every2_and(unsigned char *d, uint8x16_t a, uint8x16_t b, uint8x16_t &any, const zero_lanes &z) {
    register uint8x16_t z31 asm("v31") = z.v31;
    __asm__ volatile(
        "and v30.16b, %2.16b, %3.16b\n\torr %0.16b, %0.16b, v30.16b\n\tst2 {v30.16b-v31.16b}, [%1]"
        : "+w"(any)
        : "r"(d), "w"(a), "w"(b), "w"(z31)
        : "v30", "memory");
}

// Elements of 2, 4 or 8 bytes on AArch64: one result byte per element, a
// piece of Pd at a time (32, 64 or 128 bytes). The conditions' lane masks are
// narrowed to their low bytes (UZP1), Pg's elements' first bytes are gathered
// by the de-interleaving loads (LD2, LD4), and the result bytes go back to the
// elements' first bytes with the other bytes 0 by the interleaving stores
// (ST2, ST4). Each piece of Pg is read before the same piece of Pd is written.
template <bool kEndsActive, typename T, typename Cond, typename Operand, typename Fix>
[[gnu::always_inline]] inline aarch64_decode_rc compare_narrow(cpu_state *s, unsigned pd, unsigned pg, unsigned zn,
                                                               Cond cond, Operand operand, Fix fix) {
    using V = piece<T>;
    constexpr unsigned E = sizeof(T);
    const unsigned char *g = s->p[pg], *a = s->z[zn];
    unsigned char *d = s->p[pd];
    const compare_ends<kEndsActive> ends(g, E);
    const auto c = [&](unsigned k) {
        return reinterpret_cast<uint8x16_t>(fix(16 * k, reinterpret_cast<piece<uint8_t>>(cond.template operator()<T>(
            reinterpret_cast<V>(vld1q_u8(a + 16 * k)), reinterpret_cast<V>(operand(16 * k))))));
    };
    const uint8x16_t one = vdupq_n_u8(1);
    const zero_lanes z{vdupq_n_u8(0), vdupq_n_u8(0), vdupq_n_u8(0)};
    uint8x16_t any = vdupq_n_u8(0);
    if constexpr (E == 2) {
        for (unsigned j = 0; j < 8; ++j) {
            if (ends.outside(32 * j, 32)) {
                std::memset(d + 32 * j, 0, 32);
                continue;
            }
            const uint8x16_t h = vuzp1q_u8(c(2 * j), c(2 * j + 1));
            store_every2_and(d + 32 * j, h, vandq_u8(vld2q_u8(g + 32 * j).val[0], one), any, z);
        }
    } else if constexpr (E == 4) {
        for (unsigned j = 0; j < 4; ++j) {
            if (ends.outside(64 * j, 64)) {
                std::memset(d + 64 * j, 0, 64);
                continue;
            }
            const uint16x8_t lo = vuzp1q_u16(vreinterpretq_u16_u8(c(4 * j)), vreinterpretq_u16_u8(c(4 * j + 1)));
            const uint16x8_t hi = vuzp1q_u16(vreinterpretq_u16_u8(c(4 * j + 2)), vreinterpretq_u16_u8(c(4 * j + 3)));
            const uint8x16_t h = vuzp1q_u8(vreinterpretq_u8_u16(lo), vreinterpretq_u8_u16(hi));
            store_every4_and(d + 64 * j, h, vandq_u8(vld4q_u8(g + 64 * j).val[0], one), any, z);
        }
    } else {
        for (unsigned j = 0; j < 2; ++j) {
            if (ends.outside(128 * j, 128)) {
                std::memset(d + 128 * j, 0, 128);
                continue;
            }
            uint16x8_t q[2];
            for (unsigned i = 0; i < 2; ++i) {
                const unsigned k = 8 * j + 4 * i;
                const uint32x4_t lo = vuzp1q_u32(vreinterpretq_u32_u8(c(k)), vreinterpretq_u32_u8(c(k + 1)));
                const uint32x4_t hi = vuzp1q_u32(vreinterpretq_u32_u8(c(k + 2)), vreinterpretq_u32_u8(c(k + 3)));
                q[i] = vuzp1q_u16(vreinterpretq_u16_u32(lo), vreinterpretq_u16_u32(hi));
            }
            const uint8x16_t h = vuzp1q_u8(vreinterpretq_u8_u16(q[0]), vreinterpretq_u8_u16(q[1]));
            // Every second byte of LD4's first register starts an element.
            const uint8x16_t gh = vuzp1q_u8(vld4q_u8(g + 128 * j).val[0], vld4q_u8(g + 128 * j + 64).val[0]);
            const uint8x16_t r = vandq_u8(vandq_u8(h, gh), one);
            store_every4(d + 128 * j, vzip1q_u8(r, z.v29), z);
            store_every4(d + 128 * j + 64, vzip2q_u8(r, z.v29), z);
            any = vorrq_u8(any, r);
        }
    }
    ends.set_flags(s, d, E, vmaxvq_u8(any) != 0);
    return DECODE_OK;
}
#endif

// One compare at element type T, by the narrowing form where there is one.
template <bool kEndsActive, typename T, typename Cond, typename Operand, typename Fix>
[[gnu::always_inline]] inline aarch64_decode_rc compare_body(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, Cond cond,
                                                             Operand operand, Fix fix) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) > 1) return compare_narrow<kEndsActive, T>(s, pd, pg, zn, cond, operand, fix);
#endif
    return compare_t<kEndsActive, T>(s, pd, pg, zn, cond, operand, fix);
}
// With the first or the last element of Pg inactive, out of line: the flags
// need the active ends. It is a loop's last compare (a string loop's every
// one), and under a translator such as qemu-user, where processors without SVE
// are often emulated, each branch across a page boundary is a lookup of where
// the code goes: aligned to 2 KiB, more than any instance's size, it never
// straddles a page (memchr: 9 lookups fewer per call, 6% of its time).
template <typename T, typename Cond, typename Operand, typename Fix>
[[gnu::noinline, gnu::aligned(2048)]] aarch64_decode_rc compare_scanning(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, Cond cond,
                                                     Operand operand, Fix fix) {
    return compare_body<false, T>(s, pd, pg, zn, cond, operand, fix);
}

// Zn against Zm, or against the immediate (truncated to the element size) in
// every lane.
template <typename T, typename Cond, typename Operand, typename Fix = as_is>
aarch64_decode_rc compare_typed(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, Cond cond, Operand operand,
                                Fix fix = {}) {
    if (__builtin_expect(!compare_ends_active(s->p[pg], sizeof(T)), 0))
        return compare_scanning<T>(s, pd, pg, zn, cond, operand, fix);
    return compare_body<true, T>(s, pd, pg, zn, cond, operand, fix);
}
template <typename T, typename Cond>
aarch64_decode_rc compare_typed_zz(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, unsigned zm, Cond cond) {
    const unsigned char *b = s->z[zm];
    return compare_typed<T>(s, pd, pg, zn, cond, [b](unsigned k) {
        piece<uint8_t> v;
        std::memcpy(&v, b + k, 16);
        return v;
    });
}
template <typename T, typename Cond>
aarch64_decode_rc compare_typed_zi(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, uint64_t imm, Cond cond) {
    const piece<uint8_t> b = reinterpret_cast<piece<uint8_t>>(piece<T>{} + static_cast<T>(imm));
    return compare_typed<T>(s, pd, pg, zn, cond, [b](unsigned) { return b; });
}

// The condition's functor.
template <int_cond C>
constexpr auto cond_of() {
    if constexpr (C == int_cond::eq) return eq{};
    else if constexpr (C == int_cond::ne) return ne{};
    else if constexpr (C == int_cond::ge) return ge{};
    else if constexpr (C == int_cond::gt) return gt{};
    else if constexpr (C == int_cond::lt) return lt{};
    else if constexpr (C == int_cond::le) return le{};
    else if constexpr (C == int_cond::hs) return hs{};
    else if constexpr (C == int_cond::hi) return hi{};
    else if constexpr (C == int_cond::lo) return lo{};
    else return ls{};
}

// The wide compares: Zn's elements of type T against the 64-bit element of Zm
// in the same 64-bit lane, both sign-extended (signed conditions) or
// zero-extended (unsigned ones). Each lane's operand is narrowed into T's
// range and repeated across the lane's elements; where it lies outside that
// range, every element of the lane gets the same answer, which `force` holds
// and `keep` lets through instead of the compare's.
template <typename T, int_cond C>
struct wide_operand {
    alignas(16) unsigned char value[kVecBytes], keep[kVecBytes], force[kVecBytes];
    explicit wide_operand(const unsigned char *zm) {
        constexpr bool kUnsigned = C == int_cond::hs || C == int_cond::hi || C == int_cond::lo || C == int_cond::ls;
        using S = std::make_signed_t<T>;
        // The answers above T's range and below it.
        constexpr bool kAbove = C == int_cond::ne || C == int_cond::lt || C == int_cond::le || C == int_cond::lo ||
                                C == int_cond::ls;
        constexpr bool kBelow = C == int_cond::ne || C == int_cond::gt || C == int_cond::ge;
        constexpr uint64_t kRepeat = sizeof(T) == 1 ? 0x0101010101010101u
                                   : sizeof(T) == 2 ? 0x0001000100010001u
                                   : 0x0000000100000001u;
        for (unsigned lane = 0; lane < kVecBytes / 8; ++lane) {
            uint64_t y;
            std::memcpy(&y, zm + 8 * lane, 8);
            bool above, below;
            T narrowed;
            if constexpr (kUnsigned) {
                above = y > std::numeric_limits<T>::max();
                below = false;
                narrowed = above ? std::numeric_limits<T>::max() : static_cast<T>(y);
            } else {
                const int64_t v = static_cast<int64_t>(y);
                above = v > std::numeric_limits<S>::max();
                below = v < std::numeric_limits<S>::min();
                narrowed = static_cast<T>(above ? std::numeric_limits<S>::max() : below ? std::numeric_limits<S>::min()
                                                                                        : static_cast<S>(v));
            }
            const uint64_t value = uint64_t{narrowed} * kRepeat;
            const uint64_t keep = above || below ? 0 : ~uint64_t{0};
            const uint64_t force = (above && kAbove) || (below && kBelow) ? ~uint64_t{0} : 0;
            std::memcpy(this->value + 8 * lane, &value, 8);
            std::memcpy(this->keep + 8 * lane, &keep, 8);
            std::memcpy(this->force + 8 * lane, &force, 8);
        }
    }
};

}  // namespace compare_lanes

template <typename T, int_cond C>
inline aarch64_decode_rc sve_compare_zz(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, unsigned zm) {
    return compare_lanes::compare_typed_zz<T>(s, pd, pg, zn, zm, compare_lanes::cond_of<C>());
}
template <typename T, int_cond C>
inline aarch64_decode_rc sve_compare_zi(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, uint64_t imm) {
    return compare_lanes::compare_typed_zi<T>(s, pd, pg, zn, imm, compare_lanes::cond_of<C>());
}
template <typename T, int_cond C>
inline aarch64_decode_rc sve_compare_wide(cpu_state *s, unsigned pd, unsigned pg, unsigned zn, unsigned zm) {
    using namespace compare_lanes;
    const wide_operand<T, C> w(s->z[zm]);
    const auto operand = [&w](unsigned k) {
        piece<uint8_t> v;
        std::memcpy(&v, w.value + k, 16);
        return v;
    };
    const auto fix = [&w](unsigned k, piece<uint8_t> c) {
        piece<uint8_t> keep, force;
        std::memcpy(&keep, w.keep + k, 16);
        std::memcpy(&force, w.force + k, 16);
        return (c & keep) | force;
    };
    return compare_typed<T>(s, pd, pg, zn, cond_of<C>(), operand, fix);
}
