// The icons of a file's bytes, for the file list and the icon strip: how many icons it
// holds, and icon i rendered at a size with its transparency. Programs and
// DLLs (PE32, PE32+), 16-bit NE modules (.exe, .dll, .icl) and ICO files are recognised by
// their content; every other file holds 0 icons. Nothing of a module is ever run.
//
// Icon i is the i-th icon group in the order the module's resource directory lists them,
// the order in which the icon save dialog lists groups. For each size the group's image is
// chosen as Windows chooses it: the first entry closest in size, then the colour depth
// closest to 32 bits; it is decoded and, when not of the size asked for, scaled.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"
#include "formats/IconDirectory.h"

namespace formats {

class ResourceModule;

// One opened file, for counting and extracting with a single open.
class IconFile {
public:
    static std::unique_ptr<IconFile> fromSource(std::unique_ptr<ByteSource> source);
    ~IconFile();

    int count() const { return count_; }

    // Icon `index` at size x size pixels; nullopt when it cannot be extracted.
    std::optional<ArgbImage> icon(int index, int size);

    // The largest image of icon `index` at its own size: the entry with the largest area
    // by the directory's sizes (0 meaning 256), then the greatest depth, then the earlier
    // entry. When that image cannot be decoded, the next few in that order are tried.
    // nullopt when none of them decodes.
    std::optional<ArgbImage> largestImage(int index);

    // Icon `index` as a picture of its own for size x size pixels, by the scale-down rule
    // (chooseScaleDownEntry): the image of exactly that size as it is, else the smallest
    // larger one shrunk by area averaging, else the largest one, not enlarged. When the
    // chosen image cannot be decoded, the next few in the rule's order are tried.
    std::optional<ArgbImage> scaledDown(int index, int size);

    // For a .cur or .ani file (which holds no icons): its picture for size x size pixels,
    // as cursorFilePicture (formats/CursorFile.h) makes it. nullopt for any other file.
    std::optional<ArgbImage> cursorPicture(int size);

    // The bytes of the PNG image the scale-down rule picks for icon `index` at size x size,
    // when that image is a whole PNG (formats::wholePngLength) of exactly that size, up to
    // its IEND: a picture that can be passed on unchanged. nullopt otherwise.
    std::optional<Bytes> wholePngOfSize(int index, int size);

    // The directory entries of icon `index`, in directory order (empty when unreadable).
    std::vector<IconDirEntry> imagesOf(int index);
    // The stored bytes of one of those entries (a DIB or a whole PNG), or nullopt.
    std::optional<Bytes> imageData(const IconDirEntry& entry);

private:
    enum class Kind { None, Module, Ico };
    IconFile() = default;
    // The first of `order` that decodes (taken from the last decode when it was that image).
    const ArgbImage* firstDecoded(int index, const std::vector<IconDirEntry>& images, const std::vector<std::size_t>& order);

    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<ResourceModule> module_;
    Kind kind_ = Kind::None;
    int count_ = 0;
    std::optional<ArgbImage> decoded_;  // the last image decoded, at its own size
    int decodedIndex_ = -1;
    std::size_t decodedEntry_ = 0;
};

// The index of the entry to use for a size: the first with the smallest |dw| + |dh|, then,
// among entries at exactly that distance, the depth closest to 32 bits (earlier entries
// win ties). -1 for an empty directory.
int chooseIconEntry(const std::vector<IconDirEntry>& entries, int width, int height);

// Windows' scale-down rule, for pictures made at a size of their own (thumbnails, PNG saves,
// icon sets, drawing on HiDPI screens): the entries in the order they should be tried for a
// picture of size x size pixels. First the entries of exactly that size (by the directory's
// sizes, 0 meaning 256), deepest first; then the larger ones, smallest first; then the
// smaller ones, largest first; among equal sizes the deeper, then the earlier entry.
std::vector<std::size_t> scaleDownOrder(const std::vector<IconDirEntry>& entries, int size);

// The first entry of scaleDownOrder, or -1 for an empty directory.
int chooseScaleDownEntry(const std::vector<IconDirEntry>& entries, int size);

}  // namespace formats
