// Bit-level helpers on element words: masks, bit counts, bit and unit reversal.
//
// An element word is a uint64_t whose low N bits hold an element of N bits;
// bits above N are ignored. All functions are pure and constexpr.
#pragma once

#include <bit>
#include <cstdint>

namespace sve_support {

// Mask of the low n bits: 0 for n <= 0, all ones for n >= 64. Internal helper
// with saturating bounds, unlike `ones`, which wraps its width modulo 64.
constexpr uint64_t width_mask(int n) {
    if (n <= 0) return 0;
    if (n >= 64) return ~uint64_t{0};
    return (uint64_t{1} << n) - 1;
}

// All ones shifted right by (64 - n) mod 64: ones(64) and ones(0) are both all
// 64 bits set.
constexpr uint64_t ones(int n) { return ~uint64_t{0} >> ((64u - static_cast<unsigned>(n)) & 63u); }

// Index of the highest set bit among bits n-1..0 of x, or -1.
constexpr int HighestBitSet(uint64_t x, int n) {
    if (n < 1) return -1;
    return static_cast<int>(std::bit_width(x & width_mask(n))) - 1;
}

// Number of leading zero bits of an n-bit value (n when it is zero).
constexpr int CountLeadingZeroBits(uint64_t x, int n) { return (n - 1) - HighestBitSet(x, n); }

// Number of bits below the sign bit of an n-bit value that equal the sign bit.
constexpr int CountLeadingSignBits(uint64_t x, int n) {
    return CountLeadingZeroBits((x & 0x7FFFFFFFFFFFFFFFull) ^ (x >> 1), n - 1);
}

// Number of set bits among bits 0..n-1.
constexpr int BitCount(uint64_t x, int n) { return std::popcount(x & width_mask(n)); }

// Reverses the order of all 64 bits.
constexpr uint64_t reverse_bits64(uint64_t x) {
    x = ((x >> 1) & 0x5555555555555555ull) | ((x & 0x5555555555555555ull) << 1);
    x = ((x >> 2) & 0x3333333333333333ull) | ((x & 0x3333333333333333ull) << 2);
    x = ((x >> 4) & 0x0F0F0F0F0F0F0F0Full) | ((x & 0x0F0F0F0F0F0F0F0Full) << 4);
    x = ((x >> 8) & 0x00FF00FF00FF00FFull) | ((x & 0x00FF00FF00FF00FFull) << 8);
    x = ((x >> 16) & 0x0000FFFF0000FFFFull) | ((x & 0x0000FFFF0000FFFFull) << 16);
    return (x >> 32) | (x << 32);
}

// The bits of X, an unsigned integer of 1, 2, 4 or 8 bytes, in reverse order:
// within each byte, then the bytes (a form the compiler vectorises).
template <typename T>
constexpr T reverse_bits_of(T x) {
    constexpr T m1 = static_cast<T>(0x5555555555555555ull), m2 = static_cast<T>(0x3333333333333333ull),
                m4 = static_cast<T>(0x0F0F0F0F0F0F0F0Full);
    x = static_cast<T>(((x >> 1) & m1) | ((x & m1) << 1));
    x = static_cast<T>(((x >> 2) & m2) | ((x & m2) << 2));
    x = static_cast<T>(((x >> 4) & m4) | ((x & m4) << 4));
    if constexpr (sizeof(T) == 2) return __builtin_bswap16(x);
    else if constexpr (sizeof(T) == 4) return __builtin_bswap32(x);
    else if constexpr (sizeof(T) == 8) return __builtin_bswap64(x);
    else return x;
}

// The low n bits of x in reverse order (bit i moves to bit n-1-i); 0 when n < 1.
constexpr uint64_t BitReverse(uint64_t x, int n) {
    if (n < 1) return 0;
    if (n > 64) n = 64;
    return reverse_bits64(x) >> (64 - n);
}

// The low m bits of x as (m/8)/size units of `size` bytes (size 1, 2 or 4),
// with the order of the units reversed. Other sizes, unit counts below 1 and
// widths above 64 give 0.
constexpr uint64_t Reverse(uint64_t x, int m, int size) {
    if (size != 1 && size != 2 && size != 4) return 0;
    if (m > 64) return 0;
    const int count = (m / 8) / size;
    if (count < 1) return 0;
    const int used = count * size * 8;  // bits taking part in the reversal
    // Reverse all bytes of the used part, then restore the byte order inside
    // each unit.
    uint64_t y = __builtin_bswap64(x) >> (64 - used);
    if (size >= 2) y = ((y >> 8) & 0x00FF00FF00FF00FFull) | ((y & 0x00FF00FF00FF00FFull) << 8);
    if (size == 4) y = ((y >> 16) & 0x0000FFFF0000FFFFull) | ((y & 0x0000FFFF0000FFFFull) << 16);
    return y;
}

// x shifted left by s mod 64; the element width is not used.
constexpr uint64_t ShiftLeft(uint64_t x, int s, int /*n*/) { return x << (static_cast<unsigned>(s) & 63u); }

}  // namespace sve_support

// The architectural names, for unqualified use; other helpers stay qualified.
using sve_support::ones;
using sve_support::HighestBitSet;
using sve_support::CountLeadingZeroBits;
using sve_support::CountLeadingSignBits;
using sve_support::BitCount;
using sve_support::BitReverse;
using sve_support::reverse_bits_of;
using sve_support::Reverse;
using sve_support::ShiftLeft;
