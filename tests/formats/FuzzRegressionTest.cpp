// Inputs the fuzz harnesses found to break a parser, rebuilt here by code, each with the
// outcome the fixed parser gives. Under the sanitizer build (./test.sh --asan) the faults
// themselves would stop the run.
#include <gtest/gtest.h>

#include "iconmod/Iconmod.h"
#include "formats/IconDecode.h"
#include "formats/IconDecodeParts.h"
#include "support/ImageFixtures.h"

namespace {

using fixtures::Bytes;

// A bitmap header whose planes and bit count are both large: their product overflowed a
// 32-bit int while the image was described.
TEST(FuzzRegression, HugePlanesTimesBitCountIsRefusedNotOverflowed) {
    const struct { std::uint16_t planes, bits; bool accepted; } cases[] = {
        {0xFF00, 0xFF00, false}, {0xFFFF, 0xFF01, false}, {0x8000, 2, false}, {1, 4, true}, {2, 2, true},
    };
    for (const auto& c : cases) {
        Bytes data = fixtures::patternDib(16, 4);
        fixtures::putU16(data, 12, c.planes);
        fixtures::putU16(data, 14, c.bits);
        iconmod::IconImage image;
        image.Data = iconmod::SharedBytes(data);
        EXPECT_EQ(iconmod::QIconMod::fnParseImage(&image), c.accepted) << c.planes << " x " << c.bits;
        if (c.accepted) {
            EXPECT_EQ(image.ColorBits, c.planes * c.bits);
        }
        (void)formats::decodeIconImage(data);  // the decoder reads the same header
    }
}

// A 16 x 16 RGBA image whose deflate data uses a code the format reserves (length symbol
// 287 of a fixed-code block): zlib, and so libpng, refuse it; libdeflate decodes it. The
// direct PNG path draws what libdeflate makes of it, the one way it may differ from libpng.
TEST(FuzzRegression, ReservedDeflateSymbolIsDrawnByTheDirectPathAlone) {
    const Bytes stream = {0x38, 0x8D, 0x63, 0x64, 0x60, 0x70, 0xF8, 0x2F, 0xC0, 0xC0, 0xC0, 0x40,
                          0x2E, 0x66, 0x61, 0x10, 0x60, 0xA0, 0x08, 0x8C, 0x1A, 0x30, 0x6E, 0xC0,
                          0xA8, 0x01, 0x83, 0xC5, 0x00, 0x00, 0x23, 0x89, 0x03, 0x5D};
    const Bytes png = fixtures::pngOfChunks({{"IHDR", fixtures::ihdrData(16, 16)}, {"IDAT", stream}, {"IEND", {}}});
    EXPECT_FALSE(formats::decode::decodePngThroughLibpng(png));
    const auto drawn = formats::decodeIconImage(png);
    ASSERT_TRUE(drawn);
    EXPECT_EQ(drawn->width, 16);
}

}  // namespace
