#include "formats/CursorFile.h"

#include <algorithm>

#include "formats/AniFile.h"
#include "formats/IconDecode.h"
#include "formats/PictureAtSize.h"

namespace formats {
namespace {

constexpr std::uint64_t kHotspotSize = 4;

// The directory at the start of `directory` (an icon or a cursor file's first bytes, at
// least its header and entries) with every entry's image inside a file of fileSize bytes.
std::optional<std::vector<IconDirEntry>> checkedDirectory(ByteView directory, std::uint64_t fileSize, bool* isCursor) {
    const bool cursor = curImageCount(directory).has_value();
    auto entries = cursor ? readCurDirectory(directory) : readIcoDirectory(directory);
    if (!entries) return std::nullopt;
    for (const IconDirEntry& e : *entries)
        if (e.imageOffset > fileSize || e.bytesInRes > fileSize - e.imageOffset) return std::nullopt;
    if (isCursor) *isCursor = cursor;
    return entries;
}

}  // namespace

std::optional<CursorResource> splitCursorResource(ByteView data) {
    const auto image = data.from(kHotspotSize);
    if (!image) return std::nullopt;
    return CursorResource{*data.u16(0), *data.u16(2), *image};
}

std::optional<std::vector<IconDirEntry>> readImageFileDirectory(ByteView file, bool* isCursor) {
    return checkedDirectory(file, file.size(), isCursor);
}

std::optional<std::vector<IconDirEntry>> readImageFileDirectory(ByteSource& source, std::uint64_t begin, std::uint64_t size,
                                                                bool* isCursor) {
    if (!source.fits(begin, size)) return std::nullopt;
    const auto header = source.read(begin, std::min(size, kIconDirHeaderSize));
    if (!header) return std::nullopt;
    auto count = curImageCount(*header);
    if (!count) count = icoImageCount(*header);
    if (!count) return std::nullopt;
    const auto directory = source.read(begin, std::min(size, kIconDirHeaderSize + kIcoEntrySize * *count));
    if (!directory) return std::nullopt;
    return checkedDirectory(*directory, size, isCursor);
}

bool isCursorFile(ByteView head) { return curImageCount(head).has_value() || isAni(head); }

std::optional<ArgbImage> cursorFilePicture(ByteSource& source, int size) {
    if (size <= 0 || source.size() > kMaxCursorFileSize) return std::nullopt;
    const auto bytes = source.read(0, source.size());
    if (!bytes) return std::nullopt;
    ByteView file(*bytes);
    if (isAni(file)) {
        const auto ani = readAni(file);
        if (!ani) return std::nullopt;
        const AniFrame& frame = ani->frames[ani->steps.front().frame];
        file = *file.sub(frame.offset, frame.size);
    } else if (!curImageCount(file)) {
        return std::nullopt;
    }
    const auto entries = readImageFileDirectory(file);
    if (!entries) return std::nullopt;
    std::vector<ByteView> images;
    images.reserve(entries->size());
    for (const IconDirEntry& e : *entries) images.push_back(*file.sub(e.imageOffset, e.bytesInRes));
    if (auto picture = pictureAtSize(images, size)) return std::move(picture->pixels);
    return std::nullopt;
}

}  // namespace formats
