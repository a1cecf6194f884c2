// Helpers shared by the unit tests: zeroed states, instruction words built from
// a handler's fixed bits, and single-instruction execution.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "sve/decode/sve_utils.h"
#include "sve/state/cpu_state.h"

inline std::unique_ptr<cpu_state> new_state() {
    auto s = std::make_unique<cpu_state>();
    std::memset(s.get(), 0, sizeof(cpu_state));
    return s;
}

// The handler's fixed bits with `operands` ORed in (operands must not touch fixed bits).
inline uint32_t word_of(const char *handler, uint32_t operands) {
    const sve_handler_info *h = sve_find_handler(handler);
    EXPECT_NE(h, nullptr) << handler;
    if (h == nullptr) return 0;
    EXPECT_EQ(operands & h->fixed_mask, 0u) << handler << ": operand bits overlap the key";
    return h->fixed_value | operands;
}

// Executes one word through the decode cascade with pc pointing at it.
inline aarch64_decode_rc run_word(cpu_state *s, uint32_t word) {
    alignas(4) static thread_local uint32_t code[1];
    code[0] = word;
    s->pc = reinterpret_cast<unsigned char *>(code);
    return execute_sve_instruction(s);
}

template <typename T>
inline T zget(const cpu_state *s, unsigned reg, unsigned i) {
    T v;
    std::memcpy(&v, &s->z[reg][i * sizeof(T)], sizeof(T));
    return v;
}
template <typename T>
inline void zset(cpu_state *s, unsigned reg, unsigned i, T v) {
    std::memcpy(&s->z[reg][i * sizeof(T)], &v, sizeof(T));
}
