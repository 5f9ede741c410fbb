#include "iconmod/DevicePicture.h"

#include <algorithm>

#include "formats/IconDecode.h"

namespace iconmod {

std::optional<formats::ArgbImage> devicePicture(formats::IconFile& file, int index, int logicalSize, int deviceSize) {
    if (deviceSize <= logicalSize) return std::nullopt;
    int largest = 0;
    for (const formats::IconDirEntry& e : file.imagesOf(index)) {
        const int w = e.width == 0 && e.height == 0 ? 256 : e.width;
        const int h = e.width == 0 && e.height == 0 ? 256 : e.height;
        largest = std::max(largest, std::max(w, h));
    }
    if (largest <= logicalSize) return std::nullopt;
    auto picture = file.scaledDown(index, deviceSize);
    if (!picture) return std::nullopt;
    if (picture->width != deviceSize || picture->height != deviceSize)
        return formats::scaleImage(*picture, deviceSize, deviceSize);
    return picture;
}

}  // namespace iconmod
