// Indexed and conditional memory access: an auto-vectorised gather through
// 32-bit indices, an ACLE gather through 64-bit indices (GCC does not
// vectorise that one by itself), a scatter through a permutation, and loads and
// stores under a condition (predicated LD1/ST1).
#include <arm_sve.h>

#include "example_check.h"

#define N 1500
#define TABLE 4096

static double table[TABLE];
static float ftable[TABLE];
static int32_t idx32[N];
static int64_t idx64[N];
static uint32_t perm[N];
static double out_d[N], out_d_ref[N];
static float out_f[N], out_f_ref[N];
static int32_t scattered[N], scattered_ref[N];
static int32_t cond_src[N], cond_dst[N], cond_dst_ref[N];

#define KERNELS(suffix, attr, of, sc, cd)                                           \
    attr static void gather_f##suffix(int n) {                                      \
        for (int i = 0; i < n; ++i) of[i] = ftable[idx32[i]] + 1.0f;                 \
    }                                                                               \
    attr static void scatter##suffix(int n) {                                       \
        for (int i = 0; i < n; ++i) sc[perm[i]] = i * 3 + 1;                         \
    }                                                                               \
    attr static void conditional##suffix(int n) {                                   \
        for (int i = 0; i < n; ++i)                                                 \
            if (cond_src[i] > 0) cd[i] = cond_src[i] * 5 + cd[i];                    \
    }

KERNEL static void gather_d(int n) {
    for (int i = 0; i < n; i += (int)svcntd()) {
        svbool_t pg = svwhilelt_b64_s32(i, n);
        svint64_t index = svld1_s64(pg, idx64 + i);
        svfloat64_t v = svld1_gather_s64index_f64(pg, table, index);
        svst1_f64(pg, out_d + i, svmul_n_f64_x(pg, v, 2.0));
    }
}

SCALAR_REFERENCE static void gather_d_ref(int n) {
    for (int i = 0; i < n; ++i) out_d_ref[i] = table[idx64[i]] * 2.0;
}

KERNELS(, KERNEL, out_f, scattered, cond_dst)
KERNELS(_ref, SCALAR_REFERENCE, out_f_ref, scattered_ref, cond_dst_ref)

SCALAR_REFERENCE static void init(void) {
    uint32_t s = 777;
    for (int i = 0; i < TABLE; ++i) {
        table[i] = i * 0.75 - 100.0;
        ftable[i] = (float)(i % 97) * 0.5f;
    }
    for (int i = 0; i < N; ++i) {
        s = s * 1664525u + 1013904223u;
        idx32[i] = (int32_t)(s % TABLE);
        idx64[i] = (int64_t)((s >> 7) % TABLE);
        perm[i] = (uint32_t)i;
        cond_src[i] = (int32_t)(s >> 20) - 2048;
        cond_dst[i] = cond_dst_ref[i] = i;
    }
    for (int i = N - 1; i > 0; --i) {  // Fisher-Yates
        s = s * 1664525u + 1013904223u;
        uint32_t j = s % (uint32_t)(i + 1), t = perm[i];
        perm[i] = perm[j];
        perm[j] = t;
    }
}

int main(void) {
    init();
    static const int lengths[] = {1, 33, N};
    for (unsigned k = 0; k < sizeof lengths / sizeof lengths[0]; ++k) {
        gather_d(lengths[k]);
        gather_d_ref(lengths[k]);
        gather_f(lengths[k]);
        gather_f_ref(lengths[k]);
        conditional(lengths[k]);
        conditional_ref(lengths[k]);
    }
    scatter(N);
    scatter_ref(N);
    expect_equal_bytes("gather_d", out_d, out_d_ref, N, sizeof(double));
    expect_equal_bytes("gather_f", out_f, out_f_ref, N, sizeof(float));
    expect_equal_bytes("scatter", scattered, scattered_ref, N, 4);
    expect_equal_bytes("conditional", cond_dst, cond_dst_ref, N, 4);
    printf("gather_scatter: out_d[7] = %g, out_f[7] = %g, scattered[7] = %d, cond[7] = %d\n",
           out_d[7], out_f[7], scattered[7], cond_dst[7]);
    checksum_add(out_d, sizeof out_d);
    checksum_add(out_f, sizeof out_f);
    checksum_add(scattered, sizeof scattered);
    checksum_add(cond_dst, sizeof cond_dst);
    return report("gather_scatter");
}
