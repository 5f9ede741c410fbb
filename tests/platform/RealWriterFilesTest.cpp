// Files real writers made (tests/data/linkfiles, remade by its regenerate.sh): shortcuts
// saved by Wine's own shell link object and a package built by wixl, read back with what
// the writer was told, and a shortcut's icon resolved inside a prefix.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "formats/MsiPackage.h"
#include "formats/ShellLink.h"
#include "platform/WinePaths.h"
#include "support/LinkFixtures.h"

namespace {

using formats::StoredText;

std::string dataFile(const std::string& name) { return std::string(VEXIL_SOURCE_DIR) + "/tests/data/linkfiles/" + name; }

TEST(RealWriterFiles, ShortcutsSavedByWine) {
    const std::string dir = "C:\\Program Files\\Vexil Test\\";
    const struct {
        const char* file;
        StoredText iconPath;
        std::int32_t index;
        bool ofTarget;
        std::string target;  // LinkInfo's ANSI path, as Wine writes it
    } cases[] = {
        {"game.lnk", StoredText::utf8("%SystemRoot%\\system32\\shell32.dll"), 3, false, dir + "game.exe"},
        {"plain.lnk", StoredText::ansi(dir + "tool.exe"), 0, true, dir + "tool.exe"},
        {"resource.lnk", StoredText::utf8(dir + "icons.dll"), -101, false, dir + "tool.exe"},
        // Wine keeps the Unicode path in the strings and the ID list only; its LinkInfo has
        // the path in the ANSI code page, '?' for what that cannot hold.
        {"unicode.lnk", StoredText::utf8(dir + "Spi\u00e9l\\\u30b2\u30fc\u30e0.exe"), 1, false, dir + "Spi\xE9l\\???.exe"},
        {"relative.lnk", StoredText::ansi(dir + "tool.exe"), 0, true, dir + "tool.exe"},
    };
    for (const auto& c : cases) {
        const fixtures::Bytes bytes = fixtures::readFile(dataFile(c.file));
        ASSERT_FALSE(bytes.empty()) << c.file;
        const auto link = formats::readShellLink(bytes);
        ASSERT_TRUE(link) << c.file << ": " << link.error().text();
        const auto icon = link->icon();
        EXPECT_EQ(icon.path, c.iconPath) << c.file;
        EXPECT_EQ(icon.index, c.index) << c.file;
        EXPECT_EQ(icon.ofTarget, c.ofTarget) << c.file;
        const auto target = link->target();
        ASSERT_TRUE(target) << c.file;
        EXPECT_EQ(target->path, StoredText::ansi(c.target)) << c.file;
        EXPECT_FALSE(target->network) << c.file;
    }
    const auto game = formats::readShellLink(fixtures::readFile(dataFile("game.lnk")));
    ASSERT_TRUE(game);
    EXPECT_EQ(game->name, StoredText::utf8("Play the game"));
    EXPECT_EQ(game->arguments, StoredText::utf8("-windowed"));
    EXPECT_EQ(game->workingDir, StoredText::utf8("C:\\Program Files\\Vexil Test"));
    // Wine writes the relative path it was given without the flag that announces it: the
    // string is taken for extra data, whose damage is reported; the rest of the link stands.
    const auto relative = formats::readShellLink(fixtures::readFile(dataFile("relative.lnk")));
    ASSERT_TRUE(relative);
    EXPECT_FALSE(relative->relativePath);
    ASSERT_TRUE(relative->extraDataProblem);
    EXPECT_EQ(relative->extraDataProblem->offset, 420u);
    for (const char* file : {"game.lnk", "plain.lnk", "resource.lnk", "unicode.lnk"})
        EXPECT_FALSE(formats::readShellLink(fixtures::readFile(dataFile(file)))->extraDataProblem) << file;
}

TEST(RealWriterFiles, ShortcutIconResolvedInAPrefix) {
    fixtures::TempDir dir;
    const std::string prefix = dir.file("pfx");
    fixtures::makePrefix(prefix, {.files = {"windows/system32/shell32.dll", "Program Files/Vexil Test/icons.dll"}});
    std::filesystem::copy_file(dataFile("resource.lnk"), prefix + "/drive_c/users/Public/Desktop/resource.lnk");
    std::filesystem::copy_file(dataFile("game.lnk"), prefix + "/drive_c/users/Public/Desktop/game.lnk");
    for (const auto& [file, resolved, index] : {std::tuple{"game.lnk", "windows/system32/shell32.dll", 3},
                                                std::tuple{"resource.lnk", "Program Files/Vexil Test/icons.dll", -101}}) {
        const std::string path = prefix + "/drive_c/users/Public/Desktop/" + file;
        const auto link = formats::readShellLink(fixtures::readFile(path));
        ASSERT_TRUE(link);
        // The thumbnailer's parent reads no registry file: the dosdevices links and Wine's
        // defaults must be enough.
        const platform::WinePathResolver resolver(path, {.readRegistry = false});
        const auto r = resolver.resolve(link->icon().path);
        ASSERT_TRUE(r) << file << ": " << r.message();
        EXPECT_EQ(r.path, prefix + "/drive_c/" + resolved) << file;
        EXPECT_EQ(link->icon().index, index) << file;
    }
}

TEST(RealWriterFiles, PackageBuiltByWixl) {
    auto package = formats::MsiPackage::open(std::make_unique<formats::MemorySource>(fixtures::readFile(dataFile("package.msi"))));
    ASSERT_TRUE(package) << package.error().text();
    const auto& rows = (*package)->icons();
    ASSERT_EQ(rows.size(), 2u);
    // wixl chooses the rows' order itself; each row is known by its name.
    const std::map<std::string, int> sizes = {{"a-small.ico", 16}, {"z-large.ico", 32}};
    ASSERT_TRUE((*package)->productIconRow());
    EXPECT_EQ(rows[*(*package)->productIconRow()].name, StoredText::utf8("z-large.ico"));
    EXPECT_EQ((*package)->packageIconRow(), (*package)->productIconRow());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_TRUE(sizes.count(rows[i].name.bytes)) << rows[i].name.bytes;
        const auto data = (*package)->readIcon(i);
        ASSERT_TRUE(data) << data.error().text();
        // A whole .ico file: one entry of the size made, its image ending where the stream ends.
        ASSERT_GE(data->size(), 22u);
        EXPECT_EQ(fixtures::getU32(*data, 0), 0x00010000u);
        EXPECT_EQ((*data)[6], sizes.at(rows[i].name.bytes));
        EXPECT_EQ(fixtures::getU32(*data, 14) + fixtures::getU32(*data, 18), data->size());
    }
}

}  // namespace
