// Reciprocal and reciprocal-square-root estimates against a model built from
// the architecture's definition in host double arithmetic; the fused steps
// against the host's fused multiply-add; the reciprocal exponent; scaling
// against exact oracles.
#include <gtest/gtest.h>

#include <cmath>

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"
#include "tests/fplib/half_oracle.h"

using namespace fptest;

namespace {

// The estimate definitions in double arithmetic: a in [0.5, 1) and [0.25, 1).
double recip_estimate(double a) {
    const double ap = (double(int32_t(a * 512)) + 0.5) / 512;
    return std::trunc(256 / ap + 0.5) / 256;
}
double recip_sqrt_estimate(double a) {
    const double ap = a < 0.5 ? (double(int32_t(a * 512)) + 0.5) / 512 : (double(int32_t(a * 256)) + 0.5) / 256;
    return std::trunc(256 / std::sqrt(ap) + 0.5) / 256;
}

template <typename T>
double value(T x) {
    if constexpr (sizeof(T) == 2)
        return half_to_double(x);
    else if constexpr (sizeof(T) == 4)
        return f32(x);
    else
        return f64(x);
}

// A positive double (nine significant bits at most) to the format, truncating.
template <typename T>
T to_format_truncated(double v) {
    using F = FPFormat<T>;
    int e;
    const double m = std::frexp(v, &e);  // v = m * 2^e
    int biased = e - 1 + F::B;
    uint64_t sig = uint64_t(std::ldexp(m, F::M + 1));  // leading one at bit M
    if (biased < 1) {
        const int sh = 1 - biased;
        sig = sh > 63 ? 0 : sig >> sh;
        biased = 0;
    }
    return T((T(biased) << F::M) | (T(sig) & F::FRAC));
}

// Expected FPRecipEstimate of a finite non-zero x that neither overflows nor
// is flushed: 1/x ~= recip_estimate(m) * 2^-e for x = m * 2^e, m in [0.5, 1).
template <typename T>
T expected_recip(T x) {
    int e;
    const double m = std::frexp(std::fabs(value(x)), &e);
    const T mag = to_format_truncated<T>(std::ldexp(recip_estimate(m), -e));
    return T(mag | (x & FPFormat<T>::SIGN));
}

// Expected FPRSqrtEstimate of a positive finite x: x = m * 2^e with m in
// [0.25, 1) and e even; 1/sqrt(x) ~= recip_sqrt_estimate(m) * 2^(-e/2).
template <typename T>
T expected_rsqrt(T x) {
    int e;
    double m = std::frexp(value(x), &e);
    if (e & 1) {
        m /= 2;
        ++e;
    }
    return to_format_truncated<T>(std::ldexp(recip_sqrt_estimate(m), -e / 2));
}

template <typename T>
void check_estimates(T x, int &failures) {
    using F = FPFormat<T>;
    const uint32_t fz = sizeof(T) == 2 ? FPSCR_FZ16 : FPSCR_FZ;
    const double v = value(x);
    if (!std::isfinite(v) || v == 0) return;
    // Reciprocal: skipped where it overflows (|x| < 2^-(B+1)) or would be
    // flushed (the edge tests cover both).
    if (std::fabs(v) >= std::ldexp(1.0, -F::B - 1)) {
        FPSCR s = 0;
        const T got = FPRecipEstimate(x, s);
        const T want = expected_recip(x);
        if (got != want || s != 0) {
            ++failures;
            ADD_FAILURE() << std::hex << "recpe 0x" << uint64_t(x) << ": want 0x" << uint64_t(want) << ", got 0x"
                          << uint64_t(got) << " flags 0x" << s;
        }
    }
    if (v > 0) {
        FPSCR s = fz;
        const T got = FPRSqrtEstimate(x, s);
        const bool flushed = (x & F::EXP_MASK) == 0;
        const T want = flushed ? F::INF : expected_rsqrt(x);
        const uint32_t want_flags = flushed ? FPSCR_DZC | (sizeof(T) == 2 ? 0 : FPSCR_IDC) : 0;
        if (got != want || (s & FPSCR_FLAGS) != want_flags) {
            ++failures;
            ADD_FAILURE() << std::hex << "rsqrte 0x" << uint64_t(x) << ": want 0x" << uint64_t(want) << ", got 0x"
                          << uint64_t(got) << " flags 0x" << s;
        }
        s = 0;
        if (flushed && FPRSqrtEstimate(x, s) != expected_rsqrt(x)) {
            ++failures;
            ADD_FAILURE() << std::hex << "rsqrte of the subnormal 0x" << uint64_t(x);
        }
    }
}

}  // namespace

TEST(FPEstimate, RSqrtTableMatchesTheDefinition) {
    for (int i = 0; i < 256; ++i) {
        const double a = i < 128 ? (128.0 + i) / 512 : (256.0 + 2 * (i - 128)) / 512;
        EXPECT_EQ(int(kFPRSqrtEstimateTable.v[i]), int(256 * recip_sqrt_estimate(a)) - 256) << i;
    }
}

TEST(FPEstimate, EveryHalfAndEverySingleSignificandTop) {
    int failures = 0;
    for (uint32_t x = 0; x < 0x10000 && failures < 10; ++x) check_estimates(H(x), failures);
    // Single: every exponent with the top ten fraction bits, random low bits.
    Rng r(401);
    for (uint32_t e = 0; e < 255 && failures < 10; ++e)
        for (uint32_t top = 0; top < 1024; ++top)
            check_estimates(S((e << 23) | (top << 13) | (r.next() & 0x1FFF) | (r.coin() ? 0x80000000u : 0)),
                            failures);
    for (uint64_t i = 0; i < samples(200000, 10000000) && failures < 10; ++i)
        check_estimates(biased_operand<D>(r), failures);
}

TEST(FPEstimate, RecipEstimateEdges) {
    FPSCR s = 0;
    EXPECT_EQ(FPRecipEstimate<S>(0, s), 0x7F800000u);
    EXPECT_EQ(s, uint32_t(FPSCR_DZC));
    s = 0;
    EXPECT_EQ(FPRecipEstimate<S>(0xFF800000u, s), 0x80000000u);
    EXPECT_EQ(FPRecipEstimate<S>(0x3F800000u, s), 0x3F7F8000u);
    EXPECT_EQ(FPRecipEstimate<S>(0x00800000u, s), 0x7E7F8000u);
    EXPECT_EQ(s, 0u);
    s = FPSCR_FZ;
    EXPECT_EQ(FPRecipEstimate<S>(0x7E800000u, s), 0u);  // exponent 253: the reciprocal is flushed
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_UFC));
    s = FPSCR_FZ;
    EXPECT_EQ(FPRecipEstimate<S>(0x80000001u, s), 0xFF800000u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_DZC | FPSCR_IDC));
    s = 3u << FPSCR_RMODE_SHIFT;
    EXPECT_EQ(FPRecipEstimate<S>(0x00100000u, s), 0x7F7FFFFFu);  // below 2^-128
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_OFC | FPSCR_IXC));
    s = 0;
    EXPECT_EQ(FPRecipEstimate<S>(0x80100000u, s), 0xFF800000u);
    s = 1u << FPSCR_RMODE_SHIFT;
    EXPECT_EQ(FPRecipEstimate<S>(0x80100000u, s), 0xFF7FFFFFu);
    s = 0;
    EXPECT_NE(FPRecipEstimate<S>(0x00200000u, s) & 0x7F800000u, 0x7F800000u);  // not below the bound
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(FPRecipEstimate<S>(0x7F800001u, s), 0x7FC00001u);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = FPSCR_FZ16;  // half uses FZ16 for the flush of the result
    EXPECT_EQ(FPRecipEstimate<H>(0x7400, s), 0);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_UFC));
}

TEST(FPEstimate, RSqrtEstimateEdges) {
    FPSCR s = 0;
    EXPECT_EQ(FPRSqrtEstimate<S>(0x80000000u, s), 0xFF800000u);
    EXPECT_EQ(s, uint32_t(FPSCR_DZC));
    s = 0;
    EXPECT_EQ(FPRSqrtEstimate<S>(0xBF800000u, s), 0x7FC00000u);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = 0;
    EXPECT_EQ(FPRSqrtEstimate<S>(0xFF800000u, s), 0x7FC00000u);
    EXPECT_EQ(FPRSqrtEstimate<S>(0x7F800000u, s), 0u);
    EXPECT_EQ(FPRSqrtEstimate<S>(0x3F800000u, s), 0x3F7F8000u);
    EXPECT_EQ(FPRSqrtEstimate<S>(0x40800000u, s), 0x3EFF8000u);
    EXPECT_EQ(FPRSqrtEstimate<D>(0x3FF0000000000000ull, s), 0x3FEFF00000000000ull);
}

TEST(FPEstimate, StepsAgainstTheHostFusedMultiplyAdd) {
#if defined(__x86_64__)
    if (!__builtin_cpu_supports("fma")) GTEST_SKIP() << "this processor has no FMA instructions";
    Rng r(402);
    int failures = 0;
    for (uint64_t i = 0; i < samples(100000, 5000000) && failures < 10; ++i) {
        // Finite, non-zero operands whose product is near 2 (or anywhere).
        const S a = make_fp<S>(r.coin(), r.range(2, 253), biased_fraction<S>(r));
        S b = make_fp<S>(r.coin(), r.range(2, 253), biased_fraction<S>(r));
        if (r.coin()) b = bits(2.0f / f32(a)) + S(r.range(-2, 2));
        if (!std::isfinite(f32(b)) || f32(b) == 0) continue;
        for (int rm = 0; rm < 4; ++rm) {
            std::fesetround(host_rounding(rm));
            std::feclearexcept(FE_ALL_EXCEPT);
            const S want = host_op<S>(HostOp::MulAdd, bits(2.0f), FPNeg(a), b);
            const S want_r = host_op<S>(HostOp::MulAdd, bits(1.5f), FPNeg(S(a - 0x00800000u)), b);  // a / 2
            std::fesetround(FE_TONEAREST);
            FPSCR s = FPSCR(rm) << FPSCR_RMODE_SHIFT, t = s;
            const S got = FPRecipStepFused(a, b, s);
            const S got_r = FPRSqrtStepFused(a, b, t);
            if (got != want || got_r != want_r) {
                ++failures;
                ADD_FAILURE() << std::hex << "a=0x" << a << " b=0x" << b << " rm " << rm << ": recps 0x" << got
                              << " want 0x" << want << ", rsqrts 0x" << got_r << " want 0x" << want_r;
            }
        }
    }
#else
    GTEST_SKIP() << "the host fused multiply-add reference runs on x86_64 builds only";
#endif
}

TEST(FPEstimate, StepSpecialCases) {
    FPSCR s = 0;
    EXPECT_EQ(FPRecipStepFused<S>(0x7F800000u, 0, s), 0x40000000u);
    EXPECT_EQ(FPRSqrtStepFused<S>(0, 0xFF800000u, s), 0x3FC00000u);
    EXPECT_EQ(FPRSqrtStepFused<H>(0x8000, 0x7C00, s), 0x3E00);
    EXPECT_EQ(FPRecipStepFused<S>(0x3F800000u, 0x3F800000u, s), 0x3F800000u);
    EXPECT_EQ(FPRSqrtStepFused<S>(0x3F800000u, 0x3F800000u, s), 0x3F800000u);
    EXPECT_EQ(FPRecipStepFused<S>(0x7F800000u, 0x3F800000u, s), 0xFF800000u);  // -(inf) * 1
    EXPECT_EQ(s, 0u);
    // A NaN first operand is propagated with its sign inverted.
    EXPECT_EQ(FPRecipStepFused<S>(0x7FC00001u, 0x3F800000u, s), 0xFFC00001u);
    EXPECT_EQ(FPRecipStepFused<D>(0x3FF0000000000000ull, 0x4000000000000000ull, s), 0u);  // 2 - 2 = +0
    s = 2u << FPSCR_RMODE_SHIFT;
    EXPECT_EQ(FPRecipStepFused<D>(0x3FF0000000000000ull, 0x4000000000000000ull, s), 0x8000000000000000ull);
}

TEST(FPEstimate, RecpX) {
    FPSCR s = 0;
    EXPECT_EQ(FPRecpX<S>(0x40000000u, s), 0x3F800000u);
    EXPECT_EQ(FPRecpX<S>(0x3F400000u, s), 0x40800000u);
    EXPECT_EQ(FPRecpX<S>(0, s), 0x7F000000u);
    EXPECT_EQ(FPRecpX<S>(0xFF800000u, s), 0x80000000u);
    EXPECT_EQ(FPRecpX<H>(0x8001, s), 0xF800);
    EXPECT_EQ(FPRecpX<D>(0x0000000000000001ull, s), 0x7FE0000000000000ull);
    EXPECT_EQ(s, 0u);
    s = FPSCR_FZ16;
    EXPECT_EQ(FPRecpX<H>(0x0001, s), 0x7800);
    EXPECT_EQ(s & FPSCR_FLAGS, 0u);
    s = FPSCR_FZ;
    EXPECT_EQ(FPRecpX<S>(0x00000001u, s), 0x7F000000u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
    s = FPSCR_DN;
    EXPECT_EQ(FPRecpX<S>(0xFF800001u, s), 0x7FC00000u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IOC));
    s = 0;
    EXPECT_EQ(FPRecpX<S>(0xFFC00001u, s), 0xFFC00001u);
    EXPECT_EQ(s, 0u);
}

// Scaling: half against the exact oracle, any n; the clamps must not change
// results.
TEST(FPEstimate, ScaleHalfAgainstTheOracle) {
    Rng r(403);
    int failures = 0;
    for (uint64_t i = 0; i < samples(400000, 20000000) && failures < 10; ++i) {
        const H x = biased_operand<H>(r);
        const short n = short(r.below(8) == 0 ? int(r.next()) : r.range(-45, 45));
        const int rm = int(r.below(4));
        if ((x & 0x7C00) == 0x7C00 || (x & 0x7FFF) == 0) continue;
        const int e = (x >> 10) & 31, f = x & 0x3FF;
        const uint64_t mag = e ? uint64_t(1024 + f) : uint64_t(f);
        const HalfRef want = half_round((x >> 15) != 0, mag, (e ? e : 1) - 25 + n, false, rm);
        FPSCR s = FPSCR(rm) << FPSCR_RMODE_SHIFT;
        const H got = FPScale16(x, n, s);
        if (got != want.bits || int(s & FPSCR_FLAGS) != want.flags) {
            ++failures;
            ADD_FAILURE() << std::hex << "x=0x" << x << std::dec << " n=" << n << " rm " << rm << std::hex
                          << ": want 0x" << want.bits << " flags 0x" << want.flags << ", got 0x" << got
                          << " flags 0x" << s;
        }
    }
}

TEST(FPEstimate, ScaleEdges) {
    FPSCR s = 0;
    EXPECT_EQ(FPScale32(0x3F800000u, 1000, s), 0x7F800000u);
    EXPECT_EQ(s, uint32_t(FPSCR_OFC | FPSCR_IXC));
    s = 3u << FPSCR_RMODE_SHIFT;
    EXPECT_EQ(FPScale64(0x8000000000000001ull, -4000000000L, s), 0x8000000000000000ull);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_UFC | FPSCR_IXC));
    s = 0;
    EXPECT_EQ(FPScale64(0x0000000000000001ull, 1074 + 1023, s), 0x7FE0000000000000ull);
    EXPECT_EQ(FPScale32(0xFF800000u, -5, s), 0xFF800000u);
    EXPECT_EQ(FPScale32(0x80000000u, 5, s), 0x80000000u);
    EXPECT_EQ(s, 0u);
    s = FPSCR_FZ;
    EXPECT_EQ(FPScale32(0x00400000u, 10, s), 0u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
    s = FPSCR_FZ;
    EXPECT_EQ(FPScale32(0x00800000u, -1, s), 0u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_UFC));
}
