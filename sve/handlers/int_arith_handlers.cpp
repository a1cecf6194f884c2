// Integer add, subtract (plain, reversed, saturating), multiply (low and high
// half, accumulating), divide, dot product, absolute value and difference,
// negate, minimum and maximum.
#include <limits>
#include <type_traits>

#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/int_kernels.h"
#include "sve/support/saturation.h"
#include "sve/support/wide_int.h"

namespace {

template <typename T>
constexpr int kBits = static_cast<int>(sizeof(T) * 8);

// Operand records of the common forms.
template <typename T>
aarch64_z_reg zd(uint32_t insn) { return zfield<T>(insn, 0); }
template <typename T>
aarch64_z_reg zn(uint32_t insn) { return zfield<T>(insn, 5); }
template <typename T>
aarch64_z_reg zm(uint32_t insn) { return zfield<T>(insn, 16); }
template <typename T>
aarch64_p_reg pg(uint32_t insn) { return pfield<T>(insn, 12, 10); }

// Unsigned 8-bit immediate at 12..5, shifted left by 8 when bit 13 is set.
inline uint64_t shifted_imm8(uint32_t insn) { return uint64_t{field(insn, 12, 5)} << (field(insn, 13, 13) ? 8 : 0); }

// ---- Delegating forms --------------------------------------------------------

// Zd, Zn, Zm (unpredicated).
template <typename T>
aarch64_decode_rc vvx(cpu_state *s, uint32_t insn,
                      aarch64_decode_rc (*k)(cpu_state *, aarch64_z_reg, aarch64_z_reg, aarch64_z_reg)) {
    return delegate(s, insn, k, zd<T>(insn), zn<T>(insn), zm<T>(insn));
}
// Zdn, Pg, Zm at 9..5 (predicated, destructive).
template <typename T>
aarch64_decode_rc vvm(cpu_state *s, uint32_t insn,
                      aarch64_decode_rc (*k)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg)) {
    return delegate(s, insn, k, zd<T>(insn), pg<T>(insn), zn<T>(insn));
}
// Zd, Pg, Zn at 9..5, Zm at 20..16 (multiply-accumulate forms).
template <typename T>
aarch64_decode_rc vvvm(cpu_state *s, uint32_t insn,
                       aarch64_decode_rc (*k)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg, aarch64_z_reg)) {
    return delegate(s, insn, k, zd<T>(insn), pg<T>(insn), zn<T>(insn), zm<T>(insn));
}

// MAD/MSB Zdn, Pg, Zm (20..16), Za (9..5).
template <typename T>
aarch64_decode_rc mad(cpu_state *s, uint32_t insn,
                      aarch64_decode_rc (*k)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg, aarch64_z_reg)) {
    return delegate(s, insn, k, zd<T>(insn), pg<T>(insn), zm<T>(insn), zn<T>(insn));
}

// ---- Computing forms ---------------------------------------------------------

// Saturating add/subtract of two elements (vector forms).
template <typename T, bool Unsigned, bool Subtract>
aarch64_decode_rc q_vvx(cpu_state *s, uint32_t insn) {
    return compute_binary_unpredicated<T>(s, insn, [](T a, T b) { return saturate_lane<T, Unsigned, Subtract>(a, b); });
}

// Immediate forms: SatQ of the exact sum or difference with the unsigned immediate.
template <typename T, bool Unsigned, bool Subtract>
aarch64_decode_rc q_vix(cpu_state *s, uint32_t insn) {
    return compute_immediate_unpredicated<T>(s, insn, shifted_imm8(insn), [](T a, uint64_t i) {
        // The immediate (below 2^16) is unsigned at every element type.
        if constexpr (sizeof(T) < 8) {
            using C = std::conditional_t<Unsigned, T, std::make_signed_t<T>>;
            const int64_t x = static_cast<C>(a);
            const int64_t v = Subtract ? x - static_cast<int64_t>(i) : x + static_cast<int64_t>(i);
            constexpr int64_t lo = std::numeric_limits<C>::min(), hi = std::numeric_limits<C>::max();
            return static_cast<T>(v < lo ? lo : v > hi ? hi : v);
        } else {
            return saturate_lane<T, Unsigned, Subtract>(a, static_cast<T>(i));
        }
    });
}

// SUBR (immediate): imm - Zdn.
template <typename T>
aarch64_decode_rc subr_vix(cpu_state *s, uint32_t insn) {
    return compute_immediate_unpredicated<T>(s, insn, shifted_imm8(insn),
                                             [](T a, uint64_t i) { return static_cast<T>(i - a); });
}

// SMAX/UMAX/SMIN/UMIN (immediate): 8-bit immediate at 12..5, signed for S forms.
template <typename T, bool Unsigned, bool Maximum>
aarch64_decode_rc minmax_vix(cpu_state *s, uint32_t insn) {
    const uint64_t imm = Unsigned ? uint64_t{field(insn, 12, 5)} : static_cast<uint64_t>(int64_t{sfield(insn, 12, 5)});
    return compute_immediate_unpredicated<T>(s, insn, imm, [](T a, uint64_t i) {
        using C = std::conditional_t<Unsigned, T, std::make_signed_t<T>>;
        const C x = static_cast<C>(a), y = static_cast<C>(static_cast<T>(i));
        return static_cast<T>(Maximum ? (x >= y ? x : y) : (x <= y ? x : y));
    });
}

// SABD/UABD.
template <typename T, bool Unsigned>
aarch64_decode_rc abd_vvm(cpu_state *s, uint32_t insn) {
    return compute_binary_merge<T>(s, insn, [](T a, T b) {
        using C = std::conditional_t<Unsigned, T, std::make_signed_t<T>>;
        return static_cast<C>(a) >= static_cast<C>(b) ? static_cast<T>(a - b) : static_cast<T>(b - a);
    });
}

// SMULH/UMULH: the upper half of the double-width product.
// Doublewords by the processor's 64 x 64-bit high multiply, which does not
// vectorise.
template <typename T, bool Unsigned>
aarch64_decode_rc mulh_vvm(cpu_state *s, uint32_t insn) {
    const auto mulh = [](T a, T b) {
        // The product is formed modulo 2^128 (an unsigned 64 x 64-bit product does
        // not fit a signed 128-bit value); bits width..2*width-1 are exact either way.
        using C = std::conditional_t<Unsigned, T, std::make_signed_t<T>>;
        using W = std::conditional_t<(sizeof(T) <= 4), std::conditional_t<Unsigned, uint64_t, int64_t>,
                                     std::conditional_t<Unsigned, unsigned __int128, __int128>>;
        const W p = static_cast<W>(static_cast<C>(a)) * static_cast<W>(static_cast<C>(b));
        return static_cast<T>(p >> kBits<T>);
    };
    if constexpr (sizeof(T) == 8) return compute_binary_merge_scalar_op<T>(s, insn, mulh);
    return compute_binary_merge<T>(s, insn, mulh);
}

// SUBR (vectors): Zm - Zdn.
template <typename T>
aarch64_decode_rc subr_vvm(cpu_state *s, uint32_t insn) {
    return compute_binary_merge<T>(s, insn, [](T a, T b) { return static_cast<T>(b - a); });
}

// ABS: the most negative value stays itself.
template <typename T>
aarch64_decode_rc abs_vm(cpu_state *s, uint32_t insn) {
    return compute_unary_merge<T>(s, insn, [](T a) {
        return static_cast<std::make_signed_t<T>>(a) < 0 ? static_cast<T>(T(0) - a) : a;
    });
}

// SDOT/UDOT: each accumulator element adds the four products of the quarter-width
// elements at the same position. Indexed form: the four Zm elements come from the
// group `index` of each 128-bit segment.
template <typename T, bool Unsigned, bool Indexed>
aarch64_decode_rc dot(cpu_state *s, uint32_t insn) {
    using Q = std::conditional_t<sizeof(T) == 4, uint8_t, uint16_t>;
    unsigned m, index = 0;
    if constexpr (Indexed) {
        m = sizeof(T) == 4 ? field(insn, 18, 16) : field(insn, 19, 16);
        index = sizeof(T) == 4 ? field(insn, 20, 19) : field(insn, 20, 20);
    } else {
        m = zm_num(insn);
    }
    using CQ = std::conditional_t<Unsigned, Q, std::make_signed_t<Q>>;
    const unsigned char *vn = s->z[zn_num(insn)], *vm = s->z[m];
    unsigned char *d = s->z[zd_num(insn)];
    constexpr unsigned kPerSegment = 16 / sizeof(T);
    // Indexed: Zm's group `index` of each 128-bit segment copied to every
    // position of the segment first, so that both forms run the same
    // element-wise loop (which vectorises).
    vec_buf groups;
    if constexpr (Indexed) {
        for (unsigned seg = 0; seg < kVecBytes / 16; ++seg)
            for (unsigned j = 0; j < kPerSegment; ++j)
                std::memcpy(groups.b + 16 * seg + sizeof(T) * j, vm + 16 * seg + sizeof(T) * index, sizeof(T));
        vm = groups.b;
    }
    vec_buf r;
    // Each product fits the element; the sum wraps at its width.
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        T acc = elem_get<T>(d, e);
        for (unsigned k = 0; k < 4; ++k)
            acc = static_cast<T>(acc + static_cast<T>(static_cast<int64_t>(static_cast<CQ>(elem_get<Q>(vn, 4 * e + k))) *
                                                      static_cast<int64_t>(static_cast<CQ>(elem_get<Q>(vm, 4 * e + k)))));
        elem_set<T>(r.b, e, acc);
    }
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}

// ---- Handlers ----------------------------------------------------------------

SVE_HANDLER(VecU8AddVVX) { return vvx<uint8_t>(state, insn, sve_add_zzz); }
SVE_HANDLER(VecU16AddVVX) { return vvx<uint16_t>(state, insn, sve_add_zzz); }
SVE_HANDLER(VecU32AddVVX) { return vvx<uint32_t>(state, insn, sve_add_zzz); }
SVE_HANDLER(VecU64AddVVX) { return vvx<uint64_t>(state, insn, sve_add_zzz); }
SVE_HANDLER(VecU8SubVVX) { return vvx<uint8_t>(state, insn, sve_sub_zzz); }
SVE_HANDLER(VecU16SubVVX) { return vvx<uint16_t>(state, insn, sve_sub_zzz); }
SVE_HANDLER(VecU32SubVVX) { return vvx<uint32_t>(state, insn, sve_sub_zzz); }
SVE_HANDLER(VecU64SubVVX) { return vvx<uint64_t>(state, insn, sve_sub_zzz); }

SVE_HANDLER(VecU8AddVVM) { return vvm<uint8_t>(state, insn, sve_add_zpz); }
SVE_HANDLER(VecU16AddVVM) { return vvm<uint16_t>(state, insn, sve_add_zpz); }
SVE_HANDLER(VecU32AddVVM) { return vvm<uint32_t>(state, insn, sve_add_zpz); }
SVE_HANDLER(VecU64AddVVM) { return vvm<uint64_t>(state, insn, sve_add_zpz); }
SVE_HANDLER(VecU8SubVVM) { return vvm<uint8_t>(state, insn, sve_sub_zpz); }
SVE_HANDLER(VecU16SubVVM) { return vvm<uint16_t>(state, insn, sve_sub_zpz); }
SVE_HANDLER(VecU32SubVVM) { return vvm<uint32_t>(state, insn, sve_sub_zpz); }
SVE_HANDLER(VecU64SubVVM) { return vvm<uint64_t>(state, insn, sve_sub_zpz); }
SVE_HANDLER(VecU8SubRVVM) { return subr_vvm<uint8_t>(state, insn); }
SVE_HANDLER(VecU16SubRVVM) { return subr_vvm<uint16_t>(state, insn); }
SVE_HANDLER(VecU32SubRVVM) { return subr_vvm<uint32_t>(state, insn); }
SVE_HANDLER(VecU64SubRVVM) { return subr_vvm<uint64_t>(state, insn); }

SVE_HANDLER(VecU8AddVIX) { return delegate(state, insn, sve_add_zi, zd<uint8_t>(insn), unsigned(shifted_imm8(insn))); }
SVE_HANDLER(VecU16AddVIX) { return delegate(state, insn, sve_add_zi, zd<uint16_t>(insn), unsigned(shifted_imm8(insn))); }
SVE_HANDLER(VecU32AddVIX) { return delegate(state, insn, sve_add_zi, zd<uint32_t>(insn), unsigned(shifted_imm8(insn))); }
SVE_HANDLER(VecU64AddVIX) { return delegate(state, insn, sve_add_zi, zd<uint64_t>(insn), unsigned(shifted_imm8(insn))); }
SVE_HANDLER(VecU8SubVIX) { return delegate(state, insn, sve_sub_zi, zd<uint8_t>(insn), unsigned(shifted_imm8(insn))); }
SVE_HANDLER(VecU16SubVIX) { return delegate(state, insn, sve_sub_zi, zd<uint16_t>(insn), unsigned(shifted_imm8(insn))); }
SVE_HANDLER(VecU32SubVIX) { return delegate(state, insn, sve_sub_zi, zd<uint32_t>(insn), unsigned(shifted_imm8(insn))); }
SVE_HANDLER(VecU64SubVIX) { return delegate(state, insn, sve_sub_zi, zd<uint64_t>(insn), unsigned(shifted_imm8(insn))); }
SVE_HANDLER(VecU8SubRVIX) { return subr_vix<uint8_t>(state, insn); }
SVE_HANDLER(VecU16SubRVIX) { return subr_vix<uint16_t>(state, insn); }
SVE_HANDLER(VecU32SubRVIX) { return subr_vix<uint32_t>(state, insn); }
SVE_HANDLER(VecU64SubRVIX) { return subr_vix<uint64_t>(state, insn); }

SVE_HANDLER(VecS8QAddVVX) { return q_vvx<uint8_t, false, false>(state, insn); }
SVE_HANDLER(VecS16QAddVVX) { return q_vvx<uint16_t, false, false>(state, insn); }
SVE_HANDLER(VecS32QAddVVX) { return q_vvx<uint32_t, false, false>(state, insn); }
SVE_HANDLER(VecS64QAddVVX) { return q_vvx<uint64_t, false, false>(state, insn); }
SVE_HANDLER(VecU8QAddVVX) { return q_vvx<uint8_t, true, false>(state, insn); }
SVE_HANDLER(VecU16QAddVVX) { return q_vvx<uint16_t, true, false>(state, insn); }
SVE_HANDLER(VecU32QAddVVX) { return q_vvx<uint32_t, true, false>(state, insn); }
SVE_HANDLER(VecU64QAddVVX) { return q_vvx<uint64_t, true, false>(state, insn); }
SVE_HANDLER(VecS8QSubVVX) { return q_vvx<uint8_t, false, true>(state, insn); }
SVE_HANDLER(VecS16QSubVVX) { return q_vvx<uint16_t, false, true>(state, insn); }
SVE_HANDLER(VecS32QSubVVX) { return q_vvx<uint32_t, false, true>(state, insn); }
SVE_HANDLER(VecS64QSubVVX) { return q_vvx<uint64_t, false, true>(state, insn); }
SVE_HANDLER(VecU8QSubVVX) { return q_vvx<uint8_t, true, true>(state, insn); }
SVE_HANDLER(VecU16QSubVVX) { return q_vvx<uint16_t, true, true>(state, insn); }
SVE_HANDLER(VecU32QSubVVX) { return q_vvx<uint32_t, true, true>(state, insn); }
SVE_HANDLER(VecU64QSubVVX) { return q_vvx<uint64_t, true, true>(state, insn); }

SVE_HANDLER(VecS8QAddVIX) { return q_vix<uint8_t, false, false>(state, insn); }
SVE_HANDLER(VecS16QAddVIX) { return q_vix<uint16_t, false, false>(state, insn); }
SVE_HANDLER(VecS32QAddVIX) { return q_vix<uint32_t, false, false>(state, insn); }
SVE_HANDLER(VecS64QAddVIX) { return q_vix<uint64_t, false, false>(state, insn); }
SVE_HANDLER(VecU8QAddVIX) { return q_vix<uint8_t, true, false>(state, insn); }
SVE_HANDLER(VecU16QAddVIX) { return q_vix<uint16_t, true, false>(state, insn); }
SVE_HANDLER(VecU32QAddVIX) { return q_vix<uint32_t, true, false>(state, insn); }
SVE_HANDLER(VecU64QAddVIX) { return q_vix<uint64_t, true, false>(state, insn); }
SVE_HANDLER(VecS8QSubVIX) { return q_vix<uint8_t, false, true>(state, insn); }
SVE_HANDLER(VecS16QSubVIX) { return q_vix<uint16_t, false, true>(state, insn); }
SVE_HANDLER(VecS32QSubVIX) { return q_vix<uint32_t, false, true>(state, insn); }
SVE_HANDLER(VecS64QSubVIX) { return q_vix<uint64_t, false, true>(state, insn); }
SVE_HANDLER(VecU8QSubVIX) { return q_vix<uint8_t, true, true>(state, insn); }
SVE_HANDLER(VecU16QSubVIX) { return q_vix<uint16_t, true, true>(state, insn); }
SVE_HANDLER(VecU32QSubVIX) { return q_vix<uint32_t, true, true>(state, insn); }
SVE_HANDLER(VecU64QSubVIX) { return q_vix<uint64_t, true, true>(state, insn); }

SVE_HANDLER(VecS8MulVVM) { return vvm<uint8_t>(state, insn, sve_mul_zpz); }
SVE_HANDLER(VecS16MulVVM) { return vvm<uint16_t>(state, insn, sve_mul_zpz); }
SVE_HANDLER(VecS32MulVVM) { return vvm<uint32_t>(state, insn, sve_mul_zpz); }
SVE_HANDLER(VecS64MulVVM) { return vvm<uint64_t>(state, insn, sve_mul_zpz); }
SVE_HANDLER(VecS8MulVIX) { return delegate(state, insn, sve_mul_zi, zd<uint8_t>(insn), int(sfield(insn, 12, 5))); }
SVE_HANDLER(VecS16MulVIX) { return delegate(state, insn, sve_mul_zi, zd<uint16_t>(insn), int(sfield(insn, 12, 5))); }
SVE_HANDLER(VecS32MulVIX) { return delegate(state, insn, sve_mul_zi, zd<uint32_t>(insn), int(sfield(insn, 12, 5))); }
SVE_HANDLER(VecS64MulVIX) { return delegate(state, insn, sve_mul_zi, zd<uint64_t>(insn), int(sfield(insn, 12, 5))); }
SVE_HANDLER(VecS8MulHVVM) { return mulh_vvm<uint8_t, false>(state, insn); }
SVE_HANDLER(VecS16MulHVVM) { return mulh_vvm<uint16_t, false>(state, insn); }
SVE_HANDLER(VecS32MulHVVM) { return mulh_vvm<uint32_t, false>(state, insn); }
SVE_HANDLER(VecS64MulHVVM) { return mulh_vvm<uint64_t, false>(state, insn); }
SVE_HANDLER(VecU8MulHVVM) { return mulh_vvm<uint8_t, true>(state, insn); }
SVE_HANDLER(VecU16MulHVVM) { return mulh_vvm<uint16_t, true>(state, insn); }
SVE_HANDLER(VecU32MulHVVM) { return mulh_vvm<uint32_t, true>(state, insn); }
SVE_HANDLER(VecU64MulHVVM) { return mulh_vvm<uint64_t, true>(state, insn); }

SVE_HANDLER(VecS8MLAVVVM) { return vvvm<uint8_t>(state, insn, sve_mla_zpzz); }
SVE_HANDLER(VecS16MLAVVVM) { return vvvm<uint16_t>(state, insn, sve_mla_zpzz); }
SVE_HANDLER(VecS32MLAVVVM) { return vvvm<uint32_t>(state, insn, sve_mla_zpzz); }
SVE_HANDLER(VecS64MLAVVVM) { return vvvm<uint64_t>(state, insn, sve_mla_zpzz); }
SVE_HANDLER(VecS8MLSVVVM) { return vvvm<uint8_t>(state, insn, sve_mls_zpzz); }
SVE_HANDLER(VecS16MLSVVVM) { return vvvm<uint16_t>(state, insn, sve_mls_zpzz); }
SVE_HANDLER(VecS32MLSVVVM) { return vvvm<uint32_t>(state, insn, sve_mls_zpzz); }
SVE_HANDLER(VecS64MLSVVVM) { return vvvm<uint64_t>(state, insn, sve_mls_zpzz); }
SVE_HANDLER(VecS8MADDVVVM) { return mad<uint8_t>(state, insn, sve_mad_zpzz); }
SVE_HANDLER(VecS16MADDVVVM) { return mad<uint16_t>(state, insn, sve_mad_zpzz); }
SVE_HANDLER(VecS32MADDVVVM) { return mad<uint32_t>(state, insn, sve_mad_zpzz); }
SVE_HANDLER(VecS64MADDVVVM) { return mad<uint64_t>(state, insn, sve_mad_zpzz); }
SVE_HANDLER(VecS8MSUBVVVM) { return mad<uint8_t>(state, insn, sve_msb_zpzz); }
SVE_HANDLER(VecS16MSUBVVVM) { return mad<uint16_t>(state, insn, sve_msb_zpzz); }
SVE_HANDLER(VecS32MSUBVVVM) { return mad<uint32_t>(state, insn, sve_msb_zpzz); }
SVE_HANDLER(VecS64MSUBVVVM) { return mad<uint64_t>(state, insn, sve_msb_zpzz); }

SVE_HANDLER(VecS32DivVVM) { return vvm<uint32_t>(state, insn, sve_sdiv_zpz); }
SVE_HANDLER(VecS64DivVVM) { return vvm<uint64_t>(state, insn, sve_sdiv_zpz); }
SVE_HANDLER(VecU32DivVVM) { return vvm<uint32_t>(state, insn, sve_udiv_zpz); }
SVE_HANDLER(VecU64DivVVM) { return vvm<uint64_t>(state, insn, sve_udiv_zpz); }
SVE_HANDLER(VecS32DivRVVM) { return vvm<uint32_t>(state, insn, sve_sdivr_zpz); }
SVE_HANDLER(VecS64DivRVVM) { return vvm<uint64_t>(state, insn, sve_sdivr_zpz); }
SVE_HANDLER(VecU32DivRVVM) { return vvm<uint32_t>(state, insn, sve_udivr_zpz); }
SVE_HANDLER(VecU64DivRVVM) { return vvm<uint64_t>(state, insn, sve_udivr_zpz); }

SVE_HANDLER(VecS32DotVVVX) { return dot<uint32_t, false, false>(state, insn); }
SVE_HANDLER(VecS64DotVVVX) { return dot<uint64_t, false, false>(state, insn); }
SVE_HANDLER(VecU32DotVVVX) { return dot<uint32_t, true, false>(state, insn); }
SVE_HANDLER(VecU64DotVVVX) { return dot<uint64_t, true, false>(state, insn); }
SVE_HANDLER(VecS32DotVVVIX) { return dot<uint32_t, false, true>(state, insn); }
SVE_HANDLER(VecS64DotVVVIX) { return dot<uint64_t, false, true>(state, insn); }
SVE_HANDLER(VecU32DotVVVIX) { return dot<uint32_t, true, true>(state, insn); }
SVE_HANDLER(VecU64DotVVVIX) { return dot<uint64_t, true, true>(state, insn); }

SVE_HANDLER(VecS8AbdVVM) { return abd_vvm<uint8_t, false>(state, insn); }
SVE_HANDLER(VecS16AbdVVM) { return abd_vvm<uint16_t, false>(state, insn); }
SVE_HANDLER(VecS32AbdVVM) { return abd_vvm<uint32_t, false>(state, insn); }
SVE_HANDLER(VecS64AbdVVM) { return abd_vvm<uint64_t, false>(state, insn); }
SVE_HANDLER(VecU8AbdVVM) { return abd_vvm<uint8_t, true>(state, insn); }
SVE_HANDLER(VecU16AbdVVM) { return abd_vvm<uint16_t, true>(state, insn); }
SVE_HANDLER(VecU32AbdVVM) { return abd_vvm<uint32_t, true>(state, insn); }
SVE_HANDLER(VecU64AbdVVM) { return abd_vvm<uint64_t, true>(state, insn); }
SVE_HANDLER(VecS8AbsVM) { return abs_vm<uint8_t>(state, insn); }
SVE_HANDLER(VecS16AbsVM) { return abs_vm<uint16_t>(state, insn); }
SVE_HANDLER(VecS32AbsVM) { return abs_vm<uint32_t>(state, insn); }
SVE_HANDLER(VecS64AbsVM) { return abs_vm<uint64_t>(state, insn); }
SVE_HANDLER(VecS8NegVM) { return delegate(state, insn, sve_neg_zpz, zd<uint8_t>(insn), pg<uint8_t>(insn), zn<uint8_t>(insn)); }
SVE_HANDLER(VecS16NegVM) { return delegate(state, insn, sve_neg_zpz, zd<uint16_t>(insn), pg<uint16_t>(insn), zn<uint16_t>(insn)); }
SVE_HANDLER(VecS32NegVM) { return delegate(state, insn, sve_neg_zpz, zd<uint32_t>(insn), pg<uint32_t>(insn), zn<uint32_t>(insn)); }
SVE_HANDLER(VecS64NegVM) { return delegate(state, insn, sve_neg_zpz, zd<uint64_t>(insn), pg<uint64_t>(insn), zn<uint64_t>(insn)); }

SVE_HANDLER(VecS8MaxVVM) { return vvm<uint8_t>(state, insn, sve_smax_zpz); }
SVE_HANDLER(VecS16MaxVVM) { return vvm<uint16_t>(state, insn, sve_smax_zpz); }
SVE_HANDLER(VecS32MaxVVM) { return vvm<uint32_t>(state, insn, sve_smax_zpz); }
SVE_HANDLER(VecS64MaxVVM) { return vvm<uint64_t>(state, insn, sve_smax_zpz); }
SVE_HANDLER(VecU8MaxVVM) { return vvm<uint8_t>(state, insn, sve_umax_zpz); }
SVE_HANDLER(VecU16MaxVVM) { return vvm<uint16_t>(state, insn, sve_umax_zpz); }
SVE_HANDLER(VecU32MaxVVM) { return vvm<uint32_t>(state, insn, sve_umax_zpz); }
SVE_HANDLER(VecU64MaxVVM) { return vvm<uint64_t>(state, insn, sve_umax_zpz); }
SVE_HANDLER(VecS8MinVVM) { return vvm<uint8_t>(state, insn, sve_smin_zpz); }
SVE_HANDLER(VecS16MinVVM) { return vvm<uint16_t>(state, insn, sve_smin_zpz); }
SVE_HANDLER(VecS32MinVVM) { return vvm<uint32_t>(state, insn, sve_smin_zpz); }
SVE_HANDLER(VecS64MinVVM) { return vvm<uint64_t>(state, insn, sve_smin_zpz); }
SVE_HANDLER(VecU8MinVVM) { return vvm<uint8_t>(state, insn, sve_umin_zpz); }
SVE_HANDLER(VecU16MinVVM) { return vvm<uint16_t>(state, insn, sve_umin_zpz); }
SVE_HANDLER(VecU32MinVVM) { return vvm<uint32_t>(state, insn, sve_umin_zpz); }
SVE_HANDLER(VecU64MinVVM) { return vvm<uint64_t>(state, insn, sve_umin_zpz); }
SVE_HANDLER(VecS8MaxVIX) { return minmax_vix<uint8_t, false, true>(state, insn); }
SVE_HANDLER(VecS16MaxVIX) { return minmax_vix<uint16_t, false, true>(state, insn); }
SVE_HANDLER(VecS32MaxVIX) { return minmax_vix<uint32_t, false, true>(state, insn); }
SVE_HANDLER(VecS64MaxVIX) { return minmax_vix<uint64_t, false, true>(state, insn); }
SVE_HANDLER(VecU8MaxVIX) { return minmax_vix<uint8_t, true, true>(state, insn); }
SVE_HANDLER(VecU16MaxVIX) { return minmax_vix<uint16_t, true, true>(state, insn); }
SVE_HANDLER(VecU32MaxVIX) { return minmax_vix<uint32_t, true, true>(state, insn); }
SVE_HANDLER(VecU64MaxVIX) { return minmax_vix<uint64_t, true, true>(state, insn); }
SVE_HANDLER(VecS8MinVIX) { return minmax_vix<uint8_t, false, false>(state, insn); }
SVE_HANDLER(VecS16MinVIX) { return minmax_vix<uint16_t, false, false>(state, insn); }
SVE_HANDLER(VecS32MinVIX) { return minmax_vix<uint32_t, false, false>(state, insn); }
SVE_HANDLER(VecS64MinVIX) { return minmax_vix<uint64_t, false, false>(state, insn); }
SVE_HANDLER(VecU8MinVIX) { return minmax_vix<uint8_t, true, false>(state, insn); }
SVE_HANDLER(VecU16MinVIX) { return minmax_vix<uint16_t, true, false>(state, insn); }
SVE_HANDLER(VecU32MinVIX) { return minmax_vix<uint32_t, true, false>(state, insn); }
SVE_HANDLER(VecU64MinVIX) { return minmax_vix<uint64_t, true, false>(state, insn); }

}  // namespace

#define SVE_FAMILY int_arith
#include "sve/handlers/family_bindings.inc"
