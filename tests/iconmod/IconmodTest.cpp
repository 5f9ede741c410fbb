#include <gtest/gtest.h>

#include <filesystem>

#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "support/ImageFixtures.h"
#include "support/ImageLines.h"
#include "support/MessageRecorder.h"

using fixtures::Bytes;
using fixtures::getU16;
using fixtures::getU32;
using iconmod::QIconMod;
namespace text = iconmod::text;

namespace {

Bytes solidDib(int w, int h, int bits, std::uint32_t clrUsed = 0, std::uint32_t headerSize = 40) {
    fixtures::DibSpec s;
    s.width = w;
    s.height = h;
    s.bitCount = bits;
    s.clrUsed = clrUsed;
    s.headerSize = headerSize;
    s.sizeImage = 1234;  // a non-zero biSizeImage, which saved files must carry as 0
    s.pixel = [](int x, int y) { return static_cast<std::uint32_t>(x + y); };
    return makeDib(s);
}

Bytes redPng(int size) {
    return fixtures::makePng(size, size, [](int, int) { return 0xFFFF0000u; });
}

// Listing the file from its headers alone gives what `m` read of it, or the messages `rec`
// recorded when that failed.
void expectListingAgrees(const std::string& path, const QIconMod& m, fixtures::MessageRecorder& rec, const std::string& what) {
    const auto messages = rec.texts();
    rec.clear();
    const auto listed = QIconMod::fnListIcoFile(path);
    EXPECT_EQ(rec.texts(), messages) << what;
    ASSERT_EQ(listed.has_value(), m.Images != nullptr) << what;
    if (listed) {
        EXPECT_EQ(fixtures::imageLines(*listed), fixtures::imageLines(*m.Images)) << what;
    }
}

struct IcoFile {
    fixtures::TempDir dir;
    std::string path;
    explicit IcoFile(const Bytes& bytes, const std::string& name = "test.ico") : path(dir.file(name)) {
        fixtures::writeFile(path, bytes);
    }
};

}  // namespace

TEST(QIconMod, ConstructionTellsIcoFilesByExtension) {
    struct Case { const char* path; bool ico; } cases[] = {
        {"/x/a.ico", true}, {"/x/A.ICO", true}, {"/x/a.Ico", true}, {"/x/a.ico.exe", false},
        {"/x/dir.ico/a", false}, {"/x/aico", false}, {"/x/a.icon", false},
    };
    for (const auto& c : cases) {
        QIconMod m(c.path);
        EXPECT_EQ(m.IsIcoFile, c.ico) << c.path;
        EXPECT_EQ(m.StartGroup, 0);
        EXPECT_TRUE(m.GroupName.empty());
        EXPECT_FALSE(m.Images);
    }
}

TEST(QIconMod, ReadsImagesFromTheirOwnHeadersNotTheDirectory) {
    // Directory entries that lie about size and depth are read without complaint.
    IcoFile f(fixtures::makeIco({
        {solidDib(16, 16, 4), 99, 99, 3, 7, 7},
        {solidDib(48, 48, 8)},
        {solidDib(32, 32, 32)},
        {redPng(256)},
    }));
    fixtures::MessageRecorder rec;
    QIconMod m(f.path);
    ASSERT_TRUE(m.fnOpen());
    EXPECT_TRUE(rec.messages().empty());
    ASSERT_EQ(m.Images->Count(), 4u);
    const auto& im = m.Images->Images;
    EXPECT_EQ(std::make_tuple(im[0].Width, im[0].Height, im[0].ColorBits), std::make_tuple(16, 16, 4));
    EXPECT_EQ(std::make_tuple(im[1].Width, im[1].Height, im[1].ColorBits), std::make_tuple(48, 48, 8));
    EXPECT_EQ(std::make_tuple(im[2].Width, im[2].Height, im[2].ColorBits), std::make_tuple(32, 32, 32));
    EXPECT_TRUE(im[3].IsPng);
    EXPECT_EQ(std::make_tuple(im[3].Width, im[3].Height, im[3].ColorBits), std::make_tuple(256, 256, 32));
    // A second open keeps the set already read.
    const auto* before = m.Images.get();
    EXPECT_TRUE(m.fnOpen());
    EXPECT_EQ(m.Images.get(), before);
}

// The listing an .ico file gives from its headers (for `images` and `list`) succeeds and
// fails with it.
TEST(QIconMod, RefusesBrokenIcoFilesWithTheFailingStepsMessage) {
    const Bytes good = fixtures::makeIco({{solidDib(32, 32, 4)}});
    auto withU16 = [&](std::size_t at, std::uint16_t v) { Bytes b = good; fixtures::putU16(b, at, v); return b; };
    auto withU32 = [&](std::size_t at, std::uint32_t v) { Bytes b = good; fixtures::putU32(b, at, v); return b; };
    Bytes shortDib = solidDib(32, 32, 4);
    shortDib.resize(40 + 64 + 100);  // colour rows cut short
    Bytes noMask = solidDib(32, 32, 4);
    noMask.resize(40 + 64 + 512);    // a missing AND mask is fine
    Bytes wideDib = solidDib(32, 32, 1);  // header claims far more rows than the data holds
    fixtures::putU32(wideDib, 4, 30000);
    fixtures::putU32(wideDib, 8, 60000);

    struct Case {
        const char* what;
        Bytes bytes;
        const char* message;  // nullptr: read succeeds
    } cases[] = {
        {"cursor file", withU16(2, 2), text::kIcoHeaderReadFailed},
        {"reserved not 0", withU16(0, 1), text::kIcoHeaderReadFailed},
        {"five bytes", Bytes(good.begin(), good.begin() + 5), text::kIcoHeaderReadFailed},
        {"directory cut short", Bytes(good.begin(), good.begin() + 15), text::kIcoDataReadFailed},
        {"count beyond directory", withU16(4, 65535), text::kIcoDataReadFailed},
        {"image past the end", Bytes(good.begin(), good.end() - 1), text::kIcoDataReadFailed},
        {"4 GB image claimed", withU32(14, 0xFFFFFFF0u), text::kIcoDataReadFailed},
        {"offset beyond file", withU32(18, 0x7FFFFFFFu), text::kIcoDataReadFailed},
        {"rows cut short", fixtures::makeIco({{shortDib}}), text::kIcoFormatFailed},
        {"header cut short", fixtures::makeIco({{Bytes(good.begin() + 22, good.begin() + 50)}}), text::kIcoFormatFailed},
        {"huge dimensions", fixtures::makeIco({{wideDib}}), text::kIcoFormatFailed},
        {"not an image", fixtures::makeIco({{Bytes(200, 0x41)}}), text::kIcoFormatFailed},
        {"not an image, then one past the end",
         fixtures::makeIco({{Bytes(200, 0x41)}, {solidDib(16, 16, 4), {}, {}, {}, {}, {}, {}, 0x7FFFFFFFu}}), text::kIcoFormatFailed},
        {"past the end, then not an image",
         fixtures::makeIco({{solidDib(16, 16, 4), {}, {}, {}, {}, {}, {}, 0x7FFFFFFFu}, {Bytes(200, 0x41)}}), text::kIcoDataReadFailed},
        {"mask missing", fixtures::makeIco({{noMask}}), nullptr},
        {"no images", fixtures::makeIco({}), nullptr},
    };
    for (const auto& c : cases) {
        IcoFile f(c.bytes);
        fixtures::MessageRecorder rec;
        QIconMod m(f.path);
        const bool opened = m.fnOpen();
        expectListingAgrees(f.path, m, rec, c.what);
        if (!c.message) {
            EXPECT_TRUE(opened) << c.what;
            EXPECT_TRUE(rec.messages().empty()) << c.what;
            continue;
        }
        EXPECT_FALSE(opened) << c.what;
        EXPECT_FALSE(m.Images) << c.what;
        ASSERT_EQ(rec.messages().size(), 1u) << c.what;  // the listing's, the same as the read's
        EXPECT_EQ(rec.messages()[0].text, c.message) << c.what;
        EXPECT_EQ(rec.messages()[0].title, f.path) << c.what;
    }
}

// Every prefix of a good file is refused with exactly one message of the failing step,
// except the 6-byte header of an empty icon file, which is a file without images.
TEST(QIconMod, EveryTruncationOfAnIcoFileIsRefusedWithOneMessage) {
    const Bytes whole = fixtures::makeIco({{solidDib(16, 16, 4)}, {redPng(32)}});
    fixtures::TempDir dir;
    const std::string path = dir.file("cut.ico");
    for (std::size_t length = 0; length < whole.size(); ++length) {
        ASSERT_TRUE(fixtures::writeFile(path, Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length))));
        fixtures::MessageRecorder rec;
        QIconMod m(path);
        EXPECT_FALSE(m.fnOpen()) << length;
        expectListingAgrees(path, m, rec, std::to_string(length));
        ASSERT_EQ(rec.messages().size(), 1u) << length;
        const std::string& message = rec.messages()[0].text;
        const char* expected = length < 6 ? text::kIcoHeaderReadFailed : text::kIcoDataReadFailed;
        EXPECT_EQ(message, expected) << length;
    }
}

TEST(QIconMod, MissingFileOrDirectoryCannotBeRead) {
    fixtures::TempDir dir;
    std::filesystem::create_directory(dir.file("folder.ico"));
    for (const std::string& path : {dir.file("none.ico"), dir.file("folder.ico")}) {
        fixtures::MessageRecorder rec;
        QIconMod m(path);
        EXPECT_FALSE(m.fnOpen());
        expectListingAgrees(path, m, rec, path);
        EXPECT_EQ(rec.texts(), std::vector<std::string>{text::kIcoReadFailed}) << path;
    }
}

TEST(QIconMod, SavesAllImagesOrOneWithTheirOffsetsAndFields) {
    std::vector<fixtures::IcoEntry> entries = {
        {solidDib(16, 16, 1)}, {solidDib(32, 32, 4)}, {solidDib(32, 32, 8)}, {solidDib(48, 48, 24)}, {redPng(256)},
    };
    IcoFile f(fixtures::makeIco(entries));
    QIconMod m(f.path);
    ASSERT_TRUE(m.fnOpen());
    const auto& im = m.Images->Images;

    ASSERT_TRUE(m.fnSaveIco(f.dir.file("all.ico"), -1));
    const Bytes all = fixtures::readFile(f.dir.file("all.ico"));
    EXPECT_EQ(getU16(all, 4), 5);
    std::uint32_t offset = 86;
    const std::uint8_t colorCounts[] = {2, 16, 0, 0, 0};
    const std::uint8_t widths[] = {16, 32, 32, 48, 0};  // 256 is written as 0
    for (std::size_t i = 0; i < 5; ++i) {
        const std::size_t e = 6 + 16 * i;
        EXPECT_EQ(all[e], widths[i]) << i;
        EXPECT_EQ(all[e + 1], widths[i]) << i;
        EXPECT_EQ(all[e + 2], colorCounts[i]) << i;
        EXPECT_EQ(getU16(all, e + 4), 1) << i;
        EXPECT_EQ(getU16(all, e + 6), i < 4 ? im[i].ColorBits : 32) << i;
        EXPECT_EQ(getU32(all, e + 8), im[i].DataSize()) << i;
        EXPECT_EQ(getU32(all, e + 12), offset) << i;
        EXPECT_EQ(getU32(all, e + 12), QIconMod::fnImageOffset(*m.Images, static_cast<std::uint32_t>(i), -1));
        // Bitmaps carry biSizeImage 0 in the file and keep it in memory; a PNG is written as it is.
        Bytes written(all.begin() + offset, all.begin() + offset + im[i].DataSize());
        if (i < 4) {
            EXPECT_EQ(getU32(written, 20), 0u) << i;
            EXPECT_EQ(getU32(im[i].Data.toBytes(), 20), 1234u) << i;
            fixtures::putU32(written, 20, 1234);
        }
        EXPECT_EQ(written, im[i].Data.toBytes()) << i;
        offset += im[i].DataSize();
    }
    EXPECT_EQ(all.size(), offset);

    ASSERT_TRUE(m.fnSaveIco(f.dir.file("one.ico"), 2));
    const Bytes one = fixtures::readFile(f.dir.file("one.ico"));
    EXPECT_EQ(getU16(one, 4), 1);
    EXPECT_EQ(getU32(one, 18), 22u);
    EXPECT_EQ(one.size(), 22 + im[2].DataSize());

    // Reading a written file gives the same images, byte for byte but biSizeImage.
    QIconMod again(f.dir.file("all.ico"));
    ASSERT_TRUE(again.fnOpen());
    ASSERT_EQ(again.Images->Count(), 5u);
    for (std::size_t i = 0; i < 5; ++i) {
        Bytes a = again.Images->Images[i].Data.toBytes();
        if (i < 4) fixtures::putU32(a, 20, 1234);
        EXPECT_EQ(a, im[i].Data.toBytes()) << i;
    }
}

TEST(QIconMod, SaveFailuresShowTheirMessagesAndKeepTheOldFile) {
    fixtures::TempDir dir;
    {
        fixtures::MessageRecorder rec;
        QIconMod empty(dir.file("x.ico"));
        EXPECT_FALSE(empty.fnSaveIco(dir.file("out.ico"), -1));
        ASSERT_EQ(rec.messages().size(), 1u);
        EXPECT_EQ(rec.messages()[0].text, text::kNoIconData);
        EXPECT_EQ(rec.messages()[0].title, text::kErrorTitle);
    }
    IcoFile f(fixtures::makeIco({{solidDib(32, 32, 4)}}));
    QIconMod m(f.path);
    ASSERT_TRUE(m.fnOpen());
    fixtures::MessageRecorder rec;
    const std::string missingDir = f.dir.file("no/such/out.ico");
    EXPECT_FALSE(m.fnSaveIco(missingDir, -1));
    ASSERT_EQ(rec.messages().size(), 1u);
    EXPECT_EQ(rec.messages()[0].text, text::kIcoCreateFailed);
    EXPECT_EQ(rec.messages()[0].title, missingDir);
    EXPECT_FALSE(m.fnSaveIco(f.dir.file("out.ico"), 1));  // no image 1
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("out.ico")));
}

TEST(QIconMod, BitmapExportWritesTheColourRowsWithTheirOwnTable) {
    struct Case {
        int w, h, bits;
        std::uint32_t clrUsed;
        std::uint32_t offBits, rowBytes;
        std::uint32_t headerSize = 40;
    } cases[] = {
        {32, 32, 4, 0, 118, 16},
        {32, 32, 32, 0, 54, 128},
        {16, 16, 1, 0, 62, 4},
        {16, 16, 8, 20, 134, 16},     // biClrUsed 20: a table of 20 entries
        {48, 48, 24, 0, 54, 144},
        // V5 and V4 headers are kept whole, the table after them.
        {32, 32, 4, 0, 14 + 124 + 64, 16, 124},
        {16, 16, 32, 0, 14 + 108, 64, 108},
    };
    fixtures::TempDir dir;
    for (const auto& c : cases) {
        IcoFile f(fixtures::makeIco({{solidDib(c.w, c.h, c.bits, c.clrUsed, c.headerSize)}}));
        QIconMod m(f.path);
        ASSERT_TRUE(m.fnOpen());
        const auto& image = m.Images->Images[0];
        const std::string out = dir.file("out.bmp");
        ASSERT_TRUE(m.fnSaveBmp(out, image));
        const Bytes bmp = fixtures::readFile(out);
        const std::uint32_t size = c.offBits + c.rowBytes * static_cast<std::uint32_t>(c.h);
        ASSERT_EQ(bmp.size(), size) << c.bits;
        EXPECT_EQ(bmp[0], 'B');
        EXPECT_EQ(bmp[1], 'M');
        EXPECT_EQ(getU32(bmp, 2), size);
        EXPECT_EQ(getU32(bmp, 10), c.offBits);
        EXPECT_EQ(getU32(bmp, 14 + 8), static_cast<std::uint32_t>(c.h));  // biHeight is the height
        EXPECT_EQ(getU32(bmp, 14 + 20), 1234u);                          // other fields as stored
        // Header tail, table and rows are the image's own bytes.
        EXPECT_TRUE(std::equal(bmp.begin() + 14 + 12, bmp.end(), image.Data.begin() + 12));
        // The image in memory is untouched: saving it as ICO gives the same file as before.
        EXPECT_EQ(getU32(image.Data.toBytes(), 8), static_cast<std::uint32_t>(2 * c.h));
    }
}

TEST(QIconMod, BitmapExportOfAPngImageIsA32BitBitmap) {
    IcoFile f(fixtures::makeIco({{fixtures::makePng(20, 10, [](int x, int) {
        return x < 10 ? 0xFF102030u : 0x80FF0000u;  // opaque left half, half-transparent red right
    })}}));
    QIconMod m(f.path);
    ASSERT_TRUE(m.fnOpen());
    ASSERT_TRUE(m.fnSaveBmp(f.dir.file("p.bmp"), m.Images->Images[0]));
    const Bytes bmp = fixtures::readFile(f.dir.file("p.bmp"));
    ASSERT_EQ(bmp.size(), 54u + 20 * 10 * 4);
    EXPECT_EQ(getU32(bmp, 10), 54u);
    EXPECT_EQ(getU16(bmp, 14 + 14), 32);
    EXPECT_EQ(getU32(bmp, 54), 0xFF102030u);                // B, G, R, A of the first pixel
    EXPECT_EQ(getU32(bmp, 54 + 4 * 15), 0x80FF0000u);       // straight (not premultiplied) colour
}

TEST(QIconMod, BitmapExportFailuresAreReported) {
    IcoFile f(fixtures::makeIco({{solidDib(32, 32, 4)}}));
    QIconMod m(f.path);
    ASSERT_TRUE(m.fnOpen());
    fixtures::MessageRecorder rec;
    const std::string out = f.dir.file("missing/out.bmp");
    EXPECT_FALSE(m.fnSaveBmp(out, m.Images->Images[0]));
    ASSERT_EQ(rec.messages().size(), 1u);
    EXPECT_EQ(rec.messages()[0].text, text::kBmpCreateFailed);
    EXPECT_EQ(rec.messages()[0].title, out);
}

TEST(QIconMod, ImageLinesDescribeSizeAndColours) {
    struct Case { int w, h, bits; const char* line; } cases[] = {
        {16, 16, 4, "16x16, 16色"},   {32, 32, 8, "32x32, 256色"},    {32, 32, 1, "32x32, 2色"},
        {16, 16, 16, "16x16, 65536色"}, {48, 48, 24, "48x48, True Color (24bit)"},
        {32, 32, 32, "32x32, True Color (32bit)"}, {8, 8, 0, "8x8, 2色"},
    };
    for (const auto& c : cases) {
        iconmod::IconImage image;
        image.Width = c.w;
        image.Height = c.h;
        image.ColorBits = c.bits;
        EXPECT_EQ(iconmod::imageLineText(image), c.line);
    }
}

TEST(QIconMod, MakeIconDecodesAtTheImagesOwnSize) {
    IcoFile f(fixtures::makeIco({{solidDib(48, 48, 8)}, {redPng(64)}}));
    QIconMod m(f.path);
    ASSERT_TRUE(m.fnOpen());
    for (const auto& image : m.Images->Images) {
        const auto icon = QIconMod::fnMakeIcon(&image);
        ASSERT_TRUE(icon);
        EXPECT_EQ(icon->width, image.Width);
        EXPECT_EQ(icon->height, image.Height);
    }
    EXPECT_FALSE(QIconMod::fnMakeIcon(nullptr));
}
