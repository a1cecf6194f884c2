// The machinery every handler is built from: operand fields, the delegating
// shape (store the word, build register records, call one kernel), the computing
// shape (stage operands into a CpuContext and local copies, run the core, write
// results, flags, FPSR, FPCR and FFR back) and the prefetch shape.
#pragma once

#include <cstdint>
#include <cstring>

#include "sve/handlers/handler_registry.h"
#include "sve/kernels/kernel_common.h"
#include "sve/state/cpu_context.h"
#include "sve/support/predv.h"

// ---- Instruction fields -----------------------------------------------------

constexpr uint32_t field(uint32_t insn, unsigned hi, unsigned lo) {
    return (insn >> lo) & ((hi - lo == 31) ? ~0u : ((1u << (hi - lo + 1)) - 1));
}
// A field read as a two's-complement number.
constexpr int32_t sfield(uint32_t insn, unsigned hi, unsigned lo) {
    const unsigned width = hi - lo + 1;
    const uint32_t v = field(insn, hi, lo);
    return static_cast<int32_t>(v << (32 - width)) >> (32 - width);
}

// Element-size code of an element type.
template <typename T>
inline constexpr uint32_t qual_of = sizeof(T) == 1 ? kQualB : sizeof(T) == 2 ? kQualH : sizeof(T) == 4 ? kQualS : kQualD;

// Register records from fields: Z registers are 5 bits at `lo`, P registers 4 bits
// (or 3 bits for a governing predicate at 12..10).
template <typename T>
inline aarch64_z_reg zfield(uint32_t insn, unsigned lo) { return make_zreg(field(insn, lo + 4, lo), qual_of<T>); }
template <typename T>
inline aarch64_p_reg pfield(uint32_t insn, unsigned hi, unsigned lo) { return make_preg(field(insn, hi, lo), qual_of<T>); }
inline aarch64_i_reg xfield(uint32_t insn, unsigned lo, uint32_t qual = kQualX) { return make_ireg(field(insn, lo + 4, lo), qual); }
inline aarch64_i_rsp_reg spfield(uint32_t insn, unsigned lo) { return make_rspreg(field(insn, lo + 4, lo)); }

// The common positions.
inline unsigned zd_num(uint32_t insn) { return field(insn, 4, 0); }
inline unsigned zn_num(uint32_t insn) { return field(insn, 9, 5); }
inline unsigned zm_num(uint32_t insn) { return field(insn, 20, 16); }
inline unsigned pg3_num(uint32_t insn) { return field(insn, 12, 10); }

// ---- Delegating shape -------------------------------------------------------

template <typename... KernelArgs, typename... Args>
inline aarch64_decode_rc delegate(cpu_state *s, uint32_t insn, aarch64_decode_rc (*kernel)(cpu_state *, KernelArgs...),
                                  Args... args) {
    s->insn = insn;
    return kernel(s, args...);
}

// ---- Prefetch shape ---------------------------------------------------------

inline aarch64_decode_rc prefetch(cpu_state *, uint32_t) { return DECODE_OK; }

// ---- Computing shape --------------------------------------------------------

inline CpuContext load_context(const cpu_state *s) {
    CpuContext c;
    c.flags = static_cast<uint32_t>(s->nzcv);
    c.fpsr = s->fpsr;
    c.fpcr = s->fpcr | s->fpcr_extra;
    c.vl64 = kVl64;
    const PredV f = pack_pred(s->ffr);
    std::memcpy(c.ffr, f.w, sizeof c.ffr);
    return c;
}

// Whether any byte of a predicate register has a bit other than bit 0 set.
inline bool has_stray_predicate_bits(const unsigned char *bytes) {
    uint64_t any = 0;
    for (unsigned k = 0; k < kVecBytes / 8; ++k) {
        uint64_t v;
        std::memcpy(&v, bytes + 8 * k, 8);
        any |= v;
    }
    return (any & 0xFEFEFEFEFEFEFEFEull) != 0;
}

// FFR is unpacked again only when the core changed it (few do) or it holds
// bytes other than 0 and 1, which the round trip tidies.
inline void store_context(cpu_state *s, const CpuContext &c, const uint64_t (&ffr_before)[4]) {
    s->nzcv = c.flags;
    s->fpsr = c.fpsr;
    s->fpcr = c.fpcr;
    if (std::memcmp(c.ffr, ffr_before, sizeof c.ffr) == 0 && !has_stray_predicate_bits(s->ffr)) return;
    PredV f;
    std::memcpy(f.w, c.ffr, sizeof f.w);
    unpack_pred(f, s->ffr);
}

// Runs core(ctx) between filling the context from the state and writing it back.
// Everything the core writes to the state directly must be written after all
// sources were staged (the stage_* helpers below copy).
template <typename Core>
inline aarch64_decode_rc compute(cpu_state *s, Core &&core) {
    CpuContext ctx = load_context(s);
    uint64_t ffr_before[4];
    std::memcpy(ffr_before, ctx.ffr, sizeof ffr_before);
    core(ctx);
    store_context(s, ctx, ffr_before);
    return DECODE_OK;
}

// Element count of an element type at the context's vector length.
template <typename T>
inline unsigned context_elements(const CpuContext &ctx) {
    return context_vl64(&ctx) * 8 / sizeof(T);
}

// Staged copies of sources.
inline vec_buf stage_z(const cpu_state *s, unsigned n) {
    vec_buf b;
    std::memcpy(b.b, s->z[n & 31], kVecBytes);
    return b;
}
inline PredV stage_p(const cpu_state *s, unsigned n) { return pack_pred(s->p[n & 15]); }
// General registers by number: 31 reads as zero, or as SP where the operand is a base.
inline uint64_t read_x(const cpu_state *s, unsigned n) { return n >= 31 ? 0 : s->x[n]; }
inline uint64_t read_x_or_sp(const cpu_state *s, unsigned n) { return n >= 31 ? s->sp : s->x[n]; }

// Write-back of results.
inline void write_x(cpu_state *s, unsigned n, uint64_t v) {
    if (n < 31) s->x[n] = v;
}
inline void write_z(cpu_state *s, unsigned n, const vec_buf &r) { std::memcpy(s->z[n & 31], r.b, kVecBytes); }
inline void write_p(cpu_state *s, unsigned n, const PredV &p) { unpack_pred(p, s->p[n & 15]); }
// A SIMD&FP scalar result: the value in the low bytes, all other bytes zero.
template <typename T>
inline void write_v_scalar(cpu_state *s, unsigned n, T v) {
    std::memset(s->z[n & 31], 0, kVecBytes);
    std::memcpy(s->z[n & 31], &v, sizeof v);
}

// Whether element e of type T is active in a packed predicate.
template <typename T>
inline bool active(const PredV &p, unsigned e) {
    return pred_bit(p, e * sizeof(T));
}
// Sets element e of type T in a packed predicate: its lowest bit to v, the others clear.
template <typename T>
inline void set_element(PredV &p, unsigned e, bool v) {
    for (unsigned k = 0; k < sizeof(T); ++k) set_pred_bit(p, e * sizeof(T) + k, k == 0 && v);
}

// ---- Element loops of the computing shape ----------------------------------

// The element loops below: element e of the result depends only on element e of
// the sources. The operation runs on every element (it is defined for every
// value) and the predicate picks the result into a local buffer, which nothing
// else can alias, so the compiler can vectorise the loop; the buffer then goes to
// the destination, which may be a source.


// Zd (4..0) = op(Zn[e]) for active elements of Pg (12..10), Zn at 9..5; inactive
// elements keep Zd.
template <typename T, typename Op>
inline aarch64_decode_rc compute_unary_merge(cpu_state *s, uint32_t insn, Op op) {
    const unsigned char *a = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        const T y = static_cast<T>(op(elem_get<T>(a, e)));
        elem_set<T>(r.b, e, pick_active<T>(g, e, y, elem_get<T>(d, e)));
    }
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}

#if defined(__aarch64__)
// compute_unary_merge with an operation on 16 bytes of elements at a time
// (VOP takes and gives the bytes), by a bitwise select of each piece; each
// piece of Zn and Zd is read before the same piece of Zd is written.
template <typename T, typename VOp>
inline aarch64_decode_rc compute_unary_merge_pieces(cpu_state *s, uint32_t insn, VOp vop) {
    const unsigned char *a = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
#pragma GCC unroll 16
    for (unsigned off = 0; off < kVecBytes; off += 16) {
        const uint8x16_t x = vld1q_u8(a + off), old = vld1q_u8(d + off);
        vst1q_u8(d + off, vbslq_u8(lanes_active<T>(vld1q_u8(g + off)), vop(x), old));
    }
    return DECODE_OK;
}
#endif

// Zdn (4..0) = op(Zdn[e]) for active elements of Pg (12..10); inactive elements
// keep Zdn (predicated forms with an immediate operand).
template <typename T, typename Op>
inline aarch64_decode_rc compute_unary_merge_destructive(cpu_state *s, uint32_t insn, Op op) {
    const unsigned char *g = s->p[pg3_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        const T x = elem_get<T>(d, e);
        elem_set<T>(r.b, e, pick_active<T>(g, e, static_cast<T>(op(x)), x));
    }
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}

// Zdn (4..0) = op(Zdn[e], Zm[e]) for active elements of Pg (12..10), Zm at 9..5;
// inactive elements keep Zdn.
template <typename T, typename Op>
inline aarch64_decode_rc compute_binary_merge(cpu_state *s, uint32_t insn, Op op) {
    const unsigned char *m = s->z[zn_num(insn)], *g = s->p[pg3_num(insn)];
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e) {
        const T x = elem_get<T>(d, e);
        const T y = static_cast<T>(op(x, elem_get<T>(m, e)));
        elem_set<T>(r.b, e, pick_active<T>(g, e, y, x));
    }
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}

// As compute_binary_merge, for an operation that does not vectorise (a 64-bit
// high multiply), by merge_scalar_op.
template <typename T, typename Op>
inline aarch64_decode_rc compute_binary_merge_scalar_op(cpu_state *s, uint32_t insn, Op op) {
    unsigned char *d = s->z[zd_num(insn)];
    merge_scalar_op<T>(s->p[pg3_num(insn)], d, s->z[zn_num(insn)], d, op);
    return DECODE_OK;
}

// Zd (4..0) = op(Zn[e], Zm[e]) for every element, Zn at 9..5, Zm at 20..16.
template <typename T, typename Op>
inline aarch64_decode_rc compute_binary_unpredicated(cpu_state *s, uint32_t insn, Op op) {
    const unsigned char *n = s->z[zn_num(insn)], *m = s->z[zm_num(insn)];
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e)
        elem_set<T>(r.b, e, static_cast<T>(op(elem_get<T>(n, e), elem_get<T>(m, e))));
    std::memcpy(s->z[zd_num(insn)], r.b, kVecBytes);
    return DECODE_OK;
}

// Zdn (4..0) = op(Zdn[e], imm) for every element.
template <typename T, typename Op>
inline aarch64_decode_rc compute_immediate_unpredicated(cpu_state *s, uint32_t insn, uint64_t imm, Op op) {
    unsigned char *d = s->z[zd_num(insn)];
    vec_buf r;
    for (unsigned e = 0; e < elem_count<T>; ++e) elem_set<T>(r.b, e, static_cast<T>(op(elem_get<T>(d, e), imm)));
    std::memcpy(d, r.b, kVecBytes);
    return DECODE_OK;
}

// A general-register result (Rd at 4..0) computed from the context.
template <typename Core>
inline aarch64_decode_rc compute_scalar_result(cpu_state *s, uint32_t insn, Core &&core) {
    return compute(s, [&](CpuContext &ctx) { write_x(s, zd_num(insn), core(ctx)); });
}
