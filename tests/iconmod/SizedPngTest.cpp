#include <gtest/gtest.h>

#include "iconmod/Iconmod.h"
#include "iconmod/SizedPng.h"
#include "support/ImageFixtures.h"

namespace {

using fixtures::Argb;
using fixtures::Bytes;

Bytes solidPng(int size, Argb colour) {
    return fixtures::makePng(size, size, [colour](int, int) { return colour; });
}

Bytes solidDib(int size, int bitCount, Argb colour) {
    fixtures::DibSpec s;
    s.width = s.height = size;
    s.bitCount = bitCount;
    s.palette = {colour};
    s.pixel = [colour, bitCount](int, int) { return bitCount <= 8 ? 0u : colour; };
    return fixtures::makeDib(s);
}

iconmod::IconImageSet setOf(const std::vector<Bytes>& images) {
    iconmod::IconImageSet set;
    for (const Bytes& bytes : images) {
        iconmod::IconImage image;
        image.Data = iconmod::SharedBytes(bytes);
        EXPECT_TRUE(iconmod::QIconMod::fnParseImage(&image));
        set.Images.push_back(image);
    }
    return set;
}

constexpr Argb kRed = 0xFFFF0000, kGreen = 0xFF00FF00;

}  // namespace

TEST(SizedPng, OffersTheHeldSizesAndTheSmallerStandardOnes) {
    const std::vector<int> standard{16, 24, 32, 48, 64, 128, 256};
    EXPECT_EQ(iconmod::offeredSizes(setOf({solidDib(48, 32, kGreen), solidDib(16, 8, kRed)}), standard),
              (std::vector<int>{16, 24, 32, 48}));
    EXPECT_EQ(iconmod::offeredSizes(setOf({solidPng(256, kRed), solidDib(20, 32, kRed)}), standard),
              (std::vector<int>{16, 20, 24, 32, 48, 64, 128, 256}));
    EXPECT_EQ(iconmod::offeredSizes(setOf({solidDib(16, 4, kRed)}), standard), (std::vector<int>{16}));
    EXPECT_TRUE(iconmod::offeredSizes(iconmod::IconImageSet{}, standard).empty());
}
