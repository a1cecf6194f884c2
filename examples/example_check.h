// Shared by the example programs: result checksums and the verdict line.
//
// Every example computes its results with SVE code (auto-vectorised loops or
// ACLE intrinsics) and again with plain scalar code, prints a few values and a
// checksum of the results, and exits with 0 only when both agree.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

// Scalar reference code: never vectorised, never inlined into SVE loops.
#define SCALAR_REFERENCE __attribute__((noinline, optimize("no-tree-vectorize")))
// Keeps the compiler from folding a kernel into its caller.
#define KERNEL __attribute__((noinline))

static uint64_t checksum = 0xcbf29ce484222325ull;  // FNV-1a, 64-bit
static int mismatches = 0;

static inline void checksum_add(const void *data, size_t bytes) {
    const unsigned char *p = (const unsigned char *)data;
    for (size_t i = 0; i < bytes; ++i) {
        checksum ^= p[i];
        checksum *= 0x100000001b3ull;
    }
}

// Counts a mismatch and prints the first few.
static inline void expect_equal_u64(const char *what, size_t index, uint64_t got, uint64_t want) {
    if (got == want) return;
    if (mismatches < 8)
        printf("mismatch: %s[%zu] = 0x%llx, expected 0x%llx\n", what, index, (unsigned long long)got,
               (unsigned long long)want);
    ++mismatches;
}

// Compares two arrays of n elements of `size` bytes bit for bit.
static inline void expect_equal_bytes(const char *what, const void *got, const void *want, size_t n,
                                      size_t size) {
    const unsigned char *g = (const unsigned char *)got;
    const unsigned char *w = (const unsigned char *)want;
    for (size_t i = 0; i < n; ++i) {
        uint64_t a = 0, b = 0;
        for (size_t k = 0; k < size && k < 8; ++k) {
            a |= (uint64_t)g[i * size + k] << (8 * k);
            b |= (uint64_t)w[i * size + k] << (8 * k);
        }
        expect_equal_u64(what, i, a, b);
    }
}

static inline int report(const char *name) {
    printf("%s: checksum %016llx\n", name, (unsigned long long)checksum);
    if (mismatches) {
        printf("%s: check FAILED (%d mismatches)\n", name, mismatches);
        return 1;
    }
    printf("%s: check ok\n", name);
    return 0;
}
