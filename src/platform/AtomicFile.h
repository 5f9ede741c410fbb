// Writing a file so that a failure never damages the file it replaces: the bytes go to
// a temporary file in the target's directory, which is renamed over the target only when
// everything was written and flushed. An AtomicFile that is destroyed without a
// successful commit() removes its temporary file; the target keeps its old bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/ByteView.h"

namespace platform {

class AtomicFile {
public:
    AtomicFile() = default;
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file for `path`. False when the directory does not exist, is
    // not writable, or `path` names an existing directory, device, FIFO or socket (only
    // regular files are replaced).
    bool create(const std::string& path);
    // Appends bytes; false on any failed or short write (the file stays uncommitted).
    bool write(const void* data, std::size_t size);
    bool write(formats::ByteView bytes) { return write(bytes.data(), bytes.size()); }
    // How commit() makes the bytes last: Flushed waits until they are on the disk before
    // the rename, so that a save survives a crash; Unflushed only renames, for throwaway
    // files such as thumbnails, which their reader takes over at once.
    enum class Durability { Flushed, Unflushed };

    // Flushes (unless Unflushed) and renames the temporary file over the target. False on
    // failure, in which case the temporary file is removed.
    bool commit(Durability durability = Durability::Flushed);
    // Removes the temporary file without touching the target.
    void discard();

    bool isOpen() const { return fd_ >= 0; }

    // Writes `bytes` to `path` in one go: create, write, commit.
    static bool writeWhole(const std::string& path, formats::ByteView bytes, Durability durability = Durability::Flushed);

private:
    int fd_ = -1;
    bool failed_ = false;
    std::string target_;
    std::string temp_;
};

}  // namespace platform
