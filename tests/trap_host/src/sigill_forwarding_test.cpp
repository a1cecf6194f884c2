// SIGILLs that are not emulated SVE instructions reach the program's own
// handler, or end the process by SIGILL as they would without the library; an
// SVE instruction the emulator cannot execute is reported and ends the same way.
#include <pthread.h>
#include <setjmp.h>
#include <signal.h>
#include <ucontext.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "trap_test_support.h"

namespace {

using namespace trap_test;

std::atomic<int> g_calls{0};
void *volatile g_fault_address = nullptr;

void skip_instruction(int, siginfo_t *info, void *context) {
    ++g_calls;
    g_fault_address = info->si_addr;
    static_cast<ucontext_t *>(context)->uc_mcontext.pc += 4;
}

void count_only(int) { ++g_calls; }

sigjmp_buf g_probe_env;
void jump_out(int) { siglongjmp(g_probe_env, 1); }

class SigillForwarding : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!trap_host_loaded()) GTEST_SKIP() << "run under the trap host (tools/sve-run)";
        ASSERT_IMPLEMENTED(insn::kCntdX0, insn::kIncdX0);
        GTEST_FLAG_SET(death_test_style, "fast");
        g_calls = 0;
        g_fault_address = nullptr;
        ASSERT_EQ(sigaction(SIGILL, nullptr, &saved_), 0);
    }
    void TearDown() override { sigaction(SIGILL, &saved_, nullptr); }

    static void install(void (*fn)(int, siginfo_t *, void *), int flags = 0) {
        struct sigaction act;
        std::memset(&act, 0, sizeof act);
        act.sa_sigaction = fn;
        act.sa_flags = SA_SIGINFO | flags;
        sigemptyset(&act.sa_mask);
        ASSERT_EQ(sigaction(SIGILL, &act, nullptr), 0);
    }

    static uint64_t sve_still_emulated() {
        code_pages cntd({insn::kCntdX0, insn::kRet});
        return cntd();
    }

    struct sigaction saved_;
};

TEST_F(SigillForwarding, ProgramSeesItsOwnDispositionNotTheLibrarys) {
    struct sigaction cur;
    ASSERT_EQ(sigaction(SIGILL, nullptr, &cur), 0);
    EXPECT_EQ(cur.sa_handler, SIG_DFL);
    install(skip_instruction);
    ASSERT_EQ(sigaction(SIGILL, nullptr, &cur), 0);
    EXPECT_EQ(cur.sa_sigaction, &skip_instruction);
    EXPECT_TRUE(cur.sa_flags & SA_SIGINFO);
}

TEST_F(SigillForwarding, UndefinedInstructionStillKillsBySigill) {
    EXPECT_EXIT(asm volatile(".inst 0x00000000"), ::testing::KilledBySignal(SIGILL), "");
}

TEST_F(SigillForwarding, RaisedSigillWithDefaultActionKills) {
    EXPECT_EXIT(raise(SIGILL), ::testing::KilledBySignal(SIGILL), "");
}

TEST_F(SigillForwarding, IgnoringSigillDoesNotSurviveAnUndefinedInstruction) {
    signal(SIGILL, SIG_IGN);
    raise(SIGILL);  // a sent SIGILL is ignored
    EXPECT_EQ(sve_still_emulated(), 32u);
    EXPECT_EXIT(asm volatile(".inst 0x00000000"), ::testing::KilledBySignal(SIGILL), "");
}

TEST_F(SigillForwarding, ProgramHandlerReceivesNonSveSigill) {
    install(skip_instruction);
    code_pages udf({insn::kUdf, insn::kRet});
    udf();
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_fault_address, udf.word_address(0));
    EXPECT_EQ(sve_still_emulated(), 32u);
    EXPECT_EQ(g_calls, 1) << "an emulated instruction reached the program's handler";
}

TEST_F(SigillForwarding, SignalInstalledHandlerSeesRaisedSigill) {
    EXPECT_EQ(signal(SIGILL, count_only), SIG_DFL);
    raise(SIGILL);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(signal(SIGILL, SIG_DFL), count_only);
}

TEST_F(SigillForwarding, HandlerMayJumpOutOfTheSignal) {
    // The usual probe for an optional instruction: run it and jump back on SIGILL.
    signal(SIGILL, jump_out);
    volatile bool trapped = false;
    if (sigsetjmp(g_probe_env, 1) == 0)
        asm volatile(".inst 0x00000000");
    else
        trapped = true;
    EXPECT_TRUE(trapped);
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    EXPECT_FALSE(sigismember(&mask, SIGILL));
    EXPECT_EQ(sve_still_emulated(), 32u);
}

TEST_F(SigillForwarding, ResetHandHandlerRunsOnceThenDefaultAction) {
    EXPECT_EXIT(
        {
            install(skip_instruction, SA_RESETHAND);
            code_pages udf({insn::kUdf, insn::kRet});
            udf();
            if (g_calls == 1) udf();
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGILL), "");
}

TEST_F(SigillForwarding, FailedEmulationIsReportedAndKills) {
    uint32_t word = failing_word();
    ASSERT_NE(word, 0u) << "no recognised word that fails to emulate";
    code_pages code({insn::kIncdX0, word, insn::kRet});
    char expected[128];
    std::snprintf(expected, sizeof expected, "Error: failed to emulate SVE instruction 0x%08x at PC %p",
                  word, code.word_address(1));
    EXPECT_EXIT(code(), ::testing::KilledBySignal(SIGILL), std::string(expected));
}

TEST_F(SigillForwarding, FailedEmulationReachesProgramHandler) {
    uint32_t word = failing_word();
    ASSERT_NE(word, 0u) << "no recognised word that fails to emulate";
    install(skip_instruction);
    code_pages code({insn::kIncdX0, word, insn::kRet});
    // The instruction before it completed; the handler skips the failing one.
    EXPECT_EQ(code(1), 1u + 32);
    EXPECT_EQ(g_calls, 1);
    EXPECT_EQ(g_fault_address, code.word_address(1));
}

}  // namespace
