// Floating-point arithmetic: add, subtract, multiply, divide, absolute
// difference, absolute value, negate, square root, the fused multiply-adds
// (vectors and indexed), minimum and maximum, and the complex FCADD and FCMLA.
// Single and double precision use the host-FP kernels where one exists; half
// precision's add, subtract, multiply, divide and multiply-add go through the
// wider formats on the host FPU where that applies (half_widened.h), and the
// software library computes the rest. All run under the emulated FPCR and OR
// the raised exception flags into FPSR.
#include <cstddef>
#include <type_traits>

#include "sve/handlers/fp_handler_shapes.h"
#include "sve/handlers/half_widened.h"
#include "sve/kernels/fp_kernels.h"

namespace {

using zpz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg, uint32_t, uint32_t *);
using zzz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_z_reg, aarch64_z_reg, uint32_t, uint32_t *);
using zpi_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_p_reg, unsigned, uint32_t, uint32_t *);

// Library operations, one per element.
constexpr auto lib_add = [](auto a, auto b, FPSCR &f) { return FPAdd(a, b, f); };
constexpr auto lib_sub = [](auto a, auto b, FPSCR &f) { return FPSub(a, b, f); };
constexpr auto lib_subr = [](auto a, auto b, FPSCR &f) { return FPSub(b, a, f); };
constexpr auto lib_mul = [](auto a, auto b, FPSCR &f) { return FPMul(a, b, f); };
constexpr auto lib_mulx = [](auto a, auto b, FPSCR &f) { return FPMulX(a, b, f); };
constexpr auto lib_div = [](auto a, auto b, FPSCR &f) { return FPDiv(a, b, f); };
constexpr auto lib_divr = [](auto a, auto b, FPSCR &f) { return FPDiv(b, a, f); };
constexpr auto lib_abd = [](auto a, auto b, FPSCR &f) { return FPAbs(FPSub(a, b, f)); };
constexpr auto lib_max = [](auto a, auto b, FPSCR &f) { return FPMax(a, b, f); };
constexpr auto lib_min = [](auto a, auto b, FPSCR &f) { return FPMin(a, b, f); };
constexpr auto lib_maxnum = [](auto a, auto b, FPSCR &f) { return FPMaxNum(a, b, f); };
constexpr auto lib_minnum = [](auto a, auto b, FPSCR &f) { return FPMinNum(a, b, f); };

// ---- Shapes with a host-FP kernel for single and double precision ----------

// Zdn = op(Zdn, Zm) or Zd = op(Zn), predicated, merging: Zd 4..0, Pg 12..10,
// Zm/Zn 9..5. A null kernel means the library computes for every size.
// HALF, where given, is the operation on single-precision lanes by which the
// half-precision form goes through single precision (half_widened.h).
template <typename T, typename Lib, typename Half = std::nullptr_t>
aarch64_decode_rc binary_vvm(cpu_state *s, uint32_t insn, zpz_kernel k, Lib lib, [[maybe_unused]] Half half = nullptr) {
    if constexpr (sizeof(T) != 2)
        if (k != nullptr) return delegate_fp(s, insn, k, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5));
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 2 && !std::is_same_v<Half, std::nullptr_t>)
        if (half_widened::binary(s, insn, s->p[pg3_num(insn)], s->z[zd_num(insn)], s->z[zn_num(insn)], 0,
                                 s->z[zd_num(insn)], half))
            return DECODE_OK;
#endif
    return fp_binary_merge<T>(s, insn, lib);
}
template <typename T, typename Lib>
aarch64_decode_rc unary_vm(cpu_state *s, uint32_t insn, zpz_kernel k, Lib lib) {
    if constexpr (sizeof(T) != 2)
        if (k != nullptr) return delegate_fp(s, insn, k, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5));
    return fp_unary_merge<T>(s, insn, lib);
}
// Zd = op(Zn, Zm), unpredicated: Zn 9..5, Zm 20..16; HALF as in binary_vvm.
template <typename T, typename Lib, typename Half>
aarch64_decode_rc binary_vvx(cpu_state *s, uint32_t insn, zzz_kernel k, Lib lib, [[maybe_unused]] Half half) {
    if constexpr (sizeof(T) != 2)
        if (k != nullptr) return delegate_fp(s, insn, k, zfield<T>(insn, 0), zfield<T>(insn, 5), zfield<T>(insn, 16));
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 2)
        if (half_widened::binary(s, insn, nullptr, s->z[zn_num(insn)], s->z[zm_num(insn)], 0, s->z[zd_num(insn)], half))
            return DECODE_OK;
#endif
    return fp_binary_unpredicated<T>(s, insn, lib);
}
// Zdn = op(Zdn, imm), predicated; i1 (bit 5) picks one of two single-precision
// constants.
template <typename T, typename Lib, typename Half = std::nullptr_t>
aarch64_decode_rc immediate_vim(cpu_state *s, uint32_t insn, zpi_kernel k, uint32_t when0, uint32_t when1, Lib lib,
                                [[maybe_unused]] Half half = nullptr) {
    const unsigned i1 = field(insn, 5, 5);
    if constexpr (sizeof(T) != 2)
        if (k != nullptr) return delegate_fp(s, insn, k, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), i1);
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 2 && !std::is_same_v<Half, std::nullptr_t>)
        if (half_widened::binary(s, insn, s->p[pg3_num(insn)], s->z[zd_num(insn)], nullptr,
                                 fp_const_from_single<T>(i1 ? when1 : when0), s->z[zd_num(insn)], half))
            return DECODE_OK;
#endif
    return fp_immediate_merge<T>(s, insn, fp_const_from_single<T>(i1 ? when1 : when0), lib);
}

// FABS and FNEG touch only the sign bit: no NaN processing, no flags (FNEG's
// single and double forms use the kernel).
template <typename T>
aarch64_decode_rc fabs_vm(cpu_state *s, uint32_t i) {
    s->insn = i;
    const unsigned char *a = s->z[zn_num(i)], *g = s->p[pg3_num(i)];
    unsigned char *d = s->z[zd_num(i)];
    constexpr T kMagnitude = T(T(~T(0)) >> 1);
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e)
        elem_set<T>(r.b, e, pick_active<T>(g, e, T(elem_get<T>(a, e) & kMagnitude), elem_get<T>(d, e)));
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}
template <typename T>
aarch64_decode_rc fneg_vm(cpu_state *s, uint32_t i) {
    if constexpr (sizeof(T) != 2) return delegate(s, i, sve_fneg_zpz, zfield<T>(i, 0), pfield<T>(i, 12, 10), zfield<T>(i, 5));
    return fp_unary_merge<T>(s, i, [](T a, FPSCR &) { return FPNeg(a); });
}

// ---- Fused multiply-add -----------------------------------------------------

// FMLA family (Zda 4..0, Zn 9..5, Zm 20..16): Zda = [-]Zda + [-]Zn * Zm.
template <typename T, bool NegAcc, bool NegProduct>
aarch64_decode_rc fmla_vvvm(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2) {
        constexpr auto kernel = NegAcc ? (NegProduct ? sve_fnmla_zpzz : sve_fnmls_zpzz)
                                       : (NegProduct ? sve_fmls_zpzz : sve_fmla_zpzz);
        return delegate_fp(s, insn, kernel, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5),
                           zfield<T>(insn, 16));
    }
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 2)
        if (half_widened::muladd<NegAcc, NegProduct>(s, insn, s->p[pg3_num(insn)], s->z[zd_num(insn)],
                                                     s->z[zn_num(insn)], s->z[zm_num(insn)], s->z[zd_num(insn)]))
            return DECODE_OK;
#endif
    return fp_ternary_merge<T>(s, insn, [](T acc, T n, T m, FPSCR &f) {
        return FPMulAdd(NegAcc ? FPNeg(acc) : acc, NegProduct ? FPNeg(n) : n, m, f);
    });
}
// FMAD family (Zdn 4..0, Zm 9..5, Za 20..16): Zdn = [-]Za + [-]Zdn * Zm.
template <typename T, bool NegAcc, bool NegProduct>
aarch64_decode_rc fmad_vvvm(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2) {
        constexpr auto kernel = NegAcc ? (NegProduct ? sve_fnmad_zpzz : sve_fnmsb_zpzz)
                                       : (NegProduct ? sve_fmsb_zpzz : sve_fmad_zpzz);
        return delegate_fp(s, insn, kernel, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5),
                           zfield<T>(insn, 16));
    }
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 2)
        if (half_widened::muladd<NegAcc, NegProduct>(s, insn, s->p[pg3_num(insn)], s->z[zm_num(insn)],
                                                     s->z[zd_num(insn)], s->z[zn_num(insn)], s->z[zd_num(insn)]))
            return DECODE_OK;
#endif
    return fp_ternary_merge<T>(s, insn, [](T dn, T m, T za, FPSCR &f) {
        return FPMulAdd(NegAcc ? FPNeg(za) : za, NegProduct ? FPNeg(dn) : dn, m, f);
    });
}

// ---- Indexed forms ----------------------------------------------------------

// Zm and the element index of FMLA, FMLS and FMUL (indexed).
struct indexed_operand {
    unsigned zm;
    unsigned index;
};
template <typename T>
indexed_operand indexed_fields(uint32_t insn) {
    if constexpr (sizeof(T) == 2) return {field(insn, 18, 16), (field(insn, 22, 22) << 2) | field(insn, 20, 19)};
    else if constexpr (sizeof(T) == 4) return {field(insn, 18, 16), field(insn, 20, 19)};
    else return {field(insn, 19, 16), field(insn, 20, 20)};
}

// Zd (4..0) = op(Zd[e], Zn[e], Zm[s], fpscr) for every element, where s is the
// indexed element of e's 128-bit segment; unpredicated.
template <typename T, typename Op>
aarch64_decode_rc fp_indexed(cpu_state *s, uint32_t insn, Op op) {
    const indexed_operand x = indexed_fields<T>(insn);
    const vec_buf zn = stage_z(s, zn_num(insn));
    const vec_buf zm = stage_z(s, x.zm);
    vec_buf r = stage_z(s, zd_num(insn));
    constexpr unsigned kPerSegment = 16 / sizeof(T);
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e) {
            const T d = elem_get<T>(r.b, e), n = elem_get<T>(zn.b, e);
            const T m = elem_get<T>(zm.b, e - e % kPerSegment + x.index);
            elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) { return T(op(d, n, m, f)); }));
        }
        write_z(s, zd_num(insn), r);
    });
}
// fp_indexed for single and double precision on the host FPU, 16 bytes (one
// segment) at a time: VOP(d, n, m) with m the segment's indexed element in
// every lane. Elsewhere and for half precision, OP element by element.
template <typename T, typename Op, typename VOp>
aarch64_decode_rc fp_indexed_host(cpu_state *s, uint32_t insn, Op op, VOp vop) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) >= 4) {
        s->insn = insn;
        using Vt = host_fp_hw::vec_t<T>;
        const indexed_operand x = indexed_fields<T>(insn);
        const unsigned char *n = s->z[zn_num(insn)], *m = s->z[x.zm];
        unsigned char *d = s->z[zd_num(insn)];
        uint32_t raised = 0;
        host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
        for (unsigned off = 0; off < kVecBytes; off += 16) {
            Vt vn, vd;
            std::memcpy(&vn, n + off, 16);
            std::memcpy(&vd, d + off, 16);
            const Vt vm = host_fp_hw::v_splat(elem_get<T>(m + off, x.index));
            const Vt res = vop(vd, vn, vm);
            std::memcpy(d + off, &res, 16);
        }
        host_fp_end(scope, &raised);
        fp_state_merge(s, raised);
        return DECODE_OK;
    }
#endif
    (void)vop;
    return fp_indexed<T>(s, insn, op);
}
// The half-precision indexed forms through the wider formats: Zm's indexed
// elements spread over their segments first.
#if defined(__aarch64__)
// Zm's indexed half-precision elements, each over its segment.
inline vec_buf half_indexed_operand(const cpu_state *s, uint32_t insn) {
    const indexed_operand x = indexed_fields<uint16_t>(insn);
    vec_buf m;
    half_widened::segment_broadcast(s->z[x.zm], x.index, m.b);
    return m;
}
template <bool NegProduct>
bool half_muladd_indexed(cpu_state *s, uint32_t insn) {
    const vec_buf m = half_indexed_operand(s, insn);
    unsigned char *d = s->z[zd_num(insn)];
    return half_widened::muladd<false, NegProduct>(s, insn, nullptr, d, s->z[zn_num(insn)], m.b, d);
}
#endif
template <typename T>
aarch64_decode_rc fmul_indexed(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 2) {
        const vec_buf m = half_indexed_operand(s, insn);
        if (half_widened::binary(s, insn, nullptr, s->z[zn_num(insn)], m.b, 0, s->z[zd_num(insn)],
                                 [](auto a, auto b) { return host_fp_hw::v_fmul(a, b); }))
            return DECODE_OK;
    }
#endif
    return fp_indexed_host<T>(s, insn, [](T, T n, T m, FPSCR &f) { return FPMul(n, m, f); },
                              FP_HOST_VEC([](auto, auto n, auto m) { return host_fp_hw::v_fmul(n, m); }));
}
template <typename T>
aarch64_decode_rc fmla_indexed(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 2)
        if (half_muladd_indexed<false>(s, insn)) return DECODE_OK;
#endif
    return fp_indexed_host<T>(s, insn, [](T d, T n, T m, FPSCR &f) { return FPMulAdd(d, n, m, f); },
                              FP_HOST_VEC([](auto d, auto n, auto m) { return host_fp_hw::v_fmla(d, n, m); }));
}
template <typename T>
aarch64_decode_rc fmls_indexed(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 2)
        if (half_muladd_indexed<true>(s, insn)) return DECODE_OK;
#endif
    return fp_indexed_host<T>(s, insn, [](T d, T n, T m, FPSCR &f) { return FPMulAdd(d, FPNeg(n), m, f); },
                              FP_HOST_VEC([](auto d, auto n, auto m) { return host_fp_hw::v_fmla(d, host_fp_hw::v_neg(n), m); }));
}

// ---- Complex arithmetic -----------------------------------------------------

// Runs body(add, muladd), the two operations accumulating the FP flags: on the
// host FPU under one FPCR set-up for single and double precision, through the
// library under the context for half precision.
template <typename T, typename Body>
aarch64_decode_rc with_fp_add_muladd(cpu_state *s, Body body) {
    if constexpr (sizeof(T) >= 4) {
        uint32_t raised = 0;
        host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
        body([&](T a, T b) { return host_fp_raw_add(scope, a, b); },
             [&](T acc, T a, T b) { return host_fp_raw_muladd(scope, acc, a, b); });
        host_fp_end(scope, &raised);
        fp_state_merge(s, raised);
        return DECODE_OK;
    } else {
        return compute(s, [&](CpuContext &ctx) {
            body([&](T a, T b) { return fp_eval(ctx, [&](FPSCR &f) { return T(FPAdd(a, b, f)); }); },
                 [&](T acc, T a, T b) { return fp_eval(ctx, [&](FPSCR &f) { return T(FPMulAdd(acc, a, b, f)); }); });
        });
    }
}

#if defined(__aarch64__)
// The complex forms 16 bytes at a time (single and double precision): the
// pieces of pairs, each lane's sign flipped where SIGNS has it, and the lanes
// active in 16 predicate bytes (every lane without a governing predicate).
namespace complex_pieces {
template <typename T>
using Vt = host_fp_hw::vec_t<T>;
// Each pair's first (SECOND false) or second element in both of its lanes.
template <typename T>
inline Vt<T> pair_element(Vt<T> v, bool second) {
    if constexpr (sizeof(T) == 4) return second ? vtrn2q_u32(v, v) : vtrn1q_u32(v, v);
    else return second ? vtrn2q_u64(v, v) : vtrn1q_u64(v, v);
}
// Each pair's two elements swapped.
template <typename T>
inline Vt<T> swap_pairs(Vt<T> v) {
    if constexpr (sizeof(T) == 4) return vrev64q_u32(v);
    else return vextq_u64(v, v, 1);
}
// The sign bits of the even (real) lanes, the odd (imaginary) lanes, or both.
template <typename T>
inline Vt<T> pair_signs(bool real, bool imaginary) {
    constexpr T kSign = T(T(1) << (8 * sizeof(T) - 1));
    if constexpr (sizeof(T) == 4) {
        const uint32_t lanes[4] = {real ? kSign : 0, imaginary ? kSign : 0, real ? kSign : 0, imaginary ? kSign : 0};
        return vld1q_u32(lanes);
    } else {
        const uint64_t lanes[2] = {real ? kSign : 0, imaginary ? kSign : 0};
        return vld1q_u64(lanes);
    }
}
// Each piece of Zd (at D) becomes OP(off, acc, on) in the lanes active in the
// predicate bytes G (every lane when G is null) and keeps its value in the
// others; OP gets the piece at byte OFF with its inactive lanes +0.0 (ACC) and
// the lane mask, and computes from +0.0 in those lanes, which raises nothing.
// Under one FPCR set-up; each piece of every register is read before the same
// piece of Zd is written.
template <typename T, typename Op>
aarch64_decode_rc merge_pieces(cpu_state *s, unsigned char *d, const unsigned char *g, Op op) {
    const Vt<T> zero = host_fp_hw::v_splat(T(0));
    uint32_t raised = 0;
    host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
    for (unsigned off = 0; off < kVecBytes; off += 16) {
        Vt<T> acc;
        std::memcpy(&acc, d + off, 16);
        const Vt<T> on = g == nullptr ? Vt<T>(vdupq_n_u8(0xFF)) : Vt<T>(lanes_active<T>(vld1q_u8(g + off)));
        const Vt<T> out = host_fp_hw::v_select(on, op(off, host_fp_hw::v_select(on, acc, zero), on), acc);
        std::memcpy(d + off, &out, 16);
    }
    host_fp_end(scope, &raised);
    fp_state_merge(s, raised);
    return DECODE_OK;
}
// The lanes of V where ON is set, +0.0 in the others.
template <typename T>
inline Vt<T> only(Vt<T> on, Vt<T> v) {
    return host_fp_hw::v_and(on, v);
}
}  // namespace complex_pieces
#endif

// FCADD Zdn, Pg/M, Zdn, Zm, #rot (Zm 9..5, rot bit 16: 90 or 270 degrees):
// (real, imaginary) pairs of Zdn plus Zm rotated.
template <typename T>
aarch64_decode_rc fcadd(cpu_state *s, uint32_t insn) {
    const bool rot270 = field(insn, 16, 16);
#if defined(__aarch64__)
    if constexpr (sizeof(T) >= 4) {
        // Zm's pairs swapped, then one sign flipped.
        using namespace complex_pieces;
        const unsigned char *m = s->z[zn_num(insn)];
        const Vt<T> signs = pair_signs<T>(!rot270, rot270);
        return merge_pieces<T>(s, s->z[zd_num(insn)], s->p[pg3_num(insn)], [&](unsigned off, Vt<T> acc, Vt<T> on) {
            Vt<T> b;
            std::memcpy(&b, m + off, 16);
            return host_fp_hw::v_fadd(acc, only<T>(on, swap_pairs<T>(b) ^ signs));
        });
    }
#endif
    const vec_buf zm = stage_z(s, zn_num(insn));
    vec_buf r = stage_z(s, zd_num(insn));
    const unsigned char *g = s->p[pg3_num(insn)];
    return with_fp_add_muladd<T>(s, [&](auto add, auto) {
        for (unsigned e = 0; e + 1 < elem_count<T>; e += 2) {
            const T m_r = elem_get<T>(zm.b, e), m_i = elem_get<T>(zm.b, e + 1);
            const T add_r = rot270 ? m_i : FPNeg(m_i);
            const T add_i = rot270 ? FPNeg(m_r) : m_r;
            if (pred_active<T>(g, e)) elem_set<T>(r.b, e, add(elem_get<T>(r.b, e), add_r));
            if (pred_active<T>(g, e + 1)) elem_set<T>(r.b, e + 1, add(elem_get<T>(r.b, e + 1), add_i));
        }
        write_z(s, zd_num(insn), r);
    });
}

// FCMLA: for each pair, Zda.real += Zn[sel] * [-]Zm[pair + sel] and Zda.imag +=
// Zn[sel] * [-]Zm[pair + !sel], with sel and the negations from the rotation
// (units of 90 degrees). Each Zda pair takes Zm's pair at the same place
// (PAIR_INDEX -1), or pair PAIR_INDEX of its 128-bit segment; G is Pg's bytes,
// or null for every pair.
template <typename T>
aarch64_decode_rc fcmla_loop(cpu_state *s, uint32_t insn, unsigned zm_num_, unsigned rot, const unsigned char *g,
                             int pair_index) {
    constexpr unsigned kPerSegment = 16 / sizeof(T);
    const auto zm_pair = [pair_index](unsigned e) {
        return pair_index < 0 ? e : e - e % kPerSegment + 2 * static_cast<unsigned>(pair_index);
    };
#if defined(__aarch64__)
    if constexpr (sizeof(T) >= 4) {
        // Zn's chosen element of each pair in both lanes, times Zm's pairs (in
        // the rotation's order, signs flipped), added with one rounding. Zm's
        // pairs are the piece's own, or one pair of its 128-bit segment in both
        // halves.
        using namespace complex_pieces;
        const unsigned char *n = s->z[zn_num(insn)], *m = s->z[zm_num_ & 31];
        const bool sel = rot & 1;
        const Vt<T> signs = pair_signs<T>((rot & 1) != ((rot >> 1) & 1), (rot >> 1) & 1);
        return merge_pieces<T>(s, s->z[zd_num(insn)], g, [&](unsigned off, Vt<T> acc, Vt<T> on) {
            Vt<T> a, b;
            std::memcpy(&a, n + off, 16);
            if (pair_index < 0) {
                std::memcpy(&b, m + off, 16);
            } else {
                uint64_t pair;
                std::memcpy(&pair, m + zm_pair(off / sizeof(T)) * sizeof(T), 8);
                b = Vt<T>(vdupq_n_u64(pair));
            }
            const Vt<T> factor = (sel ? swap_pairs<T>(b) : b) ^ signs;
            return host_fp_hw::v_fmla(acc, only<T>(on, pair_element<T>(a, sel)), only<T>(on, factor));
        });
    }
#endif
    const vec_buf zn = stage_z(s, zn_num(insn));
    const vec_buf zm = stage_z(s, zm_num_);
    vec_buf r = stage_z(s, zd_num(insn));
    unsigned char pg[kVecBytes];
    if (g != nullptr) std::memcpy(pg, g, kVecBytes);
    const unsigned sel_a = rot & 1, sel_b = sel_a ^ 1;
    const bool neg_i = (rot >> 1) & 1;
    const bool neg_r = (rot & 1) != ((rot >> 1) & 1);
    return with_fp_add_muladd<T>(s, [&](auto, auto muladd) {
        for (unsigned e = 0; e + 1 < elem_count<T>; e += 2) {
            const unsigned q = zm_pair(e);
            const T n_a = elem_get<T>(zn.b, e + sel_a);
            const T m_a = elem_get<T>(zm.b, q + sel_a), m_b = elem_get<T>(zm.b, q + sel_b);
            if (g == nullptr || pred_active<T>(pg, e))
                elem_set<T>(r.b, e, muladd(elem_get<T>(r.b, e), n_a, neg_r ? FPNeg(m_a) : m_a));
            if (g == nullptr || pred_active<T>(pg, e + 1))
                elem_set<T>(r.b, e + 1, muladd(elem_get<T>(r.b, e + 1), n_a, neg_i ? FPNeg(m_b) : m_b));
        }
        write_z(s, zd_num(insn), r);
    });
}
// FCMLA (vectors): Zda 4..0, Zn 9..5, Pg 12..10, rot 14..13, Zm 20..16.
template <typename T>
aarch64_decode_rc fcmla_vectors(cpu_state *s, uint32_t insn) {
    return fcmla_loop<T>(s, insn, zm_num(insn), field(insn, 14, 13), s->p[pg3_num(insn)], -1);
}
// FCMLA (indexed), unpredicated: rot 11..10; half precision Zm 18..16 and pair
// index 20..19, single precision Zm 19..16 and pair index 20. The pair is taken
// from each 128-bit segment.
template <typename T>
aarch64_decode_rc fcmla_indexed(cpu_state *s, uint32_t insn) {
    const unsigned zm = sizeof(T) == 2 ? field(insn, 18, 16) : field(insn, 19, 16);
    const unsigned index = sizeof(T) == 2 ? field(insn, 20, 19) : field(insn, 20, 20);
    return fcmla_loop<T>(s, insn, zm, field(insn, 11, 10), nullptr, static_cast<int>(index));
}

FP_HANDLERS(AddVVM, binary_vvm<T>(state, insn, sve_fadd_zpz, lib_add, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fadd(a, b); })))
FP_HANDLERS(SubVVM, binary_vvm<T>(state, insn, sve_fsub_zpz, lib_sub, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fsub(a, b); })))
FP_HANDLERS(SubRVVM, binary_vvm<T>(state, insn, sve_fsubr_zpz, lib_subr, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fsub(b, a); })))
FP_HANDLERS(MulVVM, binary_vvm<T>(state, insn, sve_fmul_zpz, lib_mul, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmul(a, b); })))
FP_HANDLERS(MulXVVM, (fp_binary_merge_host<T, false>(state, insn, lib_mulx, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmulx(a, b); }))))
FP_HANDLERS(DivVVM, binary_vvm<T>(state, insn, sve_fdiv_zpz, lib_div, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fdiv(a, b); })))
FP_HANDLERS(DivRVVM, binary_vvm<T>(state, insn, sve_fdivr_zpz, lib_divr, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fdiv(b, a); })))
FP_HANDLERS(AbdVVM, (fp_binary_merge_host<T, false>(state, insn, lib_abd, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fabd(a, b); }))))
FP_HANDLERS(MaxVVM, binary_vvm<T>(state, insn, sve_fmax_zpz, lib_max))
FP_HANDLERS(MinVVM, (fp_binary_merge_host<T, false>(state, insn, lib_min, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmin(a, b); }))))
FP_HANDLERS(MaxNumVVM, binary_vvm<T>(state, insn, sve_fmaxnm_zpz, lib_maxnum))
FP_HANDLERS(MinNumVVM, binary_vvm<T>(state, insn, sve_fminnm_zpz, lib_minnum))
FP_HANDLERS(AddVVX, binary_vvx<T>(state, insn, sve_fadd_zzz, lib_add, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fadd(a, b); })))
FP_HANDLERS(SubVVX, binary_vvx<T>(state, insn, sve_fsub_zzz, lib_sub, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fsub(a, b); })))
FP_HANDLERS(MulVVX, binary_vvx<T>(state, insn, sve_fmul_zzz, lib_mul, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmul(a, b); })))
FP_HANDLERS(AddVIM, immediate_vim<T>(state, insn, sve_fadd_zpi, kSingleHalf, kSingleOne, lib_add, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fadd(a, b); })))
FP_HANDLERS(SubVIM, immediate_vim<T>(state, insn, sve_fsub_zpi, kSingleHalf, kSingleOne, lib_sub, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fsub(a, b); })))
FP_HANDLERS(SubRVIM, immediate_vim<T>(state, insn, sve_fsubr_zpi, kSingleHalf, kSingleOne, lib_subr, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fsub(b, a); })))
FP_HANDLERS(MulVIM, immediate_vim<T>(state, insn, sve_fmul_zpi, kSingleHalf, kSingleTwo, lib_mul, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmul(a, b); })))
FP_HANDLERS(MaxVIM, (fp_binary_merge_host<T, true>(state, insn, lib_max, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmax(a, b); }), fp_const_from_single<T>(field(insn, 5, 5) ? kSingleOne : kSingleZero))))
FP_HANDLERS(MinVIM, (fp_binary_merge_host<T, true>(state, insn, lib_min, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmin(a, b); }), fp_const_from_single<T>(field(insn, 5, 5) ? kSingleOne : kSingleZero))))
FP_HANDLERS(MaxNumVIM, (fp_binary_merge_host<T, true>(state, insn, lib_maxnum, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fmaxnm(a, b); }), fp_const_from_single<T>(field(insn, 5, 5) ? kSingleOne : kSingleZero))))
FP_HANDLERS(MinNumVIM, (fp_binary_merge_host<T, true>(state, insn, lib_minnum, FP_HOST_VEC([](auto a, auto b) { return host_fp_hw::v_fminnm(a, b); }), fp_const_from_single<T>(field(insn, 5, 5) ? kSingleOne : kSingleZero))))
FP_HANDLERS(SqrtVM, unary_vm<T>(state, insn, sve_fsqrt_zpz, [](auto a, FPSCR &f) { return FPSqrt(a, f); }))
FP_HANDLERS(AbsVM, fabs_vm<T>(state, insn))
FP_HANDLERS(NegVM, fneg_vm<T>(state, insn))
FP_HANDLERS(FMAVVVM, fmla_vvvm<T, false, false>(state, insn))
FP_HANDLERS(FMSVVVM, fmla_vvvm<T, false, true>(state, insn))
FP_HANDLERS(FNMAVVVM, fmla_vvvm<T, true, true>(state, insn))
FP_HANDLERS(FNMSVVVM, fmla_vvvm<T, true, false>(state, insn))
FP_HANDLERS(FMADDVVVM, fmad_vvvm<T, false, false>(state, insn))
FP_HANDLERS(FMSUBVVVM, fmad_vvvm<T, false, true>(state, insn))
FP_HANDLERS(FNMADDVVVM, fmad_vvvm<T, true, true>(state, insn))
FP_HANDLERS(FNMSUBVVVM, fmad_vvvm<T, true, false>(state, insn))
FP_HANDLERS(MulVVIX, fmul_indexed<T>(state, insn))
FP_HANDLERS(FMAVVVIX, fmla_indexed<T>(state, insn))
FP_HANDLERS(FMSVVVIX, fmls_indexed<T>(state, insn))
FP_HANDLERS(FCADDVVM, fcadd<T>(state, insn))
FP_HANDLERS(FCMLAVVVM, fcmla_vectors<T>(state, insn))
SVE_HANDLER(VecF16FCMLAVVVIX) { return fcmla_indexed<uint16_t>(state, insn); }
SVE_HANDLER(VecF32FCMLAVVVIX) { return fcmla_indexed<uint32_t>(state, insn); }

}  // namespace

#define SVE_FAMILY fp_arith
#include "sve/handlers/family_bindings.inc"
