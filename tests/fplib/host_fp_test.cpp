// The host floating-point interface. On AArch64 it runs the processor's
// instructions, which makes the processor a second oracle: every operation is
// compared with the software library under random FPCR settings (rounding
// mode, FZ, DN, AHP), results and flags bit for bit, NaNs included. On other
// processors the interface is the software library itself, so only its
// flag accumulation is checked.
#include <gtest/gtest.h>

#include "sve/fplib/fplib.h"
#include "sve/fplib/host_fp.h"
#include "tests/fplib/fp_test_util.h"

using namespace fptest;

TEST(HostFP, AccumulatesFlagsIntoFpsr) {
    uint32_t fpsr = 0xF8000000u | FPSCR_IDC;
    EXPECT_EQ(host_fp_add<S>(0x3F800000u, 0x3F800000u, 0, &fpsr), 0x40000000u);
    EXPECT_EQ(fpsr, 0xF8000000u | FPSCR_IDC);
    EXPECT_EQ(host_fp_div<D>(0x3FF0000000000000ull, 0, 0, &fpsr), 0x7FF0000000000000ull);
    EXPECT_EQ(host_fp_add<S>(0x3F800000u, 0x33000001u, 3u << FPSCR_RMODE_SHIFT, &fpsr), 0x3F800000u);
    EXPECT_EQ(fpsr, 0xF8000000u | FPSCR_IDC | FPSCR_DZC | FPSCR_IXC);
    // FZ and DN come from the fpcr argument.
    fpsr = 0;
    EXPECT_EQ(host_fp_mul<S>(0x00000001u, 0x3F800000u, FPSCR_FZ, &fpsr), 0u);
    EXPECT_EQ(fpsr, uint32_t(FPSCR_IDC));
    EXPECT_EQ(host_fp_sqrt<D>(0xBFF0000000000000ull, FPSCR_DN, &fpsr), 0x7FF8000000000000ull);
    EXPECT_EQ(host_fp_to_int<uint32_t>(S(0x4F800000u), false, FPRounding_ZERO, 0, &fpsr), 0x7FFFFFFFu);
    EXPECT_EQ(fpsr, uint32_t(FPSCR_IDC | FPSCR_IOC));
    EXPECT_EQ(host_fp_from_int<S>(~uint64_t(0), true, 0, &fpsr), 0x5F800000u);
}

#if defined(__aarch64__)

namespace {

uint64_t read_fpcr() {
    uint64_t v;
    asm volatile("mrs %0, fpcr" : "=r"(v));
    return v;
}

uint32_t random_fpcr(Rng &r) {
    uint32_t fpcr = uint32_t(r.below(4)) << FPSCR_RMODE_SHIFT;
    if (r.coin()) fpcr |= FPSCR_FZ;
    if (r.coin()) fpcr |= FPSCR_DN;
    if (r.coin()) fpcr |= FPSCR_AHP;
    if (r.coin()) fpcr |= FPSCR_FZ16;
    return fpcr;
}

struct Checker {
    uint32_t fpcr;
    int *failures;
    // hw(fpsr&) runs the interface; sw(FPSCR&) the library.
    template <typename HW, typename SW>
    void operator()(const char *name, uint64_t a, uint64_t b, HW hw, SW sw) {
        uint32_t hflags = 0;
        const auto h = hw(hflags);
        FPSCR fpscr = fpcr;
        const auto s = sw(fpscr);
        if (uint64_t(h) != uint64_t(s) || hflags != (fpscr & FPSCR_FLAGS)) {
            ++*failures;
            ADD_FAILURE() << name << std::hex << " a=0x" << a << " b=0x" << b << " fpcr=0x" << fpcr
                          << ": processor 0x" << uint64_t(h) << " flags 0x" << hflags << ", library 0x"
                          << uint64_t(s) << " flags 0x" << (fpscr & FPSCR_FLAGS);
        }
    }
};

template <typename T>
void compare_with_processor(uint64_t seed) {
    Rng r(seed);
    int failures = 0;
    for (uint64_t i = 0; i < samples(20000, 1000000) && failures < 20; ++i) {
        const T a = biased_operand<T>(r), b = r.below(8) ? biased_operand<T>(r) : T(a ^ T(r.below(4))),
                c = biased_operand<T>(r);
        const uint32_t fpcr = random_fpcr(r);
        Checker check{fpcr, &failures};
        check("add", a, b, [&](uint32_t &f) { return host_fp_add(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPAdd(a, b, s); });
        check("sub", a, b, [&](uint32_t &f) { return host_fp_sub(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPSub(a, b, s); });
        check("mul", a, b, [&](uint32_t &f) { return host_fp_mul(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPMul(a, b, s); });
        check("mulx", a, b, [&](uint32_t &f) { return host_fp_mulx(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPMulX(a, b, s); });
        check("div", a, b, [&](uint32_t &f) { return host_fp_div(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPDiv(a, b, s); });
        check("sqrt", a, 0, [&](uint32_t &f) { return host_fp_sqrt(a, fpcr, &f); },
              [&](FPSCR &s) { return FPSqrt(a, s); });
        check("muladd", c, a, [&](uint32_t &f) { return host_fp_muladd(c, a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPMulAdd(c, a, b, s); });
        check("max", a, b, [&](uint32_t &f) { return host_fp_max(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPMax(a, b, s); });
        check("min", a, b, [&](uint32_t &f) { return host_fp_min(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPMin(a, b, s); });
        check("maxnum", a, b, [&](uint32_t &f) { return host_fp_maxnum(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPMaxNum(a, b, s); });
        check("minnum", a, b, [&](uint32_t &f) { return host_fp_minnum(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPMinNum(a, b, s); });
        check("cmpeq", a, b, [&](uint32_t &f) { return host_fp_compare_eq(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPCompareEQ(a, b, s); });
        check("cmpge", a, b, [&](uint32_t &f) { return host_fp_compare_ge(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPCompareGE(a, b, s); });
        check("cmpgt", a, b, [&](uint32_t &f) { return host_fp_compare_gt(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPCompareGT(a, b, s); });
        check("cmpun", a, b, [&](uint32_t &f) { return host_fp_compare_un(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPCompareUN(a, b, s); });
        const bool sig = r.coin();
        check(sig ? "fcmpe" : "fcmp", a, b, [&](uint32_t &f) { return host_fp_compare(a, b, sig, fpcr, &f); },
              [&](FPSCR &s) { return FPCompare(a, b, sig, s); });
        const FPRounding rnd = FPRounding(r.below(5));
        const bool exact = rnd != FPRounding_TIEAWAY && r.coin();
        check("frint", a, uint64_t(rnd), [&](uint32_t &f) { return host_fp_round_int(a, rnd, exact, fpcr, &f); },
              [&](FPSCR &s) { return FPRoundInt(a, rnd, exact, s); });
        const bool uns = r.coin();
        check("fcvt to 32-bit", a, uint64_t(rnd),
              [&](uint32_t &f) { return host_fp_to_int<uint32_t>(a, uns, rnd, fpcr, &f); },
              [&](FPSCR &s) { return fplibFPToFixed<T, uint32_t>(a, 0, uns, rnd, s); });
        check("fcvt to 64-bit", a, uint64_t(rnd),
              [&](uint32_t &f) { return host_fp_to_int<uint64_t>(a, uns, rnd, fpcr, &f); },
              [&](FPSCR &s) { return fplibFPToFixed<T, uint64_t>(a, 0, uns, rnd, s); });
        const uint64_t n = r.next() >> r.below(64);
        check("cvtf", n, uns, [&](uint32_t &f) { return host_fp_from_int<T>(n, uns, fpcr, &f); },
              [&](FPSCR &s) {
                  return fplibFixedToFP<T>(n, 0, uns, FPRounding((fpcr >> FPSCR_RMODE_SHIFT) & 3), s);
              });
        check("frecpe", a, 0, [&](uint32_t &f) { return host_fp_recip_estimate(a, fpcr, &f); },
              [&](FPSCR &s) { return FPRecipEstimate(a, s); });
        check("frsqrte", a, 0, [&](uint32_t &f) { return host_fp_rsqrt_estimate(a, fpcr, &f); },
              [&](FPSCR &s) { return FPRSqrtEstimate(a, s); });
        check("frecps", a, b, [&](uint32_t &f) { return host_fp_recip_step(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPRecipStepFused(a, b, s); });
        check("frsqrts", a, b, [&](uint32_t &f) { return host_fp_rsqrt_step(a, b, fpcr, &f); },
              [&](FPSCR &s) { return FPRSqrtStepFused(a, b, s); });
        check("frecpx", a, 0, [&](uint32_t &f) { return host_fp_recpx(a, fpcr, &f); },
              [&](FPSCR &s) { return FPRecpX(a, s); });
        const FPRounding cur = FPRounding((fpcr >> FPSCR_RMODE_SHIFT) & 3);
        if constexpr (sizeof(T) == 4) {
            check("fcvt s->d", a, 0, [&](uint32_t &f) { return host_fp_convert<S, D>(a, fpcr, &f); },
                  [&](FPSCR &s) { return FPConvert<S, D>(a, cur, s); });
            check("fcvt s->h", a, 0, [&](uint32_t &f) { return host_fp_convert<S, H>(a, fpcr, &f); },
                  [&](FPSCR &s) { return FPConvert<S, H>(a, cur, s); });
            const H h = H(a);
            check("fcvt h->s", h, 0, [&](uint32_t &f) { return host_fp_convert<H, S>(h, fpcr, &f); },
                  [&](FPSCR &s) { return FPConvert<H, S>(h, cur, s); });
        } else {
            check("fcvt d->s", a, 0, [&](uint32_t &f) { return host_fp_convert<D, S>(a, fpcr, &f); },
                  [&](FPSCR &s) { return FPConvert<D, S>(a, cur, s); });
            check("fcvt d->h", a, 0, [&](uint32_t &f) { return host_fp_convert<D, H>(a, fpcr, &f); },
                  [&](FPSCR &s) { return FPConvert<D, H>(a, cur, s); });
            const H h = H(a);
            check("fcvt h->d", h, 0, [&](uint32_t &f) { return host_fp_convert<H, D>(h, fpcr, &f); },
                  [&](FPSCR &s) { return FPConvert<H, D>(h, cur, s); });
        }
    }
}

}  // namespace

TEST(HostFPProcessor, SingleAgainstTheLibrary) { compare_with_processor<S>(501); }
TEST(HostFPProcessor, DoubleAgainstTheLibrary) { compare_with_processor<D>(502); }

TEST(HostFPProcessor, RestoresTheHostControlRegister) {
    const uint64_t before = read_fpcr();
    uint32_t fpsr = 0;
    host_fp_add<S>(1, 2, FPSCR_FZ | FPSCR_DN | (3u << FPSCR_RMODE_SHIFT), &fpsr);
    host_fp_round_int<D>(0x3FF8000000000000ull, FPRounding_POSINF, true, 0, &fpsr);
    EXPECT_EQ(read_fpcr(), before);
}

#else

TEST(HostFPProcessor, NeedsAArch64) {
    GTEST_SKIP() << "on this processor the host interface is the software library: nothing to compare against";
}

#endif
