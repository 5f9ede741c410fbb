// The one home of "a group as a picture of N pixels": pictureAtSize and its order.
#include <gtest/gtest.h>

#include "formats/IconDecode.h"
#include "formats/PictureAtSize.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;
using formats::ArgbImage;
using formats::ByteView;
using formats::ImageInfo;
using formats::PictureUse;

namespace {

std::vector<ByteView> views(const std::vector<Bytes>& images) { return {images.begin(), images.end()}; }

Bytes wideDib(int width, int height) {
    fixtures::DibSpec s;
    s.width = width;
    s.height = height;
    s.bitCount = 24;
    s.pixel = [](int x, int) { return x % 2 ? 0xFF0000FFu : 0xFFFFFF00u; };
    return fixtures::makeDib(s);
}

}  // namespace

TEST(PictureAtSize, ScaleDownOrderTakesTheExactSizeElseTheNextLargerElseTheLargest) {
    struct Case {
        const char* what;
        std::vector<std::optional<ImageInfo>> images;
        int size;
        std::vector<std::size_t> expected;
    } cases[] = {
        {"no images", {}, 128, {}},
        {"the exact size, deepest first, then larger, then smaller",
         {ImageInfo{16, 16, 32}, ImageInfo{128, 128, 8}, ImageInfo{256, 256, 32}, ImageInfo{128, 128, 32}, ImageInfo{48, 48, 32}},
         128, {3, 1, 2, 4, 0}},
        {"a hand-drawn 48 beats a shrunk 256", {ImageInfo{256, 256, 32}, ImageInfo{48, 48, 32}}, 48, {1, 0}},
        {"the smallest larger, not the largest", {ImageInfo{256, 256, 32}, ImageInfo{64, 64, 4}, ImageInfo{96, 96, 8}}, 48, {1, 2, 0}},
        {"nothing as large: the largest first", {ImageInfo{16, 16, 32}, ImageInfo{48, 48, 8}, ImageInfo{32, 32, 32}}, 256, {1, 2, 0}},
        {"one side above the size is larger", {ImageInfo{32, 32, 32}, ImageInfo{64, 16, 32}}, 48, {1, 0}},
        {"equal size and depth keep their order", {ImageInfo{64, 64, 32}, ImageInfo{64, 64, 32}}, 32, {0, 1}},
        {"images without a size are left out", {std::nullopt, ImageInfo{16, 16, 4}, std::nullopt}, 16, {1}},
    };
    for (const auto& c : cases) EXPECT_EQ(formats::scaleDownOrder(c.images, c.size), c.expected) << c.what;
}

// The rule over images' bytes: sizes from the images' own headers, a whole PNG of exactly
// the size passed on byte for byte when a PNG file is made, anything else drawn.
TEST(PictureAtSize, PicksByTheImagesOwnHeadersAndPassesAWholePngOn) {
    const Bytes png = fixtures::detailedPng(5);
    Bytes padded = png;
    padded.insert(padded.end(), {0, 0, 0, 0});
    Bytes badCrc = png;
    badCrc[29] ^= 0xFF;  // inside IHDR's CRC
    const Bytes drawn128 = fixtures::patternDib(128, 32), deep48 = fixtures::patternDib(48, 32),
                flat48 = fixtures::patternDib(48, 8), small16 = fixtures::patternDib(16, 4), wide = wideDib(64, 32);
    const Bytes cut48(deep48.begin(), deep48.begin() + 200);  // its header reads, its rows are missing
    Bytes noHeader = deep48;
    fixtures::putU32(noHeader, 0, 7);

    struct Case {
        const char* what;
        std::vector<Bytes> images;
        int size;
        PictureUse use;
        int expected;            // the image the picture comes from; -1 none
        bool passedOn = false;   // the PNG's bytes up to IEND, unchanged
    } cases[] = {
        {"a whole PNG of the size, byte for byte", {small16, png, flat48}, 256, PictureUse::PngFile, 1, true},
        {"the same PNG wanted as pixels is decoded", {small16, png, flat48}, 256, PictureUse::Pixels, 1},
        {"padding after IEND is not passed on", {padded}, 256, PictureUse::PngFile, 0, true},
        {"a PNG whose CRC fails is drawn", {badCrc}, 256, PictureUse::PngFile, 0},
        {"a drawn 128 beats the PNG shrunk", {png, drawn128, deep48}, 128, PictureUse::PngFile, 1},
        {"the deepest image of the size", {png, flat48, deep48}, 48, PictureUse::Pixels, 2},
        {"the smallest larger image, shrunk", {png, drawn128, small16}, 100, PictureUse::Pixels, 1},
        {"nothing as large: the largest, never enlarged", {small16, deep48}, 128, PictureUse::PngFile, 1},
        {"an image that does not decode gives way to the next", {cut48, png, drawn128}, 48, PictureUse::Pixels, 2},
        {"an image without a header is left out", {noHeader, small16}, 48, PictureUse::Pixels, 1},
        {"a non-square image keeps its aspect", {wide}, 32, PictureUse::Pixels, 0},
        {"nothing decodes", {cut48}, 48, PictureUse::Pixels, -1},
        {"no images", {}, 48, PictureUse::Pixels, -1},
        {"no size", {small16}, 0, PictureUse::Pixels, -1},
    };
    for (const auto& c : cases) {
        const auto picture = formats::pictureAtSize(views(c.images), c.size, c.use);
        if (c.expected < 0) {
            EXPECT_FALSE(picture) << c.what;
            continue;
        }
        ASSERT_TRUE(picture) << c.what;
        EXPECT_EQ(picture->image, static_cast<std::size_t>(c.expected)) << c.what;
        EXPECT_EQ(picture->png.has_value(), c.passedOn) << c.what;
        if (c.passedOn) {
            EXPECT_EQ(*picture->png, png) << c.what;
            continue;
        }
        const auto own = formats::decodeIconImage(c.images[static_cast<std::size_t>(c.expected)]);
        ASSERT_TRUE(own) << c.what;
        const ArgbImage expected = formats::shrinkToFit(*own, c.size);
        EXPECT_EQ(std::make_pair(picture->pixels.width, picture->pixels.height), std::make_pair(expected.width, expected.height))
            << c.what;
        EXPECT_EQ(picture->pixels.pixels, expected.pixels) << c.what;
    }

    EXPECT_EQ(formats::largestImageSide(views({small16, wide, noHeader})), 64);
    EXPECT_EQ(formats::largestImageSide(views({noHeader})), 0);
}
