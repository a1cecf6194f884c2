// The program's handlers of the signals the library does not keep run under a
// wrapper; the program still sees and changes exactly the dispositions it set.
#include <signal.h>

#include <atomic>
#include <cerrno>

#include "trap_test_support.h"

namespace {

using namespace trap_test;

std::atomic<int> g_calls{0};
void counting(int) { ++g_calls; }
void counting_info(int, siginfo_t *, void *) { ++g_calls; }

class ProgramHandlers : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!trap_host_loaded()) GTEST_SKIP() << "run under the trap host (tools/sve-run)";
        g_calls = 0;
        ASSERT_EQ(sigaction(SIGUSR1, nullptr, &saved_), 0);
    }
    void TearDown() override { sigaction(SIGUSR1, &saved_, nullptr); }
    struct sigaction saved_;
};

TEST_F(ProgramHandlers, TheProgramSeesItsOwnHandlerFlagsAndMask) {
    struct sigaction act, seen;
    std::memset(&act, 0, sizeof act);
    act.sa_sigaction = counting_info;
    act.sa_flags = SA_SIGINFO | SA_RESTART | SA_NODEFER;
    sigemptyset(&act.sa_mask);
    sigaddset(&act.sa_mask, SIGUSR2);
    ASSERT_EQ(sigaction(SIGUSR1, &act, nullptr), 0);
    ASSERT_EQ(sigaction(SIGUSR1, nullptr, &seen), 0);
    EXPECT_EQ(seen.sa_sigaction, counting_info);
    EXPECT_EQ(seen.sa_flags & (SA_SIGINFO | SA_RESTART | SA_NODEFER),
              SA_SIGINFO | SA_RESTART | SA_NODEFER);
    EXPECT_EQ(sigismember(&seen.sa_mask, SIGUSR2), 1);
    raise(SIGUSR1);
    EXPECT_EQ(g_calls.load(), 1);

    // Back to the default: the previous action comes back as the program set it.
    struct sigaction dfl, previous;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGUSR1, &dfl, &previous), 0);
    EXPECT_EQ(previous.sa_sigaction, counting_info);
    raise(SIGUSR1);
    EXPECT_EQ(g_calls.load(), 1) << "SIG_IGN reaches the kernel";
}

TEST_F(ProgramHandlers, SignalReturnsThePreviousHandler) {
    EXPECT_EQ(signal(SIGUSR1, counting), saved_.sa_handler);
    EXPECT_EQ(signal(SIGUSR1, SIG_IGN), counting);
    EXPECT_EQ(signal(SIGUSR1, counting), SIG_IGN);
    raise(SIGUSR1);
    raise(SIGUSR1);
    EXPECT_EQ(g_calls.load(), 2) << "signal() handlers stay installed";
}

TEST_F(ProgramHandlers, ResetHandRunsOnceThenShowsTheDefault) {
    struct sigaction act, seen;
    std::memset(&act, 0, sizeof act);
    act.sa_handler = counting;
    act.sa_flags = SA_RESETHAND;
    ASSERT_EQ(sigaction(SIGUSR1, &act, nullptr), 0);
    raise(SIGUSR1);
    EXPECT_EQ(g_calls.load(), 1);
    ASSERT_EQ(sigaction(SIGUSR1, nullptr, &seen), 0);
    EXPECT_EQ(seen.sa_handler, SIG_DFL);
}

TEST_F(ProgramHandlers, WhatTheKernelRefusesIsStillRefused) {
    struct sigaction act;
    std::memset(&act, 0, sizeof act);
    act.sa_handler = counting;
    errno = 0;
    EXPECT_EQ(sigaction(SIGKILL, &act, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(sigaction(SIGSTOP, &act, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(sigaction(0, &act, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    errno = 0;
    EXPECT_EQ(sigaction(NSIG, &act, nullptr), -1);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_EQ(signal(SIGKILL, counting), SIG_ERR);
}

}  // namespace
