// The cursor resources of a module: every cursor group loaded into a set (saved as .cur
// and read back), every animated cursor and icon resource read as an animation.
#include <memory>

#include "FuzzCommon.h"

namespace {
constexpr std::size_t kMaxGroups = 16;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    auto module = formats::ResourceModule::open(std::make_unique<formats::MemorySource>(formats::Bytes(data, data + size)));
    if (!module) return 0;
    if (const auto names = module->names(formats::kRtGroupCursor)) {
        for (std::size_t i = 0; i < names->size() && i < kMaxGroups; ++i) {
            if (const auto set = iconmod::loadCursorGroup(*module, (*names)[i])) fuzz::exerciseCursorSet(*set);
        }
    }
    for (std::uint16_t type : {formats::kRtAniCursor, formats::kRtAniIcon}) {
        const auto names = module->names(type);
        for (std::size_t i = 0; names && i < names->size() && i < kMaxGroups; ++i) {
            const auto bytes = module->loadAt(type, i);
            if (!bytes) continue;
            if (const auto animation = iconmod::readAnimatedCursor(iconmod::SharedBytes(*bytes))) fuzz::exerciseAnimation(*animation);
        }
    }
    return 0;
}
