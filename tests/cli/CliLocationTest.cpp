// vexil-cli's icon locations, icon sets, version, 16-bit modules, failure lines, and the
// resource-only modules of Windows 10/11, through the programs as a user runs them.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "formats/IconDecode.h"
#include "support/ModuleFixtures.h"
#include "cli/CliRun.h"
#include "support/RunProgram.h"
#include "vexil/Version.h"

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;

TEST(CliLocation, StandsForFileAndGroupOrFileAndIndex) {
    fixtures::TempDir dir;
    const std::string m = dir.file("m.dll");
    ASSERT_TRUE(fixtures::writeFile(m, fixtures::makePe({fixtures::patternIcon(resId(7), {16, 48}, 8),
                                                        fixtures::patternIcon(resName("APP"), {32}, 4),
                                                        fixtures::patternIcon(resId(184), {16, 32}, 32)})));
    ASSERT_EQ(mkdir(dir.file("System32").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("SystemResources").c_str(), 0755), 0);
    const std::string stub = dir.file("System32/imageres.dll");
    const std::string mun = dir.file("System32/../SystemResources/imageres.dll.mun");
    ASSERT_TRUE(fixtures::writeFile(stub, fixtures::makePe({}, {.withResources = false})));
    ASSERT_TRUE(fixtures::writeFile(mun, fixtures::makePe({fixtures::patternIcon(resId(184), {16, 48}, 8)},
                                                          {.textSize = 0, .resourceOnly = true})));

    // Each location form prints and writes what the explicit arguments do.
    struct Case {
        std::vector<std::string> located, explicitly;
        std::string written;  // a file both write (under the run's own folder); empty: stdout
    } cases[] = {
        {{"images", "--location", m + ",-184"}, {"images", m, "#184"}, ""},
        {{"save-ico", "--location", m + ",1", "@/x.ico"}, {"save-ico", m, "#7", "@/x.ico"}, "x.ico"},
        {{"render", "--location", m + ",-184", "--size", "32", "@/x.png"}, {"render", m, "2", "--size", "32", "@/x.png"}, "x.png"},
        {{"theme", "--location", m + ",0", "app", "--prefix", "@"}, {"theme", m, "APP", "app", "--prefix", "@"},
         "hicolor/32x32/apps/app.png"},
        {{"images", "--location", stub + ",-184"}, {"images", mun, "#184"}, ""},
    };
    int runs = 0;
    for (const Case& c : cases) {
        std::string out[2], written[2];
        for (int i = 0; i < 2; ++i) {
            const std::string folder = dir.file("run" + std::to_string(++runs));
            ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
            std::vector<std::string> args = i == 0 ? c.located : c.explicitly;
            for (std::string& a : args)
                if (a[0] == '@') a = folder + a.substr(1);
            const auto r = runVexilCli(args);
            ASSERT_EQ(r.status, 0) << args[0] << " " << r.err;
            out[i] = r.out;
            if (!c.written.empty()) written[i] = slurp(folder + "/" + c.written);
        }
        EXPECT_EQ(out[0], out[1]) << c.located[0];
        EXPECT_EQ(written[0], written[1]) << c.located[0];
        EXPECT_EQ(c.written.empty(), written[0].empty()) << c.located[0];
    }
    // The stand-in file is named on one line of stderr; failures take one line each.
    EXPECT_EQ(runVexilCli({"images", "--location", stub + ",-184"}).err,
              "vexil-cli: " + stub + " holds no icon groups; reading " + mun + "\n");
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{"images", "--location", m}, "vexil-cli: --location needs PATH,N (N a number, negative for a group id): " + m},
        {{"groups", "--location", m + ",0"}, "vexil-cli: --location does not apply to groups"},
        {{"save-bmp", "--location", m + ",-8", "0", dir.file("x.bmp")}, "vexil-cli: " + m + ": holds no icon group with id 8"},
        {{"render", "--location", m + ",3", "--size", "16", dir.file("x.png")}, "vexil-cli: " + m + ": holds no icon group 3"},
    };
    for (const auto& [args, line] : failures) EXPECT_EQ(runVexilCli(args).err, line + "\n");
}

TEST(CliTheme, WritesUnderTheUsersDataFolderAndPrintsTheIconLine) {
    fixtures::TempDir dir;
    const std::string m = dir.file("m.dll");
    ASSERT_TRUE(fixtures::writeFile(m, fixtures::makePe({fixtures::patternIcon(resId(1), {16, 32}, 8)})));
    const std::string data = dir.file("data"), home = dir.file("home");
    const struct {
        std::vector<std::string> env;
        std::string icon;
    } cases[] = {
        {{"XDG_DATA_HOME=" + data}, data + "/icons/hicolor/24x24/apps/a.png"},
        {{"-u", "XDG_DATA_HOME", "HOME=" + home}, home + "/.local/share/icons/hicolor/24x24/apps/a.png"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"/usr/bin/env"};
        args.insert(args.end(), c.env.begin(), c.env.end());
        args.insert(args.end(), {VEXIL_CLI_PATH, "theme", m, "#1", "a"});
        const auto r = fixtures::runProgram(args);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "Icon=a\n");
        EXPECT_TRUE(std::filesystem::exists(c.icon)) << c.icon;
    }
    EXPECT_EQ(runVexilCli({"theme", m, "#1", "my app", "--prefix", dir.file("q")}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("q")));
}

TEST(Cli, VersionSixteenBitModulesAndOneLineFailures) {
    fixtures::TempDir dir;
    // The version is the project's, which the About box shows too.
    EXPECT_EQ(runVexilCli({"--version"}).out, std::string("vexil-cli ") + kVexilVersion + "\n");

    const std::string ne = dir.file("old.icl");
    ASSERT_TRUE(fixtures::writeFile(ne, fixtures::makeNe({fixtures::patternIcon(resName("ONE"), {32}, 4),
                                                          fixtures::patternIcon(resId(2), {16, 32}, 8)},
                                                         {.shift = 9})));
    EXPECT_EQ(runVexilCli({"groups", ne}).out, "ONE\n#2\n");
    ASSERT_EQ(runVexilCli({"save-ico", ne, "#2", dir.file("ne.bin")}).status, 0);
    // An icon file is read by its content, whatever its name.
    EXPECT_EQ(runVexilCli({"images", dir.file("ne.bin"), "-"}).out, runVexilCli({"images", ne, "#2"}).out);

    const std::string m = dir.file("m.dll");
    ASSERT_TRUE(fixtures::writeFile(m, fixtures::makePe({fixtures::patternIcon(resId(7))})));
    ASSERT_TRUE(fixtures::writeFile(dir.file("none.dll"), fixtures::makePe({}, {.withResources = false})));
    Bytes cut = fixtures::patternDib(32, 8);
    cut.resize(60);
    ASSERT_TRUE(fixtures::writeFile(dir.file("cut.dll"), fixtures::makePe({{resId(1), {cut}}})));
    Bytes dos(0x80, 0);
    dos[0] = 'M';
    dos[1] = 'Z';
    fixtures::putU32(dos, 0x3C, 0x40);
    ASSERT_TRUE(fixtures::writeFile(dir.file("dos.exe"), dos));
    ASSERT_TRUE(fixtures::writeFile(dir.file("text.dll"), Bytes{'h', 'i'}));
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{"groups", dir.file("none.dll")}, dir.file("none.dll") + ": holds no icon groups: ｱｲｺﾝ名の取得に失敗しました"},
        {{"images", dir.file("cut.dll"), "#1"},
         dir.file("cut.dll") + ": cannot load icon group #1: ｴﾗｰ ﾌｫｰﾏｯﾄ ｺﾝﾊﾞｰﾄに失敗しました"},
        {{"save-ico", m, "#7", dir.file("no/x.ico")}, dir.file("no/x.ico") + ": cannot save the icon file: No such file or directory: ｱｲｺﾝﾌｧｲﾙの作成に失敗しました"},
        {{"save-ico", m, "#7", dir.file("x.ico"), "--image", "9"}, "image 9 does not exist (the group has 2 images)"},
        {{"save-bmp", m, "#7", "0", dir.file("no/x.bmp")},
         dir.file("no/x.bmp") + ": cannot save the bitmap: No such file or directory: ﾋﾞｯﾄﾏｯﾌﾟの作成に失敗しました"},
        {{"theme", m, "#7", "a", "--prefix", dir.file("none.dll")},
         dir.file("none.dll") + "/hicolor/16x16/apps: cannot make the folder: Not a directory: ﾌｫﾙﾀﾞの作成に失敗しました"},
        {{"groups", dir.file("missing.dll")}, dir.file("missing.dll") + ": no such file"},
        // A file of no kind Vexil reads says what the kind check found, where it found more
        // than that.
        {{"groups", dir.file("dos.exe")}, dir.file("dos.exe") + ": neither an icon file nor a Windows module: an MS-DOS program: no PE or NE header at 0x40"},
        {{"groups", dir.file("text.dll")}, dir.file("text.dll") + ": neither an icon file nor a Windows module"},
    };
    for (const auto& [args, line] : failures) {
        const auto r = runVexilCli(args);
        EXPECT_EQ(r.status, 1) << line;
        EXPECT_EQ(r.err, "vexil-cli: " + line + "\n");
    }
}

// Windows 10/11 keep system icons in resource-only modules (.mun) and texts in .mui files:
// a PE with resources and no code, found by its content like any DLL.
TEST(CliResourceOnly, ModulesOfHundredsOfGroupsAreCountedListedExtractedAndThumbnailed) {
    fixtures::TempDir dir;
    constexpr int kGroups = 400;
    std::vector<fixtures::ModuleIcon> icons = {fixtures::patternIcon(resName("IMAGERES"), {48}, 32)};
    for (int i = 1; i <= kGroups; ++i) icons.push_back(fixtures::patternIcon(resId(static_cast<std::uint16_t>(i * 2)), {16}, 4));
    const std::string mun = dir.file("imageres.dll.mun"), mui = dir.file("shell32.dll.mui");
    ASSERT_TRUE(fixtures::writeFile(mun, fixtures::makePe(icons, {.plus = true, .resourceOnly = true})));
    ASSERT_TRUE(fixtures::writeFile(mui, fixtures::makePe(icons, {.textSize = 0, .resourceOnly = true})));
    for (const std::string& file : {mun, mui}) {
        EXPECT_EQ(runVexilCli({"count", file}).out, std::to_string(kGroups + 1) + "\t" + file + "\n");
        const std::string groups = runVexilCli({"groups", file}).out;
        EXPECT_EQ(std::count(groups.begin(), groups.end(), '\n'), kGroups + 1);
        EXPECT_EQ(runVexilCli({"images", "--location", file + ",-800"}).out, "16x16, 16色\n");
        const std::string thumb = file + ".png";
        EXPECT_EQ(fixtures::runProgram({VEXIL_THUMBNAILER_PATH, "-s", "128", file, thumb}).status, 0);
        const auto picture = formats::decodeIconImage(fixtures::readFile(thumb));
        ASSERT_TRUE(picture) << file;
        EXPECT_EQ(picture->width, 48);  // the file's own icon, IMAGERES, never enlarged
    }
    // Extraction (which flushes every file it writes) once.
    EXPECT_EQ(runVexilCli({"extract", mun, "-o", dir.file("out")}).status, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.file("out")), {}), kGroups + 1);
}
