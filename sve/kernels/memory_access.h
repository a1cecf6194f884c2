// Element loops of the SVE memory instructions, shared by the contiguous,
// structure, replicating, first-fault, non-fault, gather and scatter kernels and
// handlers. `Addr` is a functor giving element i's address; M is the memory
// element type, E the register element type.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

#include "sve/decode/sve_utils.h"
#include "sve/kernels/kernel_common.h"
#include "sve/kernels/predicate_words.h"
#include "sve/state/guarded_memory.h"

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

template <typename M>
inline M mem_read(uint64_t address) {
    M v;
    std::memcpy(&v, reinterpret_cast<const void *>(address), sizeof v);
    return v;
}
template <typename M>
inline void mem_write(uint64_t address, M v) {
    std::memcpy(reinterpret_cast<void *>(address), &v, sizeof v);
}

// Extends a memory element to the register element.
template <typename M, typename E, bool Signed>
inline E extend_element(M m) {
    if constexpr (Signed)
        return static_cast<E>(static_cast<std::make_signed_t<E>>(static_cast<std::make_signed_t<M>>(m)));
    else
        return static_cast<E>(m);
}

// Gather or contiguous load: active elements are read and extended, inactive
// elements become 0 without touching memory. Element i's address is computed
// before element i of Zt is written, so Zt may also hold the addresses. With
// every element active (a loop's iterations before its last), there is no
// test per element. Each element is written before the next is read, so that
// a fault finds exactly the elements before it loaded.
template <typename M, typename E, bool Signed, typename Addr>
inline aarch64_decode_rc load_elements(cpu_state *s, unsigned zt, const unsigned char *pg, Addr addr) {
    unsigned char *d = s->z[zt & 31];
    if (every_element_active(pg, sizeof(E))) {
#pragma GCC unroll 4
        for (unsigned i = 0; i < elem_count<E>; ++i) {
            elem_set<E>(d, i, extend_element<M, E, Signed>(mem_read<M>(addr(i))));
            __asm__ volatile("" ::: "memory");
        }
        return DECODE_OK;
    }
    for (unsigned i = 0; i < elem_count<E>; ++i) {
        E v = 0;
        if (pred_active<E>(pg, i)) v = extend_element<M, E, Signed>(mem_read<M>(addr(i)));
        elem_set<E>(d, i, v);
    }
    return DECODE_OK;
}

// Scatter or contiguous store of the low M bytes of each active element, in
// ascending element order, one store per element (a fault finds exactly the
// elements before it stored).
template <typename M, typename E, typename Addr>
inline aarch64_decode_rc store_elements(cpu_state *s, unsigned zt, const unsigned char *pg, Addr addr) {
    const unsigned char *src = s->z[zt & 31];
    if (every_element_active(pg, sizeof(E))) {
#pragma GCC unroll 4
        for (unsigned i = 0; i < elem_count<E>; ++i) {
            mem_write<M>(addr(i), static_cast<M>(elem_get<E>(src, i)));
            __asm__ volatile("" ::: "memory");
        }
        return DECODE_OK;
    }
    for (unsigned i = 0; i < elem_count<E>; ++i)
        if (pred_active<E>(pg, i)) mem_write<M>(addr(i), static_cast<M>(elem_get<E>(src, i)));
    return DECODE_OK;
}

// Whole-register contiguous transfers. When every element is active and the
// memory element is as wide as the register element, the 256 bytes move in
// ascending pieces: 64 bytes at a time when no 64-byte piece crosses a 4 KiB
// boundary that the elements would not cross (the block lies within one 4 KiB
// page, or starts 64-byte aligned), else 16 bytes at a time when the block is
// 16-byte aligned. Either way the same bytes move in the same order, with the
// same first fault and the same part of the transfer done before it, as in the
// element loops above: a piece lies within one page, so it faults at its first
// byte, where the first element it holds would fault, before any of it is
// done. Anything else takes the element loops.
enum class whole_transfer { none, by16, by64 };

inline whole_transfer whole_register_transfer(const unsigned char *pg, unsigned esize, uint64_t start) {
    whole_transfer how = whole_transfer::by64;
    if ((start & 4095) > 4096 - kVecBytes && (start & 63) != 0) {
        if ((start & 15) != 0) return whole_transfer::none;
        how = whole_transfer::by16;
    }
    return every_element_active(pg, esize) ? how : whole_transfer::none;
}

// Copies 16 bytes; on AArch64 one load and one store that the compiler keeps
// in program order, so that the pieces of a transfer fault in ascending order.
inline void copy_piece16(void *to, const void *from) {
#if defined(__aarch64__)
    __asm__ volatile("ldr q16, [%1]\n\tstr q16, [%0]" : : "r"(to), "r"(from) : "v16", "memory");
#else
    std::memcpy(to, from, 16);
    __asm__ volatile("" : : : "memory");
#endif
}

// Copies 256 bytes in ascending pieces of 16 bytes, or of 64 bytes (one LD1 and
// one ST1 of four registers each on AArch64).
inline void copy_block(unsigned char *to, const unsigned char *from, whole_transfer how) {
    if (how == whole_transfer::by16) {
        for (unsigned k = 0; k < kVecBytes; k += 16) copy_piece16(to + k, from + k);
        return;
    }
    copy_256_by64(to, from);
}

// Contiguous addresses: BASE plus a signed immediate counted in vectors' worth
// of memory elements (scalar plus immediate), or plus an index counted in
// memory elements (scalar plus scalar).
template <typename M, typename E>
inline uint64_t contiguous_si_start(uint64_t base, int imm) {
    return base + static_cast<uint64_t>(static_cast<int64_t>(imm)) * (kVecBytes / sizeof(E)) * sizeof(M);
}
template <typename M>
inline uint64_t contiguous_ss_start(uint64_t base, uint64_t index) {
    return base + index * sizeof(M);
}

// D = the 256 bytes at FROM with the elements inactive in PG cleared (element
// type E), 64 bytes at a time on AArch64.
template <typename E>
[[gnu::always_inline]] inline void masked_register(unsigned char *d, const unsigned char *from, const unsigned char *pg) {
#if defined(__aarch64__)
#pragma GCC unroll 4
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        const uint8x16x4_t v = vld1q_u8_x4(from + k), p = vld1q_u8_x4(pg + k);
        uint8x16x4_t r;
        for (unsigned j = 0; j < 4; ++j) r.val[j] = vandq_u8(v.val[j], lanes_active<E>(p.val[j]));
        vst1q_u8_x4(d + k, r);
    }
#else
    typedef E lanes_of __attribute__((vector_size(16)));
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        lanes_of v, p;
        std::memcpy(&v, from + k, 16);
        std::memcpy(&p, pg + k, 16);
        v &= lanes_of{} - (p & E{1});
        std::memcpy(d + k, &v, 16);
    }
#endif
}

// Whether [START, START + BYTES) lies in one page.
inline bool within_one_page(uint64_t start, uint64_t bytes) {
    const uint64_t page = page_size ? page_size : 4096;
    return ((start ^ (start + (bytes - 1))) & ~(page - 1)) == 0;
}
// The first element active in PG at element size ESIZE (kVecBytes / ESIZE when none).
inline unsigned first_active_element(const unsigned char *pg, unsigned esize) {
    const uint64_t lanes = pred_lane_mask(esize);
    const unsigned w = first_active_word(pg, lanes);
    if (w == kPredWords) return kVecBytes / esize;
    return (w * 8 + static_cast<unsigned>(std::countr_zero(pred_word(pg, w) & lanes)) / 8) / esize;
}
// Whether the elements active in PG at element size ESIZE are one window, every
// element from the first active one to the last active: then *FROM and *TO are
// the window's first byte and the byte after its last (both 0 when no element
// is active), as a loop's last predicate from WHILELO has them.
inline bool active_window(const unsigned char *pg, unsigned esize, unsigned *from, unsigned *to) {
    const pred_ends e = find_pred_ends(pg, esize);
    if (e.none) {
        *from = *to = 0;
        return true;
    }
    *from = e.first_word * 8 + e.first_bit / 8;
    *to = e.last_word * 8 + e.last_bit / 8 + esize;
    // Every element between them is active when they number as many as the window holds.
    return count_active<true>(nullptr, pg, esize) * esize == *to - *from;
}

// Reads the byte at ADDRESS, before anything after it: the access that decides
// whether a load faults, and where.
inline void touch(uint64_t address) {
    (void)*reinterpret_cast<const volatile unsigned char *>(address);
    __asm__ volatile("" ::: "memory");
}
// Copies BYTES from FROM to the program's memory at START, its first byte first
// on its own: the store that decides whether the copy faults, and where (a
// library copy may start anywhere).
inline void store_span(uint64_t start, const void *from, unsigned bytes) {
    *reinterpret_cast<volatile unsigned char *>(start) = *static_cast<const unsigned char *>(from);
    __asm__ volatile("" ::: "memory");
    std::memcpy(reinterpret_cast<void *>(start), from, bytes);
}

template <typename M, typename E, bool Signed>
inline aarch64_decode_rc contiguous_load(cpu_state *s, unsigned zt, const unsigned char *pg, uint64_t start) {
    if constexpr (sizeof(M) == sizeof(E)) {
        if (const whole_transfer how = whole_register_transfer(pg, sizeof(E), start); how != whole_transfer::none) {
            copy_block(s->z[zt & 31], reinterpret_cast<const unsigned char *>(start), how);
            return DECODE_OK;
        }
    }
    // The whole span in one page (as for an extending load, or under a partial
    // predicate): only the first active element can fault, so it is read first,
    // as the element loop would, and then the span at once, inactive elements
    // cleared.
    constexpr unsigned kSpan = elem_count<E> * sizeof(M);
    if (within_one_page(start, kSpan)) {
        const unsigned first = first_active_element(pg, sizeof(E));
        unsigned char *d = s->z[zt & 31];
        if (first == elem_count<E>) {
            std::memset(d, 0, kVecBytes);
            return DECODE_OK;
        }
        touch(start + uint64_t{first} * sizeof(M));
        const unsigned char *from = reinterpret_cast<const unsigned char *>(start);
        if constexpr (sizeof(M) == sizeof(E)) {
            masked_register<E>(d, from, pg);
        } else {
            M in[elem_count<E>];
            E out[elem_count<E>];
            std::memcpy(in, from, kSpan);
            for (unsigned i = 0; i < elem_count<E>; ++i)
                out[i] = pick_active<E>(pg, i, extend_element<M, E, Signed>(in[i]), E(0));
            std::memcpy(d, out, kVecBytes);
        }
        return DECODE_OK;
    }
    return load_elements<M, E, Signed>(s, zt, pg, [=](unsigned i) { return start + uint64_t{i} * sizeof(M); });
}

template <typename M, typename E>
inline aarch64_decode_rc contiguous_store(cpu_state *s, unsigned zt, const unsigned char *pg, uint64_t start) {
    if constexpr (sizeof(M) == sizeof(E)) {
        if (const whole_transfer how = whole_register_transfer(pg, sizeof(E), start); how != whole_transfer::none) {
            copy_block(reinterpret_cast<unsigned char *>(start), s->z[zt & 31], how);
            return DECODE_OK;
        }
    }
    // Under a partial predicate whose active elements are one window (a loop's
    // last iteration) lying in one page: the window's bytes at once, its first
    // byte first (every byte of a page faults alike, so a fault can only be at
    // the first active element, as in the element loop).
    if constexpr (sizeof(M) == sizeof(E)) {
        unsigned from, to;
        if (active_window(pg, sizeof(E), &from, &to) && (from == to || within_one_page(start + from, to - from))) {
            if (from != to) store_span(start + from, s->z[zt & 31] + from, to - from);
            return DECODE_OK;
        }
    }
    // A truncating store with every element active whose memory lies in one
    // page: the narrowed elements at once (a fault can only be at the first).
    if constexpr (sizeof(M) < sizeof(E)) {
        constexpr unsigned kSpan = elem_count<E> * sizeof(M);
        if (within_one_page(start, kSpan) && every_element_active(pg, sizeof(E))) {
            const unsigned char *src = s->z[zt & 31];
            M out[elem_count<E>];
            for (unsigned i = 0; i < elem_count<E>; ++i) out[i] = static_cast<M>(elem_get<E>(src, i));
            store_span(start, out, kSpan);
            return DECODE_OK;
        }
    }
    return store_elements<M, E>(s, zt, pg, [=](unsigned i) { return start + uint64_t{i} * sizeof(M); });
}

#if defined(__aarch64__)
// Structures of N elements of type T, 16 bytes of each register at a time, by
// the de-interleaving loads and interleaving stores (LD2-LD4, ST2-ST4).
namespace structure_pieces {
inline uint8x16_t bytes_of(uint8x16_t v) { return v; }
inline uint8x16_t bytes_of(uint16x8_t v) { return vreinterpretq_u8_u16(v); }
inline uint8x16_t bytes_of(uint32x4_t v) { return vreinterpretq_u8_u32(v); }
inline uint8x16_t bytes_of(uint64x2_t v) { return vreinterpretq_u8_u64(v); }
template <typename T>
inline auto lanes_of(uint8x16_t v) {
    if constexpr (sizeof(T) == 1) return v;
    else if constexpr (sizeof(T) == 2) return vreinterpretq_u16_u8(v);
    else if constexpr (sizeof(T) == 4) return vreinterpretq_u32_u8(v);
    else return vreinterpretq_u64_u8(v);
}
#define SVE_STRUCTURE_LANES(n, op, suffix, type)                                                        \
    if constexpr (sizeof(T) == sizeof(type) && N == n) {                                               \
        op                                                                                              \
    }
// V = the N registers' 16 bytes from the N x 16 bytes at P.
template <typename T, unsigned N>
inline void load(const unsigned char *p, uint8x16_t *v) {
#define SVE_LOAD(n, suffix, type)                                                                        \
    SVE_STRUCTURE_LANES(n, {                                                                              \
        const auto x = vld##n##q_##suffix(reinterpret_cast<const type *>(p));                              \
        for (unsigned r = 0; r < n; ++r) v[r] = bytes_of(x.val[r]);                                        \
    }, suffix, type)
#define SVE_LOAD_ALL(suffix, type) SVE_LOAD(2, suffix, type) SVE_LOAD(3, suffix, type) SVE_LOAD(4, suffix, type)
    SVE_LOAD_ALL(u8, uint8_t)
    SVE_LOAD_ALL(u16, uint16_t)
    SVE_LOAD_ALL(u32, uint32_t)
    SVE_LOAD_ALL(u64, uint64_t)
#undef SVE_LOAD_ALL
#undef SVE_LOAD
}
// The N x 16 bytes at P = the N registers' 16 bytes in V, interleaved.
template <typename T, unsigned N>
inline void store(unsigned char *p, const uint8x16_t *v) {
#define SVE_STORE(n, suffix, type)                                                                       \
    SVE_STRUCTURE_LANES(n, {                                                                              \
        decltype(vld##n##q_##suffix(static_cast<const type *>(nullptr))) x;                                \
        for (unsigned r = 0; r < n; ++r) x.val[r] = lanes_of<T>(v[r]);                                     \
        vst##n##q_##suffix(reinterpret_cast<type *>(p), x);                                                \
    }, suffix, type)
#define SVE_STORE_ALL(suffix, type) SVE_STORE(2, suffix, type) SVE_STORE(3, suffix, type) SVE_STORE(4, suffix, type)
    SVE_STORE_ALL(u8, uint8_t)
    SVE_STORE_ALL(u16, uint16_t)
    SVE_STORE_ALL(u32, uint32_t)
    SVE_STORE_ALL(u64, uint64_t)
#undef SVE_STORE_ALL
#undef SVE_STORE
}
#undef SVE_STRUCTURE_LANES
}  // namespace structure_pieces
#endif

// Structure load/store of N consecutive registers (numbers wrap at 32), memory
// interleaved element by element.
template <typename T, unsigned N>
inline aarch64_decode_rc structure_load(cpu_state *s, unsigned zt, const unsigned char *pg, uint64_t start) {
    // The whole span in one page: the first active element's first field read
    // first (where the element loop would fault), then the span at once, split
    // into the registers with inactive elements cleared.
    constexpr unsigned kSpan = N * kVecBytes;
    if (within_one_page(start, kSpan)) {
        const unsigned first = first_active_element(pg, sizeof(T));
        if (first < elem_count<T>) touch(start + uint64_t{first} * N * sizeof(T));
#if defined(__aarch64__)
        if (first == elem_count<T>) {
            for (unsigned r = 0; r < N; ++r) std::memset(s->z[(zt + r) & 31], 0, kVecBytes);
            return DECODE_OK;
        }
        for (unsigned off = 0; off < kVecBytes; off += 16) {
            uint8x16_t v[N];
            structure_pieces::load<T, N>(reinterpret_cast<const unsigned char *>(start) + N * off, v);
            const uint8x16_t keep = lanes_active<T>(vld1q_u8(pg + off));
            for (unsigned r = 0; r < N; ++r) vst1q_u8(s->z[(zt + r) & 31] + off, vandq_u8(v[r], keep));
        }
        return DECODE_OK;
#endif
        T in[N * elem_count<T>];
        T out[N][elem_count<T>];
        if (first < elem_count<T>) std::memcpy(in, reinterpret_cast<const void *>(start), kSpan);
        else std::memset(in, 0, kSpan);
        for (unsigned i = 0; i < elem_count<T>; ++i) {
            const T keep = pick_active<T>(pg, i, T(~T(0)), T(0));
            for (unsigned r = 0; r < N; ++r) out[r][i] = static_cast<T>(in[i * N + r] & keep);
        }
        for (unsigned r = 0; r < N; ++r) std::memcpy(s->z[(zt + r) & 31], out[r], kVecBytes);
        return DECODE_OK;
    }
    for (unsigned i = 0; i < elem_count<T>; ++i) {
        const bool on = pred_active<T>(pg, i);
        for (unsigned r = 0; r < N; ++r)
            elem_set<T>(s->z[(zt + r) & 31], i, on ? mem_read<T>(start + (uint64_t{i} * N + r) * sizeof(T)) : T(0));
    }
    return DECODE_OK;
}
template <typename T, unsigned N>
inline aarch64_decode_rc structure_store(cpu_state *s, unsigned zt, const unsigned char *pg, uint64_t start) {
    // Every element active and the span in one page: interleaved at once (a
    // fault can only be at the first element).
    constexpr unsigned kSpan = N * kVecBytes;
    if (within_one_page(start, kSpan) && every_element_active(pg, sizeof(T))) {
#if defined(__aarch64__)
        alignas(16) unsigned char interleaved[kSpan];
        for (unsigned off = 0; off < kVecBytes; off += 16) {
            uint8x16_t v[N];
            for (unsigned r = 0; r < N; ++r) v[r] = vld1q_u8(s->z[(zt + r) & 31] + off);
            structure_pieces::store<T, N>(interleaved + N * off, v);
        }
        store_span(start, interleaved, kSpan);
        return DECODE_OK;
#endif
        T in[N][elem_count<T>];
        T out[N * elem_count<T>];
        for (unsigned r = 0; r < N; ++r) std::memcpy(in[r], s->z[(zt + r) & 31], kVecBytes);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            for (unsigned r = 0; r < N; ++r) out[i * N + r] = in[r][i];
        store_span(start, out, kSpan);
        return DECODE_OK;
    }
    for (unsigned i = 0; i < elem_count<T>; ++i)
        if (pred_active<T>(pg, i))
            for (unsigned r = 0; r < N; ++r)
                mem_write<T>(start + (uint64_t{i} * N + r) * sizeof(T), elem_get<T>(s->z[(zt + r) & 31], i));
    return DECODE_OK;
}

// Load and replicate: one element read (only if some element is active) into
// every active element; inactive elements become 0.
template <typename M, typename E, bool Signed>
inline aarch64_decode_rc replicate_load(cpu_state *s, unsigned zt, const unsigned char *pg, uint64_t address) {
    const bool any = first_active_word(pg, pred_lane_mask(sizeof(E))) != kPredWords;
    const E v = any ? extend_element<M, E, Signed>(mem_read<M>(address)) : E(0);
    unsigned char *d = s->z[zt & 31];
    // 16 bytes at a time: the value where the element is active, else 0.
    typedef E lanes_of __attribute__((vector_size(16)));
    const lanes_of value = lanes_of{} + v;
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        lanes_of p;
        std::memcpy(&p, pg + k, 16);
        const lanes_of r = value & (lanes_of{} - (p & E{1}));
        std::memcpy(d + k, &r, 16);
    }
    return DECODE_OK;
}

// Quadword load and replicate: the 16-byte block at `address`, read unit by unit
// under the first 16 predicate bits, copied into every quadword.
template <typename T>
inline aarch64_decode_rc quadword_replicate_load(cpu_state *s, unsigned zt, const unsigned char *pg, uint64_t address) {
    unsigned char block[16];
    for (unsigned i = 0; i < 16 / sizeof(T); ++i)
        elem_set<T>(block, i, pred_active<T>(pg, i) ? mem_read<T>(address + i * sizeof(T)) : T(0));
    for (unsigned q = 0; q < kVecBytes / 16; ++q) std::memcpy(s->z[zt & 31] + 16 * q, block, 16);
    return DECODE_OK;
}

// First-fault (FirstFault = true) and non-fault loads. The first active element
// of a first-fault load is an ordinary access: a fault there is the program's.
// Every other active element is read speculatively; from the first element that
// cannot be read, every FFR element is cleared and no further element is loaded
// (those destination elements keep their previous values). Inactive elements
// before that point become 0.
template <typename M, typename E, bool Signed, bool FirstFault, typename Addr>
inline aarch64_decode_rc speculative_load(cpu_state *s, unsigned zt, const unsigned char *pg, Addr addr) {
    unsigned char *d = s->z[zt & 31];
    bool first = FirstFault;
    // Pages already found readable: [ok_lo, ok_hi).
    uint64_t ok_lo = 1, ok_hi = 0;
    const uint64_t page = page_size ? page_size : 4096;
    for (unsigned i = 0; i < elem_count<E>; ++i) {
        if (!pred_active<E>(pg, i)) {
            elem_set<E>(d, i, E(0));
            continue;
        }
        const uint64_t a = addr(i);
        M m;
        if (first) {
            m = mem_read<M>(a);
            first = false;
        } else if (a >= ok_lo && a + sizeof(M) - 1 >= a && a + sizeof(M) <= ok_hi) {
            m = mem_read<M>(a);
        } else if (sve_safe_read(reinterpret_cast<const void *>(a), &m, sizeof m)) {
            ok_lo = a & ~(page - 1);
            ok_hi = ((a + sizeof(M) - 1) & ~(page - 1)) + page;
            if (ok_hi < ok_lo) ok_hi = ~uint64_t{0};  // wrapped at the top of the address space
        } else {
            for (unsigned k = i * sizeof(E); k < kVecBytes; ++k) s->ffr[k] = 0;
            return DECODE_OK;
        }
        elem_set<E>(d, i, extend_element<M, E, Signed>(m));
    }
    return DECODE_OK;
}

// The span of active elements beyond the first element's page, or a register
// with elements of another size: the pages are probed, and the element loop
// decides where the load stops when one cannot be read.
template <typename M, typename E, bool Signed, bool FirstFault>
[[gnu::noinline]] aarch64_decode_rc contiguous_speculative_span(cpu_state *s, unsigned zt, const unsigned char *pg,
                                                              uint64_t start, unsigned lo_byte) {
    const auto by_element = [=](unsigned i) { return start + uint64_t{i} * sizeof(M); };
    if constexpr (sizeof(M) == sizeof(E)) {
        const uint64_t lanes = pred_lane_mask(sizeof(E));
        unsigned char *d = s->z[zt & 31];
        const unsigned last_word = last_active_word(pg, lanes);
        const unsigned hi_byte =
            last_word * 8 + (63 - std::countl_zero(pred_word(pg, last_word) & lanes)) / 8 + sizeof(E);
        const uint64_t lo = start + lo_byte, hi = start + hi_byte;
        if (hi > lo) {
            const uint64_t page = page_size ? page_size : 4096;
            uint64_t probe = lo;
            if constexpr (FirstFault) {
                (void)mem_read<M>(lo);
                probe = (lo & ~(page - 1)) + page;
            }
            bool readable = true;
            for (; readable && probe < hi && probe != 0; probe = (probe & ~(page - 1)) + page) {
                unsigned char byte;
                readable = sve_safe_read(reinterpret_cast<const void *>(probe), &byte, 1);
            }
            if (readable) {
                // Fixed-size copies only: the compiler expands them in line,
                // where a library call costs as much as the load itself.
                const unsigned char *from = reinterpret_cast<const unsigned char *>(lo);
                if (lo_byte == 0 && hi_byte == kVecBytes) {
                    std::memcpy(d, from, kVecBytes);
                } else {
                    std::memset(d, 0, kVecBytes);
                    unsigned k = lo_byte;
                    for (; k + 16 <= hi_byte; k += 16) std::memcpy(d + k, from + (k - lo_byte), 16);
                    for (; k < hi_byte; ++k) d[k] = from[k - lo_byte];
                }
                // Inactive elements are zero: outside the active span they are
                // already; inside it, a branch-free mask per element, 16 bytes
                // at a time.
                typedef E lanes_of __attribute__((vector_size(16)));
                for (unsigned k = lo_byte & ~15u; k < hi_byte; k += 16) {
                    lanes_of v, p;
                    std::memcpy(&v, d + k, 16);
                    std::memcpy(&p, pg + k, 16);
                    v &= lanes_of{} - (p & E{1});
                    std::memcpy(d + k, &v, 16);
                }
                return DECODE_OK;
            }
        }
    } else {
        (void)lo_byte;
    }
    return speculative_load<M, E, Signed, FirstFault>(s, zt, pg, by_element);
}

// Contiguous first-fault and non-fault loads with the memory element as wide as
// the register element: when every page from the first active element to the
// end of the last can be read (the first element's by an ordinary access, for a
// first-fault load), the span is copied in one go and inactive elements are
// cleared a predicate word at a time, with the same result as the element loop
// above; otherwise the element loop decides where the load stops. The common
// case, every byte of the register in the first active element's page, is in
// line (the handlers of a string loop run it without a call).
template <typename M, typename E, bool Signed, bool FirstFault>
[[gnu::always_inline]] inline aarch64_decode_rc contiguous_speculative_load(cpu_state *s, unsigned zt,
                                                                           const unsigned char *pg, uint64_t start) {
    if constexpr (sizeof(M) == sizeof(E)) {
        const uint64_t lanes = pred_lane_mask(sizeof(E));
        const unsigned first_word = first_active_word(pg, lanes);
        unsigned char *d = s->z[zt & 31];
        if (first_word == kPredWords) {
            std::memset(d, 0, kVecBytes);
            return DECODE_OK;
        }
        const unsigned lo_byte = first_word * 8 + std::countr_zero(pred_word(pg, first_word) & lanes) / 8;
        // All 256 bytes in the first active element's page: none can fault
        // unless that element does, so the register is read whole, without
        // finding where the active elements end (string loops, whose last
        // elements are inactive near the end of the data, load this way).
        if (within_one_page(start, kVecBytes)) {
            bool readable = true;
            if constexpr (FirstFault) {
                touch(start + lo_byte);
            } else {
                unsigned char byte;
                readable = sve_safe_read(reinterpret_cast<const void *>(start + lo_byte), &byte, 1);
            }
            if (readable) {
                masked_register<E>(d, reinterpret_cast<const unsigned char *>(start), pg);
                return DECODE_OK;
            }
        }
        return contiguous_speculative_span<M, E, Signed, FirstFault>(s, zt, pg, start, lo_byte);
    }
    return contiguous_speculative_span<M, E, Signed, FirstFault>(s, zt, pg, start, 0);
}

// Offsets of the vector addressing forms.
inline uint64_t sext32(uint64_t v) { return static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(v))); }
inline uint64_t zext32(uint64_t v) { return v & 0xFFFFFFFFu; }
