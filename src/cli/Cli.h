// vexil-cli: the icon core from the command line. Each command is a function taking its
// arguments (after the command word) and returning the exit status; messages the program
// would show in a box are printed to stderr instead.
#pragma once

#include <string>
#include <vector>

namespace cli {

using Args = std::vector<std::string>;

int cmdGroups(const Args& args);
int cmdImages(const Args& args);
int cmdSaveIco(const Args& args);
int cmdSaveBmp(const Args& args);
int cmdCount(const Args& args);
int cmdRender(const Args& args);
int cmdExtract(const Args& args);

// Prints "vexil-cli: <message>" to stderr and returns 1 (failure) or 2 (usage).
int fail(const std::string& message);
int usage(const std::string& message);

}  // namespace cli
