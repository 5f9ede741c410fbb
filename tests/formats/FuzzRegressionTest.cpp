// Inputs the fuzz harnesses found to break a parser, rebuilt here by code, each with the
// outcome the fixed parser gives. Under the sanitizer build (./test.sh --asan) the faults
// themselves would stop the run.
#include <gtest/gtest.h>

#include "iconmod/Iconmod.h"
#include "formats/IconDecode.h"
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

}  // namespace
