// Element counting and vector-length arithmetic: CNT, INC, DEC and their
// saturating forms, CNTP, INCP, DECP, RDVL, ADDVL, ADDPL.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/count_kernels.h"
#include "sve/support/pred_pattern.h"

namespace {

inline int pattern_of(uint32_t insn) { return static_cast<int>(field(insn, 9, 5)); }
inline int multiplier_of(uint32_t insn) { return static_cast<int>(field(insn, 19, 16)) + 1; }

// CNTB/CNTH/CNTW/CNTD Xd{, pattern{, MUL #imm}}: Xd 4..0.
template <typename T>
aarch64_decode_rc count_vl(cpu_state *s, uint32_t insn) {
    return compute_scalar_result(s, insn, [&](const CpuContext &ctx) {
        return uint64_t{VecTrueILength(field(insn, 9, 5), static_cast<int>(context_elements<T>(ctx)))} *
               static_cast<uint64_t>(multiplier_of(insn));
    });
}

SVE_HANDLER(VecU8CountVLSI) { return count_vl<uint8_t>(state, insn); }
SVE_HANDLER(VecU16CountVLSI) { return count_vl<uint16_t>(state, insn); }
SVE_HANDLER(VecU32CountVLSI) { return count_vl<uint32_t>(state, insn); }
SVE_HANDLER(VecU64CountVLSI) { return count_vl<uint64_t>(state, insn); }

// INCx/DECx Xdn{, pattern{, MUL #imm}}: Xdn 4..0.
using count_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_i_reg, int, int);
inline aarch64_decode_rc adjust(cpu_state *s, uint32_t insn, count_kernel k) {
    return delegate(s, insn, k, xfield(insn, 0), pattern_of(insn), multiplier_of(insn));
}

SVE_HANDLER(VecU8IncrVLSI) { return adjust(state, insn, sve_incb_rii); }
SVE_HANDLER(VecU16IncrVLSI) { return adjust(state, insn, sve_inch_rii); }
SVE_HANDLER(VecU32IncrVLSI) { return adjust(state, insn, sve_incw_rii); }
SVE_HANDLER(VecU64IncrVLSI) { return adjust(state, insn, sve_incd_rii); }
SVE_HANDLER(VecU8DecrVLSI) { return adjust(state, insn, sve_decb_rii); }
SVE_HANDLER(VecU16DecrVLSI) { return adjust(state, insn, sve_dech_rii); }
SVE_HANDLER(VecU32DecrVLSI) { return adjust(state, insn, sve_decw_rii); }
SVE_HANDLER(VecU64DecrVLSI) { return adjust(state, insn, sve_decd_rii); }

// RDVL Xd, #imm: Xd 4..0, imm6 10..5.
SVE_HANDLER(VecS64VLX) { return delegate(state, insn, sve_rdvl_ri, xfield(insn, 0), static_cast<int>(sfield(insn, 10, 5))); }
// ADDVL/ADDPL Xd|SP, Xn|SP, #imm: Xd 4..0, Xn 20..16, imm6 10..5.
SVE_HANDLER(VecS64AddVLX) {
    return delegate(state, insn, sve_addvl_rri, spfield(insn, 0), spfield(insn, 16), static_cast<int>(sfield(insn, 10, 5)));
}
SVE_HANDLER(VecS64AddPLX) {
    return delegate(state, insn, sve_addpl_rri, spfield(insn, 0), spfield(insn, 16), static_cast<int>(sfield(insn, 10, 5)));
}

}  // namespace

#define SVE_FAMILY count
#include "sve/handlers/family_bindings.inc"
