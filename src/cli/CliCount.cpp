// vexil-cli count: the number of icons of each file, as the file list shows it.
#include <cstdio>

#include "cli/Cli.h"
#include "cli/LineText.h"
#include "formats/IconFile.h"
#include "platform/FileSource.h"

namespace cli {

int cmdCount(const Arguments& args) {
    // A path that cannot be read as a file (missing, a directory, a FIFO or device,
    // unreadable) gets a line on stderr instead of a count; the rest are still counted.
    bool failed = false;
    for (const std::string& path : args.words) {
        platform::FileSource::OpenError why{};
        int systemError = 0;
        auto source = platform::FileSource::open(path, &why, &systemError);
        if (!source) {
            fail(path + ": cannot be read: " + platform::FileSource::describe(why, systemError));
            failed = true;
            continue;
        }
        const auto file = formats::IconFile::fromSource(std::move(source));
        std::printf("%d\t%s\n", file ? file->count() : 0, lineText(path).c_str());
    }
    return failed ? 1 : 0;
}

}  // namespace cli
