// First-fault and non-fault loads (contiguous and gathers). The first active
// element of a first-fault load is an ordinary access; later elements that cannot
// be read clear FFR from there on instead of faulting.
#include "sve/handlers/memory_handler_shapes.h"
#include "sve/kernels/memory_kernels.h"

namespace {

SVE_HANDLER(VecU8CLoadNF1SIZ) { return delegate(state, insn, sve_ldnf1b_zpri, zfield<uint8_t>(insn, 0), pfield<uint8_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CLoadNF1SIZ) { return delegate(state, insn, sve_ldnf1b_h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoadNF1SIZ) { return delegate(state, insn, sve_ldnf1b_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoadNF1SIZ) { return delegate(state, insn, sve_ldnf1b_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS64CLoadNF4SIZ) { return delegate(state, insn, sve_ldnf1sw_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU16CLoadNF2SIZ) { return delegate(state, insn, sve_ldnf1h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoadNF2SIZ) { return delegate(state, insn, sve_ldnf1h_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoadNF2SIZ) { return delegate(state, insn, sve_ldnf1h_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS64CLoadNF2SIZ) { return delegate(state, insn, sve_ldnf1sh_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS32CLoadNF2SIZ) { return delegate(state, insn, sve_ldnf1sh_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU32CLoadNF4SIZ) { return delegate(state, insn, sve_ldnf1w_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoadNF4SIZ) { return delegate(state, insn, sve_ldnf1w_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS64CLoadNF1SIZ) { return delegate(state, insn, sve_ldnf1sb_d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS32CLoadNF1SIZ) { return delegate(state, insn, sve_ldnf1sb_s_zpri, zfield<uint32_t>(insn, 0), pfield<uint32_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS16CLoadNF1SIZ) { return delegate(state, insn, sve_ldnf1sb_h_zpri, zfield<uint16_t>(insn, 0), pfield<uint16_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecU64CLoadNF8SIZ) { return delegate(state, insn, sve_ldnf1d_zpri, zfield<uint64_t>(insn, 0), pfield<uint64_t>(insn, 12, 10), xn(insn), int(sfield(insn, 19, 16))); }
SVE_HANDLER(VecS32LoadFF1VSZ) { return ldff1_gather<uint8_t, uint32_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU32LoadFF1VSZ) { return ldff1_gather<uint8_t, uint32_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS32LoadFF1VIZ) { return ldff1_vi<uint8_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU32LoadFF1VIZ) { return ldff1_vi<uint8_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecS32LoadFF1XVSZ) { return ldff1_gather<uint8_t, uint32_t, true, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU32LoadFF1XVSZ) { return ldff1_gather<uint8_t, uint32_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecS32LoadFF2VSZ) { return ldff1_gather<uint16_t, uint32_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU32LoadFF2VSZ) { return ldff1_gather<uint16_t, uint32_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS32LoadFF2SVZ) { return ldff1_gather<uint16_t, uint32_t, true, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU32LoadFF2SVZ) { return ldff1_gather<uint16_t, uint32_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecS32LoadFF2VIZ) { return ldff1_vi<uint16_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU32LoadFF2VIZ) { return ldff1_vi<uint16_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecS32LoadFF2XVSZ) { return ldff1_gather<uint16_t, uint32_t, true, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU32LoadFF2XVSZ) { return ldff1_gather<uint16_t, uint32_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecS32LoadFF2XSVZ) { return ldff1_gather<uint16_t, uint32_t, true, offset::sxtws>(state, insn); }
SVE_HANDLER(VecU32LoadFF2XSVZ) { return ldff1_gather<uint16_t, uint32_t, false, offset::sxtws>(state, insn); }
SVE_HANDLER(VecU32LoadFF4VSZ) { return ldff1_gather<uint32_t, uint32_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU32LoadFF4SVZ) { return ldff1_gather<uint32_t, uint32_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU32LoadFF4VIZ) { return ldff1_vi<uint32_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU32LoadFF4XVSZ) { return ldff1_gather<uint32_t, uint32_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU32LoadFF4XSVZ) { return ldff1_gather<uint32_t, uint32_t, false, offset::sxtws>(state, insn); }
SVE_HANDLER(VecU8CLoadFF1LSSZ) { return ldff1_ss<uint8_t, uint8_t, false>(state, insn); }
SVE_HANDLER(VecU16CLoadFF1LSSZ) { return ldff1_ss<uint8_t, uint16_t, false>(state, insn); }
SVE_HANDLER(VecU32CLoadFF1LSSZ) { return ldff1_ss<uint8_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU64CLoadFF1LSSZ) { return ldff1_ss<uint8_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS64CLoadFF4LSSZ) { return ldff1_ss<uint32_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU16CLoadFF2LSSZ) { return ldff1_ss<uint16_t, uint16_t, false>(state, insn); }
SVE_HANDLER(VecU32CLoadFF2LSSZ) { return ldff1_ss<uint16_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU64CLoadFF2LSSZ) { return ldff1_ss<uint16_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS64CLoadFF2LSSZ) { return ldff1_ss<uint16_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecS32CLoadFF2LSSZ) { return ldff1_ss<uint16_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecU32CLoadFF4LSSZ) { return ldff1_ss<uint32_t, uint32_t, false>(state, insn); }
SVE_HANDLER(VecU64CLoadFF4LSSZ) { return ldff1_ss<uint32_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS64CLoadFF1LSSZ) { return ldff1_ss<uint8_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecS32CLoadFF1LSSZ) { return ldff1_ss<uint8_t, uint32_t, true>(state, insn); }
SVE_HANDLER(VecS16CLoadFF1LSSZ) { return ldff1_ss<uint8_t, uint16_t, true>(state, insn); }
SVE_HANDLER(VecU64CLoadFF8LSSZ) { return ldff1_ss<uint64_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS64LoadFF1YVSZ) { return ldff1_gather<uint8_t, uint64_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64LoadFF1YVSZ) { return ldff1_gather<uint8_t, uint64_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS64LoadFF1VIZ) { return ldff1_vi<uint8_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU64LoadFF1VIZ) { return ldff1_vi<uint8_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS64LoadFF1XVSZ) { return ldff1_gather<uint8_t, uint64_t, true, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64LoadFF1XVSZ) { return ldff1_gather<uint8_t, uint64_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecS64LoadFF1VSZ) { return ldff1_gather<uint8_t, uint64_t, true, offset::vs64>(state, insn); }
SVE_HANDLER(VecU64LoadFF1VSZ) { return ldff1_gather<uint8_t, uint64_t, false, offset::vs64>(state, insn); }
SVE_HANDLER(VecS64LoadFF2YVSZ) { return ldff1_gather<uint16_t, uint64_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64LoadFF2YVSZ) { return ldff1_gather<uint16_t, uint64_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS64LoadFF2YSVZ) { return ldff1_gather<uint16_t, uint64_t, true, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU64LoadFF2YSVZ) { return ldff1_gather<uint16_t, uint64_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecS64LoadFF2VIZ) { return ldff1_vi<uint16_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU64LoadFF2VIZ) { return ldff1_vi<uint16_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS64LoadFF2XVSZ) { return ldff1_gather<uint16_t, uint64_t, true, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64LoadFF2XVSZ) { return ldff1_gather<uint16_t, uint64_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecS64LoadFF2VSZ) { return ldff1_gather<uint16_t, uint64_t, true, offset::vs64>(state, insn); }
SVE_HANDLER(VecU64LoadFF2VSZ) { return ldff1_gather<uint16_t, uint64_t, false, offset::vs64>(state, insn); }
SVE_HANDLER(VecS64LoadFF2XSVZ) { return ldff1_gather<uint16_t, uint64_t, true, offset::sxtws>(state, insn); }
SVE_HANDLER(VecU64LoadFF2XSVZ) { return ldff1_gather<uint16_t, uint64_t, false, offset::sxtws>(state, insn); }
SVE_HANDLER(VecS64LoadFF2SVZ) { return ldff1_gather<uint16_t, uint64_t, true, offset::vs64s>(state, insn); }
SVE_HANDLER(VecU64LoadFF2SVZ) { return ldff1_gather<uint16_t, uint64_t, false, offset::vs64s>(state, insn); }
SVE_HANDLER(VecS64LoadFF4YVSZ) { return ldff1_gather<uint32_t, uint64_t, true, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64LoadFF4YVSZ) { return ldff1_gather<uint32_t, uint64_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecS64LoadFF4YSVZ) { return ldff1_gather<uint32_t, uint64_t, true, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU64LoadFF4YSVZ) { return ldff1_gather<uint32_t, uint64_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecS64LoadFF4VIZ) { return ldff1_vi<uint32_t, uint64_t, true>(state, insn); }
SVE_HANDLER(VecU64LoadFF4VIZ) { return ldff1_vi<uint32_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecS64LoadFF4XVSZ) { return ldff1_gather<uint32_t, uint64_t, true, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64LoadFF4XVSZ) { return ldff1_gather<uint32_t, uint64_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecS64LoadFF4VSZ) { return ldff1_gather<uint32_t, uint64_t, true, offset::vs64>(state, insn); }
SVE_HANDLER(VecU64LoadFF4VSZ) { return ldff1_gather<uint32_t, uint64_t, false, offset::vs64>(state, insn); }
SVE_HANDLER(VecS64LoadFF4XSVZ) { return ldff1_gather<uint32_t, uint64_t, true, offset::sxtws>(state, insn); }
SVE_HANDLER(VecU64LoadFF4XSVZ) { return ldff1_gather<uint32_t, uint64_t, false, offset::sxtws>(state, insn); }
SVE_HANDLER(VecS64LoadFF4SVZ) { return ldff1_gather<uint32_t, uint64_t, true, offset::vs64s>(state, insn); }
SVE_HANDLER(VecU64LoadFF4SVZ) { return ldff1_gather<uint32_t, uint64_t, false, offset::vs64s>(state, insn); }
SVE_HANDLER(VecU64LoadFF8YVSZ) { return ldff1_gather<uint64_t, uint64_t, false, offset::uxtw>(state, insn); }
SVE_HANDLER(VecU64LoadFF8YSVZ) { return ldff1_gather<uint64_t, uint64_t, false, offset::uxtws>(state, insn); }
SVE_HANDLER(VecU64LoadFF8VIZ) { return ldff1_vi<uint64_t, uint64_t, false>(state, insn); }
SVE_HANDLER(VecU64LoadFF8XVSZ) { return ldff1_gather<uint64_t, uint64_t, false, offset::sxtw>(state, insn); }
SVE_HANDLER(VecU64LoadFF8VSZ) { return ldff1_gather<uint64_t, uint64_t, false, offset::vs64>(state, insn); }
SVE_HANDLER(VecU64LoadFF8XSVZ) { return ldff1_gather<uint64_t, uint64_t, false, offset::sxtws>(state, insn); }
SVE_HANDLER(VecU64LoadFF8SVZ) { return ldff1_gather<uint64_t, uint64_t, false, offset::vs64s>(state, insn); }

}  // namespace

#define SVE_FAMILY first_fault
#include "sve/handlers/family_bindings.inc"
