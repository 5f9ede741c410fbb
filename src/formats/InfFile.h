// Setup information files (.inf) as Windows cursor packs write them: the text decoded to
// UTF-8 whatever its encoding, split into sections of lines of comma-separated fields, and
// the %name% references of [Strings] expanded on request. Hostile input: bounded in size,
// every text built here is bounded too.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ByteView.h"

namespace formats {

// Larger files are not read: a cursor pack's INF holds a few KiB.
inline constexpr std::size_t kMaxInfFileSize = 256 << 10;
// The longest text one field may expand to, in bytes (Windows stops at 4,096 characters).
inline constexpr std::size_t kMaxInfExpandedSize = 16 << 10;
// Warnings kept; the rest are counted in one last line.
inline constexpr std::size_t kMaxInfWarnings = 64;

// Something odd in the file and what the reader did about it; line 0 for the whole file.
struct InfWarning {
    int line = 0;
    std::string text;
};

enum class InfEncoding { Utf16le, Utf16be, Utf8, Cp1252 };

// The bytes as UTF-8 text: UTF-16 after its byte-order mark (little- or big-endian),
// UTF-8 after its mark, UTF-16LE without a mark when its first two characters are ASCII,
// UTF-8 without a mark when the bytes are valid UTF-8 and not all ASCII, code page 1252
// otherwise. Unpaired surrogates and bytes that are not UTF-8 become U+FFFD; NUL
// characters are dropped. *encoding receives the encoding used.
std::string decodeInfText(ByteView bytes, InfEncoding* encoding = nullptr);

struct InfLine {
    int number = 0;  // the physical line it starts on, from 1
    bool hasKey = false;
    std::string key;  // what stands before '=', quotes removed, blanks around it trimmed
    // The comma-separated values: quotes removed ("" inside quotes is one quote), blanks
    // outside quotes trimmed, %name% references left as written.
    std::vector<std::string> fields;
};

struct InfSection {
    std::string name;  // as first written; sections of one name are merged
    int line = 0;
    std::vector<InfLine> lines;
};

class InfFile {
public:
    // Decodes and splits the file. A ';' outside quotes starts a comment; a '\' ending a
    // line (outside quotes, before any comment) continues it on the next; an unclosed
    // quote runs to the end of the line. Section and key names compare without regard to
    // case. A file larger than kMaxInfFileSize gives no sections and a warning.
    static InfFile read(ByteView bytes);

    const std::vector<InfSection>& sections() const { return sections_; }
    // The section of that name (without regard to case), or nullptr.
    const InfSection* section(std::string_view name) const;

    // `text` with each %name% replaced by the value of `name` in [Strings] (looked up
    // without regard to case; [Strings.*] sections fill names [Strings] lacks; a value's
    // own "%%" is one '%', its other references stay as written), "%%" by one '%'. A number (%10%, the Windows folder) or a name [Strings] lacks stays as
    // written, the latter with a warning. nullopt, with a warning, when the result would
    // pass `limit` bytes (short fields get a small limit, so that a long string named
    // again and again costs little).
    std::optional<std::string> expand(std::string_view text, int line, std::size_t limit = kMaxInfExpandedSize);

    // Adds a warning (at most kMaxInfWarnings are kept, the rest counted).
    void warn(int line, std::string text);
    // The warnings so far in line order (the whole file's first), with a last line
    // counting those not kept.
    std::vector<InfWarning> warnings() const;
    InfEncoding encoding() const { return encoding_; }

private:
    void readStrings();

    std::vector<InfSection> sections_;
    std::map<std::string, std::size_t> sectionIndex_;  // by lower-case name
    std::map<std::string, std::string> strings_;  // by lower-case name
    std::vector<InfWarning> warnings_;
    std::size_t dropped_ = 0;
    InfEncoding encoding_ = InfEncoding::Cp1252;
};

// Text of a file quoted in a warning: at most 60 bytes (whole UTF-8 characters), "..."
// marking a cut.
std::string infSnippet(std::string_view text);

// The text with ASCII letters in lower case: the key of a map of INF names.
std::string asciiLower(std::string_view text);

// True when the UTF-8 text holds a control character (C0, DEL or C1), which no name
// passed on may hold and no terminal should be sent.
bool infHasControl(std::string_view text);
// The text with each control character replaced by `replacement`.
std::string infReplaceControls(std::string_view text, std::string_view replacement);

}  // namespace formats
