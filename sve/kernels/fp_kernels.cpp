// Single- and double-precision element operations on the host's floating-point
// unit, under the emulated FPCR, reporting the exception flags they raise.
#include "sve/kernels/fp_kernels.h"

#include <cstring>
#include <type_traits>

#include "sve/fplib/host_fp.h"
#include "sve/kernels/kernel_common.h"

namespace {

// Calls f with a value of the encoding type of a floating-point kernel's size
// code: binary64 for doublewords, binary32 otherwise.
template <typename F>
aarch64_decode_rc with_fp_type(uint32_t qual, F &&f) {
    if (qual == kQualD) return f(uint64_t{});
    return f(uint32_t{});
}

// The fmul immediate is 0.5 or 2.0, the fadd/fsub/fsubr one 0.5 or 1.0.
template <typename T>
constexpr T half_or_one(unsigned i1) {
    if constexpr (sizeof(T) == 4)
        return i1 ? 0x3F800000u : 0x3F000000u;
    else
        return i1 ? 0x3FF0000000000000ull : 0x3FE0000000000000ull;
}
template <typename T>
constexpr T half_or_two(unsigned i1) {
    if constexpr (sizeof(T) == 4)
        return i1 ? 0x40000000u : 0x3F000000u;
    else
        return i1 ? 0x4000000000000000ull : 0x3FE0000000000000ull;
}

// Zd = op(Zn[i], Zm[i]) for every element.
template <typename Op>
aarch64_decode_rc each_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, Op op) {
    return with_fp_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *b = zreg(s, zm);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(r.b, i, T(op(elem_get<T>(a, i), elem_get<T>(b, i))));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Zd = op(Zn[i]) for every element.
template <typename Op>
aarch64_decode_rc each_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, Op op) {
    return with_fp_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(r.b, i, T(op(elem_get<T>(a, i))));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Zd = op(Zd[i], Zn[i]) for active elements, Zd kept for inactive ones (a
// unary operation ignores its first argument).
template <typename Op>
aarch64_decode_rc each_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, Op op) {
    return with_fp_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        std::memcpy(r.b, zreg(s, zd), kVecBytes);
        const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            if (pred_active<T>(g, i)) elem_set<T>(r.b, i, T(op(elem_get<T>(r.b, i), elem_get<T>(a, i))));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Pd = op(Zn[i], Zm[i]) for active elements, false otherwise.
template <typename Op>
aarch64_decode_rc each_ppzz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm, Op op) {
    return with_fp_type(zn.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *b = zreg(s, zm), *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            pred_write(r.b, i, sizeof(T), pred_active<T>(g, i) && op(elem_get<T>(a, i), elem_get<T>(b, i)));
        std::memcpy(preg(s, pd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Pd = op(Zn[i], +0.0) for active elements, false otherwise.
template <typename Op>
aarch64_decode_rc each_ppz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, Op op) {
    return with_fp_type(zn.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            pred_write(r.b, i, sizeof(T), pred_active<T>(g, i) && op(elem_get<T>(a, i), T(0)));
        std::memcpy(preg(s, pd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Pairwise-tree reduction of the active elements, inactive ones the default NaN.
template <typename Op>
aarch64_decode_rc reduce_tree(cpu_state *s, unsigned vd, aarch64_p_reg pg, aarch64_z_reg zn, Op op) {
    return with_fp_type(zn.qual, [&](auto t) {
        using T = decltype(t);
        constexpr T kDefaultNaN = sizeof(T) == 4 ? T(0x7FC00000u) : T(0x7FF8000000000000ull);
        T work[elem_count<T>];
        const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i) work[i] = pred_active<T>(g, i) ? elem_get<T>(a, i) : kDefaultNaN;
        for (unsigned n = elem_count<T>; n > 1; n /= 2)
            for (unsigned i = 0; i < n / 2; ++i) work[i] = T(op(work[2 * i], work[2 * i + 1]));
        unsigned char *d = s->z[vd & 31];
        std::memset(d, 0, kVecBytes);
        std::memcpy(d, &work[0], sizeof(T));
        return DECODE_OK;
    });
}

// Integer-to-float conversion over containers of C bytes: the source integer is
// the low `From` bytes (signed or not), the result the low bytes of type To,
// zero-extended to the container.
template <typename C, typename From, typename To>
aarch64_decode_rc int_to_fp(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, bool is_signed, uint32_t fpcr,
                            uint32_t *raised) {
    vec_buf r;
    std::memcpy(r.b, zreg(s, zd), kVecBytes);
    const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
    for (unsigned i = 0; i < elem_count<C>; ++i) {
        if (!pred_active<C>(g, i)) continue;
        const From v = From(elem_get<C>(a, i));
        uint64_t wide = v;
        if (is_signed) wide = uint64_t(int64_t(std::make_signed_t<From>(v)));
        elem_set<C>(r.b, i, C(host_fp_from_int<To>(wide, !is_signed, fpcr, raised)));
    }
    std::memcpy(zreg(s, zd), r.b, kVecBytes);
    return DECODE_OK;
}

}  // namespace

#define FP_ZZZ(name, fn)                                                                                      \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, uint32_t fpcr, \
                           uint32_t *raised) {                                                                \
        return each_zzz(s, zd, zn, zm, [&](auto a, auto b) { return fn(a, b, fpcr, raised); });               \
    }
FP_ZZZ(sve_fadd_zzz, host_fp_add)
FP_ZZZ(sve_fsub_zzz, host_fp_sub)
FP_ZZZ(sve_fmul_zzz, host_fp_mul)
FP_ZZZ(sve_frecps_zzz, host_fp_recip_step)
#undef FP_ZZZ

aarch64_decode_rc sve_frecpe_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, uint32_t fpcr, uint32_t *raised) {
    return each_zz(s, zd, zn, [&](auto a) { return host_fp_recip_estimate(a, fpcr, raised); });
}

// Zdn op Zm (forward) or Zm op Zdn (reversed).
#define FP_ZPZ(name, fn, reversed)                                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,       \
                           uint32_t *raised) {                                                                       \
        return each_zpz(s, zdn, pg, zm,                                                                              \
                        [&](auto d, auto m) { return reversed ? fn(m, d, fpcr, raised) : fn(d, m, fpcr, raised); }); \
    }
FP_ZPZ(sve_fadd_zpz, host_fp_add, false)
FP_ZPZ(sve_fsub_zpz, host_fp_sub, false)
FP_ZPZ(sve_fsubr_zpz, host_fp_sub, true)
FP_ZPZ(sve_fmul_zpz, host_fp_mul, false)
FP_ZPZ(sve_fdiv_zpz, host_fp_div, false)
FP_ZPZ(sve_fdivr_zpz, host_fp_div, true)
FP_ZPZ(sve_fmax_zpz, host_fp_max, false)
FP_ZPZ(sve_fmaxnm_zpz, host_fp_maxnum, false)
FP_ZPZ(sve_fminnm_zpz, host_fp_minnum, false)
#undef FP_ZPZ

// Zdn op imm (forward) or imm op Zdn (reversed), imm chosen by `pick`.
#define FP_ZPI(name, fn, pick, reversed)                                                                                      \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, unsigned i1, uint32_t fpcr, uint32_t *raised) { \
        return each_zpz(s, zdn, pg, zdn, [&](auto d, auto) {                                                                  \
            const auto imm = pick<decltype(d)>(i1);                                                                           \
            return reversed ? fn(imm, d, fpcr, raised) : fn(d, imm, fpcr, raised);                                            \
        });                                                                                                                   \
    }
FP_ZPI(sve_fadd_zpi, host_fp_add, half_or_one, false)
FP_ZPI(sve_fsub_zpi, host_fp_sub, half_or_one, false)
FP_ZPI(sve_fsubr_zpi, host_fp_sub, half_or_one, true)
FP_ZPI(sve_fmul_zpi, host_fp_mul, half_or_two, false)
#undef FP_ZPI

aarch64_decode_rc sve_fsqrt_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                uint32_t *raised) {
    return each_zpz(s, zd, pg, zn, [&](auto, auto a) { return host_fp_sqrt(a, fpcr, raised); });
}
aarch64_decode_rc sve_frinta_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                 uint32_t *raised) {
    return each_zpz(s, zd, pg, zn, [&](auto, auto a) { return host_fp_round_int(a, FPRounding_TIEAWAY, false, fpcr, raised); });
}
aarch64_decode_rc sve_fneg_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return each_zpz(s, zd, pg, zn, [&](auto, auto a) {
        using T = decltype(a);
        return T(a ^ (T(1) << (8 * sizeof(T) - 1)));
    });
}

aarch64_decode_rc sve_fnmla_zpzz(cpu_state *s, aarch64_z_reg zda, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm,
                                 uint32_t fpcr, uint32_t *raised) {
    return with_fp_type(zda.qual, [&](auto t) {
        using T = decltype(t);
        constexpr T kSign = T(T(1) << (8 * sizeof(T) - 1));
        vec_buf r;
        std::memcpy(r.b, zreg(s, zda), kVecBytes);
        const unsigned char *n = zreg(s, zn), *m = zreg(s, zm), *g = preg(s, pg);
        // -(a + n*m) = (-a) + (-n)*m with one rounding.
        for (unsigned i = 0; i < elem_count<T>; ++i)
            if (pred_active<T>(g, i))
                elem_set<T>(r.b, i,
                            host_fp_muladd(T(elem_get<T>(r.b, i) ^ kSign), T(elem_get<T>(n, i) ^ kSign), elem_get<T>(m, i), fpcr,
                                           raised));
        std::memcpy(zreg(s, zda), r.b, kVecBytes);
        return DECODE_OK;
    });
}

#define FP_PPZZ(name, expr)                                                                                                     \
    aarch64_decode_rc name(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm, uint32_t fpcr, \
                           uint32_t *raised) {                                                                                  \
        return each_ppzz(s, pd, pg, zn, zm, [&](auto a, auto b) { return expr; });                                              \
    }
FP_PPZZ(sve_fcmeq_ppzz, host_fp_compare_eq(a, b, fpcr, raised))
FP_PPZZ(sve_fcmne_ppzz, !host_fp_compare_eq(a, b, fpcr, raised))
FP_PPZZ(sve_fcmge_ppzz, host_fp_compare_ge(a, b, fpcr, raised))
FP_PPZZ(sve_fcmgt_ppzz, host_fp_compare_gt(a, b, fpcr, raised))
FP_PPZZ(sve_fcmuo_ppzz, host_fp_compare_un(a, b, fpcr, raised))
#undef FP_PPZZ

#define FP_PPZ(name, expr)                                                                                    \
    aarch64_decode_rc name(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr, \
                           uint32_t *raised) {                                                                \
        return each_ppz(s, pd, pg, zn, [&](auto a, auto zero) { return expr; });                              \
    }
FP_PPZ(sve_fcmeq_ppz, host_fp_compare_eq(a, zero, fpcr, raised))
FP_PPZ(sve_fcmge_ppz, host_fp_compare_ge(a, zero, fpcr, raised))
FP_PPZ(sve_fcmgt_ppz, host_fp_compare_gt(a, zero, fpcr, raised))
FP_PPZ(sve_fcmle_ppz, host_fp_compare_ge(zero, a, fpcr, raised))
FP_PPZ(sve_fcmlt_ppz, host_fp_compare_gt(zero, a, fpcr, raised))
#undef FP_PPZ

aarch64_decode_rc sve_fmaxnmv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                  uint32_t *raised) {
    return reduce_tree(s, vd, pg, zn, [&](auto a, auto b) { return host_fp_maxnum(a, b, fpcr, raised); });
}
aarch64_decode_rc sve_fminnmv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                  uint32_t *raised) {
    return reduce_tree(s, vd, pg, zn, [&](auto a, auto b) { return host_fp_minnum(a, b, fpcr, raised); });
}

aarch64_decode_rc sve_scvtf_s2s_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised) {
    return int_to_fp<uint32_t, uint32_t, uint32_t>(s, zd, pg, zn, true, fpcr, raised);
}
aarch64_decode_rc sve_ucvtf_s2s_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised) {
    return int_to_fp<uint32_t, uint32_t, uint32_t>(s, zd, pg, zn, false, fpcr, raised);
}
aarch64_decode_rc sve_scvtf_s2d_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised) {
    return int_to_fp<uint64_t, uint32_t, uint64_t>(s, zd, pg, zn, true, fpcr, raised);
}
aarch64_decode_rc sve_ucvtf_s2d_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised) {
    return int_to_fp<uint64_t, uint32_t, uint64_t>(s, zd, pg, zn, false, fpcr, raised);
}
aarch64_decode_rc sve_scvtf_d2d_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised) {
    return int_to_fp<uint64_t, uint64_t, uint64_t>(s, zd, pg, zn, true, fpcr, raised);
}
aarch64_decode_rc sve_ucvtf_d2d_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised) {
    return int_to_fp<uint64_t, uint64_t, uint64_t>(s, zd, pg, zn, false, fpcr, raised);
}
aarch64_decode_rc sve_scvtf_d2s_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                    uint32_t *raised) {
    return int_to_fp<uint64_t, uint64_t, uint32_t>(s, zd, pg, zn, true, fpcr, raised);
}

aarch64_decode_rc sve_fdup_zi(cpu_state *s, aarch64_z_reg zd, uint64_t bits) {
    unsigned char *d = zreg(s, zd);
    const unsigned esize = zd.qual == kQualS ? 4 : zd.qual == kQualD ? 8 : 2;
    for (unsigned i = 0; i < kVecBytes / esize; ++i) std::memcpy(d + i * esize, &bits, esize);
    return DECODE_OK;
}
