// --location PATH,N: an icon location as Windows stores it, in place of a command's FILE and
// GROUP (or, for render, FILE and I).
#include <algorithm>
#include <cstdio>

#include "cli/Cli.h"
#include "cli/LineText.h"
#include "formats/ModuleResources.h"
#include "iconmod/IconLocation.h"

namespace cli {
namespace {

bool has(const Args& args, const char* word) { return std::find(args.begin(), args.end(), word) != args.end(); }

}  // namespace

std::optional<int> takeLocation(const std::string& command, Args& args) {
    const auto at = std::find(args.begin(), args.end(), "--location");
    if (at == args.end()) return std::nullopt;
    const bool byIndex = command == "render";
    const bool byGroup = command == "images" || command == "save-ico" || command == "save-bmp" ||
                         command == "theme" || command == "save-cur" || command == "xcursor";
    if (!byIndex && !byGroup) return usage("--location does not apply to " + command);
    if (at + 1 == args.end()) return usage("--location needs PATH,N");
    const auto text = iconmod::parseLocation(*(at + 1));
    if (!text) return usage("--location needs PATH,N (N a number, negative for a group id): " + *(at + 1));
    args.erase(at, at + 2);

    const bool cursors = command == "save-cur" || command == "xcursor" || has(args, "--cursors");
    const std::uint16_t type = cursors ? formats::kRtGroupCursor : formats::kRtGroupIcon;
    const char* noun = cursors ? "cursor group" : "icon group";

    iconmod::LocationError error = iconmod::LocationError::None;
    std::string path;
    platform::Opened unopened;
    const auto found = iconmod::resolveLocation(*text, type, &error, &path, &unopened);
    if (!found) {
        switch (error) {
        case iconmod::LocationError::Unreadable: return fail(whyNotOpened(path, unopened.error, unopened.systemError));
        case iconmod::LocationError::NoGroups: return fail(path + ": holds no " + noun + "s");
        default:
            return fail(path + ": holds no " + noun +
                        (text->number < 0 ? " with id " + std::to_string(-text->number)
                                          : " " + std::to_string(text->number)));
        }
    }
    if (found->redirected) {
        std::fprintf(stderr, "vexil-cli: %s holds no %ss; reading %s\n", lineText(text->path).c_str(), noun,
                     lineText(found->path).c_str());
    }
    const std::string group = found->name ? groupLineText(*found->name) : std::string("-");
    args.insert(args.begin(), {found->path, byIndex ? std::to_string(found->index) : group});
    return std::nullopt;
}

}  // namespace cli
