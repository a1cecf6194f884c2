// Faults inside emulated instructions: an ordinary access to unreadable memory
// ends the process by SIGSEGV after one notice; first-fault and non-fault loads
// record unreadable elements in FFR and the program goes on. A program with its
// own SIGSEGV handler gets the faults it would get on a processor with SVE, and
// only those.
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>

#include <atomic>

#include "trap_test_support.h"

namespace {

using namespace trap_test;

constexpr const char *kFaultNotice =
    "tevra's SVESigHandler caught signal SIGSEGV from the process being emulated, passing it "
    "to the default signal handler.";

class EmulatedFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!trap_host_loaded()) GTEST_SKIP() << "run under the trap host (tools/sve-run)";
        GTEST_FLAG_SET(death_test_style, "fast");
    }
    guard_page guard_;
};

TEST_F(EmulatedFaults, OrdinaryLoadFromUnreadableMemoryKillsBySigsegv) {
    SKIP_UNLESS_IMPLEMENTED(insn::kPtrueP0D, insn::kLd1dZ0X0);
    code_pages load({insn::kPtrueP0D, insn::kLd1dZ0X0, insn::kRet});
    EXPECT_EXIT(load(reinterpret_cast<uint64_t>(guard_.boundary)), ::testing::KilledBySignal(SIGSEGV),
                kFaultNotice);
}

TEST_F(EmulatedFaults, OrdinaryStoreToUnreadableMemoryKillsBySigsegv) {
    SKIP_UNLESS_IMPLEMENTED(insn::kPtrueP0D, insn::kSt1dZ0X0);
    code_pages store({insn::kPtrueP0D, insn::kSt1dZ0X0, insn::kRet});
    // The first 8 elements are writable, the rest are not.
    EXPECT_EXIT(store(reinterpret_cast<uint64_t>(guard_.boundary - 64)),
                ::testing::KilledBySignal(SIGSEGV), kFaultNotice);
}

TEST_F(EmulatedFaults, FirstFaultLoadWhoseFirstElementFaultsKillsBySigsegv) {
    SKIP_UNLESS_IMPLEMENTED(insn::kPtrueP0D, insn::kSetffr, insn::kLdff1dZ0X0);
    code_pages load({insn::kPtrueP0D, insn::kSetffr, insn::kLdff1dZ0X0, insn::kRet});
    EXPECT_EXIT(load(reinterpret_cast<uint64_t>(guard_.boundary)), ::testing::KilledBySignal(SIGSEGV),
                "");
}

// FFR as a count of its active .d elements: RDFFR P1.B, then CNTP X0, P0, P1.D.
TEST_F(EmulatedFaults, FirstFaultLoadStopsAtTheUnreadablePage) {
    SKIP_UNLESS_IMPLEMENTED(insn::kPtrueP0D, insn::kSetffr, insn::kLdff1dZ0X0, insn::kRdffrP1B,
                            insn::kCntpX0P0P1D);
    uint64_t *last_two = reinterpret_cast<uint64_t *>(guard_.boundary - 16);
    last_two[0] = 0x1111;
    last_two[1] = 0x2222;
    code_pages load({insn::kPtrueP0D, insn::kSetffr, insn::kLdff1dZ0X0, insn::kRdffrP1B,
                     insn::kCntpX0P0P1D, insn::kRet});
    EXPECT_EQ(load(reinterpret_cast<uint64_t>(last_two)), 2u);
}

TEST_F(EmulatedFaults, FirstFaultLoadKeepsTheReadableElements) {
    SKIP_UNLESS_IMPLEMENTED(insn::kPtrueP0D, insn::kSetffr, insn::kLdff1dZ0X0);
    uint64_t *last_two = reinterpret_cast<uint64_t *>(guard_.boundary - 16);
    last_two[0] = 0x1111;
    last_two[1] = 0x2222;
    uint64_t lo, hi;
    asm volatile(
        "mov x0, %2\n"
        ".inst 0x25d8e3e0\n"  // ptrue p0.d
        ".inst 0x252c9000\n"  // setffr
        ".inst 0xa5ff6000\n"  // ldff1d {z0.d}, p0/z, [x0, xzr, lsl #3]
        "fmov %0, d0\n"
        "mov %1, v0.d[1]\n"
        : "=&r"(lo), "=&r"(hi)
        : "r"(last_two)
        : "x0", "v0", "memory");
    EXPECT_EQ(lo, 0x1111u);
    EXPECT_EQ(hi, 0x2222u);
}

TEST_F(EmulatedFaults, NonFaultLoadFromUnreadableMemoryClearsFfr) {
    SKIP_UNLESS_IMPLEMENTED(insn::kPtrueP0D, insn::kSetffr, insn::kLdnf1dZ0X0, insn::kRdffrP1B,
                            insn::kCntpX0P0P1D);
    code_pages load({insn::kPtrueP0D, insn::kSetffr, insn::kLdnf1dZ0X0, insn::kRdffrP1B,
                     insn::kCntpX0P0P1D, insn::kRet});
    EXPECT_EQ(load(reinterpret_cast<uint64_t>(guard_.boundary)), 0u);
    EXPECT_EQ(load(reinterpret_cast<uint64_t>(guard_.boundary - 24)), 3u);
}

constexpr uint32_t kFmovX0D0 = 0x9e660000;  // fmov x0, d0

struct seen_fault {
    std::atomic<int> calls{0};
    void *address = nullptr;
    uint64_t pc = 0, x0 = 0, x1 = 0;
    enum { jump_out, skip_instruction, make_page_readable } action = jump_out;
    unsigned char *page = nullptr;
    size_t page_bytes = 0;
};
seen_fault g_seen;
sigjmp_buf g_out;

void on_segv(int, siginfo_t *info, void *context) {
    mcontext_t &mc = static_cast<ucontext_t *>(context)->uc_mcontext;
    ++g_seen.calls;
    g_seen.address = info->si_addr;
    g_seen.pc = mc.pc;
    g_seen.x0 = mc.regs[0];
    g_seen.x1 = mc.regs[1];
    switch (g_seen.action) {
        case seen_fault::jump_out:
            siglongjmp(g_out, 1);
        case seen_fault::skip_instruction:
            mc.pc += 4;
            return;
        case seen_fault::make_page_readable:
            mprotect(g_seen.page, g_seen.page_bytes, PROT_READ | PROT_WRITE);
            *reinterpret_cast<uint64_t *>(g_seen.page) = 0x1234;
            return;
    }
}

class ProgramFaultHandler : public EmulatedFaults {
  protected:
    void SetUp() override {
        EmulatedFaults::SetUp();
        if (IsSkipped()) return;
        SKIP_UNLESS_IMPLEMENTED(insn::kPtrueP0D, insn::kLd1dZ0X0, insn::kSetffr, insn::kLdff1dZ0X0,
                                insn::kLdnf1dZ0X0, insn::kRdffrP1B, insn::kCntpX0P0P1D);
        g_seen.calls = 0;
        g_seen.address = nullptr;
        g_seen.action = seen_fault::jump_out;
        g_seen.page = guard_.boundary;
        g_seen.page_bytes = guard_.page;
        struct sigaction act;
        std::memset(&act, 0, sizeof act);
        act.sa_sigaction = on_segv;
        act.sa_flags = SA_SIGINFO;
        sigemptyset(&act.sa_mask);
        ASSERT_EQ(sigaction(SIGSEGV, &act, &saved_), 0);
    }
    void TearDown() override {
        if (!IsSkipped()) sigaction(SIGSEGV, &saved_, nullptr);
    }
    struct sigaction saved_;
};

TEST_F(ProgramFaultHandler, NativeFaultReachesIt) {
    if (sigsetjmp(g_out, 1) == 0) {
        volatile unsigned char c = *guard_.boundary;
        (void)c;
        ADD_FAILURE() << "the read of an unreadable page went through";
    }
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.address, guard_.boundary);
}

TEST_F(ProgramFaultHandler, EmulatedLoadFaultShowsTheProgramAtTheSveInstruction) {
    code_pages load({insn::kPtrueP0D, insn::kLd1dZ0X0, insn::kRet});
    if (sigsetjmp(g_out, 1) == 0) {
        load(reinterpret_cast<uint64_t>(guard_.boundary), 0xABCD);
        ADD_FAILURE() << "the load of an unreadable page went through";
    }
    EXPECT_EQ(g_seen.calls, 1);
    EXPECT_EQ(g_seen.address, guard_.boundary);
    EXPECT_EQ(g_seen.pc, reinterpret_cast<uint64_t>(load.word_address(1)));
    EXPECT_EQ(g_seen.x0, reinterpret_cast<uint64_t>(guard_.boundary));
    EXPECT_EQ(g_seen.x1, 0xABCDu);
    // The thread goes on emulating after jumping out of the fault.
    code_pages cntd({insn::kCntdX0, insn::kRet});
    EXPECT_EQ(cntd(), 32u);
}

TEST_F(ProgramFaultHandler, ReturningAfterMovingThePcSkipsTheInstruction) {
    g_seen.action = seen_fault::skip_instruction;
    code_pages load({insn::kPtrueP0D, insn::kLd1dZ0X0, insn::kRet});
    EXPECT_EQ(load(reinterpret_cast<uint64_t>(guard_.boundary)), reinterpret_cast<uint64_t>(guard_.boundary));
    EXPECT_EQ(g_seen.calls, 1);
}

TEST_F(ProgramFaultHandler, ReturningAfterMappingThePageRunsTheInstructionAgain) {
    g_seen.action = seen_fault::make_page_readable;
    code_pages load({insn::kPtrueP0D, insn::kLd1dZ0X0, kFmovX0D0, insn::kRet});
    EXPECT_EQ(load(reinterpret_cast<uint64_t>(guard_.boundary)), 0x1234u);
    EXPECT_EQ(g_seen.calls, 1);
}

TEST_F(ProgramFaultHandler, FirstFaultAndNonFaultLoadsDoNotReachIt) {
    code_pages first_fault({insn::kPtrueP0D, insn::kSetffr, insn::kLdff1dZ0X0, insn::kRdffrP1B,
                            insn::kCntpX0P0P1D, insn::kRet});
    code_pages non_fault({insn::kPtrueP0D, insn::kSetffr, insn::kLdnf1dZ0X0, insn::kRdffrP1B,
                          insn::kCntpX0P0P1D, insn::kRet});
    EXPECT_EQ(first_fault(reinterpret_cast<uint64_t>(guard_.boundary - 16)), 2u);
    EXPECT_EQ(non_fault(reinterpret_cast<uint64_t>(guard_.boundary)), 0u);
    EXPECT_EQ(g_seen.calls, 0);
}

}  // namespace
