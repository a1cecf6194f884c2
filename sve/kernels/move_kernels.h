// Broadcasts, copies and moves into Z registers.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_dup_zi(cpu_state *state, aarch64_z_reg zd, int imm);
aarch64_decode_rc sve_dup_zr(cpu_state *state, aarch64_z_reg zd, aarch64_i_rsp_reg rn);
