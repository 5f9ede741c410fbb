// Writing a file so that a failure never damages the file it replaces: the bytes go to
// a temporary file in the target's directory, which is renamed over the target only when
// everything was written and flushed. An AtomicFile that is destroyed without a
// successful commit() removes its temporary file; the target keeps its old bytes.
//
// What a name designates is what gets replaced: through a symbolic link, the file it
// points to (in that file's directory, keeping its mode and, where the process may set
// it, its owner), as far as the kernel would let the process follow the link: not a link
// that another user owns in a sticky, world-writable folder such as /tmp. An existing file that the process may not write, or whose mode gives
// nobody write permission, is never replaced, by root neither: that is how a read-only
// file refuses a new version.
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
    // regular files are replaced), a file that is read-only, or goes through a link that
    // may not be followed (above).
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
    // commit() in two steps, for files that should appear together: prepare() flushes
    // (unless Unflushed) and closes the temporary file, publish() renames it over the
    // target. Each false on failure, after removing the temporary file.
    bool prepare(Durability durability = Durability::Flushed);
    bool publish();
    // Removes the temporary file without touching the target.
    void discard();

    bool isOpen() const { return fd_ >= 0; }
    // The file that publish() replaces or creates (through links, the file they point to);
    // its temporary file lies in the same folder.
    const std::string& target() const { return target_; }
    std::string folder() const;

    // Why the last create(), write() or commit() failed, in the system's words
    // ("Permission denied", "No space left on device"); empty after success.
    const std::string& error() const { return error_; }
    // The same for the last failure of any AtomicFile of this thread, for callers whose
    // writer is held by the function they call (the icon and picture writers).
    static std::string lastError();

    // Writes `bytes` to `path` in one go: create, write, commit.
    static bool writeWhole(const std::string& path, formats::ByteView bytes, Durability durability = Durability::Flushed);

private:
    int fd_ = -1;
    bool failed_ = false;
    bool fail(const std::string& reason);
    bool failWithErrno(int error);

    std::string error_;
    std::string target_;
    std::string temp_;
};

}  // namespace platform
