// Archives as cursor packs are downloaded (.zip, .7z, .rar), read through libarchive
// without unpacking anything to disk: the regular files they hold, by path, and the bytes
// of those the caller wants, within bounds that keep memory in proportion to the work.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ByteView.h"

namespace platform {

struct ArchiveLimits {
    std::size_t maxEntries = 10000;            // entries of any kind; an archive with more is refused
    std::uint64_t maxEntrySize = 64ull << 20;  // a wanted file larger than this is passed over
    std::uint64_t maxHeldSize = 256ull << 20;  // the wanted files together; those past it are passed over
};

struct ArchiveFile {
    // Its path in the archive: components split at '/' and '\' (archives made on Windows
    // use both), empty and "." components dropped, so "a//b" and ".\a\b" are "a/b".
    std::string path;
    formats::Bytes bytes;  // its data, when wanted and held
    bool held = false;
};

struct ArchiveContents {
    std::vector<ArchiveFile> files;    // the regular files, in archive order
    std::vector<std::string> notes;    // entries passed over, one line each: "PATH: why"
};

// True when the bytes start as a zip (a local file header or an empty archive's end
// record), 7-Zip or RAR (4 or 5) archive does.
bool isArchive(formats::ByteView head);

// Reads the zip, 7-Zip or RAR archive in `source`: every regular file's path, and the
// bytes of those for which `wanted(path)` is true. Directories, links and devices are
// passed over silently; a file whose path holds a ".." component, an encrypted file, a
// wanted file over the size limit or past the total, and one whose data cannot be read are
// passed over with a note. nullopt with *error set (libarchive's words) when the source is
// no archive of these kinds, has more entries than allowed or its headers are damaged.
std::optional<ArchiveContents> readArchive(formats::ByteSource& source,
                                           const std::function<bool(std::string_view path)>& wanted,
                                           std::string* error, const ArchiveLimits& limits = {});

}  // namespace platform
