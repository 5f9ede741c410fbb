// Cursor themes made from Windows cursor packs, for the command line and the window alike:
// a plan (the theme's name, each role's file and how it was matched, the sizes and images
// each cursor file will hold, what was odd about the pack) that can be shown before
// anything is written, and the writer that makes PREFIX/NAME/ from it whole or not at all:
// cursors/ with one Xcursor file per role under its canonical name and every other name of
// the role as a symbolic link to it, index.theme inheriting Adwaita, and preview.png.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ArgbImage.h"
#include "formats/CursorRoles.h"
#include "iconmod/CursorPack.h"
#include "iconmod/Cursors.h"
#include "iconmod/XcursorFile.h"

namespace iconmod {

// The largest nominal size asked for.
inline constexpr int kMaxCursorThemeSize = 256;
// The size each role is drawn at in the preview.
inline constexpr int kCursorPreviewSize = 32;

struct CursorThemeOptions {
    std::string name{};        // the theme's name; empty: the scheme's (else the pack's) reduced by cursorThemeName
    std::string scheme{};      // the choice, as chooseCursorPackChoice takes it; empty: the pack's only one
    std::vector<int> sizes{};  // nominal sizes written besides the pack's own (1 to kMaxCursorThemeSize)
};

// How a role's file was found.
enum class RoleMatch {
    Listed,           // the INF names it, and the pack holds it under that name
    ListedOtherCase,  // the INF names it; the pack holds it with letters of another case
    FileName,         // no INF: the words of its name claim the role (formats::cursorRoleOfFileName)
};

// How the images of one nominal size are made.
enum class SizeSource {
    Own,       // the pack's image of that size, as it is
    Shrunk,    // the next larger image, shrunk by area averaging
    Enlarged,  // the largest image, enlarged smoothly
};

struct CursorThemeSize {
    int size = 0;        // nominal size
    int width = 0;       // the first step's picture
    int height = 0;
    int hotspotX = 0;    // scaled with the picture, rounded to the nearest pixel
    int hotspotY = 0;
    SizeSource source = SizeSource::Own;
    int fromWidth = 0;   // the width of the pack's image it is made from
};

struct CursorThemeRole {
    formats::CursorRole role = formats::CursorRole::Arrow;
    std::string file;                      // its path in the pack
    std::string listedAs;                  // ListedOtherCase: the name the INF gives
    RoleMatch match = RoleMatch::Listed;
    bool animated = false;
    std::vector<CursorThemeSize> sizes;    // ascending
    std::vector<std::uint32_t> delaysMs;   // one per step of an animation; empty for a still cursor
    std::vector<std::string_view> names;   // names[0] the file written, the others links to it
    XcursorLayout layout;                  // the Xcursor file: entries size by size, step by step
    std::vector<CursorImage> chunkImages;  // the pack's image each chunk of `layout` is drawn from, scaled to it
};

struct CursorThemePlan {
    CursorPackChoice choice;
    std::string name;      // the theme's folder name (isIconThemeName, not "." or "..")
    std::string comment;   // index.theme's Comment=: the scheme and the pack, printable UTF-8
    std::vector<CursorThemeRole> roles;    // in role order, only the roles the theme draws; Arrow first
    std::vector<std::string> warnings;     // one line each, naming the file and what was done
};

// The sizes of a --sizes list, "24,32,48,64": ascending, each once; nullopt when an item is
// not a whole number from 1 to kMaxCursorThemeSize or the list is empty.
std::optional<std::vector<int>> parseCursorSizes(std::string_view list);

// The plan of the theme `options` asks for. Errors: Choice (see chooseCursorPackChoice),
// Name (a name given that isIconThemeName refuses, or "." or ".."), Sizes, NoArrow (the
// choice gives no Arrow, or its file is absent or no cursor file), TooLarge (a role's
// Xcursor file would pass kMaxXcursorFileSize or hold more than kMaxXcursorEntries images),
// Memory. What the theme leaves out or puts right is a warning: the INF's own warnings, a
// file the INF names that the pack lacks or that is no cursor file (the role is left to
// Adwaita), two files that claim one role, cursor files no role claims, an animation read
// leniently (formats::AniReading::Lenient) and frames of another size than the first.
CursorThemeResult<CursorThemePlan> planCursorTheme(const CursorPack& pack, const CursorThemeOptions& options);

// The picture of a role at nominal size sizes[sizeIndex] and animation step `step` (0 for a
// still cursor), premultiplied ARGB with its hotspot in the plan; nullopt when the image
// cannot be decoded.
std::optional<formats::ArgbImage> cursorThemePicture(const CursorThemeRole& role, std::size_t sizeIndex, std::size_t step);

// The preview: every role at kCursorPreviewSize pixels (an animation at its first step) in
// a row over a light strip and again over a dark one, each labelled with its role name.
formats::ArgbImage cursorThemePreview(const CursorThemePlan& plan);

// The text of index.theme.
std::string cursorThemeIndex(const CursorThemePlan& plan);

// Where a user's cursor themes are looked for by every loader: ~/.icons; nullopt without
// an absolute $HOME.
std::optional<std::string> defaultCursorThemeDir();

// One line each for choosing the theme on GNOME, KDE and X.
std::vector<std::string> cursorThemeChoiceLines(const std::string& name);

struct CursorThemeWritten {
    std::string folder;              // PREFIX/NAME
    std::vector<std::string> files;  // what it holds, from the folder: "cursors/default", "cursors/left_ptr", ..., "index.theme", "preview.png"
    bool replaced = false;           // an earlier theme of that name was replaced
    std::string leftover;            // the earlier theme when it could not be removed after the swap, else empty
};

// Writes the theme as PREFIX/NAME (PREFIX made when missing). It is built in a hidden
// folder beside its place and moved there in one rename; an existing PREFIX/NAME of any
// kind is swapped out and removed with `replace`, else refused (Exists) before anything is
// made. A failure (Write, TooLarge, Memory) leaves no part of the new theme and the old
// one as it was.
CursorThemeResult<CursorThemeWritten> writeCursorTheme(const CursorThemePlan& plan, const std::string& prefix, bool replace);

}  // namespace iconmod
