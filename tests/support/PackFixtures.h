// Test fixtures for cursor packs as they are downloaded: archives made with libarchive's
// writer in memory, and pack folders written to disk.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/ImageFixtures.h"

namespace fixtures {

struct PackEntry {
    std::string path;   // '/'-separated; a path ending in '/' is a folder entry
    Bytes bytes;
    std::string link;   // non-empty: a symbolic link to this target (bytes unused)
};

enum class ArchiveKind { Zip, SevenZip };

// An archive of the entries, in their order (zip entries deflated).
Bytes makeArchive(ArchiveKind kind, const std::vector<PackEntry>& entries);

// Writes the entries under `folder`, making the folders they need; false on failure.
bool writePack(const std::string& folder, const std::vector<PackEntry>& entries);

// A .cur file of one square image of one colour with its hotspot.
Bytes cursorOf(int size, Argb colour, std::uint16_t hotspotX = 0, std::uint16_t hotspotY = 0);

// The colour of the file templatePackFiles gives role `role` (0 = Arrow ... 16 = Person).
Argb roleColour(std::size_t role);

// An .ani file of two 32-pixel frames, the role's colour and then black (hotspot 4,4), shown
// for 6 and 12 jiffies; its RIFF length `riffOff` bytes off the truth.
Bytes roleAnimation(std::size_t role, std::int64_t riffOff = 0);

// The files templateInf's scheme names, under `folder`: a 32-pixel .cur of the role's colour
// (hotspot 1,2) for each role, roleAnimation for AppStarting and Wait; each named as `rename`
// gives (left out where it gives "").
std::vector<PackEntry> templatePackFiles(const std::string& folder, const std::function<std::string(std::string)>& rename = {},
                                         std::int64_t riffOff = 0);

}  // namespace fixtures
