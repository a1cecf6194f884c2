// y = a*x + y in double and single precision, auto-vectorised (WHILELO loops,
// LD1D/ST1D, FMLA), over lengths that leave partial last vectors.
#include "example_check.h"

#define N 1003

static double xd[N], yd[N], yd_ref[N];
static float xf[N], yf[N], yf_ref[N];

KERNEL static void daxpy(long n, double a, const double *restrict x, double *restrict y) {
    for (long i = 0; i < n; ++i) y[i] = a * x[i] + y[i];
}

KERNEL static void saxpy(long n, float a, const float *restrict x, float *restrict y) {
    for (long i = 0; i < n; ++i) y[i] = a * x[i] + y[i];
}

SCALAR_REFERENCE static void daxpy_ref(long n, double a, const double *x, double *y) {
    for (long i = 0; i < n; ++i) y[i] = a * x[i] + y[i];
}

SCALAR_REFERENCE static void saxpy_ref(long n, float a, const float *x, float *y) {
    for (long i = 0; i < n; ++i) y[i] = a * x[i] + y[i];
}

SCALAR_REFERENCE static void init(void) {
    for (int i = 0; i < N; ++i) {
        xd[i] = (i % 17) * 0.5 - 3.0;
        yd[i] = yd_ref[i] = i * 0.25;
        xf[i] = (float)((i % 13) * 0.125 - 0.5);
        yf[i] = yf_ref[i] = (float)(i % 29) * 1.5f;
    }
}

int main(void) {
    init();
    // Lengths: empty, one element, a part of one vector, a whole number of
    // 2048-bit vectors of doubles, and the whole array.
    static const long lengths[] = {0, 1, 7, 32, 64, N};
    for (unsigned k = 0; k < sizeof lengths / sizeof lengths[0]; ++k) {
        double a = 1.0 + k;
        daxpy(lengths[k], a, xd, yd);
        daxpy_ref(lengths[k], a, xd, yd_ref);
        saxpy(lengths[k], (float)a, xf, yf);
        saxpy_ref(lengths[k], (float)a, xf, yf_ref);
    }
    expect_equal_bytes("daxpy", yd, yd_ref, N, sizeof(double));
    expect_equal_bytes("saxpy", yf, yf_ref, N, sizeof(float));
    printf("daxpy: y[0] = %g, y[500] = %g, y[%d] = %g\n", yd[0], yd[500], N - 1, yd[N - 1]);
    printf("saxpy: y[0] = %g, y[500] = %g, y[%d] = %g\n", yf[0], yf[500], N - 1, yf[N - 1]);
    checksum_add(yd, sizeof yd);
    checksum_add(yf, sizeof yf);
    return report("daxpy");
}
