// The register exchange with the signal frame: every general register, SP,
// NZCV, V0-V31, FPSR and FPCR reach the emulator and come back; what an
// emulated instruction writes (X, V, NZCV, SP, X26-X28) reaches the program.
#include <sys/resource.h>

#include <cstddef>
#include <cstring>

#include "trap_test_support.h"

namespace {

using namespace trap_test;

// Programs that die by a signal on purpose must not leave core files.
const bool kNoCoreFiles = [] {
    rlimit none{0, 0};
    return setrlimit(RLIMIT_CORE, &none) == 0;
}();

struct alignas(16) reg_block {
    uint64_t x_in[31];
    uint64_t x_out[31];
    uint64_t nzcv_in, nzcv_out;
    uint64_t fpcr_in, fpcr_out;
    uint64_t fpsr_in, fpsr_out;
    uint64_t saved_sp, host_fpcr;
    uint64_t pad[2];
    unsigned char v_in[32][16];
    unsigned char v_out[32][16];
};
static_assert(offsetof(reg_block, x_out) == 248);
static_assert(offsetof(reg_block, nzcv_in) == 496);
static_assert(offsetof(reg_block, fpcr_in) == 512);
static_assert(offsetof(reg_block, fpsr_in) == 528);
static_assert(offsetof(reg_block, saved_sp) == 544);
static_assert(offsetof(reg_block, v_in) == 576);
static_assert(offsetof(reg_block, v_out) == 1088);

// A probe loads every register from a reg_block (SP points at the block while
// the words under test run), executes the words, and stores every register
// back. X0 to X30 all carry test values, so the block is addressed through SP.
#define REG_PROBE(name, words)                                                             \
    extern "C" void name(reg_block *);                                                    \
    asm(".text\n.balign 16\n.type " #name ", %function\n" #name ":\n"                     \
        "stp x29, x30, [sp, #-176]!\n"                                                    \
        "stp x19, x20, [sp, #16]\n stp x21, x22, [sp, #32]\n stp x23, x24, [sp, #48]\n"   \
        "stp x25, x26, [sp, #64]\n stp x27, x28, [sp, #80]\n"                             \
        "stp d8, d9, [sp, #96]\n stp d10, d11, [sp, #112]\n"                              \
        "stp d12, d13, [sp, #128]\n stp d14, d15, [sp, #144]\n"                           \
        "mov x1, sp\n str x1, [x0, #544]\n"                                               \
        "mrs x1, fpcr\n str x1, [x0, #552]\n"                                             \
        "ldr x1, [x0, #512]\n msr fpcr, x1\n"                                             \
        "ldr x1, [x0, #528]\n msr fpsr, x1\n"                                             \
        "ldr x1, [x0, #496]\n msr nzcv, x1\n"                                             \
        "add x1, x0, #576\n"                                                              \
        "ldp q0, q1, [x1, #0]\n ldp q2, q3, [x1, #32]\n ldp q4, q5, [x1, #64]\n"          \
        "ldp q6, q7, [x1, #96]\n ldp q8, q9, [x1, #128]\n ldp q10, q11, [x1, #160]\n"     \
        "ldp q12, q13, [x1, #192]\n ldp q14, q15, [x1, #224]\n ldp q16, q17, [x1, #256]\n" \
        "ldp q18, q19, [x1, #288]\n ldp q20, q21, [x1, #320]\n ldp q22, q23, [x1, #352]\n" \
        "ldp q24, q25, [x1, #384]\n ldp q26, q27, [x1, #416]\n ldp q28, q29, [x1, #448]\n" \
        "ldp q30, q31, [x1, #480]\n"                                                      \
        "mov sp, x0\n"                                                                    \
        "ldp x1, x2, [x0, #8]\n ldp x3, x4, [x0, #24]\n ldp x5, x6, [x0, #40]\n"          \
        "ldp x7, x8, [x0, #56]\n ldp x9, x10, [x0, #72]\n ldp x11, x12, [x0, #88]\n"      \
        "ldp x13, x14, [x0, #104]\n ldp x15, x16, [x0, #120]\n ldp x17, x18, [x0, #136]\n" \
        "ldp x19, x20, [x0, #152]\n ldp x21, x22, [x0, #168]\n ldp x23, x24, [x0, #184]\n" \
        "ldp x25, x26, [x0, #200]\n ldp x27, x28, [x0, #216]\n ldp x29, x30, [x0, #232]\n" \
        "ldr x0, [x0]\n"                                                                  \
        words                                                                             \
        "stp x0, x1, [sp, #248]\n stp x2, x3, [sp, #264]\n stp x4, x5, [sp, #280]\n"      \
        "stp x6, x7, [sp, #296]\n stp x8, x9, [sp, #312]\n stp x10, x11, [sp, #328]\n"    \
        "stp x12, x13, [sp, #344]\n stp x14, x15, [sp, #360]\n stp x16, x17, [sp, #376]\n" \
        "stp x18, x19, [sp, #392]\n stp x20, x21, [sp, #408]\n stp x22, x23, [sp, #424]\n" \
        "stp x24, x25, [sp, #440]\n stp x26, x27, [sp, #456]\n stp x28, x29, [sp, #472]\n" \
        "str x30, [sp, #488]\n"                                                           \
        "mrs x0, nzcv\n str x0, [sp, #504]\n"                                             \
        "mrs x0, fpcr\n str x0, [sp, #520]\n"                                             \
        "mrs x0, fpsr\n str x0, [sp, #536]\n"                                             \
        "add x1, sp, #1088\n"                                                             \
        "stp q0, q1, [x1, #0]\n stp q2, q3, [x1, #32]\n stp q4, q5, [x1, #64]\n"          \
        "stp q6, q7, [x1, #96]\n stp q8, q9, [x1, #128]\n stp q10, q11, [x1, #160]\n"     \
        "stp q12, q13, [x1, #192]\n stp q14, q15, [x1, #224]\n stp q16, q17, [x1, #256]\n" \
        "stp q18, q19, [x1, #288]\n stp q20, q21, [x1, #320]\n stp q22, q23, [x1, #352]\n" \
        "stp q24, q25, [x1, #384]\n stp q26, q27, [x1, #416]\n stp q28, q29, [x1, #448]\n" \
        "stp q30, q31, [x1, #480]\n"                                                      \
        "mov x0, sp\n ldr x1, [x0, #552]\n msr fpcr, x1\n"                                \
        "ldr x1, [x0, #544]\n mov sp, x1\n"                                               \
        "ldp x19, x20, [sp, #16]\n ldp x21, x22, [sp, #32]\n ldp x23, x24, [sp, #48]\n"   \
        "ldp x25, x26, [sp, #64]\n ldp x27, x28, [sp, #80]\n"                             \
        "ldp d8, d9, [sp, #96]\n ldp d10, d11, [sp, #112]\n"                              \
        "ldp d12, d13, [sp, #128]\n ldp d14, d15, [sp, #144]\n"                           \
        "ldp x29, x30, [sp], #176\n ret\n"                                                \
        ".size " #name ", . - " #name "\n");

REG_PROBE(probe_native, "nop\n")
REG_PROBE(probe_setffr, ".inst 0x252c9000\n")                      // setffr
REG_PROBE(probe_ptrues, ".inst 0x2519e3e0\n")                      // ptrues p0.b
REG_PROBE(probe_vector, ".inst 0x05e03820\n .inst 0x04e600a4\n")   // mov z0.d, x1; add z4.d, z5.d, z6.d
REG_PROBE(probe_x26_x28, ".inst 0x04bf503a\n .inst 0x04e0e3fb\n .inst 0x0430e3fc\n")  // rdvl x26, #1; cntd x27; incb x28

// Distinct values in every register and byte.
void fill(reg_block &b) {
    std::memset(&b, 0, sizeof b);
    uint64_t s = 0x9e3779b97f4a7c15ull;
    auto next = [&s] {
        s += 0x9e3779b97f4a7c15ull;
        uint64_t z = s;
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    };
    for (uint64_t &x : b.x_in) x = next();
    for (auto &v : b.v_in)
        for (unsigned i = 0; i < 16; i += 8) {
            uint64_t r = next();
            std::memcpy(v + i, &r, 8);
        }
    b.nzcv_in = 0x90000000;   // N and V
    b.fpcr_in = 0x07c00000;   // AHP, DN, FZ, round towards zero
    b.fpsr_in = 0x0800009f;   // QC and every cumulative exception flag
}

void expect_all_unchanged_except(const reg_block &b, std::initializer_list<int> xs,
                                 std::initializer_list<int> vs) {
    for (int n = 0; n < 31; ++n) {
        bool skip = false;
        for (int x : xs) skip |= x == n;
        if (!skip) {
            EXPECT_EQ(b.x_out[n], b.x_in[n]) << "X" << n;
        }
    }
    for (int n = 0; n < 32; ++n) {
        bool skip = false;
        for (int v : vs) skip |= v == n;
        if (!skip) {
            EXPECT_EQ(0, std::memcmp(b.v_out[n], b.v_in[n], 16)) << "V" << n;
        }
    }
    EXPECT_EQ(b.fpcr_out, b.fpcr_in);
    EXPECT_EQ(b.fpsr_out, b.fpsr_in);
}

class RegisterExchange : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!trap_host_loaded()) GTEST_SKIP() << "run under the trap host (tools/sve-run)";
    }
};

TEST_F(RegisterExchange, ProbeIsTransparentWithoutSve) {
    reg_block b;
    fill(b);
    probe_native(&b);
    expect_all_unchanged_except(b, {}, {});
    EXPECT_EQ(b.nzcv_out, b.nzcv_in);
}

TEST_F(RegisterExchange, EveryRegisterSurvivesAnEmulatedInstruction) {
    ASSERT_IMPLEMENTED(insn::kSetffr);
    reg_block b;
    fill(b);
    sve_trap_host_counters before = thread_counters();
    probe_setffr(&b);
    sve_trap_host_counters after = thread_counters();
    EXPECT_EQ(after.instructions - before.instructions, 1u);
    expect_all_unchanged_except(b, {}, {});
    EXPECT_EQ(b.nzcv_out, b.nzcv_in);
}

TEST_F(RegisterExchange, FlagsWrittenByAnInstructionReachTheProgram) {
    SKIP_UNLESS_IMPLEMENTED(insn::kPtruesP0B);
    reg_block b;
    fill(b);
    probe_ptrues(&b);
    expect_all_unchanged_except(b, {}, {});
    // All elements active: N (first active) set, Z, C (not last active) and V clear.
    EXPECT_EQ(b.nzcv_out, 0x80000000u);
}

TEST_F(RegisterExchange, VectorResultsReachTheSimdRegisters) {
    ASSERT_IMPLEMENTED(insn::kDupZ0X1, insn::kAddZ4Z5Z6);
    reg_block b;
    fill(b);
    probe_vector(&b);
    expect_all_unchanged_except(b, {}, {0, 4});
    EXPECT_EQ(b.nzcv_out, b.nzcv_in);
    uint64_t z0[2], v5[2], v6[2], z4[2];
    std::memcpy(z0, b.v_out[0], 16);
    std::memcpy(v5, b.v_in[5], 16);
    std::memcpy(v6, b.v_in[6], 16);
    std::memcpy(z4, b.v_out[4], 16);
    EXPECT_EQ(z0[0], b.x_in[1]);
    EXPECT_EQ(z0[1], b.x_in[1]);
    EXPECT_EQ(z4[0], v5[0] + v6[0]);
    EXPECT_EQ(z4[1], v5[1] + v6[1]);
}

TEST_F(RegisterExchange, WritesToX26X27X28ReachTheProgram) {
    ASSERT_IMPLEMENTED(0x04bf503a, 0x04e0e3fb, 0x0430e3fc);
    reg_block b;
    fill(b);
    probe_x26_x28(&b);
    expect_all_unchanged_except(b, {26, 27, 28}, {});
    EXPECT_EQ(b.x_out[26], 256u);
    EXPECT_EQ(b.x_out[27], 32u);
    EXPECT_EQ(b.x_out[28], b.x_in[28] + 256);
}

TEST_F(RegisterExchange, StackPointerMovesWithAddvlAndAddpl) {
    ASSERT_IMPLEMENTED(0x043f57ff, 0x047f57df);
    uint64_t before, after_addvl, after_addpl;
    asm volatile(
        "mov x19, sp\n"
        ".inst 0x043f57ff\n"  // addvl sp, sp, #-1
        "mov %1, sp\n"
        ".inst 0x047f57df\n"  // addpl sp, sp, #-2
        "mov %2, sp\n"
        "mov %0, x19\n"
        "mov sp, x19\n"
        : "=&r"(before), "=&r"(after_addvl), "=&r"(after_addpl)
        :
        : "x19", "memory");
    EXPECT_EQ(after_addvl, before - 256);
    EXPECT_EQ(after_addpl, before - 256 - 64);
}

// A run that moves SP down and stores a whole vector there: the store lands
// where the signal frame would sit if the handler ran on the program's stack.
TEST_F(RegisterExchange, StoreBelowTheInterruptedStackPointer) {
    SKIP_UNLESS_IMPLEMENTED(insn::kPtrueP0D, insn::kDupZ0X1, insn::kSt1dZ0Sp);
    uint64_t first, last, moved;
    const uint64_t value = 0x0123456789abcdefull;
    asm volatile(
        "mov x19, sp\n"
        "mov x1, %3\n"
        ".inst 0x043f57ff\n"  // addvl sp, sp, #-1
        ".inst 0x25d8e3e0\n"  // ptrue p0.d
        ".inst 0x05e03820\n"  // mov z0.d, x1
        ".inst 0xe5e0e3e0\n"  // st1d {z0.d}, p0, [sp]
        "ldr %0, [sp]\n"
        "ldr %1, [sp, #248]\n"
        "mov %2, sp\n"
        "sub %2, x19, %2\n"
        "mov sp, x19\n"
        : "=&r"(first), "=&r"(last), "=&r"(moved)
        : "r"(value)
        : "x1", "x19", "v0", "memory");
    EXPECT_EQ(moved, 256u);
    EXPECT_EQ(first, value);
    EXPECT_EQ(last, value);
}

// The emulated FPCR governs floating-point arithmetic and the flags it raises
// land in the program's FPSR.
TEST_F(RegisterExchange, EmulatedArithmeticUsesTheProgramsFpcr) {
    SKIP_UNLESS_IMPLEMENTED(insn::kFaddZ0Z1Z2S);
    auto add = [](uint64_t fpcr, uint64_t *fpsr_out) {
        uint32_t result;
        uint64_t saved;
        asm volatile(
            "mrs %2, fpcr\n"
            "msr fpcr, %3\n"
            "msr fpsr, xzr\n"
            "fmov s1, %w4\n"
            "fmov s2, %w5\n"
            ".inst 0x65820020\n"  // fadd z0.s, z1.s, z2.s
            "fmov %w0, s0\n"
            "mrs %1, fpsr\n"
            "msr fpcr, %2\n"
            : "=&r"(result), "=&r"(*fpsr_out), "=&r"(saved)
            : "r"(fpcr), "r"(0x3f800000u), "r"(0x33800001u)
            : "v0", "v1", "v2");
        return result;
    };
    uint64_t fpsr_nearest = 0, fpsr_zero = 0;
    EXPECT_EQ(add(0, &fpsr_nearest), 0x3f800001u);         // 1 + (2^-24 + tiny), rounded up
    EXPECT_EQ(add(0x00c00000, &fpsr_zero), 0x3f800000u);   // round towards zero
    EXPECT_TRUE(fpsr_nearest & 0x10) << "inexact flag";
    EXPECT_TRUE(fpsr_zero & 0x10) << "inexact flag";
}

}  // namespace
