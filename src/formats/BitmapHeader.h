// The header at the start of every icon bitmap, read in one place for all its readers: the
// decoder, the image descriptions of the icon save dialog and the command line, the scale-down
// rule's sizes, the bitmap export and the icon file writer. Each of them asks of the fields
// what it needs; what the header itself is, is decided here.
//
// Header sizes read: 12 (a core header: 16-bit width and height, planes and depth, and 3-byte
// colour-table entries), and 40 or more: 40 (BITMAPINFOHEADER), 108 (V4), 124 (V5) and any
// other length of at least 40, whose first 40 bytes are BITMAPINFOHEADER's.
#pragma once

#include <cstdint>
#include <optional>

#include "formats/ByteView.h"

namespace formats {

inline constexpr std::uint32_t kCoreHeaderSize = 12;
inline constexpr std::uint32_t kInfoHeaderSize = 40;
inline constexpr std::uint32_t kBiRgb = 0;
inline constexpr std::uint32_t kBiBitfields = 3;

struct BitmapHeader {
    std::uint32_t size = 0;         // the header's own length
    std::int32_t width = 0;
    std::int32_t height = 0;        // as stored: an icon's colour and mask rows, twice its height
    std::uint16_t planes = 0;
    std::uint16_t bitCount = 0;
    std::uint32_t compression = kBiRgb;  // BI_RGB for a core header
    std::uint32_t clrUsed = 0;           // 0 for a core header
    // BI_BITFIELDS: the red, green and blue channel masks. A header of 52 bytes or more
    // (V4, V5) holds them itself at offset 40; after a shorter one they follow the header.
    std::uint32_t masks[3] = {};
    std::uint64_t tableOffset = 0;     // where the colour table starts: after the header and
                                       // any masks that follow it
    std::uint32_t tableEntrySize = 4;  // 3 after a core header

    bool isCore() const { return size == kCoreHeaderSize; }
    // The image's own height: half the stored height (the colour rows).
    std::int32_t imageHeight() const { return height / 2; }
};

// The header at the start of data; nullopt when its size is neither 12 nor 40 or more, when
// the data is shorter than the header, or when a BI_BITFIELDS header's masks are not in the
// data. Nothing else is checked: what a reader accepts of the fields is its own check.
std::optional<BitmapHeader> readBitmapHeader(ByteView data);

}  // namespace formats
