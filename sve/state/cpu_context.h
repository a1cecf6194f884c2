// The architecture-level context that computing handlers build for each call of
// a core function, and the guarded memory interface those core functions use.
#pragma once

#include <cstdint>

struct CpuContext {
    uint32_t flags;   // N, Z, C, V in bits 31..28
    uint32_t fpsr;
    uint32_t fpcr;
    uint32_t vl64;    // vector length in 64-bit units, low 26 bits
    uint64_t ffr[4];  // packed FFR: predicate bit i in word i/64, bit i%64
};

// Vector length of the emulated machine in 64-bit units.
inline constexpr uint32_t kVl64 = 32;

inline constexpr uint32_t context_vl64(const CpuContext *ctx) { return ctx->vl64 & 0x3FFFFFFu; }
