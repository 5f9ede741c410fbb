#include "formats/WineRegistry.h"

#include <cstring>

#include "formats/AsciiText.h"

namespace formats {

namespace {

constexpr std::string_view kMagic = "WINE REGISTRY Version 2";
constexpr std::string_view kRootLine = ";; All keys relative to ";
constexpr int kMaxLinks = 16;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

void appendUnit(Bytes& units, std::uint32_t unit) {
    units.push_back(static_cast<std::uint8_t>(unit));
    units.push_back(static_cast<std::uint8_t>(unit >> 8));
}

std::string_view withoutCr(std::string_view line) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
}

// The lines of a text, one at a time.
class Lines {
public:
    explicit Lines(std::string_view text) : rest_(text) {}
    bool next(std::string_view* line) {
        if (done_) return false;
        const std::size_t end = rest_.find('\n');
        *line = withoutCr(rest_.substr(0, end));
        if (end == std::string_view::npos) done_ = true;
        else rest_.remove_prefix(end + 1);
        return true;
    }
    // The next line without taking it; false at the end.
    bool peek(std::string_view* line) const {
        if (done_) return false;
        *line = withoutCr(rest_.substr(0, rest_.find('\n')));
        return true;
    }

private:
    std::string_view rest_;
    bool done_ = false;
};

// Hex bytes "12,ab,..." (blanks and a final backslash allowed) added to out.
void appendHexBytes(std::string_view text, Bytes& out) {
    std::size_t i = 0;
    while (i < text.size()) {
        const int hi = hexDigit(text[i]);
        if (hi < 0) {
            ++i;
            continue;
        }
        const int lo = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
        if (lo < 0) {
            out.push_back(static_cast<std::uint8_t>(hi));
            ++i;
        } else {
            out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
            i += 2;
        }
    }
}

// UTF-16LE data as a registry string value holds it: up to the first NUL (or, for
// multi-strings, up to the final empty string, the NULs between strings kept).
std::string stringData(const Bytes& data, bool multi) {
    std::size_t units = data.size() / 2;
    for (std::size_t i = 0; i < units; ++i) {
        const bool nul = data[2 * i] == 0 && data[2 * i + 1] == 0;
        const bool nextNul = i + 1 < units && data[2 * i + 2] == 0 && data[2 * i + 3] == 0;
        if (nul && (!multi || nextNul || i + 1 == units)) {
            units = i;
            break;
        }
    }
    return utf16ToUtf8(ByteView(data.data(), units * 2));
}

std::uint32_t dwordOf(const Bytes& data) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4 && i < data.size(); ++i) v |= static_cast<std::uint32_t>(data[i]) << (8 * i);
    return v;
}

// One value line (with its continuation lines taken from `lines` for hex data).
std::optional<RegistryValue> parseValue(std::string_view line, Lines& lines) {
    RegistryValue value;
    std::size_t pos = 0;
    if (line[0] == '@') {
        pos = 1;
    } else {
        std::size_t used = 0;
        auto name = unescapeRegistryString(line.substr(1), '"', &used);
        if (!name) return std::nullopt;
        value.name = std::move(*name);
        pos = 1 + used;
    }
    if (pos >= line.size() || line[pos] != '=') return std::nullopt;
    std::string_view data = line.substr(pos + 1);

    std::size_t used = 0;
    if (!data.empty() && data[0] == '"') {
        auto text = unescapeRegistryString(data.substr(1), '"', &used);
        if (!text) return std::nullopt;
        value.type = RegistryValue::Type::String;
        value.text = std::move(*text);
        return value;
    }
    if (data.starts_with("str(")) {
        const std::size_t close = data.find("):\"");
        if (close == std::string_view::npos) return std::nullopt;
        auto text = unescapeRegistryString(data.substr(close + 3), '"', &used);
        if (!text) return std::nullopt;
        const std::string_view kind = data.substr(4, close - 4);
        value.type = kind == "1" ? RegistryValue::Type::String
                   : kind == "2" ? RegistryValue::Type::ExpandString
                   : kind == "7" ? RegistryValue::Type::MultiString
                                 : RegistryValue::Type::Other;
        value.text = std::move(*text);
        return value;
    }
    if (data.starts_with("dword:")) {
        std::uint32_t v = 0;
        int digits = 0;
        for (const char c : data.substr(6)) {
            const int d = hexDigit(c);
            if (d < 0 || ++digits > 8) break;
            v = v * 16 + static_cast<std::uint32_t>(d);
        }
        value.type = RegistryValue::Type::Dword;
        value.dword = v;
        return value;
    }
    if (data.starts_with("hex")) {
        std::string_view kind = "3";  // REG_BINARY
        if (data.starts_with("hex(")) {
            const std::size_t close = data.find(')');
            if (close == std::string_view::npos) return std::nullopt;
            kind = data.substr(4, close - 4);
        }
        const std::size_t colon = data.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        Bytes bytes;
        std::string_view part = data.substr(colon + 1);
        appendHexBytes(part, bytes);
        std::string_view more;
        while (!part.empty() && part.back() == '\\' && lines.peek(&more) && !more.empty() && (more[0] == ' ' || more[0] == '\t')) {
            lines.next(&part);
            appendHexBytes(part, bytes);
        }
        if (kind == "1" || kind == "2" || kind == "6" || kind == "7") {
            value.type = kind == "1" ? RegistryValue::Type::String
                       : kind == "2" ? RegistryValue::Type::ExpandString
                       : kind == "7" ? RegistryValue::Type::MultiString
                                     : RegistryValue::Type::Other;
            value.text = stringData(bytes, kind == "7");
        } else if (kind == "4") {
            value.type = RegistryValue::Type::Dword;
            value.dword = dwordOf(bytes);
        }
        return value;
    }
    return value;  // a type this reader does not know: Other, no data
}

// How a key line's raw name (after its '[') stands to a key path, read without decoding
// the whole name: most names hold no escape but the doubled backslash, and differ from the
// path within a few characters.
enum class KeyMatch { Same, Ancestor, Other, Unsure };

KeyMatch matchKey(std::string_view raw, std::string_view path) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    std::size_t r = 0, k = 0;
    while (path.size() > k && path[k] == '\\') ++k;  // a leading separator counts for nothing
    while (r < raw.size()) {
        char c = raw[r];
        if (c == ']') break;
        if (c == '\\') {
            // Other escapes, and separators at either end (which the full reading drops).
            if (r == 0 || k >= path.size() || r + 1 >= raw.size() || raw[r + 1] != '\\') return KeyMatch::Unsure;
            ++r;
        }
        if (k >= path.size() || lower(path[k]) != lower(c)) return KeyMatch::Other;
        ++r;
        ++k;
    }
    if (r >= raw.size()) return KeyMatch::Other;  // no closing bracket
    if (k == path.size()) return KeyMatch::Same;
    return path[k] == '\\' ? KeyMatch::Ancestor : KeyMatch::Other;
}

bool isPrefixKey(std::string_view key, std::string_view path) {
    return key.size() < path.size() && path[key.size()] == '\\' && compareIgnoreCase(key, path.substr(0, key.size())) == 0;
}

std::string_view trimBackslashes(std::string_view s) {
    while (!s.empty() && s.front() == '\\') s.remove_prefix(1);
    while (!s.empty() && s.back() == '\\') s.remove_suffix(1);
    return s;
}

}  // namespace

std::optional<std::string> unescapeRegistryString(std::string_view text, char end, std::size_t* consumed) {
    Bytes units;
    std::string out;
    // Escapes give UTF-16 units (a surrogate pair may come as two escapes); the other
    // characters are bytes of UTF-8, checked once at the end.
    const auto flush = [&] {
        if (units.empty()) return;
        out += utf16ToUtf8(ByteView(units));
        units.clear();
    };
    std::size_t i = 0;
    while (i < text.size() && text[i] != end) {
        const char c = text[i];
        if (c != '\\') {
            flush();
            out += c;
            ++i;
            continue;
        }
        if (++i >= text.size()) break;
        const char e = text[i];
        switch (e) {
        case 'a': appendUnit(units, '\a'); ++i; break;
        case 'b': appendUnit(units, '\b'); ++i; break;
        case 'e': appendUnit(units, 0x1B); ++i; break;
        case 'f': appendUnit(units, '\f'); ++i; break;
        case 'n': appendUnit(units, '\n'); ++i; break;
        case 'r': appendUnit(units, '\r'); ++i; break;
        case 't': appendUnit(units, '\t'); ++i; break;
        case 'v': appendUnit(units, '\v'); ++i; break;
        case 'x': {
            std::uint32_t v = 0;
            int digits = 0;
            ++i;
            while (digits < 4 && i < text.size() && hexDigit(text[i]) >= 0) {
                v = v * 16 + static_cast<std::uint32_t>(hexDigit(text[i++]));
                ++digits;
            }
            if (digits == 0) {
                flush();
                out += 'x';
            } else {
                appendUnit(units, v);
            }
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                std::uint32_t v = 0;
                for (int digits = 0; digits < 3 && i < text.size() && text[i] >= '0' && text[i] <= '7'; ++digits)
                    v = v * 8 + static_cast<std::uint32_t>(text[i++] - '0');
                appendUnit(units, v);
            } else {
                flush();
                out += e;
                ++i;
            }
        }
    }
    if (i >= text.size()) return std::nullopt;
    flush();
    *consumed = i + 1;
    if (isAscii(out)) return out;
    return decodeSimpleCodePage(out, kUtf8CodePage);
}

Parsed<WineRegistry> WineRegistry::open(ByteView bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    Lines lines(text);
    std::string_view line;
    if (!lines.next(&line) || line != kMagic) return parseError(0, "the first line is not \"WINE REGISTRY Version 2\"");
    WineRegistry registry(bytes);
    // The root comes in the comment lines before the first key.
    while (lines.next(&line) && (line.empty() || line[0] != '[')) {
        if (!line.starts_with(kRootLine)) continue;
        std::string withEnd(line.substr(kRootLine.size()));
        withEnd += '\n';
        std::size_t used = 0;
        if (auto root = unescapeRegistryString(withEnd, '\n', &used)) registry.root_ = std::string(trimBackslashes(*root));
        break;
    }
    return registry;
}

std::optional<std::vector<RegistryValue>> WineRegistry::findKey(std::string_view keyPath, std::string* linkFrom,
                                                                std::string* linkTo) const {
    Lines lines(std::string_view(reinterpret_cast<const char*>(bytes_.data()), bytes_.size()));
    std::string_view line;
    lines.next(&line);  // the first line, checked by open()
    bool ahead = lines.next(&line);
    while (ahead) {
        if (line.empty() || line[0] != '[') {
            ahead = lines.next(&line);
            continue;
        }
        const KeyMatch quick = matchKey(line.substr(1), keyPath);
        if (quick == KeyMatch::Other) {
            ahead = lines.next(&line);
            continue;
        }
        std::size_t used = 0;
        const auto key = unescapeRegistryString(line.substr(1), ']', &used);
        const bool wanted = key && compareIgnoreCase(trimBackslashes(*key), keyPath) == 0;
        const bool ancestor = key && !wanted && isPrefixKey(trimBackslashes(*key), keyPath) &&
                              trimBackslashes(*key).size() > linkFrom->size();
        if (!wanted && !ancestor) {
            ahead = lines.next(&line);
            continue;
        }
        std::vector<RegistryValue> values;
        bool link = false;
        while ((ahead = lines.next(&line)) && (line.empty() || line[0] != '[')) {
            if (line == "#link") link = true;
            if (line.empty() || (line[0] != '"' && line[0] != '@')) continue;
            if (auto value = parseValue(line, lines)) values.push_back(std::move(*value));
        }
        if (wanted) return values;
        if (!link) continue;
        for (const RegistryValue& v : values) {
            if (compareIgnoreCase(v.name, "SymbolicLinkValue") != 0) continue;
            // A target of this file: \ROOT\Some\Key.
            std::string_view target = trimBackslashes(v.text);
            if (root_.empty() || !isPrefixKey(root_, target)) break;
            *linkFrom = std::string(trimBackslashes(*key));
            *linkTo = std::string(trimBackslashes(target.substr(root_.size())));
            break;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<RegistryValue>> WineRegistry::values(std::string_view keyPath) const {
    std::string path(trimBackslashes(keyPath));
    for (int hop = 0; hop <= kMaxLinks; ++hop) {
        std::string from, to;
        if (auto found = findKey(path, &from, &to)) return found;
        if (from.empty()) return std::nullopt;
        path = to + path.substr(from.size());
    }
    return std::nullopt;
}

std::optional<RegistryValue> WineRegistry::value(std::string_view keyPath, std::string_view name) const {
    const auto all = values(keyPath);
    if (!all) return std::nullopt;
    for (const RegistryValue& v : *all)
        if (compareIgnoreCase(v.name, name) == 0) return v;
    return std::nullopt;
}

}  // namespace formats
