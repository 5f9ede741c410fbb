#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "formats/ByteView.h"
#include "platform/FileSource.h"
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
    EXPECT_EQ(f->readCalls(), calls);

    formats::MemorySource m(content);
    EXPECT_EQ(m.read(9998, 2), Bytes({content[9998], content[9999]}));
    EXPECT_FALSE(m.read(9998, 3));
}

TEST(ByteSource, FileSourceOpensOnlyRegularFiles) {
    fixtures::TempDir dir;
    platform::FileSource::OpenError err{};
    EXPECT_FALSE(platform::FileSource::open(dir.file("missing"), &err));
    EXPECT_EQ(err, platform::FileSource::OpenError::NotFound);
    EXPECT_FALSE(platform::FileSource::open(dir.path(), &err));
    EXPECT_EQ(err, platform::FileSource::OpenError::NotRegular);
    ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
    EXPECT_FALSE(platform::FileSource::open(dir.file("fifo"), &err));  // must not hang waiting for a writer
    EXPECT_EQ(err, platform::FileSource::OpenError::NotRegular);
    ASSERT_TRUE(fixtures::writeFile(dir.file("empty"), {}));
    auto f = platform::FileSource::open(dir.file("empty"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->size(), 0u);
    EXPECT_FALSE(f->read(0, 1));
}
