// Stress: everything at once in one process, for a bounded amount of work.
//   - 16 threads run SVE loops (integer multiply-accumulate, floating-point dot
//     products with a vector accumulator kept across the loop, reductions, a
//     first-fault strlen) and compare every result with scalar code;
//   - a 1 kHz SIGALRM timer whose handler sums an array with SVE, runs a
//     first-fault load and then overwrites every Z and P register and FFR, so
//     interrupted SVE code only survives if its state comes back;
//   - fork, while the threads run: the child computes with SVE and reports
//     through a pipe and its exit status (under DynamoRIO the later forks wait
//     until the threads have finished: see main);
//   - first-fault and non-fault loads over a page boundary (the second page is
//     PROT_NONE): contiguous, sign-extending, gather and a strlen loop, FFR and
//     every loaded value checked.
// Every check is exact; counts that depend on timing are only lower bounds.
// Exits 0 when all checks pass, 1 otherwise (printing what differed).

#include <arm_sve.h>
#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#define NOINLINE __attribute__((noinline))
// Scalar references stay scalar: the compiler vectorises plain loops at -O2.
#define SCALAR __attribute__((optimize("no-tree-vectorize")))

enum {
    kThreads = 16,
    kRounds = 120,        // rounds of the kernels per thread
    kAlarmElems = 300,    // elements the timer handler sums
    kMinTicks = 50,       // timer interrupts the run must have seen at least
    kForks = 3,
};

static atomic_int failures;

static void fail(const char *what, long a, long long got, long long want) {
    if (atomic_fetch_add(&failures, 1) < 40) printf("FAIL %s [%ld]: got %lld, want %lld\n", what, a, got, want);
}

// ---------------------------------------------------------------------------
// The timer handler.

static int64_t alarm_data[kAlarmElems];
static int64_t alarm_sum;
static atomic_long ticks;
static atomic_long alarm_bad_sum;
static atomic_long alarm_bad_ffr;
static atomic_int alarm_first_bad;

// Overwrites every SVE register: whatever the interrupted code held there is
// gone unless the signal machinery brings it back.
static void clobber_sve_state(void) {
    __asm__ volatile(
        "dup z0.b, #0x5a\n\tdup z1.b, #0x5a\n\tdup z2.b, #0x5a\n\tdup z3.b, #0x5a\n\t"
        "dup z4.b, #0x5a\n\tdup z5.b, #0x5a\n\tdup z6.b, #0x5a\n\tdup z7.b, #0x5a\n\t"
        "dup z8.b, #0x5a\n\tdup z9.b, #0x5a\n\tdup z10.b, #0x5a\n\tdup z11.b, #0x5a\n\t"
        "dup z12.b, #0x5a\n\tdup z13.b, #0x5a\n\tdup z14.b, #0x5a\n\tdup z15.b, #0x5a\n\t"
        "dup z16.b, #0x5a\n\tdup z17.b, #0x5a\n\tdup z18.b, #0x5a\n\tdup z19.b, #0x5a\n\t"
        "dup z20.b, #0x5a\n\tdup z21.b, #0x5a\n\tdup z22.b, #0x5a\n\tdup z23.b, #0x5a\n\t"
        "dup z24.b, #0x5a\n\tdup z25.b, #0x5a\n\tdup z26.b, #0x5a\n\tdup z27.b, #0x5a\n\t"
        "dup z28.b, #0x5a\n\tdup z29.b, #0x5a\n\tdup z30.b, #0x5a\n\tdup z31.b, #0x5a\n\t"
        "pfalse p0.b\n\tptrue p1.b, vl3\n\tptrue p2.h\n\tptrue p3.s, vl1\n\t"
        "pfalse p4.b\n\tptrue p5.b, vl3\n\tptrue p6.h\n\tptrue p7.s, vl1\n\t"
        "pfalse p8.b\n\tptrue p9.b, vl3\n\tptrue p10.h\n\tptrue p11.s, vl1\n\t"
        "pfalse p12.b\n\tptrue p13.b, vl3\n\tptrue p14.h\n\tptrue p15.s, vl1\n\t"
        "wrffr p1.b\n\t" ::
            : "z0", "z1", "z2", "z3", "z4", "z5", "z6", "z7", "z8", "z9", "z10", "z11", "z12", "z13", "z14",
              "z15", "z16", "z17", "z18", "z19", "z20", "z21", "z22", "z23", "z24", "z25", "z26", "z27", "z28",
              "z29", "z30", "z31", "p0", "p1", "p2", "p3", "p4", "p5", "p6", "p7", "p8", "p9", "p10", "p11",
              "p12", "p13", "p14", "p15", "ffr");
}

static void on_alarm(int sig) {
    (void)sig;
    int saved_errno = errno;
    svint64_t acc = svdup_n_s64(0);
    for (int i = 0; i < kAlarmElems; i += (int)svcntd()) {
        svbool_t pg = svwhilelt_b64(i, kAlarmElems);
        acc = svadd_s64_m(pg, acc, svld1_s64(pg, alarm_data + i));
    }
    int64_t sum = svaddv_s64(svptrue_b64(), acc);
    if (sum != alarm_sum) {
        atomic_fetch_add(&alarm_bad_sum, 1);
        atomic_store(&alarm_first_bad, (int)(sum - alarm_sum));
    }
    // Readable memory: the first-fault load leaves every element in FFR.
    svsetffr();
    svint64_t v = svldff1_s64(svptrue_b64(), alarm_data);
    svbool_t ffr = svrdffr();
    if (svptest_any(svptrue_b64(), svnot_b_z(svptrue_b64(), ffr)) ||
        svaddv_s64(svptrue_b64(), v) != svaddv_s64(svptrue_b64(), svld1_s64(svptrue_b64(), alarm_data)))
        atomic_fetch_add(&alarm_bad_ffr, 1);
    clobber_sve_state();
    atomic_fetch_add(&ticks, 1);
    errno = saved_errno;
}

static void start_timer(long usec) {
    struct itimerval it;
    memset(&it, 0, sizeof it);
    it.it_interval.tv_usec = usec;
    it.it_value.tv_usec = usec;
    setitimer(ITIMER_REAL, &it, NULL);
}

// ---------------------------------------------------------------------------
// Kernels run by the threads, each with its scalar reference.

// y = a*x + y on int32, predicated tail.
static NOINLINE void mla_s32(int32_t *y, const int32_t *x, int32_t a, long n) {
    for (long i = 0; i < n; i += (long)svcntw()) {
        svbool_t pg = svwhilelt_b32(i, n);
        svst1_s32(pg, y + i, svmla_n_s32_x(pg, svld1_s32(pg, y + i), svld1_s32(pg, x + i), a));
    }
}
SCALAR static void mla_s32_ref(int32_t *y, const int32_t *x, int32_t a, long n) {
    for (long i = 0; i < n; ++i) y[i] = (int32_t)((uint32_t)y[i] + (uint32_t)x[i] * (uint32_t)a);
}

// Dot product with one vector accumulator live across the whole loop; the
// values are small integers, so every sum is exact whatever the order.
static NOINLINE double dot_f64(const double *x, const double *y, long n) {
    svfloat64_t acc0 = svdup_n_f64(0), acc1 = svdup_n_f64(0);
    long vl = (long)svcntd();
    for (long i = 0; i < n; i += 2 * vl) {
        svbool_t p0 = svwhilelt_b64(i, n), p1 = svwhilelt_b64(i + vl, n);
        acc0 = svmla_f64_m(p0, acc0, svld1_f64(p0, x + i), svld1_f64(p0, y + i));
        acc1 = svmla_f64_m(p1, acc1, svld1_f64(p1, x + i + vl), svld1_f64(p1, y + i + vl));
    }
    return svaddv_f64(svptrue_b64(), svadd_f64_x(svptrue_b64(), acc0, acc1));
}
SCALAR static double dot_f64_ref(const double *x, const double *y, long n) {
    double s = 0;
    for (long i = 0; i < n; ++i) s += x[i] * y[i];
    return s;
}

// Largest byte and the number of bytes above a threshold.
static NOINLINE uint64_t max_and_count_u8(const uint8_t *b, long n, uint8_t threshold) {
    svuint8_t mx = svdup_n_u8(0);
    uint64_t count = 0;
    for (long i = 0; i < n; i += (long)svcntb()) {
        svbool_t pg = svwhilelt_b8(i, n);
        svuint8_t v = svld1_u8(pg, b + i);
        mx = svmax_u8_m(pg, mx, v);
        count += svcntp_b8(pg, svcmpgt_n_u8(pg, v, threshold));
    }
    return (uint64_t)svmaxv_u8(svptrue_b8(), mx) << 32 | count;
}
SCALAR static uint64_t max_and_count_u8_ref(const uint8_t *b, long n, uint8_t threshold) {
    uint8_t mx = 0;
    uint64_t count = 0;
    for (long i = 0; i < n; ++i) {
        if (b[i] > mx) mx = b[i];
        count += b[i] > threshold;
    }
    return (uint64_t)mx << 32 | count;
}

// strlen with first-fault loads: reads past the terminator, stops on it.
static NOINLINE size_t strlen_ff(const char *s) {
    const uint8_t *p = (const uint8_t *)s;
    size_t i = 0;
    svbool_t all = svptrue_b8();
    for (;;) {
        svsetffr();
        svuint8_t v = svldff1_u8(all, p + i);
        svbool_t ok = svrdffr();
        svbool_t zero = svcmpeq_n_u8(ok, v, 0);
        if (svptest_any(ok, zero)) return i + svcntp_b8(ok, svbrkb_b_z(ok, zero));
        i += svcntp_b8(all, ok);
    }
}

struct worker {
    pthread_t thread;
    long id;
    long n;
};

static void *worker_main(void *arg) {
    struct worker *w = arg;
    long n = w->n;
    int32_t *x32 = malloc(n * sizeof *x32), *y32 = malloc(n * sizeof *y32), *r32 = malloc(n * sizeof *r32);
    double *xd = malloc(n * sizeof *xd), *yd = malloc(n * sizeof *yd);
    uint8_t *b = malloc(n);
    char *text = malloc(n + 1);
    if (!x32 || !y32 || !r32 || !xd || !yd || !b || !text) {
        fail("worker allocation", w->id, 0, 0);
        return NULL;
    }
    for (long i = 0; i < n; ++i) {
        x32[i] = (int32_t)((i * 2654435761u + (unsigned long)w->id) & 0xffff) - 0x8000;
        y32[i] = r32[i] = (int32_t)(i * 7 - 300);
        xd[i] = (double)((i + w->id) % 19 - 9);
        yd[i] = (double)((i * 5) % 11 - 5);
        b[i] = (uint8_t)(i * 131 + w->id * 17);
        text[i] = (char)('a' + i % 26);
    }
    for (int round = 0; round < kRounds; ++round) {
        int32_t a = (int32_t)(round * 3 + w->id - 7);
        mla_s32(y32, x32, a, n);
        mla_s32_ref(r32, x32, a, n);
        if (memcmp(y32, r32, n * sizeof *r32) != 0) {
            long i = 0;
            while (y32[i] == r32[i]) ++i;
            fail("thread int32 multiply-accumulate", w->id * 100000 + i, y32[i], r32[i]);
            memcpy(y32, r32, n * sizeof *r32);
        }
        long m = n - (round * 13) % 600;
        double got = dot_f64(xd, yd, m), want = dot_f64_ref(xd, yd, m);
        if (got != want) fail("thread float64 dot product", w->id * 100 + round, (long long)got, (long long)want);
        uint8_t threshold = (uint8_t)(200 + round % 50);
        long nb = n - round % 300;
        uint64_t g = max_and_count_u8(b, nb, threshold), e = max_and_count_u8_ref(b, nb, threshold);
        if (g != e) fail("thread byte max and count", w->id * 100 + round, (long long)g, (long long)e);
        long len = n - 1 - (round * 97 + w->id) % 1500;
        text[len] = 0;
        size_t l = strlen_ff(text);
        if ((long)l != len) fail("thread first-fault strlen", w->id * 100 + round, (long long)l, len);
        text[len] = 'x';
    }
    free(x32);
    free(y32);
    free(r32);
    free(xd);
    free(yd);
    free(b);
    free(text);
    return NULL;
}

// ---------------------------------------------------------------------------
// Fork: the child computes with SVE and reports through a pipe and its status.

struct child_report {
    int64_t sum;
    double dot;
};

static NOINLINE int64_t sum_s64(const int64_t *v, long n) {
    svint64_t acc = svdup_n_s64(0);
    for (long i = 0; i < n; i += (long)svcntd()) {
        svbool_t pg = svwhilelt_b64(i, n);
        acc = svadd_s64_m(pg, acc, svld1_s64(pg, v + i));
    }
    return svaddv_s64(svptrue_b64(), acc);
}
SCALAR static int64_t sum_s64_ref(const int64_t *v, long n) {
    int64_t s = 0;
    for (long i = 0; i < n; ++i) s += v[i];
    return s;
}

static void fork_child_check(int which, const double *xd, const double *yd, long n) {
    int fds[2];
    if (pipe(fds) != 0) {
        fail("pipe", which, errno, 0);
        return;
    }
    pid_t pid = fork();
    if (pid < 0) {
        fail("fork", which, errno, 0);
        return;
    }
    if (pid == 0) {
        // Only async-signal-safe calls here: the parent has other threads.
        close(fds[0]);
        struct child_report r;
        r.sum = sum_s64(alarm_data, kAlarmElems - which);
        r.dot = dot_f64(xd, yd, n - which);
        int bad = r.dot != dot_f64_ref(xd, yd, n - which);
        ssize_t written = write(fds[1], &r, sizeof r);
        _exit(written == (ssize_t)sizeof r ? (bad ? 3 : 0) : 4);
    }
    close(fds[1]);
    struct child_report r;
    size_t got = 0;
    while (got < sizeof r) {
        ssize_t k = read(fds[0], (char *)&r + got, sizeof r - got);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) break;
        got += (size_t)k;
    }
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        fail("fork child status", which, WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status), 0);
    if (got != sizeof r) {
        fail("fork child report size", which, (long long)got, sizeof r);
        return;
    }
    int64_t want_sum = sum_s64_ref(alarm_data, kAlarmElems - which);
    if (r.sum != want_sum) fail("fork child sum", which, r.sum, want_sum);
    double want_dot = dot_f64_ref(xd, yd, n - which);
    if (r.dot != want_dot) fail("fork child dot product", which, (long long)r.dot, (long long)want_dot);
}

// ---------------------------------------------------------------------------
// First-fault and non-fault loads over a page boundary: `page` is readable,
// the page after it is not.

// FFR against the expected elements; `all` is the all-true predicate of the
// element size (FFR's other bits of an element are not compared).
static void check_ffr(const char *what, long at, svbool_t all, svbool_t ffr, svbool_t want) {
    if (svptest_any(all, sveor_b_z(all, ffr, want)))
        fail(what, at, (long long)svcntp_b8(all, ffr), (long long)svcntp_b8(all, want));
}

static void page_boundary_checks(const uint8_t *page, size_t page_bytes) {
    const uint8_t *end = page + page_bytes;
    long lanes64 = (long)svcntd(), lanes8 = (long)svcntb();

    // Contiguous doublewords starting k before the boundary: k are readable.
    for (long k = 1; k <= lanes64 + 2; ++k) {
        const uint64_t *p = (const uint64_t *)end - k;
        svsetffr();
        svuint64_t v = svldff1_u64(svptrue_b64(), p);
        svbool_t ffr = svrdffr();
        long readable = k < lanes64 ? k : lanes64;
        check_ffr("ldff1d FFR", k, svptrue_b64(), ffr, svwhilelt_b64(0L, readable));
        svbool_t wrong = svcmpne_u64(svwhilelt_b64(0L, readable), v, svld1_u64(svwhilelt_b64(0L, readable), p));
        if (svptest_any(svptrue_b64(), wrong)) fail("ldff1d values", k, 0, 0);
    }

    // Sign-extending bytes at odd offsets, with the first active element not
    // the first one.
    for (long k = 3; k <= 70; k += 7) {
        const int8_t *p = (const int8_t *)end - k;
        svbool_t pg = svnot_b_z(svptrue_b16(), svwhilelt_b16(0L, 2L));  // elements 2..
        svsetffr();
        svint16_t v = svldff1sb_s16(pg, p);
        svbool_t ffr = svrdffr();
        long readable = k < (long)svcnth() ? k : (long)svcnth();
        check_ffr("ldff1sb FFR", k, svptrue_b16(), ffr, svwhilelt_b16(0L, readable));
        svbool_t act = svand_b_z(svptrue_b16(), pg, svwhilelt_b16(0L, readable));
        svbool_t wrong = svcmpne_s16(act, v, svld1sb_s16(act, p));
        if (svptest_any(act, wrong)) fail("ldff1sb values", k, 0, 0);
    }

    // Non-fault loads: even the first element may be unreadable.
    for (long k = -2; k <= 40; k += 6) {
        const uint8_t *p = end - k;
        svsetffr();
        svuint8_t v = svldnf1_u8(svptrue_b8(), p);
        svbool_t ffr = svrdffr();
        long readable = k <= 0 ? 0 : k < lanes8 ? k : lanes8;
        check_ffr("ldnf1b FFR", k, svptrue_b8(), ffr, svwhilelt_b8(0L, readable));
        svbool_t act = svwhilelt_b8(0L, readable);
        if (svptest_any(act, svcmpne_u8(act, v, svld1_u8(act, p)))) fail("ldnf1b values", k, 0, 0);
    }

    // Gather: element i reads page + offset[i]; the first element whose
    // address is unreadable and all after it leave FFR.
    for (long bad = 1; bad < lanes64; bad += 5) {
        svuint64_t idx = svindex_u64(0, 8);
        svuint64_t offs = svsel_u64(svcmpge_n_u64(svptrue_b64(), idx, (uint64_t)bad * 8),
                                    svadd_n_u64_x(svptrue_b64(), idx, page_bytes), idx);
        // Elements after the first unreadable one point back into the page.
        offs = svsel_u64(svcmpgt_n_u64(svptrue_b64(), idx, (uint64_t)bad * 8 + 8), idx, offs);
        svsetffr();
        svuint64_t v = svldff1_gather_u64offset_u64(svptrue_b64(), (const uint64_t *)page, offs);
        svbool_t ffr = svrdffr();
        check_ffr("ldff1d gather FFR", bad, svptrue_b64(), ffr, svwhilelt_b64(0L, bad));
        svbool_t act = svwhilelt_b64(0L, bad);
        if (svptest_any(act, svcmpne_u64(act, v, svld1_u64(act, (const uint64_t *)page))))
            fail("ldff1d gather values", bad, 0, 0);
    }

    // strlen of strings that end on the page's last byte.
    for (long len = 0; len < 700; len += 61) {
        const char *s = (const char *)end - 1 - len;
        size_t got = strlen_ff(s);
        if ((long)got != len) fail("first-fault strlen at the boundary", len, (long long)got, len);
    }
}

// ---------------------------------------------------------------------------

static double elapsed_since(const struct timespec *t0) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)(t.tv_sec - t0->tv_sec) + (double)(t.tv_nsec - t0->tv_nsec) * 1e-9;
}

int main(void) {
    setvbuf(stdout, NULL, _IOLBF, 0);
    struct timespec t0;
    clock_gettime(CLOCK_MONOTONIC, &t0);

    for (int i = 0; i < kAlarmElems; ++i) alarm_data[i] = (int64_t)i * i - 1000 * (i % 7);
    alarm_sum = sum_s64_ref(alarm_data, kAlarmElems);

    // Two pages: a pattern in the first, nothing readable in the second. The
    // first page's last byte is a terminator for the strlen checks.
    size_t page_bytes = (size_t)sysconf(_SC_PAGESIZE);
    uint8_t *pages = mmap(NULL, 2 * page_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED) {
        printf("mmap failed\n");
        return 1;
    }
    for (size_t i = 0; i < page_bytes; ++i) pages[i] = (uint8_t)(i * 37 + 11) | 1;
    pages[page_bytes - 1] = 0;
    mprotect(pages + page_bytes, page_bytes, PROT_NONE);

    enum { kForkN = 1000 };
    static double fx[kForkN], fy[kForkN];
    for (int i = 0; i < kForkN; ++i) {
        fx[i] = (double)(i % 13 - 6);
        fy[i] = (double)(i % 7 - 3);
    }

    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = on_alarm;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGALRM, &sa, NULL);
    start_timer(1000);

    fork_child_check(0, fx, fy, kForkN);

    static struct worker workers[kThreads];
    for (long t = 0; t < kThreads; ++t) {
        workers[t].id = t;
        workers[t].n = 3000 + 37 * t;
        if (pthread_create(&workers[t].thread, NULL, worker_main, &workers[t]) != 0) fail("pthread_create", t, 0, 0);
    }

    // The main thread meanwhile: boundary loads, and the remaining forks.
    // DynamoRIO running under QEMU hangs or crashes now and then when a process
    // forks while other threads run, with an empty client as well as with
    // ours; there these forks wait until the threads have joined (the timer
    // still runs).
    const int forks_later = getenv("SVE_TEST_DYNAMORIO") != NULL;
    for (int round = 0; round < 4; ++round) {
        page_boundary_checks(pages, page_bytes);
        if (!forks_later && round < kForks - 1) fork_child_check(round + 1, fx, fy, kForkN);
    }
    for (long t = 0; t < kThreads; ++t) pthread_join(workers[t].thread, NULL);
    for (int round = 1; forks_later && round < kForks; ++round) fork_child_check(round, fx, fy, kForkN);

    // The timer must have interrupted the run a fair number of times; keep
    // computing (and checking) until it has, within a bound.
    int extra = 0;
    while (atomic_load(&ticks) < kMinTicks && elapsed_since(&t0) < 60.0) {
        page_boundary_checks(pages, page_bytes);
        ++extra;
    }
    start_timer(0);

    long t = atomic_load(&ticks);
    if (t < kMinTicks) fail("timer interrupts seen", 0, t, kMinTicks);
    if (atomic_load(&alarm_bad_sum))
        fail("handler sums wrong (times; first difference)", atomic_load(&alarm_first_bad),
             atomic_load(&alarm_bad_sum), 0);
    if (atomic_load(&alarm_bad_ffr))
        fail("handler first-fault loads wrong (times)", 0, atomic_load(&alarm_bad_ffr), 0);

    printf("stress: %ld timer interrupts, %d forks, %d threads, %d extra boundary rounds, %.1f s\n", t, kForks,
           kThreads, extra, elapsed_since(&t0));
    if (atomic_load(&failures)) {
        printf("stress: %d checks failed\n", atomic_load(&failures));
        return 1;
    }
    printf("stress: all checks passed\n");
    return 0;
}
