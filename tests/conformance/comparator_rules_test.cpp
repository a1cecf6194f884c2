// The comparator: exact everywhere, with the first-fault and non-fault load rule
// as the one allowance.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sve/state/cpu_state.h"
#include "tools/conformance/comparator.h"

namespace conformance {
namespace {

struct Fixture : ::testing::Test {
    case_input in{};
    case_result ref, sub;
    std::vector<uint8_t> pristine = std::vector<uint8_t>(kWindowBytes, 0xA5);
    word_profile plain = profile_from_disassembly("add z1.s, z2.s, z3.s");
    void SetUp() override {
        in.header.pc = slot_pc(3);
        for (unsigned i = 0; i < 31; ++i) in.regs.x[i] = i * 0x1111;
        for (unsigned z = 0; z < 32; ++z) std::memset(in.regs.z[z], static_cast<int>(z), kZBytes);
        std::memset(in.regs.ffr, 0xFF, kPBytes);
        ref.regs = in.regs;
        ref.pc_after = in.header.pc + 4;
        sub = ref;
    }
    comparison compare(const word_profile &p) { return compare_results(in, p, ref, sub, pristine.data()); }
};

using ComparatorRules = Fixture;

TEST_F(ComparatorRules, IdenticalStatesAgreeAndOneBitAnywhereDoesNot) {
    EXPECT_TRUE(compare(plain).agree);
    struct {
        const char *where;
        void (*flip)(case_result &);
    } const cases[] = {
        {"x30", [](case_result &r) { r.regs.x[30] ^= 1ull << 63; }},
        {"sp", [](case_result &r) { r.regs.sp ^= 16; }},
        {"nzcv", [](case_result &r) { r.regs.nzcv ^= 1u << 29; }},
        {"fpsr", [](case_result &r) { r.regs.fpsr ^= 1u << 27; }},
        {"fpcr", [](case_result &r) { r.regs.fpcr ^= 1u << 24; }},
        {"z31 bytes 240..255", [](case_result &r) { r.regs.z[31][255] ^= 0x80; }},
        {"p15 bytes 16..31", [](case_result &r) { r.regs.p[15][31] ^= 0x80; }},
        {"ffr bytes 0..15", [](case_result &r) { r.regs.ffr[0] ^= 1; }},
        {"pc after", [](case_result &r) { r.pc_after += 4; }},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.where);
        sub = ref;
        c.flip(sub);
        comparison cmp = compare(plain);
        ASSERT_FALSE(cmp.agree);
        ASSERT_EQ(cmp.differences.size(), 1u);
        EXPECT_EQ(cmp.differences[0].where, c.where);
    }
}

TEST_F(ComparatorRules, ReportsValuesMostSignificantByteFirstWithTheInput) {
    sub.regs.z[4][0] = 0x55;
    comparison cmp = compare(plain);
    ASSERT_EQ(cmp.differences.size(), 1u);
    EXPECT_EQ(cmp.differences[0].where, "z4 bytes 0..15");
    EXPECT_EQ(cmp.differences[0].subject, "0404040404040404_0404040404040455");
    EXPECT_EQ(cmp.differences[0].reference, "0404040404040404_0404040404040404");
    EXPECT_EQ(cmp.differences[0].before, "0404040404040404_0404040404040404");
}

TEST_F(ComparatorRules, APlaceholderOrAFaultIsNeverAgreement) {
    sub.rc = DECODE_UNIMPLEMENTED;  // even with the state exactly as the reference left it
    EXPECT_FALSE(compare(plain).agree);
    sub.rc = DECODE_OK;
    sub.signal = 11;
    EXPECT_FALSE(compare(plain).agree);
    sub.signal = 0;
    sub.note = "p2 byte 7 holds 3";
    EXPECT_FALSE(compare(plain).agree);
}

TEST_F(ComparatorRules, MemoryComparesAgainstTheInitialWindowWhereASideChangedNothing) {
    wire_chunk same;
    same.index = 10;
    std::memset(same.bytes, 0xA5, kChunkBytes);  // written, but with the old contents
    wire_chunk changed = same;
    changed.bytes[63] = 0;
    ref.chunks = {same};
    EXPECT_TRUE(compare(plain).agree);
    ref.chunks = {changed};
    comparison cmp = compare(plain);
    ASSERT_FALSE(cmp.agree);
    EXPECT_EQ(cmp.differences[0].where, "memory at 0x6000280 bytes 48..63");
    sub.chunks = {changed};
    EXPECT_TRUE(compare(plain).agree);
}

// First-fault and non-fault loads.
void clear_ffr_from(case_result &r, unsigned element, unsigned esize) {
    for (unsigned i = element * esize; i < kZBytes; ++i) set_pred_bit(r.regs.ffr, i, false);
}

struct PartialLoads : Fixture {
    // ldff1w { z4.s }, p1/z, [x0, x1, lsl #2] with x0 in the window, x1 = 0,
    // every element active, and element e holding its word of the window.
    word_profile ff = profile_from_disassembly("ldff1w { z4.s }, p1/z, [x0, x1, lsl #2]");
    const uint64_t base = kWindowBase + 3 * kPageBytes + 512;
    void SetUp() override {
        Fixture::SetUp();
        for (size_t i = 0; i < pristine.size(); ++i) pristine[i] = static_cast<uint8_t>(i * 7 + 3);
        in.regs.x[0] = base;
        in.regs.x[1] = 0;
        std::memset(in.regs.p[1], 0x11, kPBytes);
        ref.regs = in.regs;
        std::memcpy(ref.regs.z[4], &pristine[base - kWindowBase], kZBytes);
        sub = ref;
    }
};

TEST_F(PartialLoads, TheSubjectMayStopEarlierAndItsSuppressedElementsAreNotCompared) {
    EXPECT_TRUE(compare(ff).agree);
    clear_ffr_from(sub, 20, 4);
    for (unsigned i = 20 * 4; i < kZBytes; ++i) sub.regs.z[4][i] = 0xEE;  // UNKNOWN: any value
    EXPECT_TRUE(compare(ff).agree);
    sub.regs.z[4][19 * 4] ^= 1;  // an element the subject kept must match
    EXPECT_FALSE(compare(ff).agree);
    sub.regs.z[4][19 * 4] ^= 1;
    sub.regs.z[5][100] ^= 1;  // and so must every other register
    EXPECT_FALSE(compare(ff).agree);
}

TEST_F(PartialLoads, ElementsOnlyTheSubjectKeptAreComparedWithMemory) {
    clear_ffr_from(ref, 40, 4);  // the reference stopped, though the memory is readable
    std::memset(ref.regs.z[4] + 40 * 4, 0, kZBytes - 40 * 4);
    EXPECT_TRUE(compare(ff).agree) << "the subject loaded them correctly";
    sub.regs.z[4][50 * 4 + 3] ^= 0x40;
    comparison cmp = compare(ff);
    ASSERT_FALSE(cmp.agree);
    EXPECT_NE(cmp.differences[0].where.find("z4 element 50 (kept by the subject only"), std::string::npos)
        << cmp.differences[0].where;
}

TEST_F(PartialLoads, TheSubjectMayNotKeepAnElementWhoseMemoryHasNoAccess) {
    in.regs.x[1] = (kPageBytes - 512 - 128) / 4;  // element 32 on lies on the next page
    in.header.unmapped_pages = 1ull << 4;          // which has no access
    ref.regs = in.regs;
    clear_ffr_from(ref, 32, 4);
    sub = ref;
    std::memset(sub.regs.ffr, 0xFF, kPBytes);
    EXPECT_FALSE(compare(ff).agree) << "elements 32.. cannot have been loaded";
    sub = ref;
    EXPECT_TRUE(compare(ff).agree);
}

TEST_F(PartialLoads, AFirstFaultLoadNeverClearsItsFirstActiveElementAndOnlyATail) {
    word_profile ffd = profile_from_disassembly("ldff1d { z4.d }, p1/z, [x0, x1, lsl #3]");
    std::memset(in.regs.p[1], 0, kPBytes);
    set_pred_bit(in.regs.p[1], 3 * 8, true);  // element 3 is the first active one
    set_pred_bit(in.regs.p[1], 9 * 8, true);
    ref.regs = in.regs;
    sub = ref;
    clear_ffr_from(sub, 3, 8);
    EXPECT_FALSE(compare(ffd).agree) << "a fault on the first active element is a real fault";
    sub = ref;
    clear_ffr_from(sub, 4, 8);
    EXPECT_TRUE(compare(ffd).agree);
    sub = ref;
    set_pred_bit(sub.regs.ffr, 2 * 8, false);  // a hole is not a cleared tail
    EXPECT_FALSE(compare(ffd).agree);
}

TEST_F(PartialLoads, ANonFaultLoadMayClearFromTheFirstElementButAnOrdinaryLoadMayNot) {
    word_profile nf = profile_from_disassembly("ldnf1b { z2.b }, p0/z, [x3, #1, mul vl]");
    in.regs.x[3] = base;
    std::memset(in.regs.p[0], 0xFF, kPBytes);
    ref.regs = in.regs;
    sub = ref;
    clear_ffr_from(sub, 0, 1);
    std::memset(sub.regs.z[2], 0x77, kZBytes);
    EXPECT_TRUE(compare(nf).agree);
    word_profile ld = profile_from_disassembly("ld1b { z2.b }, p0/z, [x3, #1, mul vl]");
    EXPECT_FALSE(compare(ld).agree);
}

TEST_F(PartialLoads, ElementsWhoseFfrBitWasClearBeforeTheLoadAreNotCompared) {
    std::memset(in.regs.ffr, 0, kPBytes);
    for (unsigned i = 0; i < 128; ++i) set_pred_bit(in.regs.ffr, i, true);  // 32 .s elements
    std::memcpy(ref.regs.ffr, in.regs.ffr, kPBytes);
    sub = ref;
    sub.regs.z[4][200] ^= 0xFF;  // element 50: its FFR bit was clear already
    EXPECT_TRUE(compare(ff).agree);
    sub.regs.z[4][10] ^= 0xFF;  // element 2: loaded, compared
    EXPECT_FALSE(compare(ff).agree);
}

TEST(ElementAddresses, FollowTheAddressingForms) {
    wire_regs r{};
    r.x[2] = 0x1000;
    r.x[3] = 5;
    r.sp = 0x8000;
    uint64_t a = 0;
    ASSERT_TRUE(element_address(profile_from_disassembly("ldff1h { z0.s }, p0/z, [x2, x3, lsl #1]"), r, 4, a));
    EXPECT_EQ(a, 0x1000u + 10 + 4 * 2);
    ASSERT_TRUE(element_address(profile_from_disassembly("ldnf1w { z0.d }, p0/z, [sp, #-2, mul vl]"), r, 1, a));
    EXPECT_EQ(a, 0x8000u - 2 * 32 * 4 + 4);
    const uint32_t off = 0xFFFFFFF0u;  // -16 as sxtw
    std::memcpy(&r.z[7][3 * 8], &off, 4);
    ASSERT_TRUE(element_address(profile_from_disassembly("ldff1d { z0.d }, p0/z, [x2, z7.d, sxtw #3]"), r, 3, a));
    EXPECT_EQ(a, 0x1000u - 16 * 8);
    const uint32_t vb = 0x06001234;
    std::memcpy(&r.z[9][2 * 4], &vb, 4);
    ASSERT_TRUE(element_address(profile_from_disassembly("ldff1b { z0.s }, p0/z, [z9.s, #12]"), r, 2, a));
    EXPECT_EQ(a, 0x06001234u + 12);
    EXPECT_TRUE(profile_from_disassembly("ldff1sh { z0.d }, p0/z, [x0]").sign_extends);
    EXPECT_FALSE(profile_from_disassembly("ldff1h { z0.d }, p0/z, [x0]").sign_extends);
}

}  // namespace
}  // namespace conformance
