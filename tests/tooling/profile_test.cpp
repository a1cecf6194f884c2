// The profile: counting, merging threads, the three report formats, and the
// mnemonics against an independent count by llvm-mc.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sve/support/profile.h"
#include "tooling_test_support.h"

namespace {

// Words of a straight-line sequence (llvm-mc -mattr=+sve encodings).
constexpr uint32_t kPtrueS = 0x2598e3e0;    // ptrue p0.s
constexpr uint32_t kLd1w = 0xa540a000;      // ld1w { z0.s }, p0/z, [x0]
constexpr uint32_t kAddS = 0x04a10000;      // add z0.s, z0.s, z1.s
constexpr uint32_t kFmlaD = 0x65e20020;     // fmla z0.d, p0/m, z1.d, z2.d
constexpr uint32_t kSt1w = 0xe540e000;      // st1w { z0.s }, p0, [x0]

struct record_deleter {
    void operator()(sve_profile_thread *r) const { munmap(r, sizeof *r); }
};
using record_ptr = std::unique_ptr<sve_profile_thread, record_deleter>;

record_ptr fresh_record() {
    void *p = mmap(nullptr, sizeof(sve_profile_thread), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    auto *r = static_cast<sve_profile_thread *>(p);
    r->threads = 1;
    return record_ptr(r);
}

const void *at(uintptr_t pc) { return reinterpret_cast<const void *>(pc); }

// Runs a straight-line block `iterations` times as one trap per run of `run`
// instructions.
void run_block(sve_profile_thread *rec, uintptr_t base, const std::vector<uint32_t> &block, int iterations,
               unsigned run) {
    for (int it = 0; it < iterations; ++it) {
        for (size_t i = 0; i < block.size(); ++i) {
            if (i % run == 0) sve_profile_trap(rec, static_cast<unsigned>(std::min<size_t>(run, block.size() - i)));
            sve_profile_count(rec, at(base + 4 * i), block[i]);
        }
    }
}

std::map<std::string, uint64_t> csv_mnemonics(const std::string &csv) {
    std::map<std::string, uint64_t> m;
    size_t pos = 0;
    while ((pos = csv.find("\nmnemonic,", pos)) != std::string::npos) {
        pos += 10;
        const size_t comma = csv.find(',', pos);
        m[csv.substr(pos, comma - pos)] = std::stoull(csv.substr(comma + 1));
    }
    return m;
}

std::string csv_total(const std::string &csv, const std::string &name) {
    const std::string key = "\ntotal," + name + ",";
    const size_t pos = csv.find(key);
    if (pos == std::string::npos) return "";
    const size_t start = pos + key.size();
    return csv.substr(start, csv.find(',', start) - start);
}

TEST(Profile, CountsPerMnemonicWithElementSizeMatchAStaticCount) {
    const std::vector<uint32_t> block = {kPtrueS, kLd1w, kAddS, kAddS, kAddS, kFmlaD, kFmlaD, kSt1w};
    record_ptr rec = fresh_record();
    run_block(rec.get(), 0x400000, block, 1000, 8);
    const sve_profile_thread *recs[] = {rec.get()};
    const std::string csv = sve_profile_render(recs, 1, sve_profile_format::csv);

    // The independent count: llvm-mc's disassembly of the block, mnemonic and
    // the shape of the first operand, times the iterations.
    std::vector<std::string> text;
    std::string error;
    if (!tooling_test::llvm_mc_disassemble(block, "+sve", text, error)) GTEST_SKIP() << error;
    std::map<std::string, uint64_t> expected;
    for (const std::string &t : text) {
        ASSERT_FALSE(t.empty());
        const std::string mnemonic = t.substr(0, t.find(' '));
        std::string first = t.substr(t.find(' ') + 1);
        first = first.substr(0, first.find(','));
        std::string shape;
        for (char c : first)
            if (c != '{' && c != '}' && c != ' ' && !(c >= '0' && c <= '9')) shape += c;
        expected[mnemonic + " " + shape] += 1000;
    }
    EXPECT_EQ(csv_mnemonics(csv), expected) << csv;
    EXPECT_EQ(csv_total(csv, "instructions"), "8000");
    EXPECT_EQ(csv_total(csv, "traps"), "1000");
    EXPECT_EQ(csv_total(csv, "instructions_per_trap"), "8.0000");
}

TEST(Profile, ThreadsAreMerged) {
    record_ptr a = fresh_record(), b = fresh_record();
    run_block(a.get(), 0x1000, {kAddS, kFmlaD}, 10, 1);
    run_block(b.get(), 0x1000, {kAddS}, 5, 1);      // the same PC and word
    run_block(b.get(), 0x2000, {kAddS}, 7, 1);      // another PC, same mnemonic
    const sve_profile_thread *recs[] = {a.get(), b.get()};
    const std::string csv = sve_profile_render(recs, 2, sve_profile_format::csv);
    EXPECT_EQ(csv_total(csv, "threads"), "2");
    EXPECT_EQ(csv_total(csv, "instructions"), "32");
    EXPECT_EQ(csv_total(csv, "traps"), "32");
    const auto m = csv_mnemonics(csv);
    EXPECT_EQ(m.at("add z.s"), 22u);
    EXPECT_EQ(m.at("fmla z.d"), 10u);
    // One row per PC, the merged one first.
    EXPECT_NE(csv.find("pc,add z.s,15,"), std::string::npos) << csv;
    EXPECT_LT(csv.find("pc,add z.s,15,"), csv.find("pc,fmla z.d,10,"));
    EXPECT_LT(csv.find("pc,fmla z.d,10,"), csv.find("pc,add z.s,7,"));
}

TEST(Profile, TrapLengthsAreBucketed) {
    record_ptr rec = fresh_record();
    for (unsigned n : {1u, 2u, 3u, 4u, 7u, 8u, 16u, 31u, 32u, 100u}) sve_profile_trap(rec.get(), n);
    EXPECT_EQ(rec->runs_by_length[0], 1u);  // 1
    EXPECT_EQ(rec->runs_by_length[1], 2u);  // 2-3
    EXPECT_EQ(rec->runs_by_length[2], 2u);  // 4-7
    EXPECT_EQ(rec->runs_by_length[3], 1u);  // 8-15
    EXPECT_EQ(rec->runs_by_length[4], 2u);  // 16-31
    EXPECT_EQ(rec->runs_by_length[5], 2u);  // 32+
    EXPECT_EQ(rec->traps, 10u);
    EXPECT_EQ(rec->run_instructions, 204u);
}

TEST(Profile, PcsBeyondTheTableStayInTheTotals) {
    record_ptr rec = fresh_record();
    const size_t pcs = kProfilePcSlots + 500;
    for (size_t i = 0; i < pcs; ++i) sve_profile_count(rec.get(), at(0x10000 + 4 * i), kAddS);
    EXPECT_EQ(rec->instructions, pcs);
    EXPECT_GE(rec->unplaced, 500u);
    const sve_profile_thread *recs[] = {rec.get()};
    const std::string text = sve_profile_render(recs, 1, sve_profile_format::text);
    EXPECT_NE(text.find("beyond the 8192-entry table"), std::string::npos) << text.substr(0, 400);
}

TEST(Profile, TextReportNamesMnemonicsSharesAndHottestPcs) {
    record_ptr rec = fresh_record();
    run_block(rec.get(), reinterpret_cast<uintptr_t>(&getpid), {kAddS, kAddS, kAddS, kFmlaD}, 25, 4);
    const sve_profile_thread *recs[] = {rec.get()};
    const std::string text = sve_profile_render(recs, 1, sve_profile_format::text, 2);
    EXPECT_EQ(text.rfind("SVE profile: 100 instructions emulated in 1 thread\n", 0), 0u) << text;
    EXPECT_NE(text.find("traps: 25, 4.00 instructions per trap"), std::string::npos) << text;
    EXPECT_NE(text.find("    75   75.0%  add z.s\n"), std::string::npos) << text;
    EXPECT_NE(text.find("    25   25.0%  fmla z.d\n"), std::string::npos) << text;
    // Two hottest PCs: four PCs of 25 each, the instruction and the symbol.
    EXPECT_NE(text.find("add z0.s, z0.s, z1.s"), std::string::npos) << text;
    EXPECT_NE(text.find("getpid+0x"), std::string::npos) << text;
    const std::string pcs = text.substr(text.find("hottest PCs:"));
    EXPECT_EQ(std::count(pcs.begin(), pcs.end(), '\n'), 4) << pcs;
}

TEST(Profile, JsonReportIsWellFormed) {
    record_ptr rec = fresh_record();
    run_block(rec.get(), 0x5000, {kPtrueS, kAddS}, 3, 2);
    const sve_profile_thread *recs[] = {rec.get()};
    const std::string json = sve_profile_render(recs, 1, sve_profile_format::json);
    EXPECT_EQ(json.rfind("{\"instructions\": 6, \"threads\": 1, \"traps\": 3, \"instructions_per_trap\": 2.0000", 0), 0u)
        << json;
    EXPECT_NE(json.find("{\"mnemonic\": \"ptrue p.s\", \"count\": 3, \"share\": 0.500000}"), std::string::npos) << json;
    EXPECT_NE(json.find("\"pc\": \"0x5004\", \"count\": 3"), std::string::npos) << json;
    // Balanced brackets and braces outside strings.
    int depth = 0;
    bool in_string = false;
    for (size_t i = 0; i < json.size(); ++i) {
        const char c = json[i];
        if (in_string) {
            if (c == '\\') ++i;
            else if (c == '"') in_string = false;
            continue;
        }
        if (c == '"') in_string = true;
        if (c == '{' || c == '[') ++depth;
        if (c == '}' || c == ']') --depth;
        ASSERT_GE(depth, 0);
    }
    EXPECT_EQ(depth, 0);
}

TEST(Profile, ProcessReportFoldsThreadsThatEnded) {
    char path[] = "/tmp/sve-profile-test-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    ASSERT_TRUE(sve_profile_configure(path, "csv"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t] {
            sve_profile_thread *rec = sve_profile_thread_start();
            ASSERT_NE(rec, nullptr);
            run_block(rec, 0x9000, {kAddS, kFmlaD}, 100 + t, 2);
            sve_profile_thread_end(rec);
        });
    for (std::thread &t : threads) t.join();
    sve_profile_thread *live = sve_profile_thread_start();
    run_block(live, 0x9000, {kAddS}, 6, 1);
    sve_profile_write_report();
    sve_profile_thread_end(live);
    sve_profile_configure(nullptr, nullptr);
    EXPECT_EQ(sve_profile_thread_start(), nullptr);

    std::string csv;
    if (FILE *f = std::fopen(path, "r")) {
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) csv.append(buf, n);
        std::fclose(f);
    }
    unlink(path);
    EXPECT_EQ(csv_total(csv, "threads"), "5") << csv;
    EXPECT_EQ(csv_total(csv, "instructions"), "818");  // 2 x (100 + 101 + 102 + 103) + 6
    EXPECT_EQ(csv_total(csv, "traps"), "412");
    EXPECT_EQ(csv_mnemonics(csv).at("add z.s"), 412u);
    EXPECT_NE(csv.find("pc,add z.s,412,"), std::string::npos) << csv;
}

TEST(Profile, RecordsComeFromTheHostsAllocator) {
    static int allocated = 0, released = 0;
    sve_profile_set_allocator(
        [](size_t bytes) -> void * {
            ++allocated;
            void *p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            return p == MAP_FAILED ? nullptr : p;
        },
        [](void *p, size_t bytes) {
            ++released;
            munmap(p, bytes);
        });
    ASSERT_TRUE(sve_profile_configure("/dev/null", nullptr));
    sve_profile_thread *rec = sve_profile_thread_start();
    ASSERT_NE(rec, nullptr);
    EXPECT_EQ(rec->instructions, 0u);
    EXPECT_GE(allocated, 1);
    sve_profile_thread_end(rec);
    EXPECT_EQ(released, 1);
    sve_profile_configure(nullptr, nullptr);
    sve_profile_set_allocator(nullptr, nullptr);
}

TEST(Profile, ConfigurationFromValues) {
    EXPECT_FALSE(sve_profile_configure("", "json"));
    EXPECT_FALSE(sve_profile_enabled());
    EXPECT_TRUE(sve_profile_configure("-", nullptr));
    EXPECT_TRUE(sve_profile_enabled());
    sve_profile_configure(nullptr, nullptr);
    EXPECT_FALSE(sve_profile_enabled());
}

}  // namespace
