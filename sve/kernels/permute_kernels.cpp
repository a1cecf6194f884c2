#include "sve/kernels/permute_kernels.h"

#include <cstring>
#include <type_traits>

#include "sve/kernels/kernel_common.h"

namespace {

// The permutation over elements of type T (a fixed-size move each).
template <typename T>
void permute_elements(unsigned char *r, const unsigned char *a, const unsigned char *b, vector_permute_kind kind) {
    constexpr unsigned h = kVecBytes / sizeof(T) / 2;
    for (unsigned k = 0; k < h; ++k) {
        switch (kind) {
        case vector_permute_kind::zip1: elem_set<T>(r, 2 * k, elem_get<T>(a, k)); elem_set<T>(r, 2 * k + 1, elem_get<T>(b, k)); break;
        case vector_permute_kind::zip2: elem_set<T>(r, 2 * k, elem_get<T>(a, h + k)); elem_set<T>(r, 2 * k + 1, elem_get<T>(b, h + k)); break;
        case vector_permute_kind::uzp1: elem_set<T>(r, k, elem_get<T>(a, 2 * k)); elem_set<T>(r, h + k, elem_get<T>(b, 2 * k)); break;
        case vector_permute_kind::uzp2: elem_set<T>(r, k, elem_get<T>(a, 2 * k + 1)); elem_set<T>(r, h + k, elem_get<T>(b, 2 * k + 1)); break;
        case vector_permute_kind::trn1: elem_set<T>(r, 2 * k, elem_get<T>(a, 2 * k)); elem_set<T>(r, 2 * k + 1, elem_get<T>(b, 2 * k)); break;
        case vector_permute_kind::trn2: elem_set<T>(r, 2 * k, elem_get<T>(a, 2 * k + 1)); elem_set<T>(r, 2 * k + 1, elem_get<T>(b, 2 * k + 1)); break;
        }
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

aarch64_decode_rc sve_tbl_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
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
