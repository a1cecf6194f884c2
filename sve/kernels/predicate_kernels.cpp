#include "sve/kernels/predicate_kernels.h"

#include <cstring>

#include "sve/kernels/kernel_common.h"
#include "sve/support/pred_pattern.h"

unsigned pattern_element_count(unsigned pattern, unsigned esize) {
    return VecTrueILength(pattern & 31, static_cast<int>(kVecBytes / esize));
}

void sve_ptest(cpu_state *s, const unsigned char *g, const unsigned char *r, unsigned esize) {
    const unsigned n = kVecBytes / esize;
    int first = -1, last = -1;
    bool any = false;
    for (unsigned e = 0; e < n; ++e) {
        if (!pred_active(g, e, esize)) continue;
        if (first < 0) first = static_cast<int>(e);
        last = static_cast<int>(e);
        any = any || pred_active(r, e, esize);
    }
    const bool nflag = first >= 0 && pred_active(r, static_cast<unsigned>(first), esize);
    const bool cflag = last < 0 || !pred_active(r, static_cast<unsigned>(last), esize);
    set_nzcv_bits(s, nflag, !any, cflag, false);
}

namespace {

const unsigned char kAllTrue[kVecBytes] = {
#define SVE_ONES16 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1
    SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16,
    SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16,
#undef SVE_ONES16
};

// Byte-wise predicate logic: op on (Pn, Pm) bits for active bytes of Pg.
template <typename Op>
aarch64_decode_rc logic(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm, Op op) {
    vec_buf r;
    const unsigned char *g = preg(s, pg), *a = preg(s, pn), *b = preg(s, pm), *d = preg(s, pd);
    const bool zeroing = pg.qual == kQualZeroing;
    for (unsigned j = 0; j < kVecBytes; ++j)
        r.b[j] = (g[j] & 1) ? (op(a[j] & 1, b[j] & 1) ? 1 : 0) : (zeroing ? 0 : d[j] & 1);
    std::memcpy(preg(s, pd), r.b, kVecBytes);
    return DECODE_OK;
}

// BRKA (after = true) and BRKB: break at the first active true byte of Pn.
aarch64_decode_rc brk(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, bool after) {
    vec_buf r;
    const unsigned char *g = preg(s, pg), *a = preg(s, pn), *d = preg(s, pd);
    const bool zeroing = pg.qual == kQualZeroing;
    bool flag = true;
    for (unsigned j = 0; j < kVecBytes; ++j) {
        if (g[j] & 1) {
            if (after) {
                r.b[j] = flag;
                flag = flag && !(a[j] & 1);
            } else {
                flag = flag && !(a[j] & 1);
                r.b[j] = flag;
            }
        } else {
            r.b[j] = zeroing ? 0 : d[j] & 1;
        }
    }
    std::memcpy(preg(s, pd), r.b, kVecBytes);
    return DECODE_OK;
}

// Whether the last active byte of G is true in P (false when G has none).
bool last_active_true(const unsigned char *g, const unsigned char *p) {
    for (unsigned j = kVecBytes; j-- > 0;)
        if (g[j] & 1) return p[j] & 1;
    return false;
}

aarch64_decode_rc brkn(cpu_state *s, aarch64_p_reg pdm, aarch64_p_reg pg, aarch64_p_reg pn, bool setflags) {
    unsigned char *d = preg(s, pdm);
    if (!last_active_true(preg(s, pg), preg(s, pn))) std::memset(d, 0, kVecBytes);
    if (setflags) sve_ptest(s, kAllTrue, d, 1);
    return DECODE_OK;
}

aarch64_decode_rc brkpb(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm,
                        bool setflags) {
    vec_buf r;
    const unsigned char *g = preg(s, pg), *b = preg(s, pm);
    bool last = last_active_true(g, preg(s, pn));
    for (unsigned j = 0; j < kVecBytes; ++j) {
        if (g[j] & 1) {
            last = last && !(b[j] & 1);
            r.b[j] = last;
        } else {
            r.b[j] = 0;
        }
    }
    if (setflags) sve_ptest(s, g, r.b, 1);
    std::memcpy(preg(s, pd), r.b, kVecBytes);
    return DECODE_OK;
}

// Counts elements active in both predicates at the element size.
unsigned count_active(const unsigned char *g, const unsigned char *p, unsigned esize) {
    unsigned n = 0;
    for (unsigned e = 0; e < kVecBytes / esize; ++e) n += pred_active(g, e, esize) && pred_active(p, e, esize);
    return n;
}

// WHILE: counter = Rn + i at the register width; element i true while cond holds
// for it and every earlier element.
template <typename Cond>
aarch64_decode_rc loop_predicate(cpu_state *s, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm, Cond cond) {
    const bool x = rn.qual == kQualX;
    const uint64_t mask = x ? ~uint64_t{0} : 0xFFFFFFFFu;
    const unsigned bits = x ? 64 : 32;
    uint64_t counter = xread(s, rn) & mask;
    const uint64_t limit = xread(s, rm) & mask;
    const unsigned esize = esize_of(pd.qual);
    vec_buf r;
    std::memset(r.b, 0, kVecBytes);
    bool last = true;
    for (unsigned i = 0; i < kVecBytes / esize; ++i) {
        last = last && cond(counter, limit, bits);
        pred_write(r.b, i, esize, last);
        counter = (counter + 1) & mask;
    }
    sve_ptest(s, kAllTrue, r.b, esize);
    std::memcpy(preg(s, pd), r.b, kVecBytes);
    return DECODE_OK;
}

// Sign-extends a value of `bits` bits.
int64_t as_signed(uint64_t v, unsigned bits) {
    return bits == 64 ? static_cast<int64_t>(v) : static_cast<int64_t>(v << (64 - bits)) >> (64 - bits);
}

}  // namespace

aarch64_decode_rc sve_pfalse_p(cpu_state *state, aarch64_p_reg pd) {
    std::memset(preg(state, pd), 0, kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_ptrue_pi(cpu_state *state, aarch64_p_reg pd, int pattern) {
    const unsigned esize = esize_of(pd.qual);
    const unsigned count = pattern_element_count(static_cast<unsigned>(pattern), esize);
    unsigned char *p = preg(state, pd);
    for (unsigned i = 0; i < kVecBytes / esize; ++i) pred_write(p, i, esize, i < count);
    return DECODE_OK;
}

aarch64_decode_rc sve_ptest_pp(cpu_state *s, aarch64_p_reg pg, aarch64_p_reg pn) {
    sve_ptest(s, preg(s, pg), preg(s, pn), 1);
    return DECODE_OK;
}

aarch64_decode_rc sve_pnext_pp(cpu_state *s, aarch64_p_reg pdn, aarch64_p_reg pg) {
    const unsigned esize = esize_of(pdn.qual);
    const unsigned n = kVecBytes / esize;
    const unsigned char *g = preg(s, pg), *d = preg(s, pdn);
    unsigned next = 0;
    for (unsigned e = n; e-- > 0;)
        if (pred_active(d, e, esize)) {
            next = e + 1;
            break;
        }
    while (next < n && !pred_active(g, next, esize)) ++next;
    vec_buf r;
    std::memset(r.b, 0, kVecBytes);
    if (next < n) pred_write(r.b, next, esize, true);
    sve_ptest(s, g, r.b, esize);
    std::memcpy(preg(s, pdn), r.b, kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_and_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](int a, int b) { return a && b; });
}
aarch64_decode_rc sve_orr_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](int a, int b) { return a || b; });
}
aarch64_decode_rc sve_eor_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](int a, int b) { return a != b; });
}
aarch64_decode_rc sve_bic_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](int a, int b) { return a && !b; });
}
aarch64_decode_rc sve_nor_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](int a, int b) { return !(a || b); });
}

aarch64_decode_rc sve_sel_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    vec_buf r;
    const unsigned char *g = preg(s, pg), *a = preg(s, pn), *b = preg(s, pm);
    for (unsigned j = 0; j < kVecBytes; ++j) r.b[j] = ((g[j] & 1) ? a[j] : b[j]) & 1;
    std::memcpy(preg(s, pd), r.b, kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_brka_ppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn) {
    return brk(s, pd, pg, pn, true);
}
aarch64_decode_rc sve_brkb_ppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn) {
    return brk(s, pd, pg, pn, false);
}
aarch64_decode_rc sve_brkn_ppp(cpu_state *s, aarch64_p_reg pdm, aarch64_p_reg pg, aarch64_p_reg pn) {
    return brkn(s, pdm, pg, pn, false);
}
aarch64_decode_rc sve_brkns_ppp(cpu_state *s, aarch64_p_reg pdm, aarch64_p_reg pg, aarch64_p_reg pn) {
    return brkn(s, pdm, pg, pn, true);
}
aarch64_decode_rc sve_brkpb_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return brkpb(s, pd, pg, pn, pm, false);
}
aarch64_decode_rc sve_brkpbs_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return brkpb(s, pd, pg, pn, pm, true);
}

aarch64_decode_rc sve_cntp_rpp(cpu_state *s, aarch64_i_reg xd, aarch64_p_reg pg, aarch64_p_reg pn) {
    xwrite(s, xd, count_active(preg(s, pg), preg(s, pn), esize_of(pn.qual)));
    return DECODE_OK;
}

aarch64_decode_rc sve_incp_rp(cpu_state *s, aarch64_i_reg xdn, aarch64_p_reg pm) {
    const unsigned esize = esize_of(pm.qual);
    xwrite(s, xdn, xread(s, xdn) + count_active(kAllTrue, preg(s, pm), esize));
    return DECODE_OK;
}

aarch64_decode_rc sve_whilelt_prr(cpu_state *s, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm) {
    return loop_predicate(s, pd, rn, rm, [](uint64_t c, uint64_t l, unsigned b) { return as_signed(c, b) < as_signed(l, b); });
}
aarch64_decode_rc sve_whilelo_prr(cpu_state *s, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm) {
    return loop_predicate(s, pd, rn, rm, [](uint64_t c, uint64_t l, unsigned) { return c < l; });
}
aarch64_decode_rc sve_whilels_prr(cpu_state *s, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm) {
    return loop_predicate(s, pd, rn, rm, [](uint64_t c, uint64_t l, unsigned) { return c <= l; });
}
