// Integer reductions and element extraction into a scalar.
#pragma once

#include <cstdint>
#include <type_traits>

#include "sve/kernels/kernel_common.h"
#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_uaddv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_smaxv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_sminv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_umaxv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_uminv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_andv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_orv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_eorv_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_lastb_vpz(cpu_state *state, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_lastb_rpz(cpu_state *state, aarch64_i_reg rd, aarch64_p_reg pg, aarch64_z_reg zn);
aarch64_decode_rc sve_clastb_rpz(cpu_state *state, aarch64_i_reg rdn, aarch64_p_reg pg, aarch64_z_reg zn);

// Index of the last active element at element size `esize`, or -1.
int last_active_element(const unsigned char *pg, unsigned esize);

// The 64-bit sum (modulo 2^64) of the elements of type T active in predicate
// bytes G, each zero- or sign-extended (UADDV, SADDV). On AArch64 the active
// elements are added in pairs into lanes twice as wide (UADALP/SADALP), which
// cannot overflow in 16 pieces, and the lanes are summed at the end.
template <typename T, bool Signed>
inline uint64_t sum_active(const unsigned char *a, const unsigned char *g) {
#if defined(__aarch64__)
    const auto piece = [&](unsigned off) { return vandq_u8(vld1q_u8(a + off), lanes_active<T>(vld1q_u8(g + off))); };
    if constexpr (sizeof(T) == 1 && Signed) {
        int16x8_t acc = vdupq_n_s16(0);
        for (unsigned off = 0; off < kVecBytes; off += 16) acc = vpadalq_s8(acc, vreinterpretq_s8_u8(piece(off)));
        return static_cast<uint64_t>(static_cast<int64_t>(vaddlvq_s16(acc)));
    } else if constexpr (sizeof(T) == 1) {
        uint16x8_t acc = vdupq_n_u16(0);
        for (unsigned off = 0; off < kVecBytes; off += 16) acc = vpadalq_u8(acc, piece(off));
        return vaddlvq_u16(acc);
    } else if constexpr (sizeof(T) == 2 && Signed) {
        int32x4_t acc = vdupq_n_s32(0);
        for (unsigned off = 0; off < kVecBytes; off += 16) acc = vpadalq_s16(acc, vreinterpretq_s16_u8(piece(off)));
        return static_cast<uint64_t>(vaddlvq_s32(acc));
    } else if constexpr (sizeof(T) == 2) {
        uint32x4_t acc = vdupq_n_u32(0);
        for (unsigned off = 0; off < kVecBytes; off += 16) acc = vpadalq_u16(acc, vreinterpretq_u16_u8(piece(off)));
        return vaddlvq_u32(acc);
    } else if constexpr (sizeof(T) == 4 && Signed) {
        int64x2_t acc = vdupq_n_s64(0);
        for (unsigned off = 0; off < kVecBytes; off += 16) acc = vpadalq_s32(acc, vreinterpretq_s32_u8(piece(off)));
        return static_cast<uint64_t>(vaddvq_s64(acc));
    } else if constexpr (sizeof(T) == 4) {
        uint64x2_t acc = vdupq_n_u64(0);
        for (unsigned off = 0; off < kVecBytes; off += 16) acc = vpadalq_u32(acc, vreinterpretq_u32_u8(piece(off)));
        return vaddvq_u64(acc);
    } else {
        uint64x2_t acc = vdupq_n_u64(0);
        for (unsigned off = 0; off < kVecBytes; off += 16) acc = vaddq_u64(acc, vreinterpretq_u64_u8(piece(off)));
        return vaddvq_u64(acc);
    }
#else
    uint64_t sum = 0;
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        const T v = pick_active<T>(g, e, elem_get<T>(a, e), T(0));
        sum += Signed ? static_cast<uint64_t>(static_cast<int64_t>(static_cast<std::make_signed_t<T>>(v))) : v;
    }
    return sum;
#endif
}
