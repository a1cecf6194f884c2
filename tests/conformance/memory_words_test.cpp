// A host runs a stretch of words without a fault guard when none of them may
// access memory (the DynamoRIO client's register-only runs): every word with an
// address operand must say it may. Generated words of every implemented
// handler, as llvm-mc reads them.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "sve/decode/emulated_words.h"
#include "sve/decode/sve_utils.h"
#include "tools/conformance/disassembler.h"
#include "tools/conformance/harness.h"

namespace conformance {
namespace {

TEST(MemoryWords, EveryWordWithAnAddressOperandMayAccessMemory) {
    const run_options o = default_options();
    if (access(o.llvm_mc.c_str(), X_OK) != 0) GTEST_SKIP() << "llvm-mc missing";
    constexpr uint64_t kSeed = 3;
    constexpr unsigned kWordsPerHandler = 36;
    size_t count = 0;
    const sve_handler_info *all = sve_handler_catalog(&count);
    std::vector<const sve_handler_info *> of;
    std::vector<uint32_t> words;
    for (size_t h = 0; h < count; ++h) {
        if (!all[h].implemented) continue;
        for (uint64_t k = 0; k < kWordsPerHandler; ++k) {
            of.push_back(&all[h]);
            words.push_back(generate_word(all[h].name, all[h].fixed_mask, all[h].fixed_value, kSeed, k));
        }
    }
    std::vector<disassembly> dis;
    std::string error;
    ASSERT_TRUE(disassemble_plain_sve(o.llvm_mc, words, dis, error)) << error;
    std::map<std::string, uint32_t> escapes;  // handler -> first such word
    std::map<const sve_handler_info *, unsigned> seen;
    unsigned addressed = 0;
    for (size_t i = 0; i < words.size(); ++i) {
        if (!dis[i].valid) continue;
        ++seen[of[i]];
        // An address operand follows ", ["; an element index ("z2.s[1]") does not,
        // and ADR computes addresses without accessing them.
        if (dis[i].text.find(", [") == std::string::npos || dis[i].text.rfind("adr ", 0) == 0) continue;
        ++addressed;
        if (!may_access_memory(words[i])) escapes.emplace(of[i]->name, words[i]);
    }
    // Nearly every handler has plain-SVE words among its attempts, and the
    // memory groups are a good part of them.
    EXPECT_GT(seen.size(), count * 9 / 10);
    EXPECT_GT(addressed, 5000u);
    for (const auto &[handler, word] : escapes)
        ADD_FAILURE() << handler << ": 0x" << std::hex << word << " addresses memory, but may_access_memory says no";
}

}  // namespace
}  // namespace conformance
