#include "cli/CliFailure.h"

#include <cstdio>

#include "cli/Cli.h"
#include "cli/LineText.h"
#include "iconmod/Iconmod.h"
#include "platform/AtomicFile.h"

namespace cli {

std::string flatText(const std::string& text) {
    std::string flat;
    for (char c : text) {
        const bool blank = c == '\n' || c == '\r' || c == ' ';
        if (blank && (flat.empty() || flat.back() == ' ')) continue;
        flat.push_back(blank ? ' ' : c);
    }
    while (!flat.empty() && flat.back() == ' ') flat.pop_back();
    return flat;
}

std::string withFailure(const std::string& message, const iconmod::QIconMod& source) {
    return source.Failure.empty() ? message : message + ": " + flatText(source.Failure);
}

int fail(const std::string& message) {
    std::fprintf(stderr, "vexil-cli: %s\n", lineText(message).c_str());
    return 1;
}

namespace {

std::string writingText(const std::string& path, const std::string& what) {
    const std::string reason = platform::AtomicFile::lastError();
    return path + ": " + what + (reason.empty() ? "" : ": " + reason);
}

}  // namespace

int failWriting(const std::string& path, const std::string& what) { return fail(writingText(path, what)); }

int failWriting(const std::string& path, const std::string& what, const iconmod::QIconMod& source) {
    return fail(withFailure(writingText(path, what), source));
}

int usage(const std::string& message) {
    std::fprintf(stderr, "vexil-cli: %s\n", message.c_str());
    return 2;
}

std::optional<int> outputFolder(const Arguments& args, const std::optional<std::string>& standard,
                                const std::string& unknown, std::string* dir) {
    if (const std::string* prefix = args.value("--prefix")) {
        if (prefix->empty()) return usage("--prefix needs a directory");
        *dir = *prefix;
    } else if (standard) {
        *dir = *standard;
    } else {
        return fail(unknown + ": give --prefix DIR");
    }
    return std::nullopt;
}

}  // namespace cli
