// Integer vector compares into predicates; they set the condition flags.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_cmpeq_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_cmpne_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_cmpge_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_cmpgt_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_cmphs_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_cmphi_ppzz(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_cmpeq_ppzi(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm);
aarch64_decode_rc sve_cmpne_ppzi(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm);
aarch64_decode_rc sve_cmpgt_ppzi(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm);
aarch64_decode_rc sve_cmplt_ppzi(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm);
aarch64_decode_rc sve_cmple_ppzi(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm);
aarch64_decode_rc sve_cmphi_ppzi(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, unsigned int imm);
aarch64_decode_rc sve_cmplo_ppzi(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, unsigned int imm);

// The same compares for a caller that knows the element type T (uint8_t to
// uint64_t) and the condition: Pd = Pg AND (Zn cond Zm), or Zn cond IMM (taken
// at T's width), with the flags, by register number. IMM is the immediate
// already extended to 64 bits as the condition's signedness wants.
enum class int_cond { eq, ne, ge, gt, lt, le, hs, hi, lo, ls };
// (Defined in compare_lanes.h.)
template <typename T, int_cond C>
aarch64_decode_rc sve_compare_zz(cpu_state *state, unsigned pd, unsigned pg, unsigned zn, unsigned zm);
template <typename T, int_cond C>
aarch64_decode_rc sve_compare_zi(cpu_state *state, unsigned pd, unsigned pg, unsigned zn, uint64_t imm);
