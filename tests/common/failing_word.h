// A word the emulator recognises as SVE but cannot execute, for the tests of a
// host's failure path: one whose handler is still a placeholder, else DUPM with
// a reserved bitmask immediate (N=0, imms=0b111111), which the architecture
// leaves unallocated and the emulator refuses rather than guess. 0 when neither
// is recognised.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sve/decode/sve_utils.h"

constexpr uint32_t kDupmReservedImmediate = 0x05C007E0;  // dupm z0, #<reserved>

// `all`/`n`: the handler catalogue; `entry_for(word)`: the entry the word reaches
// through the host under test, or null.
template <typename EntryFor>
uint32_t failing_word(const sve_handler_info *all, size_t n, EntryFor entry_for) {
    for (size_t i = 0; all != nullptr && i < n; ++i)
        if (!all[i].implemented && entry_for(all[i].fixed_value) == &all[i]) return all[i].fixed_value;
    return entry_for(kDupmReservedImmediate) != nullptr ? kDupmReservedImmediate : 0;
}
