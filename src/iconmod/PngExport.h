// Writing a decoded picture as an RGBA PNG file, for inspection and for batch extraction.
#pragma once

#include <optional>
#include <string>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"

namespace iconmod {

// How hard the encoder works: Small tries the five row filters on each row and deflates at
// level 9, for files that are kept; Fast filters every row by Sub and deflates at the
// fastest level (a 256-pixel icon encodes several times quicker, the file a third
// larger), for pictures that are read at once, such as thumbnails.
enum class PngCompression { Small, Fast };

// The bytes of an 8-bit RGBA PNG of the picture (alpha kept, colours un-premultiplied).
// nullopt when the picture is empty or inconsistent or the encoder fails.
std::optional<formats::Bytes> encodePng(const formats::ArgbImage& image,
                                         PngCompression compression = PngCompression::Small);

// Encodes and writes atomically; false on failure (an existing file keeps its bytes).
bool writePng(const std::string& path, const formats::ArgbImage& image);

}  // namespace iconmod
