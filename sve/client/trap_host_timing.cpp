// Cost of SVE instructions through the trap host, per trap and per instruction
// of a run of consecutive SVE words. Run the same binary under the trap host
// (tools/sve-run) and on a processor (or QEMU model) with SVE to compare:
//
//   tools/sve-run build/aarch64/sve/client/trap_host_timing [iterations]
//   qemu-aarch64 -L /usr/aarch64-linux-gnu -cpu max,sve-default-vector-length=256
//       build/aarch64/sve/client/trap_host_timing [iterations]
//
// Each case is a loop whose body is the named instructions plus the loop's own
// SUBS/B.NE; the native case (no SVE word) is the baseline that is subtracted.
// The UDF case is the price of a SIGILL alone: a handler of this program skips
// the undefined instruction (under the trap host the SIGILL passes through the
// library's handler first).

#include <signal.h>
#include <time.h>
#include <ucontext.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// INCD X1 and ADD Z0.D, Z0.D, Z1.D.
#define SVE_INCD_X1 ".inst 0x04f0e3e1\n"
#define SVE_ADD_Z0_Z1 ".inst 0x04e10000\n"

enum class body { native, udf, incd_x1, add_z, incd_x1_run16, add_z_run16, split_pairs };

struct timing_case {
    body kind;
    const char *name;
    unsigned sve_words;  // SVE instructions per iteration
    unsigned traps;      // traps per iteration under the trap host
};

constexpr timing_case kCases[] = {
    {body::native, "native loop (baseline)", 0, 0},
    {body::udf, "UDF skipped by a SIGILL handler", 0, 1},
    {body::incd_x1, "1 x INCD X1", 1, 1},
    {body::add_z, "1 x ADD Z0.D, Z0.D, Z1.D", 1, 1},
    {body::incd_x1_run16, "run of 16 x INCD X1", 16, 1},
    {body::add_z_run16, "run of 16 x ADD Z.D", 16, 1},
    {body::split_pairs, "8 x (INCD X1; ADD X2) (8 traps)", 8, 8},
};

void run(body kind, uint64_t n) {
    switch (kind) {
    case body::native:
        asm volatile("1: add x1, x1, #1\n subs %[n], %[n], #1\n b.ne 1b\n"
                     : [n] "+r"(n) : : "x1", "cc");
        break;
    case body::udf:
        asm volatile("1: udf #0\n subs %[n], %[n], #1\n b.ne 1b\n" : [n] "+r"(n) : : "cc");
        break;
    case body::incd_x1:
        asm volatile("1:\n" SVE_INCD_X1 "subs %[n], %[n], #1\n b.ne 1b\n"
                     : [n] "+r"(n) : : "x1", "cc");
        break;
    case body::add_z:
        asm volatile("1:\n" SVE_ADD_Z0_Z1 "subs %[n], %[n], #1\n b.ne 1b\n"
                     : [n] "+r"(n) : : "v0", "cc");
        break;
    case body::incd_x1_run16:
        asm volatile("1:\n .rept 16\n" SVE_INCD_X1 ".endr\n subs %[n], %[n], #1\n b.ne 1b\n"
                     : [n] "+r"(n) : : "x1", "cc");
        break;
    case body::add_z_run16:
        asm volatile("1:\n .rept 16\n" SVE_ADD_Z0_Z1 ".endr\n subs %[n], %[n], #1\n b.ne 1b\n"
                     : [n] "+r"(n) : : "v0", "cc");
        break;
    case body::split_pairs:
        asm volatile("1:\n .rept 8\n" SVE_INCD_X1 "add x2, x2, #1\n .endr\n"
                     "subs %[n], %[n], #1\n b.ne 1b\n"
                     : [n] "+r"(n) : : "x1", "x2", "cc");
        break;
    }
}

double seconds() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Best of three, in nanoseconds per iteration.
double ns_per_iteration(body kind, uint64_t n) {
    double best = 1e30;
    for (int rep = 0; rep < 3; ++rep) {
        double t0 = seconds();
        run(kind, n);
        double t = (seconds() - t0) * 1e9 / static_cast<double>(n);
        if (t < best) best = t;
    }
    return best;
}

void skip_udf(int, siginfo_t *, void *context) {
    static_cast<ucontext_t *>(context)->uc_mcontext.pc += 4;
}

}  // namespace

int main(int argc, char **argv) {
    uint64_t n = argc > 1 ? std::strtoull(argv[1], nullptr, 0) : 20000;
    if (n == 0) n = 1;
    struct sigaction act = {};
    act.sa_sigaction = skip_udf;
    act.sa_flags = SA_SIGINFO;
    sigemptyset(&act.sa_mask);
    sigaction(SIGILL, &act, nullptr);
    run(body::incd_x1, 1);  // warm-up: the thread's first trap sets up its state
    double base = ns_per_iteration(body::native, n);
    std::printf("%-36s %12s %14s %12s\n", "case", "ns/iter", "ns/SVE insn", "ns/trap");
    for (const timing_case &c : kCases) {
        double t = c.kind == body::native ? base : ns_per_iteration(c.kind, n);
        double extra = t - base;
        if (c.sve_words == 0) {
            if (c.traps == 0)
                std::printf("%-36s %12.1f %14s %12s\n", c.name, t, "-", "-");
            else
                std::printf("%-36s %12.1f %14s %12.1f\n", c.name, t, "-", extra / c.traps);
            continue;
        }
        std::printf("%-36s %12.1f %14.1f %12.1f\n", c.name, t, extra / c.sve_words, extra / c.traps);
    }
    return 0;
}
