// An icon group as a PNG picture of a size of its own: what the window's PNG save, icon sets
// for launchers and the thumbnailer write. The picture comes from the group by the scale-down
// rule (formats::scaleDownOrder): an image of exactly the size (the deepest) as it is, else
// the smallest larger image shrunk by area averaging, else the largest, not enlarged.
#pragma once

#include <optional>
#include <vector>

#include "formats/ByteView.h"
#include "iconmod/IconImage.h"
#include "iconmod/PngExport.h"

namespace iconmod {

// The square sizes the set's images have, ascending, each once.
std::vector<int> heldSizes(const IconImageSet& set);

// The sizes a PNG of the set is offered at: the sizes it holds, and those of `standard`
// that it lacks but that are smaller than its largest image; ascending.
std::vector<int> offeredSizes(const IconImageSet& set, const std::vector<int>& standard);

// The PNG file of the set at size x size. When the image the rule picks is a whole PNG of
// exactly that size, its bytes are returned unchanged (without padding after IEND);
// otherwise the image is decoded, shrunk when larger and encoded. An image smaller than
// the size stays at its own size. When the picked image cannot be decoded, the next few
// in the rule's order are tried. nullopt when none decodes or encoding fails.
std::optional<formats::Bytes> sizedPng(const IconImageSet& set, int size,
                                       PngCompression compression = PngCompression::Small);

}  // namespace iconmod
