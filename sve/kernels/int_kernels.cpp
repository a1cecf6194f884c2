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
