#include "formats/IniFile.h"

#include <climits>

#include "formats/AsciiText.h"

namespace formats {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trim(std::string_view s) {
    while (!s.empty() && (isBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

std::string_view unquote(std::string_view s) {
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) return s.substr(1, s.size() - 2);
    return s;
}

// UTF-16 big-endian units swapped to little-endian.
Bytes swapped(ByteView units) {
    Bytes out(units.data(), units.data() + (units.size() & ~std::size_t{1}));
    for (std::size_t i = 0; i + 1 < out.size(); i += 2) std::swap(out[i], out[i + 1]);
    return out;
}

// Parses PATH,N's N: blanks, an optional sign, digits, blanks; nothing else.
std::optional<std::int32_t> strictIndex(std::string_view text) {
    text = trim(text);
    if (text.empty()) return std::nullopt;
    std::size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    if (i == text.size()) return std::nullopt;
    for (std::size_t k = i; k < text.size(); ++k)
        if (text[k] < '0' || text[k] > '9') return std::nullopt;
    return profileInt(text);
}

IniIconReference reference(StoredText path, std::int32_t index) {
    IniIconReference ref;
    ref.location = path;
    ref.path = std::move(path);
    ref.index = index;
    return ref;
}

}  // namespace

Parsed<IniFile> IniFile::read(ByteView bytes) {
    IniFile ini;
    std::string text;
    if (bytes.size() >= 2 && bytes.data()[0] == 0xFF && bytes.data()[1] == 0xFE) {
        text = utf16ToUtf8(*bytes.from(2));
        ini.codePage_ = kUtf8CodePage;
    } else if (bytes.size() >= 2 && bytes.data()[0] == 0xFE && bytes.data()[1] == 0xFF) {
        text = utf16ToUtf8(ByteView(swapped(*bytes.from(2))));
        ini.codePage_ = kUtf8CodePage;
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        text = *decodeSimpleCodePage(std::string_view(reinterpret_cast<const char*>(bytes.data()) + 3, bytes.size() - 3), kUtf8CodePage);
        ini.codePage_ = kUtf8CodePage;
    } else {
        text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        const std::size_t nul = text.find('\0');
        if (nul != std::string::npos) return parseError(nul, "a NUL byte in text without a byte-order mark: not an INI file");
    }

    bool inSection = false;
    std::string_view rest(text);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\n');
        std::string_view line = trim(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            // The name runs to the last ']' (to the end of the line when there is none).
            const std::size_t close = line.rfind(']');
            const std::string_view name = trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
            ini.sections_.emplace_back(name);
            inSection = true;
            continue;
        }
        const std::size_t eq = line.find('=');
        if (!inSection || eq == std::string_view::npos) continue;
        ini.entries_.push_back({ini.sections_.size() - 1, std::string(trim(line.substr(0, eq))),
                                std::string(unquote(trim(line.substr(eq + 1))))});
    }
    return ini;
}

std::optional<StoredText> IniFile::value(std::string_view section, std::string_view key) const {
    std::size_t found = sections_.size();
    for (std::size_t i = 0; i < sections_.size() && found == sections_.size(); ++i)
        if (compareIgnoreCase(sections_[i], section) == 0) found = i;
    if (found == sections_.size()) return std::nullopt;
    for (const Entry& e : entries_)
        if (e.section == found && compareIgnoreCase(e.key, key) == 0) return StoredText{e.value, codePage_};
    return std::nullopt;
}

std::int32_t profileInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<std::int32_t>(value);
}

IniIconReference splitIconLocation(StoredText text) {
    const std::size_t comma = text.bytes.rfind(',');
    if (comma != std::string::npos) {
        if (const auto index = strictIndex(std::string_view(text.bytes).substr(comma + 1))) {
            IniIconReference ref;
            ref.path = StoredText{std::string(trim(std::string_view(text.bytes).substr(0, comma))), text.codePage};
            ref.index = *index;
            ref.location = std::move(text);
            return ref;
        }
    }
    return reference(std::move(text), 0);
}

UrlShortcut readUrlShortcut(const IniFile& ini) {
    UrlShortcut shortcut;
    shortcut.url = ini.value("InternetShortcut", "URL");
    if (auto file = ini.value("InternetShortcut", "IconFile"); file && !file->empty()) {
        const auto index = ini.value("InternetShortcut", "IconIndex");
        shortcut.icon = reference(std::move(*file), index ? profileInt(index->bytes) : 0);
    }
    return shortcut;
}

std::optional<IniIconReference> desktopIniIcon(const IniFile& ini) {
    if (auto resource = ini.value(".ShellClassInfo", "IconResource"); resource && !resource->empty())
        return splitIconLocation(std::move(*resource));
    if (auto file = ini.value(".ShellClassInfo", "IconFile"); file && !file->empty()) {
        const auto index = ini.value(".ShellClassInfo", "IconIndex");
        return reference(std::move(*file), index ? profileInt(index->bytes) : 0);
    }
    return std::nullopt;
}

std::optional<IniIconReference> autorunIcon(const IniFile& ini) {
    if (auto icon = ini.value("autorun", "icon"); icon && !icon->empty()) return splitIconLocation(std::move(*icon));
    return std::nullopt;
}

}  // namespace formats
