// The two decoders behind decodeIconImage, and the pixel packing they share. Internal to
// the icon decoding files of src/platform.
#pragma once

#include <cstdint>
#include <optional>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"
#include "formats/IconDecode.h"

namespace formats::decode {

// Largest width or height accepted for a decoded icon image (bitmap or PNG).
inline constexpr std::int64_t kMaxImageSide = 4096;

// A device-independent bitmap: header, colour table, colour rows, AND mask.
std::optional<ArgbImage> decodeDib(ByteView data);

// A PNG image: 8-bit RGBA ones through decodeRgbaPng where it takes them, others through
// libpng. Both stop at the picture's last row: image data past it is not inflated.
std::optional<ArgbImage> decodePng(ByteView data);
// `handed`, when given, gets the number of bytes of data libpng was given: up to the
// slice that completed the picture, never what follows.
std::optional<ArgbImage> decodePngThroughLibpng(ByteView data, std::uint64_t* handed = nullptr);
// The direct path for 8-bit RGBA images with a plain chunk layout; nullopt for any other
// image, and for one it cannot read, which libpng then tries.
std::optional<ArgbImage> decodeRgbaPng(ByteView data);
// What the direct path inflates: the image's IDAT data joined, and the size of its rows
// (filter bytes included); nullopt for an image it leaves to libpng.
struct RgbaImageData {
    PngInfo info;
    Bytes compressed;
    std::size_t rowsSize = 0;
};
std::optional<RgbaImageData> rgbaImageData(ByteView data);
// Inflates a zlib stream into `out`: true when it fills `out` exactly and its checksum
// holds. Never writes or inflates past `out`: a stream that holds more is refused there.
bool inflateExactly(ByteView zlibStream, Bytes& out);
// The size of a PNG's image data, as its IHDR describes it: `inflated`, each row of each
// pass (one pass for an image that is not interlaced) with its filter byte; and
// `maxCompressed`, the most image data a zlib stream of those rows can need, as libpng
// reckons it for one IDAT chunk (a byte or two per sample, deflate's overhead). nullopt
// without a readable IHDR, or for one checkedPngInfo refuses.
struct PngImageDataSize {
    std::uint64_t inflated = 0;
    std::uint64_t maxCompressed = 0;
};
std::optional<PngImageDataSize> pngImageDataSize(ByteView data);
// The PNG's IHDR when its sides are within kMaxImageSide and the data is large enough to
// inflate to its pixels; nothing is allocated for an image that fails this.
std::optional<PngInfo> checkedPngInfo(ByteView data);

// One premultiplied 0xAARRGGBB pixel from straight alpha and 8-bit channels.
// Each channel is c x a / 255 rounded, (c x a + 127) / 255, computed without a division
// or a branch so that loops over rows vectorise; the two agree for every c and a.
constexpr std::uint32_t premultiplied(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    auto mul = [a](std::uint32_t c) {
        const std::uint32_t t = c * a + 128;
        return (t + (t >> 8)) >> 8;
    };
    return makeArgb(a, mul(r), mul(g), mul(b));
}

}  // namespace formats::decode
