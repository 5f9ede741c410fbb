#include <gtest/gtest.h>

#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "support/ImageFixtures.h"
#include "support/ImageLines.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;
using fixtures::ModuleIcon;
using fixtures::resId;
using fixtures::resName;
using iconmod::QIconMod;
using iconmod::VectorTextList;
namespace text = iconmod::text;

namespace {

struct ModuleFile {
    fixtures::TempDir dir;
    std::string path;
    explicit ModuleFile(const Bytes& bytes, const std::string& name = "test.dll") : path(dir.file(name)) {
        fixtures::writeFile(path, bytes);
    }
};

Bytes png(int size) {
    return fixtures::makePng(size, size, [](int x, int) { return x % 2 ? 0xFF336699u : 0x80000000u; });
}

// Groups in an order a resource compiler would not write, so that the reader's order shows.
const std::vector<ModuleIcon> kIcons{
    fixtures::patternIcon(resId(105), {16, 32}, 4),
    fixtures::patternIcon(resName("MAIN"), {48}, 24),
    {resId(2), {fixtures::patternDib(32, 8), png(256)}},
    fixtures::patternIcon(resName("abc"), {16}, 1),
};

}  // namespace

TEST(IconGroups, OpensProgramsOfBothWordSizesButNot16BitModules) {
    struct Case {
        const char* what;
        Bytes bytes;
        bool opens;     // fnOpen, as the icon save dialog opens a file
        bool anyKind;   // fnOpenAnyModule, whatever the name (an .ico name here)
    } cases[] = {
        {"PE32", fixtures::makePe(kIcons), true, true},
        {"PE32+", fixtures::makePe(kIcons, {.plus = true}), true, true},
        {"NE", fixtures::makeNe(kIcons), false, true},
        {"not a module", Bytes(500, 'x'), false, false},
    };
    for (const auto& c : cases) {
        ModuleFile f(c.bytes);
        fixtures::MessageRecorder rec;
        QIconMod m(f.path);
        EXPECT_FALSE(m.IsIcoFile);
        EXPECT_EQ(m.fnOpen(), c.opens) << c.what;
        ModuleFile named(c.bytes, "named.ico");
        QIconMod any(named.path);
        EXPECT_EQ(any.fnOpenAnyModule(), c.anyKind) << c.what;
        EXPECT_FALSE(any.IsIcoFile) << c.what;
        VectorTextList groups;
        if (c.anyKind) {
            ASSERT_TRUE(iconmod::fnListGroupNames(any, groups)) << c.what;
            EXPECT_EQ(groups.items.size(), kIcons.size()) << c.what;
        }
        EXPECT_TRUE(rec.messages().empty()) << c.what;
    }
}

TEST(IconGroups, ListsGroupNamesInTheModulesOrder) {
    for (bool plus : {false, true}) {
        ModuleFile f(fixtures::makePe(kIcons, {.plus = plus}));
        QIconMod m(f.path);
        ASSERT_TRUE(m.fnOpen());
        VectorTextList list;
        list.append("left over");
        ASSERT_TRUE(iconmod::fnListGroupNames(m, list));
        // String names first (ignoring case), then ids ascending.
        EXPECT_EQ(list.items, (std::vector<std::string>{"abc", "MAIN", "#2", "#105"}));
    }
}

TEST(IconGroups, AModuleWithoutIconGroupsSaysSo) {
    fixtures::RawResource bitmap{resId(2), resId(1), Bytes(64, 1)};
    for (const Bytes& bytes : {fixtures::makePe({}, {.extra = {bitmap}}), fixtures::makePe({}, {.withResources = false})}) {
        ModuleFile f(bytes);
        fixtures::MessageRecorder rec;
        QIconMod m(f.path);
        ASSERT_TRUE(m.fnOpen());
        VectorTextList list;
        EXPECT_FALSE(iconmod::fnListGroupNames(m, list));
        EXPECT_TRUE(list.items.empty());
        ASSERT_EQ(rec.messages().size(), 1u);
        EXPECT_EQ(rec.messages()[0].text, text::kGroupNamesFailed);
    }
}

TEST(IconGroups, AnIcoFileListsNoGroupsButHasItsImages) {
    fixtures::TempDir dir;
    const std::string path = dir.file("a.ICO");
    ASSERT_TRUE(fixtures::writeFile(path, fixtures::makeIco({{fixtures::patternDib(32, 4)}, {png(48)}})));
    QIconMod m(path);
    ASSERT_TRUE(m.IsIcoFile);
    VectorTextList list;
    EXPECT_FALSE(iconmod::fnListGroupNames(m, list));  // not opened yet
    ASSERT_TRUE(m.fnOpen());
    EXPECT_TRUE(iconmod::fnListGroupNames(m, list));
    EXPECT_TRUE(list.items.empty());
    VectorTextList combo;
    iconmod::subListImages(m, combo);
    EXPECT_EQ(combo.items, (std::vector<std::string>{"32x32, 16色", "48x48, True Color (32bit)"}));
    EXPECT_EQ(combo.selection, 0);
}

TEST(IconGroups, LoadsAGroupByIdOrNameWithItsImagesAsStored) {
    ModuleFile f(fixtures::makePe(kIcons));
    fixtures::MessageRecorder rec;
    QIconMod m(f.path);
    ASSERT_TRUE(m.fnOpen());

    struct Case {
        const char* name;
        std::vector<std::string> lines;
    } cases[] = {
        {"#105", {"16x16, 16色", "32x32, 16色"}},
        {"#2", {"32x32, 256色", "256x256, True Color (32bit)"}},
        {"MAIN", {"48x48, True Color (24bit)"}},
        {"main", {"48x48, True Color (24bit)"}},  // string names are found whatever their case
        {"abc", {"16x16, 2色"}},
    };
    for (const auto& c : cases) {
        m.GroupName = c.name;
        ASSERT_TRUE(iconmod::fnLoadGroup(m)) << c.name;
        VectorTextList combo;
        iconmod::subListImages(m, combo);
        EXPECT_EQ(combo.items, c.lines) << c.name;
    }
    EXPECT_TRUE(rec.messages().empty());

    // The group's PNG image is kept byte for byte, and saving writes it unchanged.
    m.GroupName = "#2";
    ASSERT_TRUE(iconmod::fnLoadGroup(m));
    EXPECT_EQ(m.Images->Images[1].Data.toBytes(), kIcons[2].images[1]);
    ASSERT_TRUE(m.fnSaveIco(f.dir.file("two.ico"), -1));
    QIconMod saved(f.dir.file("two.ico"));
    ASSERT_TRUE(saved.fnOpen());
    ASSERT_EQ(saved.Images->Count(), 2u);
    EXPECT_EQ(saved.Images->Images[1].Data.toBytes(), kIcons[2].images[1]);

    // Groups that do not exist leave no image set and show nothing.
    for (const char* missing : {"#3", "#0", "MAIN2", "#70000", ""}) {
        m.GroupName = missing;
        EXPECT_FALSE(iconmod::fnLoadGroup(m)) << missing;
        EXPECT_FALSE(m.Images) << missing;
    }
    EXPECT_TRUE(rec.messages().empty());
}

TEST(IconGroups, DamagedGroupsFailWithTheFormatMessageWhenTheirDataIsMalformed) {
    Bytes broken = fixtures::patternDib(32, 4);
    fixtures::putU32(broken, 4, 5000);  // wider than the data holds
    fixtures::PeLayout layout;
    const Bytes good = fixtures::makePe({fixtures::patternIcon(resId(1)), {resId(2), {broken}},
                                         {resId(3), {fixtures::patternDib(16, 4)}, {77}}},
                                        {}, &layout);
    const std::size_t group1 = layout.at(resId(14), resId(1)).data;
    const std::size_t group3 = layout.at(resId(14), resId(3)).data;
    Bytes overlong = good;
    fixtures::putU16(overlong, group1 + 4, 40);  // 40 entries claimed in a 2-entry directory
    Bytes missingImage = good;
    fixtures::putU16(missingImage, group3 + 6 + 12, 78);

    struct Case {
        const char* what;
        const Bytes& bytes;
        const char* group;
        bool loads;
        const char* message;  // nullptr: none
    } cases[] = {
        {"intact group", good, "#1", true, nullptr},
        {"image larger than its data", good, "#2", false, text::kGroupFormatFailed},
        {"directory longer than the resource", overlong, "#1", false, text::kGroupFormatFailed},
        {"group names a missing image", missingImage, "#3", false, nullptr},
    };
    for (const auto& c : cases) {
        ModuleFile f(c.bytes);
        fixtures::MessageRecorder rec;
        QIconMod m(f.path);
        ASSERT_TRUE(m.fnOpen());
        m.GroupName = c.group;
        // Listed from headers alone (for `images` and `list`), the group gives the images
        // the load holds, or the same message.
        const auto listed = iconmod::fnListGroupImages(m);
        const auto listMessages = rec.texts();
        rec.clear();
        EXPECT_EQ(iconmod::fnLoadGroup(m), c.loads) << c.what;
        EXPECT_EQ(m.Images != nullptr, c.loads) << c.what;
        EXPECT_EQ(listMessages, rec.texts()) << c.what;
        ASSERT_EQ(listed.has_value(), c.loads) << c.what;
        if (listed) {
            EXPECT_EQ(fixtures::imageLines(*listed), fixtures::imageLines(*m.Images)) << c.what;
        }
        if (!c.message) {
            EXPECT_TRUE(rec.messages().empty()) << c.what;
            continue;
        }
        ASSERT_EQ(rec.messages().size(), 1u) << c.what;
        EXPECT_EQ(rec.messages()[0].text, c.message) << c.what;
        EXPECT_EQ(rec.messages()[0].title, f.path) << c.what;
    }
}
