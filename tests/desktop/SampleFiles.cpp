// Writes sample files for the tests that run whole programs, into the directory given.
//
//   vexil_sample_files DIR
//       what the desktop tests hand to the thumbnail service: a PE32 program whose group
//       holds a 256-pixel PNG, a PE32+ DLL and a 16-bit NE program with bitmaps only, an
//       .ico file, a program without icons, and a resource-only module as Windows 10/11
//       keeps system icons in (imageres.dll.mun: resources and no code).
//   vexil_sample_files --programs DIR COUNT
//       what the window lists in the X11 test: setup00.exe ... (PE32 and PE32+ programs of
//       1 to 3 icon groups, every icon one solid colour at 32 and 16 pixels), and for each
//       one line on stdout: NAME<TAB>ICONS<TAB>RRGGBB (the colour of its icon 0).
//   vexil_sample_files --cursors DIR
//       what the X11 test opens in the details window: cursors.dll, whose icon group holds
//       images as current programs carry them and which has two cursor groups and an
//       animated cursor; one line on stdout: its icon group's sizes (WxH, comma-separated,
//       as stored), TAB, its cursors' names (comma-separated, as vexil-cli lists them).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/IconDecode.h"
#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

namespace {

fixtures::Argb colourOf(int file, int group) {
    return 0xFF000000u | static_cast<fixtures::Argb>((file * 53 + 17) % 256) << 16 |
           static_cast<fixtures::Argb>((group * 71 + 90) % 256) << 8 | static_cast<fixtures::Argb>((file * 29 + 200) % 256);
}

int writePrograms(const std::string& dir, int count) {
    for (int f = 0; f < count; ++f) {
        const int groups = 1 + f % 3;
        std::vector<fixtures::ModuleIcon> icons;
        for (int g = 0; g < groups; ++g) icons.push_back(fixtures::solidIcon(g + 1, colourOf(f, g)));
        char name[32];
        std::snprintf(name, sizeof name, "setup%02d.exe", f);
        if (!fixtures::writeFile(dir + "/" + name, fixtures::makePe(icons, {.plus = f % 2 == 1}))) {
            std::fprintf(stderr, "vexil_sample_files: %s/%s: cannot be written\n", dir.c_str(), name);
            return 1;
        }
        std::printf("%s\t%d\t%06X\n", name, groups, static_cast<unsigned>(colourOf(f, 0) & 0xFFFFFF));
    }
    return 0;
}

int writeCursorModule(const std::string& dir) {
    using fixtures::resId;
    using fixtures::resName;
    const fixtures::ModuleIcon icon = fixtures::modernIcon(resName("MAINICON"), fixtures::detailedPng(2));
    auto resources = fixtures::cursorResources(
        {{resName("ARROW"), {{fixtures::solidDib(32, 0xFF202020), 0, 0}, {fixtures::solidDib(48, 0xFF202020), 0, 0}}},
         {resId(2), {{fixtures::patternDib(32, 4), 15, 15}}}});
    resources.push_back({resId(formats::kRtAniCursor), resName("BUSY"),
                         fixtures::makeAni({.frames = {fixtures::makeCur({{fixtures::solidDib(32, 0xFFFF0000), 16, 16}}),
                                                       fixtures::makeCur({{fixtures::solidDib(32, 0xFF0000FF), 16, 16}})},
                                            .rate = {12, 12}})});
    if (!fixtures::writeFile(dir + "/cursors.dll", fixtures::makePe({icon}, {.extra = resources}))) {
        std::fprintf(stderr, "vexil_sample_files: %s/cursors.dll: cannot be written\n", dir.c_str());
        return 1;
    }
    std::string sizes;
    for (const fixtures::Bytes& image : icon.images) {
        const auto info = formats::imageHeaderInfo(image);
        if (!info) continue;
        sizes += (sizes.empty() ? "" : ",") + std::to_string(info->width) + "x" + std::to_string(info->height);
    }
    std::printf("%s\tARROW,#2,BUSY\n", sizes.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--programs") == 0) return writePrograms(argv[2], std::atoi(argv[3]));
    if (argc == 3 && std::strcmp(argv[1], "--cursors") == 0) return writeCursorModule(argv[2]);
    if (argc != 2) {
        std::fputs("usage: vexil_sample_files DIR | --programs DIR COUNT\n", stderr);
        return 2;
    }
    const std::string dir = argv[1];
    using fixtures::resId;
    using fixtures::resName;
    const struct {
        const char* name;
        fixtures::Bytes bytes;
    } samples[] = {
        {"pe32.exe", fixtures::makePe({fixtures::modernIcon(resName("MAINICON"), fixtures::detailedPng(1))})},
        {"pe32plus.dll", fixtures::makePe({fixtures::patternIcon(resId(1), {16, 32, 48}, 8)}, {.plus = true})},
        {"ne.exe", fixtures::makeNe({fixtures::patternIcon(resId(1), {16, 32}, 4)})},
        {"icon.ico", fixtures::makeIco({{fixtures::patternDib(16, 8)}, {fixtures::patternDib(48, 32)}})},
        {"noicons.exe", fixtures::makePe({}, {.withResources = false})},
        {"imageres.dll.mun", fixtures::makePe({fixtures::patternIcon(resId(2), {16, 32, 48}, 32),
                                               fixtures::patternIcon(resId(184), {16, 32}, 8)},
                                              {.plus = true, .resourceOnly = true})},
    };
    for (const auto& s : samples) {
        if (!fixtures::writeFile(dir + "/" + s.name, s.bytes)) {
            std::fprintf(stderr, "vexil_sample_files: %s/%s: cannot be written\n", dir.c_str(), s.name);
            return 1;
        }
    }
    return 0;
}
