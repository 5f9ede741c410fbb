#include "app/DetailsModel.h"

#include <algorithm>

#include "app/WindowTexts.h"
#include "formats/AniFile.h"
#include "iconmod/CursorToXcursor.h"
#include "iconmod/GroupImages.h"
#include "iconmod/IconGroups.h"

namespace details {
namespace {

// The bytes the cursors were listed from: a module's file, or the file itself.
formats::ByteSource& cursorSource(formats::OpenedFile& file) {
    return file.module() ? file.module()->file() : file.source();
}

std::string sizeText(const iconmod::ImageEntry& e) { return std::to_string(e.Width) + "x" + std::to_string(e.Height); }

}  // namespace

int zoomStep(int zoom, int steps) { return std::clamp(zoom + steps, kMinZoom, kMaxZoom); }

std::string imageLabel(const iconmod::ImageHead& head, std::uint64_t bytes) {
    return iconmod::imageLineText(head) + ", " + (head.IsPng ? "PNG" : "DIB") + ", " + std::to_string(bytes) + wtext::kBytes;
}

std::vector<iconmod::IconImage> groupImages(formats::OpenedFile& file, int index) {
    auto set = iconmod::groupImageSet(file, index);
    if (!set) return {};
    std::vector<iconmod::IconImage> images = std::move(set->Images);
    std::stable_sort(images.begin(), images.end(), [](const iconmod::IconImage& a, const iconmod::IconImage& b) {
        if (a.Width != b.Width) return a.Width < b.Width;
        if (a.Height != b.Height) return a.Height < b.Height;
        return a.ColorBits > b.ColorBits;
    });
    return images;
}

std::vector<CursorItem> fileCursors(formats::OpenedFile& file) {
    std::vector<CursorItem> items;
    if (formats::ResourceModule* module = file.module()) {
        if (const auto names = module->names(formats::kRtGroupCursor)) {
            for (const formats::ResourceName& name : *names) {
                CursorItem item{formats::groupNameText(name), name, iconmod::listCursorGroup(*module, name), std::nullopt, true};
                if (item.still && !item.still->empty()) items.push_back(std::move(item));
            }
        }
        for (std::uint16_t type : {formats::kRtAniCursor, formats::kRtAniIcon}) {
            const auto names = module->names(type);
            for (std::size_t i = 0; names && i < names->size(); ++i) {
                const auto span = module->locate(type, (*names)[i]);
                if (!span) continue;
                CursorItem item{formats::groupNameText((*names)[i]), std::nullopt, std::nullopt,
                                iconmod::listAnimation(module->file(), span->offset, span->size), true};
                if (item.animated && !item.animated->Steps.empty()) items.push_back(std::move(item));
            }
        }
    } else if (file.kind() == formats::FileKind::Cur) {
        CursorItem item{{}, std::nullopt, iconmod::listCursorFile(file.source(), 0, file.source().size()), std::nullopt};
        if (item.still && !item.still->empty()) items.push_back(std::move(item));
    } else if (file.kind() == formats::FileKind::Ani) {
        CursorItem item{{}, std::nullopt, std::nullopt, iconmod::listAnimation(file.source(), 0, file.source().size())};
        if (item.animated && !item.animated->Steps.empty()) items.push_back(std::move(item));
    }
    return items;
}

std::vector<CursorFrame> cursorFrames(const CursorItem& item, int size, std::size_t maxFrames) {
    std::vector<CursorFrame> frames;
    if (item.still) {
        const int chosen = iconmod::chooseCursorImage(*item.still, size);
        if (chosen >= 0 && maxFrames > 0) frames.push_back({(*item.still)[static_cast<std::size_t>(chosen)], 0});
        return frames;
    }
    if (!item.animated) return frames;
    for (const formats::AniStep& step : item.animated->Steps) {
        if (frames.size() >= maxFrames) break;
        if (step.frame >= item.animated->Frames.size()) continue;
        const iconmod::ImageEntries& images = item.animated->Frames[step.frame];
        const int chosen = iconmod::chooseCursorImage(images, size);
        if (chosen >= 0) frames.push_back({images[static_cast<std::size_t>(chosen)], formats::jiffiesToMs(step.jiffies)});
    }
    return frames;
}

std::string cursorLabel(const CursorItem& item) {
    std::string label = item.name;
    if (!label.empty()) label += ", ";
    if (item.animated) return label + wtext::kAnimation + " " + std::to_string(item.animated->Steps.size()) + wtext::kSteps;
    const std::vector<CursorFrame> frames = cursorFrames(item, 32, 1);
    if (frames.empty()) return item.name;
    const iconmod::ImageEntry& e = frames.front().image;
    return label + sizeText(e) + ", " + wtext::kHotspot + " " + std::to_string(e.HotspotX) + "," + std::to_string(e.HotspotY);
}

bool saveCursorCur(formats::OpenedFile& file, const CursorItem& item, const std::string& path) {
    if (!savesAsCur(item)) return false;
    std::optional<iconmod::CursorSet> set;
    if (item.group && file.module()) {
        set = iconmod::loadCursorGroup(*file.module(), *item.group);
    } else {
        // A file's own cursor (an animation: its first frame, the picture it shows before it
        // moves), its images read from the file held whole.
        const iconmod::ImageEntries* images = item.still ? &*item.still : nullptr;
        if (!images && item.animated && !item.animated->Frames.empty()) images = &item.animated->Frames.front();
        if (!images || file.module()) return false;
        auto whole = file.source().read(0, file.source().size());
        if (!whole) return false;
        set = iconmod::cursorSetOf(*images, iconmod::SharedBytes(std::move(*whole)));
    }
    return set && iconmod::saveCur(path, *set);
}

iconmod::XcursorResult saveCursorXcursor(formats::OpenedFile& file, const CursorItem& item, const std::string& path) {
    iconmod::CursorXcursorPlan plan;
    if (item.still) {
        plan = iconmod::stillXcursorPlan(*item.still);
    } else if (item.animated) {
        if (iconmod::xcursorEntryCount(*item.animated) > iconmod::kMaxXcursorEntries) return iconmod::XcursorResult::TooManyEntries;
        plan = iconmod::animatedXcursorPlan(*item.animated);
    }
    return iconmod::writeCursorXcursor(path, plan, cursorSource(file));
}

}  // namespace details
