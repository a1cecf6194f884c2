// Contiguous LD1W/ST1W with every element active, over the boundary between a
// readable page and an unmapped one: whichever way the kernel moves the bytes,
// the fault is at the boundary and exactly the elements below it have moved.
#include <gtest/gtest.h>
#include <setjmp.h>
#include <signal.h>

#include <algorithm>
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
    // 64-byte aligned (64-byte pieces), 16-byte aligned only (16-byte pieces)
    // and 4-byte aligned only (element loop).
    for (unsigned below : {128u, 64u, 192u, 144u, 208u, 132u, 4u, 252u}) {
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
    for (unsigned below : {128u, 64u, 192u, 144u, 208u, 132u, 4u, 252u}) {
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

// Whole registers within one page, at any byte alignment up to the page's
// last 256 bytes, and a partial predicate, move exactly what the element loop
// moves.
TEST(ContiguousTransfer, WithinAPageAndWithInactiveElements) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    for (unsigned offset : {0u, 4u, 12u, 100u, 1u, 4096u - 256u, 4096u - 257u}) {
        for (bool all_active : {true, false}) {
            auto s = new_state();
            prepare(s.get());
            if (!all_active) s->p[0][8] = 0;  // element 2 inactive: zeroed by the load, not stored
            for (unsigned b = 0; b < kVecBytes; ++b) m.base[offset + b] = static_cast<unsigned char>(b * 7 + 3);
            s->x[2] = reinterpret_cast<uint64_t>(m.base + offset);
            ASSERT_EQ(sve_ld1w_zpri(s.get(), make_zreg(1, kQualS), make_preg(0, kQualZeroing), make_rspreg(2), 0),
                      DECODE_OK);
            unsigned char want[kVecBytes];
            std::memcpy(want, m.base + offset, kVecBytes);
            if (!all_active) std::memset(want + 8, 0, 4);
            EXPECT_EQ(std::memcmp(s->z[1], want, kVecBytes), 0) << "load at offset " << offset;
            // The store writes Z2's bytes over the active elements only.
            for (unsigned b = 0; b < kVecBytes; ++b) s->z[2][b] = static_cast<unsigned char>(b ^ 0x5A);
            std::memcpy(want, s->z[2], kVecBytes);
            if (!all_active) std::memcpy(want + 8, m.base + offset + 8, 4);
            ASSERT_EQ(sve_st1w_zpri(s.get(), make_zreg(2, kQualS), make_preg(0, kQualB), make_rspreg(2), 0), DECODE_OK);
            EXPECT_EQ(std::memcmp(m.base + offset, want, kVecBytes), 0) << "store at offset " << offset;
        }
    }
}

// At every element size, one inactive element anywhere (the other bytes of its
// unit set or clear) keeps the load from reading it and the store from writing
// it; every element active with the units' other bytes clear moves them all.
TEST(ContiguousTransfer, OneInactiveElementAtEverySize) {
    using load_fn = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_i_rsp_reg, int);
    struct size_case {
        uint32_t qual;
        unsigned esize;
        load_fn load, store;
    };
    const size_case sizes[] = {{kQualB, 1, sve_ld1b_zpri, sve_st1b_zpri},
                               {kQualH, 2, sve_ld1h_zpri, sve_st1h_zpri},
                               {kQualS, 4, sve_ld1w_zpri, sve_st1w_zpri},
                               {kQualD, 8, sve_ld1d_zpri, sve_st1d_zpri}};
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    for (const size_case &c : sizes) {
        const unsigned n = kVecBytes / c.esize;
        for (unsigned off : {~0u, 0u, 1u, 2u, 3u, 7u, 8u, 15u, 16u, n / 2, n - 2, n - 1}) {
            if (off != ~0u && off >= n) continue;
            for (bool fill : {false, true}) {
                auto s = new_state();
                for (unsigned j = 0; j < kVecBytes; ++j) s->p[0][j] = j % c.esize == 0 || fill;
                if (off != ~0u) s->p[0][off * c.esize] = 0;
                for (unsigned b = 0; b < kVecBytes; ++b) {
                    m.base[b] = static_cast<unsigned char>(b * 13 + 1);
                    s->z[2][b] = static_cast<unsigned char>(b ^ 0xC3);
                }
                std::memset(s->z[1], 0xAA, kVecBytes);
                s->x[2] = reinterpret_cast<uint64_t>(m.base);
                unsigned char want[kVecBytes];
                std::memcpy(want, m.base, kVecBytes);
                if (off != ~0u) std::memset(want + off * c.esize, 0, c.esize);
                c.load(s.get(), make_zreg(1, c.qual), make_preg(0, kQualZeroing), make_rspreg(2), 0);
                ASSERT_EQ(std::memcmp(s->z[1], want, kVecBytes), 0) << "load esize " << c.esize << " inactive " << off;
                std::memcpy(want, s->z[2], kVecBytes);
                if (off != ~0u) std::memcpy(want + off * c.esize, m.base + off * c.esize, c.esize);
                c.store(s.get(), make_zreg(2, c.qual), make_preg(0, kQualB), make_rspreg(2), 0);
                ASSERT_EQ(std::memcmp(m.base, want, kVecBytes), 0) << "store esize " << c.esize << " inactive " << off;
            }
        }
    }
}

// LDFF1B/LDNF1B near the boundary between a readable page and an unmapped one.
// The span from the first to the last active element decides: wholly readable,
// it is loaded with inactive elements zero and FFR untouched; otherwise the
// load stops at the first active element that cannot be read, clearing FFR
// from there. Inactive elements never fault.
struct speculative_case {
    const char *what;
    unsigned below;       // start = boundary - below
    unsigned every;       // element i active when i % every == 0 ...
    unsigned active_end;  // ... and i < active_end
    unsigned loaded;      // elements read (FFR true below, false from here)
};

TEST(ContiguousTransfer, SpeculativeLoadsStopAtTheFirstActiveElementThatCannotBeRead) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    const speculative_case cases[] = {
        {"all active, all readable", 512, 1, 256, 256},
        {"all active, 100 readable", 100, 1, 256, 100},
        {"every third active, all readable", 300, 3, 256, 256},
        {"every third active, 100 readable", 100, 3, 256, 102},  // element 102 is the first active unreadable
        {"one active element, the rest inactive over the boundary", 1, 256, 256, 256},
        {"active elements below the boundary only", 64, 1, 64, 256},
        // The whole register inside the readable page.
        {"every third active, inside one page", 1000, 3, 256, 256},
        {"the first 64 active, inside one page", 3000, 1, 64, 256},
        {"from element 40, every fifth active, inside one page", 700, 5, 256, 256},
    };
    for (const speculative_case &c : cases) {
        for (bool first_fault : {true, false}) {
            auto s = new_state();
            std::memset(s->p[0], 0, kVecBytes);
            for (unsigned i = 0; i < c.active_end; i += c.every) s->p[0][i] = 1;
            if (c.below == 700) std::memset(s->p[0], 0, 40);
            std::memset(s->ffr, 1, kVecBytes);
            std::memset(s->z[1], 0xAA, kVecBytes);
            const unsigned char *start = m.boundary() - c.below;
            s->x[2] = reinterpret_cast<uint64_t>(start);
            if (first_fault)
                sve_ldff1b_scaled_zprr(s.get(), make_zreg(1, kQualB), make_preg(0, kQualZeroing), make_rspreg(2),
                                       make_ireg(31));
            else
                sve_ldnf1b_zpri(s.get(), make_zreg(1, kQualB), make_preg(0, kQualZeroing), make_rspreg(2), 0);
            for (unsigned i = 0; i < kVecBytes; ++i) {
                ASSERT_EQ(s->ffr[i], i < c.loaded ? 1 : 0) << c.what << ", FFR element " << i;
                if (i >= c.loaded) continue;
                const bool active = s->p[0][i] != 0;
                ASSERT_EQ(s->z[1][i], active ? start[i] : 0) << c.what << ", element " << i;
            }
        }
    }
}

// A first-fault load whose 256 bytes lie in one unmapped page faults at its
// first active element, not at the register's start; a non-fault load there
// clears FFR from that element on and leaves the elements below it as they were
// (inactive ones zero).
TEST(ContiguousTransfer, SpeculativeLoadInsideAnUnmappedPageStopsAtItsFirstActiveElement) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    for (unsigned first : {0u, 24u, 200u}) {
        auto s = new_state();
        std::memset(s->p[0], 0, kVecBytes);
        for (unsigned i = first; i < kVecBytes; ++i) s->p[0][i] = 1;
        std::memset(s->ffr, 1, kVecBytes);
        std::memset(s->z[1], 0xAA, kVecBytes);
        const unsigned char *start = m.boundary() + 16;
        s->x[2] = reinterpret_cast<uint64_t>(start);
        const uintptr_t at = fault_of([&] {
            sve_ldff1b_scaled_zprr(s.get(), make_zreg(1, kQualB), make_preg(0, kQualZeroing), make_rspreg(2),
                                   make_ireg(31));
        });
        EXPECT_EQ(at, reinterpret_cast<uintptr_t>(start + first)) << "first active element " << first;
        sve_ldnf1b_zpri(s.get(), make_zreg(1, kQualB), make_preg(0, kQualZeroing), make_rspreg(2), 0);
        for (unsigned i = 0; i < kVecBytes; ++i) {
            ASSERT_EQ(s->ffr[i], i < first ? 1 : 0) << "FFR element " << i << ", first active " << first;
            if (i < first) {
                ASSERT_EQ(s->z[1][i], 0) << "inactive element " << i;
            }
        }
    }
}

// Loads whose memory lies in one page, extending or under a partial predicate:
// the values come out extended with inactive elements zero, and in an unmapped
// page the load faults at its first active element's address.
TEST(ContiguousTransfer, LoadsInsideOnePageExtendAndFaultAtTheFirstActiveElement) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    using load = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_i_rsp_reg, int);
    struct load_case {
        const char *what;
        load k;
        uint32_t qual;
        unsigned esize, msize;
        bool sign;
    };
    const load_case loads[] = {
        {"ld1b z.h", sve_ld1b_h_zpri, kQualH, 2, 1, false}, {"ld1sb z.s", sve_ld1sb_s_zpri, kQualS, 4, 1, true},
        {"ld1sw z.d", sve_ld1sw_d_zpri, kQualD, 8, 4, true}, {"ld1w z.s", sve_ld1w_zpri, kQualS, 4, 4, false},
    };
    for (const load_case &c : loads) {
        const unsigned n = kVecBytes / c.esize;
        for (unsigned first : {0u, 5u, n - 1}) {
            auto s = new_state();
            std::memset(s->p[0], 0, kVecBytes);
            for (unsigned i = first; i < n; i += 2) s->p[0][i * c.esize] = 1;
            std::memset(s->z[1], 0xAA, kVecBytes);
            // Readable: the span ends 100 bytes below the boundary.
            const unsigned char *start = m.boundary() - 100 - n * c.msize;
            for (unsigned j = 0; j < n * c.msize; ++j) const_cast<unsigned char *>(start)[j] = static_cast<unsigned char>(0x80 + j * 7);
            s->x[2] = reinterpret_cast<uint64_t>(start);
            c.k(s.get(), make_zreg(1, c.qual), make_preg(0, kQualZeroing), make_rspreg(2), 0);
            for (unsigned i = 0; i < n; ++i) {
                uint64_t want = 0;
                if (i >= first && (i - first) % 2 == 0) {
                    std::memcpy(&want, start + i * c.msize, c.msize);
                    if (c.sign && (want >> (8 * c.msize - 1)) & 1) want |= ~uint64_t{0} << (8 * c.msize);
                }
                uint64_t got = 0;
                std::memcpy(&got, s->z[1] + i * c.esize, c.esize);
                const uint64_t keep = c.esize == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * c.esize)) - 1;
                ASSERT_EQ(got, want & keep) << c.what << ", element " << i << ", first active " << first;
            }
            // Unmapped: the whole span in the page above the boundary.
            s->x[2] = reinterpret_cast<uint64_t>(m.boundary() + 32);
            const uintptr_t at = fault_of([&] { c.k(s.get(), make_zreg(1, c.qual), make_preg(0, kQualZeroing), make_rspreg(2), 0); });
            EXPECT_EQ(at, reinterpret_cast<uintptr_t>(m.boundary() + 32 + first * c.msize)) << c.what << ", first active " << first;
        }
    }
}

// Structure loads and stores inside one page: LD3W splits the interleaved
// fields into three registers with inactive elements zero and, in an unmapped
// page, faults at its first active element's first field; ST3W with every
// element active interleaves them back, and a truncating ST1B from halfwords
// narrows; both fault at their first byte in an unmapped page.
TEST(ContiguousTransfer, StructuresAndTruncatingStoresInsideOnePage) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    constexpr unsigned n = kVecBytes / 4;
    unsigned char *start = m.boundary() - 4 * 3 * n - 8;
    for (unsigned j = 0; j < 3 * 4 * n; ++j) start[j] = static_cast<unsigned char>(j * 13 + 1);
    for (unsigned first : {0u, 7u}) {
        auto s = new_state();
        std::memset(s->p[0], 0, kVecBytes);
        for (unsigned i = first; i < n; i += 3) s->p[0][4 * i] = 1;
        s->x[2] = reinterpret_cast<uint64_t>(start);
        sve_ld3w_zpri(s.get(), make_zreg(31, kQualS), make_preg(0, kQualZeroing), make_rspreg(2), 0);
        for (unsigned r = 0; r < 3; ++r)
            for (unsigned i = 0; i < n; ++i) {
                uint32_t want = 0, got;
                if (i >= first && (i - first) % 3 == 0) std::memcpy(&want, start + 4 * (3 * i + r), 4);
                std::memcpy(&got, s->z[(31 + r) & 31] + 4 * i, 4);
                ASSERT_EQ(got, want) << "register " << r << ", element " << i << ", first active " << first;
            }
        s->x[2] = reinterpret_cast<uint64_t>(m.boundary() + 64);
        const uintptr_t at = fault_of([&] {
            sve_ld3w_zpri(s.get(), make_zreg(1, kQualS), make_preg(0, kQualZeroing), make_rspreg(2), 0);
        });
        EXPECT_EQ(at, reinterpret_cast<uintptr_t>(m.boundary() + 64 + 12 * first)) << "first active " << first;
    }
    auto s = new_state();
    std::memset(s->p[0], 1, kVecBytes);
    for (unsigned r = 0; r < 3; ++r)
        for (unsigned i = 0; i < kVecBytes; ++i) s->z[(30 + r) & 31][i] = static_cast<unsigned char>(i * 3 + r * 101);
    s->x[2] = reinterpret_cast<uint64_t>(start);
    sve_st3w_zpri(s.get(), make_zreg(30, kQualS), make_preg(0, kQualS), make_rspreg(2), 0);
    for (unsigned i = 0; i < n; ++i)
        for (unsigned r = 0; r < 3; ++r)
            ASSERT_EQ(std::memcmp(start + 4 * (3 * i + r), s->z[(30 + r) & 31] + 4 * i, 4), 0) << "element " << i << ", field " << r;
    sve_st1b_h_zpri(s.get(), make_zreg(30, kQualH), make_preg(0, kQualH), make_rspreg(2), 0);
    for (unsigned i = 0; i < kVecBytes / 2; ++i) ASSERT_EQ(start[i], s->z[30][2 * i]) << "halfword " << i;
    s->x[2] = reinterpret_cast<uint64_t>(m.boundary() + 64);
    EXPECT_EQ(fault_of([&] { sve_st3w_zpri(s.get(), make_zreg(30, kQualS), make_preg(0, kQualS), make_rspreg(2), 0); }),
              reinterpret_cast<uintptr_t>(m.boundary() + 64));
    EXPECT_EQ(fault_of([&] { sve_st1b_h_zpri(s.get(), make_zreg(30, kQualH), make_preg(0, kQualH), make_rspreg(2), 0); }),
              reinterpret_cast<uintptr_t>(m.boundary() + 64));
}

// Every structure size and element size inside one page: each register's
// fields from the interleaved memory, inactive elements zero (with bytes
// inside the elements set in the predicate, which do not count), the register
// numbers wrapping at 32; and with every element active the registers
// interleaved back.
template <typename T, unsigned N>
void check_structures(
    aarch64_decode_rc (*load)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_i_rsp_reg, int),
    aarch64_decode_rc (*store)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_i_rsp_reg, int), uint32_t qual) {
    constexpr unsigned n = kVecBytes / sizeof(T);
    // Unaligned, and well inside one page.
    alignas(4096) static unsigned char page[4096];
    unsigned char *const start = page + 8;
    for (unsigned j = 0; j < N * kVecBytes; ++j) start[j] = static_cast<unsigned char>(j * 29 + N);
    auto s = new_state();
    for (unsigned i = 0; i < kVecBytes; ++i) s->p[0][i] = (i / sizeof(T)) % 3 != 1 || i % sizeof(T) != 0;
    for (unsigned r = 0; r < N; ++r) std::memset(s->z[(30 + r) & 31], 0xEE, kVecBytes);
    s->x[2] = reinterpret_cast<uint64_t>(start);
    load(s.get(), make_zreg(30, qual), make_preg(0, kQualZeroing), make_rspreg(2), 0);
    for (unsigned r = 0; r < N; ++r)
        for (unsigned i = 0; i < n; ++i) {
            T want = 0, got;
            if (s->p[0][i * sizeof(T)] & 1) std::memcpy(&want, start + sizeof(T) * (N * i + r), sizeof(T));
            std::memcpy(&got, s->z[(30 + r) & 31] + sizeof(T) * i, sizeof(T));
            ASSERT_EQ(got, want) << N << " x " << sizeof(T) << " bytes: register " << r << ", element " << i;
        }
    std::memset(s->p[0], 1, kVecBytes);
    for (unsigned r = 0; r < N; ++r)
        for (unsigned i = 0; i < kVecBytes; ++i) s->z[(30 + r) & 31][i] = static_cast<unsigned char>(i * 7 + r * 53);
    store(s.get(), make_zreg(30, qual), make_preg(0, qual), make_rspreg(2), 0);
    for (unsigned i = 0; i < n; ++i)
        for (unsigned r = 0; r < N; ++r)
            ASSERT_EQ(std::memcmp(start + sizeof(T) * (N * i + r), s->z[(30 + r) & 31] + sizeof(T) * i, sizeof(T)), 0)
                << N << " x " << sizeof(T) << " bytes: element " << i << ", field " << r;
}

TEST(ContiguousTransfer, EveryStructureSizeInsideOnePage) {
    check_structures<uint8_t, 2>(sve_ld2b_zpri, sve_st2b_zpri, kQualB);
    check_structures<uint8_t, 3>(sve_ld3b_zpri, sve_st3b_zpri, kQualB);
    check_structures<uint8_t, 4>(sve_ld4b_zpri, sve_st4b_zpri, kQualB);
    check_structures<uint16_t, 2>(sve_ld2h_zpri, sve_st2h_zpri, kQualH);
    check_structures<uint16_t, 3>(sve_ld3h_zpri, sve_st3h_zpri, kQualH);
    check_structures<uint16_t, 4>(sve_ld4h_zpri, sve_st4h_zpri, kQualH);
    check_structures<uint32_t, 2>(sve_ld2w_zpri, sve_st2w_zpri, kQualS);
    check_structures<uint32_t, 3>(sve_ld3w_zpri, sve_st3w_zpri, kQualS);
    check_structures<uint32_t, 4>(sve_ld4w_zpri, sve_st4w_zpri, kQualS);
    check_structures<uint64_t, 2>(sve_ld2d_zpri, sve_st2d_zpri, kQualD);
    check_structures<uint64_t, 3>(sve_ld3d_zpri, sve_st3d_zpri, kQualD);
    check_structures<uint64_t, 4>(sve_ld4d_zpri, sve_st4d_zpri, kQualD);
}

}  // namespace

// Gathers and scatters through their handlers, with every element active and
// with one inactive: the offsets vector may be the destination (each offset is
// read before its element is written), inactive elements of a gather become 0
// and a scatter leaves their memory alone; the scatter writes in element order,
// so of two elements with the same address the later one wins.
TEST(ContiguousTransfer, GathersAndScattersReadTheirOffsetsInPlace) {
    static uint32_t table[256];
    for (unsigned i = 0; i < 256; ++i) table[i] = 0x1000u + i;
    for (int inactive : {-1, 0, 37, 63}) {
        auto s = new_state();
        std::memset(s->p[0], 0, sizeof s->p[0]);
        for (unsigned e = 0; e < 64; ++e) s->p[0][4 * e] = static_cast<int>(e) != inactive;
        s->x[2] = reinterpret_cast<uint64_t>(table);
        // LD1W {Z3.S}, P0/Z, [X2, Z3.S, UXTW #2]: the offsets in Z3 itself.
        for (unsigned e = 0; e < 64; ++e) zset<uint32_t>(s.get(), 3, e, (e * 7 + 3) % 256);
        ASSERT_EQ(run_word(s.get(), word_of("VecU32Load4SVZ", 3u | 3u << 16 | 2u << 5)), DECODE_OK);
        for (unsigned e = 0; e < 64; ++e)
            EXPECT_EQ(zget<uint32_t>(s.get(), 3, e), static_cast<int>(e) == inactive ? 0u : 0x1000u + (e * 7 + 3) % 256)
                << "element " << e << ", inactive " << inactive;
        // LD1D {Z4.D}, P0/Z, [X2, Z4.D]: byte offsets, the same register.
        for (unsigned e = 0; e < 32; ++e) zset<uint64_t>(s.get(), 4, e, 8u * (31 - e));
        ASSERT_EQ(run_word(s.get(), word_of("VecU64Load8VSZ", 4u | 4u << 16 | 2u << 5)), DECODE_OK);
        for (unsigned e = 0; e < 32; ++e) {
            uint64_t want;
            std::memcpy(&want, reinterpret_cast<const unsigned char *>(table) + 8 * (31 - e), 8);
            // .D elements: P0's byte 8e governs element e (set unless 8e / 4 is the inactive one).
            EXPECT_EQ(zget<uint64_t>(s.get(), 4, e), static_cast<int>(2 * e) == inactive ? 0u : want) << "element " << e;
        }
        // ST1W Z5.S, P0, [X2, Z6.S, UXTW #2]: elements 2k and 2k + 1 to the same word.
        static uint32_t out[64];
        std::memset(out, 0xEE, sizeof out);
        s->x[2] = reinterpret_cast<uint64_t>(out);
        for (unsigned e = 0; e < 64; ++e) {
            zset<uint32_t>(s.get(), 5, e, 100 + e);
            zset<uint32_t>(s.get(), 6, e, e / 2);
        }
        ASSERT_EQ(run_word(s.get(), word_of("VecU32Store4SVZ", 5u | 6u << 16 | 2u << 5)), DECODE_OK);
        for (unsigned k = 0; k < 32; ++k) {
            const int later = static_cast<int>(2 * k + 1) == inactive ? static_cast<int>(2 * k) : static_cast<int>(2 * k + 1);
            EXPECT_EQ(out[k], 100u + static_cast<unsigned>(later)) << "word " << k << ", inactive " << inactive;
        }
        for (unsigned k = 32; k < 64; ++k) EXPECT_EQ(out[k], 0xEEEEEEEEu) << "word " << k;
    }
}

// A store under a window of active elements (a loop's last iteration, or one
// from an offset): exactly the window's bytes are written; a block running
// into an unmapped page does not fault while its window stays below the
// boundary, and faults there, with the elements below it written, when the
// window crosses it.
TEST(ContiguousTransfer, StoresUnderAWindowWriteItAlone) {
    guard_pages m;
    ASSERT_NE(m.base, nullptr);
    struct window {
        unsigned from, to;  // active elements [from, to) of 32-bit elements
    };
    for (const window w : {window{0, 37}, window{0, 1}, window{5, 64}, window{20, 21}, window{3, 60}, window{0, 0}}) {
        for (unsigned below : {4096u, 256u, 200u, 148u, 100u}) {
            auto s = new_state();
            std::memset(s->p[0], 0, kVecBytes);
            for (unsigned e = w.from; e < w.to; ++e) s->p[0][4 * e] = 1;
            for (unsigned b = 0; b < kVecBytes; ++b) s->z[1][b] = static_cast<unsigned char>(b + 1);
            std::memset(m.base, 0, m.page);
            unsigned char *start = m.boundary() - below;
            s->x[2] = reinterpret_cast<uint64_t>(start);
            const uintptr_t at = fault_of([&] {
                sve_st1w_zpri(s.get(), make_zreg(1, kQualS), make_preg(0, kQualB), make_rspreg(2), 0);
            });
            // The bytes up to the boundary that the window covers are written, no other.
            const unsigned end = std::min(4 * w.to, below);
            const bool faults = 4 * w.to > below && w.from < w.to;
            EXPECT_EQ(at, faults ? reinterpret_cast<uintptr_t>(m.boundary()) : 0u)
                << "window " << w.from << "-" << w.to << ", " << below << " below";
            for (unsigned b = 0; b < std::min(below, kVecBytes); ++b) {
                const unsigned char want = b >= 4 * w.from && b < end ? static_cast<unsigned char>(b + 1) : 0;
                ASSERT_EQ(start[b], want) << "byte " << b << ", window " << w.from << "-" << w.to << ", " << below;
            }
        }
    }
}
