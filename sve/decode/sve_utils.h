// Decoding: the 44 dispatch tables, the decode cascade and the catalogue of
// handlers that tools and tests read.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sve/state/cpu_state.h"

extern "C" {
// Decodes and executes the instruction at state->pc; advances pc by 4 on success.
// A word that no table holds yields DECODE_UNIMPLEMENTED with the state unchanged.
aarch64_decode_rc execute_sve_instruction(cpu_state *state);
// The handler for a word, or null when the word is not an emulated SVE instruction.
sve_handler_fn is_sve(unsigned int word);
}

// Host page size, recorded at load time.
extern uint32_t page_size;

// The handler the decode cascade finds for a word (null if none), without running it.
sve_handler_fn sve_cascade_lookup(uint32_t word);
// The handler the recogniser's order of tables finds for a word (null if none).
sve_handler_fn sve_recogniser_lookup(uint32_t word);
// The same two answers, remembered per word after the first walk through the
// tables (what execute_sve_instruction and is_sve use). Safe from any thread.
sve_handler_fn sve_remembered_cascade_lookup(uint32_t word);
sve_handler_fn sve_remembered_recogniser_lookup(uint32_t word);

// One dispatch entry as the tools see it.
struct sve_handler_info {
    const char *name;       // handler name, e.g. "VecU8AddVVM"
    const char *table;      // dispatch table name
    uint32_t key;           // key within the table
    uint32_t fixed_mask;    // bits of the word the key fixes
    uint32_t fixed_value;   // their values
    sve_handler_fn fn;      // the function the table dispatches to
    bool implemented;       // false for a placeholder that returns DECODE_UNIMPLEMENTED
};

// All 1483 entries, in table (cascade) order.
const sve_handler_info *sve_handler_catalog(size_t *count);
// The entry for a handler name, or null.
const sve_handler_info *sve_find_handler(const char *name);
