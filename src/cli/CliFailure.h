// vexil-cli's failure lines: one line on stderr for each failure or usage error. Where the
// icon core failed, the line carries what it said (a box in the window), after ": ".
#pragma once

#include <string>

namespace iconmod {
class QIconMod;
}

namespace cli {

// Prints "vexil-cli: <message>" to stderr and returns 1 (failure) or 2 (usage). A failure
// line is written as lineText writes it; a usage message as it is (it may end in a usage
// line), so its caller escapes any word it quotes.
int fail(const std::string& message);
int usage(const std::string& message);
// fail() for an output that could not be written: "<path>: <what>: <the system's reason>"
// (the reason of the last failed write, where there is one).
int failWriting(const std::string& path, const std::string& what);
// The same, then what the source's last failed call said.
int failWriting(const std::string& path, const std::string& what, const iconmod::QIconMod& source);

// A message box's text on one line: its line breaks and the blanks around them become one
// blank.
std::string flatText(const std::string& text);
// `message`, then what the source's last failed call said (its Failure), on one line.
std::string withFailure(const std::string& message, const iconmod::QIconMod& source);

}  // namespace cli
