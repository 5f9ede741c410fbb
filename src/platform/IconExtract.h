// Icon extraction from files named by path: how many icons any file holds, and icon i
// rendered at the large and the small size with its transparency. Each opens the file once,
// read-only, and hands its bytes to the format readers; FIFOs, sockets, devices and
// directories are never opened for reading.
#pragma once

#include <memory>
#include <string>

#include "formats/ArgbImage.h"
#include "formats/IconFile.h"
#include "formats/ModuleResources.h"

namespace platform {

// The file at path opened for counting and extracting; nullptr when it is not a regular
// file that can be read.
std::unique_ptr<formats::IconFile> openIconFile(const std::string& path);

// The module at path (PE32, PE32+ or NE); nullptr for anything else or an unreadable file.
std::unique_ptr<formats::ResourceModule> openModuleFile(const std::string& path);

// Number of icons of the file at path (0 for anything that holds none or cannot be read).
int iconCount(const std::string& path);

// Icon `index` of the file at the large and the small size, from a single open.
bool extractIcon(const std::string& path, int index, formats::ArgbImage* large, formats::ArgbImage* small,
                 int largeSize = 32, int smallSize = 16);

}  // namespace platform
