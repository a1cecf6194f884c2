// Permutes of predicate elements: REV, ZIP1/2, UZP1/2, TRN1/2, PUNPKLO/HI. An
// element of E bytes owns E predicate bits, and the permutes move the whole group.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_rev_pp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pn);
aarch64_decode_rc sve_zip1_ppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_zip2_ppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_uzp1_ppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_punpklo_pp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pn);
aarch64_decode_rc sve_punpkhi_pp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pn);

enum class predicate_permute_kind { rev, zip1, zip2, uzp1, uzp2, trn1, trn2 };

// The permute on 256-byte predicate images (dst may alias a source); element size
// in bytes.
void permute_predicate_bytes(unsigned char *dst, const unsigned char *n, const unsigned char *m, unsigned esize,
                             predicate_permute_kind kind);
