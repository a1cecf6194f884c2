// The first-fault register: SETFFR, WRFFR, RDFFR.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_setffr(cpu_state *state);
aarch64_decode_rc sve_wrffr_p(cpu_state *state, aarch64_p_reg pn);
aarch64_decode_rc sve_rdffr_p(cpu_state *state, aarch64_p_reg pd);
aarch64_decode_rc sve_rdffr_pp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg);
