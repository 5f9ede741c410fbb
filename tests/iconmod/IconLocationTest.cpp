#include <gtest/gtest.h>

#include <sys/stat.h>

#include "iconmod/IconLocation.h"
#include "support/ModuleFixtures.h"

using fixtures::resId;
using fixtures::resName;

TEST(IconLocation, SplitsAtTheLastCommaAndRefusesWhatIsNoNumber) {
    struct Case {
        const char* text;
        bool valid;
        const char* path;
        std::int64_t number;
    } cases[] = {
        {"/w/a,b.dll,-184", true, "/w/a,b.dll", -184},
        {"x.ico,+0", true, "x.ico", 0},
        {"x.dll", false, "", 0},
        {",3", false, "", 0},
        {"x.dll,-", false, "", 0},
        {"x.dll, 3", false, "", 0},
        {"x.dll,1234567890", false, "", 0},
    };
    for (const Case& c : cases) {
        const auto parsed = iconmod::parseLocation(c.text);
        ASSERT_EQ(parsed.has_value(), c.valid) << c.text;
        if (!parsed) continue;
        EXPECT_EQ(parsed->path, c.path) << c.text;
        EXPECT_EQ(parsed->number, c.number) << c.text;
    }
    EXPECT_EQ(iconmod::systemResourcesPath("/win/System32/imageres.dll"),
              "/win/System32/../SystemResources/imageres.dll.mun");
    EXPECT_EQ(iconmod::systemResourcesPath("imageres.dll"), "./../SystemResources/imageres.dll.mun");
}

TEST(IconLocation, FindsTheGroupByPositionOrIdAndFallsBackToTheSystemResourcesFile) {
    fixtures::TempDir dir;
    ASSERT_EQ(mkdir(dir.file("System32").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(dir.file("SystemResources").c_str(), 0755), 0);
    const std::string icons = dir.file("icons.dll");
    const std::string old = dir.file("old.icl");
    const std::string ico = dir.file("one.ico");
    const std::string stub = dir.file("System32/imageres.dll");
    const std::string mun = dir.file("SystemResources/imageres.dll.mun");
    const std::string lonely = dir.file("System32/lonely.dll");
    // String names come first, then ids ascending; a cursor group of its own type.
    const auto cursorGroup = fixtures::RawResource{resId(12), resId(9), fixtures::Bytes(20, 0)};
    ASSERT_TRUE(fixtures::writeFile(icons, fixtures::makePe({fixtures::patternIcon(resId(184)),
                                                            fixtures::patternIcon(resName("APP")),
                                                            fixtures::patternIcon(resId(3))},
                                                           {.extra = {cursorGroup}})));
    ASSERT_TRUE(fixtures::writeFile(old, fixtures::makeNe({fixtures::patternIcon(resId(5)),
                                                           fixtures::patternIcon(resId(6))})));
    ASSERT_TRUE(fixtures::writeFile(ico, fixtures::makeIco({{fixtures::patternDib(32, 8)}})));
    const std::string ani = dir.file("wait.ani");
    ASSERT_TRUE(fixtures::writeFile(ani, {'R', 'I', 'F', 'F', 4, 0, 0, 0, 'A', 'C', 'O', 'N'}));
    ASSERT_TRUE(fixtures::writeFile(stub, fixtures::makePe({}, {.withResources = false})));
    ASSERT_TRUE(fixtures::writeFile(lonely, fixtures::makePe({}, {.withResources = false})));
    ASSERT_TRUE(fixtures::writeFile(
        mun, fixtures::makePe({fixtures::patternIcon(resId(2)), fixtures::patternIcon(resId(184))},
                              {.textSize = 0, .resourceOnly = true})));

    using E = iconmod::LocationError;
    struct Case {
        std::string path;
        std::int64_t number;
        std::uint16_t type;
        E error;
        std::string file;  // the file read
        std::string group;
        std::size_t index;
    } cases[] = {
        {icons, 0, 14, E::None, icons, "APP", 0},
        {icons, -3, 14, E::None, icons, "#3", 1},
        {icons, -184, 14, E::None, icons, "#184", 2},
        {icons, 3, 14, E::NoSuchGroup, icons, "", 0},
        {icons, -70000, 14, E::NoSuchGroup, icons, "", 0},
        {icons, -9, 12, E::None, icons, "#9", 0},
        {old, -6, 14, E::None, old, "#6", 1},
        {ico, -1, 14, E::None, ico, "-", 0},
        {ico, 1, 14, E::NoSuchGroup, ico, "", 0},
        {ico, 0, 12, E::NoGroups, ico, "", 0},
        {ani, 0, 12, E::None, ani, "-", 0},
        {ani, 0, 14, E::NoGroups, ani, "", 0},
        {stub, -184, 14, E::None, dir.file("System32/../SystemResources/imageres.dll.mun"), "#184", 1},
        {stub, -5, 14, E::NoSuchGroup, dir.file("System32/../SystemResources/imageres.dll.mun"), "", 0},
        {stub, 0, 12, E::NoGroups, stub, "", 0},
        {lonely, 0, 14, E::NoGroups, lonely, "", 0},
        {dir.file("missing.dll"), 0, 14, E::Unreadable, dir.file("missing.dll"), "", 0},
    };
    for (const Case& c : cases) {
        const std::string what = c.path + "," + std::to_string(c.number) + " type " + std::to_string(c.type);
        E error = E::Unreadable;
        std::string read;
        const auto found = iconmod::resolveLocation({c.path, c.number}, c.type, &error, &read);
        EXPECT_EQ(error, c.error) << what;
        if (c.error != E::None) {
            EXPECT_FALSE(found) << what;
            EXPECT_EQ(read, c.file) << what;
            continue;
        }
        ASSERT_TRUE(found) << what;
        EXPECT_EQ(found->path, c.file) << what;
        EXPECT_EQ(found->group, c.group) << what;
        EXPECT_EQ(found->index, c.index) << what;
        EXPECT_EQ(found->redirected, c.file != c.path) << what;
    }
}
