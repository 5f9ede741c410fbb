// vexil-cli: the icon core from the command line. Each command is a function taking its
// parsed arguments (cli/Commands.h has the table of them) and returning the exit status;
// messages the program would show in a box are printed to stderr instead.
#pragma once

#include <optional>
#include <string>

#include "cli/Arguments.h"
#include "cli/CliFailure.h"

#include "iconmod/Iconmod.h"
#include "platform/FileSource.h"

namespace cli {

struct Command;

int cmdGroups(const Arguments& args);
int cmdImages(const Arguments& args);
int cmdSaveIco(const Arguments& args);
int cmdSavePng(const Arguments& args);
int cmdSaveBmp(const Arguments& args);
int cmdSaveCur(const Arguments& args);
int cmdXcursor(const Arguments& args);
int cmdCount(const Arguments& args);
int cmdRender(const Arguments& args);
int cmdExtract(const Arguments& args);
int cmdTheme(const Arguments& args);
int cmdList(const Arguments& args);
// Files that point at icons (cli/CliResolve.cpp, cli/CliShortcuts.cpp).
int cmdResolve(const Arguments& args);
int cmdShortcuts(const Arguments& args);
int cmdCursorTheme(const Arguments& args);

// Puts the two words that "--location PATH,N" stands for first: FILE and GROUP, or for
// render FILE and I. It names a cursor group for the cursor commands and with --cursors,
// else an icon group. nullopt when done; otherwise the exit status after the failure line.
std::optional<int> takeLocation(const Command& command, Arguments& args);

// The folder a command writes its tree under: --prefix DIR, else `standard` (where the
// desktop looks). nullopt with *dir set; otherwise the exit status after the failure line,
// `unknown` saying why there is no standard folder.
std::optional<int> outputFolder(const Arguments& args, const std::optional<std::string>& standard,
                                const std::string& unknown, std::string* dir);

// "PATH: why" for a file that could not be opened: "no such file", the system's words for
// one that is not regular, "cannot be opened: " and the system's reason.
std::string whyNotOpened(const std::string& path, platform::FileSource::OpenError error, int systemError);
// "PATH: why" for a file that gives no icon groups, from the icon core's error value.
std::string whyNoIcons(const std::string& path, const iconmod::SourceError& error);

// "cannot load icon group GROUP" and, for a GROUP that is a bare number, the hint that
// "#N" names the group with that id.
std::string cannotLoadGroup(const std::string& path, const std::string& group, const char* noun = "icon group");
std::string bareNumberHint(const std::string& group);

}  // namespace cli
