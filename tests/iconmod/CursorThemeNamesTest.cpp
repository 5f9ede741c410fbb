#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "iconmod/CursorThemeNames.h"
#include "iconmod/IconTheme.h"

using formats::CursorRole;

TEST(CursorThemeNames, CoversEveryNameAdwaitaInstallsOnce) {
    const std::filesystem::path dir = "/usr/share/icons/Adwaita/cursors";
    std::map<std::string, std::optional<CursorRole>> table;
    for (const iconmod::XcursorName& n : iconmod::xcursorNameTable())
        EXPECT_TRUE(table.emplace(n.name, n.role).second) << n.name << " is in the table twice";
    std::size_t byRole = iconmod::inheritedXcursorNames().size();
    for (std::size_t r = 0; r < formats::kCursorRoleCount; ++r) {
        const auto names = iconmod::xcursorNames(*formats::cursorRoleAt(r));
        EXPECT_FALSE(names.empty()) << formats::cursorRoleName(*formats::cursorRoleAt(r));
        byRole += names.size();
    }
    EXPECT_EQ(byRole, table.size());

    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) GTEST_SKIP() << dir << " is missing (Debian's adwaita-icon-theme)";
    // Every installed name is in the table; names Adwaita links to one file are one role.
    std::set<std::string> installed;
    std::map<std::string, std::pair<std::string, std::optional<CursorRole>>> byFile;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        installed.insert(name);
        const auto it = table.find(name);
        if (it == table.end()) {
            ADD_FAILURE() << name << " is installed but not in the table";
            continue;
        }
        const std::string file = std::filesystem::canonical(entry.path(), ec).filename().string();
        const auto [seen, added] = byFile.emplace(file, std::make_pair(name, it->second));
        if (!added) {
            EXPECT_EQ(seen->second.second, it->second) << name << " and " << seen->second.first << " are one cursor, " << file;
        }
    }
    for (const auto& [name, role] : table)
        if (!installed.count(name)) {
            EXPECT_TRUE(name == "up-arrow" || name == "pin" || name == "person") << name << " is not installed";
        }
    EXPECT_EQ(table.size(), installed.size() + 3);
}

TEST(CursorThemeNames, ReducesASchemeNameToAThemeName) {
    const struct {
        const char* scheme;
        const char* fallback;
        std::string theme;
    } cases[] = {
        {"Midnight Glass", "", "Midnight_Glass"},
        {"Aero (Large) v1.2", "", "Aero_Large_v1.2"},
        {"../x", "", "x"},  // no path, no hidden folder
        {"..", "pack", "pack"},
        {"-rf", "", "rf"},
        {"a  /\\  b", "", "a_b"},
        {"  Curseurs Élégants  ", "", "Curseurs_Elegants"},
        {"Æther × Straße", "", "AEther_Strasse"},
        {"Ναυτίλος", "Nautilus Pack", "Nautilus_Pack"},
        {"", "", "windows-cursors"},
        {"\x01\x02", "\xC3", "windows-cursors"},
        {"", "ok", "ok"},
    };
    for (const auto& c : cases) {
        const std::string name = iconmod::cursorThemeName(c.scheme, c.fallback);
        EXPECT_EQ(name, c.theme) << c.scheme;
        EXPECT_TRUE(iconmod::isIconThemeName(name)) << c.scheme;
    }
    const std::string longName = iconmod::cursorThemeName(std::string(40, 'x') + " " + std::string(100, 'y'));
    EXPECT_EQ(longName, std::string(40, 'x') + "_" + std::string(23, 'y'));
    EXPECT_EQ(iconmod::cursorThemeName(std::string(63, 'x') + "  y"), std::string(63, 'x'));  // no "_" left at the cut
}
