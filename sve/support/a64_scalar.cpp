#include "sve/support/a64_scalar.h"

namespace {

// The registers the instructions touch, for deciding without a register file.
struct scalar_registers {
    uint64_t x[31];
    uint64_t sp;
    uint64_t nzcv;
};

}  // namespace

bool a64_scalar_step(cpu_state &s, uint32_t word, uint64_t pc, uint64_t *next) {
    return a64_scalar_detail::step(s, word, pc, next);
}

bool a64_scalar_straight(uint32_t word) {
    if (((word >> 26) & 7) == 5) return false;  // branches, exception generation, system
    scalar_registers r{};
    uint64_t next;
    return a64_scalar_detail::step(r, word, 0x1000, &next);
}
