// The exchange with probe processes, shared by the per-handler run and the
// sequence run: batches of cases out, result records back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/conformance/case_generator.h"
#include "tools/conformance/case_result.h"
#include "tools/conformance/child_process.h"
#include "tools/conformance/harness.h"

namespace conformance {

struct probe_session {
    child_process child;
    bool started = false;
    bool header_sent = false;  // each process reads the batch header once, first
};

// The subject probe of a host: started on demand, and again after it dies, so
// that one case that kills the host costs that case and not the run.
struct subject_probe {
    probe_session session;
    bool answered = false;  // has given a result at least once
    unsigned silent_starts = 0;
};

// Counts the complete result records at the front of `buf`.
size_t complete_results(const std::vector<uint8_t> &buf);
bool enough_results(const std::vector<uint8_t> &buf, size_t awaited);
// Reads the record at `pos` into `out`; returns the position after it.
size_t parse_result(const std::vector<uint8_t> &buf, size_t pos, case_result &out);
std::string signal_name(uint32_t sig);

// Starts a batch for `ps`: the header when the process has not had it yet.
std::vector<uint8_t> begin_batch(probe_session &ps, uint64_t window_seed);
// Appends a case and, for a sequence, its in.header.extra_words further words.
void append_case(std::vector<uint8_t> &batch, const case_input &in, const uint32_t *extra);
// Starts the reference probe (qemu with SVE at 2048 bits).
bool start_probe(const run_options &o, probe_session &ps, std::string &error);
// Runs `inputs` through the subject probe, one result each. A case during which
// the probe ended gets that as its result (signal, or 255 for an exit). False
// with `error` when the probe cannot be run at all. `extras`, when given, holds
// each input's further words.
bool run_subject_probe(const run_options &o, subject_probe &sp, uint64_t window_seed,
                       const std::vector<const case_input *> &inputs, std::vector<case_result> &results,
                       std::string &error, const std::vector<const uint32_t *> *extras = nullptr);

}  // namespace conformance
