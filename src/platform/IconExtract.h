// Files named by path opened for what Vexil reads of them, and icon extraction from them:
// how many icons any file holds, and icon i rendered at the large and the small size with
// its transparency. A file is opened once, read-only (FileSource: FIFOs, sockets, devices
// and directories are never opened for reading), its kind decided once, and everything
// read of it goes through the one formats::OpenedFile.
#pragma once

#include <memory>
#include <string>

#include "formats/ArgbImage.h"
#include "formats/OpenedFile.h"
#include "platform/FileSource.h"

namespace platform {

// An opened file, or why there is none: not found, not a regular file, or unreadable with
// the system's reason. A damaged file opens; its kind check's reason is file->problem().
struct Opened {
    std::unique_ptr<formats::OpenedFile> file;
    FileSource::OpenError error = FileSource::OpenError::None;
    int systemError = 0;

    explicit operator bool() const { return file != nullptr; }
    // The system's words for the failure ("No such file or directory", "is a directory").
    std::string reason() const { return FileSource::describe(error, systemError); }
};

Opened openFile(const std::string& path);
// `name` in the directory open as `directoryFd`.
Opened openFileAt(int directoryFd, const std::string& name);
// A source FileSource::open gave (nullptr: the failure in `error` and `systemError`).
Opened openedFrom(std::unique_ptr<FileSource> source, FileSource::OpenError error, int systemError);

// Number of icons of the file at path (0 for anything that holds none or cannot be read).
int iconCount(const std::string& path);

// Icon `index` of the file at the large and the small size, from a single open.
bool extractIcon(const std::string& path, int index, formats::ArgbImage* large, formats::ArgbImage* small,
                 int largeSize = 32, int smallSize = 16);

}  // namespace platform
