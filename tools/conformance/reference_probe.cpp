// The reference probe: runs under qemu-aarch64 with SVE at 2048 bits and executes
// conformance cases read from standard input, one instruction word or a short
// straight-line sequence of them each, writing
// one result per case to standard output (formats in conformance_wire.h).
//
// For each case: write the words into the code slot of the case pc, revoke access
// to the window pages the case asks for, load the whole state, run the words, save
// the whole state, and report the window chunks the word changed (restoring them
// for the next case).
//
// The code slots are one shared-memory object mapped twice: writable at an
// address of the kernel's choice, and readable and executable at kCodeBase. The
// executable view is never writable, so the emulator has no page to write-protect
// and no write to catch; instead every slot serves at most one case between two
// fresh mappings of the executable view, and a fresh mapping discards whatever
// was translated from the old one. (Rewriting one word in place makes the
// emulator re-protect its page for every case, which costs a TLB flush each time.)
//
// A signal raised by the word (SIGILL for an unallocated encoding, SIGSEGV or
// SIGBUS for a fault) is reported for that case and the batch goes on. The probe
// runs its signal handler on an alternate stack, as the word may move SP
// anywhere. Exit status: 0 at the end of the input, 2 on a setup or format error.
#include <csetjmp>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <sys/mman.h>
#include <sys/ucontext.h>
#include <unistd.h>

#include "tools/conformance/conformance_wire.h"

using namespace conformance;

extern "C" void probe_execute(const wire_regs *in, wire_regs *out);
extern "C" void probe_return();

namespace {

sigjmp_buf g_recover;
volatile sig_atomic_t g_in_case = 0;
volatile int g_signal = 0;
volatile int g_si_code = 0;
volatile uint64_t g_fault_address = 0;
volatile uint64_t g_fault_pc = 0;

alignas(16) unsigned char g_alt_stack[1 << 20];
uint8_t *g_window = nullptr;
uint8_t *g_pristine = nullptr;

[[noreturn]] void die(const char *what) {
    std::fprintf(stderr, "reference probe: %s\n", what);
    std::_Exit(2);
}

void on_signal(int sig, siginfo_t *info, void *uctx) {
    if (!g_in_case) {
        signal(sig, SIG_DFL);
        return;
    }
    g_signal = sig;
    g_si_code = info->si_code;
    g_fault_address = reinterpret_cast<uint64_t>(info->si_addr);
    g_fault_pc = static_cast<ucontext_t *>(uctx)->uc_mcontext.pc;
    g_in_case = 0;
    siglongjmp(g_recover, 1);
}

void install_signal_handlers() {
    stack_t ss{};
    ss.ss_sp = g_alt_stack;
    ss.ss_size = sizeof g_alt_stack;
    if (sigaltstack(&ss, nullptr) != 0) die("sigaltstack failed");
    struct sigaction sa{};
    sa.sa_sigaction = on_signal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
    for (int sig : {SIGILL, SIGSEGV, SIGBUS, SIGFPE, SIGTRAP})
        if (sigaction(sig, &sa, nullptr) != 0) die("sigaction failed");
}

void *map_fixed(uint64_t address, uint64_t bytes, int prot) {
    void *p = mmap(reinterpret_cast<void *>(address), bytes, prot, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != reinterpret_cast<void *>(address)) die("a fixed address is not free");
    return p;
}

int g_code_fd = -1;
uint8_t *g_code_rw = nullptr;
bool g_slot_used[kCodeSlots];

void map_code_view() {
    void *p = mmap(reinterpret_cast<void *>(kCodeBase), kCodeBytes, PROT_READ | PROT_EXEC,
                   MAP_SHARED | MAP_FIXED, g_code_fd, 0);
    if (p != reinterpret_cast<void *>(kCodeBase)) die("cannot map the code slots");
    std::memset(g_slot_used, 0, sizeof g_slot_used);
}

void setup_code_slots() {
    // Reserve the range first so that MAP_FIXED below never replaces a mapping.
    map_fixed(kCodeBase, kCodeBytes, PROT_NONE);
    g_code_fd = memfd_create("sve-probe-code", 0);
    if (g_code_fd < 0 || ftruncate(g_code_fd, static_cast<off_t>(kCodeBytes)) != 0) die("memfd failed");
    void *rw = mmap(nullptr, kCodeBytes, PROT_READ | PROT_WRITE, MAP_SHARED, g_code_fd, 0);
    if (rw == MAP_FAILED) die("cannot map the code slots");
    g_code_rw = static_cast<uint8_t *>(rw);
    map_code_view();
}

uint32_t branch_to(uint64_t from, uint64_t to) {
    int64_t offset = static_cast<int64_t>(to) - static_cast<int64_t>(from);
    if (offset >= (int64_t{1} << 27) || offset < -(int64_t{1} << 27)) die("probe_return is out of branch range");
    return 0x14000000u | (static_cast<uint32_t>(offset / 4) & 0x03FFFFFFu);
}

// Fills the slot of `pc` with `count` words and returns the address to enter it at.
uint64_t prepare_slot(uint64_t pc, const uint32_t *words, unsigned count, uint64_t x30) {
    uint64_t offset = pc - kCodeBase;
    if (pc < kCodeBase || offset >= kCodeBytes || offset % kPageBytes != kSlotWordOffset) die("bad case pc");
    if (count == 0 || count > kMaxSequenceWords) die("bad word count");
    unsigned slot = static_cast<unsigned>(offset / kPageBytes);
    if (g_slot_used[slot]) map_code_view();
    g_slot_used[slot] = true;
    uint64_t page = kCodeBase + slot * kPageBytes;
    uint8_t *w = g_code_rw + slot * kPageBytes;
    const uint32_t load_x30 = 0x58000000u | ((kSlotLiteralOffset / 4) << 5) | 30;  // LDR X30, literal
    const uint64_t back_at = page + kSlotWordOffset + 4 * count;
    const uint32_t back = branch_to(back_at, reinterpret_cast<uint64_t>(&probe_return));
    std::memcpy(w, &load_x30, 4);
    std::memcpy(w + kSlotWordOffset, words, 4 * count);
    std::memcpy(w + (back_at - page), &back, 4);
    std::memcpy(w + kSlotLiteralOffset, &x30, 8);
    __builtin___clear_cache(reinterpret_cast<char *>(page), reinterpret_cast<char *>(page + kSlotLiteralOffset + 8));
    return page;
}

void setup_window(uint64_t seed) {
    uint64_t guard = kGuardPages * kPageBytes;
    map_fixed(kWindowBase - guard, kWindowBytes + 2 * guard, PROT_NONE);
    if (mprotect(reinterpret_cast<void *>(kWindowBase), kWindowBytes, PROT_READ | PROT_WRITE) != 0)
        die("mprotect of the window failed");
    g_window = reinterpret_cast<uint8_t *>(kWindowBase);
    g_pristine = static_cast<uint8_t *>(std::malloc(kWindowBytes));
    if (g_pristine == nullptr) die("out of memory");
    fill_window(g_pristine, kWindowBytes, seed);
    std::memcpy(g_window, g_pristine, kWindowBytes);
}

void protect_pages(uint64_t pages, int prot) {
    for (unsigned i = 0; i < kWindowPages; ++i)
        if ((pages >> i) & 1)
            if (mprotect(g_window + i * kPageBytes, kPageBytes, prot) != 0) die("mprotect failed");
}

// Buffered input and output over the raw descriptors. Each case's result is
// written out whole as soon as it is complete: the runner never waits for
// results that sit in this buffer, and when the probe dies (under a host of the
// emulator, a case may kill it) every case before the fatal one has answered.
unsigned char g_out[1 << 20];
size_t g_out_len = 0;

void flush_out() {
    size_t done = 0;
    while (done < g_out_len) {
        ssize_t n = write(1, g_out + done, g_out_len - done);
        if (n <= 0) die("write failed");
        done += static_cast<size_t>(n);
    }
    g_out_len = 0;
}

void put(const void *data, size_t n) {
    if (g_out_len + n > sizeof g_out) flush_out();
    if (n > sizeof g_out) die("record too large");
    std::memcpy(g_out + g_out_len, data, n);
    g_out_len += n;
}

unsigned char g_in[1 << 20];
size_t g_in_pos = 0, g_in_len = 0;

// Reads exactly n bytes; returns false on end of input before the first byte.
bool get(void *data, size_t n) {
    unsigned char *dst = static_cast<unsigned char *>(data);
    size_t done = 0;
    while (done < n) {
        if (g_in_pos == g_in_len) {
            ssize_t r = read(0, g_in, sizeof g_in);
            if (r == 0) {
                if (done == 0) return false;
                die("truncated case");
            }
            if (r < 0) die("read failed");
            g_in_pos = 0;
            g_in_len = static_cast<size_t>(r);
        }
        size_t take = g_in_len - g_in_pos < n - done ? g_in_len - g_in_pos : n - done;
        std::memcpy(dst + done, g_in + g_in_pos, take);
        g_in_pos += take;
        done += take;
    }
    return true;
}

wire_regs g_in_regs;
wire_regs g_out_regs;

uint32_t g_words[kMaxSequenceWords];

void run_case(const wire_case_header &c) {
    const unsigned words = 1 + c.extra_words;
    g_in_regs.probe_entry = prepare_slot(c.pc, g_words, words, g_in_regs.x[30]);
    protect_pages(c.unmapped_pages, PROT_NONE);

    wire_result_header r{};
    r.magic = kResultMagic;
    r.tag = c.tag;
    if (sigsetjmp(g_recover, 1) == 0) {
        g_in_case = 1;
        probe_execute(&g_in_regs, &g_out_regs);
        g_in_case = 0;
        r.pc_after = c.pc + 4 * words;
    } else {
        // The word raised a signal: the state is the one loaded. Put the probe's
        // floating-point control back to its default.
        uint64_t zero = 0;
        __asm__ volatile("msr fpcr, %0\n\tmsr fpsr, %0" : : "r"(zero));
        r.signal = static_cast<uint32_t>(g_signal);
        r.si_code = g_si_code;
        r.fault_address = g_fault_address;
        r.pc_after = g_fault_pc;
        g_out_regs = g_in_regs;
    }
    protect_pages(c.unmapped_pages, PROT_READ | PROT_WRITE);

    // Changed window chunks, each restored from the pristine copy afterwards.
    wire_chunk changed[64];
    unsigned pending = 0;
    uint32_t count = 0;
    if (c.flags & kCaseCheckMemory) {
        for (unsigned i = 0; i < kWindowChunks; ++i)
            if (std::memcmp(g_window + i * kChunkBytes, g_pristine + i * kChunkBytes, kChunkBytes) != 0) ++count;
    }
    r.mem_chunks = count;
    put(&r, sizeof r);
    put(&g_out_regs, sizeof g_out_regs);
    if (count != 0) {
        for (unsigned i = 0; i < kWindowChunks; ++i) {
            uint8_t *now = g_window + i * kChunkBytes;
            const uint8_t *was = g_pristine + i * kChunkBytes;
            if (std::memcmp(now, was, kChunkBytes) == 0) continue;
            changed[pending].index = i;
            std::memcpy(changed[pending].bytes, now, kChunkBytes);
            std::memcpy(now, was, kChunkBytes);
            if (++pending == 64) {
                put(changed, sizeof(wire_chunk) * pending);
                pending = 0;
            }
        }
        if (pending != 0) put(changed, sizeof(wire_chunk) * pending);
    }
    flush_out();
}

}  // namespace

int main() {
    uint64_t vl = 0;
    __asm__ volatile(".arch armv8.2-a+sve\n\trdvl %0, #1" : "=r"(vl));
    if (vl != kZBytes) {
        std::fprintf(stderr, "reference probe: vector length is %llu bytes, need %u\n",
                     static_cast<unsigned long long>(vl), kZBytes);
        return 2;
    }
    wire_batch_header b{};
    if (!get(&b, sizeof b)) return 0;
    if (b.magic != kBatchMagic || b.version != kWireVersion) die("bad batch header");
    setup_code_slots();
    setup_window(b.window_seed);
    install_signal_handlers();

    wire_case_header c{};
    while (get(&c, sizeof c)) {
        if (c.magic != kCaseMagic) die("bad case header");
        if (!get(&g_in_regs, sizeof g_in_regs)) die("truncated case");
        if (c.extra_words >= kMaxSequenceWords) die("bad word count");
        g_words[0] = c.word;
        if (c.extra_words != 0 && !get(g_words + 1, 4 * c.extra_words)) die("truncated case");
        run_case(c);
    }
    flush_out();
    return 0;
}
