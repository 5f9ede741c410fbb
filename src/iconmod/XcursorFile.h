// Xcursor files, the cursor format of X11 and Wayland desktops: a header ("Xcur", its
// length, the version, the number of entries), a table of contents whose entries each give
// a chunk's type, its nominal size and its position, then the chunks. An image chunk holds
// its own header (length, type, nominal size, version), width, height, hotspot, delay in
// milliseconds and premultiplied ARGB pixels; every field a 32-bit little-endian word.
// A loader takes the entries of the nominal size it picks, in order, reading each entry's
// chunk, so several entries may name one chunk: the steps of an animation that show one
// frame at one size for one delay are written once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "formats/ArgbImage.h"

namespace iconmod {

// The largest Xcursor file written, and the most entries a loader takes (libXcursor's).
inline constexpr std::uint64_t kMaxXcursorFileSize = 64ull << 20;
inline constexpr std::uint64_t kMaxXcursorEntries = 0x10000;

// One image chunk as its header describes it.
struct XcursorImageInfo {
    std::uint32_t nominalSize = 0;  // written as at least 1
    std::uint32_t width = 0;        // 1 to 32767
    std::uint32_t height = 0;
    std::uint32_t hotspotX = 0;     // kept inside the image when written
    std::uint32_t hotspotY = 0;
    std::uint32_t delayMs = 0;      // 0 for a still cursor
};

// What an Xcursor file is made of: its image chunks and its entries, each naming a chunk.
struct XcursorLayout {
    std::vector<XcursorImageInfo> chunks;
    std::vector<std::size_t> entries;  // in the order a loader reads them

    // The file's bytes: header, table of contents and each chunk once.
    std::uint64_t fileSize() const;
};

enum class XcursorResult {
    Written,
    TooManyEntries,  // more than kMaxXcursorEntries
    TooLarge,        // more than kMaxXcursorFileSize bytes
    BadImage,        // no entry, an entry naming no chunk, a chunk of no size or over 32767 a side, or a picture not made
    NotWritten,      // the file could not be written
};

// The pixels of chunk i, width x height premultiplied ARGB; nullopt when it cannot be made.
using XcursorPictureFn = std::function<std::optional<formats::ArgbImage>(std::size_t chunk)>;

// Writes the layout through a temporary file renamed over `path`, asking for each chunk's
// pixels as it is written, so that only one picture is held at a time. Too many entries, too
// large a file or a chunk of impossible size are refused before anything is written.
XcursorResult writeXcursor(const std::string& path, const XcursorLayout& layout, const XcursorPictureFn& picture);

}  // namespace iconmod
