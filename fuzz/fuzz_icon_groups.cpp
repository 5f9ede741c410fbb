// The icon save dialog's work on a module: list the icon group names, load each group's
// images from the RT_ICON resources, describe them, and save them as .ico and .bmp.
// The module is read from memory; 16-bit modules are walked too, since their resources
// come through the same reader.
#include <memory>

#include "FuzzCommon.h"
#include "iconmod/IconGroups.h"

namespace {
constexpr int kMaxGroups = 16;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    iconmod::QIconMod source(fuzz::scratchFile("input.dll"));
    source.Module = platform::ResourceModule::open(std::make_unique<platform::MemorySource>(platform::Bytes(data, data + size)));
    if (!source.Module) return 0;
    iconmod::VectorTextList groups;
    if (!iconmod::fnListGroupNames(source, groups)) return 0;
    for (int i = 0; i < groups.count() && i < kMaxGroups; ++i) {
        source.GroupName = groups.textAt(i);
        if (iconmod::fnLoadGroup(source)) fuzz::exerciseImageSet(source);
        else FUZZ_CHECK(!source.Images);  // a failed load leaves no image set
    }
    return 0;
}
