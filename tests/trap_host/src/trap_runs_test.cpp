// Runs of consecutive SVE words share one trap, and so do runs joined by
// register-only scalar instructions (a loop's compare and branch), also into a
// next page the processor has executed from. A trap ends at any other word,
// before any other page, after a bounded number of steps, and after a bounded
// number of scalar instructions in a row.
#include <csignal>
#include <cstdlib>
#include <thread>

#include "trap_test_support.h"

namespace {

using namespace trap_test;

class TrapRuns : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!trap_host_loaded()) GTEST_SKIP() << "run under the trap host (tools/sve-run)";
        ASSERT_IMPLEMENTED(insn::kIncdX0, insn::kIncdX1);
    }
};

TEST_F(TrapRuns, ConsecutiveWordsShareOneTrap) {
    sve_trap_host_counters before = thread_counters();
    uint64_t x1;
    asm volatile("mov x1, #5\n"
                 ".rept 8\n .inst 0x04f0e3e1\n .endr\n"  // 8 x incd x1
                 "mov %0, x1\n"
                 : "=r"(x1) : : "x1");
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(x1, 5u + 8 * 32);
    EXPECT_EQ(after.traps - before.traps, 1u);
    EXPECT_EQ(after.instructions - before.instructions, 8u);
}

TEST_F(TrapRuns, RunResultsAreThoseOfEveryInstruction) {
    code_pages code({insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kRet});
    sve_trap_host_counters before = thread_counters();
    EXPECT_EQ(code(7), 7u + 3 * 32);
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(after.traps - before.traps, 1u);
    EXPECT_EQ(after.instructions - before.instructions, 3u);
}

TEST_F(TrapRuns, NativeInstructionEndsTheRun) {
    code_pages code({insn::kIncdX0, insn::kIncdX0, insn::kLdrX2Sp, insn::kIncdX0, insn::kRet});
    sve_trap_host_counters before = thread_counters();
    EXPECT_EQ(code(0), 3u * 32);
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(after.traps - before.traps, 2u);
    EXPECT_EQ(after.instructions - before.instructions, 3u);
}

TEST_F(TrapRuns, ScalarInstructionsJoinRuns) {
    // incd x0; add x2, x2, #1; nop; incd x0; ret: one trap, which also takes the
    // RET back into the caller's page and ends there.
    code_pages code({insn::kIncdX0, insn::kAddX2One, insn::kNop, insn::kIncdX0, insn::kRet});
    sve_trap_host_counters before = thread_counters();
    EXPECT_EQ(code(1), 1u + 2 * 32);
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(after.traps - before.traps, 1u);
    EXPECT_EQ(after.instructions - before.instructions, 2u);
    EXPECT_EQ(after.scalar_steps - before.scalar_steps, 3u);
}

// A trap goes on into the page next to its own once a trap of the thread has
// started there (the processor executed from it): the first call takes a trap
// in each page, the next one a single trap.
TEST_F(TrapRuns, RunGoesOnIntoANextPageTheProcessorExecutedFrom) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    // Two words at the end of one page, two at the start of the next.
    code_pages code({insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kRet},
                    page - 8);
    for (uint64_t want_traps : {2u, 1u, 1u}) {
        sve_trap_host_counters before = thread_counters();
        EXPECT_EQ(code(1), 1u + 4 * 32);
        sve_trap_host_counters after = thread_counters();
        EXPECT_EQ(after.traps - before.traps, want_traps);
        EXPECT_EQ(after.instructions - before.instructions, 4u);
    }
}

TEST_F(TrapRuns, LoopAcrossAPageBoundaryRunsInOneTrap) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    // 1: incd x0; incd x0 | incd x0; subs x1, x1, #1; b.ne 1b; ret
    code_pages code({insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kSubsX1One, insn::kBneBack4, insn::kRet},
                    page - 8);
    for (uint64_t want_traps : {2u, 1u}) {
        sve_trap_host_counters before = thread_counters();
        EXPECT_EQ(code(5, 100), 5u + 300 * 32);
        sve_trap_host_counters after = thread_counters();
        EXPECT_EQ(after.traps - before.traps, want_traps);
        EXPECT_EQ(after.instructions - before.instructions, 300u);
    }
}

// Code that runs on into a page the processor may not execute from ends the run
// at that page, and the program meets the fault it would meet on the
// processor: a readable page no trap of the thread started in, and a page that
// can no longer be read although one did.
TEST_F(TrapRuns, RunStopsBeforeAPageThatCannotBeExecuted) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    code_pages readable({insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kRet}, page - 8);
    unsigned char *second = const_cast<unsigned char *>(static_cast<const unsigned char *>(readable.word_address(2)));
    ASSERT_EQ(mprotect(second, page, PROT_READ), 0);
    EXPECT_EXIT(
        {
            std::thread fresh([&] { readable(1); });
            fresh.join();
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "");

    code_pages unmapped({insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kRet}, page - 8);
    EXPECT_EQ(unmapped(1), 1u + 4 * 32);
    EXPECT_EQ(unmapped(1), 1u + 4 * 32);
    second = const_cast<unsigned char *>(static_cast<const unsigned char *>(unmapped.word_address(2)));
    ASSERT_EQ(mprotect(second, page, PROT_NONE), 0);
    EXPECT_EXIT(
        {
            unmapped(1);
            std::_Exit(0);
        },
        ::testing::KilledBySignal(SIGSEGV), "");
}

// A loop of one SVE instruction and SUBS, B.NE: 100 iterations in one trap; a
// long one comes back to native code now and then, with the same result.
uint64_t incd_loop(uint64_t n) {
    uint64_t acc = 0;
    asm volatile(
        "mov x1, #0\n"
        "1: .inst 0x04f0e3e1\n"  // incd x1
        "subs %0, %0, #1\n"
        "b.ne 1b\n"
        "mov %1, x1\n"
        : "+r"(n), "=r"(acc)
        :
        : "x1", "cc");
    return acc;
}

TEST_F(TrapRuns, LoopRunsInOneTrap) {
    sve_trap_host_counters before = thread_counters();
    EXPECT_EQ(incd_loop(100), 100u * 32);
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(after.traps - before.traps, 1u);
    EXPECT_EQ(after.instructions - before.instructions, 100u);
}

TEST_F(TrapRuns, LongLoopReturnsToNativeCodeNowAndThen) {
    sve_trap_host_counters before = thread_counters();
    EXPECT_EQ(incd_loop(100000), 100000u * 32);
    sve_trap_host_counters after = thread_counters();
    EXPECT_GT(after.traps - before.traps, 10u);
    EXPECT_LT(after.traps - before.traps, 100u);
    EXPECT_EQ(after.instructions - before.instructions, 100000u);
}

// The trap keeps what it learnt of a stretch of code (the words and what runs
// them) for the next time, and checks every word against memory as it goes: a
// word the program rewrote runs as it is now, emulated or not.
TEST_F(TrapRuns, RewrittenWordsRunAsTheyAreNow) {
    code_pages code({insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kRet});
    // Often enough that the trap compiles the stretch.
    for (int k = 0; k < 12; ++k) EXPECT_EQ(code(7), 7u + 3 * 32);
    code.rewrite(1, insn::kAddX0One);
    EXPECT_EQ(code(7), 7u + 2 * 32 + 1);
    code.rewrite(0, insn::kCntdX0);
    EXPECT_EQ(code(7), 32u + 1 + 32);
    code.rewrite(1, insn::kIncdX0);
    sve_trap_host_counters before = thread_counters();
    EXPECT_EQ(code(7), 3u * 32);
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(after.traps - before.traps, 1u);
    EXPECT_EQ(after.instructions - before.instructions, 3u);
}

// PTRUE and PFALSE in a loop (which the trap runs as a copy of the predicate's
// image rather than through the handler), each read by the next instruction.
TEST_F(TrapRuns, ConstantPredicateWritesInALoop) {
    ASSERT_IMPLEMENTED(insn::kPtrueP0D, insn::kCntpX0P0P1D);
    sve_trap_host_counters before = thread_counters();
    uint64_t n = 20, sum = 0;
    asm volatile(
        ".inst 0x25d8e3e0\n"    // ptrue p0.d
        "mov %1, #0\n"
        "1: .inst 0x2518e401\n"  // pfalse p1.b
        ".inst 0x25e08020\n"     // cntp x0, p0, p1.d: 0
        "add %1, %1, x0\n"
        ".inst 0x2598e3e1\n"     // ptrue p1.s
        ".inst 0x25208420\n"     // cntp x0, p1, p1.b: 64
        "add %1, %1, x0, lsl #8\n"
        ".inst 0x2518e401\n"     // pfalse p1.b
        ".inst 0x25e08020\n"     // cntp x0, p0, p1.d: 0
        "add %1, %1, x0\n"
        "subs %0, %0, #1\n"
        "b.ne 1b\n"
        : "+r"(n), "=&r"(sum)
        :
        : "x0", "cc");
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(sum, 20u * (64u << 8));
    EXPECT_EQ(after.traps - before.traps, 1u);
    EXPECT_EQ(after.instructions - before.instructions, 1u + 20 * 6);
}

// A loop that calls a function with SVE in it: the trap follows BL, RET back
// to the caller, and the loop's B.NE, and runs the whole loop.
namespace words {
constexpr uint32_t kMovX9X30 = 0xaa1e03e9;   // mov x9, x30
constexpr uint32_t kMovX30X9 = 0xaa0903fe;   // mov x30, x9
constexpr uint32_t kMovX2_100 = 0xd2800c82;  // mov x2, #100
constexpr uint32_t kSubsX2One = 0xf1000442;  // subs x2, x2, #1
constexpr uint32_t kAddX30_16 = 0x910043de;  // add x30, x30, #16
constexpr uint32_t kBneBack2 = 0x54ffffc1;   // b.ne .-8
constexpr uint32_t kCbzX1Fwd2 = 0xb4000041;  // cbz x1, .+8
constexpr uint32_t kBlFwd3 = 0x94000003;     // bl .+12
constexpr uint32_t kBlFwd4 = 0x94000004;     // bl .+16
constexpr uint32_t kBFwd2 = 0x14000002;      // b .+8
constexpr uint32_t kBFwd3 = 0x14000003;      // b .+12
constexpr uint32_t kBFwd4 = 0x14000004;      // b .+16
}  // namespace words

// Runs CALL three times (the first makes the plans, the others use them):
// each gives WANT in one trap, emulating EMULATED instructions.
template <typename Call>
void expect_one_trap_each(Call call, uint64_t want, uint64_t emulated) {
    for (int round = 0; round < 3; ++round) {
        sve_trap_host_counters before = thread_counters();
        EXPECT_EQ(call(), want) << "round " << round;
        sve_trap_host_counters after = thread_counters();
        EXPECT_EQ(after.traps - before.traps, 1u) << "round " << round;
        EXPECT_EQ(after.instructions - before.instructions, emulated) << "round " << round;
    }
}

TEST_F(TrapRuns, CallsInALoopRunInOneTrap) {
    using namespace words;
    code_pages code({kMovX9X30, insn::kIncdX0, kMovX2_100,
                     kBlFwd4,     // 3: bl 7
                     kSubsX2One,  // 4
                     kBneBack2,   // 5: b.ne 3
                     kBFwd3,      // 6: b 9
                     insn::kIncdX0, insn::kRet,  // 7, 8: the function
                     kMovX30X9, insn::kRet});
    expect_one_trap_each([&] { return code(5); }, 5u + 32 + 100 * 32, 101u);
}

// The trap expects a forward branch not to be taken, a backward one to be, and
// RET to return after the BL: code that goes another way runs as it goes.
TEST_F(TrapRuns, BranchesTheOtherWayRunAsTheyGo) {
    using namespace words;
    code_pages skip({insn::kIncdX0, kCbzX1Fwd2, insn::kIncdX0, insn::kIncdX0, insn::kRet});
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(skip(0, 0), 2u * 32);
        EXPECT_EQ(skip(0, 1), 3u * 32);
    }
    // The function returns 16 bytes past its return address.
    code_pages elsewhere({kMovX9X30, insn::kIncdX0,
                          kBlFwd3,        // 2: bl 5
                          insn::kIncdX0,  // 3: skipped
                          kBFwd4,         // 4: b 8
                          kAddX30_16,     // 5
                          insn::kRet,     // 6: to 7
                          insn::kIncdX0,  // 7
                          kMovX30X9, insn::kRet});
    expect_one_trap_each([&] { return elsewhere(1); }, 1u + 2 * 32, 2u);
}

// A word reached through a branch is compared with memory too.
TEST_F(TrapRuns, RewrittenWordAfterABranchRunsAsItIsNow) {
    using namespace words;
    code_pages code({insn::kIncdX0, kBFwd2, insn::kUdf, insn::kIncdX0, insn::kRet});
    for (int k = 0; k < 12; ++k) EXPECT_EQ(code(0), 2u * 32);
    code.rewrite(3, insn::kAddX0One);
    EXPECT_EQ(code(0), 32u + 1);
}

TEST_F(TrapRuns, ScalarLoopRunsNatively) {
    // After an SVE instruction, a scalar loop of 1000 iterations: the trap
    // executes a few of its instructions and leaves the rest to the processor.
    sve_trap_host_counters before = thread_counters();
    uint64_t n = 1000, x1 = 0;
    asm volatile(
        "mov x1, #0\n"
        ".inst 0x04f0e3e1\n"  // incd x1
        "1: subs %0, %0, #1\n"
        "b.ne 1b\n"
        "mov %1, x1\n"
        : "+r"(n), "=r"(x1)
        :
        : "x1", "cc");
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(x1, 32u);
    EXPECT_EQ(after.traps - before.traps, 1u);
    EXPECT_LE(after.scalar_steps - before.scalar_steps, 64u);
}

}  // namespace
