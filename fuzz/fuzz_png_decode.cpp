// One PNG icon image: its IHDR read as the image list describes it, decoded (the direct
// path for 8-bit RGBA images checked against libpng, and libpng's picture against the same
// decoding of only the bytes it was handed, as nothing after them may count), exported as
// a 32-bit .bmp, and the decoded picture encoded as a PNG again.
#include <zlib.h>

#include "FuzzCommon.h"
#include "iconmod/PngExport.h"
#include "formats/IconDecode.h"
#include "formats/IconDecodeParts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const formats::ByteView view(data, size);
    const auto info = formats::readPngInfo(view);
    const auto picture = formats::decodeIconImage(view);
    std::uint64_t handed = 0;
    const auto libpng = formats::decode::decodePngThroughLibpng(view, &handed);
    if (libpng) {
        FUZZ_CHECK(handed <= size);
        const auto read = formats::decode::decodePngThroughLibpng(formats::ByteView(data, handed));
        FUZZ_CHECK(read && read->pixels == libpng->pixels);
    }
    if (const auto direct = formats::decode::decodeRgbaPng(view)) {
        // The direct path gives libpng's pixels; it decodes an image libpng refuses only
        // where zlib refuses the image data that libdeflate took.
        if (libpng) {
            FUZZ_CHECK(libpng->pixels == direct->pixels);
        } else {
            const auto plain = formats::decode::rgbaImageData(view);
            FUZZ_CHECK(plain.has_value());
            formats::Bytes rows(plain->rowsSize);
            uLongf rowsInflated = static_cast<uLongf>(rows.size());
            const int inflated = uncompress(rows.data(), &rowsInflated, plain->compressed.data(),
                                            static_cast<uLong>(plain->compressed.size()));
            FUZZ_CHECK(inflated != Z_OK || rowsInflated != rows.size());
        }
    }
    if (picture && formats::isPng(view)) {
        // Decoding never succeeds without a readable IHDR, and gives the size it states.
        FUZZ_CHECK(info.has_value());
        FUZZ_CHECK(picture->width == info->width && picture->height == info->height);
        const auto encoded = iconmod::encodePng(*picture);
        FUZZ_CHECK(encoded.has_value());
        const auto again = formats::decodeIconImage(*encoded);
        FUZZ_CHECK(again && again->width == picture->width && again->height == picture->height);
    }
    iconmod::IconImage image;
    image.Data = iconmod::SharedBytes(formats::Bytes(data, data + size));
    if (iconmod::QIconMod::fnParseImage(&image) && image.IsPng) {
        iconmod::QIconMod source(fuzz::scratchFile("input.ico"));
        (void)source.fnSaveBmp(fuzz::scratchFile("image.bmp"), image);
    }
    return 0;
}
