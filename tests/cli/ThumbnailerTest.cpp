// vexil-thumbnailer run as a program, as a file manager runs it: the PNG it writes (size,
// pixels, transparency), its exit status and its one line on stderr, what it leaves behind
// on failure, and how little of a large program it reads.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>

#include "formats/IconDecode.h"
#include "platform/Confine.h"
#include "platform/FileSource.h"
#include "platform/IconExtract.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"
#include "support/RunProgram.h"

namespace {

using fixtures::Bytes;
using fixtures::resId;
using formats::ArgbImage;

fixtures::ProgramRun thumbnail(std::vector<std::string> args) {
    args.insert(args.begin(), VEXIL_THUMBNAILER_PATH);
    return fixtures::runProgram(args);
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The written PNG decoded (premultiplied ARGB, as the decoder gives every icon image).
std::optional<ArgbImage> readPng(const std::string& path) {
    const Bytes bytes = fixtures::readFile(path);
    if (!formats::isPng(bytes)) return std::nullopt;
    return formats::decodeIconImage(bytes);
}

// A 32-bit image whose left half is transparent (alpha 0) and right half opaque green,
// or a 4-bit one whose left half is masked (black under the AND mask) and right half red.
Bytes halfTransparent(int size, int bitCount) {
    fixtures::DibSpec s;
    s.width = s.height = size;
    s.bitCount = bitCount;
    s.palette = {0xFF000000u, 0xFFFF0000u};
    s.pixel = [size, bitCount](int x, int) -> std::uint32_t {
        if (bitCount <= 8) return x < size / 2 ? 0u : 1u;
        return x < size / 2 ? 0u : 0xFF00FF00u;
    };
    s.mask = [size](int x, int) { return x < size / 2; };
    return fixtures::makeDib(s);
}

}  // namespace

TEST(Thumbnailer, SizesFromTheLargestImageNeverEnlarged) {
    fixtures::TempDir dir;
    const Bytes png = fixtures::detailedPng(3);
    fixtures::DibSpec wide;
    wide.width = 64;
    wide.height = 32;
    wide.bitCount = 24;
    wide.pixel = [](int, int) { return 0xFF0000FFu; };
    const struct {
        const char* name;
        Bytes bytes;
    } files[] = {
        {"modern.exe", fixtures::makePe({fixtures::modernIcon(resId(1), png), fixtures::patternIcon(resId(2), {64})})},
        {"small.dll", fixtures::makePe({fixtures::patternIcon(resId(5), {16, 32}, 8)}, {.plus = true})},
        {"old.exe", fixtures::makeNe({fixtures::patternIcon(resId(1), {16, 48, 32}, 4)})},
        {"wide.ico", fixtures::makeIco({{fixtures::makeDib(wide)}, {fixtures::patternDib(16, 4)}})},
    };
    for (const auto& f : files) ASSERT_TRUE(fixtures::writeFile(dir.file(f.name), f.bytes));

    const auto original = formats::decodeIconImage(png);
    ASSERT_TRUE(original);
    const struct Case {
        const char* file;
        std::vector<std::string> options;
        int width, height;
    } cases[] = {
        {"modern.exe", {}, 128, 128},  // the default size, from the 256-pixel PNG
        {"modern.exe", {"-s", "256"}, 256, 256},
        {"modern.exe", {"--size", "48"}, 48, 48},  // the group's own 48-pixel image
        {"modern.exe", {"-s", "1024"}, 256, 256},
        {"small.dll", {"-s", "128"}, 32, 32},
        {"small.dll", {"-s", "16"}, 16, 16},
        {"old.exe", {}, 48, 48},
        {"wide.ico", {"-s", "16"}, 16, 16},  // its own 16-pixel image
        {"wide.ico", {"-s", "32"}, 32, 16},  // the 64 x 32 one, shrunk
        {"wide.ico", {"-s", "256"}, 64, 32},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.file) + " " + (c.options.empty() ? "" : c.options[1]);
        const std::string out = dir.file("out.png");
        std::vector<std::string> args = c.options;
        args.push_back(dir.file(c.file));
        args.push_back(out);
        const auto run = thumbnail(args);
        ASSERT_EQ(run.status, 0) << what << run.err;
        EXPECT_EQ(run.err, "") << what;
        const auto image = readPng(out);
        ASSERT_TRUE(image) << what;
        EXPECT_EQ(std::make_pair(image->width, image->height), std::make_pair(c.width, c.height)) << what;
        if (std::string(c.file) == "modern.exe" && c.width >= 128) {
            // The PNG image itself, shrunk by area averaging: not an enlarged bitmap.
            const ArgbImage expected =
                c.width == 256 ? *original : formats::scaleImage(*original, c.width, c.height);
            EXPECT_EQ(image->pixels, expected.pixels) << what;
        }
    }
}

TEST(Thumbnailer, KeepsTransparency) {
    fixtures::TempDir dir;
    for (int bits : {32, 4}) {
        const std::string in = dir.file("half" + std::to_string(bits) + ".ico");
        ASSERT_TRUE(fixtures::writeFile(in, fixtures::makeIco({{halfTransparent(32, bits)}})));
        for (const char* size : {"32", "16"}) {
            const std::string out = dir.file("out.png");
            ASSERT_EQ(thumbnail({"-s", size, in, out}).status, 0);
            const Bytes bytes = fixtures::readFile(out);
            ASSERT_GT(bytes.size(), 25u);
            EXPECT_EQ(bytes[25], 6) << "colour type RGBA";
            const auto image = readPng(out);
            ASSERT_TRUE(image);
            const int n = image->width;
            EXPECT_EQ(n, std::atoi(size));
            EXPECT_EQ(image->pixel(0, 0), 0u) << bits << " bits at " << size;
            EXPECT_EQ(image->pixel(n / 2 - 1, n - 1), 0u) << bits << " bits at " << size;
            EXPECT_EQ(image->pixel(n - 1, 0), bits == 32 ? 0xFF00FF00u : 0xFFFF0000u) << bits << " bits at " << size;
        }
    }
}

TEST(Thumbnailer, FailuresWriteNothingAndSayWhyOnOneLine) {
    fixtures::TempDir dir;
    const std::string good = dir.file("good.exe");
    ASSERT_TRUE(fixtures::writeFile(good, fixtures::makePe({fixtures::patternIcon(resId(1))})));
    ASSERT_TRUE(fixtures::writeFile(dir.file("noicons.exe"), fixtures::makePe({}, {.withResources = false})));
    ASSERT_TRUE(fixtures::writeFile(dir.file("text.exe"), Bytes(100, 'x')));
    Bytes damaged = fixtures::patternDib(32, 4);
    fixtures::putU32(damaged, 0, 7);
    ASSERT_TRUE(fixtures::writeFile(dir.file("damaged.dll"), fixtures::makePe({{resId(1), {damaged}}})));
    // A group whose image is not in the module.
    fixtures::PeLayout layout;
    Bytes missing = fixtures::makePe({fixtures::patternIcon(resId(1), {32})}, {}, &layout);
    fixtures::putU16(missing, layout.at(resId(14), resId(1)).data + 6 + 12, 901);
    ASSERT_TRUE(fixtures::writeFile(dir.file("missing.dll"), missing));
    ASSERT_EQ(::mkdir(dir.file("folder").c_str(), 0700), 0);
    ASSERT_EQ(::mkfifo(dir.file("pipe.png").c_str(), 0600), 0);

    const std::string out = dir.file("out.png");
    const struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{dir.file("noicons.exe"), out}, 1},
        {{dir.file("text.exe"), out}, 1},
        {{dir.file("damaged.dll"), out}, 1},
        {{dir.file("missing.dll"), out}, 1},
        {{dir.file("absent.exe"), out}, 1},
        {{dir.file("folder"), out}, 1},
        {{good, dir.file("no/such/dir/out.png")}, 1},
        {{good, dir.file("pipe.png")}, 1},  // only a regular file is ever replaced
        {{}, 2},
        {{good}, 2},
        {{good, out, dir.file("third")}, 2},
        {{"-s", "0", good, out}, 2},
        {{"-s", "1025", good, out}, 2},
        {{"-s", "12x", good, out}, 2},
        {{good, out, "-s"}, 2},
        {{"--frobnicate", good, out}, 2},
    };
    for (const Case& c : cases) {
        const std::string what = c.args.empty() ? "(no arguments)" : c.args.front() + " ...";
        const auto run = thumbnail(c.args);
        EXPECT_EQ(run.status, c.status) << what;
        EXPECT_FALSE(exists(out)) << what;
        EXPECT_EQ(run.out, "") << what;
        ASSERT_FALSE(run.err.empty()) << what;
        if (c.status == 1) {
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << what << ": " << run.err;
            EXPECT_EQ(run.err.rfind("vexil-thumbnailer: ", 0), 0u) << run.err;
        }
    }
    // An existing thumbnail keeps its bytes when the new one cannot be made.
    ASSERT_TRUE(fixtures::writeFile(out, Bytes{1, 2, 3}));
    EXPECT_EQ(thumbnail({dir.file("damaged.dll"), out}).status, 1);
    EXPECT_EQ(fixtures::readFile(out), (Bytes{1, 2, 3}));
    struct stat st {};
    ASSERT_EQ(::lstat(dir.file("pipe.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(thumbnail({"-h"}).status, 0);
}

TEST(Thumbnailer, AnEmptyOutputFileIsFilledInPlace) {
    // Thumbnail services create OUTPUT and read the result through the descriptor they
    // keep; a non-empty OUTPUT is replaced whole.
    fixtures::TempDir dir;
    const std::string in = dir.file("a.exe");
    ASSERT_TRUE(fixtures::writeFile(in, fixtures::makePe({fixtures::patternIcon(resId(1), {32})})));
    const std::string out = dir.file("tumbler-XXXX.png");
    const int fd = ::open(out.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(thumbnail({in, out}).status, 0);
    Bytes seen(64 * 1024);
    const ssize_t n = ::pread(fd, seen.data(), seen.size(), 0);
    ::close(fd);
    ASSERT_GT(n, 8);
    seen.resize(static_cast<std::size_t>(n));
    EXPECT_EQ(seen, fixtures::readFile(out));
    EXPECT_TRUE(formats::isPng(seen));

    ASSERT_TRUE(fixtures::writeFile(out, Bytes(100000, 7)));
    ASSERT_EQ(thumbnail({in, out}).status, 0);
    EXPECT_TRUE(readPng(out));
}

TEST(Thumbnailer, ReadsOnlyWhatItNeedsOfALargeProgram) {
    // 1 GiB of code before the resources; the file is sparse, so it costs no disk space.
    fixtures::TempDir dir;
    const std::string big = dir.file("big.exe");
    fixtures::PeLayout layout;
    const Bytes pe = fixtures::makePe({fixtures::modernIcon(resId(1), fixtures::detailedPng(2))}, {}, &layout);
    ASSERT_TRUE(fixtures::writePeWithGap(big, pe, layout, 1u << 30));
    struct stat st {};
    ASSERT_EQ(::stat(big.c_str(), &st), 0);
    ASSERT_GT(st.st_size, 1 << 30);
    if (st.st_blocks * 512 > (64 << 20)) GTEST_SKIP() << "the file system keeps no holes";

    auto source = platform::FileSource::open(big);
    ASSERT_TRUE(source);
    const platform::FileSource* counter = source.get();
    auto file = formats::IconFile::fromSource(std::move(source));
    ASSERT_EQ(file->count(), 1);
    const auto largest = file->largestImage(0);
    ASSERT_TRUE(largest);
    EXPECT_EQ(largest->width, 256);
    EXPECT_LE(counter->readCalls(), 8u);

    // A child's peak memory includes what the test runner held when the child started, so
    // it is compared with that of a program that does nothing.
    const long floorKiB = fixtures::runProgram({"/bin/true"}).maxRssKiB;
    const auto run = thumbnail({"-s", "256", big, dir.file("big.png")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_LT(run.maxRssKiB - floorKiB, 256 * 1024) << "peak memory far below the file's size";
    const auto image = readPng(dir.file("big.png"));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 256);
}

TEST(Thumbnailer, NeverWritesOverItsInputOrAReadOnlyFile) {
    fixtures::TempDir dir;
    const std::string in = dir.file("app.exe");
    const Bytes program = fixtures::makePe({fixtures::patternIcon(resId(1), {32})});
    ASSERT_TRUE(fixtures::writeFile(in, program));
    ASSERT_EQ(::link(in.c_str(), dir.file("hard.png").c_str()), 0);
    ASSERT_EQ(::symlink("app.exe", dir.file("soft.png").c_str()), 0);
    ASSERT_TRUE(fixtures::writeFile(dir.file("readonly.png"), Bytes{1, 2, 3}));
    ASSERT_EQ(::chmod(dir.file("readonly.png").c_str(), 0444), 0);
    ASSERT_TRUE(fixtures::writeFile(dir.file("emptyreadonly.png"), Bytes{}));
    ASSERT_EQ(::chmod(dir.file("emptyreadonly.png").c_str(), 0444), 0);

    const struct Case {
        std::string output;
        int status;
        const char* says;
        Bytes keeps;
    } cases[] = {
        {in, 2, "is the input file", program},
        {dir.file("hard.png"), 2, "is the input file", program},
        {dir.file("soft.png"), 2, "is the input file", program},
        {dir.file("readonly.png"), 1, "Permission denied", Bytes{1, 2, 3}},
        {dir.file("emptyreadonly.png"), 1, "Permission denied", Bytes{}},
    };
    for (const Case& c : cases) {
        const auto run = thumbnail({in, c.output});
        EXPECT_EQ(run.status, c.status) << c.output;
        EXPECT_NE(run.err.find(c.output), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(fixtures::readFile(c.output), c.keeps) << c.output;
    }
    EXPECT_EQ(fixtures::readFile(in), program);
}

// The installed program has all three layers; a test build of it takes only some
// (VEXIL_TEST_LAYERS) and, once confined, tries what the sandbox must stop
// (VEXIL_TEST_ATTEMPT). Each layer is shown to stop on its own what it covers; with no
// layer every attempt gets through, so the test can tell.
TEST(Thumbnailer, EachLayerOfTheSandboxStopsTheChildOnItsOwn) {
    fixtures::TempDir dir;
    const std::string in = dir.file("app.exe");
    ASSERT_TRUE(fixtures::writeFile(in, fixtures::makePe({fixtures::patternIcon(resId(1), {32})})));
    const bool landlock = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, 1u) >= 4;  // files and TCP
    // Sanitizer builds leave out the address-space limit and let the filter write anywhere.
    const bool wholeLayers = platform::confineLayersLeftOut() == nullptr;
    enum Outcome { Killed, Refused, Escaped };
    const struct Case {
        const char* layers;
        const char* attempt;
        Outcome outcome;
    } cases[] = {
        {"seccomp", "open", Killed},    {"seccomp", "socket", Killed},   {"seccomp", "exec", Killed},
        {"seccomp", "execmem", Killed}, {"seccomp", "stdout", Killed},   {"landlock", "open", Refused},
        {"landlock", "socket", Refused}, {"landlock", "exec", Refused},  {"limits", "memory", Refused},
        {"none", "open", Escaped},      {"none", "socket", Escaped},     {"none", "exec", Escaped},
        {"none", "memory", Escaped},    {"none", "execmem", Escaped},    {"none", "stdout", Escaped},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.layers) + " / " + c.attempt;
        if (std::string(c.layers) == "landlock" && !landlock) {
            std::printf("skipped %s: the kernel has no Landlock of ABI 4 or later\n", what.c_str());
            continue;
        }
        const bool loosened = std::string(c.layers) == "limits" || std::string(c.attempt) == "stdout";
        if (loosened && std::string(c.layers) != "none" && !wholeLayers) {
            std::printf("skipped %s: this build leaves out %s\n", what.c_str(), platform::confineLayersLeftOut());
            continue;
        }
        ::setenv("VEXIL_TEST_LAYERS", c.layers, 1);
        ::setenv("VEXIL_TEST_ATTEMPT", c.attempt, 1);
        const std::string out = dir.file("out.png");
        ::unlink(out.c_str());
        const auto run = fixtures::runProgram({VEXIL_THUMBNAILER_HOOK_PATH, in, out});
        ::unsetenv("VEXIL_TEST_LAYERS");
        ::unsetenv("VEXIL_TEST_ATTEMPT");
        switch (c.outcome) {
        case Killed:
            EXPECT_EQ(run.status, 1) << what;
            EXPECT_NE(run.err.find(in + ": the sandboxed reader was stopped by signal 31 (SIGSYS"), std::string::npos)
                << what << ": " << run.err;
            EXPECT_FALSE(exists(out)) << what;
            break;
        case Refused:
            EXPECT_EQ(run.status, 0) << what << ": " << run.err;
            EXPECT_NE(run.err.find(std::string("test hook: ") + c.attempt + " refused"), std::string::npos) << what;
            EXPECT_TRUE(readPng(out)) << what;
            break;
        case Escaped:
            EXPECT_EQ(run.status, 1) << what;
            EXPECT_NE(run.err.find("ended with status 42"), std::string::npos) << what << ": " << run.err;
            EXPECT_FALSE(exists(out)) << what;
            break;
        }
    }
}
