#include "iconmod/SaveName.h"

#include <sys/stat.h>

#include "platform/MessageBox.h"

namespace savename {

SaveNameParts splitSaveName(const std::string& name, platform::Encoding enc) {
    SaveNameParts parts;
    const std::size_t slash = platform::findLastChar(name, platform::kPathSeparator, enc);
    const std::size_t lastStart = slash == std::string::npos ? 0 : slash + 1;
    parts.directory = name.substr(0, lastStart);
    const std::string last = name.substr(lastStart);
    const std::size_t dot = platform::findLastChar(last, '.', enc);
    parts.base = last.substr(0, dot);
    if (dot != std::string::npos) parts.extension = last.substr(dot);
    return parts;
}

int kindOfExtension(const std::string& extension) {
    if (platform::compareIgnoreCase(extension, ".ico") == 0) return kKindIcon;
    if (platform::compareIgnoreCase(extension, ".bmp") == 0) return kKindBitmap;
    if (platform::compareIgnoreCase(extension, ".jpg") == 0 || platform::compareIgnoreCase(extension, ".jpeg") == 0)
        return kKindJpeg;
    return kKindOther;
}

const char* defaultExtension(int filterIndex) {
    switch (filterIndex) {
        case 2: return ".bmp";
        case 3: return ".jpg";
        default: return ".ico";
    }
}

}  // namespace savename

namespace {

// True for an existing file (a symbolic link to one included); a directory does not count.
bool fileExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

}  // namespace

int CheckSaveName(std::string& path, const std::string& chosenName, int filterIndex, platform::Encoding enc) {
    const savename::SaveNameParts parts = savename::splitSaveName(chosenName, enc);
    const bool added = parts.extension.empty();
    const std::string extension = added ? savename::defaultExtension(filterIndex) : parts.extension;
    const int kind = savename::kindOfExtension(extension);
    if (kind == savename::kKindOther) return kind;

    // The directory piece ends in its separator whenever it is not empty.
    path = parts.directory + parts.base + extension;
    // A typed extension was already checked for overwriting by the save-file dialog.
    if (!added || !fileExists(path)) return kind;
    const int answer = platform::messageBox(path + savename::kOverwriteQuestion, savename::kOverwriteTitle,
                                            platform::mb::YesNo | platform::mb::IconQuestion);
    return answer == platform::mb::IdYes ? kind : savename::kKindDeclined;
}
