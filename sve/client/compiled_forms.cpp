#include "sve/client/compiled_forms.h"

#include "sve/client/a64_emitter.h"
#include "sve/kernels/loop_predicates.h"
#include "sve/support/pred_pattern.h"

namespace {

using namespace a64_emit;

using a64_scalar_detail::bits;
constexpr unsigned pred_offset(unsigned n) { return offsetof(cpu_state, p) + kVecBytes * n; }
constexpr unsigned kFfrOffset = offsetof(cpu_state, ffr);
static_assert(kVecBytes == 4 * 64, "the forms go through a predicate 64 bytes at a time");

// Xt = general register N of the word, 31 being the zero register; a W
// operand extended (signed when SIGNED) unless X.
void load_operand(emitter &e, unsigned t, unsigned n, bool x, bool is_signed) {
    e.put(n == 31 ? movz_x(t, 0) : ldr_x(t, kSt, 8 * n));
    if (!x) e.put(is_signed ? sxtw_x(t, t) : mov_w(t, t));
}

// Pd = the 256 bytes from X14 on: at most 64 bytes of them loaded before the
// same bytes of Pd are stored. When AND_WITH is not 0, each 64 bytes ANDed with
// the predicate at that offset of the register file first.
void write_predicate_from_x14(emitter &e, unsigned pd, unsigned and_with = 0) {
    e.address(15, pred_offset(pd));
    if (and_with != 0) e.address(9, and_with);
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        e.put(ld1_4(0, 14));
        if (and_with != 0) {
            e.put(ld1_4(4, 9));
            for (unsigned j = 0; j < 4; ++j) e.put(and_v(j, j, 4 + j));
        }
        e.put(st1_4(0, 15));
    }
}

// Wd = 1 when no byte of Va and Vb is set, else 0 (through general
// registers: under a translator, a reduction across a vector's lanes costs
// several times as much). Uses X16.
void any_to_z(emitter &e, unsigned va, unsigned vb, unsigned d) {
    e.put(orr_v(va, va, vb));
    e.put(umov_d(d, va, 0));
    e.put(umov_d(16, va, 1));
    e.put(orr_x(d, d, 16));
    e.put(cmp_x_imm(d, 0));
    e.put(cset_w_eq(d));
}

// RDFFR Pd.B, Pg/Z: Pd = FFR AND Pg. RDFFR Pd.B: Pd = FFR.
void rdffr(emitter &e, uint32_t word, bool predicated) {
    e.address(14, kFfrOffset);
    write_predicate_from_x14(e, bits(word, 3, 0), predicated ? pred_offset(bits(word, 8, 5)) : 0);
}

// PTEST Pg, Pn.B where Pg's first and last bytes are true: N is Pn's first
// byte, Z whether no byte is true in both, C the inverse of Pn's last byte.
// Under any other Pg, the handler.
void ptest(emitter &e, uint32_t word, uint32_t **fallback) {
    e.address(9, pred_offset(bits(word, 13, 10)));
    e.address(10, pred_offset(bits(word, 8, 5)));
    e.put(ldrb_w(11, 9, 0));
    e.put(ldrb_w(12, 9, kVecBytes - 1));
    e.put(and_w(11, 11, 12));
    *fallback = e.forward(kTbzW0 | 11u);
    e.put(ldrb_w(12, 10, 0));
    e.put(ldrb_w(13, 10, kVecBytes - 1));
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        e.put(ld1_4(0, 9));
        e.put(ld1_4(4, 10));
        for (unsigned j = 0; j < 4; ++j) e.put(and_v(j, j, 4 + j));
        if (k == 0) {
            e.put(orr_v(16, 0, 1));
            e.put(orr_v(17, 2, 3));
        } else {
            e.put(orr_v(0, 0, 1));
            e.put(orr_v(2, 2, 3));
            e.put(orr_v(16, 16, 0));
            e.put(orr_v(17, 17, 2));
        }
    }
    any_to_z(e, 16, 17, 11);
    e.put(eor_w_1(13, 13));  // C
    e.put(orr_w_lsl(14, 31, 13, 1));
    e.put(orr_w_lsl(14, 14, 11, 2));
    e.put(orr_w_lsl(14, 14, 12, 3));
    e.store_flag_bits(14);
}

// X11 = the elements of size 1 << LG true in the predicate at offset P of the
// register file, and in the one at offset G when G is not 0: the bytes (0
// or 1) added into the lanes of V16 and V17, at most 8 in each.
void count_true(emitter &e, unsigned lg, unsigned p, unsigned g) {
    e.address(10, p);
    if (g != 0) e.address(9, g);
    if (lg != 0) e.load_constant(kLdrLiteralQ, 24, kPredicatePrefixes.b[lg], 16);
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        e.put(ld1_4(0, 10));
        if (g != 0) {
            e.put(ld1_4(4, 9));
            for (unsigned j = 0; j < 4; ++j) e.put(and_v(j, j, 4 + j));
        }
        if (lg != 0)
            for (unsigned j = 0; j < 4; ++j) e.put(and_v(j, j, 24));
        if (k == 0) {
            e.put(add_v(16, 0, 1));
            e.put(add_v(17, 2, 3));
        } else {
            for (unsigned j = 0; j < 4; ++j) e.put(add_v(16 + j % 2, 16 + j % 2, j));
        }
    }
    // Those 32 lanes as 8 (at most 32 each), then as 4 of 16 bits, then
    // their sum (at most 256).
    e.put(umov_d(11, 16, 0));
    e.put(umov_d(12, 16, 1));
    e.put(add_x(11, 11, 12));
    e.put(umov_d(12, 17, 0));
    e.put(umov_d(13, 17, 1));
    e.put(add_x(12, 12, 13));
    e.put(add_x(11, 11, 12));
    e.put(lsr_x(12, 11, 8));
    e.put(and_x_byte_pairs(11, 11));
    e.put(and_x_byte_pairs(12, 12));
    e.put(add_x(11, 11, 12));
    e.put(add_x_lsr(11, 11, 11, 16));
    e.put(add_x_lsr(11, 11, 11, 32));
    e.put(and_x_ffff(11, 11));
}

// CNTP Xd, Pg, Pn.T.
void cntp(emitter &e, uint32_t word) {
    const unsigned rd = bits(word, 4, 0);
    if (rd == 31) return;
    count_true(e, bits(word, 23, 22), pred_offset(bits(word, 8, 5)), pred_offset(bits(word, 13, 10)));
    e.put(str_x(11, kSt, 8 * rd));
}

// INCP/DECP Xdn, Pm.T.
void incp(emitter &e, uint32_t word) {
    const unsigned rdn = bits(word, 4, 0);
    if (rdn == 31) return;
    count_true(e, bits(word, 23, 22), pred_offset(bits(word, 8, 5)), 0);
    e.put(ldr_x(12, kSt, 8 * rdn));
    e.put(bits(word, 16, 16) != 0 ? sub_x(12, 12, 11) : add_x(12, 12, 11));
    e.put(str_x(12, kSt, 8 * rdn));
}

// WHILELT/WHILELO Pd.T, Rn, Rm: the first min(n, Rm - Rn) of the n elements
// true when Rn is below Rm (signed or not), none otherwise; the flags those of
// PTEST under an all-true predicate.
void while_lower(emitter &e, uint32_t word) {
    const unsigned lg = bits(word, 23, 22), n = kVecBytes >> lg;
    const bool x = bits(word, 12, 12) != 0, is_unsigned = bits(word, 11, 11) != 0;
    load_operand(e, 9, bits(word, 9, 5), x, !is_unsigned);
    load_operand(e, 10, bits(word, 20, 16), x, !is_unsigned);
    e.put(subs_x(11, 10, 9));
    e.put(csel_x(11, 11, 31, is_unsigned ? kHi : kGt));
    e.put(movz_x(12, n));
    e.put(cmp_x(11, 12));
    e.put(csel_x(11, 11, 12, kLo));
    e.put(movz_w(14, 0xa));  // some, not all: N, C
    e.put(movz_w(13, 0x8));  // all: N
    e.put(csel_w(14, 14, 13, kLo));
    e.put(movz_w(13, 0x6));  // none: Z, C
    e.put(cmp_x_imm(11, 0));
    e.put(csel_w(14, 13, 14, kEq));
    e.store_flag_bits(14);
    e.load_x(14, reinterpret_cast<uint64_t>(kPredicatePrefixes.b[lg] + kVecBytes));
    e.put(sub_x_lsl(14, 14, 11, lg));
    write_predicate_from_x14(e, bits(word, 3, 0));
}

// X11 = the first byte true in the predicate at X9 (and in the one at X10
// when BOTH), a word at a time, plus AFTER; NONE when there is none.
void first_true_byte(emitter &e, bool both, unsigned none, unsigned after) {
    e.put(movz_x(11, 0));
    uint32_t *const loop = e.code;
    e.put(ldr_x_reg(12, 9, 11));
    if (both) {
        e.put(ldr_x_reg(13, 10, 11));
        e.put(and_x(12, 12, 13));
    }
    uint32_t *const found = e.forward(kCbnz | 12u);
    e.put(add_x_imm(11, 11, 8));
    e.put(cmp_x_imm(11, kVecBytes));
    uint32_t *const back = e.forward(kBCond | kNe);
    if (e.ok) patch(back, loop);
    if (none != kVecBytes) e.put(movz_x(11, none));
    uint32_t *const out = e.forward(kB);
    e.land(found);
    e.put(rbit_x(12, 12));
    e.put(clz_x(12, 12));
    e.put(add_x_lsr(11, 11, 12, 3));
    if (after != 0) e.put(add_x_imm(11, 11, after));
    e.land(out);
}

// BRKA/BRKB Pd.B, Pg/Z, Pn.B: Pg's bytes before the first byte true in both
// (BRKB), or up to and with it (BRKA), the rest false.
void brk(emitter &e, uint32_t word) {
    const unsigned g = pred_offset(bits(word, 13, 10));
    e.address(9, g);
    e.address(10, pred_offset(bits(word, 8, 5)));
    first_true_byte(e, true, kVecBytes, bits(word, 23, 23) == 0 ? 1 : 0);  // BRKA: up to and with it
    e.load_x(14, reinterpret_cast<uint64_t>(kPredicatePrefixes.b[0] + kVecBytes));
    e.put(sub_x(14, 14, 11));
    write_predicate_from_x14(e, bits(word, 3, 0), g);
}

// The conditions of the byte compares, as a NEON compare of Zn's bytes (A)
// with the operand's (B), the operands swapped where SWAP, the result
// inverted where INVERT.
struct byte_condition {
    uint32_t opcode;
    bool swap, invert;
};
constexpr byte_condition kEqual{kCmeqV, false, false}, kNotEqual{kCmeqV, false, true},
    kGreaterEqual{kCmgeV, false, false}, kGreater{kCmgtV, false, false}, kLess{kCmgtV, true, false},
    kLessEqual{kCmgeV, true, false}, kHigherSame{kCmhsV, false, false}, kHigher{kCmhiV, false, false},
    kLower{kCmhiV, true, false}, kLowerSame{kCmhsV, true, false};

// X11 = the first byte of the predicate at X9 that is true, X14 the last, both
// 0 when none is: its ends as a loop's predicates have them, looked at first.
void predicate_ends(emitter &e) {
    e.put(movz_x(11, 0));
    e.put(ldrb_w(12, 9, 0));
    uint32_t *const first_at_0 = e.forward(kTbnzW0 | 12u);
    first_true_byte(e, false, 0, 0);
    e.land(first_at_0);

    // The last: 64 bytes at a time from the end, then a word at a time (in
    // general registers: under a translator, a reduction across a vector's
    // lanes costs several times as much).
    e.put(movz_x(14, kVecBytes - 1));
    e.put(ldrb_w(12, 9, kVecBytes - 1));
    uint32_t *const last_at_end = e.forward(kTbnzW0 | 12u);
    uint32_t *chunk_found[3];
    for (unsigned c = 3; c >= 1; --c) {
        e.put(ldp_x(12, 13, 9, 64 * c));
        e.put(ldp_x(15, 16, 9, 64 * c + 16));
        e.put(orr_x(12, 12, 13));
        e.put(orr_x(15, 15, 16));
        e.put(ldp_x(13, 16, 9, 64 * c + 32));
        e.put(orr_x(12, 12, 15));
        e.put(orr_x(12, 12, 13));
        e.put(ldp_x(13, 15, 9, 64 * c + 48));
        e.put(orr_x(12, 12, 16));
        e.put(orr_x(13, 13, 15));
        e.put(orr_x(12, 12, 13));
        e.put(movz_x(14, 64 * c + 56));
        chunk_found[c - 1] = e.forward(kCbnz | 12u);
    }
    e.put(movz_x(14, 56));
    for (uint32_t *b : chunk_found) e.land(b);
    uint32_t *const word_loop = e.code;
    e.put(ldr_x_reg(12, 9, 14));
    uint32_t *const last_found = e.forward(kCbnz | 12u);
    e.put(subs_x_imm(14, 14, 8));
    uint32_t *const word_back = e.forward(kBCond | kPl);
    if (e.ok) patch(word_back, word_loop);
    e.put(movz_x(14, 0));
    uint32_t *const last_none = e.forward(kB);
    e.land(last_found);
    e.put(clz_x(12, 12));
    e.put(sub_x_lsr(14, 14, 12, 3));
    e.put(add_x_imm(14, 14, 7));
    e.land(last_at_end);
    e.land(last_none);
}

// CMP<cc> Pd.B, Pg/Z, Zn.B, with Zm.B (ZM below 32) or an immediate byte:
// Pd = Pg AND the condition, byte by byte, and the flags those of PTEST
// under Pg: N from Pd at Pg's first true byte, C from Pd at its last (found
// before Pd, which may be Pg, is written), Z whether Pd has none true.
void compare_bytes(emitter &e, uint32_t word, byte_condition cond, unsigned zm, unsigned imm) {
    const unsigned pd = bits(word, 3, 0), pg = bits(word, 12, 10), zn = bits(word, 9, 5);
    e.address(9, pred_offset(pg));
    predicate_ends(e);
    e.address(10, offsetof(cpu_state, z) + kVecBytes * zn);
    e.address(13, pred_offset(pd));
    if (zm < 32) {
        e.address(12, offsetof(cpu_state, z) + kVecBytes * zm);
    } else {
        e.put(movz_w(12, imm));
        e.put(dup_v_w(20, 12));
    }
    e.put(movi_v_0(24));
    e.put(movi_v_0(25));
    // 64 bytes at a time; those wholly before Pg's first true byte or after
    // its last (a loop's last compare, a short string's every one) are
    // cleared instead.
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        uint32_t *outside[2];
        unsigned tests = 0;
        if (k > 0) {
            e.put(cmp_x_imm(14, k));
            outside[tests++] = e.forward(kBCond | kLo);
        }
        if (k + 64 < kVecBytes) {
            e.put(cmp_x_imm(11, k + 63));
            outside[tests++] = e.forward(kBCond | kHi);
        }
        e.put(ld1_4(0, 10));
        e.put(ld1_4(16, 9));  // Pg, whose ends are known by now
        if (zm < 32) e.put(ld1_4(4, 12));
        for (unsigned j = 0; j < 4; ++j) {
            const unsigned b = zm < 32 ? 4 + j : 20;
            e.put(cond.opcode | (cond.swap ? j : b) << 16 | (cond.swap ? b : j) << 5 | j);
        }
        for (unsigned j = 0; j < 4; ++j) e.put(cond.invert ? bic_v(j, 16 + j, j) : and_v(j, 16 + j, j));
        e.put(st1_4(0, 13));
        e.put(orr_v(0, 0, 1));
        e.put(orr_v(2, 2, 3));
        e.put(orr_v(24, 24, 0));
        e.put(orr_v(25, 25, 2));
        uint32_t *const done = e.forward(kB);
        for (unsigned t = 0; t < tests; ++t) e.land(outside[t]);
        for (unsigned off = 0; off < 64; off += 16) e.put(stp_x(31, 31, 13, off));
        e.put(add_x_imm(13, 13, 64));
        e.put(add_x_imm(10, 10, 64));
        e.put(add_x_imm(9, 9, 64));
        if (zm < 32) e.put(add_x_imm(12, 12, 64));
        e.land(done);
    }
    any_to_z(e, 24, 25, 15);
    e.address(13, pred_offset(pd));
    e.put(ldrb_w_reg(12, 13, 11));  // N
    e.put(ldrb_w_reg(14, 13, 14));
    e.put(eor_w_1(14, 14));  // C
    e.put(orr_w_lsl(10, 31, 14, 1));
    e.put(orr_w_lsl(10, 10, 15, 2));
    e.put(orr_w_lsl(10, 10, 12, 3));
    e.store_flag_bits(10);
}

// The byte compares' words: CMP<cc> Pd.B, Pg/Z, Zn.B with a signed or an
// unsigned immediate or with Zm.B (not the wide forms).
bool byte_compare(emitter &e, uint32_t word) {
    const bool ne = bits(word, 4, 4) != 0;
    if ((word & 0xffe00000u) == 0x24200000u) {  // unsigned immediate
        const bool lt = bits(word, 13, 13) != 0;
        compare_bytes(e, word, lt ? (ne ? kLowerSame : kLower) : (ne ? kHigher : kHigherSame), 32, bits(word, 20, 14));
        return true;
    }
    const uint32_t kind = word & 0xffe0e000u;
    const unsigned imm = ((bits(word, 20, 16) ^ 16u) - 16u) & 0xffu;  // sign-extended from 5 bits
    switch (kind) {
        case 0x25000000u: compare_bytes(e, word, ne ? kGreater : kGreaterEqual, 32, imm); return true;
        case 0x25002000u: compare_bytes(e, word, ne ? kLessEqual : kLess, 32, imm); return true;
        case 0x25008000u: compare_bytes(e, word, ne ? kNotEqual : kEqual, 32, imm); return true;
        case 0x24000000u: compare_bytes(e, word, ne ? kHigher : kHigherSame, bits(word, 20, 16), 0); return true;
        case 0x24008000u: compare_bytes(e, word, ne ? kGreater : kGreaterEqual, bits(word, 20, 16), 0); return true;
        case 0x2400a000u: compare_bytes(e, word, ne ? kNotEqual : kEqual, bits(word, 20, 16), 0); return true;
        default: return false;
    }
}

// Xt = V.
void load_value(emitter &e, unsigned t, uint64_t v) {
    if (v < 0x10000)
        e.put(movz_x(t, static_cast<unsigned>(v)));
    else
        e.load_x(t, v);
}

// The vector-length arithmetic of a loop's counters, whose amounts are
// known when the plan is compiled: INC/DEC{B,H,W,D} Xdn and CNT{B,H,W,D} Xd
// (a pattern's elements times a multiplier), RDVL Xd, and ADDVL/ADDPL Xd, Xn
// (not SP, which the handler keeps). Register 31 of INC, DEC, CNT and RDVL is
// the zero register: nothing is written.
bool vector_length(emitter &e, uint32_t word) {
    const unsigned rd = bits(word, 4, 0);
    const auto pattern_amount = [&] {
        const int elements = static_cast<int>(kVecBytes >> bits(word, 23, 22));
        return uint64_t{VecTrueILength(bits(word, 9, 5), elements)} * (bits(word, 19, 16) + 1);
    };
    const uint64_t imm6 = static_cast<uint64_t>(static_cast<int64_t>(bits(word, 10, 5) ^ 32u) - 32);
    if ((word & 0xff30f800u) == 0x0430e000u) {  // INC, DEC
        if (rd == 31) return true;
        e.put(ldr_x(12, kSt, 8 * rd));
        load_value(e, 13, pattern_amount());
        e.put(bits(word, 10, 10) != 0 ? sub_x(12, 12, 13) : add_x(12, 12, 13));
    } else if ((word & 0xff30fc00u) == 0x0420e000u) {  // CNT
        if (rd == 31) return true;
        load_value(e, 12, pattern_amount());
    } else if ((word & 0xfffff800u) == 0x04bf5000u) {  // RDVL
        if (rd == 31) return true;
        e.load_x(12, imm6 * kVecBytes);
    } else if ((word & 0xffa0f800u) == 0x04205000u) {  // ADDVL, ADDPL
        const unsigned rn = bits(word, 20, 16);
        if (rd == 31 || rn == 31) return false;
        e.put(ldr_x(12, kSt, 8 * rn));
        e.load_x(13, imm6 * (bits(word, 22, 22) != 0 ? kVecBytes / 8 : kVecBytes));
        e.put(add_x(12, 12, 13));
    } else {
        return false;
    }
    e.put(str_x(12, kSt, 8 * rd));
    return true;
}

}  // namespace

bool emit_sve_form(emitter &e, uint32_t word, uint32_t **fallback) {
    *fallback = nullptr;
    if ((word & 0xfffffe10u) == 0x2518f000u)
        rdffr(e, word, true);
    else if ((word & 0xfffffff0u) == 0x2519f000u)
        rdffr(e, word, false);
    else if ((word & 0xffffc21fu) == 0x2550c000u)
        ptest(e, word, fallback);
    else if ((word & 0xff3fc200u) == 0x25208000u)
        cntp(e, word);
    else if ((word & 0xff3efe00u) == 0x252c8800u)
        incp(e, word);
    else if ((word & 0xff20e410u) == 0x25200400u)  // WHILELT, WHILELO: lt 1, eq 0
        while_lower(e, word);
    else if ((word & 0xff7fc210u) == 0x25104000u)  // BRKA, BRKB, zeroing, flags not set
        brk(e, word);
    else
        return byte_compare(e, word) || vector_length(e, word);
    return true;
}
