// The input files of `extract` (paths and directory walks) and the names of its outputs.
#include <algorithm>
#include <cerrno>
#include <utility>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cli/CliExtract.h"
#include "platform/DirEnum.h"
#include "platform/MbText.h"
#include "platform/SystemError.h"

namespace cli::extract {
namespace {

// A file name may hold at most this many bytes on the usual Linux file systems.
constexpr std::size_t kMaxNameBytes = 255;
// Room kept for a collision suffix ("~" and a number).
constexpr std::size_t kSuffixRoom = 8;
// The part of a name that the input file's own name may take when a group name follows.
constexpr std::size_t kMaxFilePart = 160;

using DirKey = std::pair<dev_t, ino_t>;

DirKey keyOf(const struct stat& st) { return DirKey(st.st_dev, st.st_ino); }

std::optional<DirKey> directoryKey(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
    return keyOf(st);
}

// A walk holds one descriptor per level of the tree it is in; a deep tree may need more
// than the usual soft limit of 1,024, so the soft limit is raised to the hard one.
void allowManyDescriptors() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

class Walker {
public:
    Walker(const Options& options, const std::string& skipDirectory)
        : options_(options), mask_(options.mask), skip_(directoryKey(skipDirectory)) {}

    void addPath(const std::string& path);
    std::vector<Input> take() { return std::move(inputs_); }

private:
    // Walks the directory open as `fd` (taken over), shown as `dir`, found under `root`
    // at `below`.
    void walk(int fd, const std::string& dir, const std::string& root, const std::string& below);
    Input& add(const std::string& path, std::string name, bool named, std::optional<Skip> skip) {
        return inputs_.emplace_back(Input{path, std::move(name), named, skip, {}, {}, {}});
    }
    void addUnreadable(const std::string& path, bool named, int error) {
        add(path, std::string(platform::baseName(path)), named, Skip::Unreadable).reason = platform::systemErrorText(error);
    }

    const Options& options_;
    platform::WildcardMask mask_;
    std::optional<DirKey> skip_;
    std::set<DirKey> visited_;
    std::vector<Input> inputs_;
};

void Walker::addPath(const std::string& path) {
    const std::string name(platform::baseName(path));
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return addUnreadable(path, true, errno);
    if (!S_ISDIR(st.st_mode)) {
        add(path, name, true, S_ISREG(st.st_mode) ? std::nullopt : std::optional<Skip>(Skip::NotRegular));
        return;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return addUnreadable(path, true, errno);
    walk(fd, path, path, "");
}

// Lists the directory once, sorted by name; files first decide by the mask, directories
// are walked in their place when the walk is recursive.
void Walker::walk(int fd, const std::string& dir, const std::string& root, const std::string& below) {
    struct stat self {};
    if (::fstat(fd, &self) != 0 || !visited_.insert(keyOf(self)).second) {  // gone, or already walked
        ::close(fd);
        return;
    }
    DIR* listing = ::fdopendir(fd);
    if (!listing) {
        const int error = errno;
        ::close(fd);
        return addUnreadable(dir, below.empty(), error);
    }
    std::vector<std::string> names;
    errno = 0;
    while (const dirent* e = ::readdir(listing)) {
        const std::string_view n = e->d_name;
        if (n != "." && n != "..") names.emplace_back(n);
        errno = 0;
    }
    if (errno != 0) addUnreadable(dir, below.empty(), errno);
    std::sort(names.begin(), names.end());

    const int dirFd = ::dirfd(listing);
    for (const std::string& name : names) {
        const std::string path = platform::joinPath(dir, name);
        const std::string at = below.empty() ? name : below + "/" + name;
        struct stat st {};
        if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone since the listing
        if (S_ISDIR(st.st_mode)) {
            if (!options_.recursive || (skip_ && keyOf(st) == *skip_)) continue;
            const int child = ::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (child < 0) addUnreadable(path, false, errno);
            else walk(child, path, root, at);
            continue;
        }
        // A link is looked at through: a directory is passed by, a file read as itself.
        struct stat target = st;
        const bool link = S_ISLNK(st.st_mode);
        const bool dangling = link && ::fstatat(dirFd, name.c_str(), &target, 0) != 0;
        if (link && !dangling && S_ISDIR(target.st_mode)) {
            if (options_.recursive) add(path, name, false, Skip::DirectoryLink);
            continue;
        }
        if (!mask_.matches(name)) continue;
        // FIFOs, sockets, devices and dangling links: listed, never opened.
        const bool regular = !dangling && S_ISREG(target.st_mode);
        Input& input = add(path, name, false, regular ? std::nullopt : std::optional<Skip>(Skip::NotRegular));
        input.root = root;
        input.below = at;
    }
    ::closedir(listing);
}

}  // namespace

std::vector<Input> collectInputs(const Options& options, const std::string& skipDirectory) {
    allowManyDescriptors();
    Walker walker(options, skipDirectory);
    for (const std::string& path : options.paths) walker.addPath(path);
    return walker.take();
}

int openInput(const Input& input) {
    constexpr int kFileFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    if (input.below.empty()) return ::open(input.path.c_str(), kFileFlags);
    int fd = ::open(input.root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    std::size_t start = 0;
    while (fd >= 0) {
        const std::size_t slash = input.below.find('/', start);
        const std::string part = input.below.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        const int next = slash == std::string::npos
                             ? ::openat(fd, part.c_str(), kFileFlags)
                             : ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(fd);
        errno = error;
        if (slash == std::string::npos) return next;
        fd = next;
        start = slash + 1;
    }
    return -1;
}

std::string safeComponent(std::string_view text, std::size_t maxBytes) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = platform::charLength(text, i);
        if (out.size() + len > maxBytes) break;
        const auto c = static_cast<unsigned char>(text[i]);
        if (len == 1 && (c == '/' || c < 0x20 || c == 0x7F)) out.push_back('_');
        else out.append(text.substr(i, len));
        i += len;
    }
    return out.empty() ? std::string("_") : out;
}

std::string NameBook::take(std::string_view fileName, std::optional<std::string_view> group,
                           std::string_view extension) {
    const std::size_t room = kMaxNameBytes - kSuffixRoom - extension.size();
    std::string stem;
    if (group) {
        stem = safeComponent(fileName, kMaxFilePart) + "-";
        stem += safeComponent(*group, room - stem.size());
    } else {
        stem = safeComponent(fileName, room);
    }
    if (stem.front() == '.') stem.front() = '_';

    std::string name = stem + std::string(extension);
    for (unsigned n = 2; used_.count(platform::asciiLower(name)) != 0; ++n)
        name = stem + "~" + std::to_string(n) + std::string(extension);
    used_.insert(platform::asciiLower(name));
    return name;
}

}  // namespace cli::extract
