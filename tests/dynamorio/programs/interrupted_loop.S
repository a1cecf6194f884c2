// A loop of SVE instructions that keeps its counters in X26, X27 and X28 and
// its flags live across emulated instructions, for interrupted_sequences.cpp.
//
//   void interrupted_loop(uint64_t iterations, struct loop_result *out)
//
// Each iteration: X26 += 64 (two INCD), X27 += 64 (INCW), X28 += 256 (INCB),
// every element of Z0 += 1 (ADD), and X20 += 1 when WHILELO, whose operands
// make the first element active, sets N for the native CSET. PTRUE, first in
// its run, has inline code of its own rather than the call. The native SUBS
// sets Z for the loop branch with an emulated INCD between them. So at the end
// X26 = X27 = 64 n, X28 = 256 n, X20 = n and every element of Z0 is n. Every
// 64 iterations a system call takes the thread out of the code cache, where
// the framework delivers the signals it had to hold back.
//
// interrupted_loop_start and interrupted_loop_end bound the loop body.

        .arch armv8-a+sve
        .text
        .global interrupted_loop
        .type interrupted_loop, %function
        .global interrupted_loop_start
        .global interrupted_loop_end
        .balign 16
interrupted_loop:
        stp x29, x30, [sp, #-64]!
        stp x19, x20, [sp, #16]
        stp x21, x26, [sp, #32]
        stp x27, x28, [sp, #48]
        mov x19, x0
        mov x20, #0
        mov x26, #0
        mov x27, #0
        mov x28, #0
        ptrue p0.d
        mov z0.d, #0
        mov z1.d, #1
interrupted_loop_start:
        ptrue p2.b                      // constant: inline code of its own
        incd x26
        add z0.d, z0.d, z1.d
        incw x27
        whilelo p1.d, xzr, x19
        cset x21, mi
        add x20, x20, x21
        incb x28
        tst x19, #63
        b.ne 1f
        mov x8, #173                    // getppid, every 64 iterations
        svc #0
1:      subs x19, x19, #1
        incd x26
        b.ne interrupted_loop_start
interrupted_loop_end:
        stp x26, x27, [x1]
        stp x28, x20, [x1, #16]
        add x2, x1, #32
        st1d {z0.d}, p0, [x2]
        ldp x27, x28, [sp, #48]
        ldp x21, x26, [sp, #32]
        ldp x19, x20, [sp, #16]
        ldp x29, x30, [sp], #64
        ret
        .size interrupted_loop, . - interrupted_loop
