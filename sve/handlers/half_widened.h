// Half-precision arithmetic on the host FPU through wider formats, for
// processors with or without the half-precision instructions (the conversions
// between half and single precision are in every Armv8 processor).
//
// The operands are widened (exactly), the operation rounds once in the wider
// format under the emulated rounding mode, and the result is narrowed to half
// precision. That is the half-precision result, with its flags:
//   - add, subtract, multiply and divide in single precision: 24 bits are at
//     least twice half precision's 11 plus 2, so the second rounding never
//     changes what the first left (a directed rounding, done twice the same
//     way, is the same as once);
//   - multiply-add in double precision, narrowed by rounding to odd to single
//     precision and then to half: the product is exact, and the sum is exact
//     unless its terms lie more than 53 bits apart, where neither term can put
//     the result next to a half-precision rounding boundary.
// Every intermediate value is a normal number of its format, so nothing
// underflows or is flushed before the narrowing, which decides overflow,
// underflow and inexactness as the half-precision operation does; an invalid
// operation (0 * infinity, infinity - infinity) makes the default NaN in the
// wider format, which narrows to half precision's. The path is taken when the
// emulated FPCR neither flushes half-precision values (FZ16) nor asks for the
// alternate handling (AH), and no active operand is a NaN, whose choice and
// quieting the library makes. Otherwise the callers use the library.
#pragma once

#include <cstdint>
#include <cstring>

#include "sve/handlers/fp_handler_shapes.h"

#if defined(__aarch64__)
#include <arm_neon.h>

namespace half_widened {

constexpr uint32_t kFZ16 = 1u << 19, kAH = 1u << 1;
// The host FPCR of the path: the emulated one without AHP (half-precision
// arithmetic ignores it, the conversions would not) and FZ (which concerns
// single and double precision only; no intermediate is denormal anyway).
constexpr uint32_t kNotForConversions = (1u << 26) | (1u << 24);
constexpr uint16_t kHalfOne = 0x3C00;

// Whether any active element (by Pg's element bits; every element when G is
// null) of a half-precision image is a NaN.
inline bool any_active_nan(const unsigned char *g, const unsigned char *v) {
    uint16_t any = 0;
    for (unsigned e = 0; e < kVecBytes / 2; ++e) {
        uint16_t x;
        std::memcpy(&x, v + 2 * e, 2);
        any |= uint16_t(uint16_t(x & 0x7FFF) > 0x7C00) & (g != nullptr ? g[2 * e] : 1);
    }
    return (any & 1) != 0;
}

// The active lanes of 16 bytes of Pg, as all-ones 16-bit lanes.
inline uint16x8_t active_lanes(const unsigned char *g) {
    uint16x8_t m;
    std::memcpy(&m, g, 16);
    return host_fp_hw::v_low_bit(m);
}

// D = op(A, B) for the active elements of G (every element when G is null),
// the others A; B an image, or null for the immediate IMM in every lane. OP
// works on single-precision lanes. Returns false, with nothing done, where
// the path does not apply.
template <typename Op>
bool binary(cpu_state *s, uint32_t insn, const unsigned char *g, const unsigned char *a, const unsigned char *b,
            uint16_t imm, unsigned char *d, Op op) {
    const uint32_t fpcr = fp_state_fpcr(s);
    if ((fpcr & (kFZ16 | kAH)) != 0 || any_active_nan(g, a) || (b != nullptr && any_active_nan(g, b))) return false;
    s->insn = insn;
    const uint16x8_t one = vdupq_n_u16(kHalfOne), splat = vdupq_n_u16(imm), all = vdupq_n_u16(0xFFFF);
    vec_buf r;
    uint32_t raised = 0;
    host_fp_scope scope = host_fp_begin(fpcr & ~kNotForConversions);
    for (unsigned off = 0; off < kVecBytes; off += 16) {
        const uint16x8_t m = g != nullptr ? active_lanes(g + off) : all;
        uint16x8_t x, y = splat;
        std::memcpy(&x, a + off, 16);
        if (b != nullptr) std::memcpy(&y, b + off, 16);
        uint32x4_t xl, xh, yl, yh;
        host_fp_hw::v_widen(vbslq_u16(m, x, one), xl, xh);
        host_fp_hw::v_widen(vbslq_u16(m, y, one), yl, yh);
        const uint16x8_t out = vbslq_u16(m, host_fp_hw::v_narrow(op(xl, yl), op(xh, yh)), x);
        std::memcpy(r.b + off, &out, 16);
    }
    host_fp_end(scope, &raised);
    std::memcpy(d, r.b, kVecBytes);
    fp_state_merge(s, raised);
    return true;
}

// D = [-]Acc + [-]N * M for the active elements of G (every element when G is
// null), the others keeping D: in double precision, narrowed through single
// precision rounded to odd.
template <bool NegAcc, bool NegProduct>
bool muladd(cpu_state *s, uint32_t insn, const unsigned char *g, const unsigned char *pa, const unsigned char *pn,
            const unsigned char *pm, unsigned char *d) {
    const uint32_t fpcr = fp_state_fpcr(s);
    if ((fpcr & (kFZ16 | kAH)) != 0 || any_active_nan(g, pa) || any_active_nan(g, pn) || any_active_nan(g, pm))
        return false;
    s->insn = insn;
    const uint16x8_t one = vdupq_n_u16(kHalfOne), sign = vdupq_n_u16(0x8000), all = vdupq_n_u16(0xFFFF);
    vec_buf r;
    uint32_t raised = 0;
    host_fp_scope scope = host_fp_begin(fpcr & ~kNotForConversions);
    for (unsigned off = 0; off < kVecBytes; off += 16) {
        const uint16x8_t mask = g != nullptr ? active_lanes(g + off) : all;
        uint16x8_t va, vn, vm, old;
        std::memcpy(&va, pa + off, 16);
        std::memcpy(&vn, pn + off, 16);
        std::memcpy(&vm, pm + off, 16);
        std::memcpy(&old, d + off, 16);
        if constexpr (NegAcc) va = veorq_u16(va, sign);
        if constexpr (NegProduct) vn = veorq_u16(vn, sign);
        uint32x4_t al, ah, nl, nh, ml, mh;
        host_fp_hw::v_widen(vbslq_u16(mask, va, one), al, ah);
        host_fp_hw::v_widen(vbslq_u16(mask, vn, one), nl, nh);
        host_fp_hw::v_widen(vbslq_u16(mask, vm, one), ml, mh);
        uint32x4_t halves[2];
        const uint32x4_t as[2] = {al, ah}, ns[2] = {nl, nh}, ms[2] = {ml, mh};
        for (unsigned k = 0; k < 2; ++k) {
            uint64x2_t a0, a1, n0, n1, m0, m1;
            host_fp_hw::v_widen(as[k], a0, a1);
            host_fp_hw::v_widen(ns[k], n0, n1);
            host_fp_hw::v_widen(ms[k], m0, m1);
            halves[k] = host_fp_hw::v_narrow_to_odd(host_fp_hw::v_fmla(a0, n0, m0), host_fp_hw::v_fmla(a1, n1, m1));
        }
        const uint16x8_t out = vbslq_u16(mask, host_fp_hw::v_narrow(halves[0], halves[1]), old);
        std::memcpy(r.b + off, &out, 16);
    }
    host_fp_end(scope, &raised);
    std::memcpy(d, r.b, kVecBytes);
    fp_state_merge(s, raised);
    return true;
}

// Each 128-bit segment's element INDEX of Z in all eight of its lanes (the
// indexed forms' second operand).
inline void segment_broadcast(const unsigned char *z, unsigned index, unsigned char *out) {
    for (unsigned off = 0; off < kVecBytes; off += 16) {
        const uint16x8_t v = vdupq_n_u16(elem_get<uint16_t>(z + off, index));
        std::memcpy(out + off, &v, 16);
    }
}

}  // namespace half_widened
#endif
