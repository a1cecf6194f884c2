// What every vector kernel shares: element views of Z, P and FFR, predicate
// reads and writes at each element size, general-register access through the
// register-number records, and the staging buffer for kernels whose destination
// may also be a source.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif
#include <type_traits>

#include "sve/state/cpu_state.h"

// A 256-byte staging buffer for a Z or P result.
struct alignas(16) vec_buf {
    unsigned char b[kVecBytes];
};

// Element i of type T in a 256-byte register image (little-endian).
template <typename T>
inline T elem_get(const unsigned char *reg, unsigned i) {
    T v;
    std::memcpy(&v, reg + i * sizeof(T), sizeof(T));
    return v;
}
template <typename T>
inline void elem_set(unsigned char *reg, unsigned i, T v) {
    std::memcpy(reg + i * sizeof(T), &v, sizeof(T));
}

template <typename T>
inline constexpr unsigned elem_count = kVecBytes / sizeof(T);

// Element size in bytes from a qualifier's element-size code.
inline constexpr unsigned esize_of(uint32_t qual) {
    return qual == kQualS ? 4 : qual == kQualD ? 8 : qual == kQualH ? 2 : 1;
}

// Calls f with a value of the unsigned element type the code selects
// (words, then doublewords, then halfwords; everything else bytes).
template <typename F>
inline decltype(auto) with_element_type(uint32_t qual, F &&f) {
    switch (qual) {
    case kQualS: return f(uint32_t{});
    case kQualD: return f(uint64_t{});
    case kQualH: return f(uint16_t{});
    default: return f(uint8_t{});
    }
}

// Predicates: element i of size E is active when bit 0 of byte i*E is set.
inline bool pred_active(const unsigned char *pred, unsigned i, unsigned esize) {
    return pred[i * esize] & 1;
}
template <typename T>
inline bool pred_active(const unsigned char *pred, unsigned i) {
    return pred[i * sizeof(T)] & 1;
}
#if defined(__aarch64__)
// 16 predicate bytes to a lane mask of elements of type E: all ones in the
// elements whose first byte has bit 0 set.
template <typename E>
inline uint8x16_t lanes_active(uint8x16_t p) {
    if constexpr (sizeof(E) == 1) return vtstq_u8(p, vdupq_n_u8(1));
    else if constexpr (sizeof(E) == 2) return vreinterpretq_u8_u16(vtstq_u16(vreinterpretq_u16_u8(p), vdupq_n_u16(1)));
    else if constexpr (sizeof(E) == 4) return vreinterpretq_u8_u32(vtstq_u32(vreinterpretq_u32_u8(p), vdupq_n_u32(1)));
    else return vreinterpretq_u8_u64(vtstq_u64(vreinterpretq_u64_u8(p), vdupq_n_u64(1)));
}
#endif
// Copies 256 bytes as four 64-byte pieces in ascending order: on AArch64 one
// LD1/ST1 of four registers each.
inline void copy_256_by64(unsigned char *to, const unsigned char *from) {
#if defined(__aarch64__)
    __asm__ volatile(
        "ld1 {v16.16b-v19.16b}, [%1], #64\n\tst1 {v16.16b-v19.16b}, [%0], #64\n\t"
        "ld1 {v16.16b-v19.16b}, [%1], #64\n\tst1 {v16.16b-v19.16b}, [%0], #64\n\t"
        "ld1 {v16.16b-v19.16b}, [%1], #64\n\tst1 {v16.16b-v19.16b}, [%0], #64\n\t"
        "ld1 {v16.16b-v19.16b}, [%1], #64\n\tst1 {v16.16b-v19.16b}, [%0], #64"
        : "+r"(to), "+r"(from)
        :
        : "v16", "v17", "v18", "v19", "memory");
#else
    for (unsigned k = 0; k < 256; k += 64) {
        std::memcpy(to + k, from + k, 64);
        __asm__ volatile("" : : : "memory");
    }
#endif
}

// 16 bytes of elements of type T, as the compiler's vector type (NEON on
// AArch64, SSE on x86-64).
template <typename T>
struct vec16_of {
    typedef T type __attribute__((vector_size(16)));
};
template <typename T>
using vec16 = typename vec16_of<T>::type;

// Y where element e of type T is active, X elsewhere, without a branch. The
// element's whole predicate unit is read as a T (its bit 0 is the first byte's
// on these little-endian hosts), so that a loop of these reads the predicate
// as contiguous lanes and vectorises.
template <typename T>
inline T pick_active(const unsigned char *pred, unsigned e, T y, T x) {
    T unit;
    std::memcpy(&unit, pred + e * sizeof(T), sizeof(T));
    const T mask = static_cast<T>(T(0) - static_cast<T>(unit & T(1)));
    return static_cast<T>((y & mask) | (x & static_cast<T>(~mask)));
}
// D[e] = op(A[e], B[e]) where element e of type T is active in PRED, A[e]
// elsewhere, for an operation that does not vectorise (a division, a 64-bit
// high multiply): every element's result first, in a loop of the operation
// alone, then the predicate picks them in a loop that does. D may be A or B.
template <typename T, typename Op>
inline void merge_scalar_op(const unsigned char *pred, const unsigned char *a, const unsigned char *b, unsigned char *d,
                            Op op) {
    vec_buf y, r;
#pragma GCC unroll 4
    for (unsigned e = 0; e < elem_count<T>; ++e)
        elem_set<T>(y.b, e, static_cast<T>(op(elem_get<T>(a, e), elem_get<T>(b, e))));
    for (unsigned e = 0; e < elem_count<T>; ++e)
        elem_set<T>(r.b, e, pick_active<T>(pred, e, elem_get<T>(y.b, e), elem_get<T>(a, e)));
    std::memcpy(d, r.b, kVecBytes);
}
// Writes element i's whole unit: first byte 0 or 1, the others 0.
inline void pred_write(unsigned char *pred, unsigned i, unsigned esize, bool v) {
    unsigned char *unit = pred + i * esize;
    unit[0] = v ? 1 : 0;
    for (unsigned k = 1; k < esize; ++k) unit[k] = 0;
}

inline unsigned char *zreg(cpu_state *s, aarch64_z_reg r) { return s->z[r.num & 31]; }
inline const unsigned char *zreg(const cpu_state *s, aarch64_z_reg r) { return s->z[r.num & 31]; }
inline unsigned char *preg(cpu_state *s, aarch64_p_reg r) { return s->p[r.num & 15]; }
inline const unsigned char *preg(const cpu_state *s, aarch64_p_reg r) { return s->p[r.num & 15]; }

// General registers: number 31 is the zero register for aarch64_i_reg and the
// stack pointer for aarch64_i_rsp_reg.
inline uint64_t xread(const cpu_state *s, aarch64_i_reg r) { return r.num >= 31 ? 0 : s->x[r.num]; }
inline void xwrite(cpu_state *s, aarch64_i_reg r, uint64_t v) {
    if (r.num < 31) s->x[r.num] = v;
}
inline uint64_t xread(const cpu_state *s, aarch64_i_rsp_reg r) { return r.num >= 31 ? s->sp : s->x[r.num]; }
inline void xwrite(cpu_state *s, aarch64_i_rsp_reg r, uint64_t v) {
    if (r.num >= 31)
        s->sp = v;
    else
        s->x[r.num] = v;
}

// Replaces bits 31..28 of the NZCV word.
inline void set_nzcv_bits(cpu_state *s, bool n, bool z, bool c, bool v) {
    s->nzcv = (s->nzcv & ~uint64_t{0xF0000000}) | (uint64_t(n) << 31) | (uint64_t(z) << 30) |
              (uint64_t(c) << 29) | (uint64_t(v) << 28);
}

// Predicates a word at a time: word w holds predicate bytes 8w..8w+7, and the
// lane mask has bit 0 of each element's first byte at an element size.
inline constexpr unsigned kPredWords = kVecBytes / 8;
inline constexpr uint64_t pred_lane_mask(unsigned esize) {
    return esize == 1 ? 0x0101010101010101u
         : esize == 2 ? 0x0001000100010001u
         : esize == 4 ? 0x0000000100000001u
                      : 0x0000000000000001u;
}
inline uint64_t pred_word(const unsigned char *pred, unsigned w) {
    uint64_t v;
    std::memcpy(&v, pred + w * 8, 8);
    return v;
}
inline void pred_word_set(unsigned char *pred, unsigned w, uint64_t v) { std::memcpy(pred + w * 8, &v, 8); }
// log2 of esize_of(qual).
inline constexpr unsigned esize_log2(uint32_t qual) {
    static_assert(kQualB == 0 && kQualH == 1 && kQualS == 2 && kQualD == 3);
    return qual <= kQualD ? qual : 0;
}

// The first and the last word of G with a lane of LANES set (kPredWords when
// none): the end word alone (where a mostly true predicate has one), then four
// words a step, then one.
inline uint64_t pred_quad(const unsigned char *g, unsigned w) {
    return pred_word(g, w) | pred_word(g, w + 1) | pred_word(g, w + 2) | pred_word(g, w + 3);
}
// Whether bit 0 of the first byte of every element of a predicate is set. On
// AArch64 the de-interleaving loads gather the elements' first bytes for .H,
// .S and .D (LD2, and LD4 for .S and .D: with .D every second byte of the first
// register), so that an AND of a few registers and a minimum across bytes
// decide; elsewhere the AND of all predicate words.
inline bool every_element_active(const unsigned char *pg, unsigned esize) {
#if defined(__aarch64__)
    uint8x16_t all;
    if (esize == 1) {
        const uint8x16x4_t a = vld1q_u8_x4(pg), b = vld1q_u8_x4(pg + 64), c = vld1q_u8_x4(pg + 128),
                           d = vld1q_u8_x4(pg + 192);
        const uint8x16_t ab = vandq_u8(vandq_u8(vandq_u8(a.val[0], a.val[1]), vandq_u8(a.val[2], a.val[3])),
                                       vandq_u8(vandq_u8(b.val[0], b.val[1]), vandq_u8(b.val[2], b.val[3])));
        const uint8x16_t cd = vandq_u8(vandq_u8(vandq_u8(c.val[0], c.val[1]), vandq_u8(c.val[2], c.val[3])),
                                       vandq_u8(vandq_u8(d.val[0], d.val[1]), vandq_u8(d.val[2], d.val[3])));
        all = vandq_u8(ab, cd);
    } else if (esize == 2) {
        all = vld2q_u8(pg).val[0];
        for (unsigned k = 32; k < kVecBytes; k += 32) all = vandq_u8(all, vld2q_u8(pg + k).val[0]);
    } else {
        all = vandq_u8(vandq_u8(vld4q_u8(pg).val[0], vld4q_u8(pg + 64).val[0]),
                       vandq_u8(vld4q_u8(pg + 128).val[0], vld4q_u8(pg + 192).val[0]));
        // .D: bytes 1, 3, ... of that register start no element.
        if (esize == 8) all = vreinterpretq_u8_u16(vorrq_u16(vreinterpretq_u16_u8(all), vdupq_n_u16(0x0100)));
    }
    return (vminvq_u8(all) & 1) != 0;
#else
    uint64_t all = ~uint64_t{0};
    for (unsigned w = 0; w < kPredWords; ++w) all &= pred_word(pg, w);
    const uint64_t lanes = pred_lane_mask(esize);
    return (all & lanes) == lanes;
#endif
}

inline unsigned first_active_word(const unsigned char *g, uint64_t lanes) {
    static_assert(kPredWords % 4 == 0);
    if (pred_word(g, 0) & lanes) return 0;
    unsigned w = 0;
    while (!(pred_quad(g, w) & lanes))
        if ((w += 4) == kPredWords) return w;
    while (!(pred_word(g, w) & lanes)) ++w;
    return w;
}
inline unsigned last_active_word(const unsigned char *g, uint64_t lanes) {
    if (pred_word(g, kPredWords - 1) & lanes) return kPredWords - 1;
#if defined(__aarch64__)
    // 64 bytes at a time from the end (a predicate whose tail is inactive, as
    // a loop's last one, is scanned in a few steps), then the word.
    const uint64x2_t mask = vdupq_n_u64(lanes);
    unsigned w = kPredWords - 8;
    for (;; w -= 8) {
        const uint8x16x4_t q = vld1q_u8_x4(g + 8 * w);
        const uint64x2_t any = vandq_u64(
            vreinterpretq_u64_u8(vorrq_u8(vorrq_u8(q.val[0], q.val[1]), vorrq_u8(q.val[2], q.val[3]))), mask);
        if ((vgetq_lane_u64(any, 0) | vgetq_lane_u64(any, 1)) != 0) break;
        if (w == 0) return kPredWords;
    }
    w += 7;
#else
    unsigned w = kPredWords - 4;
    while (!(pred_quad(g, w) & lanes))
        if ((w -= 4) > kPredWords) return kPredWords;
    w += 3;
#endif
    while (!(pred_word(g, w) & lanes)) --w;
    return w;
}

// Counts elements active in both predicates at the element size: the masked
// bytes (each 0 or 1) are added 16 byte lanes at a time (at most 16 in a lane),
// then the lanes are summed.
// kAllActive: every element counts as active and G is not read (INCP).
template <bool kAllActive = false>
inline unsigned count_active(const unsigned char *g, const unsigned char *p, unsigned esize) {
    const uint64_t lanes = pred_lane_mask(esize);
#if defined(__aarch64__)
    const uint8x16_t mask = vreinterpretq_u8_u64(vdupq_n_u64(lanes));
    const auto piece = [&](unsigned k) [[gnu::always_inline]] {
        uint8x16_t b = vld1q_u8(p + k);
        if constexpr (!kAllActive) b = vandq_u8(b, vld1q_u8(g + k));
        return vandq_u8(b, mask);
    };
    uint8x16_t acc[2] = {vdupq_n_u8(0), vdupq_n_u8(0)};
#pragma GCC unroll 8
    for (unsigned k = 0; k < kVecBytes; k += 32) {
        acc[0] = vaddq_u8(acc[0], piece(k));
        acc[1] = vaddq_u8(acc[1], piece(k + 16));
    }
    return vaddlvq_u8(vaddq_u8(acc[0], acc[1]));
#else
    typedef unsigned char piece __attribute__((vector_size(16)));
    typedef uint64_t halves __attribute__((vector_size(16)));
    const piece mask = reinterpret_cast<piece>(halves{lanes, lanes});
    piece acc{};
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        piece b;
        std::memcpy(&b, p + k, 16);
        if constexpr (!kAllActive) {
            piece a;
            std::memcpy(&a, g + k, 16);
            b &= a;
        }
        acc += b & mask;
    }
    uint64_t words[2];
    std::memcpy(words, &acc, 16);
    const uint64_t sum = words[0] + words[1];  // at most 32 in a byte lane
    // The total reaches 256, more than a byte holds: add in 16-bit lanes.
    const uint64_t pairs = (sum & 0x00FF00FF00FF00FFull) + ((sum >> 8) & 0x00FF00FF00FF00FFull);
    return static_cast<unsigned>((pairs * 0x0001000100010001ull) >> 48);
#endif
}


