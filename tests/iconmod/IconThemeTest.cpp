#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "formats/IconDecode.h"
#include "iconmod/IconGroups.h"
#include "iconmod/IconTheme.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"

using fixtures::Bytes;

namespace {

// The images of a group as a module stores them.
iconmod::IconImageSet groupSet(const std::string& path, const fixtures::ModuleIcon& icon) {
    EXPECT_TRUE(fixtures::writeFile(path, fixtures::makePe({icon})));
    iconmod::QIconMod source(path);
    EXPECT_TRUE(iconmod::fnLoadIconAt(source, 0));
    return source.Images ? *source.Images : iconmod::IconImageSet{};
}

std::optional<int> pngSide(const Bytes& bytes) {
    const auto info = formats::readPngInfo(formats::ByteView(bytes));
    if (!info || info->width != info->height) return std::nullopt;
    return info->width;
}

}  // namespace

TEST(IconTheme, WritesHicolorsSizesUpToTheLargestSquareImage) {
    fixtures::TempDir dir;
    const Bytes png = fixtures::detailedPng(3);
    struct Case {
        const char* what;
        fixtures::ModuleIcon icon;
        std::vector<int> sizes;
    } cases[] = {
        {"a modern group", fixtures::modernIcon(fixtures::resId(1), png), {16, 22, 24, 32, 48, 64, 96, 128, 256}},
        {"up to 48", fixtures::patternIcon(fixtures::resId(1), {16, 32, 48}, 8), {16, 22, 24, 32, 48}},
        {"only 20 pixels", fixtures::patternIcon(fixtures::resId(1), {20}, 4), {16}},
        {"too small for any", fixtures::patternIcon(fixtures::resId(1), {8}, 4), {}},
    };
    for (const Case& c : cases) {
        const iconmod::IconImageSet set = groupSet(dir.file("m.dll"), c.icon);
        EXPECT_EQ(iconmod::iconThemeSizes(set), c.sizes) << c.what;
    }

    // Every file in its place at its own size; the 256-pixel PNG byte for byte.
    const iconmod::IconImageSet modern = groupSet(dir.file("m.dll"), fixtures::modernIcon(fixtures::resId(1), png));
    const std::string prefix = dir.file("share/icons");
    ASSERT_EQ(std::filesystem::create_directories(prefix + "/hicolor"), true);
    const auto old = std::filesystem::file_time_type::clock::now() - std::chrono::hours(24);
    std::filesystem::last_write_time(prefix + "/hicolor", old);
    std::vector<std::string> written;
    fixtures::MessageRecorder messages;
    ASSERT_TRUE(iconmod::writeIconTheme(modern, prefix, "wine-notepad.1", &written));
    EXPECT_TRUE(messages.messages().empty());
    ASSERT_EQ(written.size(), 9u);
    for (std::size_t i = 0; i < written.size(); ++i) {
        const int size = iconmod::kHicolorSizes[i];
        EXPECT_EQ(written[i], iconmod::iconThemeFile(prefix, size, "wine-notepad.1"));
        EXPECT_EQ(written[i], prefix + "/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                                  "/apps/wine-notepad.1.png");
        EXPECT_EQ(pngSide(fixtures::readFile(written[i])), size) << written[i];
    }
    EXPECT_EQ(fixtures::readFile(written.back()), png);
    EXPECT_GT(std::filesystem::last_write_time(prefix + "/hicolor"), old + std::chrono::hours(1));

    // Failures say why and leave what was there.
    const iconmod::IconImageSet tiny = groupSet(dir.file("t.dll"), fixtures::patternIcon(fixtures::resId(1), {8}, 4));
    ASSERT_TRUE(fixtures::writeFile(dir.file("file"), {'x'}));
    struct Failure {
        const iconmod::IconImageSet* set;
        std::string prefix;
        std::string name;
        const char* message;
    } failures[] = {
        {&modern, prefix, "wine notepad", iconmod::text::kThemeNameInvalid},
        {&modern, prefix, "", iconmod::text::kThemeNameInvalid},
        {&modern, prefix, "a/b", iconmod::text::kThemeNameInvalid},
        {&tiny, prefix, "tiny", iconmod::text::kThemeNoSquareImage},
        {&modern, dir.file("file"), "x", iconmod::text::kThemeFolderFailed},
    };
    for (const Failure& f : failures) {
        messages.clear();
        EXPECT_FALSE(iconmod::writeIconTheme(*f.set, f.prefix, f.name, &written)) << f.name;
        EXPECT_TRUE(written.empty()) << f.name;
        EXPECT_EQ(messages.texts(), std::vector<std::string>{f.message}) << f.name;
    }
    EXPECT_FALSE(std::filesystem::exists(prefix + "/hicolor/16x16/apps/tiny.png"));
}

TEST(IconTheme, NamesAndTheirSuggestions) {
    struct Case {
        const char* text;
        bool valid;
        const char* suggestion;  // for the text taken as a file name
    } cases[] = {
        {"notepad.exe", true, "notepad"},
        {"Wine_App-2", true, "Wine_App-2"},
        {"my app.exe", false, "my_app"},
        {"\xe3\x83\xa1\xe3\x83\xa2\xe5\xb8\xb3.exe", false, "___"},
        {".exe", true, ".exe"},
        {"", false, "icon"},
        {"a/b", false, "a_b"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(iconmod::isIconThemeName(c.text), c.valid) << c.text;
        EXPECT_EQ(iconmod::suggestIconThemeName(c.text), c.suggestion) << c.text;
    }
}
