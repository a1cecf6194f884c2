// Floating-point conversions and rounding: FRINTN/P/M/Z/A/I/X, FCVT between
// precisions, FCVTZS/FCVTZU to integers (toward zero, saturating) and
// SCVTF/UCVTF from integers (FPCR rounding). Every conversion works on
// containers of the wider of its two sizes: the source is the low bits of
// the container, the result fills it (integers sign- or zero-extended,
// floating-point results zero-extended).
#include <type_traits>

#include "sve/handlers/fp_handler_shapes.h"
#include "sve/handlers/half_widened.h"
#include "sve/kernels/fp_kernels.h"

namespace {

using zpz_kernel = aarch64_decode_rc (*)(cpu_state *, aarch64_z_reg, aarch64_p_reg, aarch64_z_reg, uint32_t, uint32_t *);

// ---- Round to integral ------------------------------------------------------

// Zd, Pg/M, Zn with a fixed rounding (FRINTN/P/M/Z/A).
template <typename T, FPRounding R>
aarch64_decode_rc frint_fixed(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2 && R == FPRounding_TIEAWAY)
        return delegate_fp(s, insn, static_cast<zpz_kernel>(sve_frinta_zpz), zfield<T>(insn, 0), pfield<T>(insn, 12, 10),
                           zfield<T>(insn, 5));
    return fp_unary_merge_host<T>(s, insn, [](T a, FPSCR &f) { return FPRoundInt(a, R, false, f); },
                                  FP_HOST_VEC([](auto x) {
                                      if constexpr (R == FPRounding_TIEEVEN) return host_fp_hw::v_frintn(x);
                                      else if constexpr (R == FPRounding_POSINF) return host_fp_hw::v_frintp(x);
                                      else if constexpr (R == FPRounding_NEGINF) return host_fp_hw::v_frintm(x);
                                      else if constexpr (R == FPRounding_ZERO) return host_fp_hw::v_frintz(x);
                                      else return host_fp_hw::v_frinta(x);
                                  }));
}
// FRINTI / FRINTX: FPCR rounding; FRINTX also raises inexact.
template <typename T, bool Exact>
aarch64_decode_rc frint_fpcr(cpu_state *s, uint32_t insn) {
    return fp_unary_merge_host<T>(s, insn, [](T a, FPSCR &f) { return FPRoundInt(a, fpcr_rounding(f), Exact, f); },
                                  FP_HOST_VEC([](auto x) {
                                      if constexpr (Exact) return host_fp_hw::v_frintx(x);
                                      else return host_fp_hw::v_frinti(x);
                                  }));
}

// ---- Between precisions -----------------------------------------------------

#if defined(__aarch64__)
// A conversion to or from half precision over containers C on the processor,
// 16 bytes at a time (VOP; inactive lanes convert 0, which raises nothing),
// with AHP clear: SVE's conversions always make and read IEEE half precision.
// False, with nothing done, when FPCR.AH asks for the alternate handling.
template <typename C, typename VOp>
bool half_conversion(cpu_state *s, uint32_t insn, VOp vop) {
    const uint32_t fpcr = fp_state_fpcr(s);
    if ((fpcr & half_widened::kAH) != 0) return false;
    s->insn = insn;
    uint32_t raised = 0;
    host_fp_scope scope = host_fp_begin(fpcr & ~uint32_t{FPSCR_AHP});
    host_fp_hw::merge_unary_pieces(s->p[pg3_num(insn)], s->z[zn_num(insn)], s->z[zd_num(insn)], C{0}, vop);
    host_fp_end(scope, &raised);
    fp_state_merge(s, raised);
    return true;
}
#endif

// FCVT over containers C from format From to format To, FPCR rounding. SVE's
// FCVT always uses IEEE half precision: FPCR.AHP is ignored.
template <typename C, typename From, typename To>
aarch64_decode_rc fcvt(cpu_state *s, uint32_t insn) {
    const auto op = [](C a, FPSCR &f) {
        f &= ~FPSCR_AHP;
        return C(FPConvert<From, To>(From(a), fpcr_rounding(f), f));
    };
    if constexpr (sizeof(From) >= 4 && sizeof(To) >= 4)  // single <-> double: the processor's FCVTL/FCVTN
        return fp_unary_merge_host<C>(s, insn, op, FP_HOST_VEC([](auto x) {
                                          if constexpr (sizeof(From) == 4) return host_fp_hw::v_fcvt_single_to_double(x);
                                          else return host_fp_hw::v_fcvt_double_to_single(x);
                                      }));
#if defined(__aarch64__)
    // Half <-> single in 32-bit containers: the processor's FCVTL/FCVTN too,
    // which every Armv8 processor has, with AHP clear (the half in the
    // container's low bits, the high bits zero).
    if constexpr (sizeof(C) == 4 && sizeof(From) + sizeof(To) == 6)
        if (half_conversion<C>(s, insn, [](uint32x4_t x) {
                if constexpr (sizeof(From) == 2) return host_fp_hw::v_widen4(vmovn_u32(x));
                else return vmovl_u16(host_fp_hw::v_narrow4(x));
            }))
            return DECODE_OK;
#endif
    return fp_unary_merge<C>(s, insn, op);
}

// ---- To integer -------------------------------------------------------------

// FCVTZS/FCVTZU over containers C: the From value (low bits) to an integer of
// type Int (its width and signedness), toward zero, saturating, extended to C.
template <typename C, typename From, typename Int>
aarch64_decode_rc fcvtz(cpu_state *s, uint32_t insn) {
    using UInt = std::make_unsigned_t<Int>;
    const auto op = [](C a, FPSCR &f) {
        const UInt bits = fplibFPToFixed<From, UInt>(From(a), 0, std::is_unsigned_v<Int>, FPRounding_ZERO, f);
        return C(static_cast<std::conditional_t<std::is_signed_v<Int>, std::make_signed_t<C>, C>>(static_cast<Int>(bits)));
    };
    if constexpr (sizeof(From) == sizeof(C) && sizeof(Int) == sizeof(C))
        return fp_unary_merge_host<C>(s, insn, op, FP_HOST_VEC([](auto x) {
                                          if constexpr (std::is_signed_v<Int>) return host_fp_hw::v_fcvtzs(x);
                                          else return host_fp_hw::v_fcvtzu(x);
                                      }));
    // Single to a 64-bit integer: widened to double first (exact, and raising
    // what the conversion would for a NaN or, under FZ, a denormal), then
    // converted; every result and flag is the direct conversion's.
    if constexpr (sizeof(From) == 4 && sizeof(Int) == 8)
        return fp_unary_merge_host<C>(s, insn, op, FP_HOST_VEC([](auto x) {
                                          const auto wide = host_fp_hw::v_fcvt_single_to_double(x);
                                          if constexpr (std::is_signed_v<Int>) return host_fp_hw::v_fcvtzs(wide);
                                          else return host_fp_hw::v_fcvtzu(wide);
                                      }));
    return fp_unary_merge<C>(s, insn, op);
}

// ---- From integer -----------------------------------------------------------

// SCVTF/UCVTF over containers C: the integer Int (low bits, its signedness) to
// format To with the FPCR rounding, zero-extended to C.
template <typename C, typename Int, typename To>
aarch64_decode_rc cvtf(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    // 16-bit integers to half precision: each converts to single precision
    // exactly, which narrows to half precision with the one rounding (and the
    // flags) of the direct conversion.
    if constexpr (sizeof(C) == 2 && sizeof(Int) == 2)
        if (half_conversion<C>(s, insn, [](uint16x8_t x) {
                uint32x4_t lo, hi;
                host_fp_hw::v_int_to_wider_fp<std::is_signed_v<Int>>(x, lo, hi);
                return host_fp_hw::v_narrow(lo, hi);
            }))
            return DECODE_OK;
    // 32-bit integers to half precision (in 32-bit containers): exactly to
    // double precision, rounded to odd to single precision, then rounded to
    // half precision, which is the direct conversion's one rounding.
    if constexpr (sizeof(C) == 4 && sizeof(Int) == 4 && sizeof(To) == 2)
        if (half_conversion<C>(s, insn, [](uint32x4_t x) {
                uint64x2_t lo, hi;
                host_fp_hw::v_int_to_wider_fp<std::is_signed_v<Int>>(x, lo, hi);
                return vmovl_u16(host_fp_hw::v_narrow4(host_fp_hw::v_narrow_to_odd(lo, hi)));
            }))
            return DECODE_OK;
#endif
    return fp_unary_merge<C>(s, insn, [](C a, FPSCR &f) {
        const Int v = static_cast<Int>(static_cast<std::make_unsigned_t<Int>>(a));
        const uint64_t wide = std::is_signed_v<Int> ? uint64_t(int64_t(v)) : uint64_t(v);
        return C(fplibFixedToFP<To>(wide, 0, std::is_unsigned_v<Int>, fpcr_rounding(f), f));
    });
}
// The forms with a host-FP kernel.
template <typename C>
aarch64_decode_rc cvtf_kernel(cpu_state *s, uint32_t insn, zpz_kernel k) {
    return delegate_fp(s, insn, k, zfield<C>(insn, 0), pfield<C>(insn, 12, 10), zfield<C>(insn, 5));
}

FP_HANDLERS(FRIntNVM, frint_fixed<T, FPRounding_TIEEVEN>(state, insn))
FP_HANDLERS(FRIntPVM, frint_fixed<T, FPRounding_POSINF>(state, insn))
FP_HANDLERS(FRIntMVM, frint_fixed<T, FPRounding_NEGINF>(state, insn))
FP_HANDLERS(FRIntZVM, frint_fixed<T, FPRounding_ZERO>(state, insn))
FP_HANDLERS(FRIntAVM, frint_fixed<T, FPRounding_TIEAWAY>(state, insn))
FP_HANDLERS(FRIntIVM, frint_fpcr<T, false>(state, insn))
FP_HANDLERS(FRIntXVM, frint_fpcr<T, true>(state, insn))

SVE_HANDLER(VecF32ExtndHVM) { return fcvt<uint32_t, uint16_t, uint32_t>(state, insn); }
SVE_HANDLER(VecD64ExtndHVM) { return fcvt<uint64_t, uint16_t, uint64_t>(state, insn); }
SVE_HANDLER(VecD64ExtndFVM) { return fcvt<uint64_t, uint32_t, uint64_t>(state, insn); }
SVE_HANDLER(VecH32TruncFVM) { return fcvt<uint32_t, uint32_t, uint16_t>(state, insn); }
SVE_HANDLER(VecH64TruncDVM) { return fcvt<uint64_t, uint64_t, uint16_t>(state, insn); }
SVE_HANDLER(VecF64TruncDVM) { return fcvt<uint64_t, uint64_t, uint32_t>(state, insn); }

SVE_HANDLER(VecS16_2FromHVM) { return fcvtz<uint16_t, uint16_t, int16_t>(state, insn); }
SVE_HANDLER(VecU16_2FromHVM) { return fcvtz<uint16_t, uint16_t, uint16_t>(state, insn); }
SVE_HANDLER(VecS32_4FromHVM) { return fcvtz<uint32_t, uint16_t, int32_t>(state, insn); }
SVE_HANDLER(VecU32_4FromHVM) { return fcvtz<uint32_t, uint16_t, uint32_t>(state, insn); }
SVE_HANDLER(VecS64_8FromHVM) { return fcvtz<uint64_t, uint16_t, int64_t>(state, insn); }
SVE_HANDLER(VecU64_8FromHVM) { return fcvtz<uint64_t, uint16_t, uint64_t>(state, insn); }
SVE_HANDLER(VecS32_4FromFVM) { return fcvtz<uint32_t, uint32_t, int32_t>(state, insn); }
SVE_HANDLER(VecU32_4FromFVM) { return fcvtz<uint32_t, uint32_t, uint32_t>(state, insn); }
SVE_HANDLER(VecS64_8FromFVM) { return fcvtz<uint64_t, uint32_t, int64_t>(state, insn); }
SVE_HANDLER(VecU64_8FromFVM) { return fcvtz<uint64_t, uint32_t, uint64_t>(state, insn); }
SVE_HANDLER(VecS64_4FromDVM) { return fcvtz<uint64_t, uint64_t, int32_t>(state, insn); }
SVE_HANDLER(VecU64_4FromDVM) { return fcvtz<uint64_t, uint64_t, uint32_t>(state, insn); }
SVE_HANDLER(VecS64_8FromDVM) { return fcvtz<uint64_t, uint64_t, int64_t>(state, insn); }
SVE_HANDLER(VecU64_8FromDVM) { return fcvtz<uint64_t, uint64_t, uint64_t>(state, insn); }

SVE_HANDLER(VecF16FromS2VM) { return cvtf<uint16_t, int16_t, uint16_t>(state, insn); }
SVE_HANDLER(VecF16FromU2VM) { return cvtf<uint16_t, uint16_t, uint16_t>(state, insn); }
SVE_HANDLER(VecF16FromS4VM) { return cvtf<uint32_t, int32_t, uint16_t>(state, insn); }
SVE_HANDLER(VecF16FromU4VM) { return cvtf<uint32_t, uint32_t, uint16_t>(state, insn); }
SVE_HANDLER(VecF16FromS8VM) { return cvtf<uint64_t, int64_t, uint16_t>(state, insn); }
SVE_HANDLER(VecF16FromU8VM) { return cvtf<uint64_t, uint64_t, uint16_t>(state, insn); }
SVE_HANDLER(VecF64FromU8VM) { return cvtf<uint64_t, uint64_t, uint32_t>(state, insn); }
SVE_HANDLER(VecF32FromS4VM) { return cvtf_kernel<uint32_t>(state, insn, sve_scvtf_s2s_zpz); }
SVE_HANDLER(VecF32FromU4VM) { return cvtf_kernel<uint32_t>(state, insn, sve_ucvtf_s2s_zpz); }
SVE_HANDLER(VecD64FromS4VM) { return cvtf_kernel<uint64_t>(state, insn, sve_scvtf_s2d_zpz); }
SVE_HANDLER(VecD64FromU4VM) { return cvtf_kernel<uint64_t>(state, insn, sve_ucvtf_s2d_zpz); }
SVE_HANDLER(VecF64FromS8VM) { return cvtf_kernel<uint64_t>(state, insn, sve_scvtf_d2s_zpz); }
SVE_HANDLER(VecD64FromS8VM) { return cvtf_kernel<uint64_t>(state, insn, sve_scvtf_d2d_zpz); }
SVE_HANDLER(VecD64FromU8VM) { return cvtf_kernel<uint64_t>(state, insn, sve_ucvtf_d2d_zpz); }

}  // namespace

#define SVE_FAMILY fp_convert
#include "sve/handlers/family_bindings.inc"
