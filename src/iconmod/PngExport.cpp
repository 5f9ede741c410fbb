#include "iconmod/PngExport.h"

#include <png.h>

#include <csetjmp>
#include <vector>

#include "platform/AtomicFile.h"

namespace iconmod {
namespace {

void appendData(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<formats::Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void noFlush(png_structp) {}

void quietWarning(png_structp, png_const_charp) {}

[[noreturn]] void jumpOnError(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// The rows, built before libpng is entered so that an error jump skips no destructor
// that matters.
std::vector<png_byte> rgbaRows(const formats::ArgbImage& image) {
    std::vector<png_byte> rows;
    rows.reserve(image.pixels.size() * 4);
    for (std::uint32_t premultiplied : image.pixels) {
        const std::uint32_t p = formats::straightArgb(premultiplied);
        rows.push_back(static_cast<png_byte>(formats::argbRed(p)));
        rows.push_back(static_cast<png_byte>(formats::argbGreen(p)));
        rows.push_back(static_cast<png_byte>(formats::argbBlue(p)));
        rows.push_back(static_cast<png_byte>(formats::argbAlpha(p)));
    }
    return rows;
}

bool encodeInto(const std::vector<png_byte>& rows, int width, int height, PngCompression compression,
                formats::Bytes* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, jumpOnError, quietWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendData, noFlush);
    if (compression == PngCompression::Fast) {
        // Choosing a filter per row costs more than deflating the row at the fastest level.
        png_set_compression_level(png, 1);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y)
        png_write_row(png, rows.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width) * 4);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

std::optional<formats::Bytes> encodePng(const formats::ArgbImage& image, PngCompression compression) {
    if (image.isNull() ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
        return std::nullopt;
    }
    const std::vector<png_byte> rows = rgbaRows(image);
    formats::Bytes out;
    if (!encodeInto(rows, image.width, image.height, compression, &out)) return std::nullopt;
    return out;
}

bool writePng(const std::string& path, const formats::ArgbImage& image) {
    const auto bytes = encodePng(image);
    return bytes && platform::AtomicFile::writeWhole(path, *bytes);
}

}  // namespace iconmod
