// Shifts, extensions and bit/word reversal inside elements.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_lsl_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_lsr_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_asr_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_lsl_zpi(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, int shift);
aarch64_decode_rc sve_asr_zpi(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, int shift);
aarch64_decode_rc sve_lsl_zzi(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, int shift);
aarch64_decode_rc sve_asr_zzi(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, int shift);
aarch64_decode_rc sve_sxtb_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_sxth_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_sxtw_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_uxth_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_uxtw_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_rbit_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_revw_zpz(cpu_state *state, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn);
