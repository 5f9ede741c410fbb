// vexil-thumbnailer run as a program, as a file manager runs it: the PNG it writes (size,
// pixels, transparency), its exit status and its one line on stderr, what it leaves behind
// on failure, and how little of a large program it reads.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "formats/IconDecode.h"
#include "platform/Confine.h"
#include "platform/FileSource.h"
#include "platform/IconExtract.h"
#include "support/ImageFixtures.h"
#include "support/LinkFixtures.h"
#include "support/ModuleFixtures.h"
#include "support/RunProgram.h"

extern char** environ;

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

// A shortcut, .url, desktop.ini or package shows the icon it names, found inside the Wine
// prefix that holds it; what cannot be found is said on one line and nothing is written.
TEST(Thumbnailer, FilesThatNameAnIconShowIt) {
    fixtures::TempDir dir;
    const std::string prefix = dir.file("wine");
    fixtures::makePrefix(prefix, {.files = {"Program Files/App/readme.txt"}});
    constexpr fixtures::Argb kFirst = 0xFF2040C0, kSecond = 0xFFC04020, kThird = 0xFF20C040;
    const std::string app = prefix + "/drive_c/Program Files/App/app.exe";
    ASSERT_TRUE(fixtures::writeFile(app, fixtures::makePe({fixtures::solidIcon(3, kFirst), fixtures::solidIcon(7, kSecond)})));
    const auto link = [](const fixtures::LinkSpec& parts) { return fixtures::makeLink(parts); };
    fixtures::LinkSpec toTarget;
    toTarget.linkInfo = fixtures::LinkInfoSpec{.localBasePath = std::string("C:\\Program Files\\App\\app.exe")};
    fixtures::LinkSpec second;
    second.iconLocation = "C:\\PROGRAM FILES\\app\\APP.EXE";
    second.iconIndex = 1;
    fixtures::LinkSpec byId = second;
    byId.iconIndex = -7;
    fixtures::LinkSpec missing;
    missing.linkInfo = fixtures::LinkInfoSpec{.localBasePath = std::string("C:\\Program Files\\App\\gone.exe")};
    fixtures::LinkSpec network;
    network.linkInfo = fixtures::LinkInfoSpec{.netName = std::string("\\\\server\\share")};
    fixtures::LinkSpec document;
    document.linkInfo = fixtures::LinkInfoSpec{.localBasePath = std::string("C:\\Program Files\\App\\readme.txt")};
    fixtures::LinkSpec noGroup = second;
    noGroup.iconIndex = 5;
    const Bytes packageIcon = fixtures::makeIco({{fixtures::solidDib(48, kThird)}});

    const std::string out = dir.file("out.png");
    const struct Case {
        std::string name;  // below drive_c
        Bytes bytes;
        std::optional<fixtures::Argb> colour;  // nullopt: no thumbnail
        std::string said;                      // on stderr when there is none
    } cases[] = {
        {"target.lnk", link(toTarget), kFirst, ""},
        {"users/ann/second.lnk", link(second), kSecond, ""},
        {"by id.lnk", link(byId), kSecond, ""},
        {"site.url", fixtures::iniText({"[InternetShortcut]", "URL=https://example.invalid/", "IconIndex=1",
                                        "IconFile=%ProgramFiles%\\App\\app.exe"}, fixtures::TextEncoding::Utf16Bom),
         kSecond, ""},
        {"Program Files/App/desktop.ini", fixtures::iniText({"[.ShellClassInfo]", "IconResource=app.exe,-3"},
                                                            fixtures::TextEncoding::Ansi),
         kFirst, ""},
        {"setup.msi", fixtures::makeMsi({.icons = {{"app.ico", packageIcon}}}), kThird, ""},
        {"missing.lnk", link(missing), std::nullopt, "no such file: " + prefix + "/drive_c/Program Files/App/gone.exe"},
        {"network.lnk", link(network), std::nullopt, "a network location"},
        {"document.lnk", link(document), std::nullopt, "holds no such icon"},
        {"no group.lnk", link(noGroup), std::nullopt, "holds no such icon"},
        {"empty.url", fixtures::iniText({"[InternetShortcut]", "URL=https://example.invalid/"}, fixtures::TextEncoding::Ansi),
         std::nullopt, "names no icon"},
    };
    for (const Case& c : cases) {
        const std::string file = prefix + "/drive_c/" + c.name;
        ASSERT_TRUE(fixtures::writeFile(file, c.bytes)) << c.name;
        const auto run = thumbnail({"-s", "32", file, out});
        if (c.colour) {
            EXPECT_EQ(run.status, 0) << c.name << ": " << run.err;
            const auto png = readPng(out);
            ASSERT_TRUE(png) << c.name;
            EXPECT_EQ(png->pixel(png->width / 2, png->height / 2), *c.colour) << c.name;
        } else {
            EXPECT_EQ(run.status, 1) << c.name;
            EXPECT_FALSE(exists(out)) << c.name;
            EXPECT_NE(run.err.find(c.said), std::string::npos) << c.name << ": " << run.err;
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << c.name << ": " << run.err;
        }
        ::unlink(out.c_str());
    }
    // The file a shortcut names is never the one written over.
    const Bytes before = fixtures::readFile(app);
    EXPECT_EQ(thumbnail({prefix + "/drive_c/target.lnk", app}).status, 2);
    EXPECT_EQ(fixtures::readFile(app), before);
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
    auto file = formats::OpenedFile::fromSource(std::move(source));
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


// ---- the sandbox, through the test build ----
//
// vexil-thumbnailer-hook takes only the layers named in VEXIL_TEST_LAYERS, a wall clock
// of VEXIL_TEST_WALL_CLOCK_MS, and once confined tries what VEXIL_TEST_ATTEMPT names
// (tests/cli/ThumbnailerHook.cpp).

namespace {

// A run of a program of the build whose stderr is a pipe that nobody reads while it runs.
struct Spawned {
    struct Options {
        std::vector<std::string> env;  // NAME=VALUE, added to this process's environment
        int inherited = -1;            // given to the program as descriptor 9
        bool fullStderr = false;       // the pipe is full before the program starts
    };
    struct End {
        int status = -1;   // exit status; -1 when a signal (or the timeout) ended it
        std::string err;   // what reached the pipe (beyond what filled it)
        double seconds = 0;
    };

    Spawned(const std::vector<std::string>& args, const Options& options) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        errRead = fds[0];
        if (options.fullStderr) {
            ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
            const std::string block(4096, 'x');
            while (::write(fds[1], block.data(), block.size()) > 0) {
            }
            ::fcntl(fds[1], F_SETFL, 0);
            prefilled = true;
        }
        std::vector<std::string> all = args, env = options.env;
        for (char** e = environ; *e; ++e) env.push_back(*e);  // the first of a name counts
        std::vector<char*> argv, envp;
        for (std::string& a : all) argv.push_back(a.data());
        for (std::string& e : env) envp.push_back(e.data());
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        if (options.inherited >= 0) posix_spawn_file_actions_adddup2(&actions, options.inherited, 9);
        started = std::chrono::steady_clock::now();
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
    }
    ~Spawned() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        if (errRead >= 0) ::close(errRead);
    }

    // Waits for the program's end, killing it after `timeout` seconds.
    End wait(double timeout = 20) {
        End end;
        const auto limit = started + std::chrono::duration<double>(timeout);
        int status = 0;
        while (pid > 0) {
            const pid_t done = ::waitpid(pid, &status, WNOHANG);
            if (done == pid) break;
            if (std::chrono::steady_clock::now() > limit) ::kill(pid, SIGKILL);
            ::usleep(2000);
        }
        if (pid <= 0) return end;
        pid = -1;
        end.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        end.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        ::fcntl(errRead, F_SETFL, O_NONBLOCK);
        char buffer[4096];
        for (ssize_t n; (n = ::read(errRead, buffer, sizeof buffer)) > 0;) end.err.append(buffer, static_cast<std::size_t>(n));
        if (prefilled) end.err.erase(0, end.err.find_first_not_of('x'));
        return end;
    }

    pid_t pid = -1;
    int errRead = -1;
    bool prefilled = false;
    std::chrono::steady_clock::time_point started;
};

Spawned::End runHook(const std::vector<std::string>& args, const Spawned::Options& options, double timeout = 20) {
    std::vector<std::string> all = args;
    all.insert(all.begin(), VEXIL_THUMBNAILER_HOOK_PATH);
    return Spawned(all, options).wait(timeout);
}

// The processes whose parent is `parent`.
std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    DIR* proc = ::opendir("/proc");
    if (!proc) return children;
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = std::atoi(entry->d_name);
        if (pid <= 0) continue;
        const Bytes stat = fixtures::readFile("/proc/" + std::to_string(pid) + "/stat");
        const std::string text(stat.begin(), stat.end());
        // pid (comm) state ppid ...
        const std::size_t close = text.rfind(')');
        char state = 0;
        int ppid = 0;
        if (close != std::string::npos && std::sscanf(text.c_str() + close + 1, " %c %d", &state, &ppid) == 2 &&
            ppid == parent && state != 'Z')
            children.push_back(pid);
    }
    ::closedir(proc);
    return children;
}

bool alive(pid_t pid) {
    const Bytes stat = fixtures::readFile("/proc/" + std::to_string(pid) + "/stat");
    const std::string text(stat.begin(), stat.end());
    const std::size_t close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z' && text[close + 2] != 'X';
}

// A FUSE mount whose file system never answers: every look-up under it waits for good
// (until the mount goes). Needs the right to mount; mounted() tells.
class StalledMount {
public:
    StalledMount() {
        fuse_ = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
        if (fuse_ < 0) return;
        const std::string options = "fd=" + std::to_string(fuse_) + ",rootmode=40000,user_id=" +
                                    std::to_string(::getuid()) + ",group_id=" + std::to_string(::getgid());
        mounted_ = ::mount("vexil-stall", dir_.path().c_str(), "fuse.vexil-stall", MS_NOSUID | MS_NODEV,
                           options.c_str()) == 0;
    }
    ~StalledMount() {
        if (mounted_) ::umount2(dir_.path().c_str(), MNT_DETACH);
        if (fuse_ >= 0) ::close(fuse_);  // ends the requests still waiting
    }
    bool mounted() const { return mounted_; }
    std::string file(const std::string& name) const { return dir_.file(name); }

private:
    fixtures::TempDir dir_;
    int fuse_ = -1;
    bool mounted_ = false;
};

}  // namespace

// The installed program has all three layers; the test build takes only some and, once
// confined, tries what the sandbox must stop. Each layer is shown to stop on its own what
// it covers; with no layer every attempt gets through, so the test can tell, except those
// on descriptors the child no longer has. Every run has descriptor 9 open read-write on a
// file, which stays unchanged.
TEST(Thumbnailer, EachLayerOfTheSandboxStopsTheChildOnItsOwn) {
    fixtures::TempDir dir;
    const std::string in = dir.file("app.exe");
    ASSERT_TRUE(fixtures::writeFile(in, fixtures::makePe({fixtures::patternIcon(resId(1), {32})})));
    const Bytes victimBytes(8192, 'v');
    const std::string victim = dir.file("victim.txt");
    ASSERT_TRUE(fixtures::writeFile(victim, victimBytes));
    const int inherited = ::open(victim.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(inherited, 0);
    const bool landlock = ::syscall(SYS_landlock_create_ruleset, nullptr, 0, 1u) >= 4;  // files and TCP
    // Sanitizer builds leave out the address-space limit and let the filter write anywhere.
    const bool wholeLayers = platform::confineLayersLeftOut() == nullptr;
    enum Outcome { Killed, Refused, Escaped };
    const struct Case {
        const char* layers;
        const char* attempt;
        Outcome outcome;
    } cases[] = {
        {"seccomp", "open", Killed},
        {"seccomp", "socket", Killed},
        {"seccomp", "exec", Killed},
        {"seccomp", "execmem", Killed},
        {"seccomp", "stdout", Killed},
        {"seccomp", "mapinput", Killed},
        {"seccomp", "mapinherited", Killed},
        {"seccomp", "writeinherited", Killed},
        {"seccomp", "madvise", Killed},
        {"seccomp", "futex", Killed},
        {"seccomp,landlock,limits", "mapinherited", Killed},
        {"landlock", "open", Refused},
        {"landlock", "socket", Refused},
        {"landlock", "exec", Refused},
        {"limits", "memory", Refused},
        {"none", "open", Escaped},
        {"none", "socket", Escaped},
        {"none", "exec", Escaped},
        {"none", "memory", Escaped},
        {"none", "execmem", Escaped},
        {"none", "mapinput", Escaped},
        {"none", "madvise", Escaped},
        {"none", "futex", Escaped},
        // Closed before confinement: no layer is needed to keep these out.
        {"none", "stdout", Refused},
        {"none", "mapinherited", Refused},
        {"none", "writeinherited", Refused},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.layers) + " / " + c.attempt;
        if (std::string(c.layers) == "landlock" && !landlock) {
            std::printf("skipped %s: the kernel has no Landlock of ABI 4 or later\n", what.c_str());
            continue;
        }
        const std::string attempt = c.attempt;
        const bool loosened = std::string(c.layers) == "limits" || attempt == "stdout" || attempt == "writeinherited";
        if (loosened && std::string(c.layers) != "none" && !wholeLayers) {
            std::printf("skipped %s: this build leaves out %s\n", what.c_str(), platform::confineLayersLeftOut());
            continue;
        }
        const std::string out = dir.file("out.png");
        ::unlink(out.c_str());
        const auto run = runHook({in, out}, {.env = {std::string("VEXIL_TEST_LAYERS=") + c.layers,
                                                     "VEXIL_TEST_ATTEMPT=" + attempt},
                                             .inherited = inherited});
        switch (c.outcome) {
        case Killed:
            EXPECT_EQ(run.status, 1) << what;
            EXPECT_EQ(run.err, "vexil-thumbnailer: " + in +
                                   ": the sandboxed reader was stopped by signal 31 (SIGSYS, a system call the sandbox "
                                   "forbids); nothing written\n")
                << what;
            EXPECT_FALSE(exists(out)) << what;
            break;
        case Refused:
            EXPECT_EQ(run.status, 0) << what << ": " << run.err;
            EXPECT_NE(run.err.find("test hook: " + attempt + " refused"), std::string::npos) << what << ": " << run.err;
            EXPECT_TRUE(readPng(out)) << what;
            break;
        case Escaped:
            EXPECT_EQ(run.status, 1) << what;
            EXPECT_NE(run.err.find("ended with status 42"), std::string::npos) << what << ": " << run.err;
            EXPECT_FALSE(exists(out)) << what;
            break;
        }
        EXPECT_EQ(fixtures::readFile(victim), victimBytes) << what;
    }
    ::close(inherited);
}

// An exception in the confined child ends it with the message that names what happened:
// an allocation the memory limit refuses gives the memory message, not the filter's kill
// (a throw takes a lock of the runtime's own).
TEST(Thumbnailer, AnExceptionEndsTheChildWithTheMessageThatNamesIt) {
    fixtures::TempDir dir;
    const std::string app = dir.file("app.exe");
    ASSERT_TRUE(fixtures::writeFile(app, fixtures::makePe({fixtures::patternIcon(resId(1), {32})})));
    // An .ico file whose one entry claims 3 GiB, and has them (a sparse file).
    const std::uint64_t claimed = 3ull << 30;
    Bytes header(22, 0);
    fixtures::putU16(header, 2, 1);
    fixtures::putU16(header, 4, 1);
    header[6] = header[7] = 32;
    fixtures::putU16(header, 10, 1);
    fixtures::putU16(header, 12, 32);
    fixtures::putU32(header, 14, static_cast<std::uint32_t>(claimed));
    fixtures::putU32(header, 18, 22);
    const std::string huge = dir.file("huge.ico");
    ASSERT_TRUE(fixtures::writeFile(huge, header));
    ASSERT_EQ(::truncate(huge.c_str(), static_cast<off_t>(22 + claimed)), 0);
    struct stat st {};
    ASSERT_EQ(::stat(huge.c_str(), &st), 0);
    const bool sparse = st.st_blocks * 512 < (64 << 20);

    const std::string memory = "needs more than the sandbox's 512 MiB of memory; nothing written";
    const struct Case {
        const char* program;
        std::string input;
        const char* attempt;
        std::string says;
        bool needsMemoryLimit;
    } cases[] = {
        {VEXIL_THUMBNAILER_PATH, huge, "", memory, true},
        {VEXIL_THUMBNAILER_HOOK_PATH, app, "allocate", memory, true},
        {VEXIL_THUMBNAILER_HOOK_PATH, app, "throw",
         "the sandboxed reader failed: thrown by the test hook; nothing written", false},
    };
    for (const Case& c : cases) {
        const std::string what = c.input + " " + c.attempt;
        if (c.needsMemoryLimit && (!sparse || platform::confineLayersLeftOut())) {
            std::printf("skipped %s: no sparse files, or a build without the memory limit\n", what.c_str());
            continue;
        }
        const std::string out = dir.file("out.png");
        const auto run =
            Spawned({c.program, c.input, out}, {.env = {std::string("VEXIL_TEST_ATTEMPT=") + c.attempt}}).wait();
        EXPECT_EQ(run.status, 1) << what;
        EXPECT_EQ(run.err, "vexil-thumbnailer: " + c.input + ": " + c.says + "\n") << what;
        EXPECT_FALSE(exists(out)) << what;
    }
}

// The whole run has a wall clock: a child that spins or waits for ever, and a file system
// that never answers (opening INPUT, or looking at OUTPUT, waits where no signal handler
// runs), end it with one line naming INPUT, and nothing written.
TEST(Thumbnailer, TheWallClockEndsARunThatStalls) {
    fixtures::TempDir dir;
    const std::string app = dir.file("app.exe");
    ASSERT_TRUE(fixtures::writeFile(app, fixtures::makePe({fixtures::patternIcon(resId(1), {32})})));
    StalledMount stalled;
    const struct Case {
        const char* layers;
        const char* attempt;
        std::string input, output;
        bool onStalledMount;
    } cases[] = {
        {"seccomp,landlock,limits", "spin", app, dir.file("out.png"), false},
        {"none", "sleep", app, dir.file("out.png"), false},
        {"seccomp,landlock,limits", "", stalled.file("app.exe"), dir.file("out.png"), true},
        {"seccomp,landlock,limits", "", app, stalled.file("out.png"), true},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.attempt) + " " + c.input + " " + c.output;
        if (c.onStalledMount && !stalled.mounted()) {
            std::printf("skipped %s: cannot mount a FUSE file system here\n", what.c_str());
            continue;
        }
        const auto run = runHook({c.input, c.output}, {.env = {"VEXIL_TEST_WALL_CLOCK_MS=400",
                                                               std::string("VEXIL_TEST_LAYERS=") + c.layers,
                                                               std::string("VEXIL_TEST_ATTEMPT=") + c.attempt}});
        EXPECT_EQ(run.status, 1) << what;
        EXPECT_EQ(run.err, "vexil-thumbnailer: " + c.input +
                               ": not done within the wall-clock limit of 0.4 s; nothing written\n")
            << what;
        EXPECT_GE(run.seconds, 0.4) << what;
        EXPECT_LT(run.seconds, 4.0) << what;
        if (!c.onStalledMount) {
            EXPECT_FALSE(exists(c.output)) << what;
        }
    }
}

// A child that floods stderr while the thumbnailer's own stderr is a pipe nobody reads
// (empty, or full from the start) does not hold the run up: of the child's messages the
// first 4 KiB are passed on, in whole lines, where that does not block.
TEST(Thumbnailer, AChildFloodingStderrCannotHoldTheRunUp) {
    fixtures::TempDir dir;
    const std::string app = dir.file("app.exe");
    ASSERT_TRUE(fixtures::writeFile(app, fixtures::makePe({fixtures::patternIcon(resId(1), {32})})));
    for (bool full : {false, true}) {
        const std::string out = dir.file(full ? "full.png" : "empty.png");
        const auto run = runHook({app, out}, {.env = {"VEXIL_TEST_ATTEMPT=flood"}, .fullStderr = full}, 8);
        EXPECT_EQ(run.status, 0) << full << ": " << run.err.substr(0, 200);
        EXPECT_LT(run.seconds, 5.0) << full;
        EXPECT_TRUE(readPng(out)) << full;
        if (full) {
            EXPECT_EQ(run.err, "");
            continue;
        }
        EXPECT_LE(run.err.size(), platform::kConfinedMessages);
        EXPECT_GT(run.err.size(), platform::kConfinedMessages / 2);
        ASSERT_FALSE(run.err.empty());
        ASSERT_EQ(run.err.back(), '\n');
        std::size_t lines = 0;
        for (std::size_t at = 0; at < run.err.size(); at = run.err.find('\n', at) + 1, ++lines) {
            const std::string line = "vexil-thumbnailer: test hook: flood line " + std::to_string(lines) + " ";
            EXPECT_EQ(run.err.compare(at, line.size(), line), 0) << run.err.substr(at, 60);
        }
    }
}

// Killing the thumbnailer kills its confined child too, whether it computes or waits.
TEST(Thumbnailer, TheChildDiesWithItsParent) {
    fixtures::TempDir dir;
    const std::string app = dir.file("app.exe");
    ASSERT_TRUE(fixtures::writeFile(app, fixtures::makePe({fixtures::patternIcon(resId(1), {32})})));
    const struct Case {
        const char* layers;
        const char* attempt;
    } cases[] = {{"seccomp,landlock,limits", "spin"}, {"none", "sleep"}};
    for (const Case& c : cases) {
        Spawned parent({VEXIL_THUMBNAILER_HOOK_PATH, app, dir.file("out.png")},
                       {.env = {std::string("VEXIL_TEST_LAYERS=") + c.layers,
                                std::string("VEXIL_TEST_ATTEMPT=") + c.attempt}});
        ASSERT_GT(parent.pid, 0);
        std::vector<pid_t> children;
        for (int i = 0; i < 300 && children.empty(); ++i, ::usleep(10000)) children = childrenOf(parent.pid);
        ASSERT_EQ(children.size(), 1u) << c.attempt;
        const pid_t child = children[0];
        ::kill(parent.pid, SIGKILL);
        parent.wait();
        bool gone = false;
        for (int i = 0; i < 300 && !gone; ++i, ::usleep(10000)) gone = !alive(child);
        EXPECT_TRUE(gone) << c.attempt;
        if (!gone) ::kill(child, SIGKILL);
    }
}
