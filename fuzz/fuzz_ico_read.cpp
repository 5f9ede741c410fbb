// Reading an .ico file whole, as the icon save dialog opens one: the input is written to a
// file with an .ico name and opened through QIconMod, and listed from its headers as the
// command line lists it (the listing must describe what was read). A file that reads must
// survive a save of all its images and of one, and read back as the same images.
#include "FuzzCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    const std::string path = fuzz::scratchFile("input.ico");
    if (!fuzz::writeFile(path, data, size)) return 0;
    iconmod::QIconMod source(path);
    const bool opened = source.fnOpen();
    fuzz::checkListing(iconmod::QIconMod::fnListIcoFile(path), source.Images.get());
    if (opened) fuzz::exerciseImageSet(source);
    return 0;
}
