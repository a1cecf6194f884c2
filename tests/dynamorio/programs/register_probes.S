// Register probes (see register_probe.h). Every general register, V0-V31, NZCV,
// FPCR and FPSR carry values from the input image while the probe's
// instructions run, so nothing of the caller can be kept in a register: the
// caller's SP, FPCR and the output address wait in memory.
#include "register_probe.h"

        .arch armv8-a+sve

        .bss
        .balign 16
caller_sp:      .skip 8
caller_fpcr:    .skip 8
caller_fpsr:    .skip 8
output:         .skip 8

        .text

.macro probe_begin name
        .global \name
        .type \name, %function
        .balign 16
\name:
        stp x29, x30, [sp, #-160]!
        stp x19, x20, [sp, #16]
        stp x21, x22, [sp, #32]
        stp x23, x24, [sp, #48]
        stp x25, x26, [sp, #64]
        stp x27, x28, [sp, #80]
        stp d8, d9, [sp, #96]
        stp d10, d11, [sp, #112]
        stp d12, d13, [sp, #128]
        stp d14, d15, [sp, #144]
        adrp x2, caller_sp
        mov x3, sp
        str x3, [x2, :lo12:caller_sp]
        adrp x2, caller_fpcr
        mrs x3, fpcr
        str x3, [x2, :lo12:caller_fpcr]
        adrp x2, caller_fpsr
        mrs x3, fpsr
        str x3, [x2, :lo12:caller_fpsr]
        adrp x2, output
        str x1, [x2, :lo12:output]

        ldr x2, [x0, #PROBE_NZCV]
        msr nzcv, x2
        ldr x2, [x0, #PROBE_FPCR]
        msr fpcr, x2
        ldr x2, [x0, #PROBE_FPSR]
        msr fpsr, x2
        add x2, x0, #PROBE_V
        ldp q0, q1, [x2, #0]
        ldp q2, q3, [x2, #32]
        ldp q4, q5, [x2, #64]
        ldp q6, q7, [x2, #96]
        ldp q8, q9, [x2, #128]
        ldp q10, q11, [x2, #160]
        ldp q12, q13, [x2, #192]
        ldp q14, q15, [x2, #224]
        ldp q16, q17, [x2, #256]
        ldp q18, q19, [x2, #288]
        ldp q20, q21, [x2, #320]
        ldp q22, q23, [x2, #352]
        ldp q24, q25, [x2, #384]
        ldp q26, q27, [x2, #416]
        ldp q28, q29, [x2, #448]
        ldp q30, q31, [x2, #480]
        mov x30, x0
        ldp x0, x1, [x30, #0]
        ldp x2, x3, [x30, #16]
        ldp x4, x5, [x30, #32]
        ldp x6, x7, [x30, #48]
        ldp x8, x9, [x30, #64]
        ldp x10, x11, [x30, #80]
        ldp x12, x13, [x30, #96]
        ldp x14, x15, [x30, #112]
        ldp x16, x17, [x30, #128]
        ldp x18, x19, [x30, #144]
        ldp x20, x21, [x30, #160]
        ldp x22, x23, [x30, #176]
        ldp x24, x25, [x30, #192]
        ldp x26, x27, [x30, #208]
        ldp x28, x29, [x30, #224]
        ldr x30, [x30, #240]
.endm

.macro probe_end name
        // X0 and X1 go just below SP for a moment to free a base register;
        // nothing below sets the flags.
        stp x0, x1, [sp, #-16]
        adrp x0, output
        ldr x0, [x0, :lo12:output]
        stp x2, x3, [x0, #16]
        stp x4, x5, [x0, #32]
        stp x6, x7, [x0, #48]
        stp x8, x9, [x0, #64]
        stp x10, x11, [x0, #80]
        stp x12, x13, [x0, #96]
        stp x14, x15, [x0, #112]
        stp x16, x17, [x0, #128]
        stp x18, x19, [x0, #144]
        stp x20, x21, [x0, #160]
        stp x22, x23, [x0, #176]
        stp x24, x25, [x0, #192]
        stp x26, x27, [x0, #208]
        stp x28, x29, [x0, #224]
        str x30, [x0, #240]
        ldp x2, x3, [sp, #-16]
        stp x2, x3, [x0, #0]
        mov x1, sp
        str x1, [x0, #PROBE_SP]
        mrs x1, nzcv
        str x1, [x0, #PROBE_NZCV]
        mrs x1, fpcr
        str x1, [x0, #PROBE_FPCR]
        mrs x1, fpsr
        str x1, [x0, #PROBE_FPSR]
        add x1, x0, #PROBE_V
        stp q0, q1, [x1, #0]
        stp q2, q3, [x1, #32]
        stp q4, q5, [x1, #64]
        stp q6, q7, [x1, #96]
        stp q8, q9, [x1, #128]
        stp q10, q11, [x1, #160]
        stp q12, q13, [x1, #192]
        stp q14, q15, [x1, #224]
        stp q16, q17, [x1, #256]
        stp q18, q19, [x1, #288]
        stp q20, q21, [x1, #320]
        stp q22, q23, [x1, #352]
        stp q24, q25, [x1, #384]
        stp q26, q27, [x1, #416]
        stp q28, q29, [x1, #448]
        stp q30, q31, [x1, #480]

        adrp x0, caller_fpcr
        ldr x1, [x0, :lo12:caller_fpcr]
        msr fpcr, x1
        adrp x0, caller_fpsr
        ldr x1, [x0, :lo12:caller_fpsr]
        msr fpsr, x1
        adrp x0, caller_sp
        ldr x1, [x0, :lo12:caller_sp]
        mov sp, x1
        ldp x19, x20, [sp, #16]
        ldp x21, x22, [sp, #32]
        ldp x23, x24, [sp, #48]
        ldp x25, x26, [sp, #64]
        ldp x27, x28, [sp, #80]
        ldp d8, d9, [sp, #96]
        ldp d10, d11, [sp, #112]
        ldp d12, d13, [sp, #128]
        ldp d14, d15, [sp, #144]
        ldp x29, x30, [sp], #160
        ret
        .size \name, . - \name
.endm

        probe_begin probe_nothing
        probe_end probe_nothing

        probe_begin probe_cntd_x27
        cntd x27
        probe_end probe_cntd_x27

        probe_begin probe_incb_x28
        incb x28
        probe_end probe_incb_x28

        probe_begin probe_cntb_x26
        cntb x26
        probe_end probe_cntb_x26

        // The three registers the inline code borrows, written back to back.
        probe_begin probe_scratch_registers
        cntd x27
        incb x28
        cntb x26
        probe_end probe_scratch_registers

        // Native instructions right after emulated ones read what they wrote.
        probe_begin probe_native_reads_scratch
        cntd x27
        add x0, x27, #1
        incb x28
        add x1, x28, #1
        cntb x26
        add x2, x26, #1
        probe_end probe_native_reads_scratch

        probe_begin probe_incd_x0
        incd x0
        probe_end probe_incd_x0

        // SP moves by one vector (256 bytes) and the next native instruction sees it.
        probe_begin probe_addvl_sp
        addvl sp, sp, #-1
        mov x3, sp
        probe_end probe_addvl_sp

        probe_begin probe_vector_writes
        mov z3.b, #7
        add z4.d, z5.d, z6.d
        probe_end probe_vector_writes

        .section .note.GNU-stack, "", %progbits
