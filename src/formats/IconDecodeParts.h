// The two decoders behind decodeIconImage, and the pixel packing they share. Internal to
// the icon decoding files of src/platform.
#pragma once

#include <cstdint>
#include <optional>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"

namespace formats::decode {

// Largest width or height accepted for a decoded icon image (bitmap or PNG).
inline constexpr std::int64_t kMaxImageSide = 4096;

// A device-independent bitmap: header, colour table, colour rows, AND mask.
std::optional<ArgbImage> decodeDib(ByteView data);

// A PNG image, read through libpng.
std::optional<ArgbImage> decodePng(ByteView data);

// One premultiplied 0xAARRGGBB pixel from straight alpha and 8-bit channels.
constexpr std::uint32_t premultiplied(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    if (a == 255) return makeArgb(255, r, g, b);
    auto mul = [a](std::uint32_t c) { return (c * a + 127) / 255; };
    return makeArgb(a, mul(r), mul(g), mul(b));
}

}  // namespace formats::decode
