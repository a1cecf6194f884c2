#include "sve/kernels/permute_kernels.h"

#include <cstring>
#include <type_traits>
#include <utility>

#include "sve/kernels/kernel_common.h"

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

namespace {

// 16 bytes as lanes of T, and a shuffle mask over two such pieces (lane i of
// the result from lane mask[i] of the pair, the second piece's lanes counted
// from 16 / sizeof(T)).
template <typename T>
using lanes = vec16<T>;
template <typename T>
using mask_of = lanes<std::make_unsigned_t<T>>;
template <typename T, typename F, unsigned... I>
constexpr mask_of<T> make_mask(F f, std::integer_sequence<unsigned, I...>) {
    return mask_of<T>{static_cast<std::make_unsigned_t<T>>(f(I))...};
}
template <typename T, typename F>
constexpr mask_of<T> make_mask(F f) {
    return make_mask<T>(f, std::make_integer_sequence<unsigned, 16 / sizeof(T)>{});
}
template <typename T>
inline lanes<T> piece(const unsigned char *z, unsigned j) {
    lanes<T> v;
    std::memcpy(&v, z + 16 * j, 16);
    return v;
}
template <typename T>
inline void put_piece(unsigned char *z, unsigned j, lanes<T> v) {
    std::memcpy(z + 16 * j, &v, 16);
}

// The permutation over elements of type T, a 16-byte piece of the result at a
// time from one or two pieces of the sources (the shuffles are the processor's
// own ZIP, UZP and TRN on AArch64).
template <typename T, vector_permute_kind K>
void permute_pieces(unsigned char *r, const unsigned char *a, const unsigned char *b) {
    constexpr unsigned n = 16 / sizeof(T), pieces = kVecBytes / 16;
    constexpr mask_of<T> zip_lo = make_mask<T>([](unsigned i) { return i / 2 + (i % 2) * n; });
    constexpr mask_of<T> zip_hi = make_mask<T>([](unsigned i) { return n / 2 + i / 2 + (i % 2) * n; });
    constexpr mask_of<T> even = make_mask<T>([](unsigned i) { return 2 * i; });
    constexpr mask_of<T> odd = make_mask<T>([](unsigned i) { return 2 * i + 1; });
    constexpr mask_of<T> trn_even = make_mask<T>([](unsigned i) { return (i & ~1u) + (i % 2) * n; });
    constexpr mask_of<T> trn_odd = make_mask<T>([](unsigned i) { return (i & ~1u) + 1 + (i % 2) * n; });
    if constexpr (K == vector_permute_kind::zip1 || K == vector_permute_kind::zip2) {
        constexpr unsigned from = K == vector_permute_kind::zip1 ? 0 : pieces / 2;
        for (unsigned j = 0; j < pieces / 2; ++j) {
            const lanes<T> x = piece<T>(a, from + j), y = piece<T>(b, from + j);
            put_piece<T>(r, 2 * j, __builtin_shuffle(x, y, zip_lo));
            put_piece<T>(r, 2 * j + 1, __builtin_shuffle(x, y, zip_hi));
        }
    } else if constexpr (K == vector_permute_kind::uzp1 || K == vector_permute_kind::uzp2) {
        constexpr mask_of<T> pick = K == vector_permute_kind::uzp1 ? even : odd;
        for (unsigned j = 0; j < pieces / 2; ++j) {
            put_piece<T>(r, j, __builtin_shuffle(piece<T>(a, 2 * j), piece<T>(a, 2 * j + 1), pick));
            put_piece<T>(r, pieces / 2 + j, __builtin_shuffle(piece<T>(b, 2 * j), piece<T>(b, 2 * j + 1), pick));
        }
    } else {
        constexpr mask_of<T> pick = K == vector_permute_kind::trn1 ? trn_even : trn_odd;
        for (unsigned j = 0; j < pieces; ++j) put_piece<T>(r, j, __builtin_shuffle(piece<T>(a, j), piece<T>(b, j), pick));
    }
}
template <typename T>
void permute_elements(unsigned char *r, const unsigned char *a, const unsigned char *b, vector_permute_kind kind) {
    switch (kind) {
    case vector_permute_kind::zip1: permute_pieces<T, vector_permute_kind::zip1>(r, a, b); break;
    case vector_permute_kind::zip2: permute_pieces<T, vector_permute_kind::zip2>(r, a, b); break;
    case vector_permute_kind::uzp1: permute_pieces<T, vector_permute_kind::uzp1>(r, a, b); break;
    case vector_permute_kind::uzp2: permute_pieces<T, vector_permute_kind::uzp2>(r, a, b); break;
    case vector_permute_kind::trn1: permute_pieces<T, vector_permute_kind::trn1>(r, a, b); break;
    case vector_permute_kind::trn2: permute_pieces<T, vector_permute_kind::trn2>(r, a, b); break;
    }
}

}  // namespace

void permute_vector_bytes(unsigned char *dst, const unsigned char *a, const unsigned char *b, unsigned esize,
                          vector_permute_kind kind) {
    vec_buf r;
    switch (esize) {
    case 1: permute_elements<uint8_t>(r.b, a, b, kind); break;
    case 2: permute_elements<uint16_t>(r.b, a, b, kind); break;
    case 4: permute_elements<uint32_t>(r.b, a, b, kind); break;
    case 8: permute_elements<uint64_t>(r.b, a, b, kind); break;
    default: {
        // 128-bit elements.
        const unsigned h = kVecBytes / esize / 2;
        auto move = [&](unsigned to, const unsigned char *src, unsigned from) { std::memcpy(r.b + to * esize, src + from * esize, esize); };
        for (unsigned k = 0; k < h; ++k) {
            switch (kind) {
            case vector_permute_kind::zip1: move(2 * k, a, k); move(2 * k + 1, b, k); break;
            case vector_permute_kind::zip2: move(2 * k, a, h + k); move(2 * k + 1, b, h + k); break;
            case vector_permute_kind::uzp1: move(k, a, 2 * k); move(h + k, b, 2 * k); break;
            case vector_permute_kind::uzp2: move(k, a, 2 * k + 1); move(h + k, b, 2 * k + 1); break;
            case vector_permute_kind::trn1: move(2 * k, a, 2 * k); move(2 * k + 1, b, 2 * k); break;
            case vector_permute_kind::trn2: move(2 * k, a, 2 * k + 1); move(2 * k + 1, b, 2 * k + 1); break;
            }
        }
    }
    }
    std::memcpy(dst, r.b, kVecBytes);
}

template <typename N, typename W, bool Signed>
void unpack_bytes(unsigned char *dst, const unsigned char *src, bool high) {
    vec_buf r;
    const unsigned base = high ? elem_count<W> : 0;
    for (unsigned i = 0; i < elem_count<W>; ++i) {
        const N v = elem_get<N>(src, base + i);
        W w;
        if constexpr (Signed)
            w = static_cast<W>(static_cast<std::make_signed_t<W>>(static_cast<std::make_signed_t<N>>(v)));
        else
            w = static_cast<W>(v);
        elem_set<W>(r.b, i, w);
    }
    std::memcpy(dst, r.b, kVecBytes);
}
template void unpack_bytes<uint8_t, uint16_t, false>(unsigned char *, const unsigned char *, bool);
template void unpack_bytes<uint16_t, uint32_t, false>(unsigned char *, const unsigned char *, bool);
template void unpack_bytes<uint32_t, uint64_t, false>(unsigned char *, const unsigned char *, bool);
template void unpack_bytes<uint8_t, uint16_t, true>(unsigned char *, const unsigned char *, bool);
template void unpack_bytes<uint16_t, uint32_t, true>(unsigned char *, const unsigned char *, bool);
template void unpack_bytes<uint32_t, uint64_t, true>(unsigned char *, const unsigned char *, bool);

namespace {

aarch64_decode_rc permute(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, vector_permute_kind k) {
    permute_vector_bytes(zreg(s, zd), zreg(s, zn), zreg(s, zm), esize_of(zd.qual), k);
    return DECODE_OK;
}

}  // namespace

aarch64_decode_rc sve_zip1_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) { return permute(s, zd, zn, zm, vector_permute_kind::zip1); }
aarch64_decode_rc sve_zip2_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) { return permute(s, zd, zn, zm, vector_permute_kind::zip2); }
aarch64_decode_rc sve_uzp1_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) { return permute(s, zd, zn, zm, vector_permute_kind::uzp1); }
aarch64_decode_rc sve_uzp2_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) { return permute(s, zd, zn, zm, vector_permute_kind::uzp2); }
aarch64_decode_rc sve_trn2_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) { return permute(s, zd, zn, zm, vector_permute_kind::trn2); }

aarch64_decode_rc sve_rev_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(r.b, i, elem_get<T>(a, elem_count<T> - 1 - i));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

#if defined(__aarch64__)
namespace {

// TBL of bytes: the 256-byte table in sixteen registers, each index looked up
// in its four 64-byte quarters (TBL gives 0 for an index past its quarter, so
// exactly one lookup hits). The table is read before any byte of Zd is written
// and each piece of indices before the same piece of Zd.
void table_lookup_bytes(unsigned char *d, const unsigned char *table, const unsigned char *indices) {
    const uint8x16x4_t q0 = vld1q_u8_x4(table), q1 = vld1q_u8_x4(table + 64), q2 = vld1q_u8_x4(table + 128),
                       q3 = vld1q_u8_x4(table + 192);
    const uint8x16_t quarter = vdupq_n_u8(64);
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        uint8x16_t i = vld1q_u8(indices + k);
        uint8x16_t r = vqtbl4q_u8(q0, i);
        i = vsubq_u8(i, quarter);
        r = vorrq_u8(r, vqtbl4q_u8(q1, i));
        i = vsubq_u8(i, quarter);
        r = vorrq_u8(r, vqtbl4q_u8(q2, i));
        i = vsubq_u8(i, quarter);
        r = vorrq_u8(r, vqtbl4q_u8(q3, i));
        vst1q_u8(d + k, r);
    }
}

}  // namespace
#endif

aarch64_decode_rc sve_tbl_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
#if defined(__aarch64__)
    if (zd.qual == kQualB) {
        table_lookup_bytes(zreg(s, zd), zreg(s, zn), zreg(s, zm));
        return DECODE_OK;
    }
#endif
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *idx = zreg(s, zm);
        for (unsigned i = 0; i < elem_count<T>; ++i) {
            const uint64_t j = elem_get<T>(idx, i);
            elem_set<T>(r.b, i, j < elem_count<T> ? elem_get<T>(a, static_cast<unsigned>(j)) : T(0));
        }
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

aarch64_decode_rc sve_ext_zzi(cpu_state *s, aarch64_z_reg zdn, aarch64_z_reg zm, int imm) {
    const unsigned pos = static_cast<unsigned>(imm);
    if (pos >= kVecBytes) return DECODE_OK;
    unsigned char both[2 * kVecBytes];
    std::memcpy(both, zreg(s, zdn), kVecBytes);
    std::memcpy(both + kVecBytes, zreg(s, zm), kVecBytes);
    std::memcpy(zreg(s, zdn), both + pos, kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_uunpklo_b2h_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) { unpack_bytes<uint8_t, uint16_t, false>(zreg(s, zd), zreg(s, zn), false); return DECODE_OK; }
aarch64_decode_rc sve_uunpklo_h2s_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) { unpack_bytes<uint16_t, uint32_t, false>(zreg(s, zd), zreg(s, zn), false); return DECODE_OK; }
aarch64_decode_rc sve_uunpklo_s2d_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) { unpack_bytes<uint32_t, uint64_t, false>(zreg(s, zd), zreg(s, zn), false); return DECODE_OK; }
aarch64_decode_rc sve_uunpkhi_b2h_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) { unpack_bytes<uint8_t, uint16_t, false>(zreg(s, zd), zreg(s, zn), true); return DECODE_OK; }
aarch64_decode_rc sve_uunpkhi_h2s_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) { unpack_bytes<uint16_t, uint32_t, false>(zreg(s, zd), zreg(s, zn), true); return DECODE_OK; }
aarch64_decode_rc sve_uunpkhi_s2d_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) { unpack_bytes<uint32_t, uint64_t, false>(zreg(s, zd), zreg(s, zn), true); return DECODE_OK; }
aarch64_decode_rc sve_sunpklo_s2d_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) { unpack_bytes<uint32_t, uint64_t, true>(zreg(s, zd), zreg(s, zn), false); return DECODE_OK; }
aarch64_decode_rc sve_sunpkhi_s2d_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) { unpack_bytes<uint32_t, uint64_t, true>(zreg(s, zd), zreg(s, zn), true); return DECODE_OK; }
