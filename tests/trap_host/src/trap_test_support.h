// Helpers of the trap-host tests. The test program runs under the trap host
// (tools/sve-run); it does not link the emulator core itself, it reaches the
// preloaded library's exports instead.
#pragma once

#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include <gtest/gtest.h>

#include "sve/client/trap_host.h"
#include "sve/decode/sve_utils.h"
#include "tests/common/failing_word.h"

namespace trap_test {

// Instruction words used by the tests.
namespace insn {
constexpr uint32_t kSetffr = 0x252c9000;      // setffr
constexpr uint32_t kPtrueP0D = 0x25d8e3e0;    // ptrue p0.d
constexpr uint32_t kPtruesP0B = 0x2519e3e0;   // ptrues p0.b
constexpr uint32_t kRdffrP1B = 0x2519f001;    // rdffr p1.b
constexpr uint32_t kCntpX0P0P1D = 0x25e08020; // cntp x0, p0, p1.d
constexpr uint32_t kIncdX0 = 0x04f0e3e0;      // incd x0
constexpr uint32_t kIncdX1 = 0x04f0e3e1;      // incd x1
constexpr uint32_t kCntdX0 = 0x04e0e3e0;      // cntd x0
constexpr uint32_t kDupZ0X1 = 0x05e03820;     // mov z0.d, x1
constexpr uint32_t kAddZ4Z5Z6 = 0x04e600a4;   // add z4.d, z5.d, z6.d
constexpr uint32_t kFaddZ0Z1Z2S = 0x65820020; // fadd z0.s, z1.s, z2.s
constexpr uint32_t kLd1dZ0X0 = 0xa5e0a000;    // ld1d {z0.d}, p0/z, [x0]
constexpr uint32_t kLdff1dZ0X0 = 0xa5ff6000;  // ldff1d {z0.d}, p0/z, [x0, xzr, lsl #3]
constexpr uint32_t kLdnf1dZ0X0 = 0xa5f0a000;  // ldnf1d {z0.d}, p0/z, [x0]
constexpr uint32_t kSt1dZ0X0 = 0xe5e0e000;    // st1d {z0.d}, p0, [x0]
constexpr uint32_t kSt1dZ0Sp = 0xe5e0e3e0;    // st1d {z0.d}, p0, [sp]
constexpr uint32_t kAddX2One = 0x91000442;    // add x2, x2, #1
constexpr uint32_t kAddX0One = 0x91000400;    // add x0, x0, #1
constexpr uint32_t kLdrX2Sp = 0xf94003e2;     // ldr x2, [sp]
constexpr uint32_t kSubsX1One = 0xf1000421;   // subs x1, x1, #1
constexpr uint32_t kBneBack4 = 0x54ffff81;    // b.ne to four words back
constexpr uint32_t kNop = 0xd503201f;
constexpr uint32_t kRet = 0xd65f03c0;
constexpr uint32_t kUdf = 0x00000000;
}  // namespace insn

inline bool trap_host_loaded() {
    return dlsym(RTLD_DEFAULT, "sve_trap_host_thread_counters") != nullptr;
}

inline sve_trap_host_counters thread_counters() {
    using fn_t = void (*)(sve_trap_host_counters *);
    sve_trap_host_counters c{};
    if (auto fn = reinterpret_cast<fn_t>(dlsym(RTLD_DEFAULT, "sve_trap_host_thread_counters")))
        fn(&c);
    return c;
}

inline uint64_t live_records() {
    using fn_t = uint64_t (*)();
    auto fn = reinterpret_cast<fn_t>(dlsym(RTLD_DEFAULT, "sve_trap_host_live_records"));
    return fn ? fn() : 0;
}

// The dispatch entry the preloaded library holds for a word, or null.
inline const sve_handler_info *entry_for(uint32_t word) {
    using is_sve_t = sve_handler_fn (*)(unsigned);
    using catalog_t = const sve_handler_info *(*)(size_t *);
    auto recognise = reinterpret_cast<is_sve_t>(dlsym(RTLD_DEFAULT, "is_sve"));
    auto catalog = reinterpret_cast<catalog_t>(dlsym(RTLD_DEFAULT, "_Z19sve_handler_catalogPm"));
    if (recognise == nullptr || catalog == nullptr) return nullptr;
    sve_handler_fn fn = recognise(word);
    if (fn == nullptr) return nullptr;
    size_t n = 0;
    const sve_handler_info *all = catalog(&n);
    for (size_t i = 0; i < n; ++i)
        if (all[i].fn == fn && (word & all[i].fixed_mask) == all[i].fixed_value) return &all[i];
    return nullptr;
}

inline bool implemented(std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) {
        const sve_handler_info *e = entry_for(w);
        if (e == nullptr || !e->implemented) return false;
    }
    return true;
}

// A recognised word that fails to emulate in the preloaded library (see
// tests/common/failing_word.h).
inline uint32_t failing_word() {
    using catalog_t = const sve_handler_info *(*)(size_t *);
    auto catalog = reinterpret_cast<catalog_t>(dlsym(RTLD_DEFAULT, "_Z19sve_handler_catalogPm"));
    size_t n = 0;
    const sve_handler_info *all = catalog != nullptr ? catalog(&n) : nullptr;
    return ::failing_word(all, n, entry_for);
}

#define SKIP_UNLESS_IMPLEMENTED(...)                                                    \
    do {                                                                                \
        if (!::trap_test::implemented({__VA_ARGS__}))                                   \
            GTEST_SKIP() << "needs instructions the emulator does not implement yet";  \
    } while (0)

// For the instructions every build emulates: a missing one is a failure, but
// executing it would end the whole test program by SIGILL.
#define ASSERT_IMPLEMENTED(...)                                                         \
    do {                                                                                \
        if (!::trap_test::implemented({__VA_ARGS__}))                                   \
            FAIL() << "the emulator does not implement " #__VA_ARGS__;                  \
    } while (0)

// Generated code: instruction words placed in fresh executable pages, called as
// a function uint64_t(uint64_t x0, uint64_t x1). `offset` is the byte offset of
// the first word from the start of the mapping, so a sequence can be made to
// straddle a page boundary.
struct code_pages {
    void *map = MAP_FAILED;
    size_t bytes = 0;
    unsigned char *start = nullptr;

    code_pages(std::initializer_list<uint32_t> words, size_t offset = 0) {
        size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        bytes = ((offset + 4 * words.size() + page - 1) / page + 1) * page;
        map = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) return;
        start = static_cast<unsigned char *>(map) + offset;
        size_t i = 0;
        for (uint32_t w : words) std::memcpy(start + 4 * i++, &w, 4);
        mprotect(map, bytes, PROT_READ | PROT_EXEC);
        __builtin___clear_cache(reinterpret_cast<char *>(map), reinterpret_cast<char *>(map) + bytes);
    }
    ~code_pages() {
        if (map != MAP_FAILED) munmap(map, bytes);
    }
    code_pages(const code_pages &) = delete;
    code_pages &operator=(const code_pages &) = delete;

    uint64_t operator()(uint64_t x0 = 0, uint64_t x1 = 0) const {
        using fn_t = uint64_t (*)(uint64_t, uint64_t);
        return reinterpret_cast<fn_t>(start)(x0, x1);
    }
    const void *word_address(size_t i) const { return start + 4 * i; }
    // Replaces word I, as a program that writes code does.
    void rewrite(size_t i, uint32_t w) {
        mprotect(map, bytes, PROT_READ | PROT_WRITE);
        std::memcpy(start + 4 * i, &w, 4);
        mprotect(map, bytes, PROT_READ | PROT_EXEC);
        __builtin___clear_cache(reinterpret_cast<char *>(start + 4 * i), reinterpret_cast<char *>(start + 4 * i + 4));
    }
};

// An unreadable page with a readable page before it; `boundary` is the first
// unreadable byte.
struct guard_page {
    void *map = MAP_FAILED;
    size_t page = 0;
    unsigned char *boundary = nullptr;
    guard_page() {
        page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        map = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (map == MAP_FAILED) return;
        boundary = static_cast<unsigned char *>(map) + page;
        mprotect(boundary, page, PROT_NONE);
    }
    ~guard_page() {
        if (map != MAP_FAILED) munmap(map, 2 * page);
    }
    guard_page(const guard_page &) = delete;
    guard_page &operator=(const guard_page &) = delete;
};

}  // namespace trap_test
