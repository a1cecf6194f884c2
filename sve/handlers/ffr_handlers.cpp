// SETFFR, WRFFR, RDFFR, RDFFRS.
#include "sve/handlers/handler_shapes.h"
#include "sve/kernels/ffr_kernels.h"

namespace {

SVE_HANDLER(VecPClearFFSR) { return delegate(state, insn, sve_setffr); }
SVE_HANDLER(VecPWriteFFSRP) { return delegate(state, insn, sve_wrffr_p, pfield<uint8_t>(insn, 8, 5)); }
SVE_HANDLER(VecPReadFFSRP) { return delegate(state, insn, sve_rdffr_p, pfield<uint8_t>(insn, 3, 0)); }
SVE_HANDLER(VecPActualP) {
    return delegate(state, insn, sve_rdffr_pp, pfield<uint8_t>(insn, 3, 0), pfield<uint8_t>(insn, 8, 5));
}

}  // namespace

#define SVE_FAMILY ffr
#include "sve/handlers/family_bindings.inc"
