// The SVE-only state across program signal handlers: what comes back at a
// handler's return, what a handler left by a jump leaves behind, and what the
// copy covers.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "sve/state/signal_levels.h"
#include "tests/common/test_state.h"

namespace {

std::vector<sve_upper_state *> g_areas;

sve_upper_state *test_alloc() {
    auto *a = static_cast<sve_upper_state *>(std::calloc(1, sizeof(sve_upper_state)));
    g_areas.push_back(a);
    return a;
}
sve_upper_state *failing_alloc() { return nullptr; }

struct Levels : ::testing::Test {
    sve_signal_levels lv{};
    std::unique_ptr<cpu_state> st = new_state();
    void TearDown() override {
        for (auto *a : g_areas) std::free(a);
        g_areas.clear();
    }
    // Every SVE-only byte and the low Z bytes set from `seed`.
    void fill(unsigned seed) {
        for (unsigned n = 0; n < 32; ++n)
            for (unsigned b = 0; b < kVecBytes; ++b) st->z[n][b] = static_cast<unsigned char>(seed + n * 7 + b);
        for (unsigned n = 0; n < 16; ++n)
            for (unsigned b = 0; b < kVecBytes; ++b) st->p[n][b] = (seed + n + b) & 1;
        for (unsigned b = 0; b < kVecBytes; ++b) st->ffr[b] = (seed + b / 3) & 1;
    }
    static sve_handler_frame frame(uintptr_t sp, uintptr_t lo = 0, uintptr_t hi = 0) {
        return {sp, lo, hi};
    }
};

TEST_F(Levels, HandlerThatRunsSveGetsTheInterruptedStateBack) {
    fill(1);
    const auto before = *st;
    sve_signal_levels_enter(lv, frame(0x8000), 0x9000);
    EXPECT_TRUE(sve_signal_levels_before_sve(lv, 0x7f00, *st, test_alloc));
    EXPECT_FALSE(sve_signal_levels_before_sve(lv, 0x7e00, *st, test_alloc)) << "one copy per level";
    fill(99);
    // The frame's V registers are what the kernel gives back: bytes 0-15 stay as
    // the host loaded them, everything else returns.
    for (unsigned n = 0; n < 32; ++n) st->z[n][3] = 0xEE;
    ASSERT_TRUE(sve_signal_levels_leave(lv, 0x8000, st.get()));
    for (unsigned n = 0; n < 32; ++n) {
        EXPECT_EQ(st->z[n][3], 0xEE);
        EXPECT_EQ(0, std::memcmp(st->z[n] + 16, before.z[n] + 16, kVecBytes - 16)) << n;
    }
    EXPECT_EQ(0, std::memcmp(st->p, before.p, sizeof st->p));
    EXPECT_EQ(0, std::memcmp(st->ffr, before.ffr, sizeof st->ffr));
    EXPECT_EQ(lv.depth, 0u);
    EXPECT_EQ(lv.saves, 1u);
    EXPECT_EQ(lv.restores, 1u);
}

TEST_F(Levels, HandlerWithoutSveCopiesNothing) {
    sve_signal_levels_enter(lv, frame(0x8000), 0x9000);
    fill(5);
    const auto inside = *st;
    ASSERT_TRUE(sve_signal_levels_leave(lv, 0x8000, st.get()));
    EXPECT_EQ(0, std::memcmp(st.get(), &inside, sizeof inside));
    EXPECT_EQ(lv.saves + lv.restores, 0u);
    EXPECT_TRUE(g_areas.empty());
}

TEST_F(Levels, NestedHandlersEachRestoreTheirOwnInterruptedState) {
    fill(1);
    const auto outer_interrupted = *st;
    sve_signal_levels_enter(lv, frame(0x8000), 0x9000);
    // The outer handler runs no SVE before a nested signal (SA_NODEFER or another one).
    sve_signal_levels_enter(lv, frame(0x7000), 0x7800);
    EXPECT_TRUE(sve_signal_levels_before_sve(lv, 0x6f00, *st, test_alloc));
    fill(2);
    ASSERT_TRUE(sve_signal_levels_leave(lv, 0x7000, st.get()));
    EXPECT_EQ(0, std::memcmp(st->p, outer_interrupted.p, sizeof st->p));
    // Now the outer handler runs SVE, changes the state and returns.
    EXPECT_TRUE(sve_signal_levels_before_sve(lv, 0x7f00, *st, test_alloc));
    fill(3);
    ASSERT_TRUE(sve_signal_levels_leave(lv, 0x8000, st.get()));
    EXPECT_EQ(0, std::memcmp(st->z[31] + 16, outer_interrupted.z[31] + 16, kVecBytes - 16));
    EXPECT_EQ(0, std::memcmp(st->ffr, outer_interrupted.ffr, sizeof st->ffr));
    EXPECT_EQ(lv.depth, 0u);
}

TEST_F(Levels, LeftByJumpIsDiscardedNotRestored) {
    fill(1);
    sve_signal_levels_enter(lv, frame(0x8000), 0x9000);
    EXPECT_TRUE(sve_signal_levels_before_sve(lv, 0x7f00, *st, test_alloc));
    fill(2);
    const auto after_handler = *st;
    // siglongjmp back to the interrupted code, which runs above the frame and
    // executes SVE: no copy of its own, and the handler's state stays.
    EXPECT_FALSE(sve_signal_levels_before_sve(lv, 0x9000, *st, test_alloc));
    EXPECT_EQ(lv.depth, 0u);
    EXPECT_EQ(lv.abandoned, 1u);
    EXPECT_EQ(0, std::memcmp(st.get(), &after_handler, sizeof after_handler));
    // A later sigreturn of that frame finds nothing to restore twice.
    EXPECT_FALSE(sve_signal_levels_leave(lv, 0x8000, st.get()));
    EXPECT_EQ(lv.restores, 0u);
}

TEST_F(Levels, JumpOutOfANestedHandlerIntoItsOuterHandler) {
    fill(1);
    const auto interrupted = *st;
    sve_signal_levels_enter(lv, frame(0x8000), 0x9000);
    EXPECT_TRUE(sve_signal_levels_before_sve(lv, 0x7f00, *st, test_alloc));
    sve_signal_levels_enter(lv, frame(0x7000), 0x7800);
    EXPECT_TRUE(sve_signal_levels_before_sve(lv, 0x6f00, *st, test_alloc));
    fill(2);
    // The nested handler jumps back into the outer one (sp between the frames);
    // the outer one returns normally.
    EXPECT_FALSE(sve_signal_levels_before_sve(lv, 0x7a00, *st, test_alloc));
    EXPECT_EQ(lv.depth, 1u);
    ASSERT_TRUE(sve_signal_levels_leave(lv, 0x8000, st.get()));
    EXPECT_EQ(0, std::memcmp(st->p, interrupted.p, sizeof st->p));
    EXPECT_EQ(lv.abandoned, 1u);
}

TEST_F(Levels, ReturnOfTheOuterFrameDiscardsLevelsNeverLeft) {
    sve_signal_levels_enter(lv, frame(0x8000), 0x9000);
    sve_signal_levels_enter(lv, frame(0x7000), 0x7800);
    ASSERT_TRUE(sve_signal_levels_leave(lv, 0x8000, st.get()));
    EXPECT_EQ(lv.depth, 0u);
    EXPECT_EQ(lv.abandoned, 1u);
}

TEST_F(Levels, AlternateStackHandlerIsLeftWhenCodeRunsOffThatStack) {
    // The handler runs on an alternate stack placed below the interrupted
    // code's stack; the jump target is on the thread stack, which here lies
    // below the alternate stack, so only the stack range tells.
    const uintptr_t lo = 0x50000, hi = 0x60000;
    sve_signal_levels_enter(lv, frame(0x5f000, lo, hi), 0x90000);
    EXPECT_TRUE(sve_signal_levels_before_sve(lv, 0x5e000, *st, test_alloc));
    EXPECT_EQ(lv.depth, 1u);
    EXPECT_FALSE(sve_signal_levels_before_sve(lv, 0x40000, *st, test_alloc));
    EXPECT_EQ(lv.depth, 0u);
    // A handler on the thread stack when an alternate stack exists elsewhere.
    sve_signal_levels_enter(lv, frame(0x30000, lo, hi), 0x31000);
    EXPECT_TRUE(sve_signal_levels_before_sve(lv, 0x2f000, *st, test_alloc));
    EXPECT_EQ(lv.depth, 1u);
}

TEST_F(Levels, NewSignalAfterAJumpStartsFromTheLiveLevels) {
    sve_signal_levels_enter(lv, frame(0x8000), 0x9000);
    // The handler left by siglongjmp; the next signal interrupts the main code.
    sve_signal_levels_enter(lv, frame(0x8100), 0x9000);
    EXPECT_EQ(lv.depth, 1u);
    EXPECT_EQ(lv.abandoned, 1u);
}

TEST_F(Levels, DeepNestingStaysPairedAndUnprotectedBeyondTheLimit) {
    for (unsigned i = 0; i < kMaxSignalLevels + 3; ++i)
        sve_signal_levels_enter(lv, frame(0x100000 - 0x1000 * i), 0x100000 - 0x1000 * i + 0x800);
    EXPECT_FALSE(sve_signal_levels_before_sve(lv, 0x10, *st, test_alloc));
    for (unsigned i = kMaxSignalLevels + 3; i-- > 0;)
        EXPECT_TRUE(sve_signal_levels_leave(lv, 0x100000 - 0x1000 * i, st.get())) << i;
    EXPECT_EQ(lv.depth, 0u);
    EXPECT_EQ(lv.abandoned, 0u);
}

TEST_F(Levels, NoSaveAreaMeansNoCopyAndNothingRestored) {
    fill(1);
    sve_signal_levels_enter(lv, frame(0x8000), 0x9000);
    EXPECT_FALSE(sve_signal_levels_before_sve(lv, 0x7f00, *st, failing_alloc));
    fill(2);
    const auto inside = *st;
    EXPECT_TRUE(sve_signal_levels_leave(lv, 0x8000, st.get()));
    EXPECT_EQ(0, std::memcmp(st.get(), &inside, sizeof inside));
}

}  // namespace
