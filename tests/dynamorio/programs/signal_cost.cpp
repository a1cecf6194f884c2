// Cost of a delivered signal as a program sees it: the program raises SIGUSR1
// at itself and times the round trip (system call, delivery, handler,
// sigreturn), once with a handler that runs no SVE instruction and once with
// one that runs a few, while the interrupted code has SVE state live. With the
// client the second kind pays for the copy of the interrupted code's SVE-only
// state (taken at the handler's first SVE instruction, put back at sigreturn)
// and for the handler's emulated instructions.
//
//   dynamorio_signal_cost [signals]      (default 2000)
//
// Prints microseconds per signal for both handlers and their difference. The
// same binary runs under QEMU's own SVE for comparison.
#include <signal.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

namespace {

volatile long handled;

void plain_handler(int) { handled = handled + 1; }

// Four SVE instructions that change Z, P and FFR.
void sve_handler(int) {
    asm volatile(
        ".arch_extension sve\n"
        "ptrue p3.d\n"
        "mov z5.d, #7\n"
        "add z5.d, z5.d, z5.d\n"
        "setffr\n"
        :
        :
        : "v5", "memory");
    handled = handled + 1;
}

double now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e9 + ts.tv_nsec;
}

double microseconds_per_signal(void (*handler)(int), long signals) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGUSR1, &sa, nullptr);
    for (int i = 0; i < 16; ++i) raise(SIGUSR1);  // blocks built, copies allocated
    const double t0 = now_ns();
    for (long i = 0; i < signals; ++i) raise(SIGUSR1);
    return (now_ns() - t0) / 1e3 / static_cast<double>(signals);
}

}  // namespace

int main(int argc, char **argv) {
    const long signals = argc > 1 ? std::atol(argv[1]) : 2000;
    // SVE state live in the interrupted code.
    asm volatile(".arch_extension sve\nptrue p3.b\nmov z5.b, #1\n" : : : "v5");
    const double plain = microseconds_per_signal(plain_handler, signals);
    const double sve = microseconds_per_signal(sve_handler, signals);
    std::printf("handler without SVE: %.2f us per signal\n", plain);
    std::printf("handler with 4 SVE instructions: %.2f us per signal (+%.2f us)\n", sve,
                sve - plain);
    return handled == 2 * (signals + 16) ? 0 : 1;
}
