// ACLE intrinsics across the main instruction groups: predicated arithmetic
// with WHILELT loops, INDEX/DUP, compares and SEL, COMPACT, permutes (REV, TBL,
// ZIP1, UZP1, EXT), bit counts, shifts, saturating arithmetic, widening
// (SUNPKLO) and horizontal reductions.
#include <arm_sve.h>

#include "example_check.h"

#define N 777

static int32_t a[N], b[N], c[N], c_ref[N];
static int32_t packed[N], packed_ref[N];
static int16_t h[N];
static int32_t wide[N], wide_ref[N];
// Twelve vectors of results plus four scalars, for vectors of up to 2048 bits.
#define MISC (12 * 64 + 4)
static uint32_t misc[MISC], misc_ref[MISC];

// c = c + a * b, then c = max(c, -1000): MLA and SMAX under a WHILELT predicate.
KERNEL static void mla_clamp(int n) {
    for (int i = 0; i < n; i += (int)svcntw()) {
        svbool_t pg = svwhilelt_b32_s32(i, n);
        svint32_t va = svld1_s32(pg, a + i), vb = svld1_s32(pg, b + i), vc = svld1_s32(pg, c + i);
        vc = svmla_s32_m(pg, vc, va, vb);
        vc = svmax_n_s32_m(pg, vc, -1000);
        svst1_s32(pg, c + i, vc);
    }
}

SCALAR_REFERENCE static void mla_clamp_ref(int n) {
    for (int i = 0; i < n; ++i) {
        int32_t v = (int32_t)((uint32_t)c_ref[i] + (uint32_t)a[i] * (uint32_t)b[i]);
        c_ref[i] = v > -1000 ? v : -1000;
    }
}

// Keeps the odd elements of a, packed to the front (COMPACT, CNTP); returns how many.
KERNEL static int keep_odd(int n) {
    int out = 0;
    for (int i = 0; i < n; i += (int)svcntw()) {
        svbool_t pg = svwhilelt_b32_s32(i, n);
        svint32_t v = svld1_s32(pg, a + i);
        svbool_t odd = svcmpne_n_s32(pg, svand_n_s32_x(pg, v, 1), 0);
        svint32_t kept = svcompact_s32(odd, v);
        int count = (int)svcntp_b32(pg, odd);
        svst1_s32(svwhilelt_b32_s32(0, count), packed + out, kept);
        out += count;
    }
    return out;
}

SCALAR_REFERENCE static int keep_odd_ref(int n) {
    int out = 0;
    for (int i = 0; i < n; ++i)
        if (a[i] & 1) packed_ref[out++] = a[i];
    return out;
}

// Sign-extends int16 to int32 (SUNPKLO/SUNPKHI through svunpklo/svunpkhi).
KERNEL static void widen(int n) {
    for (int i = 0; i < n; i += (int)svcnth()) {
        svbool_t pg16 = svwhilelt_b16_s32(i, n);
        svint16_t v = svld1_s16(pg16, h + i);
        svint32_t lo = svunpklo_s32(v), hi = svunpkhi_s32(v);
        svbool_t pg_lo = svwhilelt_b32_s32(i, n);
        svbool_t pg_hi = svwhilelt_b32_s32(i + (int)svcntw(), n);
        svst1_s32(pg_lo, wide + i, lo);
        svst1_s32(pg_hi, wide + i + svcntw(), hi);
    }
}

SCALAR_REFERENCE static void widen_ref(int n) {
    for (int i = 0; i < n; ++i) wide_ref[i] = h[i];
}

// One vector's worth of permutes and bit operations on INDEX-generated data.
KERNEL static void permutes(uint32_t *out) {
    svbool_t all = svptrue_b32();
    uint64_t w = svcntw();
    svuint32_t idx = svindex_u32(0, 1);                    // 0, 1, 2, ...
    svuint32_t v = svmul_n_u32_x(all, idx, 0x9e3779b9u);  // scrambled
    svuint32_t rev = svrev_u32(v);
    svuint32_t tbl = svtbl_u32(v, svsub_n_u32_x(all, svdup_n_u32((uint32_t)w - 1), 0));
    svuint32_t zip = svzip1_u32(v, idx);
    svuint32_t uzp = svuzp1_u32(v, rev);
    svuint32_t ext = svext_u32(v, rev, 3);
    svuint32_t clz = svclz_u32_x(all, v);
    svuint32_t cnt = svcnt_u32_x(all, v);
    svuint32_t shl = svlsl_n_u32_x(all, v, 5);
    svuint32_t lsr = svlsr_wide_n_u32_x(all, v, 7);
    svuint32_t qadd = svqadd_u32(v, rev);
    svbool_t gt = svcmpgt_u32(all, v, rev);
    svuint32_t sel = svsel_u32(gt, v, rev);
    svst1_u32(all, out + 0 * w, v);
    svst1_u32(all, out + 1 * w, rev);
    svst1_u32(all, out + 2 * w, tbl);
    svst1_u32(all, out + 3 * w, zip);
    svst1_u32(all, out + 4 * w, uzp);
    svst1_u32(all, out + 5 * w, ext);
    svst1_u32(all, out + 6 * w, clz);
    svst1_u32(all, out + 7 * w, cnt);
    svst1_u32(all, out + 8 * w, shl);
    svst1_u32(all, out + 9 * w, lsr);
    svst1_u32(all, out + 10 * w, qadd);
    svst1_u32(all, out + 11 * w, sel);
    out[12 * w] = (uint32_t)svaddv_u32(all, v);
    out[12 * w + 1] = svmaxv_u32(all, v);
    out[12 * w + 2] = svminv_u32(all, v);
    out[12 * w + 3] = (uint32_t)svcntp_b32(all, gt);
}

SCALAR_REFERENCE static void permutes_ref(uint32_t *out, unsigned w) {
    uint32_t v[64], rev[64], idx[64];
    for (unsigned i = 0; i < w; ++i) {
        idx[i] = i;
        v[i] = i * 0x9e3779b9u;
    }
    for (unsigned i = 0; i < w; ++i) rev[i] = v[w - 1 - i];
    uint64_t sum = 0;
    uint32_t mx = 0, mn = UINT32_MAX, gts = 0;
    for (unsigned i = 0; i < w; ++i) {
        out[0 * w + i] = v[i];
        out[1 * w + i] = rev[i];
        out[2 * w + i] = v[w - 1];
        out[3 * w + i] = (i & 1) ? idx[i / 2] : v[i / 2];
        out[4 * w + i] = i < w / 2 ? v[2 * i] : rev[2 * (i - w / 2)];
        out[5 * w + i] = i + 3 < w ? v[i + 3] : rev[i + 3 - w];
        out[6 * w + i] = v[i] ? (uint32_t)__builtin_clz(v[i]) : 32;
        out[7 * w + i] = (uint32_t)__builtin_popcount(v[i]);
        out[8 * w + i] = v[i] << 5;
        out[9 * w + i] = v[i] >> 7;
        uint64_t s = (uint64_t)v[i] + rev[i];
        out[10 * w + i] = s > UINT32_MAX ? UINT32_MAX : (uint32_t)s;
        out[11 * w + i] = v[i] > rev[i] ? v[i] : rev[i];
        sum += v[i];
        mx = v[i] > mx ? v[i] : mx;
        mn = v[i] < mn ? v[i] : mn;
        gts += v[i] > rev[i];
    }
    out[12 * w] = (uint32_t)sum;
    out[12 * w + 1] = mx;
    out[12 * w + 2] = mn;
    out[12 * w + 3] = gts;
}

SCALAR_REFERENCE static void init(void) {
    for (int i = 0; i < N; ++i) {
        a[i] = i * 37 - 9000;
        b[i] = (i % 11) - 5;
        c[i] = c_ref[i] = 100 - i;
        h[i] = (int16_t)(i * 91 - 30000);
    }
}

int main(void) {
    init();
    unsigned w = (unsigned)svcntw();
    printf("acle_basics: %u bytes per vector\n", (unsigned)svcntb());
    if (w > 64) {
        printf("acle_basics: vector length %u bits not supported\n", w * 32);
        return 2;
    }
    static const int lengths[] = {0, 3, 64, N};
    for (unsigned k = 0; k < sizeof lengths / sizeof lengths[0]; ++k) {
        mla_clamp(lengths[k]);
        mla_clamp_ref(lengths[k]);
    }
    expect_equal_bytes("mla_clamp", c, c_ref, N, 4);

    int kept = keep_odd(N);
    expect_equal_u64("keep_odd count", 0, (uint64_t)kept, (uint64_t)keep_odd_ref(N));
    expect_equal_bytes("keep_odd", packed, packed_ref, (size_t)kept, 4);

    widen(N);
    widen_ref(N);
    expect_equal_bytes("widen", wide, wide_ref, N, 4);

    permutes(misc);
    permutes_ref(misc_ref, w);
    expect_equal_bytes("permutes", misc, misc_ref, 12 * w + 4, 4);

    printf("acle_basics: c[10] = %d, kept %d, wide[500] = %d, sum %u, max %u\n", c[10], kept,
           wide[500], misc[12 * w], misc[12 * w + 1]);
    checksum_add(c, sizeof c);
    checksum_add(packed, sizeof(int32_t) * (size_t)kept);
    checksum_add(wide, sizeof wide);
    checksum_add(misc, sizeof(uint32_t) * (12 * w + 4));
    return report("acle_basics");
}
