// vexil-cli's commands, one entry each: the table from which the program dispatches, checks
// the words and options each command takes, and writes its --help.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cli/Arguments.h"

namespace cli {

// What --location PATH,N stands for in a command: FILE GROUP (an icon group, or a cursor
// group with --cursors), FILE I (render's icon number), or FILE GROUP of a cursor group.
enum class Location { None, Group, Icon, CursorGroup };

struct Command {
    const char* name;
    int (*run)(const Arguments& args);
    const char* usage;         // after "vexil-cli ": "save-ico FILE GROUP OUT [--image K]"
    const char* help;          // what it does, for --help: lines of at most 42 characters
    std::vector<Option> options;
    std::size_t words;          // the words (no options) it needs, after --location put its two in
    Location location = Location::None;
    bool severalFiles = false;  // FILE... (PATH...): `words` at least, any number more
};

const std::vector<Command>& commands();

// The command of that name; nullptr for none.
const Command* findCommand(const std::string& name);

// "usage: vexil-cli " and the command's usage line.
std::string usageLine(const Command& command);

// The text of vexil-cli --help.
std::string helpText();

// Runs the command line after the program name: the command word and its arguments.
// Returns the exit status.
int runCommand(const std::string& name, const std::vector<std::string>& given);

// Runs `one` on each file in turn; with more than one, a "==> FILE <==" line goes before
// each file's output (a blank line before all but the first), as `head` writes it. A file
// that fails does not stop the others. Returns the highest status.
int forEachFile(const std::vector<std::string>& files, int (*one)(const std::string& file, const Arguments& args),
                const Arguments& args);

}  // namespace cli
