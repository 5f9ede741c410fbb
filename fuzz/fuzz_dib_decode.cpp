// One icon bitmap (header, colour table, colour rows, AND mask) as an ICO file or an
// RT_ICON resource holds it: decoded, described, and exported as a .bmp.
#include "FuzzCommon.h"
#include "formats/IconDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const formats::ByteView view(data, size);
    const auto picture = formats::decodeIconImage(view);
    if (picture) FUZZ_CHECK(picture->pixels.size() == static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height));

    iconmod::IconImage image;
    image.Data = iconmod::SharedBytes(formats::Bytes(data, data + size));
    if (!iconmod::QIconMod::fnParseImage(&image)) return 0;
    // A 40-byte header that both read must give both the same size.
    if (picture && !image.IsPng && view.u32(0) == 40u) {
        FUZZ_CHECK(picture->width == image.Width && picture->height == image.Height);
    }
    iconmod::QIconMod source(fuzz::scratchFile("input.ico"));
    (void)source.fnSaveBmp(fuzz::scratchFile("image.bmp"), image);
    return 0;
}
