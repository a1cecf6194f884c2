// Loop shapes shared by the element-wise integer kernels. Every shape stages its
// result, so a destination that is also a source reads the old values.
#pragma once

#include <cstring>

#include "sve/kernels/kernel_common.h"

// Zd = op(Zn, Zm) in every element; element size from Zd's qualifier. Each
// 16-byte piece of the result depends on the same piece of the sources only, so
// reading both pieces before writing it needs no staging of the whole result.
template <typename Op>
inline aarch64_decode_rc kernel_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn,
                                    aarch64_z_reg zm, Op op) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        constexpr unsigned kPiece = 16, kLanes = kPiece / sizeof(T);
        const unsigned char *a = zreg(s, zn), *b = zreg(s, zm);
        unsigned char *d = zreg(s, zd);
#pragma GCC unroll 16
        for (unsigned c = 0; c < kVecBytes; c += kPiece) {
            T x[kLanes], y[kLanes];
            std::memcpy(x, a + c, kPiece);
            std::memcpy(y, b + c, kPiece);
            for (unsigned i = 0; i < kLanes; ++i) x[i] = static_cast<T>(op(x[i], y[i]));
            std::memcpy(d + c, x, kPiece);
        }
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
        for (unsigned i = 0; i < elem_count<T>; ++i)
            elem_set<T>(r.b, i, pick_active<T>(g, i, static_cast<T>(op(elem_get<T>(a, i), elem_get<T>(b, i))), elem_get<T>(a, i)));
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

// Zd = op(Zn) in active elements; inactive elements keep Zd (merging).
template <typename Op>
inline aarch64_decode_rc kernel_zpz_unary_merge(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg,
                                                aarch64_z_reg zn, Op op) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
        std::memcpy(r.b, zreg(s, zd), kVecBytes);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            elem_set<T>(r.b, i, pick_active<T>(g, i, static_cast<T>(op(elem_get<T>(a, i))), elem_get<T>(r.b, i)));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Zd = op(Zd, Zn, Zm) in active elements; inactive elements keep Zd.
template <typename Op>
inline aarch64_decode_rc kernel_zpzz_merge(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn,
                                           aarch64_z_reg zm, Op op) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *d = zreg(s, zd), *a = zreg(s, zn), *b = zreg(s, zm), *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            elem_set<T>(r.b, i, pick_active<T>(g, i, static_cast<T>(op(elem_get<T>(d, i), elem_get<T>(a, i), elem_get<T>(b, i))),
                                               elem_get<T>(d, i)));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Zd = op(Zn, imm) in every element.
template <typename Op>
inline aarch64_decode_rc kernel_zzi(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, uint64_t imm, Op op) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zn);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(r.b, i, static_cast<T>(op(elem_get<T>(a, i), imm)));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Zdn = op(Zdn, imm) in active elements; inactive elements keep Zdn.
template <typename Op>
inline aarch64_decode_rc kernel_zpi_merge(cpu_state *s, aarch64_z_reg zdn, aarch64_p_reg pg, uint64_t imm, Op op) {
    return with_element_type(zdn.qual, [&](auto t) {
        using T = decltype(t);
        vec_buf r;
        const unsigned char *a = zreg(s, zdn), *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i)
            elem_set<T>(r.b, i, pick_active<T>(g, i, static_cast<T>(op(elem_get<T>(a, i), imm)), elem_get<T>(a, i)));
        std::memcpy(zreg(s, zdn), r.b, kVecBytes);
        return DECODE_OK;
    });
}

// Bitwise operation over all 256 bytes, 64 bits at a time (element size plays no part).
template <typename Op>
inline aarch64_decode_rc kernel_bitwise_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm, Op op) {
    vec_buf r;
    const unsigned char *a = zreg(s, zn), *b = zreg(s, zm);
    for (unsigned i = 0; i < kVecBytes / 8; ++i)
        elem_set<uint64_t>(r.b, i, op(elem_get<uint64_t>(a, i), elem_get<uint64_t>(b, i)));
    std::memcpy(zreg(s, zd), r.b, kVecBytes);
    return DECODE_OK;
}

template <typename T>
using signed_of = std::make_signed_t<T>;

struct op_mul {
    template <typename T>
    T operator()(T a, T b) const {
        // Multiply in a type at least as wide as int without signed overflow.
        using W = std::conditional_t<(sizeof(T) < sizeof(unsigned)), unsigned, T>;
        return static_cast<T>(static_cast<W>(a) * static_cast<W>(b));
    }
};
struct op_and {
    template <typename T>
    T operator()(T a, T b) const { return static_cast<T>(a & b); }
};
struct op_orr {
    template <typename T>
    T operator()(T a, T b) const { return static_cast<T>(a | b); }
};
struct op_eor {
    template <typename T>
    T operator()(T a, T b) const { return static_cast<T>(a ^ b); }
};
struct op_bic {
    template <typename T>
    T operator()(T a, T b) const { return static_cast<T>(a & ~b); }
};
struct op_smax {
    template <typename T>
    T operator()(T a, T b) const { return static_cast<signed_of<T>>(a) >= static_cast<signed_of<T>>(b) ? a : b; }
};
struct op_smin {
    template <typename T>
    T operator()(T a, T b) const { return static_cast<signed_of<T>>(a) <= static_cast<signed_of<T>>(b) ? a : b; }
};
struct op_umax {
    template <typename T>
    T operator()(T a, T b) const { return a >= b ? a : b; }
};
struct op_umin {
    template <typename T>
    T operator()(T a, T b) const { return a <= b ? a : b; }
};

// Shifts with the amount read as an unsigned number: LSL and LSR give 0 from the
// element width on, ASR fills with the sign bit.
struct op_lsl {
    template <typename T>
    T operator()(T a, uint64_t n) const { return n >= sizeof(T) * 8 ? T(0) : static_cast<T>(uint64_t(a) << n); }
};
struct op_lsr {
    template <typename T>
    T operator()(T a, uint64_t n) const { return n >= sizeof(T) * 8 ? T(0) : static_cast<T>(a >> n); }
};
struct op_asr {
    template <typename T>
    T operator()(T a, uint64_t n) const {
        const unsigned w = sizeof(T) * 8;
        const int64_t v = static_cast<signed_of<T>>(a);
        return static_cast<T>(v >> (n >= w - 1 ? w - 1 : n));
    }
};
