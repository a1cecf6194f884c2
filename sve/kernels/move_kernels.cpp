#include "sve/kernels/move_kernels.h"

#include <cstring>

#include "sve/kernels/int_kernel_shapes.h"

namespace {

// Every element of Zd = the low bytes of v at Zd's element size.
aarch64_decode_rc broadcast(cpu_state *s, aarch64_z_reg zd, uint64_t v) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        unsigned char *d = zreg(s, zd);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(d, i, static_cast<T>(v));
        return DECODE_OK;
    });
}

// D = A where the element (type T) is active in G, else B, 16 bytes at a time:
// a_of(k) and b_of(k) give bytes k..k+15 of A and B, read before the same bytes
// of D are written, so D may be either of them.
template <typename T, typename A, typename B>
inline void select_pieces(unsigned char *d, const unsigned char *g, A a_of, B b_of) {
    typedef T lanes __attribute__((vector_size(16)));
    for (unsigned k = 0; k < kVecBytes; k += 16) {
        lanes p;
        std::memcpy(&p, g + k, 16);
        const lanes active = lanes{} - (p & T{1});
        const lanes a = a_of(k), b = b_of(k);
        const lanes r = (a & active) | (b & ~active);
        std::memcpy(d + k, &r, 16);
    }
}
// Bytes k..k+15 of a register, as lanes of T.
template <typename T>
inline auto piece_at(const unsigned char *z) {
    return [z](unsigned k) {
        typedef T lanes __attribute__((vector_size(16)));
        lanes v;
        std::memcpy(&v, z + k, 16);
        return v;
    };
}
// Inactive elements of Zd: kept, or zero when zeroing.
template <typename T>
inline auto inactive_piece(const unsigned char *d, bool zeroing) {
    return [d, zeroing](unsigned k) {
        typedef T lanes __attribute__((vector_size(16)));
        lanes v{};
        if (!zeroing) std::memcpy(&v, d + k, 16);
        return v;
    };
}

// Active elements of Zd = v; inactive ones keep Zd, or become 0 when zeroing.
aarch64_decode_rc copy_under_predicate(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, uint64_t v, bool zeroing) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        typedef T lanes __attribute__((vector_size(16)));
        unsigned char *d = zreg(s, zd);
        const lanes value = lanes{} + static_cast<T>(v);
        select_pieces<T>(d, preg(s, pg), [value](unsigned) { return value; }, inactive_piece<T>(d, zeroing));
        return DECODE_OK;
    });
}

aarch64_decode_rc index(cpu_state *s, aarch64_z_reg zd, uint64_t start, uint64_t step) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        unsigned char *d = zreg(s, zd);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(d, i, static_cast<T>(start + i * step));
        return DECODE_OK;
    });
}

uint64_t sext(int v) { return static_cast<uint64_t>(static_cast<int64_t>(v)); }

}  // namespace

aarch64_decode_rc sve_dup_zi(cpu_state *s, aarch64_z_reg zd, int imm) { return broadcast(s, zd, sext(imm)); }

aarch64_decode_rc sve_dup_zr(cpu_state *s, aarch64_z_reg zd, aarch64_i_rsp_reg rn) { return broadcast(s, zd, xread(s, rn)); }

aarch64_decode_rc sve_dup_zzi(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, int index) {
    const uint64_t k = static_cast<uint32_t>(index);
    unsigned char *d = zreg(s, zd);
    if (zd.qual != kQualQ) {
        return with_element_type(zd.qual, [&](auto t) {
            using T = decltype(t);
            const T value = k < elem_count<T> ? elem_get<T>(zreg(s, zn), static_cast<unsigned>(k)) : T(0);
            for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(d, i, value);
            return DECODE_OK;
        });
    }
    unsigned char value[16] = {};
    if (k * 16 < kVecBytes) std::memcpy(value, zreg(s, zn) + k * 16, 16);
    for (unsigned i = 0; i < kVecBytes; i += 16) std::memcpy(d + i, value, 16);
    return DECODE_OK;
}

aarch64_decode_rc sve_cpy_zpi(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, int imm) {
    return copy_under_predicate(s, zd, pg, sext(imm), pg.qual == kQualZeroing);
}
aarch64_decode_rc sve_cpy_zpr(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_i_rsp_reg rn) {
    return copy_under_predicate(s, zd, pg, xread(s, rn), false);
}
aarch64_decode_rc sve_cpy_zpv(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, unsigned int vn) {
    return copy_under_predicate(s, zd, pg, elem_get<uint64_t>(s->z[vn & 31], 0), false);
}

aarch64_decode_rc sve_sel_zpzz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn, aarch64_z_reg zm) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        select_pieces<T>(zreg(s, zd), preg(s, pg), piece_at<T>(zreg(s, zn)), piece_at<T>(zreg(s, zm)));
        return DECODE_OK;
    });
}

aarch64_decode_rc sve_movprfx_zz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn) {
    std::memmove(zreg(s, zd), zreg(s, zn), kVecBytes);
    return DECODE_OK;
}

aarch64_decode_rc sve_movprfx_zpz(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, aarch64_z_reg zn) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        unsigned char *d = zreg(s, zd);
        select_pieces<T>(d, preg(s, pg), piece_at<T>(zreg(s, zn)), inactive_piece<T>(d, pg.qual == kQualZeroing));
        return DECODE_OK;
    });
}

aarch64_decode_rc sve_index_zii(cpu_state *s, aarch64_z_reg zd, int start, int step) {
    return index(s, zd, sext(start), sext(step));
}
aarch64_decode_rc sve_index_zir(cpu_state *s, aarch64_z_reg zd, int start, aarch64_i_reg step) {
    return index(s, zd, sext(start), xread(s, step));
}
aarch64_decode_rc sve_index_zri(cpu_state *s, aarch64_z_reg zd, aarch64_i_reg start, int step) {
    return index(s, zd, xread(s, start), sext(step));
}
aarch64_decode_rc sve_index_zrr(cpu_state *s, aarch64_z_reg zd, aarch64_i_reg start, aarch64_i_reg step) {
    return index(s, zd, xread(s, start), xread(s, step));
}

// ADR Zd, [Zn, Zm{, LSL #amount}]: the element size (bit 22) and the amount
// (bits 11..10) come from the instruction word.
aarch64_decode_rc sve_adr_scaled_zzz(cpu_state *s, aarch64_z_reg zd, aarch64_z_reg zn, aarch64_z_reg zm) {
    const unsigned amount = (s->insn >> 10) & 3;
    const aarch64_z_reg d = make_zreg(zd.num, (s->insn >> 22) & 1 ? kQualD : kQualS);
    return kernel_zzz(s, d, zn, zm, [amount](auto a, auto b) { return static_cast<decltype(a)>(a + (uint64_t(b) << amount)); });
}
