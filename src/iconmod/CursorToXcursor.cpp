#include "iconmod/CursorToXcursor.h"

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "formats/AniFile.h"
#include "formats/IconDecode.h"

namespace iconmod {
namespace {

// The Xcursor image of a cursor image at `size` pixels wide: its own size, or scaled to that
// width (keeping its proportions), the hotspot moved with it.
XcursorImageInfo xcursorImage(const ImageEntry& e, int size, std::uint32_t delayMs) {
    XcursorImageInfo info;
    info.nominalSize = static_cast<std::uint32_t>(size);
    info.width = static_cast<std::uint32_t>(size);
    info.height = static_cast<std::uint32_t>(e.Height);
    info.hotspotX = e.HotspotX;
    info.hotspotY = e.HotspotY;
    info.delayMs = delayMs;
    if (e.Width != size) {
        info.height = static_cast<std::uint32_t>(std::max<std::int64_t>(1, std::int64_t{e.Height} * size / e.Width));
        info.hotspotX = static_cast<std::uint32_t>(std::uint64_t{e.HotspotX} * static_cast<std::uint64_t>(size) / static_cast<std::uint64_t>(e.Width));
        info.hotspotY = static_cast<std::uint32_t>(std::uint64_t{e.HotspotY} * info.height / static_cast<std::uint64_t>(e.Height));
    }
    return info;
}

void addChunk(CursorXcursorPlan& plan, const ImageEntry& image, int size, std::uint32_t delayMs) {
    plan.layout.chunks.push_back(xcursorImage(image, size, delayMs));
    plan.images.push_back(&image);
}

}  // namespace

std::vector<int> cursorWidths(const std::vector<ImageEntries>& sets) {
    std::set<int> widths;
    for (const ImageEntries& set : sets)
        for (const ImageEntry& e : set) widths.insert(e.Width);
    return {widths.begin(), widths.end()};
}

std::uint64_t xcursorEntryCount(const AnimationEntries& ani) {
    return std::uint64_t{cursorWidths(ani.Frames).size()} * ani.Steps.size();
}

CursorXcursorPlan stillXcursorPlan(const ImageEntries& set) {
    CursorXcursorPlan plan;
    for (int width : cursorWidths({set})) {
        plan.layout.entries.push_back(plan.layout.chunks.size());
        addChunk(plan, set[static_cast<std::size_t>(chooseCursorImage(set, width))], width, 0);
    }
    return plan;
}

CursorXcursorPlan animatedXcursorPlan(const AnimationEntries& ani) {
    CursorXcursorPlan plan;
    const std::vector<int> widths = cursorWidths(ani.Frames);
    plan.layout.entries.reserve(widths.size() * ani.Steps.size());
    for (int width : widths) {
        std::map<std::pair<std::uint32_t, std::uint32_t>, std::size_t> chunkOf;  // by frame and delay
        for (const formats::AniStep& step : ani.Steps) {
            const std::uint32_t delay = formats::jiffiesToMs(step.jiffies);
            auto it = chunkOf.find({step.frame, delay});
            if (it == chunkOf.end()) {
                const ImageEntries& frame = ani.Frames[step.frame];
                it = chunkOf.emplace(std::pair{step.frame, delay}, plan.layout.chunks.size()).first;
                addChunk(plan, frame[static_cast<std::size_t>(chooseCursorImage(frame, width))], width, delay);
            }
            plan.layout.entries.push_back(it->second);
        }
    }
    return plan;
}

XcursorResult writeCursorXcursor(const std::string& path, const CursorXcursorPlan& plan, formats::ByteSource& source) {
    const auto picture = [&](std::size_t chunk) -> std::optional<formats::ArgbImage> {
        const ImageEntry& image = *plan.images[chunk];
        const XcursorImageInfo& info = plan.layout.chunks[chunk];
        const auto data = source.read(image.Offset, image.Size);
        auto decoded = data ? formats::decodeIconImage(*data) : std::nullopt;
        if (decoded && (decoded->width != static_cast<int>(info.width) || decoded->height != static_cast<int>(info.height)))
            *decoded = formats::scaleImage(*decoded, static_cast<int>(info.width), static_cast<int>(info.height));
        return decoded;
    };
    return writeXcursor(path, plan.layout, picture);
}

}  // namespace iconmod
