// The two directories that list the images of an icon, read by every part of the program
// that needs them (extraction, the icon save dialog, the command line):
//   - the directory at the start of an ICO file: a 6-byte header (reserved 0, type 1,
//     count) and 16-byte entries that end in the image's length and file offset;
//   - the data of an RT_GROUP_ICON resource: the same header and 14-byte entries that end
//     in the image's length and the id of the RT_ICON resource holding it.
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
    int bitCount = 0;
    int colorCount = 0;
    int planes = 0;
    std::uint32_t bytesInRes = 0;   // the image's length as the directory states it
    std::uint32_t imageOffset = 0;  // ICO file: where the image starts in the file
    std::uint16_t id = 0;           // icon group: the RT_ICON resource that holds the image
};

inline constexpr std::uint64_t kIconDirHeaderSize = 6;
inline constexpr std::uint64_t kIcoEntrySize = 16;
inline constexpr std::uint64_t kGroupEntrySize = 14;

// The image count of an ICO file's header (reserved 0, type 1), or nullopt.
std::optional<std::uint16_t> icoImageCount(ByteView header);

// The entries of an ICO file whose first bytes (header and directory) are `bytes`.
// nullopt when the header is not an icon file's or the directory does not fit.
std::optional<std::vector<IconDirEntry>> readIcoDirectory(ByteView bytes);

// The entries of an icon group's data; nullopt when its directory does not fit.
std::optional<std::vector<IconDirEntry>> readGroupDirectory(ByteView group);

}  // namespace formats
