// Writing AArch64 code into a compiled plan's area (trap_compile.h): the
// encodings the plans' code uses, and the emitter that places instructions,
// their constants and their ways out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "sve/client/trap_compile.h"
#include "sve/state/cpu_state.h"

namespace a64_emit {

// The compiled code's registers: the register file and SP's floor for the
// whole plan (callee-saved), scratch registers for one step. A step may use
// X9-X15 and V0-V7 and V16-V31 besides.
constexpr unsigned kSt = 19, kFloor = 20, kPasses = 21;
constexpr unsigned kRn = 9, kRm = 10, kRd = 11, kT0 = 12, kT1 = 13, kAt = 14, kFn = 16;

constexpr unsigned kOffsetSp = offsetof(cpu_state, sp);
constexpr unsigned kOffsetPc = offsetof(cpu_state, pc);
constexpr unsigned kOffsetNzcv = offsetof(cpu_state, nzcv);
static_assert(offsetof(cpu_state, x) == 0);

// General registers.
constexpr uint32_t ldr_x(unsigned t, unsigned n, unsigned off) { return 0xf9400000u | (off / 8) << 10 | n << 5 | t; }
constexpr uint32_t str_x(unsigned t, unsigned n, unsigned off) { return 0xf9000000u | (off / 8) << 10 | n << 5 | t; }
constexpr uint32_t ldr_w(unsigned t, unsigned n, unsigned off) { return 0xb9400000u | (off / 4) << 10 | n << 5 | t; }
constexpr uint32_t ldrb_w(unsigned t, unsigned n, unsigned off) { return 0x39400000u | off << 10 | n << 5 | t; }
constexpr uint32_t ldrb_w_reg(unsigned t, unsigned n, unsigned m) { return 0x38606800u | m << 16 | n << 5 | t; }
// LDR Xt, [Xn, Xm]
constexpr uint32_t ldr_x_reg(unsigned t, unsigned n, unsigned m) { return 0xf8606800u | m << 16 | n << 5 | t; }
constexpr uint32_t mov_x(unsigned d, unsigned m) { return 0xaa0003e0u | m << 16 | d; }
constexpr uint32_t mov_w(unsigned d, unsigned m) { return 0x2a0003e0u | m << 16 | d; }  // zero-extends
constexpr uint32_t sxtw_x(unsigned d, unsigned n) { return 0x93407c00u | n << 5 | d; }
constexpr uint32_t movz_x(unsigned d, unsigned imm16) { return 0xd2800000u | imm16 << 5 | d; }
constexpr uint32_t movz_w(unsigned d, unsigned imm16) { return 0x52800000u | imm16 << 5 | d; }
constexpr uint32_t cmp_x(unsigned n, unsigned m) { return 0xeb00001fu | m << 16 | n << 5; }
constexpr uint32_t cmp_w(unsigned n, unsigned m) { return 0x6b00001fu | m << 16 | n << 5; }
constexpr uint32_t cmp_x_imm(unsigned n, unsigned imm12) { return 0xf100001fu | imm12 << 10 | n << 5; }
constexpr uint32_t subs_x(unsigned d, unsigned n, unsigned m) { return 0xeb000000u | m << 16 | n << 5 | d; }
constexpr uint32_t add_x(unsigned d, unsigned n, unsigned m) { return 0x8b000000u | m << 16 | n << 5 | d; }
constexpr uint32_t sub_x(unsigned d, unsigned n, unsigned m) { return 0xcb000000u | m << 16 | n << 5 | d; }
// ADD Xd, Xn, #IMM12 (shifted left 12 when HIGH)
constexpr uint32_t add_x_imm(unsigned d, unsigned n, unsigned imm12, bool high = false) {
    return 0x91000000u | unsigned{high} << 22 | imm12 << 10 | n << 5 | d;
}
constexpr uint32_t add_x_lsr(unsigned d, unsigned n, unsigned m, unsigned shift) {
    return 0x8b400000u | m << 16 | shift << 10 | n << 5 | d;
}
constexpr uint32_t sub_x_lsr(unsigned d, unsigned n, unsigned m, unsigned shift) {
    return 0xcb400000u | m << 16 | shift << 10 | n << 5 | d;
}
constexpr uint32_t subs_x_imm(unsigned d, unsigned n, unsigned imm12) { return 0xf1000000u | imm12 << 10 | n << 5 | d; }
constexpr uint32_t sub_x_lsl(unsigned d, unsigned n, unsigned m, unsigned shift) {
    return 0xcb000000u | m << 16 | shift << 10 | n << 5 | d;
}
constexpr uint32_t and_x(unsigned d, unsigned n, unsigned m) { return 0x8a000000u | m << 16 | n << 5 | d; }
constexpr uint32_t and_w(unsigned d, unsigned n, unsigned m) { return 0x0a000000u | m << 16 | n << 5 | d; }
constexpr uint32_t orr_x(unsigned d, unsigned n, unsigned m) { return 0xaa000000u | m << 16 | n << 5 | d; }
// STP Xt1, Xt2, [Xn, #OFF] (OFF a multiple of 8 below 512)
constexpr uint32_t stp_x(unsigned t1, unsigned t2, unsigned n, unsigned off) {
    return 0xa9000000u | (off / 8) << 15 | t2 << 10 | n << 5 | t1;
}
// LDP Xt1, Xt2, [Xn, #OFF] (OFF a multiple of 8 below 512)
constexpr uint32_t ldp_x(unsigned t1, unsigned t2, unsigned n, unsigned off) {
    return 0xa9400000u | (off / 8) << 15 | t2 << 10 | n << 5 | t1;
}
constexpr uint32_t and_x_byte_pairs(unsigned d, unsigned n) { return 0x92009c00u | n << 5 | d; }  // #0x00ff00ff00ff00ff
constexpr uint32_t and_x_ffff(unsigned d, unsigned n) { return 0x92403c00u | n << 5 | d; }
constexpr uint32_t cset_w_eq(unsigned d) { return 0x1a9f17e0u | d; }
constexpr uint32_t eor_w_1(unsigned d, unsigned n) { return 0x52000000u | n << 5 | d; }
// ORR Wd, Wn, Wm, LSL #SHIFT
constexpr uint32_t orr_w_lsl(unsigned d, unsigned n, unsigned m, unsigned shift) {
    return 0x2a000000u | m << 16 | shift << 10 | n << 5 | d;
}
constexpr uint32_t csel_x(unsigned d, unsigned n, unsigned m, unsigned cond) {
    return 0x9a800000u | m << 16 | cond << 12 | n << 5 | d;
}
constexpr uint32_t csel_w(unsigned d, unsigned n, unsigned m, unsigned cond) {
    return 0x1a800000u | m << 16 | cond << 12 | n << 5 | d;
}
constexpr uint32_t rbit_x(unsigned d, unsigned n) { return 0xdac00000u | n << 5 | d; }
constexpr uint32_t clz_x(unsigned d, unsigned n) { return 0xdac01000u | n << 5 | d; }
constexpr uint32_t blr(unsigned n) { return 0xd63f0000u | n << 5; }
constexpr uint32_t mrs_nzcv(unsigned t) { return 0xd53b4200u | t; }
constexpr uint32_t msr_nzcv(unsigned t) { return 0xd51b4200u | t; }
constexpr uint32_t lsr_x(unsigned d, unsigned n, unsigned shift) { return 0xd340fc00u | shift << 16 | n << 5 | d; }
// BFI Xd, Xn, #LSB, #WIDTH
constexpr uint32_t bfi_x(unsigned d, unsigned n, unsigned lsb, unsigned width) {
    return 0xb3400000u | ((64 - lsb) % 64) << 16 | (width - 1) << 10 | n << 5 | d;
}

// SIMD&FP registers, 16 bytes each.
constexpr uint32_t stp_q(unsigned t1, unsigned t2, unsigned n, unsigned off) {
    return 0xad000000u | (off / 16) << 15 | t2 << 10 | n << 5 | t1;
}
// LD1/ST1 {Vt.16B-Vt+3.16B}, [Xn], #64
constexpr uint32_t ld1_4(unsigned t, unsigned n) { return 0x4cdf2000u | n << 5 | t; }
constexpr uint32_t st1_4(unsigned t, unsigned n) { return 0x4c9f2000u | n << 5 | t; }
constexpr uint32_t and_v(unsigned d, unsigned n, unsigned m) { return 0x4e201c00u | m << 16 | n << 5 | d; }
constexpr uint32_t orr_v(unsigned d, unsigned n, unsigned m) { return 0x4ea01c00u | m << 16 | n << 5 | d; }
constexpr uint32_t add_v(unsigned d, unsigned n, unsigned m) { return 0x4e208400u | m << 16 | n << 5 | d; }
constexpr uint32_t bic_v(unsigned d, unsigned n, unsigned m) { return 0x4e601c00u | m << 16 | n << 5 | d; }
// CMEQ, CMGE, CMGT, CMHS, CMHI Vd.16B, Vn.16B, Vm.16B
constexpr uint32_t kCmeqV = 0x6e208c00u, kCmgeV = 0x4e203c00u, kCmgtV = 0x4e203400u, kCmhsV = 0x6e203c00u,
                   kCmhiV = 0x6e203400u;
constexpr uint32_t movi_v_0(unsigned d) { return 0x4f00e400u | d; }  // MOVI Vd.16B, #0
constexpr uint32_t dup_v_w(unsigned d, unsigned n) { return 0x4e010c00u | n << 5 | d; }  // DUP Vd.16B, Wn
// UMOV Xd, Vn.D[I]
constexpr uint32_t umov_d(unsigned d, unsigned n, unsigned i) { return 0x4e083c00u | i << 20 | n << 5 | d; }

constexpr uint32_t kBCond = 0x54000000u, kB = 0x14000000u, kCbz = 0xb4000000u, kCbnz = 0xb5000000u,
                   kCbnzW = 0x35000000u, kTbzW0 = 0x36000000u,
                   kTbnzW0 = 0x37000000u;
// Condition codes.
constexpr unsigned kEq = 0, kNe = 1, kLo = 3, kPl = 5, kHi = 8, kGt = 12;
constexpr uint32_t kLdrLiteralW = 0x18000000u, kLdrLiteralX = 0x58000000u, kLdrLiteralQ = 0x9c000000u;

// Points the branch at BRANCH (a B, B.cond, CBZ/CBNZ or TBZ/TBNZ with its
// offset 0) at TARGET.
inline void patch(uint32_t *branch, const uint32_t *target) {
    const int64_t delta = target - branch;
    if ((*branch & 0xfc000000u) == kB)
        *branch |= static_cast<uint32_t>(delta) & 0x3ffffffu;
    else if ((*branch & 0x7e000000u) == 0x36000000u)
        *branch |= (static_cast<uint32_t>(delta) & 0x3fffu) << 5;
    else
        *branch |= (static_cast<uint32_t>(delta) & 0x7ffffu) << 5;
}

struct exit_stub {
    uint32_t *branch;  // the branch to patch
    uint32_t code;     // step << 8 | reason
    bool has_next;     // X0 gets NEXT (else X0 holds it already)
    uint64_t next;
};
constexpr unsigned kMaxStubs = 3 * (kPlanSteps + 1);

// The code goes from CODE to CODE_END, its constants from POOL to POOL_END;
// OK turns false, for good, when either is full.
struct emitter {
    uint32_t *code = nullptr, *code_end = nullptr, *pool = nullptr, *pool_end = nullptr;
    exit_stub stubs[kMaxStubs];
    unsigned stub_count = 0;
    bool ok = true;

    void put(uint32_t insn) {
        if (code < code_end)
            *code++ = insn;
        else
            ok = false;
    }
    // A branch INSN (its offset 0) to a place not yet written: patch it there.
    uint32_t *forward(uint32_t insn) {
        uint32_t *const at = code;
        put(insn);
        return at;
    }
    void land(uint32_t *branch) {
        if (ok) patch(branch, code);
    }
    // LDR (literal) OPCODE into T of the N bytes at BYTES, placed in the pool
    // (aligned to N).
    void load_constant(uint32_t opcode, unsigned t, const void *bytes, size_t n) {
        const size_t words = n / 4;
        while ((reinterpret_cast<uintptr_t>(pool) & (n - 1)) != 0 && pool < pool_end) ++pool;
        if (pool + words > pool_end || code >= code_end) {
            ok = false;
            return;
        }
        std::memcpy(pool, bytes, n);
        const int64_t delta = pool - code;
        pool += words;
        put(opcode | (static_cast<uint32_t>(delta) & 0x7ffffu) << 5 | t);
    }
    void load_x(unsigned t, uint64_t v) { load_constant(kLdrLiteralX, t, &v, 8); }
    void load_w(unsigned t, uint32_t v) { load_constant(kLdrLiteralW, t, &v, 4); }
    // Xt = ST + OFF (OFF below 2^24).
    void address(unsigned t, unsigned off) {
        if (off >> 12 != 0) {
            put(add_x_imm(t, kSt, off >> 12, true));
            if ((off & 0xfff) != 0) put(add_x_imm(t, t, off & 0xfff));
        } else {
            put(add_x_imm(t, kSt, off));
        }
    }
    // A branch INSN (its offset field 0) to an exit of STEP for REASON, with
    // X0 = NEXT when HAS_NEXT.
    void exit_branch(uint32_t insn, unsigned step, unsigned reason, bool has_next = false, uint64_t next = 0) {
        if (stub_count == kMaxStubs || code >= code_end) {
            ok = false;
            return;
        }
        stubs[stub_count++] = {code, step << 8 | reason, has_next, next};
        put(insn);
    }
    // Where the program goes on after step I is NEXT: on within the plan when
    // that is EXPECTED, else out.
    void go_on(unsigned i, uint64_t next, uint64_t expected) {
        if (next != expected) exit_branch(kB, i, kCompiledBranched, true, next);
    }
    // A branch of step I: INSN (a B.cond, CBZ or CBNZ with its offset 0)
    // taken to TAKEN, else on to NOT_TAKEN; INVERSE is INSN with the opposite
    // sense.
    void two_ways(unsigned i, uint32_t insn, uint32_t inverse, uint64_t taken, uint64_t not_taken, uint64_t expected) {
        if (taken == not_taken) {
            go_on(i, taken, expected);
        } else if (expected == not_taken) {
            exit_branch(insn, i, kCompiledBranched, true, taken);
        } else if (expected == taken) {
            exit_branch(inverse, i, kCompiledBranched, true, not_taken);
        } else {
            exit_branch(insn, i, kCompiledBranched, true, taken);
            exit_branch(kB, i, kCompiledBranched, true, not_taken);
        }
    }
    void load_flags() {
        put(ldr_x(kT0, kSt, kOffsetNzcv));
        put(msr_nzcv(kT0));
    }
    // NZCV into the register file's image, its other bits kept.
    void store_flags() {
        put(mrs_nzcv(kT0));
        put(ldr_x(kT1, kSt, kOffsetNzcv));
        put(lsr_x(kT0, kT0, 28));
        put(bfi_x(kT1, kT0, 28, 4));
        put(str_x(kT1, kSt, kOffsetNzcv));
    }
    // Bits 3..0 of W as N, Z, C and V into the register file's image, its
    // other bits kept (W is not T0, which it uses).
    void store_flag_bits(unsigned w) {
        put(ldr_x(kT0, kSt, kOffsetNzcv));
        put(bfi_x(kT0, w, 28, 4));
        put(str_x(kT0, kSt, kOffsetNzcv));
    }
};

}  // namespace a64_emit
