// The conformance run: choose handlers, generate their cases, run every case
// through the reference probe (one qemu process for the whole run) and through
// the subject (the core in this process, or a host of it running the same probe
// in a second process), compare, and report per handler.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "sve/decode/sve_utils.h"
#include "tools/conformance/case_result.h"
#include "tools/conformance/subject_runner.h"

namespace conformance {

struct run_options {
    std::vector<std::string> patterns;  // handler names or shell patterns; empty: all
    unsigned cases = 24;                // valid cases wanted per handler
    uint64_t seed = 1;
    int64_t only_case = -1;             // >= 0: replay this one case index
    bool include_unimplemented = false; // run placeholders too (they can never agree)
    bool failures_only = false;         // print only handlers that did not agree
    std::string probe, qemu, llvm_mc, objdump;
    subject_fn subject = execute_sve_instruction;
    // When set, the subject is not the core in this process but a second probe
    // started with this command (the probe under a host of the emulator, such as
    // the trap host on a CPU without SVE). It runs the cases the reference ran
    // to completion, in the same order and on the same window.
    std::vector<std::string> subject_probe_command;
    // FPCR bits a case may set. A host that takes FPCR from the processor sees
    // only the bits that processor implements.
    uint32_t fpcr_case_mask = 0xFFFFFFFFu;
    // The entries to choose from; empty: the core's catalogue.
    std::vector<sve_handler_info> catalog;
    // Where the reference is known to depart from the architecture for some
    // words, this puts the architectural result into the reference's record
    // before the comparison and returns true (the case is counted as corrected).
    bool (*correct_reference)(const case_input &input, case_result &reference) = nullptr;
    FILE *out = stdout;
};

struct handler_outcome {
    std::string name;
    bool implemented = false;
    unsigned attempts = 0;     // words drawn
    unsigned not_plain_sve = 0;
    unsigned unallocated = 0;  // the reference raised SIGILL
    unsigned reference_fault = 0;
    unsigned run = 0;          // compared
    unsigned agree = 0;
    unsigned disagree = 0;
    unsigned reference_corrected = 0;  // compared after correct_reference changed the reference
    std::string first_disagreement;  // the full report of the first one
    std::string first_reference_fault;
};

struct run_summary {
    size_t handlers = 0;     // entries in the catalogue
    size_t implemented = 0;
    size_t agree = 0;        // handlers run whose every compared case agreed (at least one)
    size_t disagree = 0;     // handlers run with at least one disagreement
    size_t skipped = 0;      // handlers run with no case compared
    uint64_t cases_run = 0, cases_agree = 0, cases_skipped = 0;
    std::vector<handler_outcome> outcomes;
    std::string error;       // set when the run could not be carried out
};

// Returns 0 when every handler run agrees, 1 when some disagree, 2 when the run
// could not be carried out (summary.error says why).
int run_conformance(const run_options &options, run_summary &summary);

// "conformance: 1483 handlers, I implemented, A agree, D disagree, S skipped"
std::string summary_line(const run_summary &summary);

// Paths chosen when the build was configured.
run_options default_options();

// The probe that a host of the emulator can run (dynamically linked, so that a
// preloaded library applies); empty when it was not built.
std::string default_host_probe();

// Makes `o` compare the reference with the probe run under the trap host
// `trap_host_library` by qemu-aarch64 on a CPU without SVE. `host_probe` is the
// probe to run (default_host_probe() when empty).
void use_trap_host_subject(run_options &o, const std::string &trap_host_library, const std::string &host_probe);

}  // namespace conformance
