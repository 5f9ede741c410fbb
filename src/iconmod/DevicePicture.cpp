#include "iconmod/DevicePicture.h"

#include <algorithm>

#include "formats/IconDecode.h"

namespace iconmod {

std::optional<formats::ArgbImage> devicePicture(formats::OpenedFile& file, int index, int logicalSize, int deviceSize) {
    if (deviceSize <= logicalSize) return std::nullopt;
    // The rule's picture is the largest image, not enlarged, when none reaches deviceSize:
    // one no larger than the cell means the group has nothing finer to show.
    auto picture = file.scaledDown(index, deviceSize);
    if (!picture || std::max(picture->width, picture->height) <= logicalSize) return std::nullopt;
    if (picture->width != deviceSize || picture->height != deviceSize)
        return formats::scaleImage(*picture, deviceSize, deviceSize);
    return picture;
}

}  // namespace iconmod
