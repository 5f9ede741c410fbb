#include "formats/CursorFile.h"

#include "formats/AniFile.h"
#include "formats/IconDecode.h"
#include "formats/PictureAtSize.h"

namespace formats {
namespace {

constexpr std::uint64_t kHotspotSize = 4;

}  // namespace

std::optional<CursorResource> splitCursorResource(ByteView data) {
    const auto image = data.from(kHotspotSize);
    if (!image) return std::nullopt;
    return CursorResource{*data.u16(0), *data.u16(2), *image};
}

std::optional<std::vector<IconDirEntry>> readImageFileDirectory(ByteView file, bool* isCursor) {
    const bool cursor = curImageCount(file).has_value();
    auto entries = cursor ? readCurDirectory(file) : readIcoDirectory(file);
    if (!entries) return std::nullopt;
    for (const IconDirEntry& e : *entries)
        if (!file.fits(e.imageOffset, e.bytesInRes)) return std::nullopt;
    if (isCursor) *isCursor = cursor;
    return entries;
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
