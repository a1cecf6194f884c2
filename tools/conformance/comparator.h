// Comparison of the reference's and the subject's state after one case. The
// rules are exact everywhere except where the architecture itself leaves a
// choice; those few rules are in comparator.cpp, each with its reason.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/conformance/case_generator.h"
#include "tools/conformance/case_result.h"

namespace conformance {

struct difference {
    std::string where;      // "x3", "z7 bytes 16..31", "ffr", "memory 0x6001040..0x600107f", "result code"
    std::string reference;  // rendered values
    std::string subject;
    std::string before;     // the same bits in the case's input, where they existed
};

struct comparison {
    bool agree = true;
    std::vector<difference> differences;  // in state order, the first ones only
};

// `pristine` is the window's initial contents (kWindowBytes).
comparison compare_results(const case_input &input, const word_profile &profile, const case_result &reference,
                           const case_result &subject, const uint8_t *pristine);

// The lines of a disagreement report after the words: the input's FP control,
// flags and withdrawn pages, then each difference with its input, reference and
// subject values.
std::string describe_input_and_differences(const case_input &input, const comparison &c);

}  // namespace conformance
