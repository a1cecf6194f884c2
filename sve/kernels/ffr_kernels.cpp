#include "sve/kernels/ffr_kernels.h"

#include <cstring>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

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

// Straight into Pd, 64 bytes at a time (16 on other hosts): each piece of Pg is
// read before the same piece of Pd (which may be Pg) is written.
aarch64_decode_rc sve_rdffr_pp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg) {
    const unsigned char *g = preg(state, pg);
    unsigned char *d = preg(state, pd);
#if defined(__aarch64__)
    const uint8x16_t one = vdupq_n_u8(1);
#pragma GCC unroll 4
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        const uint8x16x4_t f = vld1q_u8_x4(state->ffr + k), a = vld1q_u8_x4(g + k);
        uint8x16x4_t r;
        for (unsigned j = 0; j < 4; ++j) r.val[j] = vandq_u8(vandq_u8(f.val[j], a.val[j]), one);
        vst1q_u8_x4(d + k, r);
    }
#else
    typedef unsigned char piece __attribute__((vector_size(16)));
    const piece one = piece{} + 1;
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        piece f, a;
        std::memcpy(&f, state->ffr + k, 16);
        std::memcpy(&a, g + k, 16);
        const piece r = f & a & one;
        std::memcpy(d + k, &r, 16);
    }
#endif
    return DECODE_OK;
}
