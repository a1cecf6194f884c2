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

// 16 bytes at a time, straight into Pd: each piece of Pg is read before the
// same piece of Pd (which may be Pg) is written.
aarch64_decode_rc sve_rdffr_pp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg) {
    typedef unsigned char piece __attribute__((vector_size(16)));
    const unsigned char *g = preg(state, pg);
    unsigned char *d = preg(state, pd);
    const piece one = piece{} + 1;
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        piece f, a;
        std::memcpy(&f, state->ffr + k, 16);
        std::memcpy(&a, g + k, 16);
        const piece r = f & a & one;
        std::memcpy(d + k, &r, 16);
    }
    return DECODE_OK;
}
