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

// --- Constant predicate writes --------------------------------------------------

// The packed image (one bit per predicate bit, as STR stores it) of a predicate
// whose first `count` elements of `esize` bytes are true.
struct packed_predicate {
    uint8_t b[32];
    bool operator==(const packed_predicate &) const = default;
};
packed_predicate prefix_image(unsigned count, unsigned esize) {
    packed_predicate p{};
    for (unsigned e = 0; e < count; ++e) p.b[e * esize / 8] |= static_cast<uint8_t>(1u << (e * esize % 8));
    return p;
}
std::string hex(const packed_predicate &p) {
    std::string s;
    char two[3];
    for (uint8_t b : p.b) {
        std::snprintf(two, sizeof two, "%02x", b);
        s += two;
    }
    return s;
}

// PTRUE and PFALSE at the start and at the end of a run, each followed by a
// word that depends on it: the predicates the run and the code after it see
// are exactly the patterns'. P1-P7 start with every bit set, so that a false
// element that was not written shows.
TEST(ConstantPredicates, WrittenAtEitherEndOfARunAndReadAfterIt) {
    packed_predicate p[8];
    uint64_t in_run, after;
    asm volatile(
        ".arch_extension sve\n"
        "ptrue p1.b\n ptrue p2.b\n ptrue p3.b\n ptrue p4.b\n ptrue p5.b\n ptrue p6.b\n ptrue p7.b\n"
        "str p1, [%2, #0, mul vl]\n"  // the first run ends with a word that is not constant
        "ptrue p1.h, vl64\n"          // 128 bytes: constant
        "pfalse p2.b\n"
        "ptrue p3.d, mul3\n"          // 30 doublewords, 240 bytes: constant
        "ptrue p4.s, vl3\n"           // 12 bytes: through the call, and the middle's first word
        "cntp x0, p1, p1.h\n"         // 64
        "add x0, x0, #1\n"            // a scalar word inside the run
        "cntp x1, p3, p3.d\n"         // 30
        "add %0, x0, x1, lsl #8\n"
        "ptrue p5.s\n"
        "ptrue p6.d, pow2\n"          // 32 doublewords: every one
        "ptrue p7.b, vl256\n"
        "str p1, [%2, #1, mul vl]\n str p2, [%2, #2, mul vl]\n str p3, [%2, #3, mul vl]\n"
        "str p4, [%2, #4, mul vl]\n str p5, [%2, #5, mul vl]\n str p6, [%2, #6, mul vl]\n"
        "str p7, [%2, #7, mul vl]\n"
        "cntp %1, p6, p5.s\n"
        : "=&r"(in_run), "=&r"(after)
        : "r"(p)
        : "x0", "x1", "p1", "p2", "p3", "p4", "p5", "p6", "p7", "memory");
    EXPECT_EQ(in_run, 65u + (30u << 8));
    EXPECT_EQ(after, 32u);  // P5.S active where P6.D is: the first word of each doubleword
    const packed_predicate expected[8] = {prefix_image(256, 1), prefix_image(64, 2),  prefix_image(0, 1),
                                          prefix_image(30, 8),  prefix_image(3, 4),   prefix_image(64, 4),
                                          prefix_image(32, 8),  prefix_image(256, 1)};
    for (int n = 0; n < 8; ++n) EXPECT_EQ(hex(p[n]), hex(expected[n])) << "slot " << n;
}

// A long row of them, a run of its own: inline sequences at both ends, the
// call for the middle.
TEST(ConstantPredicates, LongRow) {
    packed_predicate p[2];
    asm volatile(
        ".arch_extension sve\n"
        ".rept 20\n ptrue p1.b\n pfalse p1.b\n ptrue p2.b\n ptrue p2.d, vl16\n .endr\n"
        "b 1f\n"
        "1:\n"
        "str p1, [%0, #0, mul vl]\n str p2, [%0, #1, mul vl]\n"
        :
        : "r"(p)
        : "p1", "p2", "memory");
    EXPECT_EQ(hex(p[0]), hex(prefix_image(0, 1)));
    EXPECT_EQ(hex(p[1]), hex(prefix_image(16, 8)));
}

// Inside a signal handler the interrupted code's predicates are kept across
// the handler's own PTRUE and PFALSE, and come back when it returns.
packed_predicate seen_in_handler[2];
void on_usr1(int) {
    asm volatile(
        ".arch_extension sve\n"
        "ptrue p1.b\n pfalse p2.b\n"
        "str p1, [%0, #0, mul vl]\n str p2, [%0, #1, mul vl]\n"
        "ptrue p1.b\n pfalse p2.b\n"
        :
        : "r"(seen_in_handler)
        : "p1", "p2", "memory");
}
TEST(ConstantPredicates, InsideASignalHandler) {
    struct sigaction act, old;
    std::memset(&act, 0, sizeof act);
    act.sa_handler = on_usr1;
    sigemptyset(&act.sa_mask);
    ASSERT_EQ(sigaction(SIGUSR1, &act, &old), 0);
    asm volatile(".arch_extension sve\n ptrue p1.s, vl5\n ptrue p2.h, vl7\n" ::: "p1", "p2");
    raise(SIGUSR1);
    packed_predicate p[2];
    asm volatile(".arch_extension sve\n str p1, [%0, #0, mul vl]\n str p2, [%0, #1, mul vl]\n"
                 :
                 : "r"(p)
                 : "memory");
    sigaction(SIGUSR1, &old, nullptr);
    EXPECT_EQ(hex(seen_in_handler[0]), hex(prefix_image(256, 1)));
    EXPECT_EQ(hex(seen_in_handler[1]), hex(prefix_image(0, 1)));
    EXPECT_EQ(hex(p[0]), hex(prefix_image(5, 4)));
    EXPECT_EQ(hex(p[1]), hex(prefix_image(7, 2)));
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
