// What a script author expects of vexil-cli: a group as a PNG of a chosen size, a hint for
// a bare group number, several files a run, no silent replacement of an icon set, one image
// of a cursor, and bitmaps' biSizeImage as stored on request.
#include <gtest/gtest.h>

#include <filesystem>

#include "cli/CliRun.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;

namespace {

// A 32 x 32 bitmap whose biSizeImage holds its pixel bytes (the save dialog writes 0).
Bytes dibWithSizeImage() {
    fixtures::DibSpec dib;
    dib.bitCount = 32;
    dib.sizeImage = 32 * 32 * 4;
    dib.pixel = [](int x, int y) { return 0xFF000000u | static_cast<std::uint32_t>(x * 8 + y); };
    return fixtures::makeDib(dib);
}

struct Files {
    fixtures::TempDir dir;
    std::string module = dir.file("m.dll");
    std::string other = dir.file("o.dll");
    Files() {
        EXPECT_TRUE(fixtures::writeFile(module, fixtures::makePe({fixtures::patternIcon(resId(7), {16, 48}, 8),
                                                                  {resName("APP"), {dibWithSizeImage()}}})));
        EXPECT_TRUE(fixtures::writeFile(other, fixtures::makePe({fixtures::patternIcon(resName("ONE"), {32}, 4)})));
    }
};

std::pair<std::uint32_t, std::uint32_t> pngSize(const Bytes& png) {
    if (png.size() < 24 || png[1] != 'P') return {0, 0};
    const auto bigEndian = [&png](std::size_t at) {
        return std::uint32_t{png[at]} << 24 | std::uint32_t{png[at + 1]} << 16 | std::uint32_t{png[at + 2]} << 8 | png[at + 3];
    };
    return {bigEndian(16), bigEndian(20)};
}

TEST(CliScripts, SavePngIsTheGroupAtTheSizeAsked) {
    Files f;
    const struct {
        std::vector<std::string> size;
        std::uint32_t side;
    } cases[] = {{{}, 48}, {{"--size", "16"}, 16}, {{"--size", "32"}, 32}, {{"--size", "100"}, 48}};
    for (const auto& c : cases) {
        std::vector<std::string> args = {"save-png", f.module, "#7", f.dir.file("g.png")};
        args.insert(args.end(), c.size.begin(), c.size.end());
        const auto run = runVexilCli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(pngSize(fixtures::readFile(f.dir.file("g.png"))), std::make_pair(c.side, c.side)) << c.side;
    }
    // The largest image, as extract --format png writes it; --location names the group too.
    ASSERT_EQ(runVexilCli({"extract", f.module, "-o", f.dir.file("out"), "--format", "png"}).status, 0);
    ASSERT_EQ(runVexilCli({"save-png", "--location", f.module + ",-7", f.dir.file("l.png")}).status, 0);
    EXPECT_EQ(fixtures::readFile(f.dir.file("l.png")), fixtures::readFile(f.dir.file("out/m.dll-#7.png")));
    EXPECT_EQ(runVexilCli({"save-png", f.module, "#7", f.dir.file("x.png"), "--size", "0"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(f.dir.file("x.png")));
}

TEST(CliScripts, ABareNumberForAGroupGetsTheHint) {
    Files f;
    const std::string hint = " (\"#7\" names the group with id 7)";
    const struct {
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {{"images", f.module, "7"}, f.module + ": cannot load icon group 7" + hint},
        {{"save-ico", f.module, "7", f.dir.file("x.ico")}, f.module + ": cannot load icon group 7" + hint},
        {{"save-cur", f.module, "7", f.dir.file("x.cur")}, f.module + ": no cursor group 7" + hint},
        {{"images", f.module, "APPX"}, f.module + ": cannot load icon group APPX\n"},
    };
    for (const auto& c : cases) {
        const auto run = runVexilCli(c.args);
        EXPECT_EQ(run.status, 1) << c.says;
        EXPECT_EQ(run.err.rfind("vexil-cli: " + c.says, 0), 0u) << run.err;
    }
}

TEST(CliScripts, SeveralFilesEachUnderTheirName) {
    Files f;
    const std::string missing = f.dir.file("gone.dll");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
    } cases[] = {
        {{"groups", f.module}, 0, "APP\n#7\n"},
        {{"groups", f.module, f.other}, 0, "==> " + f.module + " <==\nAPP\n#7\n\n==> " + f.other + " <==\nONE\n"},
        {{"groups", f.other, missing, f.other}, 1,
         "==> " + f.other + " <==\nONE\n\n==> " + missing + " <==\n\n==> " + f.other + " <==\nONE\n"},
        {{"images", f.module, "#7"}, 0, "16x16, 256色\n48x48, 256色\n"},
        {{"images", f.module, f.other, "--group", "-"}, 0,
         "==> " + f.module + " <==\n32x32, True Color (32bit)\n\n==> " + f.other + " <==\n32x32, 16色\n"},
        {{"images", f.module, f.module, "--group", "#7"}, 0,
         "==> " + f.module + " <==\n16x16, 256色\n48x48, 256色\n\n==> " + f.module + " <==\n16x16, 256色\n48x48, 256色\n"},
    };
    for (const auto& c : cases) {
        const auto run = runVexilCli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[1] << run.err;
        EXPECT_EQ(run.out, c.out);
    }
    // A name is written as every line is: a line break in it stays one \x0A.
    const std::string odd = f.dir.file("a\nb.dll");
    std::filesystem::copy_file(f.other, odd);
    const std::string header = "==> " + f.dir.file("a\\x0Ab.dll") + " <==\n";
    EXPECT_EQ(runVexilCli({"groups", odd, f.other}).out.substr(0, header.size()), header);

    // list: one object as before, --json or not; several: one array of them.
    const auto one = runVexilCli({"list", f.module});
    ASSERT_EQ(one.status, 0);
    EXPECT_EQ(runVexilCli({"list", f.module, "--json"}).out, one.out);
    const auto other = runVexilCli({"list", f.other});
    const auto several = runVexilCli({"list", f.module, missing, f.other});
    EXPECT_EQ(several.status, 1);
    EXPECT_EQ(several.out, "[" + one.out.substr(0, one.out.size() - 1) + ", " + other.out.substr(0, other.out.size() - 1) + "]\n");
}

TEST(CliScripts, ThemeKeepsAnExistingSetUnlessForced) {
    Files f;
    const std::string prefix = f.dir.file("icons");
    const std::string icon16 = prefix + "/hicolor/16x16/apps/app.png";
    const std::string icon48 = prefix + "/hicolor/48x48/apps/app.png";
    const struct {
        std::vector<std::string> args;
        int status;
    } steps[] = {
        {{"theme", f.module, "#7", "app.png", "--prefix", prefix}, 2},
        {{"theme", f.module, "#7", "app.PNG", "--prefix", prefix}, 2},
        {{"theme", f.module, "#7", "app", "--prefix", prefix}, 0},
        {{"theme", f.other, "ONE", "app", "--prefix", prefix}, 1},
        {{"theme", f.other, "ONE", "app", "--prefix", prefix, "--force"}, 0},
    };
    for (const auto& s : steps) {
        const auto run = runVexilCli(s.args);
        EXPECT_EQ(run.status, s.status) << s.args[3] << run.err;
        if (s.status == 1) {
            EXPECT_EQ(run.err, "vexil-cli: " + icon16 + ": an icon set of that name exists; --force replaces it\n");
            EXPECT_TRUE(std::filesystem::exists(icon48));  // the earlier set is kept
        }
    }
    EXPECT_FALSE(std::filesystem::exists(prefix + "/hicolor/48x48/apps/app.png.png"));
    EXPECT_FALSE(std::filesystem::exists(icon48));  // the forced set is ONE's: 32 pixels at most
    EXPECT_TRUE(std::filesystem::exists(prefix + "/hicolor/32x32/apps/app.png"));
}

TEST(CliScripts, SaveCurWritesOneImageOnRequest) {
    fixtures::TempDir dir;
    const Bytes small = fixtures::patternDib(16, 4), large = fixtures::patternDib(32, 8);
    ASSERT_TRUE(fixtures::writeFile(dir.file("c.cur"), fixtures::makeCur({{small, 1, 2}, {large, 3, 4}})));
    const struct {
        std::vector<std::string> image;
        int status;
        Bytes written;  // the .cur file expected; empty: none
    } cases[] = {
        {{"--image", "1"}, 0, fixtures::makeCur({{large, 3, 4}})},
        {{"--image", "0"}, 0, fixtures::makeCur({{small, 1, 2}})},
        {{}, 0, fixtures::makeCur({{small, 1, 2}, {large, 3, 4}})},
        {{"--image", "2"}, 1, {}},
        {{"--image", "x"}, 2, {}},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir.file("out.cur"));
        std::vector<std::string> args = {"save-cur", dir.file("c.cur"), "-", dir.file("out.cur")};
        args.insert(args.end(), c.image.begin(), c.image.end());
        const auto run = runVexilCli(args);
        EXPECT_EQ(run.status, c.status) << run.err;
        if (c.written.empty()) EXPECT_FALSE(std::filesystem::exists(dir.file("out.cur")));
        else EXPECT_EQ(fixtures::readFile(dir.file("out.cur")), c.written);
    }
}

// save-ico and extract write a bitmap's biSizeImage as 0 by default (the save dialog's
// rule) and as stored with --exact; the rest of the image is its stored bytes either way.
TEST(CliScripts, ExactKeepsBiSizeImage) {
    Files f;
    const Bytes stored = dibWithSizeImage();
    Bytes zeroed = stored;
    fixtures::putU32(zeroed, 20, 0);
    const std::string out = f.dir.file("x");
    const struct {
        std::vector<std::string> args;
        std::string written;
        const Bytes& image;
    } cases[] = {
        {{"save-ico", f.module, "APP", out + ".ico"}, out + ".ico", zeroed},
        {{"save-ico", f.module, "APP", out + ".ico", "--exact"}, out + ".ico", stored},
        {{"extract", f.module, "-o", out + "1"}, out + "1/m.dll-APP.ico", zeroed},
        {{"extract", f.module, "-o", out + "2", "--exact"}, out + "2/m.dll-APP.ico", stored},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(runVexilCli(c.args).status, 0) << c.written;
        const Bytes ico = fixtures::readFile(c.written);
        ASSERT_EQ(ico.size(), 6 + 16 + stored.size()) << c.written;
        EXPECT_EQ(Bytes(ico.begin() + 22, ico.end()), c.image) << c.written;
    }
}

}  // namespace
