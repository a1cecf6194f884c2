// Unimplemented-instruction stubs report themselves and change nothing.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "sve/kernels/stubs.h"
#include "tests/common/test_state.h"

namespace {

TEST(Stubs, ReportNamePcAndWordAndLeaveTheStateAlone) {
    auto s = new_state();
    for (unsigned i = 0; i < kVecBytes; ++i) s->z[3][i] = static_cast<unsigned char>(i);
    s->pc = reinterpret_cast<unsigned char *>(0x4000a0);
    s->insn = 0x0420B823u;
    auto before = new_state();
    std::memcpy(before.get(), s.get(), sizeof(cpu_state));
    testing::internal::CaptureStderr();
    const aarch64_decode_rc rc = sve_fexpa_zz(s.get(), make_zreg(3, kQualS), make_zreg(4, kQualS));
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(rc, DECODE_UNIMPLEMENTED);
    EXPECT_EQ(err, "Unimplemented instruction: [  4000a0:\t 0420b823\t sve_fexpa_zz  ]\n");
    EXPECT_EQ(std::memcmp(before.get(), s.get(), sizeof(cpu_state)), 0);
}

TEST(Stubs, EveryStubNamesItself) {
    auto s = new_state();
    s->insn = 0xFFFFFFFFu;
    testing::internal::CaptureStderr();
    EXPECT_EQ(sve_ld1rqd_zpri(s.get(), make_zreg(0, kQualD), make_preg(0, kQualD), make_rspreg(31), 0),
              DECODE_UNIMPLEMENTED);
    EXPECT_EQ(sve_whilele_prr(s.get(), make_preg(1, kQualB), make_ireg(2), make_ireg(3)), DECODE_UNIMPLEMENTED);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("\t ffffffff\t sve_ld1rqd_zpri  ]\n"), std::string::npos) << err;
    EXPECT_NE(err.find("\t sve_whilele_prr  ]\n"), std::string::npos) << err;
}

}  // namespace
