#include "sve/client/trap_compile.h"

#include <algorithm>
#include <cstring>

#include "sve/client/a64_emitter.h"
#include "sve/client/compiled_forms.h"

namespace {

using namespace a64_emit;
using a64_scalar_detail::bits;

// The code first, in the slot's first page where it fits, then its constants.
constexpr size_t kCodeWords = 1152;
constexpr size_t kPoolWords = kCompiledPlanBytes / 4 - kCodeWords;

// A scalar word of an in-line kind that computes a register: the word itself,
// its Rn, Rm and Rd moved to the scratch registers (register 31 is the zero
// register in each of them).
void data_word(emitter &e, uint32_t word, unsigned kind) {
    const bool has_rm = kind == kA64InlineSubsReg || kind == kA64InlineFlagsReg || kind == kA64InlineAddReg ||
                        kind == kA64InlineMovReg || kind == kA64InlineCsel;
    const bool writes_flags = kind == kA64InlineSubsImm || kind == kA64InlineSubsReg || kind == kA64InlineFlagsImm ||
                              kind == kA64InlineFlagsReg;
    if (kind == kA64InlineCsel) e.load_flags();
    const unsigned rd = bits(word, 4, 0), rn = bits(word, 9, 5), rm = bits(word, 20, 16);
    uint32_t w = word;
    if (rn != 31) {
        e.put(ldr_x(kRn, kSt, 8 * rn));
        w = (w & ~(31u << 5)) | kRn << 5;
    }
    if (has_rm && rm != 31) {
        e.put(ldr_x(kRm, kSt, 8 * rm));
        w = (w & ~(31u << 16)) | kRm << 16;
    }
    if (rd != 31) w = (w & ~31u) | kRd;
    e.put(w);
    if (rd != 31) e.put(str_x(kRd, kSt, 8 * rd));
    if (writes_flags) e.store_flags();
}

// The plan's words as they are now, against the plan's, before any step runs:
// two neighbours at a time where they lie in one aligned doubleword. Code the
// program rewrites runs as it is now from the next time the plan is called;
// a plan never holds a word that could make a rewrite visible to the
// program's own instruction fetch (ISB, a cache maintenance instruction, an
// exception), so no word can change between the check and its step, in any
// pass, as far as the architecture lets the program tell: without them, a
// processor may go on running the words it fetched before.
void check_words(emitter &e, const trap_plan &plan) {
    uint64_t base = plan.steps[0].at;
    for (unsigned i = 1; i < plan.count; ++i) base = std::min(base, plan.steps[i].at);
    base &= ~uint64_t{7};
    e.load_x(kAt, base);
    for (unsigned i = 0; i < plan.count; ++i) {
        const uint64_t at = plan.steps[i].at, off = at - base;
        const uint32_t word = static_cast<uint32_t>(plan.steps[i].key);
        if (off >= 16384) {
            e.ok = false;
            return;
        }
        if (i + 1 < plan.count && plan.steps[i + 1].at == at + 4 && off % 8 == 0) {
            e.put(ldr_x(kT0, kAt, static_cast<unsigned>(off)));
            e.load_x(kT1, word | uint64_t{static_cast<uint32_t>(plan.steps[i + 1].key)} << 32);
            e.put(cmp_x(kT0, kT1));
            ++i;
        } else {
            e.put(ldr_w(kT0, kAt, static_cast<unsigned>(off)));
            e.load_w(kT1, word);
            e.put(cmp_w(kT0, kT1));
        }
        e.exit_branch(kBCond | kNe, 0, kCompiledChanged);
    }
}

// The call of step I's handler, for its emulated word at AT.
void handler_call(emitter &e, const trap_step &s, unsigned i) {
    e.load_x(kAt, s.at);
    e.put(str_x(kAt, kSt, kOffsetPc));
    e.put(mov_x(0, kSt));
    e.load_w(1, static_cast<uint32_t>(s.key));
    e.load_x(kFn, reinterpret_cast<uint64_t>(s.sve));
    e.put(blr(kFn));
    e.exit_branch(kCbnzW, i, kCompiledFailed);
}

// Whether step I may be written as its form: only while the code keeps room
// for the largest form and for the rest of the plan as calls (with an exit
// each) and scalar words (with up to three), so that a plan of many compares
// keeps its first forms instead of none.
constexpr size_t kLargestForm = 240, kWordsPerCall = 10, kWordsPerScalarStep = 24;
bool room_for_form(const emitter &e, const trap_plan &plan, unsigned i) {
    size_t need = kLargestForm;
    for (unsigned k = i + 1; k < plan.count; ++k)
        need += plan.steps[k].key == static_cast<uint32_t>(plan.steps[k].key) ? kWordsPerCall : kWordsPerScalarStep;
    return static_cast<size_t>(e.code_end - e.code) >= need;
}

// FORMS: whether an emulated word with a form of its own (compiled_forms.h)
// runs as that form.
void step_code(emitter &e, const trap_plan &plan, unsigned i, const unsigned char *record, bool forms) {
    const trap_step &s = plan.steps[i];
    const uint64_t expected = plan.steps[i + 1].at;
    const uint32_t word = static_cast<uint32_t>(s.key);
    if (s.key == word) {  // an emulated word
        uint32_t *fallback = nullptr;
        if (forms && room_for_form(e, plan, i) && emit_sve_form(e, word, &fallback)) {
            if (fallback == nullptr) return;
            uint32_t *const over = e.forward(kB);
            e.land(fallback);
            handler_call(e, s, i);
            e.land(over);
            return;
        }
        handler_call(e, s, i);
        return;
    }
    if ((s.key & kStepConstant) != 0) {
        e.load_x(kT0, reinterpret_cast<uint64_t>(s.predicate));
        e.load_constant(kLdrLiteralQ, 0, record + (s.key >> kStepPieceShift), 16);
        for (unsigned k = 0; k < kVecBytes; k += 32) e.put(stp_q(0, 0, kT0, k));
        return;
    }
    const unsigned kind = static_cast<unsigned>(s.key >> kStepInlineShift) & 15;
    if (kind == kA64InlineNone) {  // the word's executor
        e.put(mov_x(0, kSt));
        e.load_w(1, word);
        e.load_x(2, s.at);
        e.load_x(kFn, reinterpret_cast<uint64_t>(s.scalar));
        e.put(blr(kFn));
        e.exit_branch(kCbz, i, kCompiledDeclined);
        e.load_x(kT0, expected);
        e.put(cmp_x(0, kT0));
        e.exit_branch(kBCond | kNe, i, kCompiledBranched);
        if ((s.key & kStepMayMoveSp) != 0) {
            e.put(ldr_x(kT0, kSt, kOffsetSp));
            e.put(cmp_x(kT0, kFloor));
            e.exit_branch(kBCond | kLo, i, kCompiledBranched);
        }
        return;
    }
    const uint64_t value = s.inline_value, after = s.at + 4;
    switch (kind) {
        case kA64InlineBCond: {
            const unsigned cond = word & 15;
            if (cond >= 14) {
                e.go_on(i, value, expected);
            } else {
                e.load_flags();
                e.two_ways(i, kBCond | cond, kBCond | (cond ^ 1), value, after, expected);
            }
            return;
        }
        case kA64InlineCbz: {
            e.put(ldr_x(kT0, kSt, 8 * bits(word, 4, 0)));
            const uint32_t insn = (word & 0xff000000u) | kT0;
            e.two_ways(i, insn, insn ^ (1u << 24), value, after, expected);
            return;
        }
        case kA64InlineB:
            e.go_on(i, value, expected);
            return;
        case kA64InlineBl:
            e.load_x(kT0, after);
            e.put(str_x(kT0, kSt, 8 * 30));
            e.go_on(i, value, expected);
            return;
        case kA64InlineRet: {
            const unsigned rn = bits(word, 9, 5);
            e.put(rn == 31 ? movz_x(0, 0) : ldr_x(0, kSt, 8 * rn));
            e.load_x(kT0, expected);
            e.put(cmp_x(0, kT0));
            e.exit_branch(kBCond | kNe, i, kCompiledBranched);
            return;
        }
        case kA64InlineMovConst:
            e.load_x(kRd, value);
            e.put(str_x(kRd, kSt, 8 * bits(word, 4, 0)));
            break;
        default:
            data_word(e, word, kind);
            break;
    }
    e.go_on(i, after, expected);
}

compiled_plan_fn compile_with(const trap_plan &plan, const unsigned char *record, uint32_t *area, bool forms) {
    emitter e;
    e.code = area;
    e.code_end = area + kCodeWords;
    e.pool = area + kCodeWords;
    e.pool_end = area + kCompiledPlanBytes / 4;
    static_assert(kPoolWords * 4 >= 48 * kPlanSteps, "room for each step's constants");
    e.put(0xa9bd7bfdu);  // stp x29, x30, [sp, #-48]!
    e.put(0x910003fdu);  // mov x29, sp
    e.put(0xa90153f3u);  // stp x19, x20, [sp, #16]
    e.put(0xf90013f5u);  // str x21, [sp, #32]
    e.put(mov_x(kSt, 0));
    e.put(mov_x(kFloor, 1));
    e.put(mov_x(kPasses, 2));
    check_words(e, plan);
    uint32_t *const pass = e.code;
    for (unsigned i = 0; i < plan.count && e.ok; ++i) step_code(e, plan, i, record, forms);
    e.put(0xf10006b5u);  // subs x21, x21, #1
    if (compiled_plan_loops(plan) && e.code < e.code_end) {
        const uint32_t *const here = e.code;
        e.put(kBCond | kNe | (static_cast<uint32_t>(pass - here) & 0x7ffffu) << 5);
    }
    e.put(movz_x(1, static_cast<unsigned>(plan.count) << 8 | kCompiledEnd));
    uint32_t *const epilogue = e.code;
    e.put(0xaa158021u);  // orr x1, x1, x21, lsl #32
    e.put(0xf94013f5u);  // ldr x21, [sp, #32]
    e.put(0xa94153f3u);  // ldp x19, x20, [sp, #16]
    e.put(0xa8c37bfdu);  // ldp x29, x30, [sp], #48
    e.put(0xd65f03c0u);  // ret
    for (unsigned k = 0; k < e.stub_count && e.ok; ++k) {
        const exit_stub &x = e.stubs[k];
        patch(x.branch, e.code);
        if (x.has_next) e.load_x(0, x.next);
        e.put(movz_x(1, x.code));
        uint32_t *const back = e.code;
        e.put(kB);
        if (e.ok) patch(back, epilogue);
    }
    if (!e.ok) return nullptr;
    __builtin___clear_cache(reinterpret_cast<char *>(area), reinterpret_cast<char *>(area + kCompiledPlanBytes / 4));
    return reinterpret_cast<compiled_plan_fn>(area);
}

}  // namespace

compiled_plan_fn compile_plan(const trap_plan &plan, const unsigned char *record, uint32_t *area) {
    // A plan whose forms do not fit calls its handlers instead.
    const compiled_plan_fn f = compile_with(plan, record, area, true);
    return f != nullptr ? f : compile_with(plan, record, area, false);
}
