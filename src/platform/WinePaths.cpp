// Windows paths resolved inside a Wine prefix.
#include "platform/WinePaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/DirEnum.h"
#include "platform/MbText.h"

namespace platform {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

bool isRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// An absolute path with "." and ".." taken away by text alone.
std::string normalized(const std::string& path) {
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i <= path.size()) {
        const std::size_t slash = std::min(path.find('/', i), path.size());
        const std::string part = path.substr(i, slash - i);
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = slash + 1;
    }
    std::string out;
    for (const auto& p : parts) out += "/" + p;
    return out.empty() ? "/" : out;
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char* cwd = ::getcwd(nullptr, 0);
    if (!cwd) return path;
    std::string out = joinPath(cwd, path);
    std::free(cwd);
    return out;
}

std::string realPath(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string out(real);
    std::free(real);
    return out;
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && formats::compareIgnoreCase(s.substr(0, prefix.size()), prefix) == 0;
}

ResolvedPath failed(ResolvedPath::Failure failure, std::string tried) {
    ResolvedPath r;
    r.failure = failure;
    r.tried = std::move(tried);
    return r;
}

}  // namespace

std::string ResolvedPath::message() const {
    switch (failure) {
    case Failure::None: return "resolved: " + path;
    case Failure::Empty: return "an empty path";
    case Failure::NoPrefix: return "no Wine prefix holds the file, so " + tried + " cannot be resolved";
    case Failure::NoDrive: return "no such drive in the Wine prefix: " + tried;
    case Failure::NotFound: return "no such file: " + tried;
    case Failure::Network: return "a network path, not opened: " + tried;
    }
    return {};
}

WinePathResolver::WinePathResolver(const std::string& file, const WineResolveOptions& options)
    : fileDir_(parentOf(absolutePath(file))) {
    prefix_ = findWinePrefix(file);
    if (!prefix_) {
        std::string fallback;
        if (options.fallbackPrefix) fallback = *options.fallbackPrefix;
        else if (const char* env = std::getenv("WINEPREFIX")) fallback = env;
        if (!fallback.empty() && isDirectory(fallback + "/dosdevices")) prefix_ = absolutePath(fallback);
    }
    if (!prefix_) return;
    if (options.cache) environment_ = options.cache->get(*prefix_, options.readRegistry);
    else environment_ = options.readRegistry ? readWineEnvironment(*prefix_) : wineDefaultEnvironment(*prefix_);
}

const WineEnvironment& WineEnvironmentCache::get(const std::string& prefix, bool readRegistry) {
    const auto key = std::make_pair(prefix, readRegistry);
    auto it = environments_.find(key);
    if (it == environments_.end())
        it = environments_.emplace(key, readRegistry ? readWineEnvironment(prefix) : wineDefaultEnvironment(prefix)).first;
    return it->second;
}

WinePathResolver::WinePathResolver(const std::string& file, std::optional<std::string> prefix, WineEnvironment environment)
    : fileDir_(parentOf(absolutePath(file))), prefix_(std::move(prefix)), environment_(std::move(environment)) {}

std::string WinePathResolver::decode(const formats::StoredText& text) const {
    return decodeStoredText(text, environment_.ansiCodePage);
}

std::optional<std::string> WinePathResolver::driveRoot(char letter, std::string* tried) const {
    const std::string devices = *prefix_ + "/dosdevices/";
    const char lower = static_cast<char>(letter | 0x20);
    std::string link = devices + lower + ":";
    *tried = link;
    if (!exists(link)) {
        link = devices + static_cast<char>(lower - 0x20) + ":";
        if (!exists(link)) return std::nullopt;
    }
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return link;  // a folder of its own, not a link
    const std::string to(target, static_cast<std::size_t>(n));
    return to[0] == '/' ? normalized(to) : normalized(devices + to);
}

std::optional<std::string> WinePathResolver::fileDriveRoot() const {
    const std::string dir = realPath(fileDir_);
    std::optional<std::string> best;
    std::size_t bestLength = 0;
    if (auto it = DirEnum::start(*prefix_ + "/dosdevices/?:")) {
        do {
            const std::string& name = it->entry().name;
            const char c = static_cast<char>(name[0] | 0x20);
            if (name.size() != 2 || c < 'a' || c > 'z') continue;
            std::string tried;
            const auto root = driveRoot(c, &tried);
            if (!root) continue;
            const std::string real = realPath(*root);
            const bool holds = real == "/" || dir == real || (dir.size() > real.size() && dir.compare(0, real.size(), real) == 0 && dir[real.size()] == '/');
            if (holds && (!best || real.size() > bestLength)) {
                best = root;
                bestLength = real.size();
            }
        } while (it->next());
    }
    return best;
}

ResolvedPath WinePathResolver::resolve(const formats::StoredText& windowsPath) const { return resolveUtf8(decode(windowsPath)); }

ResolvedPath WinePathResolver::resolveUtf8(std::string_view windowsPath) const {
    std::string p = environment_.expand(windowsPath);
    for (char& c : p)
        if (c == '/') c = '\\';
    if (p.empty()) return failed(ResolvedPath::Failure::Empty, p);
    if (startsWithIgnoreCase(p, "\\\\?\\") || startsWithIgnoreCase(p, "\\\\.\\")) {
        if (startsWithIgnoreCase(std::string_view(p).substr(4), "UNC\\")) return failed(ResolvedPath::Failure::Network, "\\\\" + p.substr(8));
        p.erase(0, 4);
        if (p.empty()) return failed(ResolvedPath::Failure::Empty, p);
    }
    if (p.size() >= 2 && p[0] == '\\' && p[1] == '\\') return failed(ResolvedPath::Failure::Network, p);
    // Outside a prefix no variable has a value: a path that starts with one names a place
    // only a prefix could say, not a folder of that name beside the file.
    if (!prefix_ && p.front() == '%' && p.find('%', 1) != std::string::npos) return failed(ResolvedPath::Failure::NoPrefix, p);

    std::string root;
    std::string floor = "/";
    std::string_view rest = p;
    const bool drive = p.size() >= 2 && p[1] == ':' && ((p[0] | 0x20) >= 'a' && (p[0] | 0x20) <= 'z');
    if (drive || p[0] == '\\') {
        if (!prefix_) return failed(ResolvedPath::Failure::NoPrefix, p);
        std::string tried = fileDir_;
        const auto found = drive ? driveRoot(p[0], &tried) : fileDriveRoot();
        if (!found) return failed(ResolvedPath::Failure::NoDrive, tried);
        root = floor = *found;
        if (drive) rest.remove_prefix(2);
    } else {
        root = fileDir_;
    }

    std::string current = root;
    std::vector<std::string_view> parts;
    for (std::size_t i = 0; i <= rest.size();) {
        const std::size_t sep = std::min(rest.find('\\', i), rest.size());
        parts.push_back(rest.substr(i, sep - i));
        i = sep + 1;
    }
    for (std::size_t k = 0; k < parts.size(); ++k) {
        const std::string_view part = parts[k];
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (current.size() > floor.size()) current = parentOf(current);
            continue;
        }
        std::string next = joinPath(current, part);
        const bool wildcard = part.find_first_of("*?") != std::string_view::npos;
        if (wildcard || !exists(next)) {
            // No exact match: the first name in the folder that differs in case alone.
            std::unique_ptr<DirEnum> match = wildcard ? nullptr : DirEnum::start(next);
            if (!match) {
                for (std::size_t j = k + 1; j < parts.size(); ++j)
                    if (!parts[j].empty()) next += "/" + std::string(parts[j]);
                return failed(ResolvedPath::Failure::NotFound, next);
            }
            next = joinPath(current, match->entry().name);
        }
        current = std::move(next);
    }
    ResolvedPath r;
    r.path = std::move(current);
    return r;
}

ResolvedIconLocation resolveIconLocation(const WinePathResolver& resolver, const formats::StoredText& text) {
    const std::string utf8 = resolver.decode(text);
    ResolvedPath whole = resolver.resolveUtf8(utf8);
    if (whole && isRegularFile(whole.path)) return {std::move(whole), 0};
    const formats::IniIconReference split = formats::splitIconLocation(formats::StoredText::utf8(utf8));
    if (split.path.bytes != utf8) return {resolver.resolveUtf8(split.path.bytes), split.index};
    return {std::move(whole), 0};
}

ResolvedIconLocation resolveIconLocation(const WinePathResolver& resolver, const formats::IniIconReference& reference) {
    if (reference.location != reference.path) return resolveIconLocation(resolver, reference.location);
    return {resolver.resolve(reference.path), reference.index};
}

}  // namespace platform
