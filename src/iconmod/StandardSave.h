// The standard save of the icon strip's picture: a single-image 16-colour .ico, a 24-bit
// .bmp of the picture drawn over white, and a baseline JFIF .jpg of that same white-backed
// picture. Each encode* function builds the file's bytes in memory (the clipboard and the
// tests use them directly); each write* function encodes and then writes the file through
// platform::AtomicFile, so a failure leaves an existing file as it was.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"

namespace iconmod {

// The standard 16-colour palette, 0x00RRGGBB, in colour-table order: the eight dark
// colours with gray 128 at 7, then silver 192 at 8 and the seven bright colours.
inline constexpr std::array<std::uint32_t, 16> kStandardPalette = {
    0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080, 0x008080, 0x808080,
    0xC0C0C0, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

// A pixel whose alpha is at least this value is drawn in the 16-colour icon (with the
// nearest palette colour); a lighter one is transparent. Half coverage is the natural cut
// for a 1-bit mask: anti-aliased edges keep the pixels that are mostly inside the shape.
inline constexpr std::uint32_t kStandardOpaqueAlpha = 128;

// The index of the palette colour nearest to (r, g, b) by the plain sum of squared channel
// differences; on equal distances the lower index wins.
int nearestStandardIndex(std::uint8_t r, std::uint8_t g, std::uint8_t b);

// A picture reduced to the standard palette: one index per pixel (0 where transparent) and
// one transparency flag per pixel, rows top to bottom.
struct StandardPaletteImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices;
    std::vector<std::uint8_t> transparent;  // 1 = transparent (mask bit set)
};

// Reduces a premultiplied picture: pixels with alpha >= kStandardOpaqueAlpha take the index
// nearest to their un-premultiplied colour; the others are transparent with index 0.
StandardPaletteImage toStandardPalette(const formats::ArgbImage& image);

// The bytes of a single-image icon file holding the picture as a 4-bit bitmap with the
// standard palette and an AND mask (766 bytes at 32 x 32, 318 at 16 x 16). nullopt when
// the picture is empty, inconsistent, or larger than 256 pixels on a side.
std::optional<formats::Bytes> encodeStandardIco(const formats::ArgbImage& image);

// The bytes of a 24-bit bottom-up BMP file of the picture drawn over white. nullopt when
// the picture is empty or inconsistent, or the file would pass 4 GiB.
std::optional<formats::Bytes> encodeBmp24(const formats::ArgbImage& image);

// The bytes of a baseline JFIF file (3 components, quality 90, floating-point DCT) of the
// picture drawn over white. nullopt when the picture is empty or inconsistent, too large
// for JPEG, or the encoder fails.
std::optional<formats::Bytes> encodeJpeg(const formats::ArgbImage& image);

// Encode, then write the file atomically. False when encoding or writing fails; the
// target then keeps its old bytes and no temporary file is left behind.
bool writeStandardIco(const std::string& path, const formats::ArgbImage& image);
bool writeWhiteBmp(const std::string& path, const formats::ArgbImage& image);
bool writeWhiteJpeg(const std::string& path, const formats::ArgbImage& image);

}  // namespace iconmod
