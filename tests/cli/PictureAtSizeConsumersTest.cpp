// Groups whose directory disagrees with their images, as real programs ship them (a
// hand-drawn 128-pixel bitmap listed as "128 x 0" beside a 256-pixel PNG listed as garbage,
// ...): every maker of a picture of its own size takes the image the image's header names,
// through the one function they share. The thumbnailer and `extract --format png` run as
// programs; the window's PNG save (iconmod::sizedPng), icon sets (iconmod::writeIconTheme)
// and HiDPI drawing (formats::OpenedFile::scaledDown) as the window calls them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "formats/IconDecode.h"
#include "iconmod/GroupImages.h"
#include "iconmod/IconGroups.h"
#include "iconmod/IconTheme.h"
#include "iconmod/SizedPng.h"
#include "platform/IconExtract.h"
#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"
#include "support/RunProgram.h"

using fixtures::Bytes;
using fixtures::resId;
using formats::ArgbImage;

namespace {

// The program of one group whose directory entry i says sizes[i] (width, height bytes).
Bytes programWithDirectory(const std::vector<Bytes>& images, const std::vector<std::pair<int, int>>& sizes) {
    fixtures::PeLayout layout;
    Bytes pe = fixtures::makePe({{resId(1), images}}, {}, &layout);
    const std::size_t group = layout.at(resId(14), resId(1)).data;
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        pe[group + 6 + 14 * i] = static_cast<std::uint8_t>(sizes[i].first);
        pe[group + 6 + 14 * i + 1] = static_cast<std::uint8_t>(sizes[i].second);
    }
    return pe;
}

// What a picture made from `image` for `size` must be: the bytes themselves when it is a PNG
// passed on, else its pixels shrunk to fit.
struct Expected {
    const Bytes* passedOn;
    ArgbImage pixels;
};

Expected expectedFor(const Bytes& image, int size, bool passedOn) {
    const auto own = formats::decodeIconImage(image);
    return {passedOn ? &image : nullptr, own ? formats::shrinkToFit(*own, size) : ArgbImage{}};
}

void expectPicture(const Bytes& written, const Expected& expected, const std::string& what) {
    if (expected.passedOn) {
        EXPECT_EQ(written, *expected.passedOn) << what;
        return;
    }
    const auto picture = formats::decodeIconImage(written);
    ASSERT_TRUE(picture) << what;
    EXPECT_EQ(std::make_pair(picture->width, picture->height), std::make_pair(expected.pixels.width, expected.pixels.height))
        << what;
    EXPECT_EQ(picture->pixels, expected.pixels.pixels) << what;
}

}  // namespace

TEST(PictureAtSize, EveryConsumerTakesTheImageItsHeaderNamesWhereTheDirectoryDisagrees) {
    const Bytes png = fixtures::detailedPng(7);
    const Bytes drawn128 = fixtures::patternDib(128, 32), flat48 = fixtures::patternDib(48, 8),
                deep64 = fixtures::patternDib(64, 32), deep32 = fixtures::patternDib(32, 32),
                small16 = fixtures::patternDib(16, 4);
    struct At {
        int size;
        std::size_t image;  // the image the header names
        bool passedOn;      // a whole PNG of the size, byte for byte
    };
    const struct Case {
        const char* name;
        std::vector<Bytes> images;
        std::vector<std::pair<int, int>> directory;
        std::vector<At> sizes;
        std::size_t largest;  // the picture of `extract --format png`
    } cases[] = {
        {"drawn128", {flat48, drawn128, png}, {{48, 48}, {128, 0}, {37, 201}}, {{128, 1, false}, {256, 2, true}, {48, 0, false}}, 2},
        {"pnglisted16", {flat48, png}, {{48, 48}, {16, 16}}, {{256, 1, true}, {48, 0, false}}, 1},
        {"zerolisted48", {flat48, deep64}, {{0, 0}, {64, 64}}, {{48, 0, false}, {256, 1, false}}, 1},
        {"listed16twice", {deep32, small16}, {{16, 16}, {16, 16}}, {{16, 1, false}, {32, 0, false}}, 0},
        {"pnglisted48", {png, flat48}, {{48, 48}, {48, 48}}, {{48, 1, false}, {256, 0, true}}, 0},
    };

    fixtures::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("in").c_str(), 0700), 0);
    for (const Case& c : cases) {
        const std::string program = dir.file("in/" + std::string(c.name) + ".exe");
        ASSERT_TRUE(fixtures::writeFile(program, programWithDirectory(c.images, c.directory)));

        auto file = platform::openFile(program).file;
        ASSERT_TRUE(file && file->count() == 1) << c.name;
        const auto set = iconmod::groupImageSet(*file, 0);
        ASSERT_TRUE(set) << c.name;
        iconmod::QIconMod source(program);
        ASSERT_TRUE(iconmod::fnLoadIconAt(source, 0)) << c.name;
        const std::string themes = dir.file(std::string("themes-") + c.name);
        std::vector<std::string> themeFiles;
        fixtures::MessageRecorder messages;
        ASSERT_TRUE(iconmod::writeIconTheme(*source.Images, themes, "app", &themeFiles)) << c.name;

        for (const At& at : c.sizes) {
            const std::string what = std::string(c.name) + " at " + std::to_string(at.size);
            const Expected expected = expectedFor(c.images[at.image], at.size, at.passedOn);

            const std::string out = dir.file("thumbnail.png");
            const auto run = fixtures::runProgram({VEXIL_THUMBNAILER_PATH, "-s", std::to_string(at.size), program, out});
            ASSERT_EQ(run.status, 0) << what << ": " << run.err;
            expectPicture(fixtures::readFile(out), expected, what + ", thumbnailer");

            const auto saved = iconmod::sizedPng(*set, at.size);
            ASSERT_TRUE(saved) << what;
            expectPicture(*saved, expected, what + ", PNG save");

            const std::string themed = iconmod::iconThemeFile(themes, at.size, "app");
            if (std::find(themeFiles.begin(), themeFiles.end(), themed) != themeFiles.end())
                expectPicture(fixtures::readFile(themed), expected, what + ", icon set");

            const auto device = file->scaledDown(0, at.size);
            ASSERT_TRUE(device) << what;
            EXPECT_EQ(device->pixels, expectedFor(c.images[at.image], at.size, false).pixels.pixels) << what << ", HiDPI";
        }
    }

    const std::string out = dir.file("out");
    const auto run = fixtures::runProgram({VEXIL_CLI_PATH, "extract", dir.file("in"), "-o", out, "--format", "png"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const Case& c : cases) {
        const Bytes& largest = c.images[c.largest];
        const auto side = formats::imageHeaderInfo(largest);
        ASSERT_TRUE(side);
        expectPicture(fixtures::readFile(out + "/" + c.name + ".exe-#1.png"),
                      expectedFor(largest, side->width, formats::isPng(largest)), std::string(c.name) + ", extract");
    }
}
