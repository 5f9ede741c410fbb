#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "platform/AtomicFile.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"
#include "platform/StartPath.h"
#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"

using platform::Encoding;

// CP932 strings whose double-byte characters have 0x5C ("\") or 0x2F-free trail bytes:
// "表" is 0x95 0x5C, "ソ" is 0x83 0x5C, "あ" is 0x82 0xA0.
static const std::string kHyo = "\x95\x5C";
static const std::string kSo = "\x83\x5C";

TEST(MbText, TrailBytesAreNeverSeparators) {
    struct Case {
        std::string s;
        Encoding enc;
        bool endsWithBackslash;
    } cases[] = {
        {"C:\\" + kHyo, Encoding::Cp932, false},        // ends in a trail byte 0x5C
        {"C:\\" + kHyo + "\\", Encoding::Cp932, true},  // real separator after it
        {"C:\\" + kSo + kSo, Encoding::Cp932, false},
        {"abc\\", Encoding::Cp932, true},
        {"\x82\xA0\\", Encoding::Cp932, true},
        {"abc\\", Encoding::Utf8, true},
        {"\xE8\xA1\xA8\\", Encoding::Utf8, true},          // 表 in UTF-8, then a backslash
        {"\xE8\xA1", Encoding::Utf8, false},               // truncated sequence: bytes count alone
    };
    for (const auto& c : cases) EXPECT_EQ(platform::endsWithDelimiter(c.s, '\\', c.enc), c.endsWithBackslash) << c.s;

    const std::string path = "a" + kHyo + "b\\c" + kHyo;
    EXPECT_EQ(platform::findFirstChar(path, '\\', Encoding::Cp932), 4u);
    EXPECT_EQ(platform::findLastChar(path, '\\', Encoding::Cp932), 4u);
    EXPECT_EQ(platform::findFirstChar(path, '\\', Encoding::Utf8), 2u);  // read as single bytes it would split
    EXPECT_EQ(platform::asciiLower("ABC" + kSo + "D", Encoding::Cp932), "abc" + kSo + "d");
    // 0x83 0x5C then 0x5A: the Z after the double-byte character is lowered, the pair kept.
    EXPECT_EQ(platform::asciiUpper("x\x83\x5Cz", Encoding::Cp932), "X\x83\x5CZ");
}

TEST(MbText, PathPieces) {
    EXPECT_EQ(platform::joinPath("/", "a"), "/a");
    EXPECT_EQ(platform::joinPath("/home/ann", "a.exe"), "/home/ann/a.exe");
    EXPECT_EQ(platform::joinPath("", "a.exe"), "");
    EXPECT_EQ(platform::baseName("/x/y/App.ICO"), "App.ICO");
    EXPECT_EQ(platform::extensionOf("/x/y/App.ICO"), ".ICO");
    EXPECT_EQ(platform::extensionOf("/x.dir/app"), "");
    EXPECT_EQ(platform::extensionOf("/x/app."), ".");
    EXPECT_EQ(platform::compareIgnoreCase(".ICO", ".ico"), 0);
    EXPECT_LT(platform::compareIgnoreCase("a", "B"), 0);
    EXPECT_LT(platform::compareIgnoreCase("ab", "abc"), 0);
}

TEST(MessageBoxSeam, RecorderSeesTextTitleStyleAndAnswers) {
    fixtures::MessageRecorder rec;
    rec.answerNext(platform::mb::IdNo);
    EXPECT_EQ(platform::messageBox("q", "t", platform::mb::YesNo | platform::mb::IconQuestion), platform::mb::IdNo);
    EXPECT_EQ(platform::messageBox("q2", "t", platform::mb::YesNo), platform::mb::IdYes);
    EXPECT_EQ(platform::messageBox("m", "t2"), platform::mb::IdOk);
    ASSERT_EQ(rec.messages().size(), 3u);
    EXPECT_EQ(rec.messages()[0].style, 0x24u);
    EXPECT_EQ(rec.messages()[2].title, "t2");
}

TEST(AtomicFile, ReplacesOnlyOnCommitAndLeavesNoTemporaryFiles) {
    fixtures::TempDir dir;
    const std::string target = dir.file("out.ico");
    ASSERT_TRUE(fixtures::writeFile(target, {1, 2, 3}));
    {
        platform::AtomicFile f;
        ASSERT_TRUE(f.create(target));
        ASSERT_TRUE(f.write("abcd", 4));
        // Dropped without commit: the old bytes stay.
    }
    EXPECT_EQ(fixtures::readFile(target), fixtures::Bytes({1, 2, 3}));
    EXPECT_TRUE(platform::AtomicFile::writeWhole(target, fixtures::Bytes{9, 9}));
    EXPECT_EQ(fixtures::readFile(target), fixtures::Bytes({9, 9}));
    int entries = 0;
    for ([[maybe_unused]] auto& e : std::filesystem::directory_iterator(dir.path())) ++entries;
    EXPECT_EQ(entries, 1);

    // A target that is a directory, or a directory that does not exist, cannot be created.
    std::filesystem::create_directory(dir.file("sub.ico"));
    platform::AtomicFile g;
    EXPECT_FALSE(g.create(dir.file("sub.ico")));
    EXPECT_FALSE(g.create(dir.file("nodir/x.ico")));
    // Nor is anything but a regular file replaced: a FIFO stays a FIFO.
    ASSERT_EQ(mkfifo(dir.file("pipe.ico").c_str(), 0600), 0);
    EXPECT_FALSE(platform::AtomicFile::writeWhole(dir.file("pipe.ico"), fixtures::Bytes{1}));
    struct stat st {};
    ASSERT_EQ(lstat(dir.file("pipe.ico").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    // Names far beyond 260 bytes are fine as long as the file system takes them.
    const std::string deep = dir.file(std::string(200, 'd'));
    std::filesystem::create_directory(deep);
    const std::string longPath = deep + "/" + std::string(200, 'n') + ".bmp";
    ASSERT_GT(longPath.size(), 400u);
    EXPECT_TRUE(platform::AtomicFile::writeWhole(longPath, fixtures::Bytes{1}));
}

TEST(AtomicFile, KeepsTheModeOfAReplacedFileAndWritesThroughSymlinks) {
    fixtures::TempDir dir;
    const std::string real = dir.file("real.bmp");
    ASSERT_TRUE(fixtures::writeFile(real, {0}));
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink(real.c_str(), dir.file("link.bmp").c_str()), 0);
    ASSERT_TRUE(platform::AtomicFile::writeWhole(dir.file("link.bmp"), fixtures::Bytes{7, 7}));
    EXPECT_EQ(fixtures::readFile(real), fixtures::Bytes({7, 7}));
    struct stat st {};
    ASSERT_EQ(lstat(dir.file("link.bmp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// What a drop on the window opens: the first local file of the uri-list, its bytes as named.
TEST(StartPath, FirstLocalPathOfADroppedUriList) {
    const struct {
        const char* list;
        std::optional<std::string> path;
    } cases[] = {
        {"file:///home/u/app.exe\r\n", "/home/u/app.exe"},
        {"# a comment\r\nhttps://example.invalid/x.exe\r\nfile:///a%20b/c%2Cd.ico\r\nfile:///second\r\n", "/a b/c,d.ico"},
        {"file://localhost/tmp/x", "/tmp/x"},
        {"FILE:/tmp/y", "/tmp/y"},
        {"file:///tmp/%FF%fename%", "/tmp/\xff\xfename%"},  // not UTF-8, and a stray %
        {"file://otherhost/tmp/x\nfile:///tmp/local", "/tmp/local"},
        {"http://a/b\r\n\r\n", std::nullopt},
        {"file:relative/path", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::firstLocalPath(c.list), c.path) << c.list;
}

// What a drag out of the window names: a URI that a drop target reads back to the same bytes.
TEST(StartPath, FileUriOfADraggedFileReadsBackToItsBytes) {
    const struct {
        std::string path;
        const char* uri;
    } cases[] = {
        {"/tmp/a.exe-#1.png", "file:///tmp/a.exe-%231.png"},
        {"/a b/c%d,e", "file:///a%20b/c%25d%2Ce"},
        {"/tmp/\xe3\x81\x82\xff", "file:///tmp/%E3%81%82%FF"},  // UTF-8, then a byte that is not
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::fileUri(c.path), c.uri);
        EXPECT_EQ(platform::firstLocalPath(platform::fileUri(c.path) + "\r\n"), c.path);
    }
}
