#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "formats/ByteView.h"
#include "platform/FileSource.h"
#include "support/FifoWriter.h"
#include "support/ImageFixtures.h"

using formats::ByteView;
using formats::Bytes;

TEST(ByteView, ReadsLittleAndBigEndianWithinBounds) {
    const Bytes b = {0x01, 0x02, 0x03, 0x04, 0xFF};
    ByteView v(b);
    EXPECT_EQ(v.u8(4), 0xFF);
    EXPECT_EQ(v.u16(0), 0x0201);
    EXPECT_EQ(v.u32(0), 0x04030201u);
    EXPECT_EQ(v.u32be(0), 0x01020304u);
    EXPECT_EQ(v.s32(1), static_cast<std::int32_t>(0xFF040302u));
    EXPECT_FALSE(v.u8(5));
    EXPECT_FALSE(v.u16(4));
    EXPECT_FALSE(v.u32(2));
}

TEST(ByteView, RefusesRangesThatOverflowOrRunPastTheEnd) {
    const Bytes b(16, 0);
    ByteView v(b);
    EXPECT_TRUE(v.sub(0, 16));
    EXPECT_TRUE(v.sub(16, 0));
    EXPECT_FALSE(v.sub(17, 0));
    EXPECT_FALSE(v.sub(8, 9));
    EXPECT_FALSE(v.sub(1, UINT64_MAX));        // offset + length wraps around
    EXPECT_FALSE(v.sub(UINT64_MAX, 2));
    EXPECT_FALSE(v.u32(UINT64_MAX - 1));
    auto tail = v.from(10);
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->size(), 6u);
    EXPECT_FALSE(v.from(17));
}

TEST(ByteSource, FileSourceReadsRangesAndRefusesWhatTheFileDoesNotHold) {
    fixtures::TempDir dir;
    Bytes content(10000);
    for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<std::uint8_t>(i * 7);
    ASSERT_TRUE(fixtures::writeFile(dir.file("f.bin"), content));

    auto f = platform::FileSource::open(dir.file("f.bin"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size(), 10000u);
    // Across a block boundary, from the cache, and a large direct read.
    for (auto [off, len] : {std::pair<std::uint64_t, std::uint64_t>{4090, 20}, {0, 4}, {3, 9000}, {9996, 4}}) {
        auto r = f->read(off, len);
        ASSERT_TRUE(r) << off;
        EXPECT_EQ(*r, Bytes(content.begin() + static_cast<long>(off), content.begin() + static_cast<long>(off + len)));
    }
    EXPECT_FALSE(f->read(9997, 4));
    EXPECT_FALSE(f->read(0, 4ull << 30));  // a 4 GB claim in a 10 KB file: refused, nothing allocated
    const auto calls = f->readCalls();
    EXPECT_TRUE(f->read(4, 8));             // cached block: no new system call
    EXPECT_TRUE(f->read(8200, 16));         // read with the others by the 9000-byte read
    EXPECT_EQ(f->readCalls(), calls);

    // A file cut short after it was opened: a read of blocks it no longer holds fails whole,
    // and no block the short read left unfilled is kept.
    auto cut = platform::FileSource::open(dir.file("f.bin"));
    ASSERT_TRUE(cut);
    ASSERT_EQ(::truncate(dir.file("f.bin").c_str(), 5000), 0);
    EXPECT_FALSE(cut->read(3000, 6000));
    EXPECT_FALSE(cut->read(8200, 16));
    const auto head = cut->read(100, 50);
    ASSERT_TRUE(head);
    EXPECT_EQ(*head, Bytes(content.begin() + 100, content.begin() + 150));

    formats::MemorySource m(content);
    EXPECT_EQ(m.read(9998, 2), Bytes({content[9998], content[9999]}));
    EXPECT_FALSE(m.read(9998, 3));
}

// The reopen goes through this process's own descriptors, also in a forked child whose
// parent had opened files before: the child reads its file, not the parent's descriptor
// of the same number.
TEST(ByteSource, AForkedChildReadsItsOwnFiles) {
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::writeFile(dir.file("parent"), {'P'}));
    ASSERT_TRUE(fixtures::writeFile(dir.file("child"), {'C'}));
    ASSERT_TRUE(platform::FileSource::open(dir.file("parent")));  // the parent has looked once
    const int parentFd = ::open(dir.file("parent").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(parentFd, 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(parentFd);  // the child's look takes this number
        auto f = platform::FileSource::open(dir.file("child"));
        const auto byte = f ? f->read(0, 1) : std::nullopt;
        ::_exit(byte && (*byte)[0] == 'C' ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(parentFd);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

// Only a regular file is opened for reading, by a path or by a name in a directory; the
// rest is looked at without being opened: a writer waiting on a FIFO still waits.
TEST(ByteSource, FileSourceOpensOnlyRegularFiles) {
    using Error = platform::FileSource::OpenError;
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::writeFile(dir.file("empty"), {}));
    ASSERT_TRUE(fixtures::writeFile(dir.file("data"), {1, 2, 3}));
    ASSERT_EQ(symlink("data", dir.file("link").c_str()), 0);
    ASSERT_EQ(mkdir(dir.file("sub").c_str(), 0700), 0);
    fixtures::FifoWriter writer(dir.file("fifo"));
    ASSERT_TRUE(writer.started());
    const struct {
        std::string name;  // in dir, or an absolute path
        Error error;
        int systemError;
        const char* why;
        std::uint64_t size;
    } cases[] = {
        {"missing", Error::NotFound, ENOENT, "No such file or directory", 0},
        {"data/x", Error::NotFound, ENOTDIR, "Not a directory", 0},
        {"sub", Error::NotRegular, EISDIR, "is a directory", 0},
        {"fifo", Error::NotRegular, 0, "not a regular file", 0},
        {"/dev/null", Error::NotRegular, 0, "not a regular file", 0},
        {"empty", Error::None, 0, "", 0},
        {"link", Error::None, 0, "", 3},
    };
    const int dirFd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(dirFd, 0);
    for (const auto& c : cases) {
        for (bool byName : {false, true}) {
            SCOPED_TRACE(c.name + (byName ? " in its directory" : " by path"));
            Error error{};
            int systemError = -1;
            const std::string path = c.name.front() == '/' ? c.name : dir.file(c.name);
            auto f = byName ? platform::FileSource::openAt(dirFd, c.name, &error, &systemError)
                            : platform::FileSource::open(path, &error, &systemError);
            EXPECT_EQ(error, c.error);
            EXPECT_EQ(f != nullptr, c.error == Error::None);
            if (!f) {
                EXPECT_EQ(systemError, c.systemError);
                EXPECT_EQ(platform::FileSource::describe(error, systemError), c.why);
                continue;
            }
            EXPECT_EQ(f->size(), c.size);
            EXPECT_TRUE(f->read(0, c.size));
            EXPECT_FALSE(f->read(0, c.size + 1));
        }
    }
    ::close(dirFd);
    EXPECT_TRUE(writer.waiting()) << "the FIFO was opened";
    EXPECT_TRUE(writer.release());
}
