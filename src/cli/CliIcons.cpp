// The commands that work on an icon source as the icon save dialog does: an .ico file read
// whole, or a module's icon groups. `images` lists them from directories and image headers.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/Cli.h"
#include "cli/LineText.h"
#include "formats/FileKind.h"
#include "iconmod/IconGroups.h"
#include "iconmod/IconTheme.h"
#include "iconmod/Iconmod.h"
#include "platform/AtomicFile.h"
#include "platform/FileSource.h"
#include "platform/MbText.h"

namespace cli {
namespace {

// The last message the core showed and no failure line has carried yet.
std::string& pendingMessage() {
    static std::string message;
    return message;
}

std::optional<int> parseIndex(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    return std::atoi(text.c_str());
}

// One line for a message box's text: its line breaks and the blanks around them become
// one blank.
std::string flatText(const std::string& text) {
    std::string flat;
    for (char c : text) {
        const bool blank = c == '\n' || c == '\r' || c == ' ';
        if (blank && (flat.empty() || flat.back() == ' ')) continue;
        flat.push_back(blank ? ' ' : c);
    }
    while (!flat.empty() && flat.back() == ' ') flat.pop_back();
    return flat;
}

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
    if (!named) return fail(source.Path + ": cannot load icon group " + group);
    source.GroupName = formats::groupNameText(*named);
    *name = *named;
    return std::nullopt;
}

std::string cannotLoadGroup(const std::string& path, const std::string& group) {
    return path + ": cannot load icon group " + group;
}

// Opens FILE and loads GROUP ("-" or empty: the .ico file's images, or a module's first
// group). Returns the exit status on failure.
std::optional<int> openGroup(iconmod::QIconMod& source, const std::string& group) {
    if (auto status = openSource(source)) return status;
    if (source.IsIcoFile) return std::nullopt;
    formats::ResourceName name;
    if (auto status = nameGroup(source, group, &name)) return status;
    if (!iconmod::fnLoadGroup(source, name)) return fail(cannotLoadGroup(source.Path, group));
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
    if (!listed) return fail(cannotLoadGroup(source.Path, group));
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

std::string whyNoIcons(const std::string& path, const iconmod::SourceError& error) {
    switch (error.why) {
    case iconmod::SourceError::Why::Unopened: return whyNotOpened(path, error.openError, error.systemError);
    case iconmod::SourceError::Why::IcoUnreadable: return path + ": cannot read the icon file: " + flatText(error.message);
    default: break;
    }
    const bool generic = error.problem.empty() || error.problem == formats::kNoKnownKind;
    return path + ": neither an icon file nor a Windows module" + (generic ? "" : ": " + error.problem);
}

void noteCoreMessage(const std::string& text) {
    if (pendingMessage().empty()) pendingMessage() = flatText(text);
}

void flushCoreMessage() {
    if (pendingMessage().empty()) return;
    std::fprintf(stderr, "vexil-cli: %s\n", lineText(pendingMessage()).c_str());
    pendingMessage().clear();
}

int fail(const std::string& message) {
    std::string line = message;
    if (!pendingMessage().empty()) line += ": " + pendingMessage();
    pendingMessage().clear();
    std::fprintf(stderr, "vexil-cli: %s\n", lineText(line).c_str());
    return 1;
}

int failWriting(const std::string& path, const std::string& what) {
    const std::string reason = platform::AtomicFile::lastError();
    return fail(path + ": " + what + (reason.empty() ? "" : ": " + reason));
}

int usage(const std::string& message) {
    std::fprintf(stderr, "vexil-cli: %s\n", message.c_str());
    return 2;
}

int cmdGroups(const Args& args) {
    if (args.size() != 1) return usage("usage: vexil-cli groups FILE");
    iconmod::QIconMod source(args[0]);
    if (auto status = openSource(source)) return *status;
    if (source.IsIcoFile) return 0;  // one group, which has no name
    const auto names = iconmod::fnGroupNames(source);
    if (!names) return fail(args[0] + ": holds no icon groups");
    for (const formats::ResourceName& name : *names) std::printf("%s\n", groupLineText(name).c_str());
    return 0;
}

int cmdImages(const Args& args) {
    if (args.empty() || args.size() > 2) return usage("usage: vexil-cli images FILE [GROUP]");
    iconmod::QIconMod source(args[0]);
    iconmod::ImageEntries images;
    if (auto status = listGroup(source, args.size() > 1 ? args[1] : "", &images)) return *status;
    for (const iconmod::ImageEntry& image : images) std::printf("%s\n", iconmod::imageLineText(image).c_str());
    return 0;
}

int cmdSaveIco(const Args& args) {
    const bool one = args.size() == 5 && args[3] == "--image";
    if (args.size() != 3 && !one) return usage("usage: vexil-cli save-ico FILE GROUP OUT [--image K]");
    std::int32_t selection = -1;
    if (one) {
        const auto k = parseIndex(args[4]);
        if (!k) return usage("--image needs an image number (0, 1, ...)");
        selection = *k;
    }
    iconmod::QIconMod source(args[0]);
    if (auto status = openGroup(source, args[1])) return *status;
    if (selection >= 0 && static_cast<std::uint32_t>(selection) >= source.Images->Count()) {
        return fail("image " + args[4] + " does not exist (the group has " + std::to_string(source.Images->Count()) +
                    " images)");
    }
    if (source.fnSaveIco(args[2], selection)) return 0;
    return failWriting(args[2], "cannot save the icon file");
}

int cmdSaveBmp(const Args& args) {
    if (args.size() != 4) return usage("usage: vexil-cli save-bmp FILE GROUP K OUT");
    const auto k = parseIndex(args[2]);
    if (!k) return usage("K must be an image number (0, 1, ...)");
    iconmod::QIconMod source(args[0]);
    if (auto status = openGroup(source, args[1])) return *status;
    if (static_cast<std::uint32_t>(*k) >= source.Images->Count()) {
        return fail("image " + args[2] + " does not exist (the group has " + std::to_string(source.Images->Count()) +
                    " images)");
    }
    return source.fnSaveBmp(args[3], source.Images->Images[static_cast<std::size_t>(*k)])
               ? 0
               : failWriting(args[3], "cannot save the bitmap");
}

int cmdTheme(const Args& args) {
    static const char kUsage[] = "usage: vexil-cli theme FILE GROUP NAME [--prefix DIR]";
    const bool prefixed = args.size() == 5 && args[3] == "--prefix";
    if (args.size() != 3 && !prefixed) return usage(kUsage);
    const std::string& name = args[2];
    if (!iconmod::isIconThemeName(name)) return usage("NAME may hold letters, digits, '.', '_' and '-' only");
    std::string dir;
    if (prefixed) {
        dir = args[4];
        if (dir.empty()) return usage("--prefix needs a directory");
    } else if (const auto standard = iconmod::defaultIconThemeDir()) {
        dir = *standard;
    } else {
        return fail("neither XDG_DATA_HOME nor HOME is set: give --prefix DIR");
    }
    iconmod::QIconMod source(args[0]);
    if (auto status = openGroup(source, args[1])) return *status;
    if (iconmod::iconThemeSizes(*source.Images).empty()) return fail(source.Path + ": the group has no square image");
    std::string failure;
    if (!iconmod::writeIconTheme(*source.Images, dir, name, nullptr, &failure)) return fail(failure);
    std::printf("Icon=%s\n", name.c_str());
    return 0;
}

}  // namespace cli
