// Bitwise logic on Z registers (AND, ORR, EOR, BIC, NOT), CNOT and the bit counts
// CLS, CLZ, CNT.
#include <bit>

#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/logical_kernels.h"
#include "sve/support/bit_helpers.h"

namespace {

template <typename T>
constexpr int kBits = static_cast<int>(sizeof(T) * 8);

using zpz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg);
using zzz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_z_reg, aarch64_z_reg);
using zi_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_sve_logical64_imm);

// Zdn, Pg (12..10), Zm (9..5).
template <typename T>
aarch64_decode_rc vvm(cpu_state *s, uint32_t insn, zpz_kernel k) {
    return delegate(s, insn, k, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5));
}
// Zd, Zn (9..5), Zm (20..16); bitwise over the whole register.
inline aarch64_decode_rc vvx(cpu_state *s, uint32_t insn, zzz_kernel k) {
    return delegate(s, insn, k, zfield<uint64_t>(insn, 0), zfield<uint64_t>(insn, 5), zfield<uint64_t>(insn, 16));
}
// Zdn, logical immediate N:immr:imms at 17..5. The reserved encodings have no
// result and are reported as not emulated.
inline aarch64_decode_rc vix(cpu_state *s, uint32_t insn, zi_kernel k) {
    aarch64_sve_logical64_imm imm;
    if (!decode_logical_imm64(field(insn, 17, 17), field(insn, 16, 11), field(insn, 10, 5), &imm.value))
        return DECODE_UNIMPLEMENTED;
    return delegate(s, insn, k, zfield<uint64_t>(insn, 0), imm);
}

// CLS, CLZ and CNT with the processor's own bit counts: CLS counts the leading
// zeros of each bit XORed with the one below it.
template <typename T>
aarch64_decode_rc cls(cpu_state *s, uint32_t insn) {
    return compute_unary_merge<T>(s, insn, [](T a) { return static_cast<T>(std::countl_zero(static_cast<T>(static_cast<T>(a ^ (a << 1)) | T(1)))); });
}
template <typename T>
aarch64_decode_rc clz(cpu_state *s, uint32_t insn) {
    return compute_unary_merge<T>(s, insn, [](T a) { return static_cast<T>(std::countl_zero(a)); });
}
// The population count with shifts, masks and adds only, which vectorises at
// every element size (a per-element count instruction does not).
template <typename T>
constexpr T swar_popcount(T x) {
    constexpr T m1 = static_cast<T>(0x5555555555555555ull), m2 = static_cast<T>(0x3333333333333333ull),
                m4 = static_cast<T>(0x0F0F0F0F0F0F0F0Full);
    x = static_cast<T>(x - ((x >> 1) & m1));
    x = static_cast<T>((x & m2) + ((x >> 2) & m2));
    x = static_cast<T>((x + (x >> 4)) & m4);
    if constexpr (sizeof(T) > 1) x = static_cast<T>(x + (x >> 8));
    if constexpr (sizeof(T) > 2) x = static_cast<T>(x + (x >> 16));
    if constexpr (sizeof(T) > 4) x = static_cast<T>(x + (x >> 32));
    return static_cast<T>(x & 0x7F);
}
static_assert(swar_popcount<uint64_t>(~0ull) == 64 && swar_popcount<uint8_t>(0xFF) == 8 &&
              swar_popcount<uint32_t>(0x80000001u) == 2);

// On AArch64 the byte counts (CNT) added in pairs up to the element (UADDLP).
template <typename T>
aarch64_decode_rc cnt(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    return compute_unary_merge_pieces<T>(s, insn, [](uint8x16_t x) {
        uint8x16_t c = vcntq_u8(x);
        if constexpr (sizeof(T) >= 2) c = vreinterpretq_u8_u16(vpaddlq_u8(c));
        if constexpr (sizeof(T) >= 4) c = vreinterpretq_u8_u32(vpaddlq_u16(vreinterpretq_u16_u8(c)));
        if constexpr (sizeof(T) == 8) c = vreinterpretq_u8_u64(vpaddlq_u32(vreinterpretq_u32_u8(c)));
        return c;
    });
#endif
    return compute_unary_merge<T>(s, insn, [](T a) { return swar_popcount(a); });
}
template <typename T>
aarch64_decode_rc inv(cpu_state *s, uint32_t insn) {
    return compute_unary_merge<T>(s, insn, [](T a) { return static_cast<T>(~a); });
}
template <typename T>
aarch64_decode_rc cnot(cpu_state *s, uint32_t insn) {
    return compute_unary_merge<T>(s, insn, [](T a) { return static_cast<T>(a == 0 ? 1 : 0); });
}

SVE_HANDLER(VecU8AndVVM) { return vvm<uint8_t>(state, insn, sve_and_zpz); }
SVE_HANDLER(VecU16AndVVM) { return vvm<uint16_t>(state, insn, sve_and_zpz); }
SVE_HANDLER(VecU32AndVVM) { return vvm<uint32_t>(state, insn, sve_and_zpz); }
SVE_HANDLER(VecU64AndVVM) { return vvm<uint64_t>(state, insn, sve_and_zpz); }
SVE_HANDLER(VecU8OrVVM) { return vvm<uint8_t>(state, insn, sve_orr_zpz); }
SVE_HANDLER(VecU16OrVVM) { return vvm<uint16_t>(state, insn, sve_orr_zpz); }
SVE_HANDLER(VecU32OrVVM) { return vvm<uint32_t>(state, insn, sve_orr_zpz); }
SVE_HANDLER(VecU64OrVVM) { return vvm<uint64_t>(state, insn, sve_orr_zpz); }
SVE_HANDLER(VecU8XorVVM) { return vvm<uint8_t>(state, insn, sve_eor_zpz); }
SVE_HANDLER(VecU16XorVVM) { return vvm<uint16_t>(state, insn, sve_eor_zpz); }
SVE_HANDLER(VecU32XorVVM) { return vvm<uint32_t>(state, insn, sve_eor_zpz); }
SVE_HANDLER(VecU64XorVVM) { return vvm<uint64_t>(state, insn, sve_eor_zpz); }
SVE_HANDLER(VecU8BicVVM) { return vvm<uint8_t>(state, insn, sve_bic_zpz); }
SVE_HANDLER(VecU16BicVVM) { return vvm<uint16_t>(state, insn, sve_bic_zpz); }
SVE_HANDLER(VecU32BicVVM) { return vvm<uint32_t>(state, insn, sve_bic_zpz); }
SVE_HANDLER(VecU64BicVVM) { return vvm<uint64_t>(state, insn, sve_bic_zpz); }

SVE_HANDLER(VecU64AndVVX) { return vvx(state, insn, sve_and_zzz); }
SVE_HANDLER(VecU64OrVVX) { return vvx(state, insn, sve_orr_zzz); }
SVE_HANDLER(VecU64XorVVX) { return vvx(state, insn, sve_eor_zzz); }
SVE_HANDLER(VecU64BicVVX) { return vvx(state, insn, sve_bic_zzz); }

SVE_HANDLER(VecU64AndVIX) { return vix(state, insn, sve_and_zi); }
SVE_HANDLER(VecU64OrVIX) { return vix(state, insn, sve_orr_zi); }
SVE_HANDLER(VecU64XorVIX) { return vix(state, insn, sve_eor_zi); }

SVE_HANDLER(VecU8ClsVM) { return cls<uint8_t>(state, insn); }
SVE_HANDLER(VecU16ClsVM) { return cls<uint16_t>(state, insn); }
SVE_HANDLER(VecU32ClsVM) { return cls<uint32_t>(state, insn); }
SVE_HANDLER(VecU64ClsVM) { return cls<uint64_t>(state, insn); }
SVE_HANDLER(VecU8ClzVM) { return clz<uint8_t>(state, insn); }
SVE_HANDLER(VecU16ClzVM) { return clz<uint16_t>(state, insn); }
SVE_HANDLER(VecU32ClzVM) { return clz<uint32_t>(state, insn); }
SVE_HANDLER(VecU64ClzVM) { return clz<uint64_t>(state, insn); }
SVE_HANDLER(VecU8CntVM) { return cnt<uint8_t>(state, insn); }
SVE_HANDLER(VecU16CntVM) { return cnt<uint16_t>(state, insn); }
SVE_HANDLER(VecU32CntVM) { return cnt<uint32_t>(state, insn); }
SVE_HANDLER(VecU64CntVM) { return cnt<uint64_t>(state, insn); }
SVE_HANDLER(VecU8InvVM) { return inv<uint8_t>(state, insn); }
SVE_HANDLER(VecU16InvVM) { return inv<uint16_t>(state, insn); }
SVE_HANDLER(VecU32InvVM) { return inv<uint32_t>(state, insn); }
SVE_HANDLER(VecU64InvVM) { return inv<uint64_t>(state, insn); }
SVE_HANDLER(VecU8NotVM) { return cnot<uint8_t>(state, insn); }
SVE_HANDLER(VecU16NotVM) { return cnot<uint16_t>(state, insn); }
SVE_HANDLER(VecU32NotVM) { return cnot<uint32_t>(state, insn); }
SVE_HANDLER(VecU64NotVM) { return cnot<uint64_t>(state, insn); }

}  // namespace

#define SVE_FAMILY int_logical
#include "sve/handlers/family_bindings.inc"
