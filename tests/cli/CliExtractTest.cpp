// vexil-cli extract, run as a program on temporary directories of generated modules and
// icon files. Every run's output is checked too: without a terminal it is one summary
// line on stdout and nothing on stderr.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "cli/Cli.h"
#include "cli/Commands.h"
#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "formats/IconDecode.h"
#include "support/FifoWriter.h"
#include "support/ImageFixtures.h"
#include "support/MessageRecorder.h"
#include "support/ModuleFixtures.h"
#include "platform/OpenCount.h"
#include "support/RunProgram.h"

extern char** environ;

namespace {

using fixtures::Bytes;
using fixtures::patternDib;
using fixtures::resId;
using fixtures::resName;

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs vexil-cli extract with stdin, stdout and stderr not terminals.
CliRun extract(const std::vector<std::string>& args) {
    std::vector<std::string> all = {VEXIL_CLI_PATH, "extract"};
    all.insert(all.end(), args.begin(), args.end());
    const fixtures::ProgramRun run = fixtures::runProgram(all);
    return CliRun{run.status, run.out, run.err};
}

// A run whose output is nothing but the one summary line.
void expectSummaryOnly(const CliRun& run) {
    EXPECT_EQ(run.err, "");
    ASSERT_FALSE(run.out.empty());
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
    EXPECT_EQ(run.out.back(), '\n');
}

std::set<std::string> filesIn(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

// The images an .ico file holds, in directory order.
std::vector<Bytes> icoImages(const Bytes& ico) {
    std::vector<Bytes> images;
    const std::uint16_t count = fixtures::getU16(ico, 4);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t size = fixtures::getU32(ico, 6 + 16 * i + 8);
        const std::uint32_t offset = fixtures::getU32(ico, 6 + 16 * i + 12);
        images.emplace_back(ico.begin() + offset, ico.begin() + offset + size);
    }
    return images;
}

// What the icon save dialog writes for that group of the module with every image.
Bytes savedGroup(const std::string& module, const std::string& group, const fixtures::TempDir& scratch) {
    fixtures::MessageRecorder quiet;
    iconmod::QIconMod source(module);
    source.GroupName = group;
    const std::string path = scratch.file("expected.ico");
    if (!source.fnOpenAnyModule() || !iconmod::fnLoadGroup(source) || !source.fnSaveIco(path, -1)) return {};
    return fixtures::readFile(path);
}

Bytes sizedDib(int size, int bits) { return patternDib(size, bits); }

enum class Kind { Pe32, Pe32Plus, Ne };

Bytes makeModule(Kind kind, const std::vector<fixtures::ModuleIcon>& icons) {
    if (kind == Kind::Ne) return fixtures::makeNe(icons);
    fixtures::PeOptions o;
    o.plus = kind == Kind::Pe32Plus;
    return fixtures::makePe(icons, o);
}

TEST(CliExtract, WritesEveryGroupExactlyAsStoredForEachModuleKind) {
    const std::vector<fixtures::ModuleIcon> icons = {
        {resId(1), {sizedDib(16, 4), sizedDib(32, 4)}, {}},
        {resId(105), {sizedDib(48, 8)}, {}},
        {resName("MAIN"), {sizedDib(16, 1), sizedDib(32, 32)}, {}},
    };
    const std::map<std::string, std::vector<Bytes>> groups = {
        {"#1", icons[0].images}, {"#105", icons[1].images}, {"MAIN", icons[2].images}};
    for (Kind kind : {Kind::Pe32, Kind::Pe32Plus, Kind::Ne}) {
        SCOPED_TRACE(static_cast<int>(kind));
        fixtures::TempDir in, out, scratch;
        ASSERT_TRUE(fixtures::writeFile(in.file("m.dll"), makeModule(kind, icons)));
        const CliRun run = extract({in.file("m.dll"), "-o", out.path()});
        EXPECT_EQ(run.status, 0);
        expectSummaryOnly(run);
        EXPECT_EQ(run.out, "1 file, 3 icons written\n");
        EXPECT_EQ(filesIn(out.path()), (std::set<std::string>{"m.dll-#1.ico", "m.dll-#105.ico", "m.dll-MAIN.ico"}));

        for (const auto& [group, images] : groups) {
            const Bytes written = fixtures::readFile(out.file("m.dll-" + group + ".ico"));
            EXPECT_EQ(written, savedGroup(in.file("m.dll"), group, scratch)) << group;
            const std::vector<Bytes> stored = icoImages(written);
            ASSERT_EQ(stored.size(), images.size()) << group;
            for (std::size_t i = 0; i < images.size(); ++i) {
                // NE resources are whole alignment units long: the image, then padding.
                const Bytes& want = images[i];
                const Bytes& got = stored[i];
                ASSERT_GE(got.size(), want.size());
                EXPECT_TRUE(std::equal(want.begin(), want.end(), got.begin())) << group << " image " << i;
                EXPECT_LT(got.size() - want.size(), kind == Kind::Ne ? 16u : 1u);
            }
        }
    }
}

// The largest image of each group: a stored PNG whose chunks are whole with every CRC right is
// copied byte for byte; a bitmap, or a PNG with a CRC that does not match, is decoded and
// encoded again, into a PNG whose CRCs are right.
TEST(CliExtract, PngHoldsTheLargestImageCopiedOrEncoded) {
    fixtures::TempDir in, out;
    const Bytes big = sizedDib(48, 8);
    const Bytes bigPng = fixtures::makePng(64, 64, [](int x, int y) { return 0xFF000000u | (x * 4u << 16) | (y * 4u); });
    Bytes badCrc = bigPng;
    badCrc[badCrc.size() - 1] ^= 0x55;  // IEND's CRC
    ASSERT_TRUE(fixtures::writeFile(in.file("app.exe"), fixtures::makePe({{resId(1), {sizedDib(16, 4), big, sizedDib(32, 32)}, {}}})));
    ASSERT_TRUE(fixtures::writeFile(in.file("icons.ico"), fixtures::makeIco({{sizedDib(32, 4)}, {bigPng}, {sizedDib(16, 8)}})));
    ASSERT_TRUE(fixtures::writeFile(in.file("odd.ico"), fixtures::makeIco({{sizedDib(32, 4)}, {badCrc}})));
    const CliRun run = extract({in.path(), "-o", out.path(), "--format", "png"});
    EXPECT_EQ(run.status, 0);
    expectSummaryOnly(run);

    const struct { const char* name; const Bytes& source; int size; bool copied; } cases[] = {
        {"app.exe-#1.png", big, 48, false},
        {"icons.ico.png", bigPng, 64, true},
        {"odd.ico.png", bigPng, 64, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = fixtures::readFile(out.file(c.name));
        EXPECT_EQ(formats::wholePngLength(file), file.size());  // every CRC right, IEND last
        EXPECT_EQ(file == c.source, c.copied);
        const auto written = formats::decodeIconImage(file);
        ASSERT_TRUE(written);
        EXPECT_EQ(written->width, c.size);
        EXPECT_EQ(written->height, c.size);
        EXPECT_EQ(written->pixels, formats::decodeIconImage(c.source)->pixels);
    }
}

TEST(CliExtract, IcoFileGivesItsImagesAsOneIcon) {
    fixtures::TempDir in, out;
    fixtures::DibSpec dib;
    dib.width = dib.height = 16;
    dib.sizeImage = 777;  // written as 0, as every .ico save does
    const std::vector<Bytes> images = {fixtures::makeDib(dib), sizedDib(32, 24)};
    // Named without .ico: the content decides.
    ASSERT_TRUE(fixtures::writeFile(in.file("pack.bin"), fixtures::makeIco({{images[0]}, {images[1]}})));
    const CliRun run = extract({in.file("pack.bin"), "-o", out.path()});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(filesIn(out.path()), std::set<std::string>{"pack.bin.ico"});
    const std::vector<Bytes> stored = icoImages(fixtures::readFile(out.file("pack.bin.ico")));
    ASSERT_EQ(stored.size(), 2u);
    Bytes first = images[0];
    fixtures::putU32(first, 20, 0);
    EXPECT_EQ(stored[0], first);
    EXPECT_EQ(stored[1], images[1]);
}

TEST(CliExtract, NamesAreSafeForTheFileSystemAndCollisionsNumberedInOrder) {
    fixtures::TempDir in, out;
    const std::string longName(300, 'L');
    // Directory order (string names sorted ignoring case): ".HID", "A/B", "A_B", "L...", "X\0Y", "x\nY".
    ASSERT_TRUE(fixtures::writeFile(in.file(".m.dll"), fixtures::makePe({
        {resName("A/B"), {sizedDib(16, 4)}, {}},
        {resName("A_B"), {sizedDib(32, 4)}, {}},
        {resName(".HID"), {sizedDib(16, 8)}, {}},
        {resName(std::string("X\0Y", 3)), {sizedDib(16, 1)}, {}},
        {resName("x\nY"), {sizedDib(32, 1)}, {}},
        {resName(longName), {sizedDib(16, 24)}, {}},
    })));
    // NE names are the bytes the file holds, here not valid UTF-8.
    ASSERT_TRUE(fixtures::writeFile(in.file("n.icl"), fixtures::makeNe({{resName("\xFF\xFEok"), {sizedDib(16, 4)}, {}}})));
    const CliRun run = extract({in.path(), "-o", out.path()});
    EXPECT_EQ(run.status, 0);
    expectSummaryOnly(run);

    const std::string longOut = "_m.dll-" + std::string(255 - 8 - 4 - 7, 'L') + ".ico";
    const std::set<std::string> expected = {
        "_m.dll-.HID.ico", "_m.dll-A_B.ico", "_m.dll-A_B~2.ico", "_m.dll-X_Y.ico", "_m.dll-x_Y~2.ico",
        longOut, "n.icl-\xFF\xFEok.ico"};
    EXPECT_EQ(filesIn(out.path()), expected);
    // The numbered name belongs to the later group in directory order.
    EXPECT_EQ(icoImages(fixtures::readFile(out.file("_m.dll-A_B.ico")))[0], sizedDib(16, 4));
    EXPECT_EQ(icoImages(fixtures::readFile(out.file("_m.dll-A_B~2.ico")))[0], sizedDib(32, 4));
    EXPECT_EQ(icoImages(fixtures::readFile(out.file("_m.dll-x_Y~2.ico")))[0], sizedDib(32, 1));
}

TEST(CliExtract, FilterAndRecursionChooseTheFiles) {
    fixtures::TempDir top;
    const Bytes module = fixtures::makePe({{resId(1), {sizedDib(16, 4)}, {}}});
    for (const char* name : {"a.exe", "b.dll", "sub/d.dll", "sub/deeper/e.DLL"}) {
        std::filesystem::create_directories(std::filesystem::path(top.file(name)).parent_path());
        ASSERT_TRUE(fixtures::writeFile(top.file(name), module));
    }
    ASSERT_TRUE(fixtures::writeFile(top.file("c.ico"), fixtures::makeIco({{sizedDib(16, 4)}})));
    ASSERT_TRUE(fixtures::writeFile(top.file("notes.txt"), {'h', 'i'}));
    ASSERT_EQ(symlink("..", top.file("sub/loop").c_str()), 0);  // a loop back to the top
    ASSERT_EQ(mkfifo(top.file("pipe").c_str(), 0600), 0);       // opening it would hang

    const struct {
        std::vector<std::string> args;
        std::set<std::string> outputs;
        const char* summary;
    } cases[] = {
        {{top.path()}, {"a.exe-#1.ico", "b.dll-#1.ico", "c.ico.ico"},
         "5 files, 3 icons written; skipped 2 files (1 without icons, 1 not a regular file)\n"},
        {{top.path(), "--filter", "*.DLL"}, {"b.dll-#1.ico"}, "1 file, 1 icon written\n"},
        {{top.path(), top.path() + "/", "--filter", "*.DLL"}, {"b.dll-#1.ico"}, "1 file, 1 icon written\n"},  // walked once
        {{top.path(), "-r", "--filter", "*.dll"}, {"b.dll-#1.ico", "d.dll-#1.ico", "e.DLL-#1.ico"},
         "3 files, 3 icons written; passed by 1 link to a directory\n"},
        {{top.path(), "--recursive", "--filter", "?.*"},
         {"a.exe-#1.ico", "b.dll-#1.ico", "c.ico.ico", "d.dll-#1.ico", "e.DLL-#1.ico"},
         "5 files, 5 icons written; passed by 1 link to a directory\n"},
        {{top.file("sub/d.dll"), top.file("a.exe"), "--filter", "*.ico"}, {"d.dll-#1.ico", "a.exe-#1.ico"},
         "2 files, 2 icons written\n"},
    };
    for (const auto& c : cases) {
        fixtures::TempDir out;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", out.path()});
        const CliRun run = extract(args);
        SCOPED_TRACE(args[1]);
        EXPECT_EQ(run.status, 0);
        expectSummaryOnly(run);
        EXPECT_EQ(run.out, c.summary);
        EXPECT_EQ(filesIn(out.path()), c.outputs);
    }
}

TEST(CliExtract, OutputDirectoryInsideTheTreeIsNotRead) {
    fixtures::TempDir top;
    ASSERT_TRUE(fixtures::writeFile(top.file("a.dll"), fixtures::makePe({{resId(1), {sizedDib(16, 4)}, {}}})));
    const std::string out = top.file("icons");
    for (int pass = 0; pass < 2; ++pass) {
        const CliRun run = extract({top.path(), "-r", "-o", out});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(filesIn(out), std::set<std::string>{"a.dll-#1.ico"});
    }
}

TEST(CliExtract, ExistingFilesAreKeptUnlessForced) {
    fixtures::TempDir in, out;
    ASSERT_TRUE(fixtures::writeFile(in.file("m.dll"), fixtures::makePe({{resId(1), {sizedDib(16, 4)}, {}},
                                                                         {resId(2), {sizedDib(32, 8)}, {}}})));
    ASSERT_EQ(extract({in.path(), "-o", out.path()}).status, 0);
    const Bytes first = fixtures::readFile(out.file("m.dll-#2.ico"));
    ASSERT_TRUE(fixtures::writeFile(out.file("m.dll-#1.ico"), {'o', 'l', 'd'}));

    CliRun again = extract({in.path(), "-o", out.path()});
    EXPECT_EQ(again.status, 0);
    expectSummaryOnly(again);
    EXPECT_EQ(again.out, "1 file, 0 icons written, 2 already there (kept; --force replaces them)\n");
    EXPECT_EQ(fixtures::readFile(out.file("m.dll-#1.ico")), (Bytes{'o', 'l', 'd'}));

    CliRun forced = extract({in.path(), "-o", out.path(), "--force"});
    EXPECT_EQ(forced.status, 0);
    EXPECT_EQ(forced.out, "1 file, 2 icons written\n");
    EXPECT_EQ(fixtures::readFile(out.file("m.dll-#2.ico")), first);
    EXPECT_EQ(icoImages(fixtures::readFile(out.file("m.dll-#1.ico")))[0], sizedDib(16, 4));
    for (const std::string& name : filesIn(out.path())) EXPECT_NE(name[0], '.') << "temporary file left: " << name;
}

TEST(CliExtract, ExitStatusTellsWhetherAnythingFailed) {
    fixtures::TempDir in, out, blocked;
    fixtures::PeOptions withBrokenGroup;
    // Group #7 names an RT_ICON that the module does not hold.
    withBrokenGroup.extra.push_back({resId(14), resId(7), fixtures::makeGroupDirectory({sizedDib(16, 4)}, {999})});
    ASSERT_TRUE(fixtures::writeFile(in.file("broken.dll"), fixtures::makePe({{resId(1), {sizedDib(16, 4)}, {}}}, withBrokenGroup)));
    ASSERT_TRUE(fixtures::writeFile(in.file("notes.txt"), {'h', 'i'}));
    ASSERT_TRUE(fixtures::writeFile(blocked.file("file"), {'x'}));

    // A failure is also told on stderr, one line naming the file and the reason.
    const struct {
        std::vector<std::string> args;
        int status;
        const char* summary;  // empty: a usage error, told on stderr
        std::string says = "";
    } cases[] = {
        {{in.file("broken.dll"), "-o", out.path()}, 1, "1 file, 1 icon written; failed: 1 file with damaged icon data\n",
         in.file("broken.dll") + ": damaged icon data\n"},
        {{in.file("missing.dll"), "-o", out.path()}, 1, "1 file, 0 icons written; failed: 1 file unreadable\n",
         in.file("missing.dll") + ": cannot be read: No such file or directory\n"},
        {{in.file("notes.txt"), "-o", out.path()}, 1, "1 file, 0 icons written; failed: 1 file without icons\n",
         in.file("notes.txt") + ": holds no icons\n"},
        {{in.path(), "--filter", "*.txt", "-o", out.path()}, 0,
         "1 file, 0 icons written; skipped 1 file (1 without icons)\n"},
        {{in.path()}, 2, ""},
        {{"-o", out.path()}, 2, ""},
        {{in.path(), "-o", out.path(), "--format", "gif"}, 2, ""},
        {{in.path(), "-o", out.path(), "--colour"}, 2, ""},
        {{in.path(), "-o", blocked.file("file")}, 1, ""},
    };
    for (const auto& c : cases) {
        const CliRun run = extract(c.args);
        SCOPED_TRACE(c.args.back());
        EXPECT_EQ(run.status, c.status);
        if (!c.says.empty()) {
            EXPECT_EQ(run.out, c.summary);
            EXPECT_EQ(run.err, "vexil-cli: " + c.says);
        } else if (*c.summary) {
            expectSummaryOnly(run);
            EXPECT_EQ(run.out, c.summary);
        } else {
            EXPECT_EQ(run.out, "");
            EXPECT_NE(run.err, "");
        }
    }
    EXPECT_TRUE(filesIn(out.path()).count("broken.dll-#1.ico"));
}

TEST(CliExtract, WalksStayInTheTreeAndNeverOpenSpecialFiles) {
    fixtures::TempDir top, elsewhere;
    const Bytes module = fixtures::makePe({{resId(1), {sizedDib(16, 4)}, {}}});
    ASSERT_TRUE(fixtures::writeFile(top.file("a.dll"), module));
    ASSERT_TRUE(fixtures::writeFile(elsewhere.file("outside.dll"), module));
    std::filesystem::create_directory(top.file("sub"));
    ASSERT_EQ(symlink("/", top.file("sub/root").c_str()), 0);
    ASSERT_EQ(symlink("..", top.file("sub/up").c_str()), 0);
    ASSERT_EQ(symlink(elsewhere.path().c_str(), top.file("sub/there").c_str()), 0);
    ASSERT_EQ(symlink(elsewhere.file("outside.dll").c_str(), top.file("sub/linked.dll").c_str()), 0);
    // A writer waits on the FIFO: it must still wait after the walks.
    fixtures::FifoWriter writer(top.file("sub/pipe.dll"));
    ASSERT_TRUE(writer.started());
    ASSERT_EQ(symlink("pipe.dll", top.file("sub/topipe.dll").c_str()), 0);
    const struct {
        std::vector<std::string> args;
        std::set<std::string> outputs;
        const char* summary;
    } cases[] = {
        {{top.path(), "-r"}, {"a.dll-#1.ico", "linked.dll-#1.ico"},
         "4 files, 2 icons written; skipped 2 files (2 not regular files); passed by 3 links to directories\n"},
        // A PATH given is followed, as find -H does.
        {{top.file("sub/there"), "-r"}, {"outside.dll-#1.ico"}, "1 file, 1 icon written\n"},
    };
    for (const auto& c : cases) {
        fixtures::TempDir out;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"-o", out.path(), "--verbose"});
        const CliRun run = extract(args);
        SCOPED_TRACE(args[0]);
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, c.summary);
        EXPECT_EQ(filesIn(out.path()), c.outputs);
    }
    const CliRun verbose = extract({top.path(), "-r", "-o", top.file("out"), "-v", "--force"});
    for (const char* link : {"sub/root", "sub/up", "sub/there"})
        EXPECT_NE(verbose.err.find(top.file(link) + ": a link to a directory, not followed\n"), std::string::npos) << link;
    EXPECT_NE(verbose.err.find(top.file("sub/topipe.dll") + ": not a regular file\n"), std::string::npos);
    EXPECT_TRUE(writer.waiting()) << "the FIFO was opened";
    EXPECT_TRUE(writer.release());
}

// A chain of directories named "d", `levels` deep below `top`, made through descriptors
// (its paths pass the system's limit); files[level] are written into that level.
void makeChain(const std::string& top, int levels, const std::map<int, std::map<std::string, Bytes>>& files) {
    ASSERT_EQ(::mkdir(top.c_str(), 0700), 0);
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; fd >= 0; ++level) {
        if (const auto here = files.find(level); here != files.end()) {
            for (const auto& [name, bytes] : here->second) {
                const int file = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
                ASSERT_EQ(::write(file, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
                ::close(file);
            }
        }
        if (level == levels) break;
        ASSERT_EQ(::mkdirat(fd, "d", 0700), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    ::close(fd);
}

// Removes such a chain: each level in turn is moved up beside the top and the emptied one
// removed, so that no path grows long and two descriptors are open at most.
void removeChain(const std::string& top) {
    const std::string parent = std::filesystem::path(top).parent_path().string();
    const std::string name = std::filesystem::path(top).filename().string();
    const int up = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (bool deeper = true; deeper && up >= 0;) {
        const int level = ::openat(up, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (level < 0) break;
        deeper = ::renameat(level, "d", up, "chain-next") == 0;
        std::error_code ec;
        for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd/" + std::to_string(level), ec))
            ::unlinkat(level, e.path().filename().c_str(), 0);
        ::close(level);
        ::unlinkat(up, name.c_str(), AT_REMOVEDIR);
        if (deeper) ::renameat(up, "chain-next", up, name.c_str());
    }
    if (up >= 0) ::close(up);
}

// Where many directories are made and removed: a memory file system when there is one,
// since a disk mounted with "discard" takes milliseconds to remove each directory.
std::string manyDirectoriesBase() {
    struct statfs fs {};
    return ::statfs("/dev/shm", &fs) == 0 && fs.f_type == TMPFS_MAGIC && ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "";
}

// A tree of 20,000 levels is extracted whole, in order, with at most 64 descriptors for
// the walk (the run gets 80 in all) and memory far below what a path per level would take.
TEST(CliExtract, TreesOfAnyDepthInBoundedMemoryAndDescriptors) {
    constexpr int kLevels = 20000;
    fixtures::TempDir top(manyDirectoriesBase()), out;
    const std::string chain = top.file("deep");
    // "a.dll" comes before the subdirectory "d", "m.dll" after it: the walk and the
    // extraction go down the whole chain and back up.
    const std::vector<Bytes> images = {sizedDib(16, 4), sizedDib(32, 4), sizedDib(48, 4), sizedDib(16, 8)};
    auto module = [&images](std::size_t i) { return fixtures::makePe({{resId(1), {images[i]}, {}}}); };
    makeChain(chain, kLevels, {{0, {{"a.dll", module(0)}, {"m.dll", module(3)}}},
                               {kLevels / 2, {{"m.dll", module(2)}}},
                               {kLevels, {{"m.dll", module(1)}}}});
    if (HasFatalFailure()) return removeChain(chain);

    const long floorKiB = fixtures::runProgram({"/bin/true"}).maxRssKiB;
    const fixtures::ProgramRun run = fixtures::runProgram({"/bin/sh", "-c", "ulimit -n 80 && exec \"$0\" \"$@\"", VEXIL_CLI_PATH,
                                                           "extract", chain, "-r", "-o", out.path()});
    removeChain(chain);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, "4 files, 4 icons written\n");
    EXPECT_LT(run.maxRssKiB - floorKiB, 64 * 1024);
    // Outputs are named in the order the files come: the clash numbers tell it.
    const std::pair<const char*, std::size_t> outputs[] = {
        {"a.dll-#1.ico", 0}, {"m.dll-#1.ico", 1}, {"m.dll-#1~2.ico", 2}, {"m.dll-#1~3.ico", 3}};
    for (const auto& [name, image] : outputs) {
        const std::vector<Bytes> stored = icoImages(fixtures::readFile(out.file(name)));
        ASSERT_EQ(stored.size(), 1u) << name;
        EXPECT_EQ(stored[0], images[image]) << name;
    }
}

// A run killed at any moment leaves no empty or partial file under a final name: every
// file that has its name is a whole PNG, whatever was cut short lies under a temporary
// (hidden) name. The run is killed after 1, 2, 4, ... ms until one finishes.
TEST(CliExtract, AKilledRunLeavesOnlyWholeFilesUnderFinalNames) {
    fixtures::TempDir in;
    for (int i = 0; i < 120; ++i)
        ASSERT_TRUE(fixtures::writeFile(in.file("m" + std::to_string(i) + ".dll"),
                                        fixtures::makePe({fixtures::modernIcon(resId(1), fixtures::detailedPng(i))})));
    bool finished = false, cutShort = false;
    for (int delayMs = 1; !finished && delayMs < 60000; delayMs *= 2) {
        fixtures::TempDir out;
        const std::vector<std::string> args = {VEXIL_CLI_PATH, "extract", in.path(), "-o", out.path(), "--format", "png"};
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawn_file_actions_t quiet;
        posix_spawn_file_actions_init(&quiet);
        posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t pid = 0;
        ASSERT_EQ(posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&quiet);
        ::usleep(static_cast<useconds_t>(delayMs) * 1000);
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        finished = WIFEXITED(status);
        for (const std::string& name : filesIn(out.path())) {
            if (name[0] == '.') {
                cutShort = true;
                continue;
            }
            const Bytes file = fixtures::readFile(out.file(name));
            EXPECT_EQ(formats::wholePngLength(file), file.size()) << name << " after " << delayMs << " ms";
        }
        if (finished) {
            EXPECT_EQ(filesIn(out.path()).size(), 120u);
        }
    }
    EXPECT_TRUE(finished);
    EXPECT_TRUE(cutShort) << "no run was killed while it wrote";
}

TEST(CliExtract, AnOutputFolderLeftEmptyIsRemoved) {
    fixtures::TempDir in, out;
    ASSERT_TRUE(fixtures::writeFile(in.file("notes.txt"), {'h', 'i'}));
    ASSERT_TRUE(fixtures::writeFile(in.file("a.dll"), fixtures::makePe({{resId(1), {sizedDib(16, 4)}, {}}})));
    std::filesystem::create_directory(out.file("kept"));
    const struct {
        std::string input, outDir;
        bool stays;
    } cases[] = {
        {in.file("notes.txt"), out.file("new/deeper"), false},  // made by the run, left empty
        {in.file("notes.txt"), out.file("kept"), true},         // there before
        {in.file("a.dll"), out.file("made"), true},             // holds what was written
    };
    for (const auto& c : cases) {
        extract({c.input, "-o", c.outDir});
        EXPECT_EQ(std::filesystem::exists(c.outDir), c.stays) << c.outDir;
    }
    EXPECT_FALSE(std::filesystem::exists(out.file("new")));

    // A run whose every write fails (a file-size limit of 0, as on a full disk) says why and
    // leaves no folder behind.
    const std::string full = out.file("full");
    // The limit is the subshell's alone; stderr goes through a pipe, which it does not cover.
    const std::string command = "(trap '' XFSZ; ulimit -f 0; '" VEXIL_CLI_PATH "' extract '" + in.file("a.dll") + "' -o '" +
                                full + "' 2>&1 >/dev/null; echo status \\$?) | cat >'" + out.file("full.err") + "'";
    ASSERT_EQ(std::system(("sh -c \"" + command + "\"").c_str()), 0);
    const Bytes err = fixtures::readFile(out.file("full.err"));
    EXPECT_EQ(std::string(err.begin(), err.end()),
              "vexil-cli: " + full + "/a.dll-#1.ico: cannot be written: File too large\nstatus 1\n");
    EXPECT_FALSE(std::filesystem::exists(full));
}

}  // namespace

// Each input is opened once, whatever its kind: its kind, resources and images are all read
// through that one opening. Run in this process, where the openings are counted.
TEST(CliExtract, EachInputIsOpenedOnce) {
    fixtures::TempDir in, out;
    const Bytes dib = patternDib(16, 4);
    ASSERT_TRUE(fixtures::writeFile(in.file("app.exe"), fixtures::makePe({fixtures::patternIcon(resId(1)), fixtures::patternIcon(resName("B"))})));
    ASSERT_TRUE(fixtures::writeFile(in.file("old.icl"), fixtures::makeNe({fixtures::patternIcon(resId(3))})));
    ASSERT_TRUE(fixtures::writeFile(in.file("one.ico"), fixtures::makeIco({{dib}})));
    ASSERT_TRUE(fixtures::writeFile(in.file("arrow.cur"), fixtures::makeCur({{dib, 1, 2}})));
    ASSERT_TRUE(fixtures::writeFile(in.file("notes.txt"), Bytes{'h', 'i'}));
    for (const char* format : {"ico", "png"}) {
        fixtures::TempDir outDir;
        const std::uint64_t before = platform::filesOpened();
        EXPECT_EQ(cli::runCommand("extract", {in.path(), "-o", outDir.path(), "--format", format, "--cursors"}), 0) << format;
        EXPECT_EQ(platform::filesOpened() - before, 5u) << format;
        EXPECT_EQ(filesIn(outDir.path()).size(), 5u) << format;  // 2 + 1 + 1 icons, 1 cursor
    }
}
