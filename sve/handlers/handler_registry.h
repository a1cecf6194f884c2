// How handlers are declared and bound to the dispatch entries.
//
// Every handler has internal linkage inside the family file (one file per
// instruction family) that implements it:
//
//     namespace {
//     SVE_HANDLER(VecU8AddVVM) { return ...; }
//     }
//     #define SVE_FAMILY int_arith
//     #include "sve/handlers/family_bindings.inc"
//
// SVE_HANDLER defines the function under its own name and records it as the
// implementation of that entry; family_bindings.inc emits the family's binding
// array sve_family_<name> (one slot per entry, null where the family has no
// handler), the only external symbol of a family file. The build lists the
// families from the file names (<family>_handlers.cpp), so SVE_FAMILY must be the
// file's family name. The decode tables take each entry's handler
// from the family that implements it, or a placeholder that returns
// DECODE_UNIMPLEMENTED.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sve/state/cpu_state.h"

enum class handler_id : uint16_t {
#define SVE_ENTRY(table, key, name) name,
#include "sve/decode/sve_entries.def"
#undef SVE_ENTRY
};

inline constexpr size_t kHandlerCount = 0
#define SVE_ENTRY(table, key, name) +1
#include "sve/decode/sve_entries.def"
#undef SVE_ENTRY
    ;

using sve_family_bindings = sve_handler_fn[kHandlerCount];

namespace {
// The implementation of an entry in this translation unit, if any.
template <handler_id>
[[maybe_unused]] constexpr sve_handler_fn implementation = nullptr;
}  // namespace

#define SVE_HANDLER(name)                                                             \
    aarch64_decode_rc name(cpu_state *state, uint32_t insn);                          \
    template <>                                                                       \
    [[maybe_unused]] constexpr sve_handler_fn implementation<handler_id::name> = &name; \
    aarch64_decode_rc name([[maybe_unused]] cpu_state *state, [[maybe_unused]] uint32_t insn)

