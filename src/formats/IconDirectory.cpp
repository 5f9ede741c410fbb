#include "formats/IconDirectory.h"

namespace formats {
namespace {

// `count` entries of `entrySize` bytes after the header, each with the fields both kinds
// share at its start and its own last field set by `last`; nullopt when they do not fit.
template <class Last>
std::optional<std::vector<IconDirEntry>> readEntries(ByteView dir, std::optional<std::uint16_t> count,
                                                     std::uint64_t entrySize, Last last) {
    if (!count || !dir.fits(kIconDirHeaderSize, entrySize * *count)) return std::nullopt;
    std::vector<IconDirEntry> entries(*count);
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t at = kIconDirHeaderSize + entrySize * i;
        IconDirEntry& e = entries[i];
        e.width = *dir.u8(at);
        e.height = *dir.u8(at + 1);
        e.colorCount = *dir.u8(at + 2);
        e.planes = *dir.u16(at + 4);
        e.bitCount = *dir.u16(at + 6);
        e.bytesInRes = *dir.u32(at + 8);
        last(e, at + 12);
    }
    return entries;
}

}  // namespace

std::optional<std::uint16_t> icoImageCount(ByteView header) {
    if (header.u16(0) != 0 || header.u16(2) != 1) return std::nullopt;
    return header.u16(4);
}

std::optional<std::vector<IconDirEntry>> readIcoDirectory(ByteView bytes) {
    return readEntries(bytes, icoImageCount(bytes), kIcoEntrySize,
                       [bytes](IconDirEntry& e, std::uint64_t at) { e.imageOffset = *bytes.u32(at); });
}

std::optional<std::vector<IconDirEntry>> readGroupDirectory(ByteView group) {
    return readEntries(group, group.u16(4), kGroupEntrySize,
                       [group](IconDirEntry& e, std::uint64_t at) { e.id = *group.u16(at); });
}

}  // namespace formats
