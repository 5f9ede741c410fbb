// Cursor files as the command line reads them: the input as a .cur file read whole into a
// cursor set (saved again as .cur and read back) and listed from its headers (the listing
// checked against the set), and its picture for thumbnails at a few
// sizes, which reads .cur and .ani files alike.
#include "FuzzCommon.h"
#include "formats/CursorFile.h"

namespace {
constexpr int kSizes[] = {32, 128, 23};
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const formats::Bytes bytes(data, data + size);
    const bool iconsToo = size % 2 == 0;
    const auto set = iconmod::readCursorSet(iconmod::SharedBytes(bytes), iconsToo);
    formats::MemorySource source(bytes);
    fuzz::checkListing(iconmod::listCursorFile(source, 0, size, iconsToo), set);
    if (set) fuzz::exerciseCursorSet(*set);
    for (int s : kSizes) {
        const auto picture = formats::cursorFilePicture(source, s);
        if (picture) FUZZ_CHECK(!picture->isNull() && picture->width <= s && picture->height <= s);
    }
    return 0;
}
