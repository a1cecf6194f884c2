// The SVE-only state (Z bytes 16-255, P0-P15, FFR) across the program's own
// signal handlers, as an SVE processor's kernel keeps it: the framework tells
// us about every delivery to a program handler and every sigreturn through its
// kernel-transfer event, and the thread's sve_signal_levels does the rest
// (emulate_run takes the copy before a handler's first SVE
// instruction). Bytes 0-15 of each Z register are the V register, which the
// framework itself restores from the frame at sigreturn.
//
// The frame. The framework builds the program's rt_sigframe at the handler's
// stack pointer (target_xsp), as the kernel does: siginfo first, then the
// ucontext, whose uc_stack it sets to the thread's alternate stack. At
// sigreturn the handler has returned through the restorer with the stack
// pointer back at the frame, so the source context's SP names the level.

#include <signal.h>
#include <ucontext.h>

#include <cstddef>
#include <cstring>

#include "sve/client/dr_client.h"
#include "drmgr.h"

namespace {

// Where the ucontext's uc_stack sits in the frame at `frame_sp`.
constexpr size_t kFrameUcStack = sizeof(siginfo_t) + offsetof(ucontext_t, uc_stack);

sve_handler_frame handler_frame(uintptr_t frame_sp) {
    sve_handler_frame frame{frame_sp, 0, 0};
    stack_t alt;
    size_t got = 0;
    if (dr_safe_read(reinterpret_cast<void *>(frame_sp + kFrameUcStack), sizeof alt, &alt, &got) &&
        got == sizeof alt && (alt.ss_flags & SS_DISABLE) == 0 && alt.ss_size != 0) {
        frame.alt_lo = reinterpret_cast<uintptr_t>(alt.ss_sp);
        frame.alt_hi = frame.alt_lo + alt.ss_size;
    }
    return frame;
}

void event_kernel_xfer(void *drcontext, const dr_kernel_xfer_info_t *info) {
    if (info->type != DR_XFER_SIGNAL_DELIVERY && info->type != DR_XFER_SIGNAL_RETURN) return;
    dr_thread_data *data = client_thread_data(drcontext);
    if (data == nullptr) return;
    if (info->type == DR_XFER_SIGNAL_DELIVERY) {
        const uintptr_t frame_sp = info->target_xsp;
        const uintptr_t interrupted_sp =
            info->source_mcontext != nullptr ? info->source_mcontext->sp : frame_sp;
        sve_signal_levels_enter(data->signal_levels, handler_frame(frame_sp), interrupted_sp);
    } else if (info->source_mcontext != nullptr) {
        sve_signal_levels_leave(data->signal_levels, info->source_mcontext->sp, &data->state);
    }
}

}  // namespace

sve_upper_state *allocate_upper_state() {
    void *drcontext = dr_get_current_drcontext();
    void *copy = dr_thread_alloc(drcontext, sizeof(sve_upper_state));
    if (copy != nullptr) std::memset(copy, 0, sizeof(sve_upper_state));
    return static_cast<sve_upper_state *>(copy);
}

void free_upper_states(void *drcontext, sve_signal_levels &levels) {
    for (sve_upper_state *&copy : levels.copies) {
        if (copy != nullptr) dr_thread_free(drcontext, copy, sizeof(sve_upper_state));
        copy = nullptr;
    }
}

void signal_frames_init() {
    if (!drmgr_register_kernel_xfer_event(event_kernel_xfer)) {
        dr_fprintf(STDERR, "SVE client: cannot register the kernel-transfer event\n");
        dr_abort();
    }
}
