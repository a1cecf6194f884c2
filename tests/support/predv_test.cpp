// The packed predicate image against the one-bit-at-a-time definition, for the
// word-parallel forms (the AArch64 build checks the vector forms).
#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "sve/support/predv.h"

namespace {

TEST(PredV, PackTakesBitZeroOfEveryByteInPlace) {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 200; ++round) {
        alignas(16) unsigned char bytes[256];
        // Bytes of 0/1 as a predicate register holds them, and other values
        // (only bit 0 counts), in runs and alone.
        for (unsigned i = 0; i < 256; ++i) {
            const uint64_t r = rng();
            bytes[i] = round % 2 == 0 ? static_cast<unsigned char>(r & 1) : static_cast<unsigned char>(r);
        }
        if (round == 2) std::fill(bytes, bytes + 256, 0xff);
        const PredV p = pack_pred(bytes);
        for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(pred_bit(p, i), (bytes[i] & 1) != 0) << "bit " << i;
    }
}

TEST(PredV, UnpackWritesZeroOrOnePerBit) {
    std::mt19937_64 rng(11);
    for (int round = 0; round < 200; ++round) {
        PredV p{{rng(), rng(), rng(), rng()}};
        if (round == 0) p = PredV{{~0ull, 0, ~0ull, 1ull << 63}};
        alignas(16) unsigned char bytes[256];
        std::fill(bytes, bytes + 256, 0x5a);
        unpack_pred(p, bytes);
        for (unsigned i = 0; i < 256; ++i) ASSERT_EQ(bytes[i], pred_bit(p, i) ? 1 : 0) << "byte " << i;
        const PredV back = pack_pred(bytes);
        for (unsigned w = 0; w < 4; ++w) EXPECT_EQ(back.w[w], p.w[w]);
    }
}

}  // namespace
