#include "platform/IconExtract.h"

#include <utility>

#include "platform/FileSource.h"

namespace platform {

std::unique_ptr<formats::IconFile> openIconFile(const std::string& path) {
    auto source = FileSource::open(path);
    if (!source) return nullptr;
    return formats::IconFile::fromSource(std::move(source));
}

std::unique_ptr<formats::ResourceModule> openModuleFile(const std::string& path) {
    auto source = FileSource::open(path);
    if (!source) return nullptr;
    return formats::ResourceModule::open(std::move(source));
}

int iconCount(const std::string& path) {
    const auto file = openIconFile(path);
    return file ? file->count() : 0;
}

bool extractIcon(const std::string& path, int index, formats::ArgbImage* large, formats::ArgbImage* small,
                 int largeSize, int smallSize) {
    const auto file = openIconFile(path);
    if (!file) return false;
    auto l = file->icon(index, largeSize);
    auto s = file->icon(index, smallSize);
    if (!l || !s) return false;
    if (large) *large = std::move(*l);
    if (small) *small = std::move(*s);
    return true;
}

}  // namespace platform
