// One opened file: its kind (checkKind, once), what is wrong with it, its bytes, a module's
// resources, and its icons for the file list and the icon strip: how many icons it holds,
// and icon i rendered at a size with its transparency. Programs and DLLs (PE32, PE32+),
// 16-bit NE modules (.exe, .dll, .icl) and ICO files hold icons; every other file holds 0.
// Nothing of a module is ever run.
//
// Icon i is the i-th icon group in the order the module's resource directory lists them,
// the order in which the icon save dialog lists groups. For each size the group's image is
// chosen as Windows chooses it: the first entry closest in size, then the colour depth
// closest to 32 bits; it is decoded and, when not of the size asked for, scaled.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"
#include "formats/FileKind.h"
#include "formats/IconDirectory.h"
#include "formats/ModuleResources.h"
#include "formats/PictureAtSize.h"

namespace formats {

// Every reader of a file works on one of these, so that the file is opened and its kind
// decided once.
class OpenedFile {
public:
    // Never nullptr for a source.
    static std::unique_ptr<OpenedFile> fromSource(std::unique_ptr<ByteSource> source);
    // The file's bytes back, for a reader of another kind of file; the opened file ends.
    static std::unique_ptr<ByteSource> takeSource(std::unique_ptr<OpenedFile> file);
    ~OpenedFile();

    FileKind kind() const { return kind_; }
    // checkKind's problem; for a module whose resources cannot be opened, that.
    const std::string& problem() const { return problem_; }
    // The module's resources (PE32, PE32+, NE); nullptr for any other file.
    ResourceModule* module() const { return module_.get(); }
    // The file's bytes (a module's file too).
    ByteSource& source();
    const ByteSource& source() const;

    int count() const { return count_; }

    // Icon `index` at size x size pixels; nullopt when it cannot be extracted.
    std::optional<ArgbImage> icon(int index, int size);

    // The largest image of icon `index` at its own size: pictureAtSize's picture at the side
    // of the group's largest image by the images' headers (largestImageSide). nullopt when
    // no image decodes.
    std::optional<ArgbImage> largestImage(int index);

    // Icon `index` as a picture of its own for size x size pixels: pictureAtSize (formats/
    // PictureAtSize.h) over the group's images, by the scale-down rule and the sizes the
    // images' headers give. nullopt when no image can be used.
    std::optional<PictureAtSize> picture(int index, int size, PictureUse use = PictureUse::Pixels);
    // The same picture's pixels.
    std::optional<ArgbImage> scaledDown(int index, int size);

    // For a .cur or .ani file (which holds no icons): its picture for size x size pixels,
    // as cursorFilePicture (formats/CursorFile.h) makes it. nullopt for any other file.
    std::optional<ArgbImage> cursorPicture(int size);

    // The resource name of icon `index`'s group; nullopt for an ICO file (its one icon has
    // none) and when there is no such group.
    std::optional<ResourceName> groupName(int index);
    // The directory entries of icon `index`, in directory order (empty when unreadable).
    std::vector<IconDirEntry> imagesOf(int index);
    // The stored bytes of one of those entries (a DIB or a whole PNG), or nullopt.
    std::optional<Bytes> imageData(const IconDirEntry& entry);
    // The size of the file in bytes.
    std::uint64_t fileSize() const;

private:
    OpenedFile() = default;
    // The first of `order` that decodes (taken from the last decode when it was that image).
    const ArgbImage* firstDecoded(int index, const std::vector<IconDirEntry>& images, const std::vector<std::size_t>& order);
    // Image `entry` of icon `index` decoded from `data`, or the last decode when it was that image.
    const ArgbImage* decodedImage(int index, std::size_t entry, ByteView data);
    // pictureAtSize over icon `index`'s images; size 0: at the side of its largest image.
    std::optional<PictureAtSize> groupPicture(int index, int size, PictureUse use);

    std::unique_ptr<ByteSource> source_;
    std::unique_ptr<ResourceModule> module_;
    FileKind kind_ = FileKind::Other;
    std::string problem_;
    int count_ = 0;
    std::optional<ArgbImage> decoded_;  // the last image decoded, at its own size
    int decodedIndex_ = -1;
    std::size_t decodedEntry_ = 0;
};

// The index of the entry to use for a size: the first with the smallest |dw| + |dh|, then,
// among entries at exactly that distance, the depth closest to 32 bits (earlier entries
// win ties). -1 for an empty directory.
int chooseIconEntry(const std::vector<IconDirEntry>& entries, int width, int height);

}  // namespace formats
