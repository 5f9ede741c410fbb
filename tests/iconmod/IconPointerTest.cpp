// The icon a shortcut, .url, desktop.ini, autorun.inf or installer package stands for:
// pointer files made by code and by real writers (Wine's shell link object, wixl), placed
// in a prefix-shaped tree and outside one, each resolved to a file and index or to the
// step that failed and the path it tried.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "formats/ShellLink.h"
#include "iconmod/IconPointer.h"
#include "support/LinkFixtures.h"

namespace {

using fixtures::Bytes;
using fixtures::TextEncoding;
using iconmod::PointerKind;
using Step = iconmod::PointerFailure::Step;

std::string dataFile(const std::string& name) { return std::string(VEXIL_SOURCE_DIR) + "/tests/data/linkfiles/" + name; }

fixtures::LinkInfoSpec localInfo(const std::string& base) {
    fixtures::LinkInfoSpec info;
    info.localBasePath = base;
    return info;
}

Bytes ini(const std::vector<std::string>& lines, TextEncoding encoding = TextEncoding::Utf8Bom) { return fixtures::iniText(lines, encoding); }

// Outside any prefix, whatever $WINEPREFIX says.
const platform::WineResolveOptions kNoFallback{.fallbackPrefix = std::string()};

class IconPointerFiles : public ::testing::Test {
protected:
    void SetUp() override {
        fixtures::makePrefix(dir.file("pfx"), {.files = {"windows/system32/shell32.dll", "Program Files/Vexil Test/icons.dll",
                                                         "Program Files/Vexil Test/tool.exe", "Program Files/Vexil Test/Spi\u00e9l/\u30b2\u30fc\u30e0.exe",
                                                         "Game/bin/x.exe", "Game/icons/i.ico", "Game/icons/a,1.ico"}});
        std::filesystem::create_directories(dir.file("medium"));
        fixtures::writeFile(dir.file("medium/setup.exe"), {'M', 'Z'});
    }
    // Writes the pointer file (below the temporary folder) and reads what it names.
    iconmod::IconPointer read(const std::string& at, const std::optional<Bytes>& bytes, const platform::WineResolveOptions& options = kNoFallback) {
        if (bytes) {
            std::filesystem::create_directories(std::filesystem::path(dir.file(at)).parent_path());
            fixtures::writeFile(dir.file(at), *bytes);
        }
        return iconmod::readIconPointer(dir.file(at), options);
    }
    fixtures::TempDir dir;
};

TEST_F(IconPointerFiles, FindsTheIconEachPointerStandsFor) {
    const std::string desktop = "pfx/drive_c/users/Public/Desktop/";
    const std::string game = "pfx/drive_c/Program Files/Vexil Test/";
    fixtures::LinkInfoSpec share;
    share.netName = "\\\\server\\share";
    share.commonPathSuffix = "x.exe";
    Bytes truncated = fixtures::readFile(dataFile("game.lnk"));
    truncated.resize(100);
    const struct {
        const char* what;
        std::string at;  // the pointer file, below the temporary folder
        std::optional<Bytes> bytes;  // nullopt: not written
        PointerKind kind;
        std::string path;  // found: below the temporary folder
        std::int32_t index;
        bool ofTarget;
        const char* stored;  // the stored location (or a shortcut's target when the icon is its), unchecked when null
        std::optional<Step> step;
        std::string tried;  // below the temporary folder; as given for NoPrefix and Network
    } cases[] = {
        {"Wine: a location with a variable", desktop + "game.lnk", fixtures::readFile(dataFile("game.lnk")), PointerKind::Shortcut,
         "pfx/drive_c/windows/system32/shell32.dll", 3, false, "%SystemRoot%\\system32\\shell32.dll,3", {}, ""},
        {"Wine: a resource id", desktop + "resource.lnk", fixtures::readFile(dataFile("resource.lnk")), PointerKind::Shortcut,
         game + "icons.dll", -101, false, "C:\\Program Files\\Vexil Test\\icons.dll,-101", {}, ""},
        {"Wine: no location, the target's icon 0", desktop + "plain.lnk", fixtures::readFile(dataFile("plain.lnk")), PointerKind::Shortcut,
         game + "tool.exe", 0, true, "C:\\Program Files\\Vexil Test\\tool.exe", {}, ""},
        {"Wine: a Unicode location", desktop + "unicode.lnk", fixtures::readFile(dataFile("unicode.lnk")), PointerKind::Shortcut,
         game + "Spi\u00e9l/\u30b2\u30fc\u30e0.exe", 1, false, nullptr, {}, ""},
        {"Wine: damaged extra data keeps the target", desktop + "relative.lnk", fixtures::readFile(dataFile("relative.lnk")), PointerKind::Shortcut,
         game + "tool.exe", 0, true, nullptr, {}, ""},
        {"a shell link by content, whatever its name", "pfx/drive_c/Game/game.txt", fixtures::readFile(dataFile("game.lnk")), PointerKind::Shortcut,
         "pfx/drive_c/windows/system32/shell32.dll", 3, false, nullptr, {}, ""},
        {"LinkInfo names a file that is gone: the relative path next", "pfx/drive_c/Game/lnk/x.lnk",
         fixtures::makeLink({.linkInfo = localInfo("C:\\gone\\a.exe"), .relativePath = "..\\bin\\x.exe"}), PointerKind::Shortcut,
         "pfx/drive_c/Game/bin/x.exe", 0, true, "C:\\gone\\a.exe", {}, ""},
        {"a network target is reported", desktop + "net.lnk", fixtures::makeLink({.linkInfo = share, .relativePath = "..\\x.exe"}),
         PointerKind::Shortcut, "", 0, true, "\\\\server\\share\\x.exe", Step::Network, "\\\\server\\share\\x.exe"},
        {"a drive the prefix lacks", desktop + "q.lnk", fixtures::makeLink({.iconIndex = 2, .iconLocation = "Q:\\i.ico"}), PointerKind::Shortcut,
         "", 0, false, "Q:\\i.ico,2", Step::NoDrive, "pfx/dosdevices/q:"},
        {"an icon file that is missing", desktop + "m.lnk", fixtures::makeLink({.iconLocation = "C:\\Game\\gone.ico"}), PointerKind::Shortcut,
         "", 0, false, nullptr, Step::NotFound, "pfx/drive_c/Game/gone.ico"},
        {"a target that is a folder", desktop + "f.lnk", fixtures::makeLink({.linkInfo = localInfo("C:\\program files")}), PointerKind::Shortcut,
         "", 0, true, nullptr, Step::NotAFile, "pfx/drive_c/Program Files"},
        {"neither icon nor target", desktop + "e.lnk", fixtures::makeLink({}), PointerKind::Shortcut, "", 0, true, nullptr, Step::NoIcon, desktop + "e.lnk"},
        {"a damaged shortcut", desktop + "cut.lnk", truncated, PointerKind::Shortcut, "", 0, false, nullptr, Step::Read, desktop + "cut.lnk"},
        {".url with IconFile and IconIndex", desktop + "site.URL",
         ini({"[InternetShortcut]", "URL=https://example.org/", "IconIndex=-3", "iconfile=C:\\windows\\system32\\shell32.dll"}),
         PointerKind::InternetShortcut, "pfx/drive_c/windows/system32/shell32.dll", -3, false, "C:\\windows\\system32\\shell32.dll,-3", {}, ""},
        {".url whose icon is on the web", desktop + "web.url", ini({"[InternetShortcut]", "IconFile=https://example.org/favicon.ico"}),
         PointerKind::InternetShortcut, "", 0, false, nullptr, Step::Network, "https://example.org/favicon.ico"},
        {".url without an icon", desktop + "bare.url", ini({"[InternetShortcut]", "URL=https://example.org/"}), PointerKind::InternetShortcut,
         "", 0, false, nullptr, Step::NoIcon, desktop + "bare.url"},
        {"desktop.ini in UTF-16, relative to its folder", "pfx/drive_c/Game/Desktop.ini",
         ini({"[.ShellClassInfo]", "IconResource=icons\\I.ICO,2"}, TextEncoding::Utf16Bom), PointerKind::FolderSettings,
         "pfx/drive_c/Game/icons/i.ico", 2, false, "icons\\I.ICO,2", {}, ""},
        {"desktop.ini naming a file with a comma", "pfx/drive_c/Game/bin/desktop.ini", ini({"[.ShellClassInfo]", "IconResource=..\\icons\\a,1.ico"}),
         PointerKind::FolderSettings, "pfx/drive_c/Game/icons/a,1.ico", 0, false, nullptr, {}, ""},
        {"autorun.inf in ANSI outside a prefix", "medium/AUTORUN.INF", ini({"[AutoRun]", "open=setup.exe", "icon=setup.exe,1"}, TextEncoding::Ansi),
         PointerKind::Autorun, "medium/setup.exe", 1, false, "setup.exe,1", {}, ""},
        {"a drive outside a prefix", "medium2/autorun.inf", ini({"[autorun]", "icon=C:\\x.ico"}), PointerKind::Autorun, "", 0, false, nullptr,
         Step::NoPrefix, "C:\\x.ico"},
        {"a text file is no pointer", "medium/readme.txt", ini({"[autorun]", "icon=setup.exe"}), PointerKind::None, "", 0, false, nullptr,
         Step::Kind, "medium/readme.txt"},
        {"a .lnk name without the header", "medium/x.lnk", Bytes(200, 'L'), PointerKind::None, "", 0, false, nullptr, Step::Kind, "medium/x.lnk"},
        {"a missing file", "medium/none.lnk", std::nullopt, PointerKind::None, "", 0, false, nullptr, Step::Open, "medium/none.lnk"},
        {"a folder", "medium", std::nullopt, PointerKind::None, "", 0, false, nullptr, Step::Open, "medium"},
    };
    for (const auto& c : cases) {
        const iconmod::IconPointer p = read(c.at, c.bytes);
        EXPECT_EQ(p.kind, c.kind) << c.what;
        if (c.stored) {
            EXPECT_EQ(c.ofTarget ? p.storedTarget : p.storedLocation, c.stored) << c.what;
        }
        EXPECT_EQ(p.ofTarget, c.ofTarget) << c.what;
        if (!c.step) {
            ASSERT_TRUE(p) << c.what << ": " << p.failure->message();
            EXPECT_EQ(p.path, dir.file(c.path)) << c.what;
            EXPECT_EQ(p.index, c.index) << c.what;
            continue;
        }
        ASSERT_FALSE(p) << c.what << ": found " << p.path;
        EXPECT_EQ(p.failure->step, c.step) << c.what << ": " << p.failure->message();
        const bool windowsPath = c.step == Step::NoPrefix || c.step == Step::Network;
        EXPECT_EQ(p.failure->path, windowsPath ? c.tried : dir.file(c.tried)) << c.what;
        EXPECT_NE(p.failure->message().find(p.failure->path), std::string::npos) << c.what;
        EXPECT_TRUE(p.path.empty()) << c.what;
    }
}

TEST_F(IconPointerFiles, PackagesGiveTheChosenIconAndTheTableNames) {
    const Bytes ico = fixtures::makeIco({{fixtures::patternDib(16, 4)}});
    const Bytes module = Bytes(600, 'M');
    const auto msi = [&](std::vector<std::pair<std::string, std::string>> properties, bool iconTable = true, std::uint32_t codePage = 1252) {
        return fixtures::makeMsi({.codePage = codePage, .icons = iconTable ? std::vector<fixtures::MsiIcon>{{"a.ico", ico}, {"b.exe", module}}
                                                                          : std::vector<fixtures::MsiIcon>{},
                                  .properties = std::move(properties), .iconTable = iconTable});
    };
    // The chosen row's stream renamed, so that the row names a stream the package lacks.
    fixtures::CfbLayout layout;
    Bytes lost = fixtures::makeMsi({.icons = {{"a.ico", ico}, {"b.exe", module}}, .properties = {{"ARPPRODUCTICON", "b.exe"}}}, &layout);
    fixtures::putU16(lost, layout.entryOffset(layout.entryOf[7]), 'X');
    Bytes cut = msi({});
    cut.resize(700);
    const struct {
        const char* what;
        std::string name;
        Bytes bytes;
        std::vector<std::string> names;
        Bytes icon;
        std::optional<Step> step;
    } cases[] = {
        {"wixl: the ARPPRODUCTICON row first", "package.msi", fixtures::readFile(dataFile("package.msi")), {"z-large.ico", "a-small.ico"},
         fixtures::readFile(dataFile("Icon/Icon.z-large.ico")), {}},
        {"ARPPRODUCTICON names a module", "setup.MSI", msi({{"ProductName", "P"}, {"ARPPRODUCTICON", "b.exe"}}), {"b.exe", "a.ico"}, module, {}},
        {"ARPPRODUCTICON names no row: the first", "p.msi", msi({{"ARPPRODUCTICON", "c.ico"}}), {"a.ico", "b.exe"}, ico, {}},
        {"a package by content, whatever its name", "package.bin", msi({}), {"a.ico", "b.exe"}, ico, {}},
        {"names in the package's code page", "ru.msi", fixtures::makeMsi({.codePage = 1251, .icons = {{"\xC8\xEA.ico", ico}}}), {"\u0418\u043a.ico"},
         ico, {}},
        {"no Icon table", "none.msi", msi({}, false), {}, {}, Step::NoIcon},
        {"the chosen row's stream is missing", "lost.msi", lost, {"b.exe", "a.ico"}, {}, Step::IconStream},
        {"a cut package", "cut.msi", cut, {}, {}, Step::Read},
    };
    for (const auto& c : cases) {
        const iconmod::IconPointer p = read(c.name, c.bytes);
        EXPECT_EQ(p.kind, PointerKind::Package) << c.what;
        EXPECT_EQ(p.iconNames, c.names) << c.what;
        if (!c.step) {
            ASSERT_TRUE(p) << c.what << ": " << p.failure->message();
            EXPECT_TRUE(p.iconBytes == c.icon) << c.what << ": " << p.iconBytes.size() << " bytes";
            continue;
        }
        ASSERT_FALSE(p) << c.what;
        EXPECT_EQ(p.failure->step, c.step) << c.what << ": " << p.failure->message();
        EXPECT_EQ(p.failure->path, dir.file(c.name)) << c.what;
        EXPECT_TRUE(p.iconBytes.empty()) << c.what;
    }
}

// A walk over many shortcuts of one prefix reads its registry files once.
TEST_F(IconPointerFiles, AnEnvironmentCacheReadsEachPrefixOnce) {
    const std::string prefix = dir.file("pfx");
    const auto systemReg = [&](const std::string& folder) {
        const std::string text = fixtures::wineRegistryText(
            "REGISTRY\\\\Machine", {{"System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment",
                                    {"\"ICONS\"=\"C:\\\\Game\\\\" + folder + "\""}}});
        fixtures::writeFile(prefix + "/system.reg", Bytes(text.begin(), text.end()));
    };
    const Bytes link = fixtures::makeLink({.iconLocation = "%ICONS%\\i.ico"});
    std::filesystem::create_directories(prefix + "/drive_c/Game/bin/icons");
    fixtures::writeFile(prefix + "/drive_c/Game/bin/icons/i.ico", {0});
    platform::WineEnvironmentCache cache;
    const platform::WineResolveOptions cached{.fallbackPrefix = std::string(), .cache = &cache};
    systemReg("icons");
    EXPECT_EQ(read("pfx/drive_c/a.lnk", link, cached).path, prefix + "/drive_c/Game/icons/i.ico");
    systemReg("bin\\\\icons");
    EXPECT_EQ(read("pfx/drive_c/b.lnk", link, cached).path, prefix + "/drive_c/Game/icons/i.ico");
    EXPECT_EQ(read("pfx/drive_c/c.lnk", link).path, prefix + "/drive_c/Game/bin/icons/i.ico");
}

}  // namespace
