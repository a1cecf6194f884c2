// The harness checks itself against the reference: a deliberately broken handler
// (compiled only into this test) must be reported as exactly the one handler
// that disagrees, and a build whose handlers are all placeholders must show no
// agreement at all, not even for instructions that change nothing (prefetches).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <unistd.h>

#include "sve/decode/sve_utils.h"
#include "sve/state/guarded_memory.h"
#include "tests/conformance/reference_support.h"
#include "tools/conformance/harness.h"

namespace conformance {
namespace {

// Handlers of the first slice, of several shapes.
const std::vector<std::string> kSlice = {"VecU8AddVVX", "VecU32SubVVM", "VecU64AddVIX", "VecPFalse",
                                         "VecP16TrueI", "VecPReadFFSRP", "VecU64Prefetch1SV", "VecS64VLX"};
const char *const kBroken = "VecU32SubVVM";

// VecU32SubVVM with one bit of its result flipped.
aarch64_decode_rc broken_subject(cpu_state *st) {
    uint32_t word;
    std::memcpy(&word, st->pc, 4);
    const sve_handler_info *h = sve_find_handler(kBroken);
    aarch64_decode_rc rc = execute_sve_instruction(st);
    if (rc == DECODE_OK && h != nullptr && (word & h->fixed_mask) == h->fixed_value) st->z[word & 31][5] ^= 0x10;
    return rc;
}

aarch64_decode_rc placeholder_subject(cpu_state *) { return DECODE_UNIMPLEMENTED; }

// VecU32SubVVM writing to a page below the memory window, which has no access.
aarch64_decode_rc faulting_subject(cpu_state *st) {
    uint32_t word;
    std::memcpy(&word, st->pc, 4);
    const sve_handler_info *h = sve_find_handler(kBroken);
    if (h != nullptr && (word & h->fixed_mask) == h->fixed_value)
        *reinterpret_cast<volatile uint8_t *>(kWindowBase - kPageBytes) = 1;
    return execute_sve_instruction(st);
}

// LDR and STR (vector), written here from the architecture's definition, so that
// the memory window is exercised on both sides whatever the core implements.
// With `off_by_one` the store writes one byte of the register wrongly.
template <bool off_by_one>
aarch64_decode_rc fill_spill_subject(cpu_state *st) {
    uint32_t w;
    std::memcpy(&w, st->pc, 4);
    const bool store = (w & 0xFFC0E000) == 0xE5804000, load = (w & 0xFFC0E000) == 0x85804000;
    if (!store && !load) return execute_sve_instruction(st);
    const unsigned t = w & 31, n = (w >> 5) & 31;
    int imm = static_cast<int>(((w >> 16) & 0x3F) << 3 | ((w >> 10) & 7));
    if (imm & 0x100) imm -= 0x200;
    const uint64_t base = n == 31 ? st->sp : st->x[n];
    unsigned char *at = reinterpret_cast<unsigned char *>(base + static_cast<uint64_t>(int64_t{imm} * 256));
    if (store) {
        std::memcpy(at, st->z[t], 256);
        if (off_by_one) at[255] ^= 1;
    } else {
        std::memcpy(st->z[t], at, 256);
    }
    st->pc += 4;
    return DECODE_OK;
}

// LDFF1B (scalar plus scalar, bytes), written here from the architecture's
// definition with the core's fault-safe reads. `Early` suppresses every element
// after the first active one, which the architecture allows; `KeepFfr` forgets to
// clear FFR for faulting elements, which it does not.
enum class ff_variant { exact, early, keep_ffr };
template <ff_variant V>
aarch64_decode_rc first_fault_subject(cpu_state *st) {
    uint32_t w;
    std::memcpy(&w, st->pc, 4);
    if ((w & 0xFFE0E000) != 0xA4006000) return execute_sve_instruction(st);
    const unsigned t = w & 31, n = (w >> 5) & 31, g = (w >> 10) & 7, m = (w >> 16) & 31;
    const uint64_t base = (n == 31 ? st->sp : st->x[n]) + (m == 31 ? 0 : st->x[m]);
    bool first = true, faulted = false;
    for (unsigned e = 0; e < 256; ++e) {
        uint8_t data = 0;
        if (st->p[g][e] & 1) {
            bool ok = sve_safe_read(reinterpret_cast<const void *>(base + e), &data, 1);
            if (!ok && first) return DECODE_UNIMPLEMENTED;  // a real fault: not exercised here
            if (!ok || (V == ff_variant::early && !first)) faulted = true;
            first = false;
        }
        if (faulted && V != ff_variant::keep_ffr) st->ffr[e] = 0;
        if (!faulted) st->z[t][e] = data;
    }
    st->pc += 4;
    return DECODE_OK;
}

std::set<std::string> disagreeing(const run_summary &s) {
    std::set<std::string> out;
    for (const handler_outcome &h : s.outcomes)
        if (h.disagree) out.insert(h.name);
    return out;
}

struct HarnessSelfCheck : ::testing::Test {
    run_options options = default_options();
    FILE *sink = nullptr;
    void SetUp() override {
        if (!reference_available(options)) GTEST_SKIP() << "reference probe, qemu or llvm-mc missing";
        sink = std::tmpfile();
        options.out = sink;
        options.patterns = kSlice;
        options.cases = 12;
        options.seed = 99;
    }
    void TearDown() override {
        if (sink) std::fclose(sink);
    }
    std::string report() { return sink_text(sink); }
};

TEST_F(HarnessSelfCheck, ABrokenHandlerIsTheOneReportedAsDisagreeing) {
    const sve_handler_info *h = sve_find_handler(kBroken);
    ASSERT_NE(h, nullptr);
    if (!h->implemented) GTEST_SKIP() << kBroken << " is not implemented in this build";

    run_summary intact;
    ASSERT_NE(run_conformance(options, intact), 2) << intact.error;
    options.subject = broken_subject;
    run_summary broken;
    ASSERT_EQ(run_conformance(options, broken), 1) << broken.error;

    std::set<std::string> expected = disagreeing(intact);
    expected.insert(kBroken);
    EXPECT_EQ(disagreeing(broken), expected);
    for (const handler_outcome &o : broken.outcomes) {
        if (o.name != kBroken) continue;
        EXPECT_EQ(o.agree, 0u) << "every case of the broken handler differs in one bit";
        EXPECT_EQ(o.disagree, o.run);
        EXPECT_GT(o.run, 0u);
    }
    const std::string text = report();
    EXPECT_NE(text.find("first disagreement"), std::string::npos);
    EXPECT_NE(text.find("bytes 0..15"), std::string::npos) << "the flipped byte 5 lies in the first block";
    EXPECT_NE(text.find("sub z"), std::string::npos) << "the report names the instruction";
}

TEST_F(HarnessSelfCheck, ASubjectThatFaultsIsReportedAndTheRunGoesOn) {
    const sve_handler_info *h = sve_find_handler(kBroken);
    ASSERT_NE(h, nullptr);
    if (!h->implemented) GTEST_SKIP() << kBroken << " is not implemented in this build";
    run_summary intact;
    ASSERT_NE(run_conformance(options, intact), 2) << intact.error;
    options.subject = faulting_subject;
    run_summary faulting;
    ASSERT_EQ(run_conformance(options, faulting), 1) << faulting.error;
    std::set<std::string> expected = disagreeing(intact);
    expected.insert(kBroken);
    EXPECT_EQ(disagreeing(faulting), expected);
    EXPECT_NE(report().find("subject faulted"), std::string::npos);
    // Every case still ran: a fault ends its case, not the run.
    EXPECT_EQ(faulting.cases_run, intact.cases_run);
}

TEST_F(HarnessSelfCheck, TheMemoryWindowIsComparedOnBothSides) {
    size_t n = 0;
    const sve_handler_info *all = sve_handler_catalog(&n);
    options.catalog.assign(all, all + n);
    for (sve_handler_info &h : options.catalog)
        if (std::strcmp(h.name, "VecU64SpillSI") == 0 || std::strcmp(h.name, "VecU64FillSI") == 0) h.implemented = true;
    options.patterns = {"VecU64SpillSI", "VecU64FillSI"};
    options.cases = 24;

    options.subject = fill_spill_subject<false>;
    run_summary right;
    EXPECT_EQ(run_conformance(options, right), 0) << report();
    EXPECT_EQ(right.agree, 2u);
    EXPECT_EQ(right.cases_agree, 48u) << "every case in the window, none faulting";

    options.subject = fill_spill_subject<true>;
    run_summary wrong;
    EXPECT_EQ(run_conformance(options, wrong), 1);
    EXPECT_EQ(disagreeing(wrong), std::set<std::string>{"VecU64SpillSI"});
    EXPECT_NE(report().find("memory at 0x"), std::string::npos);
}

TEST_F(HarnessSelfCheck, FirstFaultLoadsMayStopEarlierButNotLater) {
    size_t n = 0;
    const sve_handler_info *all = sve_handler_catalog(&n);
    options.catalog.assign(all, all + n);
    for (sve_handler_info &h : options.catalog)
        if (std::strcmp(h.name, "VecU8CLoadFF1LSSZ") == 0) h.implemented = true;
    options.patterns = {"VecU8CLoadFF1LSSZ"};
    options.cases = 40;

    run_summary s;
    options.subject = first_fault_subject<ff_variant::exact>;
    EXPECT_EQ(run_conformance(options, s), 0) << report();
    EXPECT_EQ(s.cases_agree, 40u);
    options.subject = first_fault_subject<ff_variant::early>;
    EXPECT_EQ(run_conformance(options, s), 0) << report();
    EXPECT_EQ(s.cases_agree, 40u);
    options.subject = first_fault_subject<ff_variant::keep_ffr>;
    EXPECT_EQ(run_conformance(options, s), 1);
    EXPECT_NE(report().find("has no access"), std::string::npos);
}

TEST_F(HarnessSelfCheck, AnAllPlaceholderBuildShowsNoAgreement) {
    size_t n = 0;
    const sve_handler_info *all = sve_handler_catalog(&n);
    options.catalog.assign(all, all + n);
    for (sve_handler_info &h : options.catalog) h.implemented = false;
    options.subject = placeholder_subject;

    run_summary s;
    EXPECT_EQ(run_conformance(options, s), 0) << "nothing implemented, nothing run, nothing wrong";
    EXPECT_EQ(s.implemented, 0u);
    EXPECT_EQ(s.agree + s.disagree + s.skipped, 0u);

    options.include_unimplemented = true;  // run the placeholders anyway
    EXPECT_EQ(run_conformance(options, s), 1);
    EXPECT_EQ(s.agree, 0u);
    EXPECT_EQ(s.cases_agree, 0u);
    EXPECT_EQ(s.disagree, kSlice.size());
    EXPECT_NE(summary_line(s).find("1483 handlers, 0 implemented, 0 agree"), std::string::npos) << summary_line(s);
}

TEST_F(HarnessSelfCheck, OneCaseReplaysAloneWithTheSameOutcome) {
    options.patterns = {kBroken};
    options.subject = broken_subject;
    run_summary all;
    ASSERT_EQ(run_conformance(options, all), 1) << all.error;
    ASSERT_EQ(all.outcomes.size(), 1u);
    const std::string first = all.outcomes[0].first_disagreement;
    size_t at = first.find("case ");
    ASSERT_NE(at, std::string::npos);
    options.only_case = std::stoll(first.substr(at + 5));

    run_summary one;
    EXPECT_EQ(run_conformance(options, one), 1);
    ASSERT_EQ(one.outcomes.size(), 1u);
    EXPECT_EQ(one.outcomes[0].run, 1u);
    // The same word and the same state, so the same differences; only the pc (a
    // slot of the batch, not part of the case) may differ.
    const std::string again = one.outcomes[0].first_disagreement;
    auto word_of = [](const std::string &s) { return s.substr(s.find("word "), 15); };
    auto rest_of = [](const std::string &s) { return s.substr(s.find("operand fields")); };
    EXPECT_EQ(word_of(again), word_of(first));
    EXPECT_EQ(rest_of(again), rest_of(first));
}

// A host's probe stands in for the core as subject. The reference probe itself,
// run a second time on QEMU's SVE, is a host that agrees everywhere: the results
// must pair up with their cases even where the reference skipped some.
std::vector<std::string> reference_as_host(const run_options &o) {
    return {o.qemu, "-cpu", "max,sve-default-vector-length=256", o.probe};
}

TEST_F(HarnessSelfCheck, AHostProbeSubjectPairsEachResultWithItsCase) {
    // VecPReadFFSRP and VecU64AddVIX draw encodings that the reference rejects.
    run_summary in_process;
    ASSERT_EQ(run_conformance(options, in_process), 0) << in_process.error;
    options.subject_probe_command = reference_as_host(options);
    run_summary hosted;
    ASSERT_EQ(run_conformance(options, hosted), 0) << hosted.error << report();
    EXPECT_EQ(hosted.agree, kSlice.size());
    EXPECT_EQ(hosted.cases_run, in_process.cases_run);
    EXPECT_EQ(hosted.cases_skipped, in_process.cases_skipped);
}

TEST_F(HarnessSelfCheck, AHostProbeThatDiesCostsOnlyTheCaseItDiedOn) {
    // The probe sees a stream cut in the middle of its third case: it answers
    // two, ends, and is started again for the rest, every time.
    const size_t cut = sizeof(wire_batch_header) + 2 * sizeof(case_input) + sizeof(case_input) / 2;
    std::vector<std::string> host = reference_as_host(options);
    std::string command = "head -c " + std::to_string(cut) + " | exec";
    for (const std::string &a : host) command += " '" + a + "'";
    options.subject_probe_command = {"/bin/sh", "-c", command};
    options.patterns = {"VecU8AddVVX"};
    run_summary s;
    ASSERT_EQ(run_conformance(options, s), 1) << s.error;
    ASSERT_EQ(s.outcomes.size(), 1u);
    const handler_outcome &h = s.outcomes[0];
    EXPECT_EQ(h.run, options.cases);
    EXPECT_EQ(h.disagree, options.cases / 3);
    EXPECT_EQ(h.agree, options.cases - options.cases / 3);
    EXPECT_NE(h.first_disagreement.find("case 2,"), std::string::npos) << h.first_disagreement;
}

TEST_F(HarnessSelfCheck, AHostProbeThatNeverAnswersStopsTheRun) {
    options.subject_probe_command = {"/bin/false"};
    run_summary s;
    EXPECT_EQ(run_conformance(options, s), 2);
    EXPECT_NE(s.error.find("before its first result"), std::string::npos) << s.error;
}

}  // namespace
}  // namespace conformance
