// memcpy, memmove and memset for the DynamoRIO client.
//
// Inside the framework, the C library the client is loaded with resolves these
// to routines that move one byte per step, so a 256-byte register copy costs
// some 800 instructions; the emulator's kernels call them for every copy or
// fill the compiler does not expand inline. These take their place inside the
// client only (hidden: no other library binds to them), 16 bytes a step.
// They are written with Advanced SIMD loads and stores, which never turn into
// calls, and with loop-to-call recognition off.

#include <arm_neon.h>

#include <cstddef>
#include <cstdint>

#define SVE_CLIENT_ROUTINE \
    extern "C" __attribute__((optimize("no-tree-loop-distribute-patterns")))

namespace {

// Copies N bytes from S to D, lowest address first: right for any D and S that
// do not overlap, and for D below S.
__attribute__((optimize("no-tree-loop-distribute-patterns"))) inline void copy_up(unsigned char *d,
                                                                                 const unsigned char *s,
                                                                                 size_t n) {
    for (; n >= 64; n -= 64, d += 64, s += 64) {
        const uint8x16_t a = vld1q_u8(s), b = vld1q_u8(s + 16), c = vld1q_u8(s + 32), e = vld1q_u8(s + 48);
        vst1q_u8(d, a);
        vst1q_u8(d + 16, b);
        vst1q_u8(d + 32, c);
        vst1q_u8(d + 48, e);
    }
    for (; n >= 16; n -= 16, d += 16, s += 16) vst1q_u8(d, vld1q_u8(s));
    for (; n > 0; --n) *d++ = *s++;
}

// The same, highest address first: right for D above S.
__attribute__((optimize("no-tree-loop-distribute-patterns"))) inline void copy_down(unsigned char *d,
                                                                                   const unsigned char *s,
                                                                                   size_t n) {
    d += n;
    s += n;
    for (; n >= 16; n -= 16) {
        d -= 16;
        s -= 16;
        vst1q_u8(d, vld1q_u8(s));
    }
    for (; n > 0; --n) *--d = *--s;
}

}  // namespace

SVE_CLIENT_ROUTINE void *memcpy(void *dst, const void *src, size_t n) {
    copy_up(static_cast<unsigned char *>(dst), static_cast<const unsigned char *>(src), n);
    return dst;
}

SVE_CLIENT_ROUTINE void *memmove(void *dst, const void *src, size_t n) {
    auto *d = static_cast<unsigned char *>(dst);
    const auto *s = static_cast<const unsigned char *>(src);
    if (d <= s || d >= s + n)
        copy_up(d, s, n);
    else
        copy_down(d, s, n);
    return dst;
}

SVE_CLIENT_ROUTINE void *memset(void *dst, int c, size_t n) {
    auto *d = static_cast<unsigned char *>(dst);
    const uint8x16_t v = vdupq_n_u8(static_cast<uint8_t>(c));
    for (; n >= 64; n -= 64, d += 64) {
        vst1q_u8(d, v);
        vst1q_u8(d + 16, v);
        vst1q_u8(d + 32, v);
        vst1q_u8(d + 48, v);
    }
    for (; n >= 16; n -= 16, d += 16) vst1q_u8(d, v);
    for (; n > 0; --n) *d++ = static_cast<unsigned char>(c);
    return dst;
}
