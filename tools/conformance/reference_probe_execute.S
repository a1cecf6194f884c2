// Loads a whole architectural state, runs the one instruction word of a code
// slot (layout in conformance_wire.h) and stores the whole state after it. The
// slot page loads X30 itself, runs the word and branches to probe_return.
//
//   void probe_execute(const wire_regs *in, wire_regs *out);
//
// The probe's own registers, stack pointer, FPCR, FPSR and TPIDR_EL0 are kept in
// probe_saved while the case runs, so an instruction may move SP anywhere.
// TPIDR_EL0 is the one scratch register on the way back (every general register
// holds a result when the word has run); it is restored as soon as X30 is out.

    .arch armv8.2-a+sve
    .text

    .equ REG_SP, 248
    .equ REG_NZCV, 256
    .equ REG_FPSR, 264
    .equ REG_FPCR, 268
    .equ REG_ENTRY, 272
    .equ REG_Z, 512
    .equ REG_P, 8704
    .equ REG_FFR, 9216

    .global probe_execute
    .type probe_execute, %function
    .p2align 4
probe_execute:
    adrp    x16, probe_saved
    add     x16, x16, :lo12:probe_saved
    stp     x19, x20, [x16, #0]
    stp     x21, x22, [x16, #16]
    stp     x23, x24, [x16, #32]
    stp     x25, x26, [x16, #48]
    stp     x27, x28, [x16, #64]
    stp     x29, x30, [x16, #80]
    mov     x17, sp
    stp     x17, x1, [x16, #96]
    stp     d8, d9, [x16, #112]
    stp     d10, d11, [x16, #128]
    stp     d12, d13, [x16, #144]
    stp     d14, d15, [x16, #160]
    mrs     x17, fpcr
    str     x17, [x16, #176]
    mrs     x17, fpsr
    str     x17, [x16, #184]
    mrs     x17, tpidr_el0
    str     x17, [x16, #192]

    // FFR goes through P0 before P0 gets its own value.
    mov     x16, #REG_FFR
    add     x17, x0, x16
    ldr     p0, [x17]
    wrffr   p0.b
    mov     x16, #REG_P
    add     x17, x0, x16
    .irp n, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15
    ldr     p\n, [x17, #\n, mul vl]
    .endr
    add     x17, x0, #REG_Z
    .irp n, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31
    ldr     z\n, [x17, #\n, mul vl]
    .endr
    ldr     w17, [x0, #REG_FPCR]
    msr     fpcr, x17
    ldr     w17, [x0, #REG_FPSR]
    msr     fpsr, x17
    ldr     x17, [x0, #REG_NZCV]
    msr     nzcv, x17
    ldr     x17, [x0, #REG_SP]
    mov     sp, x17
    mov     x30, x0
    ldp     x0, x1, [x30, #0]
    ldp     x2, x3, [x30, #16]
    ldp     x4, x5, [x30, #32]
    ldp     x6, x7, [x30, #48]
    ldp     x8, x9, [x30, #64]
    ldp     x10, x11, [x30, #80]
    ldp     x12, x13, [x30, #96]
    ldp     x14, x15, [x30, #112]
    ldp     x16, x17, [x30, #128]
    ldp     x18, x19, [x30, #144]
    ldp     x20, x21, [x30, #160]
    ldp     x22, x23, [x30, #176]
    ldp     x24, x25, [x30, #192]
    ldp     x26, x27, [x30, #208]
    ldp     x28, x29, [x30, #224]
    ldr     x30, [x30, #REG_ENTRY]
    br      x30

    .global probe_return
    .type probe_return, %function
    .p2align 4
probe_return:
    msr     tpidr_el0, x30
    adrp    x30, probe_saved
    add     x30, x30, :lo12:probe_saved
    ldr     x30, [x30, #104]
    stp     x0, x1, [x30, #0]
    stp     x2, x3, [x30, #16]
    stp     x4, x5, [x30, #32]
    stp     x6, x7, [x30, #48]
    stp     x8, x9, [x30, #64]
    stp     x10, x11, [x30, #80]
    stp     x12, x13, [x30, #96]
    stp     x14, x15, [x30, #112]
    stp     x16, x17, [x30, #128]
    stp     x18, x19, [x30, #144]
    stp     x20, x21, [x30, #160]
    stp     x22, x23, [x30, #176]
    stp     x24, x25, [x30, #192]
    stp     x26, x27, [x30, #208]
    stp     x28, x29, [x30, #224]
    mrs     x0, tpidr_el0
    str     x0, [x30, #240]
    // The thread pointer is the probe's again before any other instruction: a
    // host that emulates the stores below from a signal handler needs it.
    adrp    x1, probe_saved
    add     x1, x1, :lo12:probe_saved
    ldr     x1, [x1, #192]
    msr     tpidr_el0, x1
    mov     x0, sp
    str     x0, [x30, #REG_SP]
    mrs     x0, nzcv
    str     x0, [x30, #REG_NZCV]
    mrs     x0, fpsr
    str     w0, [x30, #REG_FPSR]
    mrs     x0, fpcr
    str     w0, [x30, #REG_FPCR]
    add     x0, x30, #REG_Z
    .irp n, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31
    str     z\n, [x0, #\n, mul vl]
    .endr
    mov     x1, #REG_P
    add     x0, x30, x1
    .irp n, 0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15
    str     p\n, [x0, #\n, mul vl]
    .endr
    rdffr   p0.b
    mov     x1, #REG_FFR
    add     x0, x30, x1
    str     p0, [x0]

    adrp    x16, probe_saved
    add     x16, x16, :lo12:probe_saved
    ldr     x17, [x16, #176]
    msr     fpcr, x17
    ldr     x17, [x16, #184]
    msr     fpsr, x17
    ldp     x19, x20, [x16, #0]
    ldp     x21, x22, [x16, #16]
    ldp     x23, x24, [x16, #32]
    ldp     x25, x26, [x16, #48]
    ldp     x27, x28, [x16, #64]
    ldp     x29, x30, [x16, #80]
    ldp     d8, d9, [x16, #112]
    ldp     d10, d11, [x16, #128]
    ldp     d12, d13, [x16, #144]
    ldp     d14, d15, [x16, #160]
    ldr     x17, [x16, #96]
    mov     sp, x17
    ret

    .bss
    .p2align 4
    .global probe_saved
probe_saved:
    .zero   208

    .section .note.GNU-stack, "", %progbits
