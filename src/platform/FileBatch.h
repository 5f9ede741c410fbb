// New files that are named together: each is written to a temporary name (an AtomicFile
// prepared without a flush), and flush() makes them all last with one sync of their file
// system (syncfs), then renames each to its name and syncs the folders that got names. A
// crash therefore never leaves an empty or partial file under a final name, and a batch of
// a thousand files waits for the disk a few times instead of a thousand.
//
// Only for files that do not exist yet: replacing a file keeps AtomicFile::commit(), which
// flushes that one file before it takes the old one's place.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"

namespace platform {

class FileBatch {
public:
    // Files held before full() says a flush is due: enough that the syncs are rare, few
    // enough that a crash leaves few temporary files behind.
    static constexpr std::size_t kDefaultLimit = 1024;

    explicit FileBatch(std::size_t limit = kDefaultLimit) : limit_(limit) {}
    // Files not flushed are discarded: their temporary files go, their names stay free.
    ~FileBatch() = default;
    FileBatch(const FileBatch&) = delete;
    FileBatch& operator=(const FileBatch&) = delete;

    // Takes a file whose bytes are written and that was prepare()d Unflushed.
    void add(std::unique_ptr<AtomicFile> file) { files_.push_back(std::move(file)); }
    bool full() const { return files_.size() >= limit_; }
    std::size_t size() const { return files_.size(); }

    struct Failure {
        std::string path;    // the file's name (the target of its AtomicFile)
        std::string reason;  // in the system's words
    };
    // Syncs, renames and syncs the folders, as above; the batch is empty afterwards. The
    // files that did not get their names, or whose naming could not be made to last.
    std::vector<Failure> flush();

private:
    std::size_t limit_;
    std::vector<std::unique_ptr<AtomicFile>> files_;
};

}  // namespace platform
