// Installer packages: the Icon table's rows and streams, ARPPRODUCTICON, and compound files
// whose chains, sizes, trees and strings are damaged.
#include <gtest/gtest.h>

#include <functional>

#include "formats/MsiPackage.h"
#include "support/LinkFixtures.h"

namespace {

using fixtures::Bytes;
using fixtures::CfbLayout;
using fixtures::MsiSpec;
using formats::MsiPackage;

Bytes pattern(std::size_t size, std::uint8_t seed) {
    Bytes b(size);
    for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7 + i / 251);
    return b;
}

formats::Parsed<std::unique_ptr<MsiPackage>> openBytes(Bytes bytes) {
    return MsiPackage::open(std::make_unique<formats::MemorySource>(std::move(bytes)));
}

// Three icons: a small one in the mini stream, one of many mini sectors, one in regular sectors.
MsiSpec threeIcons() {
    MsiSpec parts;
    parts.icons = {{"small.ico", pattern(100, 1)}, {"Caf\xE9.ico", pattern(1000, 2)}, {"big.exe", pattern(9000, 3)}};
    parts.properties = {{"ProductName", "Test"}, {"ARPPRODUCTICON", "Caf\xE9.ico"}};
    return parts;
}

TEST(MsiPackage, RowsInTableOrderWithTheirStreams) {
    const struct {
        const char* what;
        int sectorShift;
        bool longRefs;
        std::uint32_t codePage;
    } cases[] = {{"512-byte sectors", 9, false, 1252}, {"4096-byte sectors", 12, false, 1252}, {"3-byte string refs", 9, true, 1252},
                 {"UTF-8 strings", 9, false, 65001}};
    for (const auto& c : cases) {
        MsiSpec parts = threeIcons();
        parts.sectorShift = c.sectorShift;
        parts.longStringRefs = c.longRefs;
        parts.codePage = c.codePage;
        if (c.codePage == 65001) parts.icons[1].name = parts.properties[1].second = "Caf\u00e9.ico";
        auto package = openBytes(fixtures::makeMsi(parts));
        ASSERT_TRUE(package) << c.what << ": " << package.error().text();
        const auto& rows = (*package)->icons();
        ASSERT_EQ(rows.size(), 3u) << c.what;
        EXPECT_EQ((*package)->codePage(), c.codePage) << c.what;
        EXPECT_EQ(rows[1].name, formats::StoredText::utf8("Caf\u00e9.ico")) << c.what;
        EXPECT_EQ((*package)->productIconRow(), 1u) << c.what;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const auto data = (*package)->readIcon(i);
            ASSERT_TRUE(data) << c.what << " row " << i << ": " << data.error().text();
            EXPECT_EQ(*data, parts.icons[i].data) << c.what << " row " << i;
        }
    }
}

TEST(MsiPackage, PackageIconIsTheProductIconElseTheFirst) {
    const struct {
        const char* what;
        std::vector<std::pair<std::string, std::string>> properties;
        bool iconTable;
        std::optional<std::size_t> product, package;
    } cases[] = {
        {"named", {{"ARPPRODUCTICON", "big.exe"}}, true, 2, 2},
        {"names no row", {{"ARPPRODUCTICON", "gone.ico"}}, true, std::nullopt, 0},
        {"no property", {{"ProductName", "x"}}, true, std::nullopt, 0},
        {"no Icon table", {{"ARPPRODUCTICON", "big.exe"}}, false, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        MsiSpec parts = threeIcons();
        parts.properties = c.properties;
        parts.iconTable = c.iconTable;
        if (!c.iconTable) parts.icons.clear();
        auto package = openBytes(fixtures::makeMsi(parts));
        ASSERT_TRUE(package) << c.what << ": " << package.error().text();
        EXPECT_EQ((*package)->productIconRow(), c.product) << c.what;
        EXPECT_EQ((*package)->packageIconRow(), c.package) << c.what;
    }
}

// Damage to the file's structures: the package does not open, or one row's stream cannot
// be read; either way the error says what.
TEST(MsiPackage, DamagedCompoundFilesSayWhat) {
    CfbLayout at;
    const Bytes good = fixtures::makeMsi(threeIcons(), &at);
    const std::size_t small = 6, mid = 7, big = 8;  // the icons' streams among the package's
    ASSERT_TRUE(!at.inMini[big] && at.inMini[mid] && at.inMini[small]);
    const std::uint32_t bigStart = at.startOf[big];
    const std::uint32_t midStart = at.startOf[mid];
    using Patch = std::function<void(Bytes&)>;
    const auto u32 = [](std::size_t offset, std::uint32_t v) { return Patch([=](Bytes& b) { fixtures::putU32(b, offset, v); }); };
    const struct {
        const char* what;
        Patch patch;
        std::optional<std::size_t> row;  // nullopt: open fails
        const char* says;
    } cases[] = {
        {"a sector shift of 10", u32(0x1E, 0x0006000A), std::nullopt, "sector shift of 10"},
        {"more FAT sectors than the file", u32(0x2C, 5000), std::nullopt, "5000 FAT sectors"},
        {"a FAT sector past the file", u32(0x4C, 7000), std::nullopt, "past the file's"},
        {"directory start past the file", u32(0x30, 7000), std::nullopt, "sector 7000, past the file's"},
        {"the directory's chain loops", u32(at.fatEntryOffset(at.directoryStart + 1), at.directoryStart), std::nullopt, "loops back"},
        {"the tree loops", [&](Bytes& b) { fixtures::putU32(b, at.entryOffset(at.entryOf[0]) + 0x44, 0); }, std::nullopt, "twice"},
        {"the tree names a missing entry", u32(at.entryOffset(at.entryOf[0]) + 0x48, 999), std::nullopt, "entry 999"},
        {"a regular chain loops", u32(at.fatEntryOffset(bigStart + 1), bigStart), 2, "loops back to sector"},
        {"a regular chain leaves the file", u32(at.fatEntryOffset(bigStart), 6000), 2, "sector 6000, past the file's"},
        {"a regular chain ends early", u32(at.fatEntryOffset(bigStart + 1), 0xFFFFFFFE), 2, "ends after 2 sectors, 18 needed"},
        {"a size past the file", u32(at.entryOffset(at.entryOf[big]) + 0x78, 1u << 30), 2, "more than the file's sectors hold"},
        {"a mini chain loops", u32(at.miniFatEntryOffset(midStart + 3), midStart), 1, "loops back to mini sector"},
        {"a mini chain leaves the mini stream", u32(at.miniFatEntryOffset(midStart), 5000), 1, "past the mini stream's"},
        {"a mini size past the mini stream", u32(at.entryOffset(at.entryOf[mid]) + 0x78, 4000), 1, "more than the mini stream's"},
    };
    for (const auto& c : cases) {
        Bytes bytes = good;
        c.patch(bytes);
        auto package = openBytes(bytes);
        if (!c.row) {
            ASSERT_FALSE(package) << c.what;
            EXPECT_NE(package.error().text().find(c.says), std::string::npos) << c.what << ": " << package.error().text();
            continue;
        }
        ASSERT_TRUE(package) << c.what << ": " << package.error().text();
        const auto data = (*package)->readIcon(*c.row);
        ASSERT_FALSE(data) << c.what;
        EXPECT_NE(data.error().text().find(c.says), std::string::npos) << c.what << ": " << data.error().text();
    }
}

TEST(MsiPackage, StringsAndReferencesPastThePool) {
    CfbLayout at;
    const Bytes good = fixtures::makeMsi(threeIcons(), &at);
    const auto poolAt = [&](std::size_t entry) {
        // !_StringPool is the first stream, in the mini stream: mini sector startOf[0].
        return at.sectorOffset(at.miniStreamStart) + 64 * std::size_t{at.startOf[0]} + 4 * entry;
    };
    {
        Bytes bytes = good;
        fixtures::putU16(bytes, poolAt(2), 0xFFF0);  // string 2's length
        auto package = openBytes(bytes);
        ASSERT_FALSE(package);
        EXPECT_NE(package.error().text().find("string 2 of 65520 bytes runs past the end of the string data"), std::string::npos)
            << package.error().text();
    }
    {
        // The Icon table's first name names string 999.
        Bytes bytes = good;
        const std::size_t icon = 5;
        fixtures::putU16(bytes, at.sectorOffset(at.miniStreamStart) + 64 * std::size_t{at.startOf[icon]}, 999);
        auto package = openBytes(bytes);
        ASSERT_FALSE(package);
        EXPECT_NE(package.error().text().find("names string 999, past the pool"), std::string::npos) << package.error().text();
    }
}

TEST(MsiPackage, DifatChainThatLoopsIsRefused) {
    // A file large enough for 237 FAT sectors, whose header claims them: 109 in the
    // header, the rest in DIFAT sectors, the first of which names itself as the next.
    fixtures::CfbSpec parts;
    parts.streams = {{u"pad", Bytes(240 * 512, 0)}};
    Bytes bytes = fixtures::makeCompoundFile(parts);
    fixtures::putU32(bytes, 0x2C, 237);
    fixtures::putU32(bytes, 0x44, 100);
    fixtures::putU32(bytes, 0x48, 2);
    for (std::uint32_t i = 0; i < 109; ++i) fixtures::putU32(bytes, 0x4C + 4 * i, 0);
    const std::size_t difat = (100 + 1) * 512;
    for (std::uint32_t i = 0; i < 127; ++i) fixtures::putU32(bytes, difat + 4 * i, 0);
    fixtures::putU32(bytes, difat + 4 * 127, 100);
    const auto file = formats::CompoundFile::open(std::make_unique<formats::MemorySource>(bytes));
    ASSERT_FALSE(file);
    EXPECT_NE(file.error().what.find("DIFAT chain loops back to sector 100"), std::string::npos) << file.error().text();
}

TEST(MsiPackage, StreamNamesPackTwoCharactersToAUnit) {
    const struct {
        std::string name;
        bool table;
        std::u16string stored;
    } cases[] = {
        // The name every package's string pool has.
        {"_StringPool", true, u"\x4840\x3F3F\x4577\x446C\x3E6A\x44B2\x482F"},
        {"Icon.a", false, {char16_t(0x3800 + 18 + (38 << 6)), char16_t(0x3800 + 50 + (49 << 6)), char16_t(0x3800 + 62 + (36 << 6))}},
        {"Icon.\u00e9-x", false, {char16_t(0x3800 + 18 + (38 << 6)), char16_t(0x3800 + 50 + (49 << 6)), char16_t(0x4800 + 62), u'\u00e9', u'-',
                                 char16_t(0x4800 + 59)}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(formats::encodeMsiStreamName(c.name, c.table), c.stored) << c.name;
        EXPECT_EQ(formats::decodeMsiStreamName(c.stored), (c.table ? "!" : "") + c.name) << c.name;
    }
}

}  // namespace
