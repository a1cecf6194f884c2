#include "sve/handlers/handler_shapes.h"

namespace {

}  // namespace

#define SVE_FAMILY first_fault
#include "sve/handlers/family_bindings.inc"
