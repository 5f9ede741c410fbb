// vexil-cli: the icon core from the command line. Each command is a function taking its
// arguments (after the command word) and returning the exit status; messages the program
// would show in a box are printed to stderr instead.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "iconmod/Iconmod.h"
#include "platform/FileSource.h"

namespace cli {

using Args = std::vector<std::string>;

int cmdGroups(const Args& args);
int cmdImages(const Args& args);
int cmdSaveIco(const Args& args);
int cmdSaveBmp(const Args& args);
int cmdCount(const Args& args);
int cmdRender(const Args& args);
int cmdExtract(const Args& args);
int cmdTheme(const Args& args);

// Replaces "--location PATH,N" in a command's arguments by the two it stands for, put
// first: FILE and GROUP, or for render FILE and I. It names a cursor group for the cursor
// commands and with --cursors, else an icon group. nullopt when done (or when there is no
// such option); otherwise the exit status after the failure line.
std::optional<int> takeLocation(const std::string& command, Args& args);

// "PATH: why" for a file that could not be opened: "no such file", the system's words for
// one that is not regular, "cannot be opened: " and the system's reason.
std::string whyNotOpened(const std::string& path, platform::FileSource::OpenError error, int systemError);
// "PATH: why" for a file that gives no icon groups, from the icon core's error value.
std::string whyNoIcons(const std::string& path, const iconmod::SourceError& error);

// Prints "vexil-cli: <message>" to stderr and returns 1 (failure) or 2 (usage). A failure
// line also carries the message the core last showed, after ": ", so that each failure is
// one line.
int fail(const std::string& message);
int usage(const std::string& message);
// fail() for an output that could not be written: "<path>: <what>: <the system's reason>"
// (the reason of the last failed write, where there is one).
int failWriting(const std::string& path, const std::string& what);

// Keeps a message of the core (a box in the window) for the next failure line, as one line.
void noteCoreMessage(const std::string& text);
// Prints a kept message that no failure line carried.
void flushCoreMessage();

}  // namespace cli
