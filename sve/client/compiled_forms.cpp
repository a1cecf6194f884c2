#include "sve/client/compiled_forms.h"

#include "sve/client/a64_emitter.h"
#include "sve/kernels/loop_predicates.h"

namespace {

using namespace a64_emit;

constexpr unsigned field(uint32_t w, unsigned hi, unsigned lo) { return (w >> lo) & ((2u << (hi - lo)) - 1); }
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

// RDFFR Pd.B, Pg/Z: Pd = FFR AND Pg. RDFFR Pd.B: Pd = FFR.
void rdffr(emitter &e, uint32_t word, bool predicated) {
    e.address(14, kFfrOffset);
    write_predicate_from_x14(e, field(word, 3, 0), predicated ? pred_offset(field(word, 8, 5)) : 0);
}

// PTEST Pg, Pn.B where Pg's first and last bytes are true: N is Pn's first
// byte, Z whether no byte is true in both, C the inverse of Pn's last byte.
void ptest(emitter &e, uint32_t word, uint32_t **fallback) {
    e.address(9, pred_offset(field(word, 13, 10)));
    e.address(10, pred_offset(field(word, 8, 5)));
    e.put(ldrb_w(11, 9, 0));
    e.put(ldrb_w(12, 9, kVecBytes - 1));
    e.put(0x0a000000u | 12u << 16 | 11u << 5 | 11u);  // and w11, w11, w12
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
    e.put(orr_v(16, 16, 17));
    e.put(umaxv_b(16, 16));
    e.put(umov_b0(11, 16));
    e.put(eor_w_1(11, 11));  // Z
    e.put(eor_w_1(13, 13));  // C
    e.put(orr_w_lsl(14, 31, 13, 1));
    e.put(orr_w_lsl(14, 14, 11, 2));
    e.put(orr_w_lsl(14, 14, 12, 3));
    e.store_flag_bits(14);
}

// X11 = the elements of size 1 << LG true in the predicate at offset P of the
// register file, and in the one at offset G when G is not 0: each byte lane
// adds at most 16 bytes of 0 or 1.
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
    e.put(add_v(16, 16, 17));
    e.put(uaddlv_h(16, 16));
    e.put(umov_h0(11, 16));
}

// CNTP Xd, Pg, Pn.T.
void cntp(emitter &e, uint32_t word) {
    const unsigned rd = field(word, 4, 0);
    if (rd == 31) return;
    count_true(e, field(word, 23, 22), pred_offset(field(word, 8, 5)), pred_offset(field(word, 13, 10)));
    e.put(str_x(11, kSt, 8 * rd));
}

// INCP/DECP Xdn, Pm.T.
void incp(emitter &e, uint32_t word) {
    const unsigned rdn = field(word, 4, 0);
    if (rdn == 31) return;
    count_true(e, field(word, 23, 22), pred_offset(field(word, 8, 5)), 0);
    e.put(ldr_x(12, kSt, 8 * rdn));
    e.put(field(word, 16, 16) != 0 ? sub_x(12, 12, 11) : add_x(12, 12, 11));
    e.put(str_x(12, kSt, 8 * rdn));
}

// WHILELT/WHILELO Pd.T, Rn, Rm: the first min(n, Rm - Rn) of the n elements
// true when Rn is below Rm (signed or not), none otherwise; the flags those of
// PTEST under an all-true predicate.
void while_lower(emitter &e, uint32_t word) {
    const unsigned lg = field(word, 23, 22), n = kVecBytes >> lg;
    const bool x = field(word, 12, 12) != 0, is_unsigned = field(word, 11, 11) != 0;
    load_operand(e, 9, field(word, 9, 5), x, !is_unsigned);
    load_operand(e, 10, field(word, 20, 16), x, !is_unsigned);
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
    write_predicate_from_x14(e, field(word, 3, 0));
}

// BRKA/BRKB Pd.B, Pg/Z, Pn.B: Pg's bytes before the first byte true in both
// (BRKB), or up to and with it (BRKA), the rest false.
void brk(emitter &e, uint32_t word) {
    const unsigned g = pred_offset(field(word, 13, 10));
    e.address(9, g);
    e.address(10, pred_offset(field(word, 8, 5)));
    e.put(movz_x(11, 0));
    uint32_t *const loop = e.code;
    e.put(ldr_x_reg(12, 9, 11));
    e.put(ldr_x_reg(13, 10, 11));
    e.put(and_x(12, 12, 13));
    uint32_t *const found = e.forward(kCbnz | 12u);
    e.put(add_x_imm(11, 11, 8));
    e.put(cmp_x_imm(11, kVecBytes));
    uint32_t *const back = e.forward(kBCond | kNe);
    if (e.ok) patch(back, loop);
    uint32_t *const none = e.forward(kB);
    e.land(found);
    e.put(rbit_x(12, 12));
    e.put(clz_x(12, 12));
    e.put(add_x_lsr(11, 11, 12, 3));
    if (field(word, 23, 23) == 0) e.put(add_x_imm(11, 11, 1));  // BRKA
    e.land(none);
    e.load_x(14, reinterpret_cast<uint64_t>(kPredicatePrefixes.b[0] + kVecBytes));
    e.put(sub_x(14, 14, 11));
    write_predicate_from_x14(e, field(word, 3, 0), g);
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
        return false;
    return true;
}
