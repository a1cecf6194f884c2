// Two pages for tests of accesses that run off readable memory: the first
// readable and writable (byte i holds 0x11 + i), the second unmapped.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>

struct guard_pages {
    unsigned char *base = nullptr;
    size_t page = 0;
    guard_pages() {
        page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        void *p = mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) return;
        base = static_cast<unsigned char *>(p);
        for (size_t i = 0; i < page; ++i) base[i] = static_cast<unsigned char>(0x11 + i);
        munmap(base + page, page);
    }
    ~guard_pages() {
        if (base != nullptr) munmap(base, page);
    }
    unsigned long addr(long off) const { return reinterpret_cast<unsigned long>(base) + off; }
    // The first address that cannot be read.
    unsigned char *boundary() const { return base + page; }
};
