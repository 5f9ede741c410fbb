// The scan's reading: files come out in the listing's order whichever thread read them,
// entries that cannot be read are left out, and the reading stops when its owner goes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "iconmod/ScanReadAhead.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

using iconmod::ScanReadAhead;
using iconmod::ScannedFile;

namespace {

std::string name(int i) {
    char text[16];
    std::snprintf(text, sizeof text, "m%04d.exe", i);
    return text;
}

// Fills dir with n modules of one icon, named m0000.exe, m0001.exe ...
void fill(const fixtures::TempDir& dir, int n) {
    for (int i = 0; i < n; ++i) {
        const auto colour = 0xFF000000u | static_cast<fixtures::Argb>(i * 2654435761u & 0xFFFFFFu);
        ASSERT_TRUE(fixtures::writeFile(dir.file(name(i)), fixtures::makePe({fixtures::solidIcon(1, colour)})));
    }
}

std::vector<std::string> takeAll(ScanReadAhead& reader) {
    std::vector<std::string> names;
    while (auto file = reader.take()) names.push_back(file->name);
    return names;
}

}  // namespace

// Whichever thread reads an entry, and however long each read takes, the files come out
// in the listing's order with the skipped ones left out; both threads take part.
TEST(ScanReadAhead, FilesComeOutInTheListingsOrderWhoeverReadThem) {
    constexpr int kFiles = 300;
    const fixtures::TempDir dir;
    fill(dir, kFiles);
    for (const bool slowReader : {false, true}) {
        std::mutex mutex;
        std::set<std::thread::id> readers;
        ScanReadAhead reader(platform::DirEnum::start(dir.path() + "/*.exe"), [&](int, const platform::DirEntry& entry) {
            {
                std::lock_guard lock(mutex);
                readers.insert(std::this_thread::get_id());
            }
            const int i = std::stoi(entry.name.substr(1, 4));
            // Every tenth read takes a while, on one thread or the other, so that reads finish
            // out of order.
            if (i % 10 == (slowReader ? 3 : 7)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (i % 3 == 0) return std::optional<ScannedFile>();
            ScannedFile file;
            file.name = entry.name;
            return std::optional<ScannedFile>(file);
        });
        std::vector<std::string> expected;
        for (int i = 0; i < kFiles; ++i)
            if (i % 3 != 0) expected.push_back(name(i));
        EXPECT_EQ(takeAll(reader), expected);
        EXPECT_FALSE(reader.take());
        EXPECT_EQ(readers.size(), 2u) << "the taker reads while it would wait";
    }
}

// The names are listed when the scan starts; a file removed, emptied or cut short before
// it is read is left out, and the others are read whole.
TEST(ScanReadAhead, FilesThatGoAwayAfterTheListingAreLeftOut) {
    const fixtures::TempDir dir;
    fill(dir, 12);
    auto search = platform::DirEnum::start(dir.path() + "/*.exe");
    ASSERT_TRUE(search);
    for (int i = 0; i < 12; ++i) {
        if (i % 3 == 1) std::remove(dir.file(name(i)).c_str());
        if (i % 3 == 2) {
            ASSERT_EQ(::truncate(dir.file(name(i)).c_str(), i % 2 ? 0 : 100), 0);
        }
    }
    const iconmod::ScanSizes sizes;
    ScanReadAhead reader(std::move(search), [&sizes](int directoryFd, const platform::DirEntry& entry) {
        return iconmod::readScannedFile(directoryFd, entry.name, sizes);
    });
    std::vector<std::string> names;
    while (auto file = reader.take()) {
        names.push_back(file->name);
        EXPECT_EQ(file->iconCount, 1);
        EXPECT_EQ(file->large.width, 32);
        EXPECT_EQ(file->small.width, 16);
        EXPECT_FALSE(file->largeDevice) << "no finer picture at one device pixel per pixel";
    }
    EXPECT_EQ(names, (std::vector<std::string>{name(0), name(3), name(6), name(9)}));
}

// An owner that goes mid-scan (ESC, another folder) stops the reading: what is being read
// is finished, the rest never read.
TEST(ScanReadAhead, GoingStopsTheReading) {
    const fixtures::TempDir dir;
    fill(dir, 200);
    std::atomic<int> reads{0};
    {
        ScanReadAhead reader(platform::DirEnum::start(dir.path() + "/*.exe"), [&reads](int, const platform::DirEntry& entry) {
            ++reads;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            ScannedFile file;
            file.name = entry.name;
            return std::optional<ScannedFile>(file);
        });
        ASSERT_TRUE(reader.take());
    }
    const int atEnd = reads;
    EXPECT_LT(atEnd, 200);
    EXPECT_LE(atEnd, static_cast<int>(ScanReadAhead::kAhead) + 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(reads, atEnd) << "nothing is read after the owner went";
}

// Each scan's reading thread closes what it opened for itself when it ends: browsing
// folder after folder does not pile up descriptors.
TEST(ScanReadAhead, ScansLeaveNoDescriptorsBehind) {
    const fixtures::TempDir dir;
    fill(dir, 20);
    auto openDescriptors = [] {
        int n = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++n;
        return n;
    };
    const iconmod::ScanSizes sizes;
    auto scan = [&] {
        ScanReadAhead reader(platform::DirEnum::start(dir.path() + "/*.exe"), [&sizes](int directoryFd, const platform::DirEntry& entry) {
            return iconmod::readScannedFile(directoryFd, entry.name, sizes);
        });
        EXPECT_EQ(takeAll(reader).size(), 20u);
    };
    scan();  // the first scan may leave this thread's own lasting descriptors
    const int before = openDescriptors();
    for (int i = 0; i < 30; ++i) scan();
    EXPECT_EQ(openDescriptors(), before);
}
