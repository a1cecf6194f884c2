#include "sve/support/a64_scalar.h"

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
        case loop_kind::add_sub_immediate: return run_add_sub_immediate;
        case loop_kind::branch_cond: return run_branch_cond;
        case loop_kind::branch: return run_branch;
        case loop_kind::add_sub_register: return run_add_sub_register;
        case loop_kind::logical_shifted: return run_logical_shifted;
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
