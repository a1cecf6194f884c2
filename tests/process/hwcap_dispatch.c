/* A program that chooses its SVE code at run time, as libraries do: it asks the
 * auxiliary vector for HWCAP_SVE and the kernel for the vector length, and must
 * take its SVE path and compute the right result. */
#define _GNU_SOURCE
#include <arm_sve.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/auxv.h>
#include <sys/prctl.h>

#ifndef HWCAP_SVE
#define HWCAP_SVE (1ul << 22)
#endif
#ifndef PR_SVE_SET_VL
#define PR_SVE_SET_VL 50
#define PR_SVE_GET_VL 51
#define PR_SVE_SET_VL_ONEXEC (1 << 18)
#define PR_SVE_VL_LEN_MASK 0xffff
#define PR_SVE_VL_INHERIT (1 << 17)
#endif

static int failures;
#define CHECK(cond, ...)                                \
    do {                                                \
        if (!(cond)) {                                  \
            ++failures;                                 \
            printf("FAIL line %d: ", __LINE__);         \
            printf(__VA_ARGS__);                        \
            printf("\n");                               \
        }                                               \
    } while (0)

#define N 1003
static int32_t data[N];

#pragma GCC push_options
#pragma GCC optimize("no-tree-vectorize")
static int64_t sum_scalar(const int32_t *a, int n) {
    int64_t s = 0;
    for (int i = 0; i < n; ++i) s += a[i];
    return s;
}
#pragma GCC pop_options

static int64_t sum_sve(const int32_t *a, int n) {
    svint64_t acc = svdup_s64(0);
    for (int i = 0; i < n; i += (int)svcntd()) {
        svbool_t pg = svwhilelt_b64(i, n);
        acc = svadd_s64_m(pg, acc, svld1sw_s64(pg, a + i));
    }
    return svaddv_s64(svptrue_b64(), acc);
}

/* The raw auxiliary vector as the kernel handed it to the process. */
static int raw_auxv(unsigned long type, unsigned long *value) {
    FILE *f = fopen("/proc/self/auxv", "rb");
    if (!f) return 0;
    unsigned long pair[2];
    int found = 0;
    while (fread(pair, sizeof pair, 1, f) == 1 && pair[0] != AT_NULL) {
        if (pair[0] == type) {
            *value = pair[1];
            found = 1;
        }
    }
    fclose(f);
    return found;
}

static int set_vl(unsigned long arg) { return prctl(PR_SVE_SET_VL, arg, 0, 0, 0); }

int main(void) {
    setvbuf(stdout, NULL, _IONBF, 0);
    const char *ref = getenv("SVE_TEST_REFERENCE");
    const int reference = ref && ref[0] == '1';
    for (int i = 0; i < N; ++i) data[i] = (i * 7919) % 2001 - 1000;

    unsigned long hwcap = getauxval(AT_HWCAP), hwcap2 = getauxval(AT_HWCAP2), raw;
    CHECK(hwcap & HWCAP_SVE, "AT_HWCAP %#lx has no HWCAP_SVE", hwcap);
    /* Every SVE processor has the half-precision instructions (emulated where
       the processor lacks them); everything else as the processor has it. */
    const unsigned long half = HWCAP_FPHP | HWCAP_ASIMDHP;
    CHECK((hwcap & half) == half, "AT_HWCAP %#lx lacks HWCAP_FPHP or HWCAP_ASIMDHP", hwcap);
    if (raw_auxv(AT_HWCAP, &raw))
        CHECK((hwcap & ~(HWCAP_SVE | half)) == (raw & ~(HWCAP_SVE | half)), "AT_HWCAP %#lx, processor %#lx", hwcap,
              raw);
    if (raw_auxv(AT_HWCAP2, &raw)) CHECK(hwcap2 == raw, "AT_HWCAP2 %#lx, processor %#lx", hwcap2, raw);

    /* The dispatch. */
    int64_t want = sum_scalar(data, N), got;
    const char *path;
    if (getauxval(AT_HWCAP) & HWCAP_SVE) {
        path = "sve";
        got = sum_sve(data, N);
    } else {
        path = "scalar";
        got = sum_scalar(data, N);
    }
    printf("path: %s, vector length %d bits\n", path, (int)svcntb() * 8);
    CHECK(strcmp(path, "sve") == 0, "took the %s path", path);
    CHECK(got == want, "sum %lld, want %lld", (long long)got, (long long)want);

    /* The vector length the kernel reports and lets the program choose. */
    int vl = prctl(PR_SVE_GET_VL, 0, 0, 0, 0);
    CHECK(vl >= 0 && (vl & PR_SVE_VL_LEN_MASK) == 256, "PR_SVE_GET_VL gives %d (errno %d)", vl, errno);
    CHECK((unsigned)svcntb() == 256u, "svcntb() is %u", (unsigned)svcntb());
    CHECK((set_vl(256) & PR_SVE_VL_LEN_MASK) == 256, "PR_SVE_SET_VL 256");
    if (!reference) {
        /* Only 2048 bits exist: every valid request gives 256 bytes. QEMU's own
         * SVE offers the shorter lengths too and keeps no inheritance flag. */
        CHECK(set_vl(16) == 256, "PR_SVE_SET_VL 16 gives %d", set_vl(16));
        CHECK(set_vl(8192) == 256, "PR_SVE_SET_VL 8192");
        CHECK(set_vl(256 | PR_SVE_VL_INHERIT) == (256 | PR_SVE_VL_INHERIT), "inherit set");
        CHECK(prctl(PR_SVE_GET_VL, 0, 0, 0, 0) == (256 | PR_SVE_VL_INHERIT), "inherit reported");
        CHECK(set_vl(512 | PR_SVE_SET_VL_ONEXEC) == 256, "on exec");
        CHECK(prctl(PR_SVE_GET_VL, 0, 0, 0, 0) == 256, "inherit cleared by the next set");
        static const unsigned long invalid[] = {0, 8, 17, 8208, 0xfff0, 256 | (1ul << 16),
                                                256 | (1ul << 20)};
        for (unsigned i = 0; i < sizeof invalid / sizeof invalid[0]; ++i) {
            errno = 0;
            int r = set_vl(invalid[i]);
            CHECK(r == -1 && errno == EINVAL, "PR_SVE_SET_VL %#lx gives %d errno %d", invalid[i], r, errno);
        }
        CHECK((unsigned)svcntb() == 256u, "svcntb() after the requests is %u", (unsigned)svcntb());
    }
    /* Other options still reach the kernel. */
    char name[16] = {0};
    CHECK(prctl(PR_SET_NAME, "dispatch", 0, 0, 0) == 0 && prctl(PR_GET_NAME, name, 0, 0, 0) == 0 &&
              strcmp(name, "dispatch") == 0,
          "PR_SET_NAME/PR_GET_NAME: '%s'", name);

    printf("%s: %d failures\n", failures ? "FAIL" : "PASS", failures);
    return failures ? 1 : 0;
}
