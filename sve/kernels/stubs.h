// Kernel entry points for instruction forms without emulation: each prints
// "Unimplemented instruction: [  <pc>:\t <word>\t <name>  ]" on stderr and
// returns DECODE_UNIMPLEMENTED, leaving the state unchanged.
#pragma once

#include "sve/state/cpu_state.h"

#define SVE_STUB(name, ...) aarch64_decode_rc name(cpu_state *state, __VA_ARGS__);
#include "sve/kernels/stub_list.def"
#undef SVE_STUB

// Prints the unimplemented-instruction line for `name` from the state's pc and insn.
aarch64_decode_rc report_unimplemented(const cpu_state *state, const char *name);
