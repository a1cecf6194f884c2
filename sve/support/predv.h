// Packed predicate image: one bit per vector byte, 256 bits in four words.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

struct PredV {
    uint64_t w[4];
};

inline bool pred_bit(const PredV &p, unsigned i) { return (p.w[(i >> 6) & 3] >> (i & 63)) & 1; }
inline void set_pred_bit(PredV &p, unsigned i, bool v) {
    const uint64_t m = uint64_t{1} << (i & 63);
    if (v)
        p.w[(i >> 6) & 3] |= m;
    else
        p.w[(i >> 6) & 3] &= ~m;
}

// Packs a 256-byte predicate register (bit 0 of each byte) into a PredV. On
// AArch64 64 bytes at a time: each byte shifted by its position within its
// group of eight, then three pairwise additions sum every group into one byte.
// Elsewhere eight bytes at a time: the multiply moves bit 0 of byte i to bit
// 56 + i, and no two of its partial products meet.
inline PredV pack_pred(const unsigned char *bytes) {
    PredV p;
#if defined(__aarch64__)
    static constexpr int8_t kShifts[16] = {0, 1, 2, 3, 4, 5, 6, 7, 0, 1, 2, 3, 4, 5, 6, 7};
    const int8x16_t shifts = vld1q_s8(kShifts);
    const uint8x16_t one = vdupq_n_u8(1);
    for (unsigned w = 0; w < 4; ++w) {
        const uint8x16x4_t v = vld1q_u8_x4(bytes + 64 * w);
        const uint8x16_t a = vshlq_u8(vandq_u8(v.val[0], one), shifts);
        const uint8x16_t b = vshlq_u8(vandq_u8(v.val[1], one), shifts);
        const uint8x16_t c = vshlq_u8(vandq_u8(v.val[2], one), shifts);
        const uint8x16_t d = vshlq_u8(vandq_u8(v.val[3], one), shifts);
        const uint8x16_t ab = vpaddq_u8(a, b), cd = vpaddq_u8(c, d);
        const uint8x16_t abcd = vpaddq_u8(ab, cd);
        p.w[w] = vgetq_lane_u64(vreinterpretq_u64_u8(vpaddq_u8(abcd, abcd)), 0);
    }
#else
    p = PredV{};
    for (unsigned k = 0; k < 32; ++k) {
        uint64_t v;
        std::memcpy(&v, bytes + 8 * k, 8);
        p.w[k >> 3] |= (((v & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56) << (8 * (k & 7));
    }
#endif
    return p;
}

// Unpacks into 256 bytes of 0 or 1. On AArch64 16 bytes at a time: each byte of
// the image spread over eight lanes, each lane testing its own bit. Elsewhere
// eight at a time: each byte keeps its own bit of the eight, and adding 0x7f
// carries a set bit into the byte's top bit.
inline void unpack_pred(const PredV &p, unsigned char *bytes) {
#if defined(__aarch64__)
    static constexpr uint8_t kSpread[16] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1};
    static constexpr uint8_t kBits[16] = {1, 2, 4, 8, 16, 32, 64, 128, 1, 2, 4, 8, 16, 32, 64, 128};
    const uint8x16_t spread = vld1q_u8(kSpread), bits = vld1q_u8(kBits), one = vdupq_n_u8(1);
    const uint8x16_t two = vdupq_n_u8(2);
    for (unsigned w = 0; w < 4; ++w) {
        const uint8x16_t image = vreinterpretq_u8_u64(vdupq_n_u64(p.w[w]));
        uint8x16_t index = spread;
        for (unsigned k = 0; k < 4; ++k) {
            const uint8x16_t out = vandq_u8(vtstq_u8(vqtbl1q_u8(image, index), bits), one);
            vst1q_u8(bytes + 64 * w + 16 * k, out);
            index = vaddq_u8(index, two);
        }
    }
#else
    for (unsigned k = 0; k < 32; ++k) {
        const uint64_t b = (p.w[k >> 3] >> (8 * (k & 7))) & 0xff;
        const uint64_t v =
            ((((b * 0x0101010101010101ull) & 0x8040201008040201ull) + 0x7f7f7f7f7f7f7f7full) >> 7) & 0x0101010101010101ull;
        std::memcpy(bytes + 8 * k, &v, 8);
    }
#endif
}
