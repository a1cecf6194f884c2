// Vector-length and element-count arithmetic on general registers.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_rdvl_ri(cpu_state *state, aarch64_i_reg rd, int imm);
aarch64_decode_rc sve_addvl_rri(cpu_state *state, aarch64_i_rsp_reg rd, aarch64_i_rsp_reg rn, int imm);
aarch64_decode_rc sve_addpl_rri(cpu_state *state, aarch64_i_rsp_reg rd, aarch64_i_rsp_reg rn, int imm);

aarch64_decode_rc sve_incb_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);
aarch64_decode_rc sve_inch_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);
aarch64_decode_rc sve_incw_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);
aarch64_decode_rc sve_incd_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);
aarch64_decode_rc sve_decb_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);
aarch64_decode_rc sve_dech_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);
aarch64_decode_rc sve_decw_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);
aarch64_decode_rc sve_decd_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);

aarch64_decode_rc sve_inch_zii(cpu_state *state, aarch64_z_reg zdn, int pattern, int multiplier);
aarch64_decode_rc sve_incw_zii(cpu_state *state, aarch64_z_reg zdn, int pattern, int multiplier);
aarch64_decode_rc sve_incd_zii(cpu_state *state, aarch64_z_reg zdn, int pattern, int multiplier);
aarch64_decode_rc sve_dech_zii(cpu_state *state, aarch64_z_reg zdn, int pattern, int multiplier);
aarch64_decode_rc sve_decw_zii(cpu_state *state, aarch64_z_reg zdn, int pattern, int multiplier);
aarch64_decode_rc sve_decd_zii(cpu_state *state, aarch64_z_reg zdn, int pattern, int multiplier);
// Unsigned saturating decrement of a W (qualifier other than 3) or X register.
aarch64_decode_rc sve_uqdecb_rii(cpu_state *state, aarch64_i_reg rdn, int pattern, int multiplier);
