// The roles of a Windows cursor scheme (Normal Select, Help Select, ...), in the fixed order
// a scheme's registry value lists its files, and the guess of a file's role from the words
// of its name, for packs that come without an install.inf or whose INF says nothing usable.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace formats {

// In the order of a scheme's comma list; Pin and Person came with Windows 10.
enum class CursorRole {
    Arrow, Help, AppStarting, Wait, Crosshair, IBeam, NWPen, No, SizeNS, SizeWE, SizeNWSE, SizeNESW,
    SizeAll, UpArrow, Hand, Pin, Person
};
inline constexpr std::size_t kCursorRoleCount = 17;
// Roles a scheme list written before Windows 10 holds (Arrow to Hand).
inline constexpr std::size_t kClassicCursorRoleCount = 15;

// The role at a position of the scheme list (0 = Arrow); nullopt past Person.
std::optional<CursorRole> cursorRoleAt(std::size_t index);
inline constexpr std::size_t roleIndex(CursorRole role) { return static_cast<std::size_t>(role); }

// The registry value name of the role under HKCU\Control Panel\Cursors: "Arrow", "Help",
// ..., "Pin", "Person". Also the label of the role in a preview.
const char* cursorRoleName(CursorRole role);

// The role whose registry value name is `name`, compared without regard to case.
std::optional<CursorRole> cursorRoleFromValueName(std::string_view name);

// One file for each role; an empty string where a role has none.
using RoleFiles = std::array<std::string, kCursorRoleCount>;

// The role the words of a file name claim: the extension dropped, the name split into
// words at every character that is not an ASCII letter or digit and at camelCase bounds
// ("UpArrow" is "up" "arrow"), digits kept with the letters before them ("dgn1"), case
// ignored. Every run of adjacent words joined is looked up among the words packs use
// ("normal", "busy", "unavailable", "dgn1", "link", ...), and the longest that is known
// decides ("Hand writing" is "handwriting" before "hand", "UpArrow" "uparrow" before
// "arrow"); among equally long ones the first in the name. A word with digits after its
// letters is also tried without them ("arrow2"). nullopt when no word is known.
std::optional<CursorRole> cursorRoleOfFileName(std::string_view fileName);

struct CursorRoleGuess {
    RoleFiles files;
    std::vector<std::string> unmatched;  // .cur/.ani names no role claims, in the order given
    std::vector<std::string> warnings;   // one line each, in role order
};

// The .cur and .ani files among `fileNames` (other names are passed over) assigned to
// roles by cursorRoleOfFileName. When several claim one role, the one with the fewest
// letters and digits besides the claiming word wins ("arrow.cur" before "arrow old.cur"),
// then the first in the order of names compared without regard to case, then bytewise; a
// warning names the files that lost.
CursorRoleGuess guessCursorRoles(const std::vector<std::string>& fileNames);

// The name among `present` that `wanted` names: the same bytes if there is one, else the
// first (in the order given) equal to it without regard to the case of ASCII letters.
std::optional<std::string> findFileName(const std::vector<std::string>& present, std::string_view wanted);

// The INF of a pack among the names of a folder: "install.inf" without regard to case,
// else the first ".inf" name in case-blind order; nullopt when there is none.
std::optional<std::string> findInfFile(const std::vector<std::string>& present);

}  // namespace formats
