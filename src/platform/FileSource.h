// The file-backed byte source: a regular file read on demand through the bounds-checked
// ByteSource interface the format readers take.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "formats/ByteView.h"

namespace platform {

using formats::Bytes;

// A regular file, read on demand in aligned blocks that are kept for reuse, so that a
// parser making many small reads costs few system calls. Every file the program reads by
// a name it was given is opened here: only a regular file is opened for reading; a FIFO,
// socket, device or directory is looked at without being opened (a FIFO's waiting writer
// is not released, a device's driver is not called), and opening never blocks.
class FileSource final : public formats::ByteSource {
public:
    enum class OpenError { None, NotFound, NotRegular, Unreadable };

    // `systemError` receives the errno of a failed open (EISDIR for a directory, 0 for
    // another file that is not regular). A symbolic link is followed.
    static std::unique_ptr<FileSource> open(const std::string& path, OpenError* error = nullptr,
                                            int* systemError = nullptr);
    // The same for `name` in the directory open as `directoryFd`.
    static std::unique_ptr<FileSource> openAt(int directoryFd, const std::string& name, OpenError* error = nullptr,
                                              int* systemError = nullptr);
    // Takes over a descriptor opened for reading (closed with the source, or at once when
    // it is not a regular file).
    static std::unique_ptr<FileSource> fromDescriptor(int fd, OpenError* error = nullptr);
    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    // Why open() failed, in the system's words: "No such file or directory", "Permission
    // denied", "is a directory", "not a regular file".
    static std::string describe(OpenError error, int systemError);

    std::uint64_t size() const override { return size_; }
    std::optional<Bytes> read(std::uint64_t offset, std::uint64_t length) override;

    // The descriptor read from, for the system's questions about the file (fstat).
    int descriptor() const { return fd_; }

    // Number of read system calls made so far (for tests and benchmarks).
    std::uint64_t readCalls() const { return readCalls_; }

private:
    FileSource(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
    bool readRaw(std::uint64_t offset, std::uint8_t* out, std::uint64_t length);
    // A cached piece of the file. Its bytes are not zeroed first: every one is read from
    // the file before the block is kept.
    struct Block {
        std::uint64_t index = 0;
        std::unique_ptr<std::uint8_t[]> data;
        std::size_t size = 0;
    };
    static Block emptyBlock(std::uint64_t index, std::size_t size);
    const Block* block(std::uint64_t index);
    const Block* cached(std::uint64_t index);
    void loadBlocks(std::uint64_t first, std::uint64_t last);

    static constexpr std::uint64_t kBlockSize = 4096;
    static constexpr std::size_t kMaxBlocks = 32;
    // Reads of up to this many blocks go through the cache, their missing blocks read in
    // one call: an image read whole then leaves its neighbours (the group's other images)
    // in memory.
    static constexpr std::size_t kMaxSpan = 4;

    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t readCalls_ = 0;
    std::vector<Block> blocks_;  // most recently used last
};

}  // namespace platform
