// PNG icon images: IHDR probing, decoding of every colour type and depth to premultiplied
// ARGB, tRNS, and refusal of corrupt, truncated or oversized images without output.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/IconDecode.h"
#include "support/ImageFixtures.h"

using fixtures::Argb;
using fixtures::Bytes;
using formats::ByteView;
using formats::decodeIconImage;

namespace {

std::optional<formats::ArgbImage> decode(const Bytes& b) { return decodeIconImage(ByteView(b)); }

std::size_t find(const Bytes& b, const std::string& text) {
    for (std::size_t i = 0; i + text.size() <= b.size(); ++i)
        if (std::equal(text.begin(), text.end(), b.begin() + static_cast<std::ptrdiff_t>(i))) return i;
    return std::string::npos;
}

}  // namespace

TEST(IconDecodePng, ReadPngInfoReportsSizeAndDepth) {
    struct Case {
        int colorType, bitDepth, colorBits;
    };
    const std::vector<Case> cases = {
        {6, 8, 32}, {6, 16, 32}, {2, 8, 24}, {2, 16, 24}, {0, 1, 1}, {0, 4, 4}, {0, 8, 8},
        {0, 16, 16}, {4, 8, 16}, {4, 16, 32}, {3, 1, 1}, {3, 2, 2}, {3, 4, 4}, {3, 8, 8},
    };
    for (const Case& c : cases) {
        const Bytes png = fixtures::makePng(300, 7, [](int, int) { return 0xFF000000u; }, c.colorType, c.bitDepth);
        EXPECT_TRUE(formats::isPng(png));
        const auto info = formats::readPngInfo(png);
        ASSERT_TRUE(info) << c.colorType << "/" << c.bitDepth;
        EXPECT_EQ(info->width, 300);
        EXPECT_EQ(info->height, 7);
        EXPECT_EQ(info->colorBits, c.colorBits) << c.colorType << "/" << c.bitDepth;
    }

    const Bytes good = fixtures::makePng(4, 4, [](int, int) { return 0u; });
    auto changed = [&good](std::size_t at, std::uint8_t v) {
        Bytes b = good;
        b[at] = v;
        return b;
    };
    EXPECT_FALSE(formats::isPng(changed(7, 0x0B)));          // signature's last byte
    EXPECT_FALSE(formats::readPngInfo(changed(7, 0x0B)));
    EXPECT_FALSE(formats::readPngInfo(changed(12, 'i')));    // first chunk not IHDR
    EXPECT_FALSE(formats::readPngInfo(changed(25, 5)));      // no such colour type
    EXPECT_FALSE(formats::readPngInfo(changed(16, 0x80)));   // width beyond 2^31 - 1
    EXPECT_FALSE(formats::readPngInfo(Bytes(good.begin(), good.begin() + 28)));  // IHDR cut short
    EXPECT_TRUE(formats::readPngInfo(Bytes(good.begin(), good.begin() + 29)));
}

TEST(IconDecodePng, EveryColourTypeDecodesToPremultipliedArgb) {
    struct Case {
        std::string name;
        int colorType, bitDepth;
        fixtures::PngTransparency transparency;
        std::vector<Argb> in;        // pixels given to the writer, cycled in reading order
        std::vector<Argb> expected;  // the decoded pixel for each
        bool interlaced = false;
    };
    std::vector<std::uint8_t> paletteAlpha(201, 255);
    paletteAlpha[0] = 0;
    paletteAlpha[200] = 128;
    const std::vector<Argb> rgbaIn = {0xFF123456, 0x80FF8040, 0x00FFFFFF, 0x40FFFFFF, 0xC0804020};
    // (c * a + 127) / 255 for each channel.
    const std::vector<Argb> rgbaOut = {0xFF123456, 0x80804020, 0x00000000, 0x40404040, 0xC0603018};
    const std::vector<Case> cases = {
        {"RGBA", 6, 8, {}, rgbaIn, rgbaOut},
        {"RGBA 16-bit", 6, 16, {}, rgbaIn, rgbaOut},
        {"RGBA interlaced", 6, 8, {}, rgbaIn, rgbaOut, true},
        {"RGB", 2, 8, {}, {0x00123456, 0x80ABCDEF, 0}, {0xFF123456, 0xFFABCDEF, 0xFF000000}},
        {"RGB 16-bit", 2, 16, {}, {0x00123456, 0x00FEDCBA}, {0xFF123456, 0xFFFEDCBA}},
        {"gray", 0, 8, {}, {0x400000, 0xFF0000, 0}, {0xFF404040, 0xFFFFFFFF, 0xFF000000}},
        {"gray 16-bit", 0, 16, {}, {0x400000, 0x9A0000}, {0xFF404040, 0xFF9A9A9A}},
        {"gray 4-bit", 0, 4, {}, {0x050000, 0x0F0000, 0}, {0xFF555555, 0xFFFFFFFF, 0xFF000000}},
        {"gray 2-bit", 0, 2, {}, {0x020000, 0x010000}, {0xFFAAAAAA, 0xFF555555}},
        {"gray 1-bit", 0, 1, {}, {0x010000, 0}, {0xFFFFFFFF, 0xFF000000}},
        {"gray + alpha", 4, 8, {}, {0x80FF0000, 0xFF400000, 0x00FF0000}, {0x80808080, 0xFF404040, 0}},
        {"gray + alpha 16-bit", 4, 16, {}, {0x80FF0000, 0xFF400000}, {0x80808080, 0xFF404040}},
        // Palette writer: index i is gray i.
        {"palette", 3, 8, {}, {0x070000, 0xC80000}, {0xFF070707, 0xFFC8C8C8}},
        {"palette 4-bit", 3, 4, {}, {0x0F0000, 0x030000}, {0xFF0F0F0F, 0xFF030303}},
        {"palette 1-bit", 3, 1, {}, {0x010000, 0}, {0xFF010101, 0xFF000000}},
        // tRNS: alpha per palette entry (entries past the list are opaque), or a colour key.
        {"palette + tRNS", 3, 8, {paletteAlpha, {}}, {0, 0xC80000, 0x050000, 0xFA0000},
         {0, 0x80646464, 0xFF050505, 0xFFFAFAFA}},
        {"RGB + tRNS", 2, 8, {{}, 0x123456}, {0x123456, 0x123457}, {0, 0xFF123457}},
        {"RGB 16-bit + tRNS", 2, 16, {{}, 0x123456}, {0x123456, 0x123457}, {0, 0xFF123457}},
        {"gray + tRNS", 0, 8, {{}, 0x400000}, {0x400000, 0x410000}, {0, 0xFF414141}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.in.size(), c.expected.size());
        const int w = 7, h = 5;
        auto at = [&c](int x, int y) { return static_cast<std::size_t>(y * w + x) % c.in.size(); };
        const Bytes png = fixtures::makePng(w, h, [&](int x, int y) { return c.in[at(x, y)]; }, c.colorType,
                                            c.bitDepth, c.transparency, c.interlaced);
        const auto image = decode(png);
        ASSERT_TRUE(image);
        ASSERT_EQ(image->width, w);
        ASSERT_EQ(image->height, h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) EXPECT_EQ(image->pixel(x, y), c.expected[at(x, y)]) << x << "," << y;
    }
}

TEST(IconDecodePng, CorruptOrTruncatedImagesAreRefused) {
    // Rows stored uncompressed, so that the last row's last byte has a known place: every cut
    // before it fails, and every cut after it (into the checksum, the CRC, IEND) gives the
    // whole picture, as decoding ends at the last row.
    const int side = 16;
    const Bytes full = fixtures::makePng(side, side, [](int x, int y) { return 0xFF000000u | static_cast<Argb>(x * 16 + y); });
    const Bytes rows = fixtures::pngImageData(full);
    const Bytes png = fixtures::pngOfChunks(
        {{"IHDR", fixtures::ihdrData(side, side)}, {"IDAT", fixtures::zlibStream(rows, 0)}, {"IEND", {}}});
    const auto picture = decode(png);
    ASSERT_TRUE(picture);
    const std::size_t idat = find(png, "IDAT");
    ASSERT_NE(idat, std::string::npos);
    const std::size_t lastRowEnd = idat + 4 + 2 + 5 + rows.size();  // zlib header, stored block header
    for (std::size_t length = 0; length < png.size(); ++length) {
        const auto cut = decode(Bytes(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(length)));
        ASSERT_EQ(cut.has_value(), length >= lastRowEnd) << length;
        if (cut) {
            EXPECT_EQ(cut->pixels, picture->pixels) << length;
        }
    }

    Bytes badZlib = png;
    badZlib[idat + 4] = 0xFF;  // not a deflate stream header
    badZlib[idat + 5] = 0xFF;
    EXPECT_FALSE(decode(badZlib));

    Bytes noImageData(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(idat - 4));
    const Bytes iend = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    noImageData.insert(noImageData.end(), iend.begin(), iend.end());
    EXPECT_FALSE(decode(noImageData));
}

TEST(IconDecodePng, SizeLimits) {
    const auto white = [](int, int) { return 0xFFFFFFFFu; };
    EXPECT_FALSE(decode(fixtures::makePng(4097, 1, white)));
    EXPECT_FALSE(decode(fixtures::makePng(1, 4097, white)));
    const auto wide = decode(fixtures::makePng(4096, 1, white));
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->pixel(4095, 0), 0xFFFFFFFFu);

    // A small image whose IHDR claims 4096 x 4096: refused, nothing of that size is read.
    Bytes claim = fixtures::makePng(8, 8, white);
    claim[16] = 0; claim[17] = 0; claim[18] = 0x10; claim[19] = 0;  // width 4096
    claim[20] = 0; claim[21] = 0; claim[22] = 0x10; claim[23] = 0;  // height 4096
    EXPECT_FALSE(decode(claim));

    // A large plain image packs into few bytes; it still decodes.
    const Bytes plain = fixtures::makePng(1024, 1024, white);
    ASSERT_LT(plain.size(), 1024u * 1024u / 64u);
    const auto image = decode(plain);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixel(1023, 1023), 0xFFFFFFFFu);
}

TEST(IconDecodePng, WarningsAndChecksumErrorsPrintNothing) {
    const Bytes png = fixtures::makePng(4, 4, [](int, int) { return 0x80FF0000u; });
    // tRNS in an image with an alpha channel draws a libpng warning.
    const Bytes warned = fixtures::insertPngChunk(png, "tRNS", Bytes{0, 1, 0, 2, 0, 3});
    // CRC errors are ignored, in a critical chunk as in an ancillary one.
    Bytes badCrc = fixtures::insertPngChunk(png, "abCd", Bytes{1, 2, 3});
    badCrc[33 + 8 + 3] ^= 0xFF;  // after signature and IHDR: length, type, 3 data bytes, CRC
    const std::size_t idat = find(badCrc, "IDAT");
    const std::size_t idatLength = (std::size_t{badCrc[idat - 2]} << 8) | badCrc[idat - 1];
    badCrc[idat + 4 + idatLength] ^= 0xFF;

    for (const Bytes* b : {&warned, static_cast<const Bytes*>(&badCrc)}) {
        testing::internal::CaptureStderr();
        const auto image = decode(*b);
        const std::string printed = testing::internal::GetCapturedStderr();
        ASSERT_TRUE(image);
        EXPECT_EQ(image->pixel(3, 3), 0x80800000u);
        EXPECT_EQ(printed, "");
    }
    // Errors print nothing either: data cut short, a stream that is not zlib's.
    Bytes notZlib = png;
    notZlib[find(png, "IDAT") + 4] ^= 0xFF;
    for (const Bytes& b : {Bytes(png.begin(), png.begin() + 40), notZlib}) {
        testing::internal::CaptureStderr();
        EXPECT_FALSE(decode(b));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    }
}
