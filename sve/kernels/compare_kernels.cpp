#include "sve/kernels/compare_kernels.h"

#include <cstring>
#include <type_traits>

#include "sve/kernels/kernel_common.h"

namespace {

// Pd[i] = active and cond(Zn[i], operand i); flags from the result under Pg.
// The element size is Pd's qualifier. `operand(i)` yields the second operand.
// Each result element is written whole as 0 or 1 (its first byte the bit, the
// others 0), so the loop works lane-wise on elements of the compared type.
template <typename Cond, typename Operand>
aarch64_decode_rc compare(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, Cond cond, Operand operand) {
    return with_element_type(pd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *g = preg(s, pg), *a = zreg(s, zn);
        T any = 0;
        for (unsigned i = 0; i < elem_count<T>; ++i) {
            const T active = elem_get<T>(g, i) & 1;
            const T v = static_cast<T>(active & T(cond(elem_get<T>(a, i), static_cast<T>(operand(T{}, i)))));
            elem_set<T>(r.b, i, v);
            any |= v;
        }
        pred_test_flags(s, g, r.b, sizeof(T), any != 0);
        std::memcpy(preg(s, pd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

template <typename Cond>
aarch64_decode_rc compare_zz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm, Cond cond) {
    const unsigned char *b = zreg(s, zm);
    return compare(s, pd, pg, zn, cond, [b](auto t, unsigned i) { return elem_get<decltype(t)>(b, i); });
}
template <typename Cond>
aarch64_decode_rc compare_zi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint64_t imm, Cond cond) {
    return compare(s, pd, pg, zn, cond, [imm](auto, unsigned) { return imm; });
}

template <typename T>
std::make_signed_t<T> sgn(T v) { return static_cast<std::make_signed_t<T>>(v); }

struct eq { template <typename T> bool operator()(T a, T b) const { return a == b; } };
struct ne { template <typename T> bool operator()(T a, T b) const { return a != b; } };
struct ge { template <typename T> bool operator()(T a, T b) const { return sgn(a) >= sgn(b); } };
struct gt { template <typename T> bool operator()(T a, T b) const { return sgn(a) > sgn(b); } };
struct lt { template <typename T> bool operator()(T a, T b) const { return sgn(a) < sgn(b); } };
struct le { template <typename T> bool operator()(T a, T b) const { return sgn(a) <= sgn(b); } };
struct hs { template <typename T> bool operator()(T a, T b) const { return a >= b; } };
struct hi { template <typename T> bool operator()(T a, T b) const { return a > b; } };
struct lo { template <typename T> bool operator()(T a, T b) const { return a < b; } };

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
