// The system's own words for an error number, for messages that name a file and the reason.
#pragma once

#include <string>

namespace platform {

// The text of an errno value ("Permission denied"); "error N" for a number the system
// does not know. Thread-safe.
std::string systemErrorText(int error);

}  // namespace platform
