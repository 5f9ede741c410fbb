#include "cli/LineText.h"

namespace cli {
namespace {

constexpr char kHex[] = "0123456789ABCDEF";

void putEscaped(std::string& out, unsigned char byte) {
    out += "\\x";
    out += kHex[byte >> 4];
    out += kHex[byte & 0x0F];
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the valid UTF-8 character at text[i] (overlong forms, surrogates and code
// points past U+10FFFF are not valid), 0 when the byte starts none; *codePoint gets it.
std::size_t utf8Length(std::string_view text, std::size_t i, char32_t* codePoint) {
    const auto b0 = static_cast<unsigned char>(text[i]);
    std::size_t length = 0;
    char32_t cp = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (b0 < 0x80) {
        *codePoint = b0;
        return 1;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        length = 2;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        length = 3;
        cp = b0 & 0x0F;
        if (b0 == 0xE0) low = 0xA0;
        if (b0 == 0xED) high = 0x9F;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        length = 4;
        cp = b0 & 0x07;
        if (b0 == 0xF0) low = 0x90;
        if (b0 == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    const auto b1 = static_cast<unsigned char>(text[i + 1]);
    if (b1 < low || b1 > high) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto b = static_cast<unsigned char>(text[i + k]);
        if (!isContinuation(b)) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    *codePoint = cp;
    return length;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string lineText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const std::size_t length = utf8Length(text, i, &cp);
        const bool control = length != 0 && (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F));
        if (length == 0 || control) {
            // One byte at a time: an invalid byte alone, a control character whole.
            const std::size_t n = length == 0 ? 1 : length;
            for (std::size_t k = 0; k < n; ++k) putEscaped(out, static_cast<unsigned char>(text[i + k]));
            i += n;
            continue;
        }
        if (cp == '\\') out += "\\\\";
        else out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string groupLineText(const formats::ResourceName& name) {
    if (name.id) return formats::groupNameText(name);
    const std::string text = lineText(formats::groupNameText(name));
    return !text.empty() && text[0] == '#' ? "\\" + text : text;
}

std::optional<formats::ResourceName> groupFromLineText(std::string_view text) {
    if (text.empty()) return std::nullopt;
    const bool hashName = text.size() >= 2 && text[0] == '\\' && text[1] == '#';
    if (!hashName && text[0] == '#') return formats::parseGroupName(text);
    std::string name;
    for (std::size_t i = hashName ? 1 : 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            name += '\\';
            ++i;
        } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x' && hexValue(text[i + 2]) >= 0 &&
                   hexValue(text[i + 3]) >= 0) {
            name += static_cast<char>(hexValue(text[i + 2]) * 16 + hexValue(text[i + 3]));
            i += 3;
        } else {
            name += text[i];
        }
    }
    return formats::ResourceName::fromString(name);
}

}  // namespace cli
