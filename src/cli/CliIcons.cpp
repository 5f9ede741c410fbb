// The commands that work on an icon source as the icon save dialog does: an .ico file read
// whole, or a module's icon groups.
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "cli/Cli.h"
#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "platform/AtomicFile.h"

namespace cli {
namespace {

std::optional<int> parseIndex(const std::string& text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    for (char c : text)
        if (c < '0' || c > '9') return std::nullopt;
    return std::atoi(text.c_str());
}

// Opens FILE and loads GROUP ("-" or empty: the .ico file's images, or a module's first
// group). Returns the exit status on failure.
std::optional<int> openGroup(iconmod::QIconMod& source, const std::string& group) {
    // An .ico file that cannot be read has already said why.
    if (!source.fnOpen()) {
        return source.IsIcoFile ? 1 : fail(source.Path + ": not an icon file or a 32/64-bit module with icon resources");
    }
    if (source.IsIcoFile) return std::nullopt;
    std::string name = group;
    if (name.empty() || name == "-") {
        iconmod::VectorTextList groups;
        if (!iconmod::fnListGroupNames(source, groups)) return 1;
        if (groups.items.empty()) return fail(source.Path + ": no icon groups");
        name = groups.items.front();
    }
    source.GroupName = name;
    if (!iconmod::fnLoadGroup(source)) return fail(source.Path + ": cannot load icon group " + name);
    return std::nullopt;
}

}  // namespace

int fail(const std::string& message) {
    std::fprintf(stderr, "vexil-cli: %s\n", message.c_str());
    return 1;
}

int usage(const std::string& message) {
    std::fprintf(stderr, "vexil-cli: %s\n", message.c_str());
    return 2;
}

int cmdGroups(const Args& args) {
    if (args.size() != 1) return usage("usage: vexil-cli groups FILE");
    iconmod::QIconMod source(args[0]);
    if (!source.fnOpen()) {
        return source.IsIcoFile ? 1 : fail(args[0] + ": not an icon file or a 32/64-bit module with icon resources");
    }
    iconmod::VectorTextList groups;
    if (!iconmod::fnListGroupNames(source, groups)) return 1;
    for (const std::string& name : groups.items) std::printf("%s\n", name.c_str());
    return 0;
}

int cmdImages(const Args& args) {
    if (args.empty() || args.size() > 2) return usage("usage: vexil-cli images FILE [GROUP]");
    iconmod::QIconMod source(args[0]);
    if (auto status = openGroup(source, args.size() > 1 ? args[1] : "")) return *status;
    iconmod::VectorTextList lines;
    iconmod::subListImages(source, lines);
    for (const std::string& line : lines.items) std::printf("%s\n", line.c_str());
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
    if (source.fnSaveIco(args[2], selection)) return 0;
    // The core shows a message for the steps it knows; a failed final write or rename
    // is told here, with the system's reason.
    const std::string reason = platform::AtomicFile::lastError();
    return reason.empty() ? 1 : fail(args[2] + ": cannot be written: " + reason);
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
    return source.fnSaveBmp(args[3], source.Images->Images[static_cast<std::size_t>(*k)]) ? 0 : 1;
}

}  // namespace cli
