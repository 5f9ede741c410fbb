// Cursor themes from Windows cursor packs made by code: the pack read from a folder, an
// INF or an archive; each role's file and how it was found; sizes, hotspots and steps;
// refusals; and the theme written, read back through libXcursor by theme and name.
#include <gtest/gtest.h>

#include <X11/Xcursor/Xcursor.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>

#include "formats/IconDecode.h"
#include "iconmod/CursorTheme.h"
#include "iconmod/CursorThemeNames.h"
#include "support/InfFixtures.h"
#include "support/PackFixtures.h"

using formats::CursorRole;
using fixtures::Bytes;
using fixtures::PackEntry;
using iconmod::RoleMatch;
using iconmod::SizeSource;

namespace {

using fixtures::roleAnimation;

std::vector<PackEntry> withInf(std::vector<PackEntry> files, const std::string& path, Bytes inf) {
    files.push_back({path, std::move(inf), {}});
    return files;
}

std::string upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

template <class T>
const T& valueOf(const iconmod::CursorThemeResult<T>& result) {
    if (const auto* error = std::get_if<iconmod::CursorThemeError>(&result)) ADD_FAILURE() << error->text;
    return std::get<T>(result);
}

iconmod::CursorThemeResult<iconmod::CursorThemePlan> planOf(const std::string& path, const iconmod::CursorThemeOptions& options = {}) {
    auto pack = iconmod::openCursorPack(path);
    if (const auto* error = std::get_if<iconmod::CursorThemeError>(&pack)) return *error;
    return iconmod::planCursorTheme(std::get<iconmod::CursorPack>(pack), options);
}

// The prefix every theme of these tests is written under, named by XCURSOR_PATH (libXcursor
// reads that once, so one prefix serves every load of the test run).
const std::string& cursorPrefix() {
    static const fixtures::TempDir home;
    static const std::string prefix = [] {
        const std::string path = home.file("icons");
        ::setenv("XCURSOR_PATH", path.c_str(), 1);
        return path;
    }();
    return prefix;
}

// Every name of every role of the written theme `theme`, found by libXcursor by theme and
// name at each size: the plan's steps, pictures, hotspots and delays. Returns the names seen.
std::size_t expectLoadsAsPlanned(const iconmod::CursorThemePlan& plan, const std::string& theme, const std::string& what) {
    std::size_t names = 0;
    for (const auto& role : plan.roles) {
        for (std::string_view name : role.names) {
            ++names;
            const std::string where = what + ": " + formats::cursorRoleName(role.role) + " as " + std::string(name);
            EXPECT_EQ(std::filesystem::is_symlink(cursorPrefix() + "/" + theme + "/cursors/" + std::string(name)), name != role.names.front())
                << where;
            for (std::size_t s = 0; s < role.sizes.size(); ++s) {
                XcursorImages* images = XcursorLibraryLoadImages(std::string(name).c_str(), theme.c_str(), role.sizes[s].size);
                if (!images) {
                    ADD_FAILURE() << where;
                    continue;
                }
                const std::size_t steps = std::max<std::size_t>(1, role.delaysMs.size());
                EXPECT_EQ(static_cast<std::size_t>(images->nimage), steps) << where;
                for (std::size_t k = 0; k < steps && k < static_cast<std::size_t>(images->nimage); ++k) {
                    const XcursorImage& image = *images->images[k];
                    const auto picture = iconmod::cursorThemePicture(role, s, k);
                    const auto& chunk = role.layout.chunks[role.layout.entries[s * steps + k]];
                    if (!picture) {
                        ADD_FAILURE() << where;
                        continue;
                    }
                    EXPECT_EQ(static_cast<int>(image.size), role.sizes[s].size) << where;
                    EXPECT_EQ(std::tie(image.xhot, image.yhot), std::tie(chunk.hotspotX, chunk.hotspotY)) << where;
                    EXPECT_EQ(image.delay, role.delaysMs.empty() ? 0u : role.delaysMs[k]) << where;
                    EXPECT_TRUE(std::equal(picture->pixels.begin(), picture->pixels.end(), image.pixels)) << where << " step " << k;
                }
                XcursorImagesDestroy(images);
            }
        }
    }
    return names;
}

}  // namespace

TEST(CursorThemePlan, FindsEachRolesFileInPacksAsTheyCome) {
    const std::string scheme = "Nautilus Ω";
    const Bytes utf16 = fixtures::utf16Text(fixtures::templateInf(scheme));
    const Bytes cp1252 = fixtures::cp1252Text(fixtures::templateInf("Flèche"));
    auto all = [](const std::string& folder, std::size_t skip = 99, std::size_t skip2 = 99) {
        std::map<CursorRole, std::string> m;
        for (std::size_t r = 0; r < 17; ++r)
            if (r != skip && r != skip2) m[*formats::cursorRoleAt(r)] = folder + fixtures::kTemplateInfFiles[r];
        return m;
    };
    const std::vector<PackEntry> named{{"x/Arrow.cur", fixtures::cursorOf(32, 1), {}},       {"x/arrow old.cur", fixtures::cursorOf(32, 2), {}},
                                       {"x/UpArrow.CUR", fixtures::cursorOf(32, 3), {}},     {"x/Hand writing.cur", fixtures::cursorOf(32, 4), {}},
                                       {"x/busy.ani", roleAnimation(3), {}},                   {"x/readme.cur", fixtures::cursorOf(32, 5), {}}};
    const struct {
        const char* what;
        std::vector<PackEntry> entries;
        std::string open;  // what is opened, in the folder written
        std::string name;
        std::map<CursorRole, std::string> files;
        RoleMatch match;
        std::vector<std::string> warnings;
    } cases[] = {
        {"UTF-16 INF in a folder", withInf(fixtures::templatePackFiles(""), "install.inf", utf16), "", "Nautilus", all(""), RoleMatch::Listed,
         {"Pin: no toolkit", "Person: no toolkit"}},
        {"the INF named, in code page 1252, its files in capitals", withInf(fixtures::templatePackFiles("", upper), "Install.INF", cp1252),
         "Install.INF", "Fleche", [] {
             std::map<CursorRole, std::string> m;
             for (std::size_t r = 0; r < 17; ++r) m[*formats::cursorRoleAt(r)] = upper(fixtures::kTemplateInfFiles[r]);
             return m;
         }(), RoleMatch::ListedOtherCase, {"Pin: no toolkit", "Person: no toolkit"}},
        {"files the INF names are absent",
         withInf(fixtures::templatePackFiles("p/", [](std::string n) { return n == "Link Select.cur" || n == "Location Select.cur" ? "" : n; }),
                 "p/install.inf", utf16),
         "", "Nautilus", all("p/", 14, 15), RoleMatch::Listed,
         {"Hand names \"Link Select.cur\", which the pack lacks; Hand left to Adwaita",
          "Pin names \"Location Select.cur\", which the pack lacks; Pin left out", "Person: no toolkit"}},
        {"animations whose RIFF length is 8 short", withInf(fixtures::templatePackFiles("", {}, -8), "install.inf", utf16), "", "Nautilus", all(""),
         RoleMatch::Listed, {"Working in Background.ani: the RIFF length", "Busy.ani: the RIFF length", "Pin: no", "Person: no"}},
        {"a zip of a folder with the INF", {{"pack.zip", fixtures::makeArchive(fixtures::ArchiveKind::Zip,
                                                                               withInf(fixtures::templatePackFiles("Naut/"), "Naut/install.inf", utf16)), {}}},
         "pack.zip", "Nautilus", all("Naut/"), RoleMatch::Listed, {"Pin: no toolkit", "Person: no toolkit"}},
        {"no INF: the files' names", named, "", "x",
         {{CursorRole::Arrow, "x/Arrow.cur"}, {CursorRole::UpArrow, "x/UpArrow.CUR"}, {CursorRole::NWPen, "x/Hand writing.cur"},
          {CursorRole::Wait, "x/busy.ani"}},
         RoleMatch::FileName, {"Arrow: 2 files claim it", "x/readme.cur: its name claims no role"}},
        {"a 7-Zip archive of named files", {{"Named Pack.7z", fixtures::makeArchive(fixtures::ArchiveKind::SevenZip, named), {}}},
         "Named Pack.7z", "x",
         {{CursorRole::Arrow, "x/Arrow.cur"}, {CursorRole::UpArrow, "x/UpArrow.CUR"}, {CursorRole::NWPen, "x/Hand writing.cur"},
          {CursorRole::Wait, "x/busy.ani"}},
         RoleMatch::FileName, {"Arrow: 2 files claim it", "x/readme.cur: its name claims no role"}},
    };
    for (const auto& c : cases) {
        fixtures::TempDir dir;
        ASSERT_TRUE(fixtures::writePack(dir.path(), c.entries)) << c.what;
        const auto result = planOf(dir.file(c.open));
        const auto& plan = valueOf(result);
        EXPECT_EQ(plan.name, c.name) << c.what;
        std::map<CursorRole, std::string> files;
        for (const auto& role : plan.roles) {
            files[role.role] = role.file;
            EXPECT_EQ(role.match, c.match) << c.what << ": " << role.file;
            EXPECT_EQ(role.names, iconmod::xcursorNames(role.role)) << c.what;
            EXPECT_EQ(role.animated, role.role == CursorRole::Wait || role.role == CursorRole::AppStarting) << c.what;
            if (c.match == RoleMatch::ListedOtherCase) {
                EXPECT_EQ(upper(role.listedAs), role.file) << c.what;
            }
        }
        EXPECT_EQ(files, c.files) << c.what;
        // Written under a name of its own, every name of every role loads as planned.
        iconmod::CursorThemePlan own = plan;
        own.name = "pack" + std::to_string(&c - cases);
        ASSERT_TRUE(std::holds_alternative<iconmod::CursorThemeWritten>(iconmod::writeCursorTheme(own, cursorPrefix(), true))) << c.what;
        EXPECT_GT(expectLoadsAsPlanned(own, own.name, c.what), c.files.size()) << c.what;
        ASSERT_EQ(plan.warnings.size(), c.warnings.size()) << c.what << "\n" << ::testing::PrintToString(plan.warnings);
        for (std::size_t i = 0; i < c.warnings.size(); ++i)
            EXPECT_NE(plan.warnings[i].find(c.warnings[i]), std::string::npos) << c.what << ": " << plan.warnings[i];
    }
}

TEST(CursorThemePlan, SizesHotspotsAndStepsAsEachFileHasThem) {
    fixtures::TempDir dir;
    // Its third image, a PNG cut after its header, cannot be decoded: left out.
    const Bytes png = fixtures::makePng(64, 64, [](int, int) { return 0xFF000000u; });
    const Bytes arrow = fixtures::makeCur({{fixtures::solidDib(32, 0xFF102030), 3, 5}, {fixtures::solidDib(48, 0xFF405060), 4, 7},
                                           {Bytes(png.begin(), png.begin() + 60), 9, 9}});
    // Frames of different sizes; steps 0, 1, 0 with the first and last as long as each other.
    const Bytes busy = fixtures::makeAni({.frames = {fixtures::cursorOf(32, 0xFFAA0000, 16, 16), fixtures::cursorOf(48, 0xFF00AA00, 47, 0)},
                                          .rate = {6, 12, 6}, .sequence = {0, 1, 0}, .steps = 3});
    ASSERT_TRUE(fixtures::writePack(dir.path(), {{"arrow.cur", arrow, {}}, {"busy.ani", busy, {}}}));
    const auto result = planOf(dir.path(), {.sizes = {24, 32, 64}});
    const auto& plan = valueOf(result);
    ASSERT_EQ(plan.roles.size(), 2u);
    using S = iconmod::CursorThemeSize;
    auto same = [](const S& a, const S& b) {
        return std::tie(a.size, a.width, a.height, a.hotspotX, a.hotspotY, a.source, a.fromWidth) ==
               std::tie(b.size, b.width, b.height, b.hotspotX, b.hotspotY, b.source, b.fromWidth);
    };
    const struct {
        const iconmod::CursorThemeRole& role;
        std::vector<S> sizes;
        std::vector<std::uint32_t> delays;
        std::size_t chunks;
        std::vector<fixtures::Argb> colours;  // of each step at the second size
    } cases[] = {
        {plan.roles[0],
         {{24, 24, 24, 2, 4, SizeSource::Shrunk, 32}, {32, 32, 32, 3, 5, SizeSource::Own, 32}, {48, 48, 48, 4, 7, SizeSource::Own, 48},
          {64, 64, 64, 5, 9, SizeSource::Enlarged, 48}},
         {}, 4, {0xFF102030}},
        {plan.roles[1],
         {{24, 24, 24, 12, 12, SizeSource::Shrunk, 32}, {32, 32, 32, 16, 16, SizeSource::Own, 32}, {64, 64, 64, 32, 32, SizeSource::Enlarged, 32}},
         {100, 200, 100}, 6, {0xFFAA0000, 0xFF00AA00, 0xFFAA0000}},
    };
    for (const auto& c : cases) {
        const char* what = formats::cursorRoleName(c.role.role);
        ASSERT_EQ(c.role.sizes.size(), c.sizes.size()) << what;
        for (std::size_t i = 0; i < c.sizes.size(); ++i)
            EXPECT_TRUE(same(c.role.sizes[i], c.sizes[i])) << what << " " << c.sizes[i].size << ": " << c.role.sizes[i].width << " "
                                                            << c.role.sizes[i].hotspotX << "," << c.role.sizes[i].hotspotY;
        EXPECT_EQ(c.role.delaysMs, c.delays) << what;
        EXPECT_EQ(c.role.layout.entries.size(), c.sizes.size() * c.colours.size()) << what;
        EXPECT_EQ(c.role.layout.chunks.size(), c.chunks) << what;
        for (std::size_t step = 0; step < c.colours.size(); ++step) {
            const auto picture = iconmod::cursorThemePicture(c.role, 1, step);
            ASSERT_TRUE(picture) << what;
            EXPECT_EQ(picture->width, c.sizes[1].size) << what;
            EXPECT_TRUE(std::all_of(picture->pixels.begin(), picture->pixels.end(), [&](std::uint32_t p) { return p == c.colours[step]; }))
                << what << " step " << step;
        }
    }
    // The second frame is scaled to the first's size: its hotspot (47, 0) to (31, 0).
    const auto& ani = plan.roles[1].layout;
    EXPECT_EQ(ani.chunks[ani.entries[4]].hotspotX, 31u);
    ASSERT_EQ(plan.warnings.size(), 2u);
    EXPECT_NE(plan.warnings[0].find("arrow.cur: 1 image that cannot be decoded left out"), std::string::npos) << plan.warnings[0];
    EXPECT_NE(plan.warnings[1].find("busy.ani: 1 of 2 frames have no image 32 pixels wide"), std::string::npos) << plan.warnings[1];
    EXPECT_EQ(iconmod::parseCursorSizes("64,24,32,24"), (std::vector<int>{24, 32, 64}));
    for (const char* bad : {"", "0", "257", "24,", "24;32", "-1", "1000000"}) EXPECT_FALSE(iconmod::parseCursorSizes(bad)) << bad;
}

TEST(CursorThemePlan, ChoosesAmongSchemesAndRefusesWhatMakesNoTheme) {
    const auto one = [](const std::string& scheme, const std::string& arrow) {
        return fixtures::utf8Text("[DefaultInstall]\nAddReg=R\n[R]\nHKCU,\"Control Panel\\Cursors\\Schemes\",\"" + scheme + "\",,\"" + arrow +
                                  ",help.cur\"\n");
    };
    const Bytes cur = fixtures::cursorOf(32, 0xFF808080);
    const std::vector<PackEntry> two{{"Blue/install.inf", one("Blue", "a.cur"), {}}, {"Blue/a.cur", cur, {}},
                                     {"Red/install.inf", one("Red", "A.CUR"), {}},   {"Red/a.cur", cur, {}},
                                     {"Red/other.inf", one("Blue", "a.cur"), {}}};
    // Steps enough that four sizes pass what a loader takes.
    const Bytes longAni = fixtures::makeAni({.frames = {cur}, .sequence = std::vector<std::uint32_t>(20000, 0), .steps = 20000});
    using F = iconmod::CursorThemeFailure;
    const struct {
        const char* what;
        std::vector<PackEntry> entries;
        iconmod::CursorThemeOptions options;
        std::optional<F> failure;  // nullopt: made, from `file`
        std::string text;          // in the error's text, or the Arrow's file
    } cases[] = {
        {"several schemes, none chosen", two, {}, F::Choice, "choose one: \"Blue/install.inf: Blue\", \"Red\", \"Red/other.inf: Blue\""},
        {"a scheme named without regard to case", two, {.scheme = "red"}, std::nullopt, "Red/a.cur"},
        {"a label", two, {.scheme = "red/other.INF: blue"}, std::nullopt, "Red/a.cur"},
        {"an INF's path", two, {.scheme = "Blue/install.inf"}, std::nullopt, "Blue/a.cur"},
        {"a scheme name two INF files use", two, {.scheme = "Blue"}, F::Choice, "\"Blue\" names several schemes"},
        {"an unknown scheme", two, {.scheme = "Green"}, F::Choice, "\"Green\" names no scheme"},
        {"no Arrow file", {{"install.inf", one("S", "gone.cur"), {}}, {"help.cur", cur, {}}}, {}, F::NoArrow,
         "Arrow names \"gone.cur\", which the pack lacks"},
        {"an Arrow that is no cursor", {{"arrow.cur", Bytes(64, 7), {}}}, {}, F::NoArrow, "arrow.cur is no .cur or .ani file"},
        {"a name that leaves the prefix", {{"arrow.cur", cur, {}}}, {.name = ".."}, F::Name, "not a name"},
        {"a name with a slash", {{"arrow.cur", cur, {}}}, {.name = "a/b"}, F::Name, "not a name"},
        {"a size too large", {{"arrow.cur", cur, {}}}, {.sizes = {300}}, F::Sizes, "300"},
        {"too many images for a loader", {{"arrow.ani", longAni, {}}}, {.sizes = {24, 48, 64}}, F::TooLarge, "80000 images"},
        {"nothing of a pack", {{"readme.txt", Bytes(3, 'x'), {}}}, {}, F::Pack, "holds no cursor scheme"},
    };
    for (const auto& c : cases) {
        fixtures::TempDir dir;
        ASSERT_TRUE(fixtures::writePack(dir.path(), c.entries)) << c.what;
        const auto result = planOf(dir.path(), c.options);
        if (!c.failure) {
            const auto& plan = valueOf(result);
            ASSERT_FALSE(plan.roles.empty()) << c.what;
            EXPECT_EQ(plan.roles[0].file, c.text) << c.what;
            continue;
        }
        const auto* error = std::get_if<iconmod::CursorThemeError>(&result);
        ASSERT_TRUE(error) << c.what;
        EXPECT_EQ(error->failure, *c.failure) << c.what << ": " << error->text;
        EXPECT_NE(error->text.find(c.text), std::string::npos) << c.what << ": " << error->text;
    }
    // A scheme's name never names a path: "../x" makes the theme "x".
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::writePack(dir.path(), {{"install.inf", one("../x", "a.cur"), {}}, {"a.cur", cur, {}}}));
    EXPECT_EQ(valueOf(planOf(dir.path())).name, "x");
    EXPECT_EQ(std::get<iconmod::CursorThemeError>(planOf(dir.file("missing"))).failure, F::Pack);
}

// The theme written and found by libXcursor the way a desktop finds it: by theme and name,
// under the prefix XCURSOR_PATH names.
TEST(CursorThemeWrite, LoadersFindEveryNameAndAFailureLeavesNothing) {
    const std::string prefix = cursorPrefix();
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::writePack(dir.file("Glass"), withInf(fixtures::templatePackFiles(""), "install.inf", fixtures::utf16Text(fixtures::templateInf("Glass")))));
    const auto result = planOf(dir.file("Glass"), {.name = {}, .scheme = {}, .sizes = {48}});
    const auto& plan = valueOf(result);
    ASSERT_EQ(plan.roles.size(), 17u);
    const auto written = iconmod::writeCursorTheme(plan, prefix, false);
    const auto& theme = valueOf(written);
    EXPECT_EQ(theme.folder, prefix + "/Glass");
    EXPECT_FALSE(theme.replaced);

    const std::size_t names = expectLoadsAsPlanned(plan, "Glass", "Glass");
    EXPECT_EQ(theme.files.size(), names + 2);
    const auto index = fixtures::readFile(prefix + "/Glass/index.theme");
    EXPECT_EQ(std::string(index.begin(), index.end()),
              "[Icon Theme]\nName=Glass\nComment=Windows cursor scheme \"Glass\" from Glass\nInherits=Adwaita\n");
    const auto preview = formats::readPngInfo(formats::ByteView(fixtures::readFile(prefix + "/Glass/preview.png")));
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->height, 2 * (8 + 32 + 4 + 9 + 8));

    // Once there, the theme is kept unless replacing is asked; a failed write leaves the old
    // theme as it was and nothing of its own.
    auto listing = [&] {
        std::vector<std::string> paths;
        for (const auto& e : std::filesystem::recursive_directory_iterator(prefix + "/Glass")) paths.push_back(e.path().string());
        std::sort(paths.begin(), paths.end());
        return paths;
    };
    const auto before = listing();
    const auto again = iconmod::writeCursorTheme(plan, prefix, false);
    ASSERT_TRUE(std::holds_alternative<iconmod::CursorThemeError>(again));
    EXPECT_EQ(std::get<iconmod::CursorThemeError>(again).failure, iconmod::CursorThemeFailure::Exists);
    iconmod::CursorThemePlan broken = plan;
    broken.roles.back().chunkImages.back().Image.Data = iconmod::SharedBytes(Bytes(40, 0));
    const auto failed = iconmod::writeCursorTheme(broken, prefix, true);
    ASSERT_TRUE(std::holds_alternative<iconmod::CursorThemeError>(failed));
    EXPECT_EQ(std::get<iconmod::CursorThemeError>(failed).failure, iconmod::CursorThemeFailure::Write);
    EXPECT_EQ(listing(), before);

    // Replaced: a theme made of the Arrow alone, its other names gone with the old theme.
    iconmod::CursorThemePlan small = plan;
    small.roles.resize(1);
    const auto replaced = iconmod::writeCursorTheme(small, prefix, true);
    EXPECT_TRUE(valueOf(replaced).replaced);
    EXPECT_TRUE(valueOf(replaced).leftover.empty());
    EXPECT_EQ(listing().size(), iconmod::xcursorNames(CursorRole::Arrow).size() + 3);  // cursors/, index, preview
    XcursorImages* gone = XcursorLibraryLoadImages("wait", "Glass", 32);  // Adwaita is not on the path
    EXPECT_FALSE(gone);
    if (gone) XcursorImagesDestroy(gone);
    XcursorImages* kept = XcursorLibraryLoadImages("left_ptr", "Glass", 32);
    EXPECT_TRUE(kept);
    if (kept) XcursorImagesDestroy(kept);
}
