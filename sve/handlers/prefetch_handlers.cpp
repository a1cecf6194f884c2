// PRFB, PRFH, PRFW, PRFD in every addressing form: prefetches are hints, and
// emulating one has no architectural effect.
#include "sve/handlers/handler_shapes.h"

namespace {

SVE_HANDLER(VecU8Prefetch1LSS) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch1VI) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch1YSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch2YSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch4YSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch8YSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch1XSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch2XSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch4XSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch8XSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU16Prefetch2LSS) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch2VI) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch4LSS) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch4VI) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch8LSS) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch8VI) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch1VI) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch1YSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch2YSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch4YSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch8YSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch1XSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch2XSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch4XSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch8XSV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch1SV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch2SV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch4SV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch8SV) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch2VI) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch4VI) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch8VI) { return prefetch(state, insn); }
SVE_HANDLER(VecU8Prefetch1SI) { return prefetch(state, insn); }
SVE_HANDLER(VecU16Prefetch2SI) { return prefetch(state, insn); }
SVE_HANDLER(VecU32Prefetch4SI) { return prefetch(state, insn); }
SVE_HANDLER(VecU64Prefetch8SI) { return prefetch(state, insn); }

}  // namespace

#define SVE_FAMILY prefetch
#include "sve/handlers/family_bindings.inc"
