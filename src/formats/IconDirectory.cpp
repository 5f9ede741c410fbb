#include "formats/IconDirectory.h"

namespace formats {
namespace {

// `count` entries of `entrySize` bytes after the header, each with the length that all
// kinds keep at offset 8 and its other fields set by `fields`; nullopt when they do not fit.
template <class Fields>
std::optional<std::vector<IconDirEntry>> readEntries(ByteView dir, std::optional<std::uint16_t> count,
                                                     std::uint64_t entrySize, Fields fields) {
    if (!count || !dir.fits(kIconDirHeaderSize, entrySize * *count)) return std::nullopt;
    std::vector<IconDirEntry> entries(*count);
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t at = kIconDirHeaderSize + entrySize * i;
        IconDirEntry& e = entries[i];
        e.bytesInRes = *dir.u32(at + 8);
        fields(e, at);
    }
    return entries;
}

// The byte-sized width, height and colour count that icon files, cursor files and icon
// groups start their entries with.
void byteSizes(IconDirEntry& e, ByteView dir, std::uint64_t at) {
    e.width = *dir.u8(at);
    e.height = *dir.u8(at + 1);
    e.colorCount = *dir.u8(at + 2);
}

std::optional<std::uint16_t> imageCount(ByteView header, std::uint16_t type) {
    if (header.u16(0) != 0 || header.u16(2) != type) return std::nullopt;
    return header.u16(4);
}

// The 16-byte entries of an icon or a cursor file; the words at 4 and 6 are planes and
// depth in one, the hotspot in the other.
std::optional<std::vector<IconDirEntry>> readFileDirectory(ByteView bytes, std::uint16_t type) {
    return readEntries(bytes, imageCount(bytes, type), kIcoEntrySize, [bytes, type](IconDirEntry& e, std::uint64_t at) {
        byteSizes(e, bytes, at);
        const std::uint16_t first = *bytes.u16(at + 4);
        const std::uint16_t second = *bytes.u16(at + 6);
        if (type == kCurType) {
            e.hotspotX = first;
            e.hotspotY = second;
        } else {
            e.planes = first;
            e.bitCount = second;
        }
        e.imageOffset = *bytes.u32(at + 12);
    });
}

}  // namespace

std::optional<std::uint16_t> icoImageCount(ByteView header) { return imageCount(header, kIcoType); }

std::optional<std::uint16_t> curImageCount(ByteView header) { return imageCount(header, kCurType); }

std::optional<std::vector<IconDirEntry>> readIcoDirectory(ByteView bytes) { return readFileDirectory(bytes, kIcoType); }

std::optional<std::vector<IconDirEntry>> readCurDirectory(ByteView bytes) { return readFileDirectory(bytes, kCurType); }

std::optional<std::vector<IconDirEntry>> readGroupDirectory(ByteView group) {
    return readEntries(group, group.u16(4), kGroupEntrySize, [group](IconDirEntry& e, std::uint64_t at) {
        byteSizes(e, group, at);
        e.planes = *group.u16(at + 4);
        e.bitCount = *group.u16(at + 6);
        e.id = *group.u16(at + 12);
    });
}

std::optional<std::vector<IconDirEntry>> readCursorGroupDirectory(ByteView group) {
    return readEntries(group, group.u16(4), kGroupEntrySize, [group](IconDirEntry& e, std::uint64_t at) {
        e.width = *group.u16(at);
        e.height = *group.u16(at + 2);
        e.planes = *group.u16(at + 4);
        e.bitCount = *group.u16(at + 6);
        e.id = *group.u16(at + 12);
    });
}

}  // namespace formats
