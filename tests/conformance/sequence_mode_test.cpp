// Sequence mode: the rules that keep a block defined (MOVPRFX successors,
// registers that must survive until their reader), and runs against the
// reference: an intact core agrees, a fault in one handler is found, shrunk to
// the word that carries it, and replays alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "sve/decode/sve_utils.h"
#include "tests/conformance/reference_support.h"
#include "tools/conformance/sequence_mode.h"

namespace conformance {
namespace {

TEST(SequenceRules, MovprfxPrecedesOnlyDestructiveFormsWhoseDestinationIsNotAlsoASource) {
    struct row {
        const char *text;
        bool unpredicated, predicated;
    };
    const row rows[] = {
        {"add z0.b, p0/m, z0.b, z1.b", true, true},     // Zdn, merging
        {"add z0.b, p0/m, z0.b, z0.b", false, false},    // Zd also the other source
        {"abs z3.h, p1/m, z4.h", true, true},            // unary merging
        {"abs z3.h, p1/m, z3.h", false, false},          // ... reading its own destination
        {"lsl z2.s, p2/m, z2.s, #3", true, true},        // Zdn with an immediate
        {"mla z5.d, p3/m, z6.d, z7.d", true, true},      // Zda
        {"mla z5.d, p3/m, z5.d, z7.d", false, false},    // Zda also a multiplicand
        {"fcvtzs z0.s, p0/m, z1.d", true, false},        // sizes differ: unpredicated prefix only
        {"add z0.b, z0.b, #1", true, false},             // unpredicated Zdn, immediate
        {"add z0.b, z1.b, z2.b", false, false},          // constructive
        {"add z0.b, z0.b, z2.b", false, false},          // constructive, registers coincide
        {"ext z4.b, z4.b, z5.b, #3", true, false},
        {"sdot z0.s, z1.b, z2.b", true, false},
        {"sdot z0.s, z0.b, z2.b", false, false},
        {"cmpeq p0.b, p1/z, z0.b, z1.b", false, false},  // predicate destination
        {"ld1b { z0.b }, p0/z, [x0]", false, false},
        {"sel z0.b, p0, z1.b, z2.b", false, false},
        {"cpy z0.b, p0/z, #1", false, false},            // zeroing
        {"cpy z0.b, p0/m, w1", true, true},
    };
    for (const row &r : rows) {
        const sequence_word_rules s = sequence_rules(r.text);
        EXPECT_EQ(s.prefixable, r.unpredicated) << r.text;
        EXPECT_EQ(s.prefixable_predicated, r.predicated) << r.text;
    }
}

TEST(SequenceRules, WhatAWordWritesAndWhatMustSurviveUntilItRuns) {
    sequence_word_rules r = sequence_rules("ld1d { z0.d }, p1/z, [x2, z3.d, lsl #3]");
    EXPECT_EQ(r.writes_z, 1u << 0);
    EXPECT_EQ(r.sensitive_x, 1u << 2);
    EXPECT_EQ(r.sensitive_z, 1u << 3);
    EXPECT_EQ(r.sensitive_p, 0u) << "a gather may take any governing predicate";

    r = sequence_rules("ldff1w { z7.s }, p5/z, [sp, x4, lsl #2]");
    EXPECT_EQ(r.sensitive_x, (1u << 31) | (1u << 4));
    EXPECT_EQ(r.sensitive_p, 1u << 5) << "element 0 of a contiguous first-fault load stays active";

    r = sequence_rules("ld3b { z30.b, z31.b, z0.b }, p0/z, [x1]");
    EXPECT_EQ(r.writes_z, (1u << 30) | (1u << 31) | 1u);

    r = sequence_rules("st1w { z2.s }, p3, [x5, #1, mul vl]");
    EXPECT_EQ(r.writes_z | r.writes_p | r.writes_x, 0u) << "a store writes no register";
    EXPECT_EQ(r.sensitive_x, 1u << 5);

    r = sequence_rules("wrffr p6.b");
    EXPECT_EQ(r.writes_p, 0u);
    EXPECT_EQ(r.sensitive_p, 1u << 6) << "its operand must stay a run of ones";

    r = sequence_rules("incd x3, all, mul #2");
    EXPECT_EQ(r.writes_x, 1u << 3);
    r = sequence_rules("addvl sp, sp, #1");
    EXPECT_EQ(r.writes_x, 1u << 31);
    r = sequence_rules("ptest p1, p2.b");
    EXPECT_EQ(r.writes_p, 0u);
}

// SUB (vectors, predicated) on words with one byte of the result flipped.
aarch64_decode_rc broken_sub(cpu_state *st) {
    uint32_t w;
    std::memcpy(&w, st->pc, 4);
    const aarch64_decode_rc rc = execute_sve_instruction(st);
    if (rc == DECODE_OK && (w & 0xFF3FE000) == 0x04010000) st->z[w & 31][7] ^= 0x40;
    return rc;
}

struct SequenceRun : ::testing::Test {
    run_options options = default_options();
    FILE *sink = nullptr;
    void SetUp() override {
        if (!reference_available(options)) GTEST_SKIP() << "reference probe, qemu or llvm-mc missing";
        sink = std::tmpfile();
        options.out = sink;
        options.seed = 5;
    }
    void TearDown() override {
        if (sink) std::fclose(sink);
    }
    std::string report() { return sink_text(sink); }
};

TEST_F(SequenceRun, TheCoreAgreesOnRandomBlocks) {
    sequence_summary s;
    ASSERT_EQ(run_sequences(options, 200, -1, s), 0) << s.error << report();
    EXPECT_EQ(s.run, 200u);
    EXPECT_EQ(s.agree, 200u);
    EXPECT_GT(s.words, 200u * 6) << "blocks of 2 to 16 words";
    EXPECT_GT(s.movprfx, 50u);
    EXPECT_GT(s.first_fault, 20u);
    EXPECT_LT(s.unallocated + s.reference_fault, 20u);
    EXPECT_EQ(sequence_line(s), "sequences: 200 run, 200 agree, 0 disagree");
}

TEST_F(SequenceRun, AFaultIsShrunkToItsWordAndReplaysAlone) {
    // Blocks drawn from a few handlers, SUB among them, so that most blocks
    // contain it somewhere in the middle.
    options.patterns = {"VecU*SubVVM", "VecU*AddVVX", "VecPFalse", "VecU*MovePrefix*"};
    options.subject = broken_sub;
    sequence_summary s;
    ASSERT_EQ(run_sequences(options, 40, -1, s), 1) << s.error;
    EXPECT_GT(s.disagree, 10u);
    const std::string text = report();
    const size_t at = text.find("--sequence ");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_NE(text.find("shortest disagreeing sequence: 1 of its"), std::string::npos) << text;
    EXPECT_NE(text.find(" 0  0x"), std::string::npos);
    EXPECT_NE(text.find("sub z"), std::string::npos) << "the word left is the broken one\n" << text;

    const int64_t index = std::stoll(text.substr(at + 11));
    sequence_summary one;
    EXPECT_EQ(run_sequences(options, 1, index, one), 1);
    EXPECT_EQ(one.run, 1u);
    EXPECT_EQ(one.disagree, 1u);
}

}  // namespace
}  // namespace conformance
