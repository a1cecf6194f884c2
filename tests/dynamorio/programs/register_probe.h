// Register probes: assembly routines that load every register the emulation
// exchanges from one reg_image, run a few instructions, and store every register
// into another. Shared by register_probes.S and the tests, so it is plain
// preprocessor text.
#pragma once

#define PROBE_X 0        /* x[31]: X0-X30 */
#define PROBE_SP 248     /* SP (read-only input: only recorded) */
#define PROBE_NZCV 256
#define PROBE_FPCR 264
#define PROBE_FPSR 272
#define PROBE_V 288      /* v[32][16]: V0-V31 */
#define PROBE_SIZE 800

#ifndef __ASSEMBLER__
#include <cstddef>
#include <cstdint>

struct alignas(16) reg_image {
    uint64_t x[31];
    uint64_t sp;
    uint64_t nzcv;
    uint64_t fpcr;
    uint64_t fpsr;
    uint64_t pad;
    unsigned char v[32][16];
};
static_assert(offsetof(reg_image, x) == PROBE_X);
static_assert(offsetof(reg_image, sp) == PROBE_SP);
static_assert(offsetof(reg_image, nzcv) == PROBE_NZCV);
static_assert(offsetof(reg_image, fpcr) == PROBE_FPCR);
static_assert(offsetof(reg_image, fpsr) == PROBE_FPSR);
static_assert(offsetof(reg_image, v) == PROBE_V);
static_assert(sizeof(reg_image) == PROBE_SIZE);

// Each probe: load `in` into the registers (SP stays the caller's), run its
// instructions, store the registers into `out` (out->sp is SP after the
// instructions), and return with the caller's state restored.
#define REGISTER_PROBE(name) extern "C" void name(const reg_image *in, reg_image *out);
REGISTER_PROBE(probe_nothing)
REGISTER_PROBE(probe_cntd_x27)
REGISTER_PROBE(probe_incb_x28)
REGISTER_PROBE(probe_cntb_x26)
REGISTER_PROBE(probe_scratch_registers)
REGISTER_PROBE(probe_native_reads_scratch)
REGISTER_PROBE(probe_incd_x0)
REGISTER_PROBE(probe_addvl_sp)
REGISTER_PROBE(probe_vector_writes)
#undef REGISTER_PROBE
#endif
