// Saturating arithmetic on element words and wide integers.
//
// Widths: SatQ, SatAdd, SatSub, SatMult, SatShiftLeft, SatShiftLeftU and
// SatQUShift take n = 1..64; SatQShift and ShiftQLeftInt take n = 1..128.
// Widths outside those ranges are clamped into them. is_unsigned == 1 selects
// unsigned saturation, any other value signed.
#pragma once

#include <cstdint>

#include "sve/support/bit_helpers.h"
#include "sve/support/wide_int.h"

namespace sve_support {

// A saturated value and whether it had to be clamped.
struct SatPair {
    uint64_t value;
    bool saturated;
};

constexpr int clamp_width(int n, int max) { return n < 1 ? 1 : n > max ? max : n; }

// 2^k as an unsigned wide integer, k = 0..127.
constexpr WideUInt wide_pow2(int k) { return WideUInt{1} << k; }

// w saturated to n bits. The value is always an n-bit pattern, zero-extended:
// the signed minimum comes back as 2^(n-1) (0x80 for n = 8).
constexpr SatPair SatQ(WideInt w, int n, int is_unsigned) {
    n = clamp_width(n, 64);
    if (is_unsigned == 1) {
        if (w < 0) return {0, true};
        if ((w >> n) == 0) return {bits(w) & width_mask(n), false};
        return {width_mask(n), true};
    }
    const WideInt max = static_cast<WideInt>(wide_pow2(n - 1) - 1);
    if (w > max) return {bits(max), true};
    if (w >= -max - 1) return {bits(w) & width_mask(n), false};
    return {bits(max) + 1, true};
}

// Saturating add. When nothing saturates the value is the raw low 64 bits of
// the sum, not masked to n bits (so a negative signed sum stays sign-extended).
constexpr SatPair SatAdd(uint64_t a, uint64_t b, int n, int is_unsigned) {
    const WideInt sum = Int(a, n, is_unsigned) + Int(b, n, is_unsigned);
    SatPair r = SatQ(sum, n, is_unsigned);
    if (!r.saturated) r.value = bits(sum);
    return r;
}

constexpr SatPair SatSub(uint64_t a, uint64_t b, int n, int is_unsigned) {
    return SatQ(Int(a, n, is_unsigned) - Int(b, n, is_unsigned), n, is_unsigned);
}

// Saturating multiply. The unsigned 64-bit product can reach 2^128 - 2^65 + 1,
// beyond the signed wide range, so unsigned products are saturated as unsigned
// 128-bit numbers.
constexpr SatPair SatMult(uint64_t a, uint64_t b, int n, int is_unsigned) {
    n = clamp_width(n, 64);
    if (is_unsigned == 1) {
        const WideUInt p = static_cast<WideUInt>(UInt(a, n)) * static_cast<WideUInt>(UInt(b, n));
        if ((p >> n) != 0) return {width_mask(n), true};
        return {static_cast<uint64_t>(p), false};
    }
    return SatQ(Int(a, n, 0) * Int(b, n, 0), n, 0);
}

// Saturating left shift of the element a by the element s (both n bits, of the
// given signedness). Amounts of n or more shift by n. On saturation: all ones
// (unsigned), else 2^(n-1) when any bit of a at or above bit n-1 is set and
// 2^(n-1) - 1 otherwise. Without saturation, the unmasked low 64 bits of the
// shifted value. A negative signed amount shifts right (no saturation).
constexpr uint64_t SatShiftLeft(uint64_t a, uint64_t s, int n, int is_unsigned) {
    n = clamp_width(n, 64);
    const WideInt amount = Int(s, n, is_unsigned);
    const WideInt value = Int(a, n, is_unsigned);
    if (amount < 0) return bits(value >> (amount < -127 ? 127u : static_cast<unsigned>(-amount)));
    const WideInt shifted = wide_shl(value, amount < n ? static_cast<unsigned>(amount) : static_cast<unsigned>(n));
    if (!SatQ(shifted, n, is_unsigned).saturated) return bits(shifted);
    if (is_unsigned == 1) return width_mask(n);
    const uint64_t min = uint64_t{1} << (n - 1);
    return (a >> (n - 1)) != 0 ? min : min - 1;
}

// Signed element a shifted left by the unsigned element s (at most n),
// saturated to an unsigned n-bit result: all ones when a is non-negative (no
// bit at or above bit n-1 set), 0 when it is negative.
constexpr SatPair SatShiftLeftU(uint64_t a, uint64_t s, int n) {
    n = clamp_width(n, 64);
    const WideInt amount = UInt(s, n);
    const WideInt shifted = wide_shl(Int(a, n, 0), amount < n ? static_cast<unsigned>(amount) : static_cast<unsigned>(n));
    if ((shifted >> n) != 0) return {(a >> (n - 1)) == 0 ? width_mask(n) : 0, true};
    return {bits(shifted), false};
}

// Saturation whose in-range results are the unmasked low 64 bits of w (negative
// signed values stay sign-extended), and whose signed minimum is sign-extended
// too. n may be up to 128.
constexpr SatPair SatQShift(WideInt w, int n, int is_unsigned) {
    n = clamp_width(n, 128);
    if (is_unsigned == 1) {
        if (w < 0) return {0, true};
        const WideUInt max = n >= 128 ? ~WideUInt{0} : wide_pow2(n) - 1;
        if (static_cast<WideUInt>(w) <= max) return {bits(w), false};
        return {static_cast<uint64_t>(max), true};
    }
    const WideInt max = static_cast<WideInt>(wide_pow2(n - 1) - 1);
    const WideInt min = -max - 1;
    if (w > max) return {bits(max), true};
    if (w >= min) return {bits(w), false};
    return {bits(min), true};
}

// Saturating left shift of a wide integer by a signed wide amount: negative
// amounts shift right without saturation; amounts of n or more saturate any
// non-zero w.
constexpr SatPair ShiftQLeftInt(WideInt w, WideInt s, int n, int is_unsigned) {
    n = clamp_width(n, 128);
    if (s < 0) return {bits(ShiftRightInt(w, s < -1000 ? WideInt{1000} : NegInt(s))), false};
    if (s >= n) {
        if (w == 0) return {0, false};
        if (is_unsigned == 1) return {width_mask(n), true};
        const WideInt max = static_cast<WideInt>(wide_pow2(n - 1) - 1);
        return w < 0 ? SatPair{bits(-max - 1), true} : SatPair{bits(max), true};
    }
    return SatQShift(wide_shl(w, static_cast<unsigned>(s)), n, is_unsigned);
}

// Saturation of a signed value to an unsigned n-bit result: negative values
// give (0, 1), values above 2^n - 1 give (all ones, 1).
constexpr SatPair SatQUShift(WideInt w, int n) {
    n = clamp_width(n, 64);
    if (w < 0) return {0, true};
    if (static_cast<WideUInt>(w) <= width_mask(n)) return {bits(w), false};
    return {width_mask(n), true};
}

// The saturated sum or difference at the element's width, signed or not, by
// the wrapped result and its overflow bit, without a branch, so that a loop of
// these vectorises.
template <typename T, bool Unsigned, bool Subtract>
constexpr T saturate_lane(T a, T b) {
    constexpr unsigned kTop = 8 * sizeof(T) - 1;
    const T r = Subtract ? T(a - b) : T(a + b);
    if constexpr (Unsigned) {
        // All ones on a borrow (a < b) or a carry (the sum below a).
        const T over = T(T(0) - T(Subtract ? a < b : r < a));
        return Subtract ? T(r & T(~over)) : T(r | over);
    } else {
        // Overflow: the operands' signs allowed it and the result's sign is not
        // the first operand's; the result is then the limit on a's side.
        const T x = Subtract ? T((a ^ b) & (a ^ r)) : T((a ^ r) & (b ^ r));
        const T over = T(T(0) - T(x >> kTop));
        const T limit = T(T(T(0) - T(a >> kTop)) ^ T(T(~T(0)) >> 1));
        return T((limit & over) | (r & T(~over)));
    }
}

}  // namespace sve_support

// The architectural names, for unqualified use; other helpers stay qualified.
using sve_support::SatPair;
using sve_support::SatQ;
using sve_support::SatAdd;
using sve_support::SatSub;
using sve_support::SatMult;
using sve_support::SatShiftLeft;
using sve_support::SatShiftLeftU;
using sve_support::SatQShift;
using sve_support::ShiftQLeftInt;
using sve_support::SatQUShift;
using sve_support::saturate_lane;
