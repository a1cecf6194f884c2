// The emulated register file of one application thread, and the register-number
// records through which handlers name operands to kernels.
#pragma once

#include <cstddef>
#include <cstdint>

// Result of handlers, kernels and the decode cascade.
enum aarch64_decode_rc : uint32_t {
    DECODE_OK = 0,
    DECODE_UNIMPLEMENTED = 2,
};

// Vector length in bytes (2048 bits).
inline constexpr unsigned kVecBytes = 256;
// Predicate length in predicate bits (one per vector byte).
inline constexpr unsigned kPredBits = 256;

// The rewriting code addresses every field with one immediate-offset load or
// store relative to the record, so the layout below is fixed and checked.
struct alignas(16) cpu_state {
    uint64_t x[31];            // X0-X30
    uint64_t sp;               // stack pointer
    unsigned char *pc;         // address of the instruction being emulated
    uint64_t nzcv;             // NZCV image: N bit 31, Z 30, C 29, V 28
    uint32_t fpsr;             // FPSR image
    uint32_t fpcr;             // FPCR image
    uint32_t fpcr_extra;       // extra FP-control bits ORed into computing handlers' FPCR
    alignas(16) unsigned char z[32][kVecBytes];  // Z0-Z31; bytes 0-15 are V0-V31
    unsigned char p[16][kVecBytes];              // P0-P15, one byte (0 or 1) per predicate bit
    unsigned char ffr[kVecBytes];                // first-fault register, same form
    uint64_t insn;             // instruction word being emulated, zero-extended
};

static_assert(offsetof(cpu_state, x) == 0);
static_assert(offsetof(cpu_state, sp) == 248);
static_assert(offsetof(cpu_state, pc) == 256);
static_assert(offsetof(cpu_state, nzcv) == 264);
static_assert(offsetof(cpu_state, fpsr) == 272);
static_assert(offsetof(cpu_state, fpcr) == 276);
static_assert(offsetof(cpu_state, fpcr_extra) == 280);
static_assert(offsetof(cpu_state, z) % 16 == 0, "LDR/STR Q need 16-byte-aligned offsets");
static_assert(offsetof(cpu_state, z) == 288);
static_assert(offsetof(cpu_state, p) == 288 + 32 * 256);
static_assert(offsetof(cpu_state, ffr) == offsetof(cpu_state, p) + 16 * 256);
static_assert(offsetof(cpu_state, insn) == offsetof(cpu_state, ffr) + 256);
static_assert(alignof(cpu_state) == 16);
// Every field must be reachable with an unsigned scaled 12-bit offset:
// X registers and SP/NZCV (scale 8), FPSR/FPCR (scale 4), Q registers (scale 16),
// and STP/LDP of X pairs (signed 7-bit, scale 8) for x[0..30].
static_assert(offsetof(cpu_state, nzcv) / 8 < 4096 && offsetof(cpu_state, nzcv) % 8 == 0);
static_assert(offsetof(cpu_state, fpcr) / 4 < 4096 && offsetof(cpu_state, fpcr) % 4 == 0);
static_assert((offsetof(cpu_state, z) + 31 * 256) / 16 < 4096);
static_assert(offsetof(cpu_state, x) + 30 * 8 <= 504);

// Register-number records, passed by value. Qualifier meanings are in
// kernel_common.h; the class fields are informative only.
enum : uint32_t {
    kRegClassGeneral = 4,
    kRegClassZ = 5,
    kRegClassP = 7,
};

// Element-size codes carried in qualifiers.
enum : uint32_t {
    kQualB = 0,
    kQualH = 1,
    kQualS = 2,
    kQualD = 3,
    kQualQ = 4,
    kQualZeroing = 5,  // governing predicate qualifier: zeroing form
};

// General-register width qualifiers.
enum : uint32_t {
    kQualW = 2,
    kQualX = 3,
};

struct aarch64_z_reg {
    uint32_t num;
    uint32_t qual;
    uint32_t cls0;
    uint32_t cls1;
    static const char *const zname[32];
    static const char *const zname_b[32];
    static const char *const zname_h[32];
    static const char *const zname_s[32];
    static const char *const zname_d[32];
};

struct aarch64_p_reg {
    uint32_t num;
    uint32_t qual;
    uint32_t cls0;
    uint32_t cls1;
    static const char *const pname[16];
    static const char *const pname_m[16];
    static const char *const pname_z[16];
    static const char *const pname_b[16];
    static const char *const pname_h[16];
    static const char *const pname_s[16];
    static const char *const pname_d[16];
};

// Number 31 is XZR/WZR: reads as zero, writes are dropped.
struct aarch64_i_reg {
    uint32_t num;
    uint32_t qual;
    uint32_t cls0;
    uint32_t cls1;
    static const char *const xname[32];
    static const char *const wname[32];
};

// Number 31 is SP.
struct aarch64_i_rsp_reg {
    uint32_t num;
    uint32_t qual;
    static const char *const xname[32];
    static const char *const wname[32];
};

inline constexpr aarch64_z_reg make_zreg(uint32_t num, uint32_t qual) {
    return aarch64_z_reg{num & 31, qual, kRegClassZ, kRegClassZ};
}
inline constexpr aarch64_p_reg make_preg(uint32_t num, uint32_t qual) {
    return aarch64_p_reg{num & 15, qual, kRegClassP, kRegClassP};
}
inline constexpr aarch64_i_reg make_ireg(uint32_t num, uint32_t qual = kQualX) {
    return aarch64_i_reg{num & 31, qual, kRegClassGeneral, kRegClassGeneral};
}
inline constexpr aarch64_i_rsp_reg make_rspreg(uint32_t num, uint32_t qual = kQualX) {
    return aarch64_i_rsp_reg{num & 31, qual};
}

// Handler signature: every emulated encoding class has one.
using sve_handler_fn = aarch64_decode_rc (*)(cpu_state *, uint32_t);
