// The details window's model: which images of a group it shows and how they are labelled,
// the zoom steps, a file's cursors and their frames, and the cursor files it writes, which
// must be the ones vexil-cli writes.
#include <gtest/gtest.h>

#include "app/DetailsModel.h"
#include "cli/CliRun.h"
#include "formats/AniFile.h"
#include "iconmod/XcursorFile.h"
#include "platform/IconExtract.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

namespace {

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;

TEST(DetailsModel, ZoomStepsStayBetweenOneAndEight) {
    const struct {
        int zoom, steps, expected;
    } cases[] = {{1, 1, 2}, {2, -1, 1}, {1, -1, 1}, {8, 1, 8}, {7, 1, 8}, {3, 10, 8}, {5, -9, 1}};
    for (const auto& c : cases) EXPECT_EQ(details::zoomStep(c.zoom, c.steps), c.expected) << c.zoom << " " << c.steps;
}

TEST(DetailsModel, GroupImagesBySizeThenDepthWithTheirLabels) {
    fixtures::TempDir dir;
    const Bytes png = fixtures::detailedPng(3);
    const Bytes dib32 = fixtures::patternDib(32, 4);
    const Bytes dib16deep = fixtures::patternDib(16, 32);
    const Bytes dib16 = fixtures::patternDib(16, 8);
    const std::string path = dir.file("m.dll");
    ASSERT_TRUE(fixtures::writeFile(path, fixtures::makePe({{resId(1), {png, dib32, dib16, dib16deep}}, fixtures::patternIcon(resId(2))})));
    auto file = platform::openFile(path).file;
    ASSERT_TRUE(file);

    const auto images = details::groupImages(*file, 0);
    const struct {
        const Bytes* stored;
        std::string label;
    } expected[] = {
        {&dib16deep, "16x16, True Color (32bit), DIB, " + std::to_string(dib16deep.size()) + "ﾊﾞｲﾄ"},
        {&dib16, "16x16, 256色, DIB, " + std::to_string(dib16.size()) + "ﾊﾞｲﾄ"},
        {&dib32, "32x32, 16色, DIB, " + std::to_string(dib32.size()) + "ﾊﾞｲﾄ"},
        {&png, "256x256, True Color (32bit), PNG, " + std::to_string(png.size()) + "ﾊﾞｲﾄ"},
    };
    ASSERT_EQ(images.size(), std::size(expected));
    for (std::size_t i = 0; i < images.size(); ++i) {
        EXPECT_EQ(images[i].Data.toBytes(), *expected[i].stored) << i;
        EXPECT_EQ(details::imageLabel(images[i], images[i].Data.size()), expected[i].label) << i;
    }
    EXPECT_EQ(details::groupImages(*file, 1).size(), 2u);
    EXPECT_TRUE(details::groupImages(*file, 2).empty());
}

// A module's cursor groups and animation, a .cur and an .ani file: what the cursors tab
// lists, the frames it plays, and the .cur and Xcursor files it saves byte for byte as
// vexil-cli's save-cur and xcursor commands.
TEST(DetailsModel, CursorsOfFilesAndTheirSavesMatchTheCli) {
    fixtures::TempDir dir;
    const std::string module = dir.file("m.dll");
    const std::string cur = dir.file("c.cur");
    const std::string ani = dir.file("a.ani");
    const std::string plain = dir.file("plain.exe");
    auto resources = fixtures::cursorResources(
        {{resId(3), {{fixtures::patternDib(32, 4), 0, 0}, {fixtures::patternDib(32, 8), 31, 31}}},
         {resName("HAND"), {{fixtures::solidDib(48, 0xFF00FF00), 47, 0}, {fixtures::solidDib(32, 0xFFFF0000), 4, 2}}}});
    resources.push_back({resId(formats::kRtAniCursor), resName("BUSY"),
                         fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(16, 0xFFFF0000), 1, 1}}),
                                                       fixtures::makeCur({{fixtures::solidDib(16, 0xFF0000FF), 2, 2}})},
                                            .rate = {6, 12, 3}, .sequence = {0, 1, 0}, .steps = 3})});
    ASSERT_TRUE(fixtures::writeFile(module, fixtures::makePe({fixtures::patternIcon(resId(1))}, {.extra = resources})));
    ASSERT_TRUE(fixtures::writeFile(cur, fixtures::makeCur({{fixtures::patternDib(32, 1), 3, 4}, {fixtures::patternDib(48, 32), 47, 47}})));
    ASSERT_TRUE(fixtures::writeFile(ani, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::patternDib(32, 32), 9, 8}})}, .rate = {4}})));
    ASSERT_TRUE(fixtures::writeFile(plain, fixtures::makePe({fixtures::patternIcon(resId(1))})));

    const struct Case {
        std::string path;
        std::vector<std::string> labels;
        std::vector<std::string> cliGroups;  // what vexil-cli calls each item
        std::vector<std::vector<std::uint32_t>> delays;
    } cases[] = {
        {module, {"HAND, 32x32, ﾎｯﾄｽﾎﾟｯﾄ 4,2", "#3, 32x32, ﾎｯﾄｽﾎﾟｯﾄ 31,31", "BUSY, ｱﾆﾒｰｼｮﾝ 3ｺﾏ"}, {"HAND", "#3", "BUSY"},
         {{0}, {0}, {100, 200, 50}}},
        {cur, {"32x32, ﾎｯﾄｽﾎﾟｯﾄ 3,4"}, {"-"}, {{0}}},
        {ani, {"ｱﾆﾒｰｼｮﾝ 1ｺﾏ"}, {"-"}, {{67}}},
        {plain, {}, {}, {}},
    };
    for (const Case& c : cases) {
        auto file = platform::openFile(c.path).file;
        ASSERT_TRUE(file) << c.path;
        const auto items = details::fileCursors(*file);
        ASSERT_EQ(items.size(), c.labels.size()) << c.path;
        for (std::size_t i = 0; i < items.size(); ++i) {
            EXPECT_EQ(details::cursorLabel(items[i]), c.labels[i]) << c.path << " " << i;
            std::vector<std::uint32_t> delays;
            for (const details::CursorFrame& f : details::cursorFrames(items[i], 32, 100)) delays.push_back(f.delayMs);
            EXPECT_EQ(delays, c.delays[i]) << c.path << " " << i;

            const std::string ours = dir.file("ours.xcursor"), theirs = dir.file("theirs.xcursor");
            ASSERT_EQ(details::saveCursorXcursor(*file, items[i], ours), iconmod::XcursorResult::Written) << c.path << " " << i;
            ASSERT_EQ(runVexilCli({"xcursor", c.path, c.cliGroups[i], theirs}).status, 0) << c.path << " " << i;
            EXPECT_EQ(fixtures::readFile(ours), fixtures::readFile(theirs)) << c.path << " " << i;

            if (items[i].animated && file->module()) {  // saved as an Xcursor file only
                EXPECT_FALSE(details::savesAsCur(items[i]));
                EXPECT_FALSE(details::saveCursorCur(*file, items[i], dir.file("none.cur")));
                continue;
            }
            EXPECT_TRUE(details::savesAsCur(items[i]));
            const std::string ourCur = dir.file("ours.cur"), theirCur = dir.file("theirs.cur");
            ASSERT_TRUE(details::saveCursorCur(*file, items[i], ourCur)) << c.path << " " << i;
            ASSERT_EQ(runVexilCli({"save-cur", c.path, c.cliGroups[i], theirCur}).status, 0) << c.path << " " << i;
            EXPECT_EQ(fixtures::readFile(ourCur), fixtures::readFile(theirCur)) << c.path << " " << i;
        }
    }
    // A step of a long animation beyond the frames asked for is not made.
    auto file = platform::openFile(module).file;
    EXPECT_EQ(details::cursorFrames(details::fileCursors(*file).back(), 32, 2).size(), 2u);
}

}  // namespace
