// Windows paths resolved inside a prefix-shaped tree: drives through dosdevices, variables
// from the registry files or Wine's defaults, components matched without regard to case,
// ANSI text in the prefix's code page, and each failure naming the path it tried.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/WinePaths.h"
#include "support/LinkFixtures.h"

namespace {

using formats::StoredText;
using platform::ResolvedPath;
using Failure = ResolvedPath::Failure;

const std::string kSystemReg = fixtures::wineRegistryText(
    "REGISTRY\\\\Machine",
    {{"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion", {"\"ProgramFilesDir\"=\"D:\\\\Apps\""}},
     {"Software\\\\Microsoft\\\\Windows NT\\\\CurrentVersion", {"\"SystemRoot\"=\"C:\\\\windows\""}},
     {"System\\\\CurrentControlSet\\\\Control\\\\Session Manager\\\\Environment",
      {"\"windir\"=str(2):\"%SystemRoot%\"", "\"GAMES\"=str(2):\"%ProgramFiles%\\\\Games\"", "\"TEMP\"=str(2):\"%SystemRoot%\\\\temp\""}},
     {"System\\\\CurrentControlSet\\\\Control\\\\Nls\\\\CodePage", {"\"ACP\"=\"932\""}}});
const std::string kUserReg = fixtures::wineRegistryText(
    "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000",
    {{"Environment", {"\"TEMP\"=\"C:\\\\users\\\\ann\\\\Temp\""}},
     {"Volatile Environment", {"\"APPDATA\"=\"C:\\\\users\\\\ann\\\\Roam\""}}});

class WinePaths : public ::testing::Test {
protected:
    void SetUp() override {
        prefix = dir.file("pfx");
        fixtures::makePrefix(prefix, {.user = "ann",
                                      .files = {"windows/system32/shell32.dll", "Program Files/Game/Game.EXE", "Game/bin/x.exe",
                                                "X.DLL", "x.dll", "Spi\u00e9le/s.exe", "\u30bd\u30d5\u30c8/g.exe", "a,1.ico", "lib.dll",
                                                "users/ann/Roam/r.ico", "users/ann/AppData/Roaming/d.ico", "icons/i.ico",
                                                "Game/lnk/a.lnk"},
                                      .links = {{"d:", "../d_drive"}},
                                      .systemReg = kSystemReg,
                                      .userReg = kUserReg});
        std::filesystem::create_directories(prefix + "/d_drive/apps/Games");
        fixtures::writeFile(prefix + "/d_drive/apps/Games/g.exe", {1});
        std::filesystem::create_directories(dir.file("outside/icons"));
        fixtures::writeFile(dir.file("outside/icons/o.ico"), {1});
    }
    fixtures::TempDir dir;
    std::string prefix;
};

TEST_F(WinePaths, ResolvesInThePrefixThatHoldsTheFile) {
    const std::string lnk = prefix + "/drive_c/Game/lnk/a.lnk";
    const struct {
        const char* what;
        std::string file;
        StoredText path;
        bool registry;
        std::string resolved;  // below the temporary folder
        Failure failure;
        std::string tried;     // below the temporary folder, or the Windows path
    } cases[] = {
        {"case differs", lnk, StoredText::utf8("c:\\PROGRAM FILES\\game\\game.exe"), true, "pfx/drive_c/Program Files/Game/Game.EXE", Failure::None, ""},
        {"exact match first", lnk, StoredText::utf8("C:\\x.dll"), true, "pfx/drive_c/x.dll", Failure::None, ""},
        {"else the first by name", lnk, StoredText::utf8("C:\\x.Dll"), true, "pfx/drive_c/X.DLL", Failure::None, ""},
        {"a default variable", lnk, StoredText::utf8("%SystemRoot%\\system32\\shell32.dll"), true, "pfx/drive_c/windows/system32/shell32.dll", Failure::None, ""},
        {"a variable from the registry", lnk, StoredText::utf8("%ProgramFiles%\\Games\\g.exe"), true, "pfx/d_drive/apps/Games/g.exe", Failure::None, ""},
        {"an expanded variable naming another", lnk, StoredText::utf8("%games%\\g.exe"), true, "pfx/d_drive/apps/Games/g.exe", Failure::None, ""},
        {"the user's volatile environment", lnk, StoredText::utf8("%APPDATA%\\r.ico"), true, "pfx/drive_c/users/ann/Roam/r.ico", Failure::None, ""},
        {"defaults alone without the registry", lnk, StoredText::utf8("%APPDATA%\\d.ico"), false, "pfx/drive_c/users/ann/AppData/Roaming/d.ico", Failure::None, ""},
        {"defaults alone ignore the registry's folders", lnk, StoredText::utf8("%ProgramFiles%\\Game\\game.exe"), false, "pfx/drive_c/Program Files/Game/Game.EXE", Failure::None, ""},
        {"\\\\?\\ dropped", lnk, StoredText::utf8("\\\\?\\C:\\windows\\system32\\SHELL32.dll"), true, "pfx/drive_c/windows/system32/shell32.dll", Failure::None, ""},
        {"relative to the file's folder", lnk, StoredText::utf8("..\\bin\\.\\x.exe"), true, "pfx/drive_c/Game/bin/x.exe", Failure::None, ""},
        {"rooted on the file's drive", lnk, StoredText::utf8("\\windows/system32\\shell32.dll"), true, "pfx/drive_c/windows/system32/shell32.dll", Failure::None, ""},
        {"no climbing above a drive", lnk, StoredText::utf8("C:\\..\\..\\lib.dll"), true, "pfx/drive_c/lib.dll", Failure::None, ""},
        {"ANSI in the prefix's code page (0x5C as a trail byte)", lnk, StoredText::ansi("C:\\\x83\x5C\x83t\x83g\\g.exe"), true, "pfx/drive_c/\u30bd\u30d5\u30c8/g.exe", Failure::None, ""},
        {"ANSI in 1252 without the registry", lnk, StoredText::ansi("C:\\Spi\xE9le\\s.exe"), false, "pfx/drive_c/Spi\u00e9le/s.exe", Failure::None, ""},
        {"a UNC path", lnk, StoredText::utf8("\\\\server\\share\\x.exe"), true, "", Failure::Network, "\\\\server\\share\\x.exe"},
        {"a long UNC path", lnk, StoredText::utf8("\\\\?\\UNC\\server\\share\\x.exe"), true, "", Failure::Network, "\\\\server\\share\\x.exe"},
        {"no such drive", lnk, StoredText::utf8("Q:\\x.exe"), true, "", Failure::NoDrive, "pfx/dosdevices/q:"},
        {"no such file", lnk, StoredText::utf8("C:\\windows\\nothere\\a.dll"), true, "", Failure::NotFound, "pfx/drive_c/windows/nothere/a.dll"},
        {"an unknown variable stays", lnk, StoredText::utf8("%NOPE%\\a.dll"), true, "", Failure::NotFound, "pfx/drive_c/Game/lnk/%NOPE%/a.dll"},
        {"an empty path", lnk, StoredText::utf8(""), true, "", Failure::Empty, ""},
        {"outside a prefix, relative", dir.file("outside/a.lnk"), StoredText::utf8("icons\\O.ICO"), true, "outside/icons/o.ico", Failure::None, ""},
        {"outside a prefix, a drive", dir.file("outside/a.lnk"), StoredText::utf8("C:\\x.dll"), true, "", Failure::NoPrefix, "C:\\x.dll"},
        {"outside a prefix, a variable", dir.file("outside/a.lnk"), StoredText::utf8("%SystemRoot%\\x.dll"), true, "", Failure::NoPrefix,
         "%SystemRoot%\\x.dll"},
    };
    for (const auto& c : cases) {
        const platform::WinePathResolver resolver(c.file, {.readRegistry = c.registry, .fallbackPrefix = std::string()});
        const ResolvedPath r = resolver.resolve(c.path);
        EXPECT_EQ(r.failure, c.failure) << c.what << ": " << r.message();
        if (c.failure == Failure::None) {
            EXPECT_EQ(r.path, dir.file(c.resolved)) << c.what;
        } else {
            const bool linux = c.failure == Failure::NoDrive || c.failure == Failure::NotFound;
            EXPECT_EQ(r.tried, linux ? dir.file(c.tried) : c.tried) << c.what;
            EXPECT_NE(r.message().find(r.tried), std::string::npos) << c.what;
        }
    }
}

TEST_F(WinePaths, FallbackPrefixAndEnvironment) {
    const platform::WinePathResolver outside(dir.file("outside/a.lnk"), {.fallbackPrefix = prefix});
    ASSERT_TRUE(outside.prefix());
    EXPECT_EQ(outside.resolve(StoredText::utf8("C:\\lib.dll")).path, prefix + "/drive_c/lib.dll");

    // An environment read once serves every file of the prefix.
    const platform::WineEnvironment env = platform::readWineEnvironment(prefix);
    const platform::WinePathResolver shared(prefix + "/drive_c/Game/lnk/a.lnk", prefix, env);
    EXPECT_EQ(shared.resolve(StoredText::utf8("%games%\\g.exe")).path, prefix + "/d_drive/apps/Games/g.exe");
    EXPECT_EQ(env.ansiCodePage, 932u);
    EXPECT_EQ(env.variable("WINDIR"), "C:\\windows");
    EXPECT_EQ(env.variable("TEMP"), "C:\\users\\ann\\Temp");  // the user's value wins over the system's
    EXPECT_EQ(env.variable("ProgramFiles(x86)"), "C:\\Program Files (x86)");
    EXPECT_EQ(env.variable("USERPROFILE"), "C:\\users\\ann");
    EXPECT_EQ(env.expand("%a%\\%windir%\\x%"), "%a%\\C:\\windows\\x%");
}

TEST_F(WinePaths, IconLocationTextTakesAWholeFileNameFirst) {
    const platform::WinePathResolver resolver(prefix + "/drive_c/x.lnk");
    const struct {
        StoredText text;
        std::string resolved;
        std::int32_t index;
    } cases[] = {
        {StoredText::utf8("C:\\a,1.ico"), "drive_c/a,1.ico", 0},
        {StoredText::utf8("C:\\lib.dll,-3"), "drive_c/lib.dll", -3},
        {StoredText::utf8("%SystemRoot%\\system32\\shell32.dll, 12"), "drive_c/windows/system32/shell32.dll", 12},
    };
    for (const auto& c : cases) {
        const auto location = platform::resolveIconLocation(resolver, c.text);
        ASSERT_TRUE(location.file) << c.text.bytes << ": " << location.file.message();
        EXPECT_EQ(location.file.path, prefix + "/" + c.resolved) << c.text.bytes;
        EXPECT_EQ(location.index, c.index) << c.text.bytes;
    }
    const auto ref = formats::splitIconLocation(StoredText::ansi("icons\\i.ico,2"));
    const auto fromIni = platform::resolveIconLocation(resolver, ref);
    EXPECT_EQ(fromIni.file.path, prefix + "/drive_c/icons/i.ico");
    EXPECT_EQ(fromIni.index, 2);
}

TEST(WineText, CodePagesDecode) {
    const struct {
        std::string bytes;
        std::uint32_t codePage;
        std::string utf8;
    } cases[] = {
        {"caf\xE9 \x80 \x81", 1252, "caf\u00e9 \u20ac \u0081"},
        {"\x83\x5C\x83t\x83g", 932, "\u30bd\u30d5\u30c8"},
        {"\xCF\xF0\xE8\xE2\xE5\xF2", 1251, "\u041f\u0440\u0438\u0432\u0435\u0442"},
        {"a\x81", 932, "a\uFFFD"},  // a lead byte cut off at the end
        {"ok\xFF\xFE", 65001, "ok\uFFFD\uFFFD"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::decodeCodePage(c.bytes, c.codePage), c.utf8) << c.codePage;
    EXPECT_EQ(platform::decodeStoredText(StoredText::ansi("\xE9t\xE9"), 1252), "\u00e9t\u00e9");
    EXPECT_EQ(platform::decodeStoredText(StoredText{"\xE9", 99999}, 1252), "\uFFFD");
}

}  // namespace
