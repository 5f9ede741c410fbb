// Animated cursors: the RIFF reader on its own (steps name frames, frames lie inside the
// input), then the frames read as cursor sets as the command line reads them.
#include "FuzzCommon.h"
#include "formats/AniFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const formats::Bytes bytes(data, data + size);
    const auto ani = formats::readAni(bytes);
    if (!ani) return 0;
    FUZZ_CHECK(!ani->steps.empty() && !ani->frames.empty());
    for (const formats::AniFrame& f : ani->frames) FUZZ_CHECK(f.offset <= size && f.size <= size - f.offset);
    for (const formats::AniStep& s : ani->steps) FUZZ_CHECK(s.frame < ani->frames.size());
    if (const auto animation = iconmod::readAnimatedCursor(iconmod::SharedBytes(bytes))) fuzz::exerciseAnimation(*animation);
    return 0;
}
