// Contiguous and structure loads and stores, load-and-replicate (LD1R, LD1RQ),
// and whole-register fill and spill (LDR, STR).
#include "sve/handlers/memory_handler_shapes.h"
#include "sve/kernels/memory_kernels.h"

namespace {

SVE_HANDLER(VecU8LoadDup1QSIZ) { return ld1rq_si<uint8_t>(state, insn); }
SVE_HANDLER(VecU8CLoad1SIZ) { return delegate(state, insn, sve_ld1b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8CLoadNT1SIZ) { return delegate(state, insn, sve_ldnt1b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CLoad1SIZ) { return delegate(state, insn, sve_ld1b_h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8E2Load1SIZ) { return delegate(state, insn, sve_ld2b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoad1SIZ) { return delegate(state, insn, sve_ld1b_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8E3Load1SIZ) { return delegate(state, insn, sve_ld3b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoad1SIZ) { return delegate(state, insn, sve_ld1b_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8E4Load1SIZ) { return delegate(state, insn, sve_ld4b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16LoadDup2QSIZ) { return ld1rq_si<uint16_t>(state, insn); }
SVE_HANDLER(VecS64CLoad4SIZ) { return delegate(state, insn, sve_ld1sw_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CLoadNT2SIZ) { return delegate(state, insn, sve_ldnt1h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CLoad2SIZ) { return delegate(state, insn, sve_ld1h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16E2Load2SIZ) { return delegate(state, insn, sve_ld2h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoad2SIZ) { return delegate(state, insn, sve_ld1h_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16E3Load2SIZ) { return delegate(state, insn, sve_ld3h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoad2SIZ) { return delegate(state, insn, sve_ld1h_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16E4Load2SIZ) { return delegate(state, insn, sve_ld4h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32LoadDup4QSIZ) { return ld1rq_si<uint32_t>(state, insn); }
SVE_HANDLER(VecS64CLoad2SIZ) { return delegate(state, insn, sve_ld1sh_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoadNT4SIZ) { return delegate(state, insn, sve_ldnt1w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS32CLoad2SIZ) { return delegate(state, insn, sve_ld1sh_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32E2Load4SIZ) { return delegate(state, insn, sve_ld2w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoad4SIZ) { return delegate(state, insn, sve_ld1w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32E3Load4SIZ) { return delegate(state, insn, sve_ld3w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoad4SIZ) { return delegate(state, insn, sve_ld1w_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32E4Load4SIZ) { return delegate(state, insn, sve_ld4w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64LoadDup8QSIZ) { return ld1rq_si<uint64_t>(state, insn); }
SVE_HANDLER(VecS64CLoad1SIZ) { return delegate(state, insn, sve_ld1sb_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoadNT8SIZ) { return delegate(state, insn, sve_ldnt1d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS32CLoad1SIZ) { return delegate(state, insn, sve_ld1sb_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64E2Load8SIZ) { return delegate(state, insn, sve_ld2d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS16CLoad1SIZ) { return delegate(state, insn, sve_ld1sb_h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64E3Load8SIZ) { return delegate(state, insn, sve_ld3d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoad8SIZ) { return delegate(state, insn, sve_ld1d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64E4Load8SIZ) { return delegate(state, insn, sve_ld4d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8CStore1SIZ) { return delegate(state, insn, sve_st1b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8CStoreNT1SIZ) { return delegate(state, insn, sve_stnt1b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CStore1SIZ) { return delegate(state, insn, sve_st1b_h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8E2Store1SIZ) { return delegate(state, insn, sve_st2b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CStore1SIZ) { return delegate(state, insn, sve_st1b_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8E3Store1SIZ) { return delegate(state, insn, sve_st3b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStore1SIZ) { return delegate(state, insn, sve_st1b_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8E4Store1SIZ) { return delegate(state, insn, sve_st4b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CStoreNT2SIZ) { return delegate(state, insn, sve_stnt1h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CStore2SIZ) { return delegate(state, insn, sve_st1h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16E2Store2SIZ) { return delegate(state, insn, sve_st2h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CStore2SIZ) { return delegate(state, insn, sve_st1h_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16E3Store2SIZ) { return delegate(state, insn, sve_st3h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStore2SIZ) { return delegate(state, insn, sve_st1h_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16E4Store2SIZ) { return delegate(state, insn, sve_st4h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CStoreNT4SIZ) { return delegate(state, insn, sve_stnt1w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32E2Store4SIZ) { return delegate(state, insn, sve_st2w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CStore4SIZ) { return delegate(state, insn, sve_st1w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32E3Store4SIZ) { return delegate(state, insn, sve_st3w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStore4SIZ) { return delegate(state, insn, sve_st1w_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32E4Store4SIZ) { return delegate(state, insn, sve_st4w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStoreNT8SIZ) { return delegate(state, insn, sve_stnt1d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64E2Store8SIZ) { return delegate(state, insn, sve_st2d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64E3Store8SIZ) { return delegate(state, insn, sve_st3d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CStore8SIZ) { return delegate(state, insn, sve_st1d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64E4Store8SIZ) { return delegate(state, insn, sve_st4d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU8LoadDup1QSSZ) { return ld1rq_ss<uint8_t>(state, insn); }
SVE_HANDLER(VecU8CLoad1LSSZ) { return delegate(state, insn, sve_ld1b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8CLoadNT1LSSZ) { return delegate(state, insn, sve_ldnt1b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16CLoad1LSSZ) { return delegate(state, insn, sve_ld1b_h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8E2Load1LSSZ) { return delegate(state, insn, sve_ld2b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CLoad1LSSZ) { return delegate(state, insn, sve_ld1b_s_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8E3Load1LSSZ) { return delegate(state, insn, sve_ld3b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoad1LSSZ) { return delegate(state, insn, sve_ld1b_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8E4Load1LSSZ) { return delegate(state, insn, sve_ld4b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16LoadDup2QSSZ) { return ld1rq_ss<uint16_t>(state, insn); }
SVE_HANDLER(VecS64CLoad4LSSZ) { return delegate(state, insn, sve_ld1sw_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16CLoadNT2LSSZ) { return delegate(state, insn, sve_ldnt1h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16CLoad2LSSZ) { return delegate(state, insn, sve_ld1h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16E2Load2LSSZ) { return delegate(state, insn, sve_ld2h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CLoad2LSSZ) { return delegate(state, insn, sve_ld1h_s_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16E3Load2LSSZ) { return delegate(state, insn, sve_ld3h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoad2LSSZ) { return delegate(state, insn, sve_ld1h_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16E4Load2LSSZ) { return delegate(state, insn, sve_ld4h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32LoadDup4QSSZ) { return ld1rq_ss<uint32_t>(state, insn); }
SVE_HANDLER(VecS64CLoad2LSSZ) { return delegate(state, insn, sve_ld1sh_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CLoadNT4LSSZ) { return delegate(state, insn, sve_ldnt1w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecS32CLoad2LSSZ) { return delegate(state, insn, sve_ld1sh_s_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32E2Load4LSSZ) { return delegate(state, insn, sve_ld2w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CLoad4LSSZ) { return delegate(state, insn, sve_ld1w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32E3Load4LSSZ) { return delegate(state, insn, sve_ld3w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoad4LSSZ) { return delegate(state, insn, sve_ld1w_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32E4Load4LSSZ) { return delegate(state, insn, sve_ld4w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64LoadDup8QSSZ) { return ld1rq_ss<uint64_t>(state, insn); }
SVE_HANDLER(VecS64CLoad1LSSZ) { return delegate(state, insn, sve_ld1sb_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoadNT8LSSZ) { return delegate(state, insn, sve_ldnt1d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecS32CLoad1LSSZ) { return delegate(state, insn, sve_ld1sb_s_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64E2Load8LSSZ) { return delegate(state, insn, sve_ld2d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecS16CLoad1LSSZ) { return delegate(state, insn, sve_ld1sb_h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64E3Load8LSSZ) { return delegate(state, insn, sve_ld3d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CLoad8LSSZ) { return delegate(state, insn, sve_ld1d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64E4Load8LSSZ) { return delegate(state, insn, sve_ld4d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8CStore1LSSZ) { return delegate(state, insn, sve_st1b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8CStoreNT1LSSZ) { return delegate(state, insn, sve_stnt1b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16CStore1LSSZ) { return delegate(state, insn, sve_st1b_h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8E2Store1LSSZ) { return delegate(state, insn, sve_st2b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CStore1LSSZ) { return delegate(state, insn, sve_st1b_s_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8E3Store1LSSZ) { return delegate(state, insn, sve_st3b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStore1LSSZ) { return delegate(state, insn, sve_st1b_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU8E4Store1LSSZ) { return delegate(state, insn, sve_st4b_scaled_zprr, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16CStoreNT2LSSZ) { return delegate(state, insn, sve_stnt1h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16CStore2LSSZ) { return delegate(state, insn, sve_st1h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16E2Store2LSSZ) { return delegate(state, insn, sve_st2h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CStore2LSSZ) { return delegate(state, insn, sve_st1h_s_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16E3Store2LSSZ) { return delegate(state, insn, sve_st3h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStore2LSSZ) { return delegate(state, insn, sve_st1h_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU16E4Store2LSSZ) { return delegate(state, insn, sve_st4h_scaled_zprr, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CStoreNT4LSSZ) { return delegate(state, insn, sve_stnt1w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32E2Store4LSSZ) { return delegate(state, insn, sve_st2w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32CStore4LSSZ) { return delegate(state, insn, sve_st1w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32E3Store4LSSZ) { return delegate(state, insn, sve_st3w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStore4LSSZ) { return delegate(state, insn, sve_st1w_d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU32E4Store4LSSZ) { return delegate(state, insn, sve_st4w_scaled_zprr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStoreNT8LSSZ) { return delegate(state, insn, sve_stnt1d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64E2Store8LSSZ) { return delegate(state, insn, sve_st2d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64E3Store8LSSZ) { return delegate(state, insn, sve_st3d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
SVE_HANDLER(VecU64CStore8LSSZ) { return delegate(state, insn, sve_st1d_scaled_zprr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), xm(insn)); }
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
