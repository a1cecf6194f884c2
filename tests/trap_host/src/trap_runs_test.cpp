// Runs of consecutive SVE words share one trap; the run ends at the first word
// that is not an emulated instruction and at a page boundary.
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
    code_pages code({insn::kIncdX0, insn::kIncdX0, insn::kAddX2One, insn::kIncdX0, insn::kRet});
    sve_trap_host_counters before = thread_counters();
    EXPECT_EQ(code(0), 3u * 32);
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(after.traps - before.traps, 2u);
    EXPECT_EQ(after.instructions - before.instructions, 3u);
}

TEST_F(TrapRuns, PageBoundaryEndsTheRun) {
    size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    // Two words at the end of one page, two at the start of the next.
    code_pages code({insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kIncdX0, insn::kRet},
                    page - 8);
    sve_trap_host_counters before = thread_counters();
    EXPECT_EQ(code(1), 1u + 4 * 32);
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(after.traps - before.traps, 2u);
    EXPECT_EQ(after.instructions - before.instructions, 4u);
}

TEST_F(TrapRuns, LoopTrapsOncePerIteration) {
    sve_trap_host_counters before = thread_counters();
    uint64_t n = 100, acc = 0;
    asm volatile(
        "mov x1, #0\n"
        "1: .inst 0x04f0e3e1\n"  // incd x1
        "subs %0, %0, #1\n"
        "b.ne 1b\n"
        "mov %1, x1\n"
        : "+r"(n), "=r"(acc)
        :
        : "x1", "cc");
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(acc, 100u * 32);
    EXPECT_EQ(after.traps - before.traps, 100u);
    EXPECT_EQ(after.instructions - before.instructions, 100u);
}

}  // namespace
