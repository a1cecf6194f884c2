#include "sve/handlers/handler_shapes.h"

namespace {

}  // namespace

#define SVE_FAMILY fp_compare
#include "sve/handlers/family_bindings.inc"
