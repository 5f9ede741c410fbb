// A decoded picture: premultiplied ARGB pixels (0xAARRGGBB in a 32-bit word, the layout
// of QImage::Format_ARGB32_Premultiplied), rows top to bottom, no padding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace formats {

struct ArgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;  // width * height

    ArgbImage() = default;
    ArgbImage(int w, int h, std::uint32_t fill = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), fill) {}

    bool isNull() const { return width <= 0 || height <= 0; }
    std::uint32_t pixel(int x, int y) const { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
    std::uint32_t& pixel(int x, int y) { return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)]; }
};

// Channel helpers for 0xAARRGGBB words.
constexpr std::uint32_t argbAlpha(std::uint32_t p) { return p >> 24; }
constexpr std::uint32_t argbRed(std::uint32_t p) { return (p >> 16) & 0xFF; }
constexpr std::uint32_t argbGreen(std::uint32_t p) { return (p >> 8) & 0xFF; }
constexpr std::uint32_t argbBlue(std::uint32_t p) { return p & 0xFF; }
constexpr std::uint32_t makeArgb(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b) {
    return (a << 24) | (r << 16) | (g << 8) | b;
}

// A premultiplied channel brought back to straight colour, rounded; 0 where the alpha is 0,
// and capped at 255 (a malformed pixel may hold a channel above its alpha).
constexpr std::uint32_t straightChannel(std::uint32_t channel, std::uint32_t alpha) {
    if (alpha == 0) return 0;
    const std::uint32_t v = (channel * 255 + alpha / 2) / alpha;
    return v > 255 ? 255 : v;
}

// A premultiplied 0xAARRGGBB word as straight (not premultiplied) colour and its alpha.
constexpr std::uint32_t straightArgb(std::uint32_t p) {
    const std::uint32_t a = argbAlpha(p);
    if (a == 255) return p;
    return makeArgb(a, straightChannel(argbRed(p), a), straightChannel(argbGreen(p), a), straightChannel(argbBlue(p), a));
}

// Straight 8-bit pixels of four bytes as premultiplied ARGB words: a row of a PNG (red,
// green, blue, alpha) or of a 32-bit bitmap (blue, green, red, alpha).
enum class ChannelOrder { Rgba, Bgra };
void premultiplyRow(const std::uint8_t* pixels, std::size_t width, ChannelOrder order, std::uint32_t* out);

// The picture drawn over an opaque white background (premultiplied source-over).
ArgbImage overWhite(const ArgbImage& image);

}  // namespace formats
