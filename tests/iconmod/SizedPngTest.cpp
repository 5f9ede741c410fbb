#include <gtest/gtest.h>

#include "formats/IconDecode.h"
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

constexpr Argb kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kGrey = 0xFF808080;

}  // namespace

TEST(SizedPng, PicksTheImageWindowsWouldAndPassesAWholePngOnUnchanged) {
    const Bytes png256 = solidPng(256, kRed);
    Bytes padded = png256;
    padded.insert(padded.end(), {0, 0, 0, 0});
    Bytes badCrc = png256;
    badCrc[30] ^= 0xFF;  // a byte of IHDR's CRC: the chunk no longer checks
    const Bytes dib48deep = solidDib(48, 32, kGreen);
    const Bytes dib48flat = solidDib(48, 8, kGrey);
    const Bytes dib16 = solidDib(16, 32, kBlue);

    struct Case {
        const char* what;
        std::vector<Bytes> images;
        int size;
        int side;         // the picture's size
        Argb centre;      // its centre pixel
        const Bytes* exact;  // when set: the output is exactly these bytes
    } cases[] = {
        {"a whole PNG of the size, byte for byte", {dib16, png256, dib48flat}, 256, 256, kRed, &png256},
        {"padding after IEND is not copied", {padded}, 256, 256, kRed, &png256},
        {"a PNG whose CRC fails is decoded and encoded again", {badCrc}, 256, 256, kRed, nullptr},
        {"the deepest image of the size, not a shrunk larger one", {png256, dib48flat, dib48deep}, 48, 48, kGreen, nullptr},
        {"the smallest larger image, shrunk", {png256, dib48deep, dib16}, 32, 32, kGreen, nullptr},
        {"nothing as large: the largest, never enlarged", {dib16, dib48deep}, 128, 48, kGreen, nullptr},
    };
    for (const auto& c : cases) {
        const auto set = setOf(c.images);
        const auto out = iconmod::sizedPng(set, c.size);
        ASSERT_TRUE(out) << c.what;
        if (c.exact) {
            EXPECT_EQ(*out, *c.exact) << c.what;
        }
        const auto picture = formats::decodeIconImage(*out);
        ASSERT_TRUE(picture) << c.what;
        EXPECT_EQ(picture->width, c.side) << c.what;
        EXPECT_EQ(picture->height, c.side) << c.what;
        EXPECT_EQ(formats::straightArgb(picture->pixels[static_cast<std::size_t>(c.side / 2 * c.side + c.side / 2)]), c.centre) << c.what;
    }
}

TEST(SizedPng, OffersTheHeldSizesAndTheSmallerStandardOnes) {
    const std::vector<int> standard{16, 24, 32, 48, 64, 128, 256};
    EXPECT_EQ(iconmod::offeredSizes(setOf({solidDib(48, 32, kGreen), solidDib(16, 8, kRed)}), standard),
              (std::vector<int>{16, 24, 32, 48}));
    EXPECT_EQ(iconmod::offeredSizes(setOf({solidPng(256, kRed), solidDib(20, 32, kRed)}), standard),
              (std::vector<int>{16, 20, 24, 32, 48, 64, 128, 256}));
    EXPECT_EQ(iconmod::offeredSizes(setOf({solidDib(16, 4, kRed)}), standard), (std::vector<int>{16}));
    EXPECT_TRUE(iconmod::offeredSizes(iconmod::IconImageSet{}, standard).empty());
}
