// The names of an Xcursor theme made from a Windows cursor scheme: which cursor names
// (the file names under NAME/cursors/ that toolkits ask for) each Windows role draws, and
// the theme's own name.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/CursorRoles.h"

namespace iconmod {

// The theme that draws the names no role draws (its index.theme says Inherits=).
inline constexpr std::string_view kInheritedCursorTheme = "Adwaita";

struct XcursorName {
    std::string_view name;
    std::optional<formats::CursorRole> role;  // nullopt: left to kInheritedCursorTheme
};

// Every cursor name Debian 12's Adwaita installs (hash names included), and "up-arrow",
// "pin" and "person", which it lacks; grouped by role in role order, each role's first
// name its canonical one; then the names left to the inherited theme.
std::span<const XcursorName> xcursorNameTable();

// The names a role's cursor is written as: the first the file, the others its aliases.
std::vector<std::string_view> xcursorNames(formats::CursorRole role);

// The names left to the inherited theme.
std::vector<std::string_view> inheritedXcursorNames();

// The name of a cursor theme made from a scheme: ASCII letters and digits kept, Latin-1
// letters written without their accents, "." "_" "-" kept, every run of other characters
// made one "_"; "." "_" "-" trimmed at both ends (no hidden folder, no "..", no leading
// "-"), at most 64 bytes. Empty: `fallback` reduced the same way, else "windows-cursors".
// The result is always a name isIconThemeName accepts.
std::string cursorThemeName(std::string_view schemeName, std::string_view fallback = {});

}  // namespace iconmod
