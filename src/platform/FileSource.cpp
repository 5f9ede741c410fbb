#include "platform/FileSource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/SystemError.h"

namespace platform {

std::unique_ptr<FileSource> FileSource::open(const std::string& path, OpenError* error, int* systemError) {
    if (systemError) *systemError = 0;
    // O_NONBLOCK: opening a FIFO must not wait for a writer; fromDescriptor refuses it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        const int openError = errno;
        if (systemError) *systemError = openError;
        if (error) *error = openError == ENOENT || openError == ENOTDIR ? OpenError::NotFound : OpenError::Unreadable;
        return nullptr;
    }
    struct stat st {};
    if (systemError && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) *systemError = EISDIR;
    return fromDescriptor(fd, error);
}

std::unique_ptr<FileSource> FileSource::fromDescriptor(int fd, OpenError* error) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error) *error = OpenError::NotRegular;
        return nullptr;
    }
    if (error) *error = OpenError::None;
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

const Bytes* FileSource::block(std::uint64_t index) {
    auto it = std::find_if(blocks_.begin(), blocks_.end(), [index](const auto& b) { return b.first == index; });
    if (it != blocks_.end()) {
        std::rotate(it, it + 1, blocks_.end());
        return &blocks_.back().second;
    }
    const std::uint64_t start = index * kBlockSize;
    const std::uint64_t length = std::min(kBlockSize, size_ - start);
    Bytes data(static_cast<std::size_t>(length));
    if (!readRaw(start, data.data(), length)) return nullptr;
    if (blocks_.size() >= kMaxBlocks) blocks_.erase(blocks_.begin());
    blocks_.emplace_back(index, std::move(data));
    return &blocks_.back().second;
}

std::optional<Bytes> FileSource::read(std::uint64_t offset, std::uint64_t length) {
    if (!fits(offset, length)) return std::nullopt;
    Bytes out(static_cast<std::size_t>(length));
    if (length == 0) return out;
    // Large reads go straight to the file; small ones through the block cache.
    if (length > kBlockSize) {
        if (!readRaw(offset, out.data(), length)) return std::nullopt;
        return out;
    }
    std::uint64_t done = 0;
    while (done < length) {
        const std::uint64_t pos = offset + done;
        const Bytes* b = block(pos / kBlockSize);
        if (!b) return std::nullopt;
        const std::uint64_t inBlock = pos % kBlockSize;
        if (inBlock >= b->size()) return std::nullopt;
        const std::uint64_t n = std::min<std::uint64_t>(length - done, b->size() - inBlock);
        std::memcpy(out.data() + done, b->data() + inBlock, static_cast<std::size_t>(n));
        done += n;
    }
    return out;
}

}  // namespace platform
