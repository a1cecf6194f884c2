// SETFFR, WRFFR, RDFFR, RDFFRS.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/ffr_kernels.h"
#include "sve/support/predicate_flags.h"

namespace {

SVE_HANDLER(VecPClearFFSR) { return delegate(state, insn, sve_setffr); }
SVE_HANDLER(VecPWriteFFSRP) { return delegate(state, insn, sve_wrffr_p, pfield<uint8_t>(insn, 8, 5)); }
SVE_HANDLER(VecPReadFFSRP) { return delegate(state, insn, sve_rdffr_p, pfield<uint8_t>(insn, 3, 0)); }
SVE_HANDLER(VecPActualP) {
    return delegate(state, insn, sve_rdffr_pp, pfield<uint8_t>(insn, 3, 0), pfield<uint8_t>(insn, 8, 5));
}
// RDFFRS Pd.B, Pg/Z: Pd = FFR AND Pg, flags from Pg and the result.
SVE_HANDLER(VecPActualFlgP) {
    const PredV g = stage_p(state, field(insn, 8, 5));
    return compute(state, [&](CpuContext &ctx) {
        PredV r;
        for (int w = 0; w < 4; ++w) r.w[w] = ctx.ffr[w] & g.w[w];
        PredSetNZCV(g, r, 8, &ctx);
        write_p(state, field(insn, 3, 0), r);
    });
}

}  // namespace

#define SVE_FAMILY ffr
#include "sve/handlers/family_bindings.inc"
