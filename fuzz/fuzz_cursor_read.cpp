// Cursor files as the command line reads them: the input as a .cur file read whole into a
// cursor set (saved again as .cur and read back), and its picture for thumbnails at a few
// sizes, which reads .cur and .ani files alike.
#include "FuzzCommon.h"
#include "formats/CursorFile.h"

namespace {
constexpr int kSizes[] = {32, 128, 23};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const formats::Bytes bytes(data, data + size);
    if (const auto set = iconmod::readCursorSet(iconmod::SharedBytes(bytes), size % 2 == 0)) fuzz::exerciseCursorSet(*set);
    formats::MemorySource source(bytes);
    for (int s : kSizes) {
        const auto picture = formats::cursorFilePicture(source, s);
        if (picture) FUZZ_CHECK(!picture->isNull() && picture->width <= s && picture->height <= s);
    }
    return 0;
}
