#include "formats/ModuleResources.h"

#include "formats/ResourceReaders.h"

namespace formats {

namespace {

constexpr std::uint64_t kDosHeaderSize = 64;
constexpr std::uint64_t kLfanewOffset = 0x3C;

void appendUtf8(std::string& out, std::uint32_t cp) {
    auto put = [&out](std::uint32_t v) { out.push_back(static_cast<char>(v)); };
    if (cp < 0x80) {
        put(cp);
    } else if (cp < 0x800) {
        put(0xC0 | (cp >> 6));
        put(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        put(0xE0 | (cp >> 12));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    } else {
        put(0xF0 | (cp >> 18));
        put(0x80 | ((cp >> 12) & 0x3F));
        put(0x80 | ((cp >> 6) & 0x3F));
        put(0x80 | (cp & 0x3F));
    }
}

}  // namespace

namespace detail {

std::string utf16leToUtf8(ByteView units) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string out;
    const std::size_t count = units.size() / 2;
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t u = *units.u16(2 * i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < count) {
            const std::uint32_t next = *units.u16(2 * (i + 1));
            if (next >= 0xDC00 && next <= 0xDFFF) {
                appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        appendUtf8(out, (u >= 0xD800 && u <= 0xDFFF) ? kReplacement : u);
    }
    return out;
}

}  // namespace detail

std::string groupNameText(const ResourceName& name) {
    if (name.id) return "#" + std::to_string(*name.id);
    return name.text;
}

std::optional<ResourceName> parseGroupName(std::string_view text) {
    if (text.empty()) return std::nullopt;
    if (text.size() < 2 || text[0] != '#') return ResourceName::fromString(std::string(text));
    std::uint32_t value = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return ResourceName::fromString(std::string(text));
        // Past 16 bits the value can only grow (or stay 0 for leading zeros), so stop
        // accumulating once it is out of range; the digits are still all checked.
        if (value <= 0xFFFF) value = value * 10 + static_cast<std::uint32_t>(c - '0');
    }
    if (value > 0xFFFF) return std::nullopt;
    return ResourceName::fromId(static_cast<std::uint16_t>(value));
}

std::optional<Bytes> ResourceModule::load(std::uint16_t type, const ResourceName& name) {
    const auto span = locate(type, name);
    return span ? file().read(span->offset, span->size) : std::nullopt;
}

std::optional<Bytes> ResourceModule::loadAt(std::uint16_t type, std::size_t index) {
    const auto span = locateAt(type, index);
    return span ? file().read(span->offset, span->size) : std::nullopt;
}

std::unique_ptr<ResourceModule> ResourceModule::open(std::unique_ptr<ByteSource> source) {
    if (!source) return nullptr;
    // Headers may overlap and run past the end of a small file, whose missing bytes the
    // loader maps as zeros.
    const auto dos = readZeroPadded(*source, 0, kDosHeaderSize);
    if (!dos) return nullptr;
    const ByteView dosView(*dos);
    if (!dosView.startsWith("MZ")) return nullptr;
    const std::uint64_t lfanew = *dosView.u32(kLfanewOffset);
    if (lfanew >= source->size()) return nullptr;

    if (const auto sig = readZeroPadded(*source, lfanew, 4); sig && ByteView(*sig).startsWith(std::string_view("PE\0\0", 4)))
        return detail::openPe(std::move(source), lfanew);
    if (const auto sig = readZeroPadded(*source, lfanew, 2); sig && ByteView(*sig).startsWith("NE"))
        return detail::openNe(std::move(source), lfanew);
    return nullptr;
}

}  // namespace formats
