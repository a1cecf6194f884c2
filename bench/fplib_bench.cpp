// Nanoseconds per call of the software floating-point library's core
// arithmetic in each precision, next to the host FPU's own operations on the
// same operands (single and double; the host has no half arithmetic).
#include <benchmark/benchmark.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "sve/fplib/fplib.h"

namespace {

constexpr size_t kOperands = 1024;  // a power of two

// Operands with random significands and exponents near 1, so that results
// stay normal and the measurements show the common path.
template <typename T>
std::vector<T> operands(uint64_t seed) {
    using F = FPFormat<T>;
    std::vector<T> v(kOperands);
    for (T &x : v) {
        seed = seed * 6364136223846793005ull + 1442695040888963407ull;
        const uint64_t r = seed >> 11;
        const int e = F::B - 8 + int(r % 16);
        x = T((T(e) << F::M) | (T(r >> 4) & F::FRAC));
    }
    return v;
}

enum class Op { Add, Mul, MulAdd, Div, Sqrt };

template <typename T, Op op>
void BM_Library(benchmark::State &state) {
    const std::vector<T> a = operands<T>(1), b = operands<T>(2), c = operands<T>(3);
    FPSCR fpscr = 0;
    size_t i = 0;
    for (auto _ : state) {
        const size_t k = i++ & (kOperands - 1);
        T r;
        if constexpr (op == Op::Add) r = FPAdd(a[k], b[k], fpscr);
        if constexpr (op == Op::Mul) r = FPMul(a[k], b[k], fpscr);
        if constexpr (op == Op::MulAdd) r = FPMulAdd(c[k], a[k], b[k], fpscr);
        if constexpr (op == Op::Div) r = FPDiv(a[k], b[k], fpscr);
        if constexpr (op == Op::Sqrt) r = FPSqrt(a[k], fpscr);
        benchmark::DoNotOptimize(r);
    }
    benchmark::DoNotOptimize(fpscr);
}

#if defined(__x86_64__)
__attribute__((target("fma"))) float host_fma(float a, float b, float c) { return __builtin_fmaf(a, b, c); }
__attribute__((target("fma"))) double host_fma(double a, double b, double c) { return __builtin_fma(a, b, c); }
#else
float host_fma(float a, float b, float c) { return std::fma(a, b, c); }
double host_fma(double a, double b, double c) { return std::fma(a, b, c); }
#endif

template <typename T, Op op>
void BM_Host(benchmark::State &state) {
    using H = std::conditional_t<sizeof(T) == 4, float, double>;
    const std::vector<T> a = operands<T>(1), b = operands<T>(2), c = operands<T>(3);
    size_t i = 0;
    for (auto _ : state) {
        const size_t k = i++ & (kOperands - 1);
        H x = std::bit_cast<H>(a[k]), y = std::bit_cast<H>(b[k]), z = std::bit_cast<H>(c[k]);
        benchmark::DoNotOptimize(x);
        benchmark::DoNotOptimize(y);
        benchmark::DoNotOptimize(z);
        H r;
        if constexpr (op == Op::Add) r = x + y;
        if constexpr (op == Op::Mul) r = x * y;
        if constexpr (op == Op::MulAdd) r = host_fma(x, y, z);
        if constexpr (op == Op::Div) r = x / y;
        if constexpr (op == Op::Sqrt) r = std::sqrt(x);
        benchmark::DoNotOptimize(r);
    }
}

#define FP_BENCH_LIBRARY(op)                                            \
    BENCHMARK(BM_Library<uint16_t, Op::op>)->Name("FP" #op "/half");    \
    BENCHMARK(BM_Library<uint32_t, Op::op>)->Name("FP" #op "/single");  \
    BENCHMARK(BM_Library<uint64_t, Op::op>)->Name("FP" #op "/double");  \
    BENCHMARK(BM_Host<uint32_t, Op::op>)->Name("host_" #op "/single");  \
    BENCHMARK(BM_Host<uint64_t, Op::op>)->Name("host_" #op "/double");

FP_BENCH_LIBRARY(Add)
FP_BENCH_LIBRARY(Mul)
FP_BENCH_LIBRARY(MulAdd)
FP_BENCH_LIBRARY(Div)
FP_BENCH_LIBRARY(Sqrt)

}  // namespace

BENCHMARK_MAIN();
