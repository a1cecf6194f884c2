#include "sve/handlers/handler_shapes.h"

namespace {

}  // namespace

#define SVE_FAMILY permute
#include "sve/handlers/family_bindings.inc"
