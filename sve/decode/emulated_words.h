// What the hosts emulate, and the per-thread cache they look words up in.
//
// A host emulates every SVE instruction and, where the processor lacks them
// (HWCAP_FPHP or HWCAP_ASIMDHP clear: an Armv8.0 core), the half-precision
// scalar and Advanced SIMD instructions every SVE processor has.
#pragma once

#include <cstdint>

#include "sve/decode/half_precision.h"
#include "sve/decode/sve_utils.h"
#include "sve/support/a64_scalar.h"

// HWCAP_FPHP and HWCAP_ASIMDHP.
inline constexpr uint64_t kHwcapHalfPrecision = (1ull << 9) | (1ull << 10);

inline bool lacks_half_precision(uint64_t hwcap) { return (hwcap & kHwcapHalfPrecision) != kHwcapHalfPrecision; }

// The handler of an emulated word, or null.
inline sve_handler_fn emulated_instruction(uint32_t word, bool with_half_precision) {
    sve_handler_fn fn = is_sve(word);
    if (fn == nullptr && with_half_precision) fn = is_half_precision(word);
    return fn;
}

// Whether an emulated word may access memory. SVE's loads, stores and
// prefetches are exactly its encodings with bit 31 set (the memory groups), and
// the half-precision scalar and Advanced SIMD words have bit 31 clear. A host
// may run a stretch of words of which none does without guarding against
// faults.
inline bool may_access_memory(uint32_t word) { return (word >> 31) != 0; }

// Words a thread has looked up: their handlers (null: not emulated) and, for
// the others, the executor of the scalar subset a host may run them with (null:
// outside it). The answers depend on the word alone, which is the key. A word
// goes in the slot of its address (direct-mapped, a word apart): a loop's words
// never share one, and the index is two instructions. A zero-filled record is
// empty: its slots hold word 0's answer (UDF #0: not emulated, no executor).
struct recognised_words {
    static constexpr unsigned kSlots = 1024;
    struct slot {
        uint32_t key;  // the word
        uint32_t unused_key_half;
        sve_handler_fn fn;
        a64_scalar_fn scalar;
        uint64_t unused;  // a slot is 32 bytes
    } slots[kSlots];
};

// The cached entry for WORD, read from address AT; on a miss, LOOK_UP(word)
// gives the handler.
template <typename LookUp>
[[gnu::always_inline]] inline const recognised_words::slot &recognised_slot(recognised_words &cache, uint32_t word,
                                                                            uint64_t at, LookUp look_up) {
    static_assert(sizeof(recognised_words::slot) == 32);
    // The slot's byte offset is the word's offset in its 4 KiB times 8.
    recognised_words::slot &s = *reinterpret_cast<recognised_words::slot *>(
        reinterpret_cast<unsigned char *>(cache.slots) + ((at & (4 * recognised_words::kSlots - 4)) << 3));
    if (__builtin_expect(s.key == word, 1)) return s;
    s.fn = look_up(word);
    s.scalar = s.fn == nullptr ? a64_scalar_executor(word) : nullptr;
    s.key = word;
    return s;
}

// The cached handler for WORD, read from address AT.
template <typename LookUp>
[[gnu::always_inline]] inline sve_handler_fn recognise_cached(recognised_words &cache, uint32_t word, uint64_t at,
                                                               LookUp look_up) {
    return recognised_slot(cache, word, at, look_up).fn;
}
