// Wine's registry files (system.reg, user.reg): text that starts "WINE REGISTRY Version 2",
// then keys as "[Key\\Path] timestamp" lines, each followed by its values: "Name"="text",
// @="text" for the default value, str(2):"text" for expandable strings, dword: and hex:
// data (hex lines continue after a trailing backslash), and "#" lines of metadata ("#link"
// marks a symbolic link key). Strings escape backslashes and quotes with a backslash, write
// control characters as C or octal escapes and characters past ASCII as \x escapes (or as
// UTF-8). Key paths and value names are matched without regard to the case of ASCII
// letters. The reader keeps a view of the bytes and scans them for each question, so
// memory stays in proportion to the answer.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ByteView.h"
#include "formats/StoredText.h"

namespace formats {

struct RegistryValue {
    enum class Type { String, ExpandString, MultiString, Dword, Other };
    std::string name;  // empty for the default value (@)
    Type type = Type::Other;
    std::string text;  // String, ExpandString, MultiString (strings joined by NUL): UTF-8
    std::uint32_t dword = 0;
};

class WineRegistry {
public:
    // Checks the first line. The bytes must outlive the reader.
    static Parsed<WineRegistry> open(ByteView bytes);

    // The values of the key at `keyPath` (components separated by one backslash), in file
    // order; nullopt when the file holds no such key. A key under a symbolic link key
    // ("#link" with a SymbolicLinkValue that names a key of this file) is found through
    // the link, up to 16 links deep.
    std::optional<std::vector<RegistryValue>> values(std::string_view keyPath) const;

    // One value of a key (`name` empty for the default value).
    std::optional<RegistryValue> value(std::string_view keyPath, std::string_view name) const;

    // The root the file's keys are relative to, from its ";; All keys relative to" line
    // ("REGISTRY\Machine"), without a leading backslash; empty when the file names none.
    const std::string& root() const { return root_; }

private:
    explicit WineRegistry(ByteView bytes) : bytes_(bytes) {}
    // Finds the key without following links; on a miss, *linkFrom/*linkTo receive the
    // longest linked ancestor of keyPath and its target (in this file), when there is one.
    std::optional<std::vector<RegistryValue>> findKey(std::string_view keyPath, std::string* linkFrom, std::string* linkTo) const;

    ByteView bytes_;
    std::string root_;
};

// Decodes a registry string as Wine writes it, up to the unescaped `end` character:
// *consumed receives the bytes read, the closing character included (nullopt when it is
// missing).
std::optional<std::string> unescapeRegistryString(std::string_view text, char end, std::size_t* consumed);

}  // namespace formats
