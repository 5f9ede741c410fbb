// `vexil-cli shortcuts` as a whole process over a Wine prefix of 500 shortcuts, the
// question a front-end asks of a prefix: its programs and their icons.
//
// The prefix: 100 programs (PE32 and PE32+, 2 groups each) under Program Files, a
// system32/shell32.dll with 60 groups, a system.reg of about 1.5 MB (a current Wine
// prefix's is 1.6 MB; it is read once per run) and 500 shortcuts in 100 Start Menu folders
// and on two Desktops: a fifth name an icon with %ProgramFiles%, a fifth a shell32.dll
// group by id, two fifths show their target's icon, a tenth name a file that is gone and
// a tenth a folder. dosdevices holds c: and z: -> /, which the walk must not enter.
//
// Counters: the median wall time of each side in ms, beside starting /bin/true.
//
//   build-bench/bench/bench_ShortcutsRunBench
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "RunTimer.h"
#include "support/LinkFixtures.h"
#include "support/ModuleFixtures.h"

namespace {

constexpr int kPrograms = 100;
constexpr int kShortcuts = 500;

fixtures::Bytes linkTo(const std::string& target) {
    return fixtures::makeLink({.linkInfo = {{.localBasePath = target}}, .workingDir = "C:\\", .arguments = "-x"});
}

struct Prefix {
    fixtures::TempDir dir;
    std::string prefix, icons;

    Prefix() {
        prefix = dir.file("pfx");
        icons = dir.file("icons");
        // Filler keys bring system.reg to the size of a current prefix's.
        std::vector<std::pair<std::string, std::vector<std::string>>> keys = {
            {"Software\\\\Microsoft\\\\Windows\\\\CurrentVersion",
             {"\"ProgramFilesDir\"=\"C:\\\\Program Files\"", "\"CommonFilesDir\"=\"C:\\\\Program Files\\\\Common Files\""}}};
        for (int k = 0; k < 12000; ++k)
            keys.push_back({"Software\\\\Classes\\\\CLSID\\\\{" + std::to_string(100000 + k) + "}",
                            {"@=\"Some class " + std::to_string(k) + "\"", "\"InprocServer32\"=\"C:\\\\windows\\\\system32\\\\x.dll\""}});
        fixtures::makePrefix(prefix, {.systemReg = fixtures::wineRegistryText("REGISTRY\\\\Machine", keys)});
        const std::string c = prefix + "/drive_c/";
        std::vector<fixtures::ModuleIcon> shellIcons;
        for (int g = 1; g <= 60; ++g) shellIcons.push_back(fixtures::patternIcon(fixtures::resId(static_cast<std::uint16_t>(g)), {16, 32}, 8));
        fixtures::writeFile(c + "windows/system32/shell32.dll", fixtures::makePe(shellIcons));
        for (int i = 0; i < kPrograms; ++i) {
            const std::string folder = c + "Program Files/App" + std::to_string(i);
            std::filesystem::create_directories(folder);
            fixtures::writeFile(folder + "/app.exe",
                                fixtures::makePe({fixtures::patternIcon(fixtures::resId(1), {16, 32, 48}, 8),
                                                  fixtures::modernIcon(fixtures::resId(2), fixtures::detailedPng(i))},
                                                 {.plus = i % 2 == 1}));
        }
        const std::string menu = c + "ProgramData/Microsoft/Windows/Start Menu/Programs/";
        for (int s = 0; s < kShortcuts; ++s) {
            const int app = s % kPrograms;
            const std::string exe = "C:\\Program Files\\App" + std::to_string(app) + "\\app.exe";
            fixtures::Bytes link;
            switch (s % 10) {
            case 0:
            case 1: link = fixtures::makeLink({.iconIndex = 1, .iconLocation = "%ProgramFiles%\\App" + std::to_string(app) + "\\app.exe"}); break;
            case 2:
            case 3: link = fixtures::makeLink({.iconIndex = -(s % 60 + 1), .iconLocation = "%SystemRoot%\\system32\\shell32.dll"}); break;
            case 4: link = linkTo("C:\\Program Files\\App" + std::to_string(app) + "\\gone.exe"); break;
            case 5: link = linkTo("C:\\Program Files\\App" + std::to_string(app)); break;
            default: link = linkTo(exe); break;
            }
            const std::string folder = s < 480 ? menu + "App" + std::to_string(app) : c + "users/" + (s % 2 ? "Public" : "ann") + "/Desktop";
            std::filesystem::create_directories(folder);
            fixtures::writeFile(folder + "/Shortcut " + std::to_string(s) + ".lnk", link);
        }
    }
};

Prefix& prefix() {
    static Prefix p;
    return p;
}

void BM_ShortcutsOfPrefix(benchmark::State& state) {
    const Prefix& p = prefix();
    inTurn(state, {"true", "lines", "json", "theme"},
           {[] { return timedRun({"/bin/true"}); }, [&] { return timedRun({VEXIL_CLI_PATH, "shortcuts", p.prefix}); },
            [&] { return timedRun({VEXIL_CLI_PATH, "shortcuts", p.prefix, "--json"}); },
            [&] { return timedRun({VEXIL_CLI_PATH, "shortcuts", p.prefix, "--theme", "--prefix", p.icons}); }});
}

BENCHMARK(BM_ShortcutsOfPrefix)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(7);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    prefix();  // generate the prefix before any timing
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
