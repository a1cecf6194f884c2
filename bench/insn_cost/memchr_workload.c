/* A whole-workload figure: an SVE memchr (first-fault loop) called many times
 * on a short buffer, as string and parsing code calls it.
 *
 *   memchr_workload [CALLS] [BYTES]        (default 20000 calls on 64 bytes)
 *
 * The byte looked for is the last one, so every call scans the whole buffer.
 * Prints the wall time and checks every answer against a scalar loop. */
#include <arm_sve.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

__attribute__((noinline)) static const uint8_t *sve_memchr(const uint8_t *s, uint8_t c, size_t n) {
    size_t i = 0;
    svbool_t all = svptrue_b8();
    while (i < n) {
        svbool_t pg = svwhilelt_b8_u64(i, n);
        svsetffr();
        svuint8_t v = svldff1_u8(pg, s + i);
        svbool_t loaded = svand_b_z(pg, svrdffr(), pg);
        svbool_t hit = svcmpeq_n_u8(loaded, v, c);
        if (svptest_any(all, hit)) return s + i + svcntp_b8(all, svbrkb_b_z(all, hit));
        i += svcntp_b8(all, loaded);
    }
    return NULL;
}

int main(int argc, char **argv) {
    const long calls = argc > 1 ? atol(argv[1]) : 20000;
    const size_t bytes = argc > 2 ? (size_t)atol(argv[2]) : 64;
    uint8_t *buf = malloc(bytes + 1);
    if (buf == NULL || bytes == 0) return 2;
    for (size_t i = 0; i < bytes; ++i) buf[i] = (uint8_t)(i % 251 + 1);
    buf[bytes - 1] = 0;
    struct timespec t0, t1;
    clock_gettime(CLOCK_MONOTONIC, &t0);
    long wrong = 0;
    for (long k = 0; k < calls; ++k) {
        const uint8_t *p = sve_memchr(buf, 0, bytes);
        if (p != buf + bytes - 1) ++wrong;
    }
    clock_gettime(CLOCK_MONOTONIC, &t1);
    const double s = (double)(t1.tv_sec - t0.tv_sec) + 1e-9 * (double)(t1.tv_nsec - t0.tv_nsec);
    printf("memchr: %ld calls on %zu bytes in %.3f s, %ld wrong\n", calls, bytes, s, wrong);
    free(buf);
    return wrong != 0;
}
