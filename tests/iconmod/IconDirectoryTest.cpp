// The one reader of ICO and icon-group directories, and the two users of a group that must
// agree on it: the strip's extraction and the icon save dialog's group loading.
#include <gtest/gtest.h>

#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "formats/IconDirectory.h"
#include "platform/IconExtract.h"
#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;

TEST(IconDirectory, EntriesAndDirectoriesCutShort) {
    const Bytes a = fixtures::patternDib(16, 4), b = fixtures::makePng(48, 48, [](int, int) { return 0xFF102030u; });
    const Bytes ico = fixtures::makeIco({{a}, {b, {}, {}, {}, {}, {}, {}, 0x1234u}});
    const auto icoEntries = formats::readIcoDirectory(ico);
    ASSERT_TRUE(icoEntries);
    ASSERT_EQ(icoEntries->size(), 2u);
    EXPECT_EQ((*icoEntries)[0].width, 16);
    EXPECT_EQ((*icoEntries)[0].colorCount, 16);
    EXPECT_EQ((*icoEntries)[0].bitCount, 4);
    EXPECT_EQ((*icoEntries)[0].bytesInRes, a.size());
    EXPECT_EQ((*icoEntries)[0].imageOffset, 6u + 2 * 16);
    EXPECT_EQ((*icoEntries)[1].imageOffset, 0x1234u);

    const Bytes group = fixtures::makeGroupDirectory({a, b}, {7, 9});
    const auto groupEntries = formats::readGroupDirectory(group);
    ASSERT_TRUE(groupEntries);
    ASSERT_EQ(groupEntries->size(), 2u);
    EXPECT_EQ((*groupEntries)[1].id, 9);
    EXPECT_EQ((*groupEntries)[1].width, 48);
    EXPECT_EQ((*groupEntries)[1].bytesInRes, b.size());

    struct Case {
        const char* what;
        Bytes bytes;
        bool ico;
        bool reads;
    } cases[] = {
        {"ico one byte short", Bytes(ico.begin(), ico.begin() + 6 + 2 * 16 - 1), true, false},
        {"ico directory only", Bytes(ico.begin(), ico.begin() + 6 + 2 * 16), true, true},
        {"cursor", fixtures::makeIco({{a}}, 2), true, false},
        {"reserved not 0", fixtures::makeIco({{a}}, 1, 1), true, false},
        {"ico without images", fixtures::makeIco({}), true, true},
        {"group one byte short", Bytes(group.begin(), group.end() - 1), false, false},
        {"group header only", Bytes(group.begin(), group.begin() + 5), false, false},
    };
    for (const Case& c : cases) {
        const bool read = c.ico ? formats::readIcoDirectory(c.bytes).has_value() : formats::readGroupDirectory(c.bytes).has_value();
        EXPECT_EQ(read, c.reads) << c.what;
    }
}

// A group whose directory claims one entry more than it holds: the strip does not show it
// and the icon save dialog refuses it; the sound groups around it work in both.
TEST(IconDirectory, StripAndDialogAgreeOnEveryGroup) {
    std::vector<fixtures::ModuleIcon> icons{fixtures::patternIcon(fixtures::resId(1)), fixtures::patternIcon(fixtures::resId(3))};
    Bytes cut = fixtures::makeGroupDirectory(icons[0].images, {1, 2});
    fixtures::putU16(cut, 4, 3);
    fixtures::PeOptions options;
    options.extra.push_back({fixtures::resId(14), fixtures::resId(2), cut});
    fixtures::TempDir dir;
    const std::string path = dir.file("cut.dll");
    ASSERT_TRUE(fixtures::writeFile(path, fixtures::makePe(icons, options)));

    const auto file = platform::openFile(path).file;
    ASSERT_TRUE(file);
    ASSERT_EQ(file->count(), 3);
    iconmod::QIconMod source(path);
    ASSERT_TRUE(source.fnOpen());
    iconmod::VectorTextList groups;
    ASSERT_TRUE(iconmod::fnListGroupNames(source, groups));
    ASSERT_EQ(groups.items, (std::vector<std::string>{"#1", "#2", "#3"}));
    for (int i = 0; i < 3; ++i) {
        fixtures::MessageRecorder rec;
        source.GroupName = groups.items[static_cast<std::size_t>(i)];
        const bool loads = iconmod::fnLoadGroup(source);
        EXPECT_EQ(file->icon(i, 32).has_value(), loads) << i;
        EXPECT_EQ(loads, i != 1) << i;
        if (!loads) {
            EXPECT_EQ(rec.texts(), std::vector<std::string>{iconmod::text::kGroupFormatFailed});
        }
    }
}
