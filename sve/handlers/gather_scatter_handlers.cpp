#include "sve/handlers/handler_shapes.h"

namespace {

}  // namespace

#define SVE_FAMILY gather_scatter
#include "sve/handlers/family_bindings.inc"
