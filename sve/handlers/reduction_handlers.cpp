// Integer reductions into a SIMD&FP scalar: SADDV, UADDV, ANDV, ORV, EORV,
// SMAXV, UMAXV, SMINV, UMINV.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/reduction_kernels.h"

namespace {

using vpz_kernel = aarch64_decode_rc (*)(cpu_state *, unsigned int, aarch64_p_reg, aarch64_z_reg);

// Vd 4..0, Pg 12..10, Zn 9..5.
template <typename T>
aarch64_decode_rc reduce(cpu_state *s, uint32_t insn, vpz_kernel k) {
    return delegate(s, insn, k, field(insn, 4, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5));
}

// SADDV: the 64-bit sum of the active elements, each sign-extended.
template <typename T>
aarch64_decode_rc saddv(cpu_state *s, uint32_t insn) {
    write_v_scalar<uint64_t>(s, zd_num(insn), sum_active<T, true>(s->z[zn_num(insn)], s->p[pg3_num(insn)]));
    return DECODE_OK;
}

SVE_HANDLER(VecU8AddReduceV) { return reduce<uint8_t>(state, insn, sve_uaddv_vpz); }
SVE_HANDLER(VecU16AddReduceV) { return reduce<uint16_t>(state, insn, sve_uaddv_vpz); }
SVE_HANDLER(VecU32AddReduceV) { return reduce<uint32_t>(state, insn, sve_uaddv_vpz); }
SVE_HANDLER(VecU64AddReduceV) { return reduce<uint64_t>(state, insn, sve_uaddv_vpz); }
SVE_HANDLER(VecS8AddReduceV) { return saddv<uint8_t>(state, insn); }
SVE_HANDLER(VecS16AddReduceV) { return saddv<uint16_t>(state, insn); }
SVE_HANDLER(VecS32AddReduceV) { return saddv<uint32_t>(state, insn); }
SVE_HANDLER(VecU8AndReduceV) { return reduce<uint8_t>(state, insn, sve_andv_vpz); }
SVE_HANDLER(VecU16AndReduceV) { return reduce<uint16_t>(state, insn, sve_andv_vpz); }
SVE_HANDLER(VecU32AndReduceV) { return reduce<uint32_t>(state, insn, sve_andv_vpz); }
SVE_HANDLER(VecU64AndReduceV) { return reduce<uint64_t>(state, insn, sve_andv_vpz); }
SVE_HANDLER(VecU8OrReduceV) { return reduce<uint8_t>(state, insn, sve_orv_vpz); }
SVE_HANDLER(VecU16OrReduceV) { return reduce<uint16_t>(state, insn, sve_orv_vpz); }
SVE_HANDLER(VecU32OrReduceV) { return reduce<uint32_t>(state, insn, sve_orv_vpz); }
SVE_HANDLER(VecU64OrReduceV) { return reduce<uint64_t>(state, insn, sve_orv_vpz); }
SVE_HANDLER(VecU8XorReduceV) { return reduce<uint8_t>(state, insn, sve_eorv_vpz); }
SVE_HANDLER(VecU16XorReduceV) { return reduce<uint16_t>(state, insn, sve_eorv_vpz); }
SVE_HANDLER(VecU32XorReduceV) { return reduce<uint32_t>(state, insn, sve_eorv_vpz); }
SVE_HANDLER(VecU64XorReduceV) { return reduce<uint64_t>(state, insn, sve_eorv_vpz); }
SVE_HANDLER(VecS8MaxReduceV) { return reduce<uint8_t>(state, insn, sve_smaxv_vpz); }
SVE_HANDLER(VecS16MaxReduceV) { return reduce<uint16_t>(state, insn, sve_smaxv_vpz); }
SVE_HANDLER(VecS32MaxReduceV) { return reduce<uint32_t>(state, insn, sve_smaxv_vpz); }
SVE_HANDLER(VecS64MaxReduceV) { return reduce<uint64_t>(state, insn, sve_smaxv_vpz); }
SVE_HANDLER(VecU8MaxReduceV) { return reduce<uint8_t>(state, insn, sve_umaxv_vpz); }
SVE_HANDLER(VecU16MaxReduceV) { return reduce<uint16_t>(state, insn, sve_umaxv_vpz); }
SVE_HANDLER(VecU32MaxReduceV) { return reduce<uint32_t>(state, insn, sve_umaxv_vpz); }
SVE_HANDLER(VecU64MaxReduceV) { return reduce<uint64_t>(state, insn, sve_umaxv_vpz); }
SVE_HANDLER(VecS8MinReduceV) { return reduce<uint8_t>(state, insn, sve_sminv_vpz); }
SVE_HANDLER(VecS16MinReduceV) { return reduce<uint16_t>(state, insn, sve_sminv_vpz); }
SVE_HANDLER(VecS32MinReduceV) { return reduce<uint32_t>(state, insn, sve_sminv_vpz); }
SVE_HANDLER(VecS64MinReduceV) { return reduce<uint64_t>(state, insn, sve_sminv_vpz); }
SVE_HANDLER(VecU8MinReduceV) { return reduce<uint8_t>(state, insn, sve_uminv_vpz); }
SVE_HANDLER(VecU16MinReduceV) { return reduce<uint16_t>(state, insn, sve_uminv_vpz); }
SVE_HANDLER(VecU32MinReduceV) { return reduce<uint32_t>(state, insn, sve_uminv_vpz); }
SVE_HANDLER(VecU64MinReduceV) { return reduce<uint64_t>(state, insn, sve_uminv_vpz); }

}  // namespace

#define SVE_FAMILY reduction
#include "sve/handlers/family_bindings.inc"
