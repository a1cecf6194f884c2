// Predicate initialisation, logic, breaks, tests, counts and loop control.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_pfalse_p(cpu_state *state, aarch64_p_reg pd);
aarch64_decode_rc sve_ptrue_pi(cpu_state *state, aarch64_p_reg pd, int pattern);
aarch64_decode_rc sve_ptest_pp(cpu_state *state, aarch64_p_reg pg, aarch64_p_reg pn);
aarch64_decode_rc sve_pnext_pp(cpu_state *state, aarch64_p_reg pdn, aarch64_p_reg pg);

// Byte-wise logic under Pg: inactive bytes become 0 (qualifier 5) or keep Pd.
aarch64_decode_rc sve_and_pppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_orr_pppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_eor_pppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_bic_pppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_nor_pppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_sel_pppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm);

aarch64_decode_rc sve_brka_ppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn);
aarch64_decode_rc sve_brkb_ppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn);
aarch64_decode_rc sve_brkn_ppp(cpu_state *state, aarch64_p_reg pdm, aarch64_p_reg pg, aarch64_p_reg pn);
aarch64_decode_rc sve_brkns_ppp(cpu_state *state, aarch64_p_reg pdm, aarch64_p_reg pg, aarch64_p_reg pn);
aarch64_decode_rc sve_brkpb_pppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm);
aarch64_decode_rc sve_brkpbs_pppp(cpu_state *state, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_p_reg pn, aarch64_p_reg pm);

aarch64_decode_rc sve_cntp_rpp(cpu_state *state, aarch64_i_reg xd, aarch64_p_reg pg, aarch64_p_reg pn);
aarch64_decode_rc sve_incp_rp(cpu_state *state, aarch64_i_reg xdn, aarch64_p_reg pm);

// Loop predicates from two general registers (qualifier 3: X registers, else W).
aarch64_decode_rc sve_whilelt_prr(cpu_state *state, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm);
aarch64_decode_rc sve_whilelo_prr(cpu_state *state, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm);
aarch64_decode_rc sve_whilels_prr(cpu_state *state, aarch64_p_reg pd, aarch64_i_reg rn, aarch64_i_reg rm);

// Flags of a predicate result R under a governing predicate G at element size
// `esize` bytes: N = first active element of R, Z = no active element true,
// C = last active element not true, V = 0.
void sve_ptest(cpu_state *state, const unsigned char *g, const unsigned char *r, unsigned esize);

// Element count of a predicate-constraint pattern at an element size in bytes.
unsigned pattern_element_count(unsigned pattern, unsigned esize);
