// Structure loads and stores, auto-vectorised: three-float points (LD3W/ST3W),
// complex multiplication on interleaved pairs (LD2D/ST2D), RGB bytes to grey
// (LD3B) and four-channel byte swizzle (LD4B/ST4B).
#include "example_check.h"

#define N 1001

struct point { float x, y, z; };
struct rgba { uint8_t r, g, b, a; };

static struct point pts[N], moved[N], moved_ref[N];
static double cplx_a[2 * N], cplx_b[2 * N], cplx_r[2 * N], cplx_r_ref[2 * N];
static uint8_t rgb[3 * N], grey[N], grey_ref[N];
static struct rgba px[N], swz[N], swz_ref[N];

#define STRUCT_OPS(suffix, attr, MOVED, CR, GREY, SWZ)                                  \
    attr static void struct_ops##suffix(int n) {                                        \
        for (int i = 0; i < n; ++i) {                                                   \
            MOVED[i].x = pts[i].y + 1.0f;                                               \
            MOVED[i].y = pts[i].z * 2.0f;                                               \
            MOVED[i].z = pts[i].x - pts[i].y;                                           \
        }                                                                               \
        for (int i = 0; i < n; ++i) {                                                   \
            double ar = cplx_a[2 * i], ai = cplx_a[2 * i + 1];                          \
            double br = cplx_b[2 * i], bi = cplx_b[2 * i + 1];                          \
            CR[2 * i] = ar * br - ai * bi;                                              \
            CR[2 * i + 1] = ar * bi + ai * br;                                          \
        }                                                                               \
        for (int i = 0; i < n; ++i)                                                     \
            GREY[i] = (uint8_t)((rgb[3 * i] * 77 + rgb[3 * i + 1] * 150 + rgb[3 * i + 2] * 29) >> 8); \
        for (int i = 0; i < n; ++i) {                                                   \
            SWZ[i].r = px[i].b;                                                         \
            SWZ[i].g = px[i].a;                                                         \
            SWZ[i].b = px[i].r;                                                         \
            SWZ[i].a = (uint8_t)(px[i].g ^ 0x5a);                                       \
        }                                                                               \
    }

STRUCT_OPS(, KERNEL, moved, cplx_r, grey, swz)
// No product in the data below is zero and all are exact, so fused and unfused
// complex products agree, signs of zero included.
STRUCT_OPS(_ref, SCALAR_REFERENCE, moved_ref, cplx_r_ref, grey_ref, swz_ref)

SCALAR_REFERENCE static void init(void) {
    for (int i = 0; i < N; ++i) {
        pts[i].x = (float)i * 0.5f;
        pts[i].y = (float)(i % 7) - 3.0f;
        pts[i].z = (float)(i % 11) * 0.25f;
        cplx_a[2 * i] = (i % 5) - 2.5;
        cplx_a[2 * i + 1] = (i % 3) * 0.5 + 0.25;
        cplx_b[2 * i] = (i % 9) * 0.25 + 0.125;
        cplx_b[2 * i + 1] = 1.5 - (i % 4);
        rgb[3 * i] = (uint8_t)(i * 3);
        rgb[3 * i + 1] = (uint8_t)(i * 5 + 1);
        rgb[3 * i + 2] = (uint8_t)(i * 7 + 2);
        px[i].r = (uint8_t)i;
        px[i].g = (uint8_t)(i >> 2);
        px[i].b = (uint8_t)(255 - i);
        px[i].a = (uint8_t)(i * 13);
    }
}

int main(void) {
    init();
    struct_ops(N);
    struct_ops_ref(N);
    expect_equal_bytes("points", moved, moved_ref, 3 * N, 4);
    expect_equal_bytes("complex", cplx_r, cplx_r_ref, 2 * N, 8);
    expect_equal_bytes("grey", grey, grey_ref, N, 1);
    expect_equal_bytes("swizzle", swz, swz_ref, N, 4);
    printf("interleave: moved[5] = (%g, %g, %g), c[5] = %g%+gi, grey[5] = %u, swz[5] = %02x%02x%02x%02x\n",
           moved[5].x, moved[5].y, moved[5].z, cplx_r[10], cplx_r[11], grey[5], swz[5].r, swz[5].g,
           swz[5].b, swz[5].a);
    checksum_add(moved, sizeof moved);
    checksum_add(cplx_r, sizeof cplx_r);
    checksum_add(grey, sizeof grey);
    checksum_add(swz, sizeof swz);
    return report("interleave");
}
