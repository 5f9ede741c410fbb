// Icon counting and extraction as the file list and the icon strip use them, on any
// file: count, then each of the first icons at 32 and 16 pixels and at an odd size that
// no image has, so that choosing, decoding and scaling all run.
#include <memory>

#include "FuzzCommon.h"
#include "formats/IconFile.h"

namespace {
constexpr int kMaxIcons = 4;
constexpr int kSizes[] = {32, 16, 23};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    auto file = formats::IconFile::fromSource(std::make_unique<formats::MemorySource>(formats::Bytes(data, data + size)));
    FUZZ_CHECK(file != nullptr);
    const int count = file->count();
    FUZZ_CHECK(count >= 0 && count <= 0xFFFF);
    for (int i = 0; i < count && i < kMaxIcons; ++i) {
        for (int s : kSizes) {
            const auto icon = file->icon(i, s);
            if (icon) FUZZ_CHECK(icon->width == s && icon->height == s && icon->pixels.size() == static_cast<std::size_t>(s * s));
        }
    }
    FUZZ_CHECK(!file->icon(count, 32));  // one past the last icon: nothing
    return 0;
}
