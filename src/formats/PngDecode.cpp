// PNG icon images, read from memory. 8-bit RGBA images go the direct way
// (PngRgbaDecode.cpp); the rest, and any the direct way gives up on, through libpng,
// expanded to 8-bit RGBA: palette, gray and low bit depths expanded, tRNS turned into
// alpha, 16-bit channels cut to 8 bits.
//
// libpng reports errors by longjmp. Everything with a destructor lives in
// decodePngThroughLibpng's frame, which destroys libpng's structures on every path; the
// only function that calls setjmp (readPixels) and the callbacks libpng calls hold nothing
// that a jump could skip. Warnings are dropped and errors only end the decoding: nothing
// is printed. Chunk CRC errors are ignored, as the system's own PNG icon loader does.
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <new>
#include <vector>

#include "formats/IconDecode.h"
#include "formats/IconDecodeParts.h"
#include "formats/PngChunks.h"

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

// libpng is handed the data a piece at a time (its progressive reader): a chunk whole, the
// image data in slices. Once the picture's last row has come nothing more is handed: the
// rest of the deflate stream, its checksum and whatever follows the rows are never
// inflated, so a stream that goes on for gigabytes past the rows costs no more than the
// picture (libpng's reader of whole files inflates the stream to its end after the last
// row), and data cut short after the last row still gives the whole picture. Chunks other
// than image data go whole: libpng gathers a chunk handed in pieces by copying all it holds
// at each piece.
constexpr std::uint64_t kImageDataSlice = 8192;

// What the reader's callbacks fill: the picture's RGBA rows as they come.
struct Progress {
    PngInfo expected;
    png_bytep rgba = nullptr;  // expected.width x expected.height x 4 bytes
    int lastPass = 0;
    bool complete = false;
};

[[noreturn]] void onError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void onWarning(png_structp, png_const_charp) {}

// IHDR and the chunks before the image data are read: the expansions to 8-bit RGBA are set.
void onInfo(png_structp png, png_infop info) {
    auto* progress = static_cast<Progress*>(png_get_progressive_ptr(png));
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width != static_cast<png_uint_32>(progress->expected.width) ||
        height != static_cast<png_uint_32>(progress->expected.height))
        png_error(png, "size");

    const int colourType = png_get_color_type(png, info);
    const bool hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_expand(png);
    png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    if ((colourType & PNG_COLOR_MASK_ALPHA) == 0 && !hasTrns) png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    progress->lastPass = png_set_interlace_handling(png) - 1;
    png_read_update_info(png, info);
    if (png_get_channels(png, info) != 4 || png_get_bit_depth(png, info) != 8 ||
        png_get_rowbytes(png, info) != std::size_t{width} * 4)
        png_error(png, "layout");
}

// One row of one pass, expanded to the picture's width; with interlace handling every
// pass calls this for every row (without data where the pass has none there), the last
// pass last, so the picture is complete at the last pass's last row. A pass's pixels also
// fill the places of later passes until those come, which leaves every pixel with its own
// pass's value in the end.
void onRow(png_structp png, png_bytep row, png_uint_32 y, int pass) {
    auto* progress = static_cast<Progress*>(png_get_progressive_ptr(png));
    const auto height = static_cast<png_uint_32>(progress->expected.height);
    if (y >= height) return;
    if (row) png_progressive_combine_row(png, progress->rgba + std::size_t{y} * progress->expected.width * 4, row);
    if (pass == progress->lastPass && y + 1 == height) progress->complete = true;
}

void hand(png_structp png, png_infop info, ByteView piece, std::uint64_t& handed) {
    handed += piece.size();
    // libpng only reads the bytes; its interface takes them as modifiable.
    png_process_data(png, info, const_cast<png_bytep>(piece.data()), piece.size());
}

// Hands libpng the data until the picture is complete. False on any libpng error, or when
// the data ends first.
bool readPixels(png_structp png, png_infop info, ByteView data, Progress& progress, std::uint64_t& handed) {
    if (setjmp(png_jmpbuf(png))) return false;

    png_set_crc_action(png, PNG_CRC_QUIET_USE, PNG_CRC_QUIET_USE);
    png_set_user_limits(png, static_cast<png_uint_32>(kMaxImageSide), static_cast<png_uint_32>(kMaxImageSide));
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks,
                                static_cast<int>(sizeof(kIgnoredChunks) / 5));
    png_set_progressive_read_fn(png, &progress, onInfo, onRow, nullptr);
    hand(png, info, *data.sub(0, kPngSignature.size()), handed);
    // A chunk that runs past the data is handed as far as it goes; libpng then waits for
    // the rest. The walk stops at anything that is no chunk, which libpng would refuse.
    PngChunks chunks(data);
    while (!progress.complete) {
        const auto chunk = chunks.next();
        if (!chunk) break;
        const std::uint64_t step = chunk->is("IDAT") ? kImageDataSlice : chunk->end - chunk->offset;
        for (std::uint64_t from = chunk->offset; from < chunk->end && !progress.complete; from += step)
            hand(png, info, *data.sub(from, std::min(step, chunk->end - from)), handed);
    }
    return progress.complete;
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

std::optional<ArgbImage> decodePngThroughLibpng(ByteView data, std::uint64_t* handed) {
    const auto info = checkedPngInfo(data);
    if (!info) return std::nullopt;

    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png) return std::nullopt;
    png_infop pngInfo = png_create_info_struct(png);
    if (!pngInfo) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return std::nullopt;
    }

    std::vector<png_byte> rgba;
    std::uint64_t handedHere = 0;
    bool ok = false;
    try {
        rgba.resize(static_cast<std::size_t>(info->width) * static_cast<std::size_t>(info->height) * 4);
        Progress progress{*info, rgba.data()};
        ok = readPixels(png, pngInfo, data, progress, handedHere);
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    png_destroy_read_struct(&png, &pngInfo, nullptr);
    if (handed) *handed = handedHere;
    if (!ok) return std::nullopt;

    ArgbImage image(info->width, info->height);
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
        const png_byte* p = rgba.data() + i * 4;
        image.pixels[i] = premultiplied(p[3], p[0], p[1], p[2]);
    }
    return image;
}

}  // namespace formats::decode
