// The PNG writer: both compressions make whole files that libpng and the direct path read
// back to the picture that was written.
#include <gtest/gtest.h>

#include <vector>

#include "formats/IconDecode.h"
#include "formats/IconDecodeParts.h"
#include "iconmod/PngExport.h"

TEST(PngExport, BothCompressionsWriteWholePngsThatReadBackAsTheyWereDrawn) {
    // A picture with every kind of pixel: opaque, clear, and partly covered colour.
    formats::ArgbImage picture(45, 17);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
            const std::uint32_t a = (x % 3 == 0) ? 255u : (x % 3 == 1) ? 0u : static_cast<std::uint32_t>(y * 15);
            picture.pixel(x, y) = formats::decode::premultiplied(a, static_cast<std::uint32_t>(x * 5), 200,
                                                                 static_cast<std::uint32_t>(y * 9));
        }
    std::vector<std::size_t> sizes;
    for (const auto compression : {iconmod::PngCompression::Small, iconmod::PngCompression::Fast}) {
        const auto png = iconmod::encodePng(picture, compression);
        ASSERT_TRUE(png);
        EXPECT_EQ(formats::wholePngLength(*png), png->size());  // every CRC right, IEND last
        const auto throughLibpng = formats::decode::decodePngThroughLibpng(*png);
        const auto directly = formats::decode::decodePng(*png);
        ASSERT_TRUE(throughLibpng);
        ASSERT_TRUE(directly);
        EXPECT_EQ(directly->pixels, throughLibpng->pixels);
        int changed = 0;
        for (std::size_t i = 0; i < picture.pixels.size(); ++i) changed += directly->pixels[i] != picture.pixels[i];
        EXPECT_EQ(changed, 0);
        sizes.push_back(png->size());
    }
    EXPECT_LE(sizes[0], sizes[1]);
    EXPECT_FALSE(iconmod::encodePng(formats::ArgbImage()));
}
