#include "iconmod/PointerHandOver.h"

#include <cstdint>
#include <string_view>

namespace iconmod {
namespace {

// The magic, a version byte, the kind, the number of records, then the records: a field
// byte, the text's code page (u32), an index (s32), the text's length (u16) and its bytes.
// The count makes a hand-over cut short at a record's end a damaged one.
constexpr std::string_view kMagic = "VXPOINT";
constexpr std::uint8_t kVersion = 1;
constexpr std::size_t kHeadSize = kMagic.size() + 3;
constexpr std::size_t kRecordHead = 1 + 4 + 4 + 2;

enum Field : std::uint8_t {
    kIconLocation = 1,  // the icon location as stored (index unused)
    kIconPath = 2,      // its path, with the icon index
    kTarget = 3,        // a local target
    kNetworkTarget = 4,
};

void appendRecord(formats::Bytes& out, Field field, const formats::StoredText& text, std::int32_t index) {
    out.push_back(field);
    formats::appendU32(out, text.codePage);
    formats::appendU32(out, static_cast<std::uint32_t>(index));
    formats::appendU16(out, static_cast<std::uint16_t>(text.bytes.size()));
    out.insert(out.end(), text.bytes.begin(), text.bytes.end());
}

bool knownKind(std::uint8_t kind) {
    switch (static_cast<PointerKind>(kind)) {
    case PointerKind::Shortcut:
    case PointerKind::InternetShortcut:
    case PointerKind::FolderSettings:
    case PointerKind::Autorun: return true;
    case PointerKind::Package:
    case PointerKind::None: break;
    }
    return false;
}

}  // namespace

std::optional<formats::Bytes> handOverPointer(const PointerContents& contents) {
    if (contents.failure || !knownKind(static_cast<std::uint8_t>(contents.kind))) return std::nullopt;
    formats::Bytes out(kMagic.begin(), kMagic.end());
    out.push_back(kVersion);
    out.push_back(static_cast<std::uint8_t>(contents.kind));
    const std::size_t records = (contents.icon ? 2 : 0) + contents.targets.size();
    if (records > 0xFF) return std::nullopt;
    out.push_back(static_cast<std::uint8_t>(records));
    const auto add = [&out](Field field, const formats::StoredText& text, std::int32_t index) {
        if (text.bytes.size() > kPointerHandOverSize) return false;
        appendRecord(out, field, text, index);
        return out.size() <= kPointerHandOverSize;
    };
    if (contents.icon && !(add(kIconLocation, contents.icon->location, 0) && add(kIconPath, contents.icon->path, contents.icon->index)))
        return std::nullopt;
    for (const formats::LinkPath& target : contents.targets)
        if (!add(target.network ? kNetworkTarget : kTarget, target.path, 0)) return std::nullopt;
    return out;
}

bool isPointerHandOver(formats::ByteView bytes) { return bytes.startsWith(kMagic); }

std::optional<PointerContents> takePointerHandOver(formats::ByteView bytes) {
    if (bytes.size() > kPointerHandOverSize || !isPointerHandOver(bytes) || bytes.u8(kMagic.size()) != kVersion)
        return std::nullopt;
    const auto kind = bytes.u8(kMagic.size() + 1);
    const auto records = bytes.u8(kMagic.size() + 2);
    if (!kind || !knownKind(*kind) || !records) return std::nullopt;
    PointerContents contents;
    contents.kind = static_cast<PointerKind>(*kind);
    std::optional<formats::StoredText> location;
    std::uint64_t at = kHeadSize;
    while (at < bytes.size()) {
        const auto field = bytes.u8(at);
        const auto codePage = bytes.u32(at + 1);
        const auto index = bytes.s32(at + 5);
        const auto length = bytes.u16(at + 9);
        if (!field || !codePage || !index || !length) return std::nullopt;
        const auto text = bytes.sub(at + kRecordHead, *length);
        if (!text) return std::nullopt;
        formats::StoredText stored{std::string(text->data(), text->data() + text->size()), *codePage};
        at += kRecordHead + *length;
        // One form only: the icon's two records first, then the targets; an index only
        // where it means one.
        if (*field != kIconPath && *index != 0) return std::nullopt;
        switch (*field) {
        case kIconLocation:
            if (location || contents.icon || !contents.targets.empty()) return std::nullopt;
            location = std::move(stored);
            break;
        case kIconPath:
            // The path comes right after its location, once.
            if (!location || contents.icon) return std::nullopt;
            contents.icon = formats::IniIconReference{std::move(*location), std::move(stored), *index};
            break;
        case kTarget:
        case kNetworkTarget:
            contents.targets.push_back({std::move(stored), *field == kNetworkTarget});
            break;
        default: return std::nullopt;
        }
    }
    if (location && !contents.icon) return std::nullopt;
    if ((contents.icon ? 2u : 0u) + contents.targets.size() != *records) return std::nullopt;
    // Only a shortcut has targets, and a file that names an icon names one or the other.
    if (!contents.targets.empty() && contents.kind != PointerKind::Shortcut) return std::nullopt;
    if (!contents.icon && contents.targets.empty()) return std::nullopt;
    return contents;
}

}  // namespace iconmod
