// INI text as Windows' profile functions read it, and the icon references of the three
// kinds of INI file that name an icon: Internet shortcuts (.url), folder settings
// (desktop.ini) and the settings of a medium (autorun.inf).
//
// The text is UTF-16 with a byte-order mark, UTF-8 with one, or else bytes in the system's
// ANSI code page (returned undecoded, marked so). Lines end in CRLF or LF; sections and
// keys are found without regard to the case of ASCII letters; a line whose first
// non-blank character is ';' is a comment; a value enclosed in a pair of quotes (" or ')
// loses them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ByteView.h"
#include "formats/StoredText.h"

namespace formats {

class IniFile {
public:
    // Decodes the text and splits it into sections and keys. Fails on a NUL byte in text
    // that has no byte-order mark (a binary file, not an INI file).
    static Parsed<IniFile> read(ByteView bytes);

    // The value of the first key of that name in the first section of that name (Windows
    // looks no further), or nullopt.
    std::optional<StoredText> value(std::string_view section, std::string_view key) const;

    // kUtf8CodePage for text read through a byte-order mark, else kAnsiCodePage.
    std::uint32_t codePage() const { return codePage_; }

private:
    struct Entry {
        std::size_t section;  // index into sections_
        std::string key;
        std::string value;
    };
    std::uint32_t codePage_ = kAnsiCodePage;
    std::vector<std::string> sections_;
    std::vector<Entry> entries_;
};

// An icon location an INI file stores. `location` is the text as stored; `path` and
// `index` split it: for a key that holds PATH[,N] the text after the last comma, when it
// is an integer, is the index. Whoever can look at the file system tries `location` whole
// first, since file names may hold commas.
struct IniIconReference {
    StoredText location;
    StoredText path;
    std::int32_t index = 0;
};

// Splits PATH,N at the last comma when what follows it is an integer (blanks around it
// allowed); otherwise the whole text is the path and the index 0.
IniIconReference splitIconLocation(StoredText text);

// An index as GetPrivateProfileInt reads one: blanks, an optional sign, the digits that
// follow (none: 0), saturated to 32 bits.
std::int32_t profileInt(std::string_view text);

// .url: [InternetShortcut] URL=, IconFile= and IconIndex=.
struct UrlShortcut {
    std::optional<StoredText> url;
    std::optional<IniIconReference> icon;  // IconFile with IconIndex (0 without one)
};
UrlShortcut readUrlShortcut(const IniFile& ini);

// desktop.ini: [.ShellClassInfo] IconResource=PATH,N, else IconFile= with IconIndex=.
std::optional<IniIconReference> desktopIniIcon(const IniFile& ini);

// autorun.inf: [autorun] icon=PATH[,N] (a path relative to the medium's root).
std::optional<IniIconReference> autorunIcon(const IniFile& ini);

}  // namespace formats
