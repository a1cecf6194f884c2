// Contiguous, structure, replicating, whole-register, first-fault, non-fault,
// gather and scatter kernels (listed in memory_kernels.def).
#pragma once

#include "sve/state/cpu_state.h"

#define SVE_MEM_SIG_Z_RSP_IMM(name) aarch64_decode_rc name(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_i_rsp_reg, int)
#define SVE_MEM_SIG_Z_RSP_REG(name) aarch64_decode_rc name(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_i_rsp_reg, aarch64_i_reg)
#define SVE_MEM_SIG_Z_VEC_IMM(name) aarch64_decode_rc name(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg, int)
#define SVE_MEM_SIG_Z_VEC_RSP(name) aarch64_decode_rc name(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg, aarch64_i_rsp_reg)
#define SVE_MEM_SIG_Z_RSP_VEC(name) aarch64_decode_rc name(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_i_rsp_reg, aarch64_z_reg)

#define SVE_MEM_DECL_LD1_SI(name) SVE_MEM_SIG_Z_RSP_IMM(name);
#define SVE_MEM_DECL_ST1_SI(name) SVE_MEM_SIG_Z_RSP_IMM(name);
#define SVE_MEM_DECL_LDN_SI(name) SVE_MEM_SIG_Z_RSP_IMM(name);
#define SVE_MEM_DECL_STN_SI(name) SVE_MEM_SIG_Z_RSP_IMM(name);
#define SVE_MEM_DECL_LD1R_SI(name) SVE_MEM_SIG_Z_RSP_IMM(name);
#define SVE_MEM_DECL_LDNF1_SI(name) SVE_MEM_SIG_Z_RSP_IMM(name);
#define SVE_MEM_DECL_LD1_SS(name) SVE_MEM_SIG_Z_RSP_REG(name);
#define SVE_MEM_DECL_ST1_SS(name) SVE_MEM_SIG_Z_RSP_REG(name);
#define SVE_MEM_DECL_LDN_SS(name) SVE_MEM_SIG_Z_RSP_REG(name);
#define SVE_MEM_DECL_STN_SS(name) SVE_MEM_SIG_Z_RSP_REG(name);
#define SVE_MEM_DECL_LDFF1_SS(name) SVE_MEM_SIG_Z_RSP_REG(name);
#define SVE_MEM_DECL_GATHER_VI(name) SVE_MEM_SIG_Z_VEC_IMM(name);
#define SVE_MEM_DECL_SCATTER_VI(name) SVE_MEM_SIG_Z_VEC_IMM(name);
#define SVE_MEM_DECL_GATHER_VS64(name) SVE_MEM_SIG_Z_VEC_RSP(name);
#define SVE_MEM_DECL_SCATTER_VS64(name) SVE_MEM_SIG_Z_VEC_RSP(name);
#define SVE_MEM_DECL_GATHER_SXTW(name) SVE_MEM_SIG_Z_VEC_RSP(name);
#define SVE_MEM_DECL_SCATTER_SXTW(name) SVE_MEM_SIG_Z_VEC_RSP(name);
#define SVE_MEM_DECL_GATHER_UXTW(name) SVE_MEM_SIG_Z_VEC_RSP(name);
#define SVE_MEM_DECL_GATHER_VS64S(name) SVE_MEM_SIG_Z_RSP_VEC(name);
#define SVE_MEM_DECL_SCATTER_VS64S(name) SVE_MEM_SIG_Z_RSP_VEC(name);
#define SVE_MEM_DECL_GATHER_SXTWS(name) SVE_MEM_SIG_Z_RSP_VEC(name);
#define SVE_MEM_DECL_SCATTER_SXTWS(name) SVE_MEM_SIG_Z_RSP_VEC(name);
#define SVE_MEM_DECL_GATHER_UXTWS(name) SVE_MEM_SIG_Z_RSP_VEC(name);
#define SVE_MEM_DECL_SCATTER_UXTWS(name) SVE_MEM_SIG_Z_RSP_VEC(name);
#define SVE_MEM_DECL_WHOLE_LDR_Z(name) aarch64_decode_rc name(cpu_state *, aarch64_z_reg, aarch64_i_rsp_reg, int);
#define SVE_MEM_DECL_WHOLE_STR_Z(name) aarch64_decode_rc name(cpu_state *, aarch64_z_reg, aarch64_i_rsp_reg, int);
#define SVE_MEM_DECL_WHOLE_LDR_P(name) aarch64_decode_rc name(cpu_state *, aarch64_p_reg, aarch64_i_rsp_reg, int);
#define SVE_MEM_DECL_WHOLE_STR_P(name) aarch64_decode_rc name(cpu_state *, aarch64_p_reg, aarch64_i_rsp_reg, int);

#define SVE_MEM_KERNEL(kind, name, M, E, S, N) SVE_MEM_DECL_##kind(name)
#include "sve/kernels/memory_kernels.def"
#undef SVE_MEM_KERNEL
