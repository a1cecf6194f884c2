// Faults inside emulated instructions: an ordinary access to unreadable memory
// ends the process by SIGSEGV after one notice; first-fault and non-fault loads
// record unreadable elements in FFR and the program goes on.
#include <signal.h>

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

}  // namespace
