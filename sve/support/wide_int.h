// Wide integers: a signed 128-bit two's-complement integer standing in for the
// architecture's unbounded integer, with conversions from element words and
// the arithmetic and shifts the handlers need. Arithmetic wraps modulo 2^128;
// it is done on the unsigned type so that wrapping is always defined.
#pragma once

#include <cstdint>

#include "sve/support/bit_helpers.h"

namespace sve_support {

__extension__ typedef __int128 WideInt;
__extension__ typedef unsigned __int128 WideUInt;

// The element held in the low n bits of x (n = 1..64; larger n act as 64,
// n < 1 gives 0), zero-extended when is_unsigned == 1, else sign-extended.
constexpr WideInt Int(uint64_t x, int n, int is_unsigned) {
    if (n < 1) return 0;
    if (n > 64) n = 64;
    const unsigned pad = 64u - static_cast<unsigned>(n);
    if (is_unsigned == 1) return static_cast<WideInt>((x << pad) >> pad);
    return static_cast<int64_t>(x << pad) >> pad;
}

constexpr WideInt UInt(uint64_t x, int n) { return Int(x, n, 1); }

// x sign-extended from n bits for n = 8, 16, 32, 64; 0 for other widths.
constexpr WideInt SInt(uint64_t x, int n) {
    switch (n) {
    case 8: return static_cast<int8_t>(x);
    case 16: return static_cast<int16_t>(x);
    case 32: return static_cast<int32_t>(x);
    case 64: return static_cast<int64_t>(x);
    default: return 0;
    }
}

// The low 64 bits of a wide integer.
constexpr uint64_t bits(WideInt w) { return static_cast<uint64_t>(w); }

constexpr WideInt NegInt(WideInt w) { return static_cast<WideInt>(WideUInt{0} - static_cast<WideUInt>(w)); }
constexpr WideInt AbsInt(WideInt w) { return w < 0 ? NegInt(w) : w; }
constexpr WideInt AddInt(WideInt a, WideInt b) {
    return static_cast<WideInt>(static_cast<WideUInt>(a) + static_cast<WideUInt>(b));
}
constexpr WideInt SubInt(WideInt a, WideInt b) {
    return static_cast<WideInt>(static_cast<WideUInt>(a) - static_cast<WideUInt>(b));
}

// w shifted left by amount (0..127), bits leaving bit 127 lost.
constexpr WideInt wide_shl(WideInt w, unsigned amount) {
    return static_cast<WideInt>(static_cast<WideUInt>(w) << amount);
}

// Arithmetic right shift. Amounts up to 65 are exact; any larger amount acts as
// 65, except that exactly 128 gives all ones when bits 127 and 126 of w are
// both set and 0 otherwise. Wide integers built from element words have
// magnitudes below 2^65, for which every amount gives the exact shift. A
// negative amount shifts left instead (by at most 64).
constexpr WideInt ShiftRightInt(WideInt w, WideInt s) {
    if (s < 0) return wide_shl(w, s < -64 ? 64u : static_cast<unsigned>(-s));
    if (s == 128) return (static_cast<WideUInt>(w) >> 126) == 3 ? WideInt{-1} : WideInt{0};
    return w >> (s > 65 ? 65u : static_cast<unsigned>(s));
}

// Left shift; a negative amount shifts right. Amounts above 64 act as 64.
constexpr WideInt ShiftLeftInt(WideInt w, WideInt s) {
    // Any right-shift amount above 65 other than 128 behaves alike, so 1000
    // stands for every amount beyond that range.
    if (s < 0) return ShiftRightInt(w, s < -1000 ? WideInt{1000} : NegInt(s));
    return wide_shl(w, s > 64 ? 64u : static_cast<unsigned>(s));
}

}  // namespace sve_support

// The architectural names, for unqualified use; other helpers stay qualified.
using sve_support::WideInt;
using sve_support::WideUInt;
using sve_support::Int;
using sve_support::UInt;
using sve_support::SInt;
using sve_support::bits;
using sve_support::NegInt;
using sve_support::AbsInt;
using sve_support::AddInt;
using sve_support::SubInt;
using sve_support::ShiftRightInt;
using sve_support::ShiftLeftInt;
