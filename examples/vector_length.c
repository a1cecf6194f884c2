// The vector length as a program sees it: element counts (CNTB/CNTH/CNTW/CNTD,
// RDVL) for every predicate-constraint pattern, and the pointer steps of
// vector-length-scaled loops (ADDVL/ADDPL, INCD). At 2048 bits: 256 bytes.
#include <arm_sve.h>

#include "example_check.h"

#define PATTERNS(X)                                                                      \
    X(SV_POW2) X(SV_VL1) X(SV_VL2) X(SV_VL3) X(SV_VL4) X(SV_VL5) X(SV_VL6) X(SV_VL7)     \
    X(SV_VL8) X(SV_VL16) X(SV_VL32) X(SV_VL64) X(SV_VL128) X(SV_VL256) X(SV_MUL4)        \
    X(SV_MUL3) X(SV_ALL)

// Elements a pattern selects out of n.
SCALAR_REFERENCE static uint64_t pattern_count(enum svpattern p, uint64_t n) {
    switch (p) {
    case SV_POW2: {
        uint64_t k = 1;
        while (k * 2 <= n) k *= 2;
        return n ? k : 0;
    }
    case SV_VL1: case SV_VL2: case SV_VL3: case SV_VL4: case SV_VL5: case SV_VL6: case SV_VL7:
    case SV_VL8: return (uint64_t)p <= n ? (uint64_t)p : 0;
    case SV_VL16: return n >= 16 ? 16 : 0;
    case SV_VL32: return n >= 32 ? 32 : 0;
    case SV_VL64: return n >= 64 ? 64 : 0;
    case SV_VL128: return n >= 128 ? 128 : 0;
    case SV_VL256: return n >= 256 ? 256 : 0;
    case SV_MUL4: return n - n % 4;
    case SV_MUL3: return n - n % 3;
    case SV_ALL: return n;
    default: return 0;
    }
}

// Counts per element size for one pattern; the pattern must be a constant.
#define COUNT_ROW(p)                                                                     \
    {                                                                                    \
        uint64_t got[4] = {svcntb_pat(p), svcnth_pat(p), svcntw_pat(p), svcntd_pat(p)};  \
        uint64_t n[4] = {svcntb(), svcnth(), svcntw(), svcntd()};                        \
        for (int k = 0; k < 4; ++k) expect_equal_u64(#p, (size_t)k, got[k], pattern_count(p, n[k])); \
        printf("vector_length: %-9s b %3llu h %3llu s %3llu d %3llu\n", #p,              \
               (unsigned long long)got[0], (unsigned long long)got[1],                   \
               (unsigned long long)got[2], (unsigned long long)got[3]);                  \
        checksum_add(got, sizeof got);                                                   \
    }

KERNEL static void counts(void) { PATTERNS(COUNT_ROW) }

// Steps a pointer by vector-length multiples: ADDVL, ADDPL, INCD on a scalar.
KERNEL static uint64_t steps(uint64_t x) {
    uint64_t r;
    asm volatile(".arch_extension sve\n"
                 "addvl %0, %1, #3\n"
                 "addpl %0, %0, #-5\n"
                 "incd %0, all, mul #4\n"
                 "decw %0\n"
                 : "=&r"(r)
                 : "r"(x));
    return r;
}

int main(void) {
    uint64_t bytes = svcntb();
    printf("vector_length: %llu bits\n", (unsigned long long)bytes * 8);
    expect_equal_u64("bytes is a multiple of 16", 0, bytes % 16, 0);
    counts();
    uint64_t s = steps(1000);
    expect_equal_u64("steps", 0, s, 1000 + 3 * bytes - 5 * (bytes / 8) + 4 * (bytes / 8) - bytes / 4);
    printf("vector_length: 1000 + 3 VL - 5 PL + 4 x CNTD - CNTW = %llu\n", (unsigned long long)s);
    checksum_add(&s, sizeof s);
    return report("vector_length");
}
