#include "iconmod/IconPointer.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <utility>

#include "formats/AsciiText.h"
#include "formats/CompoundFile.h"
#include "formats/MsiPackage.h"
#include "platform/FileSource.h"

namespace iconmod {
namespace {

using Step = PointerFailure::Step;

// Shortcuts, .url and INI files are a few KiB; anything far larger is not one.
constexpr std::uint64_t kMaxTextPointerSize = 4u << 20;
// Enough of a file's start for both signatures.
constexpr std::uint64_t kHeadSize = 20;

PointerFailure failure(Step step, std::string path, std::string detail = {}) { return {step, std::move(path), std::move(detail)}; }

PointerContents failed(PointerKind kind, Step step, std::string detail) {
    PointerContents c;
    c.kind = kind;
    c.failure = failure(step, {}, std::move(detail));
    return c;
}

bool nameEndsWith(std::string_view name, std::string_view tail) {
    return name.size() >= tail.size() && formats::compareIgnoreCase(name.substr(name.size() - tail.size()), tail) == 0;
}

PointerKind kindByName(std::string_view name) {
    if (nameEndsWith(name, ".url")) return PointerKind::InternetShortcut;
    if (formats::compareIgnoreCase(name, "desktop.ini") == 0) return PointerKind::FolderSettings;
    if (formats::compareIgnoreCase(name, "autorun.inf") == 0) return PointerKind::Autorun;
    return PointerKind::None;
}

const char* kindText(PointerKind kind) {
    switch (kind) {
    case PointerKind::Shortcut: return "shortcut";
    case PointerKind::InternetShortcut: return "Internet shortcut";
    case PointerKind::FolderSettings: return "desktop.ini";
    case PointerKind::Autorun: return "autorun.inf";
    case PointerKind::Package: return "installer package";
    case PointerKind::None: break;
    }
    return "file";
}

PointerContents shortcutContents(formats::ByteView bytes) {
    const auto link = formats::readShellLink(bytes);
    if (!link) return failed(PointerKind::Shortcut, Step::Read, link.error().text());
    PointerContents c;
    c.kind = PointerKind::Shortcut;
    const formats::LinkIcon icon = link->icon();
    if (!icon.ofTarget) c.icon = formats::IniIconReference{icon.path, icon.path, icon.index};
    const auto add = [&c](formats::LinkPath path) {
        if (path.path.empty()) return;
        const bool known = std::any_of(c.targets.begin(), c.targets.end(), [&](const formats::LinkPath& p) { return p.path == path.path; });
        if (!known) c.targets.push_back(std::move(path));
    };
    if (auto target = link->target()) add(std::move(*target));
    for (const auto* text : {&link->environmentTarget, &link->relativePath})
        if (*text) add({**text, formats::isNetworkPath((*text)->bytes)});
    if (!c.icon && c.targets.empty()) c.failure = failure(Step::NoIcon, {}, "the shortcut names neither an icon nor a target");
    return c;
}

PointerContents iniContents(PointerKind kind, formats::ByteView bytes) {
    const auto ini = formats::IniFile::read(bytes);
    if (!ini) return failed(kind, Step::Read, ini.error().text());
    PointerContents c;
    c.kind = kind;
    const char* missing = "";
    if (kind == PointerKind::InternetShortcut) {
        c.icon = formats::readUrlShortcut(*ini).icon;
        missing = "no IconFile= in [InternetShortcut]";
    } else if (kind == PointerKind::FolderSettings) {
        c.icon = formats::desktopIniIcon(*ini);
        missing = "no IconResource= or IconFile= in [.ShellClassInfo]";
    } else {
        c.icon = formats::autorunIcon(*ini);
        missing = "no icon= in [autorun]";
    }
    if (!c.icon) c.failure = failure(Step::NoIcon, {}, missing);
    return c;
}

PointerContents packageContents(std::unique_ptr<formats::ByteSource> source) {
    auto package = formats::MsiPackage::open(std::move(source), platform::decodeCodePage);
    if (!package) return failed(PointerKind::Package, Step::Read, package.error().text());
    PointerContents c;
    c.kind = PointerKind::Package;
    const auto& rows = (*package)->icons();
    const auto chosen = (*package)->packageIconRow();
    if (!chosen) {
        c.failure = failure(Step::NoIcon, {}, "no rows in the Icon table");
        return c;
    }
    c.iconNames.push_back(rows[*chosen].name);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (i != *chosen) c.iconNames.push_back(rows[i].name);
    auto bytes = (*package)->readIcon(*chosen);
    if (bytes) c.iconBytes = std::move(*bytes);
    else c.failure = failure(Step::IconStream, {}, bytes.error().text());
    return c;
}

// A URL ("https://host/favicon.ico"): a scheme of two or more characters, then "://"
// (so that "C://x" stays a drive path).
bool isUrl(std::string_view text) {
    const std::size_t colon = text.find("://");
    if (colon == std::string_view::npos || colon < 2) return false;
    return std::all_of(text.begin(), text.begin() + static_cast<long>(colon), [](char ch) {
        return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.';
    });
}

Step stepOf(platform::ResolvedPath::Failure f) {
    using F = platform::ResolvedPath::Failure;
    switch (f) {
    case F::NoPrefix: return Step::NoPrefix;
    case F::NoDrive: return Step::NoDrive;
    case F::Network: return Step::Network;
    case F::Empty: return Step::NoIcon;
    case F::NotFound:
    case F::None: break;
    }
    return Step::NotFound;
}

std::optional<PointerFailure> failureOf(const platform::ResolvedPath& resolved) {
    if (resolved) return std::nullopt;
    return failure(stepOf(resolved.failure), resolved.tried);
}

// The resolved path must name a regular file (a link to one counts); a folder, FIFO or
// device is named, not opened.
std::optional<PointerFailure> checkRegularFile(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return failure(Step::NotFound, path);
    if (S_ISREG(st.st_mode)) return std::nullopt;
    return failure(Step::NotAFile, path, S_ISDIR(st.st_mode) ? "a folder" : "not a regular file");
}

}  // namespace

const char* pointerKindName(PointerKind kind) {
    switch (kind) {
    case PointerKind::Shortcut: return "LNK";
    case PointerKind::InternetShortcut: return "URL";
    case PointerKind::FolderSettings:
    case PointerKind::Autorun: return "INI";
    case PointerKind::Package: return "MSI";
    case PointerKind::None: break;
    }
    return "other";
}

std::string PointerFailure::message() const {
    const std::string why = detail.empty() ? "" : " (" + detail + ")";
    switch (step) {
    case Step::Open: return "cannot open " + path + ": " + detail;
    case Step::Kind: return "not a file that names an icon (a shortcut, .url, desktop.ini, autorun.inf or .msi): " + path;
    case Step::Read: return "cannot read " + path + ": " + detail;
    case Step::NoIcon: return "names no icon: " + path + why;
    case Step::NoPrefix: return "no Wine prefix holds the file, so " + path + " cannot be resolved";
    case Step::NoDrive: return "no such drive in the Wine prefix: " + path;
    case Step::NotFound: return "no such file: " + path;
    case Step::Network: return "a network location, not opened: " + path;
    case Step::NotAFile: return "not a regular file: " + path + why;
    case Step::IconStream: return "cannot read the package's icon in " + path + ": " + detail;
    }
    return {};
}

PointerKind pointerKindOf(formats::ByteView head, std::string_view fileName) {
    if (formats::isShellLink(head)) return PointerKind::Shortcut;
    if (formats::isCompoundFile(head)) return PointerKind::Package;
    return kindByName(fileName);
}

PointerContents readPointerContents(std::unique_ptr<formats::ByteSource> source, std::string_view fileName) {
    if (!source) return failed(PointerKind::None, Step::Open, "no file");
    const std::uint64_t size = source->size();
    const auto head = source->read(0, std::min(size, kHeadSize));
    if (!head) return failed(PointerKind::None, Step::Read, "cannot read its first bytes");
    PointerKind kind = kindByName(fileName);
    if (formats::isShellLink(*head)) kind = PointerKind::Shortcut;
    else if (formats::isCompoundFile(*head)) return packageContents(std::move(source));
    if (kind == PointerKind::None) return failed(kind, Step::Kind, {});

    if (size > kMaxTextPointerSize)
        return failed(kind, Step::Read, "a " + std::string(kindText(kind)) + " of " + std::to_string(size) + " bytes (at most 4 MiB)");
    const auto bytes = source->read(0, size);
    if (!bytes) return failed(kind, Step::Read, "cannot read its " + std::to_string(size) + " bytes");
    return kind == PointerKind::Shortcut ? shortcutContents(*bytes) : iniContents(kind, *bytes);
}

IconPointer resolvePointer(PointerContents contents, const std::string& file, const platform::WineResolveOptions& options) {
    IconPointer out;
    out.kind = contents.kind;
    // A shortcut read whole that names no icon of its own shows its target's.
    out.ofTarget = contents.kind == PointerKind::Shortcut && !contents.icon && (!contents.failure || contents.failure->step == Step::NoIcon);
    // Package names are decoded where the package's code page allows; 1252 stands for a
    // neutral one.
    for (const auto& name : contents.iconNames) out.iconNames.push_back(platform::decodeStoredText(name, 1252));
    if (contents.failure) {
        out.failure = std::move(contents.failure);
        if (out.failure->path.empty()) out.failure->path = file;
        return out;
    }
    if (contents.kind == PointerKind::Package) {
        out.iconBytes = std::move(contents.iconBytes);
        return out;
    }

    const platform::WinePathResolver resolver(file, options);
    if (!contents.targets.empty()) {
        out.storedTarget = resolver.decode(contents.targets.front().path);
        out.networkTarget = contents.targets.front().network;
    }
    if (contents.icon) {
        const formats::IniIconReference& icon = *contents.icon;
        out.storedLocation = icon.location != icon.path ? resolver.decode(icon.location)
                                                        : resolver.decode(icon.path) + "," + std::to_string(icon.index);
        const std::string path = resolver.decode(icon.path);
        if (isUrl(path)) {
            out.failure = failure(Step::Network, path);
            return out;
        }
        const platform::ResolvedIconLocation location = platform::resolveIconLocation(resolver, icon);
        out.failure = failureOf(location.file);
        out.path = location.file.path;
        out.index = location.index;
    } else {
        // The target's icon 0: the first stored form that names a file. A network target
        // ends the search (it is reported, not opened).
        for (const formats::LinkPath& target : contents.targets) {
            platform::ResolvedPath resolved = target.network ? platform::ResolvedPath{platform::ResolvedPath::Failure::Network, {},
                                                                                      resolver.decode(target.path)}
                                                             : resolver.resolve(target.path);
            if (resolved) {
                out.failure.reset();
                out.path = std::move(resolved.path);
                break;
            }
            if (!out.failure) out.failure = failureOf(resolved);
            if (resolved.failure == platform::ResolvedPath::Failure::Network) break;
        }
    }
    if (!out.failure) out.failure = checkRegularFile(out.path);
    if (out.failure) {
        out.path.clear();
        out.index = 0;
    }
    return out;
}

IconPointer readIconPointer(const std::string& file, const platform::WineResolveOptions& options) {
    platform::FileSource::OpenError error = platform::FileSource::OpenError::None;
    int systemError = 0;
    auto source = platform::FileSource::open(file, &error, &systemError);
    if (!source) {
        IconPointer out;
        out.failure = failure(Step::Open, file, platform::FileSource::describe(error, systemError));
        return out;
    }
    const std::size_t slash = file.rfind('/');
    const std::string_view name = slash == std::string::npos ? std::string_view(file) : std::string_view(file).substr(slash + 1);
    return resolvePointer(readPointerContents(std::move(source), name), file, options);
}

}  // namespace iconmod
