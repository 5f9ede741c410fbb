// The commands that work on the extracted pictures, as the file list and the icon strip
// show them: counting icons and rendering one.
#include <cstdio>
#include <cstdlib>

#include "cli/Cli.h"
#include "cli/LineText.h"
#include "iconmod/PngExport.h"
#include "iconmod/StandardSave.h"
#include "platform/AtomicFile.h"
#include "platform/FileSource.h"
#include "platform/IconExtract.h"
#include "platform/MbText.h"

namespace cli {

int cmdCount(const Args& args) {
    if (args.empty()) return usage("usage: vexil-cli count FILE...");
    // A path that cannot be read as a file (missing, a directory, a FIFO or device,
    // unreadable) gets a line on stderr instead of a count; the rest are still counted.
    bool failed = false;
    for (const std::string& path : args) {
        const auto opened = platform::openFile(path);
        if (!opened) {
            fail(path + ": cannot be read: " + opened.reason());
            failed = true;
            continue;
        }
        std::printf("%d\t%s\n", opened.file->count(), lineText(path).c_str());
    }
    return failed ? 1 : 0;
}

int cmdRender(const Args& args) {
    if (args.size() != 5 || args[2] != "--size" || (args[3] != "32" && args[3] != "16")) {
        return usage("usage: vexil-cli render FILE I --size 32|16 OUT");
    }
    const std::string& path = args[0];
    const std::string& out = args[4];
    char* end = nullptr;
    const long index = std::strtol(args[1].c_str(), &end, 10);
    if (args[1].empty() || *end != '\0' || index < 0 || index > 65535) return usage("I must be an icon number (0, 1, ...)");
    const int size = args[3] == "32" ? 32 : 16;

    const std::string ext = platform::asciiLower(platform::extensionOf(out));
    bool (*writer)(const std::string&, const formats::ArgbImage&) = nullptr;
    if (ext == ".ico") writer = iconmod::writeStandardIco;
    else if (ext == ".bmp") writer = iconmod::writeWhiteBmp;
    else if (ext == ".jpg" || ext == ".jpeg") writer = iconmod::writeWhiteJpeg;
    else if (ext == ".png") writer = iconmod::writePng;
    else return usage("OUT must end in .ico, .bmp, .jpg, .jpeg or .png");

    const auto opened = platform::openFile(path);
    if (!opened) return fail(whyNotOpened(path, opened.error, opened.systemError));
    formats::OpenedFile* file = opened.file.get();
    if (file->count() == 0) return fail(path + ": holds no icons");
    if (index >= file->count()) {
        return fail(path + ": has " + std::to_string(file->count()) + " icons; there is no icon " + args[1]);
    }
    const auto picture = file->icon(static_cast<int>(index), size);
    if (!picture) return fail(path + ": icon " + args[1] + " cannot be extracted");
    if (!writer(out, *picture)) {
        return failWriting(out, "cannot be written");
    }
    return 0;
}

}  // namespace cli
