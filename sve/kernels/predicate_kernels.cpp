#include "sve/kernels/predicate_kernels.h"

#include <algorithm>
#include <bit>
#include <cstring>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

#include "sve/kernels/kernel_common.h"
#include "sve/kernels/loop_predicates.h"
#include "sve/kernels/predicate_inline.h"
#include "sve/kernels/predicate_words.h"
#include "sve/support/pred_pattern.h"

unsigned pattern_element_count(unsigned pattern, unsigned esize) {
    return VecTrueILength(pattern & 31, static_cast<int>(kVecBytes / esize));
}

void sve_ptest(cpu_state *s, const unsigned char *g, const unsigned char *r, unsigned esize) { ptest_flags(s, g, r, esize); }

namespace {

const unsigned char kAllTrue[kVecBytes] = {
#define SVE_ONES16 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1
    SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16,
    SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16, SVE_ONES16,
#undef SVE_ONES16
};

// Byte-wise predicate logic: op on (Pn, Pm) bits for active bytes of Pg, a word
// at a time (only bit 0 of each byte is kept).
template <typename Op>
aarch64_decode_rc logic(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm, Op op) {
    vec_buf r;
    const unsigned char *g = preg(s, pg), *a = preg(s, pn), *b = preg(s, pm), *d = preg(s, pd);
    const uint64_t ones = pred_lane_mask(1);
    const uint64_t keep = pg.qual == kQualZeroing ? 0 : ones;
    for (unsigned w = 0; w < kPredWords; ++w) {
        const uint64_t gw = pred_word(g, w) & ones;
        pred_word_set(r.b, w, ((gw & op(pred_word(a, w), pred_word(b, w))) | (~gw & keep & pred_word(d, w))) & ones);
    }
    std::memcpy(preg(s, pd), r.b, kVecBytes);
    return DECODE_OK;
}

// BRKA (after = true) and BRKB: break at the first active true byte of Pn.
// Active elements are true up to the first active true element of Pn (BRKA
// includes it, BRKB stops before it) and false after it. Word w of every
// operand is read before word w of Pd is written. The words after the break
// hold only inactive elements' values: zero, or Pd's own when merging.

[[gnu::always_inline]] inline aarch64_decode_rc brk(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn,
                                                    bool after) {
    const unsigned char *g = preg(s, pg), *a = preg(s, pn);
    unsigned char *d = preg(s, pd);
    const bool zeroing = pg.qual == kQualZeroing;
#if defined(__aarch64__)
    if (zeroing) {
        if (after)
            brk_zeroing<true>(g, a, d);
        else
            brk_zeroing<false>(g, a, d);
        return DECODE_OK;
    }
#endif
    const uint64_t ones = pred_lane_mask(1);
    unsigned w = 0;
    for (; w < kPredWords; ++w) {
        const uint64_t gw = pred_word(g, w) & ones;
        const uint64_t inactive = zeroing ? 0 : pred_word(d, w) & ~gw & ones;
        if (const uint64_t hit = gw & pred_word(a, w)) {
            const unsigned upto = std::countr_zero(hit) + (after ? 8 : 0);
            const uint64_t keep = upto >= 64 ? ~uint64_t{0} : (uint64_t{1} << upto) - 1;
            pred_word_set(d, w, (gw & keep) | inactive);
            ++w;
            break;
        }
        pred_word_set(d, w, gw | inactive);
    }
    if (zeroing) {
        std::memset(d + 8 * w, 0, kVecBytes - 8 * w);
    } else {
        for (; w < kPredWords; ++w) pred_word_set(d, w, pred_word(d, w) & ~pred_word(g, w) & ones);
    }
    return DECODE_OK;
}

// Whether the last active byte of G is true in P (false when G has none).
bool last_active_true(const unsigned char *g, const unsigned char *p) {
    const uint64_t ones = pred_lane_mask(1);
    const unsigned w = last_active_word(g, ones);
    if (w == kPredWords) return false;
    return (pred_word(p, w) >> (63 - std::countl_zero(pred_word(g, w) & ones))) & 1;
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

// WHILE<cond> from the register records (qualifier 3: X registers, else W).
template <typename Count>
aarch64_decode_rc loop_predicate(cpu_state *s, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm, Count count_of) {
    write_loop_predicate(s, pd.num, esize_log2(pd.qual), rn.num, rm.num, rn.qual == kQualX, count_of);
    return DECODE_OK;
}

}  // namespace

aarch64_decode_rc sve_pfalse_p(cpu_state *state, aarch64_p_reg pd) {
    std::memset(preg(state, pd), 0, kVecBytes);
    return DECODE_OK;
}

namespace {

// PTRUE with a pattern other than ALL: through the pattern decoder.
[[gnu::noinline]] aarch64_decode_rc ptrue_pattern(cpu_state *state, aarch64_p_reg pd, int pattern) {
    const unsigned lg = esize_log2(pd.qual);
    write_prefix(preg(state, pd), pattern_element_count(static_cast<unsigned>(pattern), 1u << lg), lg);
    return DECODE_OK;
}

}  // namespace

aarch64_decode_rc sve_ptrue_pi(cpu_state *state, aarch64_p_reg pd, int pattern) {
    // ALL, by far the most common pattern, is every element, with no call on the way.
    if ((pattern & 31) != 31) return ptrue_pattern(state, pd, pattern);
    write_all_true(preg(state, pd), esize_log2(pd.qual));
    return DECODE_OK;
}

aarch64_decode_rc sve_ptest_pp(cpu_state *s, aarch64_p_reg pg, aarch64_p_reg pn) {
    ptest_flags(s, preg(s, pg), preg(s, pn), 1);
    return DECODE_OK;
}

aarch64_decode_rc sve_pnext_pp(cpu_state *s, aarch64_p_reg pdn, aarch64_p_reg pg) {
    const unsigned esize = esize_of(pdn.qual);
    const uint64_t lanes = pred_lane_mask(esize);
    const unsigned char *g = preg(s, pg), *d = preg(s, pdn);
    // The first byte after the last active element of Pdn (0 when none).
    unsigned from = 0;
    if (const unsigned w = last_active_word(d, lanes); w != kPredWords)
        from = w * 8 + (63 - std::countl_zero(pred_word(d, w) & lanes)) / 8 + esize;
    vec_buf r;
    std::memset(r.b, 0, kVecBytes);
    for (unsigned w = from / 8; w < kPredWords; ++w) {
        uint64_t gw = pred_word(g, w) & lanes;
        if (w == from / 8) gw &= ~uint64_t{0} << (from % 8 * 8);
        if (gw) {
            r.b[w * 8 + std::countr_zero(gw) / 8] = 1;
            break;
        }
    }
    sve_ptest(s, g, r.b, esize);
    std::memcpy(preg(s, pdn), r.b, kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_and_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](uint64_t a, uint64_t b) { return a & b; });
}
aarch64_decode_rc sve_orr_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](uint64_t a, uint64_t b) { return a | b; });
}
aarch64_decode_rc sve_eor_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](uint64_t a, uint64_t b) { return a ^ b; });
}
aarch64_decode_rc sve_bic_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](uint64_t a, uint64_t b) { return a & ~b; });
}
aarch64_decode_rc sve_nor_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    return logic(s, pd, pg, pn, pm, [](uint64_t a, uint64_t b) { return ~(a | b); });
}

aarch64_decode_rc sve_sel_pppp(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm) {
    vec_buf r;
    const unsigned char *g = preg(s, pg), *a = preg(s, pn), *b = preg(s, pm);
    const uint64_t ones = pred_lane_mask(1);
    for (unsigned w = 0; w < kPredWords; ++w) {
        const uint64_t gw = pred_word(g, w) & ones;
        pred_word_set(r.b, w, ((gw & pred_word(a, w)) | (~gw & pred_word(b, w))) & ones);
    }
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
    xwrite(s, xdn, xread(s, xdn) + count_active<true>(nullptr, preg(s, pm), esize));
    return DECODE_OK;
}

aarch64_decode_rc sve_whilelt_prr(cpu_state *s, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm) {
    return loop_predicate(s, pd, rn, rm, while_lt{});
}
aarch64_decode_rc sve_whilelo_prr(cpu_state *s, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm) {
    return loop_predicate(s, pd, rn, rm, while_lo{});
}
aarch64_decode_rc sve_whilels_prr(cpu_state *s, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm) {
    return loop_predicate(s, pd, rn, rm, while_ls{});
}
