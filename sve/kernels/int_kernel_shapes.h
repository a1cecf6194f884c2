// Loop shapes shared by the element-wise integer kernels. Every shape stages its
// result, so a destination that is also a source reads the old values.
#pragma once

#include <cstring>

#include "sve/kernels/kernel_common.h"

// Zd = op(Zn, Zm) in every element; element size from Zd's qualifier.
template <typename Op>
inline aarch64_decode_rc kernel_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn,
                                    aarch64_z_reg zm, Op op) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *b = zreg(s, zm);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            elem_set<T>(r.b, i, static_cast<T>(op(elem_get<T>(a, i), elem_get<T>(b, i))));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Zdn = op(Zdn, Zm) in active elements; inactive elements keep Zdn.
template <typename Op>
inline aarch64_decode_rc kernel_zpz_merge(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg,
                                          aarch64_z_reg zm, Op op) {
    return with_element_type(zdn.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zdn), *b = zreg(s, zm), *g = preg(s, pg);
        std::memcpy(r.b, a, kVecBytes);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            if (pred_active<T>(g, i))
                elem_set<T>(r.b, i, static_cast<T>(op(elem_get<T>(a, i), elem_get<T>(b, i))));
        std::memcpy(zreg(s, zdn), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Zdn = op(Zdn, imm) in every element; the immediate is taken at the element width.
template <typename Op>
inline aarch64_decode_rc kernel_zi(cpu_state *s, aarch64_z_reg zdn, uint64_t imm, Op op) {
    return with_element_type(zdn.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zdn);
        const T b = static_cast<T>(imm);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            elem_set<T>(r.b, i, static_cast<T>(op(elem_get<T>(a, i), b)));
        std::memcpy(zreg(s, zdn), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Wrapping operations on unsigned element types (promotion to int is undone by
// the cast at the store).
struct op_add {
    template <typename T>
    T operator()(T a, T b) const { return static_cast<T>(a + b); }
};
struct op_sub {
    template <typename T>
    T operator()(T a, T b) const { return static_cast<T>(a - b); }
};
