#include "formats/StoredText.h"

#include "formats/ResourceReaders.h"

namespace formats {

namespace {

// Windows-1252's 0x80..0x9F; 0 marks the five unassigned bytes, which Windows maps to
// the C1 control of the same value.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUnit(Bytes& units, std::uint32_t unit) {
    units.push_back(static_cast<std::uint8_t>(unit));
    units.push_back(static_cast<std::uint8_t>(unit >> 8));
}

}  // namespace

std::string utf16ToUtf8(ByteView units) { return detail::utf16leToUtf8(units); }

std::string utf16ToUtf8(const std::u16string& units) {
    Bytes le;
    le.reserve(units.size() * 2);
    for (const char16_t u : units) appendUnit(le, u);
    return utf16ToUtf8(ByteView(le));
}

std::u16string utf8ToUtf16(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        std::size_t want = 0;
        std::uint32_t cp = 0;
        if (b < 0x80) {
            want = 1;
            cp = b;
        } else if (b >= 0xC2 && b <= 0xDF) {
            want = 2;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            want = 3;
            cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            want = 4;
            cp = b & 0x07;
        }
        bool ok = want != 0 && want <= bytes.size() - i;
        for (std::size_t k = 1; ok && k < want; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong three-byte forms, surrogates and code points past U+10FFFF.
        if (ok && ((want == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (want == 4 && (cp < 0x10000 || cp > 0x10FFFF))))
            ok = false;
        if (!ok) {
            units.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(cp));
        }
        i += want;
    }
    return units;
}

bool isAscii(std::string_view bytes) {
    for (const char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

std::optional<std::string> decodeSimpleCodePage(std::string_view bytes, std::uint32_t codePage) {
    if (codePage == kUtf8CodePage) return utf16ToUtf8(utf8ToUtf16(bytes));
    if (isAscii(bytes)) return std::string(bytes);
    if (codePage == 20127) {
        std::string out;
        for (const char c : bytes) out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : std::string("\xEF\xBF\xBD");
        return out;
    }
    if (codePage != 1252) return std::nullopt;
    Bytes units;
    units.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        std::uint32_t unit = b;
        if (b >= 0x80 && b < 0xA0 && kCp1252High[b - 0x80] != 0) unit = kCp1252High[b - 0x80];
        appendUnit(units, unit);
    }
    return utf16ToUtf8(ByteView(units));
}

StoredText decodedWhereSimple(StoredText text) {
    if (text.isUtf8()) return text;
    if (auto decoded = decodeSimpleCodePage(text.bytes, text.codePage)) return StoredText::utf8(std::move(*decoded));
    return text;
}

std::string ParseError::text() const {
    std::string out = place.empty() ? std::string() : place + ", ";
    return out + "byte " + std::to_string(offset) + ": " + what;
}

}  // namespace formats
