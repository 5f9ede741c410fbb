// Animated cursors: the RIFF reader on its own (steps name frames, frames lie inside the
// input), then the animation listed as the command line lists it and its frames taken as
// cursor sets.
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
    const iconmod::SharedBytes file(bytes);
    formats::ViewSource source(file.view());
    if (const auto animation = iconmod::listAnimation(source, 0, size)) fuzz::exerciseAnimation(*animation, file);
    return 0;
}
