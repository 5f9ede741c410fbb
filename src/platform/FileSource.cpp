#include "platform/FileSource.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cerrno>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <pthread.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/uio.h>
#include <unistd.h>

#include "platform/OpenCount.h"
#include "platform/SystemError.h"

namespace platform {

namespace {

std::atomic<std::uint64_t> opened{0};

// The folder /proc/<pid>/fd of this process on the kernel's process file system, where
// opening the entry N opens the very file that descriptor N refers to; -1 without one.
// Kept open, so that each reopen walks one name, not /proc/self/fd/N from the root (the
// listing of a large folder feels the difference): one for each thread that opens files,
// closed when the thread ends, and forgotten in a forked child (it names the parent's
// descriptors) by a fork handler rather than by asking for the process id before each
// open, a system call per file.
struct ProcFdFolder {
    int fd = -1;
    bool looked = false;
    pid_t owner = 0;  // the process that looked, when no fork handler could be set
    void forget() {
        if (fd >= 0) ::close(fd);
        fd = -1;
        looked = false;
    }
    ~ProcFdFolder() { forget(); }
};
thread_local ProcFdFolder procFolder;
void forgetInChild() { procFolder.forget(); }

int procFdFolder() {
    static const bool forkHandled = ::pthread_atfork(nullptr, nullptr, forgetInChild) == 0;
    ProcFdFolder& folder = procFolder;
    if (folder.looked && forkHandled) return folder.fd;
    const pid_t pid = ::getpid();
    if (folder.looked && folder.owner == pid) return folder.fd;
    folder.forget();
    folder.fd = ::open(("/proc/" + std::to_string(pid) + "/fd").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    struct statfs fs {};
    if (folder.fd >= 0 && (::fstatfs(folder.fd, &fs) != 0 || fs.f_type != PROC_SUPER_MAGIC)) folder.forget();
    folder.looked = true;
    folder.owner = pid;
    return folder.fd;
}

// Opens for reading the regular file that `handle` (an O_PATH descriptor of name in
// directoryFd, whose status is st) refers to. -1 with errno set on failure.
int reopenForReading(int handle, int directoryFd, const std::string& name, const struct stat& st) {
    constexpr int kReadFlags = O_RDONLY | O_NOCTTY | O_CLOEXEC;
    if (const int folder = procFdFolder(); folder >= 0) {
        char entry[16];
        *std::to_chars(entry, entry + sizeof entry - 1, handle).ptr = '\0';
        return ::openat(folder, entry, kReadFlags);
    }
    // Without /proc the name is opened once more, without blocking, and the file kept only
    // when it is the one looked at. This cannot prevent what happens in between: a name
    // swapped for a FIFO after the look is opened for an instant (releasing a writer that
    // waits on it) and a device's open is called, before the check below refuses them.
    const int fd = ::openat(directoryFd, name.c_str(), kReadFlags | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat now {};
    if (::fstat(fd, &now) != 0 || now.st_dev != st.st_dev || now.st_ino != st.st_ino) {
        ::close(fd);
        errno = ENOENT;  // no longer the file that was looked at
        return -1;
    }
    return fd;
}

FileSource::OpenError openErrorOf(int systemError) {
    return systemError == ENOENT || systemError == ENOTDIR ? FileSource::OpenError::NotFound
                                                           : FileSource::OpenError::Unreadable;
}

}  // namespace

std::uint64_t filesOpened() { return opened; }

std::unique_ptr<FileSource> FileSource::open(const std::string& path, OpenError* error, int* systemError) {
    return openAt(AT_FDCWD, path, error, systemError);
}

// The name is looked up with O_PATH, which opens nothing: the file's type is checked on
// that descriptor, and only a regular file is then opened for reading, through the
// descriptor itself so that it is the very file checked.
std::unique_ptr<FileSource> FileSource::openAt(int directoryFd, const std::string& name, OpenError* error,
                                               int* systemError) {
    auto failed = [&](OpenError why, int code) -> std::unique_ptr<FileSource> {
        if (error) *error = why;
        if (systemError) *systemError = code;
        return nullptr;
    };
    const int handle = ::openat(directoryFd, name.c_str(), O_PATH | O_CLOEXEC);
    if (handle < 0) {
        const int code = errno;
        return failed(openErrorOf(code), code);
    }
    struct stat st {};
    if (::fstat(handle, &st) != 0) {
        const int code = errno;
        ::close(handle);
        return failed(OpenError::Unreadable, code);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(handle);
        return failed(OpenError::NotRegular, S_ISDIR(st.st_mode) ? EISDIR : 0);
    }
    const int fd = reopenForReading(handle, directoryFd, name, st);
    const int code = errno;
    ::close(handle);
    if (fd < 0) return failed(openErrorOf(code), code);
    if (systemError) *systemError = 0;
    if (error) *error = OpenError::None;
    // The descriptor is the very file looked at: its status needs no second look.
    ++opened;
    return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<std::uint64_t>(st.st_size)));
}

std::unique_ptr<FileSource> FileSource::fromDescriptor(int fd, OpenError* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error) *error = OpenError::NotRegular;
        return nullptr;
    }
    if (error) *error = OpenError::None;
    ++opened;
    return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<std::uint64_t>(st.st_size)));
}

std::string FileSource::describe(OpenError error, int systemError) {
    if (error == OpenError::NotRegular) return systemError == EISDIR ? "is a directory" : "not a regular file";
    return systemErrorText(systemError);
}

FileSource::~FileSource() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileSource::readRaw(std::uint64_t offset, std::uint8_t* out, std::uint64_t length) {
    while (length > 0) {
        ++readCalls_;
        const ssize_t n = ::pread(fd_, out, static_cast<std::size_t>(length), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;  // error, or the file shrank under us
        out += n;
        offset += static_cast<std::uint64_t>(n);
        length -= static_cast<std::uint64_t>(n);
    }
    return true;
}

FileSource::Block FileSource::emptyBlock(std::uint64_t index, std::size_t size) {
    return Block{index, std::unique_ptr<std::uint8_t[]>(new std::uint8_t[size]), size};
}

const FileSource::Block* FileSource::cached(std::uint64_t index) {
    auto it = std::find_if(blocks_.begin(), blocks_.end(), [index](const Block& b) { return b.index == index; });
    if (it == blocks_.end()) return nullptr;
    std::rotate(it, it + 1, blocks_.end());
    return &blocks_.back();
}

const FileSource::Block* FileSource::block(std::uint64_t index) {
    if (const Block* b = cached(index)) return b;
    const std::uint64_t start = index * kBlockSize;
    Block fresh = emptyBlock(index, static_cast<std::size_t>(std::min(kBlockSize, size_ - start)));
    if (!readRaw(start, fresh.data.get(), fresh.size)) return nullptr;
    if (blocks_.size() >= kMaxBlocks) blocks_.erase(blocks_.begin());
    blocks_.push_back(std::move(fresh));
    return &blocks_.back();
}

// Reads the blocks first..last (at most kMaxSpan, inside the file) that are not cached, in
// one call from the first missing one to the last. A short read leaves them to block(),
// which reads them one by one.
void FileSource::loadBlocks(std::uint64_t first, std::uint64_t last) {
    auto isCached = [this](std::uint64_t i) {
        return std::any_of(blocks_.begin(), blocks_.end(), [i](const Block& b) { return b.index == i; });
    };
    std::uint64_t from = last + 1, to = first;
    for (std::uint64_t i = first; i <= last; ++i) {
        if (isCached(i)) continue;
        from = std::min(from, i);
        to = i;
    }
    if (from > to || from == to) return;  // nothing missing, or one block: block() reads it
    std::array<Block, kMaxSpan> fresh;
    std::array<iovec, kMaxSpan> parts{};
    const std::size_t count = static_cast<std::size_t>(to - from + 1);
    std::uint64_t total = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint64_t start = (from + k) * kBlockSize;
        fresh[k] = emptyBlock(from + k, static_cast<std::size_t>(std::min(kBlockSize, size_ - start)));
        parts[k] = {fresh[k].data.get(), fresh[k].size};
        total += fresh[k].size;
    }
    ssize_t n;
    do {
        ++readCalls_;
        n = ::preadv(fd_, parts.data(), static_cast<int>(count), static_cast<off_t>(from * kBlockSize));
    } while (n < 0 && errno == EINTR);
    if (n < 0 || static_cast<std::uint64_t>(n) != total) return;
    for (std::size_t k = 0; k < count; ++k) {
        if (isCached(fresh[k].index)) continue;
        if (blocks_.size() >= kMaxBlocks) blocks_.erase(blocks_.begin());
        blocks_.push_back(std::move(fresh[k]));
    }
}

std::optional<Bytes> FileSource::read(std::uint64_t offset, std::uint64_t length) {
    if (!fits(offset, length)) return std::nullopt;
    const std::uint64_t first = offset / kBlockSize, last = length > 0 ? (offset + length - 1) / kBlockSize : first;
    // Large reads go straight to the file; small ones through the block cache.
    if (last - first >= kMaxSpan) {
        Bytes out(static_cast<std::size_t>(length));
        if (!readRaw(offset, out.data(), length)) return std::nullopt;
        return out;
    }
    Bytes out;
    out.reserve(static_cast<std::size_t>(length));
    if (length == 0) return out;
    loadBlocks(first, last);
    while (out.size() < length) {
        const std::uint64_t pos = offset + out.size();
        const Block* b = block(pos / kBlockSize);
        if (!b) return std::nullopt;
        const std::uint64_t inBlock = pos % kBlockSize;
        if (inBlock >= b->size) return std::nullopt;
        const std::uint64_t n = std::min<std::uint64_t>(length - out.size(), b->size - inBlock);
        out.insert(out.end(), b->data.get() + inBlock, b->data.get() + inBlock + n);
    }
    return out;
}

}  // namespace platform
