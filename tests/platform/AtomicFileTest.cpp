// The atomic writer's rules for what it may replace: read-only files never, and through
// symbolic links the file they name, also one that does not exist yet; and batches of new
// files named together after one sync.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>

#include "platform/AtomicFile.h"
#include "platform/FileBatch.h"
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

// A link that another user planted in a sticky, world-writable folder is not followed (the
// kernel's protected_symlinks rule, whatever the machine's setting): the save fails as a
// failed create does and the file the link names keeps its bytes. Links of the caller, of
// the folder's owner, or in folders that are not sticky are followed. Changing a link's
// owner needs root.
TEST(AtomicFile, FollowsLinksOnlyWhereTheKernelWould) {
    if (::geteuid() != 0) GTEST_SKIP() << "changing the owner of a link needs root";
    fixtures::TempDir dir;
    constexpr uid_t kOther = 4321;
    const struct Folder {
        const char* name;
        mode_t mode;
        uid_t owner;
    } folders[] = {{"sticky", 01777, 0}, {"theirs", 01777, kOther}, {"open", 0777, 0}};
    for (const Folder& f : folders) {
        ASSERT_EQ(::mkdir(dir.file(f.name).c_str(), 0700), 0);
        ASSERT_EQ(::chown(dir.file(f.name).c_str(), f.owner, f.owner), 0);
        ASSERT_EQ(::chmod(dir.file(f.name).c_str(), f.mode), 0);
    }
    const struct Case {
        const char* link;   // under dir; the save goes through it
        const char* to;     // what it points at
        uid_t owner;        // the link's owner
        bool followed;
    } cases[] = {
        {"sticky/other", "../victim-a", kOther, false},
        {"sticky/mine", "../victim-b", 0, true},
        {"theirs/owners", "../victim-c", kOther, true},
        {"open/other", "../victim-d", kOther, true},
        {"sticky/dangling", "../created", kOther, false},
        {"chain", "sticky/chained", 0, false},  // mine, to another user's link in /tmp's kind
        {"sticky/chained", "../victim-e", kOther, false},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(::symlink(c.to, dir.file(c.link).c_str()), 0) << c.link;
        ASSERT_EQ(::lchown(dir.file(c.link).c_str(), c.owner, c.owner), 0) << c.link;
    }
    for (const char* victim : {"victim-a", "victim-b", "victim-c", "victim-d", "victim-e"})
        ASSERT_TRUE(fixtures::writeFile(dir.file(victim), {1}));

    for (const Case& c : cases) {
        if (std::string(c.link) == "sticky/chained") continue;  // reached through "chain"
        platform::AtomicFile file;
        const bool written = file.create(dir.file(c.link)) && file.write("ab", 2) && file.commit();
        EXPECT_EQ(written, c.followed) << c.link;
        EXPECT_EQ(file.error(), c.followed ? "" : "Permission denied") << c.link;
    }
    EXPECT_EQ(fixtures::readFile(dir.file("victim-a")), fixtures::Bytes{1});
    EXPECT_EQ(fixtures::readFile(dir.file("victim-b")), (fixtures::Bytes{'a', 'b'}));
    EXPECT_EQ(fixtures::readFile(dir.file("victim-c")), (fixtures::Bytes{'a', 'b'}));
    EXPECT_EQ(fixtures::readFile(dir.file("victim-d")), (fixtures::Bytes{'a', 'b'}));
    EXPECT_EQ(fixtures::readFile(dir.file("victim-e")), fixtures::Bytes{1});
    EXPECT_FALSE(std::filesystem::exists(dir.file("created")));
    // No temporary file is left behind.
    for (const Folder& f : folders)
        for (const auto& e : std::filesystem::directory_iterator(dir.file(f.name)))
            EXPECT_NE(e.path().filename().string().rfind(".vexil-", 0), 0u) << e.path();
}

// A batch of new files: none has its name before flush(), each then holds its bytes and no
// temporary file stays; a batch dropped unflushed leaves neither names nor temporaries. Files
// in two folders are named in both; a folder that is gone by the flush fails its files only.
TEST(FileBatch, NamesAppearOnlyWholeAtTheFlush) {
    for (const bool flushed : {true, false}) {
        SCOPED_TRACE(flushed ? "flushed" : "dropped");
        fixtures::TempDir dir;
        ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0700), 0);
        ASSERT_EQ(::mkdir(dir.file("gone").c_str(), 0700), 0);
        const std::vector<std::string> names = {"a.png", "b.ico", "sub/c.cur", "gone/d.png"};
        std::vector<platform::FileBatch::Failure> failures;
        {
            platform::FileBatch batch(names.size());
            for (std::size_t i = 0; i < names.size(); ++i) {
                auto file = std::make_unique<platform::AtomicFile>();
                const fixtures::Bytes bytes(1000 + i, static_cast<std::uint8_t>(i + 1));
                ASSERT_TRUE(file->create(dir.file(names[i])) && file->write(bytes) &&
                            file->prepare(platform::AtomicFile::Durability::Unflushed));
                EXPECT_FALSE(batch.full());
                batch.add(std::move(file));
            }
            EXPECT_TRUE(batch.full());
            for (const std::string& name : names) EXPECT_FALSE(std::filesystem::exists(dir.file(name))) << name;
            // The last folder's temporary file goes with its folder: its file cannot be named.
            std::filesystem::remove_all(dir.file("gone"));
            if (flushed) failures = batch.flush();
            EXPECT_EQ(batch.size(), flushed ? 0u : names.size());
        }
        if (flushed) {
            ASSERT_EQ(failures.size(), 1u);
            EXPECT_EQ(failures[0].path, dir.file("gone/d.png"));
            EXPECT_EQ(failures[0].reason, "No such file or directory");
        }
        for (std::size_t i = 0; i + 1 < names.size(); ++i)
            EXPECT_EQ(fixtures::readFile(dir.file(names[i])),
                      flushed ? fixtures::Bytes(1000 + i, static_cast<std::uint8_t>(i + 1)) : fixtures::Bytes{})
                << names[i];
        std::size_t left = 0;
        for (const auto& e : std::filesystem::recursive_directory_iterator(dir.path())) left += e.is_regular_file();
        EXPECT_EQ(left, flushed ? names.size() - 1 : 0u);
    }
}
