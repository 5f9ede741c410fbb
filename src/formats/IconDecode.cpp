// Recognising PNG images, reading their IHDR, and choosing the decoder for an icon image.
#include "formats/IconDecode.h"

#include <libdeflate.h>

#include <cstdint>
#include <new>

#include "formats/IconDecodeParts.h"

namespace formats {

namespace {
constexpr std::uint32_t kIhdrLength = 13;
constexpr std::uint64_t kIhdrDataAt = 16;  // signature, chunk length, chunk type
constexpr std::uint32_t kMaxPngSide = 0x7FFFFFFF;
constexpr std::uint32_t kBitmapHeaderSize = 40;
constexpr std::uint32_t kBiBitfields = 3;

// Bytes between the 40-byte header and the colour table: the three channel masks of a
// BI_BITFIELDS bitmap.
std::uint32_t maskBytes(ByteView header) { return header.u32(16).value_or(0) == kBiBitfields ? 12u : 0u; }
}  // namespace

std::uint16_t dibPaletteCount(ByteView header) {
    const std::uint32_t clrUsed = header.u32(32).value_or(0);
    if (clrUsed != 0) return static_cast<std::uint16_t>(clrUsed & 0xFFFF);
    switch (header.u16(14).value_or(0)) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

std::uint16_t dibPaletteSize(ByteView header) { return static_cast<std::uint16_t>(4u * dibPaletteCount(header)); }

std::optional<std::int64_t> dibRowSize(ByteView header) {
    const auto width = header.s32(4);
    const auto planes = header.u16(12);
    const auto bits = header.u16(14);
    if (!width || !planes || !bits) return std::nullopt;
    const std::int64_t rowBits = static_cast<std::int64_t>(*planes) * *width * *bits;
    return ((rowBits + 31) >> 5) * 4;
}

std::optional<ImageInfo> iconImageInfo(ByteView data) { return iconImageInfo(data, data.size()); }

std::optional<ImageInfo> iconImageInfo(ByteView head, std::uint64_t size) {
    if (head.size() > size) head = *head.sub(0, size);
    if (isPng(head)) {
        const auto png = readPngInfo(head);
        if (!png) return std::nullopt;
        return ImageInfo{png->width, png->height, png->colorBits, true};
    }
    const auto headerSize = head.u32(0);
    if (!headerSize || *headerSize != kBitmapHeaderSize || !head.fits(0, kBitmapHeaderSize)) return std::nullopt;
    const std::int32_t width = *head.s32(4);
    const std::int32_t height = *head.s32(8) / 2;
    // Planes x bits in 64 bits: two 16-bit fields can multiply past a 32-bit int.
    const std::int64_t colorBits = std::int64_t{*head.u16(12)} * *head.u16(14);
    if (width <= 0 || height <= 0 || colorBits <= 0 || colorBits > 32) return std::nullopt;
    // The header, the channel masks, the colour table and the colour rows must lie in the
    // data. A single row is checked first so that the product below cannot overflow.
    const std::int64_t rowSize = *dibRowSize(head);
    if (rowSize <= 0 || static_cast<std::uint64_t>(rowSize) > size) return std::nullopt;
    const std::uint64_t rows = static_cast<std::uint64_t>(rowSize) * static_cast<std::uint64_t>(height);
    const std::uint64_t needed = kBitmapHeaderSize + maskBytes(head) + dibPaletteSize(head) + rows;
    if (needed > size) return std::nullopt;
    return ImageInfo{width, height, static_cast<int>(colorBits), false};
}

bool isPng(ByteView data) { return data.startsWith(kPngSignature); }

std::uint32_t pngChunkCrc(ByteView typeAndData) {
    return libdeflate_crc32(0, typeAndData.data(), typeAndData.size());
}

std::optional<std::size_t> wholePngLength(ByteView data) {
    if (!readPngInfo(data)) return std::nullopt;
    std::uint64_t at = 8;
    // Each chunk: length, type, data, CRC over type and data.
    while (true) {
        const auto length = data.u32be(at);
        if (!length || *length > 0x7FFFFFFFu) return std::nullopt;
        const auto typeAndData = data.sub(at + 4, 4ull + *length);
        const auto crc = data.u32be(at + 8 + *length);
        if (!typeAndData || !crc) return std::nullopt;
        if (pngChunkCrc(*typeAndData) != *crc) return std::nullopt;
        at += 12ull + *length;
        if (typeAndData->startsWith("IEND")) return static_cast<std::size_t>(at);
    }
}

std::optional<PngInfo> readPngInfo(ByteView data) {
    if (!isPng(data) || !data.fits(kIhdrDataAt, kIhdrLength)) return std::nullopt;
    if (data.u32be(8) != kIhdrLength) return std::nullopt;
    const auto type = data.sub(12, 4);
    if (!type || !type->startsWith("IHDR")) return std::nullopt;
    const std::uint32_t width = *data.u32be(16);
    const std::uint32_t height = *data.u32be(20);
    const std::uint8_t bitDepth = *data.u8(24);
    const std::uint8_t colourType = *data.u8(25);
    if (width == 0 || height == 0 || width > kMaxPngSide || height > kMaxPngSide) return std::nullopt;
    if (bitDepth != 1 && bitDepth != 2 && bitDepth != 4 && bitDepth != 8 && bitDepth != 16) return std::nullopt;

    int channels = 0;
    switch (colourType) {
    case 0: channels = 1; break;  // gray
    case 2: channels = 3; break;  // RGB
    case 3: channels = 1; break;  // palette
    case 4: channels = 2; break;  // gray + alpha
    case 6: channels = 4; break;  // RGBA
    default: return std::nullopt;
    }
    PngInfo info;
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    // RGB and RGBA images report the depth the system reports for them whatever their bit depth.
    if (colourType == 6) info.colorBits = 32;
    else if (colourType == 2) info.colorBits = 24;
    else info.colorBits = bitDepth * channels;
    return info;
}

std::optional<ArgbImage> decodeIconImage(ByteView data) {
    try {
        if (isPng(data)) return decode::decodePng(data);
        return decode::decodeDib(data);
    } catch (const std::bad_alloc&) {
        return std::nullopt;  // sizes are bounded first, so only a starved process gets here
    }
}

}  // namespace formats
