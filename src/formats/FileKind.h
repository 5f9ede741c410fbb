// What kind of file a byte source holds, decided once from its first bytes and headers,
// with the reason when it is damaged or of no kind Vexil reads: where, and what.
#pragma once

#include <string>

#include "formats/ByteView.h"

namespace formats {

enum class FileKind { Pe32, Pe32Plus, Ne, Ico, Cur, Ani, Other };

struct KindCheck {
    FileKind kind = FileKind::Other;
    // Empty when the headers are whole. Otherwise one line of English: for a file of a
    // known kind what is damaged and where ("the directory of 3 entries ends at byte 54,
    // past the end of the file (40 bytes)"); for any other file what it is instead.
    std::string problem;
};

// The problem of a file that is none of the kinds Vexil reads and nothing more is known of.
inline constexpr const char* kNoKnownKind = "neither a Windows module nor an icon, cursor or animated cursor file";

// Modules: "MZ" and a PE (PE32 or PE32+ by the optional header's magic) or NE header
// where e_lfanew points, inside the file; as Windows' loader maps a module, headers may
// overlap and bytes past the end of the file read as zero. Icon and cursor files: reserved
// 0, type 1 or 2, and a directory that fits the file. Animated cursors: RIFF "ACON".
KindCheck checkKind(ByteSource& source);

// The kind's name as `list` prints it: "PE32", "PE32+", "NE", "ICO", "CUR", "ANI", "other".
const char* kindName(FileKind kind);

}  // namespace formats
