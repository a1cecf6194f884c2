// Floating-point element operations, auto-vectorised: square root, division,
// the four directed roundings (FRINTM/P/Z/A), conversions between integers and
// floating point (SCVTF/UCVTF/FCVTZS) and between precisions (FCVT, including
// half precision), minimum/maximum (FMINNM/FMAXNM), absolute value and negation.
#include <math.h>

#include "example_check.h"

#define N 1111

static double d[N], dr[N], dr_ref[N];
static float f[N], fr[N], fr_ref[N];
static int32_t ir[N], ir_ref[N];
static int64_t lr[N], lr_ref[N];
static __fp16 hr[N], hr_ref[N];
static float hf[N], hf_ref[N];

#define FP_OPS(suffix, attr, DR, FR, IR, LR, HR, HF)                                 \
    attr static void fp_ops##suffix(int n) {                                         \
        for (int i = 0; i < n; ++i) DR[i] = sqrt(fabs(d[i])) / (d[i] + 0.5);         \
        for (int i = 0; i < n; ++i)                                                  \
            FR[i] = floorf(f[i]) + ceilf(f[i]) * 2.0f + truncf(f[i]) * 4.0f +        \
                    roundf(f[i]) * 8.0f;                                             \
        for (int i = 0; i < n; ++i) IR[i] = (int32_t)(f[i] * 3.0f) + (int32_t)(float)i; \
        for (int i = 0; i < n; ++i) LR[i] = (int64_t)d[i] + (int64_t)(double)(uint64_t)i; \
        for (int i = 0; i < n; ++i) HR[i] = (__fp16)f[i];                             \
        for (int i = 0; i < n; ++i) HF[i] = (float)HR[i] + (float)d[i];               \
        for (int i = 0; i < n; ++i) FR[i] += fmaxf(f[i], -fabsf(f[i] - 1.0f)) - fminf(f[i], 2.0f); \
    }

FP_OPS(, KERNEL, dr, fr, ir, lr, hr, hf)
FP_OPS(_ref, SCALAR_REFERENCE, dr_ref, fr_ref, ir_ref, lr_ref, hr_ref, hf_ref)

SCALAR_REFERENCE static void init(void) {
    for (int i = 0; i < N; ++i) {
        d[i] = (i - 555) * 1.3125 + 0.1;
        f[i] = (float)(i - 500) * 0.37f;
    }
    f[0] = 2.5f;  // ties for roundf
    f[1] = -2.5f;
    f[2] = 65504.0f * 2.0f;  // overflows half precision
    f[3] = 1e-8f;            // underflows half precision
}

int main(void) {
    init();
    fp_ops(N);
    fp_ops_ref(N);
    expect_equal_bytes("double", dr, dr_ref, N, 8);
    expect_equal_bytes("float", fr, fr_ref, N, 4);
    expect_equal_bytes("int32", ir, ir_ref, N, 4);
    expect_equal_bytes("int64", lr, lr_ref, N, 8);
    expect_equal_bytes("half", hr, hr_ref, N, 2);
    expect_equal_bytes("half to float", hf, hf_ref, N, 4);
    printf("fp_math: d[7] = %a, f[0] = %a, f[1] = %a, i[9] = %d, l[9] = %lld, h[2] = %a, hf[3] = %a\n",
           dr[7], fr[0], fr[1], ir[9], (long long)lr[9], (double)hr[2], hf[3]);
    checksum_add(dr, sizeof dr);
    checksum_add(fr, sizeof fr);
    checksum_add(ir, sizeof ir);
    checksum_add(lr, sizeof lr);
    checksum_add(hr, sizeof hr);
    checksum_add(hf, sizeof hf);
    return report("fp_math");
}
