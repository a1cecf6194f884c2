// Contiguous and structure loads and stores, load-and-replicate (LD1R, LD1RQ),
// and whole-register fill and spill (LDR, STR).
#include "sve/handlers/memory_handler_shapes.h"
#include "sve/kernels/memory_access.h"
#include "sve/kernels/memory_kernels.h"

namespace {

// Contiguous LD1 and ST1 computed here, by the templates their kernels use,
// without the register records: Zt 4..0, Pg 12..10, Rn 9..5 (SP for 31), and
// either the signed immediate at 19..16 in vectors' worth of memory elements
// (_si) or Rm 20..16 (the zero register for 31) times the memory element size
// (_ss). M is the memory element type, E the register element type, S whether
// a load sign-extends.
template <typename M, typename E>
inline uint64_t si_start(const cpu_state *s, uint32_t insn) {
    return contiguous_si_start<M, E>(base_of(s, insn), sfield(insn, 19, 16));
}
template <typename M>
inline uint64_t ss_start(const cpu_state *s, uint32_t insn) {
    return contiguous_ss_start<M>(base_of(s, insn), read_x(s, field(insn, 20, 16)));
}
template <typename M, typename E, bool S>
aarch64_decode_rc ld1_si(cpu_state *s, uint32_t insn) {
    return contiguous_load<M, E, S>(s, field(insn, 4, 0), s->p[field(insn, 12, 10)], si_start<M, E>(s, insn));
}
template <typename M, typename E, bool S>
aarch64_decode_rc ld1_ss(cpu_state *s, uint32_t insn) {
    return contiguous_load<M, E, S>(s, field(insn, 4, 0), s->p[field(insn, 12, 10)], ss_start<M>(s, insn));
}
template <typename M, typename E>
aarch64_decode_rc st1_si(cpu_state *s, uint32_t insn) {
    return contiguous_store<M, E>(s, field(insn, 4, 0), s->p[field(insn, 12, 10)], si_start<M, E>(s, insn));
}
template <typename M, typename E>
aarch64_decode_rc st1_ss(cpu_state *s, uint32_t insn) {
    return contiguous_store<M, E>(s, field(insn, 4, 0), s->p[field(insn, 12, 10)], ss_start<M>(s, insn));
}

SVE_HANDLER(VecU8LoadDup1QSIZ) { return ld1rq_si<uint8_t>(state, insn); }
SVE_HANDLER(VecU8CLoad1SIZ) { return ld1_si<uint8_t, uint8_t, false>(state, insn); }
SVE_HANDLER(VecU8CLoadNT1SIZ) { return ld1_si<uint8_t, uint8_t, false>(state, insn); }
SVE_HANDLER(VecU16CLoad1SIZ) { return ld1_si<uint8_t, uint16_t, false>(state, insn); }
SVE_HANDLER(VecU8E2Load1SIZ) { return delegate(state, insn, sve_ld2b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoad1SIZ) { return ld1_si<uint8_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU8E3Load1SIZ) { return delegate(state, insn, sve_ld3b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoad1SIZ) { return ld1_si<uint8_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU8E4Load1SIZ) { return delegate(state, insn, sve_ld4b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16LoadDup2QSIZ) { return ld1rq_si<uint16_t>(state, insn); }
SVE_HANDLER(VecS64CLoad4SIZ) { return ld1_si<uint32_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU16CLoadNT2SIZ) { return ld1_si<uint16_t, uint16_t, false>(state, insn); }
SVE_HANDLER(VecU16CLoad2SIZ) { return ld1_si<uint16_t, uint16_t, false>(state, insn); }
SVE_HANDLER(VecU16E2Load2SIZ) { return delegate(state, insn, sve_ld2h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoad2SIZ) { return ld1_si<uint16_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU16E3Load2SIZ) { return delegate(state, insn, sve_ld3h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoad2SIZ) { return ld1_si<uint16_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU16E4Load2SIZ) { return delegate(state, insn, sve_ld4h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32LoadDup4QSIZ) { return ld1rq_si<uint32_t>(state, insn); }
SVE_HANDLER(VecS64CLoad2SIZ) { return ld1_si<uint16_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU32CLoadNT4SIZ) { return ld1_si<uint32_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecS32CLoad2SIZ) { return ld1_si<uint16_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU32E2Load4SIZ) { return delegate(state, insn, sve_ld2w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoad4SIZ) { return ld1_si<uint32_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU32E3Load4SIZ) { return delegate(state, insn, sve_ld3w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoad4SIZ) { return ld1_si<uint32_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU32E4Load4SIZ) { return delegate(state, insn, sve_ld4w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64LoadDup8QSIZ) { return ld1rq_si<uint64_t>(state, insn); }
SVE_HANDLER(VecS64CLoad1SIZ) { return ld1_si<uint8_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU64CLoadNT8SIZ) { return ld1_si<uint64_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS32CLoad1SIZ) { return ld1_si<uint8_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU64E2Load8SIZ) { return delegate(state, insn, sve_ld2d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS16CLoad1SIZ) { return ld1_si<uint8_t, uint16_t, true>(state, insn); }
SVE_HANDLER(VecU64E3Load8SIZ) { return delegate(state, insn, sve_ld3d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoad8SIZ) { return ld1_si<uint64_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU64E4Load8SIZ) { return delegate(state, insn, sve_ld4d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8CStore1SIZ) { return st1_si<uint8_t, uint8_t>(state, insn); }
SVE_HANDLER(VecU8CStoreNT1SIZ) { return st1_si<uint8_t, uint8_t>(state, insn); }
SVE_HANDLER(VecU16CStore1SIZ) { return st1_si<uint8_t, uint16_t>(state, insn); }
SVE_HANDLER(VecU8E2Store1SIZ) { return delegate(state, insn, sve_st2b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CStore1SIZ) { return st1_si<uint8_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU8E3Store1SIZ) { return delegate(state, insn, sve_st3b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStore1SIZ) { return st1_si<uint8_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU8E4Store1SIZ) { return delegate(state, insn, sve_st4b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CStoreNT2SIZ) { return st1_si<uint16_t, uint16_t>(state, insn); }
SVE_HANDLER(VecU16CStore2SIZ) { return st1_si<uint16_t, uint16_t>(state, insn); }
SVE_HANDLER(VecU16E2Store2SIZ) { return delegate(state, insn, sve_st2h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CStore2SIZ) { return st1_si<uint16_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU16E3Store2SIZ) { return delegate(state, insn, sve_st3h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStore2SIZ) { return st1_si<uint16_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU16E4Store2SIZ) { return delegate(state, insn, sve_st4h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CStoreNT4SIZ) { return st1_si<uint32_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU32E2Store4SIZ) { return delegate(state, insn, sve_st2w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CStore4SIZ) { return st1_si<uint32_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU32E3Store4SIZ) { return delegate(state, insn, sve_st3w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStore4SIZ) { return st1_si<uint32_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU32E4Store4SIZ) { return delegate(state, insn, sve_st4w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStoreNT8SIZ) { return st1_si<uint64_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU64E2Store8SIZ) { return delegate(state, insn, sve_st2d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64E3Store8SIZ) { return delegate(state, insn, sve_st3d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStore8SIZ) { return st1_si<uint64_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU64E4Store8SIZ) { return delegate(state, insn, sve_st4d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8LoadDup1QSSZ) { return ld1rq_ss<uint8_t>(state, insn); }
SVE_HANDLER(VecU8CLoad1LSSZ) { return ld1_ss<uint8_t, uint8_t, false>(state, insn); }
SVE_HANDLER(VecU8CLoadNT1LSSZ) { return ld1_ss<uint8_t, uint8_t, false>(state, insn); }
SVE_HANDLER(VecU16CLoad1LSSZ) { return ld1_ss<uint8_t, uint16_t, false>(state, insn); }
SVE_HANDLER(VecU8E2Load1LSSZ) { return delegate(state, insn, sve_ld2b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CLoad1LSSZ) { return ld1_ss<uint8_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU8E3Load1LSSZ) { return delegate(state, insn, sve_ld3b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoad1LSSZ) { return ld1_ss<uint8_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU8E4Load1LSSZ) { return delegate(state, insn, sve_ld4b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16LoadDup2QSSZ) { return ld1rq_ss<uint16_t>(state, insn); }
SVE_HANDLER(VecS64CLoad4LSSZ) { return ld1_ss<uint32_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU16CLoadNT2LSSZ) { return ld1_ss<uint16_t, uint16_t, false>(state, insn); }
SVE_HANDLER(VecU16CLoad2LSSZ) { return ld1_ss<uint16_t, uint16_t, false>(state, insn); }
SVE_HANDLER(VecU16E2Load2LSSZ) { return delegate(state, insn, sve_ld2h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CLoad2LSSZ) { return ld1_ss<uint16_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU16E3Load2LSSZ) { return delegate(state, insn, sve_ld3h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoad2LSSZ) { return ld1_ss<uint16_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU16E4Load2LSSZ) { return delegate(state, insn, sve_ld4h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32LoadDup4QSSZ) { return ld1rq_ss<uint32_t>(state, insn); }
SVE_HANDLER(VecS64CLoad2LSSZ) { return ld1_ss<uint16_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU32CLoadNT4LSSZ) { return ld1_ss<uint32_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecS32CLoad2LSSZ) { return ld1_ss<uint16_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU32E2Load4LSSZ) { return delegate(state, insn, sve_ld2w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CLoad4LSSZ) { return ld1_ss<uint32_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU32E3Load4LSSZ) { return delegate(state, insn, sve_ld3w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoad4LSSZ) { return ld1_ss<uint32_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU32E4Load4LSSZ) { return delegate(state, insn, sve_ld4w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64LoadDup8QSSZ) { return ld1rq_ss<uint64_t>(state, insn); }
SVE_HANDLER(VecS64CLoad1LSSZ) { return ld1_ss<uint8_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU64CLoadNT8LSSZ) { return ld1_ss<uint64_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS32CLoad1LSSZ) { return ld1_ss<uint8_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU64E2Load8LSSZ) { return delegate(state, insn, sve_ld2d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecS16CLoad1LSSZ) { return ld1_ss<uint8_t, uint16_t, true>(state, insn); }
SVE_HANDLER(VecU64E3Load8LSSZ) { return delegate(state, insn, sve_ld3d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoad8LSSZ) { return ld1_ss<uint64_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU64E4Load8LSSZ) { return delegate(state, insn, sve_ld4d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8CStore1LSSZ) { return st1_ss<uint8_t, uint8_t>(state, insn); }
SVE_HANDLER(VecU8CStoreNT1LSSZ) { return st1_ss<uint8_t, uint8_t>(state, insn); }
SVE_HANDLER(VecU16CStore1LSSZ) { return st1_ss<uint8_t, uint16_t>(state, insn); }
SVE_HANDLER(VecU8E2Store1LSSZ) { return delegate(state, insn, sve_st2b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CStore1LSSZ) { return st1_ss<uint8_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU8E3Store1LSSZ) { return delegate(state, insn, sve_st3b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStore1LSSZ) { return st1_ss<uint8_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU8E4Store1LSSZ) { return delegate(state, insn, sve_st4b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16CStoreNT2LSSZ) { return st1_ss<uint16_t, uint16_t>(state, insn); }
SVE_HANDLER(VecU16CStore2LSSZ) { return st1_ss<uint16_t, uint16_t>(state, insn); }
SVE_HANDLER(VecU16E2Store2LSSZ) { return delegate(state, insn, sve_st2h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CStore2LSSZ) { return st1_ss<uint16_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU16E3Store2LSSZ) { return delegate(state, insn, sve_st3h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStore2LSSZ) { return st1_ss<uint16_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU16E4Store2LSSZ) { return delegate(state, insn, sve_st4h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CStoreNT4LSSZ) { return st1_ss<uint32_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU32E2Store4LSSZ) { return delegate(state, insn, sve_st2w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CStore4LSSZ) { return st1_ss<uint32_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU32E3Store4LSSZ) { return delegate(state, insn, sve_st3w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStore4LSSZ) { return st1_ss<uint32_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU32E4Store4LSSZ) { return delegate(state, insn, sve_st4w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStoreNT8LSSZ) { return st1_ss<uint64_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU64E2Store8LSSZ) { return delegate(state, insn, sve_st2d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64E3Store8LSSZ) { return delegate(state, insn, sve_st3d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStore8LSSZ) { return st1_ss<uint64_t, uint64_t>(state, insn); }
SVE_HANDLER(VecU64E4Store8LSSZ) { return delegate(state, insn, sve_st4d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecPFillSI) { return delegate(state, insn, sve_ldr_pri, make_preg(field(insn, 3, 0), kQualB), xn(insn), simm9(insn)); }
SVE_HANDLER(VecPSpillSI) { return delegate(state, insn, sve_str_pri, make_preg(field(insn, 3, 0), kQualB), xn(insn), simm9(insn)); }
SVE_HANDLER(VecU8LoadDup1SIZ) { return delegate(state, insn, sve_ld1rb_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU16LoadDup1SIZ) { return delegate(state, insn, sve_ld1rb_h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU32LoadDup1SIZ) { return delegate(state, insn, sve_ld1rb_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU64LoadDup1SIZ) { return delegate(state, insn, sve_ld1rb_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecS64LoadDup4SIZ) { return delegate(state, insn, sve_ld1rsw_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU16LoadDup2SIZ) { return delegate(state, insn, sve_ld1rh_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU32LoadDup2SIZ) { return delegate(state, insn, sve_ld1rh_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU64LoadDup2SIZ) { return delegate(state, insn, sve_ld1rh_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecS64LoadDup2SIZ) { return delegate(state, insn, sve_ld1rsh_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecS32LoadDup2SIZ) { return delegate(state, insn, sve_ld1rsh_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU32LoadDup4SIZ) { return delegate(state, insn, sve_ld1rw_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU64LoadDup4SIZ) { return delegate(state, insn, sve_ld1rw_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU64FillSI) { return delegate(state, insn, sve_ldr_zri, zfield<uint8_t>(insn, 0), xn(insn), simm9(insn)); }
SVE_HANDLER(VecS64LoadDup1SIZ) { return delegate(state, insn, sve_ld1rsb_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecS32LoadDup1SIZ) { return delegate(state, insn, sve_ld1rsb_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecS16LoadDup1SIZ) { return delegate(state, insn, sve_ld1rsb_h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU64LoadDup8SIZ) { return delegate(state, insn, sve_ld1rd_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(field(insn, 21, 16))); }
SVE_HANDLER(VecU64SpillSI) { return delegate(state, insn, sve_str_zri, zfield<uint8_t>(insn, 0), xn(insn), simm9(insn)); }

}  // namespace

#define SVE_FAMILY load_store
#include "sve/handlers/family_bindings.inc"
