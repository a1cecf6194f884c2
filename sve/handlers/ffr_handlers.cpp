// SETFFR, WRFFR, RDFFR, RDFFRS.
#include <cstring>

#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/ffr_kernels.h"
#include "sve/kernels/predicate_inline.h"
#include "sve/kernels/predicate_words.h"

namespace {

SVE_HANDLER(VecPClearFFSR) {
    std::memset(state->ffr, 1, kVecBytes);
    return DECODE_OK;
}
SVE_HANDLER(VecPWriteFFSRP) { return delegate(state, insn, sve_wrffr_p, pfield<uint8_t>(insn, 8, 5)); }
SVE_HANDLER(VecPReadFFSRP) { return delegate(state, insn, sve_rdffr_p, pfield<uint8_t>(insn, 3, 0)); }
SVE_HANDLER(VecPActualP) {
    ffr_and(state->p[field(insn, 3, 0)], state->ffr, state->p[field(insn, 8, 5)]);
    return DECODE_OK;
}
// RDFFRS Pd.B, Pg/Z: Pd = FFR AND Pg by its kernel, then the flags from Pg's
// active ends (found before Pd, which may be Pg, is written) and the result.
SVE_HANDLER(VecPActualFlgP) {
    const pred_ends ends = find_pred_ends(state->p[field(insn, 8, 5)], 1);
    const aarch64_decode_rc rc = delegate(state, insn, sve_rdffr_pp, pfield<uint8_t>(insn, 3, 0), pfield<uint8_t>(insn, 8, 5));
    pred_result_flags(state, ends, state->p[field(insn, 3, 0)], any_true_byte(state->p[field(insn, 3, 0)]));
    return rc;
}

}  // namespace

#define SVE_FAMILY ffr
#include "sve/handlers/family_bindings.inc"
