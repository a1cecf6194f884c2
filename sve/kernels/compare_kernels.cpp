#include "sve/kernels/compare_kernels.h"

#include "sve/kernels/compare_lanes.h"

namespace {

using namespace compare_lanes;

template <typename Cond>
aarch64_decode_rc compare_zz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm, Cond cond) {
    return with_element_type(pd.qual, [&](auto t) {
        return compare_typed_zz<decltype(t)>(s, pd.num & 15, pg.num & 15, zn.num & 31, zm.num & 31, cond);
    });
}
template <typename Cond>
aarch64_decode_rc compare_zi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint64_t imm, Cond cond) {
    return with_element_type(pd.qual, [&](auto t) {
        return compare_typed_zi<decltype(t)>(s, pd.num & 15, pg.num & 15, zn.num & 31, imm, cond);
    });
}

uint64_t sext(int v) { return static_cast<uint64_t>(static_cast<int64_t>(v)); }

}  // namespace

aarch64_decode_rc sve_cmpeq_ppzz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) { return compare_zz(s, pd, pg, zn, zm, eq{}); }
aarch64_decode_rc sve_cmpne_ppzz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) { return compare_zz(s, pd, pg, zn, zm, ne{}); }
aarch64_decode_rc sve_cmpge_ppzz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) { return compare_zz(s, pd, pg, zn, zm, ge{}); }
aarch64_decode_rc sve_cmpgt_ppzz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) { return compare_zz(s, pd, pg, zn, zm, gt{}); }
aarch64_decode_rc sve_cmphs_ppzz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) { return compare_zz(s, pd, pg, zn, zm, hs{}); }
aarch64_decode_rc sve_cmphi_ppzz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) { return compare_zz(s, pd, pg, zn, zm, hi{}); }
aarch64_decode_rc sve_cmpeq_ppzi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm) { return compare_zi(s, pd, pg, zn, sext(imm), eq{}); }
aarch64_decode_rc sve_cmpne_ppzi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm) { return compare_zi(s, pd, pg, zn, sext(imm), ne{}); }
aarch64_decode_rc sve_cmpgt_ppzi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm) { return compare_zi(s, pd, pg, zn, sext(imm), gt{}); }
aarch64_decode_rc sve_cmplt_ppzi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm) { return compare_zi(s, pd, pg, zn, sext(imm), lt{}); }
aarch64_decode_rc sve_cmple_ppzi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, int imm) { return compare_zi(s, pd, pg, zn, sext(imm), le{}); }
aarch64_decode_rc sve_cmphi_ppzi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, unsigned int imm) { return compare_zi(s, pd, pg, zn, imm, hi{}); }
aarch64_decode_rc sve_cmplo_ppzi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, unsigned int imm) { return compare_zi(s, pd, pg, zn, imm, lo{}); }
