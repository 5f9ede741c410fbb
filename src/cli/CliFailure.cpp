#include "cli/CliFailure.h"

#include <cstdio>

#include "cli/LineText.h"
#include "platform/AtomicFile.h"

namespace cli {
namespace {

// The last message the core showed and no failure line has carried yet.
std::string& pendingMessage() {
    static std::string message;
    return message;
}

}  // namespace

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

void noteCoreMessage(const std::string& text) {
    if (pendingMessage().empty()) pendingMessage() = flatText(text);
}

void flushCoreMessage() {
    if (pendingMessage().empty()) return;
    std::fprintf(stderr, "vexil-cli: %s\n", lineText(pendingMessage()).c_str());
    pendingMessage().clear();
}

int fail(const std::string& message) {
    std::string line = message;
    if (!pendingMessage().empty()) line += ": " + pendingMessage();
    pendingMessage().clear();
    std::fprintf(stderr, "vexil-cli: %s\n", lineText(line).c_str());
    return 1;
}

int failWriting(const std::string& path, const std::string& what) {
    const std::string reason = platform::AtomicFile::lastError();
    return fail(path + ": " + what + (reason.empty() ? "" : ": " + reason));
}

int usage(const std::string& message) {
    std::fprintf(stderr, "vexil-cli: %s\n", message.c_str());
    return 2;
}

}  // namespace cli
