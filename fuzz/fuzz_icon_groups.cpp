// The icon save dialog's work on a module: list the icon group names, load each group's
// images from the RT_ICON resources (and list them from their headers, as the command line
// does: the listing must describe the load), describe them, and save them as .ico and .bmp.
// The input is written to a file and opened as a module of any kind: 16-bit modules are
// walked too, since their resources come through the same reader.
#include "FuzzCommon.h"
#include "iconmod/IconGroups.h"

namespace {
constexpr int kMaxGroups = 16;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const std::string path = fuzz::scratchFile("input.dll");
    if (!fuzz::writeFile(path, data, size)) return 0;
    iconmod::QIconMod source(path);
    if (!source.fnOpenAnyModule()) return 0;
    iconmod::VectorTextList groups;
    if (!iconmod::fnListGroupNames(source, groups)) return 0;
    for (int i = 0; i < groups.count() && i < kMaxGroups; ++i) {
        source.GroupName = groups.textAt(i);
        const auto listed = iconmod::fnListGroupImages(source);
        const bool loaded = iconmod::fnLoadGroup(source);
        fuzz::checkListing(listed, source.Images.get());
        if (loaded) fuzz::exerciseImageSet(source);
        else FUZZ_CHECK(!source.Images);  // a failed load leaves no image set
    }
    return 0;
}
