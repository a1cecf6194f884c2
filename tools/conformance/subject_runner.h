// The subject side: runs a case through the emulator core in this process, with
// the word at the case pc and the memory window at the same fixed address as in
// the reference probe.
#pragma once

#include <string>

#include "sve/state/cpu_state.h"
#include "tools/conformance/case_generator.h"
#include "tools/conformance/case_result.h"

namespace conformance {

// What executes a prepared record: execute_sve_instruction, or in the harness's
// own tests a deliberately altered version of it.
using subject_fn = aarch64_decode_rc (*)(cpu_state *);

// Maps the code slots and the window (once per process; a second call with
// another seed refills the window). False with `error` when an address is taken.
bool prepare_subject(uint64_t window_seed, std::string &error);

// The window's initial contents.
const uint8_t *subject_pristine_window();

// Runs one case: its word, then its `extra_count` further words (a sequence),
// one call of `fn` each, stopping at the first that does not return DECODE_OK.
// On AArch64 the processor's FPCR and FPSR hold the case's values while the
// core runs, as they do under the client frame.
void run_subject(subject_fn fn, const case_input &input, case_result &out, const uint32_t *extra = nullptr,
                 unsigned extra_count = 0);

}  // namespace conformance
