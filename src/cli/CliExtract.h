// vexil-cli extract: every icon of many files at once. The pieces that the command is
// built from, kept apart so each can be read (and checked) on its own: the options, the
// list of input files, and the names of the files written.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/Cli.h"
#include "formats/ModuleResources.h"
#include "formats/OpenedFile.h"
#include "iconmod/ExtractOutput.h"
#include "platform/AtomicFile.h"
#include "platform/DirWalk.h"
#include "platform/FileSource.h"

namespace cli::extract {

using Format = iconmod::ExtractFormat;

struct Options {
    std::vector<std::string> paths;
    std::string outDir;
    bool recursive = false;
    std::string mask = "*";
    Format format = Format::Ico;
    bool exact = false;   // bitmaps with biSizeImage as stored (save-ico --exact)
    bool force = false;
    bool verbose = false;
    bool cursors = false;  // also cursor groups (.cur), animated resources and files (.ani)
    bool shortcuts = false;  // the icon each shortcut, .url, desktop.ini, autorun.inf shows
};

// The options of `extract`; nullopt with *error set when they are not usable.
std::optional<Options> parseOptions(const Arguments& args, std::string* error);

// Why a file gives no icons. The first two are expected in any directory; the rest fail
// the run. DirectoryLink is no file: a link to a directory that a walk passed by.
enum class Skip { NoIcons, NotRegular, Unreadable, Damaged, DirectoryLink };

// One input: a file to read, or one that is skipped without being opened. A file found by
// a walk is known by its directory in the walk and its name, never by a whole path.
struct Input {
    std::string path;            // a PATH given, as given; empty for what a walk found
    std::string name;            // its last path component
    bool named = false;          // given on the command line itself
    std::optional<Skip> skip;    // set: not opened
    std::string reason;          // the system's reason, for Unreadable
    platform::DirWalk::DirId dir = platform::DirWalk::kNoDir;  // found by a walk: the directory holding it
};

// The files to read, in a fixed order: the paths as given; inside a directory, its
// entries sorted bytewise by name, each subdirectory (with `recursive`) walked where its
// name falls. Only regular files (or links to them) whose names match the mask are taken;
// FIFOs, sockets and devices, linked or not, are listed as skipped and never opened. A
// PATH given is followed when it is a link (as `find -H` does), but a walk never enters a
// directory through a link it meets (those come back as DirectoryLink). `walk` does the
// walking (any depth, a bounded number of descriptors) and keeps the directories found,
// by which inputs are named and opened later. A directory named twice is walked once;
// `skipDirectory` (the output directory) is never entered during a walk. Paths that
// cannot be found or listed come back as Unreadable, with the reason.
std::vector<Input> collectInputs(const Options& options, const std::string& skipDirectory, platform::DirWalk& walk);

// The path of an input, for messages (it may be longer than the system takes).
std::string inputPath(const Input& input, const platform::DirWalk& walk);

// Opens an input for reading when it is a regular file (platform::FileSource::open's
// rules): a named file by its path; a file found by a walk in its directory, reached from
// the named directory down through no symbolic link (a last one to the file itself is
// followed).
std::unique_ptr<platform::FileSource> openInput(const Input& input, platform::DirWalk& walk,
                                                platform::FileSource::OpenError* error, int* systemError);

using OutputWriter = iconmod::OutputWriter;

// One cursor file to write for an input: `group` names it beside the input's name (none:
// the input's own name), `write` writes it.
struct CursorOutput {
    std::optional<std::string> group;
    std::string extension;
    OutputWriter write;
};

// The cursors of a module, one at a time, each read only when its turn comes: each
// cursor group as its exact .cur, each RT_ANICURSOR and RT_ANIICON resource as the .ani
// file it holds. *damaged is set when a group or animation cannot be read (it is left
// out). Returns how many were handed to `each`.
std::size_t forEachModuleCursor(formats::ResourceModule& module, const std::function<void(const CursorOutput&)>& each,
                                bool* damaged);

// A .cur or .ani file copied as found; nullopt for any other file.
std::optional<CursorOutput> cursorFileCopy(formats::OpenedFile& file);

// The output names and each group's file are iconmod's (the window writes them too).
using iconmod::NameBook;
using iconmod::safeComponent;

}  // namespace cli::extract
