// Broadcasts, copies, selects, moves and index generation into Z registers.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_dup_zi(cpu_state *state, aarch64_z_reg zd, int imm);
aarch64_decode_rc sve_dup_zr(cpu_state *state, aarch64_z_reg zd, aarch64_i_rsp_reg rn);
aarch64_decode_rc sve_dup_zzi(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, int index);
aarch64_decode_rc sve_cpy_zpi(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, int imm);
aarch64_decode_rc sve_cpy_zpr(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_i_rsp_reg rn);
aarch64_decode_rc sve_cpy_zpv(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, unsigned int vn);
aarch64_decode_rc sve_sel_zpzz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_movprfx_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_movprfx_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_index_zii(cpu_state *state, aarch64_z_reg zd, int start, int step);
aarch64_decode_rc sve_index_zir(cpu_state *state, aarch64_z_reg zd, int start, aarch64_i_reg step);
aarch64_decode_rc sve_index_zri(cpu_state *state, aarch64_z_reg zd, aarch64_i_reg start, int step);
aarch64_decode_rc sve_index_zrr(cpu_state *state, aarch64_z_reg zd, aarch64_i_reg start, aarch64_i_reg step);
aarch64_decode_rc sve_adr_scaled_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
