// Writing one icon image's colour bitmap as a BMP file.
#include <new>

#include "iconmod/Iconmod.h"
#include "formats/BitmapHeader.h"
#include "formats/IconDecode.h"
#include "platform/MessageBox.h"

namespace iconmod {
namespace {

formats::Bytes fileHeader(std::uint32_t offBits, std::uint32_t pixelBytes) {
    formats::Bytes h(14, 0);
    h[0] = 'B';
    h[1] = 'M';
    formats::putU32(h, 2, offBits + pixelBytes);
    formats::putU32(h, 10, offBits);
    return h;
}

// The colour bitmap of a bitmap image: its header (as long as it is stored) with biHeight
// set to the image's height, its channel masks and colour table, and its colour rows, all
// as stored.
bool bitmapParts(const IconImage& image, formats::Bytes* header, formats::Bytes* body) {
    const formats::ByteView data = image.view();
    const auto h = formats::readBitmapHeader(data);
    if (!h || h->isCore()) return false;
    const std::int64_t rowSize = formats::dibRowSize(*h);
    if (rowSize <= 0) return false;
    const std::uint64_t pixels = static_cast<std::uint64_t>(rowSize) * static_cast<std::uint64_t>(image.Height);
    const std::uint64_t length = h->tableOffset + formats::dibPaletteSize(*h) + pixels;
    const auto part = data.sub(0, length);
    if (!part) return false;
    *body = part->toBytes();
    formats::putU32(*body, 8, static_cast<std::uint32_t>(image.Height));
    *header = fileHeader(static_cast<std::uint32_t>(14 + length - pixels), static_cast<std::uint32_t>(pixels));
    return true;
}

// A PNG image as a 32-bit bitmap with its alpha in the fourth byte, bottom row first.
bool pngParts(const IconImage& image, formats::Bytes* header, formats::Bytes* body) {
    const auto picture = formats::decodeIconImage(image.view());
    if (!picture) return false;
    const auto w = static_cast<std::uint32_t>(picture->width);
    const auto h = static_cast<std::uint32_t>(picture->height);
    body->assign(40 + 4ull * w * h, 0);
    formats::putU32(*body, 0, 40);
    formats::putU32(*body, 4, w);
    formats::putU32(*body, 8, h);
    formats::putU16(*body, 12, 1);
    formats::putU16(*body, 14, 32);
    formats::putU32(*body, 20, 4 * w * h);
    std::size_t at = 40;
    for (int y = picture->height - 1; y >= 0; --y) {
        for (int x = 0; x < picture->width; ++x) {
            // Stored straight (not premultiplied), as bitmaps with alpha are.
            const std::uint32_t p = formats::straightArgb(picture->pixel(x, y));
            (*body)[at++] = static_cast<std::uint8_t>(formats::argbBlue(p));
            (*body)[at++] = static_cast<std::uint8_t>(formats::argbGreen(p));
            (*body)[at++] = static_cast<std::uint8_t>(formats::argbRed(p));
            (*body)[at++] = static_cast<std::uint8_t>(formats::argbAlpha(p));
        }
    }
    *header = fileHeader(54, 4 * w * h);
    return true;
}

}  // namespace

bool QIconMod::fnSaveBmp(const std::string& path, const IconImage& image) {
    formats::Bytes header, body;
    bool made = false;
    try {
        made = image.IsPng ? pngParts(image, &header, &body) : bitmapParts(image, &header, &body);
    } catch (const std::bad_alloc&) {
        made = false;  // reported as a failed save
    }
    platform::AtomicFile file;
    if (!file.create(path)) {
        tell(text::kBmpCreateFailed, path);
        return false;
    }
    if (!made || !file.write(header) || !file.write(body) || !file.commit()) {
        tell(text::kBmpSaveFailed, path);
        return false;
    }
    return true;
}

}  // namespace iconmod
