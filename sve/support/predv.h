// Packed predicate image: one bit per vector byte, 256 bits in four words.
#pragma once

#include <cstdint>

struct PredV {
    uint64_t w[4];
};

inline bool pred_bit(const PredV &p, unsigned i) { return (p.w[(i >> 6) & 3] >> (i & 63)) & 1; }
inline void set_pred_bit(PredV &p, unsigned i, bool v) {
    const uint64_t m = uint64_t{1} << (i & 63);
    if (v)
        p.w[(i >> 6) & 3] |= m;
    else
        p.w[(i >> 6) & 3] &= ~m;
}

// Packs a 256-byte predicate register (bit 0 of each byte) into a PredV.
inline PredV pack_pred(const unsigned char *bytes) {
    PredV p{};
    for (unsigned i = 0; i < 256; ++i) p.w[i >> 6] |= uint64_t(bytes[i] & 1) << (i & 63);
    return p;
}

// Unpacks into 256 bytes of 0 or 1.
inline void unpack_pred(const PredV &p, unsigned char *bytes) {
    for (unsigned i = 0; i < 256; ++i) bytes[i] = (p.w[i >> 6] >> (i & 63)) & 1;
}
