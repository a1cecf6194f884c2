// Explanations of words that could not be emulated: one case per class, the
// instruction names against llvm-mc, the location, and the buffer's bounds.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "sve/support/diagnose.h"
#include "tooling_test_support.h"

namespace {

std::string explain(uint32_t word, bool has_fp16, const void *pc = reinterpret_cast<const void *>(&getpid)) {
    char buf[1024];
    sve_explain_failure(word, pc, has_fp16, buf, sizeof buf);
    return buf;
}

std::string reason_line(const std::string &text) {
    const size_t at = text.find("  reason: ");
    return at == std::string::npos ? "" : text.substr(at + 10, text.find('\n', at) - at - 10);
}

TEST(Diagnose, ExplanationIsThreeLinesAfterTheHostsFirstLine) {
    const std::string text = explain(0x04226020u, false);  // mul z0.b, z1.b, z2.b (SVE2)
    ASSERT_EQ(text.rfind("  instruction: ", 0), 0u) << text;
    EXPECT_NE(text.find("\n  location: "), std::string::npos) << text;
    EXPECT_NE(text.find("\n  reason: "), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3) << text;
    EXPECT_EQ(text.back(), '\n');
}

TEST(Diagnose, Sve2InstructionsAreNamedAsSuch) {
    for (uint32_t word : {0x04226020u /* mul z0.b, z1.b, z2.b */, 0x04a27020u /* sqdmulh z0.s */,
                          0x05232820u /* tbl z0.b, {z1.b, z2.b}, z3.b */, 0x25a11000u /* whilege p0.s */,
                          0x45a2c020u /* histcnt z0.s */, 0x45626020u /* addhnb z0.b */}) {
        const sve_failure_diagnosis d = sve_diagnose_word(word, false);
        EXPECT_EQ(d.kind, sve_failure_kind::sve2) << std::hex << word;
        EXPECT_NE(reason_line(explain(word, false)).find("SVE2"), std::string::npos);
    }
}

TEST(Diagnose, OptionalSveExtensionsAreNamedAsSuch) {
    for (uint32_t word : {0x45029820u /* smmla z0.s, z1.b, z2.b */, 0x64628020u /* bfdot z0.s, z1.h, z2.h */})
        EXPECT_EQ(sve_diagnose_word(word, false).kind, sve_failure_kind::sve_extension) << std::hex << word;
}

TEST(Diagnose, SmeInstructions) {
    for (uint32_t word : {0x80812000u /* fmopa za0.s */, 0xe09f0000u /* ld1w {za0h.s[w12, 0]} */,
                          0xd503477fu /* smstart */}) {
        EXPECT_EQ(sve_diagnose_word(word, false).kind, sve_failure_kind::sme) << std::hex << word;
        EXPECT_NE(reason_line(explain(word, false)).find("SME"), std::string::npos);
    }
}

TEST(Diagnose, ReservedEncodingsInTheSveSpace) {
    // Words of the SVE space that no SVE, SVE2 or extension instruction uses.
    for (uint32_t word : {0x8482c9b0u, 0xa4b791f7u, 0x05ae421bu, 0x04be5bb2u, 0x24c2f2b3u}) {
        ASSERT_EQ(is_sve(word), nullptr) << std::hex << word;
        EXPECT_EQ(sve_diagnose_word(word, false).kind, sve_failure_kind::reserved) << std::hex << word;
        EXPECT_NE(reason_line(explain(word, false)).find("reserved"), std::string::npos);
    }
}

TEST(Diagnose, HalfPrecisionOnlyWithoutFp16) {
    const uint32_t fadd_h = 0x1ee22820u;  // fadd h0, h1, h2
    EXPECT_EQ(sve_diagnose_word(fadd_h, false).kind, sve_failure_kind::half_precision);
    EXPECT_NE(reason_line(explain(fadd_h, false)).find("FEAT_FP16"), std::string::npos);
    // With FP16 the processor would have run it: the trap has another cause.
    EXPECT_EQ(sve_diagnose_word(fadd_h, true).kind, sve_failure_kind::not_sve);
    // Single precision is Armv8.0.
    EXPECT_EQ(sve_diagnose_word(0x1e222820u /* fadd s0, s1, s2 */, false).kind, sve_failure_kind::not_sve);
}

TEST(Diagnose, NotAnSveInstruction) {
    for (uint32_t word : {0x00000000u /* udf #0 */, 0x4e284820u /* aese v0.16b, v1.16b */}) {
        EXPECT_EQ(sve_diagnose_word(word, false).kind, sve_failure_kind::not_sve) << std::hex << word;
        const std::string text = explain(word, false);
        EXPECT_NE(reason_line(text).find("not an SVE instruction"), std::string::npos) << text;
        EXPECT_NE(text.find("not in the emulator's tables"), std::string::npos) << text;
    }
}

TEST(Diagnose, UnimplementedEntriesAreNamedFromTheTables) {
    size_t count = 0;
    const sve_handler_info *catalog = sve_handler_catalog(&count);
    int seen = 0;
    for (size_t i = 0; i < count && seen < 20; ++i) {
        if (catalog[i].implemented) continue;
        const uint32_t word = catalog[i].fixed_value;
        if (sve_entry_index_of(word) != static_cast<long>(i)) continue;
        ++seen;
        const sve_failure_diagnosis d = sve_diagnose_word(word, false);
        EXPECT_EQ(d.kind, sve_failure_kind::unimplemented) << catalog[i].name;
        const std::string text = explain(word, false);
        EXPECT_NE(text.find(catalog[i].name), std::string::npos) << text;
        EXPECT_NE(reason_line(text).find("not emulated yet"), std::string::npos) << text;
    }
    if (seen == 0) GTEST_SKIP() << "every dispatch entry is implemented";
}

TEST(Diagnose, InstructionNamesAgreeWithLlvmMc) {
    // Two random fillings of every entry, named from our templates and by
    // llvm-mc (plain SVE); aliases that llvm-mc prefers for some operand
    // values and operands not read from one field account for the rest.
    size_t count = 0;
    const sve_handler_info *catalog = sve_handler_catalog(&count);
    std::mt19937 rng(7);
    std::vector<uint32_t> words;
    for (size_t i = 0; i < count; ++i)
        for (int k = 0; k < 2; ++k) {
            const uint32_t w = catalog[i].fixed_value | (static_cast<uint32_t>(rng()) & ~catalog[i].fixed_mask);
            if (sve_entry_index_of(w) == static_cast<long>(i)) words.push_back(w);
        }
    std::vector<std::string> reference;
    std::string error;
    if (!tooling_test::llvm_mc_disassemble(words, "+sve", reference, error)) GTEST_SKIP() << error;
    size_t compared = 0, same = 0;
    std::string examples;
    for (size_t i = 0; i < words.size(); ++i) {
        if (reference[i].empty()) continue;  // not a valid plain-SVE filling
        char ours[160];
        ASSERT_TRUE(sve_format_instruction(words[i], ours, sizeof ours));
        ++compared;
        if (reference[i] == ours) ++same;
        else if (examples.size() < 2000) examples += "\n  llvm-mc: " + reference[i] + "\n  ours:    " + ours;
    }
    ASSERT_GT(compared, count);
    EXPECT_GE(static_cast<double>(same) / compared, 0.90) << same << " of " << compared << examples;
}

TEST(Diagnose, EncodingClassesAgreeWithLlvmMc) {
    // Random SVE-space words that no dispatch entry holds, classified by
    // llvm-mc under SVE2 and the extensions, and by our decision list.
    std::mt19937 rng(11);
    std::vector<uint32_t> words;
    while (words.size() < 3000) {
        const uint32_t w = (static_cast<uint32_t>(rng()) & ~0x1E000000u) | 0x04000000u;
        if (is_sve(w) == nullptr) words.push_back(w);
    }
    std::vector<std::string> plain, ext, sve2;
    std::string error;
    if (!tooling_test::llvm_mc_disassemble(words, "+sve", plain, error) ||
        !tooling_test::llvm_mc_disassemble(words, "+sve,+bf16,+i8mm,+f32mm,+f64mm", ext, error) ||
        !tooling_test::llvm_mc_disassemble(
            words, "+sve2,+sve2-bitperm,+sve2-aes,+sve2-sha3,+sve2-sm4,+bf16,+i8mm,+f32mm,+f64mm", sve2, error))
        GTEST_SKIP() << error;
    size_t compared = 0, same = 0;
    std::map<std::string, int> confusions;
    for (size_t i = 0; i < words.size(); ++i) {
        if (!plain[i].empty()) continue;
        const sve_failure_kind expected = !ext[i].empty()    ? sve_failure_kind::sve_extension
                                          : !sve2[i].empty() ? sve_failure_kind::sve2
                                                             : sve_failure_kind::reserved;
        const sve_failure_kind got = sve_diagnose_word(words[i], false).kind;
        ++compared;
        if (got == expected) ++same;
        else ++confusions[std::to_string(static_cast<int>(expected)) + "->" + std::to_string(static_cast<int>(got))];
    }
    std::string summary;
    for (const auto &[k, n] : confusions) summary += " " + k + ":" + std::to_string(n);
    EXPECT_GE(static_cast<double>(same) / compared, 0.97) << same << " of " << compared << summary;
}

TEST(Diagnose, LocationNamesSymbolAndObject) {
    char buf[512];
    // Inside a function of the C library: its name and the offset in the
    // library's file, or (where the loader finds no symbol) the offset in the file.
    sve_format_location(reinterpret_cast<const char *>(&getpid) + 8, buf, sizeof buf);
    const std::string text = buf;
    EXPECT_TRUE(text.find("getpid+0x8 in ") != std::string::npos ||
                (text.find("libc") != std::string::npos && text.find(".so") != std::string::npos &&
                 text.find("+0x") != std::string::npos))
        << text;
    EXPECT_NE(text.find("libc"), std::string::npos) << text;
    // Nothing known: the address itself.
    sve_format_location(reinterpret_cast<const void *>(0x10), buf, sizeof buf);
    EXPECT_STREQ(buf, "0x10");
}

TEST(Diagnose, HostResolverReplacesDladdr) {
    sve_set_location_resolver([](const void *pc, sve_code_location *out) {
        out->object = "/opt/app";
        out->object_base = reinterpret_cast<uintptr_t>(pc) - 0x40;
        return true;
    });
    char buf[128];
    sve_format_location(reinterpret_cast<const void *>(0x1000), buf, sizeof buf);
    sve_set_location_resolver(nullptr);
    EXPECT_STREQ(buf, "/opt/app+0x40");
}

TEST(Diagnose, OutputIsBoundedAndTerminated) {
    char small[24];
    std::memset(small, 'x', sizeof small);
    const size_t n = sve_explain_failure(0x04226020u, nullptr, false, small, sizeof small);
    EXPECT_EQ(n, sizeof small - 1);
    EXPECT_EQ(small[sizeof small - 1], '\0');
    EXPECT_EQ(std::string(small), std::string("  instruction: 0x042260"));
}

}  // namespace
