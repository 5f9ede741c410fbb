#include "formats/FileKind.h"

#include "formats/AniFile.h"
#include "formats/IconDirectory.h"

namespace formats {
namespace {

constexpr std::uint64_t kDosHeaderSize = 64;
constexpr std::uint64_t kLfanewOffset = 0x3C;
constexpr std::uint64_t kOptionalMagicOffset = 24;  // from the PE signature
constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;

std::string hex(std::uint64_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), kDigits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return "0x" + text;
}

std::string bytes(std::uint64_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

KindCheck module(ByteSource& source) {
    const auto dos = readZeroPadded(source, 0, kDosHeaderSize);
    if (!dos) return {FileKind::Other, "cannot be read"};
    const std::uint64_t lfanew = *ByteView(*dos).u32(kLfanewOffset);
    if (lfanew >= source.size())
        return {FileKind::Other, "an MS-DOS program: its Windows header offset " + hex(lfanew) +
                                     " lies past the end of the file (" + bytes(source.size()) + ")"};
    const auto header = readZeroPadded(source, lfanew, kOptionalMagicOffset + 2);
    if (!header) return {FileKind::Other, "cannot be read"};
    const ByteView h(*header);
    if (h.startsWith(std::string_view("PE\0\0", 4))) {
        const std::uint16_t magic = *h.u16(kOptionalMagicOffset);
        if (magic == kMagicPe32) return {FileKind::Pe32, {}};
        if (magic == kMagicPe32Plus) return {FileKind::Pe32Plus, {}};
        return {FileKind::Other, "a PE module whose optional header at " + hex(lfanew + kOptionalMagicOffset) +
                                     " has the unknown magic " + hex(magic)};
    }
    if (h.startsWith("NE")) return {FileKind::Ne, {}};
    return {FileKind::Other, "an MS-DOS program: no PE or NE header at " + hex(lfanew)};
}

}  // namespace

KindCheck checkKind(ByteSource& source) {
    if (source.size() == 0) return {FileKind::Other, "the file is empty"};
    const auto head = source.read(0, std::min<std::uint64_t>(kIconDirHeaderSize * 2, source.size()));
    if (!head) return {FileKind::Other, "cannot be read"};
    const ByteView h(*head);
    if (h.startsWith("MZ")) return module(source);
    if (isAni(h)) return {FileKind::Ani, {}};
    const auto icons = icoImageCount(h);
    const auto cursors = curImageCount(h);
    if (!icons && !cursors) return {FileKind::Other, kNoKnownKind};
    const KindCheck found{icons ? FileKind::Ico : FileKind::Cur, {}};
    const std::uint16_t count = icons ? *icons : *cursors;
    if (count == 0) return {found.kind, "its directory lists no images"};
    const std::uint64_t end = kIconDirHeaderSize + kIcoEntrySize * std::uint64_t{count};
    if (end > source.size())
        return {found.kind, "the directory of " + std::to_string(count) + (count == 1 ? " entry" : " entries") +
                                " ends at byte " + std::to_string(end) + ", past the end of the file (" +
                                bytes(source.size()) + ")"};
    return found;
}

const char* kindName(FileKind kind) {
    switch (kind) {
    case FileKind::Pe32: return "PE32";
    case FileKind::Pe32Plus: return "PE32+";
    case FileKind::Ne: return "NE";
    case FileKind::Ico: return "ICO";
    case FileKind::Cur: return "CUR";
    case FileKind::Ani: return "ANI";
    case FileKind::Other: break;
    }
    return "other";
}

}  // namespace formats
