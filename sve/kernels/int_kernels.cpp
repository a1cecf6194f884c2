#include "sve/kernels/int_kernels.h"

#include "sve/kernels/int_kernel_shapes.h"

aarch64_decode_rc sve_add_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
    return kernel_zzz(s, zd, zn, zm, op_add{});
}
aarch64_decode_rc sve_sub_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
    return kernel_zzz(s, zd, zn, zm, op_sub{});
}
aarch64_decode_rc sve_add_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_add{});
}
aarch64_decode_rc sve_sub_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_sub{});
}
aarch64_decode_rc sve_add_zi(cpu_state *s, aarch64_z_reg zdn, unsigned int imm) {
    return kernel_zi(s, zdn, imm, op_add{});
}
aarch64_decode_rc sve_sub_zi(cpu_state *s, aarch64_z_reg zdn, unsigned int imm) {
    return kernel_zi(s, zdn, imm, op_sub{});
}

aarch64_decode_rc sve_mul_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_mul{});
}
aarch64_decode_rc sve_mul_zi(cpu_state *s, aarch64_z_reg zdn, int imm) {
    return kernel_zi(s, zdn, static_cast<uint64_t>(static_cast<int64_t>(imm)), op_mul{});
}
aarch64_decode_rc sve_mla_zpzz(cpu_state *s, aarch64_z_reg zda, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) {
    return kernel_zpzz_merge(s, zda, pg, zn, zm, [](auto a, auto n, auto m) { return op_add{}(a, op_mul{}(n, m)); });
}
aarch64_decode_rc sve_mls_zpzz(cpu_state *s, aarch64_z_reg zda, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) {
    return kernel_zpzz_merge(s, zda, pg, zn, zm, [](auto a, auto n, auto m) { return op_sub{}(a, op_mul{}(n, m)); });
}
// MAD/MSB: Zdn = Za +/- Zdn * Zm.
aarch64_decode_rc sve_mad_zpzz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, aarch64_z_reg za) {
    return kernel_zpzz_merge(s, zdn, pg, zm, za, [](auto d, auto m, auto a) { return op_add{}(a, op_mul{}(d, m)); });
}
aarch64_decode_rc sve_msb_zpzz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm, aarch64_z_reg za) {
    return kernel_zpzz_merge(s, zdn, pg, zm, za, [](auto d, auto m, auto a) { return op_sub{}(a, op_mul{}(d, m)); });
}
aarch64_decode_rc sve_neg_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return kernel_zpz_unary_merge(s, zd, pg, zn, [](auto a) { return op_sub{}(decltype(a){0}, a); });
}
aarch64_decode_rc sve_smax_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_smax{});
}
aarch64_decode_rc sve_smin_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_smin{});
}
aarch64_decode_rc sve_umax_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_umax{});
}
aarch64_decode_rc sve_umin_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_umin{});
}

namespace {

// Division on words (code 3: doublewords): a zero divisor gives 0; the signed
// quotient rounds toward zero and the most negative value divided by -1 wraps
// to itself. AArch64's SDIV and UDIV give exactly these answers, with no test
// before them.
template <bool Signed, typename T>
inline T quotient(T n, T d) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) == 4 || sizeof(T) == 8) {
        T q;
        if constexpr (sizeof(T) == 4 && Signed)
            asm("sdiv %w0, %w1, %w2" : "=r"(q) : "r"(n), "r"(d));
        else if constexpr (sizeof(T) == 4)
            asm("udiv %w0, %w1, %w2" : "=r"(q) : "r"(n), "r"(d));
        else if constexpr (Signed)
            asm("sdiv %x0, %x1, %x2" : "=r"(q) : "r"(n), "r"(d));
        else
            asm("udiv %x0, %x1, %x2" : "=r"(q) : "r"(n), "r"(d));
        return q;
    }
#endif
    if (d == 0) return T(0);
    if constexpr (Signed) {
        using S = std::make_signed_t<T>;
        const S sn = static_cast<S>(n), sd = static_cast<S>(d);
        if (sd == -1) return static_cast<T>(T(0) - n);
        return static_cast<T>(sn / sd);
    } else {
        return static_cast<T>(n / d);
    }
}

// The divisions in a loop of their own (merge_scalar_op).
template <bool Signed, bool Reversed, typename T>
aarch64_decode_rc divide_typed(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    merge_scalar_op<T>(preg(s, pg), zreg(s, zdn), zreg(s, zm), zreg(s, zdn),
                       [](T x, T y) { return Reversed ? quotient<Signed>(y, x) : quotient<Signed>(x, y); });
    return DECODE_OK;
}
template <bool Signed, bool Reversed>
aarch64_decode_rc divide(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    if (zdn.qual == kQualD) return divide_typed<Signed, Reversed, uint64_t>(s, zdn, pg, zm);
    return divide_typed<Signed, Reversed, uint32_t>(s, zdn, pg, zm);
}

}  // namespace

aarch64_decode_rc sve_sdiv_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return divide<true, false>(s, zdn, pg, zm);
}
aarch64_decode_rc sve_udiv_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return divide<false, false>(s, zdn, pg, zm);
}
aarch64_decode_rc sve_sdivr_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return divide<true, true>(s, zdn, pg, zm);
}
aarch64_decode_rc sve_udivr_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return divide<false, true>(s, zdn, pg, zm);
}
