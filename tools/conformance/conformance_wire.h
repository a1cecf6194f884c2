// The records that travel between the conformance runner and the reference
// probe, the fixed addresses both sides use, and the memory-window filler they
// share. Compiled into the runner (x86_64 or AArch64) and into the probe (AArch64
// with SVE), so everything here is plain fixed-width data, little-endian.
#pragma once

#include <cstddef>
#include <cstdint>

namespace conformance {

// Vector and predicate lengths of the emulated machine.
inline constexpr unsigned kZBytes = 256;
inline constexpr unsigned kPBytes = kZBytes / 8;

// Code slots: each case's words run from a page of their own that no other case
// has used since the slots were last mapped afresh, so the reference never has to
// notice a write to code it has already translated. A slot page holds
//   +0       LDR X30, +80   (X30 of the case, from the literal below)
//   +4       the first instruction word: the case pc
//   +8 ...   the case's further words, if it is a sequence (at most 15)
//   +4+4n    B back into the probe, after the n words
//   +80      the literal
// The subject places the words at the same pc, so pc values agree on both sides.
inline constexpr unsigned kMaxSequenceWords = 16;
inline constexpr uint64_t kSlotLiteralOffset = 80;
inline constexpr uint64_t kPageBytes = 4096;
inline constexpr uint64_t kCodeBase = 0x04000000;
inline constexpr unsigned kCodeSlots = 1024;
inline constexpr uint64_t kCodeBytes = kCodeSlots * kPageBytes;
inline constexpr uint64_t kSlotWordOffset = 4;
inline constexpr uint64_t slot_pc(unsigned slot) {
    return kCodeBase + (slot % kCodeSlots) * kPageBytes + kSlotWordOffset;
}

// The memory window that memory instructions address. It lies below 4 GiB so that
// 32-bit vector bases can point into it, and is surrounded by reserved pages with
// no access so that a stray address faults instead of reaching other data.
inline constexpr uint64_t kWindowBase = 0x06000000;
inline constexpr unsigned kWindowPages = 64;
inline constexpr uint64_t kWindowBytes = kWindowPages * kPageBytes;
inline constexpr unsigned kGuardPages = 16;
inline constexpr unsigned kChunkBytes = 64;
inline constexpr unsigned kWindowChunks = static_cast<unsigned>(kWindowBytes / kChunkBytes);

inline constexpr uint32_t kBatchMagic = 0x53564542;   // "BEVS"
inline constexpr uint32_t kCaseMagic = 0x53564543;    // "CEVS"
inline constexpr uint32_t kResultMagic = 0x53564552;  // "REVS"
inline constexpr uint32_t kWireVersion = 2;

// Architectural state in the probe's layout: predicates packed one bit per
// predicate bit, as SVE LDR/STR (predicate) see them.
struct wire_regs {
    uint64_t x[31];
    uint64_t sp;
    uint64_t nzcv;
    uint32_t fpsr;
    uint32_t fpcr;
    uint64_t probe_entry;  // the probe's own use: the slot page to branch to
    uint8_t pad0[232];
    uint8_t z[32][kZBytes];
    uint8_t p[16][kPBytes];
    uint8_t ffr[kPBytes];
    uint8_t pad1[32];
};
static_assert(offsetof(wire_regs, sp) == 248);
static_assert(offsetof(wire_regs, nzcv) == 256);
static_assert(offsetof(wire_regs, fpsr) == 264);
static_assert(offsetof(wire_regs, fpcr) == 268);
static_assert(offsetof(wire_regs, probe_entry) == 272);
static_assert(offsetof(wire_regs, z) == 512);
static_assert(offsetof(wire_regs, p) == 8704);
static_assert(offsetof(wire_regs, ffr) == 9216);
static_assert(sizeof(wire_regs) == 9280);

struct wire_batch_header {
    uint32_t magic;
    uint32_t version;
    uint64_t window_seed;  // the window's initial contents, see fill_window
};

enum : uint32_t {
    kCaseCheckMemory = 1u << 0,  // compare the window after the instruction
};

struct wire_case_header {
    uint32_t magic;
    uint32_t word;
    uint64_t tag;             // echoed in the result
    uint64_t pc;              // slot_pc of some slot
    uint64_t unmapped_pages;  // bit i: window page i has no access for this case
    uint32_t flags;
    uint32_t extra_words;     // words after `word` (0 to kMaxSequenceWords - 1); they
                              // follow the registers, 4 bytes each
};
static_assert(sizeof(wire_case_header) == 40);

// A case: this header, wire_regs, then `extra_words` instruction words.
// A result: this header, the state after the instruction(s), then `mem_chunks`
// records of window chunks whose contents differ from the initial window.
struct wire_result_header {
    uint32_t magic;
    uint32_t signal;       // 0: the instruction completed; else the signal it raised
    uint64_t tag;
    uint64_t fault_address;
    uint64_t pc_after;     // where execution went on: pc + 4 per word, or the faulting pc
    int32_t si_code;
    uint32_t mem_chunks;
};
static_assert(sizeof(wire_result_header) == 40);

struct wire_chunk {
    uint64_t index;  // chunk number within the window
    uint8_t bytes[kChunkBytes];
};
static_assert(sizeof(wire_chunk) == 72);

inline uint64_t splitmix64(uint64_t &state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Initial window contents: random bytes mixed with edge patterns at every element
// size (zeros, all ones, sign boundaries, NaNs, infinities, subnormals), so loads
// see the same kinds of values as registers do.
inline void fill_window(uint8_t *window, uint64_t bytes, uint64_t seed) {
    static constexpr uint64_t kPatterns[] = {
        0x0000000000000000ull, 0xFFFFFFFFFFFFFFFFull, 0x8000000000000000ull,
        0x7FFFFFFFFFFFFFFFull, 0x0000000000000001ull, 0x7FF0000000000000ull,
        0xFFF8000000000000ull, 0x7FF4000000000001ull, 0x000FFFFFFFFFFFFFull,
        0x7FEFFFFFFFFFFFFFull, 0x7F8000007FC00000ull, 0x7FA00001FF800000ull,
        0x007FFFFF80000001ull, 0x7F7FFFFF00800000ull, 0x7C00FC007E007D01ull,
        0x03FF7BFF80010400ull, 0x807F7F8001FF0080ull, 0x3FF0000000000000ull,
    };
    uint64_t state = seed;
    for (uint64_t i = 0; i + 8 <= bytes; i += 8) {
        uint64_t r = splitmix64(state);
        uint64_t v;
        if ((r & 3) != 0)
            v = splitmix64(state);
        else
            v = kPatterns[(r >> 8) % (sizeof kPatterns / sizeof kPatterns[0])];
        for (unsigned b = 0; b < 8; ++b) window[i + b] = static_cast<uint8_t>(v >> (8 * b));
    }
}

}  // namespace conformance
