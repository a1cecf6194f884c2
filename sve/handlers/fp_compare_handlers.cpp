// Floating-point compares into predicates (FCMEQ, FCMNE, FCMGE, FCMGT, FCMLE,
// FCMLT, FCMUO, FACGE, FACGT; no condition flags) and the floating-point
// reductions (FADDA in element order, FADDV, FMAXV, FMINV, FMAXNMV, FMINNMV
// by a pairwise tree), all under the emulated FPCR with the raised exception
// flags ORed into FPSR.
#include "sve/handlers/fp_handler_shapes.h"
#include "sve/kernels/fp_kernels.h"

namespace {

using ppzz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_p_reg, aarch64_p_reg, aarch64_z_reg, aarch64_z_reg, uint32_t,
                                          uint32_t *);
using ppz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_p_reg, aarch64_p_reg, aarch64_z_reg, uint32_t, uint32_t *);

// Pd 3..0, Pg 12..10, Zn 9..5, Zm 20..16 (vector forms); the library computes
// half precision and the forms without a kernel.
template <typename T, typename Lib>
aarch64_decode_rc compare_vv(cpu_state *s, uint32_t insn, ppzz_kernel k, Lib lib) {
    if constexpr (sizeof(T) != 2)
        if (k != nullptr)
            return delegate_fp(s, insn, k, pfield<T>(insn, 3, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5),
                               zfield<T>(insn, 16));
    return fp_compare<T>(s, insn, [&](T a, T b, FPSCR &f) { return lib(a, b, f); });
}
// The #0.0 forms: lib(Zn[e], +0.0).
template <typename T, typename Lib>
aarch64_decode_rc compare_v0(cpu_state *s, uint32_t insn, ppz_kernel k, Lib lib) {
    if constexpr (sizeof(T) != 2)
        if (k != nullptr) return delegate_fp(s, insn, k, pfield<T>(insn, 3, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5));
    return fp_compare<T>(s, insn, [&](T a, T, FPSCR &f) { return lib(a, T(0), f); });
}

constexpr auto lib_eq = [](auto a, auto b, FPSCR &f) { return FPCompareEQ(a, b, f); };
constexpr auto lib_ne = [](auto a, auto b, FPSCR &f) { return !FPCompareEQ(a, b, f); };
constexpr auto lib_ge = [](auto a, auto b, FPSCR &f) { return FPCompareGE(a, b, f); };
constexpr auto lib_gt = [](auto a, auto b, FPSCR &f) { return FPCompareGT(a, b, f); };
constexpr auto lib_le = [](auto a, auto b, FPSCR &f) { return FPCompareGE(b, a, f); };
constexpr auto lib_lt = [](auto a, auto b, FPSCR &f) { return FPCompareGT(b, a, f); };
constexpr auto lib_un = [](auto a, auto b, FPSCR &f) { return FPCompareUN(a, b, f); };
constexpr auto lib_acge = [](auto a, auto b, FPSCR &f) { return FPCompareGE(FPAbs(a), FPAbs(b), f); };
constexpr auto lib_acgt = [](auto a, auto b, FPSCR &f) { return FPCompareGT(FPAbs(a), FPAbs(b), f); };

// ---- Reductions -------------------------------------------------------------

// FADDA Vdn, Pg, Vdn, Zm (Zm 9..5): the low element of Vdn plus every active
// element of Zm, in ascending element order, each addition rounded.
template <typename T>
aarch64_decode_rc fadda(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) >= 4) {
        // One FPCR set-up for the whole chain.
        s->insn = insn;
        const unsigned char *m = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
        T acc = elem_get<T>(s->z[zd_num(insn)], 0);
        uint32_t raised = 0;
        host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
        if (every_element_active(g, sizeof(T))) {
            // Every element, as in a loop's iterations before its last: no test
            // between the additions.
#pragma GCC unroll 16
            for (unsigned e = 0; e < elem_count<T>; ++e) acc = host_fp_raw_add(scope, acc, elem_get<T>(m, e));
        } else {
            for (unsigned e = 0; e < elem_count<T>; ++e)
                if (g[e * sizeof(T)] & 1) acc = host_fp_raw_add(scope, acc, elem_get<T>(m, e));
        }
        host_fp_end(scope, &raised);
        fp_state_merge(s, raised);
        write_v_scalar<T>(s, zd_num(insn), acc);
        return DECODE_OK;
    }
    const vec_buf zm = stage_z(s, zn_num(insn));
    const T start = elem_get<T>(s->z[zd_num(insn)], 0);
    const PredV pg = stage_p(s, pg3_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        T acc = start;
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e)
            if (active<T>(pg, e)) {
                const T m = elem_get<T>(zm.b, e);
                acc = fp_eval(ctx, [&](FPSCR &f) { return FPAdd(acc, m, f); });
            }
        write_v_scalar<T>(s, zd_num(insn), acc);
    });
}

template <typename T>
aarch64_decode_rc faddv(cpu_state *s, uint32_t insn) {
    return fp_reduce_tree_host<T>(s, insn, fp_zero<T>(0), [](T a, T b, FPSCR &f) { return FPAdd(a, b, f); },
                                  [](host_fp_scope &sc, T a, T b) { return host_fp_raw_add(sc, a, b); },
                                  FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_faddp(a, b); }));
}
template <typename T>
aarch64_decode_rc fmaxv(cpu_state *s, uint32_t insn) {
    return fp_reduce_tree_host<T>(s, insn, fp_infinity<T>(1), [](T a, T b, FPSCR &f) { return FPMax(a, b, f); },
                                  [](host_fp_scope &sc, T a, T b) { return host_fp_raw_max(sc, a, b); },
                                  FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmaxp(a, b); }));
}
template <typename T>
aarch64_decode_rc fminv(cpu_state *s, uint32_t insn) {
    return fp_reduce_tree_host<T>(s, insn, fp_infinity<T>(0), [](T a, T b, FPSCR &f) { return FPMin(a, b, f); },
                                  [](host_fp_scope &sc, T a, T b) { return host_fp_raw_min(sc, a, b); },
                                  FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fminp(a, b); }));
}
// FMAXNMV/FMINNMV: inactive elements are the default NaN, which maxNum/minNum
// discard (FMAXNMP and FMINNMP on AArch64).
template <typename T>
aarch64_decode_rc fmaxnmv(cpu_state *s, uint32_t insn) {
    return fp_reduce_tree_host<T>(s, insn, fp_default_nan<T>(), [](T a, T b, FPSCR &f) { return FPMaxNum(a, b, f); },
                                  [](host_fp_scope &sc, T a, T b) { return host_fp_raw_maxnum(sc, a, b); },
                                  FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmaxnmp(a, b); }));
}
template <typename T>
aarch64_decode_rc fminnmv(cpu_state *s, uint32_t insn) {
    return fp_reduce_tree_host<T>(s, insn, fp_default_nan<T>(), [](T a, T b, FPSCR &f) { return FPMinNum(a, b, f); },
                                  [](host_fp_scope &sc, T a, T b) { return host_fp_raw_minnum(sc, a, b); },
                                  FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fminnmp(a, b); }));
}

FP_HANDLERS(CmpEQVVZ, compare_vv<T>(state, insn, sve_fcmeq_ppzz, lib_eq))
FP_HANDLERS(CmpNEVVZ, compare_vv<T>(state, insn, sve_fcmne_ppzz, lib_ne))
FP_HANDLERS(CmpGEVVZ, compare_vv<T>(state, insn, sve_fcmge_ppzz, lib_ge))
FP_HANDLERS(CmpGTVVZ, compare_vv<T>(state, insn, sve_fcmgt_ppzz, lib_gt))
FP_HANDLERS(CmpUNVVZ, compare_vv<T>(state, insn, sve_fcmuo_ppzz, lib_un))
FP_HANDLERS(AcGEVVZ, compare_vv<T>(state, insn, sve_facge_ppzz, lib_acge))
FP_HANDLERS(AcGTVVZ, compare_vv<T>(state, insn, sve_facgt_ppzz, lib_acgt))
FP_HANDLERS(CmpEQV0Z, compare_v0<T>(state, insn, sve_fcmeq_ppz, lib_eq))
FP_HANDLERS(CmpNEV0Z, compare_v0<T>(state, insn, sve_fcmne_ppz, lib_ne))
FP_HANDLERS(CmpGEV0Z, compare_v0<T>(state, insn, sve_fcmge_ppz, lib_ge))
FP_HANDLERS(CmpGTV0Z, compare_v0<T>(state, insn, sve_fcmgt_ppz, lib_gt))
FP_HANDLERS(CmpLEV0Z, compare_v0<T>(state, insn, sve_fcmle_ppz, lib_le))
FP_HANDLERS(CmpLTV0Z, compare_v0<T>(state, insn, sve_fcmlt_ppz, lib_lt))
FP_HANDLERS(AddReduceAV, fadda<T>(state, insn))
FP_HANDLERS(AddReduceFV, faddv<T>(state, insn))
FP_HANDLERS(MaxReduceFV, fmaxv<T>(state, insn))
FP_HANDLERS(MinReduceFV, fminv<T>(state, insn))
FP_HANDLERS(MaxNumReduceFV, fmaxnmv<T>(state, insn))
FP_HANDLERS(MinNumReduceFV, fminnmv<T>(state, insn))

}  // namespace

#define SVE_FAMILY fp_compare
#include "sve/handlers/family_bindings.inc"
