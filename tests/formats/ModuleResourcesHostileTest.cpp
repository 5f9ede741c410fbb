// Malformed modules: every damaged structure fails on its own (the rest of the module
// still reads), nothing is read outside the file and no walk can run away.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "formats/ModuleResources.h"
#include "support/ModuleFixtures.h"

using fixtures::putU16;
using fixtures::putU32;
using fixtures::resId;
using fixtures::resName;
using formats::Bytes;
using formats::kRtGroupIcon;
using formats::kRtIcon;
using formats::ResourceModule;
using formats::ResourceName;

namespace {

constexpr std::uint32_t kHigh = 0x80000000u;

std::optional<std::vector<std::string>> groupTexts(ResourceModule& m) {
    auto names = m.names(kRtGroupIcon);
    if (!names) return std::nullopt;
    std::vector<std::string> out;
    for (const auto& n : *names) out.push_back(formats::groupNameText(n));
    return out;
}

std::vector<bool> loadable(ResourceModule& m, std::size_t n) {
    std::vector<bool> out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(m.loadAt(kRtGroupIcon, i).has_value());
    return out;
}

std::uint32_t rel(std::size_t offset, std::size_t root) { return static_cast<std::uint32_t>(offset - root); }

const std::vector<fixtures::ModuleIcon>& threeIcons() {
    static const std::vector<fixtures::ModuleIcon> icons = {fixtures::patternIcon(resId(1)),
                                                            fixtures::patternIcon(resName("APP"), {16}, 8),
                                                            fixtures::patternIcon(resId(2), {16})};
    return icons;
}

bool isPrefix(const Bytes& part, const Bytes& whole) {
    return part.size() <= whole.size() && std::equal(part.begin(), part.end(), whole.begin());
}

}  // namespace

TEST(ModuleResourcesHostile, NotAModule) {
    Bytes mzOnly = {'M', 'Z'};
    Bytes dosHeader(64, 0);
    dosHeader[0] = 'M';
    dosHeader[1] = 'Z';  // e_lfanew 0 points at "MZ" itself
    Bytes lfanewPastEnd = dosHeader;
    putU32(lfanewPastEnd, 0x3C, 64);
    Bytes lfanewHuge = dosHeader;
    putU32(lfanewHuge, 0x3C, 0xFFFFFFFF);
    Bytes linearExecutable = dosHeader;
    putU32(linearExecutable, 0x3C, 64);
    linearExecutable.insert(linearExecutable.end(), {'L', 'E', 0, 0});
    fixtures::PeLayout layout;
    Bytes romMagic = fixtures::makePe({fixtures::patternIcon(resId(1))}, {}, &layout);
    putU16(romMagic, layout.optionalHeader, 0x107);
    Bytes peCutAfterCoff(romMagic.begin(), romMagic.begin() + static_cast<long>(layout.optionalHeader));
    Bytes peCutInOptional = fixtures::makePe({fixtures::patternIcon(resId(1))});
    peCutInOptional.resize(layout.optionalHeader + 64);
    Bytes neCutInHeader = fixtures::makeNe({fixtures::patternIcon(resId(1))});
    neCutInHeader.resize(0x40 + 0x20);
    fixtures::IcoEntry icoEntry;
    icoEntry.data = fixtures::patternDib(16, 4);
    const std::string text = "MZ is not enough: this is a text file that starts with those letters.";

    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"MZ only", mzOnly},
        {"DOS header only", dosHeader},
        {"e_lfanew at the end", lfanewPastEnd},
        {"e_lfanew far past the end", lfanewHuge},
        {"LE module", linearExecutable},
        {"unknown optional header magic", romMagic},
        {"PE cut after the COFF header", peCutAfterCoff},
        {"NE cut inside its header", neCutInHeader},
        {"ICO file", fixtures::makeIco({icoEntry})},
        {"text", Bytes(text.begin(), text.end())},
    };
    for (const auto& [what, bytes] : cases) EXPECT_FALSE(fixtures::openModule(bytes)) << what;
    EXPECT_FALSE(ResourceModule::open(nullptr));
    // A PE cut inside its optional header is still a module, as the loader maps it (the
    // missing bytes read as zeros), one without resources.
    const auto cut = fixtures::openModule(peCutInOptional);
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->format(), ResourceModule::Format::Pe32);
    EXPECT_EQ(cut->count(formats::kRtGroupIcon), 0u);
}

TEST(ModuleResourcesHostile, DamagedPeDirectories) {
    using Patch = std::function<void(Bytes&, const fixtures::PeLayout&)>;
    struct Case {
        const char* what;
        Patch patch;
        std::optional<std::vector<std::string>> listed;  // group names after the damage
        std::vector<bool> loads;                          // loadAt() of each listed group
    };
    const std::vector<std::string> all = {"APP", "#1", "#2"};
    auto one = [](const fixtures::PeLayout& l) { return l.at(resId(kRtGroupIcon), resId(1)); };
    const std::vector<Case> cases = {
        {"name leads back to the root",
         [&](Bytes& b, const auto& l) { putU32(b, one(l).nameEntry + 4, kHigh); }, all, {true, false, true}},
        {"name leads to its own type directory",
         [&](Bytes& b, const auto& l) { putU32(b, one(l).nameEntry + 4, kHigh | rel(one(l).typeDirectory, l.rootDirectory)); },
         all, {true, false, true}},
        {"name leads to a data entry",
         [&](Bytes& b, const auto& l) { putU32(b, one(l).nameEntry + 4, rel(one(l).dataEntry, l.rootDirectory)); },
         all, {true, false, true}},
        {"language entry is a directory: the type's",
         [&](Bytes& b, const auto& l) { putU32(b, one(l).languageEntry + 4, kHigh | rel(one(l).typeDirectory, l.rootDirectory)); },
         all, {true, false, true}},
        {"language entry is a directory: its own",
         [&](Bytes& b, const auto& l) {
             putU32(b, one(l).languageEntry + 4, kHigh | rel(one(l).languageDirectory, l.rootDirectory));
         },
         all, {true, false, true}},
        {"language directory is empty",
         [&](Bytes& b, const auto& l) { putU32(b, one(l).languageDirectory + 12, 0); }, all, {true, false, true}},
        {"data entry past the end of the file",
         [&](Bytes& b, const auto& l) { putU32(b, one(l).languageEntry + 4, 0x7FFFFFF0); }, all, {true, false, true}},
        {"data RVA in no section", [&](Bytes& b, const auto& l) { putU32(b, one(l).dataEntry, 0xFFFFFFF0); }, all,
         {true, false, true}},
        {"data RVA in the headers", [&](Bytes& b, const auto& l) { putU32(b, one(l).dataEntry, 0x10); }, all,
         {true, false, true}},
        {"data size of 4 GiB", [&](Bytes& b, const auto& l) { putU32(b, one(l).dataEntry + 4, 0xFFFFFFFF); }, all,
         {true, false, true}},
        {"data one byte past the end",
         [&](Bytes& b, const auto& l) {
             putU32(b, one(l).dataEntry + 4, static_cast<std::uint32_t>(b.size() - one(l).data + 1));
         },
         all, {true, false, true}},
        {"data exactly to the end",
         [&](Bytes& b, const auto& l) { putU32(b, one(l).dataEntry + 4, static_cast<std::uint32_t>(b.size() - one(l).data)); },
         all, {true, true, true}},
        {"string name past the end",
         [](Bytes& b, const auto& l) { putU32(b, l.at(resId(kRtGroupIcon), resName("APP")).nameEntry, kHigh | 0x7FFFFFFF); },
         std::vector<std::string>{"", "#1", "#2"}, {true, true, true}},
        {"string name longer than the file",
         [](Bytes& b, const auto& l) { putU16(b, l.at(resId(kRtGroupIcon), resName("APP")).nameString, 0xFFFF); },
         std::vector<std::string>{"", "#1", "#2"}, {true, true, true}},
        {"type leads back to the root", [&](Bytes& b, const auto& l) { putU32(b, one(l).typeEntry + 4, kHigh); },
         std::nullopt, {}},
        {"type leads to a data entry",
         [&](Bytes& b, const auto& l) { putU32(b, one(l).typeEntry + 4, rel(one(l).dataEntry, l.rootDirectory)); },
         std::nullopt, {}},
        {"root claims 65535 more ids", [](Bytes& b, const auto& l) { putU16(b, l.rootDirectory + 14, 0xFFFF); }, all,
         {true, true, true}},
        {"65535 sections", [](Bytes& b, const auto& l) { putU16(b, l.peHeader + 6, 0xFFFF); }, all, {true, true, true}},
        {".rsrc raw pointer near 4 GiB", [](Bytes& b, const auto& l) { putU32(b, l.sectionTable + 40 + 20, 0xFFFFFFFF); },
         std::nullopt, {}},
        {"resource RVA between sections", [](Bytes& b, const auto& l) { putU32(b, l.resourceSlot, 0x1800); },
         std::nullopt, {}},
        {"resource RVA zero", [](Bytes& b, const auto& l) { putU32(b, l.resourceSlot, 0); }, std::nullopt, {}},
        {"two data directory slots", [](Bytes& b, const auto& l) { putU32(b, l.resourceSlot - 20, 2); }, std::nullopt, {}},
        {"optional header too short for slot 2",
         [](Bytes& b, const auto& l) { putU16(b, l.peHeader + 20, static_cast<std::uint16_t>(l.resourceSlot - l.optionalHeader)); },
         std::nullopt, {}},
        {"no sections", [](Bytes& b, const auto& l) { putU16(b, l.peHeader + 6, 0); }, std::nullopt, {}},
    };
    for (const bool plus : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(plus ? "PE32+: " : "PE32: ") + c.what);
            fixtures::PeLayout layout;
            Bytes pe = fixtures::makePe(threeIcons(), {.plus = plus}, &layout);
            c.patch(pe, layout);
            auto m = fixtures::openModule(pe);
            ASSERT_TRUE(m);
            EXPECT_EQ(groupTexts(*m), c.listed);
            EXPECT_EQ(m->count(kRtGroupIcon), c.listed ? c.listed->size() : 0u);
            EXPECT_EQ(loadable(*m, c.loads.size()), c.loads);
        }
    }
}

TEST(ModuleResourcesHostile, PeCountsAreBoundedByTheFile) {
    fixtures::PeLayout layout;
    Bytes pe = fixtures::makePe(threeIcons(), {}, &layout);
    const auto& group = layout.at(resId(kRtGroupIcon), resId(1));
    putU16(pe, group.typeDirectory + 12, 0xFFFF);
    putU16(pe, group.typeDirectory + 14, 0xFFFF);
    auto m = fixtures::openModule(pe);
    ASSERT_TRUE(m);
    const std::size_t fits = (pe.size() - group.typeDirectory - 16) / 8;
    EXPECT_EQ(m->count(kRtGroupIcon), fits);
    const auto names = m->names(kRtGroupIcon);
    ASSERT_TRUE(names);
    EXPECT_EQ(names->size(), fits);
    // The real entries come first and still read.
    EXPECT_EQ(formats::groupNameText((*names)[0]), "APP");
    EXPECT_TRUE(m->load(kRtGroupIcon, resId(2)));
    for (std::size_t i = 3; i < fits; ++i) EXPECT_FALSE(m->loadAt(kRtGroupIcon, i)) << i;
}

TEST(ModuleResourcesHostile, PeNamesSharingOneLongStringAreNotReadOverAndOver) {
    // A resource whose data is a string of 65535 units; 300 named entries all point at it.
    Bytes longString;
    fixtures::appendU16(longString, 0xFFFF);
    for (int i = 0; i < 0xFFFF; ++i) fixtures::appendU16(longString, 'a');
    std::vector<fixtures::RawResource> resources = {{resId(6), resId(1), longString}};
    for (int i = 0; i < 300; ++i) resources.push_back({resId(6), resName("N" + std::to_string(1000 + i)), {1}});
    fixtures::PeLayout layout;
    Bytes pe = fixtures::makePe({}, {.extra = resources}, &layout);
    const std::uint32_t stringAt = rel(layout.at(resId(6), resId(1)).data, layout.rootDirectory);
    for (int i = 0; i < 300; ++i)
        putU32(pe, layout.at(resId(6), resName("N" + std::to_string(1000 + i))).nameEntry, kHigh | stringAt);
    auto m = fixtures::openModule(pe);
    ASSERT_TRUE(m);
    const auto names = m->names(6);
    ASSERT_TRUE(names);
    ASSERT_EQ(names->size(), 301u);
    EXPECT_TRUE((*names)[0].text == std::string(0xFFFF, 'a'));  // read once...
    std::size_t total = 0;
    for (const auto& n : *names) total += n.text.size();
    EXPECT_LE(total, pe.size());                                 // ...but not 300 times
    EXPECT_FALSE(m->load(6, resName("a")));
    EXPECT_EQ(m->load(6, resName(std::string(0xFFFF, 'A'))), Bytes{1});
}

TEST(ModuleResourcesHostile, DamagedNeTables) {
    using Patch = std::function<void(Bytes&, const fixtures::NeLayout&)>;
    struct Case {
        const char* what;
        Patch patch;
        std::optional<std::vector<std::string>> listed;
        std::vector<bool> loads;
        std::size_t icons;  // count(RT_ICON)
    };
    const std::vector<std::string> all = {"MAIN", "#2"};
    auto main = [](const fixtures::NeLayout& l) { return l.at(resId(kRtGroupIcon), resName("MAIN")); };
    auto two = [](const fixtures::NeLayout& l) { return l.at(resId(kRtGroupIcon), resId(2)); };
    auto firstImage = [](const fixtures::NeLayout& l) { return l.at(resId(kRtIcon), resId(1)); };
    const std::vector<Case> cases = {
        {"shift 16", [](Bytes& b, const auto& l) { putU16(b, l.resourceTable, 16); }, all, {false, false}, 3},
        {"shift 65535", [](Bytes& b, const auto& l) { putU16(b, l.resourceTable, 0xFFFF); }, all, {false, false}, 3},
        {"offset past the file", [&](Bytes& b, const auto& l) { putU16(b, two(l).nameInfo, 0xFFFF); }, all,
         {true, false}, 3},
        {"offset at the end of the file",
         [&](Bytes& b, const auto& l) { putU16(b, two(l).nameInfo, static_cast<std::uint16_t>(b.size() >> 4)); }, all,
         {true, false}, 3},
        {"length of 65535 units", [&](Bytes& b, const auto& l) { putU16(b, main(l).nameInfo + 2, 0xFFFF); }, all,
         {true, true}, 3},
        {"name string outside the table", [&](Bytes& b, const auto& l) { putU16(b, main(l).nameInfo + 6, 0x7FFF); },
         std::vector<std::string>{"", "#2"}, {true, true}, 3},
        {"group type counts 65535 names", [&](Bytes& b, const auto& l) { putU16(b, main(l).typeInfo + 2, 0xFFFF); },
         all, {true, true}, 3},
        {"icon type swallows the table", [&](Bytes& b, const auto& l) { putU16(b, firstImage(l).typeInfo + 2, 0xFFFF); },
         std::nullopt, {}, 6},  // every whole 12-byte record after its TYPEINFO: 76 bytes of table
        {"table ends inside the second image record",
         [&](Bytes& b, const auto& l) {
             putU16(b, l.neHeader + 0x26, static_cast<std::uint16_t>(firstImage(l).nameInfo + 12 + 5 - l.neHeader));
         },
         std::nullopt, {}, 1},
        {"table runs past the file", [](Bytes& b, const auto& l) { putU16(b, l.neHeader + 0x26, 0xFFFF); }, all,
         {true, true}, 3},
        {"table of 8 bytes", [](Bytes& b, const auto& l) { putU16(b, l.neHeader + 0x26, static_cast<std::uint16_t>(l.resourceTable - l.neHeader + 8)); },
         std::nullopt, {}, 0},
        {"resident names before resources", [](Bytes& b, const auto& l) { putU16(b, l.neHeader + 0x26, 0); },
         std::nullopt, {}, 0},
        {"table beyond the file",
         [](Bytes& b, const auto& l) {
             putU16(b, l.neHeader + 0x24, 0xFF00);
             putU16(b, l.neHeader + 0x26, 0xFFFF);
         },
         std::nullopt, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fixtures::NeLayout layout;
        Bytes ne = fixtures::makeNe(
            {fixtures::patternIcon(resName("MAIN"), {16, 32}), fixtures::patternIcon(resId(2), {16})}, {}, &layout);
        c.patch(ne, layout);
        auto m = fixtures::openModule(ne);
        ASSERT_TRUE(m);
        EXPECT_EQ(groupTexts(*m), c.listed);
        EXPECT_EQ(loadable(*m, c.loads.size()), c.loads);
        EXPECT_EQ(m->count(kRtIcon), c.icons);
        for (std::size_t i = 0; i < c.icons; ++i) {
            const auto image = m->loadAt(kRtIcon, i);
            if (image) {
                EXPECT_LE(image->size(), ne.size());
            }
        }
    }
}

// Cut a small module at every length: nothing crashes, and whatever still loads is the
// resource's own bytes (NE: a prefix of them, as the last resource may be cut).
TEST(ModuleResourcesHostile, EveryTruncation) {
    const auto icons = std::vector<fixtures::ModuleIcon>{fixtures::patternIcon(resName("APP"), {16}, 1),
                                                         fixtures::patternIcon(resId(1), {16}, 4)};
    struct Case {
        const char* what;
        Bytes file;
        bool partialLoads;
    };
    const Case cases[] = {
        {"PE32", fixtures::makePe(icons, {.textSize = 0}), false},
        {"PE32+", fixtures::makePe(icons, {.plus = true, .textSize = 0}), false},
        {"PE32 directory in the headers", fixtures::makePe(icons, {.resourcesInHeaders = true, .textSize = 0}), false},
        {"NE", fixtures::makeNe(icons, {.shift = 4}), true},
        {"NE unaligned", fixtures::makeNe(icons, {.shift = 0}), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto full = fixtures::openModule(c.file);
        ASSERT_TRUE(full);
        std::size_t opened = 0;
        for (std::size_t length = 0; length < c.file.size(); ++length) {
            const Bytes cut(c.file.begin(), c.file.begin() + static_cast<long>(length));
            auto m = fixtures::openModule(cut);
            if (!m) continue;
            ++opened;
            for (const std::uint16_t type : {kRtIcon, kRtGroupIcon}) {
                const std::size_t n = full->count(type);
                EXPECT_LE(m->count(type), n) << length;
                const auto fullNames = *full->names(type);
                if (const auto names = m->names(type)) {
                    ASSERT_LE(names->size(), n) << length;
                    for (std::size_t i = 0; i < names->size(); ++i)
                        EXPECT_TRUE((*names)[i] == fullNames[i] || (*names)[i] == ResourceName::fromString(""))
                            << length;
                }
                for (std::size_t i = 0; i < n; ++i) {
                    for (const auto& got : {m->loadAt(type, i), m->load(type, fullNames[i])}) {
                        if (!got) continue;
                        const Bytes want = *full->loadAt(type, i);
                        if (c.partialLoads)
                            EXPECT_TRUE(isPrefix(*got, want)) << length;
                        else
                            EXPECT_EQ(*got, want) << length;
                    }
                }
            }
        }
        EXPECT_GT(opened, 0u);
    }
}

// Random damage to the headers and the resource structures: no crash, no read outside
// the file, nothing larger than the file.
TEST(ModuleResourcesHostile, RandomDamage) {
    std::mt19937 random(20240601);
    fixtures::PeLayout peLayout;
    const Bytes pe = fixtures::makePe(threeIcons(), {.textSize = 0}, &peLayout);
    const Bytes pePlus = fixtures::makePe(threeIcons(), {.plus = true, .textSize = 0});
    const Bytes ne = fixtures::makeNe(threeIcons(), {.shift = 2});
    for (const Bytes* original : {&pe, &pePlus, &ne}) {
        // Damage only the part that holds structures, not the image bytes.
        const std::size_t structures = original == &ne ? 0x200 : peLayout.rootDirectory + 0x180;
        for (int round = 0; round < 3000; ++round) {
            Bytes b = *original;
            const int flips = 1 + static_cast<int>(random() % 6);
            for (int k = 0; k < flips; ++k)
                b[random() % std::min(structures, b.size())] = static_cast<std::uint8_t>(random());
            auto m = fixtures::openModule(b);
            if (!m) continue;
            for (const std::uint16_t type : {kRtIcon, kRtGroupIcon}) {
                const std::size_t n = m->count(type);
                EXPECT_LE(n, b.size() / 8);
                const auto names = m->names(type);
                for (std::size_t i = 0; i < n + 1; ++i) {
                    if (const auto data = m->loadAt(type, i)) {
                        EXPECT_LE(data->size(), b.size());
                    }
                }
                if (names)
                    for (const auto& name : *names) m->load(type, name);
            }
        }
    }
}
