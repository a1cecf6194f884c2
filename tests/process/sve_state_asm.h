/* Holding the whole SVE register file across an asynchronous event.
 *
 * sve_hold_across(in, out, flag) loads Z0-Z31, P0-P15 and FFR from `in`, spins
 * on the 32-bit word at `flag` until it is non-zero (a signal handler sets it,
 * or the load faults and the handler makes the page readable) or about four
 * million rounds have passed, then stores the registers to `out` and returns
 * the last value it read. Nothing between the loads and the stores makes a
 * system call, so on an SVE processor the registers must come out exactly as
 * they went in, whatever the handler did. Needs a 2048-bit vector length. */
#pragma once

#include <stdint.h>

struct sve_regs {
    uint8_t z[32][256];
    uint8_t p[16][32];
    uint8_t ffr[32];
};

static inline uint32_t sve_hold_across(const struct sve_regs *in, struct sve_regs *out,
                                       volatile uint32_t *flag) {
    uint32_t seen;
    __asm__ volatile(
        /* FFR first, through P0. */
        "ldr p0, [%[inffr]]\n"
        "wrffr p0.b\n"
#define P_LD(n) "ldr p" #n ", [%[inp], #" #n ", mul vl]\n"
        P_LD(0) P_LD(1) P_LD(2) P_LD(3) P_LD(4) P_LD(5) P_LD(6) P_LD(7)
        P_LD(8) P_LD(9) P_LD(10) P_LD(11) P_LD(12) P_LD(13) P_LD(14) P_LD(15)
#define Z_LD(n) "ldr z" #n ", [%[in], #" #n ", mul vl]\n"
        Z_LD(0) Z_LD(1) Z_LD(2) Z_LD(3) Z_LD(4) Z_LD(5) Z_LD(6) Z_LD(7)
        Z_LD(8) Z_LD(9) Z_LD(10) Z_LD(11) Z_LD(12) Z_LD(13) Z_LD(14) Z_LD(15)
        Z_LD(16) Z_LD(17) Z_LD(18) Z_LD(19) Z_LD(20) Z_LD(21) Z_LD(22) Z_LD(23)
        Z_LD(24) Z_LD(25) Z_LD(26) Z_LD(27) Z_LD(28) Z_LD(29) Z_LD(30) Z_LD(31)
        "mov x10, #1 << 22\n"
        "1: ldr %w[seen], [%[flag]]\n"
        "cbnz %w[seen], 2f\n"
        "subs x10, x10, #1\n"
        "b.ne 1b\n"
        "2:\n"
#define Z_ST(n) "str z" #n ", [%[out], #" #n ", mul vl]\n"
        Z_ST(0) Z_ST(1) Z_ST(2) Z_ST(3) Z_ST(4) Z_ST(5) Z_ST(6) Z_ST(7)
        Z_ST(8) Z_ST(9) Z_ST(10) Z_ST(11) Z_ST(12) Z_ST(13) Z_ST(14) Z_ST(15)
        Z_ST(16) Z_ST(17) Z_ST(18) Z_ST(19) Z_ST(20) Z_ST(21) Z_ST(22) Z_ST(23)
        Z_ST(24) Z_ST(25) Z_ST(26) Z_ST(27) Z_ST(28) Z_ST(29) Z_ST(30) Z_ST(31)
#define P_ST(n) "str p" #n ", [%[outp], #" #n ", mul vl]\n"
        P_ST(0) P_ST(1) P_ST(2) P_ST(3) P_ST(4) P_ST(5) P_ST(6) P_ST(7)
        P_ST(8) P_ST(9) P_ST(10) P_ST(11) P_ST(12) P_ST(13) P_ST(14) P_ST(15)
        "rdffr p0.b\n"
        "str p0, [%[outffr]]\n"
        : [seen] "=&r"(seen)
        : [in] "r"(in->z), [inp] "r"(in->p), [inffr] "r"(in->ffr), [out] "r"(out->z),
          [outp] "r"(out->p), [outffr] "r"(out->ffr), [flag] "r"(flag)
        : "x10", "memory", "cc",
          "z0", "z1", "z2", "z3", "z4", "z5", "z6", "z7", "z8", "z9", "z10", "z11", "z12", "z13",
          "z14", "z15", "z16", "z17", "z18", "z19", "z20", "z21", "z22", "z23", "z24", "z25",
          "z26", "z27", "z28", "z29", "z30", "z31", "p0", "p1", "p2", "p3", "p4", "p5", "p6",
          "p7", "p8", "p9", "p10", "p11", "p12", "p13", "p14", "p15", "ffr");
#undef P_LD
#undef Z_LD
#undef Z_ST
#undef P_ST
    return seen;
}

/* Overwrites every Z, P register and FFR with values derived from `seed`. */
static inline void sve_clobber_all(uint64_t seed) {
    __asm__ volatile(
        "dup z0.d, %[s]\n"
        "index z1.d, %[s], #3\n"
#define Z_MIX(n, m) "eor z" #n ".d, z" #m ".d, z1.d\n"
        Z_MIX(2, 0) Z_MIX(3, 2) Z_MIX(4, 3) Z_MIX(5, 4) Z_MIX(6, 5) Z_MIX(7, 6) Z_MIX(8, 7)
        Z_MIX(9, 8) Z_MIX(10, 9) Z_MIX(11, 10) Z_MIX(12, 11) Z_MIX(13, 12) Z_MIX(14, 13)
        Z_MIX(15, 14) Z_MIX(16, 15) Z_MIX(17, 16) Z_MIX(18, 17) Z_MIX(19, 18) Z_MIX(20, 19)
        Z_MIX(21, 20) Z_MIX(22, 21) Z_MIX(23, 22) Z_MIX(24, 23) Z_MIX(25, 24) Z_MIX(26, 25)
        Z_MIX(27, 26) Z_MIX(28, 27) Z_MIX(29, 28) Z_MIX(30, 29) Z_MIX(31, 30)
        "ptrue p0.b\n"
        "ptrue p1.h, vl7\n"
        "pfalse p2.b\n"
        "ptrue p3.s, pow2\n"
        "cmpeq p4.d, p0/z, z1.d, #0\n"
        "cmpne p5.b, p0/z, z2.b, #0\n"
        "ptrue p6.d, mul3\n"
        "ptrue p7.b, vl1\n"
        "not p8.b, p0/z, p7.b\n"
        "not p9.b, p0/z, p1.b\n"
        "not p10.b, p0/z, p2.b\n"
        "not p11.b, p0/z, p3.b\n"
        "not p12.b, p0/z, p4.b\n"
        "not p13.b, p0/z, p5.b\n"
        "not p14.b, p0/z, p6.b\n"
        "ptrue p15.h, vl64\n"
        "wrffr p7.b\n"
        :
        : [s] "r"(seed)
        : "memory", "cc", "z0", "z1", "z2", "z3", "z4", "z5", "z6", "z7", "z8", "z9", "z10",
          "z11", "z12", "z13", "z14", "z15", "z16", "z17", "z18", "z19", "z20", "z21", "z22",
          "z23", "z24", "z25", "z26", "z27", "z28", "z29", "z30", "z31", "p0", "p1", "p2",
          "p3", "p4", "p5", "p6", "p7", "p8", "p9", "p10", "p11", "p12", "p13", "p14", "p15",
          "ffr");
}
