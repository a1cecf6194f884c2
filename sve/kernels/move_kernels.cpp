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

// Active elements of Zd = v; inactive ones keep Zd, or become 0 when zeroing.
aarch64_decode_rc copy_under_predicate(cpu_state *s, aarch64_z_reg zd, aarch64_p_reg pg, uint64_t v, bool zeroing) {
    return with_element_type(zd.qual, [&](auto t) {
        using T = decltype(t);
        unsigned char *d = zreg(s, zd);
        const unsigned char *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i) {
            if (pred_active<T>(g, i))
                elem_set<T>(d, i, static_cast<T>(v));
            else if (zeroing)
                elem_set<T>(d, i, T(0));
        }
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
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *b = zreg(s, zm), *g = preg(s, pg);
        for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(r.b, i, elem_get<T>(pred_active<T>(g, i) ? a : b, i));
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
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
        vec_buf r;
        const unsigned char *a = zreg(s, zn), *g = preg(s, pg);
        std::memcpy(r.b, zreg(s, zd), kVecBytes);
        for (unsigned i = 0; i < elem_count<T>; ++i) {
            if (pred_active<T>(g, i))
                elem_set<T>(r.b, i, elem_get<T>(a, i));
            else if (pg.qual == kQualZeroing)
                elem_set<T>(r.b, i, T(0));
        }
        std::memcpy(zreg(s, zd), r.b, kVecBytes);
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
