// Predicate writes whose result is the same at every execution at this vector
// length: PTRUE (not PTRUES, which sets the flags) and PFALSE. Both hosts give
// them a way of their own that needs no handler call: the DynamoRIO client
// inline code that stores the image into the record, the trap host a plan step
// that copies 16 bytes sixteen times.
#pragma once

#include <cstdint>

#include "sve/kernels/loop_predicates.h"
#include "sve/kernels/predicate_kernels.h"

struct constant_predicate {
    unsigned pd;
    unsigned lg;          // log2 of the element size in bytes
    unsigned true_bytes;  // the image's true prefix, in bytes of a predicate record
    uint64_t pattern;     // 8 bytes of that prefix: 1 in the first byte of each element
};

// Whether WORD is such a write whose true prefix fills whole 16-byte pieces of
// the record (every one for ALL), and which.
inline bool constant_predicate_of(uint32_t word, constant_predicate *out) {
    if ((word & 0xfffffff0u) == 0x2518e400u) {  // PFALSE
        *out = {word & 15u, 0, 0, 0};
        return true;
    }
    if ((word & 0xff3ffc10u) != 0x2518e000u) return false;  // PTRUE
    const unsigned lg = (word >> 22) & 3u;
    const unsigned bytes = pattern_element_count((word >> 5) & 31u, 1u << lg) << lg;
    if (bytes % 16 != 0) return false;
    *out = {word & 15u, lg, bytes, pred_lane_mask(1u << lg)};
    return true;
}
