// Broadcasts, copies and moves: DUP, CPY, DUPM, INDEX, MOVPRFX, SEL, and vector
// address generation (ADR).
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/logical_kernels.h"
#include "sve/kernels/move_kernels.h"

namespace {

// Signed 8-bit immediate at 12..5, shifted left by 8 when bit 13 is set.
inline int shifted_simm8(uint32_t insn) { return sfield(insn, 12, 5) * (field(insn, 13, 13) ? 256 : 1); }

// DUP (immediate): Zd 4..0.
template <typename T>
aarch64_decode_rc dup_i(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_dup_zi, zfield<T>(insn, 0), shifted_simm8(insn));
}
// DUP (scalar): Zd 4..0, Rn 9..5 (31 is SP).
template <typename T>
aarch64_decode_rc dup_s(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_dup_zr, zfield<T>(insn, 0), spfield(insn, 5));
}
// CPY (immediate): Zd 4..0, Pg 19..16, merging or zeroing.
template <typename T>
aarch64_decode_rc cpy_i(cpu_state *s, uint32_t insn, bool zeroing) {
    const aarch64_p_reg pg = make_preg(field(insn, 19, 16), zeroing ? kQualZeroing : qual_of<T>);
    return delegate(s, insn, sve_cpy_zpi, zfield<T>(insn, 0), pg, shifted_simm8(insn));
}
// CPY (scalar): Zd 4..0, Pg 12..10, Rn (31 is SP) or Vn at 9..5.
template <typename T>
aarch64_decode_rc cpy_r(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_cpy_zpr, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), spfield(insn, 5));
}
template <typename T>
aarch64_decode_rc cpy_v(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_cpy_zpv, zfield<T>(insn, 0), pfield<T>(insn, 12, 10), field(insn, 9, 5));
}

// INDEX: Zd 4..0; start at 9..5 and step at 20..16, each an immediate (signed 5
// bits) or a general register (31 reads as zero).
template <typename T>
aarch64_decode_rc index_ii(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_index_zii, zfield<T>(insn, 0), int(sfield(insn, 9, 5)), int(sfield(insn, 20, 16)));
}
template <typename T>
aarch64_decode_rc index_is(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_index_zir, zfield<T>(insn, 0), int(sfield(insn, 9, 5)), xfield(insn, 16));
}
template <typename T>
aarch64_decode_rc index_si(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_index_zri, zfield<T>(insn, 0), xfield(insn, 5), int(sfield(insn, 20, 16)));
}
template <typename T>
aarch64_decode_rc index_ss(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_index_zrr, zfield<T>(insn, 0), xfield(insn, 5), xfield(insn, 16));
}

// MOVPRFX (predicated): Zd 4..0, Pg 12..10, Zn 9..5.
template <typename T>
aarch64_decode_rc movprfx(cpu_state *s, uint32_t insn, bool zeroing) {
    const aarch64_p_reg pg = make_preg(field(insn, 12, 10), zeroing ? kQualZeroing : qual_of<T>);
    return delegate(s, insn, sve_movprfx_zpz, zfield<T>(insn, 0), pg, zfield<T>(insn, 5));
}

// SEL: Zd 4..0, Pg 13..10, Zn 9..5, Zm 20..16.
template <typename T>
aarch64_decode_rc sel(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_sel_zpzz, zfield<T>(insn, 0), pfield<T>(insn, 13, 10), zfield<T>(insn, 5),
                    zfield<T>(insn, 16));
}

// ADR, packed 32-bit offsets: Zn + (Zm << shift).
template <unsigned Shift>
aarch64_decode_rc adr_s(cpu_state *s, uint32_t insn) {
    return compute_binary_unpredicated<uint32_t>(s, insn, [](uint32_t a, uint32_t b) { return a + (b << Shift); });
}
// ADR, 64-bit elements with 32-bit offsets sign-extended (X) or zero-extended (Y).
template <unsigned Shift, bool SignExtend>
aarch64_decode_rc adr_d_extended(cpu_state *s, uint32_t insn) {
    return compute_binary_unpredicated<uint64_t>(s, insn, [](uint64_t a, uint64_t b) {
        const uint64_t off = SignExtend ? static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(b)))
                                        : (b & 0xFFFFFFFFu);
        return a + (off << Shift);
    });
}
inline aarch64_decode_rc adr_d(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_adr_scaled_zzz, zfield<uint64_t>(insn, 0), zfield<uint64_t>(insn, 5),
                    zfield<uint64_t>(insn, 16));
}

SVE_HANDLER(VecS8DupI) { return dup_i<uint8_t>(state, insn); }
SVE_HANDLER(VecS16DupI) { return dup_i<uint16_t>(state, insn); }
SVE_HANDLER(VecS32DupI) { return dup_i<uint32_t>(state, insn); }
SVE_HANDLER(VecS64DupI) { return dup_i<uint64_t>(state, insn); }
SVE_HANDLER(VecU8DupS) { return dup_s<uint8_t>(state, insn); }
SVE_HANDLER(VecU16DupS) { return dup_s<uint16_t>(state, insn); }
SVE_HANDLER(VecU32DupS) { return dup_s<uint32_t>(state, insn); }
SVE_HANDLER(VecU64DupS) { return dup_s<uint64_t>(state, insn); }

SVE_HANDLER(VecS8DupIM) { return cpy_i<uint8_t>(state, insn, false); }
SVE_HANDLER(VecS16DupIM) { return cpy_i<uint16_t>(state, insn, false); }
SVE_HANDLER(VecS32DupIM) { return cpy_i<uint32_t>(state, insn, false); }
SVE_HANDLER(VecS64DupIM) { return cpy_i<uint64_t>(state, insn, false); }
SVE_HANDLER(VecS8DupIZ) { return cpy_i<uint8_t>(state, insn, true); }
SVE_HANDLER(VecS16DupIZ) { return cpy_i<uint16_t>(state, insn, true); }
SVE_HANDLER(VecS32DupIZ) { return cpy_i<uint32_t>(state, insn, true); }
SVE_HANDLER(VecS64DupIZ) { return cpy_i<uint64_t>(state, insn, true); }
SVE_HANDLER(VecU8DupSM) { return cpy_r<uint8_t>(state, insn); }
SVE_HANDLER(VecU16DupSM) { return cpy_r<uint16_t>(state, insn); }
SVE_HANDLER(VecU32DupSM) { return cpy_r<uint32_t>(state, insn); }
SVE_HANDLER(VecU64DupSM) { return cpy_r<uint64_t>(state, insn); }
SVE_HANDLER(VecB8DupSM) { return cpy_v<uint8_t>(state, insn); }
SVE_HANDLER(VecH16DupSM) { return cpy_v<uint16_t>(state, insn); }
SVE_HANDLER(VecF32DupSM) { return cpy_v<uint32_t>(state, insn); }
SVE_HANDLER(VecD64DupSM) { return cpy_v<uint64_t>(state, insn); }

// DUPM Zd, #imm: logical immediate N:immr:imms at 17..5.
SVE_HANDLER(VecS64DupMaskI) {
    aarch64_sve_logical64_imm imm;
    if (!decode_logical_imm64(field(insn, 17, 17), field(insn, 16, 11), field(insn, 10, 5), &imm.value))
        return DECODE_UNIMPLEMENTED;
    return delegate(state, insn, sve_dupm_zi, zfield<uint64_t>(insn, 0), imm);
}

SVE_HANDLER(VecS8IndexII) { return index_ii<uint8_t>(state, insn); }
SVE_HANDLER(VecS16IndexII) { return index_ii<uint16_t>(state, insn); }
SVE_HANDLER(VecS32IndexII) { return index_ii<uint32_t>(state, insn); }
SVE_HANDLER(VecS64IndexII) { return index_ii<uint64_t>(state, insn); }
SVE_HANDLER(VecS8IndexIS) { return index_is<uint8_t>(state, insn); }
SVE_HANDLER(VecS16IndexIS) { return index_is<uint16_t>(state, insn); }
SVE_HANDLER(VecS32IndexIS) { return index_is<uint32_t>(state, insn); }
SVE_HANDLER(VecS64IndexIS) { return index_is<uint64_t>(state, insn); }
SVE_HANDLER(VecS8IndexSI) { return index_si<uint8_t>(state, insn); }
SVE_HANDLER(VecS16IndexSI) { return index_si<uint16_t>(state, insn); }
SVE_HANDLER(VecS32IndexSI) { return index_si<uint32_t>(state, insn); }
SVE_HANDLER(VecS64IndexSI) { return index_si<uint64_t>(state, insn); }
SVE_HANDLER(VecS8IndexSS) { return index_ss<uint8_t>(state, insn); }
SVE_HANDLER(VecS16IndexSS) { return index_ss<uint16_t>(state, insn); }
SVE_HANDLER(VecS32IndexSS) { return index_ss<uint32_t>(state, insn); }
SVE_HANDLER(VecS64IndexSS) { return index_ss<uint64_t>(state, insn); }

SVE_HANDLER(VecU8MovePrefix1VM) { return movprfx<uint8_t>(state, insn, false); }
SVE_HANDLER(VecU16MovePrefix1VM) { return movprfx<uint16_t>(state, insn, false); }
SVE_HANDLER(VecU32MovePrefix1VM) { return movprfx<uint32_t>(state, insn, false); }
SVE_HANDLER(VecU64MovePrefix1VM) { return movprfx<uint64_t>(state, insn, false); }
SVE_HANDLER(VecU8MovePrefix1VZ) { return movprfx<uint8_t>(state, insn, true); }
SVE_HANDLER(VecU16MovePrefix1VZ) { return movprfx<uint16_t>(state, insn, true); }
SVE_HANDLER(VecU32MovePrefix1VZ) { return movprfx<uint32_t>(state, insn, true); }
SVE_HANDLER(VecU64MovePrefix1VZ) { return movprfx<uint64_t>(state, insn, true); }
// MOVPRFX (unpredicated): Zd 4..0, Zn 9..5.
SVE_HANDLER(VecU32SpecialMoveV) {
    return delegate(state, insn, sve_movprfx_zz, zfield<uint32_t>(insn, 0), zfield<uint32_t>(insn, 5));
}

SVE_HANDLER(VecU8SelVV) { return sel<uint8_t>(state, insn); }
SVE_HANDLER(VecU16SelVV) { return sel<uint16_t>(state, insn); }
SVE_HANDLER(VecU32SelVV) { return sel<uint32_t>(state, insn); }
SVE_HANDLER(VecU64SelVV) { return sel<uint64_t>(state, insn); }

SVE_HANDLER(VecU32LEA1VV) { return adr_s<0>(state, insn); }
SVE_HANDLER(VecU32LEA2VV) { return adr_s<1>(state, insn); }
SVE_HANDLER(VecU32LEA4VV) { return adr_s<2>(state, insn); }
SVE_HANDLER(VecU32LEA8VV) { return adr_s<3>(state, insn); }
SVE_HANDLER(VecU64LEA1VV) { return adr_d(state, insn); }
SVE_HANDLER(VecU64LEA2VV) { return adr_d(state, insn); }
SVE_HANDLER(VecU64LEA4VV) { return adr_d(state, insn); }
SVE_HANDLER(VecU64LEA8VV) { return adr_d(state, insn); }
SVE_HANDLER(VecU64LEA1XVV) { return adr_d_extended<0, true>(state, insn); }
SVE_HANDLER(VecU64LEA2XVV) { return adr_d_extended<1, true>(state, insn); }
SVE_HANDLER(VecU64LEA4XVV) { return adr_d_extended<2, true>(state, insn); }
SVE_HANDLER(VecU64LEA8XVV) { return adr_d_extended<3, true>(state, insn); }
SVE_HANDLER(VecU64LEA1YVV) { return adr_d_extended<0, false>(state, insn); }
SVE_HANDLER(VecU64LEA2YVV) { return adr_d_extended<1, false>(state, insn); }
SVE_HANDLER(VecU64LEA4YVV) { return adr_d_extended<2, false>(state, insn); }
SVE_HANDLER(VecU64LEA8YVV) { return adr_d_extended<3, false>(state, insn); }

}  // namespace

#define SVE_FAMILY int_move
#include "sve/handlers/family_bindings.inc"
