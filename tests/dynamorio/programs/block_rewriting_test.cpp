// Block rewriting as a program sees it: blocks without SVE run as they are, SVE
// instructions anywhere in a block (first, consecutive) are emulated, the
// condition flags survive an emulated instruction and those an emulated
// instruction sets reach a native branch, a handler that fails prints the
// failure message and the block goes on, and the program's own faults still
// reach the program.
#include <gtest/gtest.h>
#include <setjmp.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "client_test_support.h"
#include "tests/common/failing_word.h"

namespace {

using namespace dr_test;

// --- A block without SVE ---------------------------------------------------

constexpr uint32_t crc32(const char *s, size_t n) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        crc ^= static_cast<unsigned char>(s[i]);
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

TEST(BlockRewriting, BlockWithoutSveRunsUnchanged) {
    static constexpr char kText[] = "The quick brown fox jumps over the lazy dog";
    constexpr uint32_t kExpected = crc32(kText, sizeof kText - 1);
    static_assert(kExpected == 0x414FA339u);
    volatile size_t n = sizeof kText - 1;  // computed at run time, by native code
    EXPECT_EQ(crc32(kText, n), kExpected);
}

// --- Where SVE instructions sit in a block ----------------------------------

// A function whose first instruction, the first of its block, is SVE.
extern "C" uint64_t sve_first_in_block();
asm(R"(
        .text
        .arch armv8-a+sve
        .balign 16
        .type sve_first_in_block, %function
sve_first_in_block:
        cntd x0
        ret
        .size sve_first_in_block, . - sve_first_in_block
)");

TEST(BlockRewriting, SveInstructionFirstInBlock) { EXPECT_EQ(sve_first_in_block(), 32u); }

TEST(BlockRewriting, TwoConsecutiveScalarInstructions) {
    uint64_t x;
    asm volatile(
        ".arch_extension sve\n"
        "rdvl x0, #1\n"
        "addvl x0, x0, #1\n"
        "mov %0, x0\n"
        : "=r"(x)
        :
        : "x0");
    EXPECT_EQ(x, 512u);
}

TEST(BlockRewriting, TwoConsecutiveVectorInstructions) {
    unsigned char v[16];
    asm volatile(
        ".arch_extension sve\n"
        "mov z0.b, #3\n"
        "add z0.b, z0.b, z0.b\n"
        "str q0, [%0]\n"
        :
        : "r"(v)
        : "v0", "memory");
    for (int b = 0; b < 16; ++b) EXPECT_EQ(v[b], 6) << "byte " << b;
}

// Runs of consecutive SVE instructions are emulated together. Each of the 40
// runs here adds 2 (INCD twice: x 32 at 2048 bits) to X1 and the native ADD
// between runs 1 to X2; the block holds more runs than the client rewrites in
// one block, so it is split after a run, and nothing may run twice or not at
// all. Z0 counts the runs element-wise, with an SVE ADD inside each run.
#define SVE_RUN_OF_THREE "incd x1\n add z0.d, z0.d, z1.d\n incd x1\n add x2, x2, #1\n"
#define SVE_RUNS_8 SVE_RUN_OF_THREE SVE_RUN_OF_THREE SVE_RUN_OF_THREE SVE_RUN_OF_THREE \
    SVE_RUN_OF_THREE SVE_RUN_OF_THREE SVE_RUN_OF_THREE SVE_RUN_OF_THREE
TEST(BlockRewriting, ManyRunsInOneStraightLineBlock) {
    uint64_t x1, x2, z0[2];
    asm volatile(
        ".arch_extension sve\n"
        "mov x1, #0\n"
        "mov x2, #0\n"
        "mov z0.d, #0\n"
        "mov z1.d, #1\n"
        SVE_RUNS_8 SVE_RUNS_8 SVE_RUNS_8 SVE_RUNS_8 SVE_RUNS_8
        "mov %0, x1\n"
        "mov %1, x2\n"
        "str q0, [%2]\n"
        : "=&r"(x1), "=&r"(x2)
        : "r"(z0)
        : "x1", "x2", "v0", "v1", "memory");
    EXPECT_EQ(x1, 40u * 64u);
    EXPECT_EQ(x2, 40u);
    EXPECT_EQ(z0[0], 40u);
    EXPECT_EQ(z0[1], 40u);
}
#undef SVE_RUNS_8
#undef SVE_RUN_OF_THREE

// A stretch of 600 consecutive SVE instructions, more than one run takes, is
// emulated as several runs: none runs twice or not at all, in order. Run twice
// with different inputs, because the second time the block and its runs are
// already built.
uint64_t long_stretch(uint64_t start) {
    uint64_t x1 = start;
    asm volatile(
        ".arch_extension sve\n"
        ".rept 300\n incd %0\n .endr\n"
        "lsl %0, %0, #1\n"
        ".rept 300\n incw %0\n .endr\n"
        : "+r"(x1));
    return x1;
}
TEST(BlockRewriting, StretchLongerThanOneRun) {
    for (const uint64_t start : {0u, 5u}) {
        EXPECT_EQ(long_stretch(start), (start + 300u * 32u) * 2u + 300u * 64u) << start;
    }
}

// Register-only scalar instructions between SVE words join one run and are
// executed inside it: SP, the framework's stolen register X28 and the flags
// read and written there reach the code after the run.
TEST(BlockRewriting, ScalarInstructionsInsideARun) {
    uint64_t x0, x28, x3, x4, sp;
    asm volatile(
        ".arch_extension sve\n"
        "mov x0, #0\n"
        "incd x0\n"              // 32
        "add x28, x0, #1\n"      // 33
        "cmp x28, #33\n"
        "cset x3, eq\n"          // 1
        "add x4, sp, #16\n"
        "incd x28\n"             // 65
        "mov %0, x0\n"
        "mov %1, x28\n"
        "mov %2, x3\n"
        "mov %3, x4\n"
        "mov %4, sp\n"
        : "=&r"(x0), "=&r"(x28), "=&r"(x3), "=&r"(x4), "=&r"(sp)
        :
        : "x0", "x3", "x4", "x28", "cc");
    EXPECT_EQ(x0, 32u);
    EXPECT_EQ(x28, 65u);
    EXPECT_EQ(x3, 1u);
    EXPECT_EQ(x4, sp + 16);
}

// --- Condition flags -----------------------------------------------------------

// NZCV after msr nzcv, <flags>; an emulated instruction; and what a native
// conditional select makes of each condition.
struct flag_view {
    uint64_t nzcv;
    uint64_t eq, cs, mi, vs;
};

flag_view flags_across_emulation(uint64_t flags) {
    flag_view f;
    asm volatile(
        ".arch_extension sve\n"
        "msr nzcv, %5\n"
        "cntd x1\n"
        "mrs %0, nzcv\n"
        "cset %1, eq\n"
        "cset %2, cs\n"
        "cset %3, mi\n"
        "cset %4, vs\n"
        : "=&r"(f.nzcv), "=&r"(f.eq), "=&r"(f.cs), "=&r"(f.mi), "=&r"(f.vs)
        : "r"(flags)
        : "x1", "cc");
    return f;
}

TEST(Flags, EveryNzcvValueSurvivesAnEmulatedInstruction) {
    for (uint64_t bits = 0; bits < 16; ++bits) {
        const uint64_t flags = bits << 28;
        const flag_view f = flags_across_emulation(flags);
        EXPECT_EQ(f.nzcv, flags) << std::hex << flags;
        EXPECT_EQ(f.mi, (bits >> 3) & 1) << std::hex << flags;
        EXPECT_EQ(f.eq, (bits >> 2) & 1) << std::hex << flags;
        EXPECT_EQ(f.cs, (bits >> 1) & 1) << std::hex << flags;
        EXPECT_EQ(f.vs, bits & 1) << std::hex << flags;
    }
}

TEST(Flags, FlagsSetByEmulatedInstructionReachNativeBranch) {
    if (!implemented({insn::kPtruesP0B})) GTEST_SKIP() << "ptrues is not implemented yet";
    // ptrues p0.b over an all-true result: N (first active) set, Z clear,
    // C clear (the last element is active), V clear. The flags start opposite.
    uint64_t nzcv, taken_mi, taken_eq;
    asm volatile(
        ".arch_extension sve\n"
        "mov x0, #0x70000000\n"
        "msr nzcv, x0\n"
        "ptrues p0.b\n"
        "mrs %0, nzcv\n"
        "mov %1, #0\n"
        "b.pl 1f\n"
        "mov %1, #1\n"
        "1:\n"
        "mov %2, #1\n"
        "b.eq 2f\n"
        "mov %2, #0\n"
        "2:\n"
        : "=&r"(nzcv), "=&r"(taken_mi), "=&r"(taken_eq)
        :
        : "x0", "cc");
    EXPECT_EQ(nzcv, 0x80000000u);
    EXPECT_EQ(taken_mi, 1u);
    EXPECT_EQ(taken_eq, 0u);
}

// --- A handler that fails ------------------------------------------------------

// A recognised word that fails to emulate (see tests/common/failing_word.h).
uint32_t failing_word() {
    size_t n = 0;
    const sve_handler_info *all = sve_handler_catalog(&n);
    return ::failing_word(all, n, entry_for);
}

TEST(FailedEmulation, PrintsTheMessageAndTheBlockGoesOn) {
    const uint32_t word = failing_word();
    ASSERT_NE(word, 0u) << "no recognised word that fails to emulate";
    // movz x0, #7; <word>; add x0, x0, #1; ret, on a page of its own.
    const uint32_t code[] = {0xd28000e0u, word, 0x91000400u, 0xd65f03c0u};
    const long page = sysconf(_SC_PAGESIZE);
    void *mem = mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);
    std::memcpy(mem, code, sizeof code);
    ASSERT_EQ(mprotect(mem, page, PROT_READ | PROT_EXEC), 0);
    __builtin___clear_cache(static_cast<char *>(mem), static_cast<char *>(mem) + sizeof code);
    auto fn = reinterpret_cast<uint64_t (*)()>(mem);

    testing::internal::CaptureStderr();
    const uint64_t result = fn();
    const std::string err = testing::internal::GetCapturedStderr();

    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Error: failed to emulate SVE instruction 0x%08x at PC %p\n", word,
                  static_cast<void *>(static_cast<char *>(mem) + 4));
    EXPECT_NE(err.find(expected), std::string::npos)
        << "expected \"" << expected << "\" in \"" << err << "\"";
    EXPECT_EQ(result, 8u) << "the instructions around the failed one did not both run";
    munmap(mem, page);
}

// --- The program's own faults ---------------------------------------------------

sigjmp_buf fault_return;
volatile sig_atomic_t faults_seen = 0;

void on_fault(int, siginfo_t *, void *) {
    faults_seen = faults_seen + 1;
    siglongjmp(fault_return, 1);
}

TEST(Faults, NativeFaultReachesTheProgramsHandler) {
    struct sigaction act, old;
    std::memset(&act, 0, sizeof act);
    act.sa_sigaction = on_fault;
    act.sa_flags = SA_SIGINFO;
    sigemptyset(&act.sa_mask);
    ASSERT_EQ(sigaction(SIGSEGV, &act, &old), 0);
    const long page = sysconf(_SC_PAGESIZE);
    void *mem = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(mem, MAP_FAILED);

    testing::internal::CaptureStderr();
    uint64_t count = 0;
    if (sigsetjmp(fault_return, 1) == 0) {
        asm volatile(".arch_extension sve\ncntd %0\n" : "=r"(count));
        (void)*static_cast<volatile char *>(mem);
    }
    const std::string err = testing::internal::GetCapturedStderr();

    sigaction(SIGSEGV, &old, nullptr);
    munmap(mem, page);
    EXPECT_EQ(faults_seen, 1);
    EXPECT_EQ(count, 32u);
    EXPECT_EQ(err.find("SVESigHandler"), std::string::npos) << err;
}

}  // namespace
