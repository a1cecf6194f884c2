// Random differential tests of single and double arithmetic against the x86
// SSE/FMA unit in all four IEEE rounding modes: results must be bit-exact for
// every non-NaN result and the exception flags must equal the host's.
#include <gtest/gtest.h>

#if defined(__x86_64__)

#include <algorithm>
#include <cfenv>
#include <cinttypes>
#include <cmath>
#include <cstdio>

#include "sve/fplib/fplib.h"
#include "tests/fplib/fp_test_util.h"

using namespace fptest;

namespace {

typedef HostOp Op;

const char *op_name(Op op) {
    switch (op) {
    case Op::Add: return "FPAdd";
    case Op::Sub: return "FPSub";
    case Op::Mul: return "FPMul";
    case Op::Div: return "FPDiv";
    case Op::Sqrt: return "FPSqrt";
    case Op::MulAdd: return "FPMulAdd";
    }
    return "?";
}

template <typename T>
T lib_op(Op op, T a, T b, T c, FPSCR &fpscr) {
    switch (op) {
    case Op::Add: return FPAdd(a, b, fpscr);
    case Op::Sub: return FPSub(a, b, fpscr);
    case Op::Mul: return FPMul(a, b, fpscr);
    case Op::Div: return FPDiv(a, b, fpscr);
    case Op::Sqrt: return FPSqrt(a, fpscr);
    case Op::MulAdd: return FPMulAdd(a, b, c, fpscr);
    }
    return 0;
}

template <typename T>
typename HostType<T>::type f_val(T x) {
    return std::bit_cast<typename HostType<T>::type>(x);
}

// Operand generation, per operation, biased toward the cases where rounding
// is delicate. Values are built from fields so every encoding is reachable.
template <typename T>
T field_value(Rng &r, int sgn, int e) {
    using F = FPFormat<T>;
    if (e < 0) e = 0;
    if (e > F::EMAX - 1) e = F::EMAX - 1;
    return make_fp<T>(sgn, e, biased_fraction<T>(r));
}

// A significand with only its top k fraction bits free.
template <typename T>
T short_value(Rng &r, int sgn, int e, int k) {
    using F = FPFormat<T>;
    if (e < 1) e = 1;
    if (e > F::EMAX - 1) e = F::EMAX - 1;
    k = std::min(k, F::M);
    const uint64_t frac = (r.next() & ((uint64_t(1) << k) - 1)) << (F::M - k);
    return make_fp<T>(sgn, e, frac);
}

// A fraction within a few units of zero or of all ones.
template <typename T>
uint64_t near_edge_fraction(Rng &r) {
    const uint64_t small = r.below(4);
    return r.coin() ? small : uint64_t(FPFormat<T>::FRAC) - small;
}

template <typename T>
void gen_operands(Op op, Rng &r, T &a, T &b, T &c) {
    using F = FPFormat<T>;
    using HT = typename HostType<T>::type;
    a = biased_operand<T>(r);
    b = biased_operand<T>(r);
    c = biased_operand<T>(r);
    const int sa = r.coin(), sb = r.coin();
    const int scenario = int(r.below(6));
    if (scenario == 0) return;  // independent corners
    switch (op) {
    case Op::Add:
    case Op::Sub:
        if (scenario == 1) {  // cancellation: |b| within a few units of |a|
            a = field_value<T>(r, sa, r.range(0, F::EMAX - 1));
            b = T((a & ~F::SIGN) + T(r.range(-3, 3))) | (T(sb) << (F::W - 1));
        } else if (scenario == 2) {  // b near half an ulp of a: ties
            const int e = r.range(1, F::EMAX - 1);
            a = field_value<T>(r, sa, e);
            b = make_fp<T>(sb, e - F::M - 1 + r.range(-1, 1), r.coin() ? 0 : F::QUIET);
        } else if (scenario == 3) {  // subnormals and the smallest normals
            a = field_value<T>(r, sa, r.range(0, 2));
            b = field_value<T>(r, sb, r.range(0, 2));
        } else if (scenario == 4) {  // near overflow
            a = field_value<T>(r, sa, r.range(F::EMAX - 3, F::EMAX - 1));
            b = field_value<T>(r, sb, r.range(F::EMAX - 3, F::EMAX - 1));
        } else {  // exponents a significand width or so apart
            const int e = r.range(1, F::EMAX - 1);
            a = field_value<T>(r, sa, e);
            b = field_value<T>(r, sb, e - r.range(0, F::M + 3));
        }
        break;
    case Op::Mul:
    case Op::MulAdd: {
        // Product exponent near the bottom, the top, or anywhere; short
        // significands make exact products and ties common.
        const int ka = r.range(1, F::M), kb = F::M + r.range(0, 2) - ka;
        int target;  // biased exponent of the product
        if (scenario == 1 || scenario == 2)
            target = r.range(-F::M - 3, 3);
        else if (scenario == 3)
            target = r.range(F::EMAX - 3, F::EMAX + 1);
        else
            target = r.range(1, F::EMAX - 1);
        if (scenario == 5) target = r.range(0, 1);
        const int ea = r.range(std::max(1, target - F::EMAX + 2 + F::B), std::min(F::EMAX - 1, target + F::B - 1));
        const int eb = target + F::B - ea;
        if (scenario == 5) {  // just below or above a power of two at the smallest normal
            a = make_fp<T>(sa, ea, near_edge_fraction<T>(r));
            b = make_fp<T>(sb, eb, near_edge_fraction<T>(r));
        } else {
            a = scenario == 2 ? field_value<T>(r, sa, ea) : short_value<T>(r, sa, ea, ka);
            b = scenario == 2 ? field_value<T>(r, sb, eb) : short_value<T>(r, sb, eb, std::max(kb, 1));
        }
        if (op == Op::MulAdd) {
            // The multiplicands go second and third; the addend is either the
            // negated rounded product (exact cancellation down to the error
            // term), a value half an ulp of the product away, or a corner.
            const T pa = a, pb = b;
            a = c;
            b = pa;
            c = pb;
            const T p = bits(HT(f_val(pa) * f_val(pb)));  // generated under round to nearest
            const int pick = int(r.below(3));
            if (pick == 0 && exp_field(p) < F::EMAX)
                a = T(FPNeg(p) + T(r.range(-2, 2)));
            else if (pick == 1)
                a = make_fp<T>(r.coin(), exp_field(p) - F::M - 1 + r.range(-2, 1), r.coin() ? 0 : F::QUIET);
        }
        break;
    }
    case Op::Div:
        if (scenario == 1) {  // exact and near-exact quotients
            const T q = short_value<T>(r, sa, r.range(F::B - 20, F::B + 20), r.range(1, F::M / 2));
            b = short_value<T>(r, sb, r.range(F::B - 20, F::B + 20), r.range(1, F::M / 2));
            a = T(bits(HT(f_val(q) * f_val(b))) + T(r.range(-1, 1)));
        } else if (scenario == 2 || scenario == 3) {  // quotient near the bottom or the top
            const int target = scenario == 2 ? r.range(-F::M - 3, 3) : r.range(F::EMAX - 3, F::EMAX + 1);
            const int eb = r.range(1, F::EMAX - 1);
            a = field_value<T>(r, sa, target + eb - F::B);
            b = field_value<T>(r, sb, eb);
        } else if (scenario == 5) {  // quotient just below or above the smallest normal
            const int eb = r.range(F::B, F::EMAX - 1);
            a = make_fp<T>(sa, eb + 1 - F::B + r.range(-1, 0), near_edge_fraction<T>(r));
            b = make_fp<T>(sb, eb, near_edge_fraction<T>(r));
        } else if (scenario == 4) {  // quotient near one
            a = field_value<T>(r, sa, r.range(1, F::EMAX - 1));
            b = T((a & ~F::SIGN) + T(r.range(-2, 2))) | (T(sb) << (F::W - 1));
        }
        break;
    case Op::Sqrt:
        if (scenario <= 3) {  // exact squares and their neighbours
            const T s = short_value<T>(r, 0, r.range(F::B / 2 + 1, F::B + F::B / 2), r.range(1, F::M / 2));
            a = T(bits(HT(f_val(s) * f_val(s))) + T(r.range(-1, 1)));
        } else {
            a = field_value<T>(r, r.below(8) == 0, r.range(0, 3));
        }
        break;
    }
}

// Arm detects tininess before rounding, x86 after rounding. An exact result
// that is tiny before rounding but not after has an unbounded-exponent
// rounding of exactly +-2^emin, so the two can disagree only when the
// delivered result is +-2^emin (the smallest normal) and inexact. The rule:
//   Arm UFC  <=>  inexact  and  |the same operation rounded toward zero| < 2^emin
// (rounding toward zero never crosses 2^emin, which is representable, so it
// tells whether the exact value lies below it). Every x86 underflow satisfies it.
template <typename T>
int expected_arm_flags(Op op, T a, T b, T c, T host, int ex) {
    using F = FPFormat<T>;
    int flags = 0;
    if (ex & FE_INVALID) flags |= FPSCR_IOC;
    if (ex & FE_DIVBYZERO) flags |= FPSCR_DZC;
    if (ex & FE_OVERFLOW) flags |= FPSCR_OFC;
    if (ex & FE_INEXACT) flags |= FPSCR_IXC;
    if ((ex & FE_INEXACT) && T(host & ~F::SIGN) <= F::IMPLICIT) {
        std::fesetround(FE_TOWARDZERO);
        const T z = host_op(op, a, b, c);
        if (T(z & ~F::SIGN) < F::IMPLICIT) flags |= FPSCR_UFC;
    }
    // IEEE 754 lets an implementation choose whether fma(0, inf, qNaN) signals
    // invalid; x86 does not, Arm does (and returns the default NaN).
    if (op == Op::MulAdd && fp_is_qnan_bits(a)) {
        const T mb = T(b & ~F::SIGN), mc = T(c & ~F::SIGN);
        if ((mb == F::INF && mc == 0) || (mb == 0 && mc == F::INF)) flags |= FPSCR_IOC;
    }
    if ((ex & FE_UNDERFLOW) && !(flags & FPSCR_UFC)) flags |= 0x100;  // impossible: reported as a mismatch
    return flags;
}

template <typename T>
void run_differential(Op op, uint64_t seed) {
    using F = FPFormat<T>;
    Rng r(seed);
    const uint64_t n = samples(200000, 10000000);
    int failures = 0;
    for (uint64_t i = 0; i < n && failures < 20; ++i) {
        std::fesetround(FE_TONEAREST);
        T a, b, c;
        gen_operands<T>(op, r, a, b, c);
        for (int rm = 0; rm < 4; ++rm) {
            std::fesetround(host_rounding(rm));
            std::feclearexcept(FE_ALL_EXCEPT);
            const T host = host_op(op, a, b, c);
            const int ex = std::fetestexcept(FE_ALL_EXCEPT);
            const int want = expected_arm_flags(op, a, b, c, host, ex);

            FPSCR fpscr = FPSCR(rm) << FPSCR_RMODE_SHIFT;
            const T got = lib_op(op, a, b, c, fpscr);
            const int got_flags = int(fpscr & FPSCR_FLAGS);
            const bool host_nan = fp_is_nan_bits(host);
            const bool ok = (host_nan ? fp_is_nan_bits(got) : got == host) && got_flags == want;
            if (!ok) {
                ++failures;
                ADD_FAILURE() << op_name(op) << "<" << F::W << "> rmode " << rm << std::hex << " a=0x" << uint64_t(a)
                              << " b=0x" << uint64_t(b) << " c=0x" << uint64_t(c) << ": host 0x" << uint64_t(host)
                              << " flags 0x" << want << ", library 0x" << uint64_t(got) << " flags 0x" << got_flags;
            }
        }
    }
    std::fesetround(FE_TONEAREST);
}

bool host_has_fma() { return __builtin_cpu_supports("fma"); }

}  // namespace

TEST(FPX86Differential, SingleAdd) { run_differential<S>(Op::Add, 1); }
TEST(FPX86Differential, SingleSub) { run_differential<S>(Op::Sub, 2); }
TEST(FPX86Differential, SingleMul) { run_differential<S>(Op::Mul, 3); }
TEST(FPX86Differential, SingleDiv) { run_differential<S>(Op::Div, 4); }
TEST(FPX86Differential, SingleSqrt) { run_differential<S>(Op::Sqrt, 5); }
TEST(FPX86Differential, SingleMulAdd) {
    if (!host_has_fma()) GTEST_SKIP() << "this processor has no FMA instructions";
    run_differential<S>(Op::MulAdd, 6);
}
TEST(FPX86Differential, DoubleAdd) { run_differential<D>(Op::Add, 11); }
TEST(FPX86Differential, DoubleSub) { run_differential<D>(Op::Sub, 12); }
TEST(FPX86Differential, DoubleMul) { run_differential<D>(Op::Mul, 13); }
TEST(FPX86Differential, DoubleDiv) { run_differential<D>(Op::Div, 14); }
TEST(FPX86Differential, DoubleSqrt) { run_differential<D>(Op::Sqrt, 15); }
TEST(FPX86Differential, DoubleMulAdd) {
    if (!host_has_fma()) GTEST_SKIP() << "this processor has no FMA instructions";
    run_differential<D>(Op::MulAdd, 16);
}

#else

TEST(FPX86Differential, NeedsX86Host) { GTEST_SKIP() << "the x86 differential tests run on x86_64 builds only"; }

#endif
