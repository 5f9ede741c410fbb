#include "formats/InfFile.h"

#include <algorithm>

#include "formats/StoredText.h"

namespace formats {

namespace {

// The UTF-8 character at `at`: its code point, *length its bytes; nullopt when the bytes
// there are no well-formed UTF-8 (overlong forms, surrogates and values past U+10FFFF too).
std::optional<std::uint32_t> utf8At(ByteView bytes, std::size_t at, std::size_t* length) {
    const std::uint8_t b0 = *bytes.u8(at);
    std::size_t n;
    std::uint32_t cp;
    std::uint32_t least;
    if (b0 < 0x80) {
        *length = 1;
        return b0;
    } else if (b0 >= 0xC2 && b0 <= 0xDF) {
        n = 2, cp = b0 & 0x1Fu, least = 0x80;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        n = 3, cp = b0 & 0x0Fu, least = 0x800;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        n = 4, cp = b0 & 0x07u, least = 0x10000;
    } else {
        return std::nullopt;
    }
    for (std::size_t k = 1; k < n; ++k) {
        const auto b = bytes.u8(at + k);
        if (!b || (*b & 0xC0) != 0x80) return std::nullopt;
        cp = (cp << 6) | (*b & 0x3Fu);
    }
    if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return std::nullopt;
    *length = n;
    return cp;
}

bool isUtf8WithHighBytes(ByteView bytes) {
    bool high = false;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t length = 1;
        if (!utf8At(bytes, i, &length)) return false;
        high = high || length > 1;
        i += length;
    }
    return high;
}

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The line up to a ';' outside quotes; *openQuote tells whether a quote is left open.
std::string_view withoutComment(std::string_view line, bool* openQuote) {
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"') quoted = !quoted;
        else if (line[i] == ';' && !quoted) {
            *openQuote = false;
            return line.substr(0, i);
        }
    }
    *openQuote = quoted;
    return line;
}

// One logical line (without its comment) as a key and fields.
InfLine splitLine(std::string_view text, int number) {
    InfLine line;
    line.number = number;
    std::string field;
    std::size_t keep = 0;  // the field's length without the blanks that trail it outside quotes
    bool started = false;  // a character other than a blank outside quotes was seen
    bool quoted = false;
    auto take = [&]() {
        field.resize(keep);
        std::string done = std::move(field);
        field.clear();
        keep = 0;
        started = false;
        return done;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            if (quoted && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else {
                quoted = !quoted;
            }
            started = true;
            keep = field.size();
            continue;
        }
        if (!quoted) {
            if (c == ',') {
                line.fields.push_back(take());
                continue;
            }
            if (c == '=' && !line.hasKey && line.fields.empty()) {
                line.key = take();
                line.hasKey = true;
                continue;
            }
            if (isBlank(c)) {
                if (started) field += c;
                continue;
            }
        }
        field += c;
        started = true;
        keep = field.size();
    }
    line.fields.push_back(take());
    return line;
}

bool allDigits(std::string_view s) {
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return !s.empty();
}

// The length of the control character at `at` (C0, DEL, or C1 as UTF-8), 0 if none.
std::size_t controlAt(std::string_view text, std::size_t at) {
    const auto c = static_cast<unsigned char>(text[at]);
    if (c < 0x20 || c == 0x7F) return 1;
    if (c == 0xC2 && at + 1 < text.size()) {
        const auto next = static_cast<unsigned char>(text[at + 1]);
        if (next >= 0x80 && next <= 0x9F) return 2;
    }
    return 0;
}

}  // namespace

std::string decodeInfText(ByteView bytes, InfEncoding* encoding) {
    InfEncoding used = InfEncoding::Cp1252;
    std::string text;
    const auto b0 = bytes.u8(0), b1 = bytes.u8(1), b2 = bytes.u8(2), b3 = bytes.u8(3);
    const bool utf16Plain = b0 && b1 && b2 && b3 && *b0 != 0 && *b1 == 0 && *b2 != 0 && *b3 == 0;
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF") || utf16Plain) {
        const bool bigEndian = bytes.startsWith("\xFE\xFF");
        used = bigEndian ? InfEncoding::Utf16be : InfEncoding::Utf16le;
        Bytes units(bytes.data() + (utf16Plain ? 0 : 2), bytes.data() + bytes.size());
        if (bigEndian)
            for (std::size_t i = 0; i + 1 < units.size(); i += 2) std::swap(units[i], units[i + 1]);
        text = utf16ToUtf8(ByteView(units));
    } else if (bytes.startsWith("\xEF\xBB\xBF") || isUtf8WithHighBytes(bytes)) {
        used = InfEncoding::Utf8;
        text = *decodeSimpleCodePage(raw.substr(bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0), kUtf8CodePage);
    } else {
        text = *decodeSimpleCodePage(raw, 1252);
    }
    std::erase(text, '\0');  // NUL characters are dropped
    if (encoding) *encoding = used;
    return text;
}

std::string asciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return out;
}

bool infHasControl(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i)
        if (controlAt(text, i)) return true;
    return false;
}

std::string infReplaceControls(std::string_view text, std::string_view replacement) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t n = controlAt(text, i)) {
            out += replacement;
            i += n;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string infSnippet(std::string_view text) {
    constexpr std::size_t kMost = 60;
    if (text.size() <= kMost) return infReplaceControls(text, "?");
    std::size_t cut = kMost;  // between whole characters
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    return infReplaceControls(text.substr(0, cut), "?") + "...";
}

InfFile InfFile::read(ByteView bytes) {
    InfFile inf;
    if (bytes.size() > kMaxInfFileSize) {
        inf.warn(0, "larger than " + std::to_string(kMaxInfFileSize >> 10) + " KiB: not read");
        return inf;
    }
    std::string text = decodeInfText(bytes, &inf.encoding_);
    // Ctrl+Z ends the text, as in files written by DOS editors.
    if (const std::size_t end = text.find('\x1A'); end != std::string::npos) text.resize(end);

    std::optional<std::size_t> current;
    std::string logical;
    int logicalStart = 0;
    bool continued = false;  // the line before ended in '\'
    auto finishLine = [&]() {
        const std::string_view line = trim(logical);
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos) inf.warn(logicalStart, "section name without ']': " + infSnippet(line));
            const std::string name(trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1)));
            const auto [it, added] = inf.sectionIndex_.emplace(asciiLower(name), inf.sections_.size());
            if (added) inf.sections_.push_back({name, logicalStart, {}});
            current = it->second;
        } else if (!line.empty() && current) {
            inf.sections_[*current].lines.push_back(splitLine(line, logicalStart));
        }
        logical.clear();
    };
    int number = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string_view physical = std::string_view(text).substr(pos, end - pos);
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n') ++pos;
        ++number;

        if (!continued) logicalStart = number;
        bool openQuote = false;
        std::string_view part = withoutComment(physical, &openQuote);
        if (openQuote) inf.warn(number, "a quote is not closed; it runs to the end of the line");
        const std::string_view trimmed = trim(part);
        if (!openQuote && !trimmed.empty() && trimmed.back() == '\\') {
            logical.append(trimmed.substr(0, trimmed.size() - 1));  // continued on the next line
            continued = true;
            continue;
        }
        continued = false;
        logical.append(part);
        finishLine();
    }
    finishLine();
    inf.readStrings();
    return inf;
}

void InfFile::readStrings() {
    auto readSection = [this](const InfSection& s, bool primary) {
        for (const InfLine& line : s.lines) {
            if (!line.hasKey) {
                if (primary) warn(line.number, "[" + infSnippet(s.name) + "] line without '=' ignored");
                continue;
            }
            // The value is used as it stands where it is referred to, never expanded again,
            // but "%%" in it is one '%' already.
            std::string value;
            for (std::size_t i = 0; i < line.fields.size(); ++i) {
                if (i) value += ',';
                const std::string& f = line.fields[i];
                for (std::size_t k = 0; k < f.size(); ++k) {
                    value += f[k];
                    if (f[k] == '%' && k + 1 < f.size() && f[k + 1] == '%') ++k;
                }
            }
            const auto [it, added] = strings_.emplace(asciiLower(line.key), value);
            if (!added && primary && it->second != value)
                warn(line.number, "%" + infSnippet(line.key) + "% is defined again; the first value is kept");
        }
    };
    for (const InfSection& s : sections_)
        if (asciiLower(s.name) == "strings") readSection(s, true);
    for (const InfSection& s : sections_)
        if (asciiLower(s.name).rfind("strings.", 0) == 0) readSection(s, false);
}

const InfSection* InfFile::section(std::string_view name) const {
    const auto it = sectionIndex_.find(asciiLower(name));
    return it == sectionIndex_.end() ? nullptr : &sections_[it->second];
}

std::optional<std::string> InfFile::expand(std::string_view text, int line, std::size_t limit) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] != '%') {
            const std::size_t next = std::min(text.find('%', i), text.size());
            out.append(text.substr(i, next - i));
            i = next;
        } else if (const std::size_t close = text.find('%', i + 1); close == std::string_view::npos) {
            out.append(text.substr(i));  // a lone '%' is itself
            i = text.size();
        } else {
            const std::string_view name = text.substr(i + 1, close - i - 1);
            if (name.empty()) {
                out += '%';
            } else if (const auto it = strings_.find(asciiLower(name)); it != strings_.end()) {
                out += it->second;
            } else {
                out.append(text.substr(i, close + 1 - i));
                if (!allDigits(name)) warn(line, "%" + infSnippet(name) + "% is not in [Strings]; left as written");
            }
            i = close + 1;
        }
        if (out.size() > limit) {
            warn(line, "a field longer than " + std::to_string(limit) + " bytes once %names% are expanded; ignored");
            return std::nullopt;
        }
    }
    return out;
}

void InfFile::warn(int line, std::string text) {
    if (warnings_.size() < kMaxInfWarnings) warnings_.push_back({line, std::move(text)});
    else ++dropped_;
}

std::vector<InfWarning> InfFile::warnings() const {
    std::vector<InfWarning> all = warnings_;
    std::stable_sort(all.begin(), all.end(), [](const InfWarning& a, const InfWarning& b) { return a.line < b.line; });
    if (dropped_) all.push_back({0, std::to_string(dropped_) + " more warnings not shown"});
    return all;
}

}  // namespace formats
