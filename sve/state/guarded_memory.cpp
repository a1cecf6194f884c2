#include "sve/state/guarded_memory.h"

#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace {

int SVELibInitialized = 0;
CpuContext cpu_ctxt;
[[maybe_unused]] CpuContext *ctxt = nullptr;

// Per-thread recovery state of the guarded reads. Initial-exec TLS so that the
// signal handler never triggers lazy TLS allocation.
struct fault_recovery {
    sigjmp_buf jb;
    volatile sig_atomic_t region;
};
__attribute__((tls_model("initial-exec"))) thread_local fault_recovery sveFault;

std::atomic<const sve_memory_host *> memory_host{nullptr};
std::atomic<sve_fault_forwarder> fault_forwarder{nullptr};

constexpr int kSignalFlags = SA_SIGINFO | SA_RESTART | SA_NODEFER;

// Installs `handler` (or the default action when null) for SIGSEGV, then SIGBUS.
void set_fault_actions(void (*handler)(int, siginfo_t *, void *)) {
    struct sigaction act;
    std::memset(&act, 0, sizeof act);
    if (handler != nullptr)
        act.sa_sigaction = handler;
    else
        act.sa_handler = SIG_DFL;
    sigemptyset(&act.sa_mask);
    act.sa_flags = kSignalFlags;
    sigaction(SIGSEGV, &act, nullptr);
    sigaction(SIGBUS, &act, nullptr);
}

// Copies n bytes; a fault in any byte abandons the copy and returns false. The
// handlers run with SA_NODEFER and an empty mask, so no signal is left blocked
// when the jump leaves the handler and the mask need not be saved.
bool signal_safe_read(const void *address, void *out, size_t n) {
    fault_recovery &rec = sveFault;
    if (sigsetjmp(rec.jb, 0) != 0) {
        rec.region = 0;
        return false;
    }
    rec.region = 1;
    const volatile unsigned char *src = static_cast<const volatile unsigned char *>(address);
    unsigned char *dst = static_cast<unsigned char *>(out);
    for (size_t i = 0; i < n; ++i) dst[i] = src[i];
    rec.region = 0;
    return true;
}

template <typename T>
T plain_read(unsigned long address) {
    T value;
    std::memcpy(&value, reinterpret_cast<const void *>(address), sizeof(T));
    return value;
}

template <typename T>
T read_mem(unsigned long address, bool *fault) {
    if (fault == nullptr) return plain_read<T>(address);
    T value;
    if (!sve_safe_read(reinterpret_cast<const void *>(address), &value, sizeof(T))) {
        *fault = true;
        return 0;
    }
    return value;
}

template <typename T>
void write_mem(T value, unsigned long address) {
    std::memcpy(reinterpret_cast<void *>(address), &value, sizeof(T));
}

}  // namespace

int SVEInitialize() {
    if (SVELibInitialized) return SVELibInitialized;
    cpu_ctxt.vl64 = 2;
    ctxt = &cpu_ctxt;
#if !defined(SVE_HOST_OWNS_SIGNALS)
    // A host framework that owns signal handling builds the core with
    // SVE_HOST_OWNS_SIGNALS and routes faults through its own events and
    // fault-safe reads (sve_set_memory_host) instead.
    set_fault_actions(SVESigHandler);
#endif
    SVELibInitialized = 1;
    return 1;
}

void SVESigHandler(int sig, siginfo_t *info, void *context) {
    fault_recovery &rec = sveFault;
    if (rec.region) {
        rec.region = 0;
        siglongjmp(rec.jb, 1);
    }
    const sve_fault_forwarder forward = fault_forwarder.load(std::memory_order_acquire);
    if (forward != nullptr && forward(sig, info, context)) return;
    // The fault belongs to the application: let the faulting access run again
    // under the default action.
    set_fault_actions(nullptr);
    std::fprintf(stderr,
                 "tevra's SVESigHandler caught signal %s from the process being emulated, passing "
                 "it to the default signal handler.\n",
                 sig == SIGSEGV ? "SIGSEGV" : "SIGBUS");
    std::fflush(stderr);
}

void sve_set_memory_host(const sve_memory_host *host) { memory_host.store(host); }

void sve_set_fault_forwarder(sve_fault_forwarder forwarder) { fault_forwarder.store(forwarder, std::memory_order_release); }

bool sve_safe_read(const void *address, void *out, size_t n) {
    const sve_memory_host *host = memory_host.load(std::memory_order_relaxed);
    if (host != nullptr && host->safe_read != nullptr) return host->safe_read(address, out, n);
    return signal_safe_read(address, out, n);
}

uint8_t ReadMemLib1(unsigned long a, int, bool *fault, CpuContext *) { return read_mem<uint8_t>(a, fault); }
uint16_t ReadMemLib2(unsigned long a, int, bool *fault, CpuContext *) { return read_mem<uint16_t>(a, fault); }
uint32_t ReadMemLib4(unsigned long a, int, bool *fault, CpuContext *) { return read_mem<uint32_t>(a, fault); }
uint64_t ReadMemLib8(unsigned long a, int, bool *fault, CpuContext *) { return read_mem<uint64_t>(a, fault); }

void WriteMemLib1(unsigned char v, unsigned long a, CpuContext *) { write_mem(v, a); }
void WriteMemLib2(unsigned short v, unsigned long a, CpuContext *) { write_mem(v, a); }
void WriteMemLib4(unsigned int v, unsigned long a, CpuContext *) { write_mem(v, a); }
void WriteMemLib8(unsigned long v, unsigned long a, CpuContext *) { write_mem(v, a); }

unsigned long ReadMem(unsigned long, int, int, bool *fault, CpuContext *) {
    if (fault) *fault = false;
    return 0;
}
unsigned long ReadMemSim(unsigned long, int, int, bool *fault, bool, CpuContext *) {
    if (fault) *fault = false;
    return 0;
}
void WriteMem(unsigned long, unsigned long, int, CpuContext *) {}
void WriteMemSim(unsigned long, unsigned long, int, bool, CpuContext *) {}

template <>
bool addr_is_readable<char>(volatile char *address) {
    char byte;
    return sve_safe_read(const_cast<const char *>(address), &byte, 1);
}
