#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>

#include "formats/IconDecode.h"
#include "iconmod/IconGroups.h"
#include "iconmod/IconTheme.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;
using fixtures::resId;

namespace {

// The images of a group as a module stores them.
iconmod::IconImageSet groupSet(const std::string& path, const fixtures::ModuleIcon& icon) {
    EXPECT_TRUE(fixtures::writeFile(path, fixtures::makePe({icon})));
    iconmod::QIconMod source(path);
    EXPECT_TRUE(iconmod::fnLoadIconAt(source, 0));
    return source.Images ? *source.Images : iconmod::IconImageSet{};
}

}  // namespace

TEST(IconTheme, WritesHicolorsSizesUpToTheLargestSquareImage) {
    fixtures::TempDir dir;
    const Bytes png = fixtures::detailedPng(3);
    const iconmod::IconImageSet modern = groupSet(dir.file("a.dll"), fixtures::modernIcon(resId(1), png));
    const iconmod::IconImageSet upTo48 = groupSet(dir.file("b.dll"), fixtures::patternIcon(resId(1), {16, 32, 48}, 8));
    const iconmod::IconImageSet only20 = groupSet(dir.file("c.dll"), fixtures::patternIcon(resId(1), {20}, 4));
    const iconmod::IconImageSet tiny = groupSet(dir.file("d.dll"), fixtures::patternIcon(resId(1), {8}, 4));
    EXPECT_EQ(iconmod::iconThemeSizes(modern), (std::vector<int>{16, 22, 24, 32, 48, 64, 96, 128, 256}));
    EXPECT_EQ(iconmod::iconThemeSizes(upTo48), (std::vector<int>{16, 22, 24, 32, 48}));
    EXPECT_EQ(iconmod::iconThemeSizes(only20), (std::vector<int>{16}));
    EXPECT_TRUE(iconmod::iconThemeSizes(tiny).empty());

    // Every file in its place at its own size, the 256-pixel PNG byte for byte; the theme
    // folder's time is now.
    const std::string prefix = dir.file("share/icons");
    std::filesystem::create_directories(prefix + "/hicolor");
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(prefix + "/hicolor", old);
    std::vector<std::string> written;
    fixtures::MessageRecorder messages;
    ASSERT_TRUE(iconmod::writeIconTheme(modern, prefix, "wine-notepad.1", &written));
    EXPECT_TRUE(messages.messages().empty());
    ASSERT_EQ(written.size(), 9u);
    for (std::size_t i = 0; i < written.size(); ++i) {
        const int size = iconmod::kHicolorSizes[i];
        const std::string n = std::to_string(size);
        EXPECT_EQ(written[i], prefix + "/hicolor/" + n + "x" + n + "/apps/wine-notepad.1.png");
        const auto info = formats::readPngInfo(formats::ByteView(fixtures::readFile(written[i])));
        ASSERT_TRUE(info) << written[i];
        EXPECT_EQ(std::make_pair(info->width, info->height), std::make_pair(size, size));
    }
    EXPECT_EQ(fixtures::readFile(written.back()), png);
    EXPECT_GT(std::filesystem::last_write_time(prefix + "/hicolor"), old + std::chrono::hours(1));

    // Failures say why, and write nothing.
    ASSERT_TRUE(fixtures::writeFile(dir.file("file"), {'x'}));
    const struct {
        const iconmod::IconImageSet* set;
        std::string prefix, name;
        const char* message;
    } failures[] = {
        {&modern, prefix, "wine notepad", iconmod::text::kThemeNameInvalid},
        {&modern, prefix, "a/b", iconmod::text::kThemeNameInvalid},
        {&tiny, prefix, "tiny", iconmod::text::kThemeNoSquareImage},
        {&modern, dir.file("file"), "x", iconmod::text::kThemeFolderFailed},
    };
    for (const auto& f : failures) {
        messages.clear();
        EXPECT_FALSE(iconmod::writeIconTheme(*f.set, f.prefix, f.name, &written)) << f.name;
        EXPECT_TRUE(written.empty()) << f.name;
        EXPECT_EQ(messages.texts(), std::vector<std::string>{f.message}) << f.name;
    }
    // A name for a file's icon set keeps what a name may hold.
    EXPECT_EQ(iconmod::suggestIconThemeName("Notepad++ 2.exe"), "Notepad___2");
    EXPECT_EQ(iconmod::suggestIconThemeName("\xe3\x83\xa1\xe3\x83\xa2.dll.mun"), "__.dll");
}

// A set is replaced whole or not at all: a second set of the name takes the first one's
// place and the sizes it lacks go; a set that fails at one size changes nothing, leaves no
// temporary file and removes the folders it made.
TEST(IconTheme, ReplacesASetWholeOrNotAtAll) {
    fixtures::TempDir dir;
    const iconmod::IconImageSet modern = groupSet(dir.file("a.dll"), fixtures::modernIcon(resId(1), fixtures::detailedPng(3)));
    const iconmod::IconImageSet upTo48 = groupSet(dir.file("b.dll"), fixtures::patternIcon(resId(1), {16, 32, 48}, 8));
    const std::string prefix = dir.file("icons");
    auto filesUnder = [](const std::string& root) {
        std::vector<std::string> found;
        if (!std::filesystem::exists(root)) return found;
        for (const auto& e : std::filesystem::recursive_directory_iterator(root))
            found.push_back(e.path().lexically_relative(root).string());
        std::sort(found.begin(), found.end());
        return found;
    };
    fixtures::MessageRecorder messages;
    ASSERT_TRUE(iconmod::writeIconTheme(modern, prefix, "app"));
    ASSERT_TRUE(iconmod::writeIconTheme(upTo48, prefix, "app"));
    for (int size : iconmod::kHicolorSizes)
        EXPECT_EQ(std::filesystem::exists(iconmod::iconThemeFile(prefix, size, "app")), size <= 48) << size;
    const std::vector<std::string> before = filesUnder(prefix);
    const Bytes old16 = fixtures::readFile(iconmod::iconThemeFile(prefix, 16, "app"));

    // A folder where the 128-pixel file would go fails the set after the smaller sizes were
    // written to temporary files.
    ASSERT_TRUE(std::filesystem::create_directories(iconmod::iconThemeFile(prefix, 128, "app")));
    std::string failure;
    EXPECT_FALSE(iconmod::writeIconTheme(modern, prefix, "app", nullptr, &failure));
    EXPECT_EQ(failure, iconmod::iconThemeFile(prefix, 128, "app") + ": cannot be written: Is a directory: " +
                           iconmod::text::kThemeWriteFailed);
    EXPECT_EQ(messages.texts().back(), iconmod::text::kThemeWriteFailed);
    std::vector<std::string> expected = before;
    expected.push_back("hicolor/128x128/apps/app.png");  // the folder that stood in the way
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(filesUnder(prefix), expected);
    EXPECT_EQ(fixtures::readFile(iconmod::iconThemeFile(prefix, 16, "app")), old16);

    // In a new prefix the same failure leaves nothing but what was there: the folders it
    // made for the other sizes are gone.
    const std::string fresh = dir.file("fresh");
    ASSERT_TRUE(std::filesystem::create_directories(iconmod::iconThemeFile(fresh, 32, "app")));
    EXPECT_FALSE(iconmod::writeIconTheme(modern, fresh, "app"));
    EXPECT_EQ(filesUnder(fresh), (std::vector<std::string>{"hicolor", "hicolor/32x32", "hicolor/32x32/apps", "hicolor/32x32/apps/app.png"}));
}
