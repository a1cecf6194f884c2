// Predicate initialisation, logic, breaks, tests and loop control: PTRUE(S),
// PFALSE, PFIRST, PNEXT, PTEST, AND/BIC/EOR/ORR/ORN/NOR/NAND(S), SEL, BRKA(S),
// BRKB(S), BRKN(S), BRKPA(S), BRKPB(S), WHILELT/LE/LO/LS, CTERMEQ/NE, and the
// predicate permutes REV, ZIP, UZP, TRN, PUNPKLO/HI.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/loop_predicates.h"
#include "sve/kernels/predicate_inline.h"
#include "sve/kernels/predicate_kernels.h"
#include "sve/kernels/predicate_permute_kernels.h"
#include "sve/kernels/predicate_words.h"
#include "sve/support/pred_pattern.h"

namespace {

// The common predicate fields: Pd 3..0, Pn 8..5, Pg 13..10, Pm 19..16.
inline aarch64_p_reg pd(uint32_t insn, uint32_t qual = kQualB) { return make_preg(field(insn, 3, 0), qual); }
inline aarch64_p_reg pn(uint32_t insn, uint32_t qual = kQualB) { return make_preg(field(insn, 8, 5), qual); }
inline aarch64_p_reg pg4(uint32_t insn, uint32_t qual = kQualZeroing) { return make_preg(field(insn, 13, 10), qual); }
inline aarch64_p_reg pm(uint32_t insn, uint32_t qual = kQualB) { return make_preg(field(insn, 19, 16), qual); }

using pppp_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_p_reg, aarch64_p_reg, aarch64_p_reg, aarch64_p_reg);
inline aarch64_decode_rc pppp(cpu_state *s, uint32_t insn, pppp_kernel k) {
    return delegate(s, insn, k, pd(insn), pg4(insn), pn(insn), pm(insn));
}

// Pd = Pg AND op(Pn, Pm) on every predicate bit, 16 bytes at a time, with the
// flags when kSetFlags (from Pg's active ends, found before Pd, which may be
// Pg, is written). Each piece of the operands is read before the same piece of
// Pd is written.
template <bool kSetFlags, typename Op>
aarch64_decode_rc logic(cpu_state *s, uint32_t insn, Op op) {
    typedef unsigned char piece __attribute__((vector_size(16)));
    const unsigned char *g = s->p[field(insn, 13, 10)], *a = s->p[field(insn, 8, 5)], *b = s->p[field(insn, 19, 16)];
    unsigned char *d = s->p[field(insn, 3, 0)];
    s->insn = insn;
    pred_ends ends{};
    if constexpr (kSetFlags) ends = find_pred_ends(g, 1);
    const piece one = piece{} + 1;
    piece any{};
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        piece gv, av, bv;
        std::memcpy(&gv, g + k, 16);
        std::memcpy(&av, a + k, 16);
        std::memcpy(&bv, b + k, 16);
        const piece r = gv & op(av, bv) & one;
        any |= r;
        std::memcpy(d + k, &r, 16);
    }
    if constexpr (kSetFlags) {
        uint64_t words[2];
        std::memcpy(words, &any, 16);
        pred_result_flags(s, ends, d, (words[0] | words[1]) != 0);
    }
    return DECODE_OK;
}

// BRKAS/BRKBS (zeroing): the break by its kernel, then the flags from Pg's
// active ends (found before Pd, which may be Pg, is written) and the result.
aarch64_decode_rc break_flags(cpu_state *s, uint32_t insn, bool after) {
    const pred_ends ends = find_pred_ends(s->p[field(insn, 13, 10)], 1);
    const aarch64_decode_rc rc = delegate(s, insn, after ? sve_brka_ppp : sve_brkb_ppp, pd(insn), pg4(insn), pn(insn));
    const unsigned char *r = s->p[field(insn, 3, 0)];
    pred_result_flags(s, ends, r, any_true_byte(r));
    return rc;
}

// BRKPA(S): with the last active element of Pn under Pg true, BRKA of Pm under
// Pg (the active elements up to and including the first true one of Pm),
// else all false; the flags from Pg's active ends and the result.
aarch64_decode_rc break_prev_after(cpu_state *s, uint32_t insn, bool setflags) {
    const pred_ends ends = find_pred_ends(s->p[field(insn, 13, 10)], 1);
    const bool go = !ends.none && (pred_word(s->p[field(insn, 8, 5)], ends.last_word) >> ends.last_bit) & 1;
    aarch64_decode_rc rc = DECODE_OK;
    if (go) {
        rc = delegate(s, insn, sve_brka_ppp, pd(insn), pg4(insn), pm(insn));
    } else {
        s->insn = insn;
        std::memset(s->p[field(insn, 3, 0)], 0, kVecBytes);
    }
    if (setflags) {
        const unsigned char *r = s->p[field(insn, 3, 0)];
        pred_result_flags(s, ends, r, go && any_true_byte(r));
    }
    return rc;
}

// PTRUE Pd.T{, pattern}: Pd 3..0, pattern 9..5. ALL, by far the most common
// pattern, is written here; the others go through the kernel's pattern decoder.
template <typename T>
aarch64_decode_rc ptrue(cpu_state *s, uint32_t insn) {
    const unsigned pattern = field(insn, 9, 5);
    if (pattern != 31) return sve_ptrue_pi(s, pd(insn, qual_of<T>), static_cast<int>(pattern));
    write_all_true(s->p[field(insn, 3, 0)], std::countr_zero(sizeof(T)));
    return DECODE_OK;
}
// PTRUES: PTRUE, with the flags of the result tested under itself. Its true
// elements are a prefix, so with any element true the first and the last
// active elements are true (N=1, Z=0, C=0), and with none N=0, Z=1, C=1; V=0.
template <typename T>
aarch64_decode_rc ptrues(cpu_state *s, uint32_t insn) {
    ptrue<T>(s, insn);
    const bool any = s->p[field(insn, 3, 0)][0] & 1;
    set_nzcv_bits(s, any, !any, !any, false);
    return DECODE_OK;
}

// PNEXT Pdn.T, Pg, Pdn.T: Pdn 3..0, Pg 8..5.
template <typename T>
aarch64_decode_rc pnext(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_pnext_pp, pd(insn, qual_of<T>), pn(insn, qual_of<T>));
}

// WHILELT/LE/LO/LS Pd.T, Rn, Rm: Pd 3..0, Rn 9..5, Rm 20..16 (X registers when
// X, else W).
template <typename T, bool X, typename Count>
aarch64_decode_rc while_loop(cpu_state *s, uint32_t insn, Count count_of) {
    write_loop_predicate(s, field(insn, 3, 0), std::countr_zero(sizeof(T)), field(insn, 9, 5), field(insn, 20, 16), X,
                         count_of);
    return DECODE_OK;
}

// CTERMEQ/CTERMNE Rn, Rm: N = term, V = NOT term AND NOT C; Z and C unchanged.
template <unsigned Bits, bool Equal>
aarch64_decode_rc cterm(cpu_state *s, uint32_t insn) {
    const uint64_t mask = Bits == 64 ? ~uint64_t{0} : 0xFFFFFFFFu;
    const uint64_t a = read_x(s, field(insn, 9, 5)) & mask, b = read_x(s, field(insn, 20, 16)) & mask;
    return compute(s, [&](CpuContext &ctx) {
        const bool term = Equal ? a == b : a != b;
        const bool c = (ctx.flags >> 29) & 1;
        const bool n = term, v = !term && !c;
        ctx.flags = (ctx.flags & ~0x90000000u) | (uint32_t(n) << 31) | (uint32_t(v) << 28);
    });
}

// Predicate permutes computed here (UZP2, TRN1, TRN2): Pd 3..0, Pn 8..5, Pm 19..16.
template <typename T>
aarch64_decode_rc permute(cpu_state *s, uint32_t insn, predicate_permute_kind kind) {
    unsigned char n[kVecBytes], m[kVecBytes];
    std::memcpy(n, s->p[field(insn, 8, 5)], kVecBytes);
    std::memcpy(m, s->p[field(insn, 19, 16)], kVecBytes);
    permute_predicate_bytes(s->p[field(insn, 3, 0)], n, m, sizeof(T), kind);
    return DECODE_OK;
}
template <typename T>
aarch64_decode_rc permute_kernel(cpu_state *s, uint32_t insn,
                                 aarch64_decode_rc (*k)(cpu_state *, aarch64_p_reg, aarch64_p_reg, aarch64_p_reg)) {
    return delegate(s, insn, k, pd(insn, qual_of<T>), pn(insn, qual_of<T>), pm(insn, qual_of<T>));
}

SVE_HANDLER(VecPFalse) { return delegate(state, insn, sve_pfalse_p, pd(insn)); }
SVE_HANDLER(VecP8TrueI) { return ptrue<uint8_t>(state, insn); }
SVE_HANDLER(VecP16TrueI) { return ptrue<uint16_t>(state, insn); }
SVE_HANDLER(VecP32TrueI) { return ptrue<uint32_t>(state, insn); }
SVE_HANDLER(VecP64TrueI) { return ptrue<uint64_t>(state, insn); }
SVE_HANDLER(VecP8TrueFlgI) { return ptrues<uint8_t>(state, insn); }
SVE_HANDLER(VecP16TrueFlgI) { return ptrues<uint16_t>(state, insn); }
SVE_HANDLER(VecP32TrueFlgI) { return ptrues<uint32_t>(state, insn); }
SVE_HANDLER(VecP64TrueFlgI) { return ptrues<uint64_t>(state, insn); }

SVE_HANDLER(VecPAndPPZ) { return pppp(state, insn, sve_and_pppp); }
SVE_HANDLER(VecPBicPPZ) { return pppp(state, insn, sve_bic_pppp); }
SVE_HANDLER(VecPOrPPZ) { return pppp(state, insn, sve_orr_pppp); }
SVE_HANDLER(VecPXorPPZ) { return pppp(state, insn, sve_eor_pppp); }
SVE_HANDLER(VecPNorPPZ) { return pppp(state, insn, sve_nor_pppp); }
SVE_HANDLER(VecPSelPP) { return pppp(state, insn, sve_sel_pppp); }
SVE_HANDLER(VecPAndFlgPPZ) { return logic<true>(state, insn, [](auto a, auto b) { return a & b; }); }
SVE_HANDLER(VecPBicFlgPPZ) { return logic<true>(state, insn, [](auto a, auto b) { return a & ~b; }); }
SVE_HANDLER(VecPOrFlgPPZ) { return logic<true>(state, insn, [](auto a, auto b) { return a | b; }); }
SVE_HANDLER(VecPOrNPPZ) { return logic<false>(state, insn, [](auto a, auto b) { return a | ~b; }); }
SVE_HANDLER(VecPOrNFlgPPZ) { return logic<true>(state, insn, [](auto a, auto b) { return a | ~b; }); }
SVE_HANDLER(VecPXorFlgPPZ) { return logic<true>(state, insn, [](auto a, auto b) { return a ^ b; }); }
SVE_HANDLER(VecPNandPPZ) { return logic<false>(state, insn, [](auto a, auto b) { return ~(a & b); }); }
SVE_HANDLER(VecPNandFlgPPZ) { return logic<true>(state, insn, [](auto a, auto b) { return ~(a & b); }); }
SVE_HANDLER(VecPNorFlgPPZ) { return logic<true>(state, insn, [](auto a, auto b) { return ~(a | b); }); }

// BRKA/BRKB Pd, Pg/<ZM>, Pn: bit 4 selects merging.
// The zeroing forms compute in place on AArch64.
template <bool kAfter>
aarch64_decode_rc break_zeroing(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    brk_zeroing<kAfter>(s->p[field(insn, 13, 10)], s->p[field(insn, 8, 5)], s->p[field(insn, 3, 0)]);
    return DECODE_OK;
#else
    return delegate(s, insn, kAfter ? sve_brka_ppp : sve_brkb_ppp, pd(insn), pg4(insn), pn(insn));
#endif
}
SVE_HANDLER(VecPBreakAPZ) { return break_zeroing<true>(state, insn); }
SVE_HANDLER(VecPBreakAPM) { return delegate(state, insn, sve_brka_ppp, pd(insn), pg4(insn, kQualB), pn(insn)); }
SVE_HANDLER(VecPBreakBPZ) { return break_zeroing<false>(state, insn); }
SVE_HANDLER(VecPBreakBPM) { return delegate(state, insn, sve_brkb_ppp, pd(insn), pg4(insn, kQualB), pn(insn)); }
SVE_HANDLER(VecPBreakAFlgPZ) { return break_flags(state, insn, true); }
SVE_HANDLER(VecPBreakBFlgPZ) { return break_flags(state, insn, false); }
SVE_HANDLER(VecPBreakNextPZ) { return delegate(state, insn, sve_brkn_ppp, pd(insn), pg4(insn), pn(insn)); }
SVE_HANDLER(VecPBreakNextFlgPZ) { return delegate(state, insn, sve_brkns_ppp, pd(insn), pg4(insn), pn(insn)); }
SVE_HANDLER(VecPBreakPrevAPZ) { return break_prev_after(state, insn, false); }
SVE_HANDLER(VecPBreakPrevAFlgPZ) { return break_prev_after(state, insn, true); }
SVE_HANDLER(VecPBreakPrevBPZ) { return pppp(state, insn, sve_brkpb_pppp); }
SVE_HANDLER(VecPBreakPrevBFlgPZ) { return pppp(state, insn, sve_brkpbs_pppp); }

// PFIRST Pdn.B, Pg, Pdn.B: Pdn 3..0, Pg 8..5. Pdn with Pg's first active
// element set; the flags of the result under Pg, whose first active element
// is then true (N=1, Z=0) when there is one.
SVE_HANDLER(VecPSetFirstActiveP) {
    const pred_ends ends = find_pred_ends(state->p[field(insn, 8, 5)], 1);
    unsigned char *d = state->p[field(insn, 3, 0)];
    state->insn = insn;
    if (!ends.none) d[ends.first_word * 8 + ends.first_bit / 8] = 1;
    pred_result_flags(state, ends, d, !ends.none);
    return DECODE_OK;
}
SVE_HANDLER(VecP8GenNextP) { return pnext<uint8_t>(state, insn); }
SVE_HANDLER(VecP16GenNextP) { return pnext<uint16_t>(state, insn); }
SVE_HANDLER(VecP32GenNextP) { return pnext<uint32_t>(state, insn); }
SVE_HANDLER(VecP64GenNextP) { return pnext<uint64_t>(state, insn); }
// PTEST Pg, Pn.B: Pg 13..10, Pn 8..5.
SVE_HANDLER(VecPTestPZ) {
    ptest_flags(state, state->p[field(insn, 13, 10)], state->p[field(insn, 8, 5)], 1);
    return DECODE_OK;
}

SVE_HANDLER(VecS8While4LTSS) { return while_loop<uint8_t, false>(state, insn, while_lt{}); }
SVE_HANDLER(VecS16While4LTSS) { return while_loop<uint16_t, false>(state, insn, while_lt{}); }
SVE_HANDLER(VecS32While4LTSS) { return while_loop<uint32_t, false>(state, insn, while_lt{}); }
SVE_HANDLER(VecS64While4LTSS) { return while_loop<uint64_t, false>(state, insn, while_lt{}); }
SVE_HANDLER(VecS8While8LTSS) { return while_loop<uint8_t, true>(state, insn, while_lt{}); }
SVE_HANDLER(VecS16While8LTSS) { return while_loop<uint16_t, true>(state, insn, while_lt{}); }
SVE_HANDLER(VecS32While8LTSS) { return while_loop<uint32_t, true>(state, insn, while_lt{}); }
SVE_HANDLER(VecS64While8LTSS) { return while_loop<uint64_t, true>(state, insn, while_lt{}); }
SVE_HANDLER(VecU8While4LTSS) { return while_loop<uint8_t, false>(state, insn, while_lo{}); }
SVE_HANDLER(VecU16While4LTSS) { return while_loop<uint16_t, false>(state, insn, while_lo{}); }
SVE_HANDLER(VecU32While4LTSS) { return while_loop<uint32_t, false>(state, insn, while_lo{}); }
SVE_HANDLER(VecU64While4LTSS) { return while_loop<uint64_t, false>(state, insn, while_lo{}); }
SVE_HANDLER(VecU8While8LTSS) { return while_loop<uint8_t, true>(state, insn, while_lo{}); }
SVE_HANDLER(VecU16While8LTSS) { return while_loop<uint16_t, true>(state, insn, while_lo{}); }
SVE_HANDLER(VecU32While8LTSS) { return while_loop<uint32_t, true>(state, insn, while_lo{}); }
SVE_HANDLER(VecU64While8LTSS) { return while_loop<uint64_t, true>(state, insn, while_lo{}); }
SVE_HANDLER(VecU8While4LESS) { return while_loop<uint8_t, false>(state, insn, while_ls{}); }
SVE_HANDLER(VecU16While4LESS) { return while_loop<uint16_t, false>(state, insn, while_ls{}); }
SVE_HANDLER(VecU32While4LESS) { return while_loop<uint32_t, false>(state, insn, while_ls{}); }
SVE_HANDLER(VecU64While4LESS) { return while_loop<uint64_t, false>(state, insn, while_ls{}); }
SVE_HANDLER(VecU8While8LESS) { return while_loop<uint8_t, true>(state, insn, while_ls{}); }
SVE_HANDLER(VecU16While8LESS) { return while_loop<uint16_t, true>(state, insn, while_ls{}); }
SVE_HANDLER(VecU32While8LESS) { return while_loop<uint32_t, true>(state, insn, while_ls{}); }
SVE_HANDLER(VecU64While8LESS) { return while_loop<uint64_t, true>(state, insn, while_ls{}); }
SVE_HANDLER(VecS8While4LESS) { return while_loop<uint8_t, false>(state, insn, while_le{}); }
SVE_HANDLER(VecS16While4LESS) { return while_loop<uint16_t, false>(state, insn, while_le{}); }
SVE_HANDLER(VecS32While4LESS) { return while_loop<uint32_t, false>(state, insn, while_le{}); }
SVE_HANDLER(VecS64While4LESS) { return while_loop<uint64_t, false>(state, insn, while_le{}); }
SVE_HANDLER(VecS8While8LESS) { return while_loop<uint8_t, true>(state, insn, while_le{}); }
SVE_HANDLER(VecS16While8LESS) { return while_loop<uint16_t, true>(state, insn, while_le{}); }
SVE_HANDLER(VecS32While8LESS) { return while_loop<uint32_t, true>(state, insn, while_le{}); }
SVE_HANDLER(VecS64While8LESS) { return while_loop<uint64_t, true>(state, insn, while_le{}); }

SVE_HANDLER(VecU32CTermEQ) { return cterm<32, true>(state, insn); }
SVE_HANDLER(VecU64CTermEQ) { return cterm<64, true>(state, insn); }
SVE_HANDLER(VecU32CTermNE) { return cterm<32, false>(state, insn); }
SVE_HANDLER(VecU64CTermNE) { return cterm<64, false>(state, insn); }

SVE_HANDLER(VecP8ReverseP) { return delegate(state, insn, sve_rev_pp, pd(insn, kQualB), pn(insn, kQualB)); }
SVE_HANDLER(VecP16ReverseP) { return delegate(state, insn, sve_rev_pp, pd(insn, kQualH), pn(insn, kQualH)); }
SVE_HANDLER(VecP32ReverseP) { return delegate(state, insn, sve_rev_pp, pd(insn, kQualS), pn(insn, kQualS)); }
SVE_HANDLER(VecP64ReverseP) { return delegate(state, insn, sve_rev_pp, pd(insn, kQualD), pn(insn, kQualD)); }
SVE_HANDLER(VecP8Zip1PP) { return permute_kernel<uint8_t>(state, insn, sve_zip1_ppp); }
SVE_HANDLER(VecP16Zip1PP) { return permute_kernel<uint16_t>(state, insn, sve_zip1_ppp); }
SVE_HANDLER(VecP32Zip1PP) { return permute_kernel<uint32_t>(state, insn, sve_zip1_ppp); }
SVE_HANDLER(VecP64Zip1PP) { return permute_kernel<uint64_t>(state, insn, sve_zip1_ppp); }
SVE_HANDLER(VecP8Zip2PP) { return permute_kernel<uint8_t>(state, insn, sve_zip2_ppp); }
SVE_HANDLER(VecP16Zip2PP) { return permute_kernel<uint16_t>(state, insn, sve_zip2_ppp); }
SVE_HANDLER(VecP32Zip2PP) { return permute_kernel<uint32_t>(state, insn, sve_zip2_ppp); }
SVE_HANDLER(VecP64Zip2PP) { return permute_kernel<uint64_t>(state, insn, sve_zip2_ppp); }
SVE_HANDLER(VecP8Uzp1PP) { return permute_kernel<uint8_t>(state, insn, sve_uzp1_ppp); }
SVE_HANDLER(VecP16Uzp1PP) { return permute_kernel<uint16_t>(state, insn, sve_uzp1_ppp); }
SVE_HANDLER(VecP32Uzp1PP) { return permute_kernel<uint32_t>(state, insn, sve_uzp1_ppp); }
SVE_HANDLER(VecP64Uzp1PP) { return permute_kernel<uint64_t>(state, insn, sve_uzp1_ppp); }
SVE_HANDLER(VecP8Uzp2PP) { return permute<uint8_t>(state, insn, predicate_permute_kind::uzp2); }
SVE_HANDLER(VecP16Uzp2PP) { return permute<uint16_t>(state, insn, predicate_permute_kind::uzp2); }
SVE_HANDLER(VecP32Uzp2PP) { return permute<uint32_t>(state, insn, predicate_permute_kind::uzp2); }
SVE_HANDLER(VecP64Uzp2PP) { return permute<uint64_t>(state, insn, predicate_permute_kind::uzp2); }
SVE_HANDLER(VecP8Trn1PP) { return permute<uint8_t>(state, insn, predicate_permute_kind::trn1); }
SVE_HANDLER(VecP16Trn1PP) { return permute<uint16_t>(state, insn, predicate_permute_kind::trn1); }
SVE_HANDLER(VecP32Trn1PP) { return permute<uint32_t>(state, insn, predicate_permute_kind::trn1); }
SVE_HANDLER(VecP64Trn1PP) { return permute<uint64_t>(state, insn, predicate_permute_kind::trn1); }
SVE_HANDLER(VecP8Trn2PP) { return permute<uint8_t>(state, insn, predicate_permute_kind::trn2); }
SVE_HANDLER(VecP16Trn2PP) { return permute<uint16_t>(state, insn, predicate_permute_kind::trn2); }
SVE_HANDLER(VecP32Trn2PP) { return permute<uint32_t>(state, insn, predicate_permute_kind::trn2); }
SVE_HANDLER(VecP64Trn2PP) { return permute<uint64_t>(state, insn, predicate_permute_kind::trn2); }
SVE_HANDLER(VecPUnpackLoP) { return delegate(state, insn, sve_punpklo_pp, pd(insn, kQualH), pn(insn)); }
SVE_HANDLER(VecPUnpackHiP) { return delegate(state, insn, sve_punpkhi_pp, pd(insn, kQualH), pn(insn)); }

}  // namespace

#define SVE_FAMILY predicate
#include "sve/handlers/family_bindings.inc"
