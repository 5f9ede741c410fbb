// Test fixtures for cursor packs as they are downloaded: archives made with libarchive's
// writer in memory, and pack folders written to disk.
#pragma once

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

}  // namespace fixtures
