// Predicate results written straight into their register: the flag test needs
// the first and last elements active in the governing predicate, found before
// the result (which may overwrite the governing predicate) is written.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

#include "sve/kernels/kernel_common.h"

// Predicate word and bit (8 * byte) of the first and last active element.
struct pred_ends {
    unsigned first_word, first_bit, last_word, last_bit;
    bool none;  // no element is active
};

inline pred_ends find_pred_ends(const unsigned char *g, unsigned esize) {
    const uint64_t lanes = pred_lane_mask(esize);
    pred_ends e{0, 0, kPredWords - 1, 0, false};
    e.first_word = first_active_word(g, lanes);
    if (e.first_word == kPredWords) {
        e.none = true;
        return e;
    }
    e.first_bit = static_cast<unsigned>(std::countr_zero(pred_word(g, e.first_word) & lanes));
    e.last_word = last_active_word(g, lanes);
    e.last_bit = 63u - static_cast<unsigned>(std::countl_zero(pred_word(g, e.last_word) & lanes));
    return e;
}

// The flags of result R at those ends, given whether any active element is true
// in R: N = the first active element, Z = none true, C = the last active element
// not true, V = 0; N=0 Z=1 C=1 V=0 when no element is active.
inline void pred_result_flags(cpu_state *s, const pred_ends &e, const unsigned char *r, bool any) {
    if (e.none) {
        set_nzcv_bits(s, false, true, true, false);
        return;
    }
    const bool n = (pred_word(r, e.first_word) >> e.first_bit) & 1;
    const bool last = (pred_word(r, e.last_word) >> e.last_bit) & 1;
    set_nzcv_bits(s, n, !any, !last, false);
}

// Whether bit 0 of any byte of predicate image R is set.
inline bool any_true_byte(const unsigned char *r) {
    uint64_t any = 0;
    for (unsigned w = 0; w < kPredWords; ++w) any |= pred_word(r, w);
    return (any & pred_lane_mask(1)) != 0;
}

// Copies a 256-byte predicate image.
inline void copy_pred(unsigned char *to, const unsigned char *from) { copy_256_by64(to, from); }
