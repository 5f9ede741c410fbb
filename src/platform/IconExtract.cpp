#include "platform/IconExtract.h"

#include <fcntl.h>

#include <utility>

namespace platform {

Opened openedFrom(std::unique_ptr<FileSource> source, FileSource::OpenError error, int systemError) {
    Opened opened;
    if (source) opened.file = formats::OpenedFile::fromSource(std::move(source));
    else opened.error = error, opened.systemError = systemError;
    return opened;
}

Opened openFile(const std::string& path) { return openFileAt(AT_FDCWD, path); }

Opened openFileAt(int directoryFd, const std::string& name) {
    FileSource::OpenError error = FileSource::OpenError::None;
    int systemError = 0;
    auto source = FileSource::openAt(directoryFd, name, &error, &systemError);
    return openedFrom(std::move(source), error, systemError);
}

int iconCount(const std::string& path) {
    const auto opened = openFile(path);
    return opened ? opened.file->count() : 0;
}

bool extractIcon(const std::string& path, int index, formats::ArgbImage* large, formats::ArgbImage* small,
                 int largeSize, int smallSize) {
    const auto opened = openFile(path);
    if (!opened) return false;
    auto l = opened.file->icon(index, largeSize);
    auto s = opened.file->icon(index, smallSize);
    if (!l || !s) return false;
    if (large) *large = std::move(*l);
    if (small) *small = std::move(*s);
    return true;
}

}  // namespace platform
