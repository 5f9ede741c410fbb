// Turning the name chosen in a save-file dialog into the path and kind of file to write,
// as both save paths (the standard save and the icon save dialog) do it. Toolkit-free.
#pragma once

#include <string>

#include "platform/MbText.h"

namespace savename {

// The message both save paths show for a name of another type, and its title.
inline constexpr const char* kWrongType = "ﾌｧｲﾙﾀｲﾌﾟがico, bmp, jpgでありません ";
inline constexpr const char* kErrorTitle = "ｴﾗｰ";

// Texts of the overwrite question.
inline constexpr const char* kOverwriteQuestion = "\nは既に存在します。上書きしますか(Y/N)？";
inline constexpr const char* kOverwriteTitle = "Vexil";

// Results of CheckSaveName.
inline constexpr int kKindDeclined = -1;
inline constexpr int kKindOther = 0;
inline constexpr int kKindIcon = 1;
inline constexpr int kKindBitmap = 2;
inline constexpr int kKindJpeg = 3;

// The chosen name taken apart: directory (up to and including the last separator), base
// name and extension (from the last "." of the last component on, dot included). Whole
// characters only, so a trail byte of a double-byte character is never a separator or a dot.
struct SaveNameParts {
    std::string directory;
    std::string base;
    std::string extension;
};
SaveNameParts splitSaveName(const std::string& name, platform::Encoding enc = platform::systemEncoding());

// The kind a (dotted) extension names, ignoring case: .ico 1, .bmp 2, .jpg/.jpeg 3, else 0.
int kindOfExtension(const std::string& extension);

// The extension added to a name typed without one: ".bmp" for filter index 2, ".jpg" for 3,
// ".ico" for every other index.
const char* defaultExtension(int filterIndex);

}  // namespace savename

// Turns `chosenName` from a save-file dialog (filter index 1-based: 1 icon, 2 bitmap,
// 3 JPEG) into `path` and the kind of file: 1 icon, 2 bitmap, 3 JPEG, 0 any other
// extension (path left as it was), -1 when the extension was added here, a file of that
// name exists and the user declined to replace it. The name's own extension decides the
// kind; the filter only supplies the extension of a name typed without one. A directory of
// the target's name does not count as an existing file. Paths have no length limit here.
int CheckSaveName(std::string& path, const std::string& chosenName, int filterIndex,
                  platform::Encoding enc = platform::systemEncoding());
