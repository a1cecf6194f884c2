// Predicate initialisation and logic: PTRUE, PTRUES, PFALSE, PFIRST, PNEXT,
// PTEST, AND/ORR/EOR/BIC/NAND/NOR/ORN (and their flag-setting forms), SEL.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/predicate_kernels.h"

namespace {

// PTRUE Pd.T{, pattern}: Pd 3..0, pattern 9..5.
template <typename T>
aarch64_decode_rc ptrue(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_ptrue_pi, pfield<T>(insn, 3, 0), static_cast<int>(field(insn, 9, 5)));
}

SVE_HANDLER(VecPFalse) { return delegate(state, insn, sve_pfalse_p, pfield<uint8_t>(insn, 3, 0)); }
SVE_HANDLER(VecP8TrueI) { return ptrue<uint8_t>(state, insn); }
SVE_HANDLER(VecP16TrueI) { return ptrue<uint16_t>(state, insn); }
SVE_HANDLER(VecP32TrueI) { return ptrue<uint32_t>(state, insn); }
SVE_HANDLER(VecP64TrueI) { return ptrue<uint64_t>(state, insn); }

}  // namespace

#define SVE_FAMILY predicate
#include "sve/handlers/family_bindings.inc"
