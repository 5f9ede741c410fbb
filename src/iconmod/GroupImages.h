// The images of one icon of an opened file as an image set, for the commands that write a
// picture of a size of their own from the window (the PNG save): a module's group (PE or
// NE) in its directory's order, or the images of an .ico file. The icon is numbered as the
// strip numbers it, since both come from the same formats::OpenedFile.
#pragma once

#include <optional>

#include "formats/OpenedFile.h"
#include "iconmod/IconImage.h"

namespace iconmod {

// The images of icon `index` of `file` (formats::readGroupImages). An image whose data
// cannot be read or whose header does not fit its data is left out; nullopt when none is
// left. Each stored image is read once, however often the directory names it, and no more
// bytes than the file holds are read, so memory follows the file.
std::optional<IconImageSet> groupImageSet(formats::OpenedFile& file, int index);

}  // namespace iconmod
