// PNG files of decoded pictures: 8-bit RGBA, not interlaced, one IDAT chunk. The chunks
// are framed here; the image data is deflated by libdeflate, which is several times
// quicker than zlib at each level.
#include "iconmod/PngExport.h"

#include <libdeflate.h>

#include <cstdlib>
#include <memory>
#include <string_view>

#include "formats/IconDecode.h"
#include "platform/AtomicFile.h"

namespace iconmod {
namespace {

constexpr std::size_t kBytesPerPixel = 4;
constexpr std::uint8_t kFilterSub = 1;
constexpr int kFastLevel = 1;
constexpr int kSmallLevel = 9;

// Closes the chunk whose length field starts at `start` and whose type and data follow up
// to the end of `out`: sets its length and appends its CRC.
void closeChunk(formats::Bytes& out, std::size_t start) {
    const std::size_t typeAt = start + 4;
    formats::putU32be(out, start, static_cast<std::uint32_t>(out.size() - typeAt - 4));
    formats::appendU32be(out, formats::pngChunkCrc(formats::ByteView(out.data() + typeAt, out.size() - typeAt)));
}

std::size_t openChunk(formats::Bytes& out, std::string_view type) {
    const std::size_t start = out.size();
    formats::appendU32be(out, 0);
    out.insert(out.end(), type.begin(), type.end());
    return start;
}

// One row as straight 8-bit R, G, B, A.
void straightRow(const std::uint32_t* pixels, std::size_t width, std::uint8_t* out) {
    for (std::size_t x = 0; x < width; ++x, out += kBytesPerPixel) {
        const std::uint32_t p = formats::straightArgb(pixels[x]);
        out[0] = static_cast<std::uint8_t>(formats::argbRed(p));
        out[1] = static_cast<std::uint8_t>(formats::argbGreen(p));
        out[2] = static_cast<std::uint8_t>(formats::argbBlue(p));
        out[3] = static_cast<std::uint8_t>(formats::argbAlpha(p));
    }
}

std::uint8_t paethPredictor(int left, int up, int upperLeft) {
    const int pa = std::abs(up - upperLeft);
    const int pb = std::abs(left - upperLeft);
    const int pc = std::abs(left + up - 2 * upperLeft);
    if (pa <= pb && pa <= pc) return static_cast<std::uint8_t>(left);
    return static_cast<std::uint8_t>(pb <= pc ? up : upperLeft);
}

// `row` filtered by filter type `type` (0 to 4) against `above` (zeros for the first row).
void filterRow(std::uint8_t type, const std::uint8_t* row, const std::uint8_t* above, std::size_t rowBytes,
               std::uint8_t* out) {
    for (std::size_t i = 0; i < rowBytes; ++i) {
        const int left = i >= kBytesPerPixel ? row[i - kBytesPerPixel] : 0;
        const int upperLeft = i >= kBytesPerPixel ? above[i - kBytesPerPixel] : 0;
        int predicted = 0;
        switch (type) {
        case 1: predicted = left; break;
        case 2: predicted = above[i]; break;
        case 3: predicted = (left + above[i]) / 2; break;
        case 4: predicted = paethPredictor(left, above[i], upperLeft); break;
        default: break;
        }
        out[i] = static_cast<std::uint8_t>(row[i] - predicted);
    }
}

// The sum of the filtered bytes taken as signed values, the usual measure of how well a
// filter will compress.
std::uint64_t filteredCost(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += static_cast<std::uint64_t>(std::abs(static_cast<std::int8_t>(bytes[i])));
    return sum;
}

// The image data before deflating: each row as its filter type and filtered bytes. Fast
// filters every row by Sub; Small tries the five filters on each row and keeps the one
// with the smallest cost.
formats::Bytes filteredRows(const formats::ArgbImage& image, PngCompression compression) {
    const auto width = static_cast<std::size_t>(image.width);
    const auto height = static_cast<std::size_t>(image.height);
    const std::size_t rowBytes = width * kBytesPerPixel;
    formats::Bytes rows((rowBytes + 1) * height);
    formats::Bytes current(rowBytes), above(rowBytes, 0), trial(rowBytes);
    for (std::size_t y = 0; y < height; ++y) {
        straightRow(image.pixels.data() + y * width, width, current.data());
        std::uint8_t* out = rows.data() + y * (rowBytes + 1);
        if (compression == PngCompression::Fast) {
            out[0] = kFilterSub;
            filterRow(kFilterSub, current.data(), above.data(), rowBytes, out + 1);
        } else {
            std::uint64_t best = UINT64_MAX;
            for (std::uint8_t type = 0; type <= 4; ++type) {
                filterRow(type, current.data(), above.data(), rowBytes, trial.data());
                const std::uint64_t cost = filteredCost(trial.data(), rowBytes);
                if (cost < best) {
                    best = cost;
                    out[0] = type;
                    std::copy(trial.begin(), trial.end(), out + 1);
                }
            }
        }
        current.swap(above);
    }
    return rows;
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

std::optional<formats::Bytes> encodePng(const formats::ArgbImage& image, PngCompression compression) {
    if (image.isNull() ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
        return std::nullopt;
    }
    const formats::Bytes rows = filteredRows(image, compression);
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> deflater(
        libdeflate_alloc_compressor(compression == PngCompression::Fast ? kFastLevel : kSmallLevel));
    if (!deflater) return std::nullopt;

    formats::Bytes out(formats::kPngSignature.begin(), formats::kPngSignature.end());
    const std::size_t header = openChunk(out, "IHDR");
    formats::appendU32be(out, static_cast<std::uint32_t>(image.width));
    formats::appendU32be(out, static_cast<std::uint32_t>(image.height));
    out.insert(out.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, adaptive filters, no interlace
    closeChunk(out, header);

    const std::size_t data = openChunk(out, "IDAT");
    const std::size_t bound = libdeflate_zlib_compress_bound(deflater.get(), rows.size());
    const std::size_t at = out.size();
    out.resize(at + bound);
    const std::size_t packed = libdeflate_zlib_compress(deflater.get(), rows.data(), rows.size(), out.data() + at, bound);
    if (packed == 0 || packed > 0x7FFFFFFFu) return std::nullopt;
    out.resize(at + packed);
    closeChunk(out, data);

    closeChunk(out, openChunk(out, "IEND"));
    return out;
}

bool writePng(const std::string& path, const formats::ArgbImage& image) {
    const auto bytes = encodePng(image);
    return bytes && platform::AtomicFile::writeWhole(path, *bytes);
}

}  // namespace iconmod
