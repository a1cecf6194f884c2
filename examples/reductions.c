// Reductions, auto-vectorised: integer sums (UADDV/SADDV), minimum and maximum
// (SMINV/UMAXV), bitwise reductions (ORV/EORV/ANDV), a widening byte sum, a
// conditional count, and the strictly ordered floating-point sums (FADDA).
#include "example_check.h"

#define N 2051

static int32_t a32[N];
static int64_t a64[N];
static uint8_t bytes[N];
static uint16_t halves[N];
static float f32[N];
static double f64[N], g64[N];

struct results {
    int64_t sum32;
    int64_t min64, max64;
    uint64_t or16, eor16, and16;
    uint32_t byte_sum;
    int32_t count_big;
    float fsum;
    double dot;
};

#define REDUCTIONS(name, attr)                                                  \
    attr static void name(int n, struct results *r) {                          \
        int64_t sum32 = 0;                                                      \
        for (int i = 0; i < n; ++i) sum32 += a32[i];                            \
        int64_t mn = INT64_MAX, mx = INT64_MIN;                                 \
        for (int i = 0; i < n; ++i) {                                           \
            mn = a64[i] < mn ? a64[i] : mn;                                     \
            mx = a64[i] > mx ? a64[i] : mx;                                     \
        }                                                                       \
        uint16_t o = 0, e = 0, an = 0xffff;                                     \
        for (int i = 0; i < n; ++i) {                                           \
            o |= halves[i];                                                     \
            e ^= halves[i];                                                     \
            an &= halves[i] | 0x0101;                                           \
        }                                                                       \
        uint32_t bs = 0;                                                        \
        for (int i = 0; i < n; ++i) bs += bytes[i];                             \
        int32_t big = 0;                                                        \
        for (int i = 0; i < n; ++i) big += a32[i] > 1000;                       \
        float fs = 0.0f;                                                        \
        for (int i = 0; i < n; ++i) fs += f32[i];                               \
        double dot = 0.0;                                                       \
        for (int i = 0; i < n; ++i) dot += f64[i] * g64[i];                     \
        r->sum32 = sum32;                                                       \
        r->min64 = mn;                                                          \
        r->max64 = mx;                                                          \
        r->or16 = o;                                                            \
        r->eor16 = e;                                                           \
        r->and16 = an;                                                          \
        r->byte_sum = bs;                                                       \
        r->count_big = big;                                                     \
        r->fsum = fs;                                                           \
        r->dot = dot;                                                           \
    }

REDUCTIONS(reduce, KERNEL)
// The vectorised dot product multiplies, then adds in order (FMUL, FADDA):
// the reference must not fuse the two either.
REDUCTIONS(reduce_ref, SCALAR_REFERENCE __attribute__((optimize("fp-contract=off"))))

SCALAR_REFERENCE static void init(void) {
    uint32_t s = 12345;
    for (int i = 0; i < N; ++i) {
        s = s * 1103515245u + 12345u;
        a32[i] = (int32_t)(s >> 8) % 4000 - 1500;
        a64[i] = (int64_t)s * 1000003 - ((int64_t)1 << 40);
        bytes[i] = (uint8_t)(s >> 16);
        halves[i] = (uint16_t)(s >> 7);
        f32[i] = (float)((int)(s >> 20) - 2048) / 64.0f;  // sums not exact: order matters
        f64[i] = (double)(s >> 9) * 1e-3;
        g64[i] = 1.0 / (double)(i + 1);
    }
}

static void print_results(const char *tag, const struct results *r) {
    printf("%s: sum32 %lld min64 %lld max64 %lld or %llx eor %llx and %llx bytes %u big %d\n", tag,
           (long long)r->sum32, (long long)r->min64, (long long)r->max64,
           (unsigned long long)r->or16, (unsigned long long)r->eor16,
           (unsigned long long)r->and16, r->byte_sum, r->count_big);
    printf("%s: fsum %a dot %a\n", tag, r->fsum, r->dot);
}

int main(void) {
    init();
    static const int lengths[] = {1, 5, 64, 255, N};
    for (unsigned k = 0; k < sizeof lengths / sizeof lengths[0]; ++k) {
        struct results got, want;
        reduce(lengths[k], &got);
        reduce_ref(lengths[k], &want);
        expect_equal_u64("sum32", k, (uint64_t)got.sum32, (uint64_t)want.sum32);
        expect_equal_u64("min64", k, (uint64_t)got.min64, (uint64_t)want.min64);
        expect_equal_u64("max64", k, (uint64_t)got.max64, (uint64_t)want.max64);
        expect_equal_u64("or16", k, got.or16, want.or16);
        expect_equal_u64("eor16", k, got.eor16, want.eor16);
        expect_equal_u64("and16", k, got.and16, want.and16);
        expect_equal_u64("byte_sum", k, got.byte_sum, want.byte_sum);
        expect_equal_u64("count_big", k, (uint64_t)got.count_big, (uint64_t)want.count_big);
        expect_equal_bytes("fsum", &got.fsum, &want.fsum, 1, sizeof(float));
        expect_equal_bytes("dot", &got.dot, &want.dot, 1, sizeof(double));
        if (lengths[k] == N) print_results("reductions", &got);
        checksum_add(&got, sizeof got);
    }
    return report("reductions");
}
