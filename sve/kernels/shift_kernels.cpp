#include "sve/kernels/shift_kernels.h"

#include "sve/kernels/int_kernel_shapes.h"
#include "sve/support/bit_helpers.h"

namespace {

// Shifts by the unsigned value of the Zm element, computed in the element's
// own type without a branch (so that the loop vectorises): LSL and LSR give 0
// from the element width on, ASR fills with the sign bit.
struct lanes_lsl {
    template <typename T>
    T operator()(T a, T n) const {
        constexpr T w = sizeof(T) * 8;
        return static_cast<T>(static_cast<T>(a << (n & (w - 1))) & static_cast<T>(T(0) - T(n < w)));
    }
};
struct lanes_lsr {
    template <typename T>
    T operator()(T a, T n) const {
        constexpr T w = sizeof(T) * 8;
        return static_cast<T>(static_cast<T>(a >> (n & (w - 1))) & static_cast<T>(T(0) - T(n < w)));
    }
};
struct lanes_asr {
    template <typename T>
    T operator()(T a, T n) const {
        constexpr T w = sizeof(T) * 8;
        return static_cast<T>(static_cast<signed_of<T>>(a) >> (n < w - 1 ? n : T(w - 1)));
    }
};

// Shift of Zdn by the unsigned value of the Zm element.
template <typename Shift>
aarch64_decode_rc shift_by_vector(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, Shift sh) {
    return kernel_zpz_merge(s, zdn, pg, zm, [&](auto a, auto b) { return sh(a, b); });
}

// Sign or zero extension of the low `Bits` bits.
template <unsigned Bits, bool Signed>
aarch64_decode_rc extend(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return kernel_zpz_unary_merge(s, zd, pg, zn, [](auto a) {
        using T = decltype(a);
        const uint64_t low = uint64_t(a) & ((uint64_t{1} << Bits) - 1);
        if constexpr (Signed) {
            const uint64_t sign = uint64_t{1} << (Bits - 1);
            return static_cast<T>((low ^ sign) - sign);
        } else {
            return static_cast<T>(low);
        }
    });
}

}  // namespace

aarch64_decode_rc sve_lsl_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return shift_by_vector(s, zdn, pg, zm, lanes_lsl{});
}
aarch64_decode_rc sve_lsr_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return shift_by_vector(s, zdn, pg, zm, lanes_lsr{});
}
aarch64_decode_rc sve_asr_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return shift_by_vector(s, zdn, pg, zm, lanes_asr{});
}
aarch64_decode_rc sve_lsl_zpi(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, int shift) {
    return kernel_zpi_merge(s, zdn, pg, static_cast<uint64_t>(shift), op_lsl{});
}
aarch64_decode_rc sve_asr_zpi(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, int shift) {
    return kernel_zpi_merge(s, zdn, pg, static_cast<uint64_t>(shift), op_asr{});
}
aarch64_decode_rc sve_lsl_zzi(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, int shift) {
    return kernel_zzi(s, zd, zn, static_cast<uint64_t>(shift), op_lsl{});
}
aarch64_decode_rc sve_asr_zzi(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, int shift) {
    return kernel_zzi(s, zd, zn, static_cast<uint64_t>(shift), op_asr{});
}
aarch64_decode_rc sve_sxtb_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return extend<8, true>(s, zd, pg, zn);
}
aarch64_decode_rc sve_sxth_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return extend<16, true>(s, zd, pg, zn);
}
aarch64_decode_rc sve_sxtw_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return extend<32, true>(s, zd, pg, zn);
}
aarch64_decode_rc sve_uxth_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return extend<16, false>(s, zd, pg, zn);
}
aarch64_decode_rc sve_uxtw_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return extend<32, false>(s, zd, pg, zn);
}
aarch64_decode_rc sve_rbit_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return kernel_zpz_unary_merge(s, zd, pg, zn, [](auto a) { return reverse_bits_of(a); });
}
aarch64_decode_rc sve_revw_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return kernel_zpz_unary_merge(s, make_zreg(zd.num, kQualD), pg, zn,
                                  [](auto a) { return static_cast<decltype(a)>((uint64_t(a) << 32) | (uint64_t(a) >> 32)); });
}
