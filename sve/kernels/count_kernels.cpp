#include "sve/kernels/count_kernels.h"

#include "sve/kernels/kernel_common.h"
#include "sve/kernels/predicate_kernels.h"

namespace {

constexpr uint64_t kPredBytes = kVecBytes / 8;

// Rdn += sign * count(pattern, esize) * multiplier, 64-bit wrap-around.
aarch64_decode_rc adjust_by_count(cpu_state *s, aarch64_i_reg rdn, int pattern, int multiplier,
                                  unsigned esize, int sign) {
    const uint64_t step =
        uint64_t{pattern_element_count(static_cast<unsigned>(pattern), esize)} * static_cast<uint64_t>(multiplier);
    const uint64_t v = xread(s, rdn);
    xwrite(s, rdn, sign > 0 ? v + step : v - step);
    return DECODE_OK;
}

}  // namespace

aarch64_decode_rc sve_rdvl_ri(cpu_state *s, aarch64_i_reg rd, int imm) {
    xwrite(s, rd, static_cast<uint64_t>(static_cast<int64_t>(imm)) * kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_addvl_rri(cpu_state *s, aarch64_i_rsp_reg rd, aarch64_i_rsp_reg rn, int imm) {
    xwrite(s, rd, xread(s, rn) + static_cast<uint64_t>(static_cast<int64_t>(imm)) * kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_addpl_rri(cpu_state *s, aarch64_i_rsp_reg rd, aarch64_i_rsp_reg rn, int imm) {
    xwrite(s, rd, xread(s, rn) + static_cast<uint64_t>(static_cast<int64_t>(imm)) * kPredBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_incb_rii(cpu_state *s, aarch64_i_reg r, int p, int m) { return adjust_by_count(s, r, p, m, 1, +1); }
aarch64_decode_rc sve_inch_rii(cpu_state *s, aarch64_i_reg r, int p, int m) { return adjust_by_count(s, r, p, m, 2, +1); }
aarch64_decode_rc sve_incw_rii(cpu_state *s, aarch64_i_reg r, int p, int m) { return adjust_by_count(s, r, p, m, 4, +1); }
aarch64_decode_rc sve_incd_rii(cpu_state *s, aarch64_i_reg r, int p, int m) { return adjust_by_count(s, r, p, m, 8, +1); }
aarch64_decode_rc sve_decb_rii(cpu_state *s, aarch64_i_reg r, int p, int m) { return adjust_by_count(s, r, p, m, 1, -1); }
aarch64_decode_rc sve_dech_rii(cpu_state *s, aarch64_i_reg r, int p, int m) { return adjust_by_count(s, r, p, m, 2, -1); }
aarch64_decode_rc sve_decw_rii(cpu_state *s, aarch64_i_reg r, int p, int m) { return adjust_by_count(s, r, p, m, 4, -1); }
aarch64_decode_rc sve_decd_rii(cpu_state *s, aarch64_i_reg r, int p, int m) { return adjust_by_count(s, r, p, m, 8, -1); }

namespace {

// Every element of Zdn (at the size the mnemonic names) +/- count * multiplier.
template <typename T>
aarch64_decode_rc adjust_vector_by_count(cpu_state *s, aarch64_z_reg zdn, int pattern, int multiplier, int sign) {
    const uint64_t step = uint64_t{pattern_element_count(static_cast<unsigned>(pattern), sizeof(T))} *
                          static_cast<uint64_t>(multiplier);
    unsigned char *d = zreg(s, zdn);
    for (unsigned i = 0; i < elem_count<T>; ++i) {
        const uint64_t v = elem_get<T>(d, i);
        elem_set<T>(d, i, static_cast<T>(sign > 0 ? v + step : v - step));
    }
    return DECODE_OK;
}

}  // namespace

aarch64_decode_rc sve_inch_zii(cpu_state *s, aarch64_z_reg z, int p, int m) { return adjust_vector_by_count<uint16_t>(s, z, p, m, +1); }
aarch64_decode_rc sve_incw_zii(cpu_state *s, aarch64_z_reg z, int p, int m) { return adjust_vector_by_count<uint32_t>(s, z, p, m, +1); }
aarch64_decode_rc sve_incd_zii(cpu_state *s, aarch64_z_reg z, int p, int m) { return adjust_vector_by_count<uint64_t>(s, z, p, m, +1); }
aarch64_decode_rc sve_dech_zii(cpu_state *s, aarch64_z_reg z, int p, int m) { return adjust_vector_by_count<uint16_t>(s, z, p, m, -1); }
aarch64_decode_rc sve_decw_zii(cpu_state *s, aarch64_z_reg z, int p, int m) { return adjust_vector_by_count<uint32_t>(s, z, p, m, -1); }
aarch64_decode_rc sve_decd_zii(cpu_state *s, aarch64_z_reg z, int p, int m) { return adjust_vector_by_count<uint64_t>(s, z, p, m, -1); }

aarch64_decode_rc sve_uqdecb_rii(cpu_state *s, aarch64_i_reg rdn, int pattern, int multiplier) {
    const uint64_t step = uint64_t{pattern_element_count(static_cast<unsigned>(pattern), 1)} * static_cast<uint64_t>(multiplier);
    uint64_t v = xread(s, rdn);
    if (rdn.qual != kQualX) v &= 0xFFFFFFFFu;
    xwrite(s, rdn, v > step ? v - step : 0);
    return DECODE_OK;
}
