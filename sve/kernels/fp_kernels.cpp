// Single- and double-precision element operations on the host's floating-point
// unit, under the emulated FPCR, reporting the exception flags they raise. The
// FPCR is set up once per instruction; on AArch64 the element-wise kernels run
// Advanced SIMD instructions on sixteen bytes at a time.
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

#if defined(__aarch64__)
#define FP_VEC(...) __VA_ARGS__
#else
#define FP_VEC(...) nullptr
#endif

#if defined(__aarch64__)
// 64 bytes in four registers.
inline uint32x4x4_t load4(const unsigned char *p, uint32_t) { return vld1q_u32_x4(reinterpret_cast<const uint32_t *>(p)); }
inline uint64x2x4_t load4(const unsigned char *p, uint64_t) { return vld1q_u64_x4(reinterpret_cast<const uint64_t *>(p)); }
inline void store4(unsigned char *p, uint32x4x4_t v) { vst1q_u32_x4(reinterpret_cast<uint32_t *>(p), v); }
inline void store4(unsigned char *p, uint64x2x4_t v) { vst1q_u64_x4(reinterpret_cast<uint64_t *>(p), v); }
#endif

// True when every element of size T is active in g.
template <typename T>
bool all_active(const unsigned char *g) {
#if defined(__aarch64__)
    // LD4 of bytes (words: halfwords) gathers the first byte of every element
    // into its first register.
    if constexpr (sizeof(T) == 4) {
        uint8x16_t acc = vld4q_u8(g).val[0];
        for (unsigned off = 64; off < kVecBytes; off += 64) acc = vandq_u8(acc, vld4q_u8(g + off).val[0]);
        return vminvq_u8(vandq_u8(acc, vdupq_n_u8(1))) != 0;
    } else {
        const uint16_t *h = reinterpret_cast<const uint16_t *>(g);
        uint16x8_t acc = vld4q_u16(h).val[0];
        for (unsigned off = 32; off < kVecBytes / 2; off += 32) acc = vandq_u16(acc, vld4q_u16(h + off).val[0]);
        return vminvq_u16(vandq_u16(acc, vdupq_n_u16(1))) != 0;
    }
#else
    for (unsigned i = 0; i < elem_count<T>; ++i)
        if (!pred_active<T>(g, i)) return false;
    return true;
#endif
}

// r[i] = sop(scope, a[i], b[i], c[i]) for every element (g null) or for the
// elements active in g, under one FPCR set-up; inactive elements keep r and run
// nothing. Element i of r is written after element i of the sources is read
// and nothing else, so r may be one of them. On AArch64 vop(x, y, z) computes
// 16 bytes of elements at once; inactive lanes compute from 1.0, which raises
// no flag in any operation here, and are then discarded. Accumulates: vop
// writes its result over x (the multiply-adds).
template <typename T, bool Accumulates = false, typename S, typename V>
[[gnu::always_inline]] inline void run_elements(uint32_t fpcr, uint32_t *raised, const unsigned char *g, unsigned char *r, const unsigned char *a,
                  const unsigned char *b, const unsigned char *c, S sop, V vop) {
    if (g != nullptr && all_active<T>(g)) g = nullptr;
    host_fp_scope scope = host_fp_begin(fpcr);
#if defined(__aarch64__)
    (void)sop;
    using Vt = host_fp_hw::vec_t<T>;
    if (g == nullptr) {
        // 64 bytes at a time.
#pragma GCC unroll 1
        for (const unsigned char *end = a + kVecBytes; a != end; a += 64, b += 64, c += 64, r += 64) {
            const auto xs = load4(a, T{}), ys = load4(b, T{}), zs = load4(c, T{});
            for (unsigned k = 0; k < 4; ++k) {
                Vt x = xs.val[k];
                // An accumulating operation gets its first operand in a
                // register of its own (not one of LD1's four).
                if constexpr (Accumulates) std::memcpy(&x, a + 16 * k, 16);
                const Vt res = vop(x, ys.val[k], zs.val[k]);
                std::memcpy(r + 16 * k, &res, 16);
            }
        }
    } else {
        constexpr T kOne = sizeof(T) == 4 ? T(0x3F800000u) : T(0x3FF0000000000000ull);
        const Vt one = host_fp_hw::v_splat(kOne);
        Vt x, y, z, old, m;
        for (unsigned off = 0; off < kVecBytes; off += 16) {
            std::memcpy(&m, g + off, 16);
            m = host_fp_hw::v_low_bit(m);
            std::memcpy(&x, a + off, 16);
            std::memcpy(&y, b + off, 16);
            std::memcpy(&z, c + off, 16);
            std::memcpy(&old, r + off, 16);
            const Vt res = vop(host_fp_hw::v_select(m, x, one), host_fp_hw::v_select(m, y, one),
                               host_fp_hw::v_select(m, z, one));
            const Vt out = host_fp_hw::v_select(m, res, old);
            std::memcpy(r + off, &out, 16);
        }
    }
#else
    (void)vop;
    for (unsigned i = 0; i < elem_count<T>; ++i)
        if (g == nullptr || pred_active<T>(g, i))
            elem_set<T>(r, i, T(sop(scope, elem_get<T>(a, i), elem_get<T>(b, i), elem_get<T>(c, i))));
#endif
    host_fp_end(scope, raised);
}

// Pd = op(scope, Zn[i], Zm[i]) for active elements, false otherwise (the #0.0
// forms pass zm = null and compare with +0.0).
template <typename Op, typename VOp>
aarch64_decode_rc each_ppzz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, const aarch64_z_reg *zm,
                            uint32_t fpcr, uint32_t *raised, Op op, VOp vop) {
    return with_fp_type(zn.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *b = zm ? zreg(s, *zm) : nullptr, *g = preg(s, pg);
        host_fp_scope scope = host_fp_begin(fpcr);
#if defined(__aarch64__)
        // 16 bytes at a time: inactive lanes compare +0.0 with +0.0, which
        // raises nothing, and their result is cleared; an active lane's result
        // is its unit of predicate bytes, 1 then zeros. With every element
        // active (a loop's iterations before its last) no lane is masked.
        (void)op;
        using Vt = host_fp_hw::vec_t<T>;
        const Vt zero = host_fp_hw::v_splat(T{0}), one = host_fp_hw::v_splat(T{1});
        const bool all_active = every_element_active(g, sizeof(T));
        for (unsigned off = 0; off < kVecBytes; off += 16) {
            Vt x, y = zero, c;
            std::memcpy(&x, a + off, 16);
            if (b != nullptr) std::memcpy(&y, b + off, 16);
            if (all_active) {
                c = vop(x, y);
            } else {
                Vt m;
                std::memcpy(&m, g + off, 16);
                m = host_fp_hw::v_low_bit(m);
                c = host_fp_hw::v_and(vop(host_fp_hw::v_select(m, x, zero), host_fp_hw::v_select(m, y, zero)), m);
            }
            const Vt out = host_fp_hw::v_and(c, one);
            std::memcpy(r.b + off, &out, 16);
        }
#else
        (void)vop;
        for (unsigned i = 0; i < elem_count<T>; ++i)
            pred_write(r.b, i, sizeof(T),
                       pred_active<T>(g, i) && op(scope, elem_get<T>(a, i), b ? elem_get<T>(b, i) : T(0)));
#endif
        host_fp_end(scope, raised);
        std::memcpy(preg(s, pd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Pairwise-tree reduction of the active elements, inactive ones the default NaN.
template <typename Op>
aarch64_decode_rc reduce_tree(cpu_state *s, unsigned vd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr, uint32_t *raised,
                              Op op) {
    return with_fp_type(zn.qual, [&](auto t) {
        using T = decltype(t);
        constexpr T kDefaultNaN = sizeof(T) == 4 ? T(0x7FC00000u) : T(0x7FF8000000000000ull);
        T work[elem_count<T>];
        const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i) work[i] = pred_active<T>(g, i) ? elem_get<T>(a, i) : kDefaultNaN;
        host_fp_scope scope = host_fp_begin(fpcr);
        for (unsigned n = elem_count<T>; n > 1; n /= 2)
            for (unsigned i = 0; i < n / 2; ++i) work[i] = T(op(scope, work[2 * i], work[2 * i + 1]));
        host_fp_end(scope, raised);
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
    const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
    unsigned char *d = zreg(s, zd);
    host_fp_scope scope = host_fp_begin(fpcr);
#if defined(__aarch64__)
    if constexpr (sizeof(From) == sizeof(C) && sizeof(To) == sizeof(C)) {
        // 16 bytes at a time; inactive lanes convert 0 (exact, no flag) and keep
        // their old value.
        host_fp_hw::merge_unary_pieces(g, a, d, C{0}, [is_signed](auto x) {
            return is_signed ? host_fp_hw::v_scvtf(x) : host_fp_hw::v_ucvtf(x);
        });
        host_fp_end(scope, raised);
        return DECODE_OK;
    }
#endif
    for (unsigned i = 0; i < elem_count<C>; ++i) {
        if (!pred_active<C>(g, i)) continue;
        const From v = From(elem_get<C>(a, i));
        uint64_t wide = v;
        if (is_signed) wide = uint64_t(int64_t(std::make_signed_t<From>(v)));
        elem_set<C>(d, i, C(host_fp_raw_from_int<To>(scope, wide, !is_signed)));
    }
    host_fp_end(scope, raised);
    return DECODE_OK;
}

}  // namespace

// Zd = fn(Zn, Zm), every element.
#define FP_ZZZ(name, fn, vfn)                                                                                        \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, uint32_t fpcr,        \
                           uint32_t *raised) {                                                                       \
        return with_fp_type(zd.qual, [&](auto t) {                                                                   \
            using T = decltype(t);                                                                                   \
            const unsigned char *a = zreg(s, zn), *b = zreg(s, zm);                                                  \
            run_elements<T>(                                                                                         \
                fpcr, raised, nullptr, zreg(s, zd), a, b, b, [](host_fp_scope &sc, T x, T y, T) { return fn(sc, x, y); }, \
                FP_VEC([](auto x, auto y, auto) { return host_fp_hw::vfn(x, y); }));                                 \
            return DECODE_OK;                                                                                        \
        });                                                                                                          \
    }
FP_ZZZ(sve_fadd_zzz, host_fp_raw_add, v_fadd)
FP_ZZZ(sve_fsub_zzz, host_fp_raw_sub, v_fsub)
FP_ZZZ(sve_fmul_zzz, host_fp_raw_mul, v_fmul)
FP_ZZZ(sve_frecps_zzz, host_fp_raw_recip_step, v_frecps)
#undef FP_ZZZ

aarch64_decode_rc sve_frecpe_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, uint32_t fpcr, uint32_t *raised) {
    return with_fp_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        const unsigned char *a = zreg(s, zn);
        run_elements<T>(
            fpcr, raised, nullptr, zreg(s, zd), a, a, a,
            [](host_fp_scope &sc, T x, T, T) { return host_fp_raw_recip_estimate(sc, x); },
            FP_VEC([](auto x, auto, auto) { return host_fp_hw::v_frecpe(x); }));
        return DECODE_OK;
    });
}

// Zdn = fn(Zdn, Zm) (forward) or fn(Zm, Zdn) (reversed), active elements.
#define FP_ZPZ(name, fn, vfn, reversed)                                                                              \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, uint32_t fpcr,       \
                           uint32_t *raised) {                                                                       \
        return with_fp_type(zdn.qual, [&](auto t) {                                                                  \
            using T = decltype(t);                                                                                   \
            unsigned char *d = zreg(s, zdn);                                                                         \
            const unsigned char *m = zreg(s, zm);                                                                    \
            run_elements<T>(                                                                                         \
                fpcr, raised, preg(s, pg), d, d, m, m,                                                               \
                [](host_fp_scope &sc, T x, T y, T) { return reversed ? fn(sc, y, x) : fn(sc, x, y); },               \
                FP_VEC([](auto x, auto y, auto) { return reversed ? host_fp_hw::vfn(y, x) : host_fp_hw::vfn(x, y); })); \
            return DECODE_OK;                                                                                        \
        });                                                                                                          \
    }
FP_ZPZ(sve_fadd_zpz, host_fp_raw_add, v_fadd, false)
FP_ZPZ(sve_fsub_zpz, host_fp_raw_sub, v_fsub, false)
FP_ZPZ(sve_fsubr_zpz, host_fp_raw_sub, v_fsub, true)
FP_ZPZ(sve_fmul_zpz, host_fp_raw_mul, v_fmul, false)
FP_ZPZ(sve_fdiv_zpz, host_fp_raw_div, v_fdiv, false)
FP_ZPZ(sve_fdivr_zpz, host_fp_raw_div, v_fdiv, true)
FP_ZPZ(sve_fmax_zpz, host_fp_raw_max, v_fmax, false)
FP_ZPZ(sve_fmaxnm_zpz, host_fp_raw_maxnum, v_fmaxnm, false)
FP_ZPZ(sve_fminnm_zpz, host_fp_raw_minnum, v_fminnm, false)
#undef FP_ZPZ

// Zdn = fn(Zdn, imm) (forward) or fn(imm, Zdn) (reversed), active elements,
// imm chosen by `pick`.
#define FP_ZPI(name, fn, vfn, pick, reversed)                                                                                 \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, unsigned i1, uint32_t fpcr, uint32_t *raised) { \
        return with_fp_type(zdn.qual, [&](auto t) {                                                                           \
            using T = decltype(t);                                                                                            \
            const T imm = pick<T>(i1);                                                                                        \
            unsigned char *d = zreg(s, zdn);                                                                                  \
            run_elements<T>(                                                                                                  \
                fpcr, raised, preg(s, pg), d, d, d, d,                                                                        \
                [imm](host_fp_scope &sc, T x, T, T) { return reversed ? fn(sc, imm, x) : fn(sc, x, imm); },                   \
                FP_VEC([imm](auto x, auto, auto) {                                                                            \
                    const auto v = host_fp_hw::v_splat(imm);                                                                  \
                    return reversed ? host_fp_hw::vfn(v, x) : host_fp_hw::vfn(x, v);                                          \
                }));                                                                                                          \
            return DECODE_OK;                                                                                                 \
        });                                                                                                                   \
    }
FP_ZPI(sve_fadd_zpi, host_fp_raw_add, v_fadd, half_or_one, false)
FP_ZPI(sve_fsub_zpi, host_fp_raw_sub, v_fsub, half_or_one, false)
FP_ZPI(sve_fsubr_zpi, host_fp_raw_sub, v_fsub, half_or_one, true)
FP_ZPI(sve_fmul_zpi, host_fp_raw_mul, v_fmul, half_or_two, false)
#undef FP_ZPI

// Zd = fn(Zn), active elements.
#define FP_UNARY_ZPZ(name, fn, vfn)                                                                                 \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,       \
                           uint32_t *raised) {                                                                      \
        return with_fp_type(zd.qual, [&](auto t) {                                                                  \
            using T = decltype(t);                                                                                  \
            const unsigned char *a = zreg(s, zn);                                                                   \
            run_elements<T>(                                                                                        \
                fpcr, raised, preg(s, pg), zreg(s, zd), a, a, a, [](host_fp_scope &sc, T x, T, T) { return fn(sc, x); }, \
                FP_VEC([](auto x, auto, auto) { return host_fp_hw::vfn(x); }));                                     \
            return DECODE_OK;                                                                                       \
        });                                                                                                         \
    }
FP_UNARY_ZPZ(sve_fsqrt_zpz, host_fp_raw_sqrt, v_fsqrt)
FP_UNARY_ZPZ(sve_frinta_zpz, host_fp_raw_round_tieaway, v_frinta)
#undef FP_UNARY_ZPZ

aarch64_decode_rc sve_fneg_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return with_fp_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        unsigned char *d = zreg(s, zd);
        const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
        vec_buf r;
        for (unsigned i = 0; i < elem_count<T>; ++i)
            elem_set<T>(r.b, i, pick_active<T>(g, i, T(elem_get<T>(a, i) ^ (T(1) << (8 * sizeof(T) - 1))), elem_get<T>(d, i)));
        std::memcpy(d, r.b, kVecBytes);
        return DECODE_OK;
    });
}

namespace {

// Zdst = [-]acc + [-]x * y with one rounding for active elements, the negations
// flipping signs (NaNs included) before the operation.
template <bool NegAcc, bool NegProduct>
aarch64_decode_rc muladd_zpzz(cpu_state *s, aarch64_z_reg zdst, aarch64_p_reg pg, aarch64_z_reg acc, aarch64_z_reg x,
                              aarch64_z_reg y, uint32_t fpcr, uint32_t *raised) {
    return with_fp_type(zdst.qual, [&](auto t) {
        using T = decltype(t);
        constexpr T kSign = T(T(1) << (8 * sizeof(T) - 1));
        run_elements<T, true>(
            fpcr, raised, preg(s, pg), zreg(s, zdst), zreg(s, acc), zreg(s, x), zreg(s, y),
            [](host_fp_scope &sc, T a, T n, T m) {
                return host_fp_raw_muladd(sc, NegAcc ? T(a ^ kSign) : a, NegProduct ? T(n ^ kSign) : n, m);
            },
            FP_VEC([](auto a, auto n, auto m) {
                if constexpr (NegAcc) a = host_fp_hw::v_neg(a);
                if constexpr (NegProduct) n = host_fp_hw::v_neg(n);
                return host_fp_hw::v_fmla(a, n, m);
            }));
        return DECODE_OK;
    });
}

}  // namespace

// Zda = [-]Zda + [-]Zn * Zm.
#define FP_MLA(name, neg_acc, neg_product)                                                                      \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zda, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm, \
                           uint32_t fpcr, uint32_t *raised) {                                                   \
        return muladd_zpzz<neg_acc, neg_product>(s, zda, pg, zda, zn, zm, fpcr, raised);                        \
    }
FP_MLA(sve_fmla_zpzz, false, false)
FP_MLA(sve_fmls_zpzz, false, true)
FP_MLA(sve_fnmla_zpzz, true, true)
FP_MLA(sve_fnmls_zpzz, true, false)
#undef FP_MLA

// Zdn = [-]Za + [-]Zdn * Zm.
#define FP_MAD(name, neg_acc, neg_product)                                                                      \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, aarch64_z_reg za, \
                           uint32_t fpcr, uint32_t *raised) {                                                   \
        return muladd_zpzz<neg_acc, neg_product>(s, zdn, pg, za, zdn, zm, fpcr, raised);                        \
    }
FP_MAD(sve_fmad_zpzz, false, false)
FP_MAD(sve_fmsb_zpzz, false, true)
FP_MAD(sve_fnmad_zpzz, true, true)
FP_MAD(sve_fnmsb_zpzz, true, false)
#undef FP_MAD

namespace {
// A raw value with its sign bit clear.
template <typename T>
T fp_magnitude(T a) {
    return T(a & ~(T(1) << (8 * sizeof(T) - 1)));
}
}  // namespace

#define FP_PPZZ(name, expr, vexpr)                                                                                              \
    aarch64_decode_rc name(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm, uint32_t fpcr, \
                           uint32_t *raised) {                                                                                  \
        return each_ppzz(s, pd, pg, zn, &zm, fpcr, raised, [](host_fp_scope &sc, auto a, auto b) { return expr; },              \
                         FP_VEC([](auto a, auto b) { return vexpr; }));                                                          \
    }
FP_PPZZ(sve_fcmeq_ppzz, host_fp_raw_compare_eq(sc, a, b), host_fp_hw::v_fcmeq(a, b))
FP_PPZZ(sve_fcmne_ppzz, !host_fp_raw_compare_eq(sc, a, b), host_fp_hw::v_not(host_fp_hw::v_fcmeq(a, b)))
FP_PPZZ(sve_fcmge_ppzz, host_fp_raw_compare_ge(sc, a, b), host_fp_hw::v_fcmge(a, b))
FP_PPZZ(sve_fcmgt_ppzz, host_fp_raw_compare_gt(sc, a, b), host_fp_hw::v_fcmgt(a, b))
// Unordered: either is a NaN, from quiet self-compares (they signal only for a
// signalling NaN, as the unordered compare does).
FP_PPZZ(sve_fcmuo_ppzz, host_fp_raw_compare_un(sc, a, b),
        host_fp_hw::v_not(host_fp_hw::v_and(host_fp_hw::v_fcmeq(a, a), host_fp_hw::v_fcmeq(b, b))))
// The magnitudes: the sign bits cleared (a NaN stays a NaN, a denormal a
// denormal), then the signalling compare.
FP_PPZZ(sve_facge_ppzz, host_fp_raw_compare_ge(sc, fp_magnitude(a), fp_magnitude(b)), host_fp_hw::v_facge(a, b))
FP_PPZZ(sve_facgt_ppzz, host_fp_raw_compare_gt(sc, fp_magnitude(a), fp_magnitude(b)), host_fp_hw::v_facgt(a, b))
#undef FP_PPZZ

#define FP_PPZ(name, expr, vexpr)                                                                                  \
    aarch64_decode_rc name(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,      \
                           uint32_t *raised) {                                                                     \
        return each_ppzz(s, pd, pg, zn, nullptr, fpcr, raised, [](host_fp_scope &sc, auto a, auto zero) { return expr; }, \
                         FP_VEC([](auto a, auto zero) { return vexpr; }));                                          \
    }
FP_PPZ(sve_fcmeq_ppz, host_fp_raw_compare_eq(sc, a, zero), host_fp_hw::v_fcmeq(a, zero))
FP_PPZ(sve_fcmne_ppz, !host_fp_raw_compare_eq(sc, a, zero), host_fp_hw::v_not(host_fp_hw::v_fcmeq(a, zero)))
FP_PPZ(sve_fcmge_ppz, host_fp_raw_compare_ge(sc, a, zero), host_fp_hw::v_fcmge(a, zero))
FP_PPZ(sve_fcmgt_ppz, host_fp_raw_compare_gt(sc, a, zero), host_fp_hw::v_fcmgt(a, zero))
FP_PPZ(sve_fcmle_ppz, host_fp_raw_compare_ge(sc, zero, a), host_fp_hw::v_fcmge(zero, a))
FP_PPZ(sve_fcmlt_ppz, host_fp_raw_compare_gt(sc, zero, a), host_fp_hw::v_fcmgt(zero, a))
#undef FP_PPZ

aarch64_decode_rc sve_fmaxnmv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                  uint32_t *raised) {
    return reduce_tree(s, vd, pg, zn, fpcr, raised, [](host_fp_scope &sc, auto a, auto b) { return host_fp_raw_maxnum(sc, a, b); });
}
aarch64_decode_rc sve_fminnmv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn, uint32_t fpcr,
                                  uint32_t *raised) {
    return reduce_tree(s, vd, pg, zn, fpcr, raised, [](host_fp_scope &sc, auto a, auto b) { return host_fp_raw_minnum(sc, a, b); });
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
    return with_element_type(zd.qual == kQualS || zd.qual == kQualD ? zd.qual : kQualH, [&](auto t) {
        using T = decltype(t);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(d, i, T(bits));
        return DECODE_OK;
    });
}
