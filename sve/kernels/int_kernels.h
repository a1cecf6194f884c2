// Element-wise integer arithmetic on Z registers.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_add_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_sub_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_add_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_sub_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_add_zi(cpu_state *state, aarch64_z_reg zdn, unsigned int imm);
aarch64_decode_rc sve_sub_zi(cpu_state *state, aarch64_z_reg zdn, unsigned int imm);
