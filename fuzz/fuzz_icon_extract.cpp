// Icon counting and extraction as the file list and the icon strip use them, on any
// file: count, then each of the first icons at 32 and 16 pixels and at an odd size that
// no image has, so that choosing, decoding and scaling all run; then the scale-down rule's
// picture and PNG passthrough.
#include <memory>

#include "FuzzCommon.h"
#include "formats/IconDecode.h"
#include "formats/OpenedFile.h"

namespace {
constexpr int kMaxIcons = 4;
constexpr int kSizes[] = {32, 16, 23};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    auto file = formats::OpenedFile::fromSource(std::make_unique<formats::MemorySource>(formats::Bytes(data, data + size)));
    FUZZ_CHECK(file != nullptr);
    const int count = file->count();
    FUZZ_CHECK(count >= 0 && count <= 0xFFFF);
    for (int i = 0; i < count && i < kMaxIcons; ++i) {
        for (int s : kSizes) {
            const auto icon = file->icon(i, s);
            if (icon) FUZZ_CHECK(icon->width == s && icon->height == s && icon->pixels.size() == static_cast<std::size_t>(s * s));
        }
        // Pictures of a size of their own, as thumbnails and HiDPI cells take them: never
        // larger than asked, and a PNG passed on only when it is whole.
        if (const auto picture = file->scaledDown(i, 48)) FUZZ_CHECK(picture->width <= 48 && picture->height <= 48);
        if (const auto picture = file->picture(i, 256, formats::PictureUse::PngFile)) {
            if (picture->png) FUZZ_CHECK(formats::wholePngLength(*picture->png) == picture->png->size());
            else FUZZ_CHECK(picture->pixels.width <= 256 && picture->pixels.height <= 256);
        }
        if (const auto largest = file->largestImage(i)) FUZZ_CHECK(!largest->isNull());
    }
    FUZZ_CHECK(!file->icon(count, 32));  // one past the last icon: nothing
    return 0;
}
