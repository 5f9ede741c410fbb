// Test fixtures made by code: icon images (DIB and PNG) and ICO files with chosen sizes,
// depths, palettes, masks and directory entries.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fixtures {

using Bytes = std::vector<std::uint8_t>;

// 0xAARRGGBB, not premultiplied.
using Argb = std::uint32_t;

// A DIB icon image: header, colour table, colour rows, AND mask rows (bottom row first).
struct DibSpec {
    int width = 32;
    int height = 32;
    int bitCount = 4;        // 1, 4, 8, 16, 24, 32
    int planes = 1;
    std::uint32_t compression = 0;  // 0 BI_RGB, 3 BI_BITFIELDS (16 and 32 bits)
    std::uint32_t masks[3] = {0xF800, 0x07E0, 0x001F};  // R, G, B for BI_BITFIELDS
    std::uint32_t clrUsed = 0;      // written as biClrUsed; the table holds paletteCount() entries
    std::uint32_t sizeImage = 0;    // written as biSizeImage
    std::vector<Argb> palette;      // for depths <= 8 (missing entries are black)
    // Pixel value at (x, y), y = 0 the top row: a palette index for depths <= 8, a raw
    // 16-bit value for 16 bits, 0xAARRGGBB for 24 and 32 bits (alpha ignored at 24).
    std::function<std::uint32_t(int x, int y)> pixel = [](int, int) { return 0u; };
    // AND mask bit at (x, y): true = transparent.
    std::function<bool(int x, int y)> mask = [](int, int) { return false; };
    bool withMask = true;           // false: the data ends after the colour rows
    // 40 BITMAPINFOHEADER; 12 BITMAPCOREHEADER (16-bit width/height, 3-byte table entries,
    // always 2^bitCount of them); more than 40 (108 V4, 124 V5): zero-filled to that size,
    // with the BI_BITFIELDS masks inside the header at offset 40 instead of after it.
    std::uint32_t headerSize = 40;
    std::optional<std::int32_t> heightField;  // written as biHeight instead of 2 x height

    int paletteCount() const;
};

Bytes makeDib(const DibSpec& image);

// A tRNS chunk for makePng: one alpha per palette index (colour type 3), or the one
// colour (0x00RRGGBB; gray types use the red byte) that is fully transparent.
struct PngTransparency {
    std::vector<std::uint8_t> paletteAlpha;
    std::optional<Argb> colourKey;
};

// A PNG image of the given pixels, top row first, 0xAARRGGBB.
// colorType: 6 RGBA, 2 RGB, 0 gray (the red byte), 4 gray + alpha, 3 palette (the red byte
// is the index into a gray ramp: entry i is i, i, i). bitDepth 8 or 16 (each byte repeated);
// gray and palette also 1, 2, 4 (the low bits of the red byte).
Bytes makePng(int width, int height, const std::function<Argb(int x, int y)>& pixel, int colorType = 6,
              int bitDepth = 8, const PngTransparency& transparency = {}, bool interlaced = false);

// The PNG with one more chunk (correct CRC) right after IHDR.
Bytes insertPngChunk(const Bytes& png, const std::string& type, const Bytes& data);

// A PNG file put together chunk by chunk, for layouts a PNG writer would not make: the
// signature, then each chunk with its CRC (spoilt where `goodCrc` is false).
struct PngChunk {
    std::string type;
    Bytes data;
    bool goodCrc = true;
};
Bytes pngOfChunks(const std::vector<PngChunk>& chunks);
// The 13 data bytes of an IHDR chunk, and the zlib stream of `raw` (level 0: stored, the
// bytes as they are in blocks of up to 65,535 after a 2-byte header and 5-byte block header).
Bytes ihdrData(int width, int height, int bitDepth = 8, int colorType = 6, int interlace = 0);
Bytes zlibStream(const Bytes& raw, int level = 6);

// The image data of a PNG as a decoder sees it: its IDAT chunks joined and inflated (the
// filtered rows, pass after pass for an interlaced image).
Bytes pngImageData(const Bytes& png);

// A deflate bomb made of a PNG: its chunks as they are, its image data compressed again as
// one zlib stream that goes on after the rows with `zeros` more zero bytes (gigabytes cost
// about a thousandth of their size), then `afterStream` after the end of that stream; the
// IDAT data is cut into chunks of `idatChunk` bytes. Decoded as the PNG itself where the
// rows' end is respected.
Bytes pngWithDeflateTail(const Bytes& png, std::uint64_t zeros, const Bytes& afterStream = {},
                         std::size_t idatChunk = 1 << 16);

// One ICO directory entry with its image. The entry's fields are derived from the image
// unless overridden.
struct IcoEntry {
    Bytes data;
    std::optional<std::uint8_t> width{}, height{}, colorCount{};
    std::optional<std::uint16_t> planes{}, bitCount{};
    std::optional<std::uint32_t> bytesInRes{};   // default: data.size()
    std::optional<std::uint32_t> imageOffset{};  // default: images packed after the directory
};

// An ICO file (or, with type 2, a cursor file).
Bytes makeIco(const std::vector<IcoEntry>& entries, std::uint16_t type = 1, std::uint16_t reserved = 0);

// A cursor image with its hotspot.
struct CursorEntry {
    Bytes data;
    std::uint16_t hotspotX = 0;
    std::uint16_t hotspotY = 0;
};

// A .cur file: an ICO layout of type 2 whose entries hold the hotspot in place of planes
// and depth.
Bytes makeCur(const std::vector<CursorEntry>& images);

// An animated cursor file (RIFF "ACON"). Each frame is a whole .ico or .cur file. Without
// rate or sequence those chunks are left out; steps 0 means one step per frame.
struct AniLayout {
    std::vector<Bytes> frames;
    std::vector<std::uint32_t> rate{};      // jiffies per step
    std::vector<std::uint32_t> sequence{};  // frame per step
    std::uint32_t steps = 0;
    std::uint32_t defaultRate = 10;
    std::optional<std::uint32_t> frameCount{};  // anih nFrames; default frames.size()
    std::uint32_t flags = 1;                // AF_ICON, plus AF_SEQUENCE when sequence is given
    bool infoList = false;                  // a LIST INFO with a title before the header
};
Bytes makeAni(const AniLayout& ani);

// An ICO file whose `count` entries all name the one image stored after the directory.
Bytes icoRepeatingOneImage(const Bytes& image, int count);

// Shorthand: a square image of one opaque colour, without transparent pixels.
Bytes solidDib(int size, Argb colour, int bitCount = 32);

// Shorthand: a square image of size s and depth bpp with a simple recognisable pattern.
Bytes patternDib(int size, int bitCount);

// Writes bytes to a file; returns false on failure.
bool writeFile(const std::string& path, const Bytes& bytes);
// The file's bytes (as many as could be read); empty when it cannot be opened.
Bytes readFile(const std::string& path);

// Little-endian helpers for building and checking bytes.
void putU16(Bytes& b, std::size_t at, std::uint16_t v);
void putU32(Bytes& b, std::size_t at, std::uint32_t v);
std::uint16_t getU16(const Bytes& b, std::size_t at);
std::uint32_t getU32(const Bytes& b, std::size_t at);
void appendU16(Bytes& b, std::uint16_t v);
void appendU32(Bytes& b, std::uint32_t v);

// A temporary directory removed (with its contents) when the object goes; made in `base`
// when one is given, else in the system's temporary directory.
class TempDir {
public:
    explicit TempDir(const std::string& base = {});
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

}  // namespace fixtures
