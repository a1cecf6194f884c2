#include "sve/kernels/predicate_permute_kernels.h"

#include <cstring>

#include "sve/kernels/kernel_common.h"
#include "sve/kernels/permute_kernels.h"

// The element moves are those of the vector permutes (REV: the elements in
// reverse order); every byte of the result then keeps only its bit 0.
void permute_predicate_bytes(unsigned char *dst, const unsigned char *n, const unsigned char *m, unsigned esize,
                             predicate_permute_kind kind) {
    vec_buf r;
    switch (kind) {
    case predicate_permute_kind::rev:
        with_element_type(esize == 8 ? kQualD : esize == 4 ? kQualS : esize == 2 ? kQualH : kQualB, [&](auto t) {
            using T = decltype(t);
            for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(r.b, i, elem_get<T>(n, elem_count<T> - 1 - i));
        });
        break;
    case predicate_permute_kind::zip1: permute_vector_bytes(r.b, n, m, esize, vector_permute_kind::zip1); break;
    case predicate_permute_kind::zip2: permute_vector_bytes(r.b, n, m, esize, vector_permute_kind::zip2); break;
    case predicate_permute_kind::uzp1: permute_vector_bytes(r.b, n, m, esize, vector_permute_kind::uzp1); break;
    case predicate_permute_kind::uzp2: permute_vector_bytes(r.b, n, m, esize, vector_permute_kind::uzp2); break;
    case predicate_permute_kind::trn1: permute_vector_bytes(r.b, n, m, esize, vector_permute_kind::trn1); break;
    case predicate_permute_kind::trn2: permute_vector_bytes(r.b, n, m, esize, vector_permute_kind::trn2); break;
    }
    for (unsigned i = 0; i < kVecBytes; ++i) dst[i] = r.b[i] & 1;
}

namespace {

aarch64_decode_rc permute(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pn, aarch64_p_reg pm, predicate_permute_kind k) {
    permute_predicate_bytes(preg(s, pd), preg(s, pn), preg(s, pm), esize_of(pd.qual), k);
    return DECODE_OK;
}

// PUNPKLO/HI: each halfword element takes one predicate bit of the low or high half.
aarch64_decode_rc unpack(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pn, unsigned base) {
    vec_buf r;
    const unsigned char *src = preg(s, pn);
    for (unsigned e = 0; e < kVecBytes / 2; ++e) {
        r.b[2 * e] = src[base + e] & 1;
        r.b[2 * e + 1] = 0;
    }
    std::memcpy(preg(s, pd), r.b, kVecBytes);
    return DECODE_OK;
}

}  // namespace

aarch64_decode_rc sve_rev_pp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pn) {
    return permute(s, pd, pn, pn, predicate_permute_kind::rev);
}
aarch64_decode_rc sve_zip1_ppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pn, aarch64_p_reg pm) {
    return permute(s, pd, pn, pm, predicate_permute_kind::zip1);
}
aarch64_decode_rc sve_zip2_ppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pn, aarch64_p_reg pm) {
    return permute(s, pd, pn, pm, predicate_permute_kind::zip2);
}
aarch64_decode_rc sve_uzp1_ppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pn, aarch64_p_reg pm) {
    return permute(s, pd, pn, pm, predicate_permute_kind::uzp1);
}
aarch64_decode_rc sve_punpklo_pp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pn) { return unpack(s, pd, pn, 0); }
aarch64_decode_rc sve_punpkhi_pp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pn) { return unpack(s, pd, pn, kVecBytes / 2); }
