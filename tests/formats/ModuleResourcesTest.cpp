// Reading the resources of well-formed PE32, PE32+ and NE modules made by the fixtures.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "formats/ModuleResources.h"
#include "platform/FileSource.h"
#include "platform/IconExtract.h"
#include "support/ModuleFixtures.h"

using formats::Bytes;
using formats::kRtGroupIcon;
using formats::kRtIcon;
using formats::ResourceModule;
using formats::ResourceName;

namespace {

std::vector<std::string> groupTexts(ResourceModule& m) {
    std::vector<std::string> out;
    if (auto names = m.names(kRtGroupIcon))
        for (const auto& n : *names) out.push_back(formats::groupNameText(n));
    return out;
}

// The nID fields of a group directory.
std::vector<std::uint16_t> groupIds(const Bytes& group) {
    std::vector<std::uint16_t> ids;
    const std::uint16_t count = fixtures::getU16(group, 4);
    for (std::size_t i = 0; i < count; ++i) ids.push_back(fixtures::getU16(group, 6 + 14 * i + 12));
    return ids;
}

Bytes pngImage(int size) {
    return fixtures::makePng(size, size, [](int x, int) { return x % 2 ? 0xFF00FF00u : 0x80FF0000u; });
}

}  // namespace

TEST(ModuleResources, GroupNamesParseAndFormat) {
    struct Case {
        const char* text;
        std::optional<ResourceName> parsed;
    };
    const Case cases[] = {
        {"#1", ResourceName::fromId(1)},
        {"#105", ResourceName::fromId(105)},
        {"#0", ResourceName::fromId(0)},
        {"#007", ResourceName::fromId(7)},
        {"#65535", ResourceName::fromId(65535)},
        {"#65536", std::nullopt},
        {"#99999", std::nullopt},
        {"#000000000000000000012", ResourceName::fromId(12)},
        {"#99999999999999999999999", std::nullopt},
        {"#abc", ResourceName::fromString("#abc")},
        {"#12a", ResourceName::fromString("#12a")},
        {"#-1", ResourceName::fromString("#-1")},
        {"#", ResourceName::fromString("#")},
        {"MAINICON", ResourceName::fromString("MAINICON")},
        {"1", ResourceName::fromString("1")},
        {"", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(formats::parseGroupName(c.text), c.parsed) << c.text;

    EXPECT_EQ(formats::groupNameText(ResourceName::fromId(105)), "#105");
    EXPECT_EQ(formats::groupNameText(ResourceName::fromId(0)), "#0");
    EXPECT_EQ(formats::groupNameText(ResourceName::fromString("Main Icon")), "Main Icon");
    for (const char* text : {"#1", "#65535", "APP", "#abc"})
        EXPECT_EQ(formats::groupNameText(*formats::parseGroupName(text)), text);
}

TEST(ModuleResources, PeListsStringNamesFirstThenIdsAscendingAndLoadsEveryGroup) {
    using fixtures::patternIcon;
    using fixtures::resId;
    using fixtures::resName;
    // Given out of order; the directory is written as a resource compiler sorts it.
    const std::vector<fixtures::ModuleIcon> icons = {
        patternIcon(resId(105), {16, 32}, 4), patternIcon(resName("zeta"), {32}, 8),
        patternIcon(resId(1), {48}, 24),      patternIcon(resName("Alpha"), {16}, 1),
        {resId(2), {pngImage(20), fixtures::patternDib(32, 32)}, {}},
    };
    for (const bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        auto m = fixtures::openModule(fixtures::makePe(icons, {.plus = plus}));
        ASSERT_TRUE(m);
        EXPECT_EQ(m->format(), plus ? ResourceModule::Format::Pe32Plus : ResourceModule::Format::Pe32);
        EXPECT_EQ(groupTexts(*m), (std::vector<std::string>{"Alpha", "zeta", "#1", "#2", "#105"}));
        EXPECT_EQ(m->count(kRtGroupIcon), 5u);
        EXPECT_EQ(m->count(kRtIcon), 7u);

        // Every group, found by its listed text and by position, names images whose
        // bytes are the original images.
        const auto names = *m->names(kRtGroupIcon);
        for (std::size_t i = 0; i < names.size(); ++i) {
            const auto byName = m->load(kRtGroupIcon, *formats::parseGroupName(formats::groupNameText(names[i])));
            ASSERT_TRUE(byName) << i;
            EXPECT_EQ(m->loadAt(kRtGroupIcon, i), byName);
            const auto& icon = *std::find_if(icons.begin(), icons.end(), [&](const auto& ic) { return ic.group == names[i]; });
            const auto ids = groupIds(*byName);
            ASSERT_EQ(ids.size(), icon.images.size());
            for (std::size_t k = 0; k < ids.size(); ++k)
                EXPECT_EQ(m->load(kRtIcon, resId(ids[k])), icon.images[k]) << i << "/" << k;
        }
        // String names match without regard to ASCII case; an id is never a string.
        EXPECT_EQ(m->load(kRtGroupIcon, resName("ALPHA")), m->loadAt(kRtGroupIcon, 0));
        EXPECT_EQ(m->load(kRtGroupIcon, resName("ZeTa")), m->loadAt(kRtGroupIcon, 1));
        EXPECT_FALSE(m->load(kRtGroupIcon, resName("1")));
        EXPECT_FALSE(m->load(kRtGroupIcon, resName("Alph")));
        EXPECT_FALSE(m->load(kRtGroupIcon, resId(3)));
        EXPECT_FALSE(m->loadAt(kRtGroupIcon, 5));
        EXPECT_FALSE(m->load(kRtIcon, resId(8)));
        EXPECT_EQ(m->count(2), 0u);
        EXPECT_FALSE(m->names(2));
    }
}

TEST(ModuleResources, PeTakesTheFirstLanguageEntryWhateverItIs) {
    using fixtures::RawResource;
    using fixtures::resId;
    using fixtures::resName;
    const Bytes de = {'d', 'e'}, ja = {'j', 'a'}, us = {'u', 's'};
    struct Case {
        const char* what;
        bool sorted;
        std::vector<RawResource> resources;
        Bytes expected;
    };
    const std::vector<Case> cases = {
        {"lowest language when sorted", true,
         {{resId(6), resName("LANG"), ja, fixtures::kLangJapanese}, {resId(6), resName("LANG"), us, fixtures::kLangEnUs},
          {resId(6), resName("LANG"), de, fixtures::kLangGerman}},
         de},
        {"stored first when not sorted", false,
         {{resId(6), resName("LANG"), ja, fixtures::kLangJapanese}, {resId(6), resName("LANG"), de, fixtures::kLangGerman}},
         ja},
        {"only language is not English", true, {{resId(6), resName("LANG"), ja, fixtures::kLangJapanese}}, ja},
        {"neutral", true,
         {{resId(6), resName("LANG"), us, fixtures::kLangEnUs}, {resId(6), resName("LANG"), de, fixtures::kLangNeutral}},
         de},
    };
    for (const Case& c : cases) {
        auto m = fixtures::openModule(fixtures::makePe({}, {.extra = c.resources, .sorted = c.sorted}));
        ASSERT_TRUE(m) << c.what;
        EXPECT_EQ(m->load(6, resName("lang")), c.expected) << c.what;
        EXPECT_EQ(m->loadAt(6, 0), c.expected) << c.what;
        EXPECT_EQ(m->count(6), 1u) << c.what;
    }
    // A whole icon kept in Japanese only still loads, images included.
    auto m = fixtures::openModule(fixtures::makePe({fixtures::patternIcon(resId(1))}, {.language = fixtures::kLangJapanese}));
    ASSERT_TRUE(m);
    const auto group = m->load(kRtGroupIcon, resId(1));
    ASSERT_TRUE(group);
    for (auto id : groupIds(*group)) EXPECT_TRUE(m->load(kRtIcon, resId(id)));
}

TEST(ModuleResources, PeDirectoryVariants) {
    using fixtures::patternIcon;
    using fixtures::resId;
    using fixtures::resName;
    const std::vector<fixtures::ModuleIcon> icons = {patternIcon(resId(5)), patternIcon(resName("b")),
                                                     patternIcon(resId(2)), patternIcon(resName("A"))};
    struct Case {
        const char* what;
        fixtures::PeOptions options;
        std::vector<std::string> listed;
    };
    const std::vector<Case> cases = {
        {"unsorted: stored order kept", {.sorted = false}, {"#5", "b", "#2", "A"}},
        {"directory inside the headers", {.resourcesInHeaders = true}, {"A", "b", "#2", "#5"}},
        {"PE32+ in the headers", {.plus = true, .resourcesInHeaders = true}, {"A", "b", "#2", "#5"}},
        {"no .text bytes", {.textSize = 0}, {"A", "b", "#2", "#5"}},
        {"ids from 200", {.firstIconId = 200}, {"A", "b", "#2", "#5"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::PeLayout layout;
        const Bytes pe = fixtures::makePe(icons, c.options, &layout);
        if (c.options.resourcesInHeaders) {
            EXPECT_LT(layout.rootDirectory, fixtures::getU32(pe, layout.optionalHeader + 60));
        }
        auto m = fixtures::openModule(pe);
        ASSERT_TRUE(m);
        EXPECT_EQ(groupTexts(*m), c.listed);
        for (std::size_t i = 0; i < c.listed.size(); ++i) {
            const auto group = m->load(kRtGroupIcon, *formats::parseGroupName(c.listed[i]));
            ASSERT_TRUE(group) << c.listed[i];
            EXPECT_EQ(m->loadAt(kRtGroupIcon, i), group);
            const auto ids = groupIds(*group);
            ASSERT_EQ(ids.size(), 2u);
            EXPECT_EQ(m->load(kRtIcon, resId(ids[0])), fixtures::patternDib(16, 4));
            EXPECT_EQ(m->load(kRtIcon, resId(ids[1])), fixtures::patternDib(32, 4));
        }
    }
}

TEST(ModuleResources, PeStringNamesAreReadAsUtf8) {
    using fixtures::resName;
    const Bytes data = {1, 2, 3};
    struct Case {
        const char* stored;        // as written by the fixture (UTF-8 -> UTF-16)
        std::vector<std::uint16_t> patch;  // code units written over the stored ones
        const char* listed;
    };
    const std::vector<Case> cases = {
        {"\xC3\x84rger", {}, "\xC3\x84rger"},                       // Ärger
        {"\xE6\x97\xA5\xE6\x9C\xAC", {}, "\xE6\x97\xA5\xE6\x9C\xAC"},  // 日本
        {"\xF0\x9F\x98\x80!", {}, "\xF0\x9F\x98\x80!"},               // a pair of surrogates
        {"abc", {0xD800}, "\xEF\xBF\xBD" "bc"},                       // high surrogate, no low one after
        {"abc", {0x0061, 0xDC00}, "a\xEF\xBF\xBD" "c"},               // lone low surrogate
        {"abc", {0x0061, 0x0062, 0xDBFF}, "ab\xEF\xBF\xBD"},          // high surrogate as the last unit
    };
    for (const Case& c : cases) {
        fixtures::PeLayout layout;
        Bytes pe = fixtures::makePe({}, {.extra = {{fixtures::resId(6), resName(c.stored), data}}}, &layout);
        const std::size_t str = layout.at(fixtures::resId(6), resName(c.stored)).nameString;
        for (std::size_t i = 0; i < c.patch.size(); ++i) fixtures::putU16(pe, str + 2 + 2 * i, c.patch[i]);
        auto m = fixtures::openModule(pe);
        ASSERT_TRUE(m);
        const auto names = m->names(6);
        ASSERT_TRUE(names);
        ASSERT_EQ(names->size(), 1u);
        EXPECT_EQ((*names)[0], resName(c.listed)) << c.stored;
        EXPECT_EQ(m->load(6, resName(c.listed)), data) << c.stored;
    }
    // Only ASCII letters fold: Ä and ä stay different.
    auto m = fixtures::openModule(fixtures::makePe({}, {.extra = {{fixtures::resId(6), resName("\xC3\x84rger"), data}}}));
    EXPECT_EQ(m->load(6, resName("\xC3\x84RGER")), data);
    EXPECT_FALSE(m->load(6, resName("\xC3\xA4rger")));
}

TEST(ModuleResources, NeListsTableOrderAndLoadsAlignedData) {
    using fixtures::patternIcon;
    using fixtures::resId;
    using fixtures::resName;
    const std::vector<fixtures::ModuleIcon> icons = {
        patternIcon(resName("MAINICON"), {32, 16}, 4),
        patternIcon(resId(7), {32}, 1),
        patternIcon(resName("second"), {48, 32}, 8),
    };
    for (const unsigned shift : {0u, 1u, 4u, 9u, 15u}) {
        SCOPED_TRACE(shift);
        const std::size_t align = std::size_t{1} << shift;
        auto roundUp = [align](std::size_t n) { return (n + align - 1) / align * align; };
        fixtures::NeLayout layout;
        const Bytes ne = fixtures::makeNe(icons, {.shift = shift}, &layout);
        auto m = fixtures::openModule(ne);
        ASSERT_TRUE(m);
        EXPECT_EQ(m->format(), ResourceModule::Format::Ne);
        EXPECT_EQ(groupTexts(*m), (std::vector<std::string>{"MAINICON", "#7", "second"}));
        EXPECT_EQ(m->count(kRtGroupIcon), 3u);
        EXPECT_EQ(m->count(kRtIcon), 5u);

        for (std::size_t i = 0; i < icons.size(); ++i) {
            // A resource's length is a whole number of alignment units: the group directory
            // comes with the padding after it.
            const auto group = m->loadAt(kRtGroupIcon, i);
            ASSERT_TRUE(group);
            const Bytes exact = fixtures::makeGroupDirectory(icons[i].images, groupIds(*group));
            EXPECT_EQ(group->size(), roundUp(exact.size()));
            EXPECT_TRUE(std::equal(exact.begin(), exact.end(), group->begin()));
            EXPECT_EQ(m->load(kRtGroupIcon, icons[i].group), group);
            const auto ids = groupIds(*group);
            for (std::size_t k = 0; k < ids.size(); ++k) {
                const auto image = m->load(kRtIcon, resId(ids[k]));
                ASSERT_TRUE(image);
                const Bytes& original = icons[i].images[k];
                EXPECT_EQ(image->size(), roundUp(original.size()));
                EXPECT_TRUE(std::equal(original.begin(), original.end(), image->begin()));
            }
        }
        EXPECT_EQ(m->load(kRtGroupIcon, resName("mainIcon")), m->loadAt(kRtGroupIcon, 0));
        EXPECT_EQ(m->load(kRtGroupIcon, resName("SECOND")), m->loadAt(kRtGroupIcon, 2));
        EXPECT_FALSE(m->load(kRtGroupIcon, resName("#7")));  // the caller parses "#7"; a string is a string
        EXPECT_FALSE(m->load(kRtGroupIcon, resId(8)));
        EXPECT_FALSE(m->load(kRtGroupIcon, resId(7 | 0x8000)));
        EXPECT_FALSE(m->loadAt(kRtGroupIcon, 3));
    }
}

TEST(ModuleResources, NeLastResourceCutShortGivesWhatTheFileHolds) {
    const auto icon = fixtures::patternIcon(fixtures::resId(1), {32});
    // The group directory is the last resource written; its rounded-up length runs past
    // the end of the file.
    const Bytes ne = fixtures::makeNe({icon}, {.shift = 9, .padEnd = false});
    auto m = fixtures::openModule(ne);
    ASSERT_TRUE(m);
    const auto group = m->load(kRtGroupIcon, fixtures::resId(1));
    ASSERT_TRUE(group);
    EXPECT_EQ(*group, fixtures::makeGroupDirectory(icon.images, {1}));
    EXPECT_EQ(m->load(kRtIcon, fixtures::resId(1))->size(), 1024u);
}

TEST(ModuleResources, CountFollowsTheGroupDirectoryOrTheNeTable) {
    using fixtures::resId;
    const auto two = std::vector<fixtures::ModuleIcon>{fixtures::patternIcon(resId(1)), fixtures::patternIcon(resId(2))};
    const Bytes lonelyGroup = fixtures::makeGroupDirectory({fixtures::patternDib(16, 4)}, {1});
    const Bytes bitmap = {'B', 'M', 0, 0};
    struct Case {
        const char* what;
        Bytes file;
        std::size_t groups;
        std::size_t images;
    };
    const std::vector<Case> cases = {
        {"PE32", fixtures::makePe(two), 2, 4},
        {"PE32+", fixtures::makePe(two, {.plus = true}), 2, 4},
        {"PE without a resource section", fixtures::makePe({}, {.withResources = false}), 0, 0},
        {"PE with resources but no icons", fixtures::makePe({}, {.extra = {{resId(2), resId(1), bitmap}}}), 0, 0},
        {"PE group without images", fixtures::makePe({}, {.extra = {{resId(kRtGroupIcon), resId(1), lonelyGroup}}}), 1, 0},
        {"NE", fixtures::makeNe(two), 2, 4},
        {"NE without a resource table", fixtures::makeNe({}, {.withResources = false}), 0, 0},
        {"NE group without RT_ICON", fixtures::makeNe({}, {.extra = {{resId(kRtGroupIcon), resId(1), lonelyGroup}}}), 0, 0},
        {"NE with other resources only", fixtures::makeNe({}, {.extra = {{resId(2), resId(1), bitmap}}}), 0, 0},
    };
    for (const Case& c : cases) {
        auto m = fixtures::openModule(c.file);
        ASSERT_TRUE(m) << c.what;
        EXPECT_EQ(m->count(kRtGroupIcon), c.groups) << c.what;
        EXPECT_EQ(m->count(kRtIcon), c.images) << c.what;
        EXPECT_EQ(m->names(kRtIcon).has_value(), c.images > 0) << c.what;
    }
}

TEST(ModuleResources, OpenFileReadsRegularFilesOnly) {
    fixtures::TempDir dir;
    const Bytes pe = fixtures::makePe({fixtures::patternIcon(fixtures::resName("APP"))});
    ASSERT_TRUE(fixtures::writeFile(dir.file("app.exe"), pe));
    ASSERT_TRUE(fixtures::writeFile(dir.file("lib.icl"), fixtures::makeNe({fixtures::patternIcon(fixtures::resId(3))})));
    ASSERT_EQ(::mkfifo(dir.file("pipe.exe").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir(dir.file("dir.exe").c_str(), 0700), 0);

    const auto app = platform::openFile(dir.file("app.exe"));
    ASSERT_TRUE(app && app.file->module());
    formats::ResourceModule* m = app.file->module();
    EXPECT_EQ(groupTexts(*m), std::vector<std::string>{"APP"});
    EXPECT_EQ(m->load(kRtGroupIcon, fixtures::resName("app")), fixtures::openModule(pe)->loadAt(kRtGroupIcon, 0));
    const auto lib = platform::openFile(dir.file("lib.icl"));
    ASSERT_TRUE(lib && lib.file->module());
    formats::ResourceModule* ne = lib.file->module();
    EXPECT_EQ(ne->format(), ResourceModule::Format::Ne);
    // The failures say what happened; a FIFO must not block waiting for a writer.
    EXPECT_EQ(platform::openFile(dir.file("pipe.exe")).error, platform::FileSource::OpenError::NotRegular);
    EXPECT_EQ(platform::openFile(dir.file("dir.exe")).error, platform::FileSource::OpenError::NotRegular);
    EXPECT_EQ(platform::openFile(dir.file("missing.exe")).error, platform::FileSource::OpenError::NotFound);
}

// Counting icons is done for every file of a directory: it may read the headers and the
// resource directory's first block, not the file.
TEST(ModuleResources, CountReadsLittleMoreThanTheFirstBlock) {
    fixtures::TempDir dir;
    const auto icons = std::vector<fixtures::ModuleIcon>{fixtures::patternIcon(fixtures::resId(1)),
                                                         fixtures::patternIcon(fixtures::resName("BIG"), {256}, 32)};
    struct Case {
        const char* name;
        Bytes file;
    };
    const Case cases[] = {
        {"big.exe", fixtures::makePe(icons, {.textSize = 4 << 20})},
        {"big64.exe", fixtures::makePe(icons, {.plus = true, .textSize = 4 << 20})},
        {"big.icl", fixtures::makeNe(icons, {.shift = 12})},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(fixtures::writeFile(dir.file(c.name), c.file));
        auto source = platform::FileSource::open(dir.file(c.name));
        ASSERT_TRUE(source);
        const platform::FileSource* file = source.get();
        auto m = ResourceModule::open(std::move(source));
        ASSERT_TRUE(m) << c.name;
        EXPECT_EQ(m->count(kRtGroupIcon), 2u) << c.name;
        // Opening a file and reading its first 4 KiB takes one read; twice that at most.
        EXPECT_LE(file->readCalls(), 2u) << c.name;
    }
}
