// Writes the programs the X11 smoke test lists: smoke_programs DIR COUNT
// DIR receives setup00.exe ... (PE32 and PE32+ programs of 1 to 3 icon groups, every icon
// one solid colour at 32 and 16 pixels). For each file one line goes to stdout:
//   NAME<TAB>ICONS<TAB>RRGGBB   (the colour of its icon 0)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "support/ModuleFixtures.h"

namespace {

fixtures::Argb colourOf(int file, int group) {
    return 0xFF000000u | static_cast<fixtures::Argb>((file * 53 + 17) % 256) << 16 |
           static_cast<fixtures::Argb>((group * 71 + 90) % 256) << 8 | static_cast<fixtures::Argb>((file * 29 + 200) % 256);
}

fixtures::ModuleIcon solidIcon(int id, fixtures::Argb colour) {
    fixtures::ModuleIcon icon{fixtures::resId(static_cast<std::uint16_t>(id)), {}, {}};
    for (int size : {32, 16}) {
        fixtures::DibSpec dib;
        dib.width = dib.height = size;
        dib.bitCount = 24;
        dib.pixel = [colour](int, int) { return colour; };
        icon.images.push_back(fixtures::makeDib(dib));
    }
    return icon;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: smoke_programs DIR COUNT\n");
        return 2;
    }
    const std::string dir = argv[1];
    const int count = std::atoi(argv[2]);
    for (int f = 0; f < count; ++f) {
        const int groups = 1 + f % 3;
        std::vector<fixtures::ModuleIcon> icons;
        for (int g = 0; g < groups; ++g) icons.push_back(solidIcon(g + 1, colourOf(f, g)));
        fixtures::PeOptions options;
        options.plus = f % 2 == 1;
        char name[32];
        std::snprintf(name, sizeof name, "setup%02d.exe", f);
        if (!fixtures::writeFile(dir + "/" + name, fixtures::makePe(icons, options))) {
            std::fprintf(stderr, "smoke_programs: cannot write %s/%s\n", dir.c_str(), name);
            return 1;
        }
        std::printf("%s\t%d\t%06X\n", name, groups, static_cast<unsigned>(colourOf(f, 0) & 0xFFFFFF));
    }
    return 0;
}
