#include "iconmod/GroupImages.h"

#include "formats/PictureAtSize.h"
#include "iconmod/Iconmod.h"

namespace iconmod {

std::optional<IconImageSet> groupImageSet(formats::OpenedFile& file, int index) {
    if (index < 0 || index >= file.count()) return std::nullopt;
    IconImageSet set;
    for (const auto& bytes : formats::readGroupImages(file, index)) {
        if (!bytes) continue;
        IconImage image;
        image.Data = SharedBytes(bytes, 0, bytes->size());
        if (QIconMod::fnParseImage(&image)) set.Images.push_back(std::move(image));
    }
    if (set.Images.empty()) return std::nullopt;
    return set;
}

}  // namespace iconmod
