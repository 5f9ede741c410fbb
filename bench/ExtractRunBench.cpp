// vexil-cli as a whole process, beside what it is measured against in the same run, rounds
// taken in turn so that the load of a shared machine weighs on both alike:
//
// - `extract --format png` over a generated set the size of a program collection (430
//   programs, 1 to 3 groups each, 860 groups, half of them holding a 256-pixel PNG beside
//   their bitmaps, as most current programs do) against the peer: icoextract's library
//   with Pillow in one Python process, writing each group's largest image as a PNG
//   (Debian icoextract and python3-pil);
// - `extract` (.ico files) into a folder on the disk against the same run with flushing
//   turned off (libeatmydata preloaded, Debian eatmydata), so the cost of making the files
//   last is what the ratio shows;
// - `vexil-cli --version` and `count` of one program against starting and reaping
//   /bin/true.
//
// Counters: the median wall time of each side (ms) and their ratio.
//
//   build-bench/bench/bench_ExtractRunBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "RunTimer.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"


namespace {

constexpr int kPrograms = 430;
constexpr const char* kEatMyData = "/usr/lib/x86_64-linux-gnu/libeatmydata.so";

// Writes each group's largest image as a PNG, as a user of icoextract would: Pillow opens
// the group's .ico at its largest size and saves it (its default compression, level 6).
constexpr const char* kPeerScript = R"(import os, sys
from icoextract import IconExtractor
from PIL import Image
out = sys.argv[1]
for path in sys.argv[2:]:
    extractor = IconExtractor(path)
    name = os.path.basename(path)
    for i, _ in enumerate(extractor.list_group_icons()):
        Image.open(extractor.get_icon(num=i)).save(os.path.join(out, "%s-%d.png" % (name, i)))
)";

struct Files {
    fixtures::TempDir dir;
    std::string programs, out, peerOut, script;
    std::vector<std::string> paths;

    Files() {
        programs = dir.file("programs");
        out = dir.file("out");
        peerOut = dir.file("peer");
        script = dir.file("peer.py");
        std::filesystem::create_directories(programs);
        fixtures::writeFile(script, fixtures::Bytes(kPeerScript, kPeerScript + std::char_traits<char>::length(kPeerScript)));
        for (int i = 0; i < kPrograms; ++i) {
            std::vector<fixtures::ModuleIcon> icons;
            for (int g = 0; g <= i % 3; ++g) {
                const auto id = fixtures::resId(static_cast<std::uint16_t>(g + 1));
                // Every other group holds a PNG, each program's its own.
                icons.push_back(g % 2 == 0 ? fixtures::modernIcon(id, fixtures::detailedPng(i * 3 + g))
                                           : fixtures::patternIcon(id, {16, 32, 48}, 8));
            }
            const std::string path = programs + "/p" + std::to_string(i) + ".exe";
            fixtures::writeFile(path, fixtures::makePe(icons, {.plus = i % 2 == 1,
                                                               .textSize = static_cast<std::size_t>(64 + i % 8 * 32) << 10}));
            paths.push_back(path);
        }
    }
};

Files& files() {
    static Files f;
    return f;
}

void emptyFolder(const std::string& path) {
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
}

bool have(benchmark::State& state, const char* path, const char* what) {
    if (::access(path, R_OK) == 0) return true;
    state.SkipWithError((std::string(what) + " is not installed (scripts/deps.sh: VEXIL_BENCH_PACKAGES)").c_str());
    return false;
}

void BM_ExtractPngBesidePeer(benchmark::State& state) {
    if (!have(state, "/usr/lib/python3/dist-packages/icoextract/__init__.py", "icoextract")) return;
    Files& f = files();
    std::vector<std::string> peer = {"/usr/bin/python3", f.script, f.peerOut};
    peer.insert(peer.end(), f.paths.begin(), f.paths.end());
    const std::vector<std::string> ours = {VEXIL_CLI_PATH, "extract", f.programs, "-o", f.out, "--format", "png"};
    inTurn(state, {"peer", "ours"}, {[&] { return timedRun(peer); }, [&] { return timedRun(ours); }}, [&] {
        emptyFolder(f.out);
        emptyFolder(f.peerOut);
    });
    if (state.counters.count("ours/peer")) state.counters["peer/ours"] = 1 / state.counters["ours/peer"];
}

void BM_ExtractIcoBesideNoFlush(benchmark::State& state) {
    if (!have(state, kEatMyData, "eatmydata")) return;
    Files& f = files();
    const std::vector<std::string> ours = {VEXIL_CLI_PATH, "extract", f.programs, "-o", f.out};
    inTurn(state, {"noflush", "ours"},
           {[&] { return timedRun(ours, {std::string("LD_PRELOAD=") + kEatMyData}); }, [&] { return timedRun(ours); }},
           [&] { emptyFolder(f.out); });
}

void BM_StartBesideTrue(benchmark::State& state) {
    const std::string program = files().paths[2];
    inTurn(state, {"true", "version", "count"},
           {[] { return timedRun({"/bin/true"}); }, [] { return timedRun({VEXIL_CLI_PATH, "--version"}); },
            [&] { return timedRun({VEXIL_CLI_PATH, "count", program}); }});
}

BENCHMARK(BM_ExtractPngBesidePeer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_ExtractIcoBesideNoFlush)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(11);
BENCHMARK(BM_StartBesideTrue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(301);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    files();  // generate the files before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
