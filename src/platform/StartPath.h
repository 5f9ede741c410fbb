// What `vexil PATH` opens: the directory to show and, for a file, the file to select in it.
// Toolkit-free.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct StartTarget {
    enum class Kind {
        Directory,  // PATH is a directory: show it
        File,       // PATH is a file: show its directory and select it
        Missing,    // PATH does not exist: show the directory that would hold it
        Nowhere,    // neither PATH nor a directory holding it exists: the usual start
    };
    Kind kind = Kind::Nowhere;
    std::string directory;  // absolute, symbolic links resolved; empty for Nowhere
    std::string fileName;   // the file's name in `directory` (File only)
};

// PATH relative to `cwd` unless absolute, resolved with realpath. Anything that is not a
// directory counts as a file. A path that cannot be resolved falls back on the directory
// named before its last component.
StartTarget resolveStartPath(const std::string& path, const std::string& cwd);

// The filter entry that lists a file (0 programs, 1 DLLs, 2 all files) by its extension,
// ignoring case.
int filterIndexForFile(const std::string& fileName);

// The path of the first local file a text/uri-list names (a drop on the window): its first
// `file:` URI with no host or "localhost", percent escapes decoded to the bytes they stand
// for (a name that is not UTF-8 stays the bytes it is). Comment lines and other URIs are
// passed over; nullopt when none is left.
std::optional<std::string> firstLocalPath(std::string_view uriList);

// The `file:` URI of an absolute path, for a drag out of the window: every byte but an
// unreserved ASCII character or "/" percent-escaped, so a name that is not UTF-8 keeps its
// bytes (firstLocalPath gives the path back).
std::string fileUri(std::string_view path);

}  // namespace platform
