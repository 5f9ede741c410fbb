// Writes sample files for the tests that run whole programs, into the directory given.
//
//   vexil_sample_files DIR
//       what the desktop tests hand to the thumbnail service: a PE32 program whose group
//       holds a 256-pixel PNG, a PE32+ DLL and a 16-bit NE program with bitmaps only, an
//       .ico file, a program without icons, a resource-only module as Windows 10/11
//       keeps system icons in (imageres.dll.mun: resources and no code), an installer
//       package with an icon (setup.msi), and a Wine prefix (wine/) whose drive_c holds a
//       program and a shortcut to it (wine/drive_c/app.lnk).
//   vexil_sample_files --programs DIR COUNT
//       what the window lists in the X11 test: setup00.exe ... (PE32 and PE32+ programs of
//       1 to 3 icon groups, every icon one solid colour at 32 and 16 pixels), and for each
//       one line on stdout: NAME<TAB>ICONS<TAB>RRGGBB (the colour of its icon 0).
//   vexil_sample_files --cursor-pack DIR
//       a Windows cursor pack as the cursor theme tests take it: install.inf in UTF-16
//       naming the scheme "Probe Pack" and its 17 cursor files (AppStarting and Wait
//       animated), each role in a colour of its own; on stdout, one line a role:
//       ROLE<TAB>RRGGBB.
//   vexil_sample_files --cursors DIR
//       what the X11 test opens in the details window: cursors.dll, whose icon group holds
//       images as current programs carry them and which has two cursor groups and an
//       animated cursor; one line on stdout: its icon group's sizes (WxH, comma-separated,
//       as stored), TAB, its cursors' names (comma-separated, as vexil-cli lists them).
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "formats/CursorRoles.h"
#include "formats/IconDecode.h"
#include "support/ImageFixtures.h"
#include "support/InfFixtures.h"
#include "support/LinkFixtures.h"
#include "support/ModuleFixtures.h"
#include "support/PackFixtures.h"

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

int writeCursorPack(const std::string& dir) {
    auto files = fixtures::templatePackFiles("");
    files.push_back({"install.inf", fixtures::utf16Text(fixtures::templateInf("Probe Pack")), {}});
    if (!fixtures::writePack(dir, files)) {
        std::fprintf(stderr, "vexil_sample_files: %s: the pack cannot be written\n", dir.c_str());
        return 1;
    }
    for (std::size_t r = 0; r < formats::kCursorRoleCount; ++r)
        std::printf("%s\t%06X\n", formats::cursorRoleName(*formats::cursorRoleAt(r)), static_cast<unsigned>(fixtures::roleColour(r) & 0xFFFFFF));
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
    if (argc == 3 && std::strcmp(argv[1], "--cursor-pack") == 0) return writeCursorPack(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "--cursors") == 0) return writeCursorModule(argv[2]);
    if (argc != 2) {
        std::fputs("usage: vexil_sample_files DIR | --programs DIR COUNT | --cursor-pack DIR\n", stderr);
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
        {"setup.msi", fixtures::makeMsi({.icons = {{"product.ico", fixtures::makeIco({{fixtures::patternDib(48, 32)}})}}})},
        {"imageres.dll.mun", fixtures::makePe({fixtures::patternIcon(resId(2), {16, 32, 48}, 32),
                                               fixtures::patternIcon(resId(184), {16, 32}, 8)},
                                              {.plus = true, .resourceOnly = true})},
    };
    fixtures::makePrefix(dir + "/wine", {});
    fixtures::LinkSpec link;
    link.linkInfo = fixtures::LinkInfoSpec{.localBasePath = std::string("C:\\Program Files\\App\\app.exe")};
    ::mkdir((dir + "/wine/drive_c/Program Files/App").c_str(), 0755);
    const struct {
        const char* name;
        fixtures::Bytes bytes;
    } inPrefix[] = {
        {"wine/drive_c/Program Files/App/app.exe", samples[0].bytes},
        {"wine/drive_c/app.lnk", fixtures::makeLink(link)},
    };
    for (const auto& s : inPrefix) {
        if (!fixtures::writeFile(dir + "/" + s.name, s.bytes)) {
            std::fprintf(stderr, "vexil_sample_files: %s/%s: cannot be written\n", dir.c_str(), s.name);
            return 1;
        }
    }
    for (const auto& s : samples) {
        if (!fixtures::writeFile(dir + "/" + s.name, s.bytes)) {
            std::fprintf(stderr, "vexil_sample_files: %s/%s: cannot be written\n", dir.c_str(), s.name);
            return 1;
        }
    }
    return 0;
}
