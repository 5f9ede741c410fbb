// An icon's picture for a cell of n pixels on a screen that has r device pixels to a pixel
// (HiDPI): made for n x r device pixels from the group's own larger images, so the cell
// shows real detail instead of the n-pixel picture enlarged in r x r blocks.
#pragma once

#include <optional>

#include "formats/ArgbImage.h"
#include "formats/OpenedFile.h"

namespace iconmod {

// Icon `index` at deviceSize x deviceSize for a cell of logicalSize pixels. nullopt when
// the group holds no image larger than logicalSize: the logical picture, enlarged where it
// is drawn, is all there is. Otherwise the scale-down rule's picture for deviceSize (the
// image of that size, else the next larger shrunk), enlarged by the nearest pixel to fill
// deviceSize when no image is that large.
std::optional<formats::ArgbImage> devicePicture(formats::OpenedFile& file, int index, int logicalSize, int deviceSize);

}  // namespace iconmod
