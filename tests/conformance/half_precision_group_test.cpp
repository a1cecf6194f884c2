// The half-precision group's reference correction and the generator's reading
// of Advanced SIMD and scalar floating-point operands.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/conformance/half_precision_group.h"

namespace conformance {
namespace {

// fcvtzs h3, h1, #7 and a reference record holding `low` in bits 31..0 of V3.
case_input word_input(uint32_t word) {
    case_input in{};
    in.header.word = word;
    return in;
}
void put_low(case_result &r, unsigned reg, uint32_t low) {
    std::memset(r.regs.z[reg], 0, kZBytes);
    std::memcpy(r.regs.z[reg], &low, 4);
}
uint32_t get_low(const case_result &r, unsigned reg) {
    uint32_t v;
    std::memcpy(&v, r.regs.z[reg], 4);
    return v;
}

TEST(HalfPrecisionGroup, OnlyTheSignExtendedScalarFixedPointResultIsCorrected) {
    const uint32_t fcvtzs_h3 = 0x5f19fc23u;
    case_result r;
    put_low(r, 3, 0xFFFFFF80u);
    EXPECT_TRUE(correct_half_precision_reference(word_input(fcvtzs_h3), r));
    EXPECT_EQ(get_low(r, 3), 0x0000FF80u);

    // Already architectural, positive, other bits set above, or another register.
    for (uint32_t low : {0x0000FF80u, 0x00000005u, 0xFFFF0005u, 0x7FFFFF80u}) {
        put_low(r, 3, low);
        EXPECT_FALSE(correct_half_precision_reference(word_input(fcvtzs_h3), r)) << std::hex << low;
        EXPECT_EQ(get_low(r, 3), low);
    }
    put_low(r, 3, 0xFFFFFF80u);
    r.regs.z[3][8] = 1;
    EXPECT_FALSE(correct_half_precision_reference(word_input(fcvtzs_h3), r));
    // The vector form and FCVTZU are right in the reference and stay as they are.
    put_low(r, 3, 0xFFFFFF80u);
    EXPECT_FALSE(correct_half_precision_reference(word_input(0x4f19fc23u), r));
    EXPECT_FALSE(correct_half_precision_reference(word_input(0x7f19fc23u), r));
    // A case the reference did not complete is left alone.
    r.signal = 4;
    EXPECT_FALSE(correct_half_precision_reference(word_input(fcvtzs_h3), r));
}

TEST(HalfPrecisionGroup, GroupRunsTheHalfPrecisionEntriesThroughTheirOwnEntryPoint) {
    run_options o;
    use_half_precision_group(o);
    ASSERT_FALSE(o.catalog.empty());
    EXPECT_STREQ(o.catalog.front().table, "half precision");
    EXPECT_NE(o.subject, execute_sve_instruction);
    EXPECT_NE(o.correct_reference, nullptr);
}

TEST(HalfPrecisionGroup, ElementSizeFromVectorArrangementsAndHRegisters) {
    EXPECT_EQ(profile_from_disassembly("fadd h0, h1, h2").element_bytes, 2u);
    EXPECT_EQ(profile_from_disassembly("scvtf h0, w1, #3").element_bytes, 2u);
    EXPECT_EQ(profile_from_disassembly("fmla v0.8h, v1.8h, v2.h[7]").element_bytes, 2u);
    EXPECT_EQ(profile_from_disassembly("fmaxnmv h0, v1.4h").element_bytes, 2u);
    EXPECT_EQ(profile_from_disassembly("fadd v0.4s, v1.4s, v2.4s").element_bytes, 4u);
    EXPECT_TRUE(profile_from_disassembly("fcvtzs w0, h1").floating);
    // A Z operand still decides for SVE words.
    EXPECT_EQ(profile_from_disassembly("fadda h0, p0/m, h0, z1.h").element_bytes, 2u);
    EXPECT_EQ(profile_from_disassembly("lasta h0, p0, z1.h").element_bytes, 2u);
}

}  // namespace
}  // namespace conformance
