// First-fault and non-fault loads under the framework: an element on an
// unreadable page is recorded in FFR (through the framework's fault-safe reads)
// and the program goes on. Skipped while the load handlers are not written.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "client_test_support.h"

namespace {

using namespace dr_test;

// Two pages, the second unmapped; returns the address `readable` bytes before
// the hole, with bytes 1, 2, 3, ... up to it.
unsigned char *bytes_before_hole(size_t readable, void **map, size_t *map_len) {
    const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    void *mem = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mem == MAP_FAILED) return nullptr;
    unsigned char *hole = static_cast<unsigned char *>(mem) + page;
    munmap(hole, page);
    for (size_t i = 0; i < readable; ++i) hole[i - readable] = static_cast<unsigned char>(i + 1);
    *map = mem;
    *map_len = page;
    return hole - readable;
}

struct load_result {
    uint64_t ffr_count;  // active elements of FFR
    unsigned char low[16];
};

void expect_stops_at_hole(const load_result &r) {
    EXPECT_EQ(r.ffr_count, 16u);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(r.low[i], i + 1) << "byte " << i;
}

TEST(FirstFault, LoadAcrossUnmappedPageRecordsFfr) {
    if (!implemented({insn::kPtrueP0B, insn::kSetffr, insn::kLdff1bZ0P0X0Xzr, insn::kRdffrP1B,
                      insn::kCntpX2P0P1B}))
        GTEST_SKIP() << "ldff1b, rdffr or cntp is not implemented yet";
    void *map = nullptr;
    size_t len = 0;
    unsigned char *base = bytes_before_hole(16, &map, &len);
    ASSERT_NE(base, nullptr);
    load_result r;
    asm volatile(
        ".arch_extension sve\n"
        "mov x0, %[base]\n"
        "ptrue p0.b\n"
        "setffr\n"
        "ldff1b {z0.b}, p0/z, [x0, xzr]\n"
        "rdffr p1.b\n"
        "cntp %[count], p0, p1.b\n"
        "str q0, [%[low]]\n"
        : [count] "=r"(r.ffr_count)
        : [base] "r"(base), [low] "r"(r.low)
        : "x0", "v0", "memory");
    expect_stops_at_hole(r);
    munmap(map, len);
}

TEST(NonFault, LoadAcrossUnmappedPageRecordsFfr) {
    if (!implemented({insn::kPtrueP0B, insn::kSetffr, insn::kLdnf1bZ0P0X0, insn::kRdffrP1B,
                      insn::kCntpX2P0P1B}))
        GTEST_SKIP() << "ldnf1b, rdffr or cntp is not implemented yet";
    void *map = nullptr;
    size_t len = 0;
    unsigned char *base = bytes_before_hole(16, &map, &len);
    ASSERT_NE(base, nullptr);
    load_result r;
    asm volatile(
        ".arch_extension sve\n"
        "mov x0, %[base]\n"
        "ptrue p0.b\n"
        "setffr\n"
        "ldnf1b {z0.b}, p0/z, [x0]\n"
        "rdffr p1.b\n"
        "cntp %[count], p0, p1.b\n"
        "str q0, [%[low]]\n"
        : [count] "=r"(r.ffr_count)
        : [base] "r"(base), [low] "r"(r.low)
        : "x0", "v0", "memory");
    expect_stops_at_hole(r);
    munmap(map, len);
}

}  // namespace
