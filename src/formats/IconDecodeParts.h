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
// libpng.
std::optional<ArgbImage> decodePng(ByteView data);
std::optional<ArgbImage> decodePngThroughLibpng(ByteView data);
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
