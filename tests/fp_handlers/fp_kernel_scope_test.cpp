// The host-FP kernels set the FPCR up once per instruction (on AArch64 they
// compute sixteen bytes at a time, inactive lanes from a harmless filler).
// Each kernel is checked against the per-element host_fp functions applied to
// its active elements one by one: results and accumulated flags bit for bit,
// under random FPCR settings, operands biased toward NaNs, infinities,
// subnormals and the overflow range, and all, no, alternate and random
// predicates.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "sve/fplib/host_fp.h"
#include "sve/kernels/fp_kernels.h"
#include "tests/common/test_state.h"
#include "tests/fplib/fp_test_util.h"

namespace {

using fptest::Rng;

uint32_t random_fpcr(Rng &r) {
    uint32_t fpcr = uint32_t(r.below(4)) << FPSCR_RMODE_SHIFT;
    if (r.coin()) fpcr |= FPSCR_FZ;
    if (r.coin()) fpcr |= FPSCR_DN;
    return fpcr;
}

template <typename T>
void random_predicate(Rng &r, unsigned char *p, unsigned pattern) {
    std::memset(p, 0, kVecBytes);
    for (unsigned i = 0; i < kVecBytes / sizeof(T); ++i) {
        const bool on = pattern == 0 ? true : pattern == 1 ? false : pattern == 2 ? (i & 1) != 0 : r.coin();
        p[i * sizeof(T)] = on ? 1 : 0;
    }
}

template <typename T>
uint32_t qual_of() {
    return sizeof(T) == 4 ? kQualS : kQualD;
}

constexpr unsigned kTrials = 60;

// run(state, fpcr, raised) runs the kernel with Zd = z1, sources z1..z3 and
// Pg = p1 (unpredicated kernels ignore p1); ref(d, a, b, fpcr, fpsr) gives the
// new z1 element from elements of z1, z2 and z3.
template <typename T>
void check_kernel(const char *name, bool predicated,
                  const std::function<aarch64_decode_rc(cpu_state *, uint32_t, uint32_t *)> &run,
                  const std::function<T(T, T, T, uint32_t, uint32_t *)> &ref) {
    Rng rng(0x5eed0000u + sizeof(T));
    for (unsigned trial = 0; trial < kTrials; ++trial) {
        auto s = new_state();
        for (unsigned reg = 1; reg <= 3; ++reg)
            for (unsigned i = 0; i < kVecBytes / sizeof(T); ++i) zset<T>(s.get(), reg, i, fptest::biased_operand<T>(rng));
        random_predicate<T>(rng, s->p[1], trial % 4);
        const uint32_t fpcr = random_fpcr(rng);

        uint32_t want_flags = 0;
        T want[kVecBytes / sizeof(T)];
        for (unsigned i = 0; i < kVecBytes / sizeof(T); ++i) {
            const T d = zget<T>(s.get(), 1, i);
            want[i] = (!predicated || (s->p[1][i * sizeof(T)] & 1))
                          ? ref(d, zget<T>(s.get(), 2, i), zget<T>(s.get(), 3, i), fpcr, &want_flags)
                          : d;
        }
        uint32_t raised = 0;
        ASSERT_EQ(run(s.get(), fpcr, &raised), DECODE_OK) << name;
        EXPECT_EQ(raised, want_flags) << name << " trial " << trial << " fpcr " << std::hex << fpcr;
        for (unsigned i = 0; i < kVecBytes / sizeof(T); ++i)
            ASSERT_EQ(zget<T>(s.get(), 1, i), want[i])
                << name << " trial " << trial << " element " << i << " fpcr " << std::hex << fpcr;
    }
}

template <typename T>
T neg(T x) {
    return T(x ^ (T(1) << (8 * sizeof(T) - 1)));
}

template <typename T>
void check_all_kernels() {
    const uint32_t q = qual_of<T>();
    const auto z = [q](unsigned r) { return make_zreg(r, q); };
    const auto p1 = make_preg(1, q);
    using Run = std::function<aarch64_decode_rc(cpu_state *, uint32_t, uint32_t *)>;
    using Ref = std::function<T(T, T, T, uint32_t, uint32_t *)>;

    // Unpredicated: z1 = z2 op z3.
    check_kernel<T>("fadd_zzz", false, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fadd_zzz(s, z(1), z(2), z(3), c, f); }),
                    Ref([](T, T a, T b, uint32_t c, uint32_t *f) { return host_fp_add(a, b, c, f); }));
    check_kernel<T>("fmul_zzz", false, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmul_zzz(s, z(1), z(2), z(3), c, f); }),
                    Ref([](T, T a, T b, uint32_t c, uint32_t *f) { return host_fp_mul(a, b, c, f); }));
    check_kernel<T>("frecps_zzz", false,
                    Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_frecps_zzz(s, z(1), z(2), z(3), c, f); }),
                    Ref([](T, T a, T b, uint32_t c, uint32_t *f) { return host_fp_recip_step(a, b, c, f); }));
    check_kernel<T>("frecpe_zz", false, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_frecpe_zz(s, z(1), z(2), c, f); }),
                    Ref([](T, T a, T, uint32_t c, uint32_t *f) { return host_fp_recip_estimate(a, c, f); }));

    // Predicated, destructive: z1 = z1 op z2 (reversed: z2 op z1).
    check_kernel<T>("fsub_zpz", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fsub_zpz(s, z(1), p1, z(2), c, f); }),
                    Ref([](T d, T a, T, uint32_t c, uint32_t *f) { return host_fp_sub(d, a, c, f); }));
    check_kernel<T>("fdivr_zpz", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fdivr_zpz(s, z(1), p1, z(2), c, f); }),
                    Ref([](T d, T a, T, uint32_t c, uint32_t *f) { return host_fp_div(a, d, c, f); }));
    check_kernel<T>("fmax_zpz", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmax_zpz(s, z(1), p1, z(2), c, f); }),
                    Ref([](T d, T a, T, uint32_t c, uint32_t *f) { return host_fp_max(d, a, c, f); }));
    check_kernel<T>("fminnm_zpz", true,
                    Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fminnm_zpz(s, z(1), p1, z(2), c, f); }),
                    Ref([](T d, T a, T, uint32_t c, uint32_t *f) { return host_fp_minnum(d, a, c, f); }));
    // The same register as both operands.
    check_kernel<T>("fmul_zpz z1,z1", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmul_zpz(s, z(1), p1, z(1), c, f); }),
                    Ref([](T d, T, T, uint32_t c, uint32_t *f) { return host_fp_mul(d, d, c, f); }));

    // Immediates (i1 = 1: 1.0; fmul 2.0).
    const T one = sizeof(T) == 4 ? T(0x3F800000u) : T(0x3FF0000000000000ull);
    const T two = sizeof(T) == 4 ? T(0x40000000u) : T(0x4000000000000000ull);
    check_kernel<T>("fsubr_zpi", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fsubr_zpi(s, z(1), p1, 1, c, f); }),
                    Ref([one](T d, T, T, uint32_t c, uint32_t *f) { return host_fp_sub(one, d, c, f); }));
    check_kernel<T>("fmul_zpi", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmul_zpi(s, z(1), p1, 1, c, f); }),
                    Ref([two](T d, T, T, uint32_t c, uint32_t *f) { return host_fp_mul(d, two, c, f); }));

    // Unary: z1 = op(z2).
    check_kernel<T>("fsqrt_zpz", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fsqrt_zpz(s, z(1), p1, z(2), c, f); }),
                    Ref([](T, T a, T, uint32_t c, uint32_t *f) { return host_fp_sqrt(a, c, f); }));
    check_kernel<T>("frinta_zpz", true,
                    Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_frinta_zpz(s, z(1), p1, z(2), c, f); }),
                    Ref([](T, T a, T, uint32_t c, uint32_t *f) { return host_fp_round_int(a, FPRounding_TIEAWAY, false, c, f); }));

    // The multiply-adds; the negations flip NaN signs too.
    check_kernel<T>("fmla", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmla_zpzz(s, z(1), p1, z(2), z(3), c, f); }),
                    Ref([](T d, T a, T b, uint32_t c, uint32_t *f) { return host_fp_muladd(d, a, b, c, f); }));
    check_kernel<T>("fmls", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmls_zpzz(s, z(1), p1, z(2), z(3), c, f); }),
                    Ref([](T d, T a, T b, uint32_t c, uint32_t *f) { return host_fp_muladd(d, neg(a), b, c, f); }));
    check_kernel<T>("fnmla", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fnmla_zpzz(s, z(1), p1, z(2), z(3), c, f); }),
                    Ref([](T d, T a, T b, uint32_t c, uint32_t *f) { return host_fp_muladd(neg(d), neg(a), b, c, f); }));
    check_kernel<T>("fnmls", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fnmls_zpzz(s, z(1), p1, z(2), z(3), c, f); }),
                    Ref([](T d, T a, T b, uint32_t c, uint32_t *f) { return host_fp_muladd(neg(d), a, b, c, f); }));
    // FMAD family: z1 = [-]z3 + [-]z1 * z2.
    check_kernel<T>("fmad", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmad_zpzz(s, z(1), p1, z(2), z(3), c, f); }),
                    Ref([](T d, T m, T a, uint32_t c, uint32_t *f) { return host_fp_muladd(a, d, m, c, f); }));
    check_kernel<T>("fmsb", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmsb_zpzz(s, z(1), p1, z(2), z(3), c, f); }),
                    Ref([](T d, T m, T a, uint32_t c, uint32_t *f) { return host_fp_muladd(a, neg(d), m, c, f); }));
    check_kernel<T>("fnmad", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fnmad_zpzz(s, z(1), p1, z(2), z(3), c, f); }),
                    Ref([](T d, T m, T a, uint32_t c, uint32_t *f) { return host_fp_muladd(neg(a), neg(d), m, c, f); }));
    check_kernel<T>("fnmsb", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fnmsb_zpzz(s, z(1), p1, z(2), z(3), c, f); }),
                    Ref([](T d, T m, T a, uint32_t c, uint32_t *f) { return host_fp_muladd(neg(a), d, m, c, f); }));
    // Accumulator and multiplicand in one register.
    check_kernel<T>("fmla z1,z1", true, Run([&](cpu_state *s, uint32_t c, uint32_t *f) { return sve_fmla_zpzz(s, z(1), p1, z(1), z(3), c, f); }),
                    Ref([](T d, T, T b, uint32_t c, uint32_t *f) { return host_fp_muladd(d, d, b, c, f); }));
}

TEST(FpKernelScope, SingleKernelsMatchElementByElement) { check_all_kernels<uint32_t>(); }
TEST(FpKernelScope, DoubleKernelsMatchElementByElement) { check_all_kernels<uint64_t>(); }

// Compares run under one set-up too: a signalling compare of an inactive NaN
// raises nothing, an active one IOC; Pd may be Pg.
TEST(FpKernelScope, ComparesRaiseOnlyForActiveElements) {
    auto s = new_state();
    for (unsigned i = 0; i < 64; ++i) {
        zset<uint32_t>(s.get(), 2, i, i == 5 ? 0x7FC00000u : 0x3F800000u);  // one quiet NaN
        zset<uint32_t>(s.get(), 3, i, 0x3F800000u);
    }
    Rng rng(1);
    random_predicate<uint32_t>(rng, s->p[1], 0);
    s->p[1][5 * 4] = 0;
    uint32_t raised = 0;
    ASSERT_EQ(sve_fcmge_ppzz(s.get(), make_preg(1, kQualS), make_preg(1, kQualS), make_zreg(2, kQualS), make_zreg(3, kQualS), 0,
                             &raised),
              DECODE_OK);
    EXPECT_EQ(raised, 0u);
    for (unsigned i = 0; i < 64; ++i) EXPECT_EQ(s->p[1][i * 4], i == 5 ? 0 : 1) << i;
    s->p[1][5 * 4] = 1;
    ASSERT_EQ(sve_fcmge_ppzz(s.get(), make_preg(0, kQualS), make_preg(1, kQualS), make_zreg(2, kQualS), make_zreg(3, kQualS), 0,
                             &raised),
              DECODE_OK);
    EXPECT_EQ(raised, uint32_t(FPSCR_IOC));
    EXPECT_EQ(s->p[0][5 * 4], 0);
    raised = 0;
    ASSERT_EQ(sve_fcmeq_ppz(s.get(), make_preg(0, kQualS), make_preg(1, kQualS), make_zreg(2, kQualS), 0, &raised), DECODE_OK);
    EXPECT_EQ(raised, 0u);  // quiet compare of a quiet NaN
}

}  // namespace
