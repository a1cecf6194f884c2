// A straight-line block of SVE instructions run a given number of times, for
// checking the profile against a static count of the block. The block uses
// instructions that the C library's own SVE routines do not, so that their
// counts are the block's alone.
#include <stdio.h>
#include <stdlib.h>

__attribute__((noinline, used)) void straight_line_block(void) {
    __asm__ volatile(
        "ptrue p0.d\n"
        "index z0.d, #0, #1\n"
        "fmul z1.d, z0.d, z0.d\n"
        "fmla z1.d, p0/m, z0.d, z0.d\n"
        "fmla z1.d, p0/m, z1.d, z0.d\n"
        "sdiv z2.s, p0/m, z2.s, z3.s\n"
        "clz z4.b, p0/m, z5.b\n"
        "rev z6.h, z7.h\n"
        "uzp1 z8.h, z6.h, z7.h\n"
        "uzp1 z8.h, z8.h, z7.h\n"
        "uzp1 z8.h, z8.h, z6.h\n"
        "insr z9.s, wzr\n"
        :
        :
        : "memory", "p0", "z0", "z1", "z2", "z3", "z4", "z5", "z6", "z7", "z8", "z9");
}

int main(int argc, char **argv) {
    const int n = argc > 1 ? atoi(argv[1]) : 1000;
    for (int i = 0; i < n; ++i) straight_line_block();
    printf("ran the block %d times\n", n);
    return 0;
}
