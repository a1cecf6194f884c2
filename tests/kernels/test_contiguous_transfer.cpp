// Contiguous LD1W/ST1W with every element active, over the boundary between a
// readable page and an unmapped one: whichever way the kernel moves the bytes,
// the fault is at the boundary and exactly the elements below it have moved.
#include <gtest/gtest.h>
#include <setjmp.h>
#include <signal.h>

#include <cstdint>
#include <cstring>

#include "sve/kernels/memory_kernels.h"
#include "tests/common/guard_pages.h"
#include "tests/common/test_state.h"

namespace {

sigjmp_buf back;
volatile uintptr_t fault_address = 0;

void on_segv(int, siginfo_t *info, void *) {
    fault_address = reinterpret_cast<uintptr_t>(info->si_addr);
    siglongjmp(back, 1);
}

// Runs f with a SIGSEGV handler of our own; the address it faulted at, or 0.
template <typename F>
uintptr_t fault_of(F f) {
    struct sigaction sa {}, old {};
    sa.sa_sigaction = on_segv;
    sa.sa_flags = SA_SIGINFO;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGSEGV, &sa, &old);
    fault_address = 0;
    if (sigsetjmp(back, 1) == 0) f();
    sigaction(SIGSEGV, &old, nullptr);
    return fault_address;
}

// Every word of P0 true at 32-bit elements, Z1 filled with 0xAA.
void prepare(cpu_state *s) {
    std::memset(s->p[0], 0, sizeof s->p[0]);
    for (unsigned i = 0; i < kVecBytes; i += 4) s->p[0][i] = 1;
    std::memset(s->z[1], 0xAA, kVecBytes);
}

TEST(ContiguousTransfer, LoadOverAPageBoundaryFaultsThereWithTheElementsBelowLoaded) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    // 16-byte aligned (whole-register pieces) and only 4-byte aligned (element loop).
    for (unsigned below : {128u, 132u, 4u, 252u}) {
        auto s = new_state();
        prepare(s.get());
        s->x[2] = reinterpret_cast<uint64_t>(m.boundary() - below);
        const uintptr_t at = fault_of([&] {
            sve_ld1w_zpri(s.get(), make_zreg(1, kQualS), make_preg(0, kQualZeroing), make_rspreg(2), 0);
        });
        EXPECT_EQ(at, reinterpret_cast<uintptr_t>(m.boundary())) << below << " bytes below";
        EXPECT_EQ(std::memcmp(s->z[1], m.boundary() - below, below), 0) << below << " bytes below";
        for (unsigned b = below; b < kVecBytes; ++b)
            ASSERT_EQ(s->z[1][b], 0xAA) << "byte " << b << " with " << below << " bytes below";
    }
}

TEST(ContiguousTransfer, StoreOverAPageBoundaryFaultsThereWithTheElementsBelowStored) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    for (unsigned below : {128u, 132u, 4u, 252u}) {
        auto s = new_state();
        prepare(s.get());
        for (unsigned b = 0; b < kVecBytes; ++b) s->z[1][b] = static_cast<unsigned char>(b + 1);
        std::memset(m.base, 0, m.page);
        s->x[2] = reinterpret_cast<uint64_t>(m.boundary() - below);
        const uintptr_t at = fault_of([&] {
            sve_st1w_zpri(s.get(), make_zreg(1, kQualS), make_preg(0, kQualB), make_rspreg(2), 0);
        });
        EXPECT_EQ(at, reinterpret_cast<uintptr_t>(m.boundary())) << below << " bytes below";
        EXPECT_EQ(std::memcmp(m.boundary() - below, s->z[1], below), 0) << below << " bytes below";
        for (size_t b = 0; b < m.page - below; ++b) ASSERT_EQ(m.base[b], 0) << "byte " << b;
    }
}

// Whole registers within one page, at any element alignment, and a partial
// predicate, move exactly what the element loop moves.
TEST(ContiguousTransfer, WithinAPageAndWithInactiveElements) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    for (unsigned offset : {0u, 4u, 12u, 100u}) {
        auto s = new_state();
        prepare(s.get());
        s->p[0][8] = 0;  // element 2 inactive: zeroed by the load
        s->x[2] = reinterpret_cast<uint64_t>(m.base + offset);
        ASSERT_EQ(sve_ld1w_zpri(s.get(), make_zreg(1, kQualS), make_preg(0, kQualZeroing), make_rspreg(2), 0),
                  DECODE_OK);
        unsigned char want[kVecBytes];
        std::memcpy(want, m.base + offset, kVecBytes);
        std::memset(want + 8, 0, 4);
        EXPECT_EQ(std::memcmp(s->z[1], want, kVecBytes), 0) << "offset " << offset;
    }
}

}  // namespace
