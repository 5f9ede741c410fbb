// Icon counting and extraction over a generated set of modules, beside a floor: opening the
// same file and reading its first 4 KiB, the least any reader of the file must do. At the
// end the times are printed as ratios to the floor.
//
//   build-bench/bench/bench_ExtractBench [--benchmark_filter=...]
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "formats/IconDecode.h"
#include "formats/IconDecodeParts.h"
#include "iconmod/DevicePicture.h"
#include "platform/IconExtract.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

namespace {

using fixtures::Bytes;

constexpr int kModules = 1000;

using fixtures::detailedPng;
using fixtures::modernIcon;

struct Corpus {
    fixtures::TempDir dir;
    std::vector<std::string> modules;  // 1,000 modules of 1 to 3 groups and 200 KiB to 1 MiB of code
    std::string manyGroups;            // one module of 300 modern groups
    std::string manyPngGroups;         // one module of 300 groups holding only a 256-pixel PNG

    Corpus() {
        const Bytes png = detailedPng(1);
        for (int i = 0; i < kModules; ++i) {
            std::vector<fixtures::ModuleIcon> icons;
            for (int g = 0; g <= i % 3; ++g)
                icons.push_back(g == 0 ? modernIcon(fixtures::resId(static_cast<std::uint16_t>(g + 1)), png)
                                       : fixtures::patternIcon(fixtures::resId(static_cast<std::uint16_t>(g + 1))));
            const std::string path = dir.file("m" + std::to_string(i) + ".dll");
            fixtures::writeFile(path, fixtures::makePe(icons, {.plus = i % 2 == 1,
                                                               .textSize = static_cast<std::size_t>(200 + i % 800) << 10}));
            modules.push_back(path);
        }
        std::vector<fixtures::ModuleIcon> many, pngs;
        for (std::uint16_t g = 1; g <= 300; ++g) {
            many.push_back(modernIcon(fixtures::resId(g), png));
            pngs.push_back({fixtures::resId(g), {detailedPng(g)}});
        }
        manyGroups = dir.file("many.dll");
        fixtures::writeFile(manyGroups, fixtures::makePe(many));
        manyPngGroups = dir.file("manypng.dll");
        fixtures::writeFile(manyPngGroups, fixtures::makePe(pngs));
    }
};

Corpus& corpus() {
    static Corpus c;
    return c;
}

void BM_Floor(benchmark::State& state) {
    const auto& files = corpus().modules;
    char block[4096];
    for (auto _ : state) {
        for (const std::string& path : files) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            benchmark::DoNotOptimize(::read(fd, block, sizeof block));
            ::close(fd);
        }
    }
    state.SetItemsProcessed(state.iterations() * kModules);
}

// The system calls alone of a count that opens only regular files, without parsing: the
// name looked at with O_PATH and its status taken, the file reopened through this
// process's /proc/PID/fd folder, the headers and the resource directory read (two places
// in the file), both descriptors closed.
void BM_RegularOnlyOpenFloor(benchmark::State& state) {
    const auto& files = corpus().modules;
    const int folder = ::open(("/proc/" + std::to_string(::getpid()) + "/fd").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    char block[4096];
    for (auto _ : state) {
        for (const std::string& path : files) {
            const int handle = ::open(path.c_str(), O_PATH | O_CLOEXEC);
            struct stat st {};
            benchmark::DoNotOptimize(::fstat(handle, &st));
            const int fd = ::openat(folder, std::to_string(handle).c_str(), O_RDONLY | O_NOCTTY | O_CLOEXEC);
            ::close(handle);
            benchmark::DoNotOptimize(::pread(fd, block, sizeof block, 0));
            benchmark::DoNotOptimize(::pread(fd, block, sizeof block, st.st_size / 2));
            ::close(fd);
        }
    }
    ::close(folder);
    state.SetItemsProcessed(state.iterations() * kModules);
}

void BM_IconCount(benchmark::State& state) {
    const auto& files = corpus().modules;
    for (auto _ : state) {
        int total = 0;
        for (const std::string& path : files) total += platform::iconCount(path);
        benchmark::DoNotOptimize(total);
    }
    state.SetItemsProcessed(state.iterations() * kModules);
}

// What the file list does per file: one open, the count and icon 0 at both sizes.
void BM_CountAndFirstIcon(benchmark::State& state) {
    const auto& files = corpus().modules;
    for (auto _ : state) {
        for (const std::string& path : files) {
            auto file = platform::openFile(path).file;
            benchmark::DoNotOptimize(file->count());
            benchmark::DoNotOptimize(file->icon(0, 32));
            benchmark::DoNotOptimize(file->icon(0, 16));
        }
    }
    state.SetItemsProcessed(state.iterations() * kModules);
}

// What the icon strip does for one module: every icon at both sizes, and at a device pixel
// ratio of 2 the 32-pixel cell's picture for 64 device pixels (state.range(0) the ratio).
void everyIcon(benchmark::State& state, const std::string& path) {
    const bool hiDpi = state.range(0) == 2;
    for (auto _ : state) {
        auto file = platform::openFile(path).file;
        for (int i = 0; i < file->count(); ++i) {
            benchmark::DoNotOptimize(file->icon(i, 32));
            benchmark::DoNotOptimize(file->icon(i, 16));
            if (hiDpi) benchmark::DoNotOptimize(iconmod::devicePicture(*file, i, 32, 64));
        }
    }
}
void BM_Strip300Groups(benchmark::State& state) { everyIcon(state, corpus().manyGroups); }
void BM_Strip300PngOnlyGroups(benchmark::State& state) { everyIcon(state, corpus().manyPngGroups); }

// The parts of a PNG-only icon: decoding the 256-pixel image (as every reader does, and
// through libpng alone, which the direct path for 8-bit RGBA images spares) and shrinking it.
void BM_DecodePng256(benchmark::State& state) {
    const Bytes png = detailedPng(1);
    for (auto _ : state) benchmark::DoNotOptimize(formats::decodeIconImage(png));
}
void BM_DecodePng256ThroughLibpng(benchmark::State& state) {
    const Bytes png = detailedPng(1);
    for (auto _ : state) benchmark::DoNotOptimize(formats::decode::decodePngThroughLibpng(png));
}
// The same picture as a deflate bomb: its image data goes on after the rows with 8 GiB of
// zeros (8 MiB compressed). Neither path inflates past the rows: the direct path stops at
// its buffer's end and leaves the image to libpng, which is handed nothing after the rows.
void BM_DecodePng256Bomb(benchmark::State& state) {
    const Bytes png = fixtures::pngWithDeflateTail(detailedPng(1), 8ull << 30);
    for (auto _ : state) benchmark::DoNotOptimize(formats::decodeIconImage(png));
}
void BM_Shrink256To32(benchmark::State& state) {
    const auto image = formats::decodeIconImage(detailedPng(1));
    for (auto _ : state) benchmark::DoNotOptimize(formats::scaleImage(*image, 32, 32));
}

BENCHMARK(BM_DecodePng256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodePng256ThroughLibpng)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DecodePng256Bomb)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Shrink256To32)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Floor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RegularOnlyOpenFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IconCount)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountAndFirstIcon)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Strip300Groups)->ArgName("ratio")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Strip300PngOnlyGroups)->ArgName("ratio")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// Keeps each benchmark's time per iteration so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) times[run.benchmark_name()] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    corpus();  // generate the files before any timing
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    const auto floor = reporter.times.find("BM_Floor");
    if (floor != reporter.times.end() && floor->second > 0) {
        std::printf("\nRatios to the floor (open + read 4 KiB of each of %d modules):\n", kModules);
        for (const auto& [name, time] : reporter.times)
            if (name == "BM_RegularOnlyOpenFloor" || name == "BM_IconCount" || name == "BM_CountAndFirstIcon")
                std::printf("  %-24s %.2f\n", name.c_str(), time / floor->second);
    }
    benchmark::Shutdown();
    return 0;
}
