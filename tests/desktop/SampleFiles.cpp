// Writes the sample files the desktop tests hand to the thumbnail service, into the
// directory given: a PE32 program whose group holds a 256-pixel PNG, a PE32+ DLL and a
// 16-bit NE program with bitmaps only, an .ico file, and a program without icons.
//
//   vexil_sample_files DIR
#include <cstdio>
#include <string>

#include "support/ImageFixtures.h"
#include "support/ModuleFixtures.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: vexil_sample_files DIR\n", stderr);
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
    };
    for (const auto& s : samples) {
        if (!fixtures::writeFile(dir + "/" + s.name, s.bytes)) {
            std::fprintf(stderr, "vexil_sample_files: %s/%s: cannot be written\n", dir.c_str(), s.name);
            return 1;
        }
    }
    return 0;
}
