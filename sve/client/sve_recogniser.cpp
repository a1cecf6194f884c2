// The recogniser: which handler, if any, emulates a word. Block rewriting calls it
// once per instruction when a block is built.
#include "sve/decode/sve_utils.h"

extern "C" sve_handler_fn is_sve(unsigned int word) { return sve_remembered_recogniser_lookup(word); }
