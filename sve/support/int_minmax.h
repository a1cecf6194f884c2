// Signed and unsigned maximum and minimum of element words.
#pragma once

#include <cstdint>

namespace sve_support {

constexpr bool is_element_width(int n) { return n == 8 || n == 16 || n == 32 || n == 64; }

// True when the n-bit element of b is greater than that of a, compared as
// signed (is_unsigned != 1) or unsigned n-bit numbers. n is 8, 16, 32 or 64.
constexpr bool element_greater(uint64_t b, uint64_t a, int n, int is_unsigned) {
    const unsigned pad = 64u - static_cast<unsigned>(n);
    if (is_unsigned == 1) return (b << pad) > (a << pad);
    return static_cast<int64_t>(b << pad) > static_cast<int64_t>(a << pad);
}

// Whichever whole argument has the larger n-bit element; a on equality.
// 0 for widths other than 8, 16, 32 and 64.
constexpr uint64_t Max(uint64_t a, uint64_t b, int n, int is_unsigned) {
    if (!is_element_width(n)) return 0;
    return element_greater(b, a, n, is_unsigned) ? b : a;
}

// Whichever whole argument has the smaller n-bit element; a on equality.
// 0 for widths other than 8, 16, 32 and 64.
constexpr uint64_t Min(uint64_t a, uint64_t b, int n, int is_unsigned) {
    if (!is_element_width(n)) return 0;
    return element_greater(a, b, n, is_unsigned) ? b : a;
}

}  // namespace sve_support

// The architectural names, for unqualified use; other helpers stay qualified.
using sve_support::Max;
using sve_support::Min;
