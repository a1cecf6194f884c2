// Floating-point estimates and special functions: FRECPE, FRECPS, FRECPX,
// FRSQRTE, FRSQRTS, FSCALE, FEXPA, the trigonometric helpers FTMAD, FTSMUL and
// FTSSEL, and the immediate broadcasts FDUP and FCPY.
#include "sve/handlers/fp_handler_shapes.h"
#include "sve/kernels/fp_kernels.h"

namespace {

template <typename T>
aarch64_decode_rc frecpe(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2) return delegate_fp(s, insn, sve_frecpe_zz, zfield<T>(insn, 0), zfield<T>(insn, 5));
    return fp_unary_unpredicated<T>(s, insn, [](T a, FPSCR &f) { return FPRecipEstimate(a, f); });
}
template <typename T>
aarch64_decode_rc frecps(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2)
        return delegate_fp(s, insn, sve_frecps_zzz, zfield<T>(insn, 0), zfield<T>(insn, 5), zfield<T>(insn, 16));
    return fp_binary_unpredicated<T>(s, insn, [](T a, T b, FPSCR &f) { return FPRecipStepFused(a, b, f); });
}
template <typename T>
aarch64_decode_rc frsqrte(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2)
        return fp_elements_host<T>(s, insn, -1, [](host_fp_scope &sc, T, T n, T) { return host_fp_raw_rsqrt_estimate(sc, n); });
    return fp_unary_unpredicated<T>(s, insn, [](T a, FPSCR &f) { return FPRSqrtEstimate(a, f); });
}
template <typename T>
aarch64_decode_rc frsqrts(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2)
        return fp_elements_host<T>(s, insn, -1, [](host_fp_scope &sc, T, T n, T m) { return host_fp_raw_rsqrt_step(sc, n, m); });
    return fp_binary_unpredicated<T>(s, insn, [](T a, T b, FPSCR &f) { return FPRSqrtStepFused(a, b, f); });
}
template <typename T>
aarch64_decode_rc frecpx(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2)
        return fp_elements_host<T>(s, insn, 10, [](host_fp_scope &sc, T, T n, T) { return host_fp_raw_recpx(sc, n); });
    return fp_unary_merge<T>(s, insn, [](T a, FPSCR &f) { return FPRecpX(a, f); });
}

#if defined(__aarch64__)
// FSCALE in single or double precision on the processor's FPU: where 2^Zm is a
// normal number for every active element, Zdn * 2^Zm is one FMUL by that power
// of two, which rounds and raises exactly as FSCALE does (NaNs, zeros,
// infinities, denormal operands and results, overflow), 16 bytes at a time
// under one FPCR set-up. Inactive lanes compute 1.0 * 1.0 and keep Zdn.
// Returns false, with nothing changed, when an active scale is outside that
// range.
template <typename T>
bool fscale_host(cpu_state *s, uint32_t insn) {
    using F = FPFormat<T>;
    using Vt = host_fp_hw::vec_t<T>;
    constexpr T kBias = T(F::EMAX >> 1);
    const Vt one = host_fp_hw::v_splat(T(kBias << F::M));
    const unsigned char *m = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    Vt out_of_range = host_fp_hw::v_splat(T(0));
    uint32_t raised = 0;
    host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
    for (unsigned off = 0; off < kVecBytes; off += 16) {
        Vt active, x, n;
        std::memcpy(&active, g + off, 16);
        active = host_fp_hw::v_low_bit(active);
        std::memcpy(&x, d + off, 16);
        std::memcpy(&n, m + off, 16);
        // 2^n is normal when n + bias is an exponent field of 1 .. EMAX - 1.
        const Vt exponent = n + kBias;
        out_of_range |= active & Vt(exponent - 1 > T(F::EMAX - 2));
        const Vt power = host_fp_hw::v_select(active, Vt(exponent << F::M), one);
        const Vt product = host_fp_hw::v_fmul(host_fp_hw::v_select(active, x, one), power);
        const Vt out = host_fp_hw::v_select(active, product, x);
        std::memcpy(r.b + off, &out, 16);
    }
    host_fp_end(scope, &raised);
    uint64_t words[2];
    std::memcpy(words, &out_of_range, 16);
    if ((words[0] | words[1]) != 0) return false;
    s->insn = insn;
    std::memcpy(d, r.b, kVecBytes);
    fp_state_merge(s, raised);
    return true;
}
#endif

// FSCALE Zdn, Pg/M, Zdn, Zm: Zdn * 2^Zm, Zm's element a signed integer. Where
// an active element of Zdn is a normal number and so is its result, the
// product is exact and raises nothing: the exponent field moves by Zm, and
// nothing else changes. Zeros and infinities stay as they are, raising
// nothing. The library computes the other active elements (NaNs, denormals,
// results out of the normal range).
template <typename T>
aarch64_decode_rc fscale(cpu_state *s, uint32_t insn) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) >= 4)
        if (fscale_host<T>(s, insn)) return DECODE_OK;
#endif
    using F = FPFormat<T>;
    const unsigned char *m = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    T hard[elem_count<T>];
    T any_hard = 0;
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        const T a = elem_get<T>(d, e), n = elem_get<T>(m, e);
        // In the element's width, exponent + n lands in 1..EMAX-1 exactly
        // when the true sum does, wrapping or not.
        const T exponent = T((a >> F::M) & T(F::EMAX));
        const T moved = T(exponent + n);
        // (Masks rather than branches, so that the loop vectorises.)
        const T normal = T(T(0) - T(T(exponent - 1) < T(F::EMAX - 1))) & T(T(0) - T(T(moved - 1) < T(F::EMAX - 1)));
        const T magnitude = T(a & T(~F::SIGN));
        const T kept = T(T(0) - T(magnitude == 0)) | T(T(0) - T(magnitude == F::INF));
        const T scaled = T((a & T(~F::EXP_MASK)) | T(moved << F::M));
        const T y = T((a & kept) | (scaled & T(~kept)));
        elem_set<T>(r.b, e, pick_active<T>(g, e, y, a));
        hard[e] = pick_active<T>(g, e, T(~(normal | kept) & 1), T(0));
        any_hard |= hard[e];
    }
    if (any_hard == 0) {
        std::memcpy(d, r.b, kVecBytes);
        return DECODE_OK;
    }
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < elem_count<T>; ++e) {
            if (!hard[e]) continue;
            const T a = elem_get<T>(d, e), b = elem_get<T>(m, e);
            elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) {
                if constexpr (sizeof(T) == 2) return FPScale16(a, static_cast<short>(b), f);
                else if constexpr (sizeof(T) == 4) return FPScale32(a, static_cast<int32_t>(b), f);
                else return FPScale64(a, static_cast<long>(static_cast<int64_t>(b)), f);
            }));
        }
        write_z(s, zd_num(insn), r);
    });
}

// FEXPA Zd, Zn: raises nothing.
template <typename T>
aarch64_decode_rc fexpa(cpu_state *s, uint32_t insn) {
    return compute_binary_unpredicated<T>(s, insn, [](T a, T) { return FPEXPA(a); });
}

// FTMAD Zdn, Zdn, Zm, #imm3 (Zm 9..5, imm3 18..16), unpredicated.
template <typename T>
aarch64_decode_rc ftmad(cpu_state *s, uint32_t insn) {
    const int imm = int(field(insn, 18, 16));
    if constexpr (sizeof(T) != 2) {
        // Zm is at 9..5 here: fp_elements_host's n.
        using F = FPFormat<T>;
        const T *coefficients = sizeof(T) == 4 ? reinterpret_cast<const T *>(kFPTRIMADDCoefficients32)
                                               : reinterpret_cast<const T *>(kFPTRIMADDCoefficients64);
#if defined(__aarch64__)
        // The coefficient of each lane picked by its sign, then one FMLA.
        using Vt = host_fp_hw::vec_t<T>;
        const Vt sine = host_fp_hw::v_splat(coefficients[imm & 7]), cosine = host_fp_hw::v_splat(coefficients[(imm & 7) + 8]);
        const Vt magnitude = host_fp_hw::v_splat(T(~F::SIGN));
        return fp_pieces_host<T>(s, insn, [&](Vt d, Vt m, Vt) {
            const Vt negative = host_fp_hw::v_low_bit(Vt(m >> (F::W - 1)));
            return host_fp_hw::v_fmla(host_fp_hw::v_select(negative, cosine, sine), d, host_fp_hw::v_and(m, magnitude));
        });
#endif
        return fp_elements_host<T>(s, insn, -1, [imm, coefficients](host_fp_scope &sc, T d, T m, T) {
            const T c = coefficients[(imm & 7) + ((m & F::SIGN) ? 8 : 0)];
            return host_fp_raw_muladd(sc, c, d, T(m & T(~F::SIGN)));
        });
    }
    const vec_buf zm = stage_z(s, zn_num(insn));
    vec_buf r = stage_z(s, zd_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e) {
            const T a = elem_get<T>(r.b, e), b = elem_get<T>(zm.b, e);
            elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) { return FPTRIMADD(imm, a, b, f); }));
        }
        write_z(s, zd_num(insn), r);
    });
}
template <typename T>
aarch64_decode_rc ftsmul(cpu_state *s, uint32_t insn) {
    if constexpr (sizeof(T) != 2) {
        using F = FPFormat<T>;
#if defined(__aarch64__)
        // A product is a NaN when its magnitude is above infinity's encoding.
        using Vt = host_fp_hw::vec_t<T>;
        return fp_pieces_host<T>(s, insn, [](Vt, Vt n, Vt m) {
            const Vt r = host_fp_hw::v_fmul(n, n);
            const Vt magnitude = host_fp_hw::v_and(r, host_fp_hw::v_splat(T(~F::SIGN)));
            Vt nan;
            if constexpr (sizeof(T) == 4)
                nan = vcgtq_u32(magnitude, vdupq_n_u32(F::INF));
            else
                nan = vcgtq_u64(magnitude, vdupq_n_u64(F::INF));
            return host_fp_hw::v_select(nan, r, Vt(magnitude | (Vt(m << (F::W - 1)))));
        });
#endif
        return fp_elements_host<T>(s, insn, -1, [](host_fp_scope &sc, T, T n, T m) {
            const T r = host_fp_raw_mul(sc, n, n);
            return fp_is_nan_bits(r) ? r : T((r & T(~F::SIGN)) | (T(m & 1) << (F::W - 1)));
        });
    }
    return fp_binary_unpredicated<T>(s, insn, [](T a, T b, FPSCR &f) { return FPTRISMUL(a, b, f); });
}
// FTSSEL: 1.0 when bit 0 of the Zm element is set, else the Zn element; bit 1
// flips the sign. No NaN processing, no flags.
// Bit operations only, 16 bytes at a time.
template <typename T>
aarch64_decode_rc ftssel(cpu_state *s, uint32_t insn) {
    using F = FPFormat<T>;
    using V = vec16<T>;
    const unsigned char *n = s->z[zn_num(insn)], *m = s->z[zm_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
    const V one = V{} + T(T(F::B) << F::M), sign = V{} + T(F::SIGN);
    for (unsigned off = 0; off < kVecBytes; off += 16) {
        V a, b;
        std::memcpy(&a, n + off, 16);
        std::memcpy(&b, m + off, 16);
        const V pick_one = V{} - (b & T(1));
        const V r = ((one & pick_one) | (a & ~pick_one)) ^ ((V{} - ((b >> 1) & T(1))) & sign);
        std::memcpy(d + off, &r, 16);
    }
    return DECODE_OK;
}

// FDUP Zd, #imm8 (imm8 12..5), unpredicated.
template <typename T>
aarch64_decode_rc fdup(cpu_state *s, uint32_t insn) {
    return delegate(s, insn, sve_fdup_zi, zfield<T>(insn, 0), uint64_t{fp_expand_imm8<T>(field(insn, 12, 5))});
}
// FCPY Zd, Pg/M, #imm8 (Pg 19..16, imm8 12..5): active elements become the
// immediate, inactive ones keep Zd.
template <typename T>
aarch64_decode_rc fcpy(cpu_state *s, uint32_t insn) {
    const T imm = fp_expand_imm8<T>(field(insn, 12, 5));
    const unsigned char *g = s->p[field(insn, 19, 16)];
    unsigned char *d = s->z[zd_num(insn)];
    for (unsigned e = 0; e < elem_count<T>; ++e) elem_set<T>(d, e, pick_active<T>(g, e, imm, elem_get<T>(d, e)));
    return DECODE_OK;
}

FP_HANDLERS(RecpEV, frecpe<T>(state, insn))
FP_HANDLERS(RecpSVV, frecps<T>(state, insn))
FP_HANDLERS(RecpXVM, frecpx<T>(state, insn))
FP_HANDLERS(RSqrtEV, frsqrte<T>(state, insn))
FP_HANDLERS(RSqrtSVV, frsqrts<T>(state, insn))
FP_HANDLERS(ScaleVVM, fscale<T>(state, insn))
FP_HANDLERS(EXPAV, fexpa<T>(state, insn))
FP_HANDLERS(TRIMADDVVI, ftmad<T>(state, insn))
FP_HANDLERS(TRISMULVV, ftsmul<T>(state, insn))
FP_HANDLERS(TRISSELVV, ftssel<T>(state, insn))
FP_HANDLERS(DupI, fdup<T>(state, insn))
FP_HANDLERS(DupIM, fcpy<T>(state, insn))

}  // namespace

#define SVE_FAMILY fp_special
#include "sve/handlers/family_bindings.inc"
