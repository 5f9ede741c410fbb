#include "platform/AtomicFile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/MbText.h"

namespace platform {
namespace {

// The file the bytes must finally land in: when the target is a symbolic link, the
// file it points to, so that saving through a link updates the linked file.
std::string resolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            std::string out(real);
            std::free(real);
            return out;
        }
    }
    return path;
}

std::string directoryOf(const std::string& path) {
    const std::size_t slash = findLastChar(path, kPathSeparator);
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

}  // namespace

AtomicFile::~AtomicFile() { discard(); }

bool AtomicFile::create(const std::string& path) {
    discard();
    failed_ = false;
    if (path.empty()) return false;
    target_ = resolveTarget(path);
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    // Only a regular file is ever replaced: a rename over a device, a FIFO or a socket
    // (such as /dev/null given as the output) would put a regular file in its place.
    if (exists && !S_ISREG(st.st_mode)) return false;

    std::string pattern = joinPath(directoryOf(target_), ".vexil-XXXXXX");
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkostemp(buffer.data(), O_CLOEXEC);
    if (fd < 0) return false;
    temp_.assign(buffer.data());
    // A new file gets the usual permissions (0666 less the umask); a replaced file keeps its own.
    mode_t mode = 0;
    if (exists) {
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
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        const ssize_t n = ::write(fd_, p, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            failed_ = true;
            return false;
        }
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::commit(Durability durability) {
    if (fd_ < 0 || failed_) {
        discard();
        return false;
    }
    const bool flushed = durability == Durability::Unflushed || ::fsync(fd_) == 0;
    const bool closed = ::close(fd_) == 0;
    fd_ = -1;
    if (!flushed || !closed || ::rename(temp_.c_str(), target_.c_str()) != 0) {
        ::unlink(temp_.c_str());
        temp_.clear();
        return false;
    }
    temp_.clear();
    return true;
}

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
