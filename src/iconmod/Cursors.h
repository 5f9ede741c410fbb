// Cursors: the images of a cursor group of a module (RT_GROUP_CURSOR and its RT_CURSOR
// resources), of a .cur file, and the frames and steps of an animation (.ani files,
// RT_ANICURSOR and RT_ANIICON resources); and the exact .cur file of a set. They are listed
// from their directories and image headers, the image data left in the file (what a listing
// shows, and where to read an image when one is needed), or taken whole with each image held
// as the bytes stored (without the hotspot words of a resource), once however often a
// directory names it, beside its hotspot.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/AniFile.h"
#include "formats/ModuleResources.h"
#include "iconmod/IconImage.h"
#include "platform/AtomicFile.h"

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

// The frames of an animation, each a list of images, and the steps that show them.
struct AnimationEntries {
    std::vector<ImageEntries> Frames;
    std::vector<formats::AniStep> Steps;
};

// The image to show at `size` pixels, by its width: the largest not larger than the size
// (the deepest among equals, then the earlier), else the smallest larger one. -1 for none.
int chooseCursorImage(const ImageEntries& images, int size);

// The images of the cursor group `name` of the module, each with the hotspot its RT_CURSOR
// starts with, their offsets the module file's; nullopt when the group or one of its images
// is missing or malformed, when its images together claim more bytes than the module's
// file, or when its .cur file would need offsets past 4 GiB.
std::optional<ImageEntries> listCursorGroup(formats::ResourceModule& module, const formats::ResourceName& name);

// The same group with its images' bytes (each RT_CURSOR read once).
std::optional<CursorSet> loadCursorGroup(formats::ResourceModule& module, const formats::ResourceName& name);

// The images of the .cur file (type 2) at [begin, begin + size) of the source, each with the
// hotspot of its entry. With `iconsToo`, an .ico file (type 1) is read as well, each image's
// hotspot its centre (the frames of an animation may be icons). nullopt for anything else,
// when an image lies outside the file or is malformed, or when the set's .cur file would
// need offsets past 4 GiB.
std::optional<ImageEntries> listCursorFile(formats::ByteSource& source, std::uint64_t begin, std::uint64_t size,
                                           bool iconsToo = false);

// The same for a file held whole in `file`, each image a range of its bytes.
std::optional<CursorSet> readCursorSet(const SharedBytes& file, bool iconsToo = false);

// The listed images with their bytes, each a range of `file` (the bytes they were listed from).
CursorSet cursorSetOf(const ImageEntries& images, const SharedBytes& file);

// The animation at [begin, begin + size) of the source (an .ani file or an animated
// resource), its frames listed as listCursorFile lists them; nullopt when it is not one or a
// frame cannot be read or holds no image.
std::optional<AnimationEntries> listAnimation(formats::ByteSource& source, std::uint64_t begin, std::uint64_t size);

// Writes the set as a .cur file exactly as stored: per entry bWidth and bHeight from the
// image (256 as 0), bColorCount as an icon file's, the hotspot in place of planes and
// depth, the image's length and offset; then each image's bytes unchanged, in entry order.
// The file is replaced only when everything was written. False when the set is empty,
// would need offsets past 4 GiB, or cannot be written.
bool saveCur(const std::string& path, const CursorSet& set);
// The same written into `file`, created here for `path` and left uncommitted.
bool writeCur(platform::AtomicFile& file, const std::string& path, const CursorSet& set);

}  // namespace iconmod
