// Vector permutes and element extraction: ZIP, UZP, TRN, TBL, SPLICE, COMPACT,
// EXT, REV, SUNPK/UUNPK, DUP (indexed), INSR, LASTA, LASTB, CLASTA, CLASTB.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/move_kernels.h"
#include "sve/kernels/predicate_words.h"
#include "sve/kernels/permute_kernels.h"
#include "sve/kernels/reduction_kernels.h"

namespace {

using zzz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_z_reg, aarch64_z_reg);
using zz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_z_reg);

// Zd 4..0, Zn 9..5, Zm 20..16.
template <typename T>
aarch64_decode_rc zzz(cpu_state *s, uint32_t insn, zzz_kernel k) {
    return delegate(s, insn, k, zfield<T>(insn, 0), zfield<T>(insn, 5), zfield<T>(insn, 16));
}
// Zd 4..0, Zn 9..5.
template <typename T>
aarch64_decode_rc zz(cpu_state *s, uint32_t insn, zz_kernel k) {
    return delegate(s, insn, k, zfield<T>(insn, 0), zfield<T>(insn, 5));
}

// TRN1 (computed).
template <typename T>
aarch64_decode_rc trn1(cpu_state *s, uint32_t insn) {
    const vec_buf a = stage_z(s, zn_num(insn)), b = stage_z(s, zm_num(insn));
    permute_vector_bytes(s->z[zd_num(insn)], a.b, b.b, sizeof(T), vector_permute_kind::trn1);
    return DECODE_OK;
}

// SPLICE Zdn, Pg, Zdn, Zm (9..5): the active segment of Zdn (from its first
// active element to its last), then Zm from element 0.
template <typename T>
aarch64_decode_rc splice(cpu_state *s, uint32_t insn) {
    const pred_ends e = find_pred_ends(s->p[pg3_num(insn)], sizeof(T));
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    unsigned taken = 0;
    if (!e.none) {
        const unsigned from = e.first_word * 8 + e.first_bit / 8, to = e.last_word * 8 + e.last_bit / 8 + sizeof(T);
        taken = to - from;
        std::memcpy(r.b, d + from, taken);
    }
    std::memcpy(r.b + taken, s->z[zn_num(insn)], kVecBytes - taken);
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}

// COMPACT Zd, Pg, Zn: the active elements packed to the bottom, the rest zero.
// Each element is written at the next free place whether active or not; only
// an active one moves the place on.
template <typename T>
aarch64_decode_rc compact(cpu_state *s, uint32_t insn) {
    const unsigned char *a = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
    T r[elem_count<T>];
    unsigned x = 0;
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        r[x] = elem_get<T>(a, e);
        x += g[e * sizeof(T)] & 1u;
    }
    std::memset(r + x, 0, (elem_count<T> - x) * sizeof(T));
    std::memcpy(s->z[zd_num(insn)], r, kVecBytes);
    return DECODE_OK;
}

// SUNPKLO/SUNPKHI to halfwords and words (computed).
template <typename N, typename W>
aarch64_decode_rc sunpk(cpu_state *s, uint32_t insn, bool high) {
    const vec_buf a = stage_z(s, zn_num(insn));
    unpack_bytes<N, W, true>(s->z[zd_num(insn)], a.b, high);
    return DECODE_OK;
}

// DUP Zd, Zn[imm]: imm2:tsz at 23..22:20..16; the lowest set bit of tsz gives the
// element size and the bits above it the index.
template <unsigned Bytes>
aarch64_decode_rc dup_indexed(cpu_state *s, uint32_t insn) {
    constexpr unsigned shift = Bytes == 1 ? 1 : Bytes == 2 ? 2 : Bytes == 4 ? 3 : Bytes == 8 ? 4 : 5;
    constexpr uint32_t qual = Bytes == 1 ? kQualB : Bytes == 2 ? kQualH : Bytes == 4 ? kQualS : Bytes == 8 ? kQualD : kQualQ;
    const unsigned index = ((field(insn, 23, 22) << 5) | field(insn, 20, 16)) >> shift;
    return delegate(s, insn, sve_dup_zzi, make_zreg(zd_num(insn), qual), make_zreg(zn_num(insn), qual), static_cast<int>(index));
}

// INSR Zdn, Rm|Vm (9..5): shift up one element, the scalar into element 0.
template <typename T, bool Simd>
aarch64_decode_rc insr(cpu_state *s, uint32_t insn) {
    const vec_buf a = stage_z(s, zd_num(insn));
    const uint64_t v = Simd ? elem_get<uint64_t>(s->z[zn_num(insn)], 0) : read_x(s, zn_num(insn));
    vec_buf r;
    elem_set<T>(r.b, 0, static_cast<T>(v));
    for (unsigned e = 1; e < elem_count<T>; ++e) elem_set<T>(r.b, e, elem_get<T>(a.b, e - 1));
    write_z(s, zd_num(insn), r);
    return DECODE_OK;
}

// The element CLASTA (AFTER) or CLASTB picks: the one after the last active
// element (the first after the final one) or the last active one; -1 when none
// is active.
template <typename T>
int conditional_index(const unsigned char *g, bool after) {
    const int last = last_active_element(g, sizeof(T));
    if (last < 0 || !after) return last;
    return last + 1 < static_cast<int>(elem_count<T>) ? last + 1 : 0;
}

// LASTA (AFTER) or LASTB Rd|Vd, Pg, Zn: the element after the last active one
// (0 when none is active or the last active is the final element), or the last
// active one (the final element when none is active).
template <typename T, bool Simd, bool After>
aarch64_decode_rc last_element(cpu_state *s, uint32_t insn) {
    const int e = conditional_index<T>(s->p[pg3_num(insn)], After);
    const T v = elem_get<T>(s->z[zn_num(insn)], e >= 0 ? static_cast<unsigned>(e) : After ? 0u : elem_count<T> - 1);
    if (Simd)
        write_v_scalar<T>(s, zd_num(insn), v);
    else
        write_x(s, zd_num(insn), v);
    return DECODE_OK;
}

// CLASTA/CLASTB Rdn|Vdn, Pg, Rdn|Vdn, Zm (9..5).
template <typename T, bool Simd, bool After>
aarch64_decode_rc clast_scalar(cpu_state *s, uint32_t insn) {
    const int e = conditional_index<T>(s->p[pg3_num(insn)], After);
    const uint64_t old = Simd ? elem_get<uint64_t>(s->z[zd_num(insn)], 0) : read_x(s, zd_num(insn));
    const T v = e < 0 ? static_cast<T>(old) : elem_get<T>(s->z[zn_num(insn)], static_cast<unsigned>(e));
    if (Simd)
        write_v_scalar<T>(s, zd_num(insn), v);
    else
        write_x(s, zd_num(insn), v);
    return DECODE_OK;
}
// CLASTA/CLASTB Zdn, Pg, Zdn, Zm (9..5): the chosen element broadcast; Zdn
// unchanged when no element is active.
template <typename T, bool After>
aarch64_decode_rc clast_vector(cpu_state *s, uint32_t insn) {
    const int e = conditional_index<T>(s->p[pg3_num(insn)], After);
    if (e < 0) return DECODE_OK;
    const T v = elem_get<T>(s->z[zn_num(insn)], static_cast<unsigned>(e));
    unsigned char *d = s->z[zd_num(insn)];
    for (unsigned i = 0; i < elem_count<T>; ++i) elem_set<T>(d, i, v);
    return DECODE_OK;
}

SVE_HANDLER(VecU8Zip1VV) { return zzz<uint8_t>(state, insn, sve_zip1_zzz); }
SVE_HANDLER(VecU16Zip1VV) { return zzz<uint16_t>(state, insn, sve_zip1_zzz); }
SVE_HANDLER(VecU32Zip1VV) { return zzz<uint32_t>(state, insn, sve_zip1_zzz); }
SVE_HANDLER(VecU64Zip1VV) { return zzz<uint64_t>(state, insn, sve_zip1_zzz); }
SVE_HANDLER(VecU8Zip2VV) { return zzz<uint8_t>(state, insn, sve_zip2_zzz); }
SVE_HANDLER(VecU16Zip2VV) { return zzz<uint16_t>(state, insn, sve_zip2_zzz); }
SVE_HANDLER(VecU32Zip2VV) { return zzz<uint32_t>(state, insn, sve_zip2_zzz); }
SVE_HANDLER(VecU64Zip2VV) { return zzz<uint64_t>(state, insn, sve_zip2_zzz); }
SVE_HANDLER(VecU8Uzp1VV) { return zzz<uint8_t>(state, insn, sve_uzp1_zzz); }
SVE_HANDLER(VecU16Uzp1VV) { return zzz<uint16_t>(state, insn, sve_uzp1_zzz); }
SVE_HANDLER(VecU32Uzp1VV) { return zzz<uint32_t>(state, insn, sve_uzp1_zzz); }
SVE_HANDLER(VecU64Uzp1VV) { return zzz<uint64_t>(state, insn, sve_uzp1_zzz); }
SVE_HANDLER(VecU8Uzp2VV) { return zzz<uint8_t>(state, insn, sve_uzp2_zzz); }
SVE_HANDLER(VecU16Uzp2VV) { return zzz<uint16_t>(state, insn, sve_uzp2_zzz); }
SVE_HANDLER(VecU32Uzp2VV) { return zzz<uint32_t>(state, insn, sve_uzp2_zzz); }
SVE_HANDLER(VecU64Uzp2VV) { return zzz<uint64_t>(state, insn, sve_uzp2_zzz); }
SVE_HANDLER(VecU8Trn1VV) { return trn1<uint8_t>(state, insn); }
SVE_HANDLER(VecU16Trn1VV) { return trn1<uint16_t>(state, insn); }
SVE_HANDLER(VecU32Trn1VV) { return trn1<uint32_t>(state, insn); }
SVE_HANDLER(VecU64Trn1VV) { return trn1<uint64_t>(state, insn); }
SVE_HANDLER(VecU8Trn2VV) { return zzz<uint8_t>(state, insn, sve_trn2_zzz); }
SVE_HANDLER(VecU16Trn2VV) { return zzz<uint16_t>(state, insn, sve_trn2_zzz); }
SVE_HANDLER(VecU32Trn2VV) { return zzz<uint32_t>(state, insn, sve_trn2_zzz); }
SVE_HANDLER(VecU64Trn2VV) { return zzz<uint64_t>(state, insn, sve_trn2_zzz); }
SVE_HANDLER(VecU8TblVV) { return zzz<uint8_t>(state, insn, sve_tbl_zzz); }
SVE_HANDLER(VecU16TblVV) { return zzz<uint16_t>(state, insn, sve_tbl_zzz); }
SVE_HANDLER(VecU32TblVV) { return zzz<uint32_t>(state, insn, sve_tbl_zzz); }
SVE_HANDLER(VecU64TblVV) { return zzz<uint64_t>(state, insn, sve_tbl_zzz); }
SVE_HANDLER(VecU8ReverseV) { return zz<uint8_t>(state, insn, sve_rev_zz); }
SVE_HANDLER(VecU16ReverseV) { return zz<uint16_t>(state, insn, sve_rev_zz); }
SVE_HANDLER(VecU32ReverseV) { return zz<uint32_t>(state, insn, sve_rev_zz); }
SVE_HANDLER(VecU64ReverseV) { return zz<uint64_t>(state, insn, sve_rev_zz); }
SVE_HANDLER(VecU8SpliceVV) { return splice<uint8_t>(state, insn); }
SVE_HANDLER(VecU16SpliceVV) { return splice<uint16_t>(state, insn); }
SVE_HANDLER(VecU32SpliceVV) { return splice<uint32_t>(state, insn); }
SVE_HANDLER(VecU64SpliceVV) { return splice<uint64_t>(state, insn); }
SVE_HANDLER(VecU32CompressVV) { return compact<uint32_t>(state, insn); }
SVE_HANDLER(VecU64CompressVV) { return compact<uint64_t>(state, insn); }
// EXT Zdn, Zdn, Zm (9..5), #imm8 (20..16:12..10).
SVE_HANDLER(VecU8SlideVI) {
    return delegate(state, insn, sve_ext_zzi, zfield<uint8_t>(insn, 0), zfield<uint8_t>(insn, 5),
                    static_cast<int>((field(insn, 20, 16) << 3) | field(insn, 12, 10)));
}

SVE_HANDLER(VecU16UnpackLoV) { return zz<uint16_t>(state, insn, sve_uunpklo_b2h_zz); }
SVE_HANDLER(VecU32UnpackLoV) { return zz<uint32_t>(state, insn, sve_uunpklo_h2s_zz); }
SVE_HANDLER(VecU64UnpackLoV) { return zz<uint64_t>(state, insn, sve_uunpklo_s2d_zz); }
SVE_HANDLER(VecU16UnpackHiV) { return zz<uint16_t>(state, insn, sve_uunpkhi_b2h_zz); }
SVE_HANDLER(VecU32UnpackHiV) { return zz<uint32_t>(state, insn, sve_uunpkhi_h2s_zz); }
SVE_HANDLER(VecU64UnpackHiV) { return zz<uint64_t>(state, insn, sve_uunpkhi_s2d_zz); }
SVE_HANDLER(VecS64UnpackLoV) { return zz<uint64_t>(state, insn, sve_sunpklo_s2d_zz); }
SVE_HANDLER(VecS64UnpackHiV) { return zz<uint64_t>(state, insn, sve_sunpkhi_s2d_zz); }
SVE_HANDLER(VecS16UnpackLoV) { return sunpk<uint8_t, uint16_t>(state, insn, false); }
SVE_HANDLER(VecS32UnpackLoV) { return sunpk<uint16_t, uint32_t>(state, insn, false); }
SVE_HANDLER(VecS16UnpackHiV) { return sunpk<uint8_t, uint16_t>(state, insn, true); }
SVE_HANDLER(VecS32UnpackHiV) { return sunpk<uint16_t, uint32_t>(state, insn, true); }

SVE_HANDLER(VecU8ExtDupVI) { return dup_indexed<1>(state, insn); }
SVE_HANDLER(VecU16ExtDupVI) { return dup_indexed<2>(state, insn); }
SVE_HANDLER(VecU32ExtDupVI) { return dup_indexed<4>(state, insn); }
SVE_HANDLER(VecU64ExtDupVI) { return dup_indexed<8>(state, insn); }
SVE_HANDLER(VecU128ExtDupVI) { return dup_indexed<16>(state, insn); }

SVE_HANDLER(VecU8InsertS) { return insr<uint8_t, false>(state, insn); }
SVE_HANDLER(VecU16InsertS) { return insr<uint16_t, false>(state, insn); }
SVE_HANDLER(VecU32InsertS) { return insr<uint32_t, false>(state, insn); }
SVE_HANDLER(VecU64InsertS) { return insr<uint64_t, false>(state, insn); }
SVE_HANDLER(VecB8InsertS) { return insr<uint8_t, true>(state, insn); }
SVE_HANDLER(VecH16InsertS) { return insr<uint16_t, true>(state, insn); }
SVE_HANDLER(VecF32InsertS) { return insr<uint32_t, true>(state, insn); }
SVE_HANDLER(VecD64InsertS) { return insr<uint64_t, true>(state, insn); }

SVE_HANDLER(VecU8LastAV) { return last_element<uint8_t, false, true>(state, insn); }
SVE_HANDLER(VecU16LastAV) { return last_element<uint16_t, false, true>(state, insn); }
SVE_HANDLER(VecU32LastAV) { return last_element<uint32_t, false, true>(state, insn); }
SVE_HANDLER(VecU64LastAV) { return last_element<uint64_t, false, true>(state, insn); }
SVE_HANDLER(VecB8LastAV) { return last_element<uint8_t, true, true>(state, insn); }
SVE_HANDLER(VecH16LastAV) { return last_element<uint16_t, true, true>(state, insn); }
SVE_HANDLER(VecF32LastAV) { return last_element<uint32_t, true, true>(state, insn); }
SVE_HANDLER(VecD64LastAV) { return last_element<uint64_t, true, true>(state, insn); }
SVE_HANDLER(VecU8LastBV) { return last_element<uint8_t, false, false>(state, insn); }
SVE_HANDLER(VecU16LastBV) { return last_element<uint16_t, false, false>(state, insn); }
SVE_HANDLER(VecU32LastBV) { return last_element<uint32_t, false, false>(state, insn); }
SVE_HANDLER(VecU64LastBV) { return last_element<uint64_t, false, false>(state, insn); }
SVE_HANDLER(VecB8LastBV) { return last_element<uint8_t, true, false>(state, insn); }
SVE_HANDLER(VecH16LastBV) { return last_element<uint16_t, true, false>(state, insn); }
SVE_HANDLER(VecF32LastBV) { return last_element<uint32_t, true, false>(state, insn); }
SVE_HANDLER(VecD64LastBV) { return last_element<uint64_t, true, false>(state, insn); }

SVE_HANDLER(VecU8CondXASV) { return clast_scalar<uint8_t, false, true>(state, insn); }
SVE_HANDLER(VecU16CondXASV) { return clast_scalar<uint16_t, false, true>(state, insn); }
SVE_HANDLER(VecU32CondXASV) { return clast_scalar<uint32_t, false, true>(state, insn); }
SVE_HANDLER(VecU64CondXASV) { return clast_scalar<uint64_t, false, true>(state, insn); }
SVE_HANDLER(VecB8CondXASV) { return clast_scalar<uint8_t, true, true>(state, insn); }
SVE_HANDLER(VecH16CondXASV) { return clast_scalar<uint16_t, true, true>(state, insn); }
SVE_HANDLER(VecF32CondXASV) { return clast_scalar<uint32_t, true, true>(state, insn); }
SVE_HANDLER(VecD64CondXASV) { return clast_scalar<uint64_t, true, true>(state, insn); }
SVE_HANDLER(VecU8CondXBSV) { return clast_scalar<uint8_t, false, false>(state, insn); }
SVE_HANDLER(VecU16CondXBSV) { return clast_scalar<uint16_t, false, false>(state, insn); }
SVE_HANDLER(VecU32CondXBSV) { return clast_scalar<uint32_t, false, false>(state, insn); }
SVE_HANDLER(VecU64CondXBSV) { return clast_scalar<uint64_t, false, false>(state, insn); }
SVE_HANDLER(VecB8CondXBSV) { return clast_scalar<uint8_t, true, false>(state, insn); }
SVE_HANDLER(VecH16CondXBSV) { return clast_scalar<uint16_t, true, false>(state, insn); }
SVE_HANDLER(VecF32CondXBSV) { return clast_scalar<uint32_t, true, false>(state, insn); }
SVE_HANDLER(VecD64CondXBSV) { return clast_scalar<uint64_t, true, false>(state, insn); }
SVE_HANDLER(VecU8VCondXAVV) { return clast_vector<uint8_t, true>(state, insn); }
SVE_HANDLER(VecU16VCondXAVV) { return clast_vector<uint16_t, true>(state, insn); }
SVE_HANDLER(VecU32VCondXAVV) { return clast_vector<uint32_t, true>(state, insn); }
SVE_HANDLER(VecU64VCondXAVV) { return clast_vector<uint64_t, true>(state, insn); }
SVE_HANDLER(VecU8VCondXBVV) { return clast_vector<uint8_t, false>(state, insn); }
SVE_HANDLER(VecU16VCondXBVV) { return clast_vector<uint16_t, false>(state, insn); }
SVE_HANDLER(VecU32VCondXBVV) { return clast_vector<uint32_t, false>(state, insn); }
SVE_HANDLER(VecU64VCondXBVV) { return clast_vector<uint64_t, false>(state, insn); }

}  // namespace

#define SVE_FAMILY permute
#include "sve/handlers/family_bindings.inc"
