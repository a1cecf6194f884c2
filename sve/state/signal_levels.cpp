// The SVE-only state across a program's signal handlers.

#include "sve/state/signal_levels.h"

#include <cstring>

void sve_save_upper_state(const cpu_state &st, sve_upper_state &out) {
    for (unsigned n = 0; n < 32; ++n) std::memcpy(out.z_upper[n], st.z[n] + 16, kVecBytes - 16);
    std::memcpy(out.p, st.p, sizeof out.p);
    std::memcpy(out.ffr, st.ffr, sizeof out.ffr);
}

void sve_restore_upper_state(const sve_upper_state &in, cpu_state &st) {
    for (unsigned n = 0; n < 32; ++n) std::memcpy(st.z[n] + 16, in.z_upper[n], kVecBytes - 16);
    std::memcpy(st.p, in.p, sizeof in.p);
    std::memcpy(st.ffr, in.ffr, sizeof in.ffr);
}

namespace {

// Code at `sp` runs inside the handler of `lv` (or in a handler nested in it)
// only below the handler's entry stack pointer, and on the alternate stack when
// the handler runs there.
bool left_behind(const sve_signal_level &lv, uintptr_t sp) {
    if (sp > lv.frame_sp) return true;
    return lv.on_altstack && (sp < lv.alt_lo || sp >= lv.alt_hi);
}

void drop_level(sve_signal_levels &levels) {
    --levels.depth;
    if (levels.depth < kMaxSignalLevels) levels.level[levels.depth].saved = false;
}

}  // namespace

void sve_signal_levels_unwind(sve_signal_levels &levels, uintptr_t sp) {
    // Levels past the array are not known well enough to judge.
    while (levels.depth > 0 && levels.depth <= kMaxSignalLevels &&
           left_behind(levels.level[levels.depth - 1], sp)) {
        drop_level(levels);
        ++levels.abandoned;
    }
}

void sve_signal_levels_enter(sve_signal_levels &levels, const sve_handler_frame &frame,
                             uintptr_t interrupted_sp) {
    sve_signal_levels_unwind(levels, interrupted_sp);
    if (levels.depth < kMaxSignalLevels) {
        sve_signal_level &lv = levels.level[levels.depth];
        lv.frame_sp = frame.frame_sp;
        lv.on_altstack = frame.alt_lo < frame.alt_hi && frame.frame_sp >= frame.alt_lo &&
                         frame.frame_sp <= frame.alt_hi;
        lv.alt_lo = frame.alt_lo;
        lv.alt_hi = frame.alt_hi;
        lv.saved = false;
    }
    ++levels.depth;
}

bool sve_signal_levels_leave(sve_signal_levels &levels, uintptr_t frame_sp, cpu_state *st) {
    if (levels.depth > kMaxSignalLevels) {
        --levels.depth;
        return true;
    }
    unsigned k = levels.depth;
    while (k > 0 && levels.level[k - 1].frame_sp != frame_sp) --k;
    if (k == 0) return false;
    while (levels.depth > k) {
        drop_level(levels);
        ++levels.abandoned;
    }
    sve_signal_level &lv = levels.level[k - 1];
    if (lv.saved && st != nullptr && levels.copies[k - 1] != nullptr) {
        sve_restore_upper_state(*levels.copies[k - 1], *st);
        ++levels.restores;
    }
    drop_level(levels);
    return true;
}

bool sve_signal_levels_before_sve_slow(sve_signal_levels &levels, uintptr_t sp,
                                       const cpu_state &st, sve_copy_alloc_fn alloc) {
    sve_signal_levels_unwind(levels, sp);
    if (levels.depth == 0 || levels.depth > kMaxSignalLevels) return false;
    const unsigned k = levels.depth - 1;
    sve_signal_level &lv = levels.level[k];
    if (lv.saved) return false;
    if (levels.copies[k] == nullptr) levels.copies[k] = alloc != nullptr ? alloc() : nullptr;
    if (levels.copies[k] == nullptr) return false;
    sve_save_upper_state(st, *levels.copies[k]);
    lv.saved = true;
    ++levels.saves;
    return true;
}
