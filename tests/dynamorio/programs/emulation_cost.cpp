// Cost of an emulated SVE instruction as a program sees it: a loop of SVE
// instructions against the same loop of native ones, timed by the program.
//
//   dynamorio_emulation_cost [iterations]      (default 20000)
//
// Prints nanoseconds per loop instruction for both loops and their difference,
// the cost of one emulated instruction over a native one. The same binary runs
// under QEMU's own SVE (qemu-aarch64 -cpu max,sve-default-vector-length=256)
// for comparison.
#include <time.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kPerIteration = 8;

double now_ns() {
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1e9 + ts.tv_nsec;
}

uint64_t sve_loop(long iterations) {
    uint64_t x = 0;
    for (long i = 0; i < iterations; ++i) {
        asm volatile(
            ".arch_extension sve\n"
            "incb %0\n incb %0\n incb %0\n incb %0\n"
            "incb %0\n incb %0\n incb %0\n incb %0\n"
            : "+r"(x));
    }
    return x;
}

uint64_t native_loop(long iterations) {
    uint64_t x = 0;
    for (long i = 0; i < iterations; ++i) {
        asm volatile(
            "add %0, %0, #256\n add %0, %0, #256\n add %0, %0, #256\n add %0, %0, #256\n"
            "add %0, %0, #256\n add %0, %0, #256\n add %0, %0, #256\n add %0, %0, #256\n"
            : "+r"(x));
    }
    return x;
}

}  // namespace

int main(int argc, char **argv) {
    const long iterations = argc > 1 ? std::atol(argv[1]) : 20000;
    const double instructions = static_cast<double>(iterations) * kPerIteration;
    // Warm up both loops (block building and translation happen here).
    sve_loop(16);
    native_loop(16);
    double t0 = now_ns();
    const uint64_t a = sve_loop(iterations);
    double t1 = now_ns();
    const uint64_t b = native_loop(iterations);
    double t2 = now_ns();
    if (a != b) {
        std::printf("results differ: %llu vs %llu\n", static_cast<unsigned long long>(a),
                    static_cast<unsigned long long>(b));
        return 1;
    }
    const double sve_ns = (t1 - t0) / instructions;
    const double native_ns = (t2 - t1) / instructions;
    std::printf("instructions per loop: %.0f\n", instructions);
    std::printf("sve loop:    %10.1f ns per instruction\n", sve_ns);
    std::printf("native loop: %10.1f ns per instruction\n", native_ns);
    std::printf("difference:  %10.1f ns per SVE instruction\n", sve_ns - native_ns);
    return 0;
}
