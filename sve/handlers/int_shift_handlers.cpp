// Shifts (by immediate, by vector, by wide elements, reversed), ASRD, sign and
// zero extension, and bit, byte, halfword and word reversal inside elements.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/int_kernel_shapes.h"
#include "sve/kernels/shift_kernels.h"
#include "sve/support/bit_helpers.h"
#include "sve/support/wide_int.h"

namespace {

template <typename T>
constexpr unsigned kBits = sizeof(T) * 8;

using zpz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg);

// Zd/Zdn, Pg (12..10), Zn/Zm (9..5).
template <typename T>
aarch64_decode_rc zpz(cpu_state *s, uint32_t insn, zpz_kernel k) {
    return delegate(s, insn, k, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5));
}

// tsz:imm3 of the predicated immediate forms (tszh 23..22, tszl 9..8, imm3 7..5)
// and of the unpredicated ones (tszh 23..22, tszl 20..19, imm3 18..16).
inline unsigned tsz_imm3_predicated(uint32_t insn) { return (field(insn, 23, 22) << 5) | field(insn, 9, 5); }
inline unsigned tsz_imm3_unpredicated(uint32_t insn) { return (field(insn, 23, 22) << 5) | field(insn, 20, 16); }
template <typename T>
unsigned right_shift(unsigned tsz_imm3) { return 2 * kBits<T> - tsz_imm3; }
template <typename T>
unsigned left_shift(unsigned tsz_imm3) { return tsz_imm3 - kBits<T>; }

// LSR by immediate, predicated and unpredicated.
template <typename T>
aarch64_decode_rc lsr_vim(cpu_state *s, uint32_t insn) {
    const unsigned sh = right_shift<T>(tsz_imm3_predicated(insn));
    return compute_unary_merge_destructive<T>(s, insn, [sh](T a) { return op_lsr{}(a, sh); });
}
template <typename T>
aarch64_decode_rc lsr_vix(cpu_state *s, uint32_t insn) {
    const unsigned sh = right_shift<T>(tsz_imm3_unpredicated(insn));
    const vec_buf zn = stage_z(s, zn_num(insn));
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e) elem_set<T>(r.b, e, op_lsr{}(elem_get<T>(zn.b, e), sh));
    write_z(s, zd_num(insn), r);
    return DECODE_OK;
}

// ASRD: arithmetic shift that rounds the quotient toward zero.
template <typename T>
aarch64_decode_rc asrd(cpu_state *s, uint32_t insn) {
    const unsigned sh = right_shift<T>(tsz_imm3_predicated(insn));
    return compute_unary_merge_destructive<T>(s, insn, [sh](T a) {
        // A shift by the whole width leaves 0 (every quotient is in (-1, 1)).
        // Otherwise negative values are biased by 2^sh - 1 first, which
        // cannot overflow a negative value.
        if (sh >= 8 * sizeof(T)) return T(0);
        using S = std::make_signed_t<T>;
        const T bias = static_cast<T>(static_cast<T>(T(1) << sh) - 1) & static_cast<T>(T(0) - T(static_cast<S>(a) < 0));
        return static_cast<T>(static_cast<S>(static_cast<T>(a + bias)) >> sh);
    });
}

// LSLR/LSRR/ASRR: the shift of Zm by Zdn.
template <typename T, typename Shift>
aarch64_decode_rc reversed_shift(cpu_state *s, uint32_t insn, Shift sh) {
    return compute_binary_merge<T>(s, insn, [sh](T a, T b) { return sh(b, uint64_t(a)); });
}

// Shifts by the 64-bit element of Zm that covers the same 64-bit lane.
template <typename T, typename Shift>
aarch64_decode_rc wide_shift_predicated(cpu_state *s, uint32_t insn, Shift sh) {
    const unsigned char *m = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        const T x = elem_get<T>(d, e);
        const T y = static_cast<T>(sh(x, elem_get<uint64_t>(m, e * sizeof(T) / 8)));
        elem_set<T>(r.b, e, pick_active<T>(g, e, y, x));
    }
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}
template <typename T, typename Shift>
aarch64_decode_rc wide_shift_unpredicated(cpu_state *s, uint32_t insn, Shift sh) {
    const unsigned char *n = s->z[zn_num(insn)], *m = s->z[zm_num(insn)];
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e)
        elem_set<T>(r.b, e, static_cast<T>(sh(elem_get<T>(n, e), elem_get<uint64_t>(m, e * sizeof(T) / 8))));
    std::memcpy(s->z[zd_num(insn)], r.b, kVecBytes);
    return DECODE_OK;
}

// UXTB, REVB, REVH (computed, merging).
template <typename T>
aarch64_decode_rc uxtb(cpu_state *s, uint32_t insn) {
    return compute_unary_merge<T>(s, insn, [](T a) { return static_cast<T>(a & 0xFF); });
}
// REVB and REVH; on AArch64 by REV16, REV32 and REV64 on whole pieces.
template <typename T, int Unit>
aarch64_decode_rc reverse_units(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    return compute_unary_merge_pieces<T>(s, insn, [](uint8x16_t x) {
        if constexpr (Unit == 1 && sizeof(T) == 2) return vrev16q_u8(x);
        else if constexpr (Unit == 1 && sizeof(T) == 4) return vrev32q_u8(x);
        else if constexpr (Unit == 1) return vrev64q_u8(x);
        else if constexpr (sizeof(T) == 4) return vreinterpretq_u8_u16(vrev32q_u16(vreinterpretq_u16_u8(x)));
        else return vreinterpretq_u8_u16(vrev64q_u16(vreinterpretq_u16_u8(x)));
    });
#endif
    return compute_unary_merge<T>(s, insn, [](T a) { return static_cast<T>(Reverse(a, kBits<T>, Unit)); });
}

// RBIT; on AArch64 by RBIT on the bytes of whole pieces, then the bytes of
// each element reversed.
template <typename T>
aarch64_decode_rc reverse_bits(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    return compute_unary_merge_pieces<T>(s, insn, [](uint8x16_t x) {
        const uint8x16_t r = vrbitq_u8(x);
        if constexpr (sizeof(T) == 1) return r;
        else if constexpr (sizeof(T) == 2) return vrev16q_u8(r);
        else if constexpr (sizeof(T) == 4) return vrev32q_u8(r);
        else return vrev64q_u8(r);
    });
#endif
    return zpz<T>(s, insn, sve_rbit_zpz);
}

SVE_HANDLER(VecU8ShlVVM) { return zpz<uint8_t>(state, insn, sve_lsl_zpz); }
SVE_HANDLER(VecU16ShlVVM) { return zpz<uint16_t>(state, insn, sve_lsl_zpz); }
SVE_HANDLER(VecU32ShlVVM) { return zpz<uint32_t>(state, insn, sve_lsl_zpz); }
SVE_HANDLER(VecU64ShlVVM) { return zpz<uint64_t>(state, insn, sve_lsl_zpz); }
SVE_HANDLER(VecU8ShrVVM) { return zpz<uint8_t>(state, insn, sve_lsr_zpz); }
SVE_HANDLER(VecU16ShrVVM) { return zpz<uint16_t>(state, insn, sve_lsr_zpz); }
SVE_HANDLER(VecU32ShrVVM) { return zpz<uint32_t>(state, insn, sve_lsr_zpz); }
SVE_HANDLER(VecU64ShrVVM) { return zpz<uint64_t>(state, insn, sve_lsr_zpz); }
SVE_HANDLER(VecS8ShrVVM) { return zpz<uint8_t>(state, insn, sve_asr_zpz); }
SVE_HANDLER(VecS16ShrVVM) { return zpz<uint16_t>(state, insn, sve_asr_zpz); }
SVE_HANDLER(VecS32ShrVVM) { return zpz<uint32_t>(state, insn, sve_asr_zpz); }
SVE_HANDLER(VecS64ShrVVM) { return zpz<uint64_t>(state, insn, sve_asr_zpz); }

SVE_HANDLER(VecU8ShlRVVM) { return reversed_shift<uint8_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU16ShlRVVM) { return reversed_shift<uint16_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU32ShlRVVM) { return reversed_shift<uint32_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU64ShlRVVM) { return reversed_shift<uint64_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU8ShrRVVM) { return reversed_shift<uint8_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecU16ShrRVVM) { return reversed_shift<uint16_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecU32ShrRVVM) { return reversed_shift<uint32_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecU64ShrRVVM) { return reversed_shift<uint64_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecS8ShrRVVM) { return reversed_shift<uint8_t>(state, insn, op_asr{}); }
SVE_HANDLER(VecS16ShrRVVM) { return reversed_shift<uint16_t>(state, insn, op_asr{}); }
SVE_HANDLER(VecS32ShrRVVM) { return reversed_shift<uint32_t>(state, insn, op_asr{}); }
SVE_HANDLER(VecS64ShrRVVM) { return reversed_shift<uint64_t>(state, insn, op_asr{}); }

#define SVE_SHIFT_IMM(T, NAME_L, NAME_RU, NAME_RS, NAME_D)                                                         \
    SVE_HANDLER(NAME_L) {                                                                                      \
        return delegate(state, insn, sve_lsl_zpi, zfield<T>(insn, 0), pfield<T>(insn, 12, 10),                 \
                        int(left_shift<T>(tsz_imm3_predicated(insn))));                                        \
    }                                                                                                          \
    SVE_HANDLER(NAME_RU) { return lsr_vim<T>(state, insn); }                                                   \
    SVE_HANDLER(NAME_RS) {                                                                                     \
        return delegate(state, insn, sve_asr_zpi, zfield<T>(insn, 0), pfield<T>(insn, 12, 10),                 \
                        int(right_shift<T>(tsz_imm3_predicated(insn))));                                       \
    }                                                                                                          \
    SVE_HANDLER(NAME_D) { return asrd<T>(state, insn); }
SVE_SHIFT_IMM(uint8_t, VecU8ShlVIM, VecU8ShrVIM, VecS8ShrVIM, VecS8ShrDVIM)
SVE_SHIFT_IMM(uint16_t, VecU16ShlVIM, VecU16ShrVIM, VecS16ShrVIM, VecS16ShrDVIM)
SVE_SHIFT_IMM(uint32_t, VecU32ShlVIM, VecU32ShrVIM, VecS32ShrVIM, VecS32ShrDVIM)
SVE_SHIFT_IMM(uint64_t, VecU64ShlVIM, VecU64ShrVIM, VecS64ShrVIM, VecS64ShrDVIM)
#undef SVE_SHIFT_IMM

#define SVE_SHIFT_IMM_X(T, NAME_L, NAME_RU, NAME_RS)                                                               \
    SVE_HANDLER(NAME_L) {                                                                                      \
        return delegate(state, insn, sve_lsl_zzi, zfield<T>(insn, 0), zfield<T>(insn, 5),                      \
                        int(left_shift<T>(tsz_imm3_unpredicated(insn))));                                      \
    }                                                                                                          \
    SVE_HANDLER(NAME_RU) { return lsr_vix<T>(state, insn); }                                                   \
    SVE_HANDLER(NAME_RS) {                                                                                     \
        return delegate(state, insn, sve_asr_zzi, zfield<T>(insn, 0), zfield<T>(insn, 5),                      \
                        int(right_shift<T>(tsz_imm3_unpredicated(insn))));                                     \
    }
SVE_SHIFT_IMM_X(uint8_t, VecU8ShlVIX, VecU8ShrVIX, VecS8ShrVIX)
SVE_SHIFT_IMM_X(uint16_t, VecU16ShlVIX, VecU16ShrVIX, VecS16ShrVIX)
SVE_SHIFT_IMM_X(uint32_t, VecU32ShlVIX, VecU32ShrVIX, VecS32ShrVIX)
SVE_SHIFT_IMM_X(uint64_t, VecU64ShlVIX, VecU64ShrVIX, VecS64ShrVIX)
#undef SVE_SHIFT_IMM_X

SVE_HANDLER(VecU8ShlVWM) { return wide_shift_predicated<uint8_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU16ShlVWM) { return wide_shift_predicated<uint16_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU32ShlVWM) { return wide_shift_predicated<uint32_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU8ShrVWM) { return wide_shift_predicated<uint8_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecU16ShrVWM) { return wide_shift_predicated<uint16_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecU32ShrVWM) { return wide_shift_predicated<uint32_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecS8ShrVWM) { return wide_shift_predicated<uint8_t>(state, insn, op_asr{}); }
SVE_HANDLER(VecS16ShrVWM) { return wide_shift_predicated<uint16_t>(state, insn, op_asr{}); }
SVE_HANDLER(VecS32ShrVWM) { return wide_shift_predicated<uint32_t>(state, insn, op_asr{}); }
SVE_HANDLER(VecU8ShlVWX) { return wide_shift_unpredicated<uint8_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU16ShlVWX) { return wide_shift_unpredicated<uint16_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU32ShlVWX) { return wide_shift_unpredicated<uint32_t>(state, insn, op_lsl{}); }
SVE_HANDLER(VecU8ShrVWX) { return wide_shift_unpredicated<uint8_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecU16ShrVWX) { return wide_shift_unpredicated<uint16_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecU32ShrVWX) { return wide_shift_unpredicated<uint32_t>(state, insn, op_lsr{}); }
SVE_HANDLER(VecS8ShrVWX) { return wide_shift_unpredicated<uint8_t>(state, insn, op_asr{}); }
SVE_HANDLER(VecS16ShrVWX) { return wide_shift_unpredicated<uint16_t>(state, insn, op_asr{}); }
SVE_HANDLER(VecS32ShrVWX) { return wide_shift_unpredicated<uint32_t>(state, insn, op_asr{}); }

SVE_HANDLER(VecU16Extnd12VM) { return uxtb<uint16_t>(state, insn); }
SVE_HANDLER(VecU32Extnd14VM) { return uxtb<uint32_t>(state, insn); }
SVE_HANDLER(VecU64Extnd18VM) { return uxtb<uint64_t>(state, insn); }
SVE_HANDLER(VecS16Extnd12VM) { return zpz<uint16_t>(state, insn, sve_sxtb_zpz); }
SVE_HANDLER(VecS32Extnd14VM) { return zpz<uint32_t>(state, insn, sve_sxtb_zpz); }
SVE_HANDLER(VecS64Extnd18VM) { return zpz<uint64_t>(state, insn, sve_sxtb_zpz); }
SVE_HANDLER(VecU32Extnd24VM) { return zpz<uint32_t>(state, insn, sve_uxth_zpz); }
SVE_HANDLER(VecU64Extnd28VM) { return zpz<uint64_t>(state, insn, sve_uxth_zpz); }
SVE_HANDLER(VecS32Extnd24VM) { return zpz<uint32_t>(state, insn, sve_sxth_zpz); }
SVE_HANDLER(VecS64Extnd28VM) { return zpz<uint64_t>(state, insn, sve_sxth_zpz); }
SVE_HANDLER(VecU64Extnd48VM) { return zpz<uint64_t>(state, insn, sve_uxtw_zpz); }
SVE_HANDLER(VecS64Extnd48VM) { return zpz<uint64_t>(state, insn, sve_sxtw_zpz); }

SVE_HANDLER(VecU8RBitVM) { return reverse_bits<uint8_t>(state, insn); }
SVE_HANDLER(VecU16RBitVM) { return reverse_bits<uint16_t>(state, insn); }
SVE_HANDLER(VecU32RBitVM) { return reverse_bits<uint32_t>(state, insn); }
SVE_HANDLER(VecU64RBitVM) { return reverse_bits<uint64_t>(state, insn); }
SVE_HANDLER(VecU16Rev1V) { return reverse_units<uint16_t, 1>(state, insn); }
SVE_HANDLER(VecU32Rev1V) { return reverse_units<uint32_t, 1>(state, insn); }
SVE_HANDLER(VecU64Rev1V) { return reverse_units<uint64_t, 1>(state, insn); }
SVE_HANDLER(VecU32Rev2V) { return reverse_units<uint32_t, 2>(state, insn); }
SVE_HANDLER(VecU64Rev2V) { return reverse_units<uint64_t, 2>(state, insn); }
SVE_HANDLER(VecU64Rev4V) { return zpz<uint64_t>(state, insn, sve_revw_zpz); }

}  // namespace

#define SVE_FAMILY int_shift
#include "sve/handlers/family_bindings.inc"
