// The reading half of a directory scan, run on a thread of its own: it walks the search,
// opens each entry that the caller's rule lets through, and takes its icon count and first
// icon at the list's sizes, a bounded number of files ahead of the window that adds them.
// The window's thread adds the rows, and reads the next files itself whenever the one it
// needs is still being read, so on two cores both read and the listing takes about half
// the time.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "formats/ArgbImage.h"
#include "platform/DirEnum.h"

namespace iconmod {

// What the file list shows of one file.
struct ScannedFile {
    std::string name;
    int iconCount = 0;
    formats::ArgbImage large, small;
    // Finer pictures of the same icon for a screen of more than one device pixel per pixel.
    std::optional<formats::ArgbImage> largeDevice, smallDevice;
};

// The sizes a scan reads icon 0 at: logical sides and their device sides (equal at ratio 1).
struct ScanSizes {
    int large = 32, largeDevice = 32;
    int small = 16, smallDevice = 16;
};

// Opens name in directoryFd (AT_FDCWD for a path) and reads what its row shows: nothing for
// a file without icons or one that cannot be read. Touches no shared state, so any thread
// may call it.
std::optional<ScannedFile> readScannedFile(int directoryFd, const std::string& name, const ScanSizes& sizes);

class ScanReadAhead {
public:
    // Reads an entry of the search's directory (its descriptor given); nothing to skip it.
    using Read = std::function<std::optional<ScannedFile>(int directoryFd, const platform::DirEntry& entry)>;
    static constexpr std::size_t kAhead = 64;  // entries claimed and not yet taken, at most

    // Starts reading at the search's current entry. Without a thread (the system refused
    // one) take() reads every file itself.
    ScanReadAhead(std::unique_ptr<platform::DirEnum> search, Read read);
    // Stops the reading; a file being read is finished first.
    ~ScanReadAhead();
    ScanReadAhead(const ScanReadAhead&) = delete;
    ScanReadAhead& operator=(const ScanReadAhead&) = delete;

    // The next file, in the search's order; nothing once the search is done. While that
    // file is still being read, the caller reads the next unclaimed entry itself instead
    // of waiting, so both threads read and the files come out in order.
    std::optional<ScannedFile> take();

private:
    // An entry claimed for reading: its file once read (nothing when skipped).
    struct Slot {
        bool read = false;
        std::optional<ScannedFile> file;
    };
    void run();
    // Claims the search's next entry under the lock: its place among the slots, or
    // nothing at the end of the search.
    std::optional<std::size_t> claim(platform::DirEntry* entry);
    // Reads a claimed entry without the lock and fills its slot.
    void readInto(std::unique_lock<std::mutex>& lock, std::size_t sequence, const platform::DirEntry& entry);

    std::unique_ptr<platform::DirEnum> search_;
    const int directory_;
    Read read_;

    std::mutex mutex_;
    std::condition_variable changed_;
    bool searchLeft_ = true;     // the search's current entry is not claimed yet
    std::deque<Slot> slots_;     // from the oldest entry not taken
    std::size_t taken_ = 0;      // sequence number of slots_.front()
    bool cancelled_ = false;     // the owner is going
    bool takerWaiting_ = false;
    std::thread worker_;
};

}  // namespace iconmod
