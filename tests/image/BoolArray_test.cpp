// BoolArray: byte count (always one spare byte), LSB-first bit order, fill
// and release.
#include "image/BoolArray.h"

#include "TestDibs.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

class BoolArraySize : public ::testing::TestWithParam<std::pair<std::uint32_t, std::uint32_t>> {};

TEST_P(BoolArraySize, OneSpareByte) {
    BoolArray bits(GetParam().first);
    EXPECT_EQ(bits.bitCount(), GetParam().first);
    EXPECT_EQ(bits.byteCount(), GetParam().second);
    bits.fill(false);
    bits.set(GetParam().first - 1, true);  // the last bit is inside the allocation
    EXPECT_TRUE(bits.get(GetParam().first - 1));
}

INSTANTIATE_TEST_SUITE_P(Counts, BoolArraySize,
                         ::testing::Values(std::pair{1u, 1u}, std::pair{7u, 1u}, std::pair{8u, 2u}, std::pair{16u, 3u},
                                           std::pair{30u, 4u}, std::pair{65u, 9u}));

TEST(BoolArray, ZeroBitsIsABadSize) {
    image_test::ExpectQnc([] { BoolArray bits(0); }, "BoolArray: Bad size", 0);
}

TEST(BoolArray, LeastSignificantBitFirst) {
    BoolArray bits(30);
    bits.fill(false);
    bits.set(19, true);
    EXPECT_EQ(bits.bytes()[2], 0x08);
    bits.set(0, true);
    bits.set(7, true);
    EXPECT_EQ(bits.bytes()[0], 0x81);
    bits.set(19, false);
    EXPECT_EQ(bits.bytes()[2], 0x00);
    EXPECT_FALSE(bits.get(18));
    EXPECT_TRUE(bits.get(7));
}

TEST(BoolArray, FillCoversTheSpareByte) {
    BoolArray bits(16);
    bits.fill(true);
    for (std::uint32_t i = 0; i < bits.byteCount(); ++i) EXPECT_EQ(bits.bytes()[i], 0xFF);
    bits.fill(false);
    for (std::uint32_t i = 0; i < bits.byteCount(); ++i) EXPECT_EQ(bits.bytes()[i], 0x00);
}

TEST(BoolArray, ReleaseTwiceIsHarmless) {
    BoolArray bits(10);
    bits.release();
    EXPECT_EQ(bits.bytes(), nullptr);
    bits.release();
    bits.fill(true);  // nothing left to fill
}

}  // namespace
