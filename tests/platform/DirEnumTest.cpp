#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "platform/DirEnum.h"
#include "support/ImageFixtures.h"

using platform::DirEnum;
namespace attr = platform::attr;

TEST(DirEnumMask, DosWildcardRules) {
    struct Case {
        const char* name;
        const char* mask;
        bool match;
    } cases[] = {
        // "*.*" takes every name, with or without a dot
        {"abc", "*.*", true}, {"a.b", "*.*", true}, {".profile", "*.*", true}, {"x", "*", true},
        // "*." takes the names without an extension
        {"readme", "*.", true}, {"readme.txt", "*.", false}, {"a.b.c", "*.", false},
        // extensions, case
        {"A.EXE", "*.exe", true}, {"b.Exe", "*.EXE", true}, {"a.exe.txt", "*.exe", false},
        {"a.exex", "*.exe", false}, {"exe", "*.exe", false}, {"a.tar.gz", "*.gz", true}, {"a.tar.gz", "*.tar", false},
        // "?" is one character, or nothing at a dot or at the end
        {"abc", "abc?", true}, {"abcd", "abc?", true}, {"abcde", "abc?", false}, {"a.b", "a?.b", true},
        {"ab.txt", "?b.txt", true}, {"b.txt", "?b.txt", false}, {"a.exe", "A.EX?", true}, {"a.ex", "a.ex??", true},
        // trailing dots and blanks are dropped; brackets are plain characters
        {"a.txt", "*.txt.", true}, {"abc", "abc  ", true}, {"a[1].txt", "a[1].txt", true}, {"a1.txt", "a[1].txt", false},
        {"data", "d*a", true}, {"d", "d*a", false}, {"aaaaaaaaaaaaaaaaaaaaaaaab", "*a*a*a*a*a*a*c", false},
        // multibyte names: "?" is one character, letters fold beyond ASCII
        {"日本.txt", "??.txt", true}, {"日本語.txt", "??.txt", false}, {"ファイル.TXT", "*.txt", true},
        {"école", "É*", true}, {"ＡＢＣ", "ａｂｃ", true}, {"Ωμέγα", "ωΜ*", true}, {"日本", "日?", true}, {"日本", "本*", false},
        // bytes that are not UTF-8 count one character each and still match
        {"\xff\xfe.exe", "*.exe", true}, {"\xff\xfe.exe", "??.exe", true}, {"\xff\xfe.exe", "?.exe", false},
    };
    for (const Case& c : cases) EXPECT_EQ(platform::matchMask(c.name, c.mask), c.match) << c.name << " / " << c.mask;
}

class DirEnumTest : public ::testing::Test {
protected:
    std::map<std::string, std::uint32_t> list(const std::string& mask) {
        std::map<std::string, std::uint32_t> out;
        auto e = DirEnum::start(dir.path() + "/" + mask, DirEnum::WriteAccess::Looked);
        if (!e) return out;
        do out[e->entry().name] = e->entry().attributes;
        while (e->next());
        return out;
    }
    void touch(const std::string& name) { ASSERT_TRUE(fixtures::writeFile(dir.file(name), {1, 2, 3})); }
    fixtures::TempDir dir;
};

TEST_F(DirEnumTest, AttributesFollowTheEntryKind) {
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0755), 0);
    touch("a.EXE");
    touch(".hidden");
    ASSERT_EQ(symlink("sub", dir.file("linkdir").c_str()), 0);
    ASSERT_EQ(symlink("a.EXE", dir.file("linkfile").c_str()), 0);
    ASSERT_EQ(symlink("nowhere", dir.file("broken").c_str()), 0);
    ASSERT_EQ(symlink("loop", dir.file("loop").c_str()), 0);
    ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0644), 0);

    const auto all = list("*.*");
    const std::map<std::string, std::uint32_t> expected = {
        {".", attr::Directory | attr::Hidden}, {"..", attr::Directory | attr::Hidden},
        {"sub", attr::Directory}, {"a.EXE", attr::Normal}, {".hidden", attr::Normal | attr::Hidden},
        {"linkdir", attr::Directory}, {"linkfile", attr::Normal}, {"broken", 0}, {"loop", 0}, {"pipe", 0},
    };
    EXPECT_EQ(all, expected);

    EXPECT_EQ(list("*.exe"), (std::map<std::string, std::uint32_t>{{"a.EXE", attr::Normal}}));
}

TEST_F(DirEnumTest, ReadOnlyWhenNotWritable) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    touch("locked");
    touch("open");
    ASSERT_EQ(chmod(dir.file("locked").c_str(), 0444), 0);
    const auto all = list("*.*");
    EXPECT_EQ(all.at("locked"), attr::Normal | attr::ReadOnly);
    EXPECT_EQ(all.at("open"), attr::Normal);
    // Unless asked for, nobody pays for the look.
    EXPECT_EQ(DirEnum::start(dir.file("locked"))->entry().attributes, attr::Normal);
}

TEST_F(DirEnumTest, FailedStarts) {
    touch("file.txt");
    ASSERT_EQ(mkdir(dir.file("empty").c_str(), 0755), 0);
    const std::string patterns[] = {
        dir.file("missing/*.*"),   // no such directory
        dir.file("file.txt/*.*"),  // not a directory
        dir.path() + "/*.zzz",     // nothing matches
        dir.path() + "/",          // no mask
        "",
    };
    for (const auto& p : patterns) EXPECT_EQ(DirEnum::start(p), nullptr) << p;
    EXPECT_NE(DirEnum::start(dir.file("empty/*.*")), nullptr);  // "." and ".." are there

    if (geteuid() != 0) {
        ASSERT_EQ(chmod(dir.file("empty").c_str(), 0), 0);
        EXPECT_EQ(DirEnum::start(dir.file("empty/*.*")), nullptr);
    }
}

TEST_F(DirEnumTest, NamesKeepTheirBytes) {
    const std::string odd = "\xff\xfe-\xc3.exe";
    touch(odd);
    touch("日本語.exe");
    const auto found = list("*.EXE");
    EXPECT_EQ(found.size(), 2u);
    EXPECT_TRUE(found.count(odd));
    EXPECT_TRUE(found.count("日本語.exe"));
}

// Entries come sorted by name with ASCII letters folded, names equal so in byte order,
// whatever order the file system keeps them in; directories and "." take part too.
TEST_F(DirEnumTest, EntriesComeSortedByNameIgnoringCase) {
    const std::vector<std::string> created = {"b.exe", "a.exe", "_under.exe", "A.exe", "Zed.exe", "日本.exe", "[x.exe",
                                              "ab.exe", "a.EXE", "é.exe", "a0.exe", "a"};
    for (const std::string& name : created) touch(name);
    ASSERT_EQ(mkdir(dir.file("B").c_str(), 0755), 0);
    std::vector<std::string> order;
    auto e = DirEnum::start(dir.path() + "/*");
    ASSERT_NE(e, nullptr);
    do order.push_back(e->entry().name);
    while (e->next());
    const std::vector<std::string> expected = {".", "..", "a", "A.exe", "a.EXE", "a.exe", "a0.exe", "ab.exe", "B",
                                               "b.exe", "Zed.exe", "[x.exe", "_under.exe", "é.exe", "日本.exe"};
    EXPECT_EQ(order, expected);

    // A strict order: a name is never before itself.
    EXPECT_FALSE(platform::nameOrderLess("abc", "abc"));
}
