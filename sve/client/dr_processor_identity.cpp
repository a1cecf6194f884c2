// What a program learns about the processor under the client: an SVE processor
// whose only vector length is 2048 bits, as Linux describes one.
//
//   AT_HWCAP      HWCAP_SVE, HWCAP_FPHP and HWCAP_ASIMDHP (every SVE processor
//                 has the half-precision instructions, which the client
//                 emulates where the processor lacks them) set in the auxiliary
//                 vector on the initial stack, before the program's dynamic
//                 loader copies it (glibc keeps its own copy of AT_HWCAP for
//                 getauxval and its ifuncs). AT_HWCAP2 stays as the processor
//                 has it.
//   prctl         PR_SVE_GET_VL and PR_SVE_SET_VL answered without the kernel:
//                 every valid request gives 256 bytes, PR_SVE_VL_INHERIT is kept
//                 per thread (a new thread starts with its creator's), invalid
//                 requests fail with EINVAL as the kernel's checks make them.
//   ID registers  MRS of ID_AA64PFR0_EL1 reads SVE (bits 35:32) as 1 and FP and
//                 AdvSIMD (bits 19:16, 23:20) as 1 (with half precision), MRS
//                 of ID_AA64ZFR0_EL1 reads 0 (SVE without SVE2 or any extension).

#include <elf.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>

#include "sve/client/dr_client.h"
#include "sve/decode/emulated_words.h"
#include "drmgr.h"

namespace {

constexpr uint64_t kHwcapSve = 1ull << 22;

// Set from the processor's AT_HWCAP before the first block is rewritten.
std::atomic<bool> emulate_half_precision{false};

constexpr int kSysRtSigaction = 134;  // AArch64 Linux system call numbers
constexpr int kSysPrctl = 167;
constexpr int kSysClone = 220;
constexpr int kSysClone3 = 435;

constexpr uint64_t kPrSveSetVl = 50;
constexpr uint64_t kPrSveGetVl = 51;
constexpr uint64_t kPrSveVlLenMask = 0xffff;
constexpr uint64_t kPrSveVlInherit = 1ull << 17;
constexpr uint64_t kPrSveSetVlOnexec = 1ull << 18;
constexpr uint64_t kVectorLengthBytes = kVecBytes;

// MRS Xt, <register>: the word without Rt.
constexpr uint32_t kMrsRtMask = ~0x1fu;
constexpr uint32_t kMrsIdAa64Pfr0 = 0xd5380400;
constexpr uint32_t kMrsIdAa64Zfr0 = 0xd5380480;
constexpr uint64_t kPfr0SveField = 0xfull << 32;
constexpr uint64_t kPfr0SveImplemented = 1ull << 32;
constexpr uint64_t kPfr0FpFields = 0xffull << 16;       // FP and AdvSIMD
constexpr uint64_t kPfr0FpWithHalf = 1ull << 16;        // FP: with half precision
constexpr uint64_t kPfr0AdvSimdWithHalf = 1ull << 20;   // AdvSIMD: with half precision

// Whether the program has a handler of SIGILL (anything but SIG_DFL), as its
// last rt_sigaction set it.
std::atomic<bool> program_handles_sigill{false};

// PR_SVE_VL_INHERIT of the thread that last asked for a new thread; the new
// thread's init event takes it.
std::atomic<bool> creator_vl_inherit{false};

// The answer of PR_SVE_SET_VL(arg), updating the thread's inherit flag.
int64_t set_vector_length(dr_thread_data *data, uint64_t arg) {
    const uint64_t vl = arg & kPrSveVlLenMask;
    const uint64_t flags = arg & ~kPrSveVlLenMask;
    if ((flags & ~(kPrSveVlInherit | kPrSveSetVlOnexec)) != 0) return -EINVAL;
    if (vl % 16 != 0 || vl < 16 || vl > 8192) return -EINVAL;
    data->vl_inherit = (flags & kPrSveVlInherit) != 0;
    return static_cast<int64_t>(kVectorLengthBytes | (data->vl_inherit ? kPrSveVlInherit : 0));
}

bool event_filter_syscall(void *drcontext, int sysnum) {
    (void)drcontext;
    return sysnum == kSysPrctl || sysnum == kSysClone || sysnum == kSysClone3 || sysnum == kSysRtSigaction;
}

bool event_pre_syscall(void *drcontext, int sysnum) {
    dr_thread_data *data = client_thread_data(drcontext);
    if (sysnum == kSysClone || sysnum == kSysClone3) {
        creator_vl_inherit.store(data->vl_inherit);
        return true;
    }
    if (sysnum == kSysRtSigaction) {
        // The new action's handler is its first field. A request the kernel
        // refuses is taken as made: it only decides whether a message is shown.
        const auto *act = reinterpret_cast<const uint64_t *>(dr_syscall_get_param(drcontext, 1));
        uint64_t handler = 0;
        size_t got = 0;
        if (dr_syscall_get_param(drcontext, 0) == SIGILL && act != nullptr &&
            dr_safe_read(act, sizeof handler, &handler, &got) && got == sizeof handler)
            program_handles_sigill.store(handler != 0);
        return true;
    }
    if (sysnum != kSysPrctl) return true;
    const uint64_t option = dr_syscall_get_param(drcontext, 0);
    int64_t result;
    if (option == kPrSveGetVl)
        result = static_cast<int64_t>(kVectorLengthBytes | (data->vl_inherit ? kPrSveVlInherit : 0));
    else if (option == kPrSveSetVl)
        result = set_vector_length(data, dr_syscall_get_param(drcontext, 1));
    else
        return true;
    dr_syscall_set_result(drcontext, static_cast<reg_t>(result));
    return false;
}

// Older drmgr releases have no filter event of their own; newer ones forbid
// DynamoRIO's.
void register_filter_syscall_event(bool (*func)(void *, int)) {
#if defined(dr_register_filter_syscall_event)
    drmgr_register_filter_syscall_event(func);
#else
    dr_register_filter_syscall_event(func);
#endif
}

}  // namespace

void processor_identity_init() {
    register_filter_syscall_event(event_filter_syscall);
    if (!drmgr_register_pre_syscall_event(event_pre_syscall)) {
        dr_fprintf(STDERR, "SVE client: cannot register the system call event\n");
        dr_abort();
    }
}

void processor_identity_thread_init(dr_thread_data *data) {
    // The process's first thread starts with the flag clear; a later one
    // inherits it from its creator.
    data->vl_inherit = creator_vl_inherit.load();
}

void mark_sve_in_auxiliary_vector(void *drcontext) {
    dr_mcontext_t mc;
    mc.size = sizeof mc;
    mc.flags = DR_MC_CONTROL;
    if (!dr_get_mcontext(drcontext, &mc)) return;
    // argc, argv[argc] and its null, the environment and its null, then the
    // auxiliary vector's (type, value) pairs up to AT_NULL.
    auto read = [](const uint64_t *at, uint64_t *value) {
        size_t got = 0;
        return dr_safe_read(at, sizeof *value, value, &got) && got == sizeof *value;
    };
    const uint64_t *p = reinterpret_cast<const uint64_t *>(mc.sp);
    uint64_t argc = 0;
    if (!read(p, &argc) || argc > (1u << 20)) return;
    p += 1 + argc + 1;
    for (uint64_t v = 1; v != 0; ++p)
        if (!read(p, &v)) return;
    for (uint64_t type = 0, value = 0; read(p, &type) && type != AT_NULL && read(p + 1, &value);
         p += 2) {
        if (type != AT_HWCAP) continue;
        emulate_half_precision.store(lacks_half_precision(value));
        value |= kHwcapSve | kHwcapHalfPrecision;
        size_t written = 0;
        dr_safe_write(const_cast<uint64_t *>(p + 1), sizeof value, &value, &written);
        return;
    }
}

void rewrite_id_register_read(void *drcontext, instrlist_t *bb, instr_t *instr, uint32_t word) {
    const uint32_t rt = word & 0x1f;
    const uint32_t which = word & kMrsRtMask;
    if (which != kMrsIdAa64Pfr0 && which != kMrsIdAa64Zfr0) return;
    const app_pc pc = instr_get_app_pc(instr);
    const opnd_t xt = opnd_create_reg(static_cast<reg_id_t>(DR_REG_X0 + rt));
    // The replacements are application instructions translated to the MRS: a
    // thread stopped between them reads the register again. The framework
    // mangles them like any other when Xt is its stolen register.
    instr_t *next = instr_get_next(instr);
    auto add = [&](instr_t *added) {
        instr_set_translation(added, pc);
        if (next != nullptr)
            instrlist_preinsert(bb, next, added);
        else
            instrlist_append(bb, added);
    };
    if (which == kMrsIdAa64Zfr0 || rt == 31) {
        // The processor need not know ID_AA64ZFR0_EL1; a read into XZR is a no-op.
        add(rt == 31 ? XINST_CREATE_nop(drcontext)
                     : XINST_CREATE_load_int(drcontext, xt, OPND_CREATE_INT32(0)));
        instrlist_remove(bb, instr);
        instr_destroy(drcontext, instr);
        return;
    }
    // One field per instruction: each mask is a logical immediate.
    add(INSTR_CREATE_and(drcontext, xt, xt, opnd_create_immed_uint(~kPfr0SveField, OPSZ_8)));
    add(INSTR_CREATE_and(drcontext, xt, xt, opnd_create_immed_uint(~kPfr0FpFields, OPSZ_8)));
    add(INSTR_CREATE_orr(drcontext, xt, xt, opnd_create_immed_uint(kPfr0SveImplemented, OPSZ_8)));
    add(INSTR_CREATE_orr(drcontext, xt, xt, opnd_create_immed_uint(kPfr0FpWithHalf, OPSZ_8)));
    add(INSTR_CREATE_orr(drcontext, xt, xt, opnd_create_immed_uint(kPfr0AdvSimdWithHalf, OPSZ_8)));
}

sve_handler_fn emulated_handler(uint32_t word) {
    return emulated_instruction(word, emulate_half_precision.load(std::memory_order_relaxed));
}

bool emulating_half_precision() { return emulate_half_precision.load(std::memory_order_relaxed); }

bool program_sigill_is_default() { return !program_handles_sigill.load(std::memory_order_relaxed); }
