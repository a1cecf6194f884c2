// Executors and decoder of the half-precision (FP16) scalar floating-point and
// Advanced SIMD instructions (see sve/decode/half_precision.h). The entries are
// listed once, in half_precision.def.
//
// Every executor reads its operands completely before it writes a result, so
// a destination may be any of its sources. The FPSCR of an instruction starts
// as the emulated FPCR without flag bits; the library ORs the exceptions of
// every element into it, and they are merged into FPSR once at the end.
#include "sve/decode/half_precision.h"

#include <cstring>

#include "sve/fplib/fplib.h"
#include "sve/support/a64_scalar.h"

namespace {

using u16 = uint16_t;

constexpr uint32_t bits(uint32_t insn, unsigned hi, unsigned lo) { return (insn >> lo) & ((1u << (hi - lo + 1)) - 1); }

// ---- State access -----------------------------------------------------------

FPSCR fp_begin(const cpu_state *s) { return (s->fpcr | s->fpcr_extra) & ~FPSCR_FLAGS; }
void fp_end(cpu_state *s, FPSCR f) { s->fpsr = (s->fpsr | (f & FPSCR_FLAGS)) & FPSR_MERGE_MASK; }
FPRounding fp_rounding(FPSCR f) { return FPRounding((f >> FPSCR_RMODE_SHIFT) & 3); }

u16 lane(const cpu_state *s, unsigned reg, unsigned e) {
    u16 v;
    std::memcpy(&v, s->z[reg] + 2 * e, 2);
    return v;
}

// A scalar H result: the rest of the V register and of the Z register clear.
void write_h(cpu_state *s, unsigned reg, u16 v) {
    std::memset(s->z[reg], 0, kVecBytes);
    std::memcpy(s->z[reg], &v, 2);
}

// A vector result of `lanes` halfwords (4: a 64-bit vector, 8: 128 bits); the
// Z register above it clears.
void write_lanes(cpu_state *s, unsigned reg, const u16 *v, unsigned lanes) {
    std::memset(s->z[reg], 0, kVecBytes);
    std::memcpy(s->z[reg], v, 2 * lanes);
}

uint64_t read_x(const cpu_state *s, unsigned reg) { return reg == 31 ? 0 : s->x[reg]; }
void write_x(cpu_state *s, unsigned reg, uint64_t v) {
    if (reg != 31) s->x[reg] = v;
}

unsigned vector_lanes(uint32_t insn) { return bits(insn, 30, 30) ? 8 : 4; }

// ---- Element operations -----------------------------------------------------

using binary_op = u16 (*)(u16, u16, FPSCR &);
using unary_op = u16 (*)(u16, FPSCR &);

constexpr u16 kTrue = 0xFFFF;
constexpr u16 kZero = 0;

u16 op_add(u16 a, u16 b, FPSCR &f) { return FPAdd(a, b, f); }
u16 op_sub(u16 a, u16 b, FPSCR &f) { return FPSub(a, b, f); }
u16 op_mul(u16 a, u16 b, FPSCR &f) { return FPMul(a, b, f); }
u16 op_nmul(u16 a, u16 b, FPSCR &f) { return FPNeg(FPMul(a, b, f)); }
u16 op_mulx(u16 a, u16 b, FPSCR &f) { return FPMulX(a, b, f); }
u16 op_div(u16 a, u16 b, FPSCR &f) { return FPDiv(a, b, f); }
u16 op_abd(u16 a, u16 b, FPSCR &f) { return FPAbs(FPSub(a, b, f)); }
u16 op_max(u16 a, u16 b, FPSCR &f) { return FPMax(a, b, f); }
u16 op_min(u16 a, u16 b, FPSCR &f) { return FPMin(a, b, f); }
u16 op_maxnum(u16 a, u16 b, FPSCR &f) { return FPMaxNum(a, b, f); }
u16 op_minnum(u16 a, u16 b, FPSCR &f) { return FPMinNum(a, b, f); }
u16 op_recps(u16 a, u16 b, FPSCR &f) { return FPRecipStepFused(a, b, f); }
u16 op_rsqrts(u16 a, u16 b, FPSCR &f) { return FPRSqrtStepFused(a, b, f); }
u16 op_cmeq(u16 a, u16 b, FPSCR &f) { return FPCompareEQ(a, b, f) ? kTrue : 0; }
u16 op_cmge(u16 a, u16 b, FPSCR &f) { return FPCompareGE(a, b, f) ? kTrue : 0; }
u16 op_cmgt(u16 a, u16 b, FPSCR &f) { return FPCompareGT(a, b, f) ? kTrue : 0; }
u16 op_acge(u16 a, u16 b, FPSCR &f) { return FPCompareGE(FPAbs(a), FPAbs(b), f) ? kTrue : 0; }
u16 op_acgt(u16 a, u16 b, FPSCR &f) { return FPCompareGT(FPAbs(a), FPAbs(b), f) ? kTrue : 0; }

u16 op_mov(u16 a, FPSCR &) { return a; }
u16 op_abs(u16 a, FPSCR &) { return FPAbs(a); }
u16 op_neg(u16 a, FPSCR &) { return FPNeg(a); }
u16 op_sqrt(u16 a, FPSCR &f) { return FPSqrt(a, f); }
u16 op_rintn(u16 a, FPSCR &f) { return FPRoundInt(a, FPRounding_TIEEVEN, false, f); }
u16 op_rintp(u16 a, FPSCR &f) { return FPRoundInt(a, FPRounding_POSINF, false, f); }
u16 op_rintm(u16 a, FPSCR &f) { return FPRoundInt(a, FPRounding_NEGINF, false, f); }
u16 op_rintz(u16 a, FPSCR &f) { return FPRoundInt(a, FPRounding_ZERO, false, f); }
u16 op_rinta(u16 a, FPSCR &f) { return FPRoundInt(a, FPRounding_TIEAWAY, false, f); }
u16 op_rintx(u16 a, FPSCR &f) { return FPRoundInt(a, fp_rounding(f), true, f); }
u16 op_rinti(u16 a, FPSCR &f) { return FPRoundInt(a, fp_rounding(f), false, f); }
u16 op_recpe(u16 a, FPSCR &f) { return FPRecipEstimate(a, f); }
u16 op_rsqrte(u16 a, FPSCR &f) { return FPRSqrtEstimate(a, f); }
u16 op_recpx(u16 a, FPSCR &f) { return FPRecpX(a, f); }
u16 op_cmgt0(u16 a, FPSCR &f) { return FPCompareGT(a, kZero, f) ? kTrue : 0; }
u16 op_cmge0(u16 a, FPSCR &f) { return FPCompareGE(a, kZero, f) ? kTrue : 0; }
u16 op_cmeq0(u16 a, FPSCR &f) { return FPCompareEQ(a, kZero, f) ? kTrue : 0; }
u16 op_cmle0(u16 a, FPSCR &f) { return FPCompareGE(kZero, a, f) ? kTrue : 0; }
u16 op_cmlt0(u16 a, FPSCR &f) { return FPCompareGT(kZero, a, f) ? kTrue : 0; }

// Half to a 16-bit integer, and back.
template <FPRounding R, bool Unsigned>
u16 op_cvt(u16 a, FPSCR &f) {
    return fplibFPToFixed<u16, u16>(a, 0, Unsigned, R, f);
}
u16 op_scvtf(u16 a, FPSCR &f) {
    return fplibFixedToFP<u16>(uint64_t(int64_t(int16_t(a))), 0, false, fp_rounding(f), f);
}
u16 op_ucvtf(u16 a, FPSCR &f) { return fplibFixedToFP<u16>(a, 0, true, fp_rounding(f), f); }
constexpr unary_op op_cvtns = op_cvt<FPRounding_TIEEVEN, false>;
constexpr unary_op op_cvtnu = op_cvt<FPRounding_TIEEVEN, true>;
constexpr unary_op op_cvtps = op_cvt<FPRounding_POSINF, false>;
constexpr unary_op op_cvtpu = op_cvt<FPRounding_POSINF, true>;
constexpr unary_op op_cvtms = op_cvt<FPRounding_NEGINF, false>;
constexpr unary_op op_cvtmu = op_cvt<FPRounding_NEGINF, true>;
constexpr unary_op op_cvtzs = op_cvt<FPRounding_ZERO, false>;
constexpr unary_op op_cvtzu = op_cvt<FPRounding_ZERO, true>;
constexpr unary_op op_cvtas = op_cvt<FPRounding_TIEAWAY, false>;
constexpr unary_op op_cvtau = op_cvt<FPRounding_TIEAWAY, true>;

// The 8-bit floating-point immediate of FMOV, expanded to half precision:
// sign, exponent NOT(b6):b6:b6:b5:b4, fraction b3..b0 followed by zeros.
u16 expand_immediate(uint32_t imm8) {
    const uint32_t b6 = (imm8 >> 6) & 1;
    const uint32_t exp = ((b6 ^ 1) << 4) | (b6 ? 0xCu : 0u) | ((imm8 >> 4) & 3);
    return u16(((imm8 >> 7) << 15) | (exp << 10) | ((imm8 & 15) << 6));
}


// ---- Scalar floating point (H registers) ------------------------------------

template <binary_op Op>
aarch64_decode_rc scalar_binary(cpu_state *s, uint32_t insn) {
    FPSCR f = fp_begin(s);
    const u16 r = Op(lane(s, bits(insn, 9, 5), 0), lane(s, bits(insn, 20, 16), 0), f);
    write_h(s, bits(insn, 4, 0), r);
    fp_end(s, f);
    return DECODE_OK;
}

template <unary_op Op>
aarch64_decode_rc scalar_unary(cpu_state *s, uint32_t insn) {
    FPSCR f = fp_begin(s);
    const u16 r = Op(lane(s, bits(insn, 9, 5), 0), f);
    write_h(s, bits(insn, 4, 0), r);
    fp_end(s, f);
    return DECODE_OK;
}

// FCMP, FCMPE (signalling: every NaN raises Invalid Operation), with a register
// or with +0.0.
template <bool Signal, bool WithZero>
aarch64_decode_rc scalar_compare(cpu_state *s, uint32_t insn) {
    FPSCR f = fp_begin(s);
    const u16 a = lane(s, bits(insn, 9, 5), 0);
    const u16 b = WithZero ? kZero : lane(s, bits(insn, 20, 16), 0);
    s->nzcv = uint64_t(FPCompare(a, b, Signal, f)) << 28;
    fp_end(s, f);
    return DECODE_OK;
}

// FCCMP, FCCMPE: the compare when the condition holds, else NZCV from the word.
template <bool Signal>
aarch64_decode_rc scalar_cond_compare(cpu_state *s, uint32_t insn) {
    if (!a64_condition_holds(bits(insn, 15, 12), s->nzcv)) {
        s->nzcv = uint64_t(bits(insn, 3, 0)) << 28;
        return DECODE_OK;
    }
    FPSCR f = fp_begin(s);
    s->nzcv = uint64_t(FPCompare(lane(s, bits(insn, 9, 5), 0), lane(s, bits(insn, 20, 16), 0), Signal, f)) << 28;
    fp_end(s, f);
    return DECODE_OK;
}

aarch64_decode_rc scalar_select(cpu_state *s, uint32_t insn) {
    const unsigned src = a64_condition_holds(bits(insn, 15, 12), s->nzcv) ? bits(insn, 9, 5) : bits(insn, 20, 16);
    write_h(s, bits(insn, 4, 0), lane(s, src, 0));
    return DECODE_OK;
}

aarch64_decode_rc scalar_move_immediate(cpu_state *s, uint32_t insn) {
    write_h(s, bits(insn, 4, 0), expand_immediate(bits(insn, 20, 13)));
    return DECODE_OK;
}

// FMADD (0), FMSUB (1), FNMADD (2), FNMSUB (3): Ra + Rn * Rm with the product
// operand and/or the addend negated before the one rounding.
template <int Kind>
aarch64_decode_rc scalar_fused(cpu_state *s, uint32_t insn) {
    FPSCR f = fp_begin(s);
    u16 a = lane(s, bits(insn, 14, 10), 0);
    u16 n = lane(s, bits(insn, 9, 5), 0);
    const u16 m = lane(s, bits(insn, 20, 16), 0);
    if (Kind == 1 || Kind == 2) n = FPNeg(n);
    if (Kind >= 2) a = FPNeg(a);
    write_h(s, bits(insn, 4, 0), FPMulAdd(a, n, m, f));
    fp_end(s, f);
    return DECODE_OK;
}

// SCVTF, UCVTF from Wn/Xn (bit 31), with #fbits = 64 - scale when Fixed.
template <bool Unsigned, bool Fixed>
aarch64_decode_rc general_to_half(cpu_state *s, uint32_t insn) {
    FPSCR f = fp_begin(s);
    uint64_t v = read_x(s, bits(insn, 9, 5));
    if (!bits(insn, 31, 31)) v = Unsigned ? uint64_t(uint32_t(v)) : uint64_t(int64_t(int32_t(uint32_t(v))));
    const int fbits = Fixed ? 64 - int(bits(insn, 15, 10)) : 0;
    write_h(s, bits(insn, 4, 0), fplibFixedToFP<u16>(v, fbits, Unsigned, fp_rounding(f), f));
    fp_end(s, f);
    return DECODE_OK;
}

// FCVT<mode>S/U to Wd/Xd (bit 31), FCVTZS/U with #fbits when Fixed.
template <FPRounding R, bool Unsigned, bool Fixed>
aarch64_decode_rc half_to_general(cpu_state *s, uint32_t insn) {
    FPSCR f = fp_begin(s);
    const u16 a = lane(s, bits(insn, 9, 5), 0);
    const int fbits = Fixed ? 64 - int(bits(insn, 15, 10)) : 0;
    const uint64_t r = bits(insn, 31, 31) ? fplibFPToFixed<u16, uint64_t>(a, fbits, Unsigned, R, f)
                                          : fplibFPToFixed<u16, uint32_t>(a, fbits, Unsigned, R, f);
    write_x(s, bits(insn, 4, 0), r);
    fp_end(s, f);
    return DECODE_OK;
}

aarch64_decode_rc move_half_to_general(cpu_state *s, uint32_t insn) {
    write_x(s, bits(insn, 4, 0), lane(s, bits(insn, 9, 5), 0));
    return DECODE_OK;
}

aarch64_decode_rc move_general_to_half(cpu_state *s, uint32_t insn) {
    write_h(s, bits(insn, 4, 0), u16(read_x(s, bits(insn, 9, 5))));
    return DECODE_OK;
}

// ---- Advanced SIMD vectors (4H or 8H) ----------------------------------------

template <binary_op Op>
aarch64_decode_rc vector_binary(cpu_state *s, uint32_t insn) {
    const unsigned n = bits(insn, 9, 5), m = bits(insn, 20, 16), lanes = vector_lanes(insn);
    FPSCR f = fp_begin(s);
    u16 r[8];
    for (unsigned e = 0; e < lanes; ++e) r[e] = Op(lane(s, n, e), lane(s, m, e), f);
    write_lanes(s, bits(insn, 4, 0), r, lanes);
    fp_end(s, f);
    return DECODE_OK;
}

template <unary_op Op>
aarch64_decode_rc vector_unary(cpu_state *s, uint32_t insn) {
    const unsigned n = bits(insn, 9, 5), lanes = vector_lanes(insn);
    FPSCR f = fp_begin(s);
    u16 r[8];
    for (unsigned e = 0; e < lanes; ++e) r[e] = Op(lane(s, n, e), f);
    write_lanes(s, bits(insn, 4, 0), r, lanes);
    fp_end(s, f);
    return DECODE_OK;
}

// FMLA, FMLS (vectors): Vd + (-)Vn * Vm, fused.
template <bool Subtract>
aarch64_decode_rc vector_fused(cpu_state *s, uint32_t insn) {
    const unsigned d = bits(insn, 4, 0), n = bits(insn, 9, 5), m = bits(insn, 20, 16), lanes = vector_lanes(insn);
    FPSCR f = fp_begin(s);
    u16 r[8];
    for (unsigned e = 0; e < lanes; ++e) {
        const u16 a = lane(s, n, e);
        r[e] = FPMulAdd(lane(s, d, e), Subtract ? FPNeg(a) : a, lane(s, m, e), f);
    }
    write_lanes(s, d, r, lanes);
    fp_end(s, f);
    return DECODE_OK;
}

// Pairwise: the elements of Vm:Vn (Vn the low half) taken two at a time.
template <binary_op Op>
aarch64_decode_rc vector_pairwise(cpu_state *s, uint32_t insn) {
    const unsigned n = bits(insn, 9, 5), m = bits(insn, 20, 16), lanes = vector_lanes(insn);
    u16 c[16];
    for (unsigned e = 0; e < lanes; ++e) {
        c[e] = lane(s, n, e);
        c[lanes + e] = lane(s, m, e);
    }
    FPSCR f = fp_begin(s);
    u16 r[8];
    for (unsigned e = 0; e < lanes; ++e) r[e] = Op(c[2 * e], c[2 * e + 1], f);
    write_lanes(s, bits(insn, 4, 0), r, lanes);
    fp_end(s, f);
    return DECODE_OK;
}

// Across lanes: each half reduced on its own, then the two results combined
// (low half first), down to single elements.
template <binary_op Op>
u16 reduce(const u16 *x, unsigned count, FPSCR &f) {
    if (count == 1) return x[0];
    const unsigned half = count / 2;
    const u16 lo = reduce<Op>(x, half, f);
    const u16 hi = reduce<Op>(x + half, half, f);
    return Op(lo, hi, f);
}

template <binary_op Op>
aarch64_decode_rc vector_reduce(cpu_state *s, uint32_t insn) {
    const unsigned n = bits(insn, 9, 5), lanes = vector_lanes(insn);
    u16 x[8];
    for (unsigned e = 0; e < lanes; ++e) x[e] = lane(s, n, e);
    FPSCR f = fp_begin(s);
    const u16 r = reduce<Op>(x, lanes, f);
    write_h(s, bits(insn, 4, 0), r);
    fp_end(s, f);
    return DECODE_OK;
}

aarch64_decode_rc vector_move_immediate(cpu_state *s, uint32_t insn) {
    const u16 v = expand_immediate((bits(insn, 18, 16) << 5) | bits(insn, 9, 5));
    const u16 r[8] = {v, v, v, v, v, v, v, v};
    write_lanes(s, bits(insn, 4, 0), r, vector_lanes(insn));
    return DECODE_OK;
}

// ---- Advanced SIMD scalar ----------------------------------------------------

template <binary_op Op>
aarch64_decode_rc simd_scalar_binary(cpu_state *s, uint32_t insn) {
    return scalar_binary<Op>(s, insn);
}

template <unary_op Op>
aarch64_decode_rc simd_scalar_unary(cpu_state *s, uint32_t insn) {
    return scalar_unary<Op>(s, insn);
}

// FADDP, FMAXP, ... Hd, Vn.2H: elements 0 and 1 of Vn.
template <binary_op Op>
aarch64_decode_rc scalar_pairwise(cpu_state *s, uint32_t insn) {
    const unsigned n = bits(insn, 9, 5);
    FPSCR f = fp_begin(s);
    const u16 r = Op(lane(s, n, 0), lane(s, n, 1), f);
    write_h(s, bits(insn, 4, 0), r);
    fp_end(s, f);
    return DECODE_OK;
}

// By element: FMLA (0), FMLS (1), FMUL (2), FMULX (3) with Vm.H[H:L:M], Vm in
// bits 19..16; the vector form (4H/8H) or the scalar one (H).
template <int Kind, bool Scalar>
aarch64_decode_rc by_element(cpu_state *s, uint32_t insn) {
    const unsigned d = bits(insn, 4, 0), n = bits(insn, 9, 5), m = bits(insn, 19, 16);
    const unsigned index = (bits(insn, 11, 11) << 2) | (bits(insn, 21, 21) << 1) | bits(insn, 20, 20);
    const unsigned lanes = Scalar ? 1 : vector_lanes(insn);
    const u16 b = lane(s, m, index);
    FPSCR f = fp_begin(s);
    u16 r[8];
    for (unsigned e = 0; e < lanes; ++e) {
        const u16 a = lane(s, n, e);
        switch (Kind) {
            case 0: r[e] = FPMulAdd(lane(s, d, e), a, b, f); break;
            case 1: r[e] = FPMulAdd(lane(s, d, e), FPNeg(a), b, f); break;
            case 2: r[e] = FPMul(a, b, f); break;
            default: r[e] = FPMulX(a, b, f); break;
        }
    }
    write_lanes(s, d, r, lanes);
    fp_end(s, f);
    return DECODE_OK;
}

// Fixed point by shift immediate, #fbits = 32 - immh:immb: SCVTF (0), UCVTF (1),
// FCVTZS (2), FCVTZU (3); the vector form or the scalar one.
template <int Kind, bool Scalar>
aarch64_decode_rc fixed_point(cpu_state *s, uint32_t insn) {
    const unsigned n = bits(insn, 9, 5), lanes = Scalar ? 1 : vector_lanes(insn);
    const int fbits = 32 - int(bits(insn, 22, 16));
    FPSCR f = fp_begin(s);
    u16 r[8];
    for (unsigned e = 0; e < lanes; ++e) {
        const u16 a = lane(s, n, e);
        switch (Kind) {
            case 0: r[e] = fplibFixedToFP<u16>(uint64_t(int64_t(int16_t(a))), fbits, false, fp_rounding(f), f); break;
            case 1: r[e] = fplibFixedToFP<u16>(a, fbits, true, fp_rounding(f), f); break;
            case 2: r[e] = fplibFPToFixed<u16, u16>(a, fbits, false, FPRounding_ZERO, f); break;
            default: r[e] = fplibFPToFixed<u16, u16>(a, fbits, true, FPRounding_ZERO, f); break;
        }
    }
    write_lanes(s, bits(insn, 4, 0), r, lanes);
    fp_end(s, f);
    return DECODE_OK;
}

// ---- The table --------------------------------------------------------------

constexpr sve_handler_info kEntries[] = {
#define HALF_ENTRY(name, mask, value, ...) {#name, "half precision", 0, mask, value, __VA_ARGS__, true},
#include "sve/handlers/half_precision.def"
#undef HALF_ENTRY
};
constexpr size_t kEntryCount = sizeof kEntries / sizeof kEntries[0];

struct numbered_catalog {
    sve_handler_info e[kEntryCount];
    constexpr numbered_catalog() : e{} {
        for (size_t i = 0; i < kEntryCount; ++i) {
            e[i] = kEntries[i];
            e[i].key = uint32_t(i);
        }
    }
};
constexpr numbered_catalog kCatalog;

// Operand values an entry's fixed bits leave open but the architecture does
// not allocate: the 32-bit fixed-point conversions with scale < 32 (more than
// 32 fraction bits).
bool operands_valid(uint32_t word) {
    const bool fixed_point_scalar = (word & 0x7FE00000u) == 0x1EC00000u;
    if (fixed_point_scalar && !bits(word, 31, 31) && !bits(word, 15, 15)) return false;
    return true;
}

}  // namespace

extern "C" sve_handler_fn is_half_precision(uint32_t word) {
    // Every entry lies in the scalar FP space (x0x1111x) or the Advanced SIMD
    // space (0xx0111x): bits 27..25 are all set, which turns most words away.
    if (((word >> 25) & 7) != 7) return nullptr;
    for (const sve_handler_info &e : kEntries)
        if ((word & e.fixed_mask) == e.fixed_value) return operands_valid(word) ? e.fn : nullptr;
    return nullptr;
}

extern "C" aarch64_decode_rc execute_half_precision_instruction(cpu_state *state) {
    uint32_t word;
    std::memcpy(&word, state->pc, sizeof word);
    const sve_handler_fn fn = is_half_precision(word);
    if (fn == nullptr) return DECODE_UNIMPLEMENTED;
    const aarch64_decode_rc rc = fn(state, word);
    if (rc == DECODE_OK) state->pc += 4;
    return rc;
}

const sve_handler_info *half_precision_catalog(size_t *count) {
    if (count) *count = kEntryCount;
    return kCatalog.e;
}
