// What one side (reference or subject) made of one case.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/conformance/conformance_wire.h"

namespace conformance {

struct case_result {
    uint32_t signal = 0;         // reference: signal the word raised; subject: signal outside a guarded read
    int32_t si_code = 0;
    uint64_t fault_address = 0;
    uint64_t pc_after = 0;
    uint32_t rc = 0;             // subject only: the aarch64_decode_rc it returned
    std::string note;            // subject only: malformed output (a predicate byte other than 0 or 1)
    wire_regs regs{};
    std::vector<wire_chunk> chunks;  // window chunks that differ from the initial window
};

}  // namespace conformance
