// Texts as Windows files store them, and the errors of the readers of such files.
//
// A text read from a Windows file is UTF-8 once decoded; a text in the system's ANSI code
// page cannot be decoded from the file's bytes alone (that code page is a setting of the
// system that reads it: the Wine prefix, for Vexil), so it travels undecoded, marked as
// such, to whoever knows the code page (platform::decodeStoredText).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "formats/ByteView.h"

namespace formats {

// Code page numbers as Windows names them. 0 stands for the system's ANSI code page.
constexpr std::uint32_t kAnsiCodePage = 0;
constexpr std::uint32_t kUtf8CodePage = 65001;

struct StoredText {
    std::string bytes;
    // kUtf8CodePage: bytes are UTF-8 text. kAnsiCodePage: bytes in the system's ANSI code
    // page, undecoded. Any other number: bytes in that code page, undecoded.
    std::uint32_t codePage = kUtf8CodePage;

    static StoredText utf8(std::string text) { return {std::move(text), kUtf8CodePage}; }
    static StoredText ansi(std::string raw) { return {std::move(raw), kAnsiCodePage}; }
    bool isUtf8() const { return codePage == kUtf8CodePage; }
    bool empty() const { return bytes.empty(); }
    bool operator==(const StoredText&) const = default;
};

// UTF-16LE code units (an odd last byte is ignored) as UTF-8; unpaired surrogates become
// U+FFFD.
std::string utf16ToUtf8(ByteView units);
std::string utf16ToUtf8(const std::u16string& units);

// UTF-8 as UTF-16 units; a byte that starts no well-formed character becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view bytes);

// The bytes decoded to UTF-8 for the code pages that need no tables beyond this file:
// 1252 (Western European; its five unassigned bytes map to the C1 controls of the same
// value, as Windows maps them), 20127 (US-ASCII) and 65001 (UTF-8, invalid sequences
// become U+FFFD). Pure ASCII decodes in any code page. nullopt otherwise.
std::optional<std::string> decodeSimpleCodePage(std::string_view bytes, std::uint32_t codePage);

// The text decoded where decodeSimpleCodePage can, else as it came.
StoredText decodedWhereSimple(StoredText text);

// True when every byte is below 0x80.
bool isAscii(std::string_view bytes);

// What a reader found wrong, and where: a byte offset into the file, or into the part of
// it named by `place` (a stream of a compound file, a line of a text file).
struct ParseError {
    std::uint64_t offset = 0;
    std::string what;
    std::string place;  // empty: the offset counts from the start of the file

    // One line: "stream !_StringPool, byte 12: ...", "byte 76: ...".
    std::string text() const;
};

// A reader's answer: the value, or the error that stopped it.
template <typename T>
class Parsed {
public:
    Parsed(T value) : value_(std::move(value)) {}  // NOLINT: implicit on purpose
    Parsed(ParseError error) : error_(std::move(error)) {}  // NOLINT
    explicit operator bool() const { return value_.has_value(); }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    // Meaningful when there is no value.
    const ParseError& error() const { return error_; }

private:
    std::optional<T> value_;
    ParseError error_;
};

inline ParseError parseError(std::uint64_t offset, std::string what, std::string place = {}) {
    return ParseError{offset, std::move(what), std::move(place)};
}

}  // namespace formats
