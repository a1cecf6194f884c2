// The case generator: determinism, the operand fields it may fill, what it reads
// off the disassembly, and the invariants of the states it builds.
#include <gtest/gtest.h>

#include <cstring>

#include "tools/conformance/case_generator.h"

namespace conformance {
namespace {

TEST(CaseGenerator, WordsKeepTheKeyBitsAndVaryTheRest) {
    const uint32_t mask = 0xFF20FC00, value = 0x04200000;
    uint32_t seen_free = 0;
    for (uint64_t k = 0; k < 64; ++k) {
        uint32_t w = generate_word("VecU8AddVVX", mask, value, 7, k);
        EXPECT_EQ(w & mask, value);
        seen_free |= w;
    }
    EXPECT_EQ(seen_free & ~mask, ~mask) << "every operand bit should be drawn both ways";
}

TEST(CaseGenerator, CasesAreAPureFunctionOfHandlerSeedAndIndex) {
    word_profile p = profile_from_disassembly("add z1.s, z2.s, z3.s");
    case_input a, b, c, d;
    generate_case("VecU32AddVVX", 5, 17, 0x04A30041, p, a);
    generate_case("VecU32AddVVX", 5, 17, 0x04A30041, p, b);
    generate_case("VecU32AddVVX", 5, 18, 0x04A30041, p, c);
    generate_case("VecU32SubVVX", 5, 17, 0x04A30041, p, d);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    EXPECT_NE(std::memcmp(&a.regs, &c.regs, sizeof a.regs), 0);
    EXPECT_NE(std::memcmp(&a.regs, &d.regs, sizeof a.regs), 0);
    EXPECT_EQ(generate_word("VecU32AddVVX", 0xFF000000, 0x04000000, 5, 3),
              generate_word("VecU32AddVVX", 0xFF000000, 0x04000000, 5, 3));
}

TEST(CaseGenerator, ReadsAddressOperandsOffTheDisassembly) {
    word_profile g = profile_from_disassembly("ld1d { z0.d }, p1/z, [x2, z3.d, lsl #3]");
    EXPECT_TRUE(g.memory);
    EXPECT_FALSE(g.store);
    EXPECT_EQ(g.first_z, 0u);
    EXPECT_EQ(g.governing_p, 1u);
    EXPECT_EQ(g.element_bytes, 8u);
    EXPECT_EQ(g.address.base, addr_base::scalar);
    EXPECT_EQ(g.address.base_reg, 2u);
    EXPECT_EQ(g.address.offset, addr_offset::vector_d);
    EXPECT_EQ(g.address.offset_reg, 3u);
    EXPECT_EQ(g.address.extend, addr_extend::lsl);
    EXPECT_EQ(g.address.shift, 3u);

    word_profile ff = profile_from_disassembly("ldff1w { z4.s }, p2/z, [z5.s, #8]");
    EXPECT_TRUE(ff.first_fault);
    EXPECT_EQ(ff.address.base, addr_base::vector_s);
    EXPECT_EQ(ff.address.base_reg, 5u);
    EXPECT_EQ(ff.address.offset, addr_offset::immediate);

    word_profile st = profile_from_disassembly("st1b { z9.h }, p7, [sp, x4]");
    EXPECT_TRUE(st.store);
    EXPECT_EQ(st.governing_p, 7u);
    EXPECT_EQ(st.address.base, addr_base::sp);
    EXPECT_EQ(st.address.offset, addr_offset::scalar);
    EXPECT_EQ(st.address.offset_reg, 4u);

    word_profile nf = profile_from_disassembly("ldnf1sb { z1.d }, p0/z, [x3, #-2, mul vl]");
    EXPECT_TRUE(nf.non_fault);
    EXPECT_FALSE(nf.first_fault);

    word_profile fp = profile_from_disassembly("fadd z0.h, p0/m, z0.h, #0.5");
    EXPECT_TRUE(fp.floating);
    EXPECT_FALSE(fp.memory);
    EXPECT_EQ(fp.element_bytes, 2u);
}

bool in_window(uint64_t a) { return a >= kWindowBase && a < kWindowBase + kWindowBytes; }

TEST(CaseGenerator, ScalarAddressesLandInTheWindowEvenWhenBaseAndIndexAreOneRegister) {
    word_profile two = profile_from_disassembly("ld1w { z0.s }, p0/z, [x5, x6, lsl #2]");
    word_profile same = profile_from_disassembly("ld1d { z0.d }, p0/z, [x7, x7, lsl #3]");
    for (uint64_t k = 0; k < 200; ++k) {
        case_input c;
        generate_case("VecU32Load", 1, k, 0, two, c);
        int64_t index = static_cast<int64_t>(c.regs.x[6]);
        EXPECT_TRUE(in_window(c.regs.x[5] + static_cast<uint64_t>(index * 4))) << k;
        EXPECT_TRUE(in_window(c.regs.x[5] + static_cast<uint64_t>(index * 4) + 1024)) << k;
        generate_case("VecU64Load", 1, k, 0, same, c);
        EXPECT_TRUE(in_window(c.regs.x[7] + (c.regs.x[7] << 3))) << k;
        EXPECT_NE(c.header.flags & kCaseCheckMemory, 0u);
    }
}

TEST(CaseGenerator, VectorAddressesLandInTheWindowForActiveElements) {
    word_profile vb = profile_from_disassembly("ld1w { z0.s }, p3/z, [z9.s, #4]");
    word_profile vo = profile_from_disassembly("ld1d { z0.d }, p3/z, [x1, z2.d, sxtw #3]");
    for (uint64_t k = 0; k < 100; ++k) {
        case_input c;
        generate_case("VecU32Gather", 2, k, 0, vb, c);
        for (unsigned e = 0; e < 64; ++e) {
            if (!pred_bit(c.regs.p[3], e * 4)) continue;
            uint32_t a;
            std::memcpy(&a, &c.regs.z[9][e * 4], 4);
            EXPECT_TRUE(in_window(a + 124u)) << k << " element " << e;
        }
        generate_case("VecU64Gather", 2, k, 0, vo, c);
        for (unsigned e = 0; e < 32; ++e) {
            if (!pred_bit(c.regs.p[3], e * 8)) continue;
            int32_t off;
            std::memcpy(&off, &c.regs.z[2][e * 8], 4);  // sxtw: only the low word counts
            EXPECT_TRUE(in_window(c.regs.x[1] + static_cast<uint64_t>(int64_t{off} * 8))) << k;
        }
    }
}

bool page_withdrawn(const case_input &c, uint64_t address) {
    if (!in_window(address)) return false;
    return (c.header.unmapped_pages >> ((address - kWindowBase) / kPageBytes)) & 1;
}

TEST(CaseGenerator, FirstFaultLoadsMeetWithdrawnPagesOnlyAfterTheirFirstActiveElement) {
    word_profile contiguous = profile_from_disassembly("ldff1w { z3.s }, p2/z, [x4, x5, lsl #2]");
    word_profile gather = profile_from_disassembly("ldff1d { z3.d }, p2/z, [z6.d, #16]");
    EXPECT_EQ(contiguous.memory_bytes, 4u);
    EXPECT_EQ(gather.address.immediate, 16);
    unsigned with_pages = 0;
    for (uint64_t k = 0; k < 300; ++k) {
        case_input c;
        generate_case("VecU32CLoadFF4LSSZ", 8, k, 0, contiguous, c);
        with_pages += c.header.unmapped_pages != 0;
        for (unsigned e = 0; e < 64; ++e) {
            if (!pred_bit(c.regs.p[2], e * 4)) continue;
            uint64_t a = c.regs.x[4] + ((c.regs.x[5] + e) << 2);
            EXPECT_FALSE(page_withdrawn(c, a) || page_withdrawn(c, a + 3)) << k;
            break;
        }
        generate_case("VecU64LoadFF8VIZ", 8, k, 0, gather, c);
        for (unsigned e = 0; e < 32; ++e) {
            if (!pred_bit(c.regs.p[2], e * 8)) continue;
            uint64_t a;
            std::memcpy(&a, &c.regs.z[6][e * 8], 8);
            EXPECT_FALSE(page_withdrawn(c, a + 16) || page_withdrawn(c, a + 23)) << k;
            break;
        }
    }
    EXPECT_GT(with_pages, 50u) << "about half the cases should withdraw pages";
}

TEST(CaseGenerator, FfrIsAlwaysARunOfOnesAndControlsStayInTheirFields) {
    word_profile p = profile_from_disassembly("rdffr p0.b");
    word_profile w = profile_from_disassembly("wrffr p6.b");
    bool saw_full = false, saw_partial = false;
    for (uint64_t k = 0; k < 300; ++k) {
        case_input c;
        generate_case("VecPReadFFSRP", 3, k, 0, k % 2 ? p : w, c);
        const uint8_t *regs[2] = {c.regs.ffr, c.regs.p[6]};
        for (unsigned r = 0; r < (k % 2 ? 1u : 2u); ++r) {
            unsigned ones = 0;
            while (ones < 256 && pred_bit(regs[r], ones)) ++ones;
            for (unsigned i = ones; i < 256; ++i) ASSERT_FALSE(pred_bit(regs[r], i)) << k;
            if (r == 0) {
                saw_full |= ones == 256;
                saw_partial |= ones > 0 && ones < 256;
            }
        }
        EXPECT_EQ(c.regs.nzcv & ~0xF0000000ull, 0u);
        EXPECT_EQ(c.regs.fpcr & ~((3u << 22) | (1u << 24) | (1u << 25) | (1u << 26) | (1u << 19)), 0u);
        EXPECT_EQ(c.regs.fpsr & ~0x0800009Fu, 0u);
    }
    EXPECT_TRUE(saw_full);
    EXPECT_TRUE(saw_partial);
}

TEST(CaseGenerator, FloatingPointRegistersCarryTheSpecialValues) {
    word_profile p = profile_from_disassembly("fadd z0.s, p0/m, z0.s, z1.s");
    unsigned nan = 0, inf = 0, sub = 0, zero = 0, ties = 0;
    for (uint64_t k = 0; k < 20; ++k) {
        case_input c;
        generate_case("VecF32AddVVM", 4, k, 0, p, c);
        for (auto &z : c.regs.z)
            for (unsigned e = 0; e < 64; ++e) {
                uint32_t v;
                std::memcpy(&v, &z[e * 4], 4);
                uint32_t exp = (v >> 23) & 0xFF, frac = v & 0x7FFFFF;
                nan += exp == 0xFF && frac != 0;
                inf += exp == 0xFF && frac == 0;
                sub += exp == 0 && frac != 0;
                zero += (v & 0x7FFFFFFF) == 0;
                // n + 0.5 exactly, n >= 1: a tie for FRINTA and FRINTN.
                if (exp >= 127 && exp < 127 + 23) {
                    const uint32_t half = 1u << (22 - (exp - 127));
                    ties += (frac & (2 * half - 1)) == half;
                }
            }
    }
    EXPECT_GT(nan, 100u);
    EXPECT_GT(inf, 100u);
    EXPECT_GT(sub, 100u);
    EXPECT_GT(zero, 100u);
    EXPECT_GT(ties, 100u);
}

// The shape of a predicate at one element size: which elements are active, by
// their lowest bit.
struct shape_counts {
    unsigned none = 0, all = 0, first_only = 0, last_only = 0, prefix = 0, suffix = 0, alternating = 0,
             per_segment = 0, hidden_bits = 0;
};

void classify(const uint8_t *p, unsigned esize, shape_counts &n) {
    const unsigned elements = 256 / esize;
    unsigned active = 0, first = elements, last = 0;
    bool other_bits = false;
    for (unsigned e = 0; e < elements; ++e) {
        if (pred_bit(p, e * esize)) {
            ++active;
            first = first == elements ? e : first;
            last = e;
        }
        for (unsigned b = 1; b < esize; ++b) other_bits |= pred_bit(p, e * esize + b);
    }
    bool alternating = active == elements / 2, segments = active == elements * esize / 16;
    for (unsigned e = 0; e < elements; ++e) {
        alternating &= pred_bit(p, e * esize) == pred_bit(p, (e % 2) * esize);
        segments &= pred_bit(p, e * esize) == pred_bit(p, (e % (16 / esize)) * esize);
    }
    n.none += active == 0;
    n.all += active == elements;
    n.first_only += active == 1 && first == 0;
    n.last_only += active == 1 && last == elements - 1;
    n.prefix += active > 1 && active < elements && first == 0 && last == active - 1;
    n.suffix += active > 1 && active < elements && last == elements - 1 && first == elements - active;
    n.alternating += alternating && esize < 16;
    n.per_segment += segments && esize < 16 && active > 0 && active < elements / 2;
    n.hidden_bits += active == 0 && other_bits;
}

TEST(CaseGenerator, PredicatesTakeTheShapesThatBreakPredicateCode) {
    for (const char *text : {"ptest p3, p5.b", "cmpeq p0.h, p3/z, z1.h, z2.h", "ands p1.b, p7/z, p2.b, p3.b",
                             "fadd z0.s, p2/m, z0.s, z1.s", "pfirst p0.b, p9, p0.b", "add z0.d, p4/m, z0.d, z1.d"}) {
        SCOPED_TRACE(text);
        word_profile p = profile_from_disassembly(text);
        ASSERT_LT(p.governing_p, 16u);
        shape_counts gov, any;
        const unsigned cases = 400;
        for (uint64_t k = 0; k < cases; ++k) {
            case_input c;
            generate_case("Shapes", 11, k, 0, p, c);
            classify(c.regs.p[p.governing_p], p.element_bytes, gov);
            for (unsigned r = 0; r < 16; ++r)
                if (r != p.governing_p) classify(c.regs.p[r], p.element_bytes, any);
        }
        // The governing predicate: a single element at either end in about one
        // case of five or eight, so that 24 cases of one handler meet each.
        EXPECT_GT(gov.first_only, cases / 6);
        EXPECT_GT(gov.last_only, cases / 9);
        EXPECT_GT(gov.none, cases / 40);
        EXPECT_GT(gov.all, cases / 16);
        EXPECT_GT(gov.prefix, cases / 20);
        // Every other predicate too, less often each.
        const unsigned others = cases * 15;
        EXPECT_GT(any.first_only, others / 16);
        EXPECT_GT(any.last_only, others / 16);
        EXPECT_GT(any.prefix, others / 40);
        EXPECT_GT(any.suffix, others / 40);
        EXPECT_GT(any.alternating, others / 40);
        if (p.element_bytes < 8) {
            EXPECT_GT(any.per_segment, others / 80);
        }
        if (p.element_bytes > 1) {
            EXPECT_GT(any.hidden_bits, others / 80) << "bits the element size ignores";
        }
    }
}

}  // namespace
}  // namespace conformance
