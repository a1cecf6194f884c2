// Per-thread emulation state: many threads emulate concurrently without
// sharing registers, and each thread's record goes away with the thread.
#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <thread>
#include <vector>

#include "trap_test_support.h"

namespace {

using namespace trap_test;

class TrapThreads : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!trap_host_loaded()) GTEST_SKIP() << "run under the trap host (tools/sve-run)";
        ASSERT_IMPLEMENTED(insn::kIncdX1, insn::kDupZ0X1, 0x04e00000 /* add z0.d, z0.d, z0.d */);
    }
};

struct thread_result {
    uint64_t bad_vectors = 0;
    uint64_t final_x1 = 0;
    sve_trap_host_counters counters{};
};

// Each iteration: X1 += 32 (INCD), Z0 = dup(X1), Z0 += Z0, checked natively.
void emulate_in_thread(uint64_t seed, unsigned iterations, thread_result *out) {
    uint64_t x1 = seed;
    for (unsigned i = 0; i < iterations; ++i) {
        uint64_t lo, hi;
        asm volatile(
            "mov x1, %2\n"
            ".inst 0x04f0e3e1\n"  // incd x1
            ".inst 0x05e03820\n"  // mov z0.d, x1
            ".inst 0x04e00000\n"  // add z0.d, z0.d, z0.d
            "mov %2, x1\n"
            "fmov %0, d0\n"
            "mov %1, v0.d[1]\n"
            : "=&r"(lo), "=&r"(hi), "+r"(x1)
            :
            : "x1", "v0");
        if (lo != 2 * x1 || hi != 2 * x1) ++out->bad_vectors;
    }
    out->final_x1 = x1;
    out->counters = thread_counters();
}

TEST_F(TrapThreads, SixteenThreadsEmulateConcurrently) {
    constexpr unsigned kThreads = 16, kIterations = 400;
    std::vector<thread_result> results(kThreads);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < kThreads; ++t)
        threads.emplace_back(emulate_in_thread, uint64_t{t} << 40, kIterations, &results[t]);
    for (std::thread &t : threads) t.join();
    for (unsigned t = 0; t < kThreads; ++t) {
        EXPECT_EQ(results[t].bad_vectors, 0u) << "thread " << t;
        EXPECT_EQ(results[t].final_x1, (uint64_t{t} << 40) + 32ull * kIterations) << "thread " << t;
        // One trap per iteration (the three words form one run) and nothing
        // from any other thread.
        EXPECT_EQ(results[t].counters.traps, kIterations) << "thread " << t;
        EXPECT_EQ(results[t].counters.instructions, 3ull * kIterations) << "thread " << t;
    }
}

TEST_F(TrapThreads, RecordIsReleasedWhenTheThreadEnds) {
    uint64_t before = live_records();
    for (int round = 0; round < 4; ++round) {
        std::vector<std::thread> threads;
        std::vector<thread_result> results(8);
        for (unsigned t = 0; t < 8; ++t) threads.emplace_back(emulate_in_thread, 0, 3, &results[t]);
        for (std::thread &t : threads) t.join();
    }
    EXPECT_EQ(live_records(), before);
}

TEST_F(TrapThreads, ThreadKeepsItsOwnAlternateStack) {
    thread_result result;
    bool same_stack = false;
    std::thread worker([&] {
        static thread_local unsigned char stack_area[64 * 1024];
        stack_t mine;
        std::memset(&mine, 0, sizeof mine);
        mine.ss_sp = stack_area;
        mine.ss_size = sizeof stack_area;
        sigaltstack(&mine, nullptr);
        emulate_in_thread(7, 10, &result);
        stack_t now;
        sigaltstack(nullptr, &now);
        same_stack = now.ss_sp == stack_area && now.ss_size == sizeof stack_area;
        stack_t off;
        std::memset(&off, 0, sizeof off);
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    });
    worker.join();
    EXPECT_TRUE(same_stack);
    EXPECT_EQ(result.bad_vectors, 0u);
    EXPECT_EQ(result.final_x1, 7u + 320);
}

TEST_F(TrapThreads, CountersStartAtZeroInANewThread) {
    sve_trap_host_counters fresh{1, 1, 1};
    std::thread([&] { fresh = thread_counters(); }).join();
    EXPECT_EQ(fresh.traps, 0u);
    EXPECT_EQ(fresh.instructions, 0u);
    EXPECT_EQ(fresh.scalar_steps, 0u);
}

}  // namespace
