#include "sve/kernels/reduction_kernels.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "sve/kernels/kernel_common.h"

int last_active_element(const unsigned char *pg, unsigned esize) {
    for (unsigned e = kVecBytes / esize; e-- > 0;)
        if (pred_active(pg, e, esize)) return static_cast<int>(e);
    return -1;
}

namespace {

// Writes a scalar result into element 0 of Zd, every other byte 0.
void write_scalar(cpu_state *s, unsigned vd, uint64_t v, unsigned bytes) {
    std::memset(s->z[vd & 31], 0, kVecBytes);
    std::memcpy(s->z[vd & 31], &v, bytes);
}

// Folds the active elements (at Zn's element size) with `op`, starting from `init(T)`.
template <typename Init, typename Op>
aarch64_decode_rc fold(cpu_state *s, unsigned vd, aarch64_p_reg pg, aarch64_z_reg zn, Init init, Op op) {
    return with_element_type(zn.qual, [&](auto t) {
        using T = decltype(t);
        const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
        // Inactive elements take the identity: no branch, so the loop vectorises.
        const T identity = init(T{});
        T acc = identity;
        for (unsigned i = 0; i < elem_count<T>; ++i) acc = op(acc, pick_active<T>(g, i, elem_get<T>(a, i), identity));
        write_scalar(s, vd, acc, sizeof(T));
        return DECODE_OK;
    });
}

template <typename T>
using S = std::make_signed_t<T>;

}  // namespace

aarch64_decode_rc sve_uaddv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return with_element_type(zn.qual, [&](auto t) {
        using T = decltype(t);
        write_scalar(s, vd, sum_active<T, false>(zreg(s, zn), preg(s, pg)), 8);
        return DECODE_OK;
    });
}
aarch64_decode_rc sve_smaxv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return fold(s, vd, pg, zn, [](auto t) { using T = decltype(t); return static_cast<T>(T(1) << (sizeof(T) * 8 - 1)); },
                [](auto a, auto b) { using T = decltype(a); return static_cast<T>(std::max(static_cast<S<T>>(a), static_cast<S<T>>(b))); });
}
aarch64_decode_rc sve_sminv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return fold(s, vd, pg, zn, [](auto t) { using T = decltype(t); return static_cast<T>(~(T(1) << (sizeof(T) * 8 - 1))); },
                [](auto a, auto b) { using T = decltype(a); return static_cast<T>(std::min(static_cast<S<T>>(a), static_cast<S<T>>(b))); });
}
aarch64_decode_rc sve_umaxv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return fold(s, vd, pg, zn, [](auto t) { return decltype(t)(0); }, [](auto a, auto b) { return b > a ? b : a; });
}
aarch64_decode_rc sve_uminv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return fold(s, vd, pg, zn, [](auto t) { return static_cast<decltype(t)>(~decltype(t)(0)); },
                [](auto a, auto b) { return b < a ? b : a; });
}
aarch64_decode_rc sve_andv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return fold(s, vd, pg, zn, [](auto t) { return static_cast<decltype(t)>(~decltype(t)(0)); },
                [](auto a, auto b) { return static_cast<decltype(a)>(a & b); });
}
aarch64_decode_rc sve_orv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return fold(s, vd, pg, zn, [](auto t) { return decltype(t)(0); }, [](auto a, auto b) { return static_cast<decltype(a)>(a | b); });
}
aarch64_decode_rc sve_eorv_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return fold(s, vd, pg, zn, [](auto t) { return decltype(t)(0); }, [](auto a, auto b) { return static_cast<decltype(a)>(a ^ b); });
}

aarch64_decode_rc sve_lastb_vpz(cpu_state *s, unsigned int vd, aarch64_p_reg pg, aarch64_z_reg zn) {
    const unsigned e = esize_of(zn.qual);
    int last = last_active_element(preg(s, pg), e);
    if (last < 0) last = static_cast<int>(kVecBytes / e) - 1;
    uint64_t v = 0;
    std::memcpy(&v, zreg(s, zn) + last * e, e);
    write_scalar(s, vd, v, e);
    return DECODE_OK;
}

aarch64_decode_rc sve_lastb_rpz(cpu_state *s, aarch64_i_reg rd, aarch64_p_reg pg, aarch64_z_reg zn) {
    const unsigned e = esize_of(zn.qual);
    int last = last_active_element(preg(s, pg), e);
    if (last < 0) last = static_cast<int>(kVecBytes / e) - 1;
    uint64_t v = 0;
    std::memcpy(&v, zreg(s, zn) + last * e, e);
    xwrite(s, rd, v);
    return DECODE_OK;
}

aarch64_decode_rc sve_clastb_rpz(cpu_state *s, aarch64_i_reg rdn, aarch64_p_reg pg, aarch64_z_reg zn) {
    const unsigned e = esize_of(zn.qual);
    const int last = last_active_element(preg(s, pg), e);
    uint64_t v = 0;
    if (last < 0)
        v = e == 8 ? xread(s, rdn) : xread(s, rdn) & ((uint64_t{1} << (8 * e)) - 1);
    else
        std::memcpy(&v, zreg(s, zn) + last * e, e);
    xwrite(s, rdn, v);
    return DECODE_OK;
}
