// The load-time initialiser, the 44 dispatch tables and the decode cascade.
#include "sve/decode/sve_utils.h"

#include <unistd.h>

#include <cstring>
#include <map>

#include "sve/decode/decode_tables.h"
#include "sve/handlers/handler_registry.h"
#include "sve/state/guarded_memory.h"

#define SVE_FAMILY_ENTRY(name) extern const sve_family_bindings sve_family_##name;
#include "sve/handlers/families.def"
#undef SVE_FAMILY_ENTRY

uint32_t page_size = 0;

// The tables themselves. They are built once at load time and kept for the life
// of the process: a thread may still be emulating while the process exits, so
// they are never destroyed.
#define SVE_TABLE(name, ...) decode_map *name = nullptr;
#include "sve/decode/sve_tables.def"
#undef SVE_TABLE

namespace {

constexpr const sve_family_bindings *kFamilies[] = {
#define SVE_FAMILY_ENTRY(name) &sve_family_##name,
#include "sve/handlers/families.def"
#undef SVE_FAMILY_ENTRY
};

// The placeholder of an entry that no family implements yet.
template <handler_id>
aarch64_decode_rc unimplemented(cpu_state *, uint32_t) {
    return DECODE_UNIMPLEMENTED;
}

constexpr sve_handler_fn kPlaceholders[kHandlerCount] = {
#define SVE_ENTRY(table, key, name) &unimplemented<handler_id::name>,
#include "sve/decode/sve_entries.def"
#undef SVE_ENTRY
};

struct entry_source {
    const char *name;
    const char *table;
    uint32_t key;
    decode_map **map;
    const key_field_list *fields;
};

#define SVE_TABLE(name, ...) constexpr key_field_list fields_##name = {__VA_ARGS__};
#define SVE_FIELD(hi, lo) key_field{hi, lo},
#include "sve/decode/sve_tables.def"
#undef SVE_FIELD
#undef SVE_TABLE

constexpr entry_source kEntries[kHandlerCount] = {
#define SVE_ENTRY(table, key, name) {#name, #table, key, &table, &fields_##table},
#include "sve/decode/sve_entries.def"
#undef SVE_ENTRY
};

sve_handler_info catalog[kHandlerCount];

void build_tables() {
#define SVE_TABLE(name, ...) name = new decode_map;
#include "sve/decode/sve_tables.def"
#undef SVE_TABLE
    for (size_t i = 0; i < kHandlerCount; ++i) {
        const entry_source &e = kEntries[i];
        sve_handler_fn fn = nullptr;
        for (const sve_family_bindings *family : kFamilies) {
            if ((*family)[i] != nullptr) {
                fn = (*family)[i];
                break;
            }
        }
        const bool implemented = fn != nullptr;
        if (!implemented) fn = kPlaceholders[i];
        // A duplicate key keeps the first pair.
        (*e.map)->emplace(static_cast<int>(e.key), fn);
        const key_pattern pat = pattern_of(*e.fields, e.key);
        catalog[i] = sve_handler_info{e.name, e.table, e.key, pat.mask, pat.value, fn, implemented};
    }
}

struct load_time_initialiser {
    load_time_initialiser() {
        page_size = static_cast<uint32_t>(sysconf(_SC_PAGESIZE));
        build_tables();
        SVEInitialize();
    }
};
load_time_initialiser initialiser;

}  // namespace

// Cascade order: most key bits first.
const decode_table_ref kCascade[kTableCount] = {
#define SVE_TABLE(name, ...) {#name, &name, &fields_##name},
#include "sve/decode/sve_tables.def"
#undef SVE_TABLE
};

// Recogniser order (see sve_recogniser_order.def).
const decode_table_ref kRecogniserOrder[kTableCount] = {
#define SVE_RECOGNISER_STEP(name) {#name, &name, &fields_##name},
#include "sve/decode/sve_recogniser_order.def"
#undef SVE_RECOGNISER_STEP
};

sve_handler_fn sve_cascade_lookup(uint32_t word) {
    for (const decode_table_ref &t : kCascade) {
        const decode_map &m = **t.map;
        const auto it = m.find(table_key(word, *t.fields));
        if (it != m.end()) return it->second;
    }
    return nullptr;
}

extern "C" aarch64_decode_rc execute_sve_instruction(cpu_state *state) {
    uint32_t word;
    std::memcpy(&word, state->pc, sizeof word);
    const sve_handler_fn handler = sve_cascade_lookup(word);
    if (handler == nullptr) return DECODE_UNIMPLEMENTED;
    const aarch64_decode_rc rc = handler(state, word);
    if (rc == DECODE_OK) state->pc += 4;
    return rc;
}

const sve_handler_info *sve_handler_catalog(size_t *count) {
    if (count) *count = kHandlerCount;
    return catalog;
}

const sve_handler_info *sve_find_handler(const char *name) {
    for (const sve_handler_info &h : catalog)
        if (h.name != nullptr && std::strcmp(h.name, name) == 0) return &h;
    return nullptr;
}
