// vexil-cli count: the number of icons of each file, as the file list shows it.
#include <cstdio>

#include "cli/Cli.h"
#include "cli/LineText.h"
#include "formats/OpenedFile.h"
#include "platform/IconExtract.h"

namespace cli {

int cmdCount(const Arguments& args) {
    // A path that cannot be read as a file (missing, a directory, a FIFO or device,
    // unreadable) gets a line on stderr instead of a count; the rest are still counted.
    bool failed = false;
    for (const std::string& path : args.words) {
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

}  // namespace cli
