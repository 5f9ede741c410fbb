// The atomic writer's rules for what it may replace: read-only files never, and through
// symbolic links the file they name, also one that does not exist yet.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "platform/AtomicFile.h"
#include "support/ImageFixtures.h"

TEST(AtomicFile, RefusesReadOnlyFilesAndReplacesWhatALinkNames) {
    fixtures::TempDir dir;
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0700), 0);
    const struct Case {
        const char* name;
        std::function<bool(const std::string&)> prepare;
        const char* error;        // empty: written
        const char* landsIn;      // the file that then holds the bytes
    } cases[] = {
        {"readonly", [](const std::string& p) { return fixtures::writeFile(p, {1}) && ::chmod(p.c_str(), 0444) == 0; },
         "Permission denied", "readonly"},
        {"writeonly", [](const std::string& p) { return fixtures::writeFile(p, {1}) && ::chmod(p.c_str(), 0200) == 0; }, "",
         "writeonly"},
        {"dangling", [](const std::string& p) { return ::symlink("sub/new", p.c_str()) == 0; }, "", "sub/new"},
        {"loop", [](const std::string& p) { return ::symlink("loop", p.c_str()) == 0; }, "Too many levels of symbolic links", ""},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(c.prepare(path)) << c.name;
        platform::AtomicFile file;
        const bool written = file.create(path) && file.write("ab", 2) && file.commit();
        EXPECT_EQ(written, *c.error == '\0') << c.name;
        EXPECT_EQ(file.error(), c.error) << c.name;
        EXPECT_EQ(platform::AtomicFile::lastError(), c.error) << c.name;
        if (*c.landsIn) {
            const fixtures::Bytes expected = written ? fixtures::Bytes{'a', 'b'} : fixtures::Bytes{1};
            EXPECT_EQ(fixtures::readFile(dir.file(c.landsIn)), expected) << c.name;
        }
    }
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("dangling").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));

    // The owner stays where the process may give it (root may; others keep their own files).
    const std::string owned = dir.file("owned");
    ASSERT_TRUE(fixtures::writeFile(owned, {1}));
    if (::chown(owned.c_str(), 4321, 4321) == 0) {
        ASSERT_TRUE(platform::AtomicFile::writeWhole(owned, fixtures::Bytes{2}));
        ASSERT_EQ(::stat(owned.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4321u);
    }
}
