#include "sve/kernels/predicate_kernels.h"

#include <cstring>

#include "sve/kernels/kernel_common.h"
#include "sve/support/pred_pattern.h"

unsigned pattern_element_count(unsigned pattern, unsigned esize) {
    return VecTrueILength(pattern & 31, static_cast<int>(kVecBytes / esize));
}

aarch64_decode_rc sve_pfalse_p(cpu_state *state, aarch64_p_reg pd) {
    std::memset(preg(state, pd), 0, kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_ptrue_pi(cpu_state *state, aarch64_p_reg pd, int pattern) {
    const unsigned esize = esize_of(pd.qual);
    const unsigned count = pattern_element_count(static_cast<unsigned>(pattern), esize);
    unsigned char *p = preg(state, pd);
    for (unsigned i = 0; i < kVecBytes / esize; ++i) pred_write(p, i, esize, i < count);
    return DECODE_OK;
}
