// Folders staged beside their place and published by one rename: what the target holds
// afterwards, and that nothing staged is left behind.
#include <gtest/gtest.h>

#include <filesystem>

#include <unistd.h>

#include "platform/StagedFolder.h"
#include "support/ImageFixtures.h"

namespace fs = std::filesystem;

namespace {

// The names in a folder, sorted.
std::vector<std::string> namesIn(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

TEST(StagedFolder, PublishesWholeOrLeavesEverythingAsItWas) {
    enum class Before { Nothing, Folder, File, Link };
    using Existing = platform::StagedFolder::Existing;
    const struct {
        const char* what;
        Before before;
        Existing existing;
        bool publishes;
    } cases[] = {
        {"new, keeping", Before::Nothing, Existing::Keep, true},
        {"new, replacing", Before::Nothing, Existing::Replace, true},
        {"a folder there, kept", Before::Folder, Existing::Keep, false},
        {"a folder there, replaced", Before::Folder, Existing::Replace, true},
        {"a file there, replaced", Before::File, Existing::Replace, true},
        {"a link there, replaced (not what it points to)", Before::Link, Existing::Replace, true},
    };
    for (const auto& c : cases) {
        fixtures::TempDir dir;
        const std::string target = dir.file("theme");
        fs::create_directory(dir.file("elsewhere"));
        ASSERT_TRUE(fixtures::writeFile(dir.file("elsewhere/keep"), {1}));
        if (c.before == Before::Folder) {
            fs::create_directories(target + "/cursors");
            ASSERT_TRUE(fixtures::writeFile(target + "/cursors/old", {1}));
        }
        if (c.before == Before::File) {
            ASSERT_TRUE(fixtures::writeFile(target, {1}));
        }
        if (c.before == Before::Link) fs::create_directory_symlink("elsewhere", target);

        platform::StagedFolder staged;
        ASSERT_TRUE(staged.create(target)) << c.what << ": " << staged.error();
        fs::create_directory(staged.path() + "/cursors");
        ASSERT_TRUE(fixtures::writeFile(staged.path() + "/cursors/new", {2}));
        fs::create_symlink("new", staged.path() + "/cursors/alias");
        EXPECT_EQ(staged.publish(c.existing), c.publishes) << c.what << ": " << staged.error();
        EXPECT_TRUE(staged.leftover().empty()) << c.what;
        if (c.publishes) {
            EXPECT_EQ(namesIn(target + "/cursors"), (std::vector<std::string>{"alias", "new"})) << c.what;
            EXPECT_TRUE(fs::is_symlink(target + "/cursors/alias")) << c.what;
            EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"elsewhere", "theme"})) << c.what;
        } else {
            EXPECT_FALSE(staged.error().empty()) << c.what;
            EXPECT_EQ(namesIn(target + "/cursors"), (std::vector<std::string>{"old"})) << c.what;
            EXPECT_EQ(namesIn(dir.path()), (std::vector<std::string>{"elsewhere", "theme"})) << c.what;
        }
        // What a replaced link pointed to is untouched.
        EXPECT_EQ(namesIn(dir.file("elsewhere")), (std::vector<std::string>{"keep"})) << c.what;
    }

    // Not published: the staged tree goes with the object.
    fixtures::TempDir dir;
    {
        platform::StagedFolder staged;
        ASSERT_TRUE(staged.create(dir.file("theme")));
        fs::create_directories(staged.path() + "/a/b");
        ASSERT_TRUE(fixtures::writeFile(staged.path() + "/a/b/c", {3}));
    }
    EXPECT_TRUE(namesIn(dir.path()).empty());
    // A target in a folder that does not exist cannot be staged.
    platform::StagedFolder staged;
    EXPECT_FALSE(staged.create(dir.file("missing/theme")));
    EXPECT_FALSE(staged.error().empty());
}
