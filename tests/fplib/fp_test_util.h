// Shared helpers of the floating-point library tests: bit casts, a small
// deterministic generator, operand sampling biased toward the interesting
// corners of each format, and sample sizes.
#pragma once

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "sve/fplib/fp_types.h"

namespace fptest {

typedef uint16_t H;
typedef uint32_t S;
typedef uint64_t D;

inline float f32(S x) { return std::bit_cast<float>(x); }
inline double f64(D x) { return std::bit_cast<double>(x); }
inline S bits(float x) { return std::bit_cast<S>(x); }
inline D bits(double x) { return std::bit_cast<D>(x); }

// The host type of an encoding (single and double only).
template <typename T>
struct HostType;
template <>
struct HostType<S> {
    typedef float type;
};
template <>
struct HostType<D> {
    typedef double type;
};

// Sample sizes: the CI size by default, the thorough size with SVE_THOROUGH=1.
inline bool thorough() {
    const char *v = std::getenv("SVE_THOROUGH");
    return v && std::strcmp(v, "1") == 0;
}
inline uint64_t samples(uint64_t ci, uint64_t full) { return thorough() ? full : ci; }

// xoshiro256** seeded through splitmix64.
struct Rng {
    uint64_t s[4];
    explicit Rng(uint64_t seed) {
        for (auto &w : s) {
            seed += 0x9E3779B97F4A7C15ull;
            uint64_t z = seed;
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            w = z ^ (z >> 31);
        }
    }
    uint64_t next() {
        const uint64_t r = std::rotl(s[1] * 5, 7) * 9;
        const uint64_t t = s[1] << 17;
        s[2] ^= s[0];
        s[3] ^= s[1];
        s[1] ^= s[2];
        s[0] ^= s[3];
        s[2] ^= t;
        s[3] = std::rotl(s[3], 45);
        return r;
    }
    uint64_t below(uint64_t n) { return next() % n; }
    int range(int lo, int hi) { return lo + int(below(uint64_t(hi - lo + 1))); }
    bool coin() { return next() & 1; }
};

template <typename T>
inline T make_fp(int sgn, int exp_field, uint64_t frac) {
    using F = FPFormat<T>;
    return T((T(sgn) << (F::W - 1)) | (T(exp_field & F::EMAX) << F::M) | (T(frac) & F::FRAC));
}

template <typename T>
inline int exp_field(T x) {
    return int((x >> FPFormat<T>::M) & FPFormat<T>::EMAX);
}

// A fraction with a few set bits, all ones, all zeros or random.
template <typename T>
inline uint64_t biased_fraction(Rng &r) {
    using F = FPFormat<T>;
    const uint64_t mask = uint64_t(F::FRAC);
    switch (r.below(6)) {
    case 0: return 0;
    case 1: return mask;
    case 2: return mask ^ (uint64_t(1) << r.below(F::M));
    case 3: {
        uint64_t f = 0;
        for (int k = r.range(1, 3); k > 0; --k) f |= uint64_t(1) << r.below(F::M);
        return f;
    }
    case 4: return r.next() & mask & ~((uint64_t(1) << r.below(F::M)) - 1);  // short significand
    default: return r.next() & mask;
    }
}

// One operand biased toward the corners: zeros, infinities, NaNs, the
// subnormal range and the smallest normals, the largest finite values,
// values near 1 and arbitrary encodings.
template <typename T>
inline T biased_operand(Rng &r) {
    using F = FPFormat<T>;
    const int sgn = r.coin();
    switch (r.below(10)) {
    case 0: return T(r.next());
    case 1: {
        static const T specials[] = {0,
                                     F::INF,
                                     F::DEFAULT_NAN,
                                     T(F::INF | 1),
                                     T(F::INF | F::QUIET | 5),
                                     F::MAX_NORMAL,
                                     F::IMPLICIT,
                                     1,
                                     F::FRAC,
                                     T(T(F::B) << F::M)};
        return T(specials[r.below(sizeof(specials) / sizeof(specials[0]))] | (T(sgn) << (F::W - 1)));
    }
    case 2:
    case 3: return make_fp<T>(sgn, r.range(0, 2), biased_fraction<T>(r));
    case 4: return make_fp<T>(sgn, r.range(F::EMAX - 3, F::EMAX - 1), biased_fraction<T>(r));
    case 5:
    case 6: return make_fp<T>(sgn, r.range(F::B - 4, F::B + 4), biased_fraction<T>(r));
    default: return make_fp<T>(sgn, r.range(1, F::EMAX - 1), biased_fraction<T>(r));
    }
}

// d rounded to an integral value with rounding 0..4 (Arm numbering), the
// sign of d kept; exact, computed with floor (the host's rint is not used:
// some C libraries get its signed zeros and tiny negatives wrong under
// directed rounding). Call it under round-to-nearest.
inline double round_integral(double d, int rounding) {
    if (!std::isfinite(d)) return d;
    const double fl = std::floor(d), diff = d - fl;
    double r;
    switch (rounding) {
    case 0: r = diff > 0.5 || (diff == 0.5 && std::fmod(fl, 2) != 0) ? fl + 1 : fl; break;
    case 1: r = diff > 0 ? fl + 1 : fl; break;
    case 2: r = fl; break;
    case 4: r = diff > 0.5 || (diff == 0.5 && d > 0) ? fl + 1 : fl; break;
    default: r = d < 0 && diff > 0 ? fl + 1 : fl; break;
    }
    return std::copysign(r, d);
}

// Host operations on x86 in inline assembly, so that the compiler can neither
// fold them nor move them across a rounding-mode change or a flag read.
#if defined(__x86_64__)
// The x86 rounding direction matching Arm RMode 0..3.
inline int host_rounding(int rm) {
    static const int modes[4] = {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO};
    return modes[rm & 3];
}

enum class HostOp { Add, Sub, Mul, Div, Sqrt, MulAdd };

// a op b (a + b * c for MulAdd); single or double encodings.
template <typename T>
inline T host_op(HostOp op, T a, T b, T c = 0) {
    if constexpr (sizeof(T) == 4) {
        float x = f32(a), y = f32(b), z = f32(c);
        switch (op) {
        case HostOp::Add: asm volatile("addss %1, %0" : "+x"(x) : "x"(y) : "memory"); break;
        case HostOp::Sub: asm volatile("subss %1, %0" : "+x"(x) : "x"(y) : "memory"); break;
        case HostOp::Mul: asm volatile("mulss %1, %0" : "+x"(x) : "x"(y) : "memory"); break;
        case HostOp::Div: asm volatile("divss %1, %0" : "+x"(x) : "x"(y) : "memory"); break;
        case HostOp::Sqrt: asm volatile("sqrtss %1, %0" : "=x"(x) : "x"(x) : "memory"); break;
        case HostOp::MulAdd: asm volatile("vfmadd231ss %2, %1, %0" : "+x"(x) : "x"(y), "x"(z) : "memory"); break;
        }
        return bits(x);
    } else {
        double x = f64(a), y = f64(b), z = f64(c);
        switch (op) {
        case HostOp::Add: asm volatile("addsd %1, %0" : "+x"(x) : "x"(y) : "memory"); break;
        case HostOp::Sub: asm volatile("subsd %1, %0" : "+x"(x) : "x"(y) : "memory"); break;
        case HostOp::Mul: asm volatile("mulsd %1, %0" : "+x"(x) : "x"(y) : "memory"); break;
        case HostOp::Div: asm volatile("divsd %1, %0" : "+x"(x) : "x"(y) : "memory"); break;
        case HostOp::Sqrt: asm volatile("sqrtsd %1, %0" : "=x"(x) : "x"(x) : "memory"); break;
        case HostOp::MulAdd: asm volatile("vfmadd231sd %2, %1, %0" : "+x"(x) : "x"(y), "x"(z) : "memory"); break;
        }
        return bits(x);
    }
}
#endif

}  // namespace fptest
