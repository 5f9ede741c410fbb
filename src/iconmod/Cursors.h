// Cursors taken whole: the images of a cursor group of a module (RT_GROUP_CURSOR and its
// RT_CURSOR resources), of a .cur file, and the frames and steps of an animation (.ani
// files, RT_ANICURSOR and RT_ANIICON resources); and the exact .cur file of a set. Each
// image is held as the bytes stored (without the hotspot words of a resource), once
// however often a directory names it, beside its hotspot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/AniFile.h"
#include "formats/ModuleResources.h"
#include "iconmod/IconImage.h"

namespace iconmod {

struct CursorImage {
    IconImage Image;  // width and visible height from the image itself
    std::uint16_t HotspotX = 0;
    std::uint16_t HotspotY = 0;
};

struct CursorSet {
    std::vector<CursorImage> Images;
    // Bytes of the .cur file that holds every image (as often as the set names it).
    std::uint64_t curFileSize() const;
};

// The frames of an animation, each a set, and the steps that show them.
struct AnimatedCursor {
    std::vector<CursorSet> Frames;
    std::vector<formats::AniStep> Steps;
    bool IconFrames = false;  // every frame is an icon file (type 1), not a cursor file
};

// The image of the set to show at `size` pixels, by its width: the largest not larger than
// the size (the deepest among equals, then the earlier), else the smallest larger one.
// -1 for an empty set.
int chooseCursorImage(const CursorSet& set, int size);

// The cursor group `name` of the module; nullopt when it or one of its images is missing
// or malformed, or when its images together claim more bytes than the module's file.
std::optional<CursorSet> loadCursorGroup(formats::ResourceModule& module, const formats::ResourceName& name);

// The images of a .cur file (type 2) held whole in `file`, each with the hotspot of its
// entry. With `iconsToo`, an .ico file (type 1) is read as well, each image's hotspot its
// centre (the frames of an animation may be icons). nullopt for anything else, or when an
// image lies outside the file or is malformed.
std::optional<CursorSet> readCursorSet(const SharedBytes& file, bool iconsToo = false);

// The animation held in `bytes` (an .ani file or an animated resource); nullopt when it is
// not one or a frame cannot be read.
std::optional<AnimatedCursor> readAnimatedCursor(const SharedBytes& bytes);

// Writes the set as a .cur file exactly as stored: per entry bWidth and bHeight from the
// image (256 as 0), bColorCount as an icon file's, the hotspot in place of planes and
// depth, the image's length and offset; then each image's bytes unchanged, in entry order.
// The file is replaced only when everything was written. False when the set is empty,
// would need offsets past 4 GiB, or cannot be written.
bool saveCur(const std::string& path, const CursorSet& set);

}  // namespace iconmod
