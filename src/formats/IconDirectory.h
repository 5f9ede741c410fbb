// The directories that list the images of an icon or a cursor, read by every part of the
// program that needs them (extraction, the icon save dialog, the command line):
//   - the directory at the start of an ICO file (type 1) or a cursor file (type 2): a
//     6-byte header (reserved 0, type, count) and 16-byte entries that end in the image's
//     length and file offset; a cursor file keeps the hotspot where an icon file keeps
//     planes and depth;
//   - the data of an RT_GROUP_ICON resource: the same header and 14-byte entries that end
//     in the image's length and the id of the RT_ICON resource holding it;
//   - the data of an RT_GROUP_CURSOR resource: 14-byte entries of 16-bit width and height
//     (the height often doubled, as the bitmap's), planes, depth, length and RT_CURSOR id.
// A directory must hold every entry its header counts; one cut short is refused.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "formats/ByteView.h"

namespace formats {

struct IconDirEntry {
    int width = 0;     // 0 in the directory means 256 (when the height is 0 too)
    int height = 0;
    int bitCount = 0;  // a cursor file's entry: 0 (its place holds the hotspot)
    int colorCount = 0;
    int planes = 0;
    std::uint32_t bytesInRes = 0;   // the image's length as the directory states it
    std::uint32_t imageOffset = 0;  // ICO or cursor file: where the image starts in the file
    std::uint16_t id = 0;           // group: the RT_ICON or RT_CURSOR resource that holds the image
    std::uint16_t hotspotX = 0;     // cursor file: the hotspot the entry states
    std::uint16_t hotspotY = 0;
};

inline constexpr std::uint64_t kIconDirHeaderSize = 6;
inline constexpr std::uint64_t kIcoEntrySize = 16;
inline constexpr std::uint64_t kGroupEntrySize = 14;
inline constexpr std::uint16_t kIcoType = 1;
inline constexpr std::uint16_t kCurType = 2;

// The image count of an ICO file's header (reserved 0, type 1), or nullopt.
std::optional<std::uint16_t> icoImageCount(ByteView header);
// The same for a cursor file's header (reserved 0, type 2).
std::optional<std::uint16_t> curImageCount(ByteView header);

// The entries of an ICO file whose first bytes (header and directory) are `bytes`.
// nullopt when the header is not an icon file's or the directory does not fit.
std::optional<std::vector<IconDirEntry>> readIcoDirectory(ByteView bytes);

// The entries of a cursor file (type 2), each with its hotspot; nullopt as above.
std::optional<std::vector<IconDirEntry>> readCurDirectory(ByteView bytes);

// The entries of an icon group's data; nullopt when its directory does not fit.
std::optional<std::vector<IconDirEntry>> readGroupDirectory(ByteView group);

// The entries of a cursor group's data (width and height as stored, 16 bits each);
// nullopt when its directory does not fit.
std::optional<std::vector<IconDirEntry>> readCursorGroupDirectory(ByteView group);

}  // namespace formats
