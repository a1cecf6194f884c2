// Whole-register single- and double-precision operations on the host's
// floating-point unit (through host_fp.h): arithmetic, fused negated
// multiply-add, estimates, rounding, compares, min/max and their reductions,
// integer conversions and the FDUP broadcast.
//
// Each kernel that can raise exceptions takes the emulated FPCR (`fpcr`: RMode,
// FZ, DN, AHP) it computes under and ORs the cumulative exception flags raised
// by its active elements into *raised; the caller merges them into FPSR.
// Element size comes from Zd's qualifier (kQualS binary32, kQualD binary64;
// compares and reductions: Zn's), except for the conversions, whose sizes are
// in their names. Predicated forms merge; each element is written after it is
// read, so a destination may equal a source.
#pragma once

#include <cstdint>

#include "sve/state/cpu_state.h"

// Zd = Zn op Zm, unpredicated.
aarch64_decode_rc sve_fadd_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fsub_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fmul_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, uint32_t fpcr,
                               uint32_t *raised);
// 2.0 - Zn * Zm (one rounding).
aarch64_decode_rc sve_frecps_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, uint32_t fpcr,
                                 uint32_t *raised);
// Reciprocal estimate, unpredicated.
aarch64_decode_rc sve_frecpe_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, uint32_t fpcr, uint32_t *raised);

// Zdn = Zdn op Zm (fsubr, fdivr: Zm op Zdn), predicated.
aarch64_decode_rc sve_fadd_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fsub_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fsubr_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_fmul_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fdiv_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fdivr_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_fmax_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fmaxnm_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                                 uint32_t *raised);
aarch64_decode_rc sve_fminnm_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,
                                 uint32_t *raised);

// Zdn = Zdn op imm (fsubr: imm - Zdn), predicated; `i1` selects 0.5 or 1.0
// (fmul: 0.5 or 2.0).
aarch64_decode_rc sve_fadd_zpi(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, unsigned i1, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fsub_zpi(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, unsigned i1, uint32_t fpcr,
                               uint32_t *raised);
aarch64_decode_rc sve_fsubr_zpi(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, unsigned i1, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_fmul_zpi(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, unsigned i1, uint32_t fpcr,
                               uint32_t *raised);

// Zd = op(Zn), predicated.
aarch64_decode_rc sve_fsqrt_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_frinta_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                 uint32_t *raised);
// Sign flipped, NaNs included; raises nothing.
aarch64_decode_rc sve_fneg_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);

// The multiply-adds, one rounding, predicated; negation flips the sign (NaNs
// included) before the operation. FMLA family: Zda = [-]Zda + [-]Zn * Zm
// (fmla: Zda + Zn*Zm, fmls: Zda - Zn*Zm, fnmla: -Zda - Zn*Zm, fnmls: -Zda + Zn*Zm).
#define SVE_FP_MLA_KERNEL(name)                                                                                            \
    aarch64_decode_rc name(cpu_state *state, aarch64_z_reg zda, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm, \
                           uint32_t fpcr, uint32_t *raised);
SVE_FP_MLA_KERNEL(sve_fmla_zpzz)
SVE_FP_MLA_KERNEL(sve_fmls_zpzz)
SVE_FP_MLA_KERNEL(sve_fnmla_zpzz)
SVE_FP_MLA_KERNEL(sve_fnmls_zpzz)
#undef SVE_FP_MLA_KERNEL
// FMAD family: Zdn = [-]Za + [-]Zdn * Zm (fmad: Za + Zdn*Zm, fmsb: Za - Zdn*Zm,
// fnmad: -Za - Zdn*Zm, fnmsb: -Za + Zdn*Zm).
#define SVE_FP_MAD_KERNEL(name)                                                                                            \
    aarch64_decode_rc name(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, aarch64_z_reg za, \
                           uint32_t fpcr, uint32_t *raised);
SVE_FP_MAD_KERNEL(sve_fmad_zpzz)
SVE_FP_MAD_KERNEL(sve_fmsb_zpzz)
SVE_FP_MAD_KERNEL(sve_fnmad_zpzz)
SVE_FP_MAD_KERNEL(sve_fnmsb_zpzz)
#undef SVE_FP_MAD_KERNEL

// Pd = Zn cmp Zm (or #0.0) for active elements, false for inactive ones; no
// condition flags.
aarch64_decode_rc sve_fcmeq_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm,
                                 uint32_t fpcr, uint32_t *raised);
aarch64_decode_rc sve_fcmne_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm,
                                 uint32_t fpcr, uint32_t *raised);
aarch64_decode_rc sve_fcmge_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm,
                                 uint32_t fpcr, uint32_t *raised);
aarch64_decode_rc sve_fcmgt_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm,
                                 uint32_t fpcr, uint32_t *raised);
aarch64_decode_rc sve_fcmuo_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm,
                                 uint32_t fpcr, uint32_t *raised);
// |Zn| >= |Zm| and |Zn| > |Zm|.
aarch64_decode_rc sve_facge_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm,
                                 uint32_t fpcr, uint32_t *raised);
aarch64_decode_rc sve_facgt_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm,
                                 uint32_t fpcr, uint32_t *raised);
aarch64_decode_rc sve_fcmeq_ppz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_fcmne_ppz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_fcmge_ppz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_fcmgt_ppz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_fcmle_ppz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                uint32_t *raised);
aarch64_decode_rc sve_fcmlt_ppz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                uint32_t *raised);

// maxNum / minNum of the active elements by a pairwise tree (inactive elements
// are the default NaN) into element 0 of Vd, the rest of Vd zero.
aarch64_decode_rc sve_fmaxnmv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                  uint32_t *raised);
aarch64_decode_rc sve_fminnmv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                  uint32_t *raised);

// Integer to floating point, predicated, rounded with FPCR.RMode: s2s 32-bit to
// binary32; s2d the low 32 bits of each doubleword to binary64; d2d 64-bit to
// binary64; d2s 64-bit to binary32 in the low half of the doubleword (high
// half zero).
aarch64_decode_rc sve_scvtf_s2s_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised);
aarch64_decode_rc sve_ucvtf_s2s_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised);
aarch64_decode_rc sve_scvtf_s2d_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised);
aarch64_decode_rc sve_ucvtf_s2d_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised);
aarch64_decode_rc sve_scvtf_d2d_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised);
aarch64_decode_rc sve_ucvtf_d2d_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised);
aarch64_decode_rc sve_scvtf_d2s_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised);

// Every element of Zd = the raw pattern `bits` at Zd's element size (halfword,
// word or doubleword; byte codes are treated as halfwords). Raises nothing.
aarch64_decode_rc sve_fdup_zi(cpu_state *state, aarch64_z_reg zd, uint64_t bits);
