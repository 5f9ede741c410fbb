// vexil-cli on files that point at icons, in a prefix-shaped tree: a shortcut, .url,
// desktop.ini or .msi as FILE of the icon commands, `resolve`, and `shortcuts DIR`.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "cli/CliPointer.h"
#include "cli/CliRun.h"
#include "support/LinkFixtures.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;

namespace {

Bytes ini(const std::vector<std::string>& lines) { return fixtures::iniText(lines, fixtures::TextEncoding::Utf8Bom); }

Bytes localTarget(const std::string& path) {
    return fixtures::makeLink({.linkInfo = {{.localBasePath = path}}});
}

class CliPointer : public ::testing::Test {
protected:
    void SetUp() override {
        fixtures::makePrefix(pfx, {});
        put("drive_c/Program Files/Game/game.exe", fixtures::makePe({fixtures::patternIcon(resId(7), {16, 48}, 8),
                                                                     fixtures::patternIcon(resName("APP"), {32}, 4)}));
        put("drive_c/windows/system32/shell32.dll",
            fixtures::makePe({fixtures::patternIcon(resId(1), {16}, 4), fixtures::patternIcon(resId(3), {16, 32}, 8)}));
        put("drive_c/Game/i.ico", ico);
        put("drive_c/Game/readme.txt", {'h', 'i'});
        put("drive_c/Game/app.exe", rowModule);
        put(desk + "game.lnk", fixtures::makeLink({.linkInfo = {{.localBasePath = "C:\\Program Files\\Game\\game.exe"}},
                                                   .name = "Play", .workingDir = "C:\\Program Files\\Game", .arguments = "-w"}));
        put(desk + "shell.lnk", fixtures::makeLink({.iconIndex = -3, .iconLocation = "%SystemRoot%\\system32\\shell32.dll"}));
        put(desk + "ico.lnk", fixtures::makeLink({.iconLocation = "c:\\GAME\\I.ICO"}));
        put(desk + "folder.lnk", localTarget("C:\\Game"));
        put(desk + "doc.lnk", localTarget("C:\\Game\\readme.txt"));
        put(desk + "chain.lnk", localTarget("C:\\users\\Public\\Desktop\\game.lnk"));
        put(desk + "gone.lnk", fixtures::makeLink({.iconLocation = "C:\\Game\\gone.ico"}));
        put(desk + "q.lnk", fixtures::makeLink({.iconLocation = "Q:\\i.ico"}));
        put(desk + "a,b.url", ini({"[InternetShortcut]", "URL=https://example.org/", "IconFile=C:\\Game\\i.ico"}));
        put("drive_c/Game/desktop.ini", ini({"[.ShellClassInfo]", "IconResource=app.exe,0"}));
        put("drive_c/setup.msi", fixtures::makeMsi({.icons = {{"small.ico", ico}, {"app.exe", rowModule}},
                                                    .properties = {{"ARPPRODUCTICON", "app.exe"}}}));
    }
    void put(const std::string& at, const Bytes& bytes) {
        std::filesystem::create_directories(std::filesystem::path(p(at)).parent_path());
        ASSERT_TRUE(fixtures::writeFile(p(at), bytes));
    }
    std::string p(const std::string& at) const { return pfx + "/" + at; }

    fixtures::TempDir dir;
    const std::string pfx = dir.file("pfx");
    const std::string desk = "drive_c/users/Public/Desktop/";
    const Bytes ico = fixtures::makeIco({{fixtures::patternDib(32, 8)}, {fixtures::patternDib(16, 4)}});
    const Bytes rowModule = fixtures::makePe({fixtures::patternIcon(resName("ROW"), {24}, 8), fixtures::patternIcon(resId(2), {16}, 4)});
};

TEST_F(CliPointer, StandsForTheFileAndGroupItNames) {
    const std::string game = p("drive_c/Program Files/Game/game.exe"), shell = p("drive_c/windows/system32/shell32.dll");
    const std::string icoFile = p("drive_c/Game/i.ico"), app = p("drive_c/Game/app.exe"), msi = p("drive_c/setup.msi");
    struct Case {
        std::vector<std::string> pointed, explicitly;
        std::string written;  // a file both write (under the run's own folder); empty: stdout
    } cases[] = {
        {{"images", p(desk + "game.lnk")}, {"images", game, "APP"}, ""},
        {{"images", p(desk + "shell.lnk"), "-"}, {"images", shell, "#3"}, ""},
        {{"save-ico", p(desk + "shell.lnk"), "-", "@/x.ico"}, {"save-ico", shell, "#3", "@/x.ico"}, "x.ico"},
        {{"render", p(desk + "game.lnk"), "0", "--size", "32", "@/x.png"}, {"render", game, "0", "--size", "32", "@/x.png"}, "x.png"},
        {{"theme", p(desk + "ico.lnk"), "-", "t", "--prefix", "@"}, {"theme", icoFile, "-", "t", "--prefix", "@"}, "hicolor/32x32/apps/t.png"},
        {{"images", "--location", p(desk + "a,b.url")}, {"images", icoFile}, ""},
        {{"images", p("drive_c/Game/desktop.ini")}, {"images", app, "ROW"}, ""},
        {{"images", msi}, {"images", app, "ROW"}, ""},
        {{"save-png", msi, "small.ico", "@/x.png"}, {"save-png", icoFile, "-", "@/x.png"}, "x.png"},
        {{"render", msi, "1", "--size", "16", "@/x.bmp"}, {"render", icoFile, "0", "--size", "16", "@/x.bmp"}, "x.bmp"},
        {{"images", "--location", msi + ",1"}, {"images", icoFile}, ""},
        {{"groups", p(desk + "game.lnk"), msi}, {}, ""},
    };
    int runs = 0;
    for (const Case& c : cases) {
        std::string out[2], written[2];
        for (int i = 0; i < (c.explicitly.empty() ? 1 : 2); ++i) {
            const std::string folder = dir.file("run" + std::to_string(++runs));
            ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
            std::vector<std::string> args = i == 0 ? c.pointed : c.explicitly;
            for (std::string& a : args)
                if (a[0] == '@') a = folder + a.substr(1);
            const auto r = runVexilCli(args);
            ASSERT_EQ(r.status, 0) << args[0] << " " << args[1] << " " << r.err;
            EXPECT_EQ(r.err, "");
            out[i] = r.out;
            if (!c.written.empty()) written[i] = slurp(folder + "/" + c.written);
        }
        if (c.explicitly.empty()) {
            EXPECT_EQ(out[0], "==> " + c.pointed[1] + " <==\n-\n\n==> " + msi + " <==\napp.exe\nsmall.ico\n");
            continue;
        }
        EXPECT_EQ(out[0], out[1]) << c.pointed[0] << " " << c.pointed[1];
        EXPECT_EQ(written[0], written[1]) << c.pointed[0] << " " << c.pointed[1];
        EXPECT_EQ(c.written.empty(), written[0].empty()) << c.pointed[0];
    }
}

TEST_F(CliPointer, SaysInOneLineWhyNoIconIsShown) {
    const std::pair<std::vector<std::string>, std::string> failures[] = {
        {{"images", p(desk + "folder.lnk")}, "the shortcut names a folder, not followed (Windows shows a folder's icon): " + p("drive_c/Game")},
        {{"images", p(desk + "doc.lnk")}, "the shortcut names a document, not followed (Windows shows that type's icon): " + p("drive_c/Game/readme.txt")},
        {{"save-ico", p(desk + "chain.lnk"), "-", dir.file("x.ico")}, "the shortcut names a file that points at an icon itself (LNK)"},
        {{"images", p(desk + "gone.lnk")}, "no such file: " + p("drive_c/Game/gone.ico")},
        {{"render", p(desk + "q.lnk"), "0", "--size", "16", dir.file("x.png")}, "no such drive in the Wine prefix: " + p("dosdevices/q:")},
        {{"images", p(desk + "game.lnk"), "#7"}, p(desk + "game.lnk") + ": no icon group #7 (it stands for one icon, group -)"},
        {{"images", p("drive_c/setup.msi"), "big"}, p("drive_c/setup.msi") + ": no icon group big in the Icon table"},
        {{"render", p("drive_c/setup.msi"), "2", "--size", "16", dir.file("x.png")}, p("drive_c/setup.msi") + ": holds no icon group 2"},
    };
    for (const auto& [args, why] : failures) {
        const auto r = runVexilCli(args);
        EXPECT_EQ(r.status, 1) << why;
        EXPECT_EQ(r.err.rfind("vexil-cli: " + why, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("x.ico")) || std::filesystem::exists(dir.file("x.png")));
    }
}

TEST_F(CliPointer, ListAndResolveSayWhatIsStoredAndWhereItLeads) {
    const std::string shell = p("drive_c/windows/system32/shell32.dll");
    const auto listed = runVexilCli({"list", p(desk + "shell.lnk"), p("drive_c/setup.msi"), p(desk + "folder.lnk")});
    ASSERT_EQ(listed.status, 0) << listed.err;
    EXPECT_NE(listed.out.find("\"kind\": \"LNK\", \"location\": \"%SystemRoot%\\\\system32\\\\shell32.dll,-3\", \"resolved\": \"" + shell +
                              "\", \"target\": null, \"failure\": null, \"icons\": [{\"index\": 0, \"name\": \"-\""),
              std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\"kind\": \"MSI\", \"location\": null, \"resolved\": null, \"target\": null, \"failure\": null, "
                              "\"icons\": [{\"index\": 0, \"name\": \"app.exe\", \"id\": null, \"language\": null, \"images\": [{\"width\": 24"),
              std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("\"target\": \"C:\\\\Game\", \"failure\": \"the shortcut names a folder"), std::string::npos) << listed.out;

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
    } cases[] = {
        {{"resolve", p(desk + "shell.lnk")}, 0, "kind\tLNK\nlocation\t%SystemRoot%\\\\system32\\\\shell32.dll,-3\ntarget\t\npath\t" + shell + "\ngroup\t#3\n"},
        {{"resolve", p(desk + "game.lnk")}, 0,
         "kind\tLNK\nlocation\t\ntarget\tC:\\\\Program Files\\\\Game\\\\game.exe\npath\t" + p("drive_c/Program Files/Game/game.exe") + "\ngroup\tAPP\n"},
        {{"resolve", p("drive_c/setup.msi")}, 0, "kind\tMSI\nlocation\t\ntarget\t\npath\t" + p("drive_c/setup.msi") + ":app.exe\ngroup\tROW\nicon\tapp.exe\nicon\tsmall.ico\n"},
        {{"resolve", "--prefix", pfx, "c:\\WINDOWS\\System32\\SHELL32.dll,1"}, 0, "kind\ttext\nlocation\tc:\\\\WINDOWS\\\\System32\\\\SHELL32.dll,1\ntarget\t\npath\t" + shell + "\ngroup\t#3\n"},
        {{"resolve", "--prefix", pfx, "%SystemRoot%\\system32\\shell32.dll,-3", "--json"}, 0,
         "{\"file\": \"%SystemRoot%\\\\system32\\\\shell32.dll,-3\", \"kind\": \"text\", \"location\": \"%SystemRoot%\\\\system32\\\\shell32.dll,-3\", "
         "\"target\": null, \"path\": \"" + shell + "\", \"group\": \"#3\", \"icons\": [], \"found\": true, \"failure\": null}\n"},
        {{"resolve", "--prefix", pfx, "C:\\windows\\system32\\shell32.dll,-9"}, 1,
         "kind\ttext\nlocation\tC:\\\\windows\\\\system32\\\\shell32.dll,-9\ntarget\t\npath\t\ngroup\t\n"},
        {{"resolve", "--prefix", pfx, "C:\\windows\\gone.dll,0"}, 1, "kind\ttext\nlocation\tC:\\\\windows\\\\gone.dll,0\ntarget\t\npath\t\ngroup\t\n"},
        {{"resolve", p("drive_c/Game/i.ico")}, 1, ""},
    };
    for (const Case& c : cases) {
        const auto r = runVexilCli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.back() << r.err;
        EXPECT_EQ(r.out, c.out) << c.args.back();
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), c.status) << r.err;
    }
}

TEST_F(CliPointer, ExtractWritesEachIconRowAndWithShortcutsEachShownIcon) {
    const std::string shell = p("drive_c/windows/system32/shell32.dll"), icoFile = p("drive_c/Game/i.ico");
    const std::pair<std::string, std::vector<std::string>> written[] = {
        {"setup.msi-app.exe.ico", {p("drive_c/Game/app.exe"), "ROW"}},
        {"setup.msi-small.ico.ico", {icoFile, "-"}},
        {"a,b.url.ico", {icoFile, "-"}},
        {"game.lnk.ico", {p("drive_c/Program Files/Game/game.exe"), "APP"}},
        {"ico.lnk.ico", {icoFile, "-"}},
        {"shell.lnk.ico", {shell, "#3"}},
    };
    for (const bool shortcuts : {false, true}) {
        const std::string out = dir.file(shortcuts ? "with" : "without");
        std::vector<std::string> args = {"extract", p(desk), p("drive_c/setup.msi"), "-o", out};
        if (shortcuts) args.push_back("--shortcuts");
        const auto r = runVexilCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(out)) names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        std::vector<std::string> expected;
        for (const auto& [name, source] : written)
            if (shortcuts || name.rfind("setup.msi", 0) == 0) expected.push_back(name);
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(names, expected) << r.out;
    }
    for (const auto& [name, source] : written) {
        const auto saved = runVexilCli({"save-ico", source[0], source[1], dir.file("x.ico")});
        ASSERT_EQ(saved.status, 0) << saved.err;
        EXPECT_EQ(slurp(dir.file("with/" + name)), slurp(dir.file("x.ico"))) << name;
    }
}

TEST_F(CliPointer, ShortcutsListsEachShortcutOnceAndWritesIconSets) {
    const std::string root = p("drive_c/users");
    std::filesystem::create_directories(dir.file("outside"));
    put("../outside/far.lnk", localTarget("C:\\Game\\i.ico"));
    put("drive_c/users/dosdevices/hidden.lnk", localTarget("C:\\Game\\i.ico"));
    ASSERT_EQ(symlink("Public", (root + "/again").c_str()), 0);           // inside: visited once
    ASSERT_EQ(symlink("../../../outside", (root + "/far").c_str()), 0);   // outside: never entered
    ASSERT_EQ(symlink("../..", (root + "/Public/Desktop/up").c_str()), 0);  // a loop back into DIR

    const auto listed = runVexilCli({"shortcuts", root});
    ASSERT_EQ(listed.status, 0) << listed.err;
    std::vector<std::string> names;
    for (std::size_t at = 0; at < listed.out.size(); at = listed.out.find('\n', at) + 1)
        names.push_back(listed.out.substr(at, listed.out.find('\t', at) - at));
    const std::vector<std::string> expected = {"Public/Desktop/chain.lnk", "Public/Desktop/doc.lnk", "Public/Desktop/folder.lnk",
                                               "Public/Desktop/game.lnk",  "Public/Desktop/gone.lnk", "Public/Desktop/ico.lnk",
                                               "Public/Desktop/q.lnk",     "Public/Desktop/shell.lnk"};
    EXPECT_EQ(names, expected) << listed.out;
    EXPECT_NE(listed.out.find("Public/Desktop/game.lnk\tyes\t" + p("drive_c/Program Files/Game/game.exe") +
                              "\tAPP\t\tC:\\\\Program Files\\\\Game\\\\game.exe\t-w\tC:\\\\Program Files\\\\Game\tPlay\t\n"),
              std::string::npos) << listed.out;
    EXPECT_NE(listed.out.find("Public/Desktop/gone.lnk\tno\t\t\tC:\\\\Game\\\\gone.ico,0\t\t\t\t\tno such file: "), std::string::npos);

    const auto json = runVexilCli({"shortcuts", root, "--json"});
    EXPECT_NE(json.out.find("{\"shortcut\": \"Public/Desktop/game.lnk\", \"name\": \"Play\", \"arguments\": \"-w\", "
                            "\"working_dir\": \"C:\\\\Program Files\\\\Game\", \"kind\": \"LNK\", \"location\": null, "
                            "\"target\": \"C:\\\\Program Files\\\\Game\\\\game.exe\", \"path\": \"" + p("drive_c/Program Files/Game/game.exe") +
                                "\", \"group\": \"APP\", \"icons\": [], \"found\": true, \"failure\": null}"),
              std::string::npos) << json.out;
    EXPECT_EQ(std::count(json.out.begin(), json.out.end(), '{'), 8);

    const std::string icons = dir.file("icons");
    for (int run = 0; run < 2; ++run) {
        const auto themed = runVexilCli({"shortcuts", root, "--theme", "--prefix", icons});
        ASSERT_EQ(themed.status, 0) << themed.err;
        EXPECT_EQ(themed.out, "Icon=lnk-Public_2fDesktop_2fgame.lnk\tPublic/Desktop/game.lnk\n"
                              "Icon=lnk-Public_2fDesktop_2fico.lnk\tPublic/Desktop/ico.lnk\n"
                              "Icon=lnk-Public_2fDesktop_2fshell.lnk\tPublic/Desktop/shell.lnk\n");
        EXPECT_EQ(std::count(themed.err.begin(), themed.err.end(), '\n'), 5) << themed.err;
    }
    EXPECT_TRUE(std::filesystem::exists(icons + "/hicolor/32x32/apps/lnk-Public_2fDesktop_2fgame.lnk.png"));

    // Keys: two paths never share one, and long paths stay file names.
    EXPECT_NE(cli::shortcutKey("a b.lnk"), cli::shortcutKey("a_b.lnk"));
    const std::string longPath(400, 'x');
    EXPECT_LE(cli::shortcutKey(longPath).size(), 200u);
    EXPECT_NE(cli::shortcutKey(longPath), cli::shortcutKey(longPath + "y"));
    EXPECT_EQ(runVexilCli({"shortcuts", dir.file("none")}).err, "vexil-cli: " + dir.file("none") + ": no such folder\n");
    EXPECT_EQ(runVexilCli({"shortcuts", p(desk + "game.lnk")}).err, "vexil-cli: " + p(desk + "game.lnk") + ": not a folder\n");
}

}  // namespace
