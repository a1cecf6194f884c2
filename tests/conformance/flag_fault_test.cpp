// The quick pass (24 cases a handler, seed 1) must find a fault of the shared
// flag computation that shows only for one predicate shape: C wrong when the
// last active element of the governing predicate is element 0. Every family of
// flag-setting predicate instructions carries the fault, in a subject compiled
// only into this test, and each family must show it on its own handlers; for
// the families without a governing predicate (WHILE, PTRUES) the shape is that
// of the result.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <unistd.h>

#include "sve/decode/sve_utils.h"
#include "tests/conformance/reference_support.h"
#include "tools/conformance/harness.h"

namespace conformance {
namespace {

enum class mask_from : uint8_t { pg_10_4, pg_10_3, pg_5_4, result };

struct flag_family {
    const char *name;
    uint32_t mask, value;
    mask_from governing;
    bool sized;  // element size in bits 23..22; else bytes
};

const flag_family kFamilies[] = {
    {"ptest", 0xFFFFC21F, 0x2550C000, mask_from::pg_10_4, false},
    {"ands/bics/eors/orrs/orns/nors/nands", 0xFF70C000, 0x25404000, mask_from::pg_10_4, false},
    {"brkas/brkbs", 0xFF7FC000, 0x25504000, mask_from::pg_10_4, false},
    {"brkns", 0xFFFFC000, 0x25584000, mask_from::pg_10_4, false},
    {"brkpas/brkpbs", 0xFFF0C000, 0x2540C000, mask_from::pg_10_4, false},
    {"cmp<cc> (vectors, wide, unsigned immediate)", 0xFF000000, 0x24000000, mask_from::pg_10_3, true},
    {"cmp<cc> (signed immediate)", 0xFF20C000, 0x25000000, mask_from::pg_10_3, true},
    {"pfirst", 0xFFFFFE10, 0x2558C000, mask_from::pg_5_4, false},
    {"pnext", 0xFF3FFE10, 0x2519C400, mask_from::pg_5_4, true},
    {"rdffrs", 0xFFFFFE10, 0x2558F000, mask_from::pg_5_4, false},
    {"while<cc>", 0xFF20E000, 0x25200000, mask_from::result, true},
    {"ptrues", 0xFF3FFC10, 0x2519E000, mask_from::result, true},
};

bool only_element_zero_active(const unsigned char *pred, unsigned esize) {
    int last = -1;
    for (unsigned e = 0; e < 256 / esize; ++e)
        if (pred[e * esize] & 1) last = static_cast<int>(e);
    return last == 0;
}

aarch64_decode_rc flag_fault_subject(cpu_state *st) {
    uint32_t w;
    std::memcpy(&w, st->pc, 4);
    const flag_family *family = nullptr;
    for (const flag_family &f : kFamilies)
        if ((w & f.mask) == f.value) family = &f;
    if (family == nullptr) return execute_sve_instruction(st);
    const flag_family &f = *family;
    const unsigned esize = f.sized ? 1u << ((w >> 22) & 3) : 1u;
    bool hit = false;
    switch (f.governing) {
        case mask_from::pg_10_4: hit = only_element_zero_active(st->p[(w >> 10) & 15], esize); break;
        case mask_from::pg_10_3: hit = only_element_zero_active(st->p[(w >> 10) & 7], esize); break;
        case mask_from::pg_5_4: hit = only_element_zero_active(st->p[(w >> 5) & 15], esize); break;
        case mask_from::result: break;
    }
    const aarch64_decode_rc rc = execute_sve_instruction(st);
    if (f.governing == mask_from::result) hit = only_element_zero_active(st->p[w & 15], esize);
    if (rc == DECODE_OK && hit) st->nzcv ^= 1ull << 29;
    return rc;
}

// The implemented handlers whose key puts every word of them in the family.
std::vector<std::string> family_handlers(const flag_family &f) {
    size_t n = 0;
    const sve_handler_info *all = sve_handler_catalog(&n);
    std::vector<std::string> out;
    for (size_t i = 0; i < n; ++i) {
        const sve_handler_info &h = all[i];
        if (h.implemented && (f.mask & ~h.fixed_mask) == 0 && (h.fixed_value & f.mask) == f.value)
            out.push_back(h.name);
    }
    return out;
}

TEST(FlagFault, EveryFlagSettingFamilyCatchesCWrongForASingleFirstElement) {
    run_options o = default_options();
    if (!reference_available(o)) GTEST_SKIP() << "reference probe, qemu or llvm-mc missing";
    FILE *sink = std::tmpfile();
    o.out = sink;
    o.cases = 24;  // the quick pass
    o.seed = 1;
    o.failures_only = true;
    o.subject = flag_fault_subject;
    // Every family at once (each word belongs to one), then each must show it.
    std::vector<std::vector<std::string>> members;
    for (const flag_family &f : kFamilies) {
        members.push_back(family_handlers(f));
        ASSERT_FALSE(members.back().empty()) << f.name << ": no handler";
        o.patterns.insert(o.patterns.end(), members.back().begin(), members.back().end());
    }
    run_summary s;
    ASSERT_EQ(run_conformance(o, s), 1) << s.error;
    std::set<std::string> disagreeing;
    for (const handler_outcome &h : s.outcomes)
        if (h.disagree) disagreeing.insert(h.name);
    for (size_t i = 0; i < members.size(); ++i) {
        bool seen = false;
        for (const std::string &name : members[i]) seen |= disagreeing.count(name) != 0;
        EXPECT_TRUE(seen) << kFamilies[i].name << " (" << members[i].size() << " handlers): the fault went unseen";
    }
    std::fclose(sink);
}

}  // namespace
}  // namespace conformance
