// PNG icon images, read from memory. 8-bit RGBA images go the direct way
// (PngRgbaDecode.cpp); the rest, and any the direct way gives up on, through libpng,
// expanded to 8-bit RGBA: palette, gray and low bit depths expanded, tRNS turned into
// alpha, 16-bit channels cut to 8 bits.
//
// libpng reports errors by longjmp. Everything with a destructor lives in
// decodePngThroughLibpng's frame;
// the only function that calls setjmp (readPixels) holds nothing that a jump could skip,
// and that function destroys libpng's structures on every path. Warnings are dropped and
// errors only end the decoding: nothing is printed. Chunk CRC errors are ignored, as the
// system's own PNG icon loader does.
#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include "formats/IconDecode.h"
#include "formats/IconDecodeParts.h"

namespace formats::decode {

namespace {

// Deflate turns a compressed bit pair into at most 258 bytes: no valid PNG holds more than
// about 1032 bytes of pixel data per byte of the file. A larger claim is refused before
// anything is allocated for it.
constexpr std::uint64_t kMaxInflateRatio = 1032;
constexpr std::uint64_t kInflateSlack = 4096;
// Ancillary chunks that allocate or inflate and play no part in the pixels.
constexpr png_byte kIgnoredChunks[] = {'i', 'C', 'C', 'P', 0, 'i', 'T', 'X', 't', 0, 't', 'E', 'X', 't', 0,
                                       'z', 'T', 'X', 't', 0, 's', 'P', 'L', 'T', 0, 'e', 'X', 'I', 'f', 0};

struct MemoryReader {
    ByteView data;
    std::uint64_t position = 0;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
    const auto bytes = reader->data.sub(reader->position, length);
    if (!bytes) png_error(png, "truncated");
    std::memcpy(out, bytes->data(), length);
    reader->position += length;
}

[[noreturn]] void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

// Reads the whole image as RGBA rows into `rgba` (resized here). False on any libpng error.
bool readPixels(png_structp png, png_infop info, const PngInfo& expected, std::vector<png_byte>& rgba,
                std::vector<png_bytep>& rowPointers) {
    if (setjmp(png_jmpbuf(png))) return false;

    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    png_set_user_limits(png, static_cast<png_uint_32>(kMaxImageSide), static_cast<png_uint_32>(kMaxImageSide));
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks,
                                static_cast<int>(sizeof(kIgnoredChunks) / 5));
    png_read_info(png, info);

    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width != static_cast<png_uint_32>(expected.width) || height != static_cast<png_uint_32>(expected.height))
        return false;

    const int colourType = png_get_color_type(png, info);
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !hasTrns) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const std::size_t rowBytes = png_get_rowbytes(png, info);
    if (png_get_channels(png, info) != 4 || png_get_bit_depth(png, info) != 8 || rowBytes != std::size_t{width} * 4)
        return false;

    rgba.resize(rowBytes * height);
    rowPointers.resize(height);
    for (png_uint_32 y = 0; y < height; ++y) rowPointers[y] = rgba.data() + std::size_t{y} * rowBytes;
    png_read_image(png, rowPointers.data());
    return true;
}

}  // namespace

std::optional<PngInfo> checkedPngInfo(ByteView data) {
    const auto info = readPngInfo(data);
    if (!info || info->width > kMaxImageSide || info->height > kMaxImageSide) return std::nullopt;
    const auto pixelCount = static_cast<std::uint64_t>(info->width) * static_cast<std::uint64_t>(info->height);
    const std::uint64_t storedBits = pixelCount * static_cast<std::uint64_t>(info->colorBits);
    if (storedBits / 8 > kMaxInflateRatio * data.size() + kInflateSlack) return std::nullopt;
    return info;
}

std::optional<ArgbImage> decodePng(ByteView data) {
    if (auto image = decodeRgbaPng(data)) return image;
    return decodePngThroughLibpng(data);
}

std::optional<ArgbImage> decodePngThroughLibpng(ByteView data) {
    const auto info = checkedPngInfo(data);
    if (!info) return std::nullopt;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png) return std::nullopt;
    png_infop pngInfo = png_create_info_struct(png);
    if (!pngInfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return std::nullopt;
    }
    MemoryReader reader{data, 0};
    png_set_read_fn(png, &reader, readFromMemory);

    std::vector<png_byte> rgba;
    std::vector<png_bytep> rowPointers;
    bool ok = false;
    try {
        ok = readPixels(png, pngInfo, *info, rgba, rowPointers);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    if (!ok) return std::nullopt;

    ArgbImage image(info->width, info->height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const png_byte* p = rgba.data() + i * 4;
        image.pixels[i] = premultiplied(p[3], p[0], p[1], p[2]);
    }
    return image;
}

}  // namespace formats::decode
