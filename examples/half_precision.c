// Half precision (_Float16) three ways: SVE loops (FMLA, FADD, FMAX on .H
// elements and an FADDV reduction), Advanced SIMD intrinsics on 8H vectors
// (arithmetic, fused multiply-add, square root, rounding, conversions,
// compares, across-lanes maximum) and plain scalar code (H-register arithmetic,
// compares and conversions to and from integers and other precisions). Every
// SVE processor has the scalar and Advanced SIMD half-precision instructions;
// on an Armv8.0 processor they are emulated too. Each result is checked against
// scalar code computing the same operations.
#include <arm_neon.h>
#include <arm_sve.h>
#include <math.h>

#include "example_check.h"

#define N 1027

static _Float16 a[N], b[N], c[N], d[N], want[N];

static void init(void) {
    for (int i = 0; i < N; ++i) {
        a[i] = (_Float16)((i % 37) * 0.125f - 2.0f);
        b[i] = (_Float16)(1.0f / (float)(i % 11 + 1));
        c[i] = (_Float16)((i % 5) * 3.5f);
    }
}

// d = a * b + c, and the maximum of each with c.
KERNEL static void fma_max(int n) {
    for (int i = 0; i < n; ++i) d[i] = a[i] * b[i] + c[i];
    for (int i = 0; i < n; ++i) d[i] = d[i] > c[i] ? d[i] : c[i];
}
SCALAR_REFERENCE static void fma_max_ref(int n) {
    for (int i = 0; i < n; ++i) want[i] = a[i] * b[i] + c[i];
    for (int i = 0; i < n; ++i) want[i] = want[i] > c[i] ? want[i] : c[i];
}

// An SVE reduction of half-precision elements, summed as FADDV sums them.
KERNEL static _Float16 sve_sum(int n) {
    svfloat16_t acc = svdup_f16(0);
    for (int i = 0; i < n; i += (int)svcnth()) {
        svbool_t pg = svwhilelt_b16(i, n);
        acc = svadd_f16_m(pg, acc, svld1_f16(pg, (const float16_t *)&a[i]));
    }
    return svaddv_f16(svptrue_b16(), acc);
}

// Advanced SIMD on eight halves at a time; the scalar code below does the same
// element by element. GCC's half-precision vector intrinsics ask for Armv8.2.
struct simd_results {
    _Float16 sum[8], fused[8], root[8], rounded[8], back[8], maxv;
    int16_t ints[8];
    uint16_t greater[8];
};

KERNEL __attribute__((target("arch=armv8.2-a+fp16+sve"))) static void simd(const _Float16 *x, const _Float16 *y, struct simd_results *r) {
    float16x8_t vx = vld1q_f16((const float16_t *)x), vy = vld1q_f16((const float16_t *)y);
    vst1q_f16((float16_t *)r->sum, vaddq_f16(vx, vy));
    vst1q_f16((float16_t *)r->fused, vfmaq_f16(vy, vx, vy));
    vst1q_f16((float16_t *)r->root, vsqrtq_f16(vabsq_f16(vx)));
    vst1q_f16((float16_t *)r->rounded, vrndnq_f16(vmulq_f16(vx, vy)));
    int16x8_t ints = vcvtq_s16_f16(vmulq_n_f16(vx, 100));
    vst1q_s16(r->ints, ints);
    vst1q_f16((float16_t *)r->back, vcvtq_f16_s16(ints));
    vst1q_u16(r->greater, vcgtq_f16(vx, vy));
    r->maxv = (_Float16)vmaxnmvq_f16(vx);
}

SCALAR_REFERENCE static void simd_ref(const _Float16 *x, const _Float16 *y, struct simd_results *r) {
    _Float16 m = x[0];
    for (int i = 0; i < 8; ++i) {
        r->sum[i] = x[i] + y[i];
        r->fused[i] = (_Float16)fma((double)x[i], (double)y[i], (double)y[i]);  // exact in double: one rounding
        _Float16 ax = x[i] < 0 ? -x[i] : x[i];
        r->root[i] = (_Float16)sqrt((double)ax);  // through double: the same rounding
        r->rounded[i] = (_Float16)nearbyintf((float)(_Float16)(x[i] * y[i]));
        r->ints[i] = (int16_t)(float)(_Float16)(x[i] * (_Float16)100);
        r->back[i] = (_Float16)r->ints[i];
        r->greater[i] = x[i] > y[i] ? 0xffff : 0;
        m = x[i] > m ? x[i] : m;
    }
    r->maxv = m;
}

// Scalar half precision: division, compares, conversions between H and W, X,
// S and D registers.
KERNEL static double scalar_mix(int n) {
    double total = 0;
    for (int i = 1; i < n; ++i) {
        _Float16 q = a[i] / b[i];
        long k = (long)q;
        float f = (float)q;
        total += (double)(q < c[i] ? c[i] - q : q - c[i]) + (double)k * 0.5 + (double)f;
        total += (double)(_Float16)(unsigned)(i & 63);
    }
    return total;
}

int main(void) {
    init();
    static const int lengths[] = {1, 7, 128, 129, N};
    for (unsigned k = 0; k < sizeof lengths / sizeof lengths[0]; ++k) {
        const int n = lengths[k];
        fma_max(n);
        fma_max_ref(n);
        expect_equal_bytes("fma_max", d, want, (size_t)n, sizeof(_Float16));
        checksum_add(d, (size_t)n * sizeof(_Float16));
    }
    _Float16 sum = sve_sum(N);
    checksum_add(&sum, sizeof sum);

    for (int i = 0; i + 8 <= 64; i += 8) {
        struct simd_results got, ref;
        simd(&a[i], &b[i], &got);
        simd_ref(&a[i], &b[i], &ref);
        expect_equal_bytes("sum", got.sum, ref.sum, 8, 2);
        expect_equal_bytes("fused", got.fused, ref.fused, 8, 2);
        expect_equal_bytes("root", got.root, ref.root, 8, 2);
        expect_equal_bytes("rounded", got.rounded, ref.rounded, 8, 2);
        expect_equal_bytes("ints", got.ints, ref.ints, 8, 2);
        expect_equal_bytes("back", got.back, ref.back, 8, 2);
        expect_equal_bytes("greater", got.greater, ref.greater, 8, 2);
        expect_equal_bytes("maxv", &got.maxv, &ref.maxv, 1, 2);
        checksum_add(&got, sizeof got);
    }
    const double mix = scalar_mix(N);
    checksum_add(&mix, sizeof mix);
    printf("half_precision: d[%d] %a, sum %a, mix %a\n", N - 1, (double)d[N - 1], (double)sum, mix);
    return report("half_precision");
}
