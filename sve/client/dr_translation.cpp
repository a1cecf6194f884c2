// The application state of a thread that the framework stops inside the inline
// sequence standing for a run of SVE instructions.
//
// The framework translates a thread's code-cache state into application state
// when it delivers a signal that cannot wait for the fragment to end (a fault,
// or SIGSEGV, SIGBUS, SIGPIPE and the like sent by another thread), when it
// suspends threads (flushes, detach) and when it relocates one. Inside our
// sequence its own translation is wrong twice over: X26 and X27 hold scratch
// values, and once the call has run the registers are a mix of results and
// inputs while every instruction of the sequence says "at the run's first SVE
// instruction".
// The restore-state event puts a consistent architectural state in their place:
//
//   before the emulation entry has finished (the save half, the switch to
//       the emulation stack and the call): the state before the run, PC at its
//       first instruction. X26 and X27 come from their slots once saved; from
//       the call on, every register comes from the record, which the save
//       half has completed (the call's set-up moves SP and the arguments).
//   after it (the rest of the call and the load-back half): the state after
//       the run, every register from the record, PC at the instruction after
//       it (or where the entry stopped, when it went on past the run). The
//       run's memory effects have happened, and its results are in the
//       record only.
//
// A thread is never found between two instructions of a run: the run, and
// the code the call goes on through after it, is emulated inside one call, in
// client code, where the framework does not translate threads. (A caught
// fault's clean call, after the call, is in the load-back part: the process
// ends there.)
//
// Constant predicate writes (PTRUE, PFALSE) have inline code of their own,
// which stores each one's image into the record with X26 and X27 borrowed. A
// thread stopped there gets the state after the instruction being written: the
// restore-state event completes that instruction's write (its handler, run on
// the record, writes the same image the inline code was storing), X26 and X27
// come from their slots and PC is at the next instruction.
//
// X28 (the framework's stolen register) is the framework's business until the
// load-back half: the framework's copy holds the application's value.
//
// The position comes from the marks the block event put around the sequence
// (sequence_label), found by walking the fragment's recreated instruction list
// the way the framework does; the call is split by the `emulated` word of the
// thread's data, which the save half clears and the emulation entry sets.
//
// Not ours to fix: the framework cannot translate a thread stopped in a
// fragment's prefix at all, and a signal that arrives while the thread runs
// the emulation entry (client code) waits until the thread next leaves the
// code cache.

#include <atomic>
#include <cstring>

#include "sve/client/dr_client.h"
#include "drmgr.h"
#include "sve/decode/sve_utils.h"

namespace {

// The first of the notes reserved for the sequence marks.
ptr_int_t note_base = 0;
bool note_range_reserved = false;

// How often a stopped thread was found inside a sequence, by the state it got.
std::atomic<uint64_t> translated_before{0};
std::atomic<uint64_t> translated_after{0};
std::atomic<uint64_t> translated_constant{0};

// A run's first address and the address after it.
struct run_span {
    app_pc pc;
    app_pc end;
    uint32_t word;  // of a kMarkConstant mark
};

bool mark_of(instr_t *instr, sequence_mark *mark, run_span *run) {
    if (!instr_is_label(instr)) return false;
    const ptr_int_t note = reinterpret_cast<ptr_int_t>(instr_get_note(instr));
    if (note < note_base || note >= note_base + kMarkCount) return false;
    *mark = static_cast<sequence_mark>(note - note_base);
    const dr_instr_label_data_t *data = instr_get_label_data_area(instr);
    run->pc = reinterpret_cast<app_pc>(data->data[0]);
    run->end = reinterpret_cast<app_pc>(data->data[1]);
    run->word = static_cast<uint32_t>(data->data[2]);
    return true;
}

// The mark last passed before the instruction at `target` in the code cache,
// walking `ilist` from `cache_start` with the framework's own lengths. False
// when the thread is outside every sequence.
bool find_position(void *drcontext, instrlist_t *ilist, byte *cache_start, byte *target,
                   sequence_mark *mark, run_span *run) {
    bool inside = false;
    byte *cpc = cache_start;
    for (instr_t *instr = instrlist_first(ilist); instr != nullptr;
         instr = instr_get_next(instr)) {
        sequence_mark m;
        run_span r;
        if (mark_of(instr, &m, &r)) {
            inside = m != kMarkEnd;
            *mark = m;
            *run = r;
            continue;
        }
        const int length = instr_length(drcontext, instr);
        if (length == 0) continue;
        if (cpc >= target) break;
        cpc += length;
    }
    return inside;
}

void set_from_record(dr_mcontext_t *mc, const cpu_state &st) {
    for (int n = 0; n < 31; ++n) reg_set_value(static_cast<reg_id_t>(DR_REG_X0 + n), mc, st.x[n]);
    reg_set_value(DR_REG_XSP, mc, st.sp);
    mc->nzcv = static_cast<uint>(st.nzcv);
    mc->fpsr = st.fpsr;
    mc->fpcr = st.fpcr;
    for (int n = 0; n < 32; ++n) std::memcpy(&mc->simd[n], st.z[n], 16);
}

bool event_restore_state(void *drcontext, bool restore_memory, dr_restore_state_info_t *info) {
    if (info->fragment_info.cache_start_pc == nullptr || !info->raw_mcontext_valid) return true;
    dr_mcontext_t *mc = info->mcontext;
    if (info->fragment_info.ilist == nullptr) {
        // Translations stored when the fragment was emitted (only with the
        // framework's -store_translations, or for a deleted fragment): the marks
        // are gone. A relocation at an SVE instruction's address may be inside
        // a sequence, so it is refused and the framework tries again later; a
        // signal is delivered with the framework's translation.
        uint32_t word = 0;
        size_t got = 0;
        const bool at_sve = dr_safe_read(mc->pc, sizeof word, &word, &got) &&
                            got == sizeof word && emulated_handler(word) != nullptr;
        return restore_memory || !at_sve;
    }

    sequence_mark mark = kMarkEnd;
    run_span run{nullptr, nullptr, 0};
    if (!find_position(drcontext, info->fragment_info.ilist, info->fragment_info.cache_start_pc,
                       info->raw_mcontext->pc, &mark, &run))
        return true;

    dr_thread_data *data = client_thread_data(drcontext);
    if (mark == kMarkConstant) {
        const sve_handler_fn write = emulated_handler(run.word);
        if (write != nullptr) write(&data->state, run.word);
        if (translated_constant.fetch_add(1, std::memory_order_relaxed) == 0)
            dr_log(nullptr, DR_LOG_ALL, 1, "SVE client: translated a thread inside a constant predicate write\n");
        reg_set_value(DR_REG_X26, mc, dr_read_saved_reg(drcontext, kSlotX26));
        reg_set_value(DR_REG_X27, mc, dr_read_saved_reg(drcontext, kSlotX27));
        mc->pc = run.end;
        return true;
    }
    const bool after = mark == kMarkLoadBack || (mark == kMarkCall && data->emulated != 0);
    if (after) {
        set_from_record(mc, data->state);
        mc->pc = data->resume_pc != nullptr ? const_cast<app_pc>(data->resume_pc) : run.end;
        if (translated_after.fetch_add(1, std::memory_order_relaxed) == 0)
            dr_log(nullptr, DR_LOG_ALL, 1,
                   "SVE client: translated a thread inside an emulation sequence, after its call\n");
        return true;
    }
    if (mark == kMarkCall) {
        // The call's set-up has moved SP and the arguments; the record has them all.
        const uint64_t x28 = reg_get_value(DR_REG_X28, mc);
        set_from_record(mc, data->state);
        reg_set_value(DR_REG_X28, mc, x28);
    }
    if (mark != kMarkStart) reg_set_value(DR_REG_X26, mc, dr_read_saved_reg(drcontext, kSlotX26));
    if (mark != kMarkStart && mark != kMarkX26Saved)
        reg_set_value(DR_REG_X27, mc, dr_read_saved_reg(drcontext, kSlotX27));
    mc->pc = run.pc;
    if (translated_before.fetch_add(1, std::memory_order_relaxed) == 0)
        dr_log(nullptr, DR_LOG_ALL, 1,
               "SVE client: translated a thread inside an emulation sequence, before its call\n");
    return true;
}

}  // namespace

instr_t *sequence_label(void *drcontext, sequence_mark mark, app_pc pc, app_pc end, uint32_t word) {
    instr_t *label = INSTR_CREATE_label(drcontext);
    instr_set_note(label, reinterpret_cast<void *>(note_base + mark));
    dr_instr_label_data_t *data = instr_get_label_data_area(label);
    data->data[0] = reinterpret_cast<ptr_uint_t>(pc);
    data->data[1] = reinterpret_cast<ptr_uint_t>(end);
    data->data[2] = word;
    return label;
}

void translation_init() {
    note_base = drmgr_reserve_note_range(kMarkCount);
    note_range_reserved = note_base != DRMGR_NOTE_NONE;
    if (!note_range_reserved || !drmgr_register_restore_state_ex_event(event_restore_state)) {
        dr_fprintf(STDERR, "SVE client: cannot register the restore-state event\n");
        dr_abort();
    }
}

void translation_exit() {
    dr_log(nullptr, DR_LOG_ALL, 1,
           "SVE client: threads translated inside emulation sequences: %llu before the call, "
           "%llu after, %llu in constant predicate writes\n",
           static_cast<unsigned long long>(translated_before.load()),
           static_cast<unsigned long long>(translated_after.load()),
           static_cast<unsigned long long>(translated_constant.load()));
    drmgr_unregister_restore_state_ex_event(event_restore_state);
}
