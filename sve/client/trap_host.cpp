// The trap host: emulates SVE instructions from a SIGILL handler.
//
// A processor without SVE raises SIGILL at every SVE word. The handler moves the
// interrupted context (X0-X30, SP, NZCV, V0-V31, FPSR, FPCR) into the thread's
// cpu_state, runs the word's handler, keeps going through the next emulated
// SVE words and the register-only scalar words that join them into loops and
// calls (by each stretch's plan, compiled where it can be), moves the context
// back and resumes where the stretch ends. Everything else runs natively.
//
// Per thread: one record (cpu_state plus an alternate signal stack), mapped on
// the thread's first trap and unmapped when the thread ends. The handler runs on
// the alternate stack, so emulated code that moves SP and stores below the
// interrupted SP cannot overwrite the handler's own frame. Where the frame is on
// the interrupted code's stack after all (no alternate stack, or a handler of the
// program running SVE code on it), a run ends at the first instruction that
// moves SP down.

#include "sve/client/trap_host.h"
#include "sve/client/plan_engine.h"
#include "sve/client/trap_compile.h"

#include <dlfcn.h>
#include <pthread.h>
#include <stdarg.h>
#include <sys/auxv.h>
#include <sys/prctl.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sve/decode/emulated_words.h"
#include "sve/decode/sve_utils.h"
#include "sve/state/cpu_state.h"
#include "sve/state/guarded_memory.h"
#include "sve/state/signal_levels.h"
#include "sve/support/diagnose.h"
#include "sve/support/profile.h"

#if !defined(__aarch64__)
#error "the trap host runs on AArch64 only"
#endif

// glibc's own sigaction, bypassing the interposer below.
extern "C" int __sigaction(int sig, const struct sigaction *act, struct sigaction *oact);

namespace {

constexpr size_t kAltStackBytes = 256 * 1024;
// glibc keeps the values of the first 32 keys inside the thread descriptor:
// pthread_setspecific on such a key neither allocates nor locks, so it may be
// called from the signal handler.
constexpr unsigned kInlineKeyLimit = 32;
constexpr uint64_t kNzcvMask = 0xF0000000u;

struct trap_thread {
    cpu_state state;
    plan_engine engine;
    void *map_base;
    size_t map_bytes;
    void *altstack;  // our alternate stack, or null when the thread had its own
    // The alternate stack the kernel last put a trap's frame on (ours at first).
    uintptr_t seen_altstack_low;
    uintptr_t seen_altstack_high;
    // While a trap emulates: the interrupted program's context, and the way
    // back into the trap when a handler of the program returns from a fault of
    // an emulated access.
    ucontext_t *program_context;
    sigjmp_buf back_to_trap;
    uint64_t traps;
};

__attribute__((tls_model("initial-exec"))) thread_local trap_thread *tls_thread = nullptr;
// The program's signal handlers running on this thread, and the SVE-only state
// each of them interrupted once it runs SVE code itself.
__attribute__((tls_model("initial-exec"))) thread_local sve_signal_levels tls_levels{};

size_t g_page_bytes = 4096;
pthread_key_t g_thread_key;
bool g_thread_key_usable = false;
bool g_print_stats = false;
std::atomic<bool> g_installed{false};
std::atomic<uint64_t> g_live_records{0};
std::atomic<uint64_t> g_exited_traps{0};
std::atomic<uint64_t> g_exited_instructions{0};
std::atomic<uint64_t> g_exited_scalar_steps{0};
// Set at load time when the processor lacks the half-precision instructions.
bool g_emulate_half_precision = false;


// The program's own dispositions, as it set them through sigaction or signal.
// The library keeps SIGILL (the traps), SIGSEGV and SIGBUS (the fault
// containment of the core) for itself and runs the program's handlers of those
// from its own. Every other handler of the program runs under a wrapper
// (program_signal_entry) that keeps the interrupted code's SVE state across it,
// as the kernel of an SVE processor does. Writers fill a fresh slot and then
// publish its index, so a signal handler always copies a complete action
// without taking a lock.
constexpr unsigned kActionSlots = 8;
struct app_disposition {
    struct sigaction slots[kActionSlots];
    std::atomic<unsigned> next{1};
    std::atomic<unsigned> current{0};
    // For the other signals: the kernel runs program_signal_entry for it.
    std::atomic<bool> wrapped{false};
};
app_disposition g_app[NSIG];

bool kept_signal(int sig) { return sig == SIGILL || sig == SIGSEGV || sig == SIGBUS; }
bool valid_signal(int sig) { return sig > 0 && sig < NSIG; }
bool is_handler(const struct sigaction &act) {
    return act.sa_handler != SIG_DFL && act.sa_handler != SIG_IGN;
}

app_disposition &disposition_of(int sig) { return g_app[sig]; }

struct sigaction current_app_action(int sig) {
    const app_disposition &d = disposition_of(sig);
    return d.slots[d.current.load(std::memory_order_acquire) % kActionSlots];
}

void publish_app_action(int sig, const struct sigaction &act) {
    app_disposition *d = &disposition_of(sig);
    unsigned slot = d->next.fetch_add(1, std::memory_order_relaxed) % kActionSlots;
    d->slots[slot] = act;
    d->current.store(slot, std::memory_order_release);
}

// ---------------------------------------------------------------------------
// Hardware floating-point control and status. The memory clobbers keep the
// accesses in place around the emulation calls.

inline uint64_t read_fpcr() {
    uint64_t v;
    asm volatile("mrs %0, fpcr" : "=r"(v) : : "memory");
    return v;
}
inline void write_fpcr(uint64_t v) { asm volatile("msr fpcr, %0" : : "r"(v) : "memory"); }
inline uint64_t read_fpsr() {
    uint64_t v;
    asm volatile("mrs %0, fpsr" : "=r"(v) : : "memory");
    return v;
}
inline void write_fpsr(uint64_t v) { asm volatile("msr fpsr, %0" : : "r"(v) : "memory"); }

// ---------------------------------------------------------------------------
// Per-thread records.

size_t round_up_to_page(size_t n) { return (n + g_page_bytes - 1) & ~(g_page_bytes - 1); }

void release_thread(void *p) {
    trap_thread *t = static_cast<trap_thread *>(p);
    // A handler of the program that runs SVE code must not trap into the
    // record or the save areas while they go away.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    bool in_use = false;
    if (t->altstack != nullptr) {
        stack_t cur;
        if (sigaltstack(nullptr, &cur) == 0 && cur.ss_sp == t->altstack) {
            // A thread that ends from inside a signal handler is still running on
            // this stack: leave the mapping alone.
            in_use = (cur.ss_flags & SS_ONSTACK) != 0;
            if (!in_use) {
                stack_t off;
                std::memset(&off, 0, sizeof off);
                off.ss_flags = SS_DISABLE;
                sigaltstack(&off, nullptr);
            }
        }
    }
    for (sve_upper_state *&copy : tls_levels.copies) {
        if (copy != nullptr) munmap(copy, sizeof(sve_upper_state));
        copy = nullptr;
    }
    g_exited_traps.fetch_add(t->traps, std::memory_order_relaxed);
    g_exited_instructions.fetch_add(t->engine.instructions, std::memory_order_relaxed);
    g_exited_scalar_steps.fetch_add(t->engine.scalar_steps, std::memory_order_relaxed);
    sve_profile_thread_end(t->engine.profile);
    t->engine.profile = nullptr;
    if (tls_thread == t) tls_thread = nullptr;
    g_live_records.fetch_sub(1, std::memory_order_relaxed);
    if (t->engine.compiled != nullptr) munmap(t->engine.compiled, kPlanSlots * kCompiledPlanBytes);
    if (!in_use) munmap(t->map_base, t->map_bytes);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

// Out of line: callers with a sigsetjmp keep no locals of it.
[[gnu::noinline]] sve_handler_fn emulated(uint32_t word) {
    return emulated_instruction(word, g_emulate_half_precision);
}

// Maps the calling thread's record (zero-filled) and, unless the thread already
// has an alternate signal stack, one for the trap handler below a guard page:
//   [guard page][alternate stack][record]
trap_thread *create_thread_record() {
    stack_t cur;
    bool need_stack = sigaltstack(nullptr, &cur) != 0 || (cur.ss_flags & SS_DISABLE) != 0;
    size_t record_bytes = round_up_to_page(sizeof(trap_thread));
    size_t stack_bytes = need_stack ? g_page_bytes + kAltStackBytes : 0;
    size_t total = stack_bytes + record_bytes;
    void *base = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (base == MAP_FAILED) return nullptr;
    char *bytes = static_cast<char *>(base);
    trap_thread *t = reinterpret_cast<trap_thread *>(bytes + stack_bytes);
    t->map_base = base;
    t->map_bytes = total;
    t->altstack = nullptr;
    if (need_stack) {
        mprotect(base, g_page_bytes, PROT_NONE);
        stack_t ss;
        std::memset(&ss, 0, sizeof ss);
        ss.ss_sp = bytes + g_page_bytes;
        ss.ss_size = kAltStackBytes;
        if (sigaltstack(&ss, nullptr) == 0) {
            t->altstack = ss.ss_sp;
            t->seen_altstack_low = reinterpret_cast<uintptr_t>(ss.ss_sp);
            t->seen_altstack_high = t->seen_altstack_low + kAltStackBytes;
        }
    }
    sve_profile_thread *const profile = sve_profile_thread_start();
    void *code = profile == nullptr ? mmap(nullptr, kPlanSlots * kCompiledPlanBytes, PROT_READ | PROT_WRITE | PROT_EXEC,
                                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0)
                                       : MAP_FAILED;
    plan_engine_init(t->engine, emulated, g_page_bytes, code != MAP_FAILED ? static_cast<uint32_t *>(code) : nullptr,
                     profile);
    tls_thread = t;
    if (g_thread_key_usable) pthread_setspecific(g_thread_key, t);
    g_live_records.fetch_add(1, std::memory_order_relaxed);
    return t;
}


sve_handler_fn recognise(trap_thread &t, uint32_t word, const uint32_t *at) {
    return recognise_cached(t.engine.recognised, word, reinterpret_cast<uintptr_t>(at), emulated);
}

// At the handler's return the kernel puts back the alternate stack recorded in
// the frame: one installed from inside the handler is recorded there too, or it
// is gone again after this trap.
void keep_our_altstack(const trap_thread &t, ucontext_t *uc) {
    uc->uc_stack.ss_sp = t.altstack;
    uc->uc_stack.ss_size = kAltStackBytes;
    uc->uc_stack.ss_flags = 0;
}

// True when the kernel put this trap's frame on the stack the interrupted code
// runs on, just below its SP: there was no alternate stack, or the code was
// already on it (a handler of the program running SVE code there). Emulated
// code that moves SP down and stores below the old SP would write over the
// frame and this handler's own stack.
bool frame_on_program_stack(trap_thread &t, ucontext_t *uc) {
    uintptr_t frame = reinterpret_cast<uintptr_t>(uc);
    if (frame < t.seen_altstack_low || frame >= t.seen_altstack_high) {
        stack_t cur;
        if (sigaltstack(nullptr, &cur) != 0) return true;
        if ((cur.ss_flags & SS_ONSTACK) == 0) {
            // A handler of the program that ran this thread's first trap put
            // back, at its return, the disabled stack it had recorded: install
            // ours again for the next traps.
            if (t.altstack != nullptr && (cur.ss_flags & SS_DISABLE) != 0) {
                stack_t ours;
                std::memset(&ours, 0, sizeof ours);
                ours.ss_sp = t.altstack;
                ours.ss_size = kAltStackBytes;
                if (sigaltstack(&ours, nullptr) == 0) keep_our_altstack(t, uc);
            }
            return true;
        }
        // The program's own alternate stack.
        t.seen_altstack_low = reinterpret_cast<uintptr_t>(cur.ss_sp);
        t.seen_altstack_high = t.seen_altstack_low + cur.ss_size;
    }
    uintptr_t sp = uc->uc_mcontext.sp;
    return sp > t.seen_altstack_low && sp <= t.seen_altstack_high;
}

// ---------------------------------------------------------------------------
// Register exchange with the signal frame.

fpsimd_context *find_fpsimd(mcontext_t &mc) {
    unsigned char *area = reinterpret_cast<unsigned char *>(mc.__reserved);
    size_t offset = 0;
    while (offset + sizeof(_aarch64_ctx) <= sizeof mc.__reserved) {
        _aarch64_ctx *head = reinterpret_cast<_aarch64_ctx *>(area + offset);
        if (head->magic == 0 || head->size == 0) break;
        if (head->magic == FPSIMD_MAGIC) return reinterpret_cast<fpsimd_context *>(head);
        offset += head->size;
    }
    return nullptr;
}

void context_to_state(const mcontext_t &mc, const fpsimd_context &fp, cpu_state &st) {
    for (int n = 0; n < 31; ++n) st.x[n] = mc.regs[n];
    st.sp = mc.sp;
    st.nzcv = mc.pstate & kNzcvMask;
    for (int n = 0; n < 32; ++n) std::memcpy(st.z[n], &fp.vregs[n], 16);
    st.fpsr = fp.fpsr;
    st.fpcr = fp.fpcr;
}

void state_to_context(const cpu_state &st, mcontext_t &mc, fpsimd_context &fp) {
    for (int n = 0; n < 31; ++n) mc.regs[n] = st.x[n];
    mc.sp = st.sp;
    mc.pstate = (mc.pstate & ~kNzcvMask) | (st.nzcv & kNzcvMask);
    for (int n = 0; n < 32; ++n) std::memcpy(&fp.vregs[n], st.z[n], 16);
    fp.fpsr = st.fpsr;
    fp.fpcr = st.fpcr;
}

// ---------------------------------------------------------------------------
// SIGILLs that are not ours: deliver them as the kernel would have without
// this library, to the program's handler or to the default action.

void restore_default(int sig) {
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    __sigaction(sig, &dfl, nullptr);
}

bool sent_by_process(const siginfo_t *info) { return info->si_code <= 0; }

// A save area for the SVE-only state a handler interrupted (mmap is
// async-signal-safe and gives zeroed pages).
sve_upper_state *map_upper_state_copy() {
    void *p = mmap(nullptr, sizeof(sve_upper_state), PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    return p == MAP_FAILED ? nullptr : static_cast<sve_upper_state *>(p);
}

// Where a handler entered with stack pointer `frame_sp` runs: the alternate
// stack recorded in the signal frame tells whether that is on it.
sve_handler_frame handler_frame(uintptr_t frame_sp, const ucontext_t *uc) {
    sve_handler_frame f{frame_sp, 0, 0};
    const stack_t &alt = uc->uc_stack;
    if (!(alt.ss_flags & SS_DISABLE) && alt.ss_size != 0) {
        f.alt_lo = reinterpret_cast<uintptr_t>(alt.ss_sp);
        f.alt_hi = f.alt_lo + alt.ss_size;
    }
    return f;
}

// Calls the program's handler as the kernel would, between entering and
// leaving its level: the SVE-only state the handler finds is copied at its
// first SVE instruction and comes back when it returns.
// `app` may be a published slot: its fields are read once, up front.
__attribute__((noinline)) void call_program_handler(int sig, const struct sigaction &app,
                                                    siginfo_t *info, void *uctx) {
    const int flags = app.sa_flags;
    const auto with_info = app.sa_sigaction;
    const auto plain = app.sa_handler;
    const ucontext_t *uc = static_cast<const ucontext_t *>(uctx);
    const uintptr_t frame_sp = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    sve_signal_levels_enter(tls_levels, handler_frame(frame_sp, uc), uc->uc_mcontext.sp);
    if (flags & SA_SIGINFO)
        with_info(sig, info, uctx);
    else
        plain(sig);
    trap_thread *t = tls_thread;
    sve_signal_levels_leave(tls_levels, frame_sp, t != nullptr ? &t->state : nullptr);
}

// Runs the program's own handler of `sig` with the mask it would have had.
void run_program_handler(int sig, struct sigaction app, siginfo_t *info, void *uctx) {
    if (app.sa_flags & SA_RESETHAND) {
        struct sigaction dfl;
        std::memset(&dfl, 0, sizeof dfl);
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        publish_app_action(sig, dfl);
    }
    // The signal mask the program's handler would run with: the interrupted
    // mask, its own sa_mask, and the signal itself unless SA_NODEFER.
    const ucontext_t *uc = static_cast<const ucontext_t *>(uctx);
    sigset_t during, ours;
    sigemptyset(&during);
    for (int s = 1; s < NSIG; ++s) {
        if (sigismember(&uc->uc_sigmask, s) == 1 || sigismember(&app.sa_mask, s) == 1)
            sigaddset(&during, s);
    }
    if (!(app.sa_flags & SA_NODEFER)) sigaddset(&during, sig);
    pthread_sigmask(SIG_SETMASK, &during, &ours);
    call_program_handler(sig, app, info, uctx);
    pthread_sigmask(SIG_SETMASK, &ours, nullptr);
}

// Returns true when the program's own handler ran.
bool forward_sigill(int sig, siginfo_t *info, void *uctx) {
    struct sigaction app = current_app_action(SIGILL);
    // The handler field is one union whatever SA_SIGINFO says, as for the kernel.
    if (app.sa_handler == SIG_DFL || app.sa_handler == SIG_IGN) {
        if (app.sa_handler == SIG_IGN && sent_by_process(info)) return false;
        // A SIGILL raised by an instruction cannot be ignored. With the default
        // action in place the instruction traps again on return and ends the
        // process; a SIGILL sent by kill or raise is sent again.
        restore_default(SIGILL);
        if (sent_by_process(info)) raise(SIGILL);
        return false;
    }
    run_program_handler(sig, app, info, uctx);
    return true;
}

// A fault of an emulated access, for a program that handles it: its handler
// sees what a processor with SVE would show it, the program stopped at the SVE
// instruction (registers as the instructions before it in the run left them)
// and the address of the element. Returning from the handler resumes that
// context as the handler left it, the instruction again (after, say, the
// handler made the page accessible) or wherever the handler moved the PC; the
// rest of the emulation is abandoned.
[[noreturn]] void program_handles_emulated_fault(trap_thread &t, int sig, struct sigaction app, siginfo_t *info) {
    ucontext_t *uc = t.program_context;
    t.program_context = nullptr;
    fpsimd_context *fp = find_fpsimd(uc->uc_mcontext);
    state_to_context(t.state, uc->uc_mcontext, *fp);
    uc->uc_mcontext.pc = reinterpret_cast<uintptr_t>(t.state.pc);
    // A handler that itself runs SVE code traps again on this thread and sets
    // the way back for its own trap.
    sigjmp_buf back;
    std::memcpy(back, t.back_to_trap, sizeof back);
    run_program_handler(sig, app, info, uc);
    siglongjmp(back, 1);
}

// A SIGSEGV or SIGBUS outside the core's guarded reads goes to the program's own
// handler when it installed one; with the default action (or SIG_IGN, which a
// fault cannot honour) the core prints its notice and the process ends by the
// signal. Returns true when the program's handler ran.
bool forward_fault(int sig, siginfo_t *info, void *uctx) {
    if (!kept_signal(sig)) return false;
    struct sigaction app = current_app_action(sig);
    if (app.sa_handler == SIG_DFL || app.sa_handler == SIG_IGN) {
        // The core goes on to print its notice and let the access fault again;
        // the real dispositions must be the default ones by then (the core's own
        // sigaction calls reach the interposer below, which only records them).
        restore_default(SIGSEGV);
        restore_default(SIGBUS);
        return false;
    }
    trap_thread *t = tls_thread;
    if (t != nullptr && t->program_context != nullptr) program_handles_emulated_fault(*t, sig, app, info);
    run_program_handler(sig, app, info, uctx);
    return true;
}

// ---------------------------------------------------------------------------
// Handlers of the program for the signals the library does not keep.

// What the kernel runs for such a signal: the program's handler, with the SVE
// state it interrupts kept across it. The kernel has applied the program's own
// flags and mask already.
void program_signal_entry(int sig, siginfo_t *info, void *uctx) {
    app_disposition &d = disposition_of(sig);
    // The published action itself, not a copy.
    const struct sigaction &app = d.slots[d.current.load(std::memory_order_acquire) % kActionSlots];
    const sighandler_t handler = app.sa_handler;
    if (app.sa_flags & SA_RESETHAND) {
        // The kernel has put the default action back; so does the program's view.
        struct sigaction dfl;
        std::memset(&dfl, 0, sizeof dfl);
        dfl.sa_handler = SIG_DFL;
        sigemptyset(&dfl.sa_mask);
        d.wrapped.store(false, std::memory_order_relaxed);
        publish_app_action(sig, dfl);
    }
    if (handler == SIG_DFL || handler == SIG_IGN) {
        // The program set SIG_DFL or SIG_IGN while this signal was on its way.
        if (handler == SIG_DFL) {
            restore_default(sig);
            raise(sig);
        }
        return;
    }
    call_program_handler(sig, app, info, uctx);
}

int set_program_action(int sig, const struct sigaction *act, struct sigaction *oact) {
    app_disposition &d = disposition_of(sig);
    struct sigaction previous;
    // Also rejects what the C library reserves for itself.
    if (__sigaction(sig, nullptr, &previous) != 0) return -1;
    const bool wrapped = d.wrapped.load(std::memory_order_acquire);
    if (wrapped) previous = current_app_action(sig);
    if (act != nullptr) {
        if (is_handler(*act) && sig != SIGKILL && sig != SIGSTOP) {
            publish_app_action(sig, *act);
            struct sigaction k = *act;
            k.sa_sigaction = program_signal_entry;
            k.sa_flags |= SA_SIGINFO;
            if (__sigaction(sig, &k, nullptr) != 0) return -1;
            d.wrapped.store(true, std::memory_order_release);
        } else {
            if (__sigaction(sig, act, nullptr) != 0) return -1;
            d.wrapped.store(false, std::memory_order_release);
            publish_app_action(sig, *act);
        }
    }
    if (oact != nullptr) *oact = previous;
    return 0;
}

// ---------------------------------------------------------------------------
// What a program learns of the processor.

constexpr unsigned long kHwcapSve = 1ul << 22;  // HWCAP_SVE
constexpr unsigned long kVecLenMask = 0xffff;   // PR_SVE_VL_LEN_MASK
constexpr unsigned long kVlInherit = 1ul << 17; // PR_SVE_VL_INHERIT
constexpr unsigned long kSetVlOnExec = 1ul << 18;  // PR_SVE_SET_VL_ONEXEC

unsigned long real_getauxval(unsigned long type) {
    using fn_t = unsigned long (*)(unsigned long);
    static std::atomic<fn_t> next{nullptr};
    fn_t f = next.load(std::memory_order_acquire);
    if (f == nullptr) {
        f = reinterpret_cast<fn_t>(dlsym(RTLD_NEXT, "getauxval"));
        next.store(f, std::memory_order_release);
    }
    return f != nullptr ? f(type) : 0;
}

int real_prctl(int option, unsigned long a2, unsigned long a3, unsigned long a4,
               unsigned long a5) {
    using fn_t = int (*)(int, ...);
    static std::atomic<fn_t> next{nullptr};
    fn_t f = next.load(std::memory_order_acquire);
    if (f == nullptr) {
        f = reinterpret_cast<fn_t>(dlsym(RTLD_NEXT, "prctl"));
        next.store(f, std::memory_order_release);
    }
    if (f == nullptr) {
        errno = ENOSYS;
        return -1;
    }
    return f(option, a2, a3, a4, a5);
}

// The vector-length inheritance flag of PR_SVE_SET_VL. Linux keeps it per
// thread and copies it to new threads and children; the library keeps one for
// the process.
std::atomic<bool> g_vl_inherit{false};

// PR_SVE_GET_VL / PR_SVE_SET_VL: the result, or a negative errno.
long sve_vector_length_prctl(int option, unsigned long arg) {
    if (option == PR_SVE_SET_VL) {
        const unsigned long vl = arg & kVecLenMask;
        const unsigned long flags = arg & ~kVecLenMask;
        if (flags & ~(kVlInherit | kSetVlOnExec)) return -EINVAL;
        if (vl % 16 != 0 || vl < 16 || vl > 8192) return -EINVAL;
        // Every valid request selects the one length there is.
        g_vl_inherit.store((flags & kVlInherit) != 0, std::memory_order_relaxed);
    }
    return static_cast<long>(kVecBytes) |
           (g_vl_inherit.load(std::memory_order_relaxed) ? static_cast<long>(kVlInherit) : 0);
}

// ---------------------------------------------------------------------------
// The trap.

// The lines after the first of a failure: what the word is and why it was not
// emulated.
void explain_failure(uint32_t word, const uint32_t *at) {
    char why[768];
    sve_explain_failure(word, at, !g_emulate_half_precision, why, sizeof why);
    std::fputs(why, stderr);
    std::fflush(stderr);
}

bool emulation_failed(int sig, siginfo_t *info, void *uctx, const uint32_t *at) {
    int saved_errno = errno;
    std::fprintf(stderr, "Error: failed to emulate SVE instruction 0x%08x at PC %p\n", *at,
                 static_cast<const void *>(at));
    explain_failure(*at, at);
    // The program cannot go on correctly past an instruction it relies on; it
    // meets the SIGILL it would have met without this library.
    siginfo_t moved = *info;
    moved.si_addr = const_cast<uint32_t *>(at);
    errno = saved_errno;
    return forward_sigill(sig, &moved, uctx);
}

// Returns true when the program's own handler ran.
bool handle_sigill(int sig, siginfo_t *info, void *uctx) {
    ucontext_t *uc = static_cast<ucontext_t *>(uctx);
    mcontext_t &mc = uc->uc_mcontext;
    if (sent_by_process(info)) return forward_sigill(sig, info, uctx);

    const uint32_t *at = reinterpret_cast<const uint32_t *>(mc.pc);
    uint32_t word = *at;
    trap_thread *t = tls_thread;
    sve_handler_fn fn = t != nullptr ? recognise(*t, word, at) : emulated(word);
    if (fn == nullptr) {
        // The process is about to end by this SIGILL: say what the word is.
        if (current_app_action(SIGILL).sa_handler == SIG_DFL) {
            std::fprintf(stderr, "Error: failed to emulate SVE instruction 0x%08x at PC %p\n", word,
                         static_cast<const void *>(at));
            explain_failure(word, at);
        }
        return forward_sigill(sig, info, uctx);
    }

    if (t == nullptr) {
        t = create_thread_record();
        if (t == nullptr) {
            std::fprintf(stderr, "Error: no memory for the SVE register file of this thread\n");
            return emulation_failed(sig, info, uctx, at);
        }
        // Resume at the same word: it traps again, now onto the new stack.
        if (t->altstack != nullptr) {
            keep_our_altstack(*t, uc);
            return false;
        }
    }
    fpsimd_context *fp = find_fpsimd(mc);
    if (fp == nullptr) return emulation_failed(sig, info, uctx, at);

    cpu_state &st = t->state;
    // Inside a handler of the program: its first SVE instruction copies the
    // state the handler interrupted.
    sve_signal_levels_before_sve(tls_levels, mc.sp, st, map_upper_state_copy);
    context_to_state(mc, *fp, st);
    uint64_t host_fpcr = read_fpcr();
    uint64_t host_fpsr = read_fpsr();
    write_fpcr(st.fpcr);
    write_fpsr(st.fpsr);

    ++t->traps;
    if (sigsetjmp(t->back_to_trap, 0) != 0) {
        // A handler of the program took a fault of an emulated access and
        // returned: the program goes on from the context it left.
        write_fpcr(host_fpcr);
        write_fpsr(host_fpsr);
        return true;
    }
    t->program_context = uc;
    // The next words may store below the new SP (an SVE frame being built)
    // where this frame lies: they trap again, with the frame below.
    const uint64_t sp_floor = frame_on_program_stack(*t, uc) ? st.sp : 0;
    const uint64_t emulated_before = t->engine.instructions;
    const run_end end = run_plans(t->engine, st, at, sp_floor);
    if (t->engine.profile != nullptr)
        sve_profile_trap(t->engine.profile, static_cast<unsigned>(t->engine.instructions - emulated_before));
    at = end.at;
    const aarch64_decode_rc rc = end.rc;

    t->program_context = nullptr;
    write_fpcr(host_fpcr);
    write_fpsr(host_fpsr);
    state_to_context(st, mc, *fp);
    mc.pc = reinterpret_cast<uintptr_t>(at);
    if (rc != DECODE_OK) return emulation_failed(sig, info, uctx, at);
    return false;
}

// The interrupted code keeps its errno, unless a handler of the program ran
// and chose to change it.
void on_sigill(int sig, siginfo_t *info, void *uctx) {
    int saved_errno = errno;
    if (!handle_sigill(sig, info, uctx)) errno = saved_errno;
}

void print_stats() {
    uint64_t traps = g_exited_traps.load();
    uint64_t insns = g_exited_instructions.load();
    uint64_t scalar = g_exited_scalar_steps.load();
    if (const trap_thread *t = tls_thread) {
        traps += t->traps;
        insns += t->engine.instructions;
        scalar += t->engine.scalar_steps;
    }
    std::fprintf(stderr, "sve-trap: %llu traps, %llu SVE instructions emulated, %llu scalar instructions between them\n",
                 static_cast<unsigned long long>(traps), static_cast<unsigned long long>(insns),
                 static_cast<unsigned long long>(scalar));
}

__attribute__((constructor)) void trap_host_init() {
    g_emulate_half_precision = lacks_half_precision(real_getauxval(AT_HWCAP));
    sve_profile_configure_from_environment();
    long page = sysconf(_SC_PAGESIZE);
    if (page > 0) g_page_bytes = static_cast<size_t>(page);
    if (pthread_key_create(&g_thread_key, release_thread) == 0)
        g_thread_key_usable = g_thread_key < kInlineKeyLimit;
    const char *stats = std::getenv("SVE_TRAP_STATS");
    g_print_stats = stats != nullptr && stats[0] != '\0' && std::strcmp(stats, "0") != 0;

    // The core's fault handlers go in first, through the real sigaction (the
    // interposer below is not active yet), whatever the order of the library's
    // initialisers.
    SVEInitialize();
    for (int sig : {SIGILL, SIGSEGV, SIGBUS}) {
        struct sigaction prev;
        __sigaction(sig, nullptr, &prev);
        // The core's own fault handler is not the program's.
        if (sig != SIGILL && (prev.sa_flags & SA_SIGINFO) && prev.sa_sigaction == SVESigHandler) {
            std::memset(&prev, 0, sizeof prev);
            prev.sa_handler = SIG_DFL;
        }
        disposition_of(sig).slots[0] = prev;
    }
    sve_set_fault_forwarder(forward_fault);

    struct sigaction act;
    std::memset(&act, 0, sizeof act);
    act.sa_sigaction = on_sigill;
    act.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART | SA_NODEFER;
    // Asynchronous signals wait until the context is back in the frame: a
    // handler of the program that runs SVE code must not trap in the middle of
    // this thread's exchange.
    sigfillset(&act.sa_mask);
    for (int s : {SIGILL, SIGSEGV, SIGBUS, SIGFPE, SIGTRAP, SIGABRT, SIGSYS})
        sigdelset(&act.sa_mask, s);
    __sigaction(SIGILL, &act, nullptr);
    g_installed.store(true, std::memory_order_release);
}

__attribute__((destructor)) void trap_host_fini() {
    if (g_print_stats) print_stats();
    sve_profile_write_report();
}

}  // namespace

// ---------------------------------------------------------------------------
// Exports.

extern "C" {

void sve_trap_host_thread_counters(sve_trap_host_counters *out) {
    const trap_thread *t = tls_thread;
    out->traps = t ? t->traps : 0;
    out->instructions = t ? t->engine.instructions : 0;
    out->scalar_steps = t ? t->engine.scalar_steps : 0;
}

uint64_t sve_trap_host_live_records(void) { return g_live_records.load(); }

// The program sees and sets its own dispositions. Of SIGILL, SIGSEGV and
// SIGBUS the library's handlers stay installed underneath and hand the
// program every SIGILL that is not emulated and every fault outside a
// first-fault or non-fault probe; a handler of any other signal runs under a
// wrapper that keeps the SVE state it interrupts.
int sigaction(int sig, const struct sigaction *act, struct sigaction *oact) noexcept {
    if (!valid_signal(sig) || !g_installed.load(std::memory_order_acquire))
        return __sigaction(sig, act, oact);
    if (!kept_signal(sig)) return set_program_action(sig, act, oact);
    struct sigaction previous = current_app_action(sig);
    if (act != nullptr) publish_app_action(sig, *act);
    if (oact != nullptr) *oact = previous;
    return 0;
}

sighandler_t signal(int sig, sighandler_t handler) noexcept {
    // BSD semantics, as glibc's signal(): the handler stays installed, the signal
    // is blocked while it runs, interrupted system calls restart.
    struct sigaction act, previous;
    std::memset(&act, 0, sizeof act);
    act.sa_handler = handler;
    sigemptyset(&act.sa_mask);
    if (valid_signal(sig)) sigaddset(&act.sa_mask, sig);
    act.sa_flags = SA_RESTART;
    if (sigaction(sig, &act, &previous) != 0) return SIG_ERR;
    return previous.sa_handler;
}

sighandler_t bsd_signal(int sig, sighandler_t handler) noexcept { return signal(sig, handler); }

// A program that asks whether the processor has SVE is told it does, and that
// it has the half-precision instructions every SVE processor has.
unsigned long getauxval(unsigned long type) noexcept {
    unsigned long value = real_getauxval(type);
    if (type == AT_HWCAP) value |= kHwcapSve | kHwcapHalfPrecision;
    return value;
}

// PR_SVE_GET_VL and PR_SVE_SET_VL answer as Linux does on a processor whose
// only vector length is 2048 bits; every other option goes to the kernel.
int prctl(int option, ...) noexcept {
    va_list ap;
    va_start(ap, option);
    unsigned long a2 = va_arg(ap, unsigned long);
    unsigned long a3 = va_arg(ap, unsigned long);
    unsigned long a4 = va_arg(ap, unsigned long);
    unsigned long a5 = va_arg(ap, unsigned long);
    va_end(ap);
    if (option == PR_SVE_GET_VL || option == PR_SVE_SET_VL) {
        long r = sve_vector_length_prctl(option, a2);
        if (r < 0) {
            errno = static_cast<int>(-r);
            return -1;
        }
        return static_cast<int>(r);
    }
    return real_prctl(option, a2, a3, a4, a5);
}

}  // extern "C"
