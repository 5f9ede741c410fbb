// Line output holds one item a line whatever a name holds, and what it writes is read back.
#include <gtest/gtest.h>

#include <algorithm>

#include "cli/CliRun.h"
#include "cli/LineText.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

using fixtures::resId;
using fixtures::resName;

TEST(CliLineText, EscapesWhatWouldBreakALineAndReadsGroupsBack) {
    const struct {
        std::string text, line;
    } cases[] = {
        {"plain name.dll", "plain name.dll"},
        {"a\nb\tc\rd", "a\\x0Ab\\x09c\\x0Dd"},
        {"esc\x1b[31mred\x7f", "esc\\x1B[31mred\\x7F"},
        {"back\\slash", "back\\\\slash"},
        {"\xc2\x85next line \xc2\xa0nbsp", "\\xC2\\x85next line \xc2\xa0nbsp"},       // C1 control; U+00A0 kept
        {"\xe3\x83\xa1\xe3\x83\xa2 \xf0\x9f\x98\x80", "\xe3\x83\xa1\xe3\x83\xa2 \xf0\x9f\x98\x80"},  // valid UTF-8 kept
        {"bad \xff \xc3( \xe0\x80\xaf \xed\xa0\x80 \xf4\x90\x80\x80 \xe3\x83", 
         "bad \\xFF \\xC3( \\xE0\\x80\\xAF \\xED\\xA0\\x80 \\xF4\\x90\\x80\\x80 \\xE3\\x83"},  // invalid, overlong, surrogate, past U+10FFFF, cut
        {std::string("nul\0x", 5), "nul\\x00x"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cli::lineText(c.text), c.line) << c.line;
        const auto back = cli::groupFromLineText(c.line);
        ASSERT_TRUE(back) << c.line;
        EXPECT_EQ(back->text, c.text) << c.line;
    }
    // A string name starting with "#" is written so that it is not taken for an id.
    const struct {
        formats::ResourceName name;
        std::string line;
    } groups[] = {
        {formats::ResourceName::fromId(12), "#12"},
        {formats::ResourceName::fromString("#12"), "\\#12"},
        {formats::ResourceName::fromString("#"), "\\#"},
        {formats::ResourceName::fromString("#a\nb"), "\\#a\\x0Ab"},
        {formats::ResourceName::fromString("\\#12"), "\\\\#12"},
        {formats::ResourceName::fromString("MAIN"), "MAIN"},
    };
    for (const auto& g : groups) {
        EXPECT_EQ(cli::groupLineText(g.name), g.line);
        EXPECT_EQ(cli::groupFromLineText(g.line), g.name) << g.line;
    }
    EXPECT_EQ(cli::groupFromLineText("#70000"), std::nullopt);
    EXPECT_EQ(cli::groupFromLineText("a\\qb\\x4"), formats::ResourceName::fromString("a\\qb\\x4"));  // no escape: as typed
}

// Through the program: every group of a module whose names hold a newline, an escape
// sequence, a backslash, or read "#12" beside the integer id 12 is listed one a line, and each
// line named as GROUP loads that group; extract finds no damage; count and failure lines
// keep one line per file.
TEST(CliLineText, GroupsWithAnyNameAreListedOneALineAndNamedBack) {
    fixtures::TempDir dir;
    const struct {
        formats::ResourceName name;
        int size;
        std::string line;
    } groups[] = {{resId(12), 16, "#12"},
                  {resName("#12"), 24, "\\#12"},
                  {resName("two\nlines"), 32, "two\\x0Alines"},
                  {resName("\x1b]0;title\x07"), 48, "\\x1B]0;title\\x07"},
                  {resName("C:\\back"), 20, "C:\\\\back"}};
    std::vector<fixtures::ModuleIcon> icons;
    for (const auto& g : groups) icons.push_back(fixtures::patternIcon(g.name, {g.size}, 8));
    const std::string module = dir.file("odd\nname.dll");
    ASSERT_TRUE(fixtures::writeFile(module, fixtures::makePe(icons)));

    const auto listed = runVexilCli({"groups", module});
    ASSERT_EQ(listed.status, 0) << listed.err;
    for (const auto& g : groups) {
        EXPECT_NE(listed.out.find(g.line + "\n"), std::string::npos) << g.line;
        const auto images = runVexilCli({"images", module, g.line});
        EXPECT_EQ(images.out, std::to_string(g.size) + "x" + std::to_string(g.size) + ", 256色\n") << g.line;
    }
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 5);
    const auto extracted = runVexilCli({"extract", module, "-o", dir.file("out")});
    EXPECT_EQ(extracted.status, 0) << extracted.err;
    EXPECT_EQ(extracted.out.substr(0, 24), "1 file, 5 icons written\n");

    const auto counted = runVexilCli({"count", module, dir.file("gone\nfile")});
    EXPECT_EQ(counted.out, "5\t" + dir.file("odd\\x0Aname.dll") + "\n");
    EXPECT_EQ(counted.err, "vexil-cli: " + dir.file("gone\\x0Afile") + ": cannot be read: No such file or directory\n");
}
