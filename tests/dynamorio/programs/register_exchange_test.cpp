// The register exchange around an emulated instruction: every general register,
// SP, V0-V31, NZCV, FPCR and FPSR reach the emulator and come back, and what the
// instruction writes, including X26-X28 (which the inline code borrows) and SP,
// is what the following native code sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "register_probe.h"

namespace {

constexpr uint64_t kNzcv = 0xA0000000;  // N and C
constexpr uint64_t kFpcr = 0x03C00000;  // DN, FZ, round towards zero
constexpr uint64_t kFpsr = 0x0800009F;  // QC and every cumulative exception flag

reg_image input_image() {
    reg_image in;
    std::memset(&in, 0, sizeof in);
    for (int n = 0; n < 31; ++n) in.x[n] = 0x0101010101010101ull * (n + 1) ^ 0x8000000000000000ull;
    for (int n = 0; n < 32; ++n)
        for (int b = 0; b < 16; ++b) in.v[n][b] = static_cast<unsigned char>(n * 16 + b + 1);
    in.nzcv = kNzcv;
    in.fpcr = kFpcr;
    in.fpsr = kFpsr;
    return in;
}

// Runs a probe and returns its output; `reference` gets the output of the empty
// probe with the same input (what "unchanged" means, SP included).
reg_image run(void (*probe)(const reg_image *, reg_image *), reg_image *reference) {
    const reg_image in = input_image();
    reg_image out;
    std::memset(&out, 0, sizeof out);
    probe_nothing(&in, reference);
    probe(&in, &out);
    return out;
}

// Everything but the listed X registers and V registers equals the reference.
void expect_unchanged_except(const reg_image &out, const reg_image &ref,
                             std::initializer_list<int> x_written,
                             std::initializer_list<int> v_written = {}) {
    for (int n = 0; n < 31; ++n) {
        if (std::find(x_written.begin(), x_written.end(), n) != x_written.end()) continue;
        EXPECT_EQ(out.x[n], ref.x[n]) << "X" << n;
    }
    for (int n = 0; n < 32; ++n) {
        if (std::find(v_written.begin(), v_written.end(), n) != v_written.end()) continue;
        EXPECT_EQ(std::memcmp(out.v[n], ref.v[n], 16), 0) << "V" << n;
    }
    EXPECT_EQ(out.nzcv, ref.nzcv);
    EXPECT_EQ(out.fpcr, ref.fpcr);
    EXPECT_EQ(out.fpsr, ref.fpsr);
}

TEST(RegisterExchange, ProbeItselfKeepsEveryRegister) {
    reg_image ref;
    const reg_image in = input_image();
    probe_nothing(&in, &ref);
    for (int n = 0; n < 31; ++n) EXPECT_EQ(ref.x[n], in.x[n]) << "X" << n;
    EXPECT_EQ(std::memcmp(ref.v, in.v, sizeof in.v), 0);
    EXPECT_EQ(ref.nzcv, kNzcv);
    EXPECT_EQ(ref.fpcr, kFpcr);
    EXPECT_EQ(ref.fpsr, kFpsr);
}

TEST(RegisterExchange, CntdWritesX27) {
    reg_image ref;
    const reg_image out = run(probe_cntd_x27, &ref);
    EXPECT_EQ(out.x[27], 32u);  // 2048 / 64
    expect_unchanged_except(out, ref, {27});
    EXPECT_EQ(out.sp, ref.sp);
}

TEST(RegisterExchange, IncbUpdatesX28) {
    reg_image ref;
    const reg_image out = run(probe_incb_x28, &ref);
    EXPECT_EQ(out.x[28], ref.x[28] + 256);
    expect_unchanged_except(out, ref, {28});
}

TEST(RegisterExchange, CntbWritesX26) {
    reg_image ref;
    const reg_image out = run(probe_cntb_x26, &ref);
    EXPECT_EQ(out.x[26], 256u);
    expect_unchanged_except(out, ref, {26});
}

TEST(RegisterExchange, ConsecutiveWritesOfAllThreeBorrowedRegisters) {
    reg_image ref;
    const reg_image out = run(probe_scratch_registers, &ref);
    EXPECT_EQ(out.x[27], 32u);
    EXPECT_EQ(out.x[28], ref.x[28] + 256);
    EXPECT_EQ(out.x[26], 256u);
    expect_unchanged_except(out, ref, {26, 27, 28});
}

TEST(RegisterExchange, NativeCodeReadsBorrowedRegistersAsWritten) {
    reg_image ref;
    const reg_image out = run(probe_native_reads_scratch, &ref);
    EXPECT_EQ(out.x[0], 33u);
    EXPECT_EQ(out.x[1], ref.x[28] + 257);
    EXPECT_EQ(out.x[2], 257u);
    expect_unchanged_except(out, ref, {0, 1, 2, 26, 27, 28});
}

TEST(RegisterExchange, OrdinaryRegisterWrite) {
    reg_image ref;
    const reg_image out = run(probe_incd_x0, &ref);
    EXPECT_EQ(out.x[0], ref.x[0] + 32);
    expect_unchanged_except(out, ref, {0});
}

TEST(RegisterExchange, StackPointerWrite) {
    reg_image ref;
    const reg_image out = run(probe_addvl_sp, &ref);
    EXPECT_EQ(out.sp, ref.sp - 256);
    EXPECT_EQ(out.x[3], ref.sp - 256);
    expect_unchanged_except(out, ref, {3});
}

TEST(RegisterExchange, VectorWritesReachTheSimdRegisters) {
    reg_image ref;
    const reg_image out = run(probe_vector_writes, &ref);
    for (int b = 0; b < 16; ++b) EXPECT_EQ(out.v[3][b], 7) << "byte " << b;
    uint64_t v4[2], v5[2], v6[2];
    std::memcpy(v4, out.v[4], 16);
    std::memcpy(v5, ref.v[5], 16);
    std::memcpy(v6, ref.v[6], 16);
    EXPECT_EQ(v4[0], v5[0] + v6[0]);
    EXPECT_EQ(v4[1], v5[1] + v6[1]);
    expect_unchanged_except(out, ref, {}, {3, 4});
}

}  // namespace
