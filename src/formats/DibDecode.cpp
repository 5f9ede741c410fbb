// Icon bitmaps: a header (read by readBitmapHeader: 40 bytes or longer, or a 12-byte core
// header), the colour table, the colour (XOR) rows and the 1-bit AND mask rows, both stored
// bottom row first. The header's height counts both halves, so the image is half as tall.
//
// What is refused: header sizes other than 12 and 40 or more (or longer than the data), a
// width or height of 0 or above kMaxImageSide, a negative (top-down) height (icon images
// are always stored bottom-up), depths other than 1, 4, 8, 16, 24 and 32, and every
// compression but BI_RGB and BI_BITFIELDS (the latter for 16 and 32 bits only). The planes
// field is not looked at. The header, colour table and colour rows must lie inside the data;
// the AND mask is used only when it lies wholly inside too, otherwise the image is opaque.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

#include "formats/BitmapHeader.h"
#include "formats/IconDecodeParts.h"

namespace formats::decode {

namespace {

constexpr std::uint64_t kMaxTableEntries = 256;

// A colour field of a 16-, 24- or 32-bit pixel: its lowest bit and its width in bits.
struct Field {
    int shift = 0;
    int length = 0;
};

Field fieldOf(std::uint32_t mask) {
    if (mask == 0) return {};
    const int low = std::countr_zero(mask);
    const int high = 31 - std::countl_zero(mask);
    return {low, high - low + 1};
}

// An n-bit channel widened to 8 bits: left-aligned, with its top bits repeated below it
// once (5 bits: v * 8 + v / 4). A field wider than 8 bits keeps its top 8 bits.
std::uint32_t channel(std::uint32_t pixel, Field f) {
    if (f.length == 0) return 0;
    if (f.length >= 8) return (pixel >> (f.shift + f.length - 8)) & 0xFF;
    const std::uint32_t v = (pixel >> f.shift) & ((1u << f.length) - 1);
    const std::uint32_t left = v << (8 - f.length);
    return left | (left >> f.length);
}

struct DibLayout {
    int width = 0;
    int height = 0;
    int bitCount = 0;
    Field red, green, blue;       // 16, 24 and 32 bits
    bool alphaByte = false;       // 32 bits: the top byte is free for alpha
    std::uint64_t tableOffset = 0;
    std::uint64_t tableEntries = 0;
    std::uint64_t entrySize = 4;  // 3 after a core header
    std::uint64_t rowsOffset = 0;
    std::uint64_t stride = 0;     // bytes per colour row
    std::uint64_t maskStride = 0; // bytes per AND mask row
};

bool supportedDepth(std::uint32_t bitCount) {
    return bitCount == 1 || bitCount == 4 || bitCount == 8 || bitCount == 16 || bitCount == 24 || bitCount == 32;
}

std::optional<DibLayout> readLayout(ByteView data) {
    const auto header = readBitmapHeader(data);
    if (!header) return std::nullopt;
    const BitmapHeader& h = *header;
    DibLayout l;
    l.entrySize = h.tableEntrySize;

    const std::int64_t width = h.width;
    const std::int64_t height = h.imageHeight();
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide) return std::nullopt;
    if (!supportedDepth(h.bitCount)) return std::nullopt;
    l.width = static_cast<int>(width);
    l.height = static_cast<int>(height);
    l.bitCount = h.bitCount;

    std::uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};  // BI_RGB at 16 bits: 5-5-5
    if (h.compression == kBiBitfields) {
        if (h.bitCount != 16 && h.bitCount != 32) return std::nullopt;
        for (int i = 0; i < 3; ++i) masks[i] = h.masks[i];
    } else if (h.compression != kBiRgb) {
        return std::nullopt;  // RLE, JPEG, PNG and anything else
    } else if (h.bitCount == 24 || h.bitCount == 32) {
        masks[0] = 0xFF0000;
        masks[1] = 0x00FF00;
        masks[2] = 0x0000FF;
    }
    l.red = fieldOf(masks[0]);
    l.green = fieldOf(masks[1]);
    l.blue = fieldOf(masks[2]);
    l.alphaByte = h.bitCount == 32 && ((masks[0] | masks[1] | masks[2]) & 0xFF000000u) == 0;

    // A core header's table always has 2^bpp entries. Otherwise biClrUsed counts them
    // (at most 256; 0 means 2^bpp up to 8 bits); a deeper image skips such a table.
    std::uint64_t entries = h.isCore() ? 0 : std::min<std::uint64_t>(h.clrUsed, kMaxTableEntries);
    if (entries == 0 && h.bitCount <= 8) entries = std::uint64_t{1} << h.bitCount;
    l.tableOffset = h.tableOffset;
    l.tableEntries = entries;
    if (!data.fits(l.tableOffset, entries * l.entrySize)) return std::nullopt;

    l.rowsOffset = l.tableOffset + entries * l.entrySize;
    l.stride = (static_cast<std::uint64_t>(width) * h.bitCount + 31) / 32 * 4;
    l.maskStride = (static_cast<std::uint64_t>(width) + 31) / 32 * 4;
    return l;
}

// The colour table as 0x00RRGGBB; only images of up to 8 bits use it.
std::vector<std::uint32_t> readTable(ByteView data, const DibLayout& l) {
    std::vector<std::uint32_t> table;
    if (l.bitCount > 8) return table;
    table.reserve(l.tableEntries);
    for (std::uint64_t i = 0; i < l.tableEntries; ++i) {
        const std::uint64_t at = l.tableOffset + i * l.entrySize;
        const std::uint32_t b = data.u8(at).value_or(0), g = data.u8(at + 1).value_or(0),
                            r = data.u8(at + 2).value_or(0);
        table.push_back(makeArgb(0, r, g, b));
    }
    return table;
}

// The bytes a row of `width` pixels at `bitCount` bits occupies (the stride may pad it).
std::uint64_t rowBytes(int width, int bitCount) {
    return (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(bitCount) + 7) / 8;
}

// Pixel x of a row whose first rowBytes(width, bitCount) bytes the caller has checked to
// lie inside the data (x < width): read straight from memory, once per pixel, without a
// call per byte.
std::uint32_t rawPixel(const std::uint8_t* row, std::uint64_t x, int bitCount) {
    switch (bitCount) {
    case 1: return (row[x / 8] >> (7 - x % 8)) & 0x1;
    case 4: return (row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF;
    case 8: return row[x];
    case 16: return row[x * 2] | (std::uint32_t{row[x * 2 + 1]} << 8);
    case 24: return row[x * 3] | (std::uint32_t{row[x * 3 + 1]} << 8) | (std::uint32_t{row[x * 3 + 2]} << 16);
    default:
        return row[x * 4] | (std::uint32_t{row[x * 4 + 1]} << 8) | (std::uint32_t{row[x * 4 + 2]} << 16) |
               (std::uint32_t{row[x * 4 + 3]} << 24);
    }
}

// A pixel under a set AND bit is drawn as background XOR colour C: over black it shows C,
// over white 255 - C. Premultiplied C with alpha 2 x max(C) shows exactly C over black
// and, in its largest channel (every channel of a gray), 255 - C over white, so the dark
// leftovers many icons keep under their mask (C up to 127) fade as they do on screen.
// Black gives alpha 0: transparent. A brighter C truly inverts what lies under it, which
// no alpha can show: that pixel becomes opaque as it looks over white.
std::uint32_t maskedPixel(std::uint32_t rgb) {
    const std::uint32_t r = argbRed(rgb), g = argbGreen(rgb), b = argbBlue(rgb);
    const std::uint32_t alpha = 2 * std::max({r, g, b});
    if (alpha < 255) return makeArgb(alpha, r, g, b);
    return 0xFF000000u | (rgb ^ 0x00FFFFFFu);
}

// True when any pixel of a 32-bit image has a non-zero top byte.
bool anyAlpha(ByteView rows, const DibLayout& l) {
    const std::uint64_t used = rowBytes(l.width, 32);
    for (int y = 0; y < l.height; ++y) {
        const std::uint64_t rowAt = static_cast<std::uint64_t>(y) * l.stride;
        if (!rows.fits(rowAt, used)) return false;
        const std::uint8_t* row = rows.data() + rowAt;
        for (std::uint64_t x = 0; x < used; x += 4) {
            if (row[x + 3] != 0) return true;
        }
    }
    return false;
}

// One row of a bitmap: its colour bytes, its AND mask bytes (nullptr without a mask) and
// the picture's row it becomes.
struct Row {
    const std::uint8_t* colours;
    const std::uint8_t* mask;
    std::uint32_t* out;
};

// Decodes a row of `Bits`-bit pixels. The depth is a template argument, so that the
// compiler makes one plain loop per depth instead of choosing it for each pixel; the usual
// 32-bit layout with alpha (blue, green, red, alpha bytes) gets a loop of its own.
template <int Bits>
void decodeRow(const Row& row, const DibLayout& l, const std::vector<std::uint32_t>& table, bool useAlpha) {
    const auto width = static_cast<std::uint64_t>(l.width);
    if constexpr (Bits == 32) {
        const bool bgra = l.red.shift == 16 && l.red.length == 8 && l.green.shift == 8 && l.green.length == 8 &&
                          l.blue.shift == 0 && l.blue.length == 8;
        if (useAlpha && bgra) {
            premultiplyRow(row.colours, width, ChannelOrder::Bgra, row.out);
            return;
        }
    }
    for (std::uint64_t x = 0; x < width; ++x) {
        const std::uint32_t raw = rawPixel(row.colours, x, Bits);
        std::uint32_t rgb = 0;
        if constexpr (Bits <= 8) {
            rgb = raw < table.size() ? table[raw] : 0;  // an index beyond the table is black
        } else {
            rgb = makeArgb(0, channel(raw, l.red), channel(raw, l.green), channel(raw, l.blue));
        }
        if (Bits == 32 && useAlpha) {
            row.out[x] = premultiplied(raw >> 24, argbRed(rgb), argbGreen(rgb), argbBlue(rgb));
            continue;
        }
        const bool maskBit = row.mask && ((row.mask[x / 8] >> (7 - x % 8)) & 1) != 0;
        row.out[x] = maskBit ? maskedPixel(rgb) : 0xFF000000u | rgb;
    }
}

}  // namespace

std::optional<ArgbImage> decodeDib(ByteView data) {
    const auto layout = readLayout(data);
    if (!layout) return std::nullopt;
    const DibLayout& l = *layout;

    const std::uint64_t rowsSize = l.stride * static_cast<std::uint64_t>(l.height);
    const auto rows = data.sub(l.rowsOffset, rowsSize);
    if (!rows) return std::nullopt;
    // A mask that does not wholly fit counts as absent: every pixel is opaque.
    const auto mask = data.sub(l.rowsOffset + rowsSize, l.maskStride * static_cast<std::uint64_t>(l.height));
    const std::vector<std::uint32_t> table = readTable(data, l);

    // 32-bit images whose top bytes are not all 0 carry alpha, and then the alpha alone
    // decides: like the system's icon drawing, which blends such an icon by its alpha and
    // does not apply the AND mask, a pixel with mask bit 1 and alpha 255 stays opaque.
    // When every top byte is 0 the AND mask gives the transparency as for other depths.
    const bool useAlpha = l.alphaByte && anyAlpha(*rows, l);

    // Each row (and mask row) is checked once to hold its pixels; the pixels are then read
    // straight from it, by a loop made for the image's depth.
    const std::uint64_t used = rowBytes(l.width, l.bitCount);
    const std::uint64_t maskUsed = rowBytes(l.width, 1);
    ArgbImage image(l.width, l.height);
    for (int y = 0; y < l.height; ++y) {
        const std::uint64_t stored = static_cast<std::uint64_t>(l.height - 1 - y);  // bottom row first
        if (!rows->fits(stored * l.stride, used)) return std::nullopt;
        const Row row{rows->data() + stored * l.stride,
                      mask && mask->fits(stored * l.maskStride, maskUsed) ? mask->data() + stored * l.maskStride : nullptr,
                      &image.pixel(0, y)};
        switch (l.bitCount) {
        case 1: decodeRow<1>(row, l, table, useAlpha); break;
        case 4: decodeRow<4>(row, l, table, useAlpha); break;
        case 8: decodeRow<8>(row, l, table, useAlpha); break;
        case 16: decodeRow<16>(row, l, table, useAlpha); break;
        case 24: decodeRow<24>(row, l, table, useAlpha); break;
        default: decodeRow<32>(row, l, table, useAlpha); break;
        }
    }
    return image;
}

}  // namespace formats::decode
