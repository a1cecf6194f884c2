// Compiled plans against the same plans run word by word. Random plans of the
// in-line scalar kinds, laid out in memory with branches that go the plan's way
// or not, run as code and through a64_inline_run from the same random
// registers and flags: the registers, the flags and the exit (which step,
// why, where the program goes on) must agree. Then the other steps: a call of
// a handler (its PC and word, a failure), a constant predicate write, an
// executor (declining, and SP below the floor), and words that changed.
#include <gtest/gtest.h>

#if defined(__aarch64__)
#include <sys/mman.h>

#include <cstring>
#include <memory>
#include <random>

#include "sve/client/trap_compile.h"

namespace {

constexpr uint64_t kFlags = 0xf0000000ull;

struct code_area {
    uint32_t *area = static_cast<uint32_t *>(mmap(nullptr, kCompiledPlanBytes, PROT_READ | PROT_WRITE | PROT_EXEC,
                                                   MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    ~code_area() { munmap(area, kCompiledPlanBytes); }
};

// The words a plan's steps are at: a page-sized buffer of NOPs.
struct words_page {
    alignas(4096) uint32_t w[1024];
    words_page() { std::fill(std::begin(w), std::end(w), 0xd503201fu); }
};

struct outcome {
    unsigned reason, step;
    uint64_t next;
};

// What the trap host's loop does with a plan of in-line steps.
outcome run_word_by_word(const trap_plan &p, cpu_state &s) {
    for (unsigned i = 0; i < p.count; ++i) {
        const trap_step &st = p.steps[i];
        const uint32_t word = *reinterpret_cast<const uint32_t *>(st.at);
        if (word != static_cast<uint32_t>(st.key)) return {kCompiledChanged, i, 0};
        const unsigned kind = static_cast<unsigned>(st.key >> kStepInlineShift) & 15;
        const uint64_t next = a64_inline_run(s, word, kind, st.inline_value, st.at);
        if (next != p.steps[i + 1].at) return {kCompiledBranched, i, next};
    }
    return {kCompiledEnd, p.count, 0};
}

outcome run_compiled(compiled_plan_fn f, cpu_state &s, uint64_t floor = 0, unsigned *passes = nullptr) {
    const compiled_exit e = f(&s, floor, passes != nullptr ? *passes : 1);
    const unsigned reason = static_cast<unsigned>(e.code & 0xff);
    if (passes != nullptr) *passes = static_cast<unsigned>(e.code >> 32);
    return {reason, static_cast<unsigned>(e.code >> 8) & 0xff, reason == kCompiledEnd ? 0 : e.next};
}

uint32_t draw_reg(std::mt19937_64 &rng) { return static_cast<uint32_t>(rng() % 32); }

// A random word of one of the in-line kinds at AT (not a branch when
// STRAIGHT), whose branch targets lie in the page at PAGE.
uint32_t draw_inline_word(std::mt19937_64 &rng, uint64_t at, uint64_t page, bool straight) {
    for (;;) {
        const uint32_t r = static_cast<uint32_t>(rng());
        const int64_t target = static_cast<int64_t>(page + 4 * (rng() % 1024)) - static_cast<int64_t>(at);
        const uint32_t off19 = static_cast<uint32_t>(target / 4) & 0x7ffff, off26 = static_cast<uint32_t>(target / 4) & 0x3ffffff;
        uint32_t w = 0;
        switch (rng() % (straight ? 9 : 14)) {
            case 0: w = (r & 0xe07fffffu) | 0x11000000u | 1u << 29; break;  // ADDS/SUBS immediate
            case 1: w = (r & 0xe07fffffu) | 0x11000000u; break;                        // ADD/SUB/ADDS/SUBS immediate
            case 2: w = (r & 0xe000001fu) | 0x0b000000u | draw_reg(rng) << 5 | draw_reg(rng) << 16; break;  // register, no shift
            case 3: w = (r & 0x80000000u) | 0x2a0003e0u | draw_reg(rng) << 16 | draw_reg(rng); break;  // MOV
            case 4: w = (r & 0xe07fffffu) | 0x12800000u; break;                        // MOVN/MOVZ
            case 5: w = (r & 0xc01ff3ffu) | 0x1a800000u | (r & 0x400u); break;        // CSEL family
            case 6: w = 0xeb00001fu | draw_reg(rng) << 16 | draw_reg(rng) << 5; break;  // CMP Xn, Xm
            case 7: w = 0xf100001fu | (r & 0x3ffc00u) | draw_reg(rng) << 5; break;    // CMP Xn, #imm
            case 8: w = 0x91000000u | (r & 0x3ffc00u) | draw_reg(rng) << 5 | draw_reg(rng); break;
            case 9: w = 0x54000000u | off19 << 5 | (r & 15); break;                    // B.cond
            case 10: w = (r & 0x81000000u) | 0x34000000u | off19 << 5 | draw_reg(rng); break;  // CBZ/CBNZ
            case 11: w = 0x14000000u | off26; break;                                   // B
            case 12: w = 0x94000000u | off26; break;                                   // BL
            case 13: w = 0xd65f0000u | draw_reg(rng) << 5; break;                      // RET
        }
        if (a64_inline_of(w, at).kind != kA64InlineNone) return w;
    }
}

void set_step(trap_step &s, uint32_t word, uint64_t at) {
    const a64_inline_op op = a64_inline_of(word, at);
    s.at = at;
    s.inline_value = op.value;
    s.key = word | kStepScalar | static_cast<uint64_t>(op.kind) << kStepInlineShift;
}

// A random plan of COUNT in-line steps in PAGE: straight words on, branches
// expected one of their ways (or, for RET, where some register points).
void draw_plan(std::mt19937_64 &rng, words_page &page, trap_plan &p, unsigned count, const cpu_state &s) {
    std::fill(std::begin(page.w), std::end(page.w), 0xd503201fu);
    bool used[1024] = {};
    const uint64_t base = reinterpret_cast<uint64_t>(page.w);
    uint64_t at = base + 4 * (rng() % 1024);
    p.pc = at;
    p.count = static_cast<uint16_t>(count);
    for (unsigned i = 0; i < count; ++i) {
        const unsigned slot = static_cast<unsigned>((at - base) / 4);
        used[slot] = true;
        const uint32_t word = draw_inline_word(rng, at, base, slot == 1023);
        page.w[slot] = word;
        set_step(p.steps[i], word, at);
        uint64_t next = at + 4;
        const a64_inline_op op = a64_inline_of(word, at);
        if (op.kind == kA64InlineRet)
            next = rng() % 2 ? s.x[(word >> 5) & 31] : base + 4 * (rng() % 1024);
        else if (!a64_scalar_straight(word) && rng() % 2)
            next = op.value;
        const uint64_t k = (next - base) / 4;
        if (next < base || k >= 1024 || used[k] || next % 4 != 0 || i + 1 == count) {
            p.steps[i + 1].at = next;  // the plan ends here
            p.count = static_cast<uint16_t>(i + 1);
            return;
        }
        at = next;
    }
    p.steps[count].at = at;
}

void random_state(std::mt19937_64 &rng, cpu_state &s, uint64_t page) {
    std::memset(&s, 0, sizeof s);
    for (uint64_t &x : s.x) {
        switch (rng() % 4) {
            case 0: x = rng() % 8; break;
            case 1: x = page + 4 * (rng() % 1024); break;  // somewhere a RET may go
            case 2: x = 0xffffffffu + rng() % 3; break;
            default: x = rng(); break;
        }
    }
    s.sp = rng();
    s.nzcv = (rng() & kFlags) | (rng() % 2);  // a bit outside the flags stays
}

TEST(CompiledPlan, InlineWordsAgreeWithTheInterpreter) {
    std::mt19937_64 rng(1234);
    code_area code;
    ASSERT_NE(code.area, MAP_FAILED);
    auto page = std::make_unique<words_page>();
    const uint64_t base = reinterpret_cast<uint64_t>(page->w);
    auto a = std::make_unique<cpu_state>(), b = std::make_unique<cpu_state>();
    auto plan = std::make_unique<trap_plan>();
    unsigned exits[5] = {}, steps = 0;
    for (unsigned round = 0; round < 3000; ++round) {
        random_state(rng, *a, base);
        draw_plan(rng, *page, *plan, 1 + static_cast<unsigned>(rng() % kPlanSteps), *a);
        const compiled_plan_fn f = compile_plan(*plan, nullptr, code.area);
        ASSERT_NE(f, nullptr);
        std::memcpy(b.get(), a.get(), sizeof(cpu_state));
        const outcome want = run_word_by_word(*plan, *a);
        const outcome got = run_compiled(f, *b);
        SCOPED_TRACE(testing::Message() << "round " << round << ", step " << want.step << " word " << std::hex
                                        << (want.step < plan->count ? static_cast<uint32_t>(plan->steps[want.step].key) : 0));
        ASSERT_EQ(got.reason, want.reason);
        ASSERT_EQ(got.step, want.step);
        ASSERT_EQ(got.next, want.next);
        ASSERT_EQ(std::memcmp(a->x, b->x, sizeof a->x), 0);
        ASSERT_EQ(a->nzcv, b->nzcv);
        ASSERT_EQ(a->sp, b->sp);
        ++exits[got.reason];
        steps += got.step;
    }
    // Both ways out are drawn often.
    EXPECT_GT(exits[kCompiledEnd], 300u);
    EXPECT_GT(exits[kCompiledBranched], 300u);
    EXPECT_GT(steps, 5000u);
}

// Handlers the plans below call.
unsigned g_calls;
uint64_t g_seen_pc;
uint32_t g_seen_word;
uint32_t *g_rewrite;  // a word the second call rewrites
aarch64_decode_rc record_call(cpu_state *s, uint32_t word) {
    if (++g_calls == 2 && g_rewrite != nullptr) *g_rewrite = 0xf1000800u;
    g_seen_pc = reinterpret_cast<uint64_t>(s->pc);
    g_seen_word = word;
    s->x[3] += 1;
    return word == 0x05a0399fu ? static_cast<aarch64_decode_rc>(7) : DECODE_OK;
}
uint64_t decline(cpu_state &, uint32_t, uint64_t) { return 0; }

// A plan written by hand in a page of words, on a zeroed register file.
struct HandWrittenPlan : testing::Test {
    code_area code;
    std::unique_ptr<words_page> page = std::make_unique<words_page>();
    std::unique_ptr<cpu_state> s = std::make_unique<cpu_state>();
    std::unique_ptr<trap_plan> plan = std::make_unique<trap_plan>();
    uint32_t *w = page->w;
    void SetUp() override {
        ASSERT_NE(code.area, MAP_FAILED);
        std::memset(s.get(), 0, sizeof(cpu_state));
    }
    uint64_t at(unsigned k) const { return reinterpret_cast<uint64_t>(w + k); }
};

TEST_F(HandWrittenPlan, HandlersConstantsExecutorsAndChangedWords) {
    alignas(16) unsigned char record[64] = {};
    for (unsigned k = 0; k < 16; ++k) record[32 + k] = k % 4 == 0;  // PTRUE P.S's piece at 32
    // handler, constant, executor (ADD SP, SP, #16), handler, in-line ADD
    w[0] = 0x04a00000u;
    w[1] = 0x2598e3e2u;
    w[2] = 0x910043ffu;
    w[3] = 0x05a0399fu;
    w[4] = 0x91000421u;
    plan->count = 5;
    plan->steps[0] = trap_step{{.sve = record_call}, w[0], at(0)};
    plan->steps[1] = trap_step{{.predicate = s->p[2]}, w[1] | kStepConstant | uint64_t{32} << kStepPieceShift, at(1)};
    plan->steps[2] = trap_step{{.scalar = a64_scalar_executor(w[2])}, w[2] | kStepScalar | kStepMayMoveSp, at(2)};
    plan->steps[3] = trap_step{{.sve = record_call}, w[3], at(3)};
    set_step(plan->steps[4], w[4], at(4));
    plan->steps[5].at = at(5);
    const compiled_plan_fn f = compile_plan(*plan, record, code.area);
    ASSERT_NE(f, nullptr);

    // The handler's failure stops the plan at its step; the steps before ran.
    g_calls = 0;
    s->sp = 0x1000;
    std::memset(s->p[2], 0xff, kVecBytes);
    outcome o = run_compiled(f, *s);
    EXPECT_EQ(o.reason, kCompiledFailed);
    EXPECT_EQ(o.step, 3u);
    EXPECT_EQ(o.next & 0xffffffffu, 7u);
    EXPECT_EQ(g_calls, 2u);
    EXPECT_EQ(g_seen_pc, at(3));
    EXPECT_EQ(g_seen_word, w[3]);
    EXPECT_EQ(s->x[3], 2u);
    EXPECT_EQ(s->sp, 0x1010u);
    for (unsigned k = 0; k < kVecBytes; ++k) ASSERT_EQ(s->p[2][k], k % 4 == 0) << k;

    // With the last handler succeeding, the plan runs to its end.
    w[3] = 0x05a0399eu;
    plan->steps[3].key = w[3];
    const compiled_plan_fn g = compile_plan(*plan, record, code.area);
    s->x[1] = 41;
    o = run_compiled(g, *s);
    EXPECT_EQ(o.reason, kCompiledEnd);
    EXPECT_EQ(s->x[1], 42u);

    // SP left below the floor by a word that may move it: out after it.
    s->sp = 0x1000;
    o = run_compiled(g, *s, 0x2000);
    EXPECT_EQ(o.reason, kCompiledBranched);
    EXPECT_EQ(o.step, 2u);
    EXPECT_EQ(o.next, at(3));

    // A word that changed, whether alone in its doubleword or beside another
    // step's: the plan does not run.
    for (unsigned k : {0u, 1u, 4u}) {
        const uint32_t was = w[k];
        w[k] ^= 1u << 12;
        const uint64_t x3 = s->x[3], x1 = s->x[1];
        o = run_compiled(g, *s);
        EXPECT_EQ(o.reason, kCompiledChanged) << k;
        EXPECT_EQ(o.step, 0u);
        EXPECT_EQ(s->x[3], x3);
        EXPECT_EQ(s->x[1], x1);
        w[k] = was;
    }

    // An executor that declines its word: the plan stops before it.
    plan->steps[2].scalar = decline;
    const compiled_plan_fn h = compile_plan(*plan, record, code.area);
    o = run_compiled(h, *s);
    EXPECT_EQ(o.reason, kCompiledDeclined);
    EXPECT_EQ(o.step, 2u);
}

// A plan that ends where it starts goes round as many times as it may, its
// words checked once, before the first pass.
TEST_F(HandWrittenPlan, LoopPlanGoesRound) {
    // handler (X3 += 1); SUBS X0, X0, #1; B.NE back to the handler
    w[0] = 0x04a00000u;
    w[1] = 0xf1000400u;
    w[2] = 0x54ffffc1u;
    plan->pc = at(0);
    plan->count = 3;
    plan->emulated = 1;
    plan->steps[0] = trap_step{{.sve = record_call}, w[0], at(0)};
    set_step(plan->steps[1], w[1], at(1));
    set_step(plan->steps[2], w[2], at(2));
    plan->steps[3].at = at(0);
    ASSERT_TRUE(compiled_plan_loops(*plan));
    const compiled_plan_fn f = compile_plan(*plan, nullptr, code.area);
    ASSERT_NE(f, nullptr);

    // The loop ends first: out at the B.NE in the fifth pass, four passes done.
    s->x[0] = 5;
    s->x[3] = 0;
    unsigned passes = 10;
    outcome o = run_compiled(f, *s, 0, &passes);
    EXPECT_EQ(o.reason, kCompiledBranched);
    EXPECT_EQ(o.step, 2u);
    EXPECT_EQ(o.next, at(3));
    EXPECT_EQ(passes, 6u);
    EXPECT_EQ(s->x[3], 5u);
    EXPECT_EQ(s->x[0], 0u);

    // The passes end first.
    s->x[0] = 100;
    passes = 3;
    o = run_compiled(f, *s, 0, &passes);
    EXPECT_EQ(o.reason, kCompiledEnd);
    EXPECT_EQ(passes, 0u);
    EXPECT_EQ(s->x[0], 97u);

    // A word rewritten by a pass's handler: the passes of this call run the
    // words they were checked with (there is no ISB in the loop), the next
    // call sees the change before any step runs.
    s->x[0] = 100;
    passes = 5;
    g_calls = 0;
    g_rewrite = &w[1];
    o = run_compiled(f, *s, 0, &passes);
    g_rewrite = nullptr;
    EXPECT_EQ(o.reason, kCompiledEnd);
    EXPECT_EQ(passes, 0u);
    EXPECT_EQ(g_calls, 5u);
    EXPECT_EQ(s->x[0], 95u);
    passes = 5;
    o = run_compiled(f, *s, 0, &passes);
    EXPECT_EQ(o.reason, kCompiledChanged);
    EXPECT_EQ(o.step, 0u);
    EXPECT_EQ(g_calls, 5u);
    EXPECT_EQ(s->x[0], 95u);
}

}  // namespace

#else
TEST(CompiledPlan, RunsOnAArch64Only) { GTEST_SKIP() << "plans are compiled to AArch64 code"; }
#endif
