// vexil-cli list --json through its binary: the object it prints for each kind of file,
// checked whole, and that it is JSON a parser takes.
#include <gtest/gtest.h>

#include <unistd.h>

#include "formats/ModuleResources.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"
#include "support/RunProgram.h"

using fixtures::Bytes;
using fixtures::resId;
using fixtures::resName;

namespace {

fixtures::ProgramRun list(const std::string& path) { return fixtures::runProgram({VEXIL_CLI_PATH, "list", path, "--json"}); }

std::string hex(const std::string& text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) out += {kDigits[c >> 4], kDigits[c & 15]};
    return out;
}

bool parsesAsJson(const std::string& text) {
    return fixtures::runProgram({"/usr/bin/python3", "-c", "import json, sys; json.loads(sys.argv[1])", text}).status == 0;
}

Bytes png(int size) {
    return fixtures::makePng(size, size, [](int x, int) { return x % 2 ? 0xFF336699u : 0x80000000u; });
}

}  // namespace

TEST(CliList, OneObjectForEveryKindOfFile) {
    fixtures::TempDir dir;
    const Bytes dib16 = fixtures::patternDib(16, 4);  // 40 + 64 + 16 x 8 + 16 x 4 bytes
    const Bytes dib32 = fixtures::patternDib(32, 32);
    const Bytes png48 = png(48);
    const Bytes cur = fixtures::makeCur({{dib16, 15, 0}});
    const Bytes ico = fixtures::makeIco({{dib32}, {png48}});
    const Bytes ani = fixtures::makeAni({.frames = {cur, ico}, .rate = {6, 30}, .sequence = {1, 0}, .steps = 2});

    auto resources = fixtures::cursorResources({{resId(5), {{dib16, 1, 2}}}}, 50, fixtures::kLangJapanese);
    resources.push_back({resId(formats::kRtAniIcon), resName("SPIN"), ani});
    const Bytes pe = fixtures::makePe({{resName("MAIN"), {dib32, png48}}, {resId(2), {dib16}}}, {.extra = resources});
    const Bytes ne = fixtures::makeNe({{resName("\xE9t\xE9"), {dib16}}}, {.shift = 0});  // unpadded

    const std::string s16 = std::to_string(dib16.size()), s32 = std::to_string(dib32.size()),
                      s48 = std::to_string(png48.size());
    const std::string i16 = "{\"width\": 16, \"height\": 16, \"bits\": 4, \"format\": \"dib\", \"bytes\": " + s16 + "}";
    const std::string i32 = "{\"width\": 32, \"height\": 32, \"bits\": 32, \"format\": \"dib\", \"bytes\": " + s32 + "}";
    const std::string i48 = "{\"width\": 48, \"height\": 48, \"bits\": 32, \"format\": \"png\", \"bytes\": " + s48 + "}";
    auto hot = [](const std::string& image, int x, int y) {
        return image.substr(0, image.size() - 1) + ", \"hotspot\": [" + std::to_string(x) + ", " + std::to_string(y) + "]}";
    };
    auto file = [](const std::string& kind, const std::string& icons, const std::string& cursors,
                   const std::string& animated) {
        return "\"kind\": \"" + kind + "\", \"icons\": [" + icons + "], \"cursors\": [" + cursors + "], \"animated\": [" +
               animated + "]}\n";
    };
    const std::string aniSteps = "\"frames\": 2, \"steps\": [{\"frame\": 1, \"delay_ms\": 100}, {\"frame\": 0, \"delay_ms\": 500}]}";

    struct Case {
        std::string name;
        Bytes bytes;
        std::string expected;  // after the file member
        std::string fileMember = {};  // when not the path as it is
    } cases[] = {
        {"app.exe", pe,
         file("PE32",
              "{\"index\": 0, \"name\": \"MAIN\", \"id\": null, \"language\": 1033, \"images\": [" + i32 + ", " + i48 + "]}, "
              "{\"index\": 1, \"name\": \"#2\", \"id\": 2, \"language\": 1033, \"images\": [" + i16 + "]}",
              "{\"index\": 0, \"name\": \"#5\", \"id\": 5, \"language\": 1041, \"images\": [" + hot(i16, 1, 2) + "]}",
              "{\"name\": \"SPIN\", \"type\": \"icon\", " + aniSteps)},
        {"old.icl", ne,
         file("NE",
              "{\"index\": 0, \"name\": \"\xEF\xBF\xBDt\xEF\xBF\xBD\", \"name_hex\": \"e974e9\", \"id\": null, \"language\": null, "
              "\"images\": [" + i16 + "]}",
              "", "")},
        {"a.ico", ico, file("ICO", "{\"index\": 0, \"name\": \"-\", \"id\": null, \"language\": null, \"images\": [" + i32 + ", " + i48 + "]}", "", "")},
        {"a.cur", cur, file("CUR", "", "{\"index\": 0, \"name\": \"-\", \"id\": null, \"language\": null, \"images\": [" + hot(i16, 15, 0) + "]}", "")},
        {"a.ani", ani,
         file("ANI", "",
              "{\"index\": 0, \"name\": \"-\", \"id\": null, \"language\": null, \"images\": [" + hot(i16, 15, 0) + "]}, "
              "{\"index\": 1, \"name\": \"-\", \"id\": null, \"language\": null, \"images\": [" + hot(i32, 16, 16) + ", " + hot(i48, 24, 24) + "]}",
              "{\"name\": \"-\", \"type\": \"cursor\", " + aniSteps)},
        {"notes \"1\"\t.txt", Bytes(100, 'x'), file("other", "", "", ""), "notes \\\"1\\\"\\u0009.txt\""},
        {"bad\xFFname.dll", Bytes{'M', 'Z'}, file("other", "", "", ""),
         "bad\xEF\xBF\xBDname.dll\", \"path_hex\": \"" + hex(dir.path()) + "2f626164ff6e616d652e646c6c\""},
    };
    for (const auto& c : cases) {
        const std::string path = dir.file(c.name);
        ASSERT_TRUE(fixtures::writeFile(path, c.bytes));
        const auto r = list(path);
        ASSERT_EQ(r.status, 0) << c.name << r.err;
        const std::string member = c.fileMember.empty() ? c.name + "\"" : c.fileMember;
        const std::string head = "{\"file\": \"" + dir.path() + "/" + member + ", ";
        EXPECT_EQ(r.out, head + c.expected) << c.name;
        EXPECT_TRUE(parsesAsJson(r.out)) << c.name;
    }
    EXPECT_EQ(list(dir.file("missing.exe")).status, 1);
}

TEST(CliList, GroupsThatShareOneLargeDirectoryCostOneGroupOfMemory) {
    // 300 cursor groups whose data entries all point at the first group's directory of
    // 2,000 entries, each naming the one image: the listing names 600,000 images (some
    // 60 MB of text), but it is printed as it is made and memory stays that of one group.
    constexpr int kGroups = 300, kEntries = 2000;
    std::vector<fixtures::ModuleCursor> cursors{{resId(1), std::vector<fixtures::CursorEntry>(kEntries, {fixtures::patternDib(16, 4), 0, 0}),
                                                 std::vector<std::uint16_t>(kEntries, 1)}};
    for (int g = 2; g <= kGroups; ++g) cursors.push_back({resId(static_cast<std::uint16_t>(g)), {}, {}});
    fixtures::PeLayout layout;
    Bytes pe = fixtures::makePe({}, {.extra = fixtures::cursorResources(cursors)}, &layout);
    const auto& first = layout.at(resId(formats::kRtGroupCursor), resId(1));
    for (int g = 2; g <= kGroups; ++g) {
        const auto& e = layout.at(resId(formats::kRtGroupCursor), resId(static_cast<std::uint16_t>(g)));
        std::copy_n(pe.begin() + static_cast<std::ptrdiff_t>(first.dataEntry), 8, pe.begin() + static_cast<std::ptrdiff_t>(e.dataEntry));
    }
    fixtures::TempDir dir;
    ASSERT_TRUE(fixtures::writeFile(dir.file("many.dll"), pe));
    // A spawned program's peak counts the spawning runner's own at the time, so it is
    // measured above what /bin/true reaches the same way.
    const long floorKiB = fixtures::runProgram({"/bin/true"}).maxRssKiB;
    // Under AddressSanitizer freed memory is held back (its quarantine), which is not memory
    // the program keeps: the sanitizer is told to hold none.
    const auto run = fixtures::runProgram({"/bin/sh", "-c",
                                           std::string("ASAN_OPTIONS=\"$ASAN_OPTIONS:quarantine_size_mb=0\" exec ") + VEXIL_CLI_PATH +
                                               " list " + dir.file("many.dll") + " --json | wc -c"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(std::stoull(run.out), 90ull * kGroups * kEntries);  // every image listed
    EXPECT_LT(run.maxRssKiB - floorKiB, 30 * 1024);
}

TEST(CliList, ListingsReadHeadersNotImageData) {
    // An .ico and a .cur of 3 GiB that hold one 16384 x 16384 bitmap, made of holes after
    // its header (ftruncate), and an .ani of a million steps: each listing reads directories
    // and headers, so its peak stays that of a small file.
    constexpr std::uint64_t kSize = 3ull << 30;
    constexpr int kSide = 16384, kSteps = 1000000;
    Bytes header;
    for (std::uint32_t v : {40u, std::uint32_t{kSide}, 2u * kSide}) fixtures::appendU32(header, v);
    fixtures::appendU16(header, 1);
    fixtures::appendU16(header, 32);
    header.resize(40, 0);
    const fixtures::IcoEntry image{header, {}, {}, {}, std::uint16_t{5}, std::uint16_t{7}, std::uint32_t{kSize - 22}};
    fixtures::TempDir dir;
    const std::string ico = dir.file("huge.ico"), cur = dir.file("huge.cur"), ani = dir.file("long.ani");
    for (const auto& [path, type] : {std::pair{ico, 1}, std::pair{cur, 2}}) {
        ASSERT_TRUE(fixtures::writeFile(path, fixtures::makeIco({image}, static_cast<std::uint16_t>(type))));
        ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kSize)), 0);
    }
    ASSERT_TRUE(fixtures::writeFile(ani, fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::patternDib(16, 4), 1, 2}})},
                                                            .sequence = std::vector<std::uint32_t>(kSteps, 0),
                                                            .steps = kSteps})));
    const std::string bitmap = "\"width\": 16384, \"height\": 16384, \"bits\": 32, \"format\": \"dib\", \"bytes\": " +
                               std::to_string(kSize - 22);
    struct Case {
        std::string command;
        std::string expected;  // what the output holds
    } cases[] = {
        {"images " + ico, "16384x16384, True Color (32bit)\n"},
        {"images " + cur + " - --cursors", "16384x16384, True Color (32bit), hotspot 5,7\n"},
        {"list " + ico + " --json", "\"images\": [{" + bitmap + "}]"},
        {"list " + cur + " --json", "\"images\": [{" + bitmap + ", \"hotspot\": [5, 7]}]"},
        {"list " + ani + " --json | tail -c 100", "{\"frame\": 0, \"delay_ms\": 167}]}]}\n"},
    };
    // A spawned program's peak counts the spawning runner's own at the time, so it is
    // measured above what /bin/true reaches the same way.
    const long floorKiB = fixtures::runProgram({"/bin/true"}).maxRssKiB;
    for (const auto& c : cases) {
        const auto run = fixtures::runProgram({"/bin/sh", "-c", std::string("exec ") + VEXIL_CLI_PATH + " " + c.command});
        ASSERT_EQ(run.status, 0) << c.command << run.err;
        EXPECT_NE(run.out.find(c.expected), std::string::npos) << c.command << ": " << run.out.substr(0, 300);
        EXPECT_LT(run.maxRssKiB - floorKiB, 64 * 1024) << c.command;
    }
}
