// The cursor commands: cursor group names, their images with hotspots, exact .cur copies
// and Xcursor files (still or animated).
#include "cli/CliCursors.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>

#include "cli/LineText.h"
#include "cli/XcursorWriter.h"
#include "formats/AniFile.h"
#include "formats/IconDecode.h"
#include "formats/IconDirectory.h"
#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "platform/FileSource.h"

namespace cli {
namespace {

constexpr std::uint64_t kHeadSize = 12;
// The most pixels an Xcursor file may be made of (256 MiB of pixels): an animation whose
// steps repeat large frames is refused rather than allowed to fill memory.
constexpr std::uint64_t kMaxXcursorPixels = 64ull << 20;

bool takeFlag(Args& args, const std::string& flag) {
    const auto it = std::find(args.begin(), args.end(), flag);
    if (it == args.end()) return false;
    args.erase(it);
    return true;
}

bool isDash(const std::string& group) { return group.empty() || group == "-"; }

// What a cursor command works on: a still set, or an animation.
struct CursorData {
    std::optional<iconmod::CursorSet> still;
    std::optional<iconmod::AnimatedCursor> animated;
};

// The names of a module's resources of that type (none when it has none).
std::vector<formats::ResourceName> namesOf(formats::ResourceModule& module, std::uint16_t type) {
    auto names = module.names(type);
    return names ? std::move(*names) : std::vector<formats::ResourceName>{};
}

// Loads GROUP of FILE: a cursor group of a module (its first for "-"), or with
// `animations` also an RT_ANICURSOR or RT_ANIICON resource of that name; a .cur file's
// images for "-", and with `animations` an .ani file's. Returns the exit status on failure.
std::optional<int> loadCursors(const std::string& path, const std::string& group, bool animations, CursorData* out) {
    std::string error;
    auto file = openFile(path, &error);
    if (!file) return fail(error);
    if (file->module) {
        std::optional<formats::ResourceName> name;
        if (isDash(group)) {
            const auto names = namesOf(*file->module, formats::kRtGroupCursor);
            if (names.empty()) return fail(path + ": no cursor groups");
            name = names.front();
        } else {
            name = groupFromLineText(group);
            if (!name) return fail(path + ": no cursor group " + group);
        }
        if (file->module->load(formats::kRtGroupCursor, *name)) {
            out->still = iconmod::loadCursorGroup(*file->module, *name);
            if (!out->still) return fail(path + ": damaged cursor group " + group);
            return std::nullopt;
        }
        if (animations) {
            for (std::uint16_t type : {formats::kRtAniCursor, formats::kRtAniIcon}) {
                const auto data = file->module->load(type, *name);
                if (!data) continue;
                out->animated = iconmod::readAnimatedCursor(iconmod::SharedBytes(*data));
                if (!out->animated) return fail(path + ": damaged animated cursor " + group);
                return std::nullopt;
            }
        }
        return fail(path + ": no cursor group " + group);
    }
    if (!isDash(group)) return fail(path + ": GROUP must be - for a cursor file");
    if (file->kind == FileKind::Cur) {
        out->still = iconmod::readCursorSet(file->bytes);
        if (!out->still) return fail(path + ": damaged cursor data, or more image data than a .cur file can hold");
        return std::nullopt;
    }
    if (file->kind == FileKind::Ani && animations) {
        out->animated = iconmod::readAnimatedCursor(file->bytes);
        if (!out->animated) return fail(path + ": damaged animated cursor");
        return std::nullopt;
    }
    return fail(path + (animations ? ": not a .cur, .ani file or a module with cursor resources"
                                   : ": not a .cur file or a module with cursor groups"));
}

int cmdCursorGroups(const Args& args) {
    if (args.size() != 1) return usage("usage: vexil-cli groups FILE --cursors");
    std::string error;
    auto file = openFile(args[0], &error);
    if (!file) return fail(error);
    if (file->kind == FileKind::Cur || file->kind == FileKind::Ani) return 0;
    if (!file->module) return fail(args[0] + ": not a cursor file or a module with cursor resources");
    const auto names = namesOf(*file->module, formats::kRtGroupCursor);
    if (names.empty()) return fail(args[0] + ": no cursor groups");
    for (const formats::ResourceName& name : names) std::printf("%s\n", groupLineText(name).c_str());
    return 0;
}

int cmdCursorImages(const Args& args) {
    if (args.empty() || args.size() > 2) return usage("usage: vexil-cli images FILE [GROUP] --cursors");
    CursorData data;
    if (auto status = loadCursors(args[0], args.size() > 1 ? args[1] : "", false, &data)) return *status;
    for (const iconmod::CursorImage& c : data.still->Images)
        std::printf("%s, hotspot %u,%u\n", iconmod::imageLineText(c.Image).c_str(), c.HotspotX, c.HotspotY);
    return 0;
}

int cmdSaveCur(const Args& args) {
    if (args.size() != 3) return usage("usage: vexil-cli save-cur FILE GROUP OUT");
    CursorData data;
    if (auto status = loadCursors(args[0], args[1], false, &data)) return *status;
    if (!iconmod::saveCur(args[2], *data.still)) return failWriting(args[2], "cannot be written");
    return 0;
}

// One Xcursor image of a cursor image at `size` pixels wide: decoded, scaled to that
// width (keeping its proportions) when it has another, the hotspot moved with it.
std::optional<XcursorFrame> xcursorFrame(const iconmod::CursorImage& c, int size, std::uint32_t delayMs) {
    auto picture = iconmod::QIconMod::fnMakeIcon(&c.Image);
    if (!picture) return std::nullopt;
    XcursorFrame f;
    f.nominalSize = static_cast<std::uint32_t>(size);
    f.hotspotX = c.HotspotX;
    f.hotspotY = c.HotspotY;
    f.delayMs = delayMs;
    if (picture->width != size) {
        const int height = std::max(1, static_cast<int>(std::int64_t{picture->height} * size / picture->width));
        f.hotspotX = static_cast<std::uint32_t>(std::uint64_t{c.HotspotX} * size / static_cast<std::uint64_t>(picture->width));
        f.hotspotY = static_cast<std::uint32_t>(std::uint64_t{c.HotspotY} * height / static_cast<std::uint64_t>(picture->height));
        *picture = formats::scaleImage(*picture, size, height);
    }
    f.picture = std::move(*picture);
    return f;
}

// The widths of the sets' images, ascending, each once.
std::vector<int> widthsOf(const std::vector<iconmod::CursorSet>& sets) {
    std::set<int> widths;
    for (const iconmod::CursorSet& set : sets)
        for (const iconmod::CursorImage& c : set.Images) widths.insert(c.Image.Width);
    return {widths.begin(), widths.end()};
}

// The Xcursor images of a still set: one per width, the deepest image of that width.
std::optional<std::vector<XcursorFrame>> stillFrames(const iconmod::CursorSet& set) {
    std::vector<XcursorFrame> frames;
    for (int width : widthsOf({set})) {
        const int chosen = iconmod::chooseCursorImage(set, width);
        auto frame = xcursorFrame(set.Images[static_cast<std::size_t>(chosen)], width, 0);
        if (!frame) return std::nullopt;
        frames.push_back(std::move(*frame));
    }
    return frames;
}

// The Xcursor images of an animation: for each width any frame holds, every step in order,
// each showing its frame's image for that width (scaled when the frame lacks that width)
// with the step's delay.
std::optional<std::vector<XcursorFrame>> animatedFrames(const iconmod::AnimatedCursor& ani) {
    std::vector<XcursorFrame> frames;
    std::uint64_t pixels = 0;
    for (int width : widthsOf(ani.Frames)) {
        std::map<std::uint32_t, XcursorFrame> made;  // by frame: each frame decoded once a size
        for (const formats::AniStep& step : ani.Steps) {
            auto it = made.find(step.frame);
            if (it == made.end()) {
                const iconmod::CursorSet& set = ani.Frames[step.frame];
                auto frame = xcursorFrame(set.Images[static_cast<std::size_t>(iconmod::chooseCursorImage(set, width))], width, 0);
                if (!frame) return std::nullopt;
                it = made.emplace(step.frame, std::move(*frame)).first;
            }
            pixels += it->second.picture.pixels.size();
            if (pixels > kMaxXcursorPixels) return std::nullopt;
            frames.push_back(it->second);
            frames.back().delayMs = formats::jiffiesToMs(step.jiffies);
        }
    }
    return frames;
}

int cmdXcursor(const Args& args) {
    if (args.size() != 3) return usage("usage: vexil-cli xcursor FILE GROUP OUT");
    CursorData data;
    if (auto status = loadCursors(args[0], args[1], true, &data)) return *status;
    const auto frames = data.still ? stillFrames(*data.still) : animatedFrames(*data.animated);
    if (!frames) return fail(args[0] + ": a cursor image cannot be decoded, or the animation is too large");
    if (!writeXcursor(args[2], *frames)) return failWriting(args[2], "cannot be written");
    return 0;
}

}  // namespace

std::optional<OpenedFile> openFile(const std::string& path, std::string* error) {
    platform::FileSource::OpenError why{};
    int systemError = 0;
    auto source = platform::FileSource::open(path, &why, &systemError);
    if (!source) {
        *error = path + ": cannot be read: " + platform::FileSource::describe(why, systemError);
        return std::nullopt;
    }
    const auto head = source->read(0, std::min<std::uint64_t>(kHeadSize, source->size()));
    if (!head) {
        *error = path + ": cannot be read";
        return std::nullopt;
    }
    OpenedFile file;
    const formats::ByteView h(*head);
    if (h.startsWith("MZ")) {
        file.module = formats::ResourceModule::open(std::move(source));
        if (file.module) {
            switch (file.module->format()) {
            case formats::ResourceModule::Format::Pe32: file.kind = FileKind::Pe32; break;
            case formats::ResourceModule::Format::Pe32Plus: file.kind = FileKind::Pe32Plus; break;
            case formats::ResourceModule::Format::Ne: file.kind = FileKind::Ne; break;
            }
        }
        return file;
    }
    if (formats::icoImageCount(h)) file.kind = FileKind::Ico;
    else if (formats::curImageCount(h)) file.kind = FileKind::Cur;
    else if (formats::isAni(h)) file.kind = FileKind::Ani;
    else return file;
    auto whole = source->read(0, source->size());
    if (!whole) {
        *error = path + ": cannot be read";
        return std::nullopt;
    }
    file.bytes = iconmod::SharedBytes(std::move(*whole));
    return file;
}

const char* kindName(FileKind kind) {
    switch (kind) {
    case FileKind::Pe32: return "PE32";
    case FileKind::Pe32Plus: return "PE32+";
    case FileKind::Ne: return "NE";
    case FileKind::Ico: return "ICO";
    case FileKind::Cur: return "CUR";
    case FileKind::Ani: return "ANI";
    case FileKind::Other: break;
    }
    return "other";
}

std::optional<int> runCursorCommand(const std::string& command, const Args& given) {
    Args args = given;
    if (command == "save-cur") return cmdSaveCur(args);
    if (command == "xcursor") return cmdXcursor(args);
    if (command == "list") return cmdList(args);
    if (command != "groups" && command != "images") return std::nullopt;
    if (!takeFlag(args, "--cursors")) return std::nullopt;
    return command == "groups" ? cmdCursorGroups(args) : cmdCursorImages(args);
}

}  // namespace cli
