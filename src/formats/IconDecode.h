// Decoding of one icon image, as an ICO file or an RT_ICON resource stores it: a device-
// independent bitmap (header, colour table, colour rows, AND mask) or a PNG image. This is
// the program's stand-in for the system's "create an icon from resource bytes": it never
// trusts a size in the data, and refuses an image whose header, colour table or colour
// rows do not fit.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "formats/ArgbImage.h"
#include "formats/ByteView.h"

namespace formats {

// The 8 bytes every PNG file starts with; true when the data starts with them.
inline constexpr std::string_view kPngSignature("\x89PNG\r\n\x1A\n", 8);
bool isPng(ByteView data);

// The CRC-32 a PNG chunk ends in, computed over its type and data.
std::uint32_t pngChunkCrc(ByteView typeAndData);

// What a PNG image's IHDR says: size, a colour depth as the program reports it (32 for
// RGBA, 24 for RGB, otherwise bit depth x channels), and its fields as stored. nullopt when
// the data is not a PNG with IHDR as its first chunk, or when IHDR holds a size of 0 or
// above 2^31 - 1, a bit depth that does not exist or a colour type that does not exist.
struct PngInfo {
    int width = 0;
    int height = 0;
    int colorBits = 0;
    int bitDepth = 0;
    int colourType = 0;
    int compression = 0;
    int filterMethod = 0;
    int interlace = 0;
};
std::optional<PngInfo> readPngInfo(ByteView data);

// The length of the PNG file at the start of data when it is whole: IHDR first, every
// chunk inside the data with its CRC correct, ending in IEND, and its image data inflating
// to exactly the picture's rows with a correct checksum (checked by inflating it, which
// stops at the rows' end). Bytes after IEND (padding a module may keep after a resource)
// are not part of it. nullopt for anything else, so a PNG image is only ever passed on
// unchanged when a reader will take it as it is, at the cost of its picture.
std::optional<std::size_t> wholePngLength(ByteView data);

struct BitmapHeader;
// Sizes derived from a bitmap image's header (readBitmapHeader), by the arithmetic of the
// icon save dialog's check.
// Number of colour-table entries: the low 16 bits of biClrUsed, else 2/16/256 for 1/4/8 bits.
std::uint16_t dibPaletteCount(const BitmapHeader& header);
// Colour-table bytes: 4 per entry, modulo 65536.
std::uint16_t dibPaletteSize(const BitmapHeader& header);
// Bytes per colour row, padded to 4: planes x width x depth bits, computed in 64 bits.
std::int64_t dibRowSize(const BitmapHeader& header);

// What an icon or cursor image says of itself: its size (a bitmap's visible height, half
// of biHeight), its depth (planes x bits, or the PNG's as readPngInfo gives it) and
// whether it is a PNG image.
struct ImageInfo {
    int width = 0;
    int height = 0;
    int colorBits = 0;
    bool isPng = false;
};

// What the image's header says, and nothing more: a PNG's IHDR, or a bitmap header's width,
// half its height and planes x depth (capped at the largest int). nullopt when there is no
// header to read or its width or height is not positive. This is the size the scale-down
// rule knows an image by, whatever its directory entry says.
std::optional<ImageInfo> imageHeaderInfo(ByteView data);

// The image's description as the icon save dialog and the command line take it: the header
// as imageHeaderInfo reads it, where a bitmap must also have a header of 40 bytes or more
// (40, V4, V5; a 12-byte core header is refused), a depth of planes x bits from 1 to 32, and
// its header, channel masks, colour table (dibPaletteSize) and colour rows (dibRowSize) inside
// the data. nullopt otherwise, and for a PNG without IHDR.
std::optional<ImageInfo> iconImageInfo(ByteView data);

// The fewest bytes of an image's start that describe it: a 40-byte bitmap header (a PNG's
// IHDR ends sooner).
inline constexpr std::uint64_t kImageHeadSize = 40;

// How many bytes of an image's start describe it, judged from its first four: a bitmap's
// header with the channel masks that may follow it, at least kImageHeadSize. A header that
// claims more than 4 KiB is read no further (nothing that long is an icon's header), so a
// listing's reads stay small whatever the file claims.
std::uint64_t imageHeadSize(ByteView start);

// The same answer as iconImageInfo(data) from the image's first imageHeadSize bytes alone (or
// all of them, when fewer) and its whole length, so that a listing need not read image data.
std::optional<ImageInfo> iconImageInfo(ByteView head, std::uint64_t size);

// Decodes the image at its own size into premultiplied ARGB.
// DIB: 1, 4, 8, 16 (BI_RGB 5-5-5 or BI_BITFIELDS), 24 and 32 bits (BI_RGB or BI_BITFIELDS),
// every header readBitmapHeader reads (40 bytes, V4, V5 and other lengths of 40 or more,
// and 12-byte core headers). The AND mask gives
// transparency; a 32-bit image with any non-zero alpha byte uses its alpha alone (the mask
// is not applied), one whose alpha bytes are all 0 uses the mask. An AND mask that does
// not fit in the data counts as absent. Mask bit 1 over a colour C (which the system XORs
// with the background) gives premultiplied C with alpha min(255, 2 x max channel of C):
// black is transparent, dark colours show as C over black and close to 255 - C over white;
// when max(C) is 128 or more the pixel is opaque and inverted (255 - C). Negative
// (top-down) heights, and widths or heights above 4096, are refused.
// PNG: decoded through libpng (any colour type, 8 or 16 bits, tRNS applied); at most
// 4096 x 4096, checked on the IHDR before decoding. Decoding ends at the last row: the
// image data after it (the end of the deflate stream, anything appended) is not read.
// nullopt when the image is malformed or of an unsupported kind.
std::optional<ArgbImage> decodeIconImage(ByteView data);

// Scales a picture to w x h: area averaging (in premultiplied space) where it shrinks,
// nearest pixel where it grows, each direction on its own. Same size: a copy.
ArgbImage scaleImage(const ArgbImage& image, int width, int height);

// The picture shrunk by area averaging to fit size x size, keeping the aspect of a
// non-square picture; one that already fits is returned as it is, never enlarged.
ArgbImage shrinkToFit(const ArgbImage& image, int size);

}  // namespace formats
