// The scalar instructions a trap carries on through. On AArch64 every word the
// interpreter accepts also runs natively from the same random registers and
// flags, and the two results are compared register for register, with the
// address execution goes on at. Everywhere, a few cases whose results are
// known by hand, and the words it must leave to native code.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>

#include "sve/support/a64_scalar.h"

#if defined(__aarch64__)
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#endif

namespace {

constexpr uint64_t kFlags = 0xf0000000ull;

std::unique_ptr<cpu_state> fresh_state() {
    auto s = std::make_unique<cpu_state>();
    std::memset(s.get(), 0, sizeof(cpu_state));
    return s;
}

// One class of encodings: the fixed bits, and how the others are drawn.
struct word_class {
    const char *name;
    uint32_t mask, value;
    enum { kFree, kBitfield, kBranch26, kBranch19, kBranch14, kRet } kind;
};

constexpr word_class kClasses[] = {
    {"adr/adrp", 0x1f000000, 0x10000000, word_class::kFree},
    {"add/sub immediate", 0x1f800000, 0x11000000, word_class::kFree},
    {"logical immediate", 0x1f800000, 0x12000000, word_class::kFree},
    {"move wide", 0x1f800000, 0x12800000, word_class::kFree},
    {"bitfield", 0x1f800000, 0x13000000, word_class::kBitfield},
    {"logical shifted register", 0x1f000000, 0x0a000000, word_class::kFree},
    // MOV (register), which has executors of its own.
    {"mov register", 0x7fe0ffe0, 0x2a0003e0, word_class::kFree},
    {"add/sub shifted or extended register", 0x1f000000, 0x0b000000, word_class::kFree},
    // The unshifted form, which has executors of its own (so CMP Xn, Xm).
    {"add/sub register, no shift", 0x1fe0fc00, 0x0b000000, word_class::kFree},
    {"multiply-add", 0x7f000000, 0x1b000000, word_class::kFree},
    {"add/sub with carry", 0x1fe0fc00, 0x1a000000, word_class::kFree},
    {"conditional compare", 0x3fe00410, 0x3a400000, word_class::kFree},
    {"conditional select", 0x3fe00800, 0x1a800000, word_class::kFree},
    {"divide", 0x7fe0f800, 0x1ac00800, word_class::kFree},
    {"variable shift", 0x7fe0f000, 0x1ac02000, word_class::kFree},
    {"b/bl", 0x7c000000, 0x14000000, word_class::kBranch26},
    {"b.cond", 0xff000010, 0x54000000, word_class::kBranch19},
    {"cbz/cbnz", 0x7e000000, 0x34000000, word_class::kBranch19},
    {"tbz/tbnz", 0x7e000000, 0x36000000, word_class::kBranch14},
    {"ret", 0xfffffc1f, 0xd65f0000, word_class::kRet},
};

// Branch targets stay within this many words of the instruction.
constexpr int kReach = 64;

uint64_t interesting_value(std::mt19937_64 &rng) {
    static constexpr uint64_t kEdges[] = {0,          1,          ~0ull,      0x7fffffffull, 0x80000000ull,
                                          0xffffffffull, 0x100000000ull, 0x7fffffffffffffffull,
                                          0x8000000000000000ull, 0xffffffff80000000ull};
    switch (rng() % 4) {
        case 0: return kEdges[rng() % (sizeof kEdges / sizeof kEdges[0])];
        case 1: return rng() % 64;
        default: return rng();
    }
}

[[maybe_unused]] uint32_t draw_word(const word_class &c, std::mt19937_64 &rng) {
    uint32_t w = (static_cast<uint32_t>(rng()) & ~c.mask) | c.value;
    // Never 0: a branch to itself would loop natively.
    const auto offset = [&](unsigned width) {
        int words = static_cast<int>(rng() % (2 * kReach)) - kReach;
        if (words >= 0) ++words;
        return static_cast<uint32_t>(words) & ((1u << width) - 1);
    };
    switch (c.kind) {
        case word_class::kBranch26: w = (w & ~0x03ffffffu) | offset(26); break;
        case word_class::kBranch19: w = (w & ~(0x7ffffu << 5)) | offset(19) << 5; break;
        case word_class::kBranch14: w = (w & ~(0x3fffu << 5)) | offset(14) << 5; break;
        case word_class::kBitfield:  // N as the width; 32-bit fields below 32
            w = (w & ~(1u << 22)) | (w >> 31) << 22;
            if ((w >> 31) == 0) w &= ~(1u << 21 | 1u << 15);
            break;
        case word_class::kRet:  // RET XZR would leave for address zero
            if (((w >> 5) & 31) == 31) w &= ~(1u << 5);
            break;
        default: break;
    }
    return w;
}

void random_registers(cpu_state &s, std::mt19937_64 &rng) {
    for (uint64_t &x : s.x) x = interesting_value(rng);
    s.sp = interesting_value(rng);
    s.nzcv = (rng() & 0xf) << 28;
}

TEST(A64Scalar, KnownResults) {
    auto s = fresh_state();
    uint64_t next = 0;
    const uint64_t pc = 0x400000;
    // subs x0, x0, #1 from 1: zero, carry set (no borrow).
    s->x[0] = 1;
    ASSERT_TRUE(a64_scalar_step(*s, 0xf1000400, pc, &next));
    EXPECT_EQ(s->x[0], 0u);
    EXPECT_EQ(s->nzcv & kFlags, 0x60000000u);
    EXPECT_EQ(next, pc + 4);
    // b.ne back 2 words: not taken with Z set.
    ASSERT_TRUE(a64_scalar_step(*s, 0x54ffffc1, pc, &next));
    EXPECT_EQ(next, pc + 4);
    s->nzcv = 0;
    ASSERT_TRUE(a64_scalar_step(*s, 0x54ffffc1, pc, &next));
    EXPECT_EQ(next, pc - 8);
    // add w1, w2, w3 wraps at 32 bits and clears the upper half.
    s->x[1] = ~0ull;
    s->x[2] = 0xffffffffull;
    s->x[3] = 2;
    ASSERT_TRUE(a64_scalar_step(*s, 0x0b030041, pc, &next));
    EXPECT_EQ(s->x[1], 1u);
    // add sp, sp, #16 and add x0, sp, #0 (register 31 is SP here) but
    // add x0, xzr, x1 reads zero.
    s->sp = 0x1000;
    ASSERT_TRUE(a64_scalar_step(*s, 0x910043ff, pc, &next));
    EXPECT_EQ(s->sp, 0x1010u);
    ASSERT_TRUE(a64_scalar_step(*s, 0x910003e0, pc, &next));
    EXPECT_EQ(s->x[0], 0x1010u);
    // bl: link register and target.
    ASSERT_TRUE(a64_scalar_step(*s, 0x94000010, pc, &next));
    EXPECT_EQ(s->x[30], pc + 4);
    EXPECT_EQ(next, pc + 64);
    // cinc x22, x22, ne and ret.
    s->x[22] = 5;
    s->nzcv = 0;
    ASSERT_TRUE(a64_scalar_step(*s, 0x9a9606d6, pc, &next));
    EXPECT_EQ(s->x[22], 6u);
    ASSERT_TRUE(a64_scalar_step(*s, 0xd65f03c0, pc, &next));
    EXPECT_EQ(next, pc + 4);
    // sdiv x0, x1, x2: the most negative number by -1 wraps; by zero gives zero.
    s->x[1] = 0x8000000000000000ull;
    s->x[2] = ~0ull;
    ASSERT_TRUE(a64_scalar_step(*s, 0x9ac20c20, pc, &next));
    EXPECT_EQ(s->x[0], 0x8000000000000000ull);
    s->x[2] = 0;
    ASSERT_TRUE(a64_scalar_step(*s, 0x9ac20c20, pc, &next));
    EXPECT_EQ(s->x[0], 0u);
}

// The in-line forms never touch SP (their host checks SP only after the
// executors); the forms of a word that do, and rarer forms (MOVK, the
// zero-register CBZ, shifted and extended registers, CCMP), are left to the
// executors.
TEST(A64Scalar, InLineFormsLeaveSpAndRarerFormsToTheExecutors) {
    for (uint32_t w : {
             0xd10043ffu,  // sub sp, sp, #16
             0x910003e0u,  // mov x0, sp
             0x910043fdu,  // add x29, sp, #16
             0xf10023ffu,  // cmp sp, #8
             0xb10007ffu,  // cmn sp, #1
             0xb4000040u | 31u,  // cbz xzr, .+8
             0xf2800020u,  // movk x0, #1
             0xd2800020u | 31u,  // movz xzr, #1
             0x8b0203ffu,  // add xzr, xzr, x2 (no destination)
             0x8b224020u,  // add x0, x1, w2, uxtw (extended register)
             0x8b020c20u,  // add x0, x1, x2, lsl #3 (shifted)
             0xfa410800u,  // ccmp x0, #1, #0, eq
         }) {
        EXPECT_NE(a64_scalar_executor(w), nullptr) << std::hex << w;
        EXPECT_EQ(a64_inline_of(w, 0x400000).kind, kA64InlineNone) << std::hex << w;
    }
    // Their constants are decided with the word: a branch's target from its
    // address, a move's value at its width.
    EXPECT_EQ(a64_inline_of(0x17ffffffu, 0x400000).value, 0x3ffffcu);  // b .-4
    EXPECT_EQ(a64_inline_of(0x12800000u, 0).value, 0xffffffffu);       // mov w0, #-1
    EXPECT_EQ(a64_inline_of(0x92800000u, 0).value, ~0ull);             // mov x0, #-1
    EXPECT_EQ(a64_inline_of(0xd2a00020u, 0).value, 0x10000u);          // mov x0, #0x10000
}

TEST(A64Scalar, LeavesOtherWordsToNativeCode) {
    auto s = fresh_state();
    std::mt19937_64 rng(3);
    random_registers(*s, rng);
    auto before = fresh_state();
    std::memcpy(before.get(), s.get(), sizeof(cpu_state));
    uint64_t next = 0;
    for (uint32_t w : {
             0xf9400002u,  // ldr x2, [x0]
             0xa9bf7bfdu,  // stp x29, x30, [sp, #-16]!
             0xd61f0200u,  // br x16 (sets the branch type a guarded page checks)
             0xd63f0200u,  // blr x16
             0xd4000001u,  // svc #0
             0xd503233fu,  // paciasp
             0x1e222820u,  // fadd s0, s1, s2
             0x4ea21c20u,  // mov v0.16b, v1.16b
             0x91800000u,  // add/sub immediate with tags (MTE)
             0x12800000u | (1u << 29),  // move wide, opc 01 (unallocated)
             0x12400000u | 0x3fu << 10, // logical immediate, 32-bit with N set
             0x0b400000u | 3u << 22,    // add (shifted register), shift type 3
             0x54000010u,  // bc.eq (branch consistent)
             0xdac01000u,  // clz x0, x0
             0x9ac04c00u,  // crc32x w0, w0, x0
             0x00000000u,  // udf
         }) {
        EXPECT_FALSE(a64_scalar_step(*s, w, 0x400000, &next)) << std::hex << w;
        EXPECT_EQ(a64_scalar_executor(w), nullptr) << std::hex << w;
    }
    EXPECT_EQ(std::memcmp(before.get(), s.get(), sizeof(cpu_state)), 0);
}

#if defined(__aarch64__)

// Native execution of one word: the word sits in the middle of a zone of BRK
// instructions, so wherever it goes on, the next instruction traps; the SIGTRAP
// handler takes the registers and jumps back. An entry sequence in front loads
// every X register, SP and NZCV from a cpu_state.
struct native_runner {
    static constexpr int kZone = 2 * kReach + 3;
    uint32_t *code = nullptr;
    size_t bytes = 0;
    uint32_t *word_at = nullptr;
    uint32_t *entry = nullptr;

    static inline sigjmp_buf back;
    static inline cpu_state *out;
    static inline uint64_t landed;

    static void on_trap(int, siginfo_t *, void *uctx) {
        const mcontext_t &mc = static_cast<ucontext_t *>(uctx)->uc_mcontext;
        for (int i = 0; i < 31; ++i) out->x[i] = mc.regs[i];
        out->sp = mc.sp;
        out->nzcv = mc.pstate & kFlags;
        landed = mc.pc;
        siglongjmp(back, 1);
    }

    native_runner() {
        bytes = 2 * 4096;
        void *m = mmap(nullptr, bytes, PROT_READ | PROT_WRITE | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (m == MAP_FAILED) return;
        code = static_cast<uint32_t *>(m);
        // Entry, with X0 = the state: NZCV and SP through X1, then X2-X30, then X0, X1.
        uint32_t *p = code;
        entry = p;
        *p++ = 0xf9400000u | (264 / 8) << 10 | 0 << 5 | 1;  // ldr x1, [x0, #264]
        *p++ = 0xd51b4201u;                                  // msr nzcv, x1
        *p++ = 0xf9400000u | (248 / 8) << 10 | 0 << 5 | 1;  // ldr x1, [x0, #248]
        *p++ = 0x9100003fu;                                  // mov sp, x1
        for (unsigned r = 2; r < 30; r += 2)                 // ldp xr, xr+1, [x0, #8r]
            *p++ = 0xa9400000u | (r & 0x7f) << 15 | (r + 1) << 10 | 0 << 5 | r;
        *p++ = 0xf9400000u | 30u << 10 | 0 << 5 | 30;        // ldr x30, [x0, #240]
        *p++ = 0xa9400000u | 1u << 10 | 0 << 5 | 0;          // ldp x0, x1, [x0]
        uint32_t *branch = p++;
        uint32_t *zone = p;
        for (int i = 0; i < kZone; ++i) zone[i] = 0xd4200000u;  // brk #0
        word_at = zone + kZone / 2;
        *branch = 0x14000000u | static_cast<uint32_t>(word_at - branch);  // b word
    }
    ~native_runner() {
        if (code != nullptr) munmap(code, bytes);
    }

    // Runs W from IN; fills RESULT and returns the address execution went on at.
    uint64_t run(uint32_t w, const cpu_state &in, cpu_state *result) {
        *word_at = w;
        __builtin___clear_cache(reinterpret_cast<char *>(code), reinterpret_cast<char *>(code) + bytes);
        out = result;
        stack_t ss{}, old{};
        static char altstack[64 * 1024];
        ss.ss_sp = altstack;
        ss.ss_size = sizeof altstack;
        sigaltstack(&ss, &old);
        struct sigaction act{}, prev{};
        act.sa_sigaction = on_trap;
        act.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigaction(SIGTRAP, &act, &prev);
        if (sigsetjmp(back, 1) == 0) reinterpret_cast<void (*)(const cpu_state *)>(entry)(&in);
        sigaction(SIGTRAP, &prev, nullptr);
        sigaltstack(&old, nullptr);
        return landed;
    }
};

TEST(A64Scalar, AgreesWithTheProcessor) {
    native_runner native;
    ASSERT_NE(native.code, nullptr);
    std::mt19937_64 rng(20261207);
    auto in = fresh_state(), ours = fresh_state(), theirs = fresh_state();
    const uint64_t pc = reinterpret_cast<uint64_t>(native.word_at);
    constexpr int kCasesPerClass = 1500;
    int in_line_runs[kA64InlineKinds] = {};
    for (const word_class &c : kClasses) {
        int accepted = 0;
        for (int i = 0; i < kCasesPerClass; ++i) {
            const uint32_t w = draw_word(c, rng);
            random_registers(*in, rng);
            if (c.kind == word_class::kRet || (rng() % 4) == 0) {
                // A register that holds a code address in the zone (RET's target).
                int words = static_cast<int>(rng() % (2 * kReach)) - kReach;
                if (words >= 0) ++words;
                const unsigned rn = (w >> 5) & 31;
                if (rn != 31) in->x[rn] = pc + static_cast<uint64_t>(words * 4);
            }
            std::memcpy(ours.get(), in.get(), sizeof(cpu_state));
            uint64_t next = 0;
            const a64_scalar_fn executor = a64_scalar_executor(w);
            if (!a64_scalar_step(*ours, w, pc, &next)) {
                ASSERT_EQ(executor, nullptr) << c.name << " " << std::hex << w;
                continue;
            }
            ++accepted;
            // The word's executor, which a host keeps with the word, does the same.
            ASSERT_NE(executor, nullptr) << c.name << " " << std::hex << w;
            auto cached = fresh_state();
            std::memcpy(cached.get(), in.get(), sizeof(cpu_state));
            ASSERT_EQ(executor(*cached, w, pc), next) << c.name << " " << std::hex << w;
            ASSERT_EQ(std::memcmp(cached.get(), ours.get(), sizeof(cpu_state)), 0) << c.name << " " << std::hex << w;
            // So does its in-line form, where it has one.
            const a64_inline_op in_line = a64_inline_of(w, pc);
            if (in_line.kind != kA64InlineNone) {
                ++in_line_runs[in_line.kind];
                std::memcpy(cached.get(), in.get(), sizeof(cpu_state));
                ASSERT_EQ(a64_inline_run(*cached, w, in_line.kind, in_line.value, pc), next) << c.name << " " << std::hex << w;
                ASSERT_EQ(std::memcmp(cached.get(), ours.get(), sizeof(cpu_state)), 0) << c.name << " " << std::hex << w;
            }
            const uint64_t landed = native.run(w, *in, theirs.get());
            ASSERT_EQ(next, landed) << c.name << " " << std::hex << w;
            for (int r = 0; r < 31; ++r)
                ASSERT_EQ(ours->x[r], theirs->x[r]) << c.name << " " << std::hex << w << " x" << std::dec << r;
            ASSERT_EQ(ours->sp, theirs->sp) << c.name << " " << std::hex << w;
            ASSERT_EQ(ours->nzcv & kFlags, theirs->nzcv) << c.name << " " << std::hex << w;
        }
        // The draws fix the bits that select the class, so a good part of them
        // are allocated encodings that are executed.
        EXPECT_GT(accepted, kCasesPerClass / 5) << c.name;
    }
    for (unsigned k = 1; k < kA64InlineKinds; ++k) EXPECT_GT(in_line_runs[k], 20) << "in-line kind " << k;
}

#endif

}  // namespace
