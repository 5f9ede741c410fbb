// vexil-cli's cursor commands and the listing: what kind of file a path holds, opened once
// for what the commands read of it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/Cli.h"
#include "formats/ModuleResources.h"
#include "formats/OpenedFile.h"
#include "iconmod/Cursors.h"

namespace cli {

// Opens the file; nullptr with *error ("PATH: cannot be read: " and the system's reason)
// when it cannot be read.
std::unique_ptr<formats::OpenedFile> openFile(const std::string& path, std::string* error);

// The bytes of a file that is no module, read whole (for copies); nullopt when they cannot
// be read.
std::optional<iconmod::SharedBytes> readWhole(formats::OpenedFile& file);

// The commands. Each returns the exit status, or nullopt when the command line is not one
// of them (`groups` and `images` without --cursors).
std::optional<int> runCursorCommand(const std::string& command, const Args& args);

int cmdList(const Args& args);

}  // namespace cli
