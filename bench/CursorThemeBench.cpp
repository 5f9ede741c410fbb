// A Windows cursor pack made into a cursor theme, as `vexil-cli cursor-theme PACK --sizes
// 24,32,48,64` makes it: a pack of the 17 roles (install.inf in UTF-16; 15 still cursors
// with 32- and 48-pixel images, AppStarting and Wait animations of 12 frames of both sizes,
// one step a frame) read and planned, then written (Xcursor files at 24, 32, 48 and 64
// pixels with their links, index.theme, preview.png), replacing the theme of the round before.
//
//   build/bench/bench_CursorThemeBench
#include <benchmark/benchmark.h>

#include <variant>

#include "iconmod/CursorTheme.h"
#include "support/InfFixtures.h"
#include "support/PackFixtures.h"

namespace {

constexpr int kFrames = 12;

fixtures::Bytes stillCursor(std::size_t role) {
    return fixtures::makeCur({{fixtures::patternDib(32, 32), static_cast<std::uint16_t>(role % 8), 2},
                              {fixtures::patternDib(48, 32), static_cast<std::uint16_t>(role % 8 * 3 / 2), 3}});
}

fixtures::Bytes animation() {
    fixtures::AniLayout ani;
    for (int f = 0; f < kFrames; ++f) ani.frames.push_back(stillCursor(static_cast<std::size_t>(f)));
    ani.rate.assign(kFrames, 4);
    return fixtures::makeAni(ani);
}

struct Pack {
    fixtures::TempDir dir;
    iconmod::CursorThemeOptions options{.name = "Bench", .scheme = {}, .sizes = {24, 32, 48, 64}};

    Pack() {
        std::vector<fixtures::PackEntry> files;
        for (std::size_t r = 0; r < fixtures::kTemplateInfFiles.size(); ++r)
            files.push_back({fixtures::kTemplateInfFiles[r], r == 2 || r == 3 ? animation() : stillCursor(r), {}});
        files.push_back({"install.inf", fixtures::utf16Text(fixtures::templateInf("Bench")), {}});
        fixtures::writePack(dir.file("pack"), files);
    }

    iconmod::CursorThemePlan plan() const {
        const auto pack = iconmod::openCursorPack(dir.file("pack"));
        return std::get<iconmod::CursorThemePlan>(iconmod::planCursorTheme(std::get<iconmod::CursorPack>(pack), options));
    }
};

const Pack& pack() {
    static const Pack p;
    return p;
}

// The pack opened (its files read) and planned: what the command prints before it writes.
void BM_OpenAndPlan(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(pack().plan());
}
BENCHMARK(BM_OpenAndPlan)->Unit(benchmark::kMillisecond);

// The planned theme written and swapped in, every picture decoded and scaled as it is written.
void BM_WriteTheme(benchmark::State& state) {
    const iconmod::CursorThemePlan plan = pack().plan();
    std::size_t images = 0;
    for (const auto& role : plan.roles) images += role.layout.entries.size();
    state.counters["images"] = static_cast<double>(images);
    for (auto _ : state) {
        const auto written = iconmod::writeCursorTheme(plan, pack().dir.file("icons"), true);
        if (!std::holds_alternative<iconmod::CursorThemeWritten>(written)) state.SkipWithError("the theme was not written");
    }
}
BENCHMARK(BM_WriteTheme)->Unit(benchmark::kMillisecond);

// The preview alone (17 roles at 32 pixels over two strips, labelled).
void BM_Preview(benchmark::State& state) {
    const iconmod::CursorThemePlan plan = pack().plan();
    for (auto _ : state) benchmark::DoNotOptimize(iconmod::cursorThemePreview(plan));
}
BENCHMARK(BM_Preview)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
