// The direct path for the PNG images nearly every icon holds: 8-bit RGBA, not interlaced.
// The image data is inflated in one call to libdeflate (three times quicker than zlib
// through libpng) and the rows are unfiltered here, each turned into premultiplied ARGB
// while it is still in the cache.
//
// The path takes only files libpng reads the same way and gives up on anything else,
// leaving it to libpng: IHDR first; then ancillary chunks, which play no part in these
// pixels; one run of IDAT chunks, ended by another chunk or by the end of the data; no
// other critical chunk before it. CRCs are not checked, as libpng is told not to. The zlib
// stream must be whole with its checksum and inflate to exactly the rows, and every filter
// byte must be one of the five: libpng tolerates less (a missing checksum, extra data),
// and gets those files. libdeflate writes into a buffer of exactly the rows and stops when
// the stream holds more (LIBDEFLATE_INSUFFICIENT_SPACE), so a stream that goes on past the
// rows costs the rows, and libpng, which also stops at the last row, then reads the image.
// One difference remains, in the other direction: libdeflate, for speed and safely,
// decodes some deflate data that zlib refuses as invalid (reserved code symbols, for one).
// No encoder writes such data; such an image is drawn from what libdeflate makes of it.
#include <libdeflate.h>

#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "formats/IconDecodeParts.h"
#include "formats/PngChunks.h"

namespace formats::decode {

namespace {

// libpng refuses ancillary chunks above a size of its own configuration (8 MB by
// default); far below that, none is left to it by mistake.
constexpr std::uint32_t kMaxAncillaryChunk = 1u << 20;
constexpr int kBytesPerPixel = 4;

// The IDAT chunks' data, joined; nullopt when the chunk layout is not one this path takes.
// More data than libpng expects for the rows is left to libpng, so that nothing here copies
// more than the picture can need.
std::optional<Bytes> joinedImageData(ByteView data, std::uint64_t maxCompressed) {
    Bytes joined;
    bool inRun = false;
    bool first = true;
    PngChunks chunks(data);
    while (const auto chunk = chunks.next()) {
        const bool isIdat = chunk->is("IDAT");
        if (inRun && !isIdat) return joined;
        if (first ? !chunk->is("IHDR") : chunk->critical() && !isIdat) return std::nullopt;
        if (!chunk->whole) return std::nullopt;
        if (isIdat) {
            if (joined.size() + chunk->length > maxCompressed) return std::nullopt;
            joined.insert(joined.end(), chunk->data.data(), chunk->data.data() + chunk->data.size());
            inRun = true;
        } else if (!first && chunk->length > kMaxAncillaryChunk) {
            return std::nullopt;
        }
        first = false;
    }
    if (!inRun || chunks.stopped() != PngChunks::Stop::End) return std::nullopt;
    return joined;
}

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

// Rows are unfiltered 4 channels at a time in 16-bit lanes (vector extensions of GCC and
// clang: SSE2 on x86-64, NEON on ARM). A pixel fills the low half of a 16-byte vector,
// which compiles to plainer code than an 8-byte one.
using Lanes = std::int16_t __attribute__((vector_size(16)));
using Pixel = std::uint8_t __attribute__((vector_size(8)));

Lanes loadPixel(const std::uint8_t* p) {
    Pixel bytes = {};
    std::memcpy(&bytes, p, kBytesPerPixel);
    return __builtin_convertvector(bytes, Lanes);
}

void storePixel(std::uint8_t* p, Lanes value) {
    const Pixel bytes = __builtin_convertvector(value, Pixel);
    std::memcpy(p, &bytes, kBytesPerPixel);
}

Lanes choose(Lanes mask, Lanes ifSet, Lanes ifClear) { return (ifSet & mask) | (ifClear & ~mask); }

// Paeth: each byte was predicted by whichever of left, up and upper-left lies nearest to
// left + up - upper-left (ties in that order). With lo and hi the smaller and larger of left
// and up, and t = 3 x upper-left - left - up, that is hi when t <= lo, else lo when
// hi <= t, else upper-left: the same choice with a short chain of work from one pixel to
// the next, which is what bounds this loop.
void unpaeth(std::uint8_t* row, const std::uint8_t* above, std::size_t rowBytes) {
    Lanes left = {};
    Lanes upperLeft = {};
    for (std::size_t x = 0; x < rowBytes; x += kBytesPerPixel) {
        const Lanes up = loadPixel(above + x);
        const Lanes t = upperLeft + upperLeft + upperLeft - up - left;
        const Lanes leftSmaller = left < up;
        const Lanes lo = choose(leftSmaller, left, up);
        const Lanes hi = choose(leftSmaller, up, left);
        const Lanes predicted = choose(t <= lo, hi, choose(hi <= t, lo, upperLeft));
        left = (loadPixel(row + x) + predicted) & 0xFF;
        storePixel(row + x, left);
        upperLeft = up;
    }
}

// Undoes one row's filter in place; `above` is the previous row, unfiltered (zeros for
// the first). False for a filter type that does not exist.
bool unfilterRow(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* above, std::size_t rowBytes) {
    switch (filter) {
    case 0: return true;
    case 1:
        for (std::size_t x = kBytesPerPixel; x < rowBytes; ++x) row[x] = static_cast<std::uint8_t>(row[x] + row[x - kBytesPerPixel]);
        return true;
    case 2:
        for (std::size_t x = 0; x < rowBytes; ++x) row[x] = static_cast<std::uint8_t>(row[x] + above[x]);
        return true;
    case 3:
        for (std::size_t x = 0; x < rowBytes; ++x) {
            const unsigned left = x >= kBytesPerPixel ? row[x - kBytesPerPixel] : 0u;
            row[x] = static_cast<std::uint8_t>(row[x] + ((left + above[x]) >> 1));
        }
        return true;
    case 4: unpaeth(row, above, rowBytes); return true;
    default: return false;
    }
}

}  // namespace

bool inflateExactly(ByteView zlibStream, Bytes& out) {
    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> inflater(libdeflate_alloc_decompressor());
    return inflater && libdeflate_zlib_decompress(inflater.get(), zlibStream.data(), zlibStream.size(), out.data(),
                                                  out.size(), nullptr) == LIBDEFLATE_SUCCESS;
}

std::optional<RgbaImageData> rgbaImageData(ByteView data) {
    const auto info = checkedPngInfo(data);
    if (!info) return std::nullopt;
    // IHDR: 8-bit RGBA, compression, filter and interlace methods 0.
    if (info->bitDepth != 8 || info->colourType != 6 || info->compression != 0 || info->filterMethod != 0 ||
        info->interlace != 0)
        return std::nullopt;
    const auto size = pngImageDataSize(data);
    auto compressed = size ? joinedImageData(data, size->maxCompressed) : std::nullopt;
    if (!compressed) return std::nullopt;
    return RgbaImageData{*info, std::move(*compressed), static_cast<std::size_t>(size->inflated)};
}

std::optional<ArgbImage> decodeRgbaPng(ByteView data) {
    const auto plain = rgbaImageData(data);
    if (!plain) return std::nullopt;
    const auto width = static_cast<std::size_t>(plain->info.width);
    const auto height = static_cast<std::size_t>(plain->info.height);
    const std::size_t rowBytes = width * kBytesPerPixel;
    const std::size_t stride = rowBytes + 1;  // each row starts with its filter type
    Bytes rows(plain->rowsSize);
    if (!inflateExactly(plain->compressed, rows)) return std::nullopt;

    ArgbImage image(plain->info.width, plain->info.height);
    const Bytes zeros(rowBytes, 0);
    const std::uint8_t* above = zeros.data();
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = rows.data() + y * stride + 1;
        if (!unfilterRow(row[-1], row, above, rowBytes)) return std::nullopt;
        premultiplyRow(row, width, ChannelOrder::Rgba, image.pixels.data() + y * width);
        above = row;
    }
    return image;
}

}  // namespace formats::decode
