/* The cost program: one kind of SVE instruction, in runs of 1 or 8 per loop
 * iteration, for a given number of iterations.
 *
 *   sve_insn_cost KIND RUN ITERATIONS      (RUN is 1 or 8)
 *   sve_insn_cost --kinds                  (lists the kinds)
 *
 * Each loop iteration is RUN copies of the instruction followed by SUBS and
 * B.NE (two native instructions, which the figures include: 2 / RUN per
 * emulated instruction). The operands are set up once before the loop: P0 all
 * true, P2 all false (no break for BRKBS), Z2 and Z3 small integers or ones,
 * X0 a 2 KiB buffer, Z4 in-range gather offsets. The instructions' results
 * are not checked here: the conformance tests do that. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static uint64_t buffer[256] __attribute__((aligned(256)));

#define SETUP                                     \
    "ptrue p0.b\n"                                \
    "index z2.s, #1, #1\n"                        \
    "index z3.s, #3, #2\n"                        \
    "index z4.d, #0, #1\n"                        \
    "fmov z5.d, #1.0\n"                           \
    "fmov z6.d, #2.0\n"                           \
    "fmov z7.s, #1.0\n"                           \
    "mov z1.d, #0\n"                              \
    "pfalse p2.b\n"                               \
    "setffr\n"                                    \
    "mov x1, #0\n"                                \
    "mov x2, #1000\n"

/* The loop of one kind at one run length: REPS copies of INSN per iteration. */
#define KIND_RUN(fn, insn, reps)                                              \
    static void fn(uint64_t n) {                                              \
        __asm__ volatile(".arch armv8-a+sve\n" SETUP                          \
                         "1:\n.rept " #reps "\n" insn "\n.endr\n"            \
                         "subs %0, %0, #1\nb.ne 1b\n"                         \
                         : "+r"(n)                                            \
                         : "r"(buffer)                                        \
                         : "x1", "x2", "memory", "cc", "z1", "z2", "z3", "z4", \
                           "z5", "z6", "z7", "p0", "p1", "p2", "ffr");              \
    }
/* One function per kind and run length; INSN is the instruction's text. */
#define KIND(name, insn) KIND_RUN(name##_1, insn, 1) KIND_RUN(name##_8, insn, 8)

KIND(add, "add z1.s, z2.s, z3.s")
KIND(ld1w, "ld1w {z1.s}, p0/z, [%1]")
KIND(st1w, "st1w z2.s, p0, [%1]")
KIND(fadd, "fadd z1.s, p0/m, z1.s, z7.s")
KIND(fmla, "fmla z1.d, p0/m, z5.d, z6.d")
KIND(whilelo, "whilelo p1.s, x1, x2")
KIND(cmpeq, "cmpeq p1.s, p0/z, z2.s, z3.s")
KIND(ptrue, "ptrue p1.b")
KIND(gather, "ld1d {z1.d}, p0/z, [%1, z4.d, lsl #3]")
KIND(ldff1, "ldff1w {z1.s}, p0/z, [%1]")
KIND(uaddv, "uaddv d1, p0, z2.s")
KIND(scvtf, "scvtf z1.s, p0/m, z2.s")
KIND(fcvtzs, "fcvtzs z1.s, p0/m, z7.s")
KIND(frintn, "frintn z1.d, p0/m, z5.d")
KIND(ptest, "ptest p0, p1.b")
KIND(brkbs, "brkbs p1.b, p0/z, p2.b")
KIND(rdffrs, "rdffrs p1.b, p0/z")
KIND(ands, "ands p1.b, p0/z, p0.b, p2.b")
KIND(sel, "sel z1.b, p0, z2.b, z3.b")
KIND(faddv, "faddv s1, p0, z7.s")

struct kind {
    const char *name;
    void (*run1)(uint64_t);
    void (*run8)(uint64_t);
};

#define ENTRY(name) {#name, name##_1, name##_8}
static const struct kind kinds[] = {
    ENTRY(add),    ENTRY(ld1w),   ENTRY(st1w),  ENTRY(fadd),  ENTRY(fmla),  ENTRY(whilelo),
    ENTRY(cmpeq),  ENTRY(ptrue),  ENTRY(gather), ENTRY(ldff1), ENTRY(uaddv), ENTRY(scvtf),
    ENTRY(fcvtzs), ENTRY(frintn), ENTRY(ptest), ENTRY(brkbs),
    ENTRY(rdffrs), ENTRY(ands),   ENTRY(sel),   ENTRY(faddv),
};

int main(int argc, char **argv) {
    const size_t count = sizeof kinds / sizeof kinds[0];
    if (argc == 2 && strcmp(argv[1], "--kinds") == 0) {
        for (size_t i = 0; i < count; ++i) printf("%s\n", kinds[i].name);
        return 0;
    }
    if (argc != 4) {
        fprintf(stderr, "usage: sve_insn_cost KIND RUN ITERATIONS | --kinds\n");
        return 2;
    }
    const long run = atol(argv[2]);
    const long iterations = atol(argv[3]);
    if ((run != 1 && run != 8) || iterations < 1) {
        fprintf(stderr, "sve_insn_cost: RUN is 1 or 8, ITERATIONS at least 1\n");
        return 2;
    }
    for (size_t i = 0; i < count; ++i) {
        if (strcmp(argv[1], kinds[i].name) != 0) continue;
        (run == 1 ? kinds[i].run1 : kinds[i].run8)((uint64_t)iterations);
        return 0;
    }
    fprintf(stderr, "sve_insn_cost: unknown kind %s\n", argv[1]);
    return 2;
}
