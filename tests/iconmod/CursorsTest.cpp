// Cursor sets from modules and files (listed from headers and loaded whole), the image a
// size shows, the exact .cur writer and the Xcursor writer (read back with libXcursor).
#include <gtest/gtest.h>

#include <X11/Xcursor/Xcursor.h>

#include <memory>

#include "formats/ModuleResources.h"
#include "iconmod/Cursors.h"
#include "iconmod/XcursorFile.h"
#include "support/ImageFixtures.h"
#include "support/ImageLines.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;
using fixtures::CursorEntry;
using fixtures::resId;
using fixtures::resName;

namespace {

Bytes png(int size) {
    return fixtures::makePng(size, size, [](int x, int) { return x % 2 ? 0xFF336699u : 0x80000000u; });
}

// Images of 1, 4, 8 and 32 bits with hotspots at the corners, and a PNG image.
const std::vector<CursorEntry> kImages{
    {fixtures::patternDib(32, 1), 0, 0},
    {fixtures::patternDib(32, 4), 31, 0},
    {fixtures::patternDib(48, 8), 0, 47},
    {fixtures::patternDib(32, 32), 31, 31},
    {png(64), 5, 6},
};

struct Expected {
    int width, height, bits;
    bool png;
    std::uint16_t x, y;
};
const std::vector<Expected> kExpected{
    {32, 32, 1, false, 0, 0}, {32, 32, 4, false, 31, 0}, {48, 48, 8, false, 0, 47},
    {32, 32, 32, false, 31, 31}, {64, 64, 32, true, 5, 6},
};

void expectImages(const iconmod::CursorSet& set, const std::vector<CursorEntry>& expected, const std::string& what) {
    ASSERT_EQ(set.Images.size(), kExpected.size()) << what;
    for (std::size_t i = 0; i < kExpected.size(); ++i) {
        const auto& c = set.Images[i];
        const Expected& e = kExpected[i];
        EXPECT_EQ(c.Image.Width, e.width) << what << i;
        EXPECT_EQ(c.Image.Height, e.height) << what << i;
        EXPECT_EQ(c.Image.ColorBits, e.bits) << what << i;
        EXPECT_EQ(c.Image.IsPng, e.png) << what << i;
        EXPECT_EQ(c.HotspotX, e.x) << what << i;
        EXPECT_EQ(c.HotspotY, e.y) << what << i;
        EXPECT_EQ(c.Image.Data.toBytes(), expected[i].data) << what << i;
    }
}

std::vector<fixtures::RawResource> cursors() {
    return fixtures::cursorResources({{resName("ARROW"), {kImages[0]}}, {resId(7), kImages}}, 20);
}

}  // namespace

TEST(Cursors, GroupsOfEveryModuleKindAndCursorFiles) {
    struct Case {
        const char* what;
        Bytes module;
    } cases[] = {
        {"PE32", fixtures::makePe({}, {.extra = cursors()})},
        {"PE32+", fixtures::makePe({}, {.plus = true, .extra = cursors()})},
        // Unaligned, so that every resource ends where its image does.
        {"NE", fixtures::makeNe({}, {.shift = 0, .extra = cursors()})},
    };
    for (const auto& c : cases) {
        auto module = fixtures::openModule(c.module);
        ASSERT_TRUE(module) << c.what;
        const auto names = module->names(formats::kRtGroupCursor);
        ASSERT_TRUE(names) << c.what;
        ASSERT_EQ(names->size(), 2u) << c.what;
        const auto set = iconmod::loadCursorGroup(*module, resId(7));
        ASSERT_TRUE(set) << c.what;
        expectImages(*set, kImages, c.what);
        const auto listed = iconmod::listCursorGroup(*module, resId(7));
        ASSERT_TRUE(listed) << c.what;
        EXPECT_EQ(fixtures::imageLines(*listed), fixtures::imageLines(*set)) << c.what;
        EXPECT_FALSE(iconmod::loadCursorGroup(*module, resId(8))) << c.what;
        EXPECT_FALSE(iconmod::listCursorGroup(*module, resId(8))) << c.what;
    }
    const Bytes cur = fixtures::makeCur(kImages);
    const auto set = iconmod::readCursorSet(iconmod::SharedBytes(cur));
    ASSERT_TRUE(set);
    expectImages(*set, kImages, ".cur");
    // Listed where it lies inside a larger file (an animation's frame), offsets the file's.
    Bytes inside(100, 0);
    inside.insert(inside.end(), cur.begin(), cur.end());
    formats::MemorySource source(inside);
    const auto listed = iconmod::listCursorFile(source, 100, cur.size());
    ASSERT_TRUE(listed);
    EXPECT_EQ(fixtures::imageLines(*listed), fixtures::imageLines(*set));
    EXPECT_EQ(listed->front().Offset, 100 + 6 + 16 * kImages.size());
    EXPECT_FALSE(iconmod::listCursorFile(source, 100, cur.size() - 1));  // the last image cut short

    // An icon file is a cursor set only where icons are welcome (animation frames), each
    // image's hotspot its centre.
    const Bytes ico = fixtures::makeIco({{fixtures::patternDib(32, 4)}, {fixtures::patternDib(16, 8)}});
    EXPECT_FALSE(iconmod::readCursorSet(iconmod::SharedBytes(ico)));
    const auto frame = iconmod::readCursorSet(iconmod::SharedBytes(ico), true);
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame->Images[0].HotspotX, 16);
    EXPECT_EQ(frame->Images[1].HotspotY, 8);
}

TEST(Cursors, DamagedOrRepeatingGroups) {
    const Bytes image = fixtures::patternDib(32, 32);
    auto withGroup = [](const Bytes& group, std::vector<fixtures::RawResource> more) {
        more.push_back({resId(formats::kRtGroupCursor), resId(1), group});
        return fixtures::makePe({}, {.extra = more});
    };
    auto group = [](std::uint16_t count, std::uint16_t id) {
        Bytes g{0, 0, 2, 0};
        fixtures::appendU16(g, count);
        for (int i = 0; i < count; ++i) {
            fixtures::appendU32(g, 0);
            fixtures::appendU32(g, 0);
            fixtures::appendU32(g, 0);
            fixtures::appendU16(g, id);
        }
        return g;
    };
    Bytes withHotspot{3, 0, 4, 0};
    withHotspot.insert(withHotspot.end(), image.begin(), image.end());
    const fixtures::RawResource cursor{resId(formats::kRtCursor), resId(9), withHotspot};
    const Bytes two = group(2, 9);
    struct Case {
        const char* what;
        Bytes module;
        std::size_t images;  // 0: refused
    } cases[] = {
        {"one image named 3000 times, held once", withGroup(group(3000, 9), {cursor}), 3000},
        {"a missing image", withGroup(group(1, 10), {cursor}), 0},
        {"an image shorter than its hotspot", withGroup(group(1, 9), {{resId(formats::kRtCursor), resId(9), Bytes{1, 0}}}), 0},
        {"a malformed image", withGroup(group(1, 9), {{resId(formats::kRtCursor), resId(9), Bytes(60, 0)}}), 0},
        {"a directory cut short", withGroup(Bytes(two.begin(), two.end() - 1), {cursor}), 0},
    };
    for (const auto& c : cases) {
        auto module = fixtures::openModule(c.module);
        ASSERT_TRUE(module) << c.what;
        const auto set = iconmod::loadCursorGroup(*module, resId(1));
        ASSERT_EQ(set.has_value(), c.images != 0) << c.what;
        const auto listed = iconmod::listCursorGroup(*module, resId(1));
        ASSERT_EQ(listed.has_value(), c.images != 0) << c.what;
        if (!set) continue;
        EXPECT_EQ(fixtures::imageLines(*listed), fixtures::imageLines(*set)) << c.what;
        ASSERT_EQ(set->Images.size(), c.images) << c.what;
        EXPECT_TRUE(set->Images.front().Image.Data.sameAs(set->Images.back().Image.Data)) << c.what;
        EXPECT_EQ(set->Images.back().HotspotX, 3) << c.what;
    }
}

TEST(Cursors, ImageForASize) {
    iconmod::ImageEntries set;
    for (auto [w, bits] : {std::pair{32, 4}, {48, 8}, {32, 32}, {16, 1}}) {
        iconmod::ImageEntry c;
        c.Width = c.Height = w;
        c.ColorBits = bits;
        set.push_back(c);
    }
    struct Case {
        int size, chosen;
    } cases[] = {{32, 2}, {40, 2}, {48, 1}, {100, 1}, {16, 3}, {8, 3}, {20, 3}};
    for (const auto& c : cases) EXPECT_EQ(iconmod::chooseCursorImage(set, c.size), c.chosen) << c.size;
    EXPECT_EQ(iconmod::chooseCursorImage({}, 32), -1);
}

TEST(Cursors, SavedCurFileIsTheStoredBytes) {
    fixtures::TempDir dir;
    // A bitmap whose biSizeImage is not 0 keeps it: nothing is zeroed.
    fixtures::DibSpec sized;
    sized.width = sized.height = 16;
    sized.bitCount = 8;
    sized.sizeImage = 1234;
    std::vector<CursorEntry> images = kImages;
    images.push_back({fixtures::makeDib(sized), 15, 1});
    images.push_back({png(256), 128, 128});

    auto module = fixtures::openModule(fixtures::makePe({}, {.extra = fixtures::cursorResources({{resId(1), images}})}));
    const auto set = iconmod::loadCursorGroup(*module, resId(1));
    ASSERT_TRUE(set);
    const std::string path = dir.file("out.cur");
    ASSERT_TRUE(iconmod::saveCur(path, *set));
    // The .cur file of the same images, as the fixture writes one, byte for byte.
    Bytes expected = fixtures::makeCur(images);
    expected[6 + 16 * (images.size() - 1)] = 0;  // 256 is written as 0
    expected[6 + 16 * (images.size() - 1) + 1] = 0;
    EXPECT_EQ(fixtures::readFile(path), expected);

    // A .cur file copied through a set comes out as it went in.
    const auto again = iconmod::readCursorSet(iconmod::SharedBytes(expected));
    ASSERT_TRUE(again);
    ASSERT_TRUE(iconmod::saveCur(dir.file("copy.cur"), *again));
    EXPECT_EQ(fixtures::readFile(dir.file("copy.cur")), expected);

    EXPECT_FALSE(iconmod::saveCur(dir.file("empty.cur"), {}));
    EXPECT_FALSE(iconmod::saveCur(dir.file("no/such/dir.cur"), *set));
}

namespace {

struct LoadedImage {
    unsigned size, width, height, xhot, yhot, delay;
    std::uint32_t pixel;
    bool operator==(const LoadedImage&) const = default;
};
std::ostream& operator<<(std::ostream& o, const LoadedImage& i) {
    return o << i.size << " " << i.width << "x" << i.height << " @" << i.xhot << "," << i.yhot << " " << i.delay << "ms "
             << std::hex << i.pixel << std::dec;
}

using XcursorImagesPtr = std::unique_ptr<XcursorImages, void (*)(XcursorImages*)>;

std::vector<LoadedImage> loaded(XcursorImages* raw) {
    XcursorImagesPtr images(raw, XcursorImagesDestroy);
    std::vector<LoadedImage> out;
    for (int i = 0; images && i < images->nimage; ++i) {
        const XcursorImage* m = images->images[i];
        out.push_back({m->size, m->width, m->height, m->xhot, m->yhot, m->delay, m->pixels[m->width * m->height - 1]});
    }
    return out;
}

}  // namespace

TEST(Cursors, XcursorFilesShareRepeatedChunksAndRefuseWhatALoaderCannotTakeOrIsTooLarge) {
    using iconmod::XcursorResult;
    const std::uint32_t colours[] = {0xFFFF0000, 0x8000FF00, 0xFF0000FF};
    // Chunk i is filled with colour i.
    auto solid = [&](std::size_t chunk, const iconmod::XcursorImageInfo& c) {
        return formats::ArgbImage(static_cast<int>(c.width), static_cast<int>(c.height), colours[chunk % 3]);
    };
    const iconmod::XcursorImageInfo a{16, 16, 16, 3, 4, 100}, b{16, 16, 16, 40, 0, 50}, c{24, 24, 20, 5, 5, 100};
    struct Case {
        const char* what;
        iconmod::XcursorLayout layout;
        XcursorResult result;
        bool wrongPicture = false;  // the pixels made are not of the chunk's size
    } cases[] = {
        {"still, one image a size", {{a, c}, {0, 1}}, XcursorResult::Written},
        {"an animation whose steps repeat chunks", {{a, b, c}, {0, 1, 0, 0, 2, 2}}, XcursorResult::Written},
        {"an entry naming no chunk", {{a}, {0, 1}}, XcursorResult::BadImage},
        {"no entry", {{a}, {}}, XcursorResult::BadImage},
        {"an image wider than 32767", {{{1, 32768, 1, 0, 0, 0}}, {0}}, XcursorResult::BadImage},
        {"more entries than a loader takes", {{a}, std::vector<std::size_t>(iconmod::kMaxXcursorEntries + 1, 0)},
         XcursorResult::TooManyEntries},
        {"a file past 64 MiB", {{{256, 4096, 4096, 0, 0, 0}}, {0}}, XcursorResult::TooLarge},
        {"a picture not of its chunk's size", {{a}, {0}}, XcursorResult::BadImage, true},
    };
    fixtures::TempDir dir;
    for (const auto& t : cases) {
        const std::string path = dir.file("out.xcursor");
        ASSERT_TRUE(fixtures::writeFile(path, Bytes{'o', 'l', 'd'}));
        std::size_t made = 0;
        const auto result = iconmod::writeXcursor(path, t.layout, [&](std::size_t i) {
            ++made;
            return std::optional(t.wrongPicture ? formats::ArgbImage(1, 1) : solid(i, t.layout.chunks[i]));
        });
        EXPECT_EQ(result, t.result) << t.what;
        if (result != XcursorResult::Written) {
            // Refused before anything was made, or at the picture that failed; the old file kept.
            EXPECT_EQ(made, t.wrongPicture ? 1u : 0u) << t.what;
            EXPECT_EQ(fixtures::readFile(path), (Bytes{'o', 'l', 'd'})) << t.what;
            continue;
        }
        // Each chunk is written once, however many entries name it.
        EXPECT_EQ(made, t.layout.chunks.size()) << t.what;
        EXPECT_EQ(fixtures::readFile(path).size(), t.layout.fileSize()) << t.what;
        std::uint64_t chunkBytes = 0;
        for (const auto& chunk : t.layout.chunks) chunkBytes += 36 + 4ull * chunk.width * chunk.height;
        EXPECT_EQ(t.layout.fileSize(), 16 + 12 * t.layout.entries.size() + chunkBytes) << t.what;

        // libXcursor reads every entry, and every size as a loader asking for it gets it:
        // the entries of that size in order, each with its chunk's hotspot (kept inside the
        // image), delay and pixels.
        std::vector<LoadedImage> expected;
        for (std::size_t chunk : t.layout.entries) {
            const auto& info = t.layout.chunks[chunk];
            expected.push_back({info.nominalSize, info.width, info.height, std::min(info.hotspotX, info.width - 1),
                                std::min(info.hotspotY, info.height - 1), info.delayMs, colours[chunk % 3]});
        }
        EXPECT_EQ(loaded(XcursorFilenameLoadAllImages(path.c_str())), expected) << t.what;
        for (unsigned size : {16u, 24u}) {
            std::vector<LoadedImage> ofSize;
            for (const LoadedImage& image : expected)
                if (image.size == size) ofSize.push_back(image);
            EXPECT_EQ(loaded(XcursorFilenameLoadImages(path.c_str(), static_cast<int>(size))), ofSize) << t.what << size;
        }
        // Where no chunk repeats, the file is the one libXcursor's own writer makes.
        if (t.layout.chunks.size() != t.layout.entries.size()) continue;
        XcursorImagesPtr images(XcursorImagesCreate(static_cast<int>(t.layout.chunks.size())), XcursorImagesDestroy);
        for (std::size_t i = 0; i < t.layout.chunks.size(); ++i) {
            const auto& info = t.layout.chunks[i];
            XcursorImage* image = XcursorImageCreate(static_cast<int>(info.width), static_cast<int>(info.height));
            images->images[images->nimage++] = image;
            image->size = info.nominalSize;
            image->xhot = std::min(info.hotspotX, info.width - 1);
            image->yhot = std::min(info.hotspotY, info.height - 1);
            image->delay = info.delayMs;
            const auto picture = solid(i, info);
            std::copy(picture.pixels.begin(), picture.pixels.end(), image->pixels);
        }
        const std::string theirs = dir.file("theirs.xcursor");
        ASSERT_EQ(XcursorFilenameSaveImages(theirs.c_str(), images.get()), XcursorTrue);
        EXPECT_EQ(fixtures::readFile(path), fixtures::readFile(theirs)) << t.what;
    }
}
