// Archives read through libarchive from a byte source: which files are listed and held,
// what is passed over and why, and the bounds on entries and held bytes.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform/Archive.h"
#include "support/PackFixtures.h"

using fixtures::ArchiveKind;
using fixtures::Bytes;
using fixtures::PackEntry;

namespace {

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

bool wantCursors(std::string_view path) { return path.size() > 4 && path.substr(path.size() - 4) == ".cur"; }

}  // namespace

TEST(Archive, ListsFilesHoldsWantedOnesAndPassesOverWhatItMust) {
    const Bytes a = text("first cursor"), b = Bytes(100000, 0x5A);
    const std::vector<PackEntry> tree{
        {"Pack/", {}, {}},
        {"Pack/a.cur", a, {}},
        {"Pack\\Sub\\b.cur", b, {}},  // made on Windows
        {"./Pack//readme.txt", text("hello"), {}},
        {"Pack/link.cur", {}, "a.cur"},
        {"../evil.cur", a, {}},
        {"/abs/c.cur", a, {}},
    };
    struct Expect {
        std::string path;
        bool held;
        Bytes bytes;
    };
    const std::vector<Expect> expected{
        {"Pack/a.cur", true, a}, {"Pack/Sub/b.cur", true, b}, {"Pack/readme.txt", false, {}}, {"abs/c.cur", true, a}};
    for (ArchiveKind kind : {ArchiveKind::Zip, ArchiveKind::SevenZip}) {
        const char* what = kind == ArchiveKind::Zip ? "zip" : "7z";
        formats::MemorySource source(fixtures::makeArchive(kind, tree));
        std::string error;
        const auto contents = platform::readArchive(source, wantCursors, &error);
        ASSERT_TRUE(contents) << what << ": " << error;
        ASSERT_EQ(contents->files.size(), expected.size()) << what;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(contents->files[i].path, expected[i].path) << what;
            EXPECT_EQ(contents->files[i].held, expected[i].held) << what << ": " << expected[i].path;
            EXPECT_EQ(contents->files[i].bytes, expected[i].bytes) << what << ": " << expected[i].path;
        }
        ASSERT_EQ(contents->notes.size(), 1u) << what;
        EXPECT_NE(contents->notes[0].find("../evil.cur: the path leads out of the archive"), std::string::npos) << contents->notes[0];
    }
}

TEST(Archive, KeepsToItsBoundsAndRefusesWhatIsNoArchive) {
    const Bytes zip = fixtures::makeArchive(ArchiveKind::Zip, {{"a.cur", Bytes(3000, 1), {}},
                                                               {"b.cur", Bytes(3000, 2), {}},
                                                               {"c.cur", Bytes(9000, 3), {}},
                                                               {"d.cur", Bytes(10, 4), {}}});
    struct Case {
        const char* what;
        Bytes bytes;
        platform::ArchiveLimits limits;
        std::vector<std::string> held;   // nullopt-like: empty with `error` set
        std::vector<std::string> notes;
        std::string error;
    };
    const std::vector<Case> cases{
        {"within every bound", zip, {}, {"a.cur", "b.cur", "c.cur", "d.cur"}, {}, {}},
        {"one file over the entry size", zip, {10, 8000, 1 << 20}, {"a.cur", "b.cur", "d.cur"},
         {"c.cur: larger than"}, {}},
        {"the held total reached", zip, {10, 8000, 6005}, {"a.cur", "b.cur"}, {"c.cur: larger than", "d.cur: past the"}, {}},
        {"more entries than allowed", zip, {3, 1 << 20, 1 << 20}, {}, {}, "more than 3 entries"},
        {"no archive", text("just some text that is long enough to look at"), {}, {}, {}, "Unrecognized archive format"},
        {"cut short", Bytes(zip.begin(), zip.begin() + static_cast<std::ptrdiff_t>(zip.size() / 2)), {}, {}, {}, "?"},
        {"empty", {}, {}, {}, {}, "?"},
    };
    for (const Case& c : cases) {
        formats::MemorySource source(c.bytes);
        std::string error;
        const auto contents = platform::readArchive(source, wantCursors, &error, c.limits);
        if (!c.error.empty()) {
            EXPECT_FALSE(contents) << c.what;
            EXPECT_FALSE(error.empty()) << c.what;
            if (c.error != "?") {
                EXPECT_NE(error.find(c.error), std::string::npos) << c.what << ": " << error;
            }
            continue;
        }
        ASSERT_TRUE(contents) << c.what << ": " << error;
        std::vector<std::string> held;
        for (const auto& f : contents->files)
            if (f.held) {
                held.push_back(f.path);
            } else {
                EXPECT_TRUE(f.bytes.empty()) << c.what << ": " << f.path;
            }
        EXPECT_EQ(held, c.held) << c.what;
        ASSERT_EQ(contents->notes.size(), c.notes.size()) << c.what;
        for (std::size_t i = 0; i < c.notes.size(); ++i)
            EXPECT_NE(contents->notes[i].find(c.notes[i]), std::string::npos) << c.what << ": " << contents->notes[i];
    }
    EXPECT_TRUE(platform::isArchive(zip));
    EXPECT_TRUE(platform::isArchive(fixtures::makeArchive(ArchiveKind::SevenZip, {{"a", text("a"), {}}})));
    EXPECT_TRUE(platform::isArchive(text("Rar!\x1A\x07\x01")));
    EXPECT_FALSE(platform::isArchive(text("[Version]")));
}
