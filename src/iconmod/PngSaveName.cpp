#include "iconmod/PngSaveName.h"

#include <sys/stat.h>

#include "iconmod/SaveName.h"
#include "platform/MessageBox.h"

int CheckPngSaveName(std::string& path, const std::string& chosenName, platform::Encoding enc) {
    const savename::SaveNameParts parts = savename::splitSaveName(chosenName, enc);
    const std::string extension = parts.extension.empty() ? std::string(".png") : parts.extension;
    if (platform::compareIgnoreCase(extension, ".png") != 0) return savename::kKindOther;
    path = parts.directory + parts.base + extension;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return savename::kKindPng;
    const int answer = platform::messageBox(path + savename::kOverwriteQuestion, savename::kOverwriteTitle,
                                            platform::mb::YesNo | platform::mb::IconQuestion);
    return answer == platform::mb::IdYes ? savename::kKindPng : savename::kKindDeclined;
}
