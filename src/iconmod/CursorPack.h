// Windows cursor packs as people download them: an install.inf, a folder that holds one
// (or only cursor files), or a .zip, .7z or .rar archive of either. A pack is read into
// memory as the files a cursor theme can use (.inf, .cur, .ani) under their paths in the
// pack, nothing unpacked to disk, and offers choices: each scheme of each INF file, or,
// without an INF that registers one, each folder of cursor files by their names.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "iconmod/IconImage.h"

namespace iconmod {

// Files listed in a pack (a folder's walk or an archive's entries), at most.
inline constexpr std::size_t kMaxPackFiles = 4096;
// Folders below a folder pack's top that its walk enters, at most.
inline constexpr int kMaxPackDepth = 4;
// The bytes of the .inf, .cur and .ani files held together, at most; a single file, at
// most formats::kMaxCursorFileSize.
inline constexpr std::uint64_t kMaxPackBytes = 256ull << 20;

// Why the cursor theme builder stops, with one line of English naming the file and the
// reason (the system's words where there are some).
enum class CursorThemeFailure {
    Pack,     // the pack cannot be read: missing, unreadable, a damaged archive, no cursor file
    Choice,   // the pack offers several schemes and none was chosen, or the one asked for is not there
    NoArrow,  // the chosen scheme gives no usable Arrow cursor
    Name,     // the theme name is not one a theme folder can have
    Sizes,    // a size asked for is outside 1 to kMaxCursorThemeSize
    TooLarge, // a cursor file would pass 64 MiB or hold more images than a loader takes
    Exists,   // the theme exists and replacing it was not asked for
    Write,    // the theme cannot be written (nothing of it is left behind)
    Memory,   // memory ran out
};

struct CursorThemeError {
    CursorThemeFailure failure = CursorThemeFailure::Pack;
    std::string text;
};

// A value or the reason there is none.
template <class T>
using CursorThemeResult = std::variant<T, CursorThemeError>;

struct PackFile {
    std::string path;   // in the pack, '/'-separated, from its top; an INF named alone: its name
    SharedBytes bytes;  // the file's bytes, when held
    bool held = false;  // .inf, .cur and .ani files (any case) are held, within the limits
};

struct CursorPack {
    std::string source;              // the path opened, as given
    std::string name;                // a folder's or archive's name (the extension dropped), an INF's folder's
    std::vector<PackFile> files;     // every file, by path in platform::nameOrderLess order
    std::string namedInf;            // the INF file the path named, by its path in `files`; else empty
    std::vector<std::string> notes;  // files passed over, one line each: "PATH: why"
};

// The pack at `path`: an INF file (its folder's files beside it), a folder (walked
// kMaxPackDepth deep, never through a symbolic link to a folder), or an archive, told by
// its content (platform::isArchive). A file that is neither is read as an INF.
CursorThemeResult<CursorPack> openCursorPack(const std::string& path);

// One way of making a theme of a pack.
struct CursorPackChoice {
    std::string inf;         // the INF file's path in the pack; empty: cursor files by their names
    std::size_t scheme = 0;  // which scheme of the INF, in the order it registers them
    std::string schemeName;  // as the INF gives it (empty for per-role values and for names)
    std::string folder;      // the folder the cursor files are looked up in ("" = the pack's top)
    std::string label;       // how the choice is shown and asked for, different for each choice
};

// The pack's choices: the schemes of the INF the path named, else of every INF of the
// pack; where none registers a scheme, every folder holding .cur or .ani files, its files
// matched to roles by their names. A label is the scheme's name, or "INF: NAME" where two
// INF files register schemes of that name; for a folder, its path ("." for the top).
std::vector<CursorPackChoice> cursorPackChoices(const CursorPack& pack);

// The choice `asked` names: a label, compared without regard to case; or a scheme name or
// an INF's path that names exactly one choice. Without `asked`, the only choice. A Choice
// error, its text listing the labels, when it names none or several; a Pack error when the
// pack offers nothing.
CursorThemeResult<CursorPackChoice> chooseCursorPackChoice(const CursorPack& pack, const std::string& asked);

}  // namespace iconmod
