#include "platform/AtomicFile.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Descriptors.h"
#include "platform/MbText.h"
#include "platform/SystemError.h"

namespace platform {
namespace {

// Links followed before giving up, as the kernel does (ELOOP).
constexpr int kMaxLinks = 40;

thread_local std::string lastFailure;

std::string directoryOf(const std::string& path) {
    const std::size_t slash = findLastChar(path, kPathSeparator);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// Whether a process may follow the symbolic link `link` (lstat'ed as `st`), by the rule
// the kernel applies when fs.protected_symlinks is on: a link in a sticky, world-writable
// folder (/tmp) is followed only by its owner, or when it belongs to the folder's owner.
// Applied whatever that setting is, so that a link another user planted in /tmp never
// makes a save replace a file that user could not write.
bool mayFollowLink(const std::string& link, const struct stat& st) {
    if (st.st_uid == ::geteuid()) return true;
    struct stat folder {};
    if (::stat(directoryOf(link).c_str(), &folder) != 0) return false;
    constexpr mode_t kStickyAndWorldWritable = S_ISVTX | S_IWOTH;
    if ((folder.st_mode & kStickyAndWorldWritable) != kStickyAndWorldWritable) return true;
    return folder.st_uid == st.st_uid;
}

// The file the bytes must finally land in: through symbolic links, the file they point
// to, also one that does not exist yet (a dangling link names the file to create). Each
// relative link is taken from its own directory. Empty with *error set on a link loop
// (ELOOP) or a link that may not be followed (EACCES, as the kernel refuses it).
std::string resolveTarget(const std::string& path, int* error) {
    std::string current = path;
    for (int hops = 0; hops <= kMaxLinks; ++hops) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        if (!mayFollowLink(current, st)) {
            *error = EACCES;
            return {};
        }
        std::vector<char> buffer(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), buffer.size());
        if (n < 0 || static_cast<std::size_t>(n) >= buffer.size()) return current;  // changed under us: let rename decide
        const std::string link(buffer.data(), static_cast<std::size_t>(n));
        current = !link.empty() && link[0] == '/' ? link : joinPath(directoryOf(current), link);
    }
    *error = ELOOP;
    return {};
}

}  // namespace

AtomicFile::~AtomicFile() { discard(); }

std::string AtomicFile::lastError() { return lastFailure; }

std::string AtomicFile::folder() const { return directoryOf(target_); }

bool AtomicFile::fail(const std::string& reason) {
    error_ = reason;
    lastFailure = reason;
    return false;
}

bool AtomicFile::failWithErrno(int error) { return fail(systemErrorText(error)); }

bool AtomicFile::create(const std::string& path) {
    discard();
    failed_ = false;
    error_.clear();
    lastFailure.clear();
    if (path.empty()) return failWithErrno(ENOENT);
    int linkError = 0;
    target_ = resolveTarget(path, &linkError);
    if (target_.empty()) return failWithErrno(linkError);
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    // Only a regular file is ever replaced: a rename over a device, a FIFO or a socket
    // (such as /dev/null given as the output) would put a regular file in its place.
    if (exists && S_ISDIR(st.st_mode)) return failWithErrno(EISDIR);
    if (exists && !S_ISREG(st.st_mode)) return fail("not a regular file");
    // A read-only file stays as it is. The mode bits are checked on their own because
    // access() lets root write anything; the access check covers the rest (another
    // user's file, an immutable file, a read-only mount).
    if (exists && (st.st_mode & 0222) == 0) return failWithErrno(EACCES);
    if (exists && ::faccessat(AT_FDCWD, target_.c_str(), W_OK, AT_EACCESS) != 0) return failWithErrno(errno);

    std::string pattern = joinPath(directoryOf(target_), ".vexil-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) return failWithErrno(errno);
    temp_.assign(buffer.data());
    // A new file gets the usual permissions (0666 less the umask); a replaced file keeps
    // its own, and its owner and group where the process may give them (the owner first:
    // a change of owner clears set-id bits, which the mode then restores).
    mode_t mode = 0;
    if (exists) {
        if (::fchown(fd, st.st_uid, st.st_gid) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    fd_ = fd;
    return true;
}

bool AtomicFile::write(const void* data, std::size_t size) {
    if (fd_ < 0 || failed_) return false;
    if (writeAll(fd_, formats::ByteView(static_cast<const std::uint8_t*>(data), size))) return true;
    failed_ = true;
    return failWithErrno(errno);
}

bool AtomicFile::prepare(Durability durability) {
    if (fd_ < 0 || failed_) {
        discard();
        return false;
    }
    int error = 0;
    if (durability == Durability::Flushed && ::fsync(fd_) != 0) error = errno;
    if (::close(fd_) != 0 && error == 0) error = errno;
    fd_ = -1;
    if (error != 0) {
        discard();
        return failWithErrno(error);
    }
    return true;
}

bool AtomicFile::publish() {
    if (fd_ >= 0 || failed_ || temp_.empty()) {
        discard();
        return false;
    }
    if (::rename(temp_.c_str(), target_.c_str()) != 0) {
        const int error = errno;
        discard();
        return failWithErrno(error);
    }
    temp_.clear();
    error_.clear();
    return true;
}

bool AtomicFile::commit(Durability durability) { return prepare(durability) && publish(); }

void AtomicFile::discard() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temp_.empty()) {
        ::unlink(temp_.c_str());
        temp_.clear();
    }
}

bool AtomicFile::writeWhole(const std::string& path, formats::ByteView bytes, Durability durability) {
    AtomicFile f;
    return f.create(path) && f.write(bytes) && f.commit(durability);
}

}  // namespace platform
