// The load-time initialiser, the 44 dispatch tables and the decode cascade.
#include "sve/decode/sve_utils.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
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

// The distinct handler functions in address order, so that a handler has a
// small number (its index) that fits beside an instruction word in 64 bits.
sve_handler_fn handler_fns[kHandlerCount];
size_t handler_fn_count = 0;

void number_handlers() {
    for (size_t i = 0; i < kHandlerCount; ++i) handler_fns[i] = catalog[i].fn;
    std::sort(handler_fns, handler_fns + kHandlerCount, std::less<>());
    handler_fn_count = static_cast<size_t>(std::unique(handler_fns, handler_fns + kHandlerCount) - handler_fns);
}

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
        number_handlers();
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

namespace {

sve_handler_fn walk(const decode_table_ref (&order)[kTableCount], uint32_t word) {
    for (const decode_table_ref &t : order) {
        const decode_map &m = **t.map;
        const auto it = m.find(table_key(word, *t.fields));
        if (it != m.end()) return it->second;
    }
    return nullptr;
}

// Words already looked up, one direct-mapped table per walk order. A slot is a
// single 64-bit value, read and written whole, so threads share the tables
// without a lock and never see half of an entry: the word in the upper half,
// below it 0 (empty), 1 (no handler) or 2 + the handler's number.
constexpr unsigned kRememberedBits = 12;
struct remembered_words {
    std::atomic<uint64_t> slot[1u << kRememberedBits];
};
remembered_words remembered_cascade, remembered_recogniser;

sve_handler_fn remembered_lookup(remembered_words &r, const decode_table_ref (&order)[kTableCount], uint32_t word) {
    std::atomic<uint64_t> &slot = r.slot[(word * 0x9E3779B1u) >> (32 - kRememberedBits)];
    const uint64_t seen = slot.load(std::memory_order_relaxed);
    if (seen >> 32 == word) {
        const uint32_t code = static_cast<uint32_t>(seen);
        if (code == 1) return nullptr;
        if (code >= 2) return handler_fns[code - 2];
    }
    const sve_handler_fn fn = walk(order, word);
    uint32_t code = 1;
    if (fn != nullptr) {
        const sve_handler_fn *at = std::lower_bound(handler_fns, handler_fns + handler_fn_count, fn, std::less<>());
        if (at == handler_fns + handler_fn_count || *at != fn) return fn;
        code = static_cast<uint32_t>(at - handler_fns) + 2;
    }
    slot.store(uint64_t{word} << 32 | code, std::memory_order_relaxed);
    return fn;
}

}  // namespace

sve_handler_fn sve_cascade_lookup(uint32_t word) { return walk(kCascade, word); }
sve_handler_fn sve_recogniser_lookup(uint32_t word) { return walk(kRecogniserOrder, word); }
sve_handler_fn sve_remembered_cascade_lookup(uint32_t word) {
    return remembered_lookup(remembered_cascade, kCascade, word);
}
sve_handler_fn sve_remembered_recogniser_lookup(uint32_t word) {
    return remembered_lookup(remembered_recogniser, kRecogniserOrder, word);
}

extern "C" aarch64_decode_rc execute_sve_instruction(cpu_state *state) {
    uint32_t word;
    std::memcpy(&word, state->pc, sizeof word);
    const sve_handler_fn handler = sve_remembered_cascade_lookup(word);
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
