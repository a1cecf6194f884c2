// Invariants of the dispatch tables, computed from the entries themselves, and
// the decode cascade / recogniser behaviour at their edges.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sve/decode/decode_tables.h"
#include "sve/decode/emulated_words.h"
#include "sve/decode/sve_utils.h"
#include "tests/common/test_state.h"

namespace {

// Entries per table, in cascade order, as the architecture's encoding groups split them.
const std::pair<const char *, size_t> kExpectedCounts[] = {
    {"decode_map__31_0", 1},
    {"decode_map__31_9__4_0", 1},
    {"decode_map__31_4", 2},
    {"decode_map__31_14__9_9__4_0", 1},
    {"decode_map__31_9__4_4", 13},
    {"decode_map__31_10__4_4", 8},
    {"decode_map__31_9", 58},
    {"decode_map__31_13__9_6", 24},
    {"decode_map__31_21__15_10__4_0", 4},
    {"decode_map__31_10", 38},
    {"decode_map__31_13__9_8", 4},
    {"decode_map__31_11", 1},
    {"decode_map__31_24__21_10", 1},
    {"decode_map__31_20__15_9__4_4", 24},
    {"decode_map__31_14__9_9__4_4", 8},
    {"decode_map__31_13__4_4", 18},
    {"decode_map__31_13__9_9", 4},
    {"decode_map__31_14__9_9", 4},
    {"decode_map__31_19__15_10", 6},
    {"decode_map__31_24__21_21__19_10", 1},
    {"decode_map__31_13", 403},
    {"decode_map__31_17__15_13", 3},
    {"decode_map__31_14", 32},
    {"decode_map__31_23__21_13", 4},
    {"decode_map__31_20__15_10", 65},
    {"decode_map__31_24__21_21__18_10", 1},
    {"decode_map__31_21__15_10__4_4", 32},
    {"decode_map__31_24__21_21__17_10", 1},
    {"decode_map__31_21__15_10", 135},
    {"decode_map__31_21__15_11", 2},
    {"decode_map__31_20__15_14__9_9__4_4", 19},
    {"decode_map__31_24__21_21__16_10", 1},
    {"decode_map__31_23__21_21__15_10", 6},
    {"decode_map__31_21__15_13__4_4", 131},
    {"decode_map__31_21__15_12", 2},
    {"decode_map__31_20__15_13", 81},
    {"decode_map__31_21__15_13", 285},
    {"decode_map__31_20__15_14", 8},
    {"decode_map__31_18", 4},
    {"decode_map__31_22__15_13__4_4", 6},
    {"decode_map__31_21__15_14", 4},
    {"decode_map__31_21__13_13__4_4", 16},
    {"decode_map__31_22__15_13", 18},
    {"decode_map__31_21__15_15", 3},
};

const sve_handler_info *catalog(size_t &n) { return sve_handler_catalog(&n); }

int key_bits(const key_field_list &f) {
    int bits = 0;
    for (const key_field &k : f.f) {
        if (k.hi == 0 && k.lo == 0) break;
        bits += k.hi - k.lo + 1;
    }
    return bits;
}

TEST(DispatchTables, CountsPerTableAndInCascadeOrder) {
    size_t n = 0;
    catalog(n);
    EXPECT_EQ(n, 1483u);
    ASSERT_EQ(std::size(kExpectedCounts), kTableCount);
    size_t total = 0;
    for (size_t i = 0; i < kTableCount; ++i) {
        EXPECT_STREQ(kCascade[i].name, kExpectedCounts[i].first);
        EXPECT_EQ((*kCascade[i].map)->size(), kExpectedCounts[i].second) << kCascade[i].name;
        total += (*kCascade[i].map)->size();
    }
    // Equal map sizes and entry counts also mean no table holds a key twice.
    EXPECT_EQ(total, 1483u);
}

TEST(DispatchTables, CascadeAndRecogniserOrderByNonIncreasingKeyWidth) {
    for (size_t i = 1; i < kTableCount; ++i) {
        EXPECT_GE(key_bits(*kCascade[i - 1].fields), key_bits(*kCascade[i].fields)) << kCascade[i].name;
        EXPECT_GE(key_bits(*kRecogniserOrder[i - 1].fields), key_bits(*kRecogniserOrder[i].fields))
            << kRecogniserOrder[i].name;
    }
    std::set<std::string> a, b;
    for (size_t i = 0; i < kTableCount; ++i) {
        a.insert(kCascade[i].name);
        b.insert(kRecogniserOrder[i].name);
    }
    EXPECT_EQ(a, b);
    EXPECT_EQ(a.size(), kTableCount);
}

TEST(DispatchTables, EveryHandlerOnceAndEveryKeyInTheSveGroup) {
    size_t n = 0;
    const sve_handler_info *h = catalog(n);
    std::set<std::string> names;
    std::set<sve_handler_fn> fns;
    for (size_t i = 0; i < n; ++i) {
        EXPECT_TRUE(names.insert(h[i].name).second) << "duplicate handler " << h[i].name;
        // Bits 28..25 fixed to 0010, the SVE encoding group.
        EXPECT_EQ(h[i].fixed_mask & 0x1E000000u, 0x1E000000u) << h[i].name;
        EXPECT_EQ(h[i].fixed_value & 0x1E000000u, 0x04000000u) << h[i].name;
        if (h[i].implemented) {
            EXPECT_TRUE(fns.insert(h[i].fn).second) << "shared function " << h[i].name;
        }
    }
}

// Two fixed-bit patterns can match one word exactly when they agree on every bit
// that both fix.
TEST(DispatchTables, FixedBitPatternsArePairwiseDisjoint) {
    size_t n = 0;
    const sve_handler_info *h = catalog(n);
    size_t overlaps = 0;
    for (size_t i = 0; i < n; ++i)
        for (size_t j = i + 1; j < n; ++j)
            if (((h[i].fixed_value ^ h[j].fixed_value) & h[i].fixed_mask & h[j].fixed_mask) == 0) {
                ADD_FAILURE() << h[i].name << " and " << h[j].name << " overlap";
                if (++overlaps > 10) return;
            }
}

TEST(DispatchTables, EveryEntryReachesItsHandlerWithOperandBitsZeroOrRandom) {
    size_t n = 0;
    const sve_handler_info *h = catalog(n);
    std::mt19937 rng(1234);
    for (size_t i = 0; i < n; ++i) {
        EXPECT_EQ(is_sve(h[i].fixed_value), h[i].fn) << h[i].name;
        EXPECT_EQ(sve_cascade_lookup(h[i].fixed_value), h[i].fn) << h[i].name;
        for (int k = 0; k < 8; ++k) {
            const uint32_t w = h[i].fixed_value | (rng() & ~h[i].fixed_mask);
            EXPECT_EQ(is_sve(w), h[i].fn) << h[i].name << " word " << std::hex << w;
        }
    }
}

TEST(DispatchTables, RecogniserAndCascadeAgreeOnRandomWords) {
    // A few million words in optimised builds; fewer where every lookup is
    // instrumented (SVE_DISPATCH_RANDOM_WORDS overrides).
    const char *env = std::getenv("SVE_DISPATCH_RANDOM_WORDS");
#if defined(NDEBUG) && !defined(__SANITIZE_ADDRESS__)
    const long default_count = 3000000;
#else
    const long default_count = 200000;
#endif
    const long count = env ? std::atol(env) : default_count;
    std::mt19937 rng(42);
    size_t n = 0;
    const sve_handler_info *h = catalog(n);
    std::map<sve_handler_fn, const sve_handler_info *> by_fn;
    for (size_t i = 0; i < n; ++i) by_fn[h[i].fn] = &h[i];
    long recognised = 0;
    for (long k = 0; k < count; ++k) {
        uint32_t w = rng();
        if (k & 1) w = (w & ~0x1E000000u) | 0x04000000u;  // half of them in the SVE group
        const sve_handler_fn a = is_sve(w);
        ASSERT_EQ(a, sve_cascade_lookup(w)) << std::hex << w;
        if (a == nullptr) continue;
        ++recognised;
        const sve_handler_info *e = by_fn.at(a);
        ASSERT_EQ(w & e->fixed_mask, e->fixed_value) << e->name << " " << std::hex << w;
    }
    EXPECT_GT(recognised, count / 8);
}

// The remembered lookups answer as the walks do: on a word's first and later
// lookups, for words that share a slot and push each other out, and while
// several threads fill the same slots at once.
TEST(DispatchTables, RememberedLookupsAnswerAsTheWalksFromManyThreads) {
    size_t n = 0;
    const sve_handler_info *h = catalog(n);
    std::mt19937 rng(77);
    std::vector<uint32_t> words;
    for (size_t i = 0; i < n; ++i) {
        words.push_back(h[i].fixed_value);
        words.push_back(h[i].fixed_value | (rng() & ~h[i].fixed_mask));
    }
    for (int k = 0; k < 6000; ++k) words.push_back(rng());  // mostly not SVE
    std::vector<sve_handler_fn> cascade(words.size()), recogniser(words.size());
    for (size_t i = 0; i < words.size(); ++i) {
        cascade[i] = sve_cascade_lookup(words[i]);
        recogniser[i] = sve_recogniser_lookup(words[i]);
    }
    std::atomic<long> wrong{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            std::mt19937 order(t);
            for (int round = 0; round < 3; ++round) {
                for (size_t k = 0; k < words.size(); ++k) {
                    const size_t i = (k * (2 * t + 1) + order()) % words.size();
                    if (sve_remembered_cascade_lookup(words[i]) != cascade[i]) ++wrong;
                    if (sve_remembered_recogniser_lookup(words[i]) != recogniser[i]) ++wrong;
                    if (is_sve(words[i]) != recogniser[i]) ++wrong;
                }
            }
        });
    }
    for (std::thread &t : threads) t.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST(DecodeCascade, SetffrIsTheWholeWordTableAndAdvancesPc) {
    auto s = new_state();
    EXPECT_EQ(is_sve(0x252C9000u), sve_find_handler("VecPClearFFSR")->fn);
    EXPECT_EQ(sve_find_handler("VecPClearFFSR")->fixed_mask, 0xFFFFFFFFu);
    uint32_t code[2] = {0x252C9000u, 0};
    s->pc = reinterpret_cast<unsigned char *>(code);
    EXPECT_EQ(execute_sve_instruction(s.get()), DECODE_OK);
    EXPECT_EQ(s->pc, reinterpret_cast<unsigned char *>(code) + 4);
    for (unsigned i = 0; i < kVecBytes; ++i) ASSERT_EQ(s->ffr[i], 1) << i;
}

TEST(DecodeCascade, NonSveWordIsNotRecognisedAndLeavesTheStateAlone) {
    auto s = new_state();
    auto before = new_state();
    uint32_t code[1] = {0xD503201Fu};  // NOP
    s->pc = reinterpret_cast<unsigned char *>(code);
    std::memcpy(before.get(), s.get(), sizeof(cpu_state));
    EXPECT_EQ(is_sve(0xD503201Fu), nullptr);
    EXPECT_EQ(execute_sve_instruction(s.get()), DECODE_UNIMPLEMENTED);
    EXPECT_EQ(std::memcmp(before.get(), s.get(), sizeof(cpu_state)), 0);
    // Advanced SIMD ADD V0.16B, V1.16B, V2.16B.
    EXPECT_EQ(is_sve(0x4E228420u), nullptr);
}

TEST(DecodeCascade, NegativeWholeWordKeyFallsThroughToLaterTables) {
    // Bit 31 set: the whole-word key is negative and not in the first table; every
    // such entry is still found in its own table.
    size_t n = 0;
    const sve_handler_info *all = catalog(n);
    int found = 0;
    for (size_t i = 0; i < n && found < 20; ++i) {
        if (!(all[i].fixed_value & 0x80000000u)) continue;
        EXPECT_EQ(is_sve(all[i].fixed_value), all[i].fn) << all[i].name;
        ++found;
    }
    EXPECT_GT(found, 0);
}

TEST(DecodeCascade, PlaceholderResultLeavesPcAndIsNotCountedAsImplemented) {
    const sve_handler_info *h = sve_find_handler("VecF16FCMLAVVVM");  // found only in the last table
    ASSERT_NE(h, nullptr);
    EXPECT_STREQ(h->table, "decode_map__31_21__15_15");
    EXPECT_EQ(is_sve(h->fixed_value), h->fn);
    if (!h->implemented) {
        auto s = new_state();
        uint32_t code[1] = {h->fixed_value};
        s->pc = reinterpret_cast<unsigned char *>(code);
        EXPECT_EQ(execute_sve_instruction(s.get()), DECODE_UNIMPLEMENTED);
        EXPECT_EQ(s->pc, reinterpret_cast<unsigned char *>(code));
    }
}

TEST(DecodeCascade, WordsDifferingOnlyInOperandBitsReachTheSameHandler) {
    // ADD Z1.B, Z2.B, Z3.B and ADD Z30.B, Z31.B, Z0.B
    const uint32_t a = word_of("VecU8AddVVX", 1 | (2 << 5) | (3 << 16));
    const uint32_t b = word_of("VecU8AddVVX", 30 | (31 << 5) | (0 << 16));
    EXPECT_NE(a, b);
    EXPECT_EQ(is_sve(a), is_sve(b));
    EXPECT_NE(is_sve(a), nullptr);
}

}  // namespace

// The per-thread word cache answers as the lookups it caches, from a zero-filled
// record (whose slots are word 0's) and for different words at addresses that
// share a slot.
TEST(WordCache, AnswersAsTheLookupsFromEmptyAndAcrossSharedSlots) {
    static recognised_words cache{};
    const auto look_up = [](uint32_t w) { return emulated_instruction(w, true); };
    const auto expect_same = [&](uint32_t w, uint64_t at) {
        const recognised_words::slot &s = recognised_slot(cache, w, at, look_up);
        EXPECT_EQ(s.fn, look_up(w)) << std::hex << w;
        EXPECT_EQ(s.scalar, s.fn == nullptr ? a64_scalar_executor(w) : nullptr) << std::hex << w;
    };
    // Word 0 (UDF #0) hits every empty slot: it must be neither emulated nor run.
    expect_same(0, 0x400000);
    EXPECT_EQ(recognised_slot(cache, 0, 0x400004, look_up).fn, nullptr);
    EXPECT_EQ(recognised_slot(cache, 0, 0x400008, look_up).scalar, nullptr);
    // An SVE word, scalar words of the subset and one outside it, each in turn
    // with random words at addresses of the same slot (4 KiB apart).
    const uint32_t words[] = {0x04a30041u /* add z1.s, z2.s, z3.s */, 0xf1000400u /* subs x0, x0, #1 */,
                              0xd503201fu /* nop */, 0x9b027c20u /* mul x0, x1, x2 */, 0x25a01c21u};
    std::mt19937 rng(5);
    uint64_t at = 0x412340;
    for (const uint32_t w : words) {
        const uint32_t other = static_cast<uint32_t>(rng());
        for (int round = 0; round < 3; ++round) {
            expect_same(w, at);
            expect_same(other, at + 4096);
            expect_same(w, at + 8192);
        }
        at += 4;
    }
}
