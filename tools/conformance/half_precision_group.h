// The half-precision group of the conformance run: the FP16 scalar and
// Advanced SIMD instructions of sve/decode/half_precision.h, run through
// execute_half_precision_instruction against the same reference (qemu -cpu max).
#pragma once

#include "tools/conformance/harness.h"

namespace conformance {

// Makes `o` run the half-precision entries instead of the SVE catalogue.
void use_half_precision_group(run_options &o);

// The reference's known departures for these instructions, corrected to the
// architecture's result (the run's correct_reference).
bool correct_half_precision_reference(const case_input &input, case_result &reference);

}  // namespace conformance
