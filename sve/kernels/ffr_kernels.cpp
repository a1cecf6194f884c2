#include "sve/kernels/ffr_kernels.h"

#include <cstring>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

#include "sve/kernels/kernel_common.h"
#include "sve/kernels/predicate_inline.h"

aarch64_decode_rc sve_setffr(cpu_state *state) {
    std::memset(state->ffr, 1, kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_wrffr_p(cpu_state *state, aarch64_p_reg pn) {
    const unsigned char *src = preg(state, pn);
    for (unsigned i = 0; i < kVecBytes; ++i) state->ffr[i] = src[i] & 1;
    return DECODE_OK;
}

aarch64_decode_rc sve_rdffr_p(cpu_state *state, aarch64_p_reg pd) {
    unsigned char *dst = preg(state, pd);
    for (unsigned i = 0; i < kVecBytes; ++i) dst[i] = state->ffr[i] & 1;
    return DECODE_OK;
}

aarch64_decode_rc sve_rdffr_pp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg) {
    ffr_and(preg(state, pd), state->ffr, preg(state, pg));
    return DECODE_OK;
}
