// vexil-cli's icon locations, icon sets, version, 16-bit modules, failure lines, and the
// resource-only modules of Windows 10/11, through the programs as a user runs them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "formats/IconDecode.h"
#include "support/ModuleFixtures.h"
#include "support/RunProgram.h"

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;

namespace {

fixtures::ProgramRun cli(std::vector<std::string> args) {
    args.insert(args.begin(), VEXIL_CLI_PATH);
    return fixtures::runProgram(args);
}

std::size_t lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

std::string slurp(const std::string& path) {
    const Bytes b = fixtures::readFile(path);
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST(CliLocation, StandsForFileAndGroupInEveryCommand) {
    fixtures::TempDir dir;
    const std::string m = dir.file("m.dll");
    const std::string ico = dir.file("i.ico");
    ASSERT_TRUE(fixtures::writeFile(m, fixtures::makePe({fixtures::patternIcon(resId(7), {16, 48}, 8),
                                                        fixtures::patternIcon(resName("APP"), {32}, 4),
                                                        fixtures::patternIcon(resId(184), {16, 32}, 32)})));
    ASSERT_TRUE(fixtures::writeFile(ico, fixtures::makeIco({{fixtures::patternDib(32, 24)}})));
    ASSERT_EQ(mkdir(dir.file("System32").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("SystemResources").c_str(), 0755), 0);
    const std::string stub = dir.file("System32/imageres.dll");
    const std::string mun = dir.file("SystemResources/imageres.dll.mun");
    ASSERT_TRUE(fixtures::writeFile(stub, fixtures::makePe({}, {.withResources = false})));
    ASSERT_TRUE(fixtures::writeFile(mun, fixtures::makePe({fixtures::patternIcon(resId(184), {16, 48}, 8)},
                                                          {.textSize = 0, .resourceOnly = true})));

    // Each location form gives what the explicit arguments give: the same lines, the same
    // bytes written.
    struct Case {
        std::vector<std::string> located, explicitly;
        std::string out;  // a file both write, compared byte for byte; empty: stdout
    } cases[] = {
        {{"images", "--location", m + ",1"}, {"images", m, "#7"}, ""},
        {{"images", "--location", m + ",-184"}, {"images", m, "#184"}, ""},
        {{"images", "--location", ico + ",0"}, {"images", ico, "-"}, ""},
        {{"save-ico", "--location", m + ",-7", "@"}, {"save-ico", m, "#7", "@"}, "x.ico"},
        {{"save-ico", "--location", m + ",0", "@", "--image", "0"}, {"save-ico", m, "APP", "@", "--image", "0"}, "x.ico"},
        {{"save-bmp", "--location", m + ",2", "1", "@"}, {"save-bmp", m, "#184", "1", "@"}, "x.bmp"},
        {{"render", "--location", m + ",-184", "--size", "32", "@"}, {"render", m, "2", "--size", "32", "@"}, "x.png"},
        {{"render", "--location", ico + ",0", "--size", "16", "@"}, {"render", ico, "0", "--size", "16", "@"}, "x.png"},
        {{"theme", "--location", m + ",-7", "app", "--prefix", "@"}, {"theme", m, "#7", "app", "--prefix", "@"},
         "p/hicolor/48x48/apps/app.png"},
        {{"images", "--location", stub + ",-184"}, {"images", mun, "#184"}, ""},
    };
    for (const Case& c : cases) {
        std::string written[2];
        fixtures::ProgramRun runs[2];
        for (int i = 0; i < 2; ++i) {
            std::vector<std::string> args = i == 0 ? c.located : c.explicitly;
            const std::string target = dir.file(std::to_string(i) + (c.out.rfind("p/", 0) == 0 ? "" : c.out));
            for (std::string& a : args)
                if (a == "@") a = target;
            runs[i] = cli(args);
            ASSERT_EQ(runs[i].status, 0) << args[2] << " " << runs[i].err;
            if (!c.out.empty()) written[i] = slurp(c.out.rfind("p/", 0) == 0 ? target + c.out.substr(1) : target);
        }
        EXPECT_EQ(runs[0].out, runs[1].out) << c.located[2];
        EXPECT_EQ(written[0], written[1]) << c.located[2];
        if (!c.out.empty()) {
            EXPECT_FALSE(written[0].empty()) << c.located[2];
        }
    }
    // The stand-in file is named on one line of stderr.
    const auto redirected = cli({"images", "--location", stub + ",-184"});
    EXPECT_EQ(redirected.err, "vexil-cli: " + stub + " holds no icon groups; reading " +
                                  dir.file("System32/../SystemResources/imageres.dll.mun") + "\n");
    EXPECT_EQ(redirected.out, "16x16, 256色\n48x48, 256色\n");

    struct Failure {
        std::vector<std::string> args;
        int status;
        std::string err;
    } failures[] = {
        {{"images", "--location", m}, 2, ""},
        {{"images", "--location"}, 2, ""},
        {{"groups", "--location", m + ",0"}, 2, ""},
        {{"images", "--location", m + ",3"}, 1, "vexil-cli: " + m + ": holds no icon group 3\n"},
        {{"images", "--location", m + ",-8"}, 1, "vexil-cli: " + m + ": holds no icon group with id 8\n"},
        {{"images", "--location", ico + ",1"}, 1, "vexil-cli: " + ico + ": holds no icon group 1\n"},
        {{"images", "--location", dir.file("none.dll") + ",0"}, 1, "vexil-cli: " + dir.file("none.dll") + ": no such file\n"},
        {{"render", "--location", dir.file("System32/lost.dll") + ",0", "--size", "32", dir.file("r.png")}, 1,
         "vexil-cli: " + dir.file("System32/lost.dll") + ": no such file\n"},
    };
    for (const Failure& f : failures) {
        const auto r = cli(f.args);
        EXPECT_EQ(r.status, f.status) << f.args.back();
        EXPECT_EQ(lines(r.err), 1u) << f.args.back() << ": " << r.err;
        if (!f.err.empty()) {
            EXPECT_EQ(r.err, f.err);
        }
    }
}

TEST(CliTheme, WritesTheSetWhereAskedAndPrintsTheIconLine) {
    fixtures::TempDir dir;
    const std::string m = dir.file("m.dll");
    ASSERT_TRUE(fixtures::writeFile(m, fixtures::makePe({fixtures::patternIcon(resId(1), {16, 32}, 8)})));
    const auto sizesUnder = [](const std::string& prefix, const std::string& name) {
        std::vector<int> sizes;
        for (int size : {16, 22, 24, 32, 48, 64, 96, 128, 256}) {
            const std::string n = std::to_string(size);
            if (std::filesystem::exists(prefix + "/hicolor/" + n + "x" + n + "/apps/" + name + ".png")) sizes.push_back(size);
        }
        return sizes;
    };
    const std::vector<int> upTo32 = {16, 22, 24, 32};

    auto r = cli({"theme", m, "#1", "vexil-test.app", "--prefix", dir.file("p")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Icon=vexil-test.app\n");
    EXPECT_EQ(sizesUnder(dir.file("p"), "vexil-test.app"), upTo32);
    // Without --prefix: $XDG_DATA_HOME/icons, else ~/.local/share/icons.
    r = fixtures::runProgram({"/usr/bin/env", "XDG_DATA_HOME=" + dir.file("data"), VEXIL_CLI_PATH, "theme", m, "-", "a"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sizesUnder(dir.file("data/icons"), "a"), upTo32);
    r = fixtures::runProgram({"/usr/bin/env", "-u", "XDG_DATA_HOME", "HOME=" + dir.file("home"), VEXIL_CLI_PATH, "theme", m, "-", "b"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(sizesUnder(dir.file("home/.local/share/icons"), "b"), upTo32);

    for (const char* bad : {"my app", "a/b", "", "ü"}) {
        r = cli({"theme", m, "#1", bad, "--prefix", dir.file("q")});
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_EQ(lines(r.err), 1u) << bad;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.file("q")));
}

TEST(Cli, VersionSixteenBitModulesAndOneLineFailures) {
    fixtures::TempDir dir;
    // The version is the About box's.
    const auto version = cli({"--version"});
    EXPECT_EQ(version.status, 0);
    ASSERT_EQ(version.out.rfind("vexil-cli ", 0), 0u);
    const std::string number = version.out.substr(10, version.out.size() - 11);
    EXPECT_NE(slurp(std::string(VEXIL_SOURCE_DIR) + "/res/About.ui").find("Ver" + number + "<"), std::string::npos)
        << version.out;

    const std::string ne = dir.file("old.icl");
    ASSERT_TRUE(fixtures::writeFile(ne, fixtures::makeNe({fixtures::patternIcon(resName("ONE"), {32}, 4),
                                                          fixtures::patternIcon(resId(2), {16, 32}, 8)},
                                                         {.shift = 9})));
    EXPECT_EQ(cli({"groups", ne}).out, "ONE\n#2\n");
    EXPECT_EQ(cli({"images", ne, "#2"}).out, "16x16, 256色\n32x32, 256色\n");
    ASSERT_EQ(cli({"save-ico", ne, "#2", dir.file("ne.ico")}).status, 0);
    EXPECT_EQ(cli({"images", dir.file("ne.ico"), "-"}).out, "16x16, 256色\n32x32, 256色\n");

    // An icon file is read by its content, whatever its name.
    ASSERT_TRUE(fixtures::writeFile(dir.file("icon.bin"), fixtures::makeIco({{fixtures::patternDib(16, 4)}})));
    EXPECT_EQ(cli({"images", dir.file("icon.bin"), "-"}).out, "16x16, 16色\n");

    const std::string m = dir.file("m.dll");
    ASSERT_TRUE(fixtures::writeFile(m, fixtures::makePe({fixtures::patternIcon(resId(7))})));
    ASSERT_TRUE(fixtures::writeFile(dir.file("none.dll"), fixtures::makePe({}, {.withResources = false})));
    Bytes cut = fixtures::patternDib(32, 8);
    cut.resize(60);
    ASSERT_TRUE(fixtures::writeFile(dir.file("cut.dll"), fixtures::makePe({{resId(1), {cut}}})));
    ASSERT_TRUE(fixtures::writeFile(dir.file("bad.ico"), {'x', 'y'}));
    struct Failure {
        std::vector<std::string> args;
        std::string err;
    } failures[] = {
        {{"groups", dir.file("none.dll")}, dir.file("none.dll") + ": holds no icon groups: ｱｲｺﾝ名の取得に失敗しました"},
        {{"images", dir.file("bad.ico")}, dir.file("bad.ico") + ": cannot read the icon file: ｱｲｺﾝ ﾍｯﾀﾞｰの読込みに失敗しました"},
        {{"images", dir.file("cut.dll"), "#1"},
         dir.file("cut.dll") + ": cannot load icon group #1: ｴﾗｰ ﾌｫｰﾏｯﾄ ｺﾝﾊﾞｰﾄに失敗しました"},
        {{"save-ico", m, "#7", dir.file("no/dir/x.ico")}, dir.file("no/dir/x.ico") + ": cannot save the icon file: ｱｲｺﾝﾌｧｲﾙの作成に失敗しました"},
        {{"save-bmp", m, "#7", "0", dir.file("no/dir/x.bmp")}, dir.file("no/dir/x.bmp") + ": cannot save the bitmap: ﾋﾞｯﾄﾏｯﾌﾟの作成に失敗しました"},
        {{"save-ico", m, "#7", dir.file("x.ico"), "--image", "9"}, "image 9 does not exist (the group has 2 images)"},
        {{"images", m, "#8"}, m + ": cannot load icon group #8"},
        {{"groups", dir.file("missing.dll")}, dir.file("missing.dll") + ": no such file"},
        {{"groups", dir.path()}, dir.path() + ": not a regular file"},
    };
    for (const Failure& f : failures) {
        const auto r = cli(f.args);
        EXPECT_EQ(r.status, 1) << f.err;
        EXPECT_EQ(r.err, "vexil-cli: " + f.err + "\n");
    }
}

// Windows 10/11 keep system icons in resource-only modules (.mun) and texts in .mui files:
// a PE with resources and no code. Found by their content, like any DLL.
TEST(CliResourceOnly, ModulesOfHundredsOfGroupsAreCountedListedExtractedAndThumbnailed) {
    fixtures::TempDir dir;
    constexpr int kGroups = 400;
    std::vector<fixtures::ModuleIcon> icons;
    for (int i = 1; i <= kGroups; ++i) icons.push_back(fixtures::patternIcon(resId(static_cast<std::uint16_t>(i * 2)), {16, 32}, 4));
    icons.push_back(fixtures::patternIcon(resName("IMAGERES"), {48}, 32));
    const std::string mun = dir.file("imageres.dll.mun");
    const std::string mui = dir.file("shell32.dll.mui");
    ASSERT_TRUE(fixtures::writeFile(mun, fixtures::makePe(icons, {.plus = true, .resourceOnly = true})));
    ASSERT_TRUE(fixtures::writeFile(mui, fixtures::makePe(icons, {.textSize = 0, .resourceOnly = true})));

    for (const std::string& file : {mun, mui}) {
        EXPECT_EQ(cli({"count", file}).out, std::to_string(kGroups + 1) + "\t" + file + "\n");
        const auto groups = cli({"groups", file});
        EXPECT_EQ(lines(groups.out), static_cast<std::size_t>(kGroups + 1));
        EXPECT_EQ(groups.out.substr(0, 12), "IMAGERES\n#2\n");
        EXPECT_EQ(cli({"images", "--location", file + ",-800"}).out, "16x16, 16色\n32x32, 16色\n");

        const std::string out = dir.file("out-" + std::string(1, file.back()));
        const auto extract = cli({"extract", file, "-o", out});
        EXPECT_EQ(extract.status, 0) << extract.err;
        std::size_t files = 0;
        for (const auto& e : std::filesystem::directory_iterator(out)) files += e.path().extension() == ".ico";
        EXPECT_EQ(files, static_cast<std::size_t>(kGroups + 1));

        const std::string thumb = dir.file("thumb.png");
        const auto t = fixtures::runProgram({VEXIL_THUMBNAILER_PATH, "-s", "128", file, thumb});
        EXPECT_EQ(t.status, 0) << t.err;
        const auto picture = formats::decodeIconImage(fixtures::readFile(thumb));
        ASSERT_TRUE(picture) << file;
        EXPECT_EQ(picture->width, 48);  // the file's own icon, IMAGERES, never enlarged
        std::filesystem::remove(thumb);
    }
}
