// vexil-cli's failure lines: one line on stderr for each failure or usage error, carrying
// the message the icon core showed (a box in the window) on the same line.
#pragma once

#include <string>

namespace cli {

// Prints "vexil-cli: <message>" to stderr and returns 1 (failure) or 2 (usage). A failure
// line is written as lineText writes it; a usage message as it is (it may end in a usage
// line), so its caller escapes any word it quotes. A failure line also carries the message the core last showed, after ": ", so that each failure is
// one line.
int fail(const std::string& message);
int usage(const std::string& message);
// fail() for an output that could not be written: "<path>: <what>: <the system's reason>"
// (the reason of the last failed write, where there is one).
int failWriting(const std::string& path, const std::string& what);

// Keeps a message of the core (a box in the window) for the next failure line, as one line.
// A message box's text on one line: its line breaks and the blanks around them become one
// blank.
std::string flatText(const std::string& text);
void noteCoreMessage(const std::string& text);
// Prints a kept message that no failure line carried.
void flushCoreMessage();

}  // namespace cli
