// The client's own memcpy, memmove and memset, linked into this program (where
// they take the C library's place for everything it runs), against
// byte-at-a-time references: every length up to 300 at every alignment of
// destination and source within 16 bytes, and memmove with the two ranges
// overlapping either way. Bytes around the destination must stay as they were.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kMaxLength = 300;
constexpr size_t kArena = 1024;

void fill(std::vector<unsigned char> &v, unsigned seed) {
    for (size_t i = 0; i < v.size(); ++i) v[i] = static_cast<unsigned char>((i * 131 + seed * 7 + 1) & 0xff);
}

// What memmove must leave: the source bytes as they were before the call.
void reference_move(std::vector<unsigned char> &arena, size_t to, size_t from, size_t n) {
    const std::vector<unsigned char> before(arena);
    for (size_t i = 0; i < n; ++i) arena[to + i] = before[from + i];
}

TEST(ClientMemoryRoutines, CopyAtEveryLengthAndAlignment) {
    std::vector<unsigned char> src(kArena), dst(kArena), want(kArena);
    fill(src, 1);
    for (size_t n = 0; n <= kMaxLength; ++n)
        for (size_t da = 0; da < 16; ++da)
            for (size_t sa = 0; sa < 16; sa += 5) {
                fill(dst, 2);
                want = dst;
                for (size_t i = 0; i < n; ++i) want[64 + da + i] = src[64 + sa + i];
                void *volatile target = dst.data() + 64 + da;
                ASSERT_EQ(memcpy(target, src.data() + 64 + sa, n), target);
                ASSERT_EQ(dst, want) << "memcpy of " << n << " bytes, alignments " << da << " " << sa;
            }
}

TEST(ClientMemoryRoutines, MoveWithOverlapEitherWay) {
    std::vector<unsigned char> arena(kArena), want(kArena);
    for (size_t n = 0; n <= kMaxLength; n += (n < 40 ? 1 : 7))
        for (size_t from : {size_t{200}, size_t{203}})
            for (int shift : {-65, -17, -16, -3, -1, 0, 1, 2, 15, 16, 33, 64, 130}) {
                const size_t to = static_cast<size_t>(static_cast<long>(from) + shift);
                fill(arena, 3);
                want = arena;
                reference_move(want, to, from, n);
                ASSERT_EQ(memmove(arena.data() + to, arena.data() + from, n), arena.data() + to);
                ASSERT_EQ(arena, want) << "memmove of " << n << " bytes from " << from << " to " << to;
            }
}

TEST(ClientMemoryRoutines, SetAtEveryLengthAndAlignment) {
    std::vector<unsigned char> dst(kArena), want(kArena);
    for (size_t n = 0; n <= kMaxLength; ++n)
        for (size_t da = 0; da < 16; ++da) {
            fill(dst, 4);
            want = dst;
            for (size_t i = 0; i < n; ++i) want[64 + da + i] = 0xa5;
            // Only the low byte of the value counts.
            void *volatile target = dst.data() + 64 + da;
            ASSERT_EQ(memset(target, 0x1a5, n), target);
            ASSERT_EQ(dst, want) << "memset of " << n << " bytes, alignment " << da;
        }
}

}  // namespace
