#include "sve/kernels/compare_kernels.h"

#include <cstring>
#include <type_traits>

#if defined(__aarch64__)
#include <arm_neon.h>
#endif

#include "sve/kernels/kernel_common.h"
#include "sve/kernels/predicate_words.h"

namespace {

// 16 bytes of elements of type T, as the compiler's vector type (NEON on
// AArch64, SSE on x86-64).
template <typename T>
struct piece_of {
    typedef T type __attribute__((vector_size(16)));
};
template <typename T>
using piece = typename piece_of<T>::type;

// The conditions on 16 bytes of unsigned elements: every lane all ones where
// the condition holds, else 0. The signed ones compare the same bits as signed.
template <typename T>
using spiece = piece<std::make_signed_t<T>>;
template <typename T>
inline spiece<T> as_signed(piece<T> v) { return reinterpret_cast<spiece<T>>(v); }

struct eq { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a == b; } };
struct ne { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a != b; } };
struct ge { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return as_signed<T>(a) >= as_signed<T>(b); } };
struct gt { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return as_signed<T>(a) > as_signed<T>(b); } };
struct lt { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return as_signed<T>(a) < as_signed<T>(b); } };
struct le { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return as_signed<T>(a) <= as_signed<T>(b); } };
struct hs { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a >= b; } };
struct hi { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a > b; } };
struct lo { template <typename T> auto operator()(piece<T> a, piece<T> b) const { return a < b; } };

// 64 bytes as four pieces, read with one LD1 of four registers on AArch64.
struct quad {
    piece<uint8_t> v[4];
};
inline quad load_quad(const unsigned char *p) {
#if defined(__aarch64__)
    const uint8x16x4_t x = vld1q_u8_x4(p);
    return quad{{x.val[0], x.val[1], x.val[2], x.val[3]}};
#else
    quad q;
    std::memcpy(q.v, p, 64);
    return q;
#endif
}

// Pd[i] = active and cond(Zn[i], operand); flags from the result under Pg. The
// element size is Pd's qualifier. 16 bytes at a time: the condition gives all
// ones per true lane, which ANDed with Pg's bytes and 1 per lane leaves each
// element's unit 0 or 1 (its first byte the bit, the others 0) exactly where
// the element is active and true. The flag positions are found in Pg before
// Pd, which may be Pg, is written; each 64 bytes of Pg are read before the
// same 64 bytes of Pd are written.
template <typename T, typename Cond, typename Operand>
aarch64_decode_rc compare_t(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, Cond cond, Operand operand) {
    using V = piece<T>;
    const unsigned char *g = preg(s, pg), *a = zreg(s, zn);
    unsigned char *d = preg(s, pd);
    const pred_ends ends = find_pred_ends(g, sizeof(T));
    const V one = V{} + T{1};
    V any{};
#pragma GCC unroll 4
    for (unsigned k = 0; k < kVecBytes; k += 64) {
        const quad x = load_quad(a + k), y = operand(k), gq = load_quad(g + k);
#pragma GCC unroll 4
        for (unsigned j = 0; j < 4; ++j) {
            const V r = reinterpret_cast<V>(cond.template operator()<T>(reinterpret_cast<V>(x.v[j]), reinterpret_cast<V>(y.v[j]))) &
                        reinterpret_cast<V>(gq.v[j]) & one;
            std::memcpy(d + k + 16 * j, &r, 16);
            any |= r;
        }
    }
    uint64_t words[2];
    std::memcpy(words, &any, 16);
    pred_result_flags(s, ends, d, (words[0] | words[1]) != 0);
    return DECODE_OK;
}

template <typename Cond>
aarch64_decode_rc compare_zz(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm, Cond cond) {
    const unsigned char *b = zreg(s, zm);
    return with_element_type(pd.qual, [&](auto t) {
        using T = decltype(t);
        return compare_t<T>(s, pd, pg, zn, cond, [b](unsigned k) { return load_quad(b + k); });
    });
}
// The immediate, truncated to the element size, in every lane.
template <typename Cond>
aarch64_decode_rc compare_zi(cpu_state *s, aarch64_p_reg pd, aarch64_p_reg pg, aarch64_z_reg zn, uint64_t imm, Cond cond) {
    return with_element_type(pd.qual, [&](auto t) {
        using T = decltype(t);
        const piece<uint8_t> b = reinterpret_cast<piece<uint8_t>>(piece<T>{} + static_cast<T>(imm));
        const quad q{{b, b, b, b}};
        return compare_t<T>(s, pd, pg, zn, cond, [&q](unsigned) { return q; });
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
