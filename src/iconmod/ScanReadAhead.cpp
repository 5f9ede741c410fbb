#include "iconmod/ScanReadAhead.h"

#include <new>
#include <system_error>

#include "iconmod/DevicePicture.h"
#include "platform/IconExtract.h"

namespace iconmod {

std::optional<ScannedFile> readScannedFile(int directoryFd, const std::string& name, const ScanSizes& sizes) {
    const auto file = platform::openFileAt(directoryFd, name).file;
    if (!file) return std::nullopt;
    ScannedFile scanned;
    scanned.iconCount = file->count();
    if (scanned.iconCount <= 0) return std::nullopt;
    auto large = file->icon(0, sizes.large);
    if (!large) return std::nullopt;
    auto small = file->icon(0, sizes.small);
    if (!small) return std::nullopt;
    scanned.name = name;
    scanned.large = std::move(*large);
    scanned.small = std::move(*small);
    scanned.largeDevice = devicePicture(*file, 0, sizes.large, sizes.largeDevice);
    scanned.smallDevice = devicePicture(*file, 0, sizes.small, sizes.smallDevice);
    return scanned;
}

ScanReadAhead::ScanReadAhead(std::unique_ptr<platform::DirEnum> search, Read read)
    : search_(std::move(search)), directory_(search_->directory()), read_(std::move(read)) {
    try {
        worker_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        // No thread: take() reads each file itself.
    }
}

ScanReadAhead::~ScanReadAhead() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
    }
    changed_.notify_all();
    if (worker_.joinable()) worker_.join();
}

std::optional<std::size_t> ScanReadAhead::claim(platform::DirEntry* entry) {
    if (!searchLeft_) return std::nullopt;
    *entry = search_->entry();
    searchLeft_ = search_->next();
    slots_.emplace_back();
    return taken_ + slots_.size() - 1;
}

void ScanReadAhead::readInto(std::unique_lock<std::mutex>& lock, std::size_t sequence, const platform::DirEntry& entry) {
    lock.unlock();
    std::optional<ScannedFile> file;
    try {
        file = read_(directory_, entry);
    } catch (const std::bad_alloc&) {
        // A file whose icons do not fit in memory is left out, as one that cannot be read.
    }
    lock.lock();
    Slot& slot = slots_[sequence - taken_];
    slot.file = std::move(file);
    slot.read = true;
}

void ScanReadAhead::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return cancelled_ || !searchLeft_ || slots_.size() < kAhead; });
        platform::DirEntry entry;
        const auto sequence = cancelled_ ? std::nullopt : claim(&entry);
        if (!sequence) return;
        readInto(lock, *sequence, entry);
        // The taker sleeps only when nothing is left to claim: it waits for this file or
        // for the last ones.
        if (takerWaiting_) changed_.notify_all();
    }
}

std::optional<ScannedFile> ScanReadAhead::take() {
    std::unique_lock lock(mutex_);
    for (;;) {
        if (!slots_.empty() && slots_.front().read) {
            std::optional<ScannedFile> file = std::move(slots_.front().file);
            slots_.pop_front();
            ++taken_;
            if (slots_.size() == kAhead - 1) changed_.notify_all();  // room for the reader again
            if (file) return file;
            continue;
        }
        if (slots_.empty() && !searchLeft_) return std::nullopt;
        platform::DirEntry entry;
        if (const auto sequence = claim(&entry)) {
            readInto(lock, *sequence, entry);
            continue;
        }
        takerWaiting_ = true;
        changed_.wait(lock);
        takerWaiting_ = false;
    }
}

}  // namespace iconmod
