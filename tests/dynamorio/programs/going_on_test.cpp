// After a run, the emulation entry goes on through the code that follows it
// (SVE words and the register-only scalar words between them, along loops),
// and the thread resumes natively at the run's end or where going on stopped.
// Every register the program sees afterwards must be as the processor would
// have left it: the general registers the calling convention keeps too, the
// flags, and the SVE state.
#include <gtest/gtest.h>
#include <pthread.h>

#include <cstdint>

#include "client_test_support.h"

namespace {

using namespace dr_test;

constexpr uint32_t kIncdX0 = 0x04f0e3e0, kIncwX21 = 0x04b0e3f5;

// A loop of N passes of a run (INCD, ADD, INCW) and a count: five steps a
// pass. Returns X0, X19 and X21 and whether Z was set at the end.
struct loop_result {
    uint64_t x0, x19, x21, z;
};
loop_result count_loop(uint64_t n) {
    loop_result r;
    asm volatile(
        ".arch_extension sve\n"
        "mov x0, #0\n"
        "mov x19, #0\n"
        "mov x21, #7\n"
        "mov x20, %[n]\n"
        "1: incd x0\n"
        "add x19, x19, #3\n"
        "incw x21\n"
        "subs x20, x20, #1\n"
        "b.ne 1b\n"
        "cset %[z], eq\n"
        "mov %[x0], x0\n"
        "mov %[x19], x19\n"
        "mov %[x21], x21\n"
        : [x0] "=r"(r.x0), [x19] "=r"(r.x19), [x21] "=r"(r.x21), [z] "=r"(r.z)
        : [n] "r"(n)
        : "x0", "x19", "x20", "x21", "cc");
    return r;
}

TEST(GoingOn, LoopLongerThanOneEntryRuns) {
    if (!implemented({kIncdX0, kIncwX21})) GTEST_SKIP() << "incd/incw not implemented";
    // 1, a few, and past the steps one entry may take (8,192) several times.
    for (uint64_t n : {1u, 3u, 100u, 5000u, 40000u}) {
        const loop_result r = count_loop(n);
        EXPECT_EQ(r.x0, 32 * n) << n;
        EXPECT_EQ(r.x19, 3 * n) << n;
        EXPECT_EQ(r.x21, 7 + 64 * n) << n;
        EXPECT_EQ(r.z, 1u) << n;
    }
}

TEST(GoingOn, StopsAtANativeInstructionAndTheThreadResumesThere) {
    if (!implemented({kIncdX0})) GTEST_SKIP() << "incd not implemented";
    static const uint64_t loaded = 0x1234567890abcdefull;
    // The loop runs through going on; the load after it does not, so the
    // thread resumes at the load, with the sum in a register the calling
    // convention keeps, and the second run sees X0 as the loop left it.
    for (int round = 0; round < 12; ++round) {
        uint64_t x0, x22, x23, x24;
        asm volatile(
            ".arch_extension sve\n"
            "mov x0, #0\n"
            "mov x20, #300\n"
            "mov x22, #0\n"
            "1: incd x0\n"
            "add x22, x22, x0\n"
            "subs x20, x20, #1\n"
            "b.ne 1b\n"
            "ldr x23, [%[p]]\n"
            "incd x0\n"
            "mov x24, x0\n"
            "mov %[x0], x0\n"
            "mov %[x22], x22\n"
            "mov %[x23], x23\n"
            "mov %[x24], x24\n"
            : [x0] "=r"(x0), [x22] "=r"(x22), [x23] "=r"(x23), [x24] "=r"(x24)
            : [p] "r"(&loaded)
            : "x0", "x20", "x22", "x23", "x24", "cc", "memory");
        EXPECT_EQ(x22, 32ull * 300 * 301 / 2) << round;
        EXPECT_EQ(x23, loaded) << round;
        EXPECT_EQ(x0, 32ull * 301) << round;
        EXPECT_EQ(x24, 32ull * 301) << round;
    }
}

// Going on that stops after a few steps is given up for that run; the results
// stay those of every instruction on every call.
TEST(GoingOn, ShortStretchesGiveTheSameResults) {
    if (!implemented({kIncdX0})) GTEST_SKIP() << "incd not implemented";
    static uint64_t sink = 0;
    for (int call = 0; call < 40; ++call) {
        uint64_t x0, x21;
        asm volatile(
            ".arch_extension sve\n"
            "mov x0, %[start]\n"
            "incd x0\n"
            "add x21, x0, #1\n"
            "incd x0, all, mul #2\n"
            "str x21, [%[s]]\n"
            "mov %[x21], x21\n"
            "mov %[x0], x0\n"
            : [x0] "=r"(x0), [x21] "=r"(x21)
            : [start] "r"(static_cast<uint64_t>(call)), [s] "r"(&sink)
            : "x0", "x21", "memory");
        EXPECT_EQ(x21, call + 33u);
        EXPECT_EQ(x0, call + 96u);
        EXPECT_EQ(sink, call + 33u);
    }
}

// Z registers and predicates written while going on, and the first-fault
// register, are the thread's own: each thread's loop leaves its own values.
struct vector_work {
    uint64_t seed, passes;
    uint64_t lane0, active;
};
void *vector_loop(void *arg) {
    auto *w = static_cast<vector_work *>(arg);
    uint64_t lane0 = 0, active = 0;
    asm volatile(
        ".arch_extension sve\n"
        "mov z1.d, %[seed]\n"
        "mov x20, %[n]\n"
        "mov x2, #0\n"
        "1: add z1.d, z1.d, #1\n"
        "whilelo p1.d, x2, x20\n"
        "add x2, x2, #3\n"
        "cmp x2, x20\n"
        "b.lo 1b\n"
        "fmov %[lane0], d1\n"
        "cntp %[active], p1, p1.d\n"
        : [lane0] "=r"(lane0), [active] "=r"(active)
        : [seed] "r"(w->seed), [n] "r"(w->passes)
        : "x2", "x20", "v1", "p1", "cc");
    w->lane0 = lane0;
    w->active = active;
    return nullptr;
}

TEST(GoingOn, ThreadsKeepTheirOwnState) {
    constexpr int kThreads = 4;
    vector_work work[kThreads];
    pthread_t threads[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        work[i] = {1000u * (i + 1), 30000u + 999u * i, 0, 0};
        ASSERT_EQ(pthread_create(&threads[i], nullptr, vector_loop, &work[i]), 0);
    }
    for (int i = 0; i < kThreads; ++i) ASSERT_EQ(pthread_join(threads[i], nullptr), 0);
    for (int i = 0; i < kThreads; ++i) {
        const uint64_t passes = (work[i].passes + 2) / 3;  // x2 = 0, 3, 6, ... below n
        EXPECT_EQ(work[i].lane0, work[i].seed + passes) << i;
        // The last WHILELO starts at 3 * (passes - 1).
        const uint64_t left = work[i].passes - 3 * (passes - 1);
        EXPECT_EQ(work[i].active, left < 32 ? left : 32u) << i;
    }
}

}  // namespace
