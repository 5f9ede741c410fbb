// The listing under both directory walks: one directory read whole, in either order, with
// what an entry leads to looked at without opening it.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/DirListing.h"
#include "support/ImageFixtures.h"

using platform::NameOrder;
using platform::Target;

TEST(DirListing, EitherOrderAndWhatEachEntryLeadsTo) {
    fixtures::TempDir dir;
    for (const char* name : {"b", "B.exe", "a", "_x", "Z", "\xc3\xa9"}) ASSERT_TRUE(fixtures::writeFile(dir.file(name), {1}));
    ASSERT_EQ(::mkdir(dir.file("sub").c_str(), 0700), 0);
    ASSERT_EQ(::symlink("sub", dir.file("toSub").c_str()), 0);
    ASSERT_EQ(::symlink("a", dir.file("toA").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", dir.file("gone").c_str()), 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);

    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const auto noDots = [](std::string_view n) { return n != "." && n != ".."; };
    const struct Case {
        NameOrder order;
        std::function<bool(std::string_view)> keep;
        std::vector<std::string> expected;
    } cases[] = {
        {NameOrder::Bytewise, noDots, {"B.exe", "Z", "_x", "a", "b", "gone", "pipe", "sub", "toA", "toSub", "\xc3\xa9"}},
        {NameOrder::IgnoringAsciiCase, noDots, {"a", "b", "B.exe", "gone", "pipe", "sub", "toA", "toSub", "Z", "_x", "\xc3\xa9"}},
        {NameOrder::IgnoringAsciiCase, [](std::string_view n) { return n.size() == 1; }, {".", "a", "b", "Z"}},
    };
    for (const Case& c : cases) {
        // Twice over the same descriptor: each listing reads the whole directory.
        for (int round = 0; round < 2; ++round) {
            std::vector<platform::ListedName> names;
            EXPECT_EQ(platform::listDirectory(fd, c.order, c.keep, &names), 0);
            std::vector<std::string> seen;
            for (const auto& n : names) seen.push_back(n.name);
            EXPECT_EQ(seen, c.expected);
        }
    }

    const std::pair<const char*, Target> targets[] = {
        {"a", Target::File}, {"sub", Target::Directory}, {"toSub", Target::Directory}, {"toA", Target::File},
        {"gone", Target::Other}, {"pipe", Target::Other}, {"absent", Target::Other},
    };
    for (const auto& [name, target] : targets) EXPECT_EQ(platform::targetOf(fd, name), target) << name;
    ::close(fd);

    // A descriptor that is no directory cannot be listed, and says why.
    const int fileFd = ::open(dir.file("a").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fileFd, 0);
    std::vector<platform::ListedName> names;
    EXPECT_EQ(platform::listDirectory(fileFd, NameOrder::Bytewise, noDots, &names), ENOTDIR);
    EXPECT_TRUE(names.empty());
    ::close(fileFd);
}
