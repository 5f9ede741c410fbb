// Decoding of icon bitmaps: every depth and header kind, masks, alpha, masked colours, and
// refusal of images that are malformed, unsupported, truncated or too large.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formats/IconDecode.h"
#include "support/ImageFixtures.h"

using fixtures::Bytes;
using fixtures::DibSpec;
using formats::ArgbImage;
using formats::decodeIconImage;

namespace {

std::optional<ArgbImage> decode(const Bytes& b) { return decodeIconImage(formats::ByteView(b)); }

std::vector<fixtures::Argb> ramp(int n, fixtures::Argb (*entry)(int)) {
    std::vector<fixtures::Argb> p;
    for (int i = 0; i < n; ++i) p.push_back(entry(i));
    return p;
}

fixtures::Argb rampEntry(int i) {
    const auto u = static_cast<std::uint32_t>(i);
    return 0xFF000000u | (u << 16) | ((255 - u) << 8) | ((u * 7) & 0xFF);
}

struct DepthCase {
    std::string name;
    int bitCount;
    std::uint32_t compression = 0;
    std::vector<std::uint32_t> masks = {};
    std::uint32_t headerSize = 40;
    std::uint32_t clrUsed = 0;
    std::vector<fixtures::Argb> palette = {};
    std::vector<std::uint32_t> raw;        // stored values, cycled over the pixels in reading order
    std::vector<fixtures::Argb> expected;  // the decoded pixel for each raw value
};

}  // namespace

TEST(IconDecodeDib, EveryDepthAndHeaderGivesTheExpectedColours) {
    const std::vector<fixtures::Argb> two = {0xFF102030, 0xFFF0E0D0};
    const std::vector<fixtures::Argb> sixteen = ramp(16, [](int i) { return rampEntry(i * 16); });
    const std::vector<fixtures::Argb> all = ramp(256, rampEntry);
    const std::vector<DepthCase> cases = {
        {"1-bit", 1, 0, {}, 40, 0, two, {0, 1, 1, 0, 1, 0, 0}, {two[0], two[1], two[1], two[0], two[1], two[0], two[0]}},
        {"4-bit", 4, 0, {}, 40, 0, sixteen, {0, 15, 7, 3, 12, 9, 1},
         {sixteen[0], sixteen[15], sixteen[7], sixteen[3], sixteen[12], sixteen[9], sixteen[1]}},
        {"8-bit", 8, 0, {}, 40, 0, all, {0, 255, 128, 17, 200, 5, 99},
         {all[0], all[255], all[128], all[17], all[200], all[5], all[99]}},
        // Indices beyond a short table are black.
        {"4-bit, 3-entry table", 4, 0, {}, 40, 3, sixteen, {0, 2, 3, 15, 1}, {sixteen[0], sixteen[2], 0xFF000000, 0xFF000000, sixteen[1]}},
        {"8-bit, 4-entry table", 8, 0, {}, 40, 4, all, {3, 4, 200, 0}, {all[3], 0xFF000000, 0xFF000000, all[0]}},
        // 5-5-5: the top bit is unused; 5-bit channels widen as v * 8 + v / 4.
        {"16-bit 5-5-5", 16, 0, {}, 40, 0, {}, {0x7C00, 0x03E0, 0x001F, 0x0000, 0x7FFF, 0x4210, 0x8000},
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFF000000, 0xFFFFFFFF, 0xFF848484, 0xFF000000}},
        // 5-6-5 masks: the same bits read differently; 6-bit green widens as v * 4 + v / 16.
        {"16-bit 5-6-5 bitfields", 16, 3, {0xF800, 0x07E0, 0x001F}, 40, 0, {}, {0xF800, 0x07E0, 0x001F, 0xFFFF, 0x8410, 0x0020, 0x7C00},
         {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF848284, 0xFF000400, 0xFF7B8200}},
        {"24-bit", 24, 0, {}, 40, 0, {}, {0x123456, 0xFFFFFF, 0, 0xABCDEF, 0x010203, 0x800000, 0x0000FF},
         {0xFF123456, 0xFFFFFFFF, 0xFF000000, 0xFFABCDEF, 0xFF010203, 0xFF800000, 0xFF0000FF}},
        {"32-bit, alpha all 0", 32, 0, {}, 40, 0, {}, {0x123456, 0xFFFFFF, 0, 0xABCDEF, 0x010203},
         {0xFF123456, 0xFFFFFFFF, 0xFF000000, 0xFFABCDEF, 0xFF010203}},
        {"32-bit 8-8-8 bitfields", 32, 3, {0xFF0000, 0xFF00, 0xFF}, 40, 0, {}, {0x123456, 0xABCDEF, 0},
         {0xFF123456, 0xFFABCDEF, 0xFF000000}},
        // 10-10-10 fields keep their top 8 bits; the top byte holds colour, so it is no alpha.
        {"32-bit 10-10-10 bitfields", 32, 3, {0x3FF, 0xFFC00, 0x3FF00000}, 40, 0, {},
         {0x3FFu | (0x200u << 10) | (0x001u << 20), 0x3FFFFFFF, 0x100u | (0x3FCu << 10) | (0x004u << 20), 0},
         {0xFFFF8000, 0xFFFFFFFF, 0xFF40FF01, 0xFF000000}},
        // Core headers: 3-byte table entries, always 2^bpp of them.
        {"core 1-bit", 1, 0, {}, 12, 0, two, {1, 0, 0, 1, 1}, {two[1], two[0], two[0], two[1], two[1]}},
        {"core 8-bit", 8, 0, {}, 12, 0, all, {7, 250, 0, 128}, {all[7], all[250], all[0], all[128]}},
        {"core 24-bit", 24, 0, {}, 12, 0, {}, {0x123456, 0xFEDCBA, 0}, {0xFF123456, 0xFFFEDCBA, 0xFF000000}},
        // Longer headers: the table follows the whole header; V4/V5 hold the masks themselves.
        {"V4 4-bit", 4, 0, {}, 108, 0, sixteen, {5, 10, 15, 0}, {sixteen[5], sixteen[10], sixteen[15], sixteen[0]}},
        {"V5 8-bit, 4-entry table", 8, 0, {}, 124, 4, all, {1, 2, 3, 9}, {all[1], all[2], all[3], 0xFF000000}},
        {"V5 16-bit 5-6-5 bitfields", 16, 3, {0xF800, 0x07E0, 0x001F}, 124, 0, {}, {0xF800, 0x8410, 0x001F},
         {0xFFFF0000, 0xFF848284, 0xFF0000FF}},
        {"V5 24-bit", 24, 0, {}, 124, 0, {}, {0x0A0B0C, 0xC0FFEE}, {0xFF0A0B0C, 0xFFC0FFEE}},
    };
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(c.raw.size(), c.expected.size());
        DibSpec s;
        s.width = 5;  // rows end inside a byte / need padding at every depth
        s.height = 3;
        s.bitCount = c.bitCount;
        s.compression = c.compression;
        for (std::size_t i = 0; i < c.masks.size(); ++i) s.masks[i] = c.masks[i];
        s.headerSize = c.headerSize;
        s.clrUsed = c.clrUsed;
        s.palette = c.palette;
        const auto at = [&c](int x, int y) { return static_cast<std::size_t>(y * 5 + x) % c.raw.size(); };
        s.pixel = [&](int x, int y) { return c.raw[at(x, y)]; };
        const auto image = decode(fixtures::makeDib(s));
        ASSERT_TRUE(image);
        ASSERT_EQ(image->width, 5);
        ASSERT_EQ(image->height, 3);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x) EXPECT_EQ(image->pixel(x, y), c.expected[at(x, y)]) << x << "," << y;
    }
}

TEST(IconDecodeDib, MaskAndAlpha) {
    struct Case {
        std::string name;
        int bitCount;
        std::uint32_t pixel;  // every pixel of the image
        bool mask;            // every mask bit
        fixtures::Argb expected;
    };
    const std::vector<Case> cases = {
        {"opaque colour", 24, 0xFF0000, false, 0xFFFF0000},
        {"black under mask: transparent", 24, 0x000000, true, 0x00000000},
        {"colour under mask: alpha twice its largest channel", 24, 0x204060, true, 0xC0204060},
        {"palette colour under mask", 8, 1, true, 0xC0204060},
        {"palette black under mask: transparent", 8, 0, true, 0x00000000},
        {"1-bit white under mask: shows black", 1, 1, true, 0xFF000000},
        // Alpha in use: premultiplied, (c * a + 127) / 255; the mask plays no part.
        {"alpha, premultiplied", 32, 0x80FF8040, false, 0x80804020},
        {"alpha ignores the mask", 32, 0x80FF8040, true, 0x80804020},
        {"alpha 255 ignores the mask", 32, 0xFF204060, true, 0xFF204060},
        {"alpha 1", 32, 0x01FFFFFF, false, 0x01010101},
        // All alpha bytes 0: the mask decides, as for 24 bits.
        {"zero alpha, no mask bit: opaque", 32, 0x00FF8040, false, 0xFFFF8040},
        {"zero alpha, black under mask", 32, 0x00000000, true, 0x00000000},
        {"zero alpha, colour under mask", 32, 0x00204060, true, 0xC0204060},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        DibSpec s;
        s.width = 5;  // odd: rows done two pixels at a time end with one alone
        s.height = 2;
        s.bitCount = c.bitCount;
        s.palette = {0xFF000000, 0xFF204060};
        if (c.bitCount == 1) s.palette = {0xFF000000, 0xFFFFFFFF};
        s.pixel = [&c](int, int) { return c.pixel; };
        s.mask = [&c](int, int) { return c.mask; };
        const auto image = decode(fixtures::makeDib(s));
        ASSERT_TRUE(image);
        for (std::uint32_t p : image->pixels) EXPECT_EQ(p, c.expected);
    }
}

// A masked pixel of colour C is drawn by the system as background XOR C. Each case: the
// decoded pixel and, worked out by hand, what it shows over black and over white (a
// premultiplied pixel over white adds 255 - alpha to each channel).
TEST(IconDecodeDib, MaskedColoursOverBlackAndWhite) {
    struct Case {
        const char* name;
        fixtures::Argb colour;
        fixtures::Argb decoded, overBlack, overWhite;
    };
    const Case cases[] = {
        {"black: transparent", 0x000000, 0x00000000, 0xFF000000, 0xFFFFFFFF},
        // Grays up to 127 are exact both ways: C over black, 255 - C over white.
        {"dark gray leftover", 0x040404, 0x08040404, 0xFF040404, 0xFFFBFBFB},
        {"gray 1", 0x010101, 0x02010101, 0xFF010101, 0xFFFEFEFE},
        {"gray 127", 0x7F7F7F, 0xFE7F7F7F, 0xFF7F7F7F, 0xFF808080},
        // A colour: exact over black; over white its largest channel (blue, 0x60) is exact,
        // the others come out darker than 255 - C (DF, BF) by twice their gap to it.
        {"dark colour", 0x204060, 0xC0204060, 0xFF204060, 0xFF5F7F9F},
        {"dark red", 0x400000, 0x80400000, 0xFF400000, 0xFFBF7F7F},
        // From 128 on the pixel inverts: opaque, as over white.
        {"gray 128", 0x808080, 0xFF7F7F7F, 0xFF7F7F7F, 0xFF7F7F7F},
        {"red", 0xFF0000, 0xFF00FFFF, 0xFF00FFFF, 0xFF00FFFF},
        {"white", 0xFFFFFF, 0xFF000000, 0xFF000000, 0xFF000000},
        {"one bright channel", 0x10A010, 0xFFEF5FEF, 0xFFEF5FEF, 0xFFEF5FEF},
    };
    for (int bitCount : {4, 8, 24, 32}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(bitCount) + " bits");
            DibSpec s;
            s.width = 3;
            s.height = 2;
            s.bitCount = bitCount;
            s.palette = {0xFF123456, 0xFF000000u | c.colour};
            // Pixel (1, 0) carries the colour under its mask bit; the others are opaque.
            const std::uint32_t stored = bitCount <= 8 ? 1u : c.colour;
            const std::uint32_t other = bitCount <= 8 ? 0u : 0x123456u;
            s.pixel = [=](int x, int y) { return x == 1 && y == 0 ? stored : other; };
            s.mask = [](int x, int y) { return x == 1 && y == 0; };
            const auto image = decode(fixtures::makeDib(s));
            ASSERT_TRUE(image);
            EXPECT_EQ(image->pixel(0, 0), 0xFF123456u);
            const std::uint32_t p = image->pixel(1, 0);
            EXPECT_EQ(p, c.decoded);
            const std::uint32_t black = 0xFF000000u | (p & 0x00FFFFFFu);
            EXPECT_EQ(black, c.overBlack);
            EXPECT_EQ(formats::overWhite(*image).pixel(1, 0), c.overWhite);
        }
    }
}

TEST(IconDecodeDib, OneNonZeroAlphaByteSwitchesTheWholeImageToAlpha) {
    DibSpec s;
    s.width = 6;
    s.height = 4;
    s.bitCount = 32;
    // The one pixel with alpha sits first, last or in the middle of the stored rows.
    for (auto [ax, ay] : {std::pair{5, 3}, std::pair{0, 0}, std::pair{5, 0}}) {
        SCOPED_TRACE(std::to_string(ax) + "," + std::to_string(ay));
        s.pixel = [ax, ay](int x, int y) { return x == ax && y == ay ? 0xFF112233u : 0x00445566u; };
        s.mask = [](int x, int) { return x % 2 == 0; };
        const auto image = decode(fixtures::makeDib(s));
        ASSERT_TRUE(image);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 6; ++x)
                EXPECT_EQ(image->pixel(x, y), x == ax && y == ay ? 0xFF112233u : 0u) << x << "," << y;
    }
}

TEST(IconDecodeDib, TruncationRefusesShortColourDataAndDropsAShortMask) {
    for (int bitCount : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bitCount);
        DibSpec s;
        s.width = 13;
        s.height = 5;
        s.bitCount = bitCount;
        if (bitCount == 16) s.compression = 3;  // the masks after the header must fit too
        s.palette = {0xFF000000, 0xFF808080};
        // Black (0) and a colour: gray 128 from the table, red at 16 bits (5-6-5), gray above.
        const std::uint32_t colour = bitCount <= 8 ? 1u : bitCount == 16 ? 0xF800u : 0x808080u;
        const std::uint32_t shown = bitCount == 16 ? 0xFFFF0000u : 0xFF808080u;
        const std::uint32_t inverted = bitCount == 16 ? 0xFF00FFFFu : 0xFF7F7F7Fu;
        s.pixel = [colour](int x, int) { return x % 2 ? colour : 0u; };
        s.mask = [](int x, int y) { return (x + 2 * y) % 3 == 0; };  // differs when rows are flipped
        const Bytes full = fixtures::makeDib(s);
        const std::size_t maskSize = 4 * 5;
        const std::size_t colourEnd = full.size() - maskSize;
        for (std::size_t length = 0; length <= full.size(); ++length) {
            const Bytes part(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(length));
            const auto image = decode(part);
            if (length < colourEnd) {
                EXPECT_FALSE(image) << length;
                continue;
            }
            ASSERT_TRUE(image) << length;
            const bool maskUsed = length == full.size();
            for (int y = 0; y < 5; ++y)
                for (int x = 0; x < 13; ++x) {
                    const std::uint32_t p = image->pixel(x, y);
                    const bool black = x % 2 == 0;
                    if (maskUsed && s.mask(x, y)) EXPECT_EQ(p, black ? 0u : inverted) << x << "," << y;
                    else EXPECT_EQ(p, black ? 0xFF000000u : shown) << length << " " << x << "," << y;
                }
        }
    }
}

TEST(IconDecodeDib, RefusesUnsupportedAndMalformedHeaders) {
    auto dib = [](int bitCount, std::uint32_t compression = 0) {
        DibSpec s;
        s.width = s.height = 8;
        s.bitCount = bitCount;
        s.compression = compression;
        return s;
    };
    auto with = [](DibSpec s, auto change) {
        change(s);
        return fixtures::makeDib(s);
    };
    auto patched = [](Bytes b, std::size_t at, std::uint32_t v) {
        fixtures::putU32(b, at, v);
        return b;
    };
    const Bytes valid = fixtures::makeDib(dib(8));
    const Bytes core = with(dib(8), [](DibSpec& s) { s.headerSize = 12; });
    ASSERT_TRUE(decode(valid));
    ASSERT_TRUE(decode(core));
    const std::vector<std::pair<std::string, Bytes>> cases = {
        {"RLE8", fixtures::makeDib(dib(8, 1))},
        {"RLE4", fixtures::makeDib(dib(4, 2))},
        {"JPEG", fixtures::makeDib(dib(24, 4))},
        {"PNG code", fixtures::makeDib(dib(24, 5))},
        {"bitfields at 24 bits", fixtures::makeDib(dib(24, 3))},
        {"bitfields at 8 bits", fixtures::makeDib(dib(8, 3))},
        {"depth 2", patched(valid, 12, 1 | (2u << 16))},
        {"depth 0", patched(valid, 12, 1)},
        {"depth 64", patched(valid, 12, 1 | (64u << 16))},
        {"header size 0", patched(valid, 0, 0)},
        {"header size 20", patched(valid, 0, 20)},
        {"header longer than the data", patched(valid, 0, static_cast<std::uint32_t>(valid.size() + 1))},
        {"negative height", with(dib(8), [](DibSpec& s) { s.heightField = -16; })},
        {"height field 1", with(dib(8), [](DibSpec& s) { s.heightField = 1; })},
        {"zero width", patched(valid, 4, 0)},
        {"negative width", patched(valid, 4, 0xFFFFFFF8u)},
        {"empty", Bytes{}},
        {"header cut short", Bytes(valid.begin(), valid.begin() + 30)},
        {"core header cut short", Bytes(core.begin(), core.begin() + 11)},
    };
    for (const auto& [name, bytes] : cases) EXPECT_FALSE(decode(bytes)) << name;
}

TEST(IconDecodeDib, SizeLimitsAndHugeClaims) {
    // 4096 pixels wide is the limit: one row of one bit is small data either way.
    for (int width : {4096, 4097}) {
        DibSpec s;
        s.width = width;
        s.height = 1;
        s.bitCount = 1;
        const auto image = decode(fixtures::makeDib(s));
        EXPECT_EQ(image.has_value(), width == 4096) << width;
    }
    DibSpec tall;
    tall.width = 1;
    tall.height = 4097;
    tall.bitCount = 1;
    EXPECT_FALSE(decode(fixtures::makeDib(tall)));

    // Headers claiming far more rows than the data holds are refused before any pixel is made.
    DibSpec small;
    small.width = small.height = 4;
    small.bitCount = 32;
    const Bytes base = fixtures::makeDib(small);
    for (auto [w, h] : {std::pair<std::uint32_t, std::uint32_t>{4096, 8192}, {0x7FFFFFFF, 0x7FFFFFFE}, {4096, 0xFFFFFFFE}}) {
        Bytes b = base;
        fixtures::putU32(b, 4, w);
        fixtures::putU32(b, 8, h);
        EXPECT_FALSE(decode(b)) << w << "x" << h;
    }
}
