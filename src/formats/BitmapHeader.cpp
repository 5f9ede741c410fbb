#include "formats/BitmapHeader.h"

namespace formats {
namespace {

// Headers at least this long hold the three colour masks at offset 40 themselves.
constexpr std::uint32_t kMasksInHeaderEnd = 52;
constexpr std::uint64_t kMasksSize = 12;

}  // namespace

std::optional<BitmapHeader> readBitmapHeader(ByteView data) {
    const auto size = data.u32(0);
    if (!size || (*size != kCoreHeaderSize && *size < kInfoHeaderSize) || !data.fits(0, *size)) return std::nullopt;
    BitmapHeader h;
    h.size = *size;
    h.tableOffset = *size;
    if (h.isCore()) {
        h.width = *data.u16(4);
        h.height = *data.u16(6);
        h.planes = *data.u16(8);
        h.bitCount = *data.u16(10);
        h.tableEntrySize = 3;
        return h;
    }
    h.width = *data.s32(4);
    h.height = *data.s32(8);
    h.planes = *data.u16(12);
    h.bitCount = *data.u16(14);
    h.compression = *data.u32(16);
    h.clrUsed = *data.u32(32);
    if (h.compression == kBiBitfields) {
        const std::uint64_t masksAt = h.size >= kMasksInHeaderEnd ? kInfoHeaderSize : h.size;
        for (std::uint64_t i = 0; i < 3; ++i) {
            const auto mask = data.u32(masksAt + 4 * i);
            if (!mask) return std::nullopt;
            h.masks[i] = *mask;
        }
        if (h.size < kMasksInHeaderEnd) h.tableOffset += kMasksSize;
    }
    return h;
}

}  // namespace formats
