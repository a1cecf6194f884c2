// What the hosts emulate, and the per-thread cache they look words up in.
//
// A host emulates every SVE instruction and, where the processor lacks them
// (HWCAP_FPHP or HWCAP_ASIMDHP clear: an Armv8.0 core), the half-precision
// scalar and Advanced SIMD instructions every SVE processor has.
#pragma once

#include <cstdint>

#include "sve/decode/half_precision.h"
#include "sve/decode/sve_utils.h"

// HWCAP_FPHP and HWCAP_ASIMDHP.
inline constexpr uint64_t kHwcapHalfPrecision = (1ull << 9) | (1ull << 10);

inline bool lacks_half_precision(uint64_t hwcap) { return (hwcap & kHwcapHalfPrecision) != kHwcapHalfPrecision; }

// The handler of an emulated word, or null.
inline sve_handler_fn emulated_instruction(uint32_t word, bool with_half_precision) {
    sve_handler_fn fn = is_sve(word);
    if (fn == nullptr && with_half_precision) fn = is_half_precision(word);
    return fn;
}

// Words a thread has looked up and their handlers (null: not emulated),
// direct-mapped: a run in a loop meets the same few words again and again, and
// the answers never change. A zero-filled record is empty.
struct recognised_words {
    static constexpr unsigned kSlots = 256;
    struct slot {
        uint32_t word;
        uint32_t filled;
        sve_handler_fn fn;
    } slots[kSlots];
};

// The cached answer for WORD; on a miss, LOOK_UP(word) gives it.
template <typename LookUp>
inline sve_handler_fn recognise_cached(recognised_words &cache, uint32_t word, LookUp look_up) {
    recognised_words::slot &s = cache.slots[(word ^ (word >> 8) ^ (word >> 19)) % recognised_words::kSlots];
    if (s.filled && s.word == word) return s.fn;
    s.fn = look_up(word);
    s.word = word;
    s.filled = 1;
    return s.fn;
}
