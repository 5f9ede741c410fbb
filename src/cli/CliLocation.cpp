// --location PATH,N: an icon location as Windows stores it, in place of a command's FILE and
// GROUP (or, for render, FILE and I).
#include <sys/stat.h>

#include <cstdio>

#include "cli/Cli.h"
#include "cli/CliPointer.h"
#include "cli/Commands.h"
#include "cli/LineText.h"
#include "formats/ModuleResources.h"
#include "iconmod/IconLocation.h"

namespace cli {
namespace {

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

std::optional<int> takeLocation(const Command& command, Arguments& args) {
    const std::string given = *args.value("--location");
    args.values.erase("--location");
    const bool byIndex = command.location == Location::Icon;
    const bool cursors = command.location == Location::CursorGroup || args.has("--cursors");
    // A file that points at an icon, named whole (a name with a comma included), stands for
    // its first group; named with N, for its N-th group.
    if (!cursors && isRegularFile(given) && openInput(given).pointer) {
        args.words.insert(args.words.begin(), {given, byIndex ? std::string("0") : std::string("-")});
        return std::nullopt;
    }
    const auto text = iconmod::parseLocation(given);
    if (text && !cursors && isRegularFile(text->path)) {
        InputFile input = openInput(text->path);
        if (input.pointer) {
            if (auto why = input.pointer->failure()) return fail(*why);
            const auto groups = input.pointer->groups();
            if (text->number < 0 || static_cast<std::uint64_t>(text->number) >= groups.size())
                return fail(text->path + ": holds no icon group " + std::to_string(text->number) + " (it has " +
                            std::to_string(groups.size()) + ")");
            const auto n = static_cast<std::size_t>(text->number);
            args.words.insert(args.words.begin(), {text->path, byIndex ? std::to_string(n) : groups[n]});
            return std::nullopt;
        }
    }
    if (!text) return usage("--location needs PATH,N (N a number, negative for a group id): " + lineText(given));

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
    args.words.insert(args.words.begin(), {found->path, byIndex ? std::to_string(found->index) : group});
    return std::nullopt;
}

}  // namespace cli
