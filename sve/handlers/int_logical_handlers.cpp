#include "sve/handlers/handler_shapes.h"

namespace {

}  // namespace

#define SVE_FAMILY int_logical
#include "sve/handlers/family_bindings.inc"
