// Definitions of the memory kernels of memory_kernels.def. Addresses wrap at 64
// bits; memory is accessed directly (a fault is the instruction's), except by the
// first-fault and non-fault kernels, which turn faults of speculative elements
// into cleared FFR elements.
#include "sve/kernels/memory_kernels.h"

#include "sve/kernels/memory_access.h"
#include "sve/support/predv.h"

namespace {

inline uint64_t simm(int imm) { return static_cast<uint64_t>(static_cast<int64_t>(imm)); }

}  // namespace

// Scalar base plus immediate times the bytes the instruction transfers.
#define SVE_MEM_LD1_SI(name, M, E, S, N)                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, int imm) { \
        const uint64_t start = contiguous_si_start<M, E>(xread(s, rn), imm);                                 \
        return contiguous_load<M, E, S>(s, zt.num, preg(s, pg), start);                                   \
    }
#define SVE_MEM_LDNF1_SI(name, M, E, S, N)                                                                 \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, int imm) { \
        const uint64_t start = contiguous_si_start<M, E>(xread(s, rn), imm);                                 \
        return contiguous_speculative_load<M, E, S, false>(s, zt.num, preg(s, pg), start);                  \
    }
#define SVE_MEM_ST1_SI(name, M, E, S, N)                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, int imm) { \
        const uint64_t start = contiguous_si_start<M, E>(xread(s, rn), imm);                                 \
        return contiguous_store<M, E>(s, zt.num, preg(s, pg), start);                                     \
    }
// Structures: the immediate counts whole groups of N registers.
#define SVE_MEM_LDN_SI(name, M, E, S, N)                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, int imm) { \
        return structure_load<M, N>(s, zt.num, preg(s, pg), xread(s, rn) + simm(imm) * N * kVecBytes);     \
    }
#define SVE_MEM_STN_SI(name, M, E, S, N)                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, int imm) { \
        return structure_store<M, N>(s, zt.num, preg(s, pg), xread(s, rn) + simm(imm) * N * kVecBytes);    \
    }
// Load and replicate: unsigned immediate times the memory element size.
#define SVE_MEM_LD1R_SI(name, M, E, S, N)                                                                  \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, int imm) { \
        return replicate_load<M, E, S>(s, zt.num, preg(s, pg), xread(s, rn) + uint64_t(unsigned(imm)) * sizeof(M)); \
    }
// Scalar base plus scalar index times the memory element size.
#define SVE_MEM_LD1_SS(name, M, E, S, N)                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, aarch64_i_reg rm) {                                                          \
        const uint64_t start = contiguous_ss_start<M>(xread(s, rn), xread(s, rm));                           \
        return contiguous_load<M, E, S>(s, zt.num, preg(s, pg), start);                                   \
    }
#define SVE_MEM_LDFF1_SS(name, M, E, S, N)                                                                 \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, aarch64_i_reg rm) {                                                          \
        const uint64_t start = contiguous_ss_start<M>(xread(s, rn), xread(s, rm));                           \
        return contiguous_speculative_load<M, E, S, true>(s, zt.num, preg(s, pg), start);                   \
    }
#define SVE_MEM_ST1_SS(name, M, E, S, N)                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, aarch64_i_reg rm) {                                                          \
        const uint64_t start = contiguous_ss_start<M>(xread(s, rn), xread(s, rm));                           \
        return contiguous_store<M, E>(s, zt.num, preg(s, pg), start);                                     \
    }
#define SVE_MEM_LDN_SS(name, M, E, S, N)                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, aarch64_i_reg rm) {                                                          \
        return structure_load<M, N>(s, zt.num, preg(s, pg), xread(s, rn) + xread(s, rm) * sizeof(M));      \
    }
#define SVE_MEM_STN_SS(name, M, E, S, N)                                                                   \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_i_rsp_reg rn, aarch64_i_reg rm) {                                                          \
        return structure_store<M, N>(s, zt.num, preg(s, pg), xread(s, rn) + xread(s, rm) * sizeof(M));     \
    }

// Gathers and scatters. Vector base plus immediate times the memory element size.
#define SVE_MEM_GATHER_VI(name, M, E, S, N)                                                                \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_z_reg zn, int imm) { \
        const unsigned char *b = zreg(s, zn);                                                                \
        const uint64_t off = uint64_t(unsigned(imm)) * sizeof(M);                                            \
        return load_elements<M, E, S>(s, zt.num, preg(s, pg), [=](unsigned i) { return uint64_t(elem_get<E>(b, i)) + off; }); \
    }
#define SVE_MEM_SCATTER_VI(name, M, E, S, N)                                                               \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, aarch64_z_reg zn, int imm) { \
        const unsigned char *b = zreg(s, zn);                                                                \
        const uint64_t off = uint64_t(unsigned(imm)) * sizeof(M);                                            \
        return store_elements<M, E>(s, zt.num, preg(s, pg), [=](unsigned i) { return uint64_t(elem_get<E>(b, i)) + off; }); \
    }
// Scalar base plus vector offsets: (Zt, Pg, Zm, Xn) for the unscaled forms,
// (Zt, Pg, Xn, Zm) for the scaled ones.
#define SVE_MEM_VECTOR_OFFSET(name, M, E, S, sig, args, zm, rn, OFFSET, ACCESS)                           \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_p_reg pg, args) {                                   \
        const unsigned char *o = zreg(s, zm);                                                                \
        const uint64_t base = xread(s, rn);                                                                  \
        return ACCESS(s, zt.num, preg(s, pg), [=](unsigned i) {                                              \
            const uint64_t v = elem_get<E>(o, i);                                                            \
            return base + (OFFSET);                                                                          \
        });                                                                                                  \
    }
#define SVE_MEM_UNSCALED_ARGS aarch64_z_reg zm, aarch64_i_rsp_reg rn
#define SVE_MEM_SCALED_ARGS aarch64_i_rsp_reg rn, aarch64_z_reg zm
#define SVE_MEM_LOAD_ACCESS(M, E, S) load_elements<M, E, S>
#define SVE_MEM_STORE_ACCESS(M, E) store_elements<M, E>
#define SVE_MEM_GATHER_VS64(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_VEC_RSP, SVE_MEM_UNSCALED_ARGS, zm, rn, v, (SVE_MEM_LOAD_ACCESS(M, E, S)))
#define SVE_MEM_GATHER_SXTW(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_VEC_RSP, SVE_MEM_UNSCALED_ARGS, zm, rn, sext32(v), (SVE_MEM_LOAD_ACCESS(M, E, S)))
#define SVE_MEM_GATHER_UXTW(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_VEC_RSP, SVE_MEM_UNSCALED_ARGS, zm, rn, zext32(v), (SVE_MEM_LOAD_ACCESS(M, E, S)))
#define SVE_MEM_GATHER_VS64S(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_RSP_VEC, SVE_MEM_SCALED_ARGS, zm, rn, v * sizeof(M), (SVE_MEM_LOAD_ACCESS(M, E, S)))
#define SVE_MEM_GATHER_SXTWS(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_RSP_VEC, SVE_MEM_SCALED_ARGS, zm, rn, sext32(v) * sizeof(M), (SVE_MEM_LOAD_ACCESS(M, E, S)))
#define SVE_MEM_GATHER_UXTWS(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_RSP_VEC, SVE_MEM_SCALED_ARGS, zm, rn, zext32(v) * sizeof(M), (SVE_MEM_LOAD_ACCESS(M, E, S)))
#define SVE_MEM_SCATTER_VS64(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_VEC_RSP, SVE_MEM_UNSCALED_ARGS, zm, rn, v, (SVE_MEM_STORE_ACCESS(M, E)))
#define SVE_MEM_SCATTER_SXTW(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_VEC_RSP, SVE_MEM_UNSCALED_ARGS, zm, rn, sext32(v), (SVE_MEM_STORE_ACCESS(M, E)))
#define SVE_MEM_SCATTER_VS64S(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_RSP_VEC, SVE_MEM_SCALED_ARGS, zm, rn, v * sizeof(M), (SVE_MEM_STORE_ACCESS(M, E)))
#define SVE_MEM_SCATTER_SXTWS(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_RSP_VEC, SVE_MEM_SCALED_ARGS, zm, rn, sext32(v) * sizeof(M), (SVE_MEM_STORE_ACCESS(M, E)))
#define SVE_MEM_SCATTER_UXTWS(name, M, E, S, N) \
    SVE_MEM_VECTOR_OFFSET(name, M, E, S, SVE_MEM_SIG_Z_RSP_VEC, SVE_MEM_SCALED_ARGS, zm, rn, zext32(v) * sizeof(M), (SVE_MEM_STORE_ACCESS(M, E)))

// Whole registers: LDR/STR Z (256 bytes, immediate in vector lengths) and P (32
// bytes, one bit per predicate byte, immediate in predicate lengths).
#define SVE_MEM_WHOLE_LDR_Z(name, M, E, S, N)                                                             \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_i_rsp_reg rn, int imm) {                \
        std::memcpy(zreg(s, zt), reinterpret_cast<const void *>(xread(s, rn) + simm(imm) * kVecBytes), kVecBytes); \
        return DECODE_OK;                                                                                    \
    }
#define SVE_MEM_WHOLE_STR_Z(name, M, E, S, N)                                                             \
    aarch64_decode_rc name(cpu_state *s, aarch64_z_reg zt, aarch64_i_rsp_reg rn, int imm) {                \
        std::memcpy(reinterpret_cast<void *>(xread(s, rn) + simm(imm) * kVecBytes), zreg(s, zt), kVecBytes); \
        return DECODE_OK;                                                                                    \
    }
#define SVE_MEM_WHOLE_LDR_P(name, M, E, S, N)                                                             \
    aarch64_decode_rc name(cpu_state *s, aarch64_p_reg pt, aarch64_i_rsp_reg rn, int imm) {                \
        const uint64_t a = xread(s, rn) + simm(imm) * (kVecBytes / 8);                                       \
        PredV image;                                                                                         \
        std::memcpy(image.w, reinterpret_cast<const void *>(a), sizeof image.w);                             \
        unpack_pred(image, preg(s, pt));                                                                     \
        return DECODE_OK;                                                                                    \
    }
#define SVE_MEM_WHOLE_STR_P(name, M, E, S, N)                                                             \
    aarch64_decode_rc name(cpu_state *s, aarch64_p_reg pt, aarch64_i_rsp_reg rn, int imm) {                \
        const uint64_t a = xread(s, rn) + simm(imm) * (kVecBytes / 8);                                       \
        const PredV image = pack_pred(preg(s, pt));                                                          \
        std::memcpy(reinterpret_cast<void *>(a), image.w, sizeof image.w);                                   \
        return DECODE_OK;                                                                                    \
    }

#define SVE_MEM_KERNEL(kind, name, M, E, S, N) SVE_MEM_##kind(name, M, E, S, N)
#include "sve/kernels/memory_kernels.def"
#undef SVE_MEM_KERNEL
