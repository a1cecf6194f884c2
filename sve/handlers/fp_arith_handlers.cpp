#include "sve/handlers/handler_shapes.h"

namespace {

}  // namespace

#define SVE_FAMILY fp_arith
#include "sve/handlers/family_bindings.inc"
