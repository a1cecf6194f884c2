#include "sve/handlers/handler_shapes.h"

namespace {

}  // namespace

#define SVE_FAMILY load_store
#include "sve/handlers/family_bindings.inc"
