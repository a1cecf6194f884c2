// An emulated ordinary load from an unmapped page: the process must end by
// SIGSEGV after the client's notice (the test runner checks both). Exits 77
// (skipped) while ld1b is not implemented, and 1 if it survives the load.
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>

#include "client_test_support.h"

int main() {
    using namespace dr_test;
    if (!implemented({insn::kPtrueP0B, insn::kLd1bZ0P0X0})) {
        std::puts("skipped: ld1b is not implemented yet");
        return 77;
    }
    use_default_fault_actions();
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);

    const long page = sysconf(_SC_PAGESIZE);
    void *hole = mmap(nullptr, page, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (hole == MAP_FAILED) return 2;
    std::puts("loading from an unmapped page");
    std::fflush(stdout);
    asm volatile(
        ".arch_extension sve\n"
        "mov x0, %0\n"
        "ptrue p0.b\n"
        "ld1b {z0.b}, p0/z, [x0]\n"
        :
        : "r"(hole)
        : "x0", "v0", "memory");
    std::puts("survived the load");
    return 1;
}
