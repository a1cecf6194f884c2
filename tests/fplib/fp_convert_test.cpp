// Conversions: the listed edge cases; half <-> single against the host's F16C
// instructions; double -> half and half -> double against the exact double
// path; single <-> double, integer -> float and round-to-integral against
// the host FPU; float -> integer against exact references.
#include <gtest/gtest.h>

#include <cmath>

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"
#include "tests/fplib/half_oracle.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

using namespace fptest;

namespace {

constexpr uint32_t rmode(int rm) { return uint32_t(rm) << FPSCR_RMODE_SHIFT; }

}  // namespace

TEST(FPConvertEdge, NarrowingWideningAndAlternativeHalf) {
    FPSCR s = 0;
    EXPECT_EQ((FPConvert<S, H>(0x477FF000u, FPRounding_TIEEVEN, s)), 0x7C00);  // 65520 overflows
    EXPECT_EQ(s, uint32_t(FPSCR_OFC | FPSCR_IXC));
    s = FPSCR_AHP;
    EXPECT_EQ((FPConvert<S, H>(0x477FF000u, FPRounding_TIEEVEN, s)), 0x7C00);  // a tie up to 2^16: finite
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IXC));
    s = FPSCR_AHP;
    EXPECT_EQ((FPConvert<S, H>(0x7FC00000u, FPRounding_TIEEVEN, s)), 0x0000);
    EXPECT_EQ((FPConvert<S, H>(0xFF800000u, FPRounding_TIEEVEN, s)), 0xFFFF);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IOC));
    s = FPSCR_AHP;
    EXPECT_EQ((FPConvert<S, H>(0x48000000u, FPRounding_TIEEVEN, s)), 0x7FFF);  // 131072 > 131008
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IOC));
    s = FPSCR_AHP;
    EXPECT_EQ((FPConvert<H, S>(0x7C01, FPRounding_TIEEVEN, s)), 0x47802000u);  // AHP: a number
    EXPECT_EQ(s & FPSCR_FLAGS, 0u);
    s = 0;
    EXPECT_EQ((FPConvert<H, S>(0x7C01, FPRounding_TIEEVEN, s)), 0x7FC02000u);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = FPSCR_DN;
    EXPECT_EQ((FPConvert<D, S>(0xFFF0000000000001ull, FPRounding_TIEEVEN, s)), 0x7FC00000u);
    s = 0;
    EXPECT_EQ((FPConvert<D, H>(0xFFF8000000000000ull | (0x155ull << 42), FPRounding_TIEEVEN, s)), 0xFF55);
    // Half inputs are not flushed by a conversion (FZ16 does not apply);
    // single inputs are flushed under FZ with IDC.
    s = FPSCR_FZ16;
    EXPECT_EQ((FPConvert<H, S>(0x0001, FPRounding_TIEEVEN, s)), 0x33800000u);
    EXPECT_EQ((FPConvert<H, D>(0x8200, FPRounding_TIEEVEN, s)), 0xBF00000000000000ull);
    EXPECT_EQ(s & FPSCR_FLAGS, 0u);
    s = FPSCR_FZ;
    EXPECT_EQ((FPConvert<S, D>(0x80000001u, FPRounding_TIEEVEN, s)), 0x8000000000000000ull);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
    // A half result is never flushed; a single result is under FZ.
    s = FPSCR_FZ16 | FPSCR_FZ;
    EXPECT_EQ((FPConvert<S, H>(0x33800000u, FPRounding_TIEEVEN, s)), 0x0001);
    EXPECT_EQ((FPConvert<D, S>(0x3690000000000000ull, FPRounding_TIEEVEN, s)), 0u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_UFC));
    // A subnormal double is far below any single: zero, or the smallest
    // subnormal when rounding away from it.
    s = 0;
    EXPECT_EQ((FPConvert<D, S>(1, FPRounding_POSINF, s)), 1u);
    EXPECT_EQ(s, uint32_t(FPSCR_UFC | FPSCR_IXC));
}

TEST(FPConvertEdge, FloatToFixed) {
    FPSCR s = 0;
    EXPECT_EQ((fplibFPToFixed<S, S>(0x7F800000u, 0, false, FPRounding_ZERO, s)), 0x7FFFFFFFu);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = 0;
    EXPECT_EQ((fplibFPToFixed<S, S>(0xFF800000u, 0, true, FPRounding_ZERO, s)), 0u);
    EXPECT_EQ((fplibFPToFixed<S, S>(0x7FC00000u, 0, false, FPRounding_ZERO, s)), 0u);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = 0;
    EXPECT_EQ((fplibFPToFixed<S, S>(0xBF000000u, 0, true, FPRounding_ZERO, s)), 0u);  // -0.5 unsigned
    EXPECT_EQ(s, uint32_t(FPSCR_IXC));
    s = 0;
    EXPECT_EQ((fplibFPToFixed<S, S>(0xBF800000u, 0, true, FPRounding_ZERO, s)), 0u);  // -1.0 unsigned
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = 0;
    EXPECT_EQ((fplibFPToFixed<D, S>(0x41E0000000000000ull, 0, false, FPRounding_ZERO, s)), 0x7FFFFFFFu);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    s = 0;
    EXPECT_EQ((fplibFPToFixed<D, S>(0xC1E0000000000000ull, 0, false, FPRounding_ZERO, s)), 0x80000000u);
    EXPECT_EQ(s, 0u);
    // 2^31 - 0.5 rounds up out of range: IOC without IXC.
    EXPECT_EQ((fplibFPToFixed<D, S>(0x41DFFFFFFFE00000ull, 0, false, FPRounding_TIEAWAY, s)), 0x7FFFFFFFu);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
    // Zeros (and flushed subnormals) convert exactly.
    for (int rounding = 0; rounding <= 4; ++rounding) {
        s = 0;
        EXPECT_EQ((fplibFPToFixed<H, D>(0x8000, 0, false, FPRounding(rounding), s)), 0u);
        EXPECT_EQ((fplibFPToFixed<S, D>(0, 0, true, FPRounding(rounding), s)), 0u);
        EXPECT_EQ(s, 0u);
        s = FPSCR_FZ;
        EXPECT_EQ((fplibFPToFixed<D, S>(0x000FFFFFFFFFFFFFull, 0, false, FPRounding(rounding), s)), 0u);
        EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
    }
    // The shared core on double-precision unpacked values.
    int flags = 0;
    EXPECT_EQ(FPToFixed_64(1, 1086, uint64_t(1) << 52, false, FPRounding_ZERO, &flags), 0x8000000000000000ull);
    EXPECT_EQ(FPToFixed_64(0, 1086, uint64_t(1) << 52, true, FPRounding_ZERO, &flags), 0x8000000000000000ull);
    EXPECT_EQ(FPToFixed_64(0, 1090, 1, false, FPRounding_ZERO, &flags), 0x8000u);  // short significand
    EXPECT_EQ(FPToFixed_64(0, 900, 0, false, FPRounding_POSINF, &flags), 0u);      // zero: exact
    EXPECT_EQ(flags, 0);
    EXPECT_EQ(FPToFixed_64(0, 1086, uint64_t(1) << 52, false, FPRounding_ZERO, &flags), 0x7FFFFFFFFFFFFFFFull);
    EXPECT_EQ(flags, FPSCR_IOC);
    flags = 0;
    EXPECT_EQ(FPToFixed_64(1, 1022, uint64_t(3) << 51, false, FPRounding_TIEAWAY, &flags), ~uint64_t(0));  // -0.75
    EXPECT_EQ(flags, FPSCR_IXC);
    // Fraction bits: 0.75 * 2^2 = 3; -2^-3 * 2^64 = -2^61 fits, -1 * 2^64 saturates.
    s = 0;
    EXPECT_EQ((fplibFPToFixed<S, H>(0x3F400000u, 2, false, FPRounding_ZERO, s)), 3);
    EXPECT_EQ((fplibFPToFixed<S, D>(0xBE000000u, 64, false, FPRounding_ZERO, s)), 0xE000000000000000ull);
    EXPECT_EQ(s, 0u);
    EXPECT_EQ((fplibFPToFixed<S, D>(0xBF800000u, 64, false, FPRounding_ZERO, s)), 0x8000000000000000ull);
    EXPECT_EQ(s, uint32_t(FPSCR_IOC));
}

TEST(FPConvertEdge, FixedToFloatAndRoundInt) {
    FPSCR s = 0;
    EXPECT_EQ(fplibFixedToFP<S>(~uint64_t(0), 0, true, FPRounding_TIEEVEN, s), 0x5F800000u);
    EXPECT_EQ(s, uint32_t(FPSCR_IXC));
    s = 0;
    EXPECT_EQ(fplibFixedToFP<S>(~uint64_t(0), 0, false, FPRounding_TIEEVEN, s), 0xBF800000u);
    EXPECT_EQ(fplibFixedToFP<D>(0, 0, false, FPRounding_NEGINF, s), 0u);
    EXPECT_EQ(fplibFixedToFP<H>(65520, 0, true, FPRounding_TIEEVEN, s), 0x7C00);
    EXPECT_EQ(s, uint32_t(FPSCR_OFC | FPSCR_IXC));
    s = 0;
    EXPECT_EQ(fplibFixedToFP<H>(3, 2, false, FPRounding_ZERO, s), 0x3A00);  // 3 / 4
    // 1 / 2^40 is below the half normals: flushed under FZ16, rounded otherwise.
    s = FPSCR_FZ16;
    EXPECT_EQ(fplibFixedToFP<H>(1, 40, false, FPRounding_POSINF, s), 0);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_UFC));
    s = 0;
    EXPECT_EQ(fplibFixedToFP<H>(1, 40, false, FPRounding_POSINF, s), 1);
    EXPECT_EQ(s, uint32_t(FPSCR_UFC | FPSCR_IXC));

    struct Case {
        S x;
        int rounding;
        S want;
    } cases[] = {
        {0x40200000u, 0, 0x40000000u}, {0x40600000u, 0, 0x40800000u}, {0x40200000u, 4, 0x40400000u},
        {0xC0200000u, 4, 0xC0400000u}, {0xBE800000u, 1, 0x80000000u}, {0xBEA00000u, 3, 0x80000000u},
        {0xBEA00000u, 0, 0x80000000u}, {0x4B000001u, 0, 0x4B000001u}, {0x3F000000u, 1, 0x3F800000u},
    };
    for (const Case &c : cases) {
        for (int exact = 0; exact < 2; ++exact) {
            s = 0;
            EXPECT_EQ(FPRoundInt(c.x, FPRounding(c.rounding), exact != 0, s), c.want) << std::hex << c.x;
            const bool inexact = f32(c.x) != std::trunc(f32(c.x));
            EXPECT_EQ(s, exact && inexact ? uint32_t(FPSCR_IXC) : 0u) << std::hex << c.x;
        }
    }
    s = FPSCR_FZ;
    EXPECT_EQ(FPRoundInt<S>(0x80000001u, FPRounding_POSINF, true, s), 0x80000000u);
    EXPECT_EQ(s & FPSCR_FLAGS, uint32_t(FPSCR_IDC));
}

// Float -> integer for every half value against the double value rounded by
// the host: exact, since half values, their multiples by 2^fbits and their
// integer roundings are all doubles.
TEST(FPConvertOracle, HalfToFixedExhaustive) {
    int failures = 0;
    for (int fbits : {0, 3}) {
        for (int rounding = 0; rounding <= 4 && failures < 10; ++rounding) {
            for (uint32_t x = 0; x < 0x10000 && failures < 10; ++x) {
                const double d = std::ldexp(half_to_double(H(x)), fbits);
                const double rd = round_integral(d, rounding);
                for (int width : {16, 32, 64}) {
                    for (int uns = 0; uns < 2; ++uns) {
                        const double lo = uns ? 0 : -std::ldexp(1, width - 1);
                        const double hi = uns ? std::ldexp(1, width) - 1 : std::ldexp(1, width - 1) - 1;
                        uint64_t want;
                        uint32_t want_flags;
                        if (std::isnan(d)) {
                            want = 0;
                            want_flags = FPSCR_IOC;
                        } else if (rd < lo || rd > hi) {
                            want = rd < lo ? (uns ? 0 : uint64_t(1) << (width - 1)) : (uns ? ~uint64_t(0) : (uint64_t(1) << (width - 1)) - 1);
                            want_flags = FPSCR_IOC;
                        } else {
                            want = uint64_t(int64_t(rd)) ;
                            if (uns) want = uint64_t(rd);
                            want_flags = rd != d ? FPSCR_IXC : 0;
                        }
                        if (width < 64) want &= (uint64_t(1) << width) - 1;
                        FPSCR s = 0;
                        uint64_t got;
                        const FPRounding rnd = FPRounding(rounding);
                        if (width == 16)
                            got = fplibFPToFixed<H, H>(H(x), fbits, uns, rnd, s);
                        else if (width == 32)
                            got = fplibFPToFixed<H, S>(H(x), fbits, uns, rnd, s);
                        else
                            got = fplibFPToFixed<H, D>(H(x), fbits, uns, rnd, s);
                        if (got != want || s != want_flags) {
                            ++failures;
                            ADD_FAILURE() << std::hex << "half 0x" << x << " fbits " << fbits << " rounding "
                                          << rounding << " width " << std::dec << width << " unsigned " << uns
                                          << std::hex << ": want 0x" << want << " flags 0x" << want_flags
                                          << ", got 0x" << got << " flags 0x" << s;
                        }
                    }
                }
            }
        }
    }
}

// Every 16-bit integer, and random 64-bit integers, to half precision.
TEST(FPConvertOracle, IntegerToHalf) {
    Rng r(301);
    int failures = 0;
    auto check = [&](uint64_t x, bool uns, int fbits, int rm) {
        const bool neg = !uns && int64_t(x) < 0;
        const uint64_t mag = neg ? uint64_t(0) - x : x;
        const HalfRef want = half_round(neg, mag, -fbits, false, rm);
        FPSCR s = 0;
        const H got = fplibFixedToFP<H>(x, fbits, uns, FPRounding(rm), s);
        if (got != want.bits || int(s) != want.flags) {
            ++failures;
            ADD_FAILURE() << std::hex << "x=0x" << x << " unsigned " << uns << " fbits " << std::dec << fbits
                          << " rm " << rm << std::hex << ": want 0x" << want.bits << " flags 0x" << want.flags
                          << ", got 0x" << got << " flags 0x" << s;
        }
    };
    for (int rm = 0; rm < 4; ++rm) {
        for (uint32_t v = 0; v < 0x10000 && failures < 10; ++v) {
            check(uint64_t(int64_t(int16_t(v))), false, 0, rm);
            check(v, true, 0, rm);
        }
        for (uint64_t i = 0; i < samples(20000, 1000000) && failures < 10; ++i)
            check(r.next() >> r.below(64), r.coin(), int(r.below(65)), rm);
    }
}

#if defined(__x86_64__)

namespace {

bool host_has_f16c() {
    unsigned a, b, c, d;
    return __get_cpuid(1, &a, &b, &c, &d) && (c & bit_F16C);
}

// F16C single -> half with an explicit rounding (the x86 encoding of the
// mode: 0 nearest, 1 down, 2 up, 3 toward zero), and half -> single. Inline
// assembly keeps them between the flag clear and the flag read.
// (The conversions are packed: the other lanes are zeroed by the vmovd so
// that they raise nothing.)
template <int imm>
H f16c_round(S x) {
    double out;
    asm volatile("vmovd %1, %0\n\tvcvtps2ph %2, %0, %0" : "=&x"(out) : "r"(x), "i"(imm) : "memory");
    return H(bits(out));
}
H f16c_from_single(S x, int rm) {
    switch (rm) {
    case 0: return f16c_round<0>(x);
    case 1: return f16c_round<2>(x);
    case 2: return f16c_round<1>(x);
    default: return f16c_round<3>(x);
    }
}
S f16c_to_single(H x) {
    double out;
    asm volatile("vmovd %1, %0\n\tvcvtph2ps %0, %0" : "=&x"(out) : "r"(uint32_t(x)) : "memory");
    return S(bits(out));
}

// Host flags to Arm flags, with tininess reconciled: x86 reports underflow
// after rounding, Arm before; they differ only for results of exactly +-2^emin,
// where Arm underflows iff the same conversion rounded toward zero is tiny.
template <typename T>
uint32_t arm_flags(int ex, T result, bool tiny_toward_zero) {
    uint32_t f = 0;
    if (ex & FE_INVALID) f |= FPSCR_IOC;
    if (ex & FE_OVERFLOW) f |= FPSCR_OFC;
    if (ex & FE_INEXACT) {
        f |= FPSCR_IXC;
        if (T(result & ~FPFormat<T>::SIGN) <= FPFormat<T>::IMPLICIT && tiny_toward_zero) f |= FPSCR_UFC;
    }
    return f;
}

}  // namespace

TEST(FPConvertHost, HalfSingleAgainstF16C) {
    if (!host_has_f16c()) GTEST_SKIP() << "this processor has no F16C conversions";
    int failures = 0;
    // Half -> single: every half value, NaNs included.
    for (uint32_t x = 0; x < 0x10000 && failures < 10; ++x) {
        std::feclearexcept(FE_ALL_EXCEPT);
        const S want = f16c_to_single(H(x));
        const uint32_t want_flags = (std::fetestexcept(FE_INVALID) || fp_is_snan_bits(H(x))) ? FPSCR_IOC : 0;
        FPSCR s = 0;
        const S got = FPConvert<H, S>(H(x), FPRounding_TIEEVEN, s);
        if (got != want || s != want_flags) {
            ++failures;
            ADD_FAILURE() << std::hex << "half 0x" << x << ": want 0x" << want << ", got 0x" << got << " flags 0x"
                          << s;
        }
    }
    // Single -> half: values around the half range and arbitrary ones.
    Rng r(302);
    for (uint64_t i = 0; i < samples(400000, 20000000) && failures < 10; ++i) {
        S x = r.below(4) == 0 ? S(r.next()) : make_fp<S>(r.coin(), r.range(127 - 27, 127 + 17), biased_fraction<S>(r));
        if (r.below(8) == 0) x = biased_operand<S>(r);
        for (int rm = 0; rm < 4; ++rm) {
            std::feclearexcept(FE_ALL_EXCEPT);
            const H want = f16c_from_single(x, rm);
            const int ex = std::fetestexcept(FE_ALL_EXCEPT);
            const bool tiny = (f16c_from_single(x, 3) & 0x7FFF) < 0x400;
            const uint32_t want_flags = arm_flags<H>(ex, want, tiny);
            FPSCR s = 0;
            const H got = FPConvert<S, H>(x, FPRounding(rm), s);
            const bool same = fp_is_nan_bits(want) ? got == H(want | 0x200) : got == want;
            if (!same || s != want_flags) {
                ++failures;
                ADD_FAILURE() << std::hex << "single 0x" << x << " rm " << rm << ": want 0x" << want << " flags 0x"
                              << want_flags << ", got 0x" << got << " flags 0x" << s;
            }
        }
    }
}

TEST(FPConvertHost, DoubleHalfAgainstTheDoublePath) {
    int failures = 0;
    for (uint32_t x = 0; x < 0x10000 && failures < 10; ++x) {
        FPSCR s = 0;
        const D got = FPConvert<H, D>(H(x), FPRounding_TIEEVEN, s);
        const D want = fp_is_nan_bits(H(x)) ? (D(x & 0x8000) << 48) | 0x7FF8000000000000ull | (D(x & 0x1FF) << 42)
                                            : bits(half_to_double(H(x)));
        if (got != want) {
            ++failures;
            ADD_FAILURE() << std::hex << "half 0x" << x << ": want 0x" << want << ", got 0x" << got;
        }
    }
    Rng r(303);
    for (uint64_t i = 0; i < samples(400000, 20000000) && failures < 10; ++i) {
        D x = make_fp<D>(r.coin(), r.range(1023 - 27, 1023 + 17), biased_fraction<D>(r));
        if (r.below(8) == 0) x = biased_operand<D>(r);
        if (fp_is_nan_bits(x) || (x & 0x7FFFFFFFFFFFFFFFull) == 0x7FF0000000000000ull) continue;
        for (int rm = 0; rm < 4; ++rm) {
            const HalfRef want = half_round_double(f64(x), false, rm);
            FPSCR s = 0;
            const H got = FPConvert<D, H>(x, FPRounding(rm), s);
            if (got != want.bits || int(s) != want.flags) {
                ++failures;
                ADD_FAILURE() << std::hex << "double 0x" << x << " rm " << rm << ": want 0x" << want.bits
                              << " flags 0x" << want.flags << ", got 0x" << got << " flags 0x" << s;
            }
        }
    }
}

namespace {

__attribute__((noinline)) S host_double_to_single(D x) {
    float f;
    asm volatile("cvtsd2ss %1, %0" : "=x"(f) : "x"(f64(x)) : "memory");
    return bits(f);
}
__attribute__((noinline)) D host_single_to_double(S x) {
    double d;
    asm volatile("cvtss2sd %1, %0" : "=x"(d) : "x"(f32(x)) : "memory");
    return bits(d);
}
// Integer to float on the x87 unit: 64-bit integers are exact in long
// double, so the one conversion to float or double rounds exactly once.
template <typename T>
__attribute__((noinline)) T host_from_int(uint64_t x, bool uns, int fbits) {
    volatile long double v = uns ? (long double)x : (long double)int64_t(x);
    v = std::ldexp((long double)v, -fbits);
    if constexpr (sizeof(T) == 4) {
        volatile float f = float(v);
        return bits(float(f));
    } else {
        volatile double d = double(v);
        return bits(double(d));
    }
}

}  // namespace

TEST(FPConvertHost, SingleDoubleAndIntegersAgainstTheHost) {
    Rng r(304);
    int failures = 0;
    for (uint64_t i = 0; i < samples(200000, 10000000) && failures < 10; ++i) {
        const D xd = r.below(3) == 0 ? make_fp<D>(r.coin(), r.range(1023 - 152, 1023 + 130), biased_fraction<D>(r))
                                     : biased_operand<D>(r);
        const S xs = biased_operand<S>(r);
        const uint64_t xi = r.next() >> r.below(64);
        const bool uns = r.coin();
        const int fbits = r.below(4) == 0 ? int(r.below(65)) : 0;
        for (int rm = 0; rm < 4; ++rm) {
            std::fesetround(host_rounding(rm));
            // double -> single
            std::feclearexcept(FE_ALL_EXCEPT);
            const S want_s = host_double_to_single(xd);
            int ex = std::fetestexcept(FE_ALL_EXCEPT);
            std::fesetround(FE_TOWARDZERO);
            const bool tiny = (host_double_to_single(xd) & 0x7FFFFFFFu) < 0x00800000u;
            std::fesetround(host_rounding(rm));
            FPSCR s = FPSCR(rmode(rm));
            const S got_s = FPConvert<D, S>(xd, FPRounding(rm), s);
            const bool same_s = fp_is_nan_bits(want_s) ? fp_is_nan_bits(got_s) : got_s == want_s;
            if (!same_s || (s & FPSCR_FLAGS) != arm_flags<S>(ex, want_s, tiny)) {
                ++failures;
                ADD_FAILURE() << std::hex << "double 0x" << xd << " rm " << rm << ": want 0x" << want_s
                              << ", got 0x" << got_s << " flags 0x" << s;
            }
            // single -> double (exact)
            std::feclearexcept(FE_ALL_EXCEPT);
            const D want_d = host_single_to_double(xs);
            ex = std::fetestexcept(FE_ALL_EXCEPT);
            s = 0;
            const D got_d = FPConvert<S, D>(xs, FPRounding(rm), s);
            if (got_d != want_d || s != ((ex & FE_INVALID) ? uint32_t(FPSCR_IOC) : 0u)) {
                ++failures;
                ADD_FAILURE() << std::hex << "single 0x" << xs << ": want 0x" << want_d << ", got 0x" << got_d;
            }
            // integer -> single and double
            std::feclearexcept(FE_ALL_EXCEPT);
            const S want_is = host_from_int<S>(xi, uns, fbits);
            ex = std::fetestexcept(FE_INEXACT);
            s = 0;
            const S got_is = fplibFixedToFP<S>(xi, fbits, uns, FPRounding(rm), s);
            const uint32_t flags_is = (ex ? FPSCR_IXC : 0) | (((want_is & 0x7FFFFFFFu) < 0x00800000u && ex) ? FPSCR_UFC : 0);
            std::feclearexcept(FE_ALL_EXCEPT);
            const D want_id = host_from_int<D>(xi, uns, fbits);
            ex = std::fetestexcept(FE_INEXACT);
            FPSCR sd = 0;
            const D got_id = fplibFixedToFP<D>(xi, fbits, uns, FPRounding(rm), sd);
            if (got_is != want_is || s != flags_is || got_id != want_id || sd != (ex ? uint32_t(FPSCR_IXC) : 0u)) {
                ++failures;
                ADD_FAILURE() << std::hex << "int 0x" << xi << " unsigned " << uns << " fbits " << std::dec << fbits
                              << " rm " << rm << std::hex << ": single want 0x" << want_is << " got 0x" << got_is
                              << " flags 0x" << s << "; double want 0x" << want_id << " got 0x" << got_id;
            }
            // round to integral, single and double
            std::fesetround(FE_TONEAREST);
            const S want_rs = bits(float(round_integral(f32(xs), rm)));
            const bool ix_s = std::isfinite(f32(xs)) && f32(want_rs) != f32(xs);
            const D want_rd = bits(round_integral(f64(xd), rm));
            const bool ix_d = std::isfinite(f64(xd)) && f64(want_rd) != f64(xd);
            FPSCR rs = 0, rd = 0;
            const S got_rs = FPRoundInt(xs, FPRounding(rm), true, rs);
            const D got_rd = FPRoundInt(xd, FPRounding(rm), true, rd);
            const bool nan_ok = fp_is_nan_bits(xs) || got_rs == want_rs;
            const bool nan_okd = fp_is_nan_bits(xd) || got_rd == want_rd;
            if (!nan_ok || !nan_okd || (!fp_is_nan_bits(xs) && rs != (ix_s ? uint32_t(FPSCR_IXC) : 0u)) ||
                (!fp_is_nan_bits(xd) && rd != (ix_d ? uint32_t(FPSCR_IXC) : 0u))) {
                ++failures;
                ADD_FAILURE() << std::hex << "rint rm " << rm << " 0x" << xs << " -> 0x" << got_rs << " want 0x"
                              << want_rs << "; 0x" << xd << " -> 0x" << got_rd << " want 0x" << want_rd;
            }
        }
        std::fesetround(FE_TONEAREST);
    }
}

#else

TEST(FPConvertHost, NeedsX86Host) { GTEST_SKIP() << "the host conversion references run on x86_64 builds only"; }

#endif
