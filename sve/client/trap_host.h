// The trap host: libsve_2048_trap.so, loaded into an AArch64 program with
// LD_PRELOAD. SVE instructions raise SIGILL on a processor without SVE; the
// library's SIGILL handler emulates them (a run of consecutive SVE words in one
// trap, and further runs joined to it by a few register-only scalar
// instructions, such as a loop's compare and branch) and resumes the program
// after them.
//
// Besides the emulator's own exports (is_sve, execute_sve_instruction, the
// handler catalogue), the library exports the counters below for tests and
// measurements, and interposes:
// - sigaction/signal/bsd_signal: a SIGILL, SIGSEGV or SIGBUS handler the program
//   installs receives the SIGILLs that are not emulated SVE instructions and
//   the faults outside first-fault and non-fault probes; the program's handlers
//   of every other signal run under a wrapper that keeps the SVE state they
//   interrupt, as the kernel of an SVE processor does;
// - getauxval (AT_HWCAP has HWCAP_SVE) and prctl (PR_SVE_GET_VL, PR_SVE_SET_VL
//   for a processor whose only vector length is 2048 bits).
//
// Environment: SVE_TRAP_STATS=1 prints the process's trap and instruction counts
// on standard error at exit.
#pragma once

#include <cstdint>

extern "C" {

struct sve_trap_host_counters {
    uint64_t traps;         // SIGILLs that emulated at least one instruction
    uint64_t instructions;  // SVE instructions emulated
    uint64_t scalar_steps;  // scalar instructions executed between them in a trap
};

// The calling thread's counters (zero before its first trap).
void sve_trap_host_thread_counters(sve_trap_host_counters *out);

// Per-thread records currently allocated: one per thread that has trapped and
// not yet exited.
uint64_t sve_trap_host_live_records(void);
}
