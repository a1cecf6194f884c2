#include "sve/support/int_estimates.h"

#include <bit>
#include <cmath>

namespace {

constexpr uint64_t kHalfBits = 0x3FE0000000000000ull;     // 0.5
constexpr uint64_t kQuarterBits = 0x3FD0000000000000ull;  // 0.25

// An estimate in [1, 2) as a 32-bit fixed-point result: bit 31 set, then the
// estimate's fraction bits (mantissa bits 51..21).
uint32_t estimate_to_fixed(double estimate) {
    return 0x80000000u | static_cast<uint32_t>((std::bit_cast<uint64_t>(estimate) >> 21) & 0x7FFFFFFFu);
}

// r rounded to 8 fractional bits, halves rounded up.
double round_to_256ths(double r) { return std::trunc(r * 256.0 + 0.5) * (1.0 / 256.0); }

}  // namespace

double recip_estimate(double a) {
    const double mid = (std::trunc(a * 512.0) + 0.5) * (1.0 / 512.0);
    return round_to_256ths(1.0 / mid);
}

double recip_sqrt_estimate(double a) {
    const double mid = a < 0.5 ? (std::trunc(a * 512.0) + 0.5) * (1.0 / 512.0)
                               : (std::trunc(a * 256.0) + 0.5) * (1.0 / 256.0);
    return round_to_256ths(1.0 / std::sqrt(mid));
}

uint32_t UnsignedRecipEstimate(uint32_t x, int /*n*/) {
    if ((x & 0x80000000u) == 0) return 0xFFFFFFFFu;
    const double a = std::bit_cast<double>(kHalfBits | (uint64_t{x & 0x7FFFFFFFu} << 21));
    return estimate_to_fixed(recip_estimate(a));
}

uint32_t UnsignedRSqrtEstimate(uint32_t x, int /*n*/) {
    if ((x & 0xC0000000u) == 0) return 0xFFFFFFFFu;
    const uint64_t pattern = (x & 0x80000000u) != 0 ? kHalfBits | (uint64_t{x & 0x7FFFFFFFu} << 21)
                                                    : kQuarterBits | (uint64_t{x & 0x3FFFFFFFu} << 22);
    return estimate_to_fixed(recip_sqrt_estimate(std::bit_cast<double>(pattern)));
}
