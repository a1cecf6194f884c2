// The AArch64 processor as an oracle for what the host interface does not
// cover: round-to-odd narrowing and the fixed-point conversions (every
// AArch64 processor), and, where the processor has them, half-precision
// arithmetic (with FZ16) and the SVE accelerators FEXPA, FTSMUL, FTMAD and
// FSCALE in all three formats. Without those extensions (as on the cortex-a72
// model the cross build's tests run on) their tests skip; run them under
// `qemu-aarch64 -cpu max`.
#include <gtest/gtest.h>

#if defined(__aarch64__)

#include <asm/hwcap.h>
#include <utility>
#include <sys/auxv.h>

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"

using namespace fptest;

namespace {

bool has_hwcap(unsigned long bit) { return (getauxval(AT_HWCAP) & bit) != 0; }

// Runs fn() with the hardware FPCR set to fpcr and FPSR cleared; returns the
// cumulative flags it raised. The caller's FPCR and FPSR are restored.
template <typename Fn>
uint32_t under_fpcr(uint32_t fpcr, Fn fn) {
    uint64_t old_fpcr, old_fpsr, raised;
    asm volatile("mrs %0, fpcr" : "=r"(old_fpcr));
    asm volatile("mrs %0, fpsr" : "=r"(old_fpsr));
    asm volatile("msr fpcr, %0" : : "r"(uint64_t(fpcr & 0x07C80000u)));
    asm volatile("msr fpsr, %0" : : "r"(uint64_t(0)));
    fn();
    asm volatile("mrs %0, fpsr" : "=r"(raised));
    asm volatile("msr fpcr, %0" : : "r"(old_fpcr));
    asm volatile("msr fpsr, %0" : : "r"(old_fpsr));
    return uint32_t(raised) & FPSCR_FLAGS;
}

uint32_t random_fpcr(Rng &r) {
    return (uint32_t(r.below(4)) << FPSCR_RMODE_SHIFT) | (r.coin() ? FPSCR_FZ16 : 0) | (r.coin() ? FPSCR_DN : 0) |
           (r.coin() ? FPSCR_FZ : 0);
}

#define FP16_BINARY(fn, insn)                                                                        \
    H fn(H a, H b) {                                                                                 \
        H r;                                                                                         \
        asm volatile(".arch_extension fp16\n\t" insn " %h0, %h1, %h2" : "=w"(r) : "w"(a), "w"(b)); \
        return r;                                                                                    \
    }
#define FP16_UNARY(fn, insn)                                                               \
    H fn(H a) {                                                                            \
        H r;                                                                               \
        asm volatile(".arch_extension fp16\n\t" insn " %h0, %h1" : "=w"(r) : "w"(a)); \
        return r;                                                                          \
    }
FP16_BINARY(h_add, "fadd")
FP16_BINARY(h_sub, "fsub")
FP16_BINARY(h_mul, "fmul")
FP16_BINARY(h_mulx, "fmulx")
FP16_BINARY(h_div, "fdiv")
FP16_BINARY(h_max, "fmax")
FP16_BINARY(h_minnm, "fminnm")
FP16_BINARY(h_recps, "frecps")
FP16_BINARY(h_rsqrts, "frsqrts")
FP16_BINARY(h_cmge, "fcmge")
FP16_UNARY(h_sqrt, "fsqrt")
FP16_UNARY(h_recpe, "frecpe")
FP16_UNARY(h_rsqrte, "frsqrte")
FP16_UNARY(h_recpx, "frecpx")
FP16_UNARY(h_frintx, "frintx")
FP16_UNARY(h_frinta, "frinta")
#undef FP16_BINARY
#undef FP16_UNARY

H h_madd(H addend, H a, H b) {
    H r;
    asm volatile(".arch_extension fp16\n\tfmadd %h0, %h1, %h2, %h3" : "=w"(r) : "w"(a), "w"(b), "w"(addend));
    return r;
}
uint32_t h_fcvtzs(H a) {
    uint32_t r;
    asm volatile(".arch_extension fp16\n\tfcvtzs %w0, %h1" : "=r"(r) : "w"(a));
    return r;
}
H h_ucvtf(uint64_t x) {
    H r;
    asm volatile(".arch_extension fp16\n\tucvtf %h0, %x1" : "=w"(r) : "r"(x));
    return r;
}

// Available on every AArch64 processor: double -> single rounding to odd,
// and the fixed-point forms of the float <-> integer conversions.
S d_fcvtxn(D a) {
    S r;
    asm volatile("fcvtxn %s0, %d1" : "=w"(r) : "w"(a));
    return r;
}
template <int FB>
uint64_t d_fcvtzs_fixed(D a) {
    uint64_t r;
    asm volatile("fcvtzs %x0, %d1, #%2" : "=r"(r) : "w"(a), "i"(FB));
    return r;
}
template <int FB>
uint32_t s_fcvtzu_fixed(S a) {
    uint32_t r;
    asm volatile("fcvtzu %w0, %s1, #%2" : "=r"(r) : "w"(a), "i"(FB));
    return r;
}
template <int FB>
S s_scvtf_fixed(uint64_t x) {
    S r;
    asm volatile("scvtf %s0, %x1, #%2" : "=w"(r) : "r"(x), "i"(FB));
    return r;
}

// Fixed-point form: x / 2^40, rounded and (under FZ16) flushed.
H h_ucvtf_fixed40(uint64_t x) {
    H r;
    asm volatile(".arch_extension fp16\n\tucvtf %h0, %x1, #40" : "=w"(r) : "r"(x));
    return r;
}

// SVE: one instruction over a whole vector of 2-, 4- or 8-byte elements.
#define SVE_SZ_2 "h"
#define SVE_SZ_4 "s"
#define SVE_SZ_8 "d"
#define SVE_LD_2 "h"
#define SVE_LD_4 "w"
#define SVE_LD_8 "d"
#define SVE_RUN(N, body)                                                                               \
    asm volatile(".arch_extension sve\n\tptrue p0." SVE_SZ_##N "\n\tld1" SVE_LD_##N " {z0." SVE_SZ_##N    \
                 "}, p0/z, [%0]\n\tld1" SVE_LD_##N " {z1." SVE_SZ_##N "}, p0/z, [%1]\n\t" body "\n\tst1"   \
                 SVE_LD_##N " {z2." SVE_SZ_##N "}, p0, [%2]"                                               \
                 :                                                                                     \
                 : "r"(a), "r"(b), "r"(out)                                                            \
                 : "memory", "v0", "v1", "v2", "p0")

template <int N>
void sve_fexpa(const void *a, const void *b, void *out) {
    if constexpr (N == 2) SVE_RUN(2, "fexpa z2.h, z0.h");
    if constexpr (N == 4) SVE_RUN(4, "fexpa z2.s, z0.s");
    if constexpr (N == 8) SVE_RUN(8, "fexpa z2.d, z0.d");
}
template <int N>
void sve_ftsmul(const void *a, const void *b, void *out) {
    if constexpr (N == 2) SVE_RUN(2, "ftsmul z2.h, z0.h, z1.h");
    if constexpr (N == 4) SVE_RUN(4, "ftsmul z2.s, z0.s, z1.s");
    if constexpr (N == 8) SVE_RUN(8, "ftsmul z2.d, z0.d, z1.d");
}
template <int N>
void sve_fscale(const void *a, const void *b, void *out) {
    if constexpr (N == 2) SVE_RUN(2, "mov z2.d, z0.d\n\tfscale z2.h, p0/m, z2.h, z1.h");
    if constexpr (N == 4) SVE_RUN(4, "mov z2.d, z0.d\n\tfscale z2.s, p0/m, z2.s, z1.s");
    if constexpr (N == 8) SVE_RUN(8, "mov z2.d, z0.d\n\tfscale z2.d, p0/m, z2.d, z1.d");
}
// FTMAD: a * |b| + coefficient[imm, sign of b].
#define SVE_FTMAD(N, T)                                                                                     \
    asm volatile(".arch_extension sve\n\tptrue p0." SVE_SZ_##N "\n\tld1" SVE_LD_##N " {z2." SVE_SZ_##N    \
                 "}, p0/z, [%0]\n\tld1" SVE_LD_##N " {z1." SVE_SZ_##N "}, p0/z, [%1]\n\tftmad z2." T        \
                 ", z2." T ", z1." T ", #%3\n\tst1" SVE_LD_##N " {z2." SVE_SZ_##N "}, p0, [%2]"               \
                 :                                                                                          \
                 : "r"(a), "r"(b), "r"(out), "i"(IMM)                                                       \
                 : "memory", "v1", "v2", "p0")
template <int N, int IMM>
void sve_ftmad(const void *a, const void *b, void *out) {
    if constexpr (N == 2) SVE_FTMAD(2, "h");
    if constexpr (N == 4) SVE_FTMAD(4, "s");
    if constexpr (N == 8) SVE_FTMAD(8, "d");
}
#undef SVE_FTMAD
#undef SVE_RUN

unsigned sve_vector_bytes() {
    uint64_t n;
    asm volatile(".arch_extension sve\n\tcntb %0" : "=r"(n));
    return unsigned(n);
}

// Runs one SVE instruction on random vectors and compares each element (and
// the flags of the whole vector) with the library.
template <typename T, typename Insn, typename Lib>
void check_sve(Insn insn, Lib lib, bool small_b, uint64_t seed) {
    Rng r(seed);
    const unsigned n = sve_vector_bytes() / sizeof(T);
    ASSERT_LE(n * sizeof(T), 256u);
    int failures = 0;
    for (int iter = 0; iter < 2000 && failures < 10; ++iter) {
        alignas(16) T a[256 / sizeof(T)], b[256 / sizeof(T)], out[256 / sizeof(T)];
        for (unsigned i = 0; i < n; ++i) {
            a[i] = biased_operand<T>(r);
            b[i] = small_b ? T(int64_t(r.range(-80, 80))) : biased_operand<T>(r);
        }
        const uint32_t fpcr = random_fpcr(r);
        const uint32_t hw_flags = under_fpcr(fpcr, [&] { insn(a, b, out); });
        FPSCR fpscr = fpcr;
        for (unsigned i = 0; i < n; ++i) {
            const T want = lib(a[i], b[i], fpscr);
            if (out[i] != want) {
                ++failures;
                ADD_FAILURE() << std::hex << "a=0x" << uint64_t(a[i]) << " b=0x" << uint64_t(b[i]) << " fpcr=0x"
                              << fpcr << ": processor 0x" << uint64_t(out[i]) << ", library 0x" << uint64_t(want);
            }
        }
        EXPECT_EQ(hw_flags, fpscr & FPSCR_FLAGS) << std::hex << "fpcr=0x" << fpcr;
    }
}

template <typename T>
void check_all_sve(uint64_t seed) {
    constexpr int N = int(sizeof(T));
    check_sve<T>(sve_fexpa<N>, [](T a, T, FPSCR &) { return FPEXPA(a); }, false, seed);
    check_sve<T>(sve_ftsmul<N>, [](T a, T b, FPSCR &s) { return FPTRISMUL(a, b, s); }, false, seed + 1);
    [&]<int... I>(std::integer_sequence<int, I...>) {
        (check_sve<T>(sve_ftmad<N, I>, [](T a, T b, FPSCR &s) { return FPTRIMADD(I, a, b, s); }, false, seed + 10 + I),
         ...);
    }(std::make_integer_sequence<int, 8>());
    check_sve<T>(
        sve_fscale<N>,
        [](T a, T b, FPSCR &s) {
            if constexpr (N == 2) return FPScale16(a, short(b), s);
            if constexpr (N == 4) return FPScale32(a, int32_t(b), s);
            if constexpr (N == 8) return FPScale64(a, long(int64_t(b)), s);
        },
        true, seed + 4);
}

}  // namespace

TEST(AArch64Processor, RoundToOddAndFixedPointAgainstTheLibrary) {
    Rng r(801);
    int failures = 0;
    for (uint64_t i = 0; i < samples(20000, 1000000) && failures < 20; ++i) {
        const D d = biased_operand<D>(r);
        const S s = biased_operand<S>(r);
        const uint64_t n = r.next() >> r.below(64);
        const uint32_t fpcr = random_fpcr(r);
        const FPRounding cur = FPRounding((fpcr >> FPSCR_RMODE_SHIFT) & 3);
        auto check = [&](const char *name, uint64_t in, auto hw, auto sw) {
            uint64_t h = 0;
            const uint32_t hf = under_fpcr(fpcr, [&] { h = uint64_t(hw()); });
            FPSCR st = fpcr;
            const uint64_t l = uint64_t(sw(st));
            if (h != l || hf != (st & FPSCR_FLAGS)) {
                ++failures;
                ADD_FAILURE() << name << std::hex << " x=0x" << in << " fpcr=0x" << fpcr << ": processor 0x" << h
                              << " flags 0x" << hf << ", library 0x" << l << " flags 0x" << (st & FPSCR_FLAGS);
            }
        };
        check("fcvtxn", d, [&] { return d_fcvtxn(d); }, [&](FPSCR &st) { return FPConvert<D, S>(d, FPRounding_ODD, st); });
        check("fcvtzs #1", d, [&] { return d_fcvtzs_fixed<1>(d); },
              [&](FPSCR &st) { return fplibFPToFixed<D, D>(d, 1, false, FPRounding_ZERO, st); });
        check("fcvtzs #64", d, [&] { return d_fcvtzs_fixed<64>(d); },
              [&](FPSCR &st) { return fplibFPToFixed<D, D>(d, 64, false, FPRounding_ZERO, st); });
        check("fcvtzu #20", s, [&] { return s_fcvtzu_fixed<20>(s); },
              [&](FPSCR &st) { return fplibFPToFixed<S, S>(s, 20, true, FPRounding_ZERO, st); });
        check("scvtf #33", n, [&] { return s_scvtf_fixed<33>(n); },
              [&](FPSCR &st) { return fplibFixedToFP<S>(n, 33, false, cur, st); });
    }
}

TEST(HalfPrecisionProcessor, ArithmeticWithFZ16AgainstTheLibrary) {
    if (!has_hwcap(HWCAP_FPHP)) GTEST_SKIP() << "this processor has no half-precision arithmetic";
    Rng r(601);
    int failures = 0;
    for (uint64_t i = 0; i < samples(20000, 1000000) && failures < 20; ++i) {
        const H a = biased_operand<H>(r), b = biased_operand<H>(r), c = biased_operand<H>(r);
        const uint32_t fpcr = random_fpcr(r);
        auto check = [&](const char *name, auto hw, auto sw) {
            uint64_t h = 0;
            const uint32_t hf = under_fpcr(fpcr, [&] { h = uint64_t(hw()); });
            FPSCR s = fpcr;
            const uint64_t l = uint64_t(sw(s));
            if (h != l || hf != (s & FPSCR_FLAGS)) {
                ++failures;
                ADD_FAILURE() << name << std::hex << " a=0x" << a << " b=0x" << b << " c=0x" << c << " fpcr=0x"
                              << fpcr << ": processor 0x" << h << " flags 0x" << hf << ", library 0x" << l
                              << " flags 0x" << (s & FPSCR_FLAGS);
            }
        };
        check("add", [&] { return h_add(a, b); }, [&](FPSCR &s) { return FPAdd(a, b, s); });
        check("sub", [&] { return h_sub(a, b); }, [&](FPSCR &s) { return FPSub(a, b, s); });
        check("mul", [&] { return h_mul(a, b); }, [&](FPSCR &s) { return FPMul(a, b, s); });
        check("mulx", [&] { return h_mulx(a, b); }, [&](FPSCR &s) { return FPMulX(a, b, s); });
        check("div", [&] { return h_div(a, b); }, [&](FPSCR &s) { return FPDiv(a, b, s); });
        check("max", [&] { return h_max(a, b); }, [&](FPSCR &s) { return FPMax(a, b, s); });
        check("minnm", [&] { return h_minnm(a, b); }, [&](FPSCR &s) { return FPMinNum(a, b, s); });
        check("recps", [&] { return h_recps(a, b); }, [&](FPSCR &s) { return FPRecipStepFused(a, b, s); });
        check("rsqrts", [&] { return h_rsqrts(a, b); }, [&](FPSCR &s) { return FPRSqrtStepFused(a, b, s); });
        check("cmge", [&] { return h_cmge(a, b) != 0; }, [&](FPSCR &s) { return FPCompareGE(a, b, s); });
        check("sqrt", [&] { return h_sqrt(a); }, [&](FPSCR &s) { return FPSqrt(a, s); });
        check("recpe", [&] { return h_recpe(a); }, [&](FPSCR &s) { return FPRecipEstimate(a, s); });
        check("rsqrte", [&] { return h_rsqrte(a); }, [&](FPSCR &s) { return FPRSqrtEstimate(a, s); });
        check("recpx", [&] { return h_recpx(a); }, [&](FPSCR &s) { return FPRecpX(a, s); });
        check("frintx", [&] { return h_frintx(a); },
              [&](FPSCR &s) { return FPRoundInt(a, FPRounding((fpcr >> FPSCR_RMODE_SHIFT) & 3), true, s); });
        check("frinta", [&] { return h_frinta(a); },
              [&](FPSCR &s) { return FPRoundInt(a, FPRounding_TIEAWAY, false, s); });
        check("madd", [&] { return h_madd(c, a, b); }, [&](FPSCR &s) { return FPMulAdd(c, a, b, s); });
        check("fcvtzs", [&] { return h_fcvtzs(a); },
              [&](FPSCR &s) { return fplibFPToFixed<H, S>(a, 0, false, FPRounding_ZERO, s); });
        const uint64_t n = r.next() >> r.below(64);
        check("ucvtf", [&] { return h_ucvtf(n); },
              [&](FPSCR &s) { return fplibFixedToFP<H>(n, 0, true, FPRounding((fpcr >> FPSCR_RMODE_SHIFT) & 3), s); });
        const uint64_t small = r.next() >> r.range(30, 63);
        check("ucvtf #40", [&] { return h_ucvtf_fixed40(small); },
              [&](FPSCR &s) { return fplibFixedToFP<H>(small, 40, true, FPRounding((fpcr >> FPSCR_RMODE_SHIFT) & 3), s); });
    }
}

TEST(SVEProcessor, HalfAccelerators) {
    if (!has_hwcap(HWCAP_SVE)) GTEST_SKIP() << "this processor has no SVE";
    check_all_sve<H>(701);
}
TEST(SVEProcessor, SingleAccelerators) {
    if (!has_hwcap(HWCAP_SVE)) GTEST_SKIP() << "this processor has no SVE";
    check_all_sve<S>(711);
}
TEST(SVEProcessor, DoubleAccelerators) {
    if (!has_hwcap(HWCAP_SVE)) GTEST_SKIP() << "this processor has no SVE";
    check_all_sve<D>(721);
}

#else

TEST(AArch64Processor, NeedsAArch64) { GTEST_SKIP() << "the processor oracles run on AArch64 builds only"; }

#endif
