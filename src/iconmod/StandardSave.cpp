#include "iconmod/StandardSave.h"

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <limits>
#include <new>

#include <jpeglib.h>

#include "platform/AtomicFile.h"
#include "formats/ByteView.h"

namespace iconmod {

using formats::Bytes;

namespace {

// A picture whose pixel buffer matches its size.
bool isUsable(const formats::ArgbImage& image) {
    return !image.isNull() &&
           image.pixels.size() == static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height);
}

constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kIconDirSize = 6 + 16;
constexpr std::uint32_t kPaletteBytes = 16 * 4;
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr int kMaxIconSide = 256;

// Bytes per row of a bitmap of `width` pixels at `bits` per pixel, padded to 4 bytes.
std::uint64_t rowStride(int width, int bits) {
    return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bits) + 31) / 32 * 4;
}

void writeInfoHeader(Bytes& out, int width, std::int32_t heightField, int bits, std::uint32_t sizeImage,
                     std::uint32_t clrUsed) {
    formats::appendU32(out, kInfoHeaderSize);
    formats::appendU32(out, static_cast<std::uint32_t>(width));
    formats::appendU32(out, static_cast<std::uint32_t>(heightField));
    formats::appendU16(out, 1);  // planes
    formats::appendU16(out, static_cast<std::uint16_t>(bits));
    formats::appendU32(out, 0);  // no compression
    formats::appendU32(out, sizeImage);
    formats::appendU32(out, 0);  // horizontal resolution
    formats::appendU32(out, 0);  // vertical resolution
    formats::appendU32(out, clrUsed);
    formats::appendU32(out, 0);  // important colours
}

}  // namespace

int nearestStandardIndex(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    int best = 0;
    int bestDistance = std::numeric_limits<int>::max();
    for (int i = 0; i < static_cast<int>(kStandardPalette.size()); ++i) {
        const std::uint32_t c = kStandardPalette[static_cast<std::size_t>(i)];
        const int dr = static_cast<int>((c >> 16) & 0xFF) - r;
        const int dg = static_cast<int>((c >> 8) & 0xFF) - g;
        const int db = static_cast<int>(c & 0xFF) - b;
        const int distance = dr * dr + dg * dg + db * db;
        if (distance < bestDistance) {
            best = i;
            bestDistance = distance;
            if (distance == 0) break;
        }
    }
    return best;
}

StandardPaletteImage toStandardPalette(const formats::ArgbImage& image) {
    StandardPaletteImage out;
    if (!isUsable(image)) return out;
    out.width = image.width;
    out.height = image.height;
    out.indices.resize(image.pixels.size(), 0);
    out.transparent.resize(image.pixels.size(), 0);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const std::uint32_t p = formats::straightArgb(image.pixels[i]);
        if (formats::argbAlpha(p) < kStandardOpaqueAlpha) {
            out.transparent[i] = 1;
            continue;
        }
        out.indices[i] = static_cast<std::uint8_t>(nearestStandardIndex(
            static_cast<std::uint8_t>(formats::argbRed(p)), static_cast<std::uint8_t>(formats::argbGreen(p)),
            static_cast<std::uint8_t>(formats::argbBlue(p))));
    }
    return out;
}

std::optional<Bytes> encodeStandardIco(const formats::ArgbImage& image) {
    if (!isUsable(image) || image.width > kMaxIconSide || image.height > kMaxIconSide) return std::nullopt;
    const StandardPaletteImage reduced = toStandardPalette(image);
    const int w = reduced.width;
    const int h = reduced.height;
    const auto colourStride = static_cast<std::uint32_t>(rowStride(w, 4));
    const auto maskStride = static_cast<std::uint32_t>(rowStride(w, 1));
    const std::uint32_t colourBytes = colourStride * static_cast<std::uint32_t>(h);
    const std::uint32_t maskBytes = maskStride * static_cast<std::uint32_t>(h);
    const std::uint32_t imageBytes = kInfoHeaderSize + kPaletteBytes + colourBytes + maskBytes;

    Bytes out;
    out.reserve(kIconDirSize + imageBytes);
    // Directory: one icon image. The byte after width and height carries planes x bits of
    // the colour image (4); planes and bit count of the entry are left 0.
    formats::appendU16(out, 0);
    formats::appendU16(out, 1);
    formats::appendU16(out, 1);
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(w) & 0xFF));  // 256 is stored as 0
    out.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(h) & 0xFF));
    out.push_back(static_cast<std::uint8_t>(4));
    out.push_back(static_cast<std::uint8_t>(0));
    formats::appendU16(out, 0);
    formats::appendU16(out, 0);
    formats::appendU32(out, imageBytes);
    formats::appendU32(out, kIconDirSize);

    writeInfoHeader(out, w, 2 * h, 4, colourBytes, 16);
    for (std::uint32_t c : kStandardPalette) {
        out.push_back(static_cast<std::uint8_t>(c & 0xFF));
        out.push_back(static_cast<std::uint8_t>((c >> 8) & 0xFF));
        out.push_back(static_cast<std::uint8_t>((c >> 16) & 0xFF));
        out.push_back(static_cast<std::uint8_t>(0));
    }

    auto at = [w](int x, int y) { return static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x); };
    // Colour rows, bottom row first: two pixels a byte, the left one in the high nibble.
    for (int y = h - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        out.resize(rowStart + colourStride, 0);
        for (int x = 0; x < w; ++x) {
            const std::uint8_t index = reduced.indices[at(x, y)];
            out[rowStart + static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>(x % 2 == 0 ? index << 4 : index);
        }
    }
    // Mask rows, bottom row first: one bit a pixel, the leftmost in the top bit; 1 = transparent.
    for (int y = h - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        out.resize(rowStart + maskStride, 0);
        for (int x = 0; x < w; ++x) {
            if (reduced.transparent[at(x, y)])
                out[rowStart + static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80u >> (x % 8));
        }
    }
    return out;
}

std::optional<Bytes> encodeBmp24(const formats::ArgbImage& image) {
    if (!isUsable(image)) return std::nullopt;
    const std::uint64_t stride = rowStride(image.width, 24);
    const std::uint64_t pixelBytes = stride * static_cast<std::uint64_t>(image.height);
    const std::uint64_t fileSize = kFileHeaderSize + kInfoHeaderSize + pixelBytes;
    if (fileSize > std::numeric_limits<std::uint32_t>::max() || image.height > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;

    const formats::ArgbImage white = formats::overWhite(image);
    Bytes out;
    out.reserve(static_cast<std::size_t>(fileSize));
    out.push_back(static_cast<std::uint8_t>('B'));
    out.push_back(static_cast<std::uint8_t>('M'));
    formats::appendU32(out, static_cast<std::uint32_t>(fileSize));
    formats::appendU16(out, 0);
    formats::appendU16(out, 0);
    formats::appendU32(out, kFileHeaderSize + kInfoHeaderSize);
    writeInfoHeader(out, white.width, white.height, 24, static_cast<std::uint32_t>(pixelBytes), 0);
    // Rows bottom first, pixels as blue, green, red, each row padded with zeros.
    for (int y = white.height - 1; y >= 0; --y) {
        const std::size_t rowStart = out.size();
        for (int x = 0; x < white.width; ++x) {
            const std::uint32_t p = white.pixel(x, y);
            out.push_back(static_cast<std::uint8_t>(formats::argbBlue(p)));
            out.push_back(static_cast<std::uint8_t>(formats::argbGreen(p)));
            out.push_back(static_cast<std::uint8_t>(formats::argbRed(p)));
        }
        out.resize(rowStart + static_cast<std::size_t>(stride), 0);
    }
    return out;
}

namespace {

constexpr int kJpegQuality = 90;
constexpr std::size_t kJpegChunk = 4096;

// The encoder's state, kept outside the frame that calls setjmp so that nothing it holds
// is a local changed between setjmp and a jump. The callbacks reach it through
// client_data: the jump target for errors and the output, filled one chunk at a time.
struct JpegContext {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    jpeg_destination_mgr dest{};
    std::jmp_buf jump;
    Bytes* out = nullptr;
    JOCTET chunk[kJpegChunk];
};

template <class Info>
JpegContext& contextOf(Info* info) {
    return *static_cast<JpegContext*>(info->client_data);
}

// libjpeg's default error handler ends the process; ours returns to the encoder's caller.
[[noreturn]] void jumpOnError(j_common_ptr info) { std::longjmp(contextOf(info).jump, 1); }
void ignoreMessage(j_common_ptr) {}

void startChunk(j_compress_ptr info) {
    JpegContext& ctx = contextOf(info);
    info->dest->next_output_byte = ctx.chunk;
    info->dest->free_in_buffer = kJpegChunk;
}

// Appends the first `count` bytes of the chunk to the output; false when memory runs out.
bool keepChunk(JpegContext& ctx, std::size_t count) {
    try {
        ctx.out->insert(ctx.out->end(), ctx.chunk, ctx.chunk + count);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

boolean chunkFull(j_compress_ptr info) {
    JpegContext& ctx = contextOf(info);
    if (!keepChunk(ctx, kJpegChunk)) std::longjmp(ctx.jump, 1);
    startChunk(info);
    return TRUE;
}

void lastChunk(j_compress_ptr info) {
    JpegContext& ctx = contextOf(info);
    if (!keepChunk(ctx, kJpegChunk - info->dest->free_in_buffer)) std::longjmp(ctx.jump, 1);
}

// Encodes `rgb` (3 bytes a pixel, rows top first) into ctx.out. No object with a destructor
// lives in this frame or in the callbacks at a jump, so an encoder error that jumps back here
// skips none; jpeg_destroy_compress then frees everything libjpeg holds.
bool compressRgb(const JSAMPLE* rgb, JDIMENSION width, JDIMENSION height, JpegContext& ctx) {
    jpeg_compress_struct& info = ctx.info;
    info.err = jpeg_std_error(&ctx.errors);
    ctx.errors.error_exit = jumpOnError;
    ctx.errors.output_message = ignoreMessage;
    info.client_data = &ctx;
    if (setjmp(ctx.jump) != 0) {
        jpeg_destroy_compress(&ctx.info);
        return false;
    }
    jpeg_create_compress(&info);
    ctx.dest.init_destination = startChunk;
    ctx.dest.empty_output_buffer = chunkFull;
    ctx.dest.term_destination = lastChunk;
    info.dest = &ctx.dest;

    info.image_width = width;
    info.image_height = height;
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, kJpegQuality, TRUE);  // baseline quantisation tables
    info.dct_method = JDCT_FLOAT;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPLE*>(rgb + static_cast<std::size_t>(info.next_scanline) * width * 3);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

}  // namespace

std::optional<Bytes> encodeJpeg(const formats::ArgbImage& image) {
    // Sides beyond what JPEG can hold are refused by the encoder itself (an error exit).
    if (!isUsable(image)) return std::nullopt;
    const formats::ArgbImage white = formats::overWhite(image);
    std::vector<JSAMPLE> rgb;
    rgb.reserve(white.pixels.size() * 3);
    for (std::uint32_t p : white.pixels) {
        rgb.push_back(static_cast<JSAMPLE>(formats::argbRed(p)));
        rgb.push_back(static_cast<JSAMPLE>(formats::argbGreen(p)));
        rgb.push_back(static_cast<JSAMPLE>(formats::argbBlue(p)));
    }
    Bytes out;
    JpegContext ctx;
    ctx.out = &out;
    if (!compressRgb(rgb.data(), static_cast<JDIMENSION>(white.width), static_cast<JDIMENSION>(white.height), ctx))
        return std::nullopt;
    return out;
}

namespace {

bool writeEncoded(const std::string& path, const std::optional<Bytes>& bytes) {
    return bytes && platform::AtomicFile::writeWhole(path, formats::ByteView(*bytes));
}

}  // namespace

bool writeStandardIco(const std::string& path, const formats::ArgbImage& image) {
    return writeEncoded(path, encodeStandardIco(image));
}

bool writeWhiteBmp(const std::string& path, const formats::ArgbImage& image) {
    return writeEncoded(path, encodeBmp24(image));
}

bool writeWhiteJpeg(const std::string& path, const formats::ArgbImage& image) {
    return writeEncoded(path, encodeJpeg(image));
}

}  // namespace iconmod
