#include <gtest/gtest.h>

#include <sys/stat.h>

#include "iconmod/SaveName.h"
#include "platform/MessageBox.h"
#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"

namespace {

struct NameCase {
    const char* name;          // relative to the test directory
    int filterIndex;
    int answer;                // to the overwrite question, when asked
    int kind;
    const char* path;          // expected path (relative), or nullptr: left as it was
    bool asked;
};

// Files present: pics/a.bmp, pics/a.ico, pics/a.jpg; a directory pics/d.ico.
const NameCase kNames[] = {
    {"pics/b", 2, platform::mb::IdYes, 2, "pics/b.bmp", false},        // default extension of the file type
    {"pics/a", 2, platform::mb::IdNo, -1, "pics/a.bmp", true},         // added extension, existing file, declined
    {"pics/a", 2, platform::mb::IdYes, 2, "pics/a.bmp", true},         // ... accepted
    {"pics/a", 3, platform::mb::IdNo, -1, "pics/a.jpg", true},
    {"pics/a.ico", 3, platform::mb::IdNo, 1, "pics/a.ico", false},     // typed extension wins, never asked
    {"pics/a.PNG", 1, platform::mb::IdYes, 0, nullptr, false},         // other type: path untouched
    {"pics/a.JPEG", 1, platform::mb::IdYes, 3, "pics/a.JPEG", false},  // case ignored, name kept
    {"pics/a.Bmp", 3, platform::mb::IdYes, 2, "pics/a.Bmp", false},
    {"pics/a.", 1, platform::mb::IdYes, 0, nullptr, false},            // bare dot is an extension of its own
    {"pics/a.ico.txt", 1, platform::mb::IdYes, 0, nullptr, false},     // only the last dot counts
    {"my.dir/a", 1, platform::mb::IdYes, 1, "my.dir/a.ico", false},    // dot in a directory name
    {"pics/c", 0, platform::mb::IdYes, 1, "pics/c.ico", false},        // unknown file types fall back to .ico
    {"pics/c", 7, platform::mb::IdYes, 1, "pics/c.ico", false},
    {"pics/a", 1, platform::mb::IdYes, 1, "pics/a.ico", true},
    {"pics/d", 1, platform::mb::IdNo, 1, "pics/d.ico", false},         // a directory is not an existing file
};

TEST(SaveName, CheckSaveNameTable) {
    fixtures::TempDir dir;
    ASSERT_EQ(mkdir(dir.file("pics").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("pics/d.ico").c_str(), 0755), 0);
    for (const char* f : {"pics/a.bmp", "pics/a.jpg"}) ASSERT_TRUE(fixtures::writeFile(dir.file(f), {1, 2, 3}));
    ASSERT_TRUE(fixtures::writeFile(dir.file("pics/a.ico"), {4, 5}));

    for (const NameCase& c : kNames) {
        SCOPED_TRACE(std::string(c.name) + " / " + std::to_string(c.filterIndex));
        fixtures::MessageRecorder boxes;
        boxes.answerNext(c.answer);
        std::string path = "previous";
        EXPECT_EQ(CheckSaveName(path, dir.file(c.name), c.filterIndex), c.kind);
        EXPECT_EQ(path, c.path ? dir.file(c.path) : "previous");
        ASSERT_EQ(boxes.messages().size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_EQ(boxes.messages()[0].text, path + "\nは既に存在します。上書きしますか(Y/N)？");
            EXPECT_EQ(boxes.messages()[0].title, "Vexil");
            EXPECT_EQ(boxes.messages()[0].style, 0x24u);
        }
    }
}

TEST(SaveName, CheckSaveNameWithoutDirectoryAndPastTheOldPathLimit) {
    fixtures::MessageRecorder boxes;
    std::string path;
    EXPECT_EQ(CheckSaveName(path, "icon", 3), 3);
    EXPECT_EQ(path, "icon.jpg");
    // The whole name is kept, however long, and the extension added.
    const std::string longName = "/tmp/" + std::string(250, 'd') + "/" + std::string(200, 'n');
    EXPECT_EQ(CheckSaveName(path, longName, 1), 1);
    EXPECT_EQ(path, longName + ".ico");
    EXPECT_TRUE(boxes.messages().empty());
}

}  // namespace
