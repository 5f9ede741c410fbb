// The images of one icon, each held as the exact bytes the ICO file or the RT_ICON
// resource stores: a bitmap (header, colour table, colour rows, AND mask) or a PNG image.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/ByteView.h"

namespace iconmod {

struct IconImage {
    std::int32_t Width = 0;      // biWidth, or the PNG's IHDR width
    std::int32_t Height = 0;     // biHeight / 2, or the PNG's IHDR height
    std::int32_t ColorBits = 0;  // biPlanes x biBitCount, or the PNG's depth (32 RGBA, 24 RGB, ...)
    bool IsPng = false;          // the data is a PNG image, not a bitmap
    platform::Bytes Data;        // the image's bytes exactly as stored

    std::uint32_t DataSize() const { return static_cast<std::uint32_t>(Data.size()); }
    platform::ByteView view() const { return platform::ByteView(Data); }
};

// The images of one icon in the order of the file's (or group's) directory.
struct IconImageSet {
    std::vector<IconImage> Images;

    std::uint32_t Count() const { return static_cast<std::uint32_t>(Images.size()); }
};

}  // namespace iconmod
