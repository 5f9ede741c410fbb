#include "platform/IconDirectory.h"

namespace platform {
namespace {

// The fields both kinds of entry share, at the start of the entry.
IconDirEntry commonFields(ByteView dir, std::uint64_t at) {
    IconDirEntry e;
    e.width = *dir.u8(at);
    e.height = *dir.u8(at + 1);
    e.colorCount = *dir.u8(at + 2);
    e.planes = *dir.u16(at + 4);
    e.bitCount = *dir.u16(at + 6);
    e.bytesInRes = *dir.u32(at + 8);
    return e;
}

}  // namespace

std::optional<std::uint16_t> icoImageCount(ByteView header) {
    if (header.u16(0) != 0 || header.u16(2) != 1) return std::nullopt;
    return header.u16(4);
}

std::optional<std::vector<IconDirEntry>> readIcoDirectory(ByteView bytes) {
    const auto count = icoImageCount(bytes);
    if (!count || !bytes.fits(kIconDirHeaderSize, kIcoEntrySize * *count)) return std::nullopt;
    std::vector<IconDirEntry> entries;
    entries.reserve(*count);
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t at = kIconDirHeaderSize + kIcoEntrySize * i;
        entries.push_back(commonFields(bytes, at));
        entries.back().imageOffset = *bytes.u32(at + 12);
    }
    return entries;
}

std::optional<std::vector<IconDirEntry>> readGroupDirectory(ByteView group) {
    const auto count = group.u16(4);
    if (!count || !group.fits(kIconDirHeaderSize, kGroupEntrySize * *count)) return std::nullopt;
    std::vector<IconDirEntry> entries;
    entries.reserve(*count);
    for (std::uint64_t i = 0; i < *count; ++i) {
        const std::uint64_t at = kIconDirHeaderSize + kGroupEntrySize * i;
        entries.push_back(commonFields(group, at));
        entries.back().id = *group.u16(at + 12);
    }
    return entries;
}

}  // namespace platform
