#include "tools/conformance/subject_runner.h"

#include <csetjmp>
#include <csignal>
#include <cstring>
#include <sys/mman.h>

#include "sve/state/guarded_memory.h"

namespace conformance {

namespace {

uint8_t *g_window = nullptr;
uint8_t *g_pristine = nullptr;
bool g_mapped = false;

// Faults of the subject. The core's own SIGSEGV/SIGBUS handler stays in charge
// of its guarded reads; this one runs first and hands the signal on. When the
// core's handler returns, the fault was not one it expected: it has put the
// default actions back, so this handler re-installs both and abandons the case.
struct sigaction g_core_action[2];
sigjmp_buf g_subject_jump;
volatile sig_atomic_t g_subject_active = 0;
volatile uint32_t g_fault_signal = 0;
volatile uint64_t g_fault_address = 0;

void install_fault_handlers();

void on_subject_fault(int sig, siginfo_t *info, void *context) {
    if (!g_subject_active) {
        signal(sig, SIG_DFL);
        return;
    }
    const struct sigaction &core = g_core_action[sig == SIGBUS ? 1 : 0];
    if ((core.sa_flags & SA_SIGINFO) && core.sa_sigaction != nullptr) core.sa_sigaction(sig, info, context);
    install_fault_handlers();
    g_fault_signal = static_cast<uint32_t>(sig);
    g_fault_address = reinterpret_cast<uint64_t>(info->si_addr);
    g_subject_active = 0;
    siglongjmp(g_subject_jump, 1);
}

void install_fault_handlers() {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_sigaction = on_subject_fault;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_SIGINFO | SA_NODEFER;
    sigaction(SIGSEGV, &sa, nullptr);
    sigaction(SIGBUS, &sa, nullptr);
}

void *map_at(uint64_t address, uint64_t bytes, int prot) {
    void *p = mmap(reinterpret_cast<void *>(address), bytes, prot, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    if (p != reinterpret_cast<void *>(address)) {
        munmap(p, bytes);
        return nullptr;
    }
    return p;
}

void protect_pages(uint64_t pages, int prot) {
    for (unsigned i = 0; i < kWindowPages; ++i)
        if ((pages >> i) & 1) mprotect(g_window + i * kPageBytes, kPageBytes, prot);
}

void to_state(const case_input &in, cpu_state &st) {
    std::memset(&st, 0, sizeof st);
    std::memcpy(st.x, in.regs.x, sizeof st.x);
    st.sp = in.regs.sp;
    st.pc = reinterpret_cast<unsigned char *>(in.header.pc);
    st.nzcv = in.regs.nzcv;
    st.fpsr = in.regs.fpsr;
    st.fpcr = in.regs.fpcr;
    std::memcpy(st.z, in.regs.z, sizeof st.z);
    for (unsigned p = 0; p < 16; ++p)
        for (unsigned i = 0; i < kPredBits; ++i) st.p[p][i] = pred_bit(in.regs.p[p], i);
    for (unsigned i = 0; i < kPredBits; ++i) st.ffr[i] = pred_bit(in.regs.ffr, i);
}

void pack_predicate(const unsigned char *bytes, uint8_t *packed, const char *name, std::string &note) {
    std::memset(packed, 0, kPBytes);
    for (unsigned i = 0; i < kPredBits; ++i) {
        if (bytes[i] > 1 && note.empty())
            note = std::string(name) + " byte " + std::to_string(i) + " holds " + std::to_string(bytes[i]) +
                   " (predicate bytes hold 0 or 1)";
        set_pred_bit(packed, i, bytes[i] & 1);
    }
}

void from_state(const cpu_state &st, case_result &out) {
    std::memset(&out.regs, 0, sizeof out.regs);
    std::memcpy(out.regs.x, st.x, sizeof st.x);
    out.regs.sp = st.sp;
    out.regs.nzcv = st.nzcv;
    out.regs.fpsr = st.fpsr;
    out.regs.fpcr = st.fpcr;
    std::memcpy(out.regs.z, st.z, sizeof st.z);
    static const char *const kNames[16] = {"p0", "p1", "p2",  "p3",  "p4",  "p5",  "p6",  "p7",
                                           "p8", "p9", "p10", "p11", "p12", "p13", "p14", "p15"};
    for (unsigned p = 0; p < 16; ++p) pack_predicate(st.p[p], out.regs.p[p], kNames[p], out.note);
    pack_predicate(st.ffr, out.regs.ffr, "ffr", out.note);
    out.pc_after = reinterpret_cast<uint64_t>(st.pc);
}

#if defined(__aarch64__)
struct fp_control {
    uint64_t fpcr, fpsr;
};
fp_control read_fp_control() {
    fp_control f;
    __asm__ volatile("mrs %0, fpcr\n\tmrs %1, fpsr" : "=r"(f.fpcr), "=r"(f.fpsr));
    return f;
}
void write_fp_control(fp_control f) { __asm__ volatile("msr fpcr, %0\n\tmsr fpsr, %1" : : "r"(f.fpcr), "r"(f.fpsr)); }
#endif

alignas(16) cpu_state g_state;

}  // namespace

bool prepare_subject(uint64_t window_seed, std::string &error) {
    if (!g_mapped) {
        const uint64_t guard = kGuardPages * kPageBytes;
        if (map_at(kCodeBase, kCodeBytes, PROT_READ | PROT_WRITE) == nullptr) {
            error = "the code slot addresses are taken in this process";
            return false;
        }
        uint8_t *reserved =
            static_cast<uint8_t *>(map_at(kWindowBase - guard, kWindowBytes + 2 * guard, PROT_NONE));
        if (reserved == nullptr) {
            error = "the memory window addresses are taken in this process";
            return false;
        }
        g_window = reserved + guard;
        mprotect(g_window, kWindowBytes, PROT_READ | PROT_WRITE);
        g_pristine = static_cast<uint8_t *>(
            mmap(nullptr, kWindowBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (g_pristine == MAP_FAILED) {
            error = "out of memory";
            return false;
        }
        SVEInitialize();
        sigaction(SIGSEGV, nullptr, &g_core_action[0]);
        sigaction(SIGBUS, nullptr, &g_core_action[1]);
        install_fault_handlers();
        g_mapped = true;
    }
    fill_window(g_pristine, kWindowBytes, window_seed);
    std::memcpy(g_window, g_pristine, kWindowBytes);
    return true;
}

const uint8_t *subject_pristine_window() { return g_pristine; }

void run_subject(subject_fn fn, const case_input &in, case_result &out, const uint32_t *extra,
                 unsigned extra_count) {
    out = case_result{};
    std::memcpy(reinterpret_cast<void *>(in.header.pc), &in.header.word, 4);
    if (extra_count != 0) std::memcpy(reinterpret_cast<void *>(in.header.pc + 4), extra, 4 * extra_count);
    const uint64_t end = in.header.pc + 4 * (1 + uint64_t{extra_count});
    to_state(in, g_state);
    protect_pages(in.header.unmapped_pages, PROT_NONE);
#if defined(__aarch64__)
    const fp_control saved = read_fp_control();
#endif
    if (sigsetjmp(g_subject_jump, 1) == 0) {
        g_subject_active = 1;
#if defined(__aarch64__)
        write_fp_control(fp_control{in.regs.fpcr, in.regs.fpsr});
#endif
        do {
            out.rc = fn(&g_state);
        } while (out.rc == DECODE_OK && reinterpret_cast<uint64_t>(g_state.pc) < end &&
                 reinterpret_cast<uint64_t>(g_state.pc) >= in.header.pc);
#if defined(__aarch64__)
        write_fp_control(saved);
#endif
        g_subject_active = 0;
        from_state(g_state, out);
    } else {
#if defined(__aarch64__)
        write_fp_control(saved);
#endif
        out.signal = g_fault_signal;
        out.fault_address = g_fault_address;
        out.regs = in.regs;
    }
    protect_pages(in.header.unmapped_pages, PROT_READ | PROT_WRITE);
    if (in.header.flags & kCaseCheckMemory) {
        for (unsigned i = 0; i < kWindowChunks; ++i) {
            uint8_t *now = g_window + i * kChunkBytes;
            const uint8_t *was = g_pristine + i * kChunkBytes;
            if (std::memcmp(now, was, kChunkBytes) == 0) continue;
            wire_chunk ch;
            ch.index = i;
            std::memcpy(ch.bytes, now, kChunkBytes);
            out.chunks.push_back(ch);
            std::memcpy(now, was, kChunkBytes);
        }
    }
}

}  // namespace conformance
