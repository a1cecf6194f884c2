// The element loops of the floating-point handlers.
//
// Every active element is computed under a fresh local FPSCR holding the
// context's FPCR; the exception bits the library raises into it are then ORed
// into the context's FPSR (keeping the bits FPSR_MERGE_MASK keeps), so flags
// accumulate and are never cleared. Inactive elements raise nothing.
//
// The loops are written over the container type T (uint16_t, uint32_t or
// uint64_t raw encodings); an operation whose source or result is narrower
// than its container reads and extends the value itself.
#pragma once

#include <cstdint>

#include "sve/fplib/fplib.h"
#include "sve/fplib/host_fp.h"
#include "sve/handlers/handler_shapes.h"

// An operation on 16 bytes of the processor's FPU (host_fp_hw), where there is
// one; null elsewhere.
#if defined(__aarch64__)
#define FP_HOST_VEC(...) __VA_ARGS__
#else
#define FP_HOST_VEC(...) nullptr
#endif

// ---- Flags ------------------------------------------------------------------

// Runs f(fpscr) under a local FPSCR built from the context's FPCR and merges
// the exception bits it raised into the context's FPSR.
template <typename F>
inline auto fp_eval(CpuContext &ctx, F &&f) {
    FPSCR local = ctx.fpcr & ~FPSCR_FLAGS;
    auto r = f(local);
    ctx.fpsr = (ctx.fpsr | (local & FPSCR_FLAGS)) & FPSR_MERGE_MASK;
    return r;
}

// The emulated FPCR of a delegating handler and the merge of what its kernel
// raised (the kernels compute under that FPCR and report flags, never replace
// FPSR).
inline uint32_t fp_state_fpcr(const cpu_state *s) { return s->fpcr | s->fpcr_extra; }
inline void fp_state_merge(cpu_state *s, uint32_t raised) {
    s->fpsr = (s->fpsr | (raised & FPSCR_FLAGS)) & FPSR_MERGE_MASK;
}

// Calls a kernel that takes (operands..., fpcr, raised*) and merges its flags.
template <typename... KernelArgs, typename... Args>
inline aarch64_decode_rc delegate_fp(cpu_state *s, uint32_t insn, aarch64_decode_rc (*kernel)(cpu_state *, KernelArgs...),
                                     Args... args) {
    s->insn = insn;
    uint32_t raised = 0;
    const aarch64_decode_rc rc = kernel(s, args..., fp_state_fpcr(s), &raised);
    fp_state_merge(s, raised);
    return rc;
}

// The rounding selected by FPCR.RMode.
inline FPRounding fpcr_rounding(uint32_t fpcr) { return FPRounding((fpcr >> FPSCR_RMODE_SHIFT) & 3); }

// ---- Constants --------------------------------------------------------------

// A single-precision constant in format T (exact for the constants used here).
template <typename T>
inline T fp_const_from_single(uint32_t single) {
    if constexpr (sizeof(T) == 4) {
        return single;
    } else {
        FPSCR scratch = 0;
        return FPConvert<uint32_t, T>(single, FPRounding_ZERO, scratch);
    }
}
inline constexpr uint32_t kSingleZero = 0x00000000, kSingleHalf = 0x3F000000, kSingleOne = 0x3F800000,
                          kSingleTwo = 0x40000000;

// The 8-bit floating-point immediate of FDUP/FCPY/FMOV expanded to format T.
template <typename T>
constexpr T fp_expand_imm8(uint32_t imm8) {
    using F = FPFormat<T>;
    const T sign = T((imm8 >> 7) & 1);
    const T b6 = T((imm8 >> 6) & 1);
    // exponent: NOT(b6) : Replicate(b6, E-3) : imm8<5:4>
    T exp = T((b6 ^ 1) << (F::E - 1));
    if (b6) exp = T(exp | (((T(1) << (F::E - 3)) - 1) << 2));
    exp = T(exp | ((imm8 >> 4) & 3));
    const T frac = T(T(imm8 & 15) << (F::M - 4));
    return T((sign << (F::W - 1)) | (exp << F::M) | frac);
}

// ---- Element loops ----------------------------------------------------------

// Zdn (4..0) = op(Zdn[e], Zm[e], fpscr) for active elements of Pg (12..10), Zm
// at 9..5; inactive elements keep Zdn.
template <typename T, typename Op>
inline aarch64_decode_rc fp_binary_merge(cpu_state *s, uint32_t insn, Op op) {
    const vec_buf zm = stage_z(s, zn_num(insn));
    vec_buf r = stage_z(s, zd_num(insn));
    const PredV pg = stage_p(s, pg3_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e)
            if (active<T>(pg, e)) {
                const T a = elem_get<T>(r.b, e), b = elem_get<T>(zm.b, e);
                elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) { return T(op(a, b, f)); }));
            }
        write_z(s, zd_num(insn), r);
    });
}

// Zd (4..0) = op(Zn[e], fpscr) for active elements of Pg (12..10), Zn at 9..5;
// inactive elements keep Zd.
template <typename T, typename Op>
inline aarch64_decode_rc fp_unary_merge(cpu_state *s, uint32_t insn, Op op) {
    const vec_buf zn = stage_z(s, zn_num(insn));
    vec_buf r = stage_z(s, zd_num(insn));
    const PredV pg = stage_p(s, pg3_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e)
            if (active<T>(pg, e)) {
                const T a = elem_get<T>(zn.b, e);
                elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) { return T(op(a, f)); }));
            }
        write_z(s, zd_num(insn), r);
    });
}

// fp_unary_merge for single and double precision on a processor whose FPU gives
// the architecture's answer for the operation: VOP (an FP_HOST_VEC) on 16 bytes
// at a time under the emulated FPCR, set up once. Inactive lanes compute from
// +0.0, which raises nothing in these operations, and keep Zd. CLEAR_FPCR are
// FPCR bits the operation ignores. Elsewhere, OP element by element.
template <typename T, typename Op, typename VOp>
inline aarch64_decode_rc fp_unary_merge_host(cpu_state *s, uint32_t insn, Op op, VOp vop, uint32_t clear_fpcr = 0) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) >= 4) {
        s->insn = insn;
        uint32_t raised = 0;
        host_fp_scope scope = host_fp_begin(fp_state_fpcr(s) & ~clear_fpcr);
        host_fp_hw::merge_unary_pieces(s->p[pg3_num(insn)], s->z[zn_num(insn)], s->z[zd_num(insn)], T{0}, vop);
        host_fp_end(scope, &raised);
        fp_state_merge(s, raised);
        return DECODE_OK;
    }
#endif
    (void)vop;
    (void)clear_fpcr;
    return fp_unary_merge<T>(s, insn, op);
}

// Zd = op(scope, d, n, m) element by element for single and double precision,
// under one FPCR set-up for the instruction (OP a host_fp_raw_* composition;
// d, n, m the elements of Zd (4..0), Zn (9..5) and Zm (20..16)); PG_FIELD the
// low bit of a 3-bit governing predicate, or -1 for every element (inactive
// elements keep Zd).
template <typename T, typename Op>
inline aarch64_decode_rc fp_elements_host(cpu_state *s, uint32_t insn, int pg_field, Op op) {
    s->insn = insn;
    const unsigned char *n = s->z[zn_num(insn)], *m = s->z[zm_num(insn)];
    const unsigned char *g = pg_field >= 0 ? s->p[field(insn, unsigned(pg_field) + 2, unsigned(pg_field))] : nullptr;
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    uint32_t raised = 0;
    host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        const T old = elem_get<T>(d, e);
        elem_set<T>(r.b, e, g == nullptr || (g[e * sizeof(T)] & 1) ? T(op(scope, old, elem_get<T>(n, e), elem_get<T>(m, e))) : old);
    }
    host_fp_end(scope, &raised);
    fp_state_merge(s, raised);
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}

#if defined(__aarch64__)
// fp_elements_host for every element, on 16 bytes at a time: Zd = VOP(d, n, m),
// the pieces of Zd (4..0), Zn (9..5) and Zm (20..16) as host_fp_hw vectors,
// under one FPCR set-up. Each piece of every source is read before the same
// piece of Zd is written.
template <typename T, typename VOp>
inline aarch64_decode_rc fp_pieces_host(cpu_state *s, uint32_t insn, VOp vop) {
    using Vt = host_fp_hw::vec_t<T>;
    s->insn = insn;
    const unsigned char *n = s->z[zn_num(insn)], *m = s->z[zm_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
    uint32_t raised = 0;
    host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
    for (unsigned off = 0; off < kVecBytes; off += 16) {
        Vt a, b, c;
        std::memcpy(&a, d + off, 16);
        std::memcpy(&b, n + off, 16);
        std::memcpy(&c, m + off, 16);
        const Vt r = vop(a, b, c);
        std::memcpy(d + off, &r, 16);
    }
    host_fp_end(scope, &raised);
    fp_state_merge(s, raised);
    return DECODE_OK;
}
#endif

// Zd (4..0) = op(Zn[e], Zm[e], fpscr) for every element, Zn at 9..5, Zm at 20..16.
template <typename T, typename Op>
inline aarch64_decode_rc fp_binary_unpredicated(cpu_state *s, uint32_t insn, Op op) {
    const vec_buf zn = stage_z(s, zn_num(insn));
    const vec_buf zm = stage_z(s, zm_num(insn));
    vec_buf r;
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e) {
            const T a = elem_get<T>(zn.b, e), b = elem_get<T>(zm.b, e);
            elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) { return T(op(a, b, f)); }));
        }
        write_z(s, zd_num(insn), r);
    });
}

// Zd (4..0) = op(Zn[e], fpscr) for every element, Zn at 9..5.
template <typename T, typename Op>
inline aarch64_decode_rc fp_unary_unpredicated(cpu_state *s, uint32_t insn, Op op) {
    const vec_buf zn = stage_z(s, zn_num(insn));
    vec_buf r;
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e) {
            const T a = elem_get<T>(zn.b, e);
            elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) { return T(op(a, f)); }));
        }
        write_z(s, zd_num(insn), r);
    });
}

// Zd (4..0) = op(Zd[e], Zn[e], Zm[e], fpscr) for active elements of Pg (12..10),
// Zn at 9..5, Zm at 20..16; inactive elements keep Zd. The multiply-adds give
// the three registers their own roles.
template <typename T, typename Op>
inline aarch64_decode_rc fp_ternary_merge(cpu_state *s, uint32_t insn, Op op) {
    const vec_buf zn = stage_z(s, zn_num(insn));
    const vec_buf zm = stage_z(s, zm_num(insn));
    vec_buf r = stage_z(s, zd_num(insn));
    const PredV pg = stage_p(s, pg3_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e)
            if (active<T>(pg, e)) {
                const T d = elem_get<T>(r.b, e), a = elem_get<T>(zn.b, e), b = elem_get<T>(zm.b, e);
                elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) { return T(op(d, a, b, f)); }));
            }
        write_z(s, zd_num(insn), r);
    });
}

// Pd (3..0) = op(Zn[e], Zm[e], fpscr) for active elements of Pg (12..10), false
// for inactive ones; Zn at 9..5, Zm at 20..16 (ignored by the #0.0 forms). No
// condition flags.
template <typename T, typename Op>
inline aarch64_decode_rc fp_compare(cpu_state *s, uint32_t insn, Op op) {
    const vec_buf zn = stage_z(s, zn_num(insn));
    const vec_buf zm = stage_z(s, zm_num(insn));
    const PredV pg = stage_p(s, pg3_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        PredV r{};
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e)
            if (active<T>(pg, e)) {
                const T a = elem_get<T>(zn.b, e), b = elem_get<T>(zm.b, e);
                set_element<T>(r, e, fp_eval(ctx, [&](FPSCR &f) { return bool(op(a, b, f)); }));
            }
        write_p(s, field(insn, 3, 0), r);
    });
}

// Reduction by a pairwise tree (elements 2i and 2i+1 combine into element i until
// one value remains), inactive elements replaced by `identity`; Vd at 4..0, Pg
// at 12..10, Zn at 9..5.
template <typename T, typename Op>
inline aarch64_decode_rc fp_reduce_tree(cpu_state *s, uint32_t insn, T identity, Op op) {
    const vec_buf zn = stage_z(s, zn_num(insn));
    const PredV pg = stage_p(s, pg3_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        T work[elem_count<T>];
        unsigned n = context_elements<T>(ctx);
        for (unsigned e = 0; e < n; ++e) work[e] = active<T>(pg, e) ? elem_get<T>(zn.b, e) : identity;
        for (; n > 1; n /= 2)
            for (unsigned i = 0; i < n / 2; ++i)
                work[i] = fp_eval(ctx, [&](FPSCR &f) { return T(op(work[2 * i], work[2 * i + 1], f)); });
        write_v_scalar<T>(s, zd_num(insn), work[0]);
    });
}

// fp_reduce_tree for single and double precision under one FPCR set-up: on
// AArch64 by VPAIR(a, b), the pairwise Advanced SIMD operation (adjacent lanes
// of A then B combined), 16 bytes at a time, which is the same tree; elsewhere
// with HOST_OP(scope, a, b), a host_fp_raw_* operation. OP for half precision.
template <typename T, typename Op, typename HostOp, typename VPair>
inline aarch64_decode_rc fp_reduce_tree_host(cpu_state *s, uint32_t insn, T identity, Op op, HostOp host_op,
                                             VPair vpair) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) >= 4) {
        s->insn = insn;
        using Vt = host_fp_hw::vec_t<T>;
        constexpr unsigned kPieces = kVecBytes / 16;
        const unsigned char *a = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
        const Vt fill = host_fp_hw::v_splat(identity);
        Vt work[kPieces];
        for (unsigned j = 0; j < kPieces; ++j) {
            Vt x, m;
            std::memcpy(&m, g + 16 * j, 16);
            std::memcpy(&x, a + 16 * j, 16);
            work[j] = host_fp_hw::v_select(host_fp_hw::v_low_bit(m), x, fill);
        }
        uint32_t raised = 0;
        host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
        for (unsigned n = kPieces; n > 1; n /= 2)
            for (unsigned i = 0; i < n / 2; ++i) work[i] = vpair(work[2 * i], work[2 * i + 1]);
        // The last piece's lanes, two by two, until lane 0 holds the whole.
        Vt v = work[0];
        for (unsigned lanes = 16 / sizeof(T); lanes > 1; lanes /= 2) v = vpair(v, v);
        host_fp_end(scope, &raised);
        fp_state_merge(s, raised);
        T result;
        std::memcpy(&result, &v, sizeof(T));
        write_v_scalar<T>(s, zd_num(insn), result);
        return DECODE_OK;
    }
#else
    (void)vpair;
    if constexpr (sizeof(T) >= 4) {
        s->insn = insn;
        const unsigned char *a = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
        T work[elem_count<T>];
        for (unsigned e = 0; e < elem_count<T>; ++e) work[e] = (g[e * sizeof(T)] & 1) ? elem_get<T>(a, e) : identity;
        uint32_t raised = 0;
        host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
        for (unsigned n = elem_count<T>; n > 1; n /= 2)
            for (unsigned i = 0; i < n / 2; ++i) work[i] = T(host_op(scope, work[2 * i], work[2 * i + 1]));
        host_fp_end(scope, &raised);
        fp_state_merge(s, raised);
        write_v_scalar<T>(s, zd_num(insn), work[0]);
        return DECODE_OK;
    }
#endif
    (void)host_op;
    return fp_reduce_tree<T>(s, insn, identity, op);
}

// Zdn (4..0) = op(Zdn[e], imm, fpscr) for active elements of Pg (12..10);
// inactive elements keep Zdn.
template <typename T, typename Op>
inline aarch64_decode_rc fp_immediate_merge(cpu_state *s, uint32_t insn, T imm, Op op) {
    vec_buf r = stage_z(s, zd_num(insn));
    const PredV pg = stage_p(s, pg3_num(insn));
    return compute(s, [&](CpuContext &ctx) {
        for (unsigned e = 0; e < context_elements<T>(ctx); ++e)
            if (active<T>(pg, e)) {
                const T a = elem_get<T>(r.b, e);
                elem_set<T>(r.b, e, fp_eval(ctx, [&](FPSCR &f) { return T(op(a, imm, f)); }));
            }
        write_z(s, zd_num(insn), r);
    });
}

// fp_binary_merge (B the Zm of bits 9..5) or fp_immediate_merge (B the
// immediate IMM in every lane) for single and double precision on the host FPU:
// VOP(Zdn, B) 16 bytes at a time under one FPCR set-up. Inactive lanes compute
// from 1.0, which raises nothing in these operations, and keep Zdn. Elsewhere,
// OP element by element.
template <typename T, bool kImmediate, typename Op, typename VOp>
inline aarch64_decode_rc fp_binary_merge_host(cpu_state *s, uint32_t insn, Op op, VOp vop, T imm = 0) {
#if defined(__aarch64__)
    if constexpr (sizeof(T) >= 4) {
        s->insn = insn;
        using Vt = host_fp_hw::vec_t<T>;
        constexpr T kOne = sizeof(T) == 4 ? T(0x3F800000u) : T(0x3FF0000000000000ull);
        const Vt one = host_fp_hw::v_splat(kOne);
        const unsigned char *b = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
        unsigned char *d = s->z[zd_num(insn)];
        uint32_t raised = 0;
        host_fp_scope scope = host_fp_begin(fp_state_fpcr(s));
        for (unsigned off = 0; off < kVecBytes; off += 16) {
            Vt x, y, m;
            std::memcpy(&m, g + off, 16);
            m = host_fp_hw::v_low_bit(m);
            std::memcpy(&x, d + off, 16);
            if constexpr (kImmediate)
                y = host_fp_hw::v_splat(imm);
            else
                std::memcpy(&y, b + off, 16);
            const Vt res = vop(host_fp_hw::v_select(m, x, one), host_fp_hw::v_select(m, y, one));
            const Vt out = host_fp_hw::v_select(m, res, x);
            std::memcpy(d + off, &out, 16);
        }
        host_fp_end(scope, &raised);
        fp_state_merge(s, raised);
        return DECODE_OK;
    }
#endif
    (void)vop;
    if constexpr (kImmediate)
        return fp_immediate_merge<T>(s, insn, imm, op);
    else
        return fp_binary_merge<T>(s, insn, op);
}


// Defines the half-, single- and double-precision handlers of one pattern;
// the expression sees the handler's `state` and `insn` and the encoding type T.
#define FP_HANDLERS(pattern, ...)                                                      \
    SVE_HANDLER(VecF16##pattern) { using T = uint16_t; return __VA_ARGS__; }           \
    SVE_HANDLER(VecF32##pattern) { using T = uint32_t; return __VA_ARGS__; }           \
    SVE_HANDLER(VecD64##pattern) { using T = uint64_t; return __VA_ARGS__; }
