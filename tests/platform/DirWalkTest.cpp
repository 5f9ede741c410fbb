#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/DirWalk.h"
#include "support/ImageFixtures.h"

using platform::DirWalk;

namespace {

std::size_t openDescriptors() {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

// The walk of `root` as lines "path-below-root kind"; *mostFds: the most descriptors the
// process held between entries.
std::vector<std::string> walkLines(DirWalk& walk, const std::string& root, std::size_t* mostFds = nullptr) {
    static const char* const kKinds[] = {"dir", "dirlink", "file", "special", "unreadable"};
    std::vector<std::string> lines;
    walk.start(root);
    DirWalk::Entry e;
    while (walk.next(&e)) {
        lines.push_back(walk.path(e.dir, e.name).substr(root.size()) + " " + kKinds[static_cast<int>(e.kind)]);
        if (mostFds) *mostFds = std::max(*mostFds, openDescriptors());
    }
    return lines;
}

}  // namespace

// A walk allowed 3 descriptors walks a deep tree as one allowed many does, and finds each
// directory again afterwards, in any order; a directory replaced meanwhile is never taken
// for the one the walk entered.
TEST(DirWalk, FewDescriptorsWalkAndReopenAnyDepth) {
    constexpr int kLevels = 40;
    fixtures::TempDir dir;
    std::string path = dir.file("root");
    std::vector<std::string> levels;
    for (int level = 0; level <= kLevels; ++level) {
        ASSERT_EQ(::mkdir(path.c_str(), 0700), 0);
        levels.push_back(path);
        // A file before the subdirectory and one after it: the walk comes back up for each.
        ASSERT_TRUE(fixtures::writeFile(path + "/a", {1}));
        ASSERT_TRUE(fixtures::writeFile(path + "/z", {1}));
        path += "/m";
    }
    DirWalk roomy;
    const std::vector<std::string> expected = walkLines(roomy, levels[0]);
    ASSERT_EQ(expected.size(), 3u * kLevels + 2);

    const std::size_t before = openDescriptors();
    std::size_t most = 0;
    DirWalk walk(3);
    EXPECT_EQ(walkLines(walk, levels[0], &most), expected);
    EXPECT_LE(walk.peakDescriptors(), 3u);
    EXPECT_LE(most, before + 3);  // seen between entries: the walk's own, nothing leaked

    // Ids are given in the order directories are entered: here, level by level.
    std::vector<struct stat> entered(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i) ASSERT_EQ(::stat(levels[i].c_str(), &entered[i]), 0);
    auto isLevel = [&](int fd, std::size_t i) {
        struct stat st {};
        return fd >= 0 && ::fstat(fd, &st) == 0 && st.st_dev == entered[i].st_dev && st.st_ino == entered[i].st_ino;
    };
    std::vector<std::size_t> order;
    for (std::size_t i = 0; i < levels.size(); ++i) order.push_back(i);
    for (std::size_t i = levels.size(); i-- > 0;) order.push_back(i);
    for (std::size_t i = 0; i < levels.size(); i += 7) order.push_back(levels.size() - 1 - i);
    for (std::size_t i : order) EXPECT_TRUE(isLevel(walk.directory(static_cast<DirWalk::DirId>(i)), i)) << i;
    EXPECT_EQ(walk.path(static_cast<DirWalk::DirId>(kLevels), "a"), levels.back() + "/a");
    EXPECT_LE(walk.peakDescriptors(), 3u);

    // Level 2 moves away and an impostor chain takes its place: each directory is the one
    // entered (reached through the moved one) or none (ENOENT), never the impostor.
    ASSERT_EQ(::rename(levels[2].c_str(), dir.file("moved").c_str()), 0);
    std::filesystem::create_directories(levels[6]);
    int refused = 0;
    for (std::size_t i : order) {
        const int fd = walk.directory(static_cast<DirWalk::DirId>(i));
        if (fd < 0) {
            EXPECT_EQ(errno, ENOENT) << i;
            EXPECT_GE(i, 2u);
            ++refused;
        } else {
            EXPECT_TRUE(isLevel(fd, i)) << i;
        }
    }
    EXPECT_GT(refused, 0);
}
