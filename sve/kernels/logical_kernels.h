// Bitwise logic on Z registers.
#pragma once

#include <cstdint>

#include "sve/state/cpu_state.h"

// A logical immediate already expanded to its 64-bit pattern.
struct aarch64_sve_logical64_imm {
    uint64_t value;
};

aarch64_decode_rc sve_and_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_orr_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_eor_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_bic_zzz(cpu_state *state, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm);
aarch64_decode_rc sve_and_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_orr_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_eor_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_bic_zpz(cpu_state *state, aarch64_z_reg zdn, aarch64_p_reg pg, aarch64_z_reg zm);
aarch64_decode_rc sve_and_zi(cpu_state *state, aarch64_z_reg zdn, aarch64_sve_logical64_imm imm);
aarch64_decode_rc sve_orr_zi(cpu_state *state, aarch64_z_reg zdn, aarch64_sve_logical64_imm imm);
aarch64_decode_rc sve_eor_zi(cpu_state *state, aarch64_z_reg zdn, aarch64_sve_logical64_imm imm);
aarch64_decode_rc sve_dupm_zi(cpu_state *state, aarch64_z_reg zd, aarch64_sve_logical64_imm imm);

// Expands the 13-bit logical immediate N:immr:imms to its 64-bit pattern; false
// for the reserved encodings.
bool decode_logical_imm64(uint32_t n, uint32_t immr, uint32_t imms, uint64_t *out);
