// String scanning with first-fault and non-fault loads (ACLE): strlen, strchr
// and a bounded byte count over strings that end right before an unmapped page,
// so that the vector loads reach into memory that cannot be read.
#include <arm_sve.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

#include "example_check.h"

KERNEL static size_t sve_strlen(const char *s) {
    const uint8_t *p = (const uint8_t *)s;
    svbool_t all = svptrue_b8();
    size_t len = 0;
    for (;;) {
        svsetffr();
        svuint8_t v = svldff1_u8(all, p + len);
        svbool_t loaded = svrdffr_z(all);
        svbool_t nul = svcmpeq_n_u8(loaded, v, 0);
        if (svptest_any(loaded, nul)) return len + svcntp_b8(loaded, svbrkb_z(loaded, nul));
        len += svcntp_b8(all, loaded);
    }
}

// The first occurrence of c, or null at the terminating NUL.
KERNEL static const char *sve_strchr(const char *s, char c) {
    const uint8_t *p = (const uint8_t *)s;
    svbool_t all = svptrue_b8();
    for (;;) {
        svsetffr();
        svuint8_t v = svldff1_u8(all, p);
        svbool_t loaded = svrdffr_z(all);
        svbool_t hit = svcmpeq_n_u8(loaded, v, (uint8_t)c);
        svbool_t nul = svcmpeq_n_u8(loaded, v, 0);
        svbool_t stop = svorr_b_z(loaded, hit, nul);
        if (svptest_any(loaded, stop)) {
            svbool_t before = svbrkb_z(loaded, stop);
            size_t at = svcntp_b8(loaded, before);
            return p[at] == (uint8_t)c ? (const char *)p + at : NULL;
        }
        p += svcntp_b8(all, loaded);
    }
}

// Counts the bytes equal to c among the first n, with non-faulting loads of
// whole vectors followed by a check of FFR; n must not reach unreadable memory,
// but the vectors beyond it may.
KERNEL static size_t sve_count_byte(const uint8_t *p, size_t n, uint8_t c) {
    size_t count = 0;
    for (size_t i = 0; i < n;) {
        svbool_t pg = svwhilelt_b8_u64(i, n);
        svsetffr();
        svuint8_t v = svldnf1_u8(svptrue_b8(), p + i);
        svbool_t loaded = svand_b_z(pg, svrdffr(), pg);
        count += svcntp_b8(loaded, svcmpeq_n_u8(loaded, v, c));
        i += svcntp_b8(pg, loaded);
    }
    return count;
}

SCALAR_REFERENCE static size_t ref_strlen(const char *s) {
    size_t n = 0;
    while (s[n]) ++n;
    return n;
}

SCALAR_REFERENCE static const char *ref_strchr(const char *s, char c) {
    for (;; ++s) {
        if (*s == c) return s;
        if (*s == 0) return NULL;
    }
}

SCALAR_REFERENCE static size_t ref_count_byte(const uint8_t *p, size_t n, uint8_t c) {
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) count += p[i] == c;
    return count;
}

int main(void) {
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    // Two readable pages followed by an unreadable one.
    unsigned char *map = mmap(NULL, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                              -1, 0);
    if (map == MAP_FAILED || mprotect(map + 2 * page, page, PROT_NONE) != 0) {
        printf("strlen_ff: cannot map the test pages\n");
        return 2;
    }
    char *end = (char *)map + 2 * page;  // first unreadable byte
    for (size_t i = 0; i < 2 * page; ++i) map[i] = (unsigned char)('a' + (i * 7) % 26);

    // Strings of many lengths whose NUL is the last readable byte, and strings
    // that start at unaligned addresses in the middle of the pages.
    static const size_t lengths[] = {0, 1, 15, 16, 255, 256, 257, 1000, 4095, 5000};
    for (unsigned k = 0; k < sizeof lengths / sizeof lengths[0]; ++k) {
        char *s = end - 1 - lengths[k];
        end[-1] = 0;
        size_t got = sve_strlen(s), want = ref_strlen(s);
        expect_equal_u64("strlen at page end", k, got, want);
        checksum_add(&got, sizeof got);

        const char *hit = sve_strchr(s, 'q');
        const char *ref_hit = ref_strchr(s, 'q');
        expect_equal_u64("strchr at page end", k, (uint64_t)(hit ? hit - s : -1),
                         (uint64_t)(ref_hit ? ref_hit - s : -1));
        const char *miss = sve_strchr(s, '#');
        expect_equal_u64("strchr missing", k, (uint64_t)(miss != NULL), 0);

        size_t c = sve_count_byte((const uint8_t *)s, lengths[k], 'e');
        expect_equal_u64("count near page end", k, c, ref_count_byte((const uint8_t *)s, lengths[k], 'e'));
        checksum_add(&c, sizeof c);
    }
    for (size_t start = 1; start < 600; start += 37) {
        char *s = (char *)map + start;
        s[start * 3] = 0;
        size_t got = sve_strlen(s);
        expect_equal_u64("strlen unaligned", start, got, ref_strlen(s));
        checksum_add(&got, sizeof got);
        s[start * 3] = 'x';
    }
    printf("strlen_ff: strlen(tail of 5000) = %zu, strchr(q) offset = %td\n",
           sve_strlen(end - 5001), sve_strchr(end - 5001, 'q') - (end - 5001));
    return report("strlen_ff");
}
