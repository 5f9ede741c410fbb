#include "support/ImageFixtures.h"

#include <fcntl.h>
#include <png.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fixtures {

void putU16(Bytes& b, std::size_t at, std::uint16_t v) {
    if (b.size() < at + 2) b.resize(at + 2);
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

void putU32(Bytes& b, std::size_t at, std::uint32_t v) {
    if (b.size() < at + 4) b.resize(at + 4);
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint16_t getU16(const Bytes& b, std::size_t at) {
    return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

std::uint32_t getU32(const Bytes& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | (static_cast<std::uint32_t>(b.at(at + 1)) << 8) |
           (static_cast<std::uint32_t>(b.at(at + 2)) << 16) | (static_cast<std::uint32_t>(b.at(at + 3)) << 24);
}

void appendU16(Bytes& b, std::uint16_t v) { putU16(b, b.size(), v); }
void appendU32(Bytes& b, std::uint32_t v) { putU32(b, b.size(), v); }

int DibSpec::paletteCount() const {
    if (headerSize == 12) return bitCount <= 8 ? 1 << bitCount : 0;
    if (clrUsed != 0) return static_cast<int>(clrUsed & 0xFFFF);
    if (bitCount == 1) return 2;
    if (bitCount == 4) return 16;
    if (bitCount == 8) return 256;
    return 0;
}

Bytes makeDib(const DibSpec& s) {
    Bytes b;
    const bool core = s.headerSize == 12;
    const std::int32_t heightField = s.heightField.value_or(s.height * 2);
    appendU32(b, s.headerSize);
    if (core) {
        appendU16(b, static_cast<std::uint16_t>(s.width));
        appendU16(b, static_cast<std::uint16_t>(heightField));
        appendU16(b, static_cast<std::uint16_t>(s.planes));
        appendU16(b, static_cast<std::uint16_t>(s.bitCount));
    } else {
        appendU32(b, static_cast<std::uint32_t>(s.width));
        appendU32(b, static_cast<std::uint32_t>(heightField));
        appendU16(b, static_cast<std::uint16_t>(s.planes));
        appendU16(b, static_cast<std::uint16_t>(s.bitCount));
        appendU32(b, s.compression);
        appendU32(b, s.sizeImage);
        appendU32(b, 0);
        appendU32(b, 0);
        appendU32(b, s.clrUsed);
        appendU32(b, 0);
        if (s.headerSize > 40) {
            b.resize(s.headerSize, 0);
            if (s.compression == 3)
                for (std::size_t i = 0; i < 3; ++i) putU32(b, 40 + 4 * i, s.masks[i]);
        } else if (s.compression == 3) {
            for (std::uint32_t m : s.masks) appendU32(b, m);
        }
    }
    for (int i = 0; i < s.paletteCount(); ++i) {
        const Argb c = i < static_cast<int>(s.palette.size()) ? s.palette[static_cast<std::size_t>(i)] : 0;
        b.push_back(static_cast<std::uint8_t>(c));
        b.push_back(static_cast<std::uint8_t>(c >> 8));
        b.push_back(static_cast<std::uint8_t>(c >> 16));
        if (!core) b.push_back(0);
    }
    const std::size_t stride = static_cast<std::size_t>(((s.width * s.bitCount + 31) / 32) * 4);
    for (int row = s.height - 1; row >= 0; --row) {
        Bytes line(stride, 0);
        for (int x = 0; x < s.width; ++x) {
            const std::uint32_t v = s.pixel(x, row);
            const auto ux = static_cast<std::size_t>(x);
            switch (s.bitCount) {
            case 1: if (v & 1) line[ux / 8] |= static_cast<std::uint8_t>(0x80 >> (ux % 8)); break;
            case 4: line[ux / 2] |= static_cast<std::uint8_t>((v & 0xF) << (ux % 2 ? 0 : 4)); break;
            case 8: line[ux] = static_cast<std::uint8_t>(v); break;
            case 16:
                line[ux * 2] = static_cast<std::uint8_t>(v);
                line[ux * 2 + 1] = static_cast<std::uint8_t>(v >> 8);
                break;
            case 24:
                line[ux * 3] = static_cast<std::uint8_t>(v);
                line[ux * 3 + 1] = static_cast<std::uint8_t>(v >> 8);
                line[ux * 3 + 2] = static_cast<std::uint8_t>(v >> 16);
                break;
            case 32:
                for (int k = 0; k < 4; ++k) line[ux * 4 + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (8 * k));
                break;
            default: throw std::invalid_argument("unsupported depth");
            }
        }
        b.insert(b.end(), line.begin(), line.end());
    }
    if (s.withMask) {
        const std::size_t mstride = static_cast<std::size_t>(((s.width + 31) / 32) * 4);
        for (int row = s.height - 1; row >= 0; --row) {
            Bytes line(mstride, 0);
            for (int x = 0; x < s.width; ++x)
                if (s.mask(x, row)) line[static_cast<std::size_t>(x) / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            b.insert(b.end(), line.begin(), line.end());
        }
    }
    return b;
}

namespace {
void pngAppend(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}
void pngFlush(png_structp) {}
}  // namespace

Bytes makePng(int width, int height, const std::function<Argb(int x, int y)>& pixel, int colorType, int bitDepth,
              const PngTransparency& transparency, bool interlaced) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png write failed");
    }
    png_set_write_fn(png, &out, pngAppend, pngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), bitDepth, colorType,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> palette;
    if (colorType == PNG_COLOR_TYPE_PALETTE) {
        // Palette images: index = low byte of the pixel's red channel; a grey ramp.
        for (int i = 0; i < 256; ++i)
            palette.push_back(png_color{static_cast<png_byte>(i), static_cast<png_byte>(i), static_cast<png_byte>(i)});
        png_set_PLTE(png, info, palette.data(), 1 << bitDepth);
    }
    std::vector<png_byte> trnsAlpha(transparency.paletteAlpha.begin(), transparency.paletteAlpha.end());
    png_color_16 trnsColour{};
    if (!trnsAlpha.empty()) {
        png_set_tRNS(png, info, trnsAlpha.data(), static_cast<int>(trnsAlpha.size()), nullptr);
    } else if (transparency.colourKey) {
        // Samples as the image stores them: 16-bit images repeat the byte, as the rows below do.
        const Argb k = *transparency.colourKey;
        auto sample = [bitDepth](std::uint32_t v) {
            return static_cast<png_uint_16>(bitDepth == 16 ? (v & 0xFF) * 257 : v & 0xFF);
        };
        trnsColour.red = sample(k >> 16);
        trnsColour.green = sample(k >> 8);
        trnsColour.blue = sample(k);
        trnsColour.gray = sample(k >> 16);
        png_set_tRNS(png, info, nullptr, 0, &trnsColour);
    }
    png_write_info(png, info);
    const int channels = colorType == 6 ? 4 : colorType == 2 ? 3 : colorType == 4 ? 2 : 1;
    const int bytesPerSample = bitDepth == 16 ? 2 : 1;
    const std::size_t rowBytes = static_cast<std::size_t>(width * channels * bytesPerSample + 8);
    std::vector<std::vector<png_byte>> rows(static_cast<std::size_t>(height), std::vector<png_byte>(rowBytes, 0));
    for (int y = 0; y < height; ++y) {
        std::vector<png_byte>& row = rows[static_cast<std::size_t>(y)];
        for (int x = 0; x < width; ++x) {
            const Argb c = pixel(x, y);
            const png_byte a = static_cast<png_byte>(c >> 24), r = static_cast<png_byte>(c >> 16),
                           g = static_cast<png_byte>(c >> 8), bl = static_cast<png_byte>(c);
            png_byte samples[4] = {r, g, bl, a};
            if (colorType == 0 || colorType == 3) samples[0] = r;
            if (colorType == 4) samples[1] = a;
            if ((colorType == 3 || colorType == 0) && bitDepth < 8) {
                const int perByte = 8 / bitDepth;
                const int shift = 8 - bitDepth * (1 + x % perByte);
                row[static_cast<std::size_t>(x / perByte)] |=
                    static_cast<png_byte>((r & ((1 << bitDepth) - 1)) << shift);
                continue;
            }
            for (int ch = 0; ch < channels; ++ch) {
                const std::size_t at = static_cast<std::size_t>((x * channels + ch) * bytesPerSample);
                row[at] = samples[ch];
                if (bytesPerSample == 2) row[at + 1] = samples[ch];
            }
        }
    }
    // Interlaced images take every row once per pass.
    const int passes = png_set_interlace_handling(png);
    for (int pass = 0; pass < passes; ++pass)
        for (auto& row : rows) png_write_row(png, row.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

namespace {
std::uint32_t crc32(const Bytes& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::uint8_t byte : bytes) {
        crc ^= byte;
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
void appendU32be(Bytes& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<std::uint8_t>(v >> shift));
}
}  // namespace

Bytes insertPngChunk(const Bytes& png, const std::string& type, const Bytes& data) {
    const std::size_t afterIhdr = 8 + 12 + 13;
    Bytes chunk;
    appendU32be(chunk, static_cast<std::uint32_t>(data.size()));
    Bytes typed(type.begin(), type.end());
    typed.insert(typed.end(), data.begin(), data.end());
    chunk.insert(chunk.end(), typed.begin(), typed.end());
    appendU32be(chunk, crc32(typed));
    Bytes out(png.begin(), png.begin() + static_cast<std::ptrdiff_t>(afterIhdr));
    out.insert(out.end(), chunk.begin(), chunk.end());
    out.insert(out.end(), png.begin() + static_cast<std::ptrdiff_t>(afterIhdr), png.end());
    return out;
}

Bytes pngOfChunks(const std::vector<PngChunk>& chunks) {
    Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (const PngChunk& c : chunks) {
        appendU32be(out, static_cast<std::uint32_t>(c.data.size()));
        Bytes typed(c.type.begin(), c.type.end());
        typed.insert(typed.end(), c.data.begin(), c.data.end());
        out.insert(out.end(), typed.begin(), typed.end());
        appendU32be(out, crc32(typed) ^ (c.goodCrc ? 0u : 1u));
    }
    return out;
}

Bytes ihdrData(int width, int height, int bitDepth, int colorType, int interlace) {
    Bytes b;
    appendU32be(b, static_cast<std::uint32_t>(width));
    appendU32be(b, static_cast<std::uint32_t>(height));
    b.insert(b.end(), {static_cast<std::uint8_t>(bitDepth), static_cast<std::uint8_t>(colorType), 0, 0,
                       static_cast<std::uint8_t>(interlace)});
    return b;
}

Bytes zlibStream(const Bytes& raw, int level) {
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    Bytes out(size);
    if (compress2(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()), level) != Z_OK)
        throw std::runtime_error("zlib compress failed");
    out.resize(size);
    return out;
}

namespace {

// Chunks of a PNG written by the fixtures (each complete), after the signature.
std::vector<PngChunk> chunksOf(const Bytes& png) {
    std::vector<PngChunk> chunks;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = (std::size_t{png[at]} << 24) | (std::size_t{png[at + 1]} << 16) |
                                   (std::size_t{png[at + 2]} << 8) | png[at + 3];
        const auto body = png.begin() + static_cast<std::ptrdiff_t>(at + 8);
        chunks.push_back({std::string(png.begin() + static_cast<std::ptrdiff_t>(at + 4), body),
                          Bytes(body, body + static_cast<std::ptrdiff_t>(length))});
        at += 12 + length;
    }
    return chunks;
}

// Raw deflate of `raw` ending in a full flush: non-final blocks, byte-aligned, referring to
// nothing before them, so that they can follow any such blocks in one stream.
Bytes deflateFlushed(const Bytes& raw) {
    z_stream z{};
    if (deflateInit2(&z, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflateInit2");
    Bytes out(deflateBound(&z, static_cast<uLong>(raw.size())) + 16);
    z.next_in = const_cast<Bytef*>(raw.data());
    z.avail_in = static_cast<uInt>(raw.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&z, Z_FULL_FLUSH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (result != Z_OK || z.avail_in != 0) throw std::runtime_error("deflate");
    return out;
}

}  // namespace

Bytes pngImageData(const Bytes& png) {
    Bytes joined;
    for (const PngChunk& c : chunksOf(png))
        if (c.type == "IDAT") joined.insert(joined.end(), c.data.begin(), c.data.end());
    z_stream z{};
    if (inflateInit(&z) != Z_OK) throw std::runtime_error("inflateInit");
    z.next_in = joined.data();
    z.avail_in = static_cast<uInt>(joined.size());
    Bytes raw;
    int result = Z_OK;
    while (result == Z_OK) {
        std::uint8_t piece[1 << 14];
        z.next_out = piece;
        z.avail_out = sizeof piece;
        result = inflate(&z, Z_NO_FLUSH);
        raw.insert(raw.end(), piece, piece + (sizeof piece - z.avail_out));
    }
    inflateEnd(&z);
    if (result != Z_STREAM_END) throw std::runtime_error("inflate");
    return raw;
}

Bytes pngWithDeflateTail(const Bytes& png, std::uint64_t zeros, const Bytes& afterStream, std::size_t idatChunk) {
    const Bytes raw = pngImageData(png);
    Bytes stream = {0x78, 0xDA};
    const Bytes rows = deflateFlushed(raw);
    stream.insert(stream.end(), rows.begin(), rows.end());
    // The zeros as repeats of one compressed mebibyte, then the rest.
    constexpr std::uint64_t kPiece = 1 << 20;
    if (zeros >= kPiece) {
        const Bytes piece = deflateFlushed(Bytes(kPiece, 0));
        for (std::uint64_t n = 0; n < zeros / kPiece; ++n) stream.insert(stream.end(), piece.begin(), piece.end());
    }
    if (zeros % kPiece != 0) {
        const Bytes rest = deflateFlushed(Bytes(zeros % kPiece, 0));
        stream.insert(stream.end(), rest.begin(), rest.end());
    }
    stream.insert(stream.end(), {0x03, 0x00});  // the final block, empty
    // Adler-32 of the rows and the zeros: zeros leave the low sum at 1 and add it once each
    // to the high one.
    const uLong zerosAdler = ((zeros % 65521) << 16) | 1;
    const uLong adler = adler32_combine64(adler32(1, raw.data(), static_cast<uInt>(raw.size())), zerosAdler,
                                          static_cast<z_off64_t>(zeros));
    for (int shift = 24; shift >= 0; shift -= 8) stream.push_back(static_cast<std::uint8_t>(adler >> shift));
    stream.insert(stream.end(), afterStream.begin(), afterStream.end());

    std::vector<PngChunk> chunks;
    bool placed = false;
    for (const PngChunk& c : chunksOf(png)) {
        if (c.type != "IDAT") {
            chunks.push_back(c);
        } else if (!placed) {
            for (std::size_t at = 0; at < stream.size(); at += idatChunk) {
                const auto from = stream.begin() + static_cast<std::ptrdiff_t>(at);
                chunks.push_back({"IDAT", Bytes(from, from + static_cast<std::ptrdiff_t>(
                                                              std::min(idatChunk, stream.size() - at)))});
            }
            placed = true;
        }
    }
    return pngOfChunks(chunks);
}

Bytes makeIco(const std::vector<IcoEntry>& entries, std::uint16_t type, std::uint16_t reserved) {
    Bytes b;
    appendU16(b, reserved);
    appendU16(b, type);
    appendU16(b, static_cast<std::uint16_t>(entries.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const IcoEntry& e : entries) {
        int w = 0, h = 0, bpp = 0, planes = 1;
        if (e.data.size() >= 16 && e.data[0] == 0x89) {  // PNG: IHDR width/height
            w = static_cast<int>((e.data[16] << 24) | (e.data[17] << 16) | (e.data[18] << 8) | e.data[19]);
            h = static_cast<int>((e.data[20] << 24) | (e.data[21] << 16) | (e.data[22] << 8) | e.data[23]);
            bpp = 32;
        } else if (e.data.size() >= 16) {
            w = static_cast<int>(getU32(e.data, 4));
            h = static_cast<int>(getU32(e.data, 8)) / 2;
            planes = getU16(e.data, 12);
            bpp = getU16(e.data, 14);
        }
        b.push_back(e.width.value_or(static_cast<std::uint8_t>(w)));
        b.push_back(e.height.value_or(static_cast<std::uint8_t>(h)));
        b.push_back(e.colorCount.value_or(bpp < 8 ? static_cast<std::uint8_t>(1 << bpp) : 0));
        b.push_back(0);
        appendU16(b, e.planes.value_or(static_cast<std::uint16_t>(planes)));
        appendU16(b, e.bitCount.value_or(static_cast<std::uint16_t>(bpp)));
        appendU32(b, e.bytesInRes.value_or(static_cast<std::uint32_t>(e.data.size())));
        appendU32(b, e.imageOffset.value_or(offset));
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const IcoEntry& e : entries) b.insert(b.end(), e.data.begin(), e.data.end());
    return b;
}

Bytes makeCur(const std::vector<CursorEntry>& images) {
    std::vector<IcoEntry> entries;
    for (const CursorEntry& c : images) {
        IcoEntry e{c.data};
        e.planes = c.hotspotX;
        e.bitCount = c.hotspotY;
        entries.push_back(e);
    }
    return makeIco(entries, 2);
}

namespace {

void appendChunk(Bytes& b, const std::string& id, const Bytes& data) {
    b.insert(b.end(), id.begin(), id.end());
    appendU32(b, static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2) b.push_back(0);
}

Bytes words(const std::vector<std::uint32_t>& values) {
    Bytes b;
    for (std::uint32_t v : values) appendU32(b, v);
    return b;
}

}  // namespace

Bytes makeAni(const AniLayout& ani) {
    Bytes body{'A', 'C', 'O', 'N'};
    if (ani.infoList) {
        Bytes info{'I', 'N', 'F', 'O'};
        appendChunk(info, "INAM", Bytes{'w', 'a', 'i', 't', 0});
        appendChunk(body, "LIST", info);
    }
    const auto frames = static_cast<std::uint32_t>(ani.frames.size());
    const std::uint32_t steps = ani.steps ? ani.steps : frames;
    const std::uint32_t flags = ani.flags | (ani.sequence.empty() ? 0u : 2u);
    appendChunk(body, "anih", words({36, ani.frameCount.value_or(frames), steps, 0, 0, 0, 0, ani.defaultRate, flags}));
    if (!ani.rate.empty()) appendChunk(body, "rate", words(ani.rate));
    if (!ani.sequence.empty()) appendChunk(body, "seq ", words(ani.sequence));
    Bytes list{'f', 'r', 'a', 'm'};
    for (const Bytes& frame : ani.frames) appendChunk(list, "icon", frame);
    appendChunk(body, "LIST", list);
    Bytes file{'R', 'I', 'F', 'F'};
    appendU32(file, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

Bytes icoRepeatingOneImage(const Bytes& image, int count) {
    Bytes file{0, 0, 1, 0};
    appendU16(file, static_cast<std::uint16_t>(count));
    for (int i = 0; i < count; ++i) {
        appendU32(file, 0);  // width, height, colours, reserved: taken from the image
        appendU16(file, 1);
        appendU16(file, 32);
        appendU32(file, static_cast<std::uint32_t>(image.size()));
        appendU32(file, static_cast<std::uint32_t>(6 + 16 * count));
    }
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

Bytes patternDib(int size, int bitCount) {
    DibSpec s;
    s.width = s.height = size;
    s.bitCount = bitCount;
    s.palette = {0xFF000000, 0xFF800000, 0xFF008000, 0xFF808000, 0xFF000080, 0xFF800080, 0xFF008080, 0xFF808080,
                 0xFFC0C0C0, 0xFFFF0000, 0xFF00FF00, 0xFFFFFF00, 0xFF0000FF, 0xFFFF00FF, 0xFF00FFFF, 0xFFFFFFFF};
    s.pixel = [bitCount](int x, int y) -> std::uint32_t {
        const std::uint32_t i = static_cast<std::uint32_t>((x / 4 + y / 4) % 16);
        if (bitCount == 1) return i & 1;
        if (bitCount <= 8) return i;
        if (bitCount == 16) return (i & 1) ? 0x7C00u : 0x001Fu;  // red or blue, 5-5-5
        return (i & 1) ? 0xFFFF0000u : 0xFF0000FFu;
    };
    s.mask = [size](int x, int y) { return x == 0 || y == 0 || x == size - 1 || y == size - 1; };
    return makeDib(s);
}

Bytes solidDib(int size, Argb colour, int bitCount) {
    DibSpec s;
    s.width = s.height = size;
    s.bitCount = bitCount;
    s.pixel = [colour](int, int) { return colour; };
    return makeDib(s);
}

bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(f);
}

Bytes readFile(const std::string& path) {
    // Plain reads: a file of /proc whose process ends while it is read fails the read
    // (ESRCH), which a stream would throw from.
    Bytes bytes;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bytes;
    std::uint8_t block[65536];
    for (;;) {
        const ssize_t n = ::read(fd, block, sizeof block);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        bytes.insert(bytes.end(), block, block + n);
    }
    ::close(fd);
    return bytes;
}

TempDir::TempDir(const std::string& base) {
    const std::filesystem::path in = base.empty() ? std::filesystem::temp_directory_path() : std::filesystem::path(base);
    std::string pattern = (in / "vexil-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    // Make everything writable again first: tests remove permissions on purpose.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
}

}  // namespace fixtures
