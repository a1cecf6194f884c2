// The scalar A64 instructions that join SVE runs into loops: branches,
// integer arithmetic, logic, moves, shifts, compares and selects on the general
// registers. None reads or writes memory, the vector or FP registers, or can
// fault, so a host may execute them on the emulated register file and carry on
// with the next SVE word without going back to native code.
//
// Branches through a register are limited to RET: BR and BLR set the branch
// type that a guarded page checks at the target, which native execution must
// see.
#pragma once

#include <cstdint>

#include "sve/state/cpu_state.h"


// Whether WORD is one of these instructions and not a branch: execution always
// goes on with the next word.
bool a64_scalar_straight(uint32_t word);

// The condition COND (0-15, as in B.cond) on the NZCV image (N bit 31, Z 30,
// C 29, V 28).
constexpr bool a64_condition_of_flags(unsigned cond, unsigned flags) {
    const bool n = (flags >> 3) & 1, z = (flags >> 2) & 1, c = (flags >> 1) & 1, v = flags & 1;
    bool r;
    switch (cond >> 1) {
        case 0: r = z; break;
        case 1: r = c; break;
        case 2: r = n; break;
        case 3: r = v; break;
        case 4: r = c && !z; break;
        case 5: r = n == v; break;
        case 6: r = n == v && !z; break;
        default: r = true; break;
    }
    return (cond & 1) != 0 && cond != 15 ? !r : r;
}

// For each condition, the NZCV values (bit N*8+Z*4+C*2+V) for which it holds.
struct a64_condition_table {
    uint16_t holds[16];
    constexpr a64_condition_table() : holds{} {
        for (unsigned cond = 0; cond < 16; ++cond)
            for (unsigned flags = 0; flags < 16; ++flags)
                if (a64_condition_of_flags(cond, flags)) holds[cond] |= static_cast<uint16_t>(1u << flags);
    }
};
// (Hidden: read PC-relative rather than through the global offset table.)
[[gnu::visibility("hidden")]] inline constexpr a64_condition_table kA64Conditions{};

[[gnu::always_inline]] inline bool a64_condition_holds(unsigned cond, uint64_t nzcv) {
    return (kA64Conditions.holds[cond & 15] >> ((nzcv >> 28) & 15)) & 1;
}

// The subset, inline: a host that steps through a loop keeps the register file
// in registers and the next PC out of memory.
namespace a64_scalar_detail {

constexpr uint32_t bits(uint32_t w, unsigned hi, unsigned lo) { return (w >> lo) & ((1u << (hi - lo + 1)) - 1); }
constexpr int64_t sign_extend(uint64_t v, unsigned width) {
    return static_cast<int64_t>(v << (64 - width)) >> (64 - width);
}

constexpr uint64_t kFlagsMask = 0xf0000000ull;

// Register 31 reads as zero or as SP, as the encoding says; a 32-bit result
// clears the upper half of the destination.
template <typename S>
inline uint64_t read_zr(const S &s, unsigned n) { return n == 31 ? 0 : s.x[n]; }
template <typename S>
inline uint64_t read_sp(const S &s, unsigned n) { return n == 31 ? s.sp : s.x[n]; }
template <typename S>
inline void write_zr(S &s, unsigned n, uint64_t v, bool sf) {
    if (n != 31) s.x[n] = sf ? v : static_cast<uint32_t>(v);
}
template <typename S>
inline void write_sp(S &s, unsigned n, uint64_t v, bool sf) {
    if (!sf) v = static_cast<uint32_t>(v);
    if (n == 31)
        s.sp = v;
    else
        s.x[n] = v;
}
template <typename S>
inline void set_flags(S &s, uint64_t nzcv) { s.nzcv = (s.nzcv & ~kFlagsMask) | nzcv; }

inline uint64_t flags_nz(uint64_t result, bool sf) {
    const unsigned top = sf ? 63 : 31;
    const uint64_t r = sf ? result : static_cast<uint32_t>(result);
    return ((r >> top) & 1) << 31 | static_cast<uint64_t>(r == 0) << 30;
}

// x + y + carry at the operation's width; *NZCV gets the flags image.
[[gnu::always_inline]] inline uint64_t add_with_carry(uint64_t x, uint64_t y, unsigned carry, bool sf, uint64_t *nzcv) {
#if defined(__aarch64__)
    // The processor's own ADCS, with C set to the carry in.
    uint64_t result, flags;
    if (sf)
        __asm__("msr nzcv, %2\n\tadcs %0, %3, %4\n\tmrs %1, nzcv"
                : "=&r"(result), "=r"(flags)
                : "r"(static_cast<uint64_t>(carry) << 29), "r"(x), "r"(y)
                : "cc");
    else
        __asm__("msr nzcv, %2\n\tadcs %w0, %w3, %w4\n\tmrs %1, nzcv"
                : "=&r"(result), "=r"(flags)
                : "r"(static_cast<uint64_t>(carry) << 29), "r"(x), "r"(y)
                : "cc");
    *nzcv = flags & kFlagsMask;
    return result;
#else
    uint64_t result, c, v;
    if (sf) {
        const unsigned __int128 sum = static_cast<unsigned __int128>(x) + y + carry;
        result = static_cast<uint64_t>(sum);
        c = static_cast<uint64_t>(sum >> 64) & 1;
        v = ((~(x ^ y) & (x ^ result)) >> 63) & 1;
    } else {
        const uint32_t a = static_cast<uint32_t>(x), b = static_cast<uint32_t>(y);
        const uint64_t sum = static_cast<uint64_t>(a) + b + carry;
        result = static_cast<uint32_t>(sum);
        c = (sum >> 32) & 1;
        v = ((~(a ^ b) & (a ^ static_cast<uint32_t>(result))) >> 31) & 1;
    }
    *nzcv = flags_nz(result, sf) | c << 29 | v << 28;
    return result;
#endif
}

// ADD, ADDS, SUB, SUBS (immediate), the word's bits 28-23 being 0b100010.
template <typename S>
[[gnu::always_inline]] inline void add_sub_immediate(S &s, uint32_t w) {
    const bool sf = (w >> 31) != 0;
    const unsigned rd = bits(w, 4, 0), rn = bits(w, 9, 5);
    const bool sub = bits(w, 30, 30) != 0, setflags = bits(w, 29, 29) != 0;
    const uint64_t imm = static_cast<uint64_t>(bits(w, 21, 10)) << (bits(w, 22, 22) * 12);
    uint64_t nzcv;
    const uint64_t r = add_with_carry(read_sp(s, rn), sub ? ~imm : imm, sub ? 1 : 0, sf, &nzcv);
    if (setflags) {
        write_zr(s, rd, r, sf);
        set_flags(s, nzcv);
    } else {
        write_sp(s, rd, r, sf);
    }
}

// The target of a branch whose target is in the word (B, BL, B.cond, CBZ,
// CBNZ, TBZ, TBNZ) at PC, when it is taken; 0 for every other word.
[[gnu::always_inline]] inline uint64_t direct_branch_target(uint32_t w, uint64_t pc) {
    if ((w & 0x7c000000u) == 0x14000000u) return pc + static_cast<uint64_t>(sign_extend(bits(w, 25, 0), 26) * 4);
    if ((w & 0xff000010u) == 0x54000000u || (w & 0x7e000000u) == 0x34000000u)
        return pc + static_cast<uint64_t>(sign_extend(bits(w, 23, 5), 19) * 4);
    if ((w & 0x7e000000u) == 0x36000000u) return pc + static_cast<uint64_t>(sign_extend(bits(w, 18, 5), 14) * 4);
    return 0;
}

// B.cond's next PC.
template <typename S>
[[gnu::always_inline]] inline uint64_t conditional_branch(const S &s, uint32_t w, uint64_t pc) {
    return a64_condition_holds(bits(w, 3, 0), s.nzcv) ? direct_branch_target(w, pc) : pc + 4;
}

template <typename S>
[[gnu::always_inline]] inline bool branches(S &s, uint32_t w, uint64_t pc, uint64_t *next) {
    if ((w & 0x7c000000u) == 0x14000000u) {  // B, BL
        if ((w >> 31) != 0) s.x[30] = pc + 4;
        *next = direct_branch_target(w, pc);
        return true;
    }
    if ((w & 0xff000010u) == 0x54000000u) {  // B.cond
        *next = conditional_branch(s, w, pc);
        return true;
    }
    if ((w & 0x7e000000u) == 0x34000000u) {  // CBZ, CBNZ
        const bool sf = (w >> 31) != 0;
        uint64_t v = read_zr(s, bits(w, 4, 0));
        if (!sf) v = static_cast<uint32_t>(v);
        const bool taken = (v == 0) == (bits(w, 24, 24) == 0);
        *next = taken ? direct_branch_target(w, pc) : pc + 4;
        return true;
    }
    if ((w & 0x7e000000u) == 0x36000000u) {  // TBZ, TBNZ
        const unsigned bit = bits(w, 31, 31) << 5 | bits(w, 23, 19);
        const bool set = ((read_zr(s, bits(w, 4, 0)) >> bit) & 1) != 0;
        const bool taken = set == (bits(w, 24, 24) != 0);
        *next = taken ? direct_branch_target(w, pc) : pc + 4;
        return true;
    }
    if ((w & 0xfffffc1fu) == 0xd65f0000u) {  // RET
        *next = read_zr(s, bits(w, 9, 5));
        return true;
    }
    return false;
}



constexpr uint64_t ones(unsigned n) { return n >= 64 ? ~0ull : (1ull << n) - 1; }

// Shift types 0-3: LSL, LSR, ASR, ROR; AMOUNT below the width.
inline uint64_t shift_reg(uint64_t v, unsigned type, unsigned amount, bool sf) {
    const unsigned width = sf ? 64 : 32;
    if (!sf) v = static_cast<uint32_t>(v);
    if (amount == 0) return v;
    uint64_t r;
    switch (type) {
        case 0: r = v << amount; break;
        case 1: r = v >> amount; break;
        case 2: r = static_cast<uint64_t>(sign_extend(v, width) >> amount); break;
        default: r = (v >> amount) | (v << (width - amount)); break;
    }
    return sf ? r : static_cast<uint32_t>(r);
}

// UXTB ... SXTX of V, then shifted left by SHIFT.
inline uint64_t extend_reg(uint64_t v, unsigned option, unsigned shift) {
    const unsigned size = 8u << (option & 3);
    const uint64_t low = v & ones(size);
    const uint64_t ext = (option & 4) != 0 ? static_cast<uint64_t>(sign_extend(low, size)) : low;
    return ext << shift;
}

// The bitmask immediate of logical instructions; false for a reserved pattern.
inline bool decode_bit_masks(unsigned n, unsigned imms, unsigned immr, bool sf, uint64_t *mask) {
    const unsigned combined = n << 6 | (~imms & 0x3f);
    if (combined == 0) return false;
    unsigned len = 31 - static_cast<unsigned>(__builtin_clz(combined));
    if (len < 1) return false;
    const unsigned levels = (1u << len) - 1;
    if ((imms & levels) == levels) return false;
    const unsigned esize = 1u << len;
    if (esize > (sf ? 64u : 32u)) return false;
    const unsigned s = imms & levels, r = immr & levels;
    uint64_t elem = ones(s + 1);
    if (r != 0) elem = ((elem >> r) | (elem << (esize - r))) & ones(esize);
    uint64_t m = 0;
    for (unsigned i = 0; i < 64; i += esize) m |= elem << i;
    *mask = sf ? m : static_cast<uint32_t>(m);
    return true;
}

// SBFM (opc 0), BFM (1), UBFM (2) of SRC into DST.
inline uint64_t bitfield_move(unsigned opc, uint64_t dst, uint64_t src, unsigned immr, unsigned imms, bool sf) {
    const unsigned width = sf ? 64 : 32;
    uint64_t field;
    unsigned field_bits, at;
    if (imms >= immr) {
        field_bits = imms - immr + 1;
        field = (src >> immr) & ones(field_bits);
        at = 0;
    } else {
        field_bits = imms + 1;
        field = src & ones(field_bits);
        at = width - immr;
    }
    uint64_t r;
    if (opc == 1) {
        const uint64_t m = ones(field_bits) << at;
        r = (dst & ~m) | (field << at);
    } else {
        if (opc == 0) field = static_cast<uint64_t>(sign_extend(field, field_bits));
        r = field << at;
    }
    return sf ? r : static_cast<uint32_t>(r);
}


// MOVN, MOVZ, MOVK, the word's bits 28-23 being 0b100101.
template <typename S>
[[gnu::always_inline]] inline bool move_wide(S &s, uint32_t w) {
    const bool sf = (w >> 31) != 0;
    const unsigned rd = bits(w, 4, 0);
    const unsigned opc = bits(w, 30, 29), hw = bits(w, 22, 21);
    if (opc == 1 || (!sf && hw >= 2)) return false;
    const unsigned at = hw * 16;
    const uint64_t imm = static_cast<uint64_t>(bits(w, 20, 5)) << at;
    uint64_t r;
    if (opc == 0)
        r = ~imm;
    else if (opc == 2)
        r = imm;
    else
        r = (read_zr(s, rd) & ~(0xffffull << at)) | imm;
    write_zr(s, rd, r, sf);
    return true;
}

// CSEL, CSINC, CSINV, CSNEG, the word's bits 28-21 being 0b11010100.
template <typename S>
[[gnu::always_inline]] inline bool conditional_select(S &s, uint32_t w) {
    const bool sf = (w >> 31) != 0;
    const unsigned rd = bits(w, 4, 0), rn = bits(w, 9, 5), rm = bits(w, 20, 16);
    const unsigned op = bits(w, 30, 30), op2 = bits(w, 11, 10);
    if (bits(w, 29, 29) != 0 || op2 > 1) return false;
    uint64_t r;
    if (a64_condition_holds(bits(w, 15, 12), s.nzcv)) {
        r = read_zr(s, rn);
    } else {
        r = read_zr(s, rm);
        if (op != 0) r = ~r;
        if (op2 != 0) r += 1;
    }
    write_zr(s, rd, r, sf);
    return true;
}

template <typename S>
[[gnu::always_inline]] inline bool immediates(S &s, uint32_t w, uint64_t pc) {
    const bool sf = (w >> 31) != 0;
    const unsigned rd = bits(w, 4, 0), rn = bits(w, 9, 5);
    switch (bits(w, 28, 23)) {
        case 0x20:
        case 0x21: {  // ADR, ADRP
            const int64_t imm = sign_extend(bits(w, 23, 5) << 2 | bits(w, 30, 29), 21);
            const uint64_t v = sf ? (pc & ~0xfffull) + static_cast<uint64_t>(imm * 4096) : pc + static_cast<uint64_t>(imm);
            write_zr(s, rd, v, true);
            return true;
        }
        case 0x22:  // ADD, ADDS, SUB, SUBS (immediate)
            add_sub_immediate(s, w);
            return true;
        case 0x24: {  // AND, ORR, EOR, ANDS (immediate)
            uint64_t mask;
            if (!sf && bits(w, 22, 22) != 0) return false;
            if (!decode_bit_masks(bits(w, 22, 22), bits(w, 15, 10), bits(w, 21, 16), sf, &mask)) return false;
            const uint64_t a = read_zr(s, rn);
            const unsigned opc = bits(w, 30, 29);
            const uint64_t r = opc == 1 ? a | mask : opc == 2 ? a ^ mask : a & mask;
            if (opc == 3) {
                write_zr(s, rd, r, sf);
                set_flags(s, flags_nz(r, sf));
            } else {
                write_sp(s, rd, r, sf);
            }
            return true;
        }
        case 0x25:  // MOVN, MOVZ, MOVK
            return move_wide(s, w);
        case 0x26: {  // SBFM, BFM, UBFM
            const unsigned opc = bits(w, 30, 29), n = bits(w, 22, 22);
            const unsigned immr = bits(w, 21, 16), imms = bits(w, 15, 10);
            if (opc == 3 || n != (sf ? 1u : 0u)) return false;
            if (!sf && (immr >= 32 || imms >= 32)) return false;
            write_zr(s, rd, bitfield_move(opc, read_zr(s, rd), read_zr(s, rn), immr, imms, sf), sf);
            return true;
        }
        default:
            return false;
    }
}

// Logical (shifted register), the word's bits 28-24 being 0b01010.
template <typename S>
[[gnu::always_inline]] inline bool logical_shifted(S &s, uint32_t w) {
    const bool sf = (w >> 31) != 0;
    const unsigned rd = bits(w, 4, 0), rn = bits(w, 9, 5), rm = bits(w, 20, 16);
    const unsigned amount = bits(w, 15, 10);
    if (!sf && amount >= 32) return false;
    uint64_t b = shift_reg(read_zr(s, rm), bits(w, 23, 22), amount, sf);
    if (bits(w, 21, 21) != 0) b = ~b;
    const uint64_t a = read_zr(s, rn);
    const unsigned opc = bits(w, 30, 29);
    const uint64_t r = opc == 1 ? a | b : opc == 2 ? a ^ b : a & b;
    write_zr(s, rd, r, sf);
    if (opc == 3) set_flags(s, flags_nz(r, sf));
    return true;
}

// Add/subtract (shifted or extended register), the word's bits 28-24 being
// 0b01011.
template <typename S>
[[gnu::always_inline]] inline bool add_sub_register(S &s, uint32_t w) {
    const bool sf = (w >> 31) != 0;
    const unsigned rd = bits(w, 4, 0), rn = bits(w, 9, 5), rm = bits(w, 20, 16);
    const unsigned op = bits(w, 30, 30);
    const bool setflags = bits(w, 29, 29) != 0;
    uint64_t a, b;
    if (bits(w, 21, 21) == 0) {
        const unsigned type = bits(w, 23, 22), amount = bits(w, 15, 10);
        if (type == 3 || (!sf && amount >= 32)) return false;
        a = read_zr(s, rn);
        b = shift_reg(read_zr(s, rm), type, amount, sf);
    } else {
        const unsigned shift = bits(w, 12, 10);
        if (bits(w, 23, 22) != 0 || shift > 4) return false;
        a = read_sp(s, rn);
        b = extend_reg(read_zr(s, rm), bits(w, 15, 13), shift);
    }
    uint64_t nzcv;
    const uint64_t r = add_with_carry(a, op != 0 ? ~b : b, op, sf, &nzcv);
    if (setflags) set_flags(s, nzcv);
    if (bits(w, 21, 21) != 0 && !setflags)
        write_sp(s, rd, r, sf);
    else
        write_zr(s, rd, r, sf);
    return true;
}

template <typename S>
[[gnu::always_inline]] inline bool registers(S &s, uint32_t w) {
    const bool sf = (w >> 31) != 0;
    const unsigned rd = bits(w, 4, 0), rn = bits(w, 9, 5), rm = bits(w, 20, 16);
    const unsigned op = bits(w, 30, 30);
    const bool setflags = bits(w, 29, 29) != 0;
    if (bits(w, 28, 24) == 0x0a) return logical_shifted(s, w);
    if (bits(w, 28, 24) == 0x0b) return add_sub_register(s, w);
    if (bits(w, 28, 24) == 0x1b) {  // multiply-add
        const unsigned op31 = bits(w, 23, 21), o0 = bits(w, 15, 15), ra = bits(w, 14, 10);
        if (bits(w, 30, 29) != 0) return false;
        const uint64_t a = read_zr(s, rn), b = read_zr(s, rm), acc = read_zr(s, ra);
        uint64_t r;
        if (op31 == 0) {
            r = o0 != 0 ? acc - a * b : acc + a * b;
        } else if (!sf) {
            return false;
        } else if (op31 == 1 || op31 == 5) {  // SMADDL, SMSUBL, UMADDL, UMSUBL
            const uint64_t p = op31 == 1 ? static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(a)) *
                                                                  static_cast<int32_t>(b))
                                         : static_cast<uint64_t>(static_cast<uint32_t>(a)) * static_cast<uint32_t>(b);
            r = o0 != 0 ? acc - p : acc + p;
        } else if ((op31 == 2 || op31 == 6) && o0 == 0 && ra == 31) {  // SMULH, UMULH
            r = op31 == 2 ? static_cast<uint64_t>((static_cast<__int128>(static_cast<int64_t>(a)) *
                                                    static_cast<int64_t>(b)) >> 64)
                          : static_cast<uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64);
        } else {
            return false;
        }
        write_zr(s, rd, r, sf);
        return true;
    }
    if (bits(w, 28, 21) == 0xd0) {  // ADC, ADCS, SBC, SBCS
        if (bits(w, 15, 10) != 0) return false;
        uint64_t nzcv;
        const uint64_t b = read_zr(s, rm);
        const uint64_t r = add_with_carry(read_zr(s, rn), op != 0 ? ~b : b, (s.nzcv >> 29) & 1, sf, &nzcv);
        write_zr(s, rd, r, sf);
        if (setflags) set_flags(s, nzcv);
        return true;
    }
    if (bits(w, 28, 21) == 0xd2) {  // CCMN, CCMP (register or immediate)
        if (!setflags || bits(w, 10, 10) != 0 || bits(w, 4, 4) != 0) return false;
        if (a64_condition_holds(bits(w, 15, 12), s.nzcv)) {
            const uint64_t b = bits(w, 11, 11) != 0 ? rm : read_zr(s, rm);
            uint64_t nzcv;
            add_with_carry(read_zr(s, rn), op != 0 ? ~b : b, op, sf, &nzcv);
            set_flags(s, nzcv);
        } else {
            set_flags(s, static_cast<uint64_t>(bits(w, 3, 0)) << 28);
        }
        return true;
    }
    if (bits(w, 28, 21) == 0xd4) return conditional_select(s, w);  // CSEL, CSINC, CSINV, CSNEG
    if (bits(w, 30, 21) == 0x0d6) {  // UDIV, SDIV, LSLV, LSRV, ASRV, RORV
        const unsigned opcode = bits(w, 15, 10);
        uint64_t a = read_zr(s, rn), b = read_zr(s, rm);
        if (!sf) {
            a = static_cast<uint32_t>(a);
            b = static_cast<uint32_t>(b);
        }
        uint64_t r;
        if (opcode == 2) {
            r = b == 0 ? 0 : a / b;
        } else if (opcode == 3) {
            const unsigned width = sf ? 64 : 32;
            const int64_t x = sign_extend(a, width), y = sign_extend(b, width);
            if (y == 0)
                r = 0;
            else if (y == -1)
                r = 0 - static_cast<uint64_t>(x);  // the most negative value divided by -1 wraps
            else
                r = static_cast<uint64_t>(x / y);
        } else if (opcode >= 8 && opcode <= 11) {
            r = shift_reg(a, opcode - 8, static_cast<unsigned>(b % (sf ? 64 : 32)), sf);
        } else {
            return false;
        }
        write_zr(s, rd, r, sf);
        return true;
    }
    return false;
}

template <typename S>
[[gnu::always_inline]] inline bool step(S &s, uint32_t word, uint64_t pc, uint64_t *next) {
    // NOP, and BTI of every kind: reached here only by falling through or by a
    // direct branch or RET, where it does nothing.
    if (word == 0xd503201fu || (word & 0xffffff3fu) == 0xd503241fu) {
        *next = pc + 4;
        return true;
    }
    switch (bits(word, 28, 26)) {
        case 4:  // data processing, immediate
            if (!immediates(s, word, pc)) return false;
            *next = pc + 4;
            return true;
        case 5:  // branches
            return branches(s, word, pc, next);
        default:
            if (bits(word, 27, 25) == 5) {  // data processing, register
                if (!registers(s, word)) return false;
                *next = pc + 4;
                return true;
            }
            return false;
    }
}

// A + B or A - B at the width, into Rd when WRITE_RD (Rd not SP), setting the
// flags when SET_FLAGS: the specialised ADD/SUB executors' common part. On
// AArch64 the flag-setting forms are the processor's own (the same
// AddWithCarry); MRS NZCV reads the other bits as zero.
template <bool Sf, bool Sub, bool SetFlags, bool WriteRd>
[[gnu::always_inline]] inline void add_sub_into(cpu_state &s, uint32_t word, uint64_t a, uint64_t b) {
    uint64_t r;
    if constexpr (SetFlags) {
        uint64_t nzcv;
#if defined(__aarch64__)
        if constexpr (Sf && Sub)
            __asm__("subs %0, %2, %3\n\tmrs %1, nzcv" : "=&r"(r), "=r"(nzcv) : "r"(a), "r"(b) : "cc");
        else if constexpr (Sf)
            __asm__("adds %0, %2, %3\n\tmrs %1, nzcv" : "=&r"(r), "=r"(nzcv) : "r"(a), "r"(b) : "cc");
        else if constexpr (Sub)
            __asm__("subs %w0, %w2, %w3\n\tmrs %1, nzcv" : "=&r"(r), "=r"(nzcv) : "r"(a), "r"(b) : "cc");
        else
            __asm__("adds %w0, %w2, %w3\n\tmrs %1, nzcv" : "=&r"(r), "=r"(nzcv) : "r"(a), "r"(b) : "cc");
#else
        r = add_with_carry(a, Sub ? ~b : b, Sub ? 1 : 0, Sf, &nzcv);
#endif
        set_flags(s, nzcv);
    } else {
        r = Sub ? a - b : a + b;
    }
    if constexpr (WriteRd) s.x[bits(word, 4, 0)] = Sf ? r : static_cast<uint32_t>(r);
}

// A loop's own kinds of instruction, which have executors of their own.
enum class loop_kind { other, add_sub_immediate, branch_cond, branch, add_sub_register, logical_shifted };

[[gnu::always_inline]] inline loop_kind loop_kind_of(uint32_t word) {
    if ((word & 0x1f800000u) == 0x11000000u) return loop_kind::add_sub_immediate;  // ADD, SUB (immediate; so CMP)
    if ((word & 0xff000010u) == 0x54000000u) return loop_kind::branch_cond;        // B.cond
    if ((word & 0x7e000000u) == 0x34000000u || (word & 0x7c000000u) == 0x14000000u ||
        (word & 0xfffffc1fu) == 0xd65f0000u)  // CBZ, CBNZ, B, BL, RET
        return loop_kind::branch;
    if ((word & 0x1f000000u) == 0x0b000000u) return loop_kind::add_sub_register;  // (so CMP)
    if ((word & 0x1f000000u) == 0x0a000000u) return loop_kind::logical_shifted;   // (so MOV)
    return loop_kind::other;
}

}  // namespace a64_scalar_detail

// Executes WORD, fetched from PC, on the X registers, SP and NZCV of S when it is
// one of these instructions, sets *NEXT to the address of the instruction that
// follows it (the branch target when a branch is taken) and returns true.
// Returns false, with S untouched, for every other word, including unallocated
// encodings.
bool a64_scalar_step(cpu_state &s, uint32_t word, uint64_t pc, uint64_t *next);

// A word's executor, chosen once per word so that a host can keep it with the
// word: runs WORD, fetched from PC, on S and returns the next PC (the branch
// target when a branch is taken), or 0 with S untouched when WORD is not one of
// these instructions.
using a64_scalar_fn = uint64_t (*)(cpu_state &s, uint32_t word, uint64_t pc);

// The executor for WORD: one for each of a loop's own kinds of instruction
// (ADD/SUB immediate by width, operation, flags and shift), for the moves and
// for the conditional selects, a64_scalar_step's for the rest of the subset,
// null for a word outside it. Each gives what a64_scalar_step gives.
a64_scalar_fn a64_scalar_executor(uint32_t word);

// Where WORD at PC goes when it branches, for the branches with the target in
// the word (B, BL, B.cond, CBZ, CBNZ, TBZ, TBNZ); 0 for every other word.
inline uint64_t a64_branch_target(uint32_t word, uint64_t pc) {
    return a64_scalar_detail::direct_branch_target(word, pc);
}

// The commonest of a loop's scalar words, which a host's dispatch loop runs in
// line rather than through a call: what the word does, decided once for the
// word at its address, and the one value it needs. On the processor a call and
// its return are cheap; under a translator each is a lookup of where the code
// goes, which a loop of SVE runs would pay at every scalar word.
enum a64_inline_kind : unsigned {
    kA64InlineNone = 0,  // not one of them: the word's executor runs it
    kA64InlineBCond,     // B.cond: to VALUE when the condition holds
    kA64InlineSubsImm,   // SUBS Xd, Xn, #imm (so CMP Xn, #imm), Rn not SP: VALUE the immediate
    kA64InlineSubsReg,   // SUBS Xd, Xn, Xm (so CMP Xn, Xm), no shift, Rn and Rm not register 31
    kA64InlineFlagsImm,  // the other ADDS, SUBS (immediate; so CMN), Rn not SP: Rn + VALUE + carry
    kA64InlineFlagsReg,  // the other ADDS, SUBS (shifted register, no shift): Rn + (Rm or ~Rm) + carry
    kA64InlineAddImm,    // ADD, SUB (immediate) with neither register SP: Rd = Rn + VALUE
    kA64InlineCbz,       // CBZ, CBNZ (Rt not the zero register): to VALUE when taken
    kA64InlineB,         // B: to VALUE
    kA64InlineMovReg,    // MOV (register), Rd not register 31
    kA64InlineMovConst,  // MOVZ, MOVN (so MOV of an immediate), Rd not register 31: Rd = VALUE
    kA64InlineAddReg,    // ADD, SUB (shifted register, no shift), Rd not register 31
    kA64InlineBl,        // BL: X30 = PC + 4, to VALUE
    kA64InlineRet,       // RET Xn
    kA64InlineCsel,      // CSEL, CSINC, CSINV, CSNEG (so CSET, CINC)
};
inline constexpr unsigned kA64InlineKinds = 15;

struct a64_inline_op {
    a64_inline_kind kind;
    uint64_t value;
};

// The in-line form of WORD at PC; kind kA64InlineNone when it has none.
a64_inline_op a64_inline_of(uint32_t word, uint64_t pc);

// Runs WORD, fetched from PC, of in-line KIND (not kA64InlineNone) and VALUE
// (a64_inline_of's) on S, and returns the next PC: what the word's executor
// does. The kind is found by a tree of compares, a few at most, where a jump
// table would be one more lookup under a translator.
[[gnu::always_inline]] inline uint64_t a64_inline_run(cpu_state &s, uint32_t word, unsigned kind, uint64_t value,
                                                      uint64_t pc) {
    using namespace a64_scalar_detail;
    const auto width = [word](uint64_t v) { return (word >> 31) != 0 ? v : static_cast<uint32_t>(v); };
    if (kind < kA64InlineFlagsImm) {
        if (kind == kA64InlineBCond) return a64_condition_holds(word & 15, s.nzcv) ? value : pc + 4;
        // A loop's count and compare: the processor's SUBS where there is one.
        const uint64_t b = kind == kA64InlineSubsImm ? value : s.x[bits(word, 20, 16)];
        if ((word & 31) == 31)
            add_sub_into<true, true, true, false>(s, word, s.x[bits(word, 9, 5)], b);
        else
            add_sub_into<true, true, true, true>(s, word, s.x[bits(word, 9, 5)], b);
        return pc + 4;
    }
    if (kind < kA64InlineB) {
        if (kind < kA64InlineAddImm) {
            const unsigned sub = bits(word, 30, 30);
            uint64_t b = value;
            if (kind == kA64InlineFlagsReg) b = sub != 0 ? ~read_zr(s, bits(word, 20, 16)) : read_zr(s, bits(word, 20, 16));
            uint64_t nzcv;
            const uint64_t r = add_with_carry(read_zr(s, bits(word, 9, 5)), b, sub, (word >> 31) != 0, &nzcv);
            set_flags(s, nzcv);
            write_zr(s, word & 31, r, (word >> 31) != 0);
            return pc + 4;
        }
        if (kind == kA64InlineAddImm) {
            s.x[word & 31] = width(s.x[bits(word, 9, 5)] + value);
            return pc + 4;
        }
        const uint64_t v = width(s.x[word & 31]);  // kA64InlineCbz
        return (v != 0) == (bits(word, 24, 24) != 0) ? value : pc + 4;
    }
    if (kind < kA64InlineBl) {
        if (kind < kA64InlineMovConst) {
            if (kind == kA64InlineB) return value;
            s.x[word & 31] = width(read_zr(s, bits(word, 20, 16)));  // kA64InlineMovReg
            return pc + 4;
        }
        if (kind == kA64InlineMovConst) {
            s.x[word & 31] = value;
            return pc + 4;
        }
        const uint64_t b = read_zr(s, bits(word, 20, 16));  // kA64InlineAddReg
        s.x[word & 31] = width(read_zr(s, bits(word, 9, 5)) + (bits(word, 30, 30) != 0 ? 0 - b : b));
        return pc + 4;
    }
    if (kind == kA64InlineBl) {
        s.x[30] = pc + 4;
        return value;
    }
    if (kind == kA64InlineRet) return read_zr(s, bits(word, 9, 5));
    conditional_select(s, word);  // kA64InlineCsel
    return pc + 4;
}
