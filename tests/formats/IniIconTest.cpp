// INI files that name an icon: .url, desktop.ini and autorun.inf in each text encoding.
#include <gtest/gtest.h>

#include <climits>
#include <functional>

#include "formats/IniFile.h"
#include "support/LinkFixtures.h"

namespace {

using fixtures::TextEncoding;
using formats::IniFile;
using formats::IniIconReference;
using formats::StoredText;

// UTF-16LE bytes as big-endian ones.
fixtures::Bytes swapped(fixtures::Bytes b) {
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) std::swap(b[i], b[i + 1]);
    return b;
}

std::optional<IniIconReference> urlIcon(const IniFile& ini) { return formats::readUrlShortcut(ini).icon; }

TEST(IniIcon, EachKindGivesItsStoredLocation) {
    using Reader = std::function<std::optional<IniIconReference>(const IniFile&)>;
    const Reader desktop = formats::desktopIniIcon, autorun = formats::autorunIcon, url = urlIcon;
    const struct {
        const char* what;
        fixtures::Bytes bytes;
        Reader read;
        std::optional<StoredText> location;
        std::string path;
        std::int32_t index;
    } cases[] = {
        {"desktop.ini in UTF-16, IconResource", fixtures::iniText({"[.ShellClassInfo]", "IconResource=%SystemRoot%\\system32\\imageres.dll,-3"}, TextEncoding::Utf16Bom),
         desktop, StoredText::utf8("%SystemRoot%\\system32\\imageres.dll,-3"), "%SystemRoot%\\system32\\imageres.dll", -3},
        {"IconResource wins over IconFile", fixtures::iniText({"[.ShellClassInfo]", "IconFile=old.ico", "IconIndex=4", "IconResource=new.dll,2"}, TextEncoding::Utf16Bom),
         desktop, StoredText::utf8("new.dll,2"), "new.dll", 2},
        {"IconFile and IconIndex, any case, LF, ANSI", fixtures::iniText({"; made by hand", "[.shellclassinfo]", "iconfile = C:\\Caf\xE9\\f.ico", "ICONINDEX= -7"}, TextEncoding::Ansi, false),
         desktop, StoredText::ansi("C:\\Caf\xE9\\f.ico"), "C:\\Caf\xE9\\f.ico", -7},
        {"the first section of a name counts", fixtures::iniText({"[.ShellClassInfo]", "InfoTip=x", "[.ShellClassInfo]", "IconFile=late.ico"}, TextEncoding::Ansi),
         desktop, std::nullopt, "", 0},
        {"a comment is no key", fixtures::iniText({"[autorun]", ";icon=hidden.ico", "  ; icon=also.ico"}, TextEncoding::Ansi),
         autorun, std::nullopt, "", 0},
        {"autorun.inf, quoted", fixtures::iniText({"[AutoRun]", "open=setup.exe", "icon=\"setup.ico\""}, TextEncoding::Ansi),
         autorun, StoredText::ansi("setup.ico"), "setup.ico", 0},
        {"autorun.inf, blanks around the index", fixtures::iniText({"[autorun]", "Icon = game.exe , 2 "}, TextEncoding::Utf8Bom),
         autorun, StoredText::utf8("game.exe , 2"), "game.exe", 2},
        {"a comma without an index stays in the path", fixtures::iniText({"[autorun]", "icon=a,b.ico"}, TextEncoding::Ansi),
         autorun, StoredText::ansi("a,b.ico"), "a,b.ico", 0},
        {".url in UTF-8 with a BOM", fixtures::iniText({"[InternetShortcut]", "URL=https://example.org/", "IconFile=C:\\\u00c9\\x.ico", "IconIndex=7"}, TextEncoding::Utf8Bom),
         url, StoredText::utf8("C:\\\u00c9\\x.ico"), "C:\\\u00c9\\x.ico", 7},
        {".url without an IconIndex", fixtures::iniText({"[InternetShortcut]", "IconFile='C:\\x.ico'"}, TextEncoding::Ansi),
         url, StoredText::ansi("C:\\x.ico"), "C:\\x.ico", 0},
        {"UTF-16 big-endian", swapped(fixtures::iniText({"[autorun]", "icon=\u00e9.ico,1"}, TextEncoding::Utf16Bom)),
         autorun, StoredText::utf8("\u00e9.ico,1"), "\u00e9.ico", 1},
    };
    for (const auto& c : cases) {
        const auto ini = IniFile::read(c.bytes);
        ASSERT_TRUE(ini) << c.what << ": " << ini.error().text();
        const auto ref = c.read(*ini);
        ASSERT_EQ(ref.has_value(), c.location.has_value()) << c.what;
        if (!ref) continue;
        EXPECT_EQ(ref->location, *c.location) << c.what;
        EXPECT_EQ(ref->path.bytes, c.path) << c.what;
        EXPECT_EQ(ref->path.codePage, c.location->codePage) << c.what;
        EXPECT_EQ(ref->index, c.index) << c.what;
    }
}

TEST(IniIcon, UrlAndBinaryFiles) {
    const auto ini = IniFile::read(fixtures::iniText({"[InternetShortcut]", "URL=\"https://example.org/a b\""}, TextEncoding::Utf16Bom));
    ASSERT_TRUE(ini);
    const auto shortcut = formats::readUrlShortcut(*ini);
    EXPECT_EQ(shortcut.url, StoredText::utf8("https://example.org/a b"));
    EXPECT_FALSE(shortcut.icon);

    const fixtures::Bytes binary = {'[', 'a', ']', '\n', 'M', 'Z', 0, 0};
    const auto refused = IniFile::read(binary);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().offset, 6u);
}

TEST(IniIcon, IndexesReadAsWindowsReadsThem) {
    const struct {
        const char* text;
        std::int32_t value;
    } cases[] = {{"12", 12}, {" -12abc", -12}, {"+3", 3}, {"x", 0}, {"", 0}, {"99999999999", INT_MAX}, {"-2147483648", INT_MIN}};
    for (const auto& c : cases) EXPECT_EQ(formats::profileInt(c.text), c.value) << c.text;
}

}  // namespace
