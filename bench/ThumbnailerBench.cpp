// vexil-thumbnailer as a whole process, as a file manager runs it: start, read, decode,
// shrink, encode, write, exit. Programs are generated: a typical one whose icon group holds
// a 256-pixel PNG beside its bitmaps, one with only small bitmaps (48 pixels and less), and
// the typical one with 1 GiB of code before its resources (a sparse file). The floor is
// starting and reaping /bin/true.
//
//   build-bench/bench/bench_ThumbnailerBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/ImageFixtures.h"
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
    for (auto _ : state) {
        pid_t pid = 0;
        int status = 0;
        if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0 || waitpid(pid, &status, 0) != pid ||
            !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            state.SkipWithError("the command failed");
            return;
        }
    }
}

void thumbnail(benchmark::State& state, const std::string& input) {
    run(state, {VEXIL_THUMBNAILER_PATH, "-s", std::to_string(state.range(0)), input, files().out});
}

void BM_Floor_ProcessStart(benchmark::State& state) { run(state, {"/bin/true"}); }
void BM_Thumbnail_Png256(benchmark::State& state) { thumbnail(state, files().typical); }
void BM_Thumbnail_SmallBitmaps(benchmark::State& state) { thumbnail(state, files().small); }
void BM_Thumbnail_Png256_1GiBProgram(benchmark::State& state) { thumbnail(state, files().huge); }

#define WHOLE_PROCESS(b) b->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(100)->Repetitions(5)
WHOLE_PROCESS(BENCHMARK(BM_Floor_ProcessStart));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_Png256)->Arg(128)->Arg(256));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_SmallBitmaps)->Arg(128)->Arg(256));
WHOLE_PROCESS(BENCHMARK(BM_Thumbnail_Png256_1GiBProgram)->Arg(128)->Arg(256));

}  // namespace

BENCHMARK_MAIN();
