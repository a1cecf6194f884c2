// Dense kernels, auto-vectorised: a single-precision matrix product (FMLA with
// a broadcast operand), a double-precision three-point stencil (unaligned
// overlapping loads) and an int16 dot product widened to int64.
#include "example_check.h"

#define M 37
#define K 29
#define P 300
#define S 2000

static float A[M][K], B[K][P], C[M][P], C_ref[M][P];
static double in[S], out[S], out_ref[S];
static int16_t va[S], vb[S];

#define DENSE(suffix, attr, CM, OUT)                                                  \
    attr static void matmul##suffix(void) {                                           \
        for (int i = 0; i < M; ++i)                                                   \
            for (int k = 0; k < K; ++k)                                               \
                for (int j = 0; j < P; ++j) CM[i][j] += A[i][k] * B[k][j];            \
    }                                                                                 \
    attr static void stencil##suffix(void) {                                          \
        for (int i = 1; i < S - 1; ++i) OUT[i] = 0.25 * in[i - 1] + 0.5 * in[i] + 0.25 * in[i + 1]; \
    }                                                                                 \
    attr static int64_t dot16##suffix(void) {                                         \
        int64_t s = 0;                                                                \
        for (int i = 0; i < S; ++i) s += (int64_t)va[i] * vb[i];                       \
        return s;                                                                     \
    }

DENSE(, KERNEL, C, out)
DENSE(_ref, SCALAR_REFERENCE, C_ref, out_ref)

SCALAR_REFERENCE static void init(void) {
    // Small integers and halves: every product and partial sum is exact, so
    // fused and unfused evaluation agree.
    for (int i = 0; i < M; ++i)
        for (int k = 0; k < K; ++k) A[i][k] = (float)((i * 3 + k) % 7) - 3.0f;
    for (int k = 0; k < K; ++k)
        for (int j = 0; j < P; ++j) B[k][j] = (float)((k + j * 5) % 9) * 0.5f;
    for (int i = 0; i < S; ++i) {
        in[i] = (double)((i * 37) % 101) - 50.0;
        va[i] = (int16_t)(i * 1237 - 20000);
        vb[i] = (int16_t)(32000 - i * 31);
    }
}

int main(void) {
    init();
    matmul();
    matmul_ref();
    stencil();
    stencil_ref();
    int64_t dot = dot16(), dot_ref = dot16_ref();
    expect_equal_bytes("matmul", C, C_ref, M * P, 4);
    expect_equal_bytes("stencil", out, out_ref, S, 8);
    expect_equal_u64("dot16", 0, (uint64_t)dot, (uint64_t)dot_ref);
    printf("matmul: C[3][7] = %g, C[36][299] = %g, out[100] = %g, dot = %lld\n", C[3][7], C[36][299],
           out[100], (long long)dot);
    checksum_add(C, sizeof C);
    checksum_add(out, sizeof out);
    checksum_add(&dot, sizeof dot);
    return report("matmul");
}
