#include "sve/kernels/ffr_kernels.h"

#include <cstring>

#include "sve/kernels/kernel_common.h"

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
    vec_buf r;
    const unsigned char *g = preg(state, pg);
    for (unsigned i = 0; i < kVecBytes; ++i) r.b[i] = state->ffr[i] & g[i] & 1;
    std::memcpy(preg(state, pd), r.b, kVecBytes);
    return DECODE_OK;
}
