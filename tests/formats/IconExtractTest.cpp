#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <filesystem>

#include "platform/IconExtract.h"
#include "platform/FileSource.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

using fixtures::Argb;
using fixtures::Bytes;
using fixtures::ModuleIcon;
using fixtures::resId;
using fixtures::resName;
using formats::ArgbImage;
using formats::IconDirEntry;
using formats::OpenedFile;

namespace {

// A square image of one colour, opaque unless `transparent` marks pixels for the AND mask
// (or, at 32 bits, for alpha 0).
Bytes solidImage(int size, int bitCount, Argb colour, std::function<bool(int, int)> transparent = nullptr) {
    fixtures::DibSpec s;
    s.width = size;
    s.height = size;
    s.bitCount = bitCount;
    // Masked pixels are black: a masked pixel of any other colour inverts the background.
    const bool masked = static_cast<bool>(transparent);
    if (bitCount <= 8) {
        s.palette = {colour, 0xFF000000u};
        s.pixel = [masked, transparent](int x, int y) { return masked && transparent(x, y) ? 1u : 0u; };
    } else {
        s.pixel = [colour, masked, transparent](int x, int y) {
            return masked && transparent(x, y) ? 0u : colour | 0xFF000000u;
        };
    }
    if (transparent) s.mask = transparent;
    return fixtures::makeDib(s);
}

constexpr Argb kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kYellow = 0xFFFFFF00u,
               kCyan = 0xFF00FFFFu, kGray = 0xFF808080u;

std::uint32_t centre(const ArgbImage& image) { return image.pixel(image.width / 2, image.height / 2); }

std::unique_ptr<OpenedFile> memoryFile(Bytes bytes) {
    return OpenedFile::fromSource(std::make_unique<formats::MemorySource>(std::move(bytes)));
}

}  // namespace

TEST(IconExtract, ChoosesTheClosestSizeThenTheDepthClosestTo32Bits) {
    struct Case {
        const char* what;
        std::vector<IconDirEntry> entries;
        int size;
        int expected;
    } cases[] = {
        {"empty directory", {}, 32, -1},
        {"exact size wins over depth", {{16, 16, 32}, {32, 32, 4}}, 32, 1},
        {"closest size when none fits", {{8, 8, 32}, {48, 48, 8}, {64, 64, 32}}, 32, 1},
        {"equal distance: the deeper of the same size", {{48, 48, 4}, {48, 48, 32}, {48, 48, 24}}, 32, 1},
        {"24 bits is closer to 32 than 8", {{32, 32, 8}, {32, 32, 24}}, 32, 1},
        {"a tie in depth keeps the earlier", {{32, 32, 32}, {32, 32, 32}}, 32, 0},
        {"0 in the directory means 256", {{0, 0, 32}, {64, 64, 4}}, 32, 1},
        {"256 chosen for a large request", {{48, 48, 32}, {0, 0, 32}}, 200, 1},
        {"width and height both count", {{32, 12, 32}, {24, 24, 4}}, 32, 1},
        {"small size from the same set", {{32, 32, 32}, {16, 16, 4}, {16, 16, 8}}, 16, 2},
        // 16 and 48 are equally far from 32 on each axis: the depth decides, then the order.
        {"equally far on both sides, deeper wins", {{16, 16, 4}, {48, 48, 32}}, 32, 1},
        {"equally far on both sides, same depth", {{48, 48, 8}, {16, 16, 8}}, 32, 0},
        {"the same pair from another shape", {{40, 24, 4}, {24, 24, 32}}, 32, 1},
        {"same total but not the same pair", {{32, 48, 4}, {40, 40, 32}}, 32, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(formats::chooseIconEntry(c.entries, c.size, c.size), c.expected) << c.what;
}

TEST(IconExtract, ModuleIconsUseTheChosenImageAtEachSize) {
    fixtures::TempDir dir;
    // Icon 0 offers every kind of choice; icon 1 has only a 48-pixel image.
    const ModuleIcon mixed{resId(1),
                           {solidImage(16, 4, kRed), solidImage(32, 8, kGreen), solidImage(32, 32, kBlue),
                            solidImage(48, 24, kYellow)}};
    const ModuleIcon large{resId(2), {solidImage(48, 24, kCyan)}};
    for (bool plus : {false, true}) {
        const std::string path = dir.file(plus ? "a64.dll" : "a.dll");
        ASSERT_TRUE(fixtures::writeFile(path, fixtures::makePe({mixed, large}, {.plus = plus})));
        auto file = platform::openFile(path).file;
        ASSERT_TRUE(file);
        ASSERT_EQ(file->count(), 2);
        const auto big = file->icon(0, 32);
        const auto small = file->icon(0, 16);
        const auto odd = file->icon(0, 24);  // 16 and 32 are equally far: the 32-bit one is deeper
        ASSERT_TRUE(big && small && odd);
        EXPECT_EQ(big->width, 32);
        EXPECT_EQ(centre(*big), kBlue);
        EXPECT_EQ(small->width, 16);
        EXPECT_EQ(centre(*small), kRed);
        EXPECT_EQ(odd->width, 24);
        EXPECT_EQ(centre(*odd), kBlue);

        const auto shrunk = file->icon(1, 32);
        ASSERT_TRUE(shrunk);
        EXPECT_EQ(std::make_pair(shrunk->width, shrunk->height), std::make_pair(32, 32));
        EXPECT_EQ(shrunk->pixel(0, 0), kCyan);
        EXPECT_EQ(shrunk->pixel(31, 31), kCyan);

        EXPECT_FALSE(file->icon(2, 32));
        EXPECT_FALSE(file->icon(-1, 32));
        EXPECT_FALSE(file->icon(0, 0));
    }
}

TEST(IconExtract, TransparencyFromTheMaskAndFromAlpha) {
    auto leftHalf = [](int x, int) { return x < 16; };
    const Bytes file = fixtures::makePe({{resId(1), {solidImage(32, 4, kGreen, leftHalf)}},
                                         {resId(2), {solidImage(32, 32, kGreen, leftHalf)}},
                                         {resId(3), {fixtures::makePng(32, 32, [](int x, int) {
                                              return x < 16 ? 0x80FF0000u : 0xFF0000FFu;
                                          })}}});
    auto icons = memoryFile(file);
    ASSERT_EQ(icons->count(), 3);
    for (int i = 0; i < 2; ++i) {
        const auto image = icons->icon(i, 32);
        ASSERT_TRUE(image) << i;
        EXPECT_EQ(image->pixel(3, 10), 0u) << i;
        EXPECT_EQ(image->pixel(20, 10), kGreen) << i;
    }
    const auto png = icons->icon(2, 32);
    ASSERT_TRUE(png);
    EXPECT_EQ(png->pixel(20, 5), kBlue);
    EXPECT_EQ(formats::argbAlpha(png->pixel(3, 5)), 0x80u);
    EXPECT_EQ(formats::argbRed(png->pixel(3, 5)), 0x80u);  // premultiplied
}

// Icon i is the i-th group in the order the module lists its groups: string names first,
// then ids ascending in a PE file; table order in an NE file.
TEST(IconExtract, IconIndexFollowsTheModulesGroupOrder) {
    const std::vector<ModuleIcon> icons{
        {resId(105), {solidImage(32, 4, kRed)}},
        {resName("MAIN"), {solidImage(32, 4, kGreen)}},
        {resId(2), {solidImage(32, 4, kBlue)}},
        {resName("Ｊ名前"), {solidImage(32, 4, kYellow)}},
    };
    const std::vector<Argb> peOrder{kGreen, kYellow, kBlue, kRed};  // MAIN, Ｊ名前 (sorted by code unit), #2, #105
    struct Case {
        const char* what;
        Bytes bytes;
        std::vector<Argb> colours;
    } cases[] = {
        {"PE32", fixtures::makePe(icons), peOrder},
        {"PE32+", fixtures::makePe(icons, {.plus = true}), peOrder},
        {"NE", fixtures::makeNe({icons[0], icons[1], icons[2]}), {kRed, kGreen, kBlue}},
        {"NE shift 9", fixtures::makeNe({icons[0], icons[1], icons[2]}, {.shift = 9}), {kRed, kGreen, kBlue}},
    };
    for (const auto& c : cases) {
        auto file = memoryFile(c.bytes);
        ASSERT_EQ(file->count(), static_cast<int>(c.colours.size())) << c.what;
        for (std::size_t i = 0; i < c.colours.size(); ++i) {
            const auto image = file->icon(static_cast<int>(i), 16);
            ASSERT_TRUE(image) << c.what << " icon " << i;
            EXPECT_EQ(centre(*image), c.colours[i]) << c.what << " icon " << i;
        }
    }
}

TEST(IconExtract, IcoFilesHoldOneIconMadeOfTheirBestImages) {
    auto file = memoryFile(fixtures::makeIco({{solidImage(48, 8, kYellow)},
                                              {solidImage(16, 4, kRed)},
                                              {fixtures::makePng(256, 256, [](int, int) { return kGray; })},
                                              {solidImage(32, 24, kGreen)},
                                              {solidImage(32, 32, kBlue)}}));
    ASSERT_EQ(file->count(), 1);
    EXPECT_EQ(centre(*file->icon(0, 32)), kBlue);
    EXPECT_EQ(centre(*file->icon(0, 16)), kRed);
    EXPECT_EQ(centre(*file->icon(0, 200)), kGray);
    EXPECT_FALSE(file->icon(1, 32));
}

TEST(IconExtract, CountsOfFilesThatAreNotModulesOrHoldNoIcons) {
    const Bytes ico = fixtures::makeIco({{solidImage(32, 4, kRed)}});
    Bytes cursor = ico;
    fixtures::putU16(cursor, 2, 2);
    Bytes truncatedPe = fixtures::makePe({fixtures::patternIcon(resId(1))});
    truncatedPe.resize(300);
    struct Case {
        const char* what;
        Bytes bytes;
        int count;
    } cases[] = {
        {"0 bytes", {}, 0},
        {"text", Bytes(100, 'a'), 0},
        {"MZ alone", {'M', 'Z'}, 0},
        {"cursor file", cursor, 0},
        {"ICO without images", fixtures::makeIco({}), 0},
        {"ICO", ico, 1},
        {"bare PNG", fixtures::makePng(16, 16, [](int, int) { return kRed; }), 0},
        {"PE without resources", fixtures::makePe({}, {.withResources = false}), 0},
        {"PE cut inside its headers", truncatedPe, 0},
        {"NE without resources", fixtures::makeNe({}, {.withResources = false}), 0},
    };
    fixtures::TempDir dir;
    for (const auto& c : cases) {
        const std::string path = dir.file("f.exe");
        ASSERT_TRUE(fixtures::writeFile(path, c.bytes));
        EXPECT_EQ(platform::iconCount(path), c.count) << c.what;
    }
    // Things that are not regular files are never opened for reading.
    ASSERT_EQ(mkfifo(dir.file("pipe.exe").c_str(), 0600), 0);
    std::filesystem::create_directory(dir.file("folder.exe"));
    EXPECT_EQ(platform::iconCount(dir.file("pipe.exe")), 0);
    EXPECT_EQ(platform::iconCount(dir.file("folder.exe")), 0);
    EXPECT_EQ(platform::iconCount(dir.file("missing.exe")), 0);
    EXPECT_FALSE(platform::extractIcon(dir.file("pipe.exe"), 0, nullptr, nullptr));
}

TEST(IconExtract, BrokenGroupsFailOrFallBackToAnotherImage) {
    // Group 1 names an RT_ICON id that does not exist; group 2's best image is damaged, so
    // the next best is used; group 3 has nothing usable at all.
    Bytes damaged = solidImage(32, 32, kBlue);
    fixtures::putU32(damaged, 0, 7);  // not a header size any decoder accepts
    const std::vector<ModuleIcon> icons{
        {resId(1), {solidImage(32, 4, kRed)}, {500}},
        {resId(2), {damaged, solidImage(16, 4, kGreen)}},
        {resId(3), {damaged}},
    };
    fixtures::PeLayout layout;
    Bytes module = fixtures::makePe(icons, {}, &layout);
    const auto& group1 = layout.at(resId(14), resId(1));
    fixtures::putU16(module, group1.data + 6 + 12, 501);

    auto file = memoryFile(module);
    ASSERT_EQ(file->count(), 3);
    EXPECT_FALSE(file->icon(0, 32));
    const auto fallback = file->icon(1, 32);
    ASSERT_TRUE(fallback);
    EXPECT_EQ(centre(*fallback), kGreen);
    EXPECT_FALSE(file->icon(2, 32));
}

TEST(IconExtract, ExtractionReadsTheChosenImagesNotTheFile) {
    fixtures::TempDir dir;
    const std::string path = dir.file("big.dll");
    // A 4 MiB code section and a 256-pixel image that a 32-pixel request never needs.
    ASSERT_TRUE(fixtures::writeFile(
        path, fixtures::makePe({{resId(1), {solidImage(32, 4, kRed), fixtures::makePng(256, 256, [](int, int) {
                                                                       return kGray;
                                                                   })}}},
                               {.textSize = 4 << 20})));
    auto source = platform::FileSource::open(path);
    ASSERT_TRUE(source);
    const platform::FileSource* counter = source.get();
    auto file = OpenedFile::fromSource(std::move(source));
    ASSERT_EQ(file->count(), 1);
    ASSERT_TRUE(file->icon(0, 32));
    ASSERT_TRUE(file->icon(0, 16));
    EXPECT_LE(counter->readCalls(), 4u);
}

TEST(IconExtract, LargestImageByAreaThenDepthThenOrder) {
    Bytes damaged = solidImage(48, 32, kBlue);
    fixtures::putU32(damaged, 0, 7);
    const Bytes png = fixtures::makePng(256, 256, [](int, int) { return kGray; });
    struct Case {
        const char* what;
        std::vector<Bytes> images;
        int width;  // 0: no image decodes
        Argb colour;
    } cases[] = {
        {"area before depth and order", {solidImage(16, 32, kRed), solidImage(48, 4, kGreen), solidImage(32, 32, kBlue)}, 48, kGreen},
        {"equal areas: the deeper", {solidImage(48, 8, kRed), solidImage(48, 24, kGreen), solidImage(48, 4, kBlue)}, 48, kGreen},
        {"equal areas and depths: the earlier", {solidImage(32, 8, kRed), solidImage(32, 8, kGreen)}, 32, kRed},
        {"a PNG listed as 0 x 0 is 256 pixels", {solidImage(48, 32, kRed), png, solidImage(32, 32, kBlue)}, 256, kGray},
        {"a damaged largest image gives way", {damaged, solidImage(16, 4, kRed), solidImage(32, 4, kGreen)}, 32, kGreen},
        {"nothing decodes", {damaged}, 0, 0},
    };
    for (const Case& c : cases) {
        std::vector<fixtures::IcoEntry> entries;
        for (const Bytes& image : c.images) entries.push_back({image});
        auto module = memoryFile(fixtures::makePe({{resId(1), c.images}, fixtures::patternIcon(resId(2), {64})}));
        auto ico = memoryFile(fixtures::makeIco(entries));
        for (OpenedFile* file : {module.get(), ico.get()}) {
            const auto image = file->largestImage(0);
            if (c.width == 0) {
                EXPECT_FALSE(image) << c.what;
                continue;
            }
            ASSERT_TRUE(image) << c.what;
            EXPECT_EQ(std::make_pair(image->width, image->height), std::make_pair(c.width, c.width)) << c.what;
            EXPECT_EQ(centre(*image), c.colour) << c.what;
        }
        EXPECT_FALSE(module->largestImage(2));
        EXPECT_FALSE(module->largestImage(-1));
    }
}
