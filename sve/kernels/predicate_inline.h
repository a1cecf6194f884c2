// Predicate operations of a loop's commonest instructions (PTEST, BRKA/BRKB
// zeroing, RDFFR), inline: their kernels run them, and so do the handlers
// themselves, which then reach them without another jump.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

#include "sve/kernels/kernel_common.h"
#include "sve/kernels/predicate_words.h"

// Whether an element active in G is true in R: G AND R, 64 bytes at a time,
// the element starts' bits taken at the end. A true element in the first 64
// bytes (a short string's match) ends the scan there; a scan that finds none
// (a loop's usual iteration) pays one test for it.
inline bool any_active_true(const unsigned char *g, const unsigned char *r, unsigned esize) {
    const uint64_t lanes = pred_lane_mask(esize);
#if defined(__aarch64__)
    const uint8x16_t mask = vreinterpretq_u8_u64(vdupq_n_u64(lanes));
    const auto piece = [&](unsigned k) {
        const uint8x16x4_t a = vld1q_u8_x4(g + k), b = vld1q_u8_x4(r + k);
        return vorrq_u8(vorrq_u8(vandq_u8(a.val[0], b.val[0]), vandq_u8(a.val[1], b.val[1])),
                        vorrq_u8(vandq_u8(a.val[2], b.val[2]), vandq_u8(a.val[3], b.val[3])));
    };
    const uint8x16_t first = vandq_u8(piece(0), mask);
    if (vmaxvq_u8(first) != 0) return true;
    const uint8x16_t rest = vorrq_u8(piece(64), vorrq_u8(piece(128), piece(192)));
    return vmaxvq_u8(vandq_u8(rest, mask)) != 0;
#else
    typedef unsigned char piece __attribute__((vector_size(16)));
    piece acc{};
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        piece a, b;
        std::memcpy(&a, g + k, 16);
        std::memcpy(&b, r + k, 16);
        acc |= a & b;
    }
    uint64_t words[2];
    std::memcpy(words, &acc, 16);
    return ((words[0] | words[1]) & lanes) != 0;
#endif
}

// PTEST's flags: of R under G, elements of ESIZE bytes.
[[gnu::always_inline]] inline void ptest_flags(cpu_state *s, const unsigned char *g, const unsigned char *r, unsigned esize) {
    const bool any = any_active_true(g, r, esize);
    // G's first and last elements active (an all-true G among others): those are the ends.
    if (g[0] & g[kVecBytes - esize] & 1)
        set_nzcv_bits(s, r[0] & 1, !any, !(r[kVecBytes - esize] & 1), false);
    else
        pred_result_flags(s, find_pred_ends(g, esize), r, any);
}

#if defined(__aarch64__)
// The zeroing form on AArch64, 64 bytes at a time: Pd is Pg's bit 0 up to the
// break and false from there. The 64 bytes of Pg and Pn that hold the break are
// read before the same bytes of Pd are written, and only they are looked at
// byte by byte.
template <bool kAfter>
inline void brk_zeroing(const unsigned char *g, const unsigned char *a, unsigned char *d) {
    static const uint8_t kIndex[64] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                       16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,
                                       32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
                                       48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
    const uint8x16_t one = vdupq_n_u8(1);
    unsigned k = 0;
    for (; k < kVecBytes; k += 64) {
        const uint8x16x4_t gv = vld1q_u8_x4(g + k), av = vld1q_u8_x4(a + k);
        uint8x16x4_t active, hit;
        for (unsigned j = 0; j < 4; ++j) {
            active.val[j] = vandq_u8(gv.val[j], one);
            hit.val[j] = vtstq_u8(active.val[j], av.val[j]);  // all ones where active and true
        }
        const uint8x16_t any = vorrq_u8(vorrq_u8(hit.val[0], hit.val[1]), vorrq_u8(hit.val[2], hit.val[3]));
        if (vmaxvq_u8(any) == 0) {
            vst1q_u8_x4(d + k, active);
            continue;
        }
        // The break's byte within these 64: a nibble per byte, the first set one.
        unsigned at = 0;
        for (unsigned j = 0; j < 4; ++j) {
            const uint64_t nibbles =
                vget_lane_u64(vreinterpret_u64_u8(vshrn_n_u16(vreinterpretq_u16_u8(hit.val[j]), 4)), 0);
            if (nibbles != 0) {
                at = 16 * j + static_cast<unsigned>(std::countr_zero(nibbles)) / 4;
                break;
            }
        }
        const uint8x16_t limit = vdupq_n_u8(static_cast<uint8_t>(at + (kAfter ? 1 : 0)));
        const uint8x16x4_t index = vld1q_u8_x4(kIndex);
        for (unsigned j = 0; j < 4; ++j) active.val[j] = vandq_u8(active.val[j], vcltq_u8(index.val[j], limit));
        vst1q_u8_x4(d + k, active);
        k += 64;
        break;
    }
    const uint8x16x4_t zero{{vdupq_n_u8(0), vdupq_n_u8(0), vdupq_n_u8(0), vdupq_n_u8(0)}};
    for (; k < kVecBytes; k += 64) vst1q_u8_x4(d + k, zero);
}
#endif

// RDFFR Pd.B, Pg/Z: D = FFR AND G (bit 0 of each byte), 64 bytes at a time
// (16 on other hosts): each piece of G is read before the same piece of D
// (which may be G) is written.
inline void ffr_and(unsigned char *d, const unsigned char *ffr, const unsigned char *g) {
#if defined(__aarch64__)
    const uint8x16_t one = vdupq_n_u8(1);
#pragma GCC unroll 4
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        const uint8x16x4_t f = vld1q_u8_x4(ffr + k), a = vld1q_u8_x4(g + k);
        uint8x16x4_t r;
        for (unsigned j = 0; j < 4; ++j) r.val[j] = vandq_u8(vandq_u8(f.val[j], a.val[j]), one);
        vst1q_u8_x4(d + k, r);
    }
#else
    typedef unsigned char piece __attribute__((vector_size(16)));
    const piece one = piece{} + 1;
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        piece f, a;
        std::memcpy(&f, ffr + k, 16);
        std::memcpy(&a, g + k, 16);
        const piece r = f & a & one;
        std::memcpy(d + k, &r, 16);
    }
#endif
}
