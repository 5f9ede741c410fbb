// vexil-cli shortcuts DIR: every shortcut (.lnk) under DIR, a Wine prefix's Start Menu or
// Desktop or any folder, with what it runs and the icon it shows, for a front-end that
// asks "what programs and icons does this prefix have". With --theme each icon found is
// written as a hicolor icon set named from the shortcut's path under DIR.
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <climits>
#include <filesystem>

#include "cli/Cli.h"
#include "cli/CliPointer.h"
#include "cli/JsonText.h"
#include "cli/LineText.h"
#include "formats/AsciiText.h"
#include "formats/ShellLink.h"
#include "iconmod/IconGroups.h"
#include "iconmod/IconTheme.h"
#include "iconmod/Iconmod.h"
#include "platform/DirWalk.h"
#include "platform/FileBatch.h"
#include "platform/WinePaths.h"

namespace cli {
namespace {

// Shortcuts are a few KiB; anything far larger is not one.
constexpr std::uint64_t kMaxShortcutSize = 4u << 20;
// Icon set names stay well inside a file name's 255 bytes with ".png".
constexpr std::size_t kMaxKeyLength = 200;

bool isShortcutName(std::string_view name) {
    return name.size() > 4 && formats::compareIgnoreCase(name.substr(name.size() - 4), ".lnk") == 0;
}

std::optional<std::string> realPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return std::nullopt;
    std::string out(real);
    std::free(real);
    return out;
}

bool isInside(const std::string& path, const std::string& dir) {
    return path == dir || (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                           (dir.back() == '/' || path[dir.size()] == '/'));
}

}  // namespace

// dosdevices holds a prefix's drive links, which lead to / and back into the prefix.
std::optional<std::vector<std::string>> findShortcuts(const std::string& dir, std::string* why) {
    const auto realDir = realPath(dir);
    std::error_code ec;
    if (!realDir || !std::filesystem::is_directory(*realDir, ec)) {
        *why = dir + (realDir ? ": not a folder" : ": no such folder");
        return std::nullopt;
    }
    std::vector<std::string> found;
    std::vector<std::string> roots = {dir};
    platform::DirWalk walk;
    for (std::size_t r = 0; r < roots.size(); ++r) {
        walk.start(roots[r]);
        // Paths come from the walk as root + "/" + the rest; under DIR, after the root's own path.
        const std::string under = roots[r] == dir ? "" : roots[r].substr(dir.size() + 1) + "/";
        platform::DirWalk::Entry entry;
        while (walk.next(&entry)) {
            using Kind = platform::DirWalk::Kind;
            if (entry.dir == platform::DirWalk::kNoDir) {
                if (entry.kind == Kind::Unreadable && r == 0) {
                    *why = dir + ": cannot be read";
                    return std::nullopt;
                }
                continue;
            }
            if (entry.kind == Kind::Directory && entry.name == "dosdevices") {
                walk.prune();
                continue;
            }
            const std::string path = walk.path(entry.dir, entry.name);
            if (entry.kind == Kind::DirectoryLink) {
                const auto target = realPath(path);
                if (target && isInside(*target, *realDir)) roots.push_back(path);
                continue;
            }
            if (entry.kind == Kind::File && isShortcutName(entry.name))
                found.push_back(under + path.substr(roots[r].size() + 1));
        }
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

// "lnk-" and the path with
// every byte but ASCII letters, digits, '.' and '-' written as "_XX" (so that two paths
// never give one name), cut at 200 bytes with a hash of the whole path after it.
std::string shortcutKey(const std::string& relative) {
    static const char digits[] = "0123456789abcdef";
    std::string key = "lnk-";
    for (unsigned char c : relative) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-';
        if (plain) key.push_back(static_cast<char>(c));
        else key += std::string{'_', digits[c >> 4], digits[c & 15]};
    }
    if (key.size() <= kMaxKeyLength) return key;
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : relative) hash = (hash ^ c) * 1099511628211ull;
    key.resize(kMaxKeyLength - 17);
    key.push_back('_');
    for (int shift = 60; shift >= 0; shift -= 4) key.push_back(digits[(hash >> shift) & 15]);
    return key;
}

namespace {

struct ShortcutRow {
    std::string relative, name, arguments, workingDir;
    PointerReport report;
    std::string icon;  // --theme: the icon set written; empty when none
};

// Loads the group the shortcut shows and writes it as an icon set; the reason when not.
std::optional<std::string> writeSet(iconmod::PointedGroup group, const std::string& themeDir, const std::string& name,
                                    platform::FileBatch& batch) {
    iconmod::QIconMod source(group.path, std::move(group.file));
    if (auto error = source.openByContent()) return whyNoIcons(group.path, error);
    if (!source.IsIcoFile) {
        if (!group.name) return group.path + ": holds no icon groups";
        source.GroupName = formats::groupNameText(*group.name);
        if (!iconmod::fnLoadGroup(source, *group.name)) return withFailure(group.path + ": cannot load its icon group", source);
    }
    if (!source.Images || iconmod::iconThemeSizes(*source.Images).empty()) return group.path + ": the group has no square image";
    std::string failure;
    if (!iconmod::writeIconTheme(*source.Images, themeDir, name, nullptr, &failure, &batch)) return flatText(failure);
    return std::nullopt;
}

// With themeDir, the icon found is written as a set whose files wait in `batch`.
ShortcutRow readShortcut(const std::string& dir, const std::string& relative, const platform::WineResolveOptions& options,
                         const std::string* themeDir, platform::FileBatch& batch) {
    ShortcutRow row;
    row.relative = relative;
    const std::string path = dir + "/" + relative;
    platform::FileSource::OpenError error = platform::FileSource::OpenError::None;
    int systemError = 0;
    auto source = platform::FileSource::open(path, &error, &systemError);
    if (!source) {
        row.report.kind = "LNK";
        row.report.failure = whyNotOpened(path, error, systemError);
        return row;
    }
    // The strings only a shortcut keeps, decoded as its prefix decodes ANSI text.
    const std::uint64_t size = source->size();
    if (size <= kMaxShortcutSize) {
        if (auto bytes = source->read(0, size)) {
            if (auto link = formats::readShellLink(*bytes)) {
                const platform::WinePathResolver resolver(path, options);
                const auto text = [&](const std::optional<formats::StoredText>& t) { return t ? resolver.decode(*t) : std::string(); };
                row.name = text(link->name);
                row.arguments = text(link->arguments);
                row.workingDir = text(link->workingDir);
            }
        }
    }
    iconmod::PointerSource pointer(std::move(source), iconmod::PointerKind::Shortcut, path, options);
    std::optional<iconmod::PointedGroup> group;
    row.report = reportPointer(pointer, themeDir ? &group : nullptr);
    if (themeDir && group) {
        const std::string key = shortcutKey(relative);
        if (auto why = writeSet(std::move(*group), *themeDir, key, batch)) row.report.failure = *why;
        else row.icon = key;
    }
    return row;
}

void printRow(const ShortcutRow& row, bool asJson, bool theme, bool first) {
    const PointerReport& r = row.report;
    if (asJson) {
        const auto member = [](const char* key, const std::string& text) {
            return text.empty() ? json::quoted(key) + ": null" : json::textMember(key, text, std::string(key) + "_hex");
        };
        std::printf("%s{%s, %s, %s, %s, %s%s}", first ? "" : ",\n ", member("shortcut", row.relative).c_str(),
                    member("name", row.name).c_str(), member("arguments", row.arguments).c_str(),
                    member("working_dir", row.workingDir).c_str(), reportMembers(r).c_str(),
                    theme ? (", " + member("icon", row.icon)).c_str() : "");
        return;
    }
    if (theme) {
        if (row.icon.empty() && r.failure) std::fprintf(stderr, "vexil-cli: %s: %s\n", lineText(row.relative).c_str(), lineText(*r.failure).c_str());
        if (!row.icon.empty()) std::printf("Icon=%s\t%s\n", row.icon.c_str(), lineText(row.relative).c_str());
        return;
    }
    const std::string* columns[] = {&row.relative, &r.path, &r.group, &r.location, &r.target, &row.arguments, &row.workingDir, &row.name};
    std::string line = lineText(*columns[0]) + (r.failure ? "\tno" : "\tyes");
    for (std::size_t i = 1; i < std::size(columns); ++i) line += "\t" + lineText(*columns[i]);
    std::printf("%s\t%s\n", line.c_str(), r.failure ? lineText(*r.failure).c_str() : "");
}

}  // namespace

int cmdShortcuts(const Arguments& args) {
    std::string dir = args.words[0];
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    const bool asJson = args.has("--json");
    const bool theme = args.has("--theme");
    if (args.value("--prefix") && !theme) return usage("--prefix goes with --theme (where the icon sets are written)");
    std::string themeDir;
    if (theme) {
        if (const auto status = outputFolder(args, iconmod::defaultIconThemeDir(), "neither XDG_DATA_HOME nor HOME is set", &themeDir))
            return *status;
    }
    std::string why;
    const auto shortcuts = findShortcuts(dir, &why);
    if (!shortcuts) return fail(why);

    // The prefix's registry files are read once for all its shortcuts.
    platform::WineEnvironmentCache cache;
    platform::WineResolveOptions options;
    options.cache = &cache;
    // The icon sets' files are made to last with one sync per batch, as extract's are;
    // a set's files all wait in the same batch. Rows are printed once their files have
    // their names.
    platform::FileBatch batch;
    std::vector<ShortcutRow> waiting;
    int status = 0;
    bool first = true;
    const auto flush = [&] {
        for (const platform::FileBatch::Failure& f : batch.flush()) status = fail(f.path + ": cannot be written: " + f.reason);
        for (const ShortcutRow& row : waiting) {
            printRow(row, asJson, theme, first);
            first = false;
        }
        waiting.clear();
        std::fflush(stdout);
    };
    if (asJson) std::fputs("[", stdout);
    for (const std::string& relative : *shortcuts) {
        waiting.push_back(readShortcut(dir, relative, options, theme ? &themeDir : nullptr, batch));
        if (!theme || batch.full()) flush();
    }
    flush();
    if (asJson) std::fputs("]\n", stdout);
    if (theme) {
        // Icon caches compare the theme folder's time with their own.
        std::error_code ec;
        std::filesystem::last_write_time(themeDir + "/hicolor", std::filesystem::file_time_type::clock::now(), ec);
    }
    std::fflush(stdout);
    return status;
}

}  // namespace cli
