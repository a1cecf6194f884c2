#include "sve/support/pred_pattern.h"

unsigned int VecTrueILength(unsigned long pattern, int n) {
    const unsigned un = static_cast<unsigned>(n);
    if (pattern == 0) {
        // The largest power of two not above n.
        unsigned v = un >> 1;
        if (v == 0) return 1;
        unsigned k = 0;
        while (v != 0) {
            v >>= 1;
            ++k;
        }
        return 1u << k;
    }
    if (pattern <= 8) return static_cast<int>(pattern) <= n ? static_cast<unsigned>(pattern) : 0;
    if (pattern <= 13) {
        const unsigned v = 1u << (pattern - 5);
        return un >= v ? v : 0;
    }
    if (pattern <= 28) return 0;
    if (pattern == 29) return un & ~3u;
    if (pattern == 30) return static_cast<unsigned>((n / 3) * 3);
    if (pattern == 31) return un;  // all elements, odd counts included
    return 0;
}
