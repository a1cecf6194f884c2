#include "sve/kernels/predicate_permute_kernels.h"

#include <cstring>

#include "sve/kernels/kernel_common.h"

void permute_predicate_bytes(unsigned char *dst, const unsigned char *n, const unsigned char *m, unsigned esize,
                             predicate_permute_kind kind) {
    const unsigned count = kVecBytes / esize, half = count / 2;
    vec_buf r;
    // Copies element `from` of `src` into element `to` of the result.
    auto move = [&](unsigned to, const unsigned char *src, unsigned from) {
        for (unsigned k = 0; k < esize; ++k) r.b[to * esize + k] = src[from * esize + k] & 1;
    };
    for (unsigned p = 0; p < half; ++p) {
        switch (kind) {
        case predicate_permute_kind::rev:
            move(p, n, count - 1 - p);
            move(count - 1 - p, n, p);
            break;
        case predicate_permute_kind::zip1:
            move(2 * p, n, p);
            move(2 * p + 1, m, p);
            break;
        case predicate_permute_kind::zip2:
            move(2 * p, n, half + p);
            move(2 * p + 1, m, half + p);
            break;
        case predicate_permute_kind::uzp1:
            move(p, n, 2 * p);
            move(half + p, m, 2 * p);
            break;
        case predicate_permute_kind::uzp2:
            move(p, n, 2 * p + 1);
            move(half + p, m, 2 * p + 1);
            break;
        case predicate_permute_kind::trn1:
            move(2 * p, n, 2 * p);
            move(2 * p + 1, m, 2 * p);
            break;
        case predicate_permute_kind::trn2:
            move(2 * p, n, 2 * p + 1);
            move(2 * p + 1, m, 2 * p + 1);
            break;
        }
    }
    std::memcpy(dst, r.b, kVecBytes);
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
