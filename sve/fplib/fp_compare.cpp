// Comparisons, maximum and minimum.
#include "sve/fplib/fp_compare.h"

#include "sve/fplib/fp_unpack.h"

namespace {

// -1, 0 or 1 as a is below, equal to or above b; neither is a NaN.
template <typename T>
int fp_order(const FPUnpacked<T> &ua, const FPUnpacked<T> &ub) {
    if (fp_is_zero(ua) && fp_is_zero(ub)) return 0;
    if (ua.sgn != ub.sgn) return ua.sgn ? -1 : 1;
    int cmp;
    if (ua.exp != ub.exp)
        cmp = ua.exp > ub.exp ? 1 : -1;
    else if (ua.mnt != ub.mnt)
        cmp = ua.mnt > ub.mnt ? 1 : -1;
    else
        return 0;
    return ua.sgn ? -cmp : cmp;
}

// Unpacks both operands; returns true when either is a NaN, raising IOC when
// either is signalling or when signal_nans is set.
template <typename T>
bool fp_unpack_compare(T a, T b, bool signal_nans, FPSCR &fpscr, FPUnpacked<T> &ua, FPUnpacked<T> &ub) {
    const int mode = fp_mode(fpscr);
    int flags = 0;
    ua = fp_unpack(a, mode, &flags);
    ub = fp_unpack(b, mode, &flags);
    const bool unordered = fp_is_nan(ua) || fp_is_nan(ub);
    if (unordered && (signal_nans || fp_is_snan(ua) || fp_is_snan(ub))) flags |= FPSCR_IOC;
    fpscr |= FPSCR(flags);
    return unordered;
}

template <typename T>
T fp_minmax(T a, T b, bool is_max, FPSCR &fpscr) {
    const int mode = fp_mode(fpscr);
    int flags = 0;
    const FPUnpacked<T> ua = fp_unpack(a, mode, &flags);
    const FPUnpacked<T> ub = fp_unpack(b, mode, &flags);
    T res;
    if (!fp_process_nans(a, b, ua, ub, mode, &flags, &res)) {
        bool take_a;
        if (ua.sgn != ub.sgn)
            take_a = is_max ? ub.sgn : ua.sgn;
        else
            take_a = bool(ua.sgn) ^ (is_max ? a > b : a < b);
        const FPUnpacked<T> &u = take_a ? ua : ub;
        // A flushed subnormal comes back as the zero it was read as.
        res = fp_is_zero(u) ? fp_zero<T>(u.sgn) : (take_a ? a : b);
    }
    fpscr |= FPSCR(flags);
    return res;
}

// A single quiet NaN operand is replaced by the infinity that loses.
template <typename T>
T fp_minmax_num(T a, T b, bool is_max, FPSCR &fpscr) {
    const bool qa = fp_is_qnan_bits(a), qb = fp_is_qnan_bits(b);
    const T loser = fp_infinity<T>(is_max ? 1 : 0);
    if (qa && !qb)
        a = loser;
    else if (qb && !qa)
        b = loser;
    return fp_minmax(a, b, is_max, fpscr);
}

}  // namespace

template <typename T>
bool FPCompareEQ(T a, T b, FPSCR &fpscr) {
    FPUnpacked<T> ua, ub;
    if (fp_unpack_compare(a, b, false, fpscr, ua, ub)) return false;
    return a == b || (fp_is_zero(ua) && fp_is_zero(ub));
}

template <typename T>
bool FPCompareGE(T a, T b, FPSCR &fpscr) {
    FPUnpacked<T> ua, ub;
    if (fp_unpack_compare(a, b, true, fpscr, ua, ub)) return false;
    return fp_order(ua, ub) >= 0;
}

template <typename T>
bool FPCompareGT(T a, T b, FPSCR &fpscr) {
    FPUnpacked<T> ua, ub;
    if (fp_unpack_compare(a, b, true, fpscr, ua, ub)) return false;
    return fp_order(ua, ub) > 0;
}

template <typename T>
bool FPCompareUN(T a, T b, FPSCR &fpscr) {
    FPUnpacked<T> ua, ub;
    return fp_unpack_compare(a, b, false, fpscr, ua, ub);
}

template <typename T>
int FPCompare(T a, T b, bool signal_nans, FPSCR &fpscr) {
    FPUnpacked<T> ua, ub;
    if (fp_unpack_compare(a, b, signal_nans, fpscr, ua, ub)) return 3;
    const int order = fp_order(ua, ub);
    return order == 0 ? 6 : order < 0 ? 8 : 2;
}

template <typename T>
T FPMax(T a, T b, FPSCR &fpscr) {
    return fp_minmax(a, b, true, fpscr);
}
template <typename T>
T FPMin(T a, T b, FPSCR &fpscr) {
    return fp_minmax(a, b, false, fpscr);
}
template <typename T>
T FPMaxNum(T a, T b, FPSCR &fpscr) {
    return fp_minmax_num(a, b, true, fpscr);
}
template <typename T>
T FPMinNum(T a, T b, FPSCR &fpscr) {
    return fp_minmax_num(a, b, false, fpscr);
}

#define FP_COMPARE_INSTANTIATE(T)                          \
    template bool FPCompareEQ<T>(T, T, FPSCR &);           \
    template bool FPCompareGE<T>(T, T, FPSCR &);           \
    template bool FPCompareGT<T>(T, T, FPSCR &);           \
    template bool FPCompareUN<T>(T, T, FPSCR &);           \
    template int FPCompare<T>(T, T, bool, FPSCR &);        \
    template T FPMax<T>(T, T, FPSCR &);                    \
    template T FPMin<T>(T, T, FPSCR &);                    \
    template T FPMaxNum<T>(T, T, FPSCR &);                 \
    template T FPMinNum<T>(T, T, FPSCR &);

FP_COMPARE_INSTANTIATE(uint16_t)
FP_COMPARE_INSTANTIATE(uint32_t)
FP_COMPARE_INSTANTIATE(uint64_t)
