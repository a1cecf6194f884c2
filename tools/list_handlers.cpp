// Prints every handler with its table, key and whether it is implemented, then
// the count of implemented handlers. A placeholder that returns
// DECODE_UNIMPLEMENTED is never counted as implemented.
//
//   sve_list_handlers [--implemented | --unimplemented] [--summary]
#include <cstdio>
#include <cstring>

#include "sve/decode/sve_utils.h"

int main(int argc, char **argv) {
    bool only_impl = false, only_unimpl = false, summary_only = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--implemented") == 0)
            only_impl = true;
        else if (std::strcmp(argv[i], "--unimplemented") == 0)
            only_unimpl = true;
        else if (std::strcmp(argv[i], "--summary") == 0)
            summary_only = true;
        else {
            std::fprintf(stderr, "usage: %s [--implemented | --unimplemented] [--summary]\n", argv[0]);
            return 2;
        }
    }
    size_t n = 0;
    const sve_handler_info *h = sve_handler_catalog(&n);
    size_t implemented = 0;
    for (size_t i = 0; i < n; ++i) {
        if (h[i].implemented) ++implemented;
        if (summary_only || (only_impl && !h[i].implemented) || (only_unimpl && h[i].implemented)) continue;
        std::printf("%-26s %-36s 0x%-8X %s\n", h[i].name, h[i].table, h[i].key,
                    h[i].implemented ? "implemented" : "unimplemented");
    }
    std::printf("handlers: %zu implemented, %zu unimplemented, %zu in all\n", implemented, n - implemented, n);
    return 0;
}
