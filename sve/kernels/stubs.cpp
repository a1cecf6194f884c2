#include "sve/kernels/stubs.h"

#include <cstddef>
#include <cstdio>

aarch64_decode_rc report_unimplemented(const cpu_state *state, const char *name) {
    std::fprintf(stderr, "Unimplemented instruction: [  %tx:\t %08x\t %s  ]\n",
                 reinterpret_cast<ptrdiff_t>(state->pc), static_cast<unsigned>(state->insn), name);
    return DECODE_UNIMPLEMENTED;
}

#define SVE_STUB(name, ...) \
    aarch64_decode_rc name(cpu_state *state, __VA_ARGS__) { return report_unimplemented(state, #name); }
#include "sve/kernels/stub_list.def"
#undef SVE_STUB
