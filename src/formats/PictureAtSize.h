// An icon group as a picture of N pixels, for everything that makes a picture at a size of
// its own: thumbnails, the window's PNG save, icon sets, HiDPI drawing, PNG extraction and
// the pictures of cursor files. They all take it from pictureAtSize, by Windows' scale-down
// rule: an image of exactly N (the deepest) as it is; else the smallest larger one, shrunk
// by area averaging; else the largest, not enlarged.
//
// An image's size is the one its own header gives (a bitmap's width and half its height, a
// PNG's IHDR), as Windows reads it when it loads the image: a directory entry that says
// otherwise ("128 x 0" beside a 128-pixel bitmap, garbage beside a 256-pixel PNG) is not
// believed. The strip, the list and the standard save use the other rule (chooseIconEntry,
// by the directory's sizes), which is Windows' own for those.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"
#include "formats/IconDecode.h"

namespace formats {

class OpenedFile;

// The order in which images of these sizes are tried for a picture of size x size pixels:
// those of exactly that size, deepest first; then the larger ones (either side above the
// size), smallest area first; then the smaller ones, largest area first; among equal sizes
// the deeper, then the earlier image. Images without a size (nullopt) are left out.
std::vector<std::size_t> scaleDownOrder(const std::vector<std::optional<ImageInfo>>& images, int size);

enum class PictureUse {
    Pixels,   // the picture is wanted as pixels
    PngFile,  // the picture becomes a PNG file: a whole PNG image of the size may be passed on
};

struct PictureAtSize {
    std::size_t image = 0;       // the image of the group it comes from
    std::optional<Bytes> png;    // PngFile, where that image is a whole PNG (wholePngLength) of
                                 // exactly size x size: its bytes up to IEND, to pass on as they are
    ArgbImage pixels;            // otherwise: the image decoded and shrunk to fit size x size
};

// Decodes image i of the group at its own size, for a caller that keeps decoded images; the
// pointer is used before the next call. nullptr when it cannot be decoded.
using ImageDecoder = std::function<const ArgbImage*(std::size_t image)>;

// The picture of a group whose images' bytes (as stored: a bitmap or a PNG) are `images`,
// for size x size pixels: the first of scaleDownOrder (over imageHeaderInfo) that can be
// used; when an image cannot be decoded the next few are tried (at most 4, so that a hostile
// group of thousands of broken images costs little). The picture is never larger than the
// size, and keeps the aspect of a non-square image. nullopt when no image can be used or
// size is not positive. `decode` defaults to decodeIconImage.
std::optional<PictureAtSize> pictureAtSize(const std::vector<ByteView>& images, int size,
                                           PictureUse use = PictureUse::Pixels, const ImageDecoder& decode = {});

// The side of the group's largest image by the images' headers (the longer side of each):
// the size at which pictureAtSize gives the largest image as it is. 0 when no image has a
// readable header.
int largestImageSide(const std::vector<ByteView>& images);

// The stored bytes of each image of icon `index` of `file`, in directory order: an image the
// directory names more than once is read once and shared. An image that cannot be read is
// null, and so is one that would take the bytes read for the group past the file's size (a
// sound file's images are distinct parts of it; a hostile directory of overlapping ranges
// costs no more than the file).
std::vector<std::shared_ptr<const Bytes>> readGroupImages(OpenedFile& file, int index);

}  // namespace formats
