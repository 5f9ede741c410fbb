#include "formats/ArgbImage.h"

namespace formats {

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
