#include "formats/ArgbImage.h"

#include <bit>
#include <cstring>

#include "formats/IconDecodeParts.h"

namespace formats {

namespace {
using Wide = std::uint16_t __attribute__((vector_size(16)));
using TwoPixels = std::uint8_t __attribute__((vector_size(8)));
}  // namespace

// Where the words are stored little-endian (bytes B, G, R, A) two pixels are done at once in
// 16-bit lanes, by the arithmetic of premultiplied(), the alpha lanes kept as they are.
void premultiplyRow(const std::uint8_t* pixels, std::size_t width, ChannelOrder order, std::uint32_t* out) {
    constexpr std::size_t kBytesPerPixel = 4;
    std::size_t x = 0;
    if constexpr (std::endian::native == std::endian::little) {
        const Wide alphaLanes = {0, 0, 0, 0xFFFF, 0, 0, 0, 0xFFFF};
        for (; x + 2 <= width; x += 2) {
            TwoPixels bytes;
            std::memcpy(&bytes, pixels + x * kBytesPerPixel, sizeof bytes);
            const Wide channels = __builtin_convertvector(bytes, Wide);
            const Wide alphas = __builtin_shufflevector(channels, channels, 3, 3, 3, 3, 7, 7, 7, 7);
            const Wide t = channels * alphas + 128;
            Wide scaled = (((t + (t >> 8)) >> 8) & ~alphaLanes) | (channels & alphaLanes);
            if (order == ChannelOrder::Rgba) scaled = __builtin_shufflevector(scaled, scaled, 2, 1, 0, 3, 6, 5, 4, 7);
            const TwoPixels words = __builtin_convertvector(scaled, TwoPixels);
            std::memcpy(out + x, &words, sizeof words);
        }
    }
    for (; x < width; ++x) {
        const std::uint8_t* p = pixels + x * kBytesPerPixel;
        out[x] = order == ChannelOrder::Rgba ? decode::premultiplied(p[3], p[0], p[1], p[2])
                                             : decode::premultiplied(p[3], p[2], p[1], p[0]);
    }
}

ArgbImage overWhite(const ArgbImage& image) {
    ArgbImage out = image;
    for (std::uint32_t& p : out.pixels) {
        const std::uint32_t inv = 255 - argbAlpha(p);
        auto blend = [inv](std::uint32_t c) { return c + (255 * inv + 127) / 255; };
        p = makeArgb(255, blend(argbRed(p)), blend(argbGreen(p)), blend(argbBlue(p)));
    }
    return out;
}

}  // namespace formats
