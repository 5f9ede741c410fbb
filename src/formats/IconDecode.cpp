// Recognising PNG images, reading their IHDR, describing an icon image by its header, and
// choosing the decoder for it.
#include "formats/IconDecode.h"

#include <libdeflate.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <new>

#include "formats/BitmapHeader.h"
#include "formats/IconDecodeParts.h"
#include "formats/PngChunks.h"

namespace formats {

namespace {
constexpr std::uint32_t kIhdrLength = 13;
constexpr std::uint32_t kMaxPngSide = 0x7FFFFFFF;

// Samples per pixel of a PNG colour type; 0 for a type that does not exist.
int pngChannels(int colourType) {
    switch (colourType) {
    case 0: return 1;  // gray
    case 2: return 3;  // RGB
    case 3: return 1;  // palette
    case 4: return 2;  // gray + alpha
    case 6: return 4;  // RGBA
    default: return 0;
    }
}

ImageInfo bitmapInfo(const BitmapHeader& h) {
    // Planes x bits in 64 bits: two 16-bit fields can multiply past a 32-bit int.
    const std::int64_t colorBits = std::int64_t{h.planes} * h.bitCount;
    return ImageInfo{h.width, h.imageHeight(), static_cast<int>(std::min<std::int64_t>(colorBits, INT_MAX)), false};
}
}  // namespace

std::uint16_t dibPaletteCount(const BitmapHeader& header) {
    if (header.clrUsed != 0) return static_cast<std::uint16_t>(header.clrUsed & 0xFFFF);
    switch (header.bitCount) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
    }
}

std::uint16_t dibPaletteSize(const BitmapHeader& header) { return static_cast<std::uint16_t>(4u * dibPaletteCount(header)); }

std::int64_t dibRowSize(const BitmapHeader& header) {
    const std::int64_t rowBits = static_cast<std::int64_t>(header.planes) * header.width * header.bitCount;
    return ((rowBits + 31) >> 5) * 4;
}

std::optional<ImageInfo> imageHeaderInfo(ByteView data) {
    std::optional<ImageInfo> info;
    if (isPng(data)) {
        if (const auto png = readPngInfo(data)) info = ImageInfo{png->width, png->height, png->colorBits, true};
    } else if (const auto header = readBitmapHeader(data)) {
        info = bitmapInfo(*header);
    }
    if (!info || info->width <= 0 || info->height <= 0) return std::nullopt;
    return info;
}

std::uint64_t imageHeadSize(ByteView start) {
    constexpr std::uint64_t kLongestHeader = 4096;
    constexpr std::uint64_t kMaskBytes = 12;
    const auto declared = start.u32(0);
    if (isPng(start) || !declared || *declared > kLongestHeader) return kImageHeadSize;
    return std::max<std::uint64_t>(kImageHeadSize, *declared + kMaskBytes);
}

std::optional<ImageInfo> iconImageInfo(ByteView data) { return iconImageInfo(data, data.size()); }

std::optional<ImageInfo> iconImageInfo(ByteView head, std::uint64_t size) {
    if (head.size() > size) head = *head.sub(0, size);
    if (isPng(head)) return imageHeaderInfo(head);
    const auto header = readBitmapHeader(head);
    if (!header || header->isCore()) return std::nullopt;
    const ImageInfo info = bitmapInfo(*header);
    if (info.width <= 0 || info.height <= 0 || info.colorBits <= 0 || info.colorBits > 32) return std::nullopt;
    // The header, the channel masks, the colour table and the colour rows must lie in the
    // data. A single row is checked first so that the product below cannot overflow.
    const std::int64_t rowSize = dibRowSize(*header);
    if (rowSize <= 0 || static_cast<std::uint64_t>(rowSize) > size) return std::nullopt;
    const std::uint64_t rows = static_cast<std::uint64_t>(rowSize) * static_cast<std::uint64_t>(info.height);
    const std::uint64_t needed = header->tableOffset + dibPaletteSize(*header) + rows;
    if (needed > size) return std::nullopt;
    return info;
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
    std::optional<std::uint64_t> end;
    PngChunks chunks(data, PngChunks::Crc::Checked);
    while (const auto chunk = chunks.next()) {
        if (!chunk->whole) return std::nullopt;
        if (!chunk->is("IDAT")) {
            afterImageData = afterImageData || !imageData.empty();
        } else if (!afterImageData) {
            // More than the rows can need is not copied: such a stream holds something else.
            if (imageData.size() + chunk->length > imageDataSize->maxCompressed) return std::nullopt;
            imageData.insert(imageData.end(), chunk->data.data(), chunk->data.data() + chunk->data.size());
        }
        if (chunk->is("IEND")) {
            end = chunk->end;
            break;
        }
    }
    if (!end) return std::nullopt;
    // The image data must inflate to exactly the picture's rows: a stream that goes on past
    // them would cost whoever reads the copy far more than the picture.
    try {
        Bytes rows(static_cast<std::size_t>(imageDataSize->inflated));
        if (!decode::inflateExactly(imageData, rows)) return std::nullopt;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(*end);
}

std::optional<PngInfo> readPngInfo(ByteView data) {
    PngChunks chunks(data);
    const auto ihdr = chunks.next();
    // Its CRC is not needed: a reader of the size takes IHDR's 13 bytes alone.
    if (!ihdr || !ihdr->is("IHDR") || ihdr->length != kIhdrLength || ihdr->data.size() != kIhdrLength) return std::nullopt;
    const ByteView d = ihdr->data;
    const std::uint32_t width = *d.u32be(0);
    const std::uint32_t height = *d.u32be(4);
    const int bitDepth = *d.u8(8);
    const int colourType = *d.u8(9);
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
    info.bitDepth = bitDepth;
    info.colourType = colourType;
    info.compression = *d.u8(10);
    info.filterMethod = *d.u8(11);
    info.interlace = *d.u8(12);
    return info;
}

std::optional<decode::PngImageDataSize> decode::pngImageDataSize(ByteView data) {
    const auto info = checkedPngInfo(data);
    if (!info || info->interlace > 1) return std::nullopt;
    const auto interlace = info->interlace;
    const auto bitDepth = static_cast<std::uint64_t>(info->bitDepth);
    const auto channels = static_cast<std::uint64_t>(pngChannels(info->colourType));
    const auto width = static_cast<std::uint64_t>(info->width), height = static_cast<std::uint64_t>(info->height);
    auto passSize = [bitsPerPixel = bitDepth * channels](std::uint64_t w, std::uint64_t h) {
        return w == 0 ? 0 : h * (1 + (w * bitsPerPixel + 7) / 8);
    };
    PngImageDataSize size;
    if (interlace == 0) {
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
    const std::uint64_t rowFactor = width * channels * (bitDepth > 8 ? 2 : 1) + 1 + (interlace ? 6 : 0);
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
