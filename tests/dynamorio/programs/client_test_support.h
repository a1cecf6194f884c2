// Helpers of the programs that run under DynamoRIO with libsve_2048.so.
//
// The programs link their own copy of the emulator core only to ask which
// handlers are implemented, so that a test of an instruction whose handler is
// not written yet is skipped rather than failed, and starts testing by itself
// when the handler lands. The instructions themselves are executed by the
// processor and rewritten by the client.
#pragma once

#include <signal.h>

#include <cstdint>
#include <initializer_list>

#include "sve/decode/sve_utils.h"

namespace dr_test {

// The dispatch entry for a word, or null when the word is not emulated.
inline const sve_handler_info *entry_for(uint32_t word) {
    const sve_handler_fn fn = is_sve(word);
    if (fn == nullptr) return nullptr;
    size_t n = 0;
    const sve_handler_info *all = sve_handler_catalog(&n);
    for (size_t i = 0; i < n; ++i)
        if (all[i].fn == fn && (word & all[i].fixed_mask) == all[i].fixed_value) return &all[i];
    return nullptr;
}

// Whether every word is emulated by an implemented handler.
inline bool implemented(std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) {
        const sve_handler_info *e = entry_for(w);
        if (e == nullptr || !e->implemented) return false;
    }
    return true;
}

// The linked core installs its own SIGSEGV and SIGBUS handlers at load time,
// whose notice is the client's; the programs put the default actions back so
// that a notice can only come from the client.
inline void use_default_fault_actions() {
    signal(SIGSEGV, SIG_DFL);
    signal(SIGBUS, SIG_DFL);
}

// Instruction words that the tests check for, by their assembly in the tests.
namespace insn {
constexpr uint32_t kPtruesP0B = 0x2519e3e0;       // ptrues p0.b
constexpr uint32_t kSetffr = 0x252c9000;          // setffr
constexpr uint32_t kLdff1bZ0P0X0Xzr = 0xa41f6000;  // ldff1b {z0.b}, p0/z, [x0, xzr]
constexpr uint32_t kLdnf1bZ0P0X0 = 0xa410a000;     // ldnf1b {z0.b}, p0/z, [x0]
constexpr uint32_t kLd1bZ0P0X0 = 0xa400a000;       // ld1b {z0.b}, p0/z, [x0]
constexpr uint32_t kRdffrP1B = 0x2519f001;         // rdffr p1.b
constexpr uint32_t kCntpX2P0P1B = 0x25208022;      // cntp x2, p0, p1.b
constexpr uint32_t kPtrueP0B = 0x2518e3e0;         // ptrue p0.b
}  // namespace insn

}  // namespace dr_test
