// Canonicalisation of a single operand under the FPSCR.
#include "sve/fplib/fp_round.h"
#include "sve/fplib/fp_unpack.h"

template <typename T>
T FPProcess(T x, FPSCR &fpscr) {
    using F = FPFormat<T>;
    const int mode = fp_mode(fpscr);
    int flags = 0;
    FPUnpacked<T> u = fp_unpack(x, mode, &flags);
    T r;
    if (fp_is_nan(u)) {
        r = fp_process_nan(x, mode, &flags);
    } else if (fp_is_inf(u)) {
        r = x;
    } else if (fp_is_zero(u)) {
        r = fp_zero<T>(u.sgn);
    } else {
        // Exact: the rounding reproduces the value and raises nothing.
        fp_normalise(u);
        r = fp_round_norm<T>(u.sgn, u.exp + F::E, u.mnt, mode & FPMODE_RMODE, mode, &flags);
    }
    fpscr |= FPSCR(flags);
    return r;
}

template uint16_t FPProcess<uint16_t>(uint16_t, FPSCR &);
template uint32_t FPProcess<uint32_t>(uint32_t, FPSCR &);
template uint64_t FPProcess<uint64_t>(uint64_t, FPSCR &);

uint16_t FPProcess16(uint16_t x, FPSCR &fpscr) { return FPProcess(x, fpscr); }
uint32_t FPProcess32(uint32_t x, FPSCR &fpscr) { return FPProcess(x, fpscr); }
uint64_t FPProcess64(uint64_t x, FPSCR &fpscr) { return FPProcess(x, fpscr); }
