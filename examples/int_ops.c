// Integer element operations, auto-vectorised at every element size: absolute
// value, minimum/maximum, shifts, vector division (SDIV/UDIV), high half of a
// product, bit counts, saturating byte arithmetic, and widening and narrowing
// conversions (SUNPK/UUNPK, UZP1).
#include <limits.h>

#include "example_check.h"

#define N 1029

static int8_t s8a[N], s8b[N], s8r[N], s8r_ref[N];
static uint8_t u8a[N], u8b[N], u8r[N], u8r_ref[N];
static int16_t s16a[N], s16r[N], s16r_ref[N];
static int32_t s32a[N], s32b[N], s32r[N], s32r_ref[N];
static uint32_t u32a[N], u32r[N], u32r_ref[N];
static int64_t s64a[N], s64b[N], s64r[N], s64r_ref[N];
static uint64_t u64r[N], u64r_ref[N];

#define OPS(suffix, attr, S8R, U8R, S16R, S32R, U32R, S64R, U64R)                          \
    attr static void byte_ops##suffix(int n) {                                              \
        for (int i = 0; i < n; ++i) {                                                       \
            int v = s8a[i] + s8b[i];                                                        \
            S8R[i] = (int8_t)(v > 127 ? 127 : v < -128 ? -128 : v);                         \
        }                                                                                   \
        for (int i = 0; i < n; ++i) {                                                       \
            unsigned v = (unsigned)u8a[i] + u8b[i];                                         \
            U8R[i] = (uint8_t)(v > 255 ? 255 : v);                                          \
        }                                                                                   \
    }                                                                                       \
    attr static void half_ops##suffix(int n) {                                              \
        for (int i = 0; i < n; ++i) {                                                       \
            int16_t v = s16a[i];                                                            \
            S16R[i] = (int16_t)((v < 0 ? -v : v) >> 2) + (int16_t)(v * 3);                  \
        }                                                                                   \
    }                                                                                       \
    attr static void word_ops##suffix(int n) {                                              \
        for (int i = 0; i < n; ++i) {                                                       \
            int32_t d = s32b[i] == 0 ? 1 : s32b[i];                                         \
            S32R[i] = s32a[i] / d + (s32a[i] > s32b[i] ? s32a[i] : s32b[i]);                \
        }                                                                                   \
        for (int i = 0; i < n; ++i)                                                         \
            U32R[i] = (uint32_t)__builtin_popcount(u32a[i]) + (u32a[i] >> 3) +              \
                      (uint32_t)(((uint64_t)u32a[i] * 0x9e3779b9u) >> 32);                  \
    }                                                                                       \
    attr static void dword_ops##suffix(int n) {                                             \
        for (int i = 0; i < n; ++i) {                                                       \
            int64_t d = s64b[i] == 0 ? 1 : s64b[i];                                         \
            S64R[i] = (s64a[i] / d) ^ (s64a[i] << 3) ^ (s64a[i] < s64b[i] ? s64a[i] : s64b[i]); \
        }                                                                                   \
        for (int i = 0; i < n; ++i) U64R[i] = (uint64_t)s32a[i] + (uint64_t)(int64_t)s8a[i]; \
    }

OPS(, KERNEL, s8r, u8r, s16r, s32r, u32r, s64r, u64r)
OPS(_ref, SCALAR_REFERENCE, s8r_ref, u8r_ref, s16r_ref, s32r_ref, u32r_ref, s64r_ref, u64r_ref)

SCALAR_REFERENCE static void init(void) {
    uint64_t s = 0x243f6a8885a308d3ull;
    for (int i = 0; i < N; ++i) {
        s = s * 6364136223846793005ull + 1442695040888963407ull;
        s8a[i] = (int8_t)(s >> 56);
        s8b[i] = (int8_t)(s >> 48);
        u8a[i] = (uint8_t)(s >> 40);
        u8b[i] = (uint8_t)(s >> 32);
        s16a[i] = (int16_t)(s >> 24);
        s32a[i] = (int32_t)(s >> 16);
        s32b[i] = (int32_t)(s >> 40) % 1000;
        u32a[i] = (uint32_t)(s >> 3);
        s64a[i] = (int64_t)s;
        s64b[i] = (int64_t)(s >> 50) - 4000;
    }
    s32a[0] = INT32_MIN;
    s32b[0] = 3;
    s64a[1] = INT64_MIN;
    s64b[1] = 7;
}

int main(void) {
    init();
    byte_ops(N);
    byte_ops_ref(N);
    half_ops(N);
    half_ops_ref(N);
    word_ops(N);
    word_ops_ref(N);
    dword_ops(N);
    dword_ops_ref(N);
    expect_equal_bytes("s8", s8r, s8r_ref, N, 1);
    expect_equal_bytes("u8", u8r, u8r_ref, N, 1);
    expect_equal_bytes("s16", s16r, s16r_ref, N, 2);
    expect_equal_bytes("s32", s32r, s32r_ref, N, 4);
    expect_equal_bytes("u32", u32r, u32r_ref, N, 4);
    expect_equal_bytes("s64", s64r, s64r_ref, N, 8);
    expect_equal_bytes("u64", u64r, u64r_ref, N, 8);
    printf("int_ops: s8[3] = %d, u8[3] = %u, s16[3] = %d, s32[3] = %d, u32[3] = %u, s64[3] = %lld\n",
           s8r[3], u8r[3], s16r[3], s32r[3], u32r[3], (long long)s64r[3]);
    checksum_add(s8r, sizeof s8r);
    checksum_add(u8r, sizeof u8r);
    checksum_add(s16r, sizeof s16r);
    checksum_add(s32r, sizeof s32r);
    checksum_add(u32r, sizeof u32r);
    checksum_add(s64r, sizeof s64r);
    checksum_add(u64r, sizeof u64r);
    return report("int_ops");
}
