// The one PNG chunk walker and the one bitmap header reader, with what each reader of a
// bitmap header accepts of it.
#include <gtest/gtest.h>

#include "formats/BitmapHeader.h"
#include "formats/IconDecode.h"
#include "formats/PngChunks.h"
#include "support/ImageFixtures.h"

using fixtures::Bytes;

TEST(PngChunks, WalksEachChunkOnceAndStopsAtWhatIsNoChunk) {
    const Bytes ihdr = fixtures::ihdrData(2, 2);
    const Bytes good = fixtures::pngOfChunks({{"IHDR", ihdr}, {"tEXt", {'a', 0, 'b'}}, {"IDAT", {1, 2, 3}}, {"IEND", {}}});
    const Bytes badCrc = fixtures::pngOfChunks({{"IHDR", ihdr}, {"IDAT", {1, 2, 3}, false}, {"IEND", {}}});
    Bytes hugeLength = good;
    fixtures::putU32(hugeLength, 33, 0x00000080);  // the tEXt length, big-endian 0x80000000
    Bytes badType = good;
    badType[33 + 5] = '4';
    Bytes stray = good;
    stray.insert(stray.end(), {0, 0, 0, 1, 'x'});
    using Stop = formats::PngChunks::Stop;
    using Crc = formats::PngChunks::Crc;
    struct Case {
        const char* what;
        Bytes png;
        Crc crc;
        std::vector<std::string> chunks;  // types, "*" after one cut short
        Stop stop;
    } cases[] = {
        {"every chunk to the end", good, Crc::Checked, {"IHDR", "tEXt", "IDAT", "IEND"}, Stop::End},
        {"a bad CRC stops a checking walk", badCrc, Crc::Checked, {"IHDR"}, Stop::BadCrc},
        {"and is passed by otherwise", badCrc, Crc::Ignored, {"IHDR", "IDAT", "IEND"}, Stop::End},
        {"a chunk cut short is the last", Bytes(good.begin(), good.end() - 14), Crc::Ignored, {"IHDR", "tEXt", "IDAT*"}, Stop::Cut},
        {"its CRC cut short too", Bytes(good.begin(), good.end() - 13), Crc::Checked, {"IHDR", "tEXt", "IDAT*"}, Stop::Cut},
        {"bytes too few for a chunk", stray, Crc::Ignored, {"IHDR", "tEXt", "IDAT", "IEND"}, Stop::Cut},
        {"a length past 2^31 - 1", hugeLength, Crc::Ignored, {"IHDR"}, Stop::Malformed},
        {"a type that is no type", badType, Crc::Ignored, {"IHDR"}, Stop::Malformed},
        {"the signature alone", Bytes(good.begin(), good.begin() + 8), Crc::Ignored, {}, Stop::End},
        {"no signature", Bytes(good.begin() + 1, good.end()), Crc::Ignored, {}, Stop::Malformed},
    };
    for (const auto& c : cases) {
        formats::PngChunks walk(c.png, c.crc);
        std::vector<std::string> seen;
        while (const auto chunk = walk.next()) {
            seen.push_back(std::string(chunk->type, 4) + (chunk->whole ? "" : "*"));
            // All of its data, or as much of it as there is.
            EXPECT_EQ(chunk->data.size(), std::min<std::uint64_t>(chunk->length, c.png.size() - chunk->offset - 8)) << c.what;
            EXPECT_EQ(chunk->end, chunk->whole ? chunk->offset + 12 + chunk->length : c.png.size()) << c.what;
        }
        EXPECT_EQ(seen, c.chunks) << c.what;
        EXPECT_EQ(walk.stopped(), c.stop) << c.what;
        EXPECT_FALSE(walk.next()) << c.what;
    }
}

// One reader of bitmap headers; the decoder (the strip) and the icon save dialog each check
// its result. The dialog takes V4 and V5 headers as the strip does; it still refuses core
// headers, and still keeps RLE and 2-bit images, which it saves as they are stored.
TEST(BitmapHeader, OneReaderAndWhatTheDecoderAndTheDialogTakeOfIt) {
    auto dib = [](int bits, std::uint32_t headerSize, std::uint32_t compression = 0) {
        fixtures::DibSpec s;
        s.width = s.height = 8;
        s.bitCount = bits;
        s.headerSize = headerSize;
        s.compression = compression;
        return fixtures::makeDib(s);
    };
    Bytes twoBits = dib(1, 40);
    fixtures::putU16(twoBits, 14, 2);
    const Bytes bitfields40 = dib(16, 40, 3);
    const Bytes cutMasks(bitfields40.begin(), bitfields40.begin() + 48);
    Bytes size20 = dib(8, 40);
    fixtures::putU32(size20, 0, 20);
    Bytes pastData = dib(8, 40);
    fixtures::putU32(pastData, 0, static_cast<std::uint32_t>(pastData.size() + 1));
    struct Case {
        const char* what;
        Bytes image;
        std::optional<std::uint64_t> tableOffset;  // nullopt: no header
        bool drawn, dialog;
    } cases[] = {
        {"40 bytes", dib(8, 40), 40, true, true},
        {"40 bytes, masks after it", bitfields40, 52, true, true},
        {"V4", dib(4, 108), 108, true, true},
        {"V5, masks inside it", dib(16, 124, 3), 124, true, true},
        {"V5 at 32 bits", dib(32, 124), 124, true, true},
        {"another length of 40 or more", dib(24, 64), 64, true, true},
        {"core header", dib(8, 12), 12, true, false},
        {"RLE8", dib(8, 40, 1), 40, false, true},
        {"2 bits", twoBits, 40, false, true},
        {"masks cut short", cutMasks, std::nullopt, false, false},
        {"header size 20", size20, std::nullopt, false, false},
        {"header longer than the data", pastData, std::nullopt, false, false},
    };
    for (const auto& c : cases) {
        const auto header = formats::readBitmapHeader(c.image);
        EXPECT_EQ(header.has_value(), c.tableOffset.has_value()) << c.what;
        if (header && c.tableOffset) {
            EXPECT_EQ(header->tableOffset, *c.tableOffset) << c.what;
            EXPECT_EQ(std::make_pair(header->width, header->imageHeight()), std::make_pair(8, 8)) << c.what;
            EXPECT_EQ(header->tableEntrySize, header->isCore() ? 3u : 4u) << c.what;
        }
        if (header && header->compression == formats::kBiBitfields) {
            EXPECT_EQ(header->masks[1], 0x07E0u) << c.what;  // the fixtures' 5-6-5 green
        }
        EXPECT_EQ(formats::decodeIconImage(c.image).has_value(), c.drawn) << c.what;
        EXPECT_EQ(formats::iconImageInfo(c.image).has_value(), c.dialog) << c.what;
        // A listing reads only the image's head and knows its length: the same answer.
        const formats::ByteView whole(c.image);
        const auto head = whole.sub(0, std::min<std::uint64_t>(whole.size(), formats::imageHeadSize(whole)));
        EXPECT_EQ(formats::iconImageInfo(*head, whole.size()).has_value(), c.dialog) << c.what;
        // The scale-down rule knows every image by the header alone.
        EXPECT_EQ(formats::imageHeaderInfo(c.image).has_value(), c.tableOffset.has_value()) << c.what;
    }
}
