// Multibyte-aware text helpers. Texts are byte strings in the system's multibyte
// encoding: UTF-8 on Linux, or CP932 (Shift-JIS) for texts that come from Japanese
// Windows files. Every search for a separator or a dot walks whole characters, so the
// trail byte of a double-byte character is never taken for one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "formats/AsciiText.h"

namespace platform {

enum class Encoding { Utf8, Cp932 };

// The encoding that paths and texts are in when no other is given (UTF-8 by default).
Encoding systemEncoding();
void setSystemEncoding(Encoding encoding);

constexpr char kPathSeparator = '/';

// Length in bytes of the character that starts at byte i (at least 1, never past the end).
std::size_t charLength(std::string_view s, std::size_t i, Encoding enc = systemEncoding());

// True when byte `index` of s is `sep` and begins a character of its own (it is not the
// trail byte of a double-byte character).
bool isPathDelimiter(std::string_view s, std::size_t index, char sep = kPathSeparator,
                     Encoding enc = systemEncoding());

// True when the last character of s is the separator.
bool endsWithDelimiter(std::string_view s, char sep = kPathSeparator, Encoding enc = systemEncoding());

// Byte index of the first / last character that is `c`, or npos. Whole characters only.
std::size_t findFirstChar(std::string_view s, char c, Encoding enc = systemEncoding());
std::size_t findLastChar(std::string_view s, char c, Encoding enc = systemEncoding());

// Lower-cases the ASCII letters of s, leaving multibyte characters (and the bytes inside
// them) untouched.
std::string asciiLower(std::string_view s, Encoding enc = systemEncoding());
std::string asciiUpper(std::string_view s, Encoding enc = systemEncoding());

// Compares ignoring the case of ASCII letters; <0, 0, >0.
using formats::compareIgnoreCase;

// Joins a directory and a name with one separator unless the directory already ends
// with one. An empty directory gives an empty result.
std::string joinPath(std::string_view dir, std::string_view name);

// The last component of a path (everything after the last separator).
std::string_view baseName(std::string_view path);

// The extension of the last component: from its last "." on, dot included, or empty.
std::string_view extensionOf(std::string_view path);

}  // namespace platform
