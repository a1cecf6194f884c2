/* An SVE2 instruction, which neither host emulates.
 *   sigill_program die     executes it: the process ends by SIGILL
 *   sigill_program probe   executes it under a SIGILL handler of its own, as
 *                          feature probes do, and goes on */
#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>

static sigjmp_buf back;

static void on_sigill(int sig) {
    (void)sig;
    siglongjmp(back, 1);
}

static void sve2(void) { __asm__ volatile(".inst 0x04a27020"); /* sqdmulh z0.s, z1.s, z2.s */ }

int main(int argc, char **argv) {
    if (argc == 2 && strcmp(argv[1], "probe") == 0) {
        signal(SIGILL, on_sigill);
        if (sigsetjmp(back, 1) == 0) sve2();
        printf("probe: no SVE2\n");
        return 0;
    }
    sve2();
    return 0;
}
