// vexil-thumbnailer as a whole process, as a file manager runs it: start, read, decode,
// shrink, encode, write, exit. Programs are generated: a typical one whose icon group holds
// a 256-pixel PNG beside its bitmaps, one with only small bitmaps (48 pixels and less), and
// the typical one with 1 GiB of code before its resources (a sparse file). The floor is
// starting and reaping /bin/true. Beside it, in the same run and on the same files, the
// peer: icoextract's thumbnailer (Debian icoextract and python3-pil) as a whole process,
// and the cost of the sandbox alone: fork, confine, exit, reap. Each process's peak
// memory is reported as peak_KiB.
//
//   build-bench/bench/bench_ThumbnailerBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include <string>
#include <vector>

#include "support/ImageFixtures.h"
#include "platform/Confine.h"
#include "support/ModuleFixtures.h"

extern char** environ;

namespace {

struct Files {
    fixtures::TempDir dir;
    std::string typical, small, huge, out;

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
    }
};

Files& files() {
    static Files f;
    return f;
}

void run(benchmark::State& state, std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    long peakKiB = 0;
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        struct rusage usage {};
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 ||
            wait4(pid, &status, 0, &usage) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the command failed");
            return;
        }
        peakKiB = std::max(peakKiB, usage.ru_maxrss);
    }
    state.counters["peak_KiB"] = static_cast<double>(peakKiB);
}

// icoextract's thumbnailer, as its `exe-thumbnailer` command starts it.
void peer(benchmark::State& state, const std::string& input) {
    if (::access("/usr/lib/python3/dist-packages/icoextract/scripts/thumbnailer.py", R_OK) != 0) {
        state.SkipWithError("icoextract is not installed (scripts/deps.sh: VEXIL_BENCH_PACKAGES)");
        return;
    }
    run(state, {"/usr/bin/python3", "-c", "from icoextract.scripts.thumbnailer import main; main()", "-s",
                std::to_string(state.range(0)), input, files().out});
}

void thumbnail(benchmark::State& state, const std::string& input) {
    run(state, {VEXIL_THUMBNAILER_PATH, "-s", std::to_string(state.range(0)), input, files().out});
}

void BM_Floor_ProcessStart(benchmark::State& state) { run(state, {"/bin/true"}); }

// What the sandbox adds to a run: a child forked, confined with all three layers, ended
// and reaped.
void BM_ForkAndConfine(benchmark::State& state) {
    for (auto _ : state) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            platform::ConfinePlan plan;
            plan.readFd = STDIN_FILENO;
            plan.writeFd = STDOUT_FILENO;
            ::_exit(platform::confine(plan).ok ? 0 : 1);
        }
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("fork or confine failed");
            return;
        }
    }
}
void BM_Peer_Png256(benchmark::State& state) { peer(state, files().typical); }
void BM_Peer_SmallBitmaps(benchmark::State& state) { peer(state, files().small); }
void BM_Thumbnail_Png256(benchmark::State& state) { thumbnail(state, files().typical); }
void BM_Thumbnail_SmallBitmaps(benchmark::State& state) { thumbnail(state, files().small); }
void BM_Thumbnail_Png256_1GiBProgram(benchmark::State& state) { thumbnail(state, files().huge); }

#define WHOLE_PROCESS(b) b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100)->Repetitions(5)
WHOLE_PROCESS(BENCHMARK(BM_Floor_ProcessStart));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_Png256)->Arg(128)->Arg(256));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_SmallBitmaps)->Arg(128)->Arg(256));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_Png256_1GiBProgram)->Arg(128)->Arg(256));
WHOLE_PROCESS(BENCHMARK(BM_ForkAndConfine));
#define PEER_PROCESS(b) b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10)->Repetitions(5)
PEER_PROCESS(BENCHMARK(BM_Peer_Png256)->Arg(128)->Arg(256));
PEER_PROCESS(BENCHMARK(BM_Peer_SmallBitmaps)->Arg(128)->Arg(256));

}  // namespace

BENCHMARK_MAIN();
