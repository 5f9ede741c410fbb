// Cursors as files and resources hold them: the hotspot words that start an RT_CURSOR
// resource, the directory of an .ico or .cur file standing alone or as a frame of an
// animation, and the picture of a .cur or .ani file for thumbnails.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"
#include "formats/IconDirectory.h"

namespace formats {

// An RT_CURSOR resource: the hotspot (two 16-bit words), then the image as an icon
// image is stored. nullopt when the data is shorter than the hotspot.
struct CursorResource {
    std::uint16_t hotspotX = 0;
    std::uint16_t hotspotY = 0;
    ByteView image;
};
std::optional<CursorResource> splitCursorResource(ByteView data);

// The directory of an icon file (type 1) or a cursor file (type 2) held whole in `file`,
// with every entry's image inside it; nullopt for anything else. Icon entries carry no
// hotspot (0, 0); *isCursor tells which it was.
std::optional<std::vector<IconDirEntry>> readImageFileDirectory(ByteView file, bool* isCursor = nullptr);

// The same for an icon or cursor file that lies at [begin, begin + size) of a source,
// reading its directory alone; entries' offsets stay relative to begin.
std::optional<std::vector<IconDirEntry>> readImageFileDirectory(ByteSource& source, std::uint64_t begin, std::uint64_t size,
                                                                bool* isCursor = nullptr);

// The largest .cur or .ani file read for a picture; cursor files are a few KiB.
inline constexpr std::uint64_t kMaxCursorFileSize = 64ull << 20;

// The picture of a .cur file, or of an .ani file's first step, for size x size pixels:
// pictureAtSize over its images (formats/PictureAtSize.h), by the scale-down rule. nullopt
// for any other file, a file larger than kMaxCursorFileSize, or when no image decodes.
std::optional<ArgbImage> cursorFilePicture(ByteSource& source, int size);

// True when the file's first bytes are those of a .cur or an .ani file.
bool isCursorFile(ByteView head);

}  // namespace formats
