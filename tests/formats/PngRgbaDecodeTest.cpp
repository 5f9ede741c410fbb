// The direct path for 8-bit RGBA PNG images, checked against libpng on the same bytes: an
// image it takes must come out with libpng's pixels, and an image it leaves must still
// decode as libpng decodes it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/IconDecode.h"
#include "formats/IconDecodeParts.h"
#include "support/ImageFixtures.h"

using fixtures::Bytes;
using fixtures::PngChunk;
using formats::ByteView;

namespace {

// Rows of filtered bytes as a decoder sees them: each row's filter type taken in turn from
// `filters`, then pseudo-random bytes, whatever they unfilter to.
Bytes filteredRows(int width, int height, const std::vector<std::uint8_t>& filters, std::uint32_t seed = 1) {
    Bytes raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(filters[static_cast<std::size_t>(y) % filters.size()]);
        for (int i = 0; i < width * 4; ++i) {
            seed = seed * 1664525u + 1013904223u;
            raw.push_back(static_cast<std::uint8_t>(seed >> 24));
        }
    }
    return raw;
}

struct Layout {
    const char* name;
    int width, height;
    std::vector<PngChunk> chunks;
};

// An image of `width` x `height` with the given chunks between IHDR and IEND.
Layout layout(const char* name, int width, int height, std::vector<PngChunk> middle, bool iend = true) {
    std::vector<PngChunk> chunks = {{"IHDR", fixtures::ihdrData(width, height)}};
    chunks.insert(chunks.end(), middle.begin(), middle.end());
    if (iend) chunks.push_back({"IEND", {}});
    return {name, width, height, chunks};
}

Bytes slice(const Bytes& b, std::size_t from, std::size_t to) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(to));
}

std::optional<formats::ArgbImage> direct(const Bytes& png) { return formats::decode::decodeRgbaPng(png); }

}  // namespace

TEST(PngRgbaDecode, TakesPlainLayoutsAndGivesLibpngsPixels) {
    const Bytes allFilters = fixtures::zlibStream(filteredRows(37, 9, {0, 1, 2, 3, 4}));
    const Bytes trailing = [&] {
        Bytes b = allFilters;
        b.insert(b.end(), {1, 2, 3});  // after the zlib stream: libpng warns, nothing more
        return b;
    }();
    const std::vector<Layout> layouts = {
        layout("None", 7, 5, {{"IDAT", fixtures::zlibStream(filteredRows(7, 5, {0}))}}),
        layout("Sub", 7, 5, {{"IDAT", fixtures::zlibStream(filteredRows(7, 5, {1}))}}),
        layout("Up", 7, 5, {{"IDAT", fixtures::zlibStream(filteredRows(7, 5, {2}))}}),
        layout("Average", 7, 5, {{"IDAT", fixtures::zlibStream(filteredRows(7, 5, {3}))}}),
        layout("Paeth, every pixel", 64, 64, {{"IDAT", fixtures::zlibStream(filteredRows(64, 64, {4}))}}),
        layout("every filter, odd width", 37, 9, {{"IDAT", allFilters}}),
        layout("one pixel", 1, 1, {{"IDAT", fixtures::zlibStream(filteredRows(1, 1, {4}))}}),
        layout("one column", 1, 40, {{"IDAT", fixtures::zlibStream(filteredRows(1, 40, {3, 4}))}}),
        layout("IDAT in pieces, one empty", 37, 9,
               {{"IDAT", slice(allFilters, 0, 10)},
                {"IDAT", {}},
                {"IDAT", slice(allFilters, 10, 300)},
                {"IDAT", slice(allFilters, 300, allFilters.size())}}),
        layout("ancillary chunks around the data", 37, 9,
               {{"gAMA", {0, 0, 0xB1, 0x8F}}, {"tEXt", {'a', 0, 'b'}}, {"IDAT", allFilters}, {"tEXt", {'c', 0, 'd'}}}),
        layout("wrong CRCs", 37, 9, {{"tEXt", {'a', 0, 'b'}, false}, {"IDAT", allFilters, false}}),
        layout("no IEND", 37, 9, {{"IDAT", allFilters}}, false),
        layout("bytes after the zlib stream", 37, 9, {{"IDAT", trailing}}),
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const Bytes png = fixtures::pngOfChunks(l.chunks);
        const auto mine = direct(png);
        const auto libpng = formats::decode::decodePngThroughLibpng(png);
        ASSERT_TRUE(mine);
        ASSERT_TRUE(libpng);
        EXPECT_EQ(mine->width, l.width);
        EXPECT_EQ(mine->height, l.height);
        EXPECT_EQ(mine->pixels, libpng->pixels);
    }
}

TEST(PngRgbaDecode, LeavesOtherImagesToLibpng) {
    const Bytes rows = filteredRows(6, 4, {4, 1});
    const Bytes stream = fixtures::zlibStream(rows);
    const auto idat = [&](const Bytes& data) { return PngChunk{"IDAT", data}; };
    Bytes badFilter = rows;
    badFilter[0] = 5;
    const Bytes oneRowShort(rows.begin(), rows.end() - 25);
    const std::vector<Layout> layouts = {
        layout("no checksum at the end of the stream", 6, 4, {idat(slice(stream, 0, stream.size() - 4))}),
        layout("a damaged checksum", 6, 4, {idat([&] { Bytes b = stream; b.back() ^= 1; return b; }())}),
        layout("a filter type that does not exist", 6, 4, {idat(fixtures::zlibStream(badFilter))}),
        layout("a row missing", 6, 4, {idat(fixtures::zlibStream(oneRowShort))}),
        layout("a palette before the data", 6, 4, {{"PLTE", {1, 2, 3}}, idat(stream)}),
        layout("a second IHDR", 6, 4, {{"IHDR", fixtures::ihdrData(6, 4)}, idat(stream)}),
        layout("a chunk name that is not letters", 6, 4, {{"tE1t", {}}, idat(stream)}),
        layout("data chunks split by another chunk", 6, 4,
               {idat(slice(stream, 0, 20)), {"tEXt", {'a', 0}}, idat(slice(stream, 20, stream.size()))}),
        layout("no data", 6, 4, {}),
        {"16-bit", 6, 4, {{"IHDR", fixtures::ihdrData(6, 4, 16)}, idat(stream), {"IEND", {}}}},
        {"interlaced", 6, 4, {{"IHDR", fixtures::ihdrData(6, 4, 8, 6, 1)}, idat(stream), {"IEND", {}}}},
        {"RGB", 8, 4, {{"IHDR", fixtures::ihdrData(8, 4, 8, 2)}, idat(stream), {"IEND", {}}}},
    };
    for (const Layout& l : layouts) {
        SCOPED_TRACE(l.name);
        const Bytes png = fixtures::pngOfChunks(l.chunks);
        EXPECT_FALSE(direct(png));
        const auto chosen = formats::decode::decodePng(png);
        const auto libpng = formats::decode::decodePngThroughLibpng(png);
        ASSERT_EQ(chosen.has_value(), libpng.has_value());
        if (chosen) {
            EXPECT_EQ(chosen->pixels, libpng->pixels);
        }
    }
}

// Premultiplying without a division gives what dividing gives, for every channel and alpha.
TEST(PngRgbaDecode, PremultipliesAsDividingWould) {
    int differences = 0;
    for (std::uint32_t a = 0; a < 256; ++a)
        for (std::uint32_t c = 0; c < 256; ++c) {
            const std::uint32_t want = (c * a + 127) / 255;
            if (formats::decode::premultiplied(a, c, c, c) != formats::makeArgb(a, want, want, want)) ++differences;
        }
    EXPECT_EQ(differences, 0);
}

// A row premultiplied two pixels at a time gives, pixel for pixel, what premultiplied()
// gives one at a time, in both channel orders and for odd widths (the last pixel alone).
TEST(PngRgbaDecode, RowsPremultiplyAsPixelsDoInEitherOrder) {
    std::vector<std::uint8_t> bytes(4 * 37);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 97 + i / 4 * 31);
    for (const auto order : {formats::ChannelOrder::Rgba, formats::ChannelOrder::Bgra}) {
        for (const std::size_t width : {std::size_t{1}, std::size_t{2}, std::size_t{36}, std::size_t{37}}) {
            std::vector<std::uint32_t> row(width);
            formats::premultiplyRow(bytes.data(), width, order, row.data());
            for (std::size_t x = 0; x < width; ++x) {
                const std::uint8_t* p = bytes.data() + 4 * x;
                const bool rgba = order == formats::ChannelOrder::Rgba;
                EXPECT_EQ(row[x], formats::decode::premultiplied(p[3], rgba ? p[0] : p[2], p[1], rgba ? p[2] : p[0]))
                    << (rgba ? "RGBA" : "BGRA") << " width " << width << " pixel " << x;
            }
        }
    }
}
