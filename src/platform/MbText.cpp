#include "platform/MbText.h"

namespace platform {
namespace {

Encoding& encodingSetting() {
    static Encoding enc = Encoding::Utf8;
    return enc;
}

bool isCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool isCp932Trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

std::string mapAscii(std::string_view s, Encoding enc, char from, char to, int delta) {
    std::string out(s);
    for (std::size_t i = 0; i < out.size();) {
        const std::size_t n = charLength(out, i, enc);
        if (n == 1 && out[i] >= from && out[i] <= to) out[i] = static_cast<char>(out[i] + delta);
        i += n;
    }
    return out;
}

}  // namespace

Encoding systemEncoding() { return encodingSetting(); }
void setSystemEncoding(Encoding encoding) { encodingSetting() = encoding; }

std::size_t charLength(std::string_view s, std::size_t i, Encoding enc) {
    if (i >= s.size()) return 1;
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t left = s.size() - i;
    if (enc == Encoding::Cp932) {
        if (isCp932Lead(b) && left >= 2 && isCp932Trail(static_cast<unsigned char>(s[i + 1]))) return 2;
        return 1;
    }
    // UTF-8: a well-formed sequence counts as one character; a stray byte counts alone.
    std::size_t want = 1;
    if (b >= 0xC2 && b <= 0xDF) want = 2;
    else if (b >= 0xE0 && b <= 0xEF) want = 3;
    else if (b >= 0xF0 && b <= 0xF4) want = 4;
    if (want > left) return 1;
    for (std::size_t k = 1; k < want; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    return want;
}

bool isPathDelimiter(std::string_view s, std::size_t index, char sep, Encoding enc) {
    if (index >= s.size() || s[index] != sep) return false;
    std::size_t i = 0;
    while (i < index) i += charLength(s, i, enc);
    return i == index;
}

bool endsWithDelimiter(std::string_view s, char sep, Encoding enc) {
    return !s.empty() && isPathDelimiter(s, s.size() - 1, sep, enc);
}

std::size_t findFirstChar(std::string_view s, char c, Encoding enc) {
    for (std::size_t i = 0; i < s.size(); i += charLength(s, i, enc))
        if (s[i] == c) return i;
    return std::string_view::npos;
}

std::size_t findLastChar(std::string_view s, char c, Encoding enc) {
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < s.size(); i += charLength(s, i, enc))
        if (s[i] == c) found = i;
    return found;
}

std::string asciiLower(std::string_view s, Encoding enc) { return mapAscii(s, enc, 'A', 'Z', 'a' - 'A'); }
std::string asciiUpper(std::string_view s, Encoding enc) { return mapAscii(s, enc, 'a', 'z', 'A' - 'a'); }

std::string joinPath(std::string_view dir, std::string_view name) {
    if (dir.empty()) return {};
    std::string out(dir);
    if (!endsWithDelimiter(out)) out += kPathSeparator;
    out += name;
    return out;
}

std::string_view baseName(std::string_view path) {
    const std::size_t slash = findLastChar(path, kPathSeparator);
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view extensionOf(std::string_view path) {
    const std::string_view base = baseName(path);
    const std::size_t dot = findLastChar(base, '.');
    return dot == std::string_view::npos ? std::string_view() : base.substr(dot);
}

}  // namespace platform
