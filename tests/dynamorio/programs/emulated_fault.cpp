// An emulated ordinary load from an unmapped page: the process must end by
// SIGSEGV after the client's notice (the test runner checks both). Exits 77
// (skipped) while ld1b is not implemented, and 1 if it survives the load.
// With "loop", the load is in a loop that walks into the page from the pages
// before it, so that the fault comes while the emulation goes on past a run.
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "client_test_support.h"

int main(int argc, char **argv) {
    using namespace dr_test;
    if (!implemented({insn::kPtrueP0B, insn::kLd1bZ0P0X0})) {
        std::puts("skipped: ld1b is not implemented yet");
        return 77;
    }
    use_default_fault_actions();
    rlimit no_core{0, 0};
    setrlimit(RLIMIT_CORE, &no_core);

    const long page = sysconf(_SC_PAGESIZE);
    if (argc > 1 && std::strcmp(argv[1], "loop") == 0) {
        auto *bytes = static_cast<unsigned char *>(
            mmap(nullptr, 3 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        if (bytes == MAP_FAILED || mprotect(bytes + 2 * page, page, PROT_NONE) != 0) return 2;
        std::puts("loading from an unmapped page in a loop");
        std::fflush(stdout);
        asm volatile(
            ".arch_extension sve\n"
            "mov x0, %0\n"
            "mov x1, %1\n"
            "ptrue p0.b\n"
            "1: ld1b {z0.b}, p0/z, [x0]\n"
            "add x0, x0, #256\n"
            "subs x1, x1, #1\n"
            "b.ne 1b\n"
            :
            : "r"(bytes), "r"(3 * page / 256)
            : "x0", "x1", "v0", "p0", "cc", "memory");
        std::puts("survived the load");
        return 1;
    }
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
