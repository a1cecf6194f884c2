// Permutes of Z register elements: ZIP, UZP, TRN, REV, TBL, EXT, unpacks.
#pragma once

#include "sve/state/cpu_state.h"

aarch64_decode_rc sve_zip1_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_zip2_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_uzp1_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_uzp2_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_trn2_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_rev_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_tbl_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_ext_zzi(cpu_state *state, aarch64_z_reg zdn, aarch64_z_reg zm, int imm);
aarch64_decode_rc sve_uunpklo_b2h_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_uunpklo_h2s_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_uunpklo_s2d_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_uunpkhi_b2h_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_uunpkhi_h2s_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_uunpkhi_s2d_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_sunpklo_s2d_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);
aarch64_decode_rc sve_sunpkhi_s2d_zz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn);

enum class vector_permute_kind { zip1, zip2, uzp1, uzp2, trn1, trn2 };
// The two-source permute on 256-byte images at element size `esize` bytes (dst
// may alias a source).
void permute_vector_bytes(unsigned char *dst, const unsigned char *a, const unsigned char *b, unsigned esize,
                          vector_permute_kind kind);
// Unpack of the low (high = false) or high half's elements of type N to the
// double-width type W, zero- or sign-extended (dst may alias src).
template <typename N, typename W, bool Signed>
void unpack_bytes(unsigned char *dst, const unsigned char *src, bool high);
