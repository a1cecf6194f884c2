// Sequence mode: random straight-line blocks of 2 to 16 SVE instructions, run
// from one random state on the reference and on the subject, with the whole
// state and the memory window compared once, after the last word. Under the
// trap host the block is one run of consecutive SVE words.
//
// The words come from a pool drawn from every implemented handler (plain SVE by
// llvm-mc). A few rules keep every block architecturally defined and inside the
// window: MOVPRFX appears only directly before an instruction it may prefix,
// with that instruction's destination (and, predicated, its governing predicate
// and element size) and no other use of the destination; no word writes a
// register that a later word uses to form an address, as the governing
// predicate of a contiguous first-fault or non-fault load, or as WRFFR's
// operand. First-fault and non-fault loads are often followed by RDFFR, RDFFRS,
// SETFFR or WRFFR.
//
// Sequence K of seed S is a pure function of (S, K) and the catalogue, so
// --sequence K replays it alone. A disagreeing sequence is shrunk (words and
// MOVPRFX pairs removed while it still disagrees) and printed with its replay.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "tools/conformance/harness.h"

namespace conformance {

struct sequence_summary {
    uint64_t run = 0;       // compared
    uint64_t agree = 0;
    uint64_t disagree = 0;
    uint64_t unallocated = 0;      // the reference raised SIGILL (not counted as run)
    uint64_t reference_fault = 0;  // the reference faulted (not counted as run)
    uint64_t words = 0;            // words in the sequences run
    uint64_t movprfx = 0;          // MOVPRFX pairs in them
    uint64_t first_fault = 0;      // first-fault or non-fault loads in them
    std::string error;
};

// Runs sequences until `count` have been compared (or 4 * count drawn); with
// `only_sequence` >= 0, that one sequence. Uses o.seed, o.subject or
// o.subject_probe_command, o.fpcr_case_mask, o.catalog and o.patterns (the
// handlers the pool draws from; empty: all). Prints each disagreement, shrunk.
// Returns 0 when all agree, 1 when some disagree, 2 when the run could not be
// made (summary.error).
int run_sequences(const run_options &o, uint64_t count, int64_t only_sequence, sequence_summary &summary);

// What the sequence rules read off one word's disassembly: whether an
// unpredicated or a predicated MOVPRFX may come before it, the registers it may
// write, and those that must keep their generated values until it runs
// (address registers, a contiguous first-fault load's governing predicate,
// WRFFR's operand), as bit sets (X: bit 31 is SP).
struct sequence_word_rules {
    bool prefixable = false, prefixable_predicated = false;
    uint32_t writes_z = 0, writes_p = 0, writes_x = 0;
    uint32_t sensitive_z = 0, sensitive_p = 0, sensitive_x = 0;
};
sequence_word_rules sequence_rules(std::string_view disassembly);

// "sequences: N run, A agree, D disagree"
std::string sequence_line(const sequence_summary &summary);

}  // namespace conformance
