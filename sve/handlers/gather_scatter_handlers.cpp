// Gather loads and scatter stores in every addressing form.
#include "sve/handlers/memory_handler_shapes.h"
#include "sve/kernels/memory_kernels.h"

namespace {

SVE_HANDLER(VecS32Load1VSZ) { return gather<uint8_t, uint32_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU32Load1VSZ) { return gather<uint8_t, uint32_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS32Load1VIZ) { return gather_vi<uint8_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU32Load1VIZ) { return gather_vi<uint8_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecS32Load1XVSZ) { return delegate(state, insn, sve_ld1sb_s_sxtw_zpzr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), zfield<uint32_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU32Load1XVSZ) { return delegate(state, insn, sve_ld1b_s_sxtw_zpzr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), zfield<uint32_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecS32Load2VSZ) { return gather<uint16_t, uint32_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU32Load2VSZ) { return gather<uint16_t, uint32_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS32Load2SVZ) { return gather<uint16_t, uint32_t, true, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU32Load2SVZ) { return gather<uint16_t, uint32_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecS32Load2VIZ) { return gather_vi<uint16_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU32Load2VIZ) { return gather_vi<uint16_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecS32Load2XVSZ) { return delegate(state, insn, sve_ld1sh_s_sxtw_zpzr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), zfield<uint32_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU32Load2XVSZ) { return delegate(state, insn, sve_ld1h_s_sxtw_zpzr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), zfield<uint32_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecS32Load2XSVZ) { return delegate(state, insn, sve_ld1sh_s_sxtw_scaled_zprz, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), zfield<uint32_t>(insn, 16)); }
SVE_HANDLER(VecU32Load2XSVZ) { return delegate(state, insn, sve_ld1h_s_sxtw_scaled_zprz, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), zfield<uint32_t>(insn, 16)); }
SVE_HANDLER(VecU32Load4VSZ) { return gather<uint32_t, uint32_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU32Load4SVZ) { return gather<uint32_t, uint32_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU32Load4VIZ) { return gather_vi<uint32_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU32Load4XVSZ) { return delegate(state, insn, sve_ld1w_sxtw_zpzr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), zfield<uint32_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU32Load4XSVZ) { return delegate(state, insn, sve_ld1w_sxtw_scaled_zprz, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), zfield<uint32_t>(insn, 16)); }
SVE_HANDLER(VecS64Load1YVSZ) { return delegate(state, insn, sve_ld1sb_d_uxtw_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Load1YVSZ) { return gather<uint8_t, uint64_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS64Load1VIZ) { return delegate(state, insn, sve_ld1sb_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecU64Load1VIZ) { return delegate(state, insn, sve_ld1b_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecS64Load1XVSZ) { return delegate(state, insn, sve_ld1sb_d_sxtw_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Load1XVSZ) { return delegate(state, insn, sve_ld1b_d_sxtw_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecS64Load1VSZ) { return delegate(state, insn, sve_ld1sb_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Load1VSZ) { return delegate(state, insn, sve_ld1b_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecS64Load2YVSZ) { return gather<uint16_t, uint64_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Load2YVSZ) { return gather<uint16_t, uint64_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS64Load2YSVZ) { return delegate(state, insn, sve_ld1sh_d_uxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Load2YSVZ) { return gather<uint16_t, uint64_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecS64Load2VIZ) { return delegate(state, insn, sve_ld1sh_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecU64Load2VIZ) { return delegate(state, insn, sve_ld1h_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecS64Load2XVSZ) { return gather<uint16_t, uint64_t, true, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64Load2XVSZ) { return gather<uint16_t, uint64_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecS64Load2VSZ) { return delegate(state, insn, sve_ld1sh_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Load2VSZ) { return delegate(state, insn, sve_ld1h_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecS64Load2XSVZ) { return delegate(state, insn, sve_ld1sh_d_sxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Load2XSVZ) { return delegate(state, insn, sve_ld1h_d_sxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecS64Load2SVZ) { return delegate(state, insn, sve_ld1sh_d_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Load2SVZ) { return delegate(state, insn, sve_ld1h_d_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecS64Load4YVSZ) { return gather<uint32_t, uint64_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Load4YVSZ) { return gather<uint32_t, uint64_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS64Load4YSVZ) { return gather<uint32_t, uint64_t, true, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU64Load4YSVZ) { return gather<uint32_t, uint64_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecS64Load4VIZ) { return delegate(state, insn, sve_ld1sw_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecU64Load4VIZ) { return delegate(state, insn, sve_ld1w_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecS64Load4XVSZ) { return gather<uint32_t, uint64_t, true, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64Load4XVSZ) { return gather<uint32_t, uint64_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecS64Load4VSZ) { return delegate(state, insn, sve_ld1sw_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Load4VSZ) { return delegate(state, insn, sve_ld1w_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecS64Load4XSVZ) { return delegate(state, insn, sve_ld1sw_d_sxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Load4XSVZ) { return delegate(state, insn, sve_ld1w_d_sxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecS64Load4SVZ) { return delegate(state, insn, sve_ld1sw_d_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Load4SVZ) { return delegate(state, insn, sve_ld1w_d_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Load8YVSZ) { return gather<uint64_t, uint64_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Load8YSVZ) { return delegate(state, insn, sve_ld1d_uxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Load8VIZ) { return delegate(state, insn, sve_ld1d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecU64Load8XVSZ) { return gather<uint64_t, uint64_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64Load8VSZ) { return delegate(state, insn, sve_ld1d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Load8XSVZ) { return delegate(state, insn, sve_ld1d_sxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Load8SVZ) { return delegate(state, insn, sve_ld1d_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Store1YVSZ) { return scatter<uint8_t, uint64_t, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Store1VSZ) { return delegate(state, insn, sve_st1b_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Store1XVSZ) { return delegate(state, insn, sve_st1b_d_sxtw_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU32Store1VSZ) { return scatter<uint8_t, uint32_t, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Store1VIZ) { return delegate(state, insn, sve_st1b_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecU32Store1XVSZ) { return delegate(state, insn, sve_st1b_s_sxtw_zpzr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), zfield<uint32_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU32Store1VIZ) { return scatter_vi<uint8_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU64Store2YVSZ) { return scatter<uint16_t, uint64_t, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Store2VSZ) { return delegate(state, insn, sve_st1h_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Store2XVSZ) { return scatter<uint16_t, uint64_t, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64Store2YSVZ) { return scatter<uint16_t, uint64_t, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU64Store2SVZ) { return delegate(state, insn, sve_st1h_d_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Store2XSVZ) { return delegate(state, insn, sve_st1h_d_sxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU32Store2VSZ) { return scatter<uint16_t, uint32_t, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Store2VIZ) { return delegate(state, insn, sve_st1h_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecU32Store2XVSZ) { return delegate(state, insn, sve_st1h_s_sxtw_zpzr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), zfield<uint32_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU32Store2SVZ) { return scatter<uint16_t, uint32_t, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU32Store2VIZ) { return scatter_vi<uint16_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU32Store2XSVZ) { return delegate(state, insn, sve_st1h_s_sxtw_scaled_zprz, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), zfield<uint32_t>(insn, 16)); }
SVE_HANDLER(VecU64Store4YVSZ) { return scatter<uint32_t, uint64_t, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Store4VSZ) { return delegate(state, insn, sve_st1w_d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Store4XVSZ) { return scatter<uint32_t, uint64_t, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64Store4YSVZ) { return delegate(state, insn, sve_st1w_d_uxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Store4SVZ) { return delegate(state, insn, sve_st1w_d_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Store4XSVZ) { return delegate(state, insn, sve_st1w_d_sxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU32Store4VSZ) { return scatter<uint32_t, uint32_t, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Store4VIZ) { return delegate(state, insn, sve_st1w_d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }
SVE_HANDLER(VecU32Store4XVSZ) { return delegate(state, insn, sve_st1w_sxtw_zpzr, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), zfield<uint32_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU32Store4SVZ) { return scatter<uint32_t, uint32_t, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU32Store4VIZ) { return scatter_vi<uint32_t, uint32_t>(state, insn); }
SVE_HANDLER(VecU32Store4XSVZ) { return delegate(state, insn, sve_st1w_sxtw_scaled_zprz, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), zfield<uint32_t>(insn, 16)); }
SVE_HANDLER(VecU64Store8YVSZ) { return scatter<uint64_t, uint64_t, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64Store8VSZ) { return delegate(state, insn, sve_st1d_zpzr, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 16), xn(insn)); }
SVE_HANDLER(VecU64Store8XVSZ) { return scatter<uint64_t, uint64_t, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64Store8YSVZ) { return delegate(state, insn, sve_st1d_uxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Store8SVZ) { return delegate(state, insn, sve_st1d_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Store8XSVZ) { return delegate(state, insn, sve_st1d_sxtw_scaled_zprz, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), zfield<uint64_t>(insn, 16)); }
SVE_HANDLER(VecU64Store8VIZ) { return delegate(state, insn, sve_st1d_zpzi, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), zfield<uint64_t>(insn, 5), int(field(insn, 20, 16))); }

}  // namespace

#define SVE_FAMILY gather_scatter
#include "sve/handlers/family_bindings.inc"
