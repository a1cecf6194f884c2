// SVE stack frames: functions that move SP with ADDVL/ADDPL and keep Z and P
// registers in the frame at MUL VL offsets, as compilers emit them: the
// callee-saved Z8-Z23/P4-P15 of the SVE calling convention, vectors spilled
// across ordinary calls, tuples passed by reference, locals at -O0, a vector
// gamma kernel whose special-case path saves registers that way; then the same
// frames inside signal handlers (on the interrupted stack and on an alternate
// one) and in threads whose first SVE instruction runs inside a handler. Every
// result is compared with its scalar counterpart; the program exits 0 when all
// agree and prints each disagreement otherwise.

#include <arm_sve.h>
#include <math.h>
#include <pthread.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define NOINLINE __attribute__((noinline))
#define MAX_LANES 32  // doubles in a 2048-bit vector

static atomic_int failures;

static void fail(const char *group, const char *what, long index, double got, double want) {
    if (atomic_fetch_add(&failures, 1) < 40)
        printf("FAIL %s: %s [%ld]: got %.17g, want %.17g\n", group, what, index, got, want);
}

// An ordinary (base calling convention) function the compiler cannot see
// through: around a call to it every Z and P register is lost, so live vectors
// go to the stack, and an SVE-convention caller saves Z8-Z23 and P4-P15.
static double quarter(double x) { return x * 0.25; }
static double (*volatile opaque)(double) = quarter;
static double (*volatile scalar_tgamma)(double) = tgamma;

// ---------------------------------------------------------------------------
// Frames built in one run of SVE instructions: SP moves down by several KB and
// the slots are written through SP at positive offsets and through the old SP
// at negative ones, then read back through the other base.

static int same_z(svuint8_t a, svuint8_t b) { return !svptest_any(svptrue_b8(), svcmpne_u8(svptrue_b8(), a, b)); }
static int same_p(svbool_t a, svbool_t b) { return !svptest_any(svptrue_b8(), sveor_b_z(svptrue_b8(), a, b)); }

static void check_frame_slots(const char *group, unsigned seed, svuint8x4_t in, svuint8x4_t out, svbool_t pin0,
                              svbool_t pin1, svbool_t pout0, svbool_t pout1) {
    if (!same_z(svget4_u8(in, 0), svget4_u8(out, 0))) fail(group, "Z slot read back", seed * 10 + 0, 0, 0);
    if (!same_z(svget4_u8(in, 1), svget4_u8(out, 1))) fail(group, "Z slot read back", seed * 10 + 1, 0, 0);
    if (!same_z(svget4_u8(in, 2), svget4_u8(out, 2))) fail(group, "Z slot read back", seed * 10 + 2, 0, 0);
    if (!same_z(svget4_u8(in, 3), svget4_u8(out, 3))) fail(group, "Z slot read back", seed * 10 + 3, 0, 0);
    if (!same_p(pin0, pout0)) fail(group, "P slot read back", seed * 10 + 0, 0, 0);
    if (!same_p(pin1, pout1)) fail(group, "P slot read back", seed * 10 + 1, 0, 0);
}

static svuint8x4_t frame_inputs(unsigned seed, svbool_t *pin0, svbool_t *pin1) {
    svbool_t all = svptrue_b8();
    *pin0 = svcmplt_n_u8(all, svindex_u8(0, 1), (uint8_t)(seed % 251 + 1));
    *pin1 = svcmpeq_n_u8(all, svand_n_u8_x(all, svindex_u8((uint8_t)seed, 1), 3), 0);
    return svcreate4_u8(svindex_u8((uint8_t)seed, 1), svindex_u8((uint8_t)(seed * 3), 7),
                        sveor_n_u8_x(all, svindex_u8((uint8_t)(seed + 5), 13), 0x5a),
                        svdup_n_u8((uint8_t)(0xc3 ^ seed)));
}

// 24 Z slots and 16 P slots (6.5 KB): Z slot j is [sp, #(2+j), mul vl] and
// [x9, #(j-24), mul vl]; P slot i is [sp, #i, mul vl] and [x9, #(i-208), mul vl].
static NOINLINE void frame_6k(unsigned seed) {
    svbool_t pin0, pin1, pout0, pout1;
    svuint8x4_t in = frame_inputs(seed, &pin0, &pin1);
    svuint8_t i0 = svget4_u8(in, 0), i1 = svget4_u8(in, 1), i2 = svget4_u8(in, 2), i3 = svget4_u8(in, 3);
    svuint8_t o0, o1, o2, o3;
    asm volatile(
        "mov x9, sp\n\t"
        "addvl sp, sp, #-24\n\t"
        "addpl sp, sp, #-16\n\t"
        "str %[i0], [sp, #2, mul vl]\n\t"
        "str %[i1], [x9, #-1, mul vl]\n\t"
        "str %[i2], [sp, #14, mul vl]\n\t"
        "str %[i3], [x9, #-17, mul vl]\n\t"
        "str %[q0], [sp]\n\t"
        "str %[q1], [x9, #-193, mul vl]\n\t"
        "ldr %[o0], [x9, #-24, mul vl]\n\t"
        "ldr %[o1], [sp, #25, mul vl]\n\t"
        "ldr %[o2], [x9, #-12, mul vl]\n\t"
        "ldr %[o3], [sp, #9, mul vl]\n\t"
        "ldr %[r0], [x9, #-208, mul vl]\n\t"
        "ldr %[r1], [sp, #15, mul vl]\n\t"
        "addpl sp, sp, #16\n\t"
        "addvl sp, sp, #24\n\t"
        : [o0] "=&w"(o0), [o1] "=&w"(o1), [o2] "=&w"(o2), [o3] "=&w"(o3), [r0] "=&Upa"(pout0),
          [r1] "=&Upa"(pout1)
        : [i0] "w"(i0), [i1] "w"(i1), [i2] "w"(i2), [i3] "w"(i3), [q0] "Upa"(pin0), [q1] "Upa"(pin1)
        : "x9", "memory");
    check_frame_slots("frame 6.5 KB", seed, in, svcreate4_u8(o0, o1, o2, o3), pin0, pin1, pout0, pout1);
}

// 64 Z slots (16 KB, four pages), SP set from another register: Z slot j is
// [sp, #j, mul vl] and [x9, #(j-64), mul vl]; with x10 = sp + 31 VL, the P
// slots sit in Z slot 62 ([x9, #-9, mul vl], [x10, #255, mul vl]) and Z slot 1
// ([sp, #9, mul vl], [x10, #-239, mul vl]).
static NOINLINE void frame_16k(unsigned seed) {
    svbool_t pin0, pin1, pout0, pout1;
    svuint8x4_t in = frame_inputs(seed, &pin0, &pin1);
    svuint8_t i0 = svget4_u8(in, 0), i1 = svget4_u8(in, 1), i2 = svget4_u8(in, 2), i3 = svget4_u8(in, 3);
    svuint8_t o0, o1, o2, o3;
    asm volatile(
        "mov x9, sp\n\t"
        "addvl sp, x9, #-32\n\t"
        "addvl sp, sp, #-32\n\t"
        "addvl x10, sp, #31\n\t"
        "str %[i0], [sp]\n\t"
        "str %[i1], [x9, #-1, mul vl]\n\t"
        "str %[i2], [x10, #1, mul vl]\n\t"
        "str %[i3], [x10]\n\t"
        "str %[q0], [x9, #-9, mul vl]\n\t"
        "str %[q1], [sp, #9, mul vl]\n\t"
        "ldr %[o0], [x9, #-64, mul vl]\n\t"
        "ldr %[o1], [sp, #63, mul vl]\n\t"
        "ldr %[o2], [x9, #-32, mul vl]\n\t"
        "ldr %[o3], [sp, #31, mul vl]\n\t"
        "ldr %[r0], [x10, #255, mul vl]\n\t"
        "ldr %[r1], [x10, #-239, mul vl]\n\t"
        "addvl sp, sp, #31\n\t"
        "addvl sp, sp, #31\n\t"
        "addvl sp, sp, #2\n\t"
        : [o0] "=&w"(o0), [o1] "=&w"(o1), [o2] "=&w"(o2), [o3] "=&w"(o3), [r0] "=&Upa"(pout0),
          [r1] "=&Upa"(pout1)
        : [i0] "w"(i0), [i1] "w"(i1), [i2] "w"(i2), [i3] "w"(i3), [q0] "Upa"(pin0), [q1] "Upa"(pin1)
        : "x9", "x10", "memory");
    check_frame_slots("frame 16 KB", seed, in, svcreate4_u8(o0, o1, o2, o3), pin0, pin1, pout0, pout1);
}

// ---------------------------------------------------------------------------
// Recursion in the SVE calling convention: tuples in Z0-Z7 and one passed by
// reference (nine vectors of arguments), the governing predicate kept across
// the calls, a fixed-size local array beside the scalable part of the frame,
// and an ordinary call in every frame.

static NOINLINE svfloat64_t walk(svfloat64x4_t a, svfloat64x2_t b, svint64x3_t c, svbool_t pg, int depth) {
    volatile int pad[600];
    pad[0] = depth;
    pad[599] = 2 * depth;
    svfloat64_t r = svmla_f64_m(pg, svget4_f64(a, 0), svget2_f64(b, 0), svget2_f64(b, 1));
    r = svadd_f64_m(pg, r, svcvt_f64_s64_x(pg, svget3_s64(c, 0)));
    if (depth > 0) {
        svfloat64x4_t na = svcreate4_f64(r, svget4_f64(a, 2), svget4_f64(a, 3), svget4_f64(a, 1));
        svfloat64x2_t nb = svcreate2_f64(svget2_f64(b, 1), svdup_n_f64(depth));
        svint64x3_t nc = svcreate3_s64(svadd_n_s64_x(svptrue_b64(), svget3_s64(c, 1), 1), svget3_s64(c, 2),
                                       svget3_s64(c, 0));
        svbool_t npg = svbic_b_z(svptrue_b64(), pg,
                                 svcmpeq_n_u64(svptrue_b64(), svindex_u64(0, 1), (uint64_t)depth));
        r = svadd_f64_m(pg, r, walk(na, nb, nc, npg, depth - 1));
    }
    r = svsub_f64_m(pg, r, svget4_f64(a, 3));
    return svadd_n_f64_m(pg, r, opaque(pad[0] + pad[599]));
}

// One lane of walk().
static double walk_lane(int lane, const double a[4], const double b[2], const int64_t c[3], int active, int depth) {
    if (!active) return a[0];
    double r = a[0] + b[0] * b[1];
    r += (double)c[0];
    if (depth > 0) {
        double na[4] = {r, a[2], a[3], a[1]};
        double nb[2] = {b[1], (double)depth};
        int64_t nc[3] = {c[1] + 1, c[2], c[0]};
        r += walk_lane(lane, na, nb, nc, lane != depth, depth - 1);
    }
    r -= a[3];
    return r + 0.75 * depth;
}

static void check_walk(const char *group, int depth, int seed) {
    int n = (int)svcntd();
    double a[4][MAX_LANES], b[2][MAX_LANES], out[MAX_LANES];
    int64_t c[3][MAX_LANES];
    for (int i = 0; i < n; ++i) {
        for (int k = 0; k < 4; ++k) a[k][i] = (i * 3 + k * 5 + seed) % 17 - 8;
        for (int k = 0; k < 2; ++k) b[k][i] = (i + k * 7 + seed) % 5 - 2;
        for (int k = 0; k < 3; ++k) c[k][i] = (i * 11 + k + seed) % 13 - 6;
    }
    svbool_t all = svptrue_b64();
    svbool_t pg = svcmpne_n_u64(all, svindex_u64(0, 1), (uint64_t)(seed % n + 1));  // one lane off
    svfloat64x4_t va = svcreate4_f64(svld1_f64(all, a[0]), svld1_f64(all, a[1]), svld1_f64(all, a[2]),
                                     svld1_f64(all, a[3]));
    svfloat64x2_t vb = svcreate2_f64(svld1_f64(all, b[0]), svld1_f64(all, b[1]));
    svint64x3_t vc = svcreate3_s64(svld1_s64(all, c[0]), svld1_s64(all, c[1]), svld1_s64(all, c[2]));
    svst1_f64(all, out, walk(va, vb, vc, pg, depth));
    for (int i = 0; i < n; ++i) {
        double la[4] = {a[0][i], a[1][i], a[2][i], a[3][i]}, lb[2] = {b[0][i], b[1][i]};
        int64_t lc[3] = {c[0][i], c[1][i], c[2][i]};
        double want = walk_lane(i, la, lb, lc, i != seed % n + 1, depth);
        if (out[i] != want) fail(group, "recursive SVE-convention calls", i, out[i], want);
    }
}

// ---------------------------------------------------------------------------
// An ordinary function that keeps twelve vectors live across calls: they are
// spilled to an SVE frame and reloaded.

#define TWELVE(X) X(0) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11)

static NOINLINE void spill_across_calls(const double *in, double *out) {
    svbool_t all = svptrue_b64();
    const uint64_t n = svcntd();
#define LOAD(k) svfloat64_t v##k = svld1_f64(all, in + k * n);
    TWELVE(LOAD)
    double s = opaque(1.0);
#define SCALE(k) v##k = svmul_n_f64_x(all, v##k, s + k);
    TWELVE(SCALE)
    s = opaque(s);
    svfloat64_t acc = svdup_n_f64(s);
#define SUM(k) acc = svmla_n_f64_x(all, acc, v##k, (double)(k + 1));
    TWELVE(SUM)
    svst1_f64(all, out, acc);
}

static void check_spills(void) {
    int n = (int)svcntd();
    static double in[12 * MAX_LANES];
    double out[MAX_LANES];
    for (int i = 0; i < 12 * n; ++i) in[i] = (i * 7) % 23 - 11;
    spill_across_calls(in, out);
    for (int i = 0; i < n; ++i) {
        double want = 0.0625;
        for (int k = 0; k < 12; ++k) want += in[k * n + i] * (0.25 + k) * (k + 1);
        if (out[i] != want) fail("spills", "vectors live across ordinary calls", i, out[i], want);
    }
}

// ---------------------------------------------------------------------------
// Gamma over vectors, shaped like a vector math library: a fast path for
// x in [1, 40] (Lanczos, g = 7) and, for the vectors with any other lane, a
// special-case function that calls the scalar tgamma lane by lane. That
// function makes ordinary calls with vectors live, so it saves Z8-Z23/P4-P15.

static const double lanczos[9] = {0.99999999999980993,  676.5203681218851,     -1259.1392167224028,
                                  771.32342877765313,   -176.61502916214059,   12.507343278686905,
                                  -0.13857109526572012, 9.9843695780195716e-6, 1.5056327351493116e-7};

static NOINLINE svfloat64_t vlog(svbool_t pg, svfloat64_t x) {
    svuint64_t bits = svreinterpret_u64_f64(x);
    svint64_t e = svsub_n_s64_x(pg, svreinterpret_s64_u64(svlsr_n_u64_x(pg, bits, 52)), 1023);
    svfloat64_t m = svreinterpret_f64_u64(
        svorr_n_u64_x(pg, svand_n_u64_x(pg, bits, 0x000fffffffffffffull), 0x3ff0000000000000ull));
    svbool_t big = svcmpgt_n_f64(pg, m, 1.4142135623730951);
    m = svsel_f64(big, svmul_n_f64_x(pg, m, 0.5), m);
    e = svsel_s64(big, svadd_n_s64_x(pg, e, 1), e);
    svfloat64_t s = svdiv_f64_x(pg, svsub_n_f64_x(pg, m, 1.0), svadd_n_f64_x(pg, m, 1.0));
    svfloat64_t s2 = svmul_f64_x(pg, s, s);
    svfloat64_t p = svdup_n_f64(1.0 / 23);
    for (int k = 21; k >= 1; k -= 2) p = svmad_f64_x(pg, p, s2, svdup_n_f64(1.0 / k));
    return svmla_n_f64_x(pg, svmul_n_f64_x(pg, svmul_f64_x(pg, s, p), 2.0), svcvt_f64_s64_x(pg, e),
                         0.6931471805599453);
}

static NOINLINE svfloat64_t vexp(svbool_t pg, svfloat64_t x) {
    static const double inv[] = {1.0 / 479001600, 1.0 / 39916800, 1.0 / 3628800, 1.0 / 362880, 1.0 / 40320,
                                 1.0 / 5040,      1.0 / 720,      1.0 / 120,     1.0 / 24,     1.0 / 6,
                                 0.5,             1.0,            1.0};
    svfloat64_t n = svrintn_f64_x(pg, svmul_n_f64_x(pg, x, 1.4426950408889634));
    svfloat64_t r = svmls_n_f64_x(pg, x, n, 0.6931471805599453);
    r = svmls_n_f64_x(pg, r, n, 2.3190468138462996e-17);
    svfloat64_t p = svdup_n_f64(1.0 / 6227020800.0);
    for (int k = 0; k < 13; ++k) p = svmad_f64_x(pg, p, r, svdup_n_f64(inv[k]));
    return svscale_f64_x(pg, p, svcvt_s64_f64_x(pg, n));
}

static NOINLINE svfloat64_t gamma_special(svfloat64_t x, svfloat64_t y, svbool_t special) {
    for (svbool_t p = svpfirst_b(special, svpfalse_b()); svptest_any(special, p); p = svpnext_b64(special, p))
        y = svsel_f64(p, svdup_n_f64(scalar_tgamma(svclastb_n_f64(p, 0.0, x))), y);
    return y;
}

static NOINLINE svfloat64_t vgamma(svbool_t pg, svfloat64_t x) {
    svbool_t special = svorr_b_z(pg, svcmplt_n_f64(pg, x, 1.0), svcmpgt_n_f64(pg, x, 40.0));
    special = svorr_b_z(pg, special, svcmpuo_f64(pg, x, x));
    svfloat64_t z = svsub_n_f64_x(pg, x, 1.0);
    svfloat64_t sum = svdup_n_f64(lanczos[0]);
    for (int i = 1; i < 9; ++i) sum = svadd_f64_x(pg, sum, svdivr_n_f64_x(pg, svadd_n_f64_x(pg, z, i), lanczos[i]));
    svfloat64_t t = svadd_n_f64_x(pg, z, 7.5);
    svfloat64_t lg = svsub_f64_x(pg, svmul_f64_x(pg, svadd_n_f64_x(pg, z, 0.5), vlog(pg, t)), t);
    svfloat64_t y = svmul_n_f64_x(pg, svmul_f64_x(pg, vexp(pg, lg), sum), 2.5066282746310002);
    if (svptest_any(pg, special)) y = gamma_special(x, y, special);
    return y;
}

static double gamma_input(long i) {
    switch (i % 37) {
        case 5: return -2.5 - (double)(i % 7);       // negative
        case 11: return 0.25 + (double)(i % 3) / 8;  // below 1
        case 19: return 41.0 + (double)(i % 100);    // large, up to overflow
        case 23: return -(double)(i % 5);            // poles: -0, -1, ...
        case 29: return NAN;
        default: return 1.0 + (double)((i * 7919) % 39000) / 1000.0;
    }
}

static void check_gamma(long count) {
    enum { kChunk = 4096 };
    static double in[kChunk], out[kChunk];
    for (long base = 0; base < count; base += kChunk) {
        long n = count - base < kChunk ? count - base : kChunk;
        for (long i = 0; i < n; ++i) in[i] = gamma_input(base + i);
        for (long i = 0; i < n; i += (long)svcntd()) {
            svbool_t pg = svwhilelt_b64(i, n);
            svst1_f64(pg, out + i, vgamma(pg, svld1_f64(pg, in + i)));
        }
        for (long i = 0; i < n; ++i) {
            double want = tgamma(in[i]);
            int ok;
            if (in[i] >= 1.0 && in[i] <= 40.0)
                ok = fabs(out[i] - want) <= 1e-11 * fabs(want);
            else
                ok = memcmp(&out[i], &want, sizeof want) == 0;
            if (!ok) fail("gamma", "vector gamma", base + i, out[i], want);
        }
    }
}

// ---------------------------------------------------------------------------
// The same frames inside signal handlers.

static _Thread_local volatile int handler_runs;

static void frames_in_handler(int sig) {
    (void)sig;
    frame_6k(91);
    frame_16k(92);
    check_walk("handler", 6, 3);
    ++handler_runs;
}

static void raise_with(int sig, int flags, const char *group) {
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = frames_in_handler;
    sa.sa_flags = flags;
    sigemptyset(&sa.sa_mask);
    if (sigaction(sig, &sa, NULL) != 0) {
        fail(group, "sigaction", 0, 0, 0);
        return;
    }
    int before = handler_runs;
    raise(sig);
    if (handler_runs != before + 1) fail(group, "handler ran", 0, handler_runs, before + 1);
}

// Threads whose first SVE instruction runs inside a signal handler, then run
// frames of their own.
static void *thread_body(void *arg) {
    long id = (long)arg;
    int before = handler_runs;
    pthread_kill(pthread_self(), SIGUSR2);
    if (handler_runs == before) fail("thread", "handler ran", id, 0, 1);
    for (unsigned k = 0; k < 3; ++k) {
        frame_6k((unsigned)id * 7 + k);
        frame_16k((unsigned)id * 5 + k);
        check_walk("thread", 8, (int)id + (int)k);
    }
    return NULL;
}

// Optional argument: how many gamma values to compute (a longer soak).
int main(int argc, char **argv) {
    setvbuf(stdout, NULL, _IOLBF, 0);
    long gamma_count = argc > 1 ? atol(argv[1]) : 4096;

    for (unsigned seed = 0; seed < 8; ++seed) {
        frame_6k(seed * 37);
        frame_16k(seed * 41 + 1);
    }
    for (int depth = 0; depth <= 12; depth += 4) check_walk("main", depth, depth);
    check_spills();
    check_gamma(gamma_count);

    // Handlers running the frames: on the interrupted stack, with SA_ONSTACK
    // while the program has no alternate stack of its own, and (below) on the
    // program's own alternate stack.
    raise_with(SIGUSR1, 0, "handler on the interrupted stack");
    raise_with(SIGUSR1, SA_ONSTACK, "SA_ONSTACK handler without an alternate stack");

    // The handler for the threads, installed before any has its own stack.
    struct sigaction sa;
    memset(&sa, 0, sizeof sa);
    sa.sa_handler = frames_in_handler;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGUSR2, &sa, NULL);
    pthread_t threads[3];
    for (long t = 0; t < 3; ++t)
        if (pthread_create(&threads[t], NULL, thread_body, (void *)t) != 0) fail("thread", "create", t, 0, 0);
    for (long t = 0; t < 3; ++t) pthread_join(threads[t], NULL);

    size_t alt_bytes = 1 << 20;
    stack_t ss;
    memset(&ss, 0, sizeof ss);
    ss.ss_sp = malloc(alt_bytes);
    ss.ss_size = alt_bytes;
    if (ss.ss_sp == NULL || sigaltstack(&ss, NULL) != 0)
        fail("handler on the program's alternate stack", "sigaltstack", 0, 0, 0);
    else
        raise_with(SIGUSR1, SA_ONSTACK, "handler on the program's alternate stack");

    // And the main thread goes on with frames after all that.
    frame_16k(7);
    check_walk("main, at the end", 12, 5);

    if (atomic_load(&failures)) {
        printf("%d checks failed\n", atomic_load(&failures));
        return 1;
    }
    printf("sve_frames: all checks passed\n");
    return 0;
}
