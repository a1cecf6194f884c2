#include "sve/support/a64_scalar.h"

#include <array>
#include <utility>

namespace {

// The registers the instructions touch, for deciding without a register file.
struct scalar_registers {
    uint64_t x[31];
    uint64_t sp;
    uint64_t nzcv;
};

// The executors: a loop's own kinds, moves and selects, then everything else.
uint64_t run_add_sub_immediate(cpu_state &s, uint32_t word, uint64_t pc) {
    a64_scalar_detail::add_sub_immediate(s, word);
    return pc + 4;
}
// ADD, SUB, ADDS and SUBS (immediate) with Rn not SP, and Rd not SP (so the
// compares, whose Rd is the zero register), by width, operation, flag setting
// and shift: a loop's counter steps and compares, without the general form's
// decisions.
template <bool Sf, bool Sub, bool SetFlags, bool Shift12, bool WriteRd>
uint64_t run_add_sub_immediate_of(cpu_state &s, uint32_t word, uint64_t pc) {
    using namespace a64_scalar_detail;
    const uint64_t imm = static_cast<uint64_t>(bits(word, 21, 10)) << (Shift12 ? 12 : 0);
    add_sub_into<Sf, Sub, SetFlags, WriteRd>(s, word, s.x[bits(word, 9, 5)], imm);
    return pc + 4;
}

// Indexed by sf, op, S, sh (the word's bits 31, 30, 29, 22) and whether Rd is
// register 31.
template <unsigned... I>
constexpr std::array<a64_scalar_fn, sizeof...(I)> add_sub_immediate_table(std::integer_sequence<unsigned, I...>) {
    return {run_add_sub_immediate_of<((I >> 4) & 1) != 0, ((I >> 3) & 1) != 0, ((I >> 2) & 1) != 0, ((I >> 1) & 1) != 0,
                                     (I & 1) == 0>...};
}
constexpr auto kAddSubImmediate = add_sub_immediate_table(std::make_integer_sequence<unsigned, 32>{});

// The executor for an ADD/SUB (immediate) word: one of the above when they
// take it, else the general form.
a64_scalar_fn add_sub_immediate_executor(uint32_t word) {
    using a64_scalar_detail::bits;
    const bool rn_sp = bits(word, 9, 5) == 31, rd_31 = bits(word, 4, 0) == 31, setflags = bits(word, 29, 29) != 0;
    if (rn_sp || (rd_31 && !setflags)) return run_add_sub_immediate;
    return kAddSubImmediate[bits(word, 31, 29) << 2 | bits(word, 22, 22) << 1 | (rd_31 ? 1 : 0)];
}

uint64_t run_branch_cond(cpu_state &s, uint32_t word, uint64_t pc) {
    return a64_scalar_detail::conditional_branch(s, word, pc);
}
uint64_t run_branch(cpu_state &s, uint32_t word, uint64_t pc) {
    uint64_t next;
    return a64_scalar_detail::branches(s, word, pc, &next) ? next : 0;
}
uint64_t run_add_sub_register(cpu_state &s, uint32_t word, uint64_t pc) {
    return a64_scalar_detail::add_sub_register(s, word) ? pc + 4 : 0;
}
uint64_t run_logical_shifted(cpu_state &s, uint32_t word, uint64_t pc) {
    return a64_scalar_detail::logical_shifted(s, word) ? pc + 4 : 0;
}
uint64_t run_move_wide(cpu_state &s, uint32_t word, uint64_t pc) {
    return a64_scalar_detail::move_wide(s, word) ? pc + 4 : 0;
}
uint64_t run_conditional_select(cpu_state &s, uint32_t word, uint64_t pc) {
    return a64_scalar_detail::conditional_select(s, word) ? pc + 4 : 0;
}
uint64_t run_any(cpu_state &s, uint32_t word, uint64_t pc) {
    uint64_t next;
    return a64_scalar_detail::step(s, word, pc, &next) ? next : 0;
}

// ADD, SUB, ADDS and SUBS (shifted register) with no shift, so CMP and CMN of
// two registers, by width, operation and flag setting; Rd 31 (the compares)
// writes nothing. Register 31 reads as zero in this form.
template <bool Sf, bool Sub, bool SetFlags, bool WriteRd>
uint64_t run_add_sub_register_of(cpu_state &s, uint32_t word, uint64_t pc) {
    using namespace a64_scalar_detail;
    add_sub_into<Sf, Sub, SetFlags, WriteRd>(s, word, read_zr(s, bits(word, 9, 5)), read_zr(s, bits(word, 20, 16)));
    return pc + 4;
}

// Indexed by sf, op, S (the word's bits 31, 30, 29) and whether Rd is register 31.
template <unsigned... I>
constexpr std::array<a64_scalar_fn, sizeof...(I)> add_sub_register_table(std::integer_sequence<unsigned, I...>) {
    return {run_add_sub_register_of<((I >> 3) & 1) != 0, ((I >> 2) & 1) != 0, ((I >> 1) & 1) != 0, (I & 1) == 0>...};
}
constexpr auto kAddSubRegister = add_sub_register_table(std::make_integer_sequence<unsigned, 16>{});

// The executor for an ADD/SUB (register) word: one of the above for the
// shifted form with no shift, else the general form.
a64_scalar_fn add_sub_register_executor(uint32_t word) {
    using a64_scalar_detail::bits;
    if (bits(word, 21, 21) != 0 || bits(word, 23, 22) != 0 || bits(word, 15, 10) != 0) return run_add_sub_register;
    return kAddSubRegister[bits(word, 31, 29) << 1 | (bits(word, 4, 0) == 31 ? 1 : 0)];
}

// MOV (register), which is ORR Rd, ZR, Rm with no shift, by width and whether
// Rd is register 31 (which writes nothing).
template <bool Sf, bool WriteRd>
uint64_t run_move_register(cpu_state &s, uint32_t word, uint64_t pc) {
    using namespace a64_scalar_detail;
    if constexpr (WriteRd) {
        const uint64_t v = read_zr(s, bits(word, 20, 16));
        s.x[bits(word, 4, 0)] = Sf ? v : static_cast<uint32_t>(v);
    }
    return pc + 4;
}
a64_scalar_fn logical_shifted_executor(uint32_t word) {
    using a64_scalar_detail::bits;
    if ((word & 0x7fe0ffe0u) != 0x2a0003e0u) return run_logical_shifted;
    const bool sf = bits(word, 31, 31) != 0, rd_31 = bits(word, 4, 0) == 31;
    return sf ? (rd_31 ? run_move_register<true, false> : run_move_register<true, true>)
              : (rd_31 ? run_move_register<false, false> : run_move_register<false, true>);
}

// The branches a loop and its calls use most, each on its own: B, BL, RET and
// CBZ/CBNZ by width.
uint64_t run_b(cpu_state &, uint32_t word, uint64_t pc) {
    return a64_scalar_detail::direct_branch_target(word, pc);
}
uint64_t run_bl(cpu_state &s, uint32_t word, uint64_t pc) {
    s.x[30] = pc + 4;
    return run_b(s, word, pc);
}
uint64_t run_ret(cpu_state &s, uint32_t word, uint64_t) {
    return a64_scalar_detail::read_zr(s, a64_scalar_detail::bits(word, 9, 5));
}
template <bool Sf, bool NonZero>
uint64_t run_compare_branch(cpu_state &s, uint32_t word, uint64_t pc) {
    using namespace a64_scalar_detail;
    uint64_t v = read_zr(s, bits(word, 4, 0));
    if constexpr (!Sf) v = static_cast<uint32_t>(v);
    return (v != 0) == NonZero ? direct_branch_target(word, pc) : pc + 4;
}
a64_scalar_fn branch_executor(uint32_t word) {
    if ((word & 0xfc000000u) == 0x14000000u) return run_b;
    if ((word & 0xfc000000u) == 0x94000000u) return run_bl;
    if ((word & 0xfffffc1fu) == 0xd65f0000u) return run_ret;
    if ((word & 0x7e000000u) == 0x34000000u) {
        const bool sf = (word >> 31) != 0, nonzero = ((word >> 24) & 1) != 0;
        return sf ? (nonzero ? run_compare_branch<true, true> : run_compare_branch<true, false>)
                  : (nonzero ? run_compare_branch<false, true> : run_compare_branch<false, false>);
    }
    return run_branch;
}

// Whether a64_scalar_step executes WORD (which depends on the word alone).
bool executed(uint32_t word) {
    scalar_registers r{};
    uint64_t next;
    return a64_scalar_detail::step(r, word, 0x1000, &next);
}

}  // namespace

a64_scalar_fn a64_scalar_executor(uint32_t word) {
    using a64_scalar_detail::loop_kind;
    if (!executed(word)) return nullptr;
    switch (a64_scalar_detail::loop_kind_of(word)) {
        case loop_kind::add_sub_immediate: return add_sub_immediate_executor(word);
        case loop_kind::branch_cond: return run_branch_cond;
        case loop_kind::branch: return branch_executor(word);
        case loop_kind::add_sub_register: return add_sub_register_executor(word);
        case loop_kind::logical_shifted: return logical_shifted_executor(word);
        case loop_kind::other: break;
    }
    if ((word & 0x1f800000u) == 0x12800000u) return run_move_wide;         // MOVZ, MOVN, MOVK
    if ((word & 0x1fe00000u) == 0x1a800000u) return run_conditional_select;  // (so CINC, CSET)
    return run_any;
}

bool a64_scalar_step(cpu_state &s, uint32_t word, uint64_t pc, uint64_t *next) {
    return a64_scalar_detail::step(s, word, pc, next);
}

bool a64_scalar_straight(uint32_t word) {
    if (((word >> 26) & 7) == 5) return false;  // branches, exception generation, system
    scalar_registers r{};
    uint64_t next;
    return a64_scalar_detail::step(r, word, 0x1000, &next);
}

a64_inline_op a64_inline_of(uint32_t word, uint64_t pc) {
    using a64_scalar_detail::bits;
    const unsigned rd = bits(word, 4, 0), rn = bits(word, 9, 5);
    const bool sf = (word >> 31) != 0;
    if ((word & 0xfc000000u) == 0x14000000u) return {kA64InlineB, a64_branch_target(word, pc)};
    if ((word & 0xfc000000u) == 0x94000000u) return {kA64InlineBl, a64_branch_target(word, pc)};
    if ((word & 0xfffffc1fu) == 0xd65f0000u) return {kA64InlineRet, 0};
    if ((word & 0xff000010u) == 0x54000000u) return {kA64InlineBCond, a64_branch_target(word, pc)};
    if ((word & 0x7e000000u) == 0x34000000u && rd != 31) return {kA64InlineCbz, a64_branch_target(word, pc)};
    if ((word & 0x1f800000u) == 0x11000000u && rn != 31) {  // ADD, ADDS, SUB, SUBS (immediate)
        const uint64_t imm = static_cast<uint64_t>(bits(word, 21, 10)) << (bits(word, 22, 22) * 12);
        const bool sub = bits(word, 30, 30) != 0;
        if (bits(word, 29, 29) != 0 && sub && sf) return {kA64InlineSubsImm, imm};
        if (bits(word, 29, 29) != 0) return {kA64InlineFlagsImm, sub ? ~imm : imm};
        if (rd != 31) return {kA64InlineAddImm, sub ? 0 - imm : imm};
        return {kA64InlineNone, 0};
    }
    if ((word & 0x1fe0fc00u) == 0x0b000000u) {  // ADD, ADDS, SUB, SUBS (shifted register), no shift
        if (bits(word, 29, 29) != 0 && bits(word, 30, 30) != 0 && sf && rn != 31 && bits(word, 20, 16) != 31)
            return {kA64InlineSubsReg, 0};
        if (bits(word, 29, 29) != 0) return {kA64InlineFlagsReg, 0};
        if (rd != 31) return {kA64InlineAddReg, 0};
        return {kA64InlineNone, 0};
    }
    if ((word & 0x7fe0ffe0u) == 0x2a0003e0u && rd != 31) return {kA64InlineMovReg, 0};
    if ((word & 0x3fe00800u) == 0x1a800000u) return {kA64InlineCsel, 0};  // S 0, op2 0 or 1
    if ((word & 0x1f800000u) == 0x12800000u && rd != 31) {  // MOVN, MOVZ
        const unsigned opc = bits(word, 30, 29), hw = bits(word, 22, 21);
        if ((opc == 0 || opc == 2) && (sf || hw < 2)) {
            uint64_t v = static_cast<uint64_t>(bits(word, 20, 5)) << (hw * 16);
            if (opc == 0) v = ~v;
            return {kA64InlineMovConst, sf ? v : static_cast<uint32_t>(v)};
        }
    }
    return {kA64InlineNone, 0};
}
