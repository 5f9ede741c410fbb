// An icon group as a PNG picture of a size of its own: what the window's PNG save, icon sets
// for launchers, PNG extraction and the thumbnailer write. The picture is the group's
// formats::pictureAtSize (formats/PictureAtSize.h): an image of exactly the size (the
// deepest) as it is, else the smallest larger image shrunk by area averaging, else the
// largest, not enlarged; each image's size as its own header gives it.
#pragma once

#include <optional>
#include <vector>

#include "formats/ByteView.h"
#include "formats/PictureAtSize.h"
#include "iconmod/IconImage.h"
#include "iconmod/PngExport.h"

namespace iconmod {

// The square sizes the set's images have, ascending, each once.
std::vector<int> heldSizes(const IconImageSet& set);

// The sizes a PNG of the set is offered at: the sizes it holds, and those of `standard`
// that it lacks but that are smaller than its largest image; ascending.
std::vector<int> offeredSizes(const IconImageSet& set, const std::vector<int>& standard);

// The PNG file of a picture: a whole PNG image passed on is its bytes as they are; other
// pictures are encoded. nullopt when encoding fails.
std::optional<formats::Bytes> pngFile(formats::PictureAtSize picture, PngCompression compression);

// The PNG file of the set at size x size (pictureAtSize for a PNG file): a whole PNG image of
// exactly that size unchanged (without padding after IEND); otherwise the image decoded,
// shrunk when larger and encoded. nullopt when no image decodes or encoding fails.
std::optional<formats::Bytes> sizedPng(const IconImageSet& set, int size,
                                       PngCompression compression = PngCompression::Small);

// The PNG file of the set's largest image, as it is: sizedPng at the side of its largest
// image (formats::largestImageSide).
std::optional<formats::Bytes> largestPng(const IconImageSet& set, PngCompression compression = PngCompression::Small);

}  // namespace iconmod
