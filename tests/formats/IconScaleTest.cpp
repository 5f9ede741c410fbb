// Scaling of decoded pictures: area averaging where a direction shrinks, nearest pixel
// where it grows, on premultiplied pixels.
#include <gtest/gtest.h>

#include <random>

#include "formats/IconDecode.h"

using formats::ArgbImage;
using formats::makeArgb;
using formats::scaleImage;

namespace {

ArgbImage make(int w, int h, std::uint32_t (*pixel)(int x, int y)) {
    ArgbImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) image.pixel(x, y) = pixel(x, y);
    return image;
}

// 48 -> 32 with a source ramp of 5 per pixel: target i covers source [1.5 i, 1.5 i + 1.5),
// whose weighted mean is 3k + 1/3 (i = 2k) or 3k + 5/3 (i = 2k + 1).
std::uint32_t ramp48to32(int i) { return static_cast<std::uint32_t>(15 * (i / 2) + (i % 2 ? 8 : 2)); }

}  // namespace

TEST(IconScale, ShrinkingAveragesCoveredAreaInBothDirections) {
    const ArgbImage src = make(48, 48, [](int x, int y) {
        return makeArgb(255, static_cast<std::uint32_t>(5 * x), static_cast<std::uint32_t>(5 * y), 100);
    });
    const ArgbImage out = scaleImage(src, 32, 32);
    ASSERT_EQ(out.width, 32);
    ASSERT_EQ(out.height, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            EXPECT_EQ(out.pixel(x, y), makeArgb(255, ramp48to32(x), ramp48to32(y), 100)) << x << "," << y;
    EXPECT_EQ(out.pixel(31, 0), makeArgb(255, 233, 2, 100));

    // 32 -> 16: a checkerboard of black and white averages to 127.5, rounded up.
    const ArgbImage board = make(32, 32, [](int x, int y) { return (x + y) % 2 ? 0xFFFFFFFFu : 0xFF000000u; });
    for (std::uint32_t p : scaleImage(board, 16, 16).pixels) EXPECT_EQ(p, 0xFF808080u);

    // 3 -> 2: fractional coverage, (0 + 90 / 2) / 1.5 and (90 / 2 + 180) / 1.5.
    const ArgbImage three = make(3, 1, [](int x, int) { return makeArgb(255, static_cast<std::uint32_t>(90 * x), 0, 0); });
    const ArgbImage two = scaleImage(three, 2, 1);
    EXPECT_EQ(two.pixel(0, 0), makeArgb(255, 30, 0, 0));
    EXPECT_EQ(two.pixel(1, 0), makeArgb(255, 150, 0, 0));
}

TEST(IconScale, AveragesPremultipliedPixels) {
    // Half-transparent red next to opaque blue: averaged as stored (premultiplied), the red
    // weighs half; averaging straight colours would give both 96.
    const ArgbImage pair = make(2, 1, [](int x, int) { return x == 0 ? 0x80800000u : 0xFF0000FFu; });
    EXPECT_EQ(scaleImage(pair, 1, 1).pixel(0, 0), 0xC0400080u);
    const ArgbImage edge = make(2, 2, [](int x, int) { return x == 0 ? 0xFFFF0000u : 0u; });
    EXPECT_EQ(scaleImage(edge, 1, 1).pixel(0, 0), 0x80800000u);

    // No channel ever exceeds its alpha, whatever the sizes.
    std::mt19937 random(7);
    ArgbImage noise(23, 17);
    for (std::uint32_t& p : noise.pixels) {
        const std::uint32_t a = random() % 256;
        p = makeArgb(a, random() % (a + 1), random() % (a + 1), random() % (a + 1));
    }
    // Halving both sides takes its own path: each pixel the rounded mean of its 2 x 2 block.
    const ArgbImage even = scaleImage(noise, 22, 16);
    const ArgbImage half = scaleImage(even, 11, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 11; ++x) {
            const std::uint32_t block[4] = {even.pixel(2 * x, 2 * y), even.pixel(2 * x + 1, 2 * y), even.pixel(2 * x, 2 * y + 1),
                                            even.pixel(2 * x + 1, 2 * y + 1)};
            for (int shift : {0, 8, 16, 24}) {
                std::uint32_t sum = 0;
                for (std::uint32_t p : block) sum += (p >> shift) & 0xFF;
                EXPECT_EQ((half.pixel(x, y) >> shift) & 0xFF, (sum * 2 + 4) / 8) << x << "," << y;
            }
        }
    }
    for (auto [w, h] : {std::pair{16, 16}, std::pair{5, 9}, std::pair{40, 3}, std::pair{1, 1}, std::pair{22, 16}}) {
        for (std::uint32_t p : scaleImage(noise, w, h).pixels) {
            ASSERT_LE(formats::argbRed(p), formats::argbAlpha(p));
            ASSERT_LE(formats::argbGreen(p), formats::argbAlpha(p));
            ASSERT_LE(formats::argbBlue(p), formats::argbAlpha(p));
        }
    }
}

TEST(IconScale, GrowingRepeatsTheNearestPixel) {
    const ArgbImage src = make(16, 16, [](int x, int y) {
        return makeArgb(255, static_cast<std::uint32_t>(x), static_cast<std::uint32_t>(y), 7);
    });
    const ArgbImage out = scaleImage(src, 32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) EXPECT_EQ(out.pixel(x, y), src.pixel(x / 2, y / 2)) << x << "," << y;

    // 2 -> 3: target centres 1/3, 1, 5/3 of a source pixel fall on pixels 0, 1, 1.
    const ArgbImage two = make(2, 1, [](int x, int) { return x ? 0xFFFFFFFFu : 0xFF000000u; });
    const ArgbImage three = scaleImage(two, 3, 1);
    EXPECT_EQ(three.pixels, (std::vector<std::uint32_t>{0xFF000000u, 0xFFFFFFFFu, 0xFFFFFFFFu}));

    const ArgbImage dot = make(1, 1, [](int, int) { return 0x80402010u; });
    const ArgbImage big = scaleImage(dot, 16, 16);
    ASSERT_EQ(big.pixels.size(), 256u);
    for (std::uint32_t p : big.pixels) EXPECT_EQ(p, 0x80402010u);
}

TEST(IconScale, EachDirectionOnItsOwnAndDegenerateSizes) {
    // 48 x 16 -> 32 x 32: averaged across, repeated down.
    const ArgbImage src = make(48, 16, [](int x, int y) {
        return makeArgb(255, static_cast<std::uint32_t>(5 * x), static_cast<std::uint32_t>(9 * y), 0);
    });
    const ArgbImage out = scaleImage(src, 32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            EXPECT_EQ(out.pixel(x, y), makeArgb(255, ramp48to32(x), static_cast<std::uint32_t>(9 * (y / 2)), 0))
                << x << "," << y;

    // 16 x 16 -> 1 x 1: the mean of everything; 16 -> 16 down stays as it is.
    const ArgbImage grid = make(16, 16, [](int x, int y) {
        return makeArgb(255, static_cast<std::uint32_t>(16 * x), static_cast<std::uint32_t>(16 * y), 0);
    });
    EXPECT_EQ(scaleImage(grid, 1, 1).pixel(0, 0), makeArgb(255, 120, 120, 0));
    const ArgbImage column = scaleImage(grid, 1, 16);
    for (int y = 0; y < 16; ++y) EXPECT_EQ(column.pixel(0, y), makeArgb(255, 120, static_cast<std::uint32_t>(16 * y), 0));

    EXPECT_EQ(scaleImage(grid, 16, 16).pixels, grid.pixels);
    EXPECT_TRUE(scaleImage(grid, 0, 16).isNull());
    EXPECT_TRUE(scaleImage(grid, 16, -1).isNull());
    EXPECT_TRUE(scaleImage(ArgbImage(), 16, 16).isNull());
}

// Smooth enlarging interpolates between the pixels around each target pixel's centre,
// holds the edges, keeps a flat picture flat and premultiplied pixels premultiplied.
TEST(IconScale, EnlargingSmoothlyInterpolatesBetweenCentres) {
    const ArgbImage pair = make(2, 1, [](int x, int) { return x ? makeArgb(255, 255, 255, 255) : makeArgb(255, 0, 0, 0); });
    const struct {
        const char* what;
        ArgbImage in;
        int w, h;
        std::vector<std::uint32_t> grey;  // the red channel of row 0, left to right
    } cases[] = {
        {"2 to 4", pair, 4, 1, {0, 64, 191, 255}},
        {"2 to 6", pair, 6, 2, {0, 0, 85, 169, 255, 255}},
        {"2 to 2 (a copy)", pair, 2, 1, {0, 255}},
    };
    for (const auto& c : cases) {
        const ArgbImage out = formats::enlargeSmoothly(c.in, c.w, c.h);
        ASSERT_EQ(std::make_pair(out.width, out.height), std::make_pair(c.w, c.h)) << c.what;
        for (int x = 0; x < c.w; ++x) {
            EXPECT_EQ(formats::argbRed(out.pixel(x, 0)), c.grey[static_cast<std::size_t>(x)]) << c.what << " " << x;
            EXPECT_EQ(out.pixel(x, c.h - 1), out.pixel(x, 0)) << c.what;
        }
    }
    // Half-transparent red stays that colour; every channel stays within its alpha.
    const ArgbImage flat(3, 3, makeArgb(128, 128, 0, 0));
    const ArgbImage grown = formats::enlargeSmoothly(flat, 7, 5);
    for (std::uint32_t p : grown.pixels) EXPECT_EQ(p, makeArgb(128, 128, 0, 0));
    const ArgbImage edge = make(2, 2, [](int x, int y) { return (x + y) % 2 ? makeArgb(255, 255, 0, 0) : 0u; });
    for (std::uint32_t p : formats::enlargeSmoothly(edge, 9, 9).pixels) EXPECT_LE(formats::argbRed(p), formats::argbAlpha(p));
    // A direction that shrinks is averaged, as scaleImage does.
    EXPECT_EQ(formats::enlargeSmoothly(pair, 1, 3).pixels, scaleImage(pair, 1, 3).pixels);
}
