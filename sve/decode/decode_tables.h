// Dispatch-table plumbing shared by the decode cascade and the recogniser.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "sve/state/cpu_state.h"

// A table maps the concatenated key fields of a word to its handler.
using decode_map = std::map<int, sve_handler_fn>;

struct key_field {
    uint8_t hi;
    uint8_t lo;
};

// Up to five fields, most significant first; unused slots have hi == 0 and lo == 0
// after the last real field (no table keys on bit 0 alone).
struct key_field_list {
    key_field f[5];
};

inline constexpr size_t kTableCount = 44;

// The key of `word` for a table: its fields concatenated, first field most
// significant, as a signed 32-bit integer.
inline int table_key(uint32_t word, const key_field_list &fields) {
    uint64_t key = 0;
    for (const key_field &f : fields.f) {
        if (f.hi == 0 && f.lo == 0) break;
        const unsigned width = f.hi - f.lo + 1u;
        key = (key << width) | ((word >> f.lo) & ((uint64_t{1} << width) - 1));
    }
    return static_cast<int>(static_cast<uint32_t>(key));
}

struct key_pattern {
    uint32_t mask;
    uint32_t value;
};

// The fixed bits that a key stands for: the key's bits put back into the fields.
constexpr key_pattern pattern_of(const key_field_list &fields, uint32_t key) {
    int n = 0;
    while (n < 5 && !(fields.f[n].hi == 0 && fields.f[n].lo == 0)) ++n;
    key_pattern p{0, 0};
    uint64_t k = key;
    for (int i = n - 1; i >= 0; --i) {
        const unsigned width = fields.f[i].hi - fields.f[i].lo + 1u;
        const uint64_t m = (uint64_t{1} << width) - 1;
        p.mask |= static_cast<uint32_t>(m << fields.f[i].lo);
        p.value |= static_cast<uint32_t>((k & m) << fields.f[i].lo);
        k >>= width;
    }
    return p;
}

struct decode_table_ref {
    const char *name;
    decode_map **map;
    const key_field_list *fields;
};

// The tables (built at load time), in cascade order and in recogniser order.
extern const decode_table_ref kCascade[kTableCount];
extern const decode_table_ref kRecogniserOrder[kTableCount];

#define SVE_TABLE(name, ...) extern decode_map *name;
#include "sve/decode/sve_tables.def"
#undef SVE_TABLE
