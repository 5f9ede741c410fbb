// vexil-thumbnailer as a whole process, as a file manager runs it: start, read, decode,
// shrink, encode, write, exit. Programs are generated: a typical one whose icon group holds
// a 256-pixel PNG beside its bitmaps, one with only small bitmaps (48 pixels and less), and
// the typical one with 1 GiB of code before its resources (a sparse file). The floor is
// starting and reaping /bin/true. Beside it, in the same run and on the same files, the
// peer: icoextract's thumbnailer (Debian icoextract and python3-pil) as a whole process,
// and the cost of the sandbox alone: runConfined with work that does nothing. Each
// process's peak memory is reported as peak_KiB. A shortcut in a Wine prefix that names the
// typical program, and an installer package whose Icon table holds the program's icon as an
// .ico file, are timed in turn with the program itself (ratio: theirs over the program's).
//
//   build-bench/bench/bench_ThumbnailerBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <string>
#include <vector>

#include "support/ImageFixtures.h"
#include "support/LinkFixtures.h"
#include "platform/Confine.h"
#include "support/ModuleFixtures.h"

extern char** environ;

namespace {

struct Files {
    fixtures::TempDir dir;
    std::string typical, small, huge, out, link, package, linkTarget;

    Files() {
        typical = dir.file("typical.exe");
        small = dir.file("small.exe");
        huge = dir.file("huge.exe");
        out = dir.file("out.png");
        const auto icon = fixtures::modernIcon(fixtures::resId(1), fixtures::detailedPng(1));
        fixtures::writeFile(typical, fixtures::makePe({icon}, {.textSize = 40 << 10}));
        fixtures::ModuleIcon bitmaps = icon;
        bitmaps.images.erase(bitmaps.images.begin() + 3);  // the PNG
        fixtures::writeFile(small, fixtures::makePe({bitmaps}, {.textSize = 40 << 10}));
        fixtures::PeLayout layout;
        const auto pe = fixtures::makePe({icon}, {}, &layout);
        fixtures::writePeWithGap(huge, pe, layout, 1u << 30);

        fixtures::makePrefix(dir.file("wine"), {.files = {"Program Files/App/app.exe"}});
        linkTarget = dir.file("wine/drive_c/Program Files/App/app.exe");
        fixtures::writeFile(linkTarget, fixtures::makePe({icon}, {.textSize = 40 << 10}));
        fixtures::LinkSpec shortcut;
        shortcut.linkInfo = fixtures::LinkInfoSpec{.localBasePath = std::string("C:\\Program Files\\App\\app.exe")};
        link = dir.file("wine/drive_c/users/ann/app.lnk");
        fixtures::writeFile(link, fixtures::makeLink(shortcut));
        std::vector<fixtures::IcoEntry> images;
        for (const auto& image : icon.images) images.push_back({image});
        package = dir.file("setup.msi");
        fixtures::writeFile(package, fixtures::makeMsi({.icons = {{"app.ico", fixtures::makeIco(images)}}}));
    }
};

Files& files() {
    static Files f;
    return f;
}

// Starts a program and waits for it; false when it could not start or failed. *peakKiB
// grows to the program's peak memory.
bool spawnAndWait(std::vector<std::string> args, long* peakKiB) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    struct rusage usage {};
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 || wait4(pid, &status, 0, &usage) != pid ||
        !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return false;
    *peakKiB = std::max(*peakKiB, usage.ru_maxrss);
    return true;
}

void run(benchmark::State& state, const std::vector<std::string>& args) {
    long peakKiB = 0;
    for (auto _ : state) {
        if (!spawnAndWait(args, &peakKiB)) {
            state.SkipWithError("the command failed");
            return;
        }
    }
    state.counters["peak_KiB"] = static_cast<double>(peakKiB);
}

std::vector<std::string> ourCommand(int size, const std::string& input) {
    return {VEXIL_THUMBNAILER_PATH, "-s", std::to_string(size), input, files().out};
}

// icoextract's thumbnailer, as its `exe-thumbnailer` command starts it.
std::vector<std::string> peerCommand(int size, const std::string& input) {
    return {"/usr/bin/python3", "-c", "from icoextract.scripts.thumbnailer import main; main()", "-s",
            std::to_string(size), input, files().out};
}

bool havePeer(benchmark::State& state) {
    if (::access("/usr/lib/python3/dist-packages/icoextract/scripts/thumbnailer.py", R_OK) == 0) return true;
    state.SkipWithError("icoextract is not installed (scripts/deps.sh: VEXIL_BENCH_PACKAGES)");
    return false;
}

void thumbnail(benchmark::State& state, const std::string& input) {
    run(state, ourCommand(static_cast<int>(state.range(0)), input));
}

void peer(benchmark::State& state, const std::string& input) {
    if (havePeer(state)) run(state, peerCommand(static_cast<int>(state.range(0)), input));
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// One run of a command, its wall time (ms) added to `into`; false when it failed.
bool timed(const std::vector<std::string>& args, long* peakKiB, std::vector<double>& into) {
    const auto start = std::chrono::steady_clock::now();
    if (!spawnAndWait(args, peakKiB)) return false;
    into.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    return true;
}

// Ours and the peer's taken in turn on the same file, so that the load of a shared
// machine weighs on both alike: each iteration runs the peer once and ours ten times.
// Counters: the median wall time of each (ms) and their ratio.
void sideBySide(benchmark::State& state, const std::string& input) {
    if (!havePeer(state)) return;
    const int size = static_cast<int>(state.range(0));
    std::vector<double> ours, theirs;
    long oursKiB = 0, theirsKiB = 0;
    for (auto _ : state) {
        bool ok = timed(peerCommand(size, input), &theirsKiB, theirs);
        for (int i = 0; ok && i < 10; ++i) ok = timed(ourCommand(size, input), &oursKiB, ours);
        if (!ok) {
            state.SkipWithError("a command failed");
            return;
        }
    }
    state.counters["ours_ms"] = median(ours);
    state.counters["peer_ms"] = median(theirs);
    state.counters["ratio"] = median(theirs) / median(ours);
    state.counters["ours_KiB"] = static_cast<double>(oursKiB);
    state.counters["peer_KiB"] = static_cast<double>(theirsKiB);
}

void BM_Floor_ProcessStart(benchmark::State& state) { run(state, {"/bin/true"}); }

// What the sandbox adds to a run: runConfined with work that hands back nothing (pipes,
// a child forked, its descriptors moved and the rest closed, confined with all three
// layers, ended and reaped), the typical program as its input.
void BM_ForkAndConfine(benchmark::State& state) {
    const int input = ::open(files().typical.c_str(), O_RDONLY | O_CLOEXEC);
    platform::ConfinePlan plan;
    plan.readFds = {input};
    const platform::ConfinedWork nothing = [](platform::ConfinedInputs&, formats::Bytes&) { return 0; };
    for (auto _ : state) {
        if (platform::runConfined(plan, nothing).end != platform::ConfinedRun::End::Handed) {
            state.SkipWithError("fork or confine failed");
            break;
        }
    }
    ::close(input);
}

// Two files' thumbnails taken in turn, ten of each per iteration; counters: the median wall
// time of each (ms) and the first's over the second's.
void inTurn(benchmark::State& state, const std::string& first, const std::string& second) {
    const int size = static_cast<int>(state.range(0));
    std::vector<double> a, b;
    long peakKiB = 0;
    for (auto _ : state) {
        for (int i = 0; i < 10; ++i) {
            if (!timed(ourCommand(size, first), &peakKiB, a) || !timed(ourCommand(size, second), &peakKiB, b)) {
                state.SkipWithError("a thumbnail failed");
                return;
            }
        }
    }
    state.counters["file_ms"] = median(a);
    state.counters["program_ms"] = median(b);
    state.counters["ratio"] = median(a) / median(b);
    state.counters["peak_KiB"] = static_cast<double>(peakKiB);
}

void BM_Shortcut_BesideItsProgram(benchmark::State& state) { inTurn(state, files().link, files().linkTarget); }
void BM_Package_BesideTheProgram(benchmark::State& state) { inTurn(state, files().package, files().linkTarget); }

void BM_Thumbnail_Png256(benchmark::State& state) { thumbnail(state, files().typical); }
void BM_Thumbnail_SmallBitmaps(benchmark::State& state) { thumbnail(state, files().small); }
void BM_Thumbnail_Png256_1GiBProgram(benchmark::State& state) { thumbnail(state, files().huge); }
void BM_Peer_Png256(benchmark::State& state) { peer(state, files().typical); }
void BM_Peer_SmallBitmaps(benchmark::State& state) { peer(state, files().small); }
void BM_SideBySide_Png256(benchmark::State& state) { sideBySide(state, files().typical); }
void BM_SideBySide_SmallBitmaps(benchmark::State& state) { sideBySide(state, files().small); }

#define WHOLE_PROCESS(b) b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100)->Repetitions(5)
WHOLE_PROCESS(BENCHMARK(BM_Floor_ProcessStart));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_Png256)->Arg(128)->Arg(256));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_SmallBitmaps)->Arg(128)->Arg(256));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_Png256_1GiBProgram)->Arg(128)->Arg(256));
WHOLE_PROCESS(BENCHMARK(BM_ForkAndConfine));
#define PEER_PROCESS(b) b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Repetitions(5)
PEER_PROCESS(BENCHMARK(BM_Peer_Png256)->Arg(128)->Arg(256));
PEER_PROCESS(BENCHMARK(BM_Peer_SmallBitmaps)->Arg(128)->Arg(256));
#define SIDE_BY_SIDE(b) b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(21)
SIDE_BY_SIDE(BENCHMARK(BM_SideBySide_Png256)->Arg(128)->Arg(256));
SIDE_BY_SIDE(BENCHMARK(BM_SideBySide_SmallBitmaps)->Arg(128)->Arg(256));
SIDE_BY_SIDE(BENCHMARK(BM_Shortcut_BesideItsProgram)->Arg(128)->Arg(256));
SIDE_BY_SIDE(BENCHMARK(BM_Package_BesideTheProgram)->Arg(128)->Arg(256));

}  // namespace

BENCHMARK_MAIN();
