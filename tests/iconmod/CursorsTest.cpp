// Cursor sets from modules and files, the image a size shows, and the exact .cur writer.
#include <gtest/gtest.h>

#include "formats/ModuleResources.h"
#include "iconmod/Cursors.h"
#include "support/ImageFixtures.h"
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
        EXPECT_FALSE(iconmod::loadCursorGroup(*module, resId(8))) << c.what;
    }
    const Bytes cur = fixtures::makeCur(kImages);
    const auto set = iconmod::readCursorSet(iconmod::SharedBytes(cur));
    ASSERT_TRUE(set);
    expectImages(*set, kImages, ".cur");

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
        if (!set) continue;
        ASSERT_EQ(set->Images.size(), c.images) << c.what;
        EXPECT_TRUE(set->Images.front().Image.Data.sameAs(set->Images.back().Image.Data)) << c.what;
        EXPECT_EQ(set->Images.back().HotspotX, 3) << c.what;
    }
}

TEST(Cursors, ImageForASize) {
    iconmod::CursorSet set;
    for (auto [w, bits] : {std::pair{32, 4}, {48, 8}, {32, 32}, {16, 1}}) {
        iconmod::CursorImage c;
        c.Image.Width = c.Image.Height = w;
        c.Image.ColorBits = bits;
        set.Images.push_back(c);
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
