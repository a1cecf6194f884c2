// Threads: every thread has its own register file, created when the thread
// starts (with zeroed SVE state) and released when it ends, and the rewritten
// blocks, which the framework shares between threads, reach the record of the
// thread that runs them.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>

#include <cstdint>
#include <cstring>

namespace {

constexpr int kThreads = 16;
constexpr int kRounds = 2000;

struct thread_work {
    uint64_t seed;
    pthread_barrier_t *start;
    uint64_t lane0, lane1;  // Z1's low two 64-bit elements at the end
    uint64_t counter;       // X3 after kRounds increments by one vector of bytes
};

// Z1 holds the thread's seed in every element and is incremented once a round;
// the thread yields often so that the threads interleave inside the same
// blocks.
void *run_thread(void *arg) {
    auto *w = static_cast<thread_work *>(arg);
    pthread_barrier_wait(w->start);
    uint64_t counter = 0;
    asm volatile(".arch_extension sve\nmov z1.d, %0\n" : : "r"(w->seed) : "v1");
    for (int round = 0; round < kRounds; ++round) {
        asm volatile(
            ".arch_extension sve\n"
            "add z1.d, z1.d, #1\n"
            "incb %0\n"
            : "+r"(counter)
            :
            : "v1");
        if (round % 64 == 0) sched_yield();
    }
    uint64_t lanes[2];
    asm volatile("str q1, [%0]\n" : : "r"(lanes) : "memory");
    w->lane0 = lanes[0];
    w->lane1 = lanes[1];
    w->counter = counter;
    return nullptr;
}

TEST(Threads, SixteenThreadsKeepTheirOwnRegisterFiles) {
    pthread_barrier_t start;
    ASSERT_EQ(pthread_barrier_init(&start, nullptr, kThreads), 0);
    pthread_t threads[kThreads];
    thread_work work[kThreads];
    for (int i = 0; i < kThreads; ++i) {
        work[i] = thread_work{0x1000000ull * (i + 1), &start, 0, 0, 0};
        ASSERT_EQ(pthread_create(&threads[i], nullptr, run_thread, &work[i]), 0);
    }
    for (int i = 0; i < kThreads; ++i) ASSERT_EQ(pthread_join(threads[i], nullptr), 0);
    pthread_barrier_destroy(&start);
    for (int i = 0; i < kThreads; ++i) {
        const uint64_t expected = 0x1000000ull * (i + 1) + kRounds;
        EXPECT_EQ(work[i].lane0, expected) << "thread " << i;
        EXPECT_EQ(work[i].lane1, expected) << "thread " << i;
        EXPECT_EQ(work[i].counter, 256ull * kRounds) << "thread " << i;
    }
}

// A new thread's SVE state starts at zero: the predicate that ptrue never set
// governs nothing, so a merging add leaves Z2 as it was.
void *zeroed_state_thread(void *arg) {
    auto *lanes = static_cast<uint64_t *>(arg);
    asm volatile(
        ".arch_extension sve\n"
        "mov z2.d, #5\n"
        "mov z3.d, #1\n"
        "add z2.d, p5/m, z2.d, z3.d\n"
        "str q2, [%0]\n"
        :
        : "r"(lanes)
        : "v2", "v3", "memory");
    return nullptr;
}

TEST(Threads, NewThreadStartsWithZeroedPredicates) {
    // Set P5 in this thread first: the new thread must not see it.
    asm volatile(".arch_extension sve\nptrue p5.d\n");
    uint64_t lanes[2] = {0, 0};
    pthread_t t;
    ASSERT_EQ(pthread_create(&t, nullptr, zeroed_state_thread, lanes), 0);
    ASSERT_EQ(pthread_join(t, nullptr), 0);
    EXPECT_EQ(lanes[0], 5u);
    EXPECT_EQ(lanes[1], 5u);
}

}  // namespace
