// Operand fields and computing shapes shared by the load, store, first-fault and
// gather/scatter handlers. Zt is bits 4..0, Pg 12..10, the base Xn 9..5 (31 is
// SP), the index Xm or offset vector Zm 20..16, a vector base Zn 9..5.
#pragma once

#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/memory_access.h"

inline aarch64_i_rsp_reg xn(uint32_t insn) { return spfield(insn, 5); }
inline aarch64_i_reg xm(uint32_t insn) { return xfield(insn, 16); }
// The 9-bit signed immediate of LDR/STR: bits 21..16 then 12..10.
inline int simm9(uint32_t insn) {
    const uint32_t v = (field(insn, 21, 16) << 3) | field(insn, 12, 10);
    return static_cast<int>(v << 23) >> 23;
}

inline uint64_t base_of(const cpu_state *s, uint32_t insn) { return read_x_or_sp(s, field(insn, 9, 5)); }
inline const unsigned char *governing(const cpu_state *s, uint32_t insn) { return s->p[field(insn, 12, 10)]; }

// How a vector element becomes a byte offset from the scalar base.
enum class offset { vs64, vs64s, sxtw, uxtw, sxtws, uxtws };
template <offset O, typename M>
inline uint64_t byte_offset(uint64_t v) {
    switch (O) {
    case offset::vs64: return v;
    case offset::vs64s: return v * sizeof(M);
    case offset::sxtw: return sext32(v);
    case offset::uxtw: return zext32(v);
    case offset::sxtws: return sext32(v) * sizeof(M);
    case offset::uxtws: return zext32(v) * sizeof(M);
    }
    return 0;
}

// Runs `body` with a staged copy of the offsets vector (Zm or Zn), so the
// destination may be the same register. Memory handlers change no flags or FP
// state; first-fault loads clear FFR elements in the state directly.
template <typename Body>
inline aarch64_decode_rc compute_memory(cpu_state *s, unsigned offsets, Body body) {
    const vec_buf o = stage_z(s, offsets);
    body(o);
    return DECODE_OK;
}

// Gathers and scatters with scalar base plus vector offsets (Zm at 20..16),
// read in place: element i's offset is read before element i of Zt is
// written, so Zt may be Zm.
template <typename M, typename E, bool S, offset O>
aarch64_decode_rc gather(cpu_state *s, uint32_t insn) {
    const uint64_t base = base_of(s, insn);
    const unsigned char *o = s->z[zm_num(insn)];
    load_elements<M, E, S>(s, zd_num(insn), governing(s, insn),
                             [&](unsigned i) { return base + byte_offset<O, M>(elem_get<E>(o, i)); });
    return DECODE_OK;
}
template <typename M, typename E, offset O>
aarch64_decode_rc scatter(cpu_state *s, uint32_t insn) {
    const uint64_t base = base_of(s, insn);
    const unsigned char *o = s->z[zm_num(insn)];
    store_elements<M, E>(s, zd_num(insn), governing(s, insn),
                           [&](unsigned i) { return base + byte_offset<O, M>(elem_get<E>(o, i)); });
    return DECODE_OK;
}
template <typename M, typename E, bool S, offset O>
aarch64_decode_rc ldff1_gather(cpu_state *s, uint32_t insn) {
    const uint64_t base = base_of(s, insn);
    return compute_memory(s, zm_num(insn), [&](const vec_buf &o) {
        speculative_load<M, E, S, true>(s, zd_num(insn), governing(s, insn),
                                        [&](unsigned i) { return base + byte_offset<O, M>(elem_get<E>(o.b, i)); });
    });
}

// Vector base (Zn at 9..5) plus the unsigned immediate at 20..16 times the memory
// element size.
template <typename M, typename E, bool S>
aarch64_decode_rc gather_vi(cpu_state *s, uint32_t insn) {
    const uint64_t off = uint64_t{field(insn, 20, 16)} * sizeof(M);
    const unsigned char *o = s->z[zn_num(insn)];
    load_elements<M, E, S>(s, zd_num(insn), governing(s, insn), [&](unsigned i) { return uint64_t(elem_get<E>(o, i)) + off; });
    return DECODE_OK;
}
template <typename M, typename E>
aarch64_decode_rc scatter_vi(cpu_state *s, uint32_t insn) {
    const uint64_t off = uint64_t{field(insn, 20, 16)} * sizeof(M);
    const unsigned char *o = s->z[zn_num(insn)];
    store_elements<M, E>(s, zd_num(insn), governing(s, insn), [&](unsigned i) { return uint64_t(elem_get<E>(o, i)) + off; });
    return DECODE_OK;
}
template <typename M, typename E, bool S>
aarch64_decode_rc ldff1_vi(cpu_state *s, uint32_t insn) {
    const uint64_t off = uint64_t{field(insn, 20, 16)} * sizeof(M);
    return compute_memory(s, zn_num(insn), [&](const vec_buf &o) {
        speculative_load<M, E, S, true>(s, zd_num(insn), governing(s, insn),
                                        [&](unsigned i) { return uint64_t(elem_get<E>(o.b, i)) + off; });
    });
}

// LDFF1 (scalar plus scalar) forms computed here, in the handler itself.
template <typename M, typename E, bool S>
[[gnu::always_inline]] inline aarch64_decode_rc ldff1_ss(cpu_state *s, uint32_t insn) {
    const uint64_t start = base_of(s, insn) + read_x(s, field(insn, 20, 16)) * sizeof(M);
    return contiguous_speculative_load<M, E, S, true>(s, zd_num(insn), governing(s, insn), start);
}

// LD1RQ: one 16-byte block at Xn + imm4 * 16, or Xn + Xm * element size.
template <typename T>
aarch64_decode_rc ld1rq_si(cpu_state *s, uint32_t insn) {
    const uint64_t a = base_of(s, insn) + static_cast<uint64_t>(int64_t{sfield(insn, 19, 16)} * 16);
    return quadword_replicate_load<T>(s, zd_num(insn), governing(s, insn), a);
}
template <typename T>
aarch64_decode_rc ld1rq_ss(cpu_state *s, uint32_t insn) {
    const uint64_t a = base_of(s, insn) + read_x(s, field(insn, 20, 16)) * sizeof(T);
    return quadword_replicate_load<T>(s, zd_num(insn), governing(s, insn), a);
}
