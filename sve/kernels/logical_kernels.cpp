#include "sve/kernels/logical_kernels.h"

#include "sve/kernels/int_kernel_shapes.h"

aarch64_decode_rc sve_and_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
    return kernel_bitwise_zzz(s, zd, zn, zm, op_and{});
}
aarch64_decode_rc sve_orr_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
    return kernel_bitwise_zzz(s, zd, zn, zm, op_orr{});
}
aarch64_decode_rc sve_eor_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
    return kernel_bitwise_zzz(s, zd, zn, zm, op_eor{});
}
aarch64_decode_rc sve_bic_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
    return kernel_bitwise_zzz(s, zd, zn, zm, op_bic{});
}
aarch64_decode_rc sve_and_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_and{});
}
aarch64_decode_rc sve_orr_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_orr{});
}
aarch64_decode_rc sve_eor_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_eor{});
}
aarch64_decode_rc sve_bic_zpz(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm) {
    return kernel_zpz_merge(s, zdn, pg, zm, op_bic{});
}

aarch64_decode_rc sve_and_zi(cpu_state *s, aarch64_z_reg zdn, aarch64_sve_logical64_imm imm) {
    return kernel_zi(s, make_zreg(zdn.num, kQualD), imm.value, op_and{});
}
aarch64_decode_rc sve_orr_zi(cpu_state *s, aarch64_z_reg zdn, aarch64_sve_logical64_imm imm) {
    return kernel_zi(s, make_zreg(zdn.num, kQualD), imm.value, op_orr{});
}
aarch64_decode_rc sve_eor_zi(cpu_state *s, aarch64_z_reg zdn, aarch64_sve_logical64_imm imm) {
    return kernel_zi(s, make_zreg(zdn.num, kQualD), imm.value, op_eor{});
}
aarch64_decode_rc sve_dupm_zi(cpu_state *s, aarch64_z_reg zd, aarch64_sve_logical64_imm imm) {
    unsigned char *d = zreg(s, zd);
    for (unsigned i = 0; i < kVecBytes / 8; ++i) elem_set<uint64_t>(d, i, imm.value);
    return DECODE_OK;
}

bool decode_logical_imm64(uint32_t n, uint32_t immr, uint32_t imms, uint64_t *out) {
    // The element size is the highest set bit of N:NOT(imms), 2 to 64 bits.
    const uint32_t combined = (n << 6) | (~imms & 0x3F);
    if (combined == 0) return false;
    int len = 31 - __builtin_clz(combined);
    if (len < 1) return false;
    const unsigned esize = 1u << len;
    const uint32_t levels = esize - 1;
    const uint32_t s = imms & levels, r = immr & levels;
    if (s == levels) return false;  // all ones is reserved
    const uint64_t emask = esize == 64 ? ~uint64_t{0} : (uint64_t{1} << esize) - 1;
    const uint64_t welem = (uint64_t{1} << (s + 1)) - 1;
    const uint64_t rotated = r == 0 ? welem : (((welem >> r) | (welem << (esize - r))) & emask);
    uint64_t v = 0;
    for (unsigned i = 0; i < 64; i += esize) v |= rotated << i;
    *out = v;
    return true;
}
