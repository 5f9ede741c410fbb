// JSON text for the listing that scripts read: strings escaped as JSON needs, bytes that
// are not valid UTF-8 each replaced by U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace cli::json {

// True when the text is valid UTF-8 (shortest forms, no surrogates, at most U+10FFFF).
bool isUtf8(std::string_view text);

// The text as a quoted JSON string.
std::string quoted(std::string_view text);

// The bytes as lowercase hexadecimal digits, two a byte.
std::string hex(std::string_view bytes);

// A text member `"key": "..."`, followed by `"hexKey": "..."` with the raw bytes when the
// text is not valid UTF-8.
std::string textMember(std::string_view key, std::string_view text, std::string_view hexKey);

}  // namespace cli::json
