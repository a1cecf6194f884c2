// The DynamoRIO client libsve_2048.so.
//
// The framework hands every new basic block to event_instruction_change, which
// replaces each run of consecutive SVE instructions by inline code: the
// application's registers are stored into the thread's cpu_state, a plain call
// on the thread's own emulation stack (emulate_run or emulate_register_run)
// runs the handler of each instruction of the run in turn and then, where that
// pays, goes on through the code that follows (go_on_past_run), and the
// registers are loaded back. Everything else runs natively.
//
// Faults. The framework owns signal handling, so the core is built without its
// own handlers (SVE_HOST_OWNS_SIGNALS). First-fault and non-fault loads read
// through dr_safe_read. A fault in any other emulated access happens inside the
// client; the handler runs under the framework's try/except, and a fault caught
// there is turned into a SIGSEGV of the application, which the signal event
// reports and ends with the default action.

#include <atomic>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "dr_api.h"
#include "drmgr.h"
#include "sve/client/dr_client.h"
#include "sve/client/plan_engine.h"
#include "sve/client/trap_compile.h"
#include "sve/decode/sve_utils.h"
#include "sve/kernels/constant_predicates.h"
#include "sve/state/cpu_state.h"
#include "sve/state/guarded_memory.h"
#include "sve/state/signal_levels.h"
#include "sve/support/a64_scalar.h"
#include "sve/support/diagnose.h"
#include "sve/support/profile.h"

#if !defined(AARCH64)
#error "libsve_2048.so is an AArch64 client"
#endif

namespace {

// Assertion messages name the source without its extension and give the
// condition as the preprocessor expands it (NULL reads "__null").
#define SVE_CLIENT_TEXT_(x) #x
#define SVE_CLIENT_TEXT(x) SVE_CLIENT_TEXT_(x)
#define SVE_CLIENT_ASSERT(cond) \
    do {                                                                   \
        if (!(cond)) assertion_failed(__LINE__, SVE_CLIENT_TEXT(cond));    \
    } while (0)

[[noreturn]] void assertion_failed(int line, const char *condition) {
    dr_fprintf(STDERR, "ASSERT FAILURE: %s:%d: %s (%s)\n", "sve/client/sve_client", line,
               condition, "");
    dr_abort();
    __builtin_unreachable();
}

// Every log category.
constexpr uint kLogAllCategories = 0xFFFFFF;

// The inline code addresses the record through X27 and moves values through X26.
constexpr reg_id_t kRecordReg = DR_REG_X27;
constexpr reg_id_t kScratchReg = DR_REG_X26;
constexpr reg_id_t kScratchRegW = DR_REG_W26;

// Where a thread goes when an emulated access has faulted: page zero, which a
// Linux process does not map (mmap_min_addr), so that the framework raises
// SIGSEGV for the application there.
constexpr uintptr_t kFaultRedirectPc = 0;

// The emulation stack of each thread, and the inaccessible page below it that
// stops an overflow.
constexpr size_t kEmulationStackBytes = 128 * 1024;

// Runs of SVE instructions rewritten in one basic block at most.
constexpr unsigned kMaxRunsPerBlock = 16;
// Words in one run at most; a longer stretch is emulated as several runs.
constexpr unsigned kMaxRunWords = 256;

// The thread's dr_thread_data.
int tls_idx = -1;

void *profile_alloc(size_t bytes) { return dr_raw_mem_alloc(bytes, DR_MEMPROT_READ | DR_MEMPROT_WRITE, nullptr); }
void profile_free(void *p, size_t bytes) { dr_raw_mem_free(p, bytes); }

// A run as its block was built from it: its first address and, for each word,
// the handler or, for a register-only scalar word inside the run, the executor.
// The entries take the words and their handlers from here rather than reading
// and looking up each word again. Plans are immutable once published, shared
// by every block built from the same run (a rebuilt block, a trace, the
// rebuilding for a translation, which must give the same code) and kept until
// the process ends: there is one per run of the program's code.
struct run_word {
    sve_handler_fn fn;    // null for a scalar word
    a64_scalar_fn scalar;  // its executor
    uint32_t word;
    uint32_t in_line;       // a scalar word's in-line kind (a64_inline_kind), run without a call
    uint64_t inline_value;  // and the value it needs
};
struct run_plan {
    const run_plan *next;  // in its bucket
    app_pc pc;
    unsigned count;
    // Whether the entries still go on past the run's end (go_on_past_run):
    // the only part of a plan that changes, and only to 0.
    mutable std::atomic<uint8_t> go_on;
    run_word words[1];  // `count` of them
};
size_t plan_bytes(unsigned count) { return sizeof(run_plan) + (count - 1) * sizeof(run_word); }

constexpr unsigned kPlanBuckets = 4096;
std::atomic<const run_plan *> plan_buckets[kPlanBuckets];
void *plan_lock = nullptr;

const run_plan *find_plan(const run_plan *p, app_pc pc, const uint32_t *words, unsigned count) {
    for (; p != nullptr; p = p->next) {
        if (p->pc != pc || p->count != count) continue;
        unsigned i = 0;
        while (i < count && p->words[i].word == words[i]) ++i;
        if (i == count) return p;
    }
    return nullptr;
}

// The plan of the run of COUNT words WORDS at PC. Lookups take no lock; a new
// plan is published under one.
const run_plan *plan_of_run(app_pc pc, const uint32_t *words, unsigned count) {
    std::atomic<const run_plan *> &bucket = plan_buckets[(reinterpret_cast<uintptr_t>(pc) >> 2) % kPlanBuckets];
    if (const run_plan *p = find_plan(bucket.load(std::memory_order_acquire), pc, words, count)) return p;
    dr_mutex_lock(plan_lock);
    const run_plan *p = find_plan(bucket.load(std::memory_order_acquire), pc, words, count);
    if (p == nullptr) {
        auto *made = static_cast<run_plan *>(dr_global_alloc(plan_bytes(count)));
        SVE_CLIENT_ASSERT(made != NULL);
        made->next = bucket.load(std::memory_order_relaxed);
        made->pc = pc;
        made->count = count;
        made->go_on.store(1, std::memory_order_relaxed);
        for (unsigned i = 0; i < count; ++i) {
            const sve_handler_fn fn = emulated_handler(words[i]);
            run_word &w = made->words[i];
            w = run_word{fn, fn == nullptr ? a64_scalar_executor(words[i]) : nullptr, words[i], kA64InlineNone, 0};
            // Inside a run a scalar word goes on with the next one.
            if (w.scalar != nullptr && a64_scalar_straight(words[i])) {
                const a64_inline_op in_line = a64_inline_of(words[i], reinterpret_cast<uint64_t>(pc) + 4 * i);
                w.in_line = in_line.kind;
                w.inline_value = in_line.value;
            }
        }
        bucket.store(made, std::memory_order_release);
        p = made;
    }
    dr_mutex_unlock(plan_lock);
    return p;
}

void free_plans() {
    for (std::atomic<const run_plan *> &bucket : plan_buckets) {
        for (const run_plan *p = bucket.exchange(nullptr); p != nullptr;) {
            const run_plan *next = p->next;
            dr_global_free(const_cast<run_plan *>(p), plan_bytes(p->count));
            p = next;
        }
    }
}

// Module and offset of a program address (dladdr does not see the program's
// modules from inside the framework).
bool framework_location(const void *pc, sve_code_location *out) {
    static char path[1024];
    module_data_t *m = dr_lookup_module(reinterpret_cast<byte *>(const_cast<void *>(pc)));
    if (m == nullptr) return false;
    dr_snprintf(path, sizeof path, "%s", m->full_path != nullptr ? m->full_path : "?");
    path[sizeof path - 1] = '\0';
    out->object = path;
    out->object_base = reinterpret_cast<uintptr_t>(m->start);
    dr_free_module_data(m);
    return true;
}

const char *const kFaultNotice =
    "tevra's SVESigHandler caught signal %s from the process being emulated, passing it to "
    "the default signal handler.\n";

bool framework_safe_read(const void *address, void *out, size_t n) {
    size_t got = 0;
    return dr_safe_read(address, n, out, &got) && got == n;
}

const sve_memory_host kFrameworkMemory = {framework_safe_read};

void event_thread_init(void *drcontext) {
    auto *data = static_cast<dr_thread_data *>(dr_thread_alloc(drcontext, sizeof(dr_thread_data)));
    // A new thread starts with zeroed SVE state, no extra FP-control bits and
    // no signal handler running.
    std::memset(data, 0, sizeof(dr_thread_data));
    drmgr_set_tls_field(drcontext, tls_idx, data);
    data->drcontext = drcontext;
    const size_t guard = dr_page_size();
    auto *stack = static_cast<unsigned char *>(
        dr_raw_mem_alloc(guard + kEmulationStackBytes, DR_MEMPROT_READ | DR_MEMPROT_WRITE, nullptr));
    SVE_CLIENT_ASSERT(stack != NULL);
    dr_memory_protect(stack, guard, DR_MEMPROT_NONE);
    data->emulation_stack_top = stack + guard + kEmulationStackBytes;
    data->profile = sve_profile_thread_start();
    processor_identity_thread_init(data);
}

void event_thread_exit(void *drcontext) {
    auto *data = static_cast<dr_thread_data *>(drmgr_get_tls_field(drcontext, tls_idx));
    SVE_CLIENT_ASSERT(data != NULL);
    free_upper_states(drcontext, data->signal_levels);
    const size_t guard = dr_page_size();
    dr_raw_mem_free(data->emulation_stack_top - kEmulationStackBytes - guard, guard + kEmulationStackBytes);
    sve_profile_thread_end(data->profile);
    if (data->engine != nullptr) {
        if (data->engine->compiled != nullptr) dr_raw_mem_free(data->engine->compiled, kPlanSlots * kCompiledPlanBytes);
        dr_thread_free(drcontext, data->engine, sizeof(plan_engine));
    }
    dr_thread_free(drcontext, data, sizeof(dr_thread_data));
}

// The thread goes on at PC with the registers of STATE (from a clean call).
[[noreturn]] void resume_application(void *drcontext, const cpu_state *state, uintptr_t pc) {
    dr_mcontext_t mc;
    std::memset(&mc, 0, sizeof mc);
    mc.size = sizeof mc;
    mc.flags = DR_MC_ALL;
    dr_get_mcontext(drcontext, &mc);
    for (int n = 0; n < 31; ++n) reg_set_value(DR_REG_X0 + n, &mc, state->x[n]);
    reg_set_value(DR_REG_XSP, &mc, state->sp);
    mc.nzcv = static_cast<uint>(state->nzcv);
    mc.fpsr = state->fpsr;
    mc.fpcr = state->fpcr;
    for (int n = 0; n < 32; ++n) std::memcpy(&mc.simd[n], state->z[n], 16);
    mc.pc = reinterpret_cast<byte *>(pc);
    dr_redirect_execution(&mc);
    // Not reached: a redirection from a clean call does not return.
    dr_abort();
    __builtin_unreachable();
}

// Hands a fault of an emulated access to the application: the thread resumes
// with the state the instruction left (registers as the handler wrote them) at
// an unmapped address, where the framework raises SIGSEGV; event_signal then
// recognises the thread and ends the process with the default action.
[[noreturn]] void deliver_fault_to_application(void *drcontext, dr_thread_data *data) {
    data->faulted_pc = data->state.pc;
    resume_application(drcontext, &data->state, kFaultRedirectPc);
}

// Says why the word at PC was not emulated; the run goes on with the next one.
[[gnu::noinline, gnu::cold]] void report_failure(uint32_t word, unsigned char *pc) {
    std::fprintf(stderr, "Error: failed to emulate SVE instruction 0x%08x at PC %p\n", word, static_cast<void *>(pc));
    char why[768];
    sve_explain_failure(word, pc, !emulating_half_precision(), why, sizeof why);
    std::fputs(why, stderr);
}

// Runs the handler of each word of PLAN's run in turn (a register-only scalar
// word inside the run is executed in place), and returns how many were
// emulated. Under the try/except it runs as a function of its own
// (emulate_words), so that its locals stay in registers; without one it is
// part of the entry.
template <bool kProfile, bool kGuarded>
[[gnu::always_inline]] inline unsigned emulate_words_inline(dr_thread_data &data, const run_plan *plan) {
    cpu_state &state = data.state;
    unsigned emulated = 0;
    unsigned char *pc = plan->pc;
    for (const run_word *w = plan->words, *const end = w + plan->count; w != end; ++w, pc += 4) {
        // A caught fault is reported at state.pc; a run that cannot fault needs no record of it.
        if constexpr (kGuarded) state.pc = pc;
        const sve_handler_fn handler = w->fn;
        if (__builtin_expect(handler != nullptr, 1) && __builtin_expect(handler(&state, w->word) == DECODE_OK, 1)) {
            ++emulated;
            if constexpr (kProfile) sve_profile_count(data.profile, pc, w->word);
            continue;
        }
        if (handler == nullptr && w->in_line != kA64InlineNone) {
            a64_inline_run(state, w->word, w->in_line, w->inline_value, reinterpret_cast<uint64_t>(pc));
            continue;  // a scalar instruction inside the run
        }
        if (handler == nullptr && w->scalar != nullptr &&
            w->scalar(state, w->word, reinterpret_cast<uint64_t>(pc)) == reinterpret_cast<uint64_t>(pc) + 4)
            continue;
        report_failure(w->word, pc);
    }
    return emulated;
}
template <bool kProfile, bool kGuarded>
[[gnu::noinline]] unsigned emulate_words(dr_thread_data &data, const run_plan *plan) {
    return emulate_words_inline<kProfile, kGuarded>(data, plan);
}

// Going on past a run. A loop or a function that calls SVE code in a loop
// pays two transitions and a return to the code cache for each run in it. So,
// after its run, an entry goes on through the code that follows it on the
// thread's engine (plan_engine.h): SVE words and the register-only scalar words
// between them, along loops and calls, as the trap host does, until a word the
// engine does not run, a page it may not enter or kStepsPerTrap steps. Where
// it stops at the run's end (the loop came round), the block goes on as
// usual; elsewhere, the thread resumes there through a clean call
// (kPendingResume), which costs as much as some hundreds of steps. A run
// whose going on stopped within kWorthGoingOn steps stops going on.
constexpr uint64_t kWorthGoingOn = 256;

// The thread's engine, made at its first use; null when there is no memory.
plan_engine *engine_of(dr_thread_data &data) {
    if (data.engine != nullptr) return data.engine;
    auto *e = static_cast<plan_engine *>(dr_thread_alloc(data.drcontext, sizeof(plan_engine)));
    if (e == nullptr) return nullptr;
    std::memset(e, 0, sizeof(plan_engine));
    // Without memory both writable and executable the plans run word by word.
    auto *code = static_cast<uint32_t *>(dr_raw_mem_alloc(
        kPlanSlots * kCompiledPlanBytes, DR_MEMPROT_READ | DR_MEMPROT_WRITE | DR_MEMPROT_EXEC, nullptr));
    plan_engine_init(*e, emulated_handler, dr_page_size(), code, nullptr);
    data.engine = e;
    return e;
}

// Goes on from the end of PLAN's run on the thread's engine; the program's
// next instruction goes into data.resume_pc when it is not the run's end.
void go_on_past_run(dr_thread_data &data, const run_plan *plan, plan_engine &e) {
    const uint32_t *const end = reinterpret_cast<const uint32_t *>(plan->pc + 4 * plan->count);
    const uint64_t steps_before = e.instructions + e.scalar_steps;
    const run_end stop = run_plans(e, data.state, end, 0, end);
    if (e.instructions + e.scalar_steps - steps_before < kWorthGoingOn) plan->go_on.store(0, std::memory_order_relaxed);
    if (stop.at != end) data.resume_pc = reinterpret_cast<const unsigned char *>(stop.at);
}

// The emulation entries, called from the inline code on the thread's emulation
// stack with the thread's data (the record address the inline code holds) and
// the plan of a run of consecutive emulated instructions, which holds the words
// the block was built from and their handlers. The inline code has stored
// every register in the record and loads them back from there.
//
// emulate_run is for a run that may access memory: its handlers run under the
// framework's try/except, and a fault caught there is left in fault_pending for
// the inline code, which hands it to the application through a clean call
// (deliver_pending). emulate_register_run is for a run of which no word may
// access memory (may_access_memory), which cannot fault, and takes neither
// unless it goes on past the run.
template <bool kGuarded>
void emulate_run_of(dr_thread_data *data, const run_plan *plan) {
    cpu_state *state = &data->state;
    data->resume_pc = nullptr;
    // Inside a program signal handler, the interrupted code's SVE-only state is
    // copied before the handler's first SVE instruction changes it.
    sve_signal_levels_before_sve(data->signal_levels, state->sp, *state, allocate_upper_state);
    sve_profile_thread *const profile = data->profile;
    // Not under a profile, which counts each run's instructions.
    plan_engine *const engine =
        profile == nullptr && plan->go_on.load(std::memory_order_relaxed) != 0 ? engine_of(*data) : nullptr;
    if (kGuarded || engine != nullptr) {
        volatile unsigned emulated = 0;
        // A fault in a handler's memory access ends the run there (state->pc
        // says which instruction it was).
        volatile bool faulted = false;
        DR_TRY_EXCEPT(
            data->drcontext,
            {
                emulated = profile != nullptr ? (emulate_words<true, kGuarded>)(*data, plan)
                                              : (emulate_words<false, kGuarded>)(*data, plan);
                if (engine != nullptr) go_on_past_run(*data, plan, *engine);
            },
            { faulted = true; });
        if (profile != nullptr) sve_profile_trap(profile, emulated);
        if (faulted) {
            data->fault_pending = kPendingFault;
            return;
        }
        if (data->resume_pc != nullptr) data->fault_pending = kPendingResume;
    } else {
        if (__builtin_expect(profile != nullptr, 0))
            sve_profile_trap(profile, emulate_words<true, false>(*data, plan));
        else
            emulate_words_inline<false, false>(*data, plan);
    }
    // From here a thread stopped in this sequence has the run's results.
    data->emulated = 1;
}

void emulate_run(dr_thread_data *data, const run_plan *plan) { emulate_run_of<true>(data, plan); }
void emulate_register_run(dr_thread_data *data, const run_plan *plan) { emulate_run_of<false>(data, plan); }

// A clean call after an entry has caught a fault (the application gets it) or
// has gone on past its run (the thread resumes where it stopped).
void deliver_pending(dr_thread_data *data, unsigned char *, unsigned int) {
    const uint64_t pending = data->fault_pending;
    data->fault_pending = 0;
    if (pending == kPendingResume)
        resume_application(data->drcontext, &data->state, reinterpret_cast<uintptr_t>(data->resume_pc));
    deliver_fault_to_application(data->drcontext, data);
}

// Inserts a clean call of `callee` with three arguments before `where` (the
// way a caught fault reaches the application, which needs the framework's
// machine context), with the
// guarantees the inline code relies on: the callee receives exactly these
// values; control then goes on with `where`; and the spill slots and the
// stolen-register value are as the callee left them. The framework's call
// preparation gives all three (it saves every application register on its own
// stack around the call, a superset of what is needed) and leaves the client
// spill slots alone. It is the clean call taken apart: the parts carry no
// marks of the framework's own mangling, so that the caller can translate
// every one of them to the run the call stands for.
void dr_insert_call_tevra(void *drcontext, instrlist_t *ilist, instr_t *where, app_pc pc,
                          void *callee, opnd_t arg0, opnd_t arg1, opnd_t arg2) {
    (void)pc;
    const uint pushed = dr_prepare_for_call(drcontext, ilist, where);
    // The call needs the framework's stack 16-byte aligned, which the
    // preparation leaves it on AArch64.
    SVE_CLIENT_ASSERT(pushed % 16 == 0);
    dr_insert_call(drcontext, ilist, where, callee, 3, arg0, arg1, arg2);
    dr_cleanup_after_call(drcontext, ilist, where, 0);
}

// Constant predicate writes in a row get one inline sequence, of at most this
// many: with the call it keeps for a signal handler's SVE code, about 1.3 KiB,
// so that a block of kMaxRunsPerBlock of them stays well inside the limit.
constexpr unsigned kMaxConstantWords = 8;

// Builds the inline sequence that replaces a run of SVE instructions: from
// `pc`, the first one's address, to `end`, the address after the last.
//
// Our instructions are application instructions to the framework, translated
// to the run: those up to the call to its first instruction, those after it to
// its last. The framework takes the end of a block whose tail we removed (see
// truncate_block) from the last of them, so the block goes on after the run.
struct sequence_builder {
    void *drcontext;
    instrlist_t *bb;
    instr_t *where;
    app_pc pc;
    app_pc end;
    // The translation of the instructions inserted now.
    app_pc at;
    // Whether a word of the run may access memory.
    bool accesses_memory;
    // The run's words and their handlers.
    const run_plan *plan;

    // Inserts an instruction of our own, translated to the run.
    void emit(instr_t *instr) const {
        instr_set_translation(instr, at);
        instrlist_preinsert(bb, where, instr);
    }

    // Runs `insert`, which adds the framework's meta instructions before
    // `where` (spills, TLS reads, the call), and translates them to the SVE
    // instruction too: every instruction of the sequence has a translation, so
    // that the framework can translate a thread stopped at any of them (rather
    // than refuse, or take registers from a call frame that is only half
    // written) and hand the state to the restore-state event, which rebuilds
    // all of it.
    template <typename Insert>
    void framework(Insert insert) const {
        instr_t *before = instr_get_prev(where);
        insert();
        for (instr_t *i = before != nullptr ? instr_get_next(before) : instrlist_first(bb);
             i != where; i = instr_get_next(i)) {
            if (!instr_is_label(i) && instr_get_app_pc(i) == nullptr) instr_set_translation(i, at);
        }
    }

    // Marks the position for the restore-state event.
    void mark(sequence_mark m) const {
        instrlist_meta_preinsert(bb, where, sequence_label(drcontext, m, pc, end));
    }

    static opnd_t field(size_t offset, opnd_size_t size) {
        return opnd_create_base_disp(kRecordReg, DR_REG_NULL, 0, static_cast<int>(offset),
                                     size);
    }
    static opnd_t reg(reg_id_t r) { return opnd_create_reg(r); }
    static reg_id_t xreg(int n) { return static_cast<reg_id_t>(DR_REG_X0 + n); }
    static reg_id_t qreg(int n) { return static_cast<reg_id_t>(DR_REG_Q0 + n); }
    static size_t x_offset(int n) { return offsetof(cpu_state, x) + 8 * n; }
    static size_t q_offset(int n) { return offsetof(cpu_state, z) + kVecBytes * n; }

    // X27 = the record of the thread that runs the code. On AArch64 the
    // framework shares basic blocks and traces between threads (it has no
    // working thread-private code cache there), so the address comes from the
    // thread-local field at run time rather than from the building thread.
    void load_record_address() const {
        framework([&] { drmgr_insert_read_tls_field(drcontext, tls_idx, bb, where, kRecordReg); });
    }

    // X26 and X27 to their slots, marked, then X27 = the record address.
    void borrow_registers() const {
        mark(kMarkStart);
        framework([&] { dr_save_reg(drcontext, bb, where, kScratchReg, kSlotX26); });
        mark(kMarkX26Saved);
        framework([&] { dr_save_reg(drcontext, bb, where, kRecordReg, kSlotX27); });
        mark(kMarkX27Saved);
        load_record_address();
    }

    // X26 and X27 from their slots.
    void give_back_registers() const {
        framework([&] { dr_restore_reg(drcontext, bb, where, kScratchReg, kSlotX26); });
        framework([&] { dr_restore_reg(drcontext, bb, where, kRecordReg, kSlotX27); });
    }

    void save_state() const {
        borrow_registers();
        emit(INSTR_CREATE_str(drcontext, field(offsetof(dr_thread_data, emulated), OPSZ_8),
                              reg(DR_REG_XZR)));
        // X26 still holds the application's value; X27's comes from its slot.
        emit(INSTR_CREATE_str(drcontext, field(x_offset(26), OPSZ_8), reg(kScratchReg)));
        framework([&] { dr_restore_reg(drcontext, bb, where, kScratchReg, kSlotX27); });
        emit(INSTR_CREATE_str(drcontext, field(x_offset(27), OPSZ_8), reg(kScratchReg)));
        framework([&] { dr_insert_get_stolen_reg_value(drcontext, bb, where, kScratchReg); });
        emit(INSTR_CREATE_str(drcontext, field(x_offset(28), OPSZ_8), reg(kScratchReg)));
        emit(XINST_CREATE_move(drcontext, reg(kScratchReg), reg(DR_REG_XSP)));
        emit(INSTR_CREATE_str(drcontext, field(offsetof(cpu_state, sp), OPSZ_8),
                              reg(kScratchReg)));
        for (int k = 0; k < 13; ++k) {
            emit(INSTR_CREATE_stp(drcontext, field(x_offset(2 * k), OPSZ_16),
                                  reg(xreg(2 * k)), reg(xreg(2 * k + 1))));
        }
        emit(INSTR_CREATE_stp(drcontext, field(x_offset(29), OPSZ_16), reg(DR_REG_X29),
                              reg(DR_REG_X30)));
        for (int n = 0; n < 32; ++n)
            emit(INSTR_CREATE_str(drcontext, field(q_offset(n), OPSZ_16), reg(qreg(n))));
        emit(INSTR_CREATE_mrs(drcontext, reg(kScratchReg), reg(DR_REG_NZCV)));
        emit(INSTR_CREATE_str(drcontext, field(offsetof(cpu_state, nzcv), OPSZ_8),
                              reg(kScratchReg)));
        emit(INSTR_CREATE_mrs(drcontext, reg(kScratchReg), reg(DR_REG_FPSR)));
        emit(INSTR_CREATE_str(drcontext, field(offsetof(cpu_state, fpsr), OPSZ_4),
                              reg(kScratchRegW)));
        emit(INSTR_CREATE_mrs(drcontext, reg(kScratchReg), reg(DR_REG_FPCR)));
        emit(INSTR_CREATE_str(drcontext, field(offsetof(cpu_state, fpcr), OPSZ_4),
                              reg(kScratchRegW)));
    }

    // Inserts an instruction of our own that the framework must not take for
    // the application's (a call, a branch), translated to the run.
    void emit_meta(instr_t *instr) const {
        instr_set_translation(instr, at);
        instrlist_meta_preinsert(bb, where, instr);
    }

    // X = an immediate value, in four instructions whatever the value: the
    // plan's address, which the rebuilding of a block for a translation must
    // encode in as many bytes as the first building did.
    void move_immediate_fixed(reg_id_t x, uint64_t value) const {
        emit(INSTR_CREATE_movz(drcontext, reg(x), OPND_CREATE_INT16(value & 0xffff), OPND_CREATE_INT8(0)));
        for (int shift = 16; shift < 64; shift += 16)
            emit(INSTR_CREATE_movk(drcontext, reg(x), OPND_CREATE_INT16((value >> shift) & 0xffff),
                                   OPND_CREATE_INT8(shift)));
    }

    // X = an immediate value.
    void move_immediate(reg_id_t x, ptr_int_t value) const {
        framework([&] {
            instrlist_insert_mov_immed_ptrsz(drcontext, value, reg(x), bb, where, nullptr, nullptr);
        });
    }

    // The call runs on the thread's emulation stack, with the record and the
    // run's plan as arguments. Everything the callee may
    // change is in the record, which the load-back half takes the registers
    // from. A fault the callee caught goes to the application through a clean
    // call (which does not return).
    void call_emulation() const {
        void *callee = reinterpret_cast<void *>(accesses_memory ? emulate_run : emulate_register_run);
        mark(kMarkCall);
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchReg),
                              field(offsetof(dr_thread_data, emulation_stack_top), OPSZ_8)));
        emit(XINST_CREATE_move(drcontext, reg(DR_REG_XSP), reg(kScratchReg)));
        emit(XINST_CREATE_move(drcontext, reg(DR_REG_X0), reg(kRecordReg)));
        move_immediate_fixed(DR_REG_X1, reinterpret_cast<uint64_t>(plan));
        move_immediate(kScratchReg, reinterpret_cast<ptr_int_t>(callee));
        emit_meta(INSTR_CREATE_blr(drcontext, reg(kScratchReg)));
        mark(kMarkLoadBack);
        // Either entry may have gone on past the run.
        instr_t *nothing_pending = INSTR_CREATE_label(drcontext);
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchReg), field(offsetof(dr_thread_data, fault_pending), OPSZ_8)));
        emit_meta(INSTR_CREATE_cbz(drcontext, opnd_create_instr(nothing_pending), reg(kScratchReg)));
        framework([&] {
            dr_insert_call_tevra(drcontext, bb, where, pc, reinterpret_cast<void *>(deliver_pending), reg(kRecordReg),
                                 OPND_CREATE_INT32(0), OPND_CREATE_INT32(0));
        });
        instrlist_meta_preinsert(bb, where, nothing_pending);
    }

    // The inline code of a row of constant predicate writes, one per word of
    // the run: X26 and X27 are borrowed as for the transition, and each image
    // is stored into the record directly. Inside a program signal handler
    // (some level recorded), the interrupted code's SVE-only state may have to
    // be copied first, so the run goes through the call instead.
    void constant_predicates() {
        const unsigned count = static_cast<unsigned>((end - pc) / 4);
        borrow_registers();
        instr_t *through_call = INSTR_CREATE_label(drcontext);
        instr_t *done = INSTR_CREATE_label(drcontext);
        constexpr size_t kDepth = offsetof(dr_thread_data, signal_levels) + offsetof(sve_signal_levels, depth);
        static_assert(sizeof(sve_signal_levels::depth) == 4 && kDepth % 4 == 0 && kDepth / 4 < 4096);
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchRegW), field(kDepth, OPSZ_4)));
        emit_meta(INSTR_CREATE_cbnz(drcontext, opnd_create_instr(through_call), reg(kScratchReg)));
        // X27 moves to the first predicate register, then from one to the next:
        // every distance between two of them is an immediate of ADD or SUB, and
        // a whole register is in reach of STP.
        constexpr size_t kP0 = offsetof(dr_thread_data, state) + offsetof(cpu_state, p);
        static_assert(kP0 >> 12 < 4096);
        emit(INSTR_CREATE_add_shift(drcontext, reg(kRecordReg), reg(kRecordReg), OPND_CREATE_INT(kP0 >> 12),
                                    OPND_CREATE_LSL(), OPND_CREATE_INT(12)));
        if ((kP0 & 0xfff) != 0)
            emit(INSTR_CREATE_add(drcontext, reg(kRecordReg), reg(kRecordReg), OPND_CREATE_INT(kP0 & 0xfff)));
        unsigned at_p = 0;
        uint64_t held = 0;  // the pattern in X26 (0: none yet)
        for (unsigned i = 0; i < count; ++i) {
            constant_predicate c;
            SVE_CLIENT_ASSERT(constant_predicate_of(plan->words[i].word, &c));
            instrlist_meta_preinsert(bb, where,
                                     sequence_label(drcontext, kMarkConstant, pc + 4 * i, pc + 4 * i + 4, plan->words[i].word));
            if (c.pd != at_p) {
                const int delta = static_cast<int>(kVecBytes) * (static_cast<int>(c.pd) - static_cast<int>(at_p));
                emit(delta > 0 ? INSTR_CREATE_add(drcontext, reg(kRecordReg), reg(kRecordReg), OPND_CREATE_INT(delta))
                               : INSTR_CREATE_sub(drcontext, reg(kRecordReg), reg(kRecordReg), OPND_CREATE_INT(-delta)));
                at_p = c.pd;
            }
            if (c.true_bytes != 0 && c.pattern != held) {
                move_immediate(kScratchReg, static_cast<ptr_int_t>(c.pattern));
                held = c.pattern;
            }
            for (unsigned k = 0; k < kVecBytes; k += 16) {
                const reg_id_t r = k < c.true_bytes ? kScratchReg : static_cast<reg_id_t>(DR_REG_XZR);
                emit(INSTR_CREATE_stp(drcontext, opnd_create_base_disp(kRecordReg, DR_REG_NULL, 0, static_cast<int>(k), OPSZ_16),
                                      reg(r), reg(r)));
            }
        }
        give_back_registers();
        mark(kMarkEnd);
        emit_meta(XINST_CREATE_jump(drcontext, opnd_create_instr(done)));
        // Through the call: X26 and X27 get their values back, then the run is
        // emulated as any other.
        instrlist_meta_preinsert(bb, where, through_call);
        mark(kMarkX27Saved);
        give_back_registers();
        save_state();
        call_emulation();
        restore_state();
        instrlist_meta_preinsert(bb, where, done);
    }

    void restore_state() {
        at = end - 4;
        // X27 still holds the record address: the callee keeps it.
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchRegW),
                              field(offsetof(cpu_state, fpcr), OPSZ_4)));
        emit(INSTR_CREATE_msr(drcontext, reg(DR_REG_FPCR), reg(kScratchReg)));
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchRegW),
                              field(offsetof(cpu_state, fpsr), OPSZ_4)));
        emit(INSTR_CREATE_msr(drcontext, reg(DR_REG_FPSR), reg(kScratchReg)));
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchReg),
                              field(offsetof(cpu_state, nzcv), OPSZ_8)));
        emit(INSTR_CREATE_msr(drcontext, reg(DR_REG_NZCV), reg(kScratchReg)));
        // The callee may change every V register (the calling convention keeps
        // only the low halves of V8-V15) and, having gone on past the run
        // (go_on_past_run), every X register. X26, X27 and X28 come from the
        // record below.
        for (int n = 0; n < 32; ++n)
            emit(INSTR_CREATE_ldr(drcontext, reg(qreg(n)), field(q_offset(n), OPSZ_16)));
        for (int n = 0; n < 26; n += 2)
            emit(INSTR_CREATE_ldp(drcontext, reg(xreg(n)), reg(xreg(n + 1)), field(x_offset(n), OPSZ_16)));
        emit(INSTR_CREATE_ldp(drcontext, reg(DR_REG_X29), reg(DR_REG_X30), field(x_offset(29), OPSZ_16)));
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchReg),
                              field(offsetof(cpu_state, sp), OPSZ_8)));
        emit(XINST_CREATE_move(drcontext, reg(DR_REG_XSP), reg(kScratchReg)));
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchReg), field(x_offset(28), OPSZ_8)));
        framework([&] { dr_insert_set_stolen_reg_value(drcontext, bb, where, kScratchReg); });
        emit(INSTR_CREATE_ldr(drcontext, reg(kScratchReg), field(x_offset(26), OPSZ_8)));
        emit(INSTR_CREATE_ldr(drcontext, reg(kRecordReg), field(x_offset(27), OPSZ_8)));
        mark(kMarkEnd);
    }
};

// Removes every instruction from `first` to the end of the block; the framework
// starts the next block where the last remaining application instruction ends.
void truncate_block(void *drcontext, instrlist_t *bb, instr_t *first) {
    for (instr_t *instr = first; instr != nullptr;) {
        instr_t *following = instr_get_next(instr);
        instrlist_remove(bb, instr);
        instr_destroy(drcontext, instr);
        instr = following;
    }
}

// The encoding of an application instruction, when it has one.
bool raw_word_of(instr_t *instr, uint32_t *word) {
    const byte *raw = instr_get_raw_bits(instr);
    if (raw == nullptr) return false;
    std::memcpy(word, raw, sizeof *word);
    return true;
}

// Whether the process has built its first block yet.
std::atomic<bool> first_block_seen{false};

dr_emit_flags_t event_instruction_change(void *drcontext, void *tag, instrlist_t *bb,
                                         bool for_trace, bool translating) {
    (void)tag;
    if (!for_trace && !translating && !first_block_seen.load(std::memory_order_relaxed) &&
        !first_block_seen.exchange(true))
        mark_sve_in_auxiliary_vector(drcontext);
    unsigned runs = 0;
    instr_t *next = nullptr;
    for (instr_t *instr = instrlist_first_app(bb); instr != nullptr; instr = next) {
        next = instr_get_next_app(instr);
        uint32_t raw_word;
        if (!raw_word_of(instr, &raw_word)) continue;
        if (emulated_handler(raw_word) == nullptr) {
            rewrite_id_register_read(drcontext, bb, instr, raw_word);
            continue;
        }
        SVE_CLIENT_ASSERT(dr_get_stolen_reg() == DR_REG_X28);

        // The run: this instruction and the emulated instructions that follow
        // it directly in memory, with the register-only scalar instructions
        // (no branches) between two of them, which emulate_run executes too:
        // one transition instead of one per stretch of SVE words.
        const app_pc pc = instr_get_app_pc(instr);
        instr_t *last = instr;
        for (;;) {
            // Straight scalar instructions, then an emulated one, each at the
            // address after the one before.
            instr_t *candidate = instr_get_next_app(last);
            app_pc expect = instr_get_app_pc(last) + 4;
            while (candidate != nullptr && instr_get_app_pc(candidate) == expect && raw_word_of(candidate, &raw_word) &&
                   emulated_handler(raw_word) == nullptr && a64_scalar_straight(raw_word)) {
                candidate = instr_get_next_app(candidate);
                expect += 4;
            }
            if (candidate == nullptr || instr_get_app_pc(candidate) != expect || !raw_word_of(candidate, &raw_word) ||
                emulated_handler(raw_word) == nullptr || (expect + 4 - pc) / 4 > kMaxRunWords)
                break;
            last = candidate;
        }
        next = instr_get_next_app(last);
        const unsigned count = static_cast<unsigned>((instr_get_app_pc(last) + 4 - pc) / 4);
        uint32_t words[kMaxRunWords];
        SVE_CLIENT_ASSERT(count <= kMaxRunWords);
        unsigned n = 0;
        for (instr_t *i = instr; i != next; i = instr_get_next_app(i)) {
            SVE_CLIENT_ASSERT(raw_word_of(i, &raw_word));
            words[n++] = raw_word;
        }
        SVE_CLIENT_ASSERT(n == count);
        // Constant predicate writes at either end of the run get inline code
        // of their own (not under a profile, which counts each emulated
        // instruction); the rest of the run, which starts and ends with an
        // emulated word, goes through the call.
        unsigned lead = 0, trail = 0;
        if (!sve_profile_enabled()) {
            constant_predicate c;
            while (lead < count && lead < kMaxConstantWords && constant_predicate_of(words[lead], &c)) ++lead;
            if (lead < count && emulated_handler(words[lead]) == nullptr) --lead;
            while (trail < count - lead && trail < kMaxConstantWords && constant_predicate_of(words[count - 1 - trail], &c))
                ++trail;
            if (trail < count - lead && emulated_handler(words[count - 1 - trail]) == nullptr) --trail;
        }
        const auto emit_part = [&](unsigned from, unsigned to, bool constant) {
            if (from == to) return;
            const app_pc start = pc + 4 * from;
            const run_plan *plan = plan_of_run(start, words + from, to - from);
            bool accesses_memory = false;
            for (const run_word *w = plan->words; w != plan->words + plan->count; ++w) {
                if (w->fn != nullptr && may_access_memory(w->word)) accesses_memory = true;
            }
            sequence_builder seq{drcontext, bb, instr, start, pc + 4 * to, start, accesses_memory, plan};
            if (constant) {
                seq.constant_predicates();
            } else {
                seq.save_state();
                seq.call_emulation();
                seq.restore_state();
            }
            ++runs;
        };
        emit_part(0, lead, true);
        emit_part(lead, count - trail, false);
        emit_part(count - trail, count, true);
        instr_t *after = instr_get_next(last);
        for (instr_t *i = instr; i != after;) {
            instr_t *following = instr_get_next(i);
            instrlist_remove(bb, i);
            instr_destroy(drcontext, i);
            i = following;
        }
        // A block of the framework's code cache is limited in size (32 KiB on
        // AArch64) and every run expands to a few hundred bytes; a block with
        // many runs is split, the rest of it goes to the next block.
        if (runs >= kMaxRunsPerBlock) {
            truncate_block(drcontext, bb, after);
            break;
        }
    }
    return DR_EMIT_DEFAULT;
}

// Ends the process after a fault of an emulated access, which
// deliver_fault_to_application turned into this signal. Every other signal goes
// to the application as usual; a SIGILL that is about to end it (the program
// has no handler) is explained first, as the trap host explains it.
dr_signal_action_t event_signal(void *drcontext, dr_siginfo_t *info) {
    if (info->sig == SIGILL && program_sigill_is_default() && info->mcontext != nullptr) {
        const void *pc = info->mcontext->pc;
        uint32_t word;
        if (framework_safe_read(pc, &word, sizeof word)) {
            std::fprintf(stderr, "Error: failed to emulate SVE instruction 0x%08x at PC %p\n", word, pc);
            char why[768];
            sve_explain_failure(word, pc, !emulating_half_precision(), why, sizeof why);
            std::fputs(why, stderr);
            std::fflush(stderr);
        }
    }
    if (info->sig != SIGSEGV && info->sig != SIGBUS) return DR_SIGNAL_DELIVER;
    dr_thread_data *data = client_thread_data(drcontext);
    if (data->faulted_pc == nullptr) return DR_SIGNAL_DELIVER;
    data->faulted_pc = nullptr;
    std::fprintf(stderr, kFaultNotice, info->sig == SIGSEGV ? "SIGSEGV" : "SIGBUS");
    std::fflush(stderr);
    // A blocked synchronous fault cannot be bypassed; delivering it ends the
    // process by the default action all the same.
    return info->blocked ? DR_SIGNAL_DELIVER : DR_SIGNAL_BYPASS;
}

// Newer drmgr releases own the exit event (their drmgr.h turns DynamoRIO's
// registration function into an error); older ones do not offer it.
void register_exit_event(void (*func)()) {
#if defined(dr_register_exit_event)
    drmgr_register_exit_event(func);
#else
    dr_register_exit_event(func);
#endif
}

void event_exit() {
    translation_exit();
    dr_log(nullptr, kLogAllCategories, 1, "SVE client exiting\n");
    if (!drmgr_unregister_bb_app2app_event(event_instruction_change)) SVE_CLIENT_ASSERT(false);
    free_plans();
    dr_mutex_destroy(plan_lock);
    sve_profile_write_report();
    drmgr_exit();
}

}  // namespace

dr_thread_data *client_thread_data(void *drcontext) {
    return static_cast<dr_thread_data *>(drmgr_get_tls_field(drcontext, tls_idx));
}

DR_EXPORT void dr_client_main(client_id_t id, int argc, const char *argv[]) {
    (void)id;
    dr_set_client_name("Orvo SVE emulation client", "the libsve_2048 issue tracker");

    // No options: "--" ends the list and anything before it is an error.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) break;
        char message[256];
        dr_snprintf(message, sizeof message, "Unknown option: %s", argv[i]);
        message[sizeof message - 1] = '\0';
        dr_fprintf(STDERR, "Usage error: %s\n", message);
        dr_abort();
    }

    if (!drmgr_init()) SVE_CLIENT_ASSERT(false);
    plan_lock = dr_mutex_create();
    // One store or load each, through the stolen register.
    SVE_CLIENT_ASSERT(kSlotX26 <= dr_max_opnd_accessible_spill_slot() &&
                      kSlotX27 <= dr_max_opnd_accessible_spill_slot());

    drmgr_register_thread_init_event(event_thread_init);
    drmgr_register_thread_exit_event(event_thread_exit);
    register_exit_event(event_exit);
    if (!drmgr_register_bb_app2app_event(event_instruction_change, nullptr))
        SVE_CLIENT_ASSERT(false);
    tls_idx = drmgr_register_tls_field();
    sve_profile_set_allocator(profile_alloc, profile_free);
    sve_set_location_resolver(framework_location);
    sve_profile_configure_from_environment();

    // The page size the core recorded at load time came from the C library the
    // framework loaded privately for the client, which need not be the
    // process's (under QEMU it reports 64 KiB for 4 KiB pages); first-fault and
    // non-fault loads take a page that holds one readable element as readable
    // throughout, so they need the framework's value.
    page_size = static_cast<uint32_t>(dr_page_size());

    // Faults: the framework's fault-safe reads for first-fault and non-fault
    // loads, its signal event for everything else.
    sve_set_memory_host(&kFrameworkMemory);
    drmgr_register_signal_event(event_signal);

    translation_init();
    signal_frames_init();
    processor_identity_init();

    dr_log(nullptr, kLogAllCategories, 1, "SVE client initializing\n");
}
