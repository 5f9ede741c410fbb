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

}  // namespace platform
