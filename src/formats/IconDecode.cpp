// Recognising PNG images, reading their IHDR, and choosing the decoder for an icon image.
#include "formats/IconDecode.h"

#include <zlib.h>

#include <cstdint>
#include <new>

#include "formats/IconDecodeParts.h"

namespace formats {

namespace {
constexpr std::string_view kPngSignature("\x89PNG\r\n\x1A\n", 8);
constexpr std::uint32_t kIhdrLength = 13;
constexpr std::uint64_t kIhdrDataAt = 16;  // signature, chunk length, chunk type
constexpr std::uint32_t kMaxPngSide = 0x7FFFFFFF;
}  // namespace

bool isPng(ByteView data) { return data.startsWith(kPngSignature); }

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
        const auto computed = ::crc32(::crc32(0L, Z_NULL, 0), typeAndData->data(), static_cast<uInt>(typeAndData->size()));
        if (computed != *crc) return std::nullopt;
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
