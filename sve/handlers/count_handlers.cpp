// Element counting and vector-length arithmetic: CNT, INC, DEC and their
// saturating forms, CNTP, INCP, DECP, RDVL, ADDVL, ADDPL.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/count_kernels.h"
#include "sve/kernels/predicate_kernels.h"
#include "sve/support/saturation.h"
#include "sve/support/pred_pattern.h"

namespace {

inline int pattern_of(uint32_t insn) { return static_cast<int>(field(insn, 9, 5)); }
inline int multiplier_of(uint32_t insn) { return static_cast<int>(field(insn, 19, 16)) + 1; }

// The handlers here read no floating-point state and no FFR, so they work on
// the state directly rather than through a computing context.

// The elements of type T that the pattern (9..5) gives, times the multiplier.
template <typename T>
uint64_t pattern_count(uint32_t insn) {
    return uint64_t{VecTrueILength(field(insn, 9, 5), static_cast<int>(elem_count<T>))} *
           static_cast<uint64_t>(multiplier_of(insn));
}

// CNTB/CNTH/CNTW/CNTD Xd{, pattern{, MUL #imm}}: Xd 4..0.
template <typename T>
aarch64_decode_rc count_vl(cpu_state *s, uint32_t insn) {
    write_x(s, zd_num(insn), pattern_count<T>(insn));
    return DECODE_OK;
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

// INCH/INCW/INCD and DECH/DECW/DECD (vector): Zdn 4..0, pattern 9..5, imm4 19..16.
using vector_count_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, int, int);
template <typename T>
aarch64_decode_rc adjust_vector(cpu_state *s, uint32_t insn, vector_count_kernel k) {
    return delegate(s, insn, k, zfield<T>(insn, 0), pattern_of(insn), multiplier_of(insn));
}

// Saturating adjustment of a scalar: Bits = 32 (Wdn; the result sign- or
// zero-extended into Xdn) or 64.
template <unsigned Bits, bool Unsigned>
uint64_t saturate_adjust(uint64_t v, uint64_t amount, bool decrement) {
    const SatPair r = decrement ? SatSub(v, amount, Bits, Unsigned) : SatAdd(v, amount, Bits, Unsigned);
    uint64_t out = r.value;
    if (Bits == 32) out = Unsigned ? (out & 0xFFFFFFFFu) : static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(out)));
    return out;
}

// SQINCx/UQINCx/SQDECx/UQDECx (scalar, by pattern), element size T.
template <typename T, unsigned Bits, bool Unsigned, bool Decrement>
aarch64_decode_rc q_adjust_scalar(cpu_state *s, uint32_t insn) {
    write_x(s, zd_num(insn), saturate_adjust<Bits, Unsigned>(read_x(s, zd_num(insn)), pattern_count<T>(insn), Decrement));
    return DECODE_OK;
}

// Saturating adjustment of every element of Zdn by `amount` (at most 256 * 16,
// within every element width's positive range).
template <typename T, bool Unsigned>
void q_adjust_elements(cpu_state *s, unsigned zdn, uint64_t amount, bool decrement) {
    unsigned char *d = s->z[zdn];
    const T b = static_cast<T>(amount);
    vec_buf r;
    if (decrement) {
        for (unsigned e = 0; e < elem_count<T>; ++e) elem_set<T>(r.b, e, saturate_lane<T, Unsigned, true>(elem_get<T>(d, e), b));
    } else {
        for (unsigned e = 0; e < elem_count<T>; ++e) elem_set<T>(r.b, e, saturate_lane<T, Unsigned, false>(elem_get<T>(d, e), b));
    }
    std::memcpy(d, r.b, kVecBytes);
}

// SQINCH/UQINCH ... (vector, by pattern): Zdn 4..0.
template <typename T, bool Unsigned, bool Decrement>
aarch64_decode_rc q_adjust_vector(cpu_state *s, uint32_t insn) {
    q_adjust_elements<T, Unsigned>(s, zd_num(insn), pattern_count<T>(insn), Decrement);
    return DECODE_OK;
}

// The number of true elements of Pm (8..5) at element size T.
template <typename T>
uint64_t true_count(const cpu_state *s, uint32_t insn) {
    return count_active<true>(nullptr, s->p[field(insn, 8, 5)], sizeof(T));
}

// DECP Xdn, Pm.T (wrapping).
template <typename T>
aarch64_decode_rc decp_scalar(cpu_state *s, uint32_t insn) {
    write_x(s, zd_num(insn), read_x(s, zd_num(insn)) - true_count<T>(s, insn));
    return DECODE_OK;
}
// INCP/DECP Zdn.T, Pm.T (wrapping).
template <typename T, bool Decrement>
aarch64_decode_rc countp_vector(cpu_state *s, uint32_t insn) {
    const uint64_t n = true_count<T>(s, insn);
    unsigned char *d = s->z[zd_num(insn)];
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        const uint64_t x = elem_get<T>(d, e);
        elem_set<T>(d, e, static_cast<T>(Decrement ? x - n : x + n));
    }
    return DECODE_OK;
}
// SQINCP/UQINCP/SQDECP/UQDECP (scalar), Bits = 32 or 64.
template <typename T, unsigned Bits, bool Unsigned, bool Decrement>
aarch64_decode_rc q_countp_scalar(cpu_state *s, uint32_t insn) {
    write_x(s, zd_num(insn), saturate_adjust<Bits, Unsigned>(read_x(s, zd_num(insn)), true_count<T>(s, insn), Decrement));
    return DECODE_OK;
}
// SQINCP/UQINCP/SQDECP/UQDECP (vector).
template <typename T, bool Unsigned, bool Decrement>
aarch64_decode_rc q_countp_vector(cpu_state *s, uint32_t insn) {
    q_adjust_elements<T, Unsigned>(s, zd_num(insn), true_count<T>(s, insn), Decrement);
    return DECODE_OK;
}

SVE_HANDLER(VecU16IncrVLVI) { return adjust_vector<uint16_t>(state, insn, sve_inch_zii); }
SVE_HANDLER(VecU32IncrVLVI) { return adjust_vector<uint32_t>(state, insn, sve_incw_zii); }
SVE_HANDLER(VecU64IncrVLVI) { return adjust_vector<uint64_t>(state, insn, sve_incd_zii); }
SVE_HANDLER(VecU16DecrVLVI) { return adjust_vector<uint16_t>(state, insn, sve_dech_zii); }
SVE_HANDLER(VecU32DecrVLVI) { return adjust_vector<uint32_t>(state, insn, sve_decw_zii); }
SVE_HANDLER(VecU64DecrVLVI) { return adjust_vector<uint64_t>(state, insn, sve_decd_zii); }

SVE_HANDLER(VecS8QIncrVL4SI) { return q_adjust_scalar<uint8_t, 32, false, false>(state, insn); }
SVE_HANDLER(VecS16QIncrVL4SI) { return q_adjust_scalar<uint16_t, 32, false, false>(state, insn); }
SVE_HANDLER(VecS32QIncrVL4SI) { return q_adjust_scalar<uint32_t, 32, false, false>(state, insn); }
SVE_HANDLER(VecS64QIncrVL4SI) { return q_adjust_scalar<uint64_t, 32, false, false>(state, insn); }
SVE_HANDLER(VecU8QIncrVL4SI) { return q_adjust_scalar<uint8_t, 32, true, false>(state, insn); }
SVE_HANDLER(VecU16QIncrVL4SI) { return q_adjust_scalar<uint16_t, 32, true, false>(state, insn); }
SVE_HANDLER(VecU32QIncrVL4SI) { return q_adjust_scalar<uint32_t, 32, true, false>(state, insn); }
SVE_HANDLER(VecU64QIncrVL4SI) { return q_adjust_scalar<uint64_t, 32, true, false>(state, insn); }
SVE_HANDLER(VecS8QIncrVL8SI) { return q_adjust_scalar<uint8_t, 64, false, false>(state, insn); }
SVE_HANDLER(VecS16QIncrVL8SI) { return q_adjust_scalar<uint16_t, 64, false, false>(state, insn); }
SVE_HANDLER(VecS32QIncrVL8SI) { return q_adjust_scalar<uint32_t, 64, false, false>(state, insn); }
SVE_HANDLER(VecS64QIncrVL8SI) { return q_adjust_scalar<uint64_t, 64, false, false>(state, insn); }
SVE_HANDLER(VecU8QIncrVL8SI) { return q_adjust_scalar<uint8_t, 64, true, false>(state, insn); }
SVE_HANDLER(VecU16QIncrVL8SI) { return q_adjust_scalar<uint16_t, 64, true, false>(state, insn); }
SVE_HANDLER(VecU32QIncrVL8SI) { return q_adjust_scalar<uint32_t, 64, true, false>(state, insn); }
SVE_HANDLER(VecU64QIncrVL8SI) { return q_adjust_scalar<uint64_t, 64, true, false>(state, insn); }
SVE_HANDLER(VecS8QDecrVL4SI) { return q_adjust_scalar<uint8_t, 32, false, true>(state, insn); }
SVE_HANDLER(VecS16QDecrVL4SI) { return q_adjust_scalar<uint16_t, 32, false, true>(state, insn); }
SVE_HANDLER(VecS32QDecrVL4SI) { return q_adjust_scalar<uint32_t, 32, false, true>(state, insn); }
SVE_HANDLER(VecS64QDecrVL4SI) { return q_adjust_scalar<uint64_t, 32, false, true>(state, insn); }
SVE_HANDLER(VecU16QDecrVL4SI) { return q_adjust_scalar<uint16_t, 32, true, true>(state, insn); }
SVE_HANDLER(VecU32QDecrVL4SI) { return q_adjust_scalar<uint32_t, 32, true, true>(state, insn); }
SVE_HANDLER(VecU64QDecrVL4SI) { return q_adjust_scalar<uint64_t, 32, true, true>(state, insn); }
SVE_HANDLER(VecS8QDecrVL8SI) { return q_adjust_scalar<uint8_t, 64, false, true>(state, insn); }
SVE_HANDLER(VecS16QDecrVL8SI) { return q_adjust_scalar<uint16_t, 64, false, true>(state, insn); }
SVE_HANDLER(VecS32QDecrVL8SI) { return q_adjust_scalar<uint32_t, 64, false, true>(state, insn); }
SVE_HANDLER(VecS64QDecrVL8SI) { return q_adjust_scalar<uint64_t, 64, false, true>(state, insn); }
SVE_HANDLER(VecU16QDecrVL8SI) { return q_adjust_scalar<uint16_t, 64, true, true>(state, insn); }
SVE_HANDLER(VecU32QDecrVL8SI) { return q_adjust_scalar<uint32_t, 64, true, true>(state, insn); }
SVE_HANDLER(VecU64QDecrVL8SI) { return q_adjust_scalar<uint64_t, 64, true, true>(state, insn); }
// UQDECB Wdn / Xdn.
SVE_HANDLER(VecU8QDecrVL4SI) { return delegate(state, insn, sve_uqdecb_rii, xfield(insn, 0, kQualW), pattern_of(insn), multiplier_of(insn)); }
SVE_HANDLER(VecU8QDecrVL8SI) { return delegate(state, insn, sve_uqdecb_rii, xfield(insn, 0, kQualX), pattern_of(insn), multiplier_of(insn)); }

SVE_HANDLER(VecS16QIncrVLVI) { return q_adjust_vector<uint16_t, false, false>(state, insn); }
SVE_HANDLER(VecS32QIncrVLVI) { return q_adjust_vector<uint32_t, false, false>(state, insn); }
SVE_HANDLER(VecS64QIncrVLVI) { return q_adjust_vector<uint64_t, false, false>(state, insn); }
SVE_HANDLER(VecU16QIncrVLVI) { return q_adjust_vector<uint16_t, true, false>(state, insn); }
SVE_HANDLER(VecU32QIncrVLVI) { return q_adjust_vector<uint32_t, true, false>(state, insn); }
SVE_HANDLER(VecU64QIncrVLVI) { return q_adjust_vector<uint64_t, true, false>(state, insn); }
SVE_HANDLER(VecS16QDecrVLVI) { return q_adjust_vector<uint16_t, false, true>(state, insn); }
SVE_HANDLER(VecS32QDecrVLVI) { return q_adjust_vector<uint32_t, false, true>(state, insn); }
SVE_HANDLER(VecS64QDecrVLVI) { return q_adjust_vector<uint64_t, false, true>(state, insn); }
SVE_HANDLER(VecU16QDecrVLVI) { return q_adjust_vector<uint16_t, true, true>(state, insn); }
SVE_HANDLER(VecU32QDecrVLVI) { return q_adjust_vector<uint32_t, true, true>(state, insn); }
SVE_HANDLER(VecU64QDecrVLVI) { return q_adjust_vector<uint64_t, true, true>(state, insn); }

// CNTP Xd, Pg (13..10), Pn.T (8..5).
template <typename T>
aarch64_decode_rc cntp(cpu_state *s, uint32_t insn) {
    write_x(s, field(insn, 4, 0), count_active(s->p[field(insn, 13, 10)], s->p[field(insn, 8, 5)], sizeof(T)));
    return DECODE_OK;
}
// INCP Xdn, Pm.T (8..5).
template <typename T>
aarch64_decode_rc incp(cpu_state *s, uint32_t insn) {
    write_x(s, zd_num(insn), read_x(s, zd_num(insn)) + true_count<T>(s, insn));
    return DECODE_OK;
}
SVE_HANDLER(VecU8SCountP) { return cntp<uint8_t>(state, insn); }
SVE_HANDLER(VecU16SCountP) { return cntp<uint16_t>(state, insn); }
SVE_HANDLER(VecU32SCountP) { return cntp<uint32_t>(state, insn); }
SVE_HANDLER(VecU64SCountP) { return cntp<uint64_t>(state, insn); }
SVE_HANDLER(VecU8IncrSCountPS) { return incp<uint8_t>(state, insn); }
SVE_HANDLER(VecU16IncrSCountPS) { return incp<uint16_t>(state, insn); }
SVE_HANDLER(VecU32IncrSCountPS) { return incp<uint32_t>(state, insn); }
SVE_HANDLER(VecU64IncrSCountPS) { return incp<uint64_t>(state, insn); }
SVE_HANDLER(VecU8DecrSCountPS) { return decp_scalar<uint8_t>(state, insn); }
SVE_HANDLER(VecU16DecrSCountPS) { return decp_scalar<uint16_t>(state, insn); }
SVE_HANDLER(VecU32DecrSCountPS) { return decp_scalar<uint32_t>(state, insn); }
SVE_HANDLER(VecU64DecrSCountPS) { return decp_scalar<uint64_t>(state, insn); }
SVE_HANDLER(VecU16IncrCountPV) { return countp_vector<uint16_t, false>(state, insn); }
SVE_HANDLER(VecU32IncrCountPV) { return countp_vector<uint32_t, false>(state, insn); }
SVE_HANDLER(VecU64IncrCountPV) { return countp_vector<uint64_t, false>(state, insn); }
SVE_HANDLER(VecU16DecrCountPV) { return countp_vector<uint16_t, true>(state, insn); }
SVE_HANDLER(VecU32DecrCountPV) { return countp_vector<uint32_t, true>(state, insn); }
SVE_HANDLER(VecU64DecrCountPV) { return countp_vector<uint64_t, true>(state, insn); }
SVE_HANDLER(VecS8QIncrSCount4PS) { return q_countp_scalar<uint8_t, 32, false, false>(state, insn); }
SVE_HANDLER(VecS16QIncrSCount4PS) { return q_countp_scalar<uint16_t, 32, false, false>(state, insn); }
SVE_HANDLER(VecS32QIncrSCount4PS) { return q_countp_scalar<uint32_t, 32, false, false>(state, insn); }
SVE_HANDLER(VecS64QIncrSCount4PS) { return q_countp_scalar<uint64_t, 32, false, false>(state, insn); }
SVE_HANDLER(VecU8QIncrSCount4PS) { return q_countp_scalar<uint8_t, 32, true, false>(state, insn); }
SVE_HANDLER(VecU16QIncrSCount4PS) { return q_countp_scalar<uint16_t, 32, true, false>(state, insn); }
SVE_HANDLER(VecU32QIncrSCount4PS) { return q_countp_scalar<uint32_t, 32, true, false>(state, insn); }
SVE_HANDLER(VecU64QIncrSCount4PS) { return q_countp_scalar<uint64_t, 32, true, false>(state, insn); }
SVE_HANDLER(VecS8QIncrSCount8PS) { return q_countp_scalar<uint8_t, 64, false, false>(state, insn); }
SVE_HANDLER(VecS16QIncrSCount8PS) { return q_countp_scalar<uint16_t, 64, false, false>(state, insn); }
SVE_HANDLER(VecS32QIncrSCount8PS) { return q_countp_scalar<uint32_t, 64, false, false>(state, insn); }
SVE_HANDLER(VecS64QIncrSCount8PS) { return q_countp_scalar<uint64_t, 64, false, false>(state, insn); }
SVE_HANDLER(VecU8QIncrSCount8PS) { return q_countp_scalar<uint8_t, 64, true, false>(state, insn); }
SVE_HANDLER(VecU16QIncrSCount8PS) { return q_countp_scalar<uint16_t, 64, true, false>(state, insn); }
SVE_HANDLER(VecU32QIncrSCount8PS) { return q_countp_scalar<uint32_t, 64, true, false>(state, insn); }
SVE_HANDLER(VecU64QIncrSCount8PS) { return q_countp_scalar<uint64_t, 64, true, false>(state, insn); }
SVE_HANDLER(VecS16QIncrCountPV) { return q_countp_vector<uint16_t, false, false>(state, insn); }
SVE_HANDLER(VecS32QIncrCountPV) { return q_countp_vector<uint32_t, false, false>(state, insn); }
SVE_HANDLER(VecS64QIncrCountPV) { return q_countp_vector<uint64_t, false, false>(state, insn); }
SVE_HANDLER(VecU16QIncrCountPV) { return q_countp_vector<uint16_t, true, false>(state, insn); }
SVE_HANDLER(VecU32QIncrCountPV) { return q_countp_vector<uint32_t, true, false>(state, insn); }
SVE_HANDLER(VecU64QIncrCountPV) { return q_countp_vector<uint64_t, true, false>(state, insn); }
SVE_HANDLER(VecS8QDecrSCount4PS) { return q_countp_scalar<uint8_t, 32, false, true>(state, insn); }
SVE_HANDLER(VecS16QDecrSCount4PS) { return q_countp_scalar<uint16_t, 32, false, true>(state, insn); }
SVE_HANDLER(VecS32QDecrSCount4PS) { return q_countp_scalar<uint32_t, 32, false, true>(state, insn); }
SVE_HANDLER(VecS64QDecrSCount4PS) { return q_countp_scalar<uint64_t, 32, false, true>(state, insn); }
SVE_HANDLER(VecU8QDecrSCount4PS) { return q_countp_scalar<uint8_t, 32, true, true>(state, insn); }
SVE_HANDLER(VecU16QDecrSCount4PS) { return q_countp_scalar<uint16_t, 32, true, true>(state, insn); }
SVE_HANDLER(VecU32QDecrSCount4PS) { return q_countp_scalar<uint32_t, 32, true, true>(state, insn); }
SVE_HANDLER(VecU64QDecrSCount4PS) { return q_countp_scalar<uint64_t, 32, true, true>(state, insn); }
SVE_HANDLER(VecS8QDecrSCount8PS) { return q_countp_scalar<uint8_t, 64, false, true>(state, insn); }
SVE_HANDLER(VecS16QDecrSCount8PS) { return q_countp_scalar<uint16_t, 64, false, true>(state, insn); }
SVE_HANDLER(VecS32QDecrSCount8PS) { return q_countp_scalar<uint32_t, 64, false, true>(state, insn); }
SVE_HANDLER(VecS64QDecrSCount8PS) { return q_countp_scalar<uint64_t, 64, false, true>(state, insn); }
SVE_HANDLER(VecU8QDecrSCount8PS) { return q_countp_scalar<uint8_t, 64, true, true>(state, insn); }
SVE_HANDLER(VecU16QDecrSCount8PS) { return q_countp_scalar<uint16_t, 64, true, true>(state, insn); }
SVE_HANDLER(VecU32QDecrSCount8PS) { return q_countp_scalar<uint32_t, 64, true, true>(state, insn); }
SVE_HANDLER(VecU64QDecrSCount8PS) { return q_countp_scalar<uint64_t, 64, true, true>(state, insn); }
SVE_HANDLER(VecS16QDecrCountPV) { return q_countp_vector<uint16_t, false, true>(state, insn); }
SVE_HANDLER(VecS32QDecrCountPV) { return q_countp_vector<uint32_t, false, true>(state, insn); }
SVE_HANDLER(VecS64QDecrCountPV) { return q_countp_vector<uint64_t, false, true>(state, insn); }
SVE_HANDLER(VecU16QDecrCountPV) { return q_countp_vector<uint16_t, true, true>(state, insn); }
SVE_HANDLER(VecU32QDecrCountPV) { return q_countp_vector<uint32_t, true, true>(state, insn); }
SVE_HANDLER(VecU64QDecrCountPV) { return q_countp_vector<uint64_t, true, true>(state, insn); }

}  // namespace

#define SVE_FAMILY count
#include "sve/handlers/family_bindings.inc"
