#include "cli/JsonText.h"

#include <cstdint>
#include <cstdio>

namespace cli::json {
namespace {

// The length of the valid UTF-8 sequence at text[i], or 0 when there is none.
std::size_t sequenceLength(std::string_view text, std::size_t i) {
    const auto byte = [&text](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    std::size_t n = 0;
    std::uint32_t cp = 0;
    if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
    else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
    else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
    else return 0;
    if (i + n > text.size()) return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    const bool overlong = (n == 3 && cp < 0x800) || (n == 4 && cp < 0x10000);
    if (overlong || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) return 0;
    return n;
}

}  // namespace

bool isUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = sequenceLength(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

std::string quoted(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = sequenceLength(text, i);
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (n == 0) {
            out += "\xEF\xBF\xBD";  // U+FFFD
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out.append(text.substr(i, n));
        }
        i += n;
    }
    return out + "\"";
}

std::string hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char b : bytes) {
        const auto c = static_cast<unsigned char>(b);
        out += kDigits[c >> 4];
        out += kDigits[c & 0xF];
    }
    return out;
}

std::string textMember(std::string_view key, std::string_view text, std::string_view hexKey) {
    std::string out = quoted(key) + ": " + quoted(text);
    if (!isUtf8(text)) out += ", " + quoted(hexKey) + ": " + quoted(hex(text));
    return out;
}

}  // namespace cli::json
