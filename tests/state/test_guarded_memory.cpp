// Guarded reads, the readability probe, per-thread fault recovery and the
// notice for an application fault.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "sve/state/guarded_memory.h"
#include "tests/common/guard_pages.h"

namespace {

TEST(GuardedRead, ReadCrossingIntoAnUnmappedPageFaultsAndReturnsZero) {
    guard_pages g;
    bool fault = false;
    EXPECT_EQ(ReadMemLib4(g.addr(g.page - 2), 1, &fault, nullptr), 0u);
    EXPECT_TRUE(fault);
    fault = false;
    EXPECT_EQ(ReadMemLib8(g.addr(g.page - 1), 1, &fault, nullptr), 0u);
    EXPECT_TRUE(fault);
    fault = false;
    EXPECT_EQ(ReadMemLib1(g.addr(g.page), 0, &fault, nullptr), 0u);
    EXPECT_TRUE(fault);
}

TEST(GuardedRead, ReadableAddressReturnsTheValueAndLeavesTheFlag) {
    guard_pages g;
    bool fault = false;
    uint64_t expect;
    std::memcpy(&expect, g.base + g.page - 8, 8);
    EXPECT_EQ(ReadMemLib8(g.addr(g.page - 8), 0, &fault, nullptr), expect);
    EXPECT_FALSE(fault);
    EXPECT_EQ(ReadMemLib2(g.addr(3), 0, &fault, nullptr), uint16_t(0x14 | (0x15 << 8)));
    EXPECT_EQ(ReadMemLib1(g.addr(0), 0, nullptr, nullptr), 0x11);
    EXPECT_FALSE(fault);
}

TEST(GuardedRead, WritesStoreLittleEndianUnits) {
    guard_pages g;
    WriteMemLib4(0xA1B2C3D4u, g.addr(16), nullptr);
    WriteMemLib2(0x1234, g.addr(20), nullptr);
    EXPECT_EQ(g.base[16], 0xD4);
    EXPECT_EQ(g.base[19], 0xA1);
    EXPECT_EQ(g.base[20], 0x34);
    WriteMemLib8(0x0102030405060708ul, g.addr(32), nullptr);
    WriteMemLib1(0xEE, g.addr(32), nullptr);
    EXPECT_EQ(ReadMemLib8(g.addr(32), 0, nullptr, nullptr), 0x01020304050607EEul);
}

TEST(ReadabilityProbe, MappedAndUnmappedAddresses) {
    guard_pages g;
    EXPECT_TRUE(addr_is_readable<char>(reinterpret_cast<volatile char *>(g.base)));
    EXPECT_TRUE(addr_is_readable<char>(reinterpret_cast<volatile char *>(g.base + g.page - 1)));
    EXPECT_FALSE(addr_is_readable<char>(reinterpret_cast<volatile char *>(g.base + g.page)));
    EXPECT_FALSE(addr_is_readable<char>(reinterpret_cast<volatile char *>(8)));
    // The process goes on and a later plain read still works.
    EXPECT_EQ(ReadMemLib1(g.addr(1), 0, nullptr, nullptr), 0x12);
}

// Several threads fault in guarded reads at the same time; each must recover in
// its own frame with its own result.
TEST(GuardedRead, ConcurrentFaultsRecoverInTheirOwnThread) {
    guard_pages g;
    std::atomic<int> errors{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            while (!go.load()) {
            }
            for (int i = 0; i < 2000; ++i) {
                bool fault = false;
                const long off = (i + t) % 2 ? long(g.page) + 8 * t : 8 * t;
                const uint64_t v = ReadMemLib8(g.addr(off), 1, &fault, nullptr);
                const bool should_fault = off >= long(g.page);
                uint64_t expect = 0;
                if (!should_fault) std::memcpy(&expect, g.base + off, 8);
                if (fault != should_fault || v != expect) errors.fetch_add(1);
                if (addr_is_readable<char>(reinterpret_cast<volatile char *>(g.base + off)) == should_fault)
                    errors.fetch_add(1);
            }
        });
    }
    go = true;
    for (auto &th : threads) th.join();
    EXPECT_EQ(errors.load(), 0);
}

// An ordinary (unguarded) read of an unmapped address prints the notice once and
// the process dies by SIGSEGV.
TEST(ApplicationFault, UnguardedFaultPrintsTheNoticeOnceAndDiesBySigsegv) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        dup2(fds[1], 2);
        close(fds[0]);
        guard_pages g;
        volatile uint32_t v = ReadMemLib4(g.addr(g.page), 0, nullptr, nullptr);
        (void)v;
        _exit(0);
    }
    close(fds[1]);
    std::string err;
    char buf[512];
    ssize_t k;
    while ((k = read(fds[0], buf, sizeof buf)) > 0) err.append(buf, static_cast<size_t>(k));
    close(fds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(WTERMSIG(status), SIGSEGV);
    const std::string notice =
        "tevra's SVESigHandler caught signal SIGSEGV from the process being emulated, passing it to the "
        "default signal handler.\n";
    const size_t first = err.find(notice);
    ASSERT_NE(first, std::string::npos) << err;
    EXPECT_EQ(err.find(notice, first + 1), std::string::npos) << "notice printed twice";
}

TEST(GuardedRead, InitialiseIsIdempotentAndUnusedEntriesAreInert) {
    EXPECT_EQ(SVEInitialize(), 1);
    EXPECT_EQ(SVEInitialize(), 1);
    bool fault = true;
    EXPECT_EQ(ReadMem(0, 8, 0, &fault, nullptr), 0u);
    EXPECT_FALSE(fault);
    fault = true;
    EXPECT_EQ(ReadMemSim(0, 8, 0, &fault, true, nullptr), 0u);
    EXPECT_FALSE(fault);
    WriteMem(0, 1, 8, nullptr);  // must not touch address 0
    WriteMemSim(0, 1, 8, true, nullptr);
}

}  // namespace
