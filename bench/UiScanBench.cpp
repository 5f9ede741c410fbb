// The main window, offscreen, scanning directories of generated DLLs into its file list
// (unsorted and sorted by name) and filling its icon strip from a 300-group module.
//
//   build-bench/bench/bench_UiScanBench [--benchmark_filter=...]
//
// Scans: time per whole listing of the directory (the filter button), the files already
// in the page cache; beside them the floor of listing the directory and reading 4 KiB of
// every file. Strip: time per selection of the module's row, from an empty strip, for 300
// typical groups, 300 modern ones (with a 256-pixel PNG) and 300 that hold only a 256-pixel
// PNG, at device pixel ratios 1 and 2, the whole strip or its first 15 cells.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QToolButton>
#include <QTreeView>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/FileListView.h"
#include "app/Unit1.h"
#include "qtshared/ImageList.h"
#include "platform/DirEnum.h"
#include "support/ModuleFixtures.h"
#include "treedir/Treedir.h"

namespace {

using fixtures::Bytes;

// An icon group as programs carry them: 16, 32 and 48 pixels at 32 bits and 16 and 32
// pixels at 4 and 8 bits.
fixtures::ModuleIcon typicalIcon(int id) {
    fixtures::ModuleIcon icon{fixtures::resId(static_cast<std::uint16_t>(id)), {}, {}};
    for (int size : {16, 32, 48}) icon.images.push_back(fixtures::patternDib(size, 32));
    for (int bits : {4, 8})
        for (int size : {16, 32}) icon.images.push_back(fixtures::patternDib(size, bits));
    return icon;
}

Bytes moduleWithGroups(int groups) {
    std::vector<fixtures::ModuleIcon> icons;
    for (int g = 0; g < groups; ++g) icons.push_back(typicalIcon(g + 1));
    return fixtures::makePe(icons);
}

// A directory of `count` DLLs of 1 to 3 icon groups each, made once per count.
const std::string& moduleDirectory(int count) {
    static std::map<int, std::unique_ptr<fixtures::TempDir>> dirs;
    auto& dir = dirs[count];
    if (!dir) {
        dir = std::make_unique<fixtures::TempDir>();
        const Bytes variants[3] = {moduleWithGroups(1), moduleWithGroups(2), moduleWithGroups(3)};
        for (int i = 0; i < count; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "m%05d.dll", i);
            if (!fixtures::writeFile(dir->file(name), variants[i % 3])) std::abort();
        }
    }
    return dir->path();
}

// Runs the event loop until the window's scan or strip has ended.
void finish(const TForm1& form) {
    while (form.busy()) QCoreApplication::processEvents();
}

// The window shown offscreen, pointed at a directory with the DLL filter chosen.
struct Window {
    TForm1 form{nullptr, 768};
    FileListView* list = nullptr;
    QToolButton* filter = nullptr;

    explicit Window(const std::string& dir) {
        form.show();
        finish(form);
        list = form.findChild<FileListView*>(QStringLiteral("ListView1"));
        filter = form.findChild<QToolButton*>(QStringLiteral("BtnExeFilter"));
        form.findChild<QComboBox*>(QStringLiteral("ComboBox1"))->setCurrentIndex(1);  // "DLL (*.DLL)"
        form.findChild<QTreeDir*>(QStringLiteral("TreeDir1"))->CurrentPath = dir;
    }
};

void BM_Scan(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    const bool byName = state.range(1) != 0;
    Window w(moduleDirectory(count));
    w.list->setSortKind(byName ? FileListView::SortKind::Name : FileListView::SortKind::None);
    w.filter->click();  // once untimed: the files and the window's caches are warm
    finish(w.form);
    for (auto _ : state) {
        w.filter->click();
        finish(w.form);
    }
    if (w.list->count() != count) state.SkipWithError("not every module was listed");
    state.counters["rows"] = w.list->count();
    state.counters["rows_per_s"] = benchmark::Counter(static_cast<double>(count), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_Scan)
    ->ArgNames({"files", "byName"})
    ->ArgsProduct({{1000, 5000, 10000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(1.0);

// The least any scan must do, for comparison: list the directory and read the first
// 4 KiB of every file.
void BM_ListAndReadFloor(benchmark::State& state) {
    const std::string& dir = moduleDirectory(static_cast<int>(state.range(0)));
    std::vector<char> buffer(4096);
    for (auto _ : state) {
        auto search = platform::DirEnum::start(dir + "/*.dll");
        if (!search) {
            state.SkipWithError("no files");
            return;
        }
        do {
            const int fd = open((dir + "/" + search->entry().name).c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            benchmark::DoNotOptimize(pread(fd, buffer.data(), buffer.size(), 0));
            close(fd);
        } while (search->next());
    }
}
BENCHMARK(BM_ListAndReadFloor)->ArgName("files")->Arg(1000)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A group of a modern program: the typical images and a 256-pixel PNG.
fixtures::ModuleIcon modernIcon(int id) {
    fixtures::ModuleIcon icon = typicalIcon(id);
    icon.images.push_back(fixtures::detailedPng(id));
    return icon;
}

enum class Groups { Typical, Modern, PngOnly };

// A module of 300 groups of one kind, made once per kind.
const std::string& module300(Groups kind) {
    static std::map<Groups, std::unique_ptr<fixtures::TempDir>> dirs;
    auto& dir = dirs[kind];
    if (!dir) {
        dir = std::make_unique<fixtures::TempDir>();
        std::vector<fixtures::ModuleIcon> icons;
        for (int g = 1; g <= 300; ++g) {
            if (kind == Groups::Typical) icons.push_back(typicalIcon(g));
            else if (kind == Groups::Modern) icons.push_back(modernIcon(g));
            else icons.push_back({fixtures::resId(static_cast<std::uint16_t>(g)), {fixtures::detailedPng(g)}, {}});
        }
        if (!fixtures::writeFile(dir->file("groups300.dll"), fixtures::makePe(icons))) std::abort();
    }
    return dir->path();
}

// Time per selection of the module's row, from an empty strip: the whole strip
// (state.range(1) == 0), or until the 15 cells a strip shows at 96 dpi are filled.
// state.range(2): the device pixel ratio the strip draws for.
void BM_Strip300(benchmark::State& state) {
    Window w(module300(static_cast<Groups>(state.range(0))));
    const bool visibleOnly = state.range(1) != 0;
    for (ImageList* list : {&w.form.ImageList16A, &w.form.ImageList32A}) list->setDevicePixelRatio(static_cast<qreal>(state.range(2)));
    w.filter->click();
    finish(w.form);
    if (w.list->count() != 1) {
        state.SkipWithError("the module was not listed");
        return;
    }
    constexpr int kVisibleCells = 15;
    for (auto _ : state) {
        state.PauseTiming();
        w.list->detailsView()->clearSelection();
        finish(w.form);
        state.ResumeTiming();
        w.list->selectRow(0);
        if (visibleOnly) {
            while (w.form.busy() && w.form.ImageList32A.Count() < kVisibleCells) QCoreApplication::processEvents();
            state.PauseTiming();
            finish(w.form);
            state.ResumeTiming();
        } else {
            finish(w.form);
        }
    }
    if (w.form.ImageList32A.Count() != 300) state.SkipWithError("the strip does not hold 300 icons");
    state.counters["icons"] = w.form.ImageList32A.Count();
}
BENCHMARK(BM_Strip300)
    ->ArgNames({"groups", "visible", "ratio"})
    ->Args({static_cast<int>(Groups::Typical), 0, 1})
    ->Args({static_cast<int>(Groups::Typical), 0, 2})
    ->Args({static_cast<int>(Groups::Modern), 0, 1})
    ->Args({static_cast<int>(Groups::Modern), 0, 2})
    ->Args({static_cast<int>(Groups::Modern), 1, 2})
    ->Args({static_cast<int>(Groups::PngOnly), 0, 1})
    ->Args({static_cast<int>(Groups::PngOnly), 0, 2})
    ->Args({static_cast<int>(Groups::PngOnly), 1, 1})
    ->Args({static_cast<int>(Groups::PngOnly), 1, 2})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
