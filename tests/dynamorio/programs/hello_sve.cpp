// The smallest program with an SVE instruction: prints what cntd counted.
#include <cinttypes>
#include <cstdint>
#include <cstdio>

int main() {
    uint64_t count = 0;
    asm volatile(".arch_extension sve\ncntd %0\n" : "=r"(count));
    std::printf("cntd: %" PRIu64 "\n", count);
    return count == 32 ? 0 : 1;
}
