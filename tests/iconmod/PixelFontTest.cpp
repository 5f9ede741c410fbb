#include <gtest/gtest.h>

#include <set>

#include "iconmod/PixelFont.h"

namespace {

constexpr std::uint32_t kRed = 0xFFFF0000;

// The pixels a label sets on a clear image, as "x,y" strings relative to (ox, oy).
std::vector<std::pair<int, int>> drawn(std::string_view text, int scale = 1, int ox = 3, int oy = 4) {
    formats::ArgbImage image(120, 40);
    iconmod::drawLabel(image, ox, oy, text, kRed, scale);
    std::vector<std::pair<int, int>> set;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x)
            if (image.pixel(x, y) != 0) {
                EXPECT_EQ(image.pixel(x, y), kRed);
                set.emplace_back(x - ox, y - oy);
            }
    return set;
}

}  // namespace

TEST(PixelFont, DrawsEveryCharacterDistinctlyInsideItsBox) {
    std::set<std::vector<std::pair<int, int>>> glyphs;
    for (char c = 0x20; c < 0x7F; ++c) {
        const auto pixels = drawn(std::string(1, c));
        for (const auto& [x, y] : pixels) {
            EXPECT_TRUE(x >= 0 && x < iconmod::kGlyphWidth && y >= 0 && y < iconmod::kGlyphHeight) << c << " at " << x << "," << y;
        }
        EXPECT_EQ(pixels.empty(), c == ' ') << c;
        EXPECT_TRUE(glyphs.insert(pixels).second) << c << " looks like another character";
    }
    // Characters the font lacks draw one box each, whatever their length in bytes.
    const auto box = drawn("\x01");
    EXPECT_FALSE(glyphs.count(box));
    EXPECT_EQ(drawn("\xC3\xA9"), box);
    EXPECT_EQ(iconmod::labelWidth("\xC3\xA9\xE2\x80\x93"), 2 * iconmod::kGlyphAdvance - 1);
}

TEST(PixelFont, ScalesClipsAndBlends) {
    EXPECT_EQ(iconmod::labelWidth(""), 0);
    EXPECT_EQ(iconmod::labelWidth("Arrow"), 29);
    EXPECT_EQ(iconmod::labelWidth("Arrow", 2), 58);
    EXPECT_EQ(iconmod::labelHeight(3), 27);

    // At scale 2 each pixel is a 2 x 2 square; the label spans exactly its width.
    const auto one = drawn("SizeNESW");
    const auto two = drawn("SizeNESW", 2);
    EXPECT_EQ(two.size(), 4 * one.size());
    int right = 0;
    for (const auto& p : two) right = std::max(right, p.first);
    EXPECT_EQ(right + 1, iconmod::labelWidth("SizeNESW", 2));

    // Clipped at every edge: only the part inside is drawn.
    const auto whole = drawn("W", 1, 10, 10);
    const auto clipped = drawn("W", 1, -2, -3);
    std::size_t inside = 0;
    for (const auto& [x, y] : whole) inside += (x >= 2 && y >= 3);
    EXPECT_EQ(clipped.size(), inside);
    formats::ArgbImage small(3, 3);
    iconmod::drawLabel(small, 1, 1, "Person", kRed, 16);
    EXPECT_EQ(small.pixel(2, 2), kRed);
    EXPECT_EQ(small.pixel(0, 0), 0u);

    // Half-transparent colour over white.
    formats::ArgbImage white(6, 9, 0xFFFFFFFF);
    iconmod::drawLabel(white, 0, 0, "|", 0x80800000);
    EXPECT_EQ(white.pixel(2, 0), 0xFFFF7F7Fu);
    EXPECT_EQ(white.pixel(0, 0), 0xFFFFFFFFu);
}
