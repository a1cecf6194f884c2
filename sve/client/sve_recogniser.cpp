// The recogniser: which handler, if any, emulates a word. Block rewriting calls it
// once per instruction when a block is built.
#include "sve/decode/decode_tables.h"
#include "sve/decode/sve_utils.h"

extern "C" sve_handler_fn is_sve(unsigned int word) {
    for (const decode_table_ref &t : kRecogniserOrder) {
        const decode_map &m = **t.map;
        const auto it = m.find(table_key(word, *t.fields));
        if (it != m.end()) return it->second;
    }
    return nullptr;
}
