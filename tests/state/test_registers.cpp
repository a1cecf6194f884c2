// Register-number records: zero register and stack pointer rules, name tables,
// and the context round trip of the computing shape.
#include <gtest/gtest.h>

#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/kernel_common.h"
#include "tests/common/test_state.h"

namespace {

TEST(RegisterRecords, Register31IsZeroOrStackPointer) {
    auto s = new_state();
    for (int i = 0; i < 31; ++i) s->x[i] = 100 + i;
    s->sp = 0x7000;
    EXPECT_EQ(xread(s.get(), make_ireg(31)), 0u);
    EXPECT_EQ(xread(s.get(), make_rspreg(31)), 0x7000u);
    EXPECT_EQ(xread(s.get(), make_ireg(30)), 130u);
    xwrite(s.get(), make_ireg(31), 5);
    for (int i = 0; i < 31; ++i) EXPECT_EQ(s->x[i], uint64_t(100 + i));
    EXPECT_EQ(s->sp, 0x7000u);
    xwrite(s.get(), make_rspreg(31), 0x8000);
    EXPECT_EQ(s->sp, 0x8000u);
}

TEST(RegisterRecords, NameTables) {
    EXPECT_STREQ(aarch64_z_reg::zname[31], "z31");
    EXPECT_STREQ(aarch64_z_reg::zname_d[7], "z7.d");
    EXPECT_STREQ(aarch64_p_reg::pname_z[15], "p15/z");
    EXPECT_STREQ(aarch64_p_reg::pname_h[3], "p3.h");
    EXPECT_STREQ(aarch64_i_reg::xname[31], "xzr");
    EXPECT_STREQ(aarch64_i_reg::wname[30], "w30");
    EXPECT_STREQ(aarch64_i_rsp_reg::xname[31], "sp");
    EXPECT_STREQ(aarch64_i_rsp_reg::wname[31], "illegal");
}

TEST(Predicates, ActiveTestsBitZeroOnlyAndWordPredicatesReadSparselyAtByteSize) {
    unsigned char p[kVecBytes] = {};
    p[8] = 0xFF;  // bit 0 set among others
    p[12] = 0xFE; // bit 0 clear
    EXPECT_TRUE(pred_active(p, 2, 4));
    EXPECT_FALSE(pred_active(p, 3, 4));
    unsigned char w[kVecBytes] = {};
    for (unsigned e = 0; e < 64; ++e) pred_write(w, e, 4, true);
    unsigned active_bytes = 0;
    for (unsigned i = 0; i < kVecBytes; ++i) active_bytes += pred_active(w, i, 1);
    EXPECT_EQ(active_bytes, 64u);
}

TEST(ComputingShape, ContextRoundTripKeepsFlagsStatusAndFfrAndAbsorbsFpcrExtra) {
    auto s = new_state();
    s->nzcv = 0xA0000000u;
    s->fpsr = 0x8000001Fu;
    s->fpcr = 0x00C00000u;
    s->fpcr_extra = 0x01000000u;
    for (unsigned i = 0; i < kVecBytes; ++i) s->ffr[i] = (i % 3) == 0 ? 0xFF : 0;  // stray bits
    EXPECT_EQ(compute(s.get(), [](CpuContext &ctx) {
                  EXPECT_EQ(ctx.vl64, 32u);
                  EXPECT_EQ(ctx.fpcr, 0x01C00000u);
              }),
              DECODE_OK);
    EXPECT_EQ(s->nzcv, 0xA0000000u);
    EXPECT_EQ(s->fpsr, 0x8000001Fu);
    EXPECT_EQ(s->fpcr, 0x01C00000u);
    EXPECT_EQ(s->fpcr_extra, 0x01000000u);
    for (unsigned i = 0; i < kVecBytes; ++i) ASSERT_EQ(s->ffr[i], (i % 3) == 0 ? 1 : 0) << i;
}

}  // namespace
