// Image data past a PNG's last row: more deflate output than the rows (a deflate bomb's
// gigabytes of zeros), and bytes after the end of the zlib stream. Neither decoding path
// inflates it, the picture is the image's own, and a PNG carrying it is not passed on as
// whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/IconDecode.h"
#include "formats/IconDecodeParts.h"
#include "support/ImageFixtures.h"

using fixtures::Argb;
using fixtures::Bytes;

namespace {

Argb pixel(int x, int y) {
    return (static_cast<Argb>((x * 40 + y * 3) & 0xFF) << 24) | (static_cast<Argb>(x * 7) << 16) |
           (static_cast<Argb>(y * 28) << 8) | 0x40u;
}

struct Image {
    std::string name;
    Bytes png;
    bool direct;  // the 8-bit RGBA path takes the image as written
};

std::vector<Image> images() {
    return {
        {"RGBA", fixtures::makePng(37, 9, pixel), true},
        {"palette 4-bit with tRNS", fixtures::makePng(37, 9, pixel, 3, 4, {{0, 128, 255}, {}}), false},
        {"RGB 16-bit", fixtures::makePng(37, 9, pixel, 2, 16), false},
        {"RGBA interlaced", fixtures::makePng(37, 9, pixel, 6, 8, {}, true), false},
    };
}

}  // namespace

TEST(PngTrailingData, IsIgnoredOnBothPaths) {
    struct Tail {
        std::string name;
        std::uint64_t zeros;  // deflate output past the rows
        Bytes afterStream;    // image data after the end of the zlib stream
    };
    const std::vector<Tail> tails = {
        {"one byte more", 1, {}},
        {"a mebibyte more", 1 << 20, {}},
        {"bytes after the stream", 0, {1, 2, 3, 4, 5}},
        {"a second stream after the stream", 0, fixtures::zlibStream(Bytes(1 << 20, 0))},
        {"more, then bytes after the stream", 1 << 20, {9, 9, 9}},
    };
    for (const Image& image : images()) {
        SCOPED_TRACE(image.name);
        const auto clean = formats::decode::decodePng(image.png);
        ASSERT_TRUE(clean);
        for (const Tail& tail : tails) {
            SCOPED_TRACE(tail.name);
            // Small IDAT chunks, as many encoders write them, so that the direct path reads
            // the layout.
            const Bytes png = fixtures::pngWithDeflateTail(image.png, tail.zeros, tail.afterStream, 100);
            const auto chosen = formats::decode::decodePng(png);
            const auto libpng = formats::decode::decodePngThroughLibpng(png);
            ASSERT_TRUE(chosen);
            ASSERT_TRUE(libpng);
            EXPECT_EQ(chosen->pixels, clean->pixels);
            EXPECT_EQ(libpng->pixels, clean->pixels);
            // The direct path gives the picture or leaves the image to libpng; bytes after the
            // end of the stream keep it on the direct path.
            const auto direct = formats::decode::decodeRgbaPng(png);
            if (direct) {
                EXPECT_EQ(direct->pixels, clean->pixels);
            }
            if (image.direct && tail.zeros == 0 && tail.afterStream.size() < 16) {
                EXPECT_TRUE(direct);
            }
        }
    }
}

// libpng is handed the data up to the piece that completes the picture and nothing after:
// the 2 GiB of zeros behind the rows (2 MiB of data, seconds of inflating) are never read.
TEST(PngTrailingData, LibpngIsHandedNothingPastTheRows) {
    for (const Image& image : images()) {
        SCOPED_TRACE(image.name);
        const auto clean = formats::decode::decodePng(image.png);
        ASSERT_TRUE(clean);
        const Bytes bomb = fixtures::pngWithDeflateTail(image.png, 2ull << 30);
        ASSERT_GT(bomb.size(), 2u << 20);
        std::uint64_t handed = 0;
        const auto picture = formats::decode::decodePngThroughLibpng(bomb, &handed);
        ASSERT_TRUE(picture);
        EXPECT_EQ(picture->pixels, clean->pixels);
        EXPECT_LT(handed, image.png.size() + (64u << 10));
        // The decoder chosen for icons gives the same picture.
        const auto chosen = formats::decodeIconImage(bomb);
        ASSERT_TRUE(chosen);
        EXPECT_EQ(chosen->pixels, clean->pixels);
    }
}

// A PNG goes out unchanged (thumbnails, PNG saves) only when its image data inflates to
// exactly its rows: one whose stream goes on past them is drawn instead. The size of the
// rows is reckoned for every layout, interlaced ones of every width and height class.
TEST(PngTrailingData, AWholePngEndsWithItsRows) {
    struct Layout {
        int colorType, bitDepth;
    };
    const std::vector<Layout> layouts = {{6, 8}, {6, 16}, {2, 8}, {2, 16}, {0, 1}, {0, 2}, {0, 4},
                                         {0, 16}, {4, 8}, {3, 1}, {3, 4}, {3, 8}};
    const std::vector<std::pair<int, int>> sizes = {{1, 1}, {1, 9}, {9, 1}, {2, 3}, {5, 5}, {8, 8}, {37, 9}};
    for (const Layout& l : layouts)
        for (const auto& [width, height] : sizes)
            for (const bool interlaced : {false, true}) {
                SCOPED_TRACE(std::to_string(l.colorType) + "/" + std::to_string(l.bitDepth) + " " +
                             std::to_string(width) + "x" + std::to_string(height) + (interlaced ? " interlaced" : ""));
                const Bytes png = fixtures::makePng(width, height, pixel, l.colorType, l.bitDepth, {}, interlaced);
                const auto size = formats::decode::pngImageDataSize(png);
                ASSERT_TRUE(size);
                ASSERT_EQ(size->inflated, fixtures::pngImageData(png).size());
                Bytes padded = png;
                padded.insert(padded.end(), 7, 0);
                EXPECT_EQ(formats::wholePngLength(padded), png.size());
                EXPECT_FALSE(formats::wholePngLength(fixtures::pngWithDeflateTail(png, 1)));
                // Bytes after the end of the stream are not inflated by any reader; the copy
                // stays whole while they fit libpng's allowance (tiny images have no room
                // for them beside the flush blocks this stream is made of).
                const Bytes afterStream = fixtures::pngWithDeflateTail(png, 0, {1, 2, 3});
                if (width * height >= 25) {
                    EXPECT_EQ(formats::wholePngLength(afterStream), afterStream.size());
                }
                const Bytes past = fixtures::pngWithDeflateTail(png, 0, Bytes(size->maxCompressed, 0));
                EXPECT_FALSE(formats::wholePngLength(past));
            }
}
