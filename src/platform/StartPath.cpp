#include "platform/StartPath.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>

#include "platform/MbText.h"

namespace platform {
namespace {

std::string resolved(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return {};
    std::string out(real);
    std::free(real);
    return out;
}

bool isDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The directory part and the last component of a path ("/a/b" gives "/a" and "b").
std::pair<std::string, std::string> splitLast(const std::string& path) {
    std::string p = path;
    while (p.size() > 1 && p.back() == kPathSeparator) p.pop_back();
    const std::size_t slash = findLastChar(p, kPathSeparator);
    if (slash == std::string::npos) return {".", p};
    return {slash == 0 ? "/" : p.substr(0, slash), p.substr(slash + 1)};
}

}  // namespace

StartTarget resolveStartPath(const std::string& path, const std::string& cwd) {
    StartTarget target;
    if (path.empty()) return target;
    const std::string absolute = path.front() == kPathSeparator ? path : joinPath(cwd, path);
    const std::string real = resolved(absolute);
    if (!real.empty()) {
        if (isDirectory(real)) {
            target.kind = StartTarget::Kind::Directory;
            target.directory = real;
            return target;
        }
        auto [dir, name] = splitLast(real);
        target.kind = StartTarget::Kind::File;
        target.directory = dir;
        target.fileName = name;
        return target;
    }
    const std::string parent = resolved(splitLast(absolute).first);
    if (!parent.empty() && isDirectory(parent)) {
        target.kind = StartTarget::Kind::Missing;
        target.directory = parent;
    }
    return target;
}

int filterIndexForFile(const std::string& fileName) {
    const std::size_t dot = findLastChar(fileName, '.');
    const std::string extension = dot == std::string::npos ? std::string() : asciiLower(fileName.substr(dot));
    if (extension == ".exe") return 0;
    if (extension == ".dll") return 1;
    return 2;
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The path of one file: URI, or nullopt for another URI or a file on another host.
std::optional<std::string> localPathOf(std::string_view uri) {
    constexpr std::string_view kScheme = "file:";
    if (uri.size() < kScheme.size()) return std::nullopt;
    for (std::size_t i = 0; i < kScheme.size(); ++i)
        if ((uri[i] | 0x20) != kScheme[i] && uri[i] != kScheme[i]) return std::nullopt;
    uri.remove_prefix(kScheme.size());
    if (uri.substr(0, 2) == "//") {
        uri.remove_prefix(2);
        const std::size_t slash = uri.find('/');
        if (slash == std::string_view::npos) return std::nullopt;
        const std::string_view host = uri.substr(0, slash);
        if (!host.empty() && host != "localhost") return std::nullopt;
        uri.remove_prefix(slash);
    }
    if (uri.empty() || uri.front() != '/') return std::nullopt;
    std::string path;
    for (std::size_t i = 0; i < uri.size(); ++i) {
        const int high = uri[i] == '%' && i + 2 < uri.size() ? hexValue(uri[i + 1]) : -1;
        const int low = high >= 0 ? hexValue(uri[i + 2]) : -1;
        if (low >= 0) {
            path += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path;
}

}  // namespace

std::optional<std::string> firstLocalPath(std::string_view uriList) {
    while (!uriList.empty()) {
        const std::size_t end = uriList.find('\n');
        std::string_view line = uriList.substr(0, end);
        uriList.remove_prefix(end == std::string_view::npos ? uriList.size() : end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        if (auto path = localPathOf(line)) return path;
    }
    return std::nullopt;
}

std::string fileUri(std::string_view path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '.' || c == '_' || c == '~' || c == '/';
        if (plain) {
            uri.push_back(ch);
        } else {
            uri.push_back('%');
            uri.push_back(kHex[c >> 4]);
            uri.push_back(kHex[c & 15]);
        }
    }
    return uri;
}

}  // namespace platform
