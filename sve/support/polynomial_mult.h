// Carry-less (GF(2) polynomial) multiplication of two 64-bit words.
#pragma once

#include <bit>
#include <cstdint>

namespace sve_support {

// A 128-bit polynomial over GF(2): bit i of (hi:lo) is the coefficient of x^i.
struct PolyProduct {
    uint64_t lo;
    uint64_t hi;
};

// The carry-less product of a and b.
constexpr PolyProduct PolynomialMult(uint64_t a, uint64_t b) {
    PolyProduct r{0, 0};
    while (a != 0) {
        const int i = std::countr_zero(a);
        a &= a - 1;
        r.lo ^= b << i;
        if (i != 0) r.hi ^= b >> (64 - i);
    }
    return r;
}

}  // namespace sve_support

// The architectural names, for unqualified use; other helpers stay qualified.
using sve_support::PolyProduct;
using sve_support::PolynomialMult;
