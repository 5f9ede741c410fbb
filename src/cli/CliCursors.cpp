// The cursor commands: cursor group names, their images with hotspots, exact .cur copies
// and Xcursor files (still or animated). Listings read directories and image headers only;
// an Xcursor file reads the images it shows, one at a time.
#include "cli/CliCursors.h"

#include <cstdio>

#include "cli/LineText.h"
#include "formats/AniFile.h"
#include "formats/IconDirectory.h"
#include "iconmod/CursorToXcursor.h"
#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "platform/IconExtract.h"

namespace cli {
namespace {


bool isDash(const std::string& group) { return group.empty() || group == "-"; }

// What a cursor command works on, listed from directories and image headers: a still set's
// images or an animation's frames, and the file whose bytes they are.
struct CursorListing {
    std::optional<iconmod::ImageEntries> still;
    std::optional<iconmod::AnimationEntries> animated;
    formats::ByteSource* file = nullptr;
    std::optional<formats::ResourceName> group;  // a module's cursor group
};

// The names of a module's resources of that type (none when it has none).
std::vector<formats::ResourceName> namesOf(formats::ResourceModule& module, std::uint16_t type) {
    auto names = module.names(type);
    return names ? std::move(*names) : std::vector<formats::ResourceName>{};
}

// Lists GROUP of the opened FILE: a cursor group of a module (its first for "-"), or with
// `animations` also an RT_ANICURSOR or RT_ANIICON resource of that name; a .cur file's
// images for "-", and with `animations` an .ani file's. Returns the exit status on failure.
std::optional<int> listCursors(const std::string& path, const std::string& group, bool animations, formats::OpenedFile& file,
                               CursorListing* out) {
    if (file.module()) {
        std::optional<formats::ResourceName> name;
        if (isDash(group)) {
            const auto names = namesOf(*file.module(), formats::kRtGroupCursor);
            if (names.empty()) return fail(path + ": no cursor groups");
            name = names.front();
        } else {
            name = groupFromLineText(group);
            if (!name) return fail(path + ": no cursor group " + group + bareNumberHint(group));
        }
        out->file = &file.module()->file();
        if (file.module()->locate(formats::kRtGroupCursor, *name)) {
            out->still = iconmod::listCursorGroup(*file.module(), *name);
            if (!out->still) return fail(path + ": damaged cursor group " + group);
            out->group = name;
            return std::nullopt;
        }
        if (animations) {
            for (std::uint16_t type : {formats::kRtAniCursor, formats::kRtAniIcon}) {
                const auto span = file.module()->locate(type, *name);
                if (!span) continue;
                out->animated = iconmod::listAnimation(*out->file, span->offset, span->size);
                if (!out->animated) return fail(path + ": damaged animated cursor " + group);
                return std::nullopt;
            }
        }
        return fail(path + ": no cursor group " + group + bareNumberHint(group));
    }
    if (!isDash(group)) return fail(path + ": GROUP must be - for a cursor file");
    out->file = &file.source();
    if (file.kind() == formats::FileKind::Cur) {
        out->still = iconmod::listCursorFile(file.source(), 0, file.source().size());
        if (!out->still) return fail(path + ": damaged cursor data, or more image data than a .cur file can hold");
        return std::nullopt;
    }
    if (file.kind() == formats::FileKind::Ani) {
        out->animated = iconmod::listAnimation(file.source(), 0, file.source().size());
        if (!out->animated) return fail(path + ": damaged animated cursor");
        // Where a still cursor is asked for, an animation gives its first frame, the
        // picture it shows before it moves.
        if (!animations) {
            if (out->animated->Frames.empty()) return fail(path + ": damaged animated cursor");
            out->still = std::move(out->animated->Frames.front());
            out->animated.reset();
        }
        return std::nullopt;
    }
    return fail(path + (animations ? ": not a .cur, .ani file or a module with cursor resources"
                                   : ": not a .cur, .ani file or a module with cursor groups"));
}

}  // namespace

std::unique_ptr<formats::OpenedFile> openFile(const std::string& path, std::string* error) {
    auto opened = platform::openFile(path);
    if (!opened) *error = path + ": cannot be read: " + opened.reason();
    return std::move(opened.file);
}

std::optional<iconmod::SharedBytes> readWhole(formats::OpenedFile& file) {
    if (file.module()) return std::nullopt;
    auto whole = file.source().read(0, file.source().size());
    if (!whole) return std::nullopt;
    return iconmod::SharedBytes(std::move(*whole));
}

int cursorGroupsOfFile(const std::string& path, const Arguments&) {
    std::string error;
    auto file = openFile(path, &error);
    if (!file) return fail(error);
    if (file->kind() == formats::FileKind::Cur || file->kind() == formats::FileKind::Ani) return 0;
    if (!file->module()) return fail(path + ": not a cursor file or a module with cursor resources");
    const auto names = namesOf(*file->module(), formats::kRtGroupCursor);
    if (names.empty()) return fail(path + ": no cursor groups");
    for (const formats::ResourceName& name : names) std::printf("%s\n", groupLineText(name).c_str());
    return 0;
}

int cursorImagesOfFile(const std::string& path, const Arguments& args) {
    std::string error;
    auto file = openFile(path, &error);
    if (!file) return fail(error);
    CursorListing listing;
    const std::string* group = args.value("--group");
    if (auto status = listCursors(path, group ? *group : "", false, *file, &listing)) return *status;
    for (const iconmod::ImageEntry& e : *listing.still)
        std::printf("%s, hotspot %u,%u\n", iconmod::imageLineText(e).c_str(), e.HotspotX, e.HotspotY);
    return 0;
}

int cmdSaveCur(const Arguments& args) {
    std::optional<std::uint32_t> one;
    if (const std::string* k = args.value("--image")) {
        one = parseNumber(*k, 0, 999999999);
        if (!one) return usage("--image needs an image number (0, 1, ...)");
    }
    const std::string& path = args.words[0];
    std::string error;
    auto file = openFile(path, &error);
    if (!file) return fail(error);
    CursorListing listing;
    if (auto status = listCursors(path, args.words[1], false, *file, &listing)) return *status;
    if (one && *one >= listing.still->size())
        return fail("image " + *args.value("--image") + " does not exist (the group has " +
                    std::to_string(listing.still->size()) + " images)");
    // The copy holds every image's bytes: a group's resources, or the .cur file read whole.
    std::optional<iconmod::CursorSet> set;
    if (file->module()) {
        set = iconmod::loadCursorGroup(*file->module(), *listing.group);
    } else if (const auto whole = readWhole(*file)) {
        set = iconmod::cursorSetOf(*listing.still, *whole);
    }
    if (!set || (one && *one >= set->Images.size())) return fail(path + ": cannot be read");
    if (one) set->Images = {set->Images[*one]};
    if (!iconmod::saveCur(args.words[2], *set)) return failWriting(args.words[2], "cannot be written");
    return 0;
}

int cmdXcursor(const Arguments& args) {
    const std::string& out = args.words[2];
    std::string error;
    auto file = openFile(args.words[0], &error);
    if (!file) return fail(error);
    CursorListing listing;
    if (auto status = listCursors(args.words[0], args.words[1], true, *file, &listing)) return *status;
    const auto tooMany = [&out](std::uint64_t entries) {
        return fail(out + ": the Xcursor file would hold " + std::to_string(entries) + " images, more than the " +
                    std::to_string(iconmod::kMaxXcursorEntries) + " a loader takes; nothing was written");
    };
    iconmod::CursorXcursorPlan plan;
    if (listing.still) {
        plan = iconmod::stillXcursorPlan(*listing.still);
    } else {
        // The entries are counted before any is made: a long animation costs nothing.
        const std::uint64_t entries = iconmod::xcursorEntryCount(*listing.animated);
        if (entries > iconmod::kMaxXcursorEntries) return tooMany(entries);
        plan = iconmod::animatedXcursorPlan(*listing.animated);
    }
    switch (iconmod::writeCursorXcursor(out, plan, *listing.file)) {
    case iconmod::XcursorResult::Written: return 0;
    case iconmod::XcursorResult::TooManyEntries: return tooMany(plan.layout.entries.size());
    case iconmod::XcursorResult::TooLarge:
        return fail(out + ": the Xcursor file would take " + std::to_string(plan.layout.fileSize()) +
                    " bytes, more than 64 MiB; nothing was written");
    case iconmod::XcursorResult::BadImage: return fail(args.words[0] + ": a cursor image cannot be decoded");
    case iconmod::XcursorResult::NotWritten: break;
    }
    return failWriting(out, "cannot be written");
}

}  // namespace cli
