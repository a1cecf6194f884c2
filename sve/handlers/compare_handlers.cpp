// Integer compares into predicates (vectors, immediates, wide elements); every
// form sets the condition flags.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/compare_kernels.h"
#include "sve/kernels/compare_lanes.h"

namespace {

// Pd 3..0, Pg 12..10, Zn 9..5, Zm 20..16. Vector compares, and immediate ones
// (signed 5-bit immediate at 20..16, or unsigned 7-bit at 20..14), by element
// type and condition.
inline int simm5(uint32_t insn) { return sfield(insn, 20, 16); }
inline unsigned uimm7(uint32_t insn) { return field(insn, 20, 14); }
template <typename T, int_cond C>
aarch64_decode_rc vv(cpu_state *s, uint32_t insn) {
    return sve_compare_zz<T, C>(s, field(insn, 3, 0), field(insn, 12, 10), field(insn, 9, 5), field(insn, 20, 16));
}
template <typename T, int_cond C>
aarch64_decode_rc vi(cpu_state *s, uint32_t insn) {
    return sve_compare_zi<T, C>(s, field(insn, 3, 0), field(insn, 12, 10), field(insn, 9, 5),
                                static_cast<uint64_t>(int64_t{simm5(insn)}));
}
template <typename T, int_cond C>
aarch64_decode_rc vu(cpu_state *s, uint32_t insn) {
    return sve_compare_zi<T, C>(s, field(insn, 3, 0), field(insn, 12, 10), field(insn, 9, 5), uimm7(insn));
}
// Against the 64-bit element of Zm that covers the same 64-bit lane.
template <typename T, int_cond C>
aarch64_decode_rc vw(cpu_state *s, uint32_t insn) {
    return sve_compare_wide<T, C>(s, field(insn, 3, 0), field(insn, 12, 10), field(insn, 9, 5), field(insn, 20, 16));
}

// CMPEQ, CMPNE.
SVE_HANDLER(VecS8CmpFlgEQVVZ) { return vv<uint8_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS16CmpFlgEQVVZ) { return vv<uint16_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS32CmpFlgEQVVZ) { return vv<uint32_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS64CmpFlgEQVVZ) { return vv<uint64_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS8CmpFlgNEVVZ) { return vv<uint8_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS16CmpFlgNEVVZ) { return vv<uint16_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS32CmpFlgNEVVZ) { return vv<uint32_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS64CmpFlgNEVVZ) { return vv<uint64_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS8CmpFlgEQVIZ) { return vi<uint8_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS16CmpFlgEQVIZ) { return vi<uint16_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS32CmpFlgEQVIZ) { return vi<uint32_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS64CmpFlgEQVIZ) { return vi<uint64_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS8CmpFlgNEVIZ) { return vi<uint8_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS16CmpFlgNEVIZ) { return vi<uint16_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS32CmpFlgNEVIZ) { return vi<uint32_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS64CmpFlgNEVIZ) { return vi<uint64_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS8CmpFlgEQVWZ) { return vw<uint8_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS16CmpFlgEQVWZ) { return vw<uint16_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS32CmpFlgEQVWZ) { return vw<uint32_t, int_cond::eq>(state, insn); }
SVE_HANDLER(VecS8CmpFlgNEVWZ) { return vw<uint8_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS16CmpFlgNEVWZ) { return vw<uint16_t, int_cond::ne>(state, insn); }
SVE_HANDLER(VecS32CmpFlgNEVWZ) { return vw<uint32_t, int_cond::ne>(state, insn); }

// CMPGE/CMPGT/CMPLE/CMPLT (signed) and CMPHS/CMPHI/CMPLS/CMPLO (unsigned).
SVE_HANDLER(VecS8CmpFlgGEVVZ) { return vv<uint8_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecS16CmpFlgGEVVZ) { return vv<uint16_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecS32CmpFlgGEVVZ) { return vv<uint32_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecS64CmpFlgGEVVZ) { return vv<uint64_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecU8CmpFlgGEVVZ) { return vv<uint8_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecU16CmpFlgGEVVZ) { return vv<uint16_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecU32CmpFlgGEVVZ) { return vv<uint32_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecU64CmpFlgGEVVZ) { return vv<uint64_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecS8CmpFlgGTVVZ) { return vv<uint8_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecS16CmpFlgGTVVZ) { return vv<uint16_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecS32CmpFlgGTVVZ) { return vv<uint32_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecS64CmpFlgGTVVZ) { return vv<uint64_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecU8CmpFlgGTVVZ) { return vv<uint8_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecU16CmpFlgGTVVZ) { return vv<uint16_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecU32CmpFlgGTVVZ) { return vv<uint32_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecU64CmpFlgGTVVZ) { return vv<uint64_t, int_cond::hi>(state, insn); }

SVE_HANDLER(VecS8CmpFlgGEVIZ) { return vi<uint8_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecS16CmpFlgGEVIZ) { return vi<uint16_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecS32CmpFlgGEVIZ) { return vi<uint32_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecS64CmpFlgGEVIZ) { return vi<uint64_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecU8CmpFlgGEVIZ) { return vu<uint8_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecU16CmpFlgGEVIZ) { return vu<uint16_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecU32CmpFlgGEVIZ) { return vu<uint32_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecU64CmpFlgGEVIZ) { return vu<uint64_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecS8CmpFlgGTVIZ) { return vi<uint8_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecS16CmpFlgGTVIZ) { return vi<uint16_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecS32CmpFlgGTVIZ) { return vi<uint32_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecS64CmpFlgGTVIZ) { return vi<uint64_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecU8CmpFlgGTVIZ) { return vu<uint8_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecU16CmpFlgGTVIZ) { return vu<uint16_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecU32CmpFlgGTVIZ) { return vu<uint32_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecU64CmpFlgGTVIZ) { return vu<uint64_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecS8CmpFlgLEVIZ) { return vi<uint8_t, int_cond::le>(state, insn); }
SVE_HANDLER(VecS16CmpFlgLEVIZ) { return vi<uint16_t, int_cond::le>(state, insn); }
SVE_HANDLER(VecS32CmpFlgLEVIZ) { return vi<uint32_t, int_cond::le>(state, insn); }
SVE_HANDLER(VecS64CmpFlgLEVIZ) { return vi<uint64_t, int_cond::le>(state, insn); }
SVE_HANDLER(VecU8CmpFlgLEVIZ) { return vu<uint8_t, int_cond::ls>(state, insn); }
SVE_HANDLER(VecU16CmpFlgLEVIZ) { return vu<uint16_t, int_cond::ls>(state, insn); }
SVE_HANDLER(VecU32CmpFlgLEVIZ) { return vu<uint32_t, int_cond::ls>(state, insn); }
SVE_HANDLER(VecU64CmpFlgLEVIZ) { return vu<uint64_t, int_cond::ls>(state, insn); }
SVE_HANDLER(VecS8CmpFlgLTVIZ) { return vi<uint8_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecS16CmpFlgLTVIZ) { return vi<uint16_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecS32CmpFlgLTVIZ) { return vi<uint32_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecS64CmpFlgLTVIZ) { return vi<uint64_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecU8CmpFlgLTVIZ) { return vu<uint8_t, int_cond::lo>(state, insn); }
SVE_HANDLER(VecU16CmpFlgLTVIZ) { return vu<uint16_t, int_cond::lo>(state, insn); }
SVE_HANDLER(VecU32CmpFlgLTVIZ) { return vu<uint32_t, int_cond::lo>(state, insn); }
SVE_HANDLER(VecU64CmpFlgLTVIZ) { return vu<uint64_t, int_cond::lo>(state, insn); }

SVE_HANDLER(VecS8CmpFlgGEVWZ) { return vw<uint8_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecS16CmpFlgGEVWZ) { return vw<uint16_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecS32CmpFlgGEVWZ) { return vw<uint32_t, int_cond::ge>(state, insn); }
SVE_HANDLER(VecU8CmpFlgGEVWZ) { return vw<uint8_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecU16CmpFlgGEVWZ) { return vw<uint16_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecU32CmpFlgGEVWZ) { return vw<uint32_t, int_cond::hs>(state, insn); }
SVE_HANDLER(VecS8CmpFlgGTVWZ) { return vw<uint8_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecS16CmpFlgGTVWZ) { return vw<uint16_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecS32CmpFlgGTVWZ) { return vw<uint32_t, int_cond::gt>(state, insn); }
SVE_HANDLER(VecU8CmpFlgGTVWZ) { return vw<uint8_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecU16CmpFlgGTVWZ) { return vw<uint16_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecU32CmpFlgGTVWZ) { return vw<uint32_t, int_cond::hi>(state, insn); }
SVE_HANDLER(VecS8CmpFlgLEVWZ) { return vw<uint8_t, int_cond::le>(state, insn); }
SVE_HANDLER(VecS16CmpFlgLEVWZ) { return vw<uint16_t, int_cond::le>(state, insn); }
SVE_HANDLER(VecS32CmpFlgLEVWZ) { return vw<uint32_t, int_cond::le>(state, insn); }
SVE_HANDLER(VecU8CmpFlgLEVWZ) { return vw<uint8_t, int_cond::ls>(state, insn); }
SVE_HANDLER(VecU16CmpFlgLEVWZ) { return vw<uint16_t, int_cond::ls>(state, insn); }
SVE_HANDLER(VecU32CmpFlgLEVWZ) { return vw<uint32_t, int_cond::ls>(state, insn); }
SVE_HANDLER(VecS8CmpFlgLTVWZ) { return vw<uint8_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecS16CmpFlgLTVWZ) { return vw<uint16_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecS32CmpFlgLTVWZ) { return vw<uint32_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecU8CmpFlgLTVWZ) { return vw<uint8_t, int_cond::lo>(state, insn); }
SVE_HANDLER(VecU16CmpFlgLTVWZ) { return vw<uint16_t, int_cond::lo>(state, insn); }
SVE_HANDLER(VecU32CmpFlgLTVWZ) { return vw<uint32_t, int_cond::lo>(state, insn); }


}  // namespace

#define SVE_FAMILY compare
#include "sve/handlers/family_bindings.inc"
