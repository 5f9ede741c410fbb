#include "iconmod/XcursorFile.h"

#include <algorithm>

#include "formats/ByteView.h"
#include "platform/AtomicFile.h"

namespace iconmod {
namespace {

constexpr std::uint32_t kMagic = 0x72756358;  // "Xcur"
constexpr std::uint32_t kHeaderSize = 16;
constexpr std::uint32_t kFileVersion = 0x10000;
constexpr std::uint64_t kEntrySize = 12;
constexpr std::uint32_t kImageType = 0xFFFD0002;
constexpr std::uint32_t kImageHeaderSize = 36;
constexpr std::uint32_t kImageVersion = 1;
constexpr std::uint32_t kMaxSide = 0x7FFF;
// Pixels are written in pieces of this many bytes.
constexpr std::size_t kWritePiece = 64 * 1024;

std::uint64_t chunkSize(const XcursorImageInfo& c) { return kImageHeaderSize + 4ull * c.width * c.height; }

std::uint32_t nominal(const XcursorImageInfo& c) { return std::max<std::uint32_t>(1, c.nominalSize); }

bool writeChunk(platform::AtomicFile& file, const XcursorImageInfo& c, const formats::ArgbImage& picture) {
    formats::Bytes out;
    out.reserve(kWritePiece + 4);
    for (std::uint32_t v : {kImageHeaderSize, kImageType, nominal(c), kImageVersion, c.width, c.height,
                            std::min(c.hotspotX, c.width - 1), std::min(c.hotspotY, c.height - 1), c.delayMs})
        formats::appendU32(out, v);
    for (std::uint32_t pixel : picture.pixels) {
        formats::appendU32(out, pixel);
        if (out.size() >= kWritePiece) {
            if (!file.write(out)) return false;
            out.clear();
        }
    }
    return file.write(out);
}

}  // namespace

std::uint64_t XcursorLayout::fileSize() const {
    std::uint64_t total = kHeaderSize + kEntrySize * entries.size();
    for (const XcursorImageInfo& c : chunks) total += chunkSize(c);
    return total;
}

XcursorResult writeXcursor(const std::string& path, const XcursorLayout& layout, const XcursorPictureFn& picture) {
    if (layout.entries.size() > kMaxXcursorEntries) return XcursorResult::TooManyEntries;
    if (layout.entries.empty()) return XcursorResult::BadImage;
    for (std::size_t chunk : layout.entries)
        if (chunk >= layout.chunks.size()) return XcursorResult::BadImage;
    for (const XcursorImageInfo& c : layout.chunks)
        if (c.width == 0 || c.height == 0 || c.width > kMaxSide || c.height > kMaxSide) return XcursorResult::BadImage;
    if (layout.fileSize() > kMaxXcursorFileSize) return XcursorResult::TooLarge;

    // Header and table of contents; the chunks follow in their order.
    std::vector<std::uint64_t> positions;
    positions.reserve(layout.chunks.size());
    std::uint64_t position = kHeaderSize + kEntrySize * layout.entries.size();
    for (const XcursorImageInfo& c : layout.chunks) {
        positions.push_back(position);
        position += chunkSize(c);
    }
    formats::Bytes head;
    for (std::uint32_t v : {kMagic, kHeaderSize, kFileVersion, static_cast<std::uint32_t>(layout.entries.size())})
        formats::appendU32(head, v);
    for (std::size_t chunk : layout.entries) {
        formats::appendU32(head, kImageType);
        formats::appendU32(head, nominal(layout.chunks[chunk]));
        formats::appendU32(head, static_cast<std::uint32_t>(positions[chunk]));
    }

    platform::AtomicFile file;
    if (!file.create(path) || !file.write(head)) return XcursorResult::NotWritten;
    for (std::size_t i = 0; i < layout.chunks.size(); ++i) {
        const XcursorImageInfo& c = layout.chunks[i];
        const auto pixels = picture(i);
        if (!pixels || pixels->width != static_cast<int>(c.width) || pixels->height != static_cast<int>(c.height))
            return XcursorResult::BadImage;
        if (!writeChunk(file, c, *pixels)) return XcursorResult::NotWritten;
    }
    return file.commit() ? XcursorResult::Written : XcursorResult::NotWritten;
}

}  // namespace iconmod
