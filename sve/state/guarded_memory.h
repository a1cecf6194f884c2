// Application-memory access from inside the emulator.
//
// Ordinary emulated accesses go straight to memory; a fault there belongs to the
// application. First-fault and non-fault loads must not fault on later elements:
// they read through the guarded reads below (a fault becomes a flag) or probe an
// address first with addr_is_readable. Recovery state is per thread, so faults of
// different threads never cross.
#pragma once

#include <csignal>
#include <cstddef>
#include <cstdint>

#include "sve/state/cpu_context.h"

// Installs SVESigHandler for SIGSEGV and SIGBUS once; returns 1.
int SVEInitialize();
void SVESigHandler(int sig, siginfo_t *info, void *context);

// A host that lets the program keep its own SIGSEGV/SIGBUS handlers installs a
// forwarder: a fault outside a guarded read is offered to it first, and when it
// returns true (the program's handler ran) the notice and the default action are
// skipped.
using sve_fault_forwarder = bool (*)(int sig, siginfo_t *info, void *context);
void sve_set_fault_forwarder(sve_fault_forwarder forwarder);

// Guarded reads: with a null `fault` the read is plain (a fault is the
// application's); with a flag, a fault sets *fault and the result is 0.
uint8_t ReadMemLib1(unsigned long address, int kind, bool *fault, CpuContext *ctx);
uint16_t ReadMemLib2(unsigned long address, int kind, bool *fault, CpuContext *ctx);
uint32_t ReadMemLib4(unsigned long address, int kind, bool *fault, CpuContext *ctx);
uint64_t ReadMemLib8(unsigned long address, int kind, bool *fault, CpuContext *ctx);

void WriteMemLib1(unsigned char value, unsigned long address, CpuContext *ctx);
void WriteMemLib2(unsigned short value, unsigned long address, CpuContext *ctx);
void WriteMemLib4(unsigned int value, unsigned long address, CpuContext *ctx);
void WriteMemLib8(unsigned long value, unsigned long address, CpuContext *ctx);

// Kept for interface completeness; nothing calls them.
unsigned long ReadMem(unsigned long address, int size, int kind, bool *fault, CpuContext *ctx);
unsigned long ReadMemSim(unsigned long address, int size, int kind, bool *fault, bool sim,
                         CpuContext *ctx);
void WriteMem(unsigned long address, unsigned long value, int size, CpuContext *ctx);
void WriteMemSim(unsigned long address, unsigned long value, int size, bool sim, CpuContext *ctx);

// True when one byte at `address` can be read.
template <typename T>
bool addr_is_readable(volatile T *address);
template <>
bool addr_is_readable<char>(volatile char *address);

// Host interface for fault-safe reads. A host that owns signal handling (an
// instrumentation framework) installs its own safe-read routine; otherwise the
// signal-based one is used. `safe_read` copies n bytes and returns false if any
// byte could not be read.
struct sve_memory_host {
    bool (*safe_read)(const void *address, void *out, size_t n);
};
void sve_set_memory_host(const sve_memory_host *host);
// Reads n bytes through the current host's safe-read routine.
bool sve_safe_read(const void *address, void *out, size_t n);
