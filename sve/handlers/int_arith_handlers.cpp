// Integer add, subtract (plain, reversed, saturating), multiply, divide, dot
// product, absolute value and difference, minimum and maximum.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/int_kernels.h"

namespace {

// ADD/SUB (vectors, unpredicated): Zd 4..0, Zn 9..5, Zm 20..16.
template <typename T>
aarch64_decode_rc add_vvx(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_add_zzz, zfield<T>(insn, 0), zfield<T>(insn, 5), zfield<T>(insn, 16));
}
template <typename T>
aarch64_decode_rc sub_vvx(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_sub_zzz, zfield<T>(insn, 0), zfield<T>(insn, 5), zfield<T>(insn, 16));
}

// ADD/SUB (vectors, predicated): Zdn 4..0, Pg 12..10, Zm 9..5.
template <typename T>
aarch64_decode_rc add_vvm(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_add_zpz, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5));
}
template <typename T>
aarch64_decode_rc sub_vvm(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_sub_zpz, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), zfield<T>(insn, 5));
}

// ADD/SUB (immediate): Zdn 4..0, imm8 12..5, shifted left by 8 when bit 13 is set.
inline unsigned arith_imm(uint32_t insn) { return field(insn, 12, 5) << (field(insn, 13, 13) ? 8 : 0); }
template <typename T>
aarch64_decode_rc add_vix(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_add_zi, zfield<T>(insn, 0), arith_imm(insn));
}
template <typename T>
aarch64_decode_rc sub_vix(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_sub_zi, zfield<T>(insn, 0), arith_imm(insn));
}

SVE_HANDLER(VecU8AddVVX) { return add_vvx<uint8_t>(state, insn); }
SVE_HANDLER(VecU16AddVVX) { return add_vvx<uint16_t>(state, insn); }
SVE_HANDLER(VecU32AddVVX) { return add_vvx<uint32_t>(state, insn); }
SVE_HANDLER(VecU64AddVVX) { return add_vvx<uint64_t>(state, insn); }
SVE_HANDLER(VecU8SubVVX) { return sub_vvx<uint8_t>(state, insn); }
SVE_HANDLER(VecU16SubVVX) { return sub_vvx<uint16_t>(state, insn); }
SVE_HANDLER(VecU32SubVVX) { return sub_vvx<uint32_t>(state, insn); }
SVE_HANDLER(VecU64SubVVX) { return sub_vvx<uint64_t>(state, insn); }

SVE_HANDLER(VecU8AddVVM) { return add_vvm<uint8_t>(state, insn); }
SVE_HANDLER(VecU16AddVVM) { return add_vvm<uint16_t>(state, insn); }
SVE_HANDLER(VecU32AddVVM) { return add_vvm<uint32_t>(state, insn); }
SVE_HANDLER(VecU64AddVVM) { return add_vvm<uint64_t>(state, insn); }
SVE_HANDLER(VecU8SubVVM) { return sub_vvm<uint8_t>(state, insn); }
SVE_HANDLER(VecU16SubVVM) { return sub_vvm<uint16_t>(state, insn); }
SVE_HANDLER(VecU32SubVVM) { return sub_vvm<uint32_t>(state, insn); }
SVE_HANDLER(VecU64SubVVM) { return sub_vvm<uint64_t>(state, insn); }

SVE_HANDLER(VecU8AddVIX) { return add_vix<uint8_t>(state, insn); }
SVE_HANDLER(VecU16AddVIX) { return add_vix<uint16_t>(state, insn); }
SVE_HANDLER(VecU32AddVIX) { return add_vix<uint32_t>(state, insn); }
SVE_HANDLER(VecU64AddVIX) { return add_vix<uint64_t>(state, insn); }
SVE_HANDLER(VecU8SubVIX) { return sub_vix<uint8_t>(state, insn); }
SVE_HANDLER(VecU16SubVIX) { return sub_vix<uint16_t>(state, insn); }
SVE_HANDLER(VecU32SubVIX) { return sub_vix<uint32_t>(state, insn); }
SVE_HANDLER(VecU64SubVIX) { return sub_vix<uint64_t>(state, insn); }

}  // namespace

#define SVE_FAMILY int_arith
#include "sve/handlers/family_bindings.inc"
