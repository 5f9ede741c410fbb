// vexil-cli's cursor commands through its binary, the Xcursor files read back with
// libXcursor's loader.
#include <gtest/gtest.h>

#include <X11/Xcursor/Xcursor.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <memory>
#include <set>

#include "formats/IconDecode.h"
#include "formats/ModuleResources.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"
#include "cli/CliRun.h"
#include "support/RunProgram.h"

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;

namespace {

struct LoadedImage {
    unsigned size, width, height, xhot, yhot, delay;
    std::uint32_t centre;
    bool operator==(const LoadedImage&) const = default;
};
std::ostream& operator<<(std::ostream& o, const LoadedImage& i) {
    return o << i.size << " " << i.width << "x" << i.height << " @" << i.xhot << "," << i.yhot << " " << i.delay << "ms "
             << std::hex << i.centre << std::dec;
}

std::vector<LoadedImage> loadImages(XcursorImages* raw) {
    std::vector<LoadedImage> out;
    std::unique_ptr<XcursorImages, void (*)(XcursorImages*)> images(raw, XcursorImagesDestroy);
    for (int i = 0; images && i < images->nimage; ++i) {
        const XcursorImage* m = images->images[i];
        out.push_back({m->size, m->width, m->height, m->xhot, m->yhot, m->delay,
                       m->pixels[(m->height / 2) * m->width + m->width / 2]});
    }
    return out;
}

// Every image of the file as libXcursor loads them all; a loader asking for one size gets
// the images of that size in the same order.
std::vector<LoadedImage> loadXcursor(const std::string& path) {
    const auto all = loadImages(XcursorFilenameLoadAllImages(path.c_str()));
    std::set<unsigned> sizes;
    for (const LoadedImage& image : all) sizes.insert(image.size);
    for (unsigned size : sizes) {
        std::vector<LoadedImage> ofSize;
        std::copy_if(all.begin(), all.end(), std::back_inserter(ofSize), [size](const LoadedImage& i) { return i.size == size; });
        EXPECT_EQ(loadImages(XcursorFilenameLoadImages(path.c_str(), static_cast<int>(size))), ofSize) << path << " " << size;
    }
    return all;
}

constexpr std::uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

std::vector<fixtures::RawResource> moduleCursors() {
    auto resources = fixtures::cursorResources(
        {{resId(3), {{fixtures::patternDib(32, 4), 0, 0}, {fixtures::patternDib(32, 8), 31, 31}}},
         {resName("HAND"), {{fixtures::solidDib(32, kRed), 4, 2}, {fixtures::solidDib(48, kGreen), 47, 0}, {fixtures::solidDib(32, kBlue), 1, 1}}}});
    const Bytes ani = fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(16, kRed), 1, 1}}),
                                                    fixtures::makeIco({{fixtures::solidDib(16, kBlue)}})},
                                         .rate = {6, 12}});
    resources.push_back({resId(formats::kRtAniCursor), resName("BUSY"), ani});
    return resources;
}

}  // namespace

TEST(CliCursors, GroupsImagesAndExactCopies) {
    fixtures::TempDir dir;
    const std::string module = dir.file("m.dll");
    const std::string cur = dir.file("c.cur");
    const std::string plain = dir.file("plain.exe");
    const std::string ani = dir.file("a.ani");
    ASSERT_TRUE(fixtures::writeFile(module, fixtures::makePe({fixtures::patternIcon(resId(1))}, {.extra = moduleCursors()})));
    // An animation whose first frame is a cursor of two images, its second an icon.
    ASSERT_TRUE(fixtures::writeFile(ani, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::patternDib(16, 4), 2, 3}, {fixtures::patternDib(32, 32), 9, 8}}),
                                                                       fixtures::makeIco({{fixtures::patternDib(48, 8)}})}})));
    ASSERT_TRUE(fixtures::writeFile(cur, fixtures::makeCur({{fixtures::patternDib(32, 1), 3, 4}, {fixtures::patternDib(48, 32), 47, 47}})));
    ASSERT_TRUE(fixtures::writeFile(plain, fixtures::makePe({fixtures::patternIcon(resId(1))})));

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;  // compared when the status is 0
    } cases[] = {
        {{"groups", module, "--cursors"}, 0, "HAND\n#3\n"},
        {{"groups", "--cursors", module}, 0, "HAND\n#3\n"},
        {{"groups", module}, 0, "#1\n"},  // the icon groups, as before
        {{"groups", cur, "--cursors"}, 0, ""},
        {{"images", module, "#3", "--cursors"}, 0, "32x32, 16色, hotspot 0,0\n32x32, 256色, hotspot 31,31\n"},
        {{"images", module, "--cursors"}, 0,
         "32x32, True Color (32bit), hotspot 4,2\n48x48, True Color (32bit), hotspot 47,0\n"
         "32x32, True Color (32bit), hotspot 1,1\n"},
        {{"images", cur, "-", "--cursors"}, 0, "32x32, 2色, hotspot 3,4\n48x48, True Color (32bit), hotspot 47,47\n"},
        // "-" names an .ani file: its first frame, where a still cursor is asked for.
        {{"images", ani, "-", "--cursors"}, 0, "16x16, 16色, hotspot 2,3\n32x32, True Color (32bit), hotspot 9,8\n"},
        {{"images", ani, "#1", "--cursors"}, 1, ""},
        {{"groups", plain, "--cursors"}, 1, ""},
        {{"images", module, "#4", "--cursors"}, 1, ""},
        {{"images", cur, "#1", "--cursors"}, 1, ""},
        {{"save-cur", module, "#3"}, 2, ""},
        {{"save-cur", module, "BUSY", dir.file("x.cur")}, 1, ""},
        {{"save-cur", module, "#3", dir.file("no/dir/x.cur")}, 1, ""},
        // Locations count cursor groups for the cursor commands: module order, or -id.
        {{"images", "--location", module + ",1", "--cursors"}, 0, "32x32, 16色, hotspot 0,0\n32x32, 256色, hotspot 31,31\n"},
        {{"images", "--location", module + ",-3", "--cursors"}, 0, "32x32, 16色, hotspot 0,0\n32x32, 256色, hotspot 31,31\n"},
        {{"images", "--location", cur + ",0", "--cursors"}, 0, "32x32, 2色, hotspot 3,4\n48x48, True Color (32bit), hotspot 47,47\n"},
        {{"images", "--location", module + ",2", "--cursors"}, 1, ""},
    };
    for (const auto& c : cases) {
        const auto r = runVexilCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args[0] << " " << c.args[1] << r.err;
        if (c.status == 0) EXPECT_EQ(r.out, c.out) << c.args[0] << " " << c.args[1];
        else EXPECT_FALSE(r.err.empty()) << c.args[0] << " " << c.args[1];
    }

    // A .cur file copied through save-cur is the same file; a group's copy reads back.
    ASSERT_EQ(runVexilCli({"save-cur", cur, "-", dir.file("copy.cur")}).status, 0);
    EXPECT_EQ(fixtures::readFile(dir.file("copy.cur")), fixtures::readFile(cur));
    ASSERT_EQ(runVexilCli({"save-cur", ani, "-", dir.file("frame.cur")}).status, 0);
    EXPECT_EQ(runVexilCli({"images", dir.file("frame.cur"), "-", "--cursors"}).out,
              runVexilCli({"images", ani, "-", "--cursors"}).out);
    ASSERT_EQ(runVexilCli({"save-cur", module, "#3", dir.file("group.cur")}).status, 0);
    EXPECT_EQ(runVexilCli({"images", dir.file("group.cur"), "-", "--cursors"}).out, cases[4].out);
    ASSERT_EQ(runVexilCli({"save-cur", "--location", module + ",-3", dir.file("located.cur")}).status, 0);
    EXPECT_EQ(fixtures::readFile(dir.file("located.cur")), fixtures::readFile(dir.file("group.cur")));
}

TEST(CliCursors, XcursorFilesReadBackWithLibXcursor) {
    fixtures::TempDir dir;
    const std::string module = dir.file("m.dll");
    const std::string cur = dir.file("c.cur");
    const std::string ani = dir.file("a.ani");
    ASSERT_TRUE(fixtures::writeFile(module, fixtures::makePe({}, {.extra = moduleCursors()})));
    ASSERT_TRUE(fixtures::writeFile(cur, fixtures::makeCur({{fixtures::solidDib(32, kRed), 40, 3}})));
    // Frames of 16 and 24 pixels, the second frame lacking the 24-pixel image.
    ASSERT_TRUE(fixtures::writeFile(ani, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(16, kRed), 2, 2}, {fixtures::solidDib(24, kRed), 3, 3}}),
                                                                       fixtures::makeCur({{fixtures::solidDib(16, kGreen), 8, 8}})},
                                                            .rate = {3, 6, 60},
                                                            .sequence = {1, 0, 1},
                                                            .steps = 3})));
    // One 64-pixel frame shown by 1,000 steps of one delay, and a 16-pixel frame by 10 steps
    // of two delays: a chunk for each delay, however many steps repeat it.
    const std::string repeated = dir.file("repeated.ani"), twoDelays = dir.file("two.ani");
    ASSERT_TRUE(fixtures::writeFile(repeated, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(64, kBlue), 5, 6}})},
                                                                 .sequence = std::vector<std::uint32_t>(1000, 0),
                                                                 .steps = 1000,
                                                                 .defaultRate = 6})));
    ASSERT_TRUE(fixtures::writeFile(twoDelays, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(16, kRed), 1, 1}})},
                                                                  .rate = {6, 12, 6, 12, 6, 12, 6, 12, 6, 12},
                                                                  .sequence = std::vector<std::uint32_t>(10, 0),
                                                                  .steps = 10})));
    using Images = std::vector<LoadedImage>;
    Images alternating;
    for (int i = 0; i < 10; ++i) alternating.push_back({16, 16, 16, 1, 1, i % 2 ? 200u : 100u, kRed});
    auto chunk = [](std::uint64_t side) { return 36 + 4 * side * side; };
    struct Case {
        std::string what, file, group;
        Images expected;
        std::uint64_t fileSize = 0;  // header, entries and the chunks written; 0: not checked
    } cases[] = {
        {"one image a width, the deepest of equal ones", module, "HAND",
         {{32, 32, 32, 4, 2, 0, kRed}, {48, 48, 48, 47, 0, 0, kGreen}}},
        {"a hotspot outside the image is kept inside", cur, "-", {{32, 32, 32, 31, 3, 0, kRed}}},
        {"an animation: every size, the steps in order with their delays", ani, "-",
         {{16, 16, 16, 8, 8, 50, kGreen}, {16, 16, 16, 2, 2, 100, kRed}, {16, 16, 16, 8, 8, 1000, kGreen},
          {24, 24, 24, 12, 12, 50, kGreen}, {24, 24, 24, 3, 3, 100, kRed}, {24, 24, 24, 12, 12, 1000, kGreen}}},
        {"an animated resource, an icon frame's hotspot its centre", module, "BUSY",
         {{16, 16, 16, 1, 1, 100, kRed}, {16, 16, 16, 8, 8, 200, kBlue}}},
        {"steps repeating a frame share its chunk", repeated, "-", Images(1000, {64, 64, 64, 5, 6, 100, kBlue}),
         16 + 12 * 1000 + chunk(64)},
        {"a frame shown for two delays has a chunk for each", twoDelays, "-", alternating, 16 + 12 * 10 + 2 * chunk(16)},
    };
    for (const auto& c : cases) {
        const std::string out = dir.file("out.xcursor");
        const auto r = runVexilCli({"xcursor", c.file, c.group, out});
        ASSERT_EQ(r.status, 0) << c.what << r.err;
        EXPECT_EQ(loadXcursor(out), c.expected) << c.what;
        if (c.fileSize) {
            EXPECT_EQ(fixtures::readFile(out).size(), c.fileSize) << c.what;
        }
    }

    // 300 steps of one 256-pixel frame, each for a delay of its own, need 300 chunks (75 MiB);
    // 70,000 steps need more entries than a loader takes. Both are refused before anything
    // is made.
    std::vector<std::uint32_t> delays(300);
    for (std::uint32_t i = 0; i < delays.size(); ++i) delays[i] = i + 1;
    const std::string large = dir.file("large.ani"), longer = dir.file("long.ani");
    ASSERT_TRUE(fixtures::writeFile(large, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(256, kRed), 0, 0}})},
                                                              .rate = delays,
                                                              .sequence = std::vector<std::uint32_t>(300, 0),
                                                              .steps = 300})));
    ASSERT_TRUE(fixtures::writeFile(longer, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(16, kRed), 0, 0}})},
                                                               .sequence = std::vector<std::uint32_t>(70000, 0),
                                                               .steps = 70000})));
    // Failures leave nothing behind, each on one line that says why.
    const std::string x = dir.file("x.xcursor");
    struct Failure {
        std::vector<std::string> args;
        std::string says;
    } failures[] = {
        {{"xcursor", module, "#99", x}, "no cursor group #99"},
        {{"xcursor", ani, "#1", x}, "GROUP must be -"},
        {{"xcursor", dir.file("missing.cur"), "-", x}, "cannot be read"},
        {{"xcursor", large, "-", x}, x + ": the Xcursor file would take " + std::to_string(16 + 12 * 300 + 300 * chunk(256)) +
                                      " bytes, more than 64 MiB; nothing was written"},
        {{"xcursor", longer, "-", x}, x + ": the Xcursor file would hold 70000 images, more than the 65536 a loader takes"},
    };
    for (const auto& f : failures) {
        const auto r = runVexilCli(f.args);
        EXPECT_EQ(r.status, 1) << f.args[1];
        EXPECT_NE(r.err.find(f.says), std::string::npos) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(x));
}

TEST(CliCursors, ExtractWritesCursorsBesideIconsWhenAsked) {
    fixtures::TempDir in, out, scratch;
    const Bytes ani = fixtures::makeAni({{fixtures::makeCur({{fixtures::solidDib(16, kRed), 1, 1}})}});
    const Bytes cur = fixtures::makeCur({{fixtures::solidDib(32, kGreen), 0, 0}});
    ASSERT_TRUE(fixtures::writeFile(in.file("m.dll"), fixtures::makePe({fixtures::patternIcon(resId(1))}, {.extra = moduleCursors()})));
    ASSERT_TRUE(fixtures::writeFile(in.file("c.dll"), fixtures::makePe({}, {.extra = fixtures::cursorResources({{resId(4), {{fixtures::solidDib(16, kRed), 0, 0}}}})})));
    ASSERT_TRUE(fixtures::writeFile(in.file("wait.ani"), ani));
    ASSERT_TRUE(fixtures::writeFile(in.file("arrow.cur"), cur));

    // Without --cursors the cursor files hold nothing to extract, as before.
    auto run = runVexilCli({"extract", in.path(), "-o", out.path()});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "4 files, 1 icon written; skipped 3 files (3 without icons)\n");

    run = runVexilCli({"extract", in.path(), "-o", scratch.path(), "--cursors"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "4 files, 1 icon and 6 cursors written\n");
    struct Written {
        std::string name;
        std::vector<std::string> sameAs;  // a save-cur command whose output it equals; empty: `bytes`
        Bytes bytes = {};
    } written[] = {
        {"m.dll-#1.ico", {}, fixtures::readFile(out.file("m.dll-#1.ico"))},
        {"m.dll-HAND.cur", {"save-cur", in.file("m.dll"), "HAND"}},
        {"m.dll-#3.cur", {"save-cur", in.file("m.dll"), "#3"}},
        {"m.dll-BUSY.ani", {}, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(16, kRed), 1, 1}}), fixtures::makeIco({{fixtures::solidDib(16, kBlue)}})},
                                                  .rate = {6, 12}})},
        {"c.dll-#4.cur", {"save-cur", in.file("c.dll"), "#4"}},
        {"wait.ani.ani", {}, ani},
        {"arrow.cur.cur", {}, cur},
    };
    std::set<std::string> names;
    for (const auto& w : written) {
        names.insert(w.name);
        Bytes expected = w.bytes;
        if (!w.sameAs.empty()) {
            auto args = w.sameAs;
            args.push_back(out.file("expected.cur"));
            ASSERT_EQ(runVexilCli(args).status, 0) << w.name;
            expected = fixtures::readFile(out.file("expected.cur"));
        }
        EXPECT_EQ(fixtures::readFile(scratch.file(w.name)), expected) << w.name;
    }
    std::set<std::string> found;
    for (const auto& e : std::filesystem::directory_iterator(scratch.path())) found.insert(e.path().filename().string());
    EXPECT_EQ(found, names);
}

TEST(CliCursors, ThumbnailsOfCursorFiles) {
    fixtures::TempDir dir;
    const Bytes cur = fixtures::makeCur({{fixtures::solidDib(32, kRed), 0, 0}, {fixtures::solidDib(48, kGreen), 0, 0}});
    const Bytes ani = fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(24, kRed), 0, 0}}), fixtures::makeIco({{fixtures::solidDib(24, kBlue)}})},
                                         .sequence = {1, 0},
                                         .steps = 2});
    struct Case {
        std::string what;
        Bytes bytes;
        std::string size;
        int side;  // 0: no thumbnail
        std::uint32_t colour = 0;
    } cases[] = {
        {"the largest cursor image, not enlarged", cur, "128", 48, kGreen},
        {"the image of the size asked", cur, "32", 32, kRed},
        {"the frame of the first step", ani, "128", 24, kBlue},
        {"a cursor file without a readable image", fixtures::makeCur({{Bytes(40, 0), 0, 0}}), "128", 0},
    };
    for (const auto& c : cases) {
        const std::string input = dir.file("in.bin");
        const std::string output = dir.file("out.png");
        std::filesystem::remove(output);
        ASSERT_TRUE(fixtures::writeFile(input, c.bytes));
        const auto run = fixtures::runProgram({VEXIL_THUMBNAILER_PATH, "-s", c.size, input, output});
        EXPECT_EQ(run.status, c.side ? 0 : 1) << c.what << run.err;
        const Bytes png = fixtures::readFile(output);
        if (!c.side) {
            EXPECT_TRUE(png.empty()) << c.what;
            continue;
        }
        const auto picture = formats::decodeIconImage(png);
        ASSERT_TRUE(picture) << c.what;
        EXPECT_EQ(picture->width, c.side) << c.what;
        EXPECT_EQ(picture->pixel(c.side / 2, c.side / 2), c.colour) << c.what;
    }
}
