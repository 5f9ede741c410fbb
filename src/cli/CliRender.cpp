// vexil-cli render: one icon as the icon strip shows it.
#include <cstdio>

#include "cli/Cli.h"
#include "cli/CliPointer.h"
#include "cli/Commands.h"
#include "cli/LineText.h"
#include "iconmod/PngExport.h"
#include "iconmod/StandardSave.h"
#include "platform/AtomicFile.h"
#include "platform/FileSource.h"
#include "platform/IconExtract.h"
#include "platform/MbText.h"

namespace cli {

int cmdRender(const Arguments& args) {
    const std::string* sizeText = args.value("--size");
    if (!sizeText || (*sizeText != "32" && *sizeText != "16")) return usage(usageLine(*findCommand("render")));
    const std::string& path = args.words[0];
    const std::string& out = args.words[2];
    const auto number = parseNumber(args.words[1], 0, 65535);
    if (!number) return usage("I must be an icon number (0, 1, ...)");
    const int index = static_cast<int>(*number);
    const int size = *sizeText == "32" ? 32 : 16;

    const std::string ext = platform::asciiLower(platform::extensionOf(out));
    bool (*writer)(const std::string&, const formats::ArgbImage&) = nullptr;
    if (ext == ".ico") writer = iconmod::writeStandardIco;
    else if (ext == ".bmp") writer = iconmod::writeWhiteBmp;
    else if (ext == ".jpg" || ext == ".jpeg") writer = iconmod::writeWhiteJpeg;
    else if (ext == ".png") writer = iconmod::writePng;
    else return usage("OUT must end in .ico, .bmp, .jpg, .jpeg or .png");

    // A file that points at an icon: I is the position among its groups, standing for the
    // group in the file it names.
    InputFile input = openInput(path);
    int status = 0;
    auto pointed = openPointedAt(input, static_cast<std::size_t>(index), &status);
    if (status != 0) return status;
    if (!input.pointer && !input.file) return fail(whyNotOpened(path, input.error, input.systemError));
    formats::OpenedFile* file = pointed ? pointed->file.get() : input.file.get();
    const std::string& named = pointed ? pointed->path : path;
    const int at = pointed ? static_cast<int>(pointed->index) : index;
    if (file->count() == 0) return fail(named + ": holds no icons");
    if (at >= file->count()) {
        return fail(named + ": has " + std::to_string(file->count()) + " icons; there is no icon " + args.words[1]);
    }
    const auto picture = file->icon(at, size);
    if (!picture) return fail(named + ": icon " + args.words[1] + " cannot be extracted");
    if (!writer(out, *picture)) {
        return failWriting(out, "cannot be written");
    }
    return 0;
}

}  // namespace cli
