// Integer compares into predicates (vectors, immediates, wide elements); every
// form sets the condition flags.
#include <type_traits>

#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/compare_kernels.h"
#include "sve/kernels/compare_lanes.h"
#include "sve/support/predicate_flags.h"

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

// Compares computed here. The element and the operand are compared as 64-bit
// values, sign- or zero-extended per the handler's signedness.
enum class cond { eq, ne, ge, gt, le, lt };
template <bool Unsigned>
bool holds(cond c, uint64_t a, uint64_t b) {
    using V = std::conditional_t<Unsigned, uint64_t, int64_t>;
    const V x = static_cast<V>(a), y = static_cast<V>(b);
    switch (c) {
    case cond::eq: return x == y;
    case cond::ne: return x != y;
    case cond::ge: return x >= y;
    case cond::gt: return x > y;
    case cond::le: return x <= y;
    case cond::lt: return x < y;
    }
    return false;
}

template <typename T, bool Unsigned>
uint64_t extend(T v) {
    if constexpr (Unsigned)
        return v;
    else
        return static_cast<uint64_t>(static_cast<int64_t>(static_cast<std::make_signed_t<T>>(v)));
}

// operand(e) gives the 64-bit second operand of element e.
template <typename T, bool Unsigned, typename Operand>
aarch64_decode_rc compare(cpu_state *s, uint32_t insn, cond c, Operand operand) {
    const vec_buf zn = stage_z(s, zn_num(insn));
    const PredV g = stage_p(s, pg3_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        PredV r{};
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e)
            set_element<T>(r, e, active<T>(g, e) && holds<Unsigned>(c, extend<T, Unsigned>(elem_get<T>(zn.b, e)), operand(e)));
        PredSetNZCV(g, r, sizeof(T) * 8, &ctx);
        write_p(s, field(insn, 3, 0), r);
    });
}

// Against the 64-bit element of Zm that covers the same 64-bit lane.
template <typename T, bool Unsigned>
aarch64_decode_rc compare_wide(cpu_state *s, uint32_t insn, cond c) {
    const vec_buf zm = stage_z(s, zm_num(insn));
    return compare<T, Unsigned>(s, insn, c, [&](unsigned e) { return elem_get<uint64_t>(zm.b, e * sizeof(T) / 8); });
}
// Against the immediate (signed imm5, or unsigned imm7 for the unsigned forms).
template <typename T, bool Unsigned>
aarch64_decode_rc compare_imm(cpu_state *s, uint32_t insn, cond c) {
    const uint64_t imm = Unsigned ? uint64_t{uimm7(insn)} : static_cast<uint64_t>(int64_t{simm5(insn)});
    return compare<T, Unsigned>(s, insn, c, [imm](unsigned) { return imm; });
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
SVE_HANDLER(VecS8CmpFlgEQVWZ) { return compare_wide<uint8_t, false>(state, insn, cond::eq); }
SVE_HANDLER(VecS16CmpFlgEQVWZ) { return compare_wide<uint16_t, false>(state, insn, cond::eq); }
SVE_HANDLER(VecS32CmpFlgEQVWZ) { return compare_wide<uint32_t, false>(state, insn, cond::eq); }
SVE_HANDLER(VecS8CmpFlgNEVWZ) { return compare_wide<uint8_t, false>(state, insn, cond::ne); }
SVE_HANDLER(VecS16CmpFlgNEVWZ) { return compare_wide<uint16_t, false>(state, insn, cond::ne); }
SVE_HANDLER(VecS32CmpFlgNEVWZ) { return compare_wide<uint32_t, false>(state, insn, cond::ne); }

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

SVE_HANDLER(VecS8CmpFlgGEVIZ) { return compare_imm<uint8_t, false>(state, insn, cond::ge); }
SVE_HANDLER(VecS16CmpFlgGEVIZ) { return compare_imm<uint16_t, false>(state, insn, cond::ge); }
SVE_HANDLER(VecS32CmpFlgGEVIZ) { return compare_imm<uint32_t, false>(state, insn, cond::ge); }
SVE_HANDLER(VecS64CmpFlgGEVIZ) { return compare_imm<uint64_t, false>(state, insn, cond::ge); }
SVE_HANDLER(VecU8CmpFlgGEVIZ) { return compare_imm<uint8_t, true>(state, insn, cond::ge); }
SVE_HANDLER(VecU16CmpFlgGEVIZ) { return compare_imm<uint16_t, true>(state, insn, cond::ge); }
SVE_HANDLER(VecU32CmpFlgGEVIZ) { return compare_imm<uint32_t, true>(state, insn, cond::ge); }
SVE_HANDLER(VecU64CmpFlgGEVIZ) { return compare_imm<uint64_t, true>(state, insn, cond::ge); }
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
SVE_HANDLER(VecU8CmpFlgLEVIZ) { return compare_imm<uint8_t, true>(state, insn, cond::le); }
SVE_HANDLER(VecU16CmpFlgLEVIZ) { return compare_imm<uint16_t, true>(state, insn, cond::le); }
SVE_HANDLER(VecU32CmpFlgLEVIZ) { return compare_imm<uint32_t, true>(state, insn, cond::le); }
SVE_HANDLER(VecU64CmpFlgLEVIZ) { return compare_imm<uint64_t, true>(state, insn, cond::le); }
SVE_HANDLER(VecS8CmpFlgLTVIZ) { return vi<uint8_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecS16CmpFlgLTVIZ) { return vi<uint16_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecS32CmpFlgLTVIZ) { return vi<uint32_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecS64CmpFlgLTVIZ) { return vi<uint64_t, int_cond::lt>(state, insn); }
SVE_HANDLER(VecU8CmpFlgLTVIZ) { return vu<uint8_t, int_cond::lo>(state, insn); }
SVE_HANDLER(VecU16CmpFlgLTVIZ) { return vu<uint16_t, int_cond::lo>(state, insn); }
SVE_HANDLER(VecU32CmpFlgLTVIZ) { return vu<uint32_t, int_cond::lo>(state, insn); }
SVE_HANDLER(VecU64CmpFlgLTVIZ) { return vu<uint64_t, int_cond::lo>(state, insn); }

SVE_HANDLER(VecS8CmpFlgGEVWZ) { return compare_wide<uint8_t, false>(state, insn, cond::ge); }
SVE_HANDLER(VecS16CmpFlgGEVWZ) { return compare_wide<uint16_t, false>(state, insn, cond::ge); }
SVE_HANDLER(VecS32CmpFlgGEVWZ) { return compare_wide<uint32_t, false>(state, insn, cond::ge); }
SVE_HANDLER(VecU8CmpFlgGEVWZ) { return compare_wide<uint8_t, true>(state, insn, cond::ge); }
SVE_HANDLER(VecU16CmpFlgGEVWZ) { return compare_wide<uint16_t, true>(state, insn, cond::ge); }
SVE_HANDLER(VecU32CmpFlgGEVWZ) { return compare_wide<uint32_t, true>(state, insn, cond::ge); }
SVE_HANDLER(VecS8CmpFlgGTVWZ) { return compare_wide<uint8_t, false>(state, insn, cond::gt); }
SVE_HANDLER(VecS16CmpFlgGTVWZ) { return compare_wide<uint16_t, false>(state, insn, cond::gt); }
SVE_HANDLER(VecS32CmpFlgGTVWZ) { return compare_wide<uint32_t, false>(state, insn, cond::gt); }
SVE_HANDLER(VecU8CmpFlgGTVWZ) { return compare_wide<uint8_t, true>(state, insn, cond::gt); }
SVE_HANDLER(VecU16CmpFlgGTVWZ) { return compare_wide<uint16_t, true>(state, insn, cond::gt); }
SVE_HANDLER(VecU32CmpFlgGTVWZ) { return compare_wide<uint32_t, true>(state, insn, cond::gt); }
SVE_HANDLER(VecS8CmpFlgLEVWZ) { return compare_wide<uint8_t, false>(state, insn, cond::le); }
SVE_HANDLER(VecS16CmpFlgLEVWZ) { return compare_wide<uint16_t, false>(state, insn, cond::le); }
SVE_HANDLER(VecS32CmpFlgLEVWZ) { return compare_wide<uint32_t, false>(state, insn, cond::le); }
SVE_HANDLER(VecU8CmpFlgLEVWZ) { return compare_wide<uint8_t, true>(state, insn, cond::le); }
SVE_HANDLER(VecU16CmpFlgLEVWZ) { return compare_wide<uint16_t, true>(state, insn, cond::le); }
SVE_HANDLER(VecU32CmpFlgLEVWZ) { return compare_wide<uint32_t, true>(state, insn, cond::le); }
SVE_HANDLER(VecS8CmpFlgLTVWZ) { return compare_wide<uint8_t, false>(state, insn, cond::lt); }
SVE_HANDLER(VecS16CmpFlgLTVWZ) { return compare_wide<uint16_t, false>(state, insn, cond::lt); }
SVE_HANDLER(VecS32CmpFlgLTVWZ) { return compare_wide<uint32_t, false>(state, insn, cond::lt); }
SVE_HANDLER(VecU8CmpFlgLTVWZ) { return compare_wide<uint8_t, true>(state, insn, cond::lt); }
SVE_HANDLER(VecU16CmpFlgLTVWZ) { return compare_wide<uint16_t, true>(state, insn, cond::lt); }
SVE_HANDLER(VecU32CmpFlgLTVWZ) { return compare_wide<uint32_t, true>(state, insn, cond::lt); }


}  // namespace

#define SVE_FAMILY compare
#include "sve/handlers/family_bindings.inc"
