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

// One file's cursor group names, and the images of its cursor group --group (its first
// without), for `groups` and `images` with --cursors.
int cursorGroupsOfFile(const std::string& path, const Arguments& args);
int cursorImagesOfFile(const std::string& path, const Arguments& args);

}  // namespace cli
