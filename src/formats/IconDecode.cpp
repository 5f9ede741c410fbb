// Recognising PNG images, reading their IHDR, and choosing the decoder for an icon image.
#include "formats/IconDecode.h"

#include <libdeflate.h>

#include <algorithm>
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

// Samples per pixel of a PNG colour type; 0 for a type that does not exist.
int pngChannels(std::uint8_t colourType) {
    switch (colourType) {
    case 0: return 1;  // gray
    case 2: return 3;  // RGB
    case 3: return 1;  // palette
    case 4: return 2;  // gray + alpha
    case 6: return 4;  // RGBA
    default: return 0;
    }
}
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
    const auto imageDataSize = decode::pngImageDataSize(data);
    if (!imageDataSize) return std::nullopt;
    Bytes imageData;  // the first run of IDAT chunks, joined
    bool afterImageData = false;
    std::uint64_t at = 8;
    // Each chunk: length, type, data, CRC over type and data.
    while (true) {
        const auto length = data.u32be(at);
        if (!length || *length > 0x7FFFFFFFu) return std::nullopt;
        const auto typeAndData = data.sub(at + 4, 4ull + *length);
        const auto crc = data.u32be(at + 8 + *length);
        if (!typeAndData || !crc) return std::nullopt;
        if (pngChunkCrc(*typeAndData) != *crc) return std::nullopt;
        if (!typeAndData->startsWith("IDAT")) {
            afterImageData = afterImageData || !imageData.empty();
        } else if (!afterImageData) {
            // More than the rows can need is not copied: such a stream holds something else.
            if (imageData.size() + *length > imageDataSize->maxCompressed) return std::nullopt;
            imageData.insert(imageData.end(), typeAndData->data() + 4, typeAndData->data() + typeAndData->size());
        }
        at += 12ull + *length;
        if (typeAndData->startsWith("IEND")) break;
    }
    // The image data must inflate to exactly the picture's rows: a stream that goes on past
    // them would cost whoever reads the copy far more than the picture.
    try {
        Bytes rows(static_cast<std::size_t>(imageDataSize->inflated));
        if (!decode::inflateExactly(imageData, rows)) return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(at);
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

    const int channels = pngChannels(colourType);
    if (channels == 0) return std::nullopt;
    PngInfo info;
    info.width = static_cast<int>(width);
    info.height = static_cast<int>(height);
    // RGB and RGBA images report the depth the system reports for them whatever their bit depth.
    if (colourType == 6) info.colorBits = 32;
    else if (colourType == 2) info.colorBits = 24;
    else info.colorBits = bitDepth * channels;
    return info;
}

std::optional<decode::PngImageDataSize> decode::pngImageDataSize(ByteView data) {
    const auto info = checkedPngInfo(data);
    const auto interlace = data.u8(28);
    if (!info || !interlace || *interlace > 1) return std::nullopt;
    const std::uint64_t bitDepth = *data.u8(24);
    const auto channels = static_cast<std::uint64_t>(pngChannels(*data.u8(25)));
    const auto width = static_cast<std::uint64_t>(info->width), height = static_cast<std::uint64_t>(info->height);
    auto passSize = [bitsPerPixel = bitDepth * channels](std::uint64_t w, std::uint64_t h) {
        return w == 0 ? 0 : h * (1 + (w * bitsPerPixel + 7) / 8);
    };
    PngImageDataSize size;
    if (*interlace == 0) {
        size.inflated = passSize(width, height);
    } else {
        // Seven passes, each taking every step-th pixel from its start, across and down.
        struct Pass {
            std::uint64_t x, y, stepX, stepY;
        };
        constexpr Pass kAdam7[] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
        auto count = [](std::uint64_t side, std::uint64_t start, std::uint64_t step) {
            return side > start ? (side - start + step - 1) / step : 0;
        };
        for (const Pass& p : kAdam7) size.inflated += passSize(count(width, p.x, p.stepX), count(height, p.y, p.stepY));
    }
    // libpng's allowance: rows of a byte per sample (two above 8 bits) plus a filter byte,
    // six more per row when interlaced, and 5 bytes of deflate overhead per row (per 32,566
    // bytes of longer rows) beside the zlib header and checksum.
    const std::uint64_t rowFactor = width * channels * (bitDepth > 8 ? 2 : 1) + 1 + (*interlace ? 6 : 0);
    const std::uint64_t rows = height * rowFactor;
    size.maxCompressed = rows + 6 + 5 * (rows / std::min<std::uint64_t>(rowFactor, 32566) + 1);
    return size;
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
