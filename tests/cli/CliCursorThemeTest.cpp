// vexil-cli cursor-theme through its binary: what it prints role by role, its warnings,
// its refusals (no Arrow, an existing theme, several schemes, bad words), --json and
// --preview. The themes themselves are read back through libXcursor in CursorThemeTest.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "cli/CliRun.h"
#include "iconmod/CursorTheme.h"
#include "iconmod/CursorThemeNames.h"
#include "support/InfFixtures.h"
#include "support/PackFixtures.h"

using fixtures::PackEntry;

namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

bool contains(const std::string& text, const std::string& piece) { return text.find(piece) != std::string::npos; }

// The line cursor-theme prints for a role of the template pack at --sizes 24,32.
std::string templateRoleLine(std::size_t r) {
    const formats::CursorRole role = *formats::cursorRoleAt(r);
    const auto names = iconmod::xcursorNames(role);
    std::string line = std::string(formats::cursorRoleName(role)) + ": " + fixtures::kTemplateInfFiles[r] + "; sizes 24 (shrunk from 32) 32";
    if (r == 2 || r == 3) line += "; 2 steps";
    line += "; " + std::string(names.front());
    if (names.size() == 2) line += " and 1 other name";
    if (names.size() > 2) line += " and " + std::to_string(names.size() - 1) + " other names";
    return line;
}

std::vector<PackEntry> withInf(std::vector<PackEntry> files, const std::string& path, fixtures::Bytes inf) {
    files.push_back({path, std::move(inf), {}});
    return files;
}

}  // namespace

TEST(CliCursorTheme, PrintsEachRoleInstallsAndRefusesAsAsked) {
    fixtures::TempDir dir;
    const std::string prefix = dir.file("icons");
    const std::string pack = dir.file("Glass");
    ASSERT_TRUE(fixtures::writePack(pack, withInf(fixtures::templatePackFiles(""), "install.inf", fixtures::utf16Text(fixtures::templateInf("Glass")))));
    const auto one = [](const std::string& scheme) {
        return fixtures::utf8Text("[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"" + scheme + "\",,\"a.cur\"\n");
    };
    const fixtures::Bytes cur = fixtures::cursorOf(32, 0xFF808080);
    ASSERT_TRUE(fixtures::writePack(dir.file("two"), {{"a/install.inf", one("Blue"), {}}, {"a/a.cur", cur, {}},
                                                      {"b/install.inf", one("Red"), {}}, {"b/a.cur", cur, {}}}));
    ASSERT_TRUE(fixtures::writePack(dir.file("noarrow"), {{"help.cur", cur, {}}, {"busy.ani", fixtures::roleAnimation(3), {}}}));
    const auto upper = [](std::string name) {
        for (char& ch : name) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        return name;
    };
    ASSERT_TRUE(fixtures::writeFile(dir.file("pack.zip"), fixtures::makeArchive(fixtures::ArchiveKind::Zip,
        withInf(fixtures::templatePackFiles("Naut/", upper), "Naut/install.inf", fixtures::cp1252Text(fixtures::templateInf("Nautilus"))))));
    const std::string preview = dir.file("out.png");

    // The roles as printed, then where the theme went and how to choose it.
    std::vector<std::string> wanted;
    for (std::size_t r = 0; r < formats::kCursorRoleCount; ++r) wanted.push_back(templateRoleLine(r));
    wanted.push_back("written " + prefix + "/Glass");
    for (const std::string& line : iconmod::cursorThemeChoiceLines("Glass")) wanted.push_back(line);
    const auto first = runVexilCli({"cursor-theme", pack, "--prefix", prefix, "--sizes", "24,32", "--preview", preview});
    ASSERT_EQ(first.status, 0) << first.err;
    EXPECT_EQ(linesOf(first.out), wanted);
    // Pin and Person have no Xcursor names: one warning line each, naming the file.
    EXPECT_EQ(linesOf(first.err).size(), 2u) << first.err;
    EXPECT_TRUE(contains(first.err, "vexil-cli: warning: Pin: ")) << first.err;
    EXPECT_EQ(fixtures::readFile(preview), fixtures::readFile(prefix + "/Glass/preview.png"));
    EXPECT_FALSE(fixtures::readFile(preview).empty());

    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string out;  // in standard output
        std::string err;  // in standard error
    } cases[] = {
        {"an existing theme", {"cursor-theme", pack, "--prefix", prefix}, 1, "Arrow: ", "exists; it is replaced only when asked (--force replaces it)"},
        {"replaced, as JSON", {"cursor-theme", pack, "--prefix", prefix, "--force", "--json"}, 0,
         "{\"theme\": \"Glass\", \"folder\": \"" + prefix + "/Glass\", \"replaced\": true, \"scheme\": \"Glass\", \"roles\": [{\"role\": \"Arrow\", "
         "\"file\": \"" + fixtures::kTemplateInfFiles[0] + "\", \"match\": \"listed\", \"animated\": false, \"delays_ms\": [], \"sizes\": "
         "[{\"size\": 32, \"width\": 32, \"height\": 32, \"hotspot\": [1, 2], \"source\": \"own\", \"from_width\": 32}], \"names\": [\"default\", ",
         ""},
        {"an animation's delays", {"cursor-theme", pack, "--prefix", prefix, "--force", "--json", "--name", "G2"}, 0,
         "\"role\": \"Wait\", \"file\": \"" + std::string(fixtures::kTemplateInfFiles[3]) + "\", \"match\": \"listed\", \"animated\": true, "
         "\"delays_ms\": [100, 200]", ""},
        {"a zip, its files in capitals", {"cursor-theme", dir.file("pack.zip"), "--prefix", prefix}, 0,
         "Arrow: Naut/NORMAL SELECT.CUR (the INF says Normal Select.cur); sizes 32; default", ""},
        {"no Arrow", {"cursor-theme", dir.file("noarrow"), "--prefix", prefix, "--name", "NoArrow"}, 1, "", "Arrow"},
        {"several schemes", {"cursor-theme", dir.file("two"), "--prefix", prefix}, 1, "Blue\nRed\n", "choose one"},
        {"several schemes, as JSON", {"cursor-theme", dir.file("two"), "--prefix", prefix, "--json"}, 1, "{\"choices\": [\"Blue\", \"Red\"]}\n", ""},
        {"one chosen", {"cursor-theme", dir.file("two"), "--prefix", prefix, "--scheme", "red"}, 0, "written " + prefix + "/Red\n", ""},
        {"a size out of range", {"cursor-theme", pack, "--prefix", prefix, "--sizes", "24,300"}, 2, "", "--sizes needs sizes"},
        {"a name with a slash", {"cursor-theme", pack, "--prefix", prefix, "--name", "../x"}, 2, "", "NAME may hold"},
        {"a preview that is no PNG", {"cursor-theme", pack, "--prefix", prefix, "--preview", "a.jpg"}, 2, "", "must end in .png"},
        {"no pack", {"cursor-theme", dir.file("missing"), "--prefix", prefix}, 1, "", dir.file("missing")},
    };
    for (const auto& c : cases) {
        const auto run = runVexilCli(c.args);
        EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.err;
        EXPECT_TRUE(contains(run.out, c.out)) << c.what << "\n" << run.out;
        EXPECT_TRUE(contains(run.err, c.err)) << c.what << "\n" << run.err;
    }
    // Nothing was written for the refused packs, nor for the bad words.
    EXPECT_FALSE(std::filesystem::exists(prefix + "/NoArrow"));
    EXPECT_FALSE(std::filesystem::exists(prefix + "/x"));
    EXPECT_FALSE(std::filesystem::exists("a.jpg"));
    std::vector<std::string> themes;
    for (const auto& e : std::filesystem::directory_iterator(prefix)) themes.push_back(e.path().filename().string());
    std::sort(themes.begin(), themes.end());
    EXPECT_EQ(themes, (std::vector<std::string>{"G2", "Glass", "Nautilus", "Red"}));
}
