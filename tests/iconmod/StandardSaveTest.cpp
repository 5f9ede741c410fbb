#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <optional>
#include <vector>

#include "iconmod/PngExport.h"
#include "iconmod/StandardSave.h"
#include "formats/ByteView.h"
#include "formats/IconDecode.h"
#include "platform/IconExtract.h"
#include "support/ImageFixtures.h"

namespace {

using formats::ArgbImage;
using formats::ByteView;

// Straight colours and the palette index each must map to, ties included.
struct NearestCase {
    std::uint32_t rgb;
    int index;
};
constexpr NearestCase kNearest[] = {
    {0x000000, 0},  {0xFFFFFF, 15}, {0xFF0000, 9},  {0x000080, 4},  {0x00FFFF, 14},
    {0x646464, 7},  // closer to gray 128 than to black
    {0xA0A0A0, 7},  // exactly between gray 128 and silver 192: the first wins
    {0x400000, 0},  // exactly between black and maroon
    {0x000040, 0},  // exactly between black and navy
    {0x808040, 3},  // exactly between olive and gray
    {0xBF0000, 1},  {0xC00000, 9},  // either side of the maroon/red midpoint
    {0xDFDFDF, 8},  {0xE0E0E0, 15},  // either side of the silver/white midpoint
    {0x10F010, 10}, {0xC8C8C8, 8},
};

std::uint32_t opaque(std::uint32_t rgb) { return 0xFF000000u | rgb; }

ArgbImage makePicture(int size, const std::function<std::uint32_t(int, int)>& pixel) {
    ArgbImage image(size, size);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) image.pixel(x, y) = pixel(x, y);
    return image;
}

// The icon test picture: colours of kNearest in a pattern that differs between rows and
// between columns, with transparent pixels scattered over it.
bool iconTransparentAt(int x, int y) { return (x * 5 + y * 3) % 7 == 2; }
const NearestCase& iconCaseAt(int x, int y) {
    return kNearest[static_cast<std::size_t>(x + 3 * y) % std::size(kNearest)];
}
ArgbImage iconPicture(int size) {
    return makePicture(size, [](int x, int y) { return iconTransparentAt(x, y) ? 0u : opaque(iconCaseAt(x, y).rgb); });
}

// A minimal reader of the single 4-bit image of a standard .ico: per pixel (top row first)
// the colour index and the mask bit.
struct IcoPixels {
    std::vector<int> index;
    std::vector<int> mask;
};
std::optional<IcoPixels> readStandardIco(ByteView file, int size) {
    const auto offset = file.u32(18);
    if (!offset) return std::nullopt;
    const auto image = file.from(*offset);
    if (!image || image->u32(0) != 40u || image->s32(4) != size || image->s32(8) != 2 * size ||
        image->u16(14) != 4u)
        return std::nullopt;
    const std::uint64_t colourStride = (static_cast<std::uint64_t>(size) * 4 + 31) / 32 * 4;
    const std::uint64_t maskStride = (static_cast<std::uint64_t>(size) + 31) / 32 * 4;
    const std::uint64_t colourStart = 40 + 16 * 4;
    const std::uint64_t maskStart = colourStart + colourStride * static_cast<std::uint64_t>(size);
    IcoPixels out;
    for (int y = 0; y < size; ++y) {
        const std::uint64_t row = static_cast<std::uint64_t>(size - 1 - y);
        for (int x = 0; x < size; ++x) {
            const auto ux = static_cast<std::uint64_t>(x);
            const auto c = image->u8(colourStart + row * colourStride + ux / 2);
            const auto m = image->u8(maskStart + row * maskStride + ux / 8);
            if (!c || !m) return std::nullopt;
            out.index.push_back(x % 2 == 0 ? *c >> 4 : *c & 0xF);
            out.mask.push_back((*m >> (7 - x % 8)) & 1);
        }
    }
    return out;
}

// Little-endian header fields: offset, size in bytes, expected value.
struct Field {
    std::uint64_t offset;
    int size;
    std::uint32_t value;
};
void expectFields(ByteView v, std::initializer_list<Field> fields) {
    for (const Field& f : fields) {
        ASSERT_TRUE(v.fits(f.offset, static_cast<std::uint64_t>(f.size))) << "at offset " << f.offset;
        const std::uint32_t got = f.size == 1 ? *v.u8(f.offset) : f.size == 2 ? *v.u16(f.offset) : *v.u32(f.offset);
        EXPECT_EQ(got, f.value) << "at offset " << f.offset;
    }
}

std::size_t filesIn(const std::string& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

}  // namespace

TEST(StandardSavePalette, NearestColourByPlainSquaredDistanceFirstIndexOnTies) {
    for (const NearestCase& c : kNearest) {
        EXPECT_EQ(iconmod::nearestStandardIndex(static_cast<std::uint8_t>(c.rgb >> 16), static_cast<std::uint8_t>(c.rgb >> 8),
                                                static_cast<std::uint8_t>(c.rgb)),
                  c.index)
            << std::hex << c.rgb;
    }
}

TEST(StandardSavePalette, AlphaCutAndUnpremultipliedColour) {
    struct Case {
        std::uint32_t premultiplied;
        int index;
        bool transparent;
    } cases[] = {
        {0x00000000, 0, true},
        {0x7FFFFFFF, 0, true},   // alpha 127: below the cut, even though white
        {0x80808080, 15, false},  // alpha 128, premultiplied white
        {0x80400000, 1, false},   // straight 128,0,0 (maroon); read as premultiplied it would tie to black
        {0xC0606060, 7, false},   // straight 128 gray
        {0xFF00FF00, 10, false},
    };
    ArgbImage image(static_cast<int>(std::size(cases)), 1);
    for (std::size_t i = 0; i < std::size(cases); ++i) image.pixels[i] = cases[i].premultiplied;
    const iconmod::StandardPaletteImage reduced = iconmod::toStandardPalette(image);
    ASSERT_EQ(reduced.indices.size(), std::size(cases));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(reduced.indices[i], cases[i].index) << i;
        EXPECT_EQ(reduced.transparent[i] != 0, cases[i].transparent) << i;
    }
}

TEST(StandardSaveIco, LayoutAndPixelsAt32And16) {
    struct Case {
        int size;
        std::size_t fileSize;
        std::uint32_t colourBytes;
    } cases[] = {{32, 766, 512}, {16, 318, 128}};
    constexpr std::uint32_t kExpectedTable[16] = {
        0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
        0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        fixtures::TempDir dir;
        const std::string path = dir.file("icon.ico");
        ASSERT_TRUE(iconmod::writeStandardIco(path, iconPicture(c.size)));
        const fixtures::Bytes file = fixtures::readFile(path);
        ASSERT_EQ(file.size(), c.fileSize);
        const ByteView v(file);

        // Directory with its one entry, then the colour image's bitmap header.
        const auto n = static_cast<std::uint32_t>(c.size);
        expectFields(v, {{0, 2, 0}, {2, 2, 1}, {4, 2, 1}, {6, 1, n}, {7, 1, n}, {8, 1, 4}, {9, 1, 0},
                         {10, 2, 0}, {12, 2, 0}, {14, 4, static_cast<std::uint32_t>(c.fileSize - 22)}, {18, 4, 22},
                         {22, 4, 40}, {26, 4, n}, {30, 4, 2 * n}, {34, 2, 1}, {36, 2, 4}, {38, 4, 0},
                         {42, 4, c.colourBytes}, {46, 4, 0}, {50, 4, 0}, {54, 4, 16}, {58, 4, 0}});

        // Colour table: blue, green, red, 0.
        for (std::uint32_t i = 0; i < 16; ++i) {
            const std::uint32_t rgb = kExpectedTable[i];
            const std::uint8_t entry[4] = {static_cast<std::uint8_t>(rgb), static_cast<std::uint8_t>(rgb >> 8),
                                           static_cast<std::uint8_t>(rgb >> 16), 0};
            for (std::uint32_t k = 0; k < 4; ++k) EXPECT_EQ(v.u8(62 + 4 * i + k), entry[k]) << i;
        }

        const auto pixels = readStandardIco(v, c.size);
        ASSERT_TRUE(pixels);
        int mismatches = 0;
        for (int y = 0; y < c.size; ++y) {
            for (int x = 0; x < c.size; ++x) {
                const std::size_t i = static_cast<std::size_t>(y * c.size + x);
                const bool transparent = iconTransparentAt(x, y);
                const int expected = transparent ? 0 : iconCaseAt(x, y).index;
                if (pixels->index[i] != expected || pixels->mask[i] != (transparent ? 1 : 0)) ++mismatches;
            }
        }
        EXPECT_EQ(mismatches, 0);
        // Mask padding bits past the width stay clear (16-pixel rows use 2 of 4 bytes).
        if (c.size == 16) {
            EXPECT_EQ(v.u16(22 + 40 + 64 + c.colourBytes + 2), 0u);
        }
    }
}

TEST(StandardSaveBmp, WhiteBackedBottomUp24Bit) {
    // Quadrants: opaque red, transparent, half-covered blue, opaque green, plus one marked
    // pixel near the top-left corner so that flipped rows or columns show.
    auto picture = [](int x, int y, int half) -> std::uint32_t {
        if (x == 1 && y == 0) return 0xFF123456;
        if (y < half) return x < half ? 0xFFFF0000 : 0x00000000;
        return x < half ? 0x80000080 : 0xFF00A000;
    };
    auto expected = [](int x, int y, int half) -> std::uint32_t {
        if (x == 1 && y == 0) return 0x123456;
        if (y < half) return x < half ? 0xFF0000 : 0xFFFFFF;
        return x < half ? 0x7F7FFF : 0x00A000;  // blue at half cover over white
    };
    struct Case {
        int size;
        std::size_t fileSize;
        std::uint32_t stride;
    } cases[] = {{32, 3126, 96}, {16, 822, 48}, {5, 54 + 16 * 5, 16}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const int half = c.size / 2;
        fixtures::TempDir dir;
        const std::string path = dir.file("icon.bmp");
        ASSERT_TRUE(iconmod::writeWhiteBmp(path, makePicture(c.size, [&](int x, int y) { return picture(x, y, half); })));
        const fixtures::Bytes file = fixtures::readFile(path);
        ASSERT_EQ(file.size(), c.fileSize);
        const ByteView v(file);
        const auto n = static_cast<std::uint32_t>(c.size);
        EXPECT_TRUE(v.startsWith("BM"));
        // Height positive: bottom row first.
        expectFields(v, {{2, 4, static_cast<std::uint32_t>(c.fileSize)}, {6, 4, 0}, {10, 4, 54}, {14, 4, 40},
                         {18, 4, n}, {22, 4, n}, {26, 2, 1}, {28, 2, 24}, {30, 4, 0}, {34, 4, c.stride * n}});

        int mismatches = 0;
        for (int y = 0; y < c.size; ++y) {
            const std::uint64_t row = 54 + static_cast<std::uint64_t>(c.size - 1 - y) * c.stride;
            for (int x = 0; x < c.size; ++x) {
                const std::uint64_t at = row + 3 * static_cast<std::uint64_t>(x);
                const std::uint32_t got = static_cast<std::uint32_t>(*v.u8(at + 2) << 16 | *v.u8(at + 1) << 8 | *v.u8(at));
                if (got != expected(x, y, half)) ++mismatches;
            }
            for (std::uint64_t pad = 3 * static_cast<std::uint64_t>(c.size); pad < c.stride; ++pad)
                if (*v.u8(row + pad) != 0) ++mismatches;
        }
        EXPECT_EQ(mismatches, 0);
    }
}

TEST(StandardSaveFiles, FailuresWriteNothingAndKeepTheOldFile) {
    fixtures::TempDir dir;
    const ArgbImage good = iconPicture(32);
    const std::string existing = dir.file("old.ico");
    const fixtures::Bytes oldBytes = {1, 2, 3, 4};
    ASSERT_TRUE(fixtures::writeFile(existing, oldBytes));
    std::filesystem::create_directory(dir.file("adir.bmp"));

    using Writer = bool (*)(const std::string&, const ArgbImage&);
    const Writer writers[] = {iconmod::writeStandardIco, iconmod::writeWhiteBmp, iconmod::writeWhiteJpeg};
    ArgbImage inconsistent(8, 8);
    inconsistent.pixels.resize(10);
    for (Writer write : writers) {
        EXPECT_FALSE(write(dir.file("missing/x.out"), good));
        EXPECT_FALSE(write(dir.file("adir.bmp"), good));
        // A picture that cannot be encoded leaves the existing file as it was.
        EXPECT_FALSE(write(existing, ArgbImage()));
        EXPECT_FALSE(write(existing, inconsistent));
        EXPECT_EQ(fixtures::readFile(existing), oldBytes);
    }
    // Only the old file and the directory: no temporary files left behind.
    EXPECT_EQ(filesIn(dir.path()), 2u);

    // A picture too large for the icon directory's size bytes is refused; 256 is stored as 0.
    EXPECT_FALSE(iconmod::encodeStandardIco(ArgbImage(257, 16)));
    const auto big = iconmod::encodeStandardIco(ArgbImage(256, 256, 0xFF000000));
    ASSERT_TRUE(big);
    EXPECT_EQ((*big)[6], 0);
    EXPECT_EQ((*big)[7], 0);

    // A successful write replaces the old file.
    ASSERT_TRUE(iconmod::writeStandardIco(existing, good));
    EXPECT_EQ(fixtures::readFile(existing).size(), 766u);
}

// An 8-bit icon as many real ones are made: a shape on a background of masked pixels that
// keep colours. From the extracted picture on, every output shows them as the system draws
// them: dark leftovers fade, a bright one inverts (here: masked white shows black).
TEST(StandardSaveMaskedColours, EveryOutputOfAnExtractedIcon) {
    enum : std::uint32_t { kMaroon = 1, kLeftover = 2, kGray100 = 3, kWhite = 4 };
    fixtures::DibSpec s;
    s.width = s.height = 32;
    s.bitCount = 8;
    s.palette = {0xFF000000, 0xFF800000, 0xFF040404, 0xFF646464, 0xFFFFFFFF};
    const auto kindAt = [](int x, int y) -> std::uint32_t {
        if (x >= 8 && x < 24 && y >= 8 && y < 24) return kMaroon;
        return x == 2 ? kGray100 : x == 3 ? kWhite : kLeftover;
    };
    s.pixel = kindAt;
    s.mask = [&](int x, int y) { return kindAt(x, y) != kMaroon; };
    fixtures::TempDir dir;
    const std::string path = dir.file("leftovers.ico");
    ASSERT_TRUE(fixtures::writeFile(path, fixtures::makeIco({{fixtures::makeDib(s)}})));
    ArgbImage large, small;
    ASSERT_TRUE(platform::extractIcon(path, 0, &large, &small));
    ASSERT_EQ(large.width, 32);

    // Per kind, worked out by hand: the PNG's straight alpha, the .bmp over white, and the
    // 16-colour .ico's index and mask bit (alpha 200 of gray 100 is kept as straight 128).
    struct Expected {
        std::uint32_t pngAlpha;
        std::uint32_t overWhite;
        int index;
        int mask;
    };
    const std::map<std::uint32_t, Expected> expected = {
        {kMaroon, {255, 0x800000, 1, 0}},
        {kLeftover, {8, 0xFBFBFB, 0, 1}},
        {kGray100, {200, 0x9B9B9B, 7, 0}},
        {kWhite, {255, 0x000000, 0, 0}},
    };

    const auto png = iconmod::encodePng(large);
    ASSERT_TRUE(png);
    const auto fromPng = formats::decodeIconImage(ByteView(*png));
    ASSERT_TRUE(fromPng);
    const auto bmp = iconmod::encodeBmp24(large);
    ASSERT_TRUE(bmp);
    const auto ico = iconmod::encodeStandardIco(large);
    ASSERT_TRUE(ico);
    const auto icoPixels = readStandardIco(ByteView(*ico), 32);
    ASSERT_TRUE(icoPixels);

    int mismatches = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const Expected& e = expected.at(kindAt(x, y));
            const std::size_t at = 54 + static_cast<std::size_t>(31 - y) * 96 + static_cast<std::size_t>(x) * 3;
            const std::uint32_t whiteRgb = (std::uint32_t{(*bmp)[at + 2]} << 16) | (std::uint32_t{(*bmp)[at + 1]} << 8) | (*bmp)[at];
            const std::size_t i = static_cast<std::size_t>(y * 32 + x);
            if (formats::argbAlpha(fromPng->pixel(x, y)) != e.pngAlpha || whiteRgb != e.overWhite ||
                icoPixels->index[i] != e.index || icoPixels->mask[i] != e.mask)
                ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
    // The small picture is shrunk by averaging: a leftover background stays nearly clear.
    EXPECT_LT(formats::argbAlpha(small.pixel(0, 0)), 16u);
}
