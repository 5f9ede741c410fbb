// The cursor resources of a module: every cursor group listed and loaded into a set (the
// listing checked against the set, the set saved as .cur and read back), every animated
// cursor and icon resource listed as an animation.
#include <memory>

#include "FuzzCommon.h"

namespace {
constexpr std::size_t kMaxGroups = 16;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const iconmod::SharedBytes file(formats::Bytes(data, data + size));
    auto module = formats::ResourceModule::open(std::make_unique<formats::ViewSource>(file.view()));
    if (!module) return 0;
    if (const auto names = module->names(formats::kRtGroupCursor)) {
        for (std::size_t i = 0; i < names->size() && i < kMaxGroups; ++i) {
            const auto set = iconmod::loadCursorGroup(*module, (*names)[i]);
            fuzz::checkListing(iconmod::listCursorGroup(*module, (*names)[i]), set);
            if (set) fuzz::exerciseCursorSet(*set);
        }
    }
    for (std::uint16_t type : {formats::kRtAniCursor, formats::kRtAniIcon}) {
        const auto names = module->names(type);
        for (std::size_t i = 0; names && i < names->size() && i < kMaxGroups; ++i) {
            const auto span = module->locateAt(type, i);
            if (!span) continue;
            FUZZ_CHECK(span->offset <= size && span->size <= size - span->offset);
            if (const auto animation = iconmod::listAnimation(module->file(), span->offset, span->size))
                fuzz::exerciseAnimation(*animation, file);
        }
    }
    return 0;
}
