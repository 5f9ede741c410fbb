// The name rule of the PNG save: a name without an extension gets ".png", any other
// extension than .png is refused, and an existing file is replaced only when the user says
// yes to the program's overwrite question. Toolkit-free.
#pragma once

#include <string>

#include "platform/MbText.h"

namespace savename {

// The message for a name of another type than PNG; titled kErrorTitle.
inline constexpr const char* kNotPng = "ﾌｧｲﾙﾀｲﾌﾟがpngでありません ";

inline constexpr int kKindPng = 1;

}  // namespace savename

// Turns `chosenName` into `path`: 1 write a PNG there, 0 another extension (path left as
// it was, nothing asked), -1 the file exists and the user declined to replace it. Every
// existing file is asked about, whether the extension was typed or added (the PNG save's
// dialog does not ask itself); a directory of that name does not count as a file.
int CheckPngSaveName(std::string& path, const std::string& chosenName,
                     platform::Encoding enc = platform::systemEncoding());
