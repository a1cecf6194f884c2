// Conformance case generation: instruction words for one dispatch entry (key
// bits fixed, operand bits random) and, for each word, an architectural state
// biased toward edge values, with address operands of memory instructions kept
// inside the memory window. Everything is a pure function of (handler name,
// seed, case index) and the word's plain-SVE disassembly, so any case can be
// rebuilt alone.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/conformance/conformance_wire.h"

namespace conformance {

// The case-local random stream: splitmix64 over a state derived from the case's
// identity and a stream number (words and states use separate streams, so a
// state never depends on how many words were drawn).
struct case_rng {
    uint64_t state;
    uint64_t next() { return splitmix64(state); }
    uint64_t below(uint64_t n) { return n == 0 ? 0 : next() % n; }
    int64_t range(int64_t lo, int64_t hi) { return lo + static_cast<int64_t>(below(static_cast<uint64_t>(hi - lo + 1))); }
    bool chance(unsigned percent) { return below(100) < percent; }
};

uint64_t hash_name(std::string_view name);
case_rng make_rng(std::string_view handler, uint64_t seed, uint64_t index, uint64_t stream);

// The word of attempt `index`: fixed_value with the bits outside fixed_mask random.
uint32_t generate_word(std::string_view handler, uint32_t fixed_mask, uint32_t fixed_value, uint64_t seed,
                       uint64_t index);

// The address operand of a memory instruction, read from its disassembly.
enum class addr_base : uint8_t { none, scalar, sp, vector_s, vector_d };
enum class addr_offset : uint8_t { none, immediate, scalar, vector_s, vector_d };
enum class addr_extend : uint8_t { none, lsl, uxtw, sxtw };

struct address_operand {
    addr_base base = addr_base::none;
    unsigned base_reg = 0;
    addr_offset offset = addr_offset::none;
    unsigned offset_reg = 0;  // 31 with addr_offset::scalar is XZR
    addr_extend extend = addr_extend::none;
    unsigned shift = 0;
    int64_t immediate = 0;    // bytes, or vector lengths with `mul_vl`
    bool mul_vl = false;
};

// What the generator reads off the disassembly of a word.
struct word_profile {
    std::string mnemonic;
    unsigned element_bytes = 0;  // of the first vector or predicate operand; 0 if none
    bool floating = false;       // the instruction works on floating-point values
    bool memory = false;         // it has a memory operand
    bool store = false;
    bool first_fault = false;    // LDFF1*
    bool non_fault = false;      // LDNF1*
    bool prefetch = false;
    unsigned memory_bytes = 0;   // bytes per element in memory (LD1B: 1 ... LD1D: 8), loads and stores
    bool sign_extends = false;   // LD1SB and the like
    unsigned first_z = 32;       // first Z register operand (the destination of loads)
    unsigned first_p = 16;       // first P register operand
    unsigned governing_p = 16;   // the predicate written as pN/z or pN/m, if any
    address_operand address;
};

word_profile profile_from_disassembly(std::string_view text);

// The operands of a disassembly's operand text, split at the commas outside
// brackets and braces, trimmed.
std::vector<std::string_view> split_operands(std::string_view s);

// The address element `e` of a single-register load or store accesses, as the
// architecture computes it from the registers; false for forms it cannot tell.
bool element_address(const word_profile &p, const wire_regs &r, unsigned e, uint64_t &address);

// One case as it goes to both sides.
struct case_input {
    wire_case_header header;
    wire_regs regs;
};

// Builds the state of case `index` for `word`. The header's pc is left to the
// caller (it depends on the batch, not on the case).
void generate_case(std::string_view handler, uint64_t seed, uint64_t index, uint32_t word,
                   const word_profile &profile, case_input &out);

// The part of generate_case that fits a state to one word: address operands of
// a memory instruction into the window (and, for first-fault and non-fault
// loads, sometimes pages withdrawn), WRFFR's operand a run of ones, element 0 of
// a contiguous first-fault or non-fault load active. A sequence applies it for
// each of its words in turn.
void adapt_case_to_word(case_rng &rng, const word_profile &profile, case_input &c);

// Predicate helpers of the wire form: bit i of a packed predicate.
inline bool pred_bit(const uint8_t *packed, unsigned i) { return (packed[i / 8] >> (i % 8)) & 1; }
inline void set_pred_bit(uint8_t *packed, unsigned i, bool v) {
    if (v)
        packed[i / 8] = static_cast<uint8_t>(packed[i / 8] | (1u << (i % 8)));
    else
        packed[i / 8] = static_cast<uint8_t>(packed[i / 8] & ~(1u << (i % 8)));
}

}  // namespace conformance
