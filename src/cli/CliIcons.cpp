// The commands that work on an icon source as the icon save dialog does: an .ico file read
// whole, or a module's icon groups. `images` lists them from directories and image headers;
// save-png and theme make pictures at a size (iconmod/SizedPng).
#include <cstdio>
#include <optional>

#include "cli/Cli.h"
#include "cli/CliCursors.h"
#include "cli/CliPointer.h"
#include "cli/Commands.h"
#include "cli/LineText.h"
#include "formats/FileKind.h"
#include "iconmod/IconGroups.h"
#include "iconmod/IconTheme.h"
#include "iconmod/Iconmod.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/FileSource.h"
#include "platform/MbText.h"

namespace cli {
namespace {

// Opens FILE by its content for its icon groups: a module of any kind (16-bit ones too) or
// an icon file, whatever its name; with readIcoFile false an icon file is only told apart.
// Returns the exit status on failure, after the line that says why.
std::optional<int> openSource(iconmod::QIconMod& source, bool readIcoFile = true) {
    const iconmod::SourceError error = source.openByContent(readIcoFile);
    if (!error) return std::nullopt;
    return fail(whyNoIcons(source.Path, error));
}
// Names GROUP of the opened module ("-" or empty: its first group; otherwise a name as
// `groups` writes it), also in source.GroupName. Returns the exit status on failure.
std::optional<int> nameGroup(iconmod::QIconMod& source, const std::string& group, formats::ResourceName* name) {
    std::optional<formats::ResourceName> named;
    if (group.empty() || group == "-") {
        const auto names = source.Module->names(formats::kRtGroupIcon);
        if (!names || names->empty()) return fail(source.Path + ": holds no icon groups");
        named = names->front();
    } else {
        named = groupFromLineText(group);
    }
    if (!named) return fail(cannotLoadGroup(source.Path, group));
    source.GroupName = formats::groupNameText(*named);
    *name = *named;
    return std::nullopt;
}

// Opens FILE and loads GROUP ("-" or empty: the .ico file's images, or a module's first
// group). Returns the exit status on failure.
std::optional<int> openGroup(iconmod::QIconMod& source, const std::string& group) {
    if (auto status = openSource(source)) return status;
    if (source.IsIcoFile) return std::nullopt;
    formats::ResourceName name;
    if (auto status = nameGroup(source, group, &name)) return status;
    if (!iconmod::fnLoadGroup(source, name)) return fail(withFailure(cannotLoadGroup(source.Path, group), source));
    return std::nullopt;
}

// Opens FILE and lists GROUP's images as openGroup would load them, from the directory and
// each image's header, never their data. Returns the exit status on failure.
std::optional<int> listGroup(iconmod::QIconMod& source, const std::string& group, iconmod::ImageEntries* images) {
    if (auto status = openSource(source, false)) return status;
    if (source.IsIcoFile) {
        iconmod::IcoListing listed = source.listIco();
        if (!listed.images) {
            iconmod::SourceError error;
            error.why = iconmod::SourceError::Why::IcoUnreadable;
            error.message = listed.message;
            return fail(whyNoIcons(source.Path, error));
        }
        *images = std::move(*listed.images);
        return std::nullopt;
    }
    formats::ResourceName name;
    if (auto status = nameGroup(source, group, &name)) return status;
    auto listed = iconmod::fnListGroupImages(source, name);
    if (!listed) return fail(withFailure(cannotLoadGroup(source.Path, group), source));
    *images = std::move(*listed);
    return std::nullopt;
}

}  // namespace

std::string whyNotOpened(const std::string& path, platform::FileSource::OpenError error, int systemError) {
    switch (error) {
    case platform::FileSource::OpenError::NotFound: return path + ": no such file";
    case platform::FileSource::OpenError::NotRegular: return path + ": " + platform::FileSource::describe(error, systemError);
    default: return path + ": cannot be opened: " + platform::FileSource::describe(error, systemError);
    }
}

std::string bareNumberHint(const std::string& group) {
    if (group.empty() || group.size() > 5 || !parseNumber(group, 0, 65535)) return "";
    return " (\"#" + group + "\" names the group with id " + group + ")";
}

std::string whyNoIcons(const std::string& path, const iconmod::SourceError& error) {
    switch (error.why) {
    case iconmod::SourceError::Why::Unopened: return whyNotOpened(path, error.openError, error.systemError);
    case iconmod::SourceError::Why::IcoUnreadable: return path + ": cannot read the icon file: " + flatText(error.message);
    default: break;
    }
    const bool generic = error.problem.empty() || error.problem == formats::kNoKnownKind;
    return path + ": neither an icon file nor a Windows module" + (generic ? "" : ": " + error.problem);
}

std::string cannotLoadGroup(const std::string& path, const std::string& group, const char* noun) {
    return path + ": cannot load " + noun + " " + group + bareNumberHint(group);
}

namespace {

int groupsOfFile(const std::string& path, const Arguments&) {
    InputFile input = openInput(path);
    if (input.pointer) {
        if (auto why = input.pointer->failure()) return fail(*why);
        for (const std::string& group : input.pointer->groups()) std::printf("%s\n", lineText(group).c_str());
        return 0;
    }
    iconmod::QIconMod source(path, std::move(input.file));
    if (auto status = openSource(source)) return *status;
    if (source.IsIcoFile) return 0;  // one group, which has no name
    const auto names = iconmod::fnGroupNames(source);
    if (!names) return fail(withFailure(path + ": holds no icon groups", source));
    for (const formats::ResourceName& name : *names) std::printf("%s\n", groupLineText(name).c_str());
    return 0;
}

int imagesOfFile(const std::string& path, const Arguments& args) {
    const std::string* group = args.value("--group");
    int status = 0;
    auto input = openGroupInput(path, group ? *group : "", &status);
    if (!input) return status;
    iconmod::QIconMod source(input->path, std::move(input->file));
    iconmod::ImageEntries images;
    if (auto failed = listGroup(source, input->group, &images)) return *failed;
    for (const iconmod::ImageEntry& image : images) std::printf("%s\n", iconmod::imageLineText(image).c_str());
    return 0;
}

// The image number K of --image; nullopt after the usage line when it is none.
std::optional<std::int32_t> imageOption(const Arguments& args, int* status) {
    const std::string* text = args.value("--image");
    if (!text) return -1;
    const auto k = parseNumber(*text, 0, 999999999);
    if (!k) {
        *status = usage("--image needs an image number (0, 1, ...)");
        return std::nullopt;
    }
    return static_cast<std::int32_t>(*k);
}

int noSuchImage(const std::string& k, std::size_t count) {
    return fail("image " + k + " does not exist (the group has " + std::to_string(count) + " images)");
}

}  // namespace

int cmdGroups(const Arguments& args) {
    if (args.has("--cursors")) return forEachFile(args.words, cursorGroupsOfFile, args);
    return forEachFile(args.words, groupsOfFile, args);
}

int cmdImages(const Arguments& given) {
    // `images FILE GROUP`, as before --group: one file and its group.
    Arguments args = given;
    if (args.words.size() == 2 && !args.value("--group")) {
        args.values["--group"] = args.words[1];
        args.words.pop_back();
    }
    if (args.has("--cursors")) return forEachFile(args.words, cursorImagesOfFile, args);
    return forEachFile(args.words, imagesOfFile, args);
}

int cmdSaveIco(const Arguments& args) {
    int status = 0;
    const auto selection = imageOption(args, &status);
    if (!selection) return status;
    auto input = openGroupInput(args.words[0], args.words[1], &status);
    if (!input) return status;
    iconmod::QIconMod source(input->path, std::move(input->file));
    if (auto opened = openGroup(source, input->group)) return *opened;
    if (*selection >= 0 && static_cast<std::uint32_t>(*selection) >= source.Images->Count())
        return noSuchImage(*args.value("--image"), source.Images->Count());
    if (source.fnSaveIco(args.words[2], *selection, args.has("--exact"))) return 0;
    return failWriting(args.words[2], "cannot save the icon file", source);
}

int cmdSavePng(const Arguments& args) {
    int size = 0;  // the largest image's
    if (const std::string* text = args.value("--size")) {
        const auto n = parseNumber(*text, 1, 65535);
        if (!n) return usage("--size needs a number of pixels from 1 to 65535");
        size = static_cast<int>(*n);
    }
    int status = 0;
    auto input = openGroupInput(args.words[0], args.words[1], &status);
    if (!input) return status;
    iconmod::QIconMod source(input->path, std::move(input->file));
    if (auto failed = openGroup(source, input->group)) return *failed;
    // As extract writes its PNGs: a stored PNG copied, another picture encoded quickly.
    constexpr auto fast = iconmod::PngCompression::Fast;
    const auto png = size > 0 ? iconmod::sizedPng(*source.Images, size, fast) : iconmod::largestPng(*source.Images, fast);
    if (!png) return fail(source.Path + ": no image of the group can be decoded");
    if (!platform::AtomicFile::writeWhole(args.words[2], *png)) return failWriting(args.words[2], "cannot be written");
    return 0;
}

int cmdSaveBmp(const Arguments& args) {
    const auto k = parseNumber(args.words[2], 0, 999999999);
    if (!k) return usage("K must be an image number (0, 1, ...)");
    int status = 0;
    auto input = openGroupInput(args.words[0], args.words[1], &status);
    if (!input) return status;
    iconmod::QIconMod source(input->path, std::move(input->file));
    if (auto failed = openGroup(source, input->group)) return *failed;
    if (*k >= source.Images->Count()) return noSuchImage(args.words[2], source.Images->Count());
    return source.fnSaveBmp(args.words[3], source.Images->Images[*k]) ? 0
                                                                      : failWriting(args.words[3], "cannot save the bitmap", source);
}

int cmdTheme(const Arguments& args) {
    const std::string& name = args.words[2];
    if (!iconmod::isIconThemeName(name)) return usage("NAME may hold letters, digits, '.', '_' and '-' only");
    if (platform::asciiLower(name).ends_with(".png"))
        return usage("NAME is the icon's name without .png (Icon=NAME): " + name.substr(0, name.size() - 4));
    std::string dir;
    if (const auto status = outputFolder(args, iconmod::defaultIconThemeDir(), "neither XDG_DATA_HOME nor HOME is set", &dir))
        return *status;
    // An existing set of that name (at any of hicolor's sizes) is replaced only when asked.
    if (!args.has("--force")) {
        if (const auto existing = iconmod::existingIconTheme(dir, name))
            return fail(*existing + ": an icon set of that name exists; --force replaces it");
    }
    int status = 0;
    auto input = openGroupInput(args.words[0], args.words[1], &status);
    if (!input) return status;
    iconmod::QIconMod source(input->path, std::move(input->file));
    if (auto failed = openGroup(source, input->group)) return *failed;
    if (iconmod::iconThemeSizes(*source.Images).empty()) return fail(source.Path + ": the group has no square image");
    std::string failure;
    if (!iconmod::writeIconTheme(*source.Images, dir, name, nullptr, &failure)) return fail(flatText(failure));
    std::printf("Icon=%s\n", name.c_str());
    return 0;
}

}  // namespace cli
