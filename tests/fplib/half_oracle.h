// An exact reference for half precision, written independently of the
// library: half values as doubles, and one rounding of an exact value (a
// 128-bit magnitude times a power of two, plus an optional sticky part) to
// half precision with the Arm exception rules.
#pragma once

#include <cmath>
#include <cstdint>

#include "sve/fplib/fp_types.h"

namespace fptest {

// The exact value of a half encoding (AHP off): every half value is a double.
inline double half_to_double(uint16_t h) {
    const int sgn = h >> 15, e = (h >> 10) & 31, f = h & 0x3FF;
    double v;
    if (e == 31)
        v = f ? NAN : INFINITY;
    else if (e == 0)
        v = std::ldexp(double(f), -24);
    else
        v = std::ldexp(double(1024 + f), e - 25);
    return sgn ? -v : v;
}

struct HalfRef {
    uint16_t bits;
    int flags;  // FPSCR_OFC, FPSCR_UFC, FPSCR_IXC
};

// Rounds (-1)^neg * (mag + s) * 2^e to half precision, where s is 0, or lies
// strictly between 0 and 1 when sticky is set (then mag must have at least
// 40 significant bits, so that s stays far below half a unit of the result).
// rm is 0..4 (4: ties away). Tininess is decided before rounding, as on Arm.
inline HalfRef half_round(bool neg, unsigned __int128 mag, int e, bool sticky, int rm) {
    const uint16_t sign = neg ? 0x8000 : 0;
    if (mag == 0 && !sticky) return {sign, 0};
    if (mag == 0) {  // only a sticky part: some tiny non-zero value
        mag = (unsigned __int128)1 << 60;
        e = -400;
    }
    int top = 127;
    while (!((mag >> top) & 1)) --top;
    const int k = top + e;                      // floor(log2 |value|)
    const int q = k - 10 > -24 ? k - 10 : -24;  // exponent of the result's last unit
    unsigned __int128 n;                        // |value| / 2^q, truncated
    int cmp;                                    // remainder against half a unit: -1, 0, 1
    bool inexact;
    if (q <= e) {  // exact (sticky is excluded here by the precondition)
        n = mag << (e - q);
        cmp = -2;
        inexact = false;
    } else {
        const int sh = q - e;
        n = sh >= 128 ? 0 : mag >> sh;
        const unsigned __int128 rem = sh >= 128 ? mag : mag - (n << sh);
        const unsigned __int128 half = sh - 1 >= 128 ? 0 : (unsigned __int128)1 << (sh - 1);
        inexact = rem != 0 || sticky;
        if (!inexact)
            cmp = -2;
        else if (sh - 1 >= 128 || rem < half)
            cmp = -1;
        else if (rem == half && !sticky)
            cmp = 0;
        else
            cmp = 1;
    }
    bool up = false;
    if (inexact) {
        switch (rm) {
        case 0: up = cmp > 0 || (cmp == 0 && (n & 1)); break;
        case 1: up = !neg; break;
        case 2: up = neg; break;
        case 4: up = cmp >= 0; break;
        default: break;
        }
    }
    if (up) ++n;
    int flags = 0;
    if (inexact) flags |= FPSCR_IXC;
    if (inexact && k < -14) flags |= FPSCR_UFC;
    // The rounded value is n * 2^q.
    if (n == 0) return {sign, flags};
    int qq = q;
    while (n >= 2048) {
        n >>= 1;
        ++qq;
    }
    if (n < 1024) return {uint16_t(sign | uint16_t(n)), flags};  // subnormal (qq == -24)
    const int biased = qq + 10 + 15;
    if (biased >= 31) {
        const bool to_inf = rm == 0 || rm == 4 || (rm == 1 && !neg) || (rm == 2 && neg);
        return {uint16_t(sign | (to_inf ? 0x7C00 : 0x7BFF)), FPSCR_OFC | FPSCR_IXC};
    }
    return {uint16_t(sign | (biased << 10) | (uint16_t(n) - 1024)), flags};
}

// Rounds a finite double (plus a sticky part when the double itself was
// rounded) to half precision.
inline HalfRef half_round_double(double d, bool sticky, int rm) {
    const bool neg = std::signbit(d);
    d = std::fabs(d);
    if (d == 0 && !sticky) return {uint16_t(neg ? 0x8000 : 0), 0};
    int e;
    const double m = std::frexp(d, &e);  // d = m * 2^e, 0.5 <= m < 1
    const uint64_t mag = uint64_t(std::ldexp(m, 53));
    return half_round(neg, mag, e - 53, sticky, rm);
}

}  // namespace fptest
