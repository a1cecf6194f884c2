// Running code by its plans: see plan_engine.h.

#include "sve/client/plan_engine.h"

#include <cstring>

#include "sve/client/trap_compile.h"
#include "sve/kernels/constant_predicates.h"
#include "sve/kernels/loop_predicates.h"
#include "sve/state/guarded_memory.h"
#include "sve/support/a64_scalar.h"

namespace {

// Whether WORD is ADDVL or ADDPL with SP as destination: the emulated words that
// move SP.
inline bool moves_sp(uint32_t word) { return (word & 0xffa0f81fu) == 0x0420501fu; }

constexpr uint32_t kSetffr = 0x252c9000u;

// A plan's `compiled`: the times it was entered, up to kCompileAfter; then
// whether it has code.
constexpr uint16_t kCompileAfter = 8, kCompiledReady = 0xffff, kCompileNever = 0xfffe;

// A plan goes in one of two slots of its address (kPlanSlots / 2 apart): two
// stretches of one loop whose addresses agree in the bits that choose the slot
// would otherwise put each other out, and have their plans made and compiled
// again, every time round.
inline trap_plan &plan_slot(trap_plan *plans, uint64_t pc) { return plans[(pc >> 2) % kPlanSlots]; }
inline trap_plan &other_slot(trap_plan *plans, const trap_plan &p) { return plans[(&p - plans) ^ (kPlanSlots / 2)]; }
// The slot for a plan of PC that neither slot holds: the one entered fewer
// times (a compiled plan counts most), the first on a tie.
[[gnu::noinline]] trap_plan &slot_to_fill(trap_plan *plans, uint64_t pc) {
    trap_plan &a = plan_slot(plans, pc), &b = other_slot(plans, a);
    return b.compiled < a.compiled ? b : a;
}
// The code of plan P of thread T.
inline uint32_t *compiled_area(plan_engine &t, const trap_plan &p) {
    return t.compiled + (&p - t.plans) * (kCompiledPlanBytes / 4);
}

// Where a plan expects the branch WORD at AT to go, given the return addresses
// of the BLs before it in the plan (RETURNS, DEPTH of them); 0 where it cannot
// tell. A conditional branch is expected to go the way of a loop: backward
// taken, forward on.
uint64_t expected_next(uint32_t word, uint64_t at, uint64_t *returns, unsigned &depth) {
    constexpr unsigned kDepth = 4;
    if ((word & 0xfffffc1fu) == 0xd65f0000u)  // RET
        return ((word >> 5) & 31) == 30 && depth > 0 ? returns[--depth] : 0;
    const uint64_t target = a64_branch_target(word, at);
    if (target == 0) return 0;
    if ((word & 0x7c000000u) == 0x14000000u) {  // B, BL
        if ((word >> 31) != 0) {
            if (depth == kDepth) return 0;
            returns[depth++] = at + 4;
        }
        return target;
    }
    return target <= at ? target : at + 4;
}

// Makes in P the plan of the stretch from PC, a word that is emulated or has an
// executor, within [PAGE, PAGE_END). It takes each word in turn: an emulated
// word (a PTRUE or PFALSE whose image is all true or all false, and SETFFR, as
// a copy of 16 bytes, sixteen times, instead of its handler); a scalar word with an
// executor, at most kScalarStepsBetweenRuns of them in a row, following
// branches the way expected_next expects. It ends before any other word, before
// a word outside the page or already in the plan, after kPlanSteps words,
// after ADDVL or ADDPL to SP, and after a branch whose way it cannot tell.
// Returns false, with no plan made, when PC's word is neither.
[[gnu::noinline]] bool make_plan(plan_engine &t, const cpu_state &st, trap_plan &p, uint64_t pc, uint64_t page,
                                  uint64_t page_end) {
    unsigned n = 0, emulated_words = 0, scalar_in_row = 0, lead = 0;
    bool sp_moved = false;
    uint64_t returns[4];
    unsigned depth = 0;
    uint64_t at = pc;
    while (n < kPlanSteps && at - page < page_end - page) {
        bool seen = false;
        for (unsigned k = 0; k < n && !seen; ++k) seen = p.steps[k].at == at;
        if (seen) break;
        const uint32_t word = *reinterpret_cast<const uint32_t *>(at);
        const recognised_words::slot &e = recognised_slot(t.recognised, word, at, t.emulated);
        trap_step &s = p.steps[n];
        s.at = at;
        if (e.fn != nullptr) {
            constant_predicate c;
            if (word == kSetffr) {
                // FFR all true: P.B's all-true image, into FFR.
                s.predicate = const_cast<unsigned char *>(st.ffr);
                s.key = word | kStepConstant | (offsetof(plan_engine, pieces) + 16 * 1) << kStepPieceShift;
            } else if (constant_predicate_of(word, &c) && (c.true_bytes == 0 || c.true_bytes == kVecBytes)) {
                s.predicate = const_cast<unsigned char *>(st.p[c.pd]);
                const uint64_t piece = c.true_bytes == 0 ? 0 : 1 + c.lg;
                s.key = word | kStepConstant | (offsetof(plan_engine, pieces) + 16 * piece) << kStepPieceShift;
            } else {
                s.sve = e.fn;
                s.key = word;
            }
            ++n;
            if (emulated_words++ == 0) lead = scalar_in_row;
            scalar_in_row = 0;
            at += 4;
            if (moves_sp(word)) {
                sp_moved = true;
                break;
            }
        } else if (e.scalar != nullptr && scalar_in_row < kScalarStepsBetweenRuns) {
            const a64_inline_op in_line = a64_inline_of(word, at);
            if (in_line.kind != kA64InlineNone) {
                // None of them reads or writes SP.
                s.inline_value = in_line.value;
                s.key = word | kStepScalar | static_cast<uint64_t>(in_line.kind) << kStepInlineShift;
            } else {
                s.scalar = e.scalar;
                s.key = word | kStepScalar | ((word & 31) == 31 ? kStepMayMoveSp : 0);
            }
            ++n;
            ++scalar_in_row;
            if (a64_scalar_straight(word)) {
                at += 4;
            } else if ((at = expected_next(word, at, returns, depth)) == 0) {
                at = kNoExpectedWay;
                break;
            }
        } else {
            break;
        }
    }
    p.steps[n].at = at;
    p.pc = n > 0 ? pc : 0;
    p.count = static_cast<uint16_t>(n);
    p.moves_sp = sp_moved;
    p.emulated = static_cast<uint8_t>(emulated_words);
    p.lead = static_cast<uint8_t>(emulated_words > 0 ? lead : n);
    p.trail = static_cast<uint8_t>(scalar_in_row);
    p.compiled = 0;
    return n > 0;
}

// Whether a trap may go on into PAGE, next to the page it started in: a trap
// of this thread has started in PAGE before (the processor executed from it),
// and its word at PC can be read now.
bool may_enter_page(const plan_engine &t, uint64_t page, uint64_t pc) {
    bool known = false;
    for (unsigned k = 0; k < kCodePages && !known; ++k) known = t.code_pages[k] == page;
    uint32_t word;
    return known && sve_safe_read(reinterpret_cast<const void *>(pc), &word, sizeof word);
}

// Remembers PAGE, where a trap starts, among the thread's code pages.
inline void note_code_page(plan_engine &t, uint64_t page) {
    for (unsigned k = 0; k < kCodePages; ++k)
        if (t.code_pages[k] == page) return;
    t.code_pages[t.next_code_page++ % kCodePages] = page;
}

// Emulates from AT, an emulated word, on the thread's state, stretch by
// stretch, each by its plan (make_plan): SVE words, and the register-only
// scalar words that join them into loops and calls, executed here too so that
// a loop runs in one trap. Stops at any other word; at SP below SP_FLOOR (when
// not zero); at a word outside the first word's page (the program runs code
// from it) and the page on either side of it, which a loop or a function may
// run on into (entered when may_enter_page allows, and then no other); after
// kStepsPerTrap steps,
// because asynchronous signals wait while the trap runs; and before going past
// kScalarStepsBetweenRuns scalar instructions in a row, so that a scalar loop
// runs natively. With STOP_AT (not zero), the steps used up, goes on word by
// word until it comes to STOP_AT, for at most as many steps again. Kept apart
// from the trap's sigsetjmp so that its state stays
// in registers, and alone in its page: the loop's branches stay inside one
// page, which a translator (a processor without SVE is often emulated) chains
// directly instead of looking up where each goes. A compiled plan
// (trap_compile.h) runs as its code, which does the same steps; this loop
// takes over again at its exit.
template <bool kProfile>
__attribute__((noinline, aligned(4096))) run_end run_from(plan_engine &t, cpu_state &st, const uint32_t *at,
                                                          uint64_t sp_floor, uint64_t stop_at) {
    const uint64_t page_bytes = t.page_bytes;
    // The page of the trap, and the page of the plans now running: that one,
    // or the neighbour it went on into.
    const uint64_t home = reinterpret_cast<uintptr_t>(at) & ~(page_bytes - 1);
    uint64_t page = home, neighbour = 0;
    note_code_page(t, home);
    const auto enter_page_of = [&](uint64_t to) [[gnu::noinline]] {
        const uint64_t p = to & ~(page_bytes - 1);
        if (p != home && p != neighbour) {
            if (neighbour != 0 || (p != home + page_bytes && p + page_bytes != home) || !may_enter_page(t, p, to))
                return false;
            neighbour = p;
        }
        page = p;
        return true;
    };
    // Steps left, the emulated words run and the scalar words since the last
    // of them live in registers; the record gets the counts when the run
    // stops. (A fault that a handler of the program leaves by a jump loses the
    // counts of that one trap.)
    unsigned budget = kStepsPerTrap, granted = kStepsPerTrap;
    // Steps used up, going on word by word to STOP_AT.
    bool homing = false;
    unsigned scalar_run = 0;
    uint64_t done = 0;
    aarch64_decode_rc rc = DECODE_OK;
    uint64_t pc = reinterpret_cast<uintptr_t>(at);
    trap_plan *const plans = t.plans;
    // The counts after the first N steps of a plan ran.
    const auto ran = [&](const trap_plan &plan, unsigned n) {
        budget -= n;
        for (const trap_step *k = plan.steps, *end = k + n; k != end; ++k) {
            if ((k->key & kStepScalar) != 0) {
                ++scalar_run;
            } else {
                ++done;
                scalar_run = 0;
            }
        }
    };
    trap_plan *next_plan = &plan_slot(plans, pc);
    if (next_plan->pc != pc) next_plan = &other_slot(plans, *next_plan);
    if (next_plan->pc != pc) make_plan(t, st, *(next_plan = &slot_to_fill(plans, pc)), pc, page, page + page_bytes);
    for (;;) {
        trap_plan &plan = *next_plan;
        const unsigned count = plan.count;
        if (count > budget || scalar_run + plan.lead > kScalarStepsBetweenRuns) {
            if (stop_at == 0 || homing || count <= budget) break;
            homing = true;
            budget += kStepsPerTrap;
            granted += kStepsPerTrap;
        }
        const trap_step *s = plan.steps;
        const trap_step *const last = s + count;
        // A plan is compiled when it is entered for the kCompileAfter-th time:
        // code that runs once or twice is not worth its compiling (and, under
        // a translator, the translating of the code made).
        if (!kProfile && plan.compiled < kCompileAfter && ++plan.compiled == kCompileAfter)
            plan.compiled = t.compiled != nullptr &&
                                    compile_plan(plan, reinterpret_cast<const unsigned char *>(&t), compiled_area(t, plan)) != nullptr
                                ? kCompiledReady
                                : kCompileNever;
        if (!kProfile && plan.compiled == kCompiledReady && !homing) {
            // A loop plan goes round by itself while the loop here would have
            // entered it again: steps left for another pass, and its scalar
            // words from one pass's last SVE word to the next one's first
            // within the limit.
            const unsigned passes =
                compiled_plan_loops(plan) && plan.trail + plan.lead <= kScalarStepsBetweenRuns ? budget / count : 1;
            const compiled_exit e = reinterpret_cast<compiled_plan_fn>(compiled_area(t, plan))(&st, sp_floor, passes);
            const unsigned reason = static_cast<unsigned>(e.code & 0xff), k = static_cast<unsigned>(e.code >> 8) & 0xff;
            // The passes that ran to the end before the one that left.
            if (const unsigned full = passes - static_cast<unsigned>(e.code >> 32) - (reason == kCompiledEnd); full != 0) {
                budget -= count * full;
                done += uint64_t{plan.emulated} * full;
                scalar_run = plan.trail;
            }
            switch (reason) {
                case kCompiledEnd:
                    s = last;
                    break;
                case kCompiledBranched:
                    ran(plan, k + 1);
                    pc = e.next;
                    goto next_stretch;
                case kCompiledChanged:
                    // The trap goes on from the word as it is now; the plan is made again next time.
                    plan.pc = 0;
                    ran(plan, k);
                    pc = plan.steps[k].at;
                    goto next_stretch;
                default:  // a handler failed, or an executor declined its word
                    if (reason == kCompiledFailed) rc = static_cast<aarch64_decode_rc>(static_cast<uint32_t>(e.next));
                    ran(plan, k);
                    pc = plan.steps[k].at;
                    goto out;
            }
        }
        for (;; ++s) {
            if (s == last) {
                pc = s->at;
                done += plan.emulated;
                budget -= count;
                scalar_run = plan.emulated != 0 ? plan.trail : scalar_run + count;
                // Its scalar words have had SP checked; an emulated word that moves SP ends it.
                if (__builtin_expect(plan.moves_sp && st.sp < sp_floor, 0)) goto out;
                if (__builtin_expect(pc - page >= page_bytes, 0) && !enter_page_of(pc)) goto out;
                goto look_up_plan;
            }
            if (__builtin_expect(homing, 0) && s->at == stop_at) break;
            const uint32_t *const w = reinterpret_cast<const uint32_t *>(s->at);
            const uint32_t word = *w;
            const uint64_t key = s->key;
            if (__builtin_expect(key == word, 1)) {
                st.pc = reinterpret_cast<unsigned char *>(const_cast<uint32_t *>(w));
                rc = s->sve(&st, word);
                if (__builtin_expect(rc != DECODE_OK, 0)) break;
                if constexpr (kProfile) sve_profile_count(t.profile, w, word);
                continue;
            }
            if (static_cast<uint32_t>(key) != word) {
                // The word changed: the trap goes on from it as it is now, and
                // the plan is made again next time.
                plan.pc = 0;
                break;
            }
            if (key & kStepConstant) {
                write_repeated(s->predicate, reinterpret_cast<const unsigned char *>(&t) + (key >> kStepPieceShift));
                if constexpr (kProfile) sve_profile_count(t.profile, w, word);
                continue;
            }
            const unsigned in_line = static_cast<unsigned>(key >> kStepInlineShift) & 15;
            const uint64_t next = in_line != kA64InlineNone ? a64_inline_run(st, word, in_line, s->inline_value, s->at)
                                                            : s->scalar(st, word, s->at);
            if (__builtin_expect(next == s[1].at && ((key & kStepMayMoveSp) == 0 || st.sp >= sp_floor), 1)) continue;
            // A branch the other way, SP below the floor, or a step the
            // executor declined.
            if (next == 0) break;
            // Step s ran; the program goes on at NEXT.
            ran(plan, static_cast<unsigned>(s - plan.steps) + 1);
            pc = next;
            goto next_stretch;
        }
        // Stopped at step s, which did not run: the program goes on there.
        ran(plan, static_cast<unsigned>(s - plan.steps));
        pc = s->at;
        if (plan.pc != 0) break;  // not a changed word
    next_stretch:
        if (__builtin_expect(st.sp < sp_floor, 0) || (__builtin_expect(pc - page >= page_bytes, 0) && !enter_page_of(pc)))
            break;
    look_up_plan:
        next_plan = &plan_slot(plans, pc);
        if (next_plan->pc == pc) continue;
        next_plan = &other_slot(plans, *next_plan);
        if (next_plan->pc == pc) continue;
        next_plan = &slot_to_fill(plans, pc);
        if (!make_plan(t, st, *next_plan, pc, page, page + page_bytes)) break;
    }
out:
    t.instructions += done;
    t.scalar_steps += granted - budget - done;
    return {reinterpret_cast<const uint32_t *>(pc), rc};
}

}  // namespace

void plan_engine_init(plan_engine &e, sve_handler_fn (*emulated)(uint32_t), size_t page_bytes, uint32_t *compiled,
                      sve_profile_thread *profile) {
    for (unsigned lg = 0; lg < 4; ++lg) std::memcpy(e.pieces[1 + lg], kPredicatePrefixes.b[lg], 16);
    e.emulated = emulated;
    e.page_bytes = page_bytes;
    e.compiled = profile == nullptr ? compiled : nullptr;
    e.profile = profile;
}

run_end run_plans(plan_engine &e, cpu_state &st, const uint32_t *at, uint64_t sp_floor, const uint32_t *home) {
    const uint64_t h = reinterpret_cast<uintptr_t>(home);
    return e.profile != nullptr ? run_from<true>(e, st, at, sp_floor, h) : run_from<false>(e, st, at, sp_floor, h);
}
