// Broadcasts, copies and moves: DUP, CPY, DUPM, INDEX, MOVPRFX, SEL.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/move_kernels.h"

namespace {

// DUP (immediate): Zd 4..0, signed imm8 12..5, shifted left by 8 when bit 13 is set.
template <typename T>
aarch64_decode_rc dup_i(cpu_state *s, uint32_t insn) {
    const int imm = sfield(insn, 12, 5) * (field(insn, 13, 13) ? 256 : 1);
    return delegate(s, insn, sve_dup_zi, zfield<T>(insn, 0), imm);
}

// DUP (scalar): Zd 4..0, Rn 9..5 (31 is SP).
template <typename T>
aarch64_decode_rc dup_s(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_dup_zr, zfield<T>(insn, 0), spfield(insn, 5));
}

SVE_HANDLER(VecS8DupI) { return dup_i<uint8_t>(state, insn); }
SVE_HANDLER(VecS16DupI) { return dup_i<uint16_t>(state, insn); }
SVE_HANDLER(VecS32DupI) { return dup_i<uint32_t>(state, insn); }
SVE_HANDLER(VecS64DupI) { return dup_i<uint64_t>(state, insn); }

SVE_HANDLER(VecU8DupS) { return dup_s<uint8_t>(state, insn); }
SVE_HANDLER(VecU16DupS) { return dup_s<uint16_t>(state, insn); }
SVE_HANDLER(VecU32DupS) { return dup_s<uint32_t>(state, insn); }
SVE_HANDLER(VecU64DupS) { return dup_s<uint64_t>(state, insn); }

}  // namespace

#define SVE_FAMILY int_move
#include "sve/handlers/family_bindings.inc"
