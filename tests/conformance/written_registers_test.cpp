// The DynamoRIO client loads back, after a run, only the V and X registers that
// registers_written names for the run's words; a word that wrote any other
// would lose its result there. Every implemented handler runs here on generated
// cases (memory operands inside the window, edge-biased registers), and every V
// register (low 128 bits of Z) and X register it changed must be in the set.
// The client also runs a stretch of words without a fault guard when none of
// them may access memory: every word with an address operand must say it may.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <unistd.h>
#include <vector>

#include "sve/decode/emulated_words.h"
#include "sve/decode/sve_utils.h"
#include "tools/conformance/disassembler.h"
#include "tools/conformance/harness.h"
#include "tools/conformance/subject_runner.h"

namespace conformance {
namespace {

cpu_state g_before;
std::map<std::string, std::string> g_escapes;  // handler -> first word that wrote outside its set
const char *g_handler = nullptr;

aarch64_decode_rc checking_subject(cpu_state *st) {
    std::memcpy(&g_before, st, sizeof g_before);
    const aarch64_decode_rc rc = execute_sve_instruction(st);
    uint32_t w;
    std::memcpy(&w, g_before.pc, sizeof w);
    const written_registers allowed = registers_written(w);
    for (unsigned n = 0; n < 32; ++n) {
        const bool v_changed = std::memcmp(st->z[n], g_before.z[n], 16) != 0;
        const bool x_changed = n < 31 && st->x[n] != g_before.x[n];
        if ((v_changed && !((allowed.v >> n) & 1)) || (x_changed && !((allowed.x >> n) & 1))) {
            char what[64];
            std::snprintf(what, sizeof what, "0x%08x wrote %c%u", w, v_changed ? 'v' : 'x', n);
            g_escapes.emplace(g_handler, what);
        }
    }
    return rc;
}

TEST(WrittenRegisters, EveryHandlerWritesOnlyTheRegistersItsWordNames) {
    const run_options o = default_options();
    if (access(o.llvm_mc.c_str(), X_OK) != 0) GTEST_SKIP() << "llvm-mc missing";
    constexpr uint64_t kSeed = 3;
    constexpr unsigned kCasesPerHandler = 12;
    size_t count = 0;
    const sve_handler_info *all = sve_handler_catalog(&count);

    struct planned {
        const sve_handler_info *info;
        uint64_t index;
        uint32_t word;
    };
    std::vector<planned> plan;
    std::vector<uint32_t> words;
    for (size_t h = 0; h < count; ++h) {
        if (!all[h].implemented) continue;
        for (uint64_t k = 0; k < kCasesPerHandler * 3; ++k) {
            const uint32_t w = generate_word(all[h].name, all[h].fixed_mask, all[h].fixed_value, kSeed, k);
            plan.push_back({&all[h], k, w});
            words.push_back(w);
        }
    }
    std::vector<disassembly> dis;
    std::string error;
    ASSERT_TRUE(disassemble_plain_sve(o.llvm_mc, words, dis, error)) << error;
    ASSERT_TRUE(prepare_subject(hash_name("window") ^ kSeed, error)) << error;

    std::map<const sve_handler_info *, unsigned> ran;
    unsigned slot = 0, total = 0;
    for (size_t i = 0; i < plan.size(); ++i) {
        const planned &p = plan[i];
        if (!dis[i].valid || ran[p.info] >= kCasesPerHandler) continue;
        // An address operand follows ", ["; an element index ("z2.s[1]") does not,
        // and ADR computes addresses without accessing them.
        if (dis[i].text.find(", [") != std::string::npos && dis[i].text.rfind("adr ", 0) != 0 &&
            !may_access_memory(p.word))
            g_escapes.emplace(p.info->name, "addresses memory, but may_access_memory says no");
        const word_profile profile = profile_from_disassembly(dis[i].text);
        case_input in{};
        generate_case(p.info->name, kSeed, p.index, p.word, profile, in);
        in.header.pc = slot_pc(slot++ % kCodeSlots);
        case_result out;
        g_handler = p.info->name;
        run_subject(checking_subject, in, out);
        ++ran[p.info];
        ++total;
    }
    // Nearly every handler has plain-SVE words among its attempts.
    EXPECT_GT(ran.size(), count * 9 / 10);
    EXPECT_GT(total, 10000u);
    for (const auto &[handler, what] : g_escapes) ADD_FAILURE() << handler << ": " << what;
}

}  // namespace
}  // namespace conformance
