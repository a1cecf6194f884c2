// What a program learns about the processor under the client: SVE in the
// auxiliary vector (before the dynamic loader copied it), the vector-length
// prctl calls of a processor whose only vector length is 2048 bits, and the ID
// registers that describe SVE.
#include <gtest/gtest.h>
#include <pthread.h>
#include <sys/auxv.h>
#include <sys/prctl.h>

#include <cerrno>
#include <cstdint>

extern char **environ;

namespace {

constexpr uint64_t kHwcapSve = 1ull << 22;
constexpr int kSetVl = 50;                // PR_SVE_SET_VL
constexpr int kGetVl = 51;                // PR_SVE_GET_VL
constexpr long kInherit = 1l << 17;       // PR_SVE_VL_INHERIT
constexpr long kOnExec = 1l << 18;        // PR_SVE_SET_VL_ONEXEC

// The auxiliary vector on the initial stack, after the environment the
// process started with.
uint64_t initial_auxv(uint64_t type) {
    char **p = environ;
    while (*p != nullptr) ++p;
    for (auto *a = reinterpret_cast<const uint64_t *>(p + 1); a[0] != AT_NULL; a += 2)
        if (a[0] == type) return a[1];
    return 0;
}

long set_vl(long arg) { return prctl(kSetVl, arg, 0, 0, 0); }
long get_vl() { return prctl(kGetVl, 0, 0, 0, 0); }

TEST(ProcessorIdentity, HwcapHasSveBeforeTheLoaderReadIt) {
    EXPECT_NE(initial_auxv(AT_HWCAP) & kHwcapSve, 0u);
    // The loader's copy, which getauxval answers from, was taken after the change.
    EXPECT_EQ(getauxval(AT_HWCAP), initial_auxv(AT_HWCAP));
    EXPECT_EQ(getauxval(AT_HWCAP2), initial_auxv(AT_HWCAP2));
}

TEST(ProcessorIdentity, EveryValidLengthGivesTheOnlyOne) {
    EXPECT_EQ(get_vl() & 0xffff, 256);
    for (long vl : {16l, 32l, 128l, 256l, 272l, 4096l, 8192l}) EXPECT_EQ(set_vl(vl), 256) << vl;
    EXPECT_EQ(get_vl(), 256);
}

TEST(ProcessorIdentity, InvalidRequestsFailAndChangeNothing) {
    ASSERT_EQ(set_vl(256 | kInherit), 256 | kInherit);
    for (long arg : {0l, 8l, 17l, 8208l, 0xfff0l, 256 | (1l << 16), 256 | (1l << 19),
                     256 | (1l << 32), 17 | kInherit}) {
        errno = 0;
        EXPECT_EQ(set_vl(arg), -1) << std::hex << arg;
        EXPECT_EQ(errno, EINVAL) << std::hex << arg;
    }
    EXPECT_EQ(get_vl(), 256 | kInherit);
    EXPECT_EQ(set_vl(256), 256);
}

TEST(ProcessorIdentity, EachSetSetsOrClearsInherit) {
    EXPECT_EQ(set_vl(512 | kInherit), 256 | kInherit);
    EXPECT_EQ(get_vl(), 256 | kInherit);
    EXPECT_EQ(set_vl(512 | kOnExec), 256);
    EXPECT_EQ(get_vl(), 256);
    EXPECT_EQ(set_vl(64 | kInherit | kOnExec), 256 | kInherit);
    EXPECT_EQ(get_vl(), 256 | kInherit);
    EXPECT_EQ(set_vl(64), 256);
    EXPECT_EQ(get_vl(), 256);
}

void *report_vl(void *out) {
    *static_cast<long *>(out) = get_vl();
    set_vl(256);
    return nullptr;
}

TEST(ProcessorIdentity, NewThreadInheritsTheFlagAndKeepsItsOwn) {
    ASSERT_EQ(set_vl(256 | kInherit), 256 | kInherit);
    long seen = 0;
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, nullptr, report_vl, &seen), 0);
    ASSERT_EQ(pthread_join(thread, nullptr), 0);
    EXPECT_EQ(seen, 256 | kInherit);
    // The thread cleared its own flag only.
    EXPECT_EQ(get_vl(), 256 | kInherit);
    EXPECT_EQ(set_vl(256), 256);
}

TEST(ProcessorIdentity, OtherOptionsReachTheKernel) {
    char name[16] = {};
    ASSERT_EQ(prctl(PR_SET_NAME, "identity", 0, 0, 0), 0);
    ASSERT_EQ(prctl(PR_GET_NAME, name, 0, 0, 0), 0);
    EXPECT_STREQ(name, "identity");
}

// MRS Xt, ID_AA64PFR0_EL1 and MRS Xt, ID_AA64ZFR0_EL1, written as words so that
// the assembler needs no knowledge of the registers.
#define MRS_PFR0(rt) ".inst 0xd5380400 + " #rt "\n"
#define MRS_ZFR0(rt) ".inst 0xd5380480 + " #rt "\n"

TEST(ProcessorIdentity, IdRegistersDescribeSveWithoutExtensions) {
    uint64_t pfr0 = 0, zfr0 = ~0ull;
    asm volatile(MRS_PFR0(0) "mov %0, x0\n" : "=r"(pfr0) : : "x0");
    asm volatile(MRS_ZFR0(1) "mov %0, x1\n" : "=r"(zfr0) : : "x1");
    EXPECT_EQ((pfr0 >> 32) & 0xf, 1u) << std::hex << pfr0;
    EXPECT_NE(pfr0 & 0xf, 0u) << "EL0 field: the rest of the register is the processor's";
    EXPECT_EQ(zfr0, 0u);
}

TEST(ProcessorIdentity, IdRegisterReadsIntoTheFrameworksRegisterAndXzr) {
    uint64_t pfr0 = 0, pfr0_x28 = 0, zfr0_x28 = ~0ull;
    asm volatile(MRS_PFR0(0) "mov %0, x0\n" : "=r"(pfr0) : : "x0");
    asm volatile(MRS_PFR0(28) "mov %0, x28\n" : "=r"(pfr0_x28) : : "x28");
    asm volatile("mov x28, #-1\n" MRS_ZFR0(28) "mov %0, x28\n" : "=r"(zfr0_x28) : : "x28");
    EXPECT_EQ(pfr0_x28, pfr0);
    EXPECT_EQ(zfr0_x28, 0u);
    // Reads into XZR change nothing and must not stop the program.
    asm volatile(MRS_PFR0(31) MRS_ZFR0(31));
}

}  // namespace
