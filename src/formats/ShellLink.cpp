#include "formats/ShellLink.h"

#include <cstring>

#include "formats/AsciiText.h"

namespace formats {

namespace {

constexpr std::uint8_t kLinkClsid[16] = {0x01, 0x14, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00,
                                         0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46};
constexpr std::uint64_t kIconIndexOffset = 0x38;
constexpr std::uint32_t kLinkInfoMinHeader = 0x1C;
constexpr std::uint32_t kLinkInfoUnicodeHeader = 0x24;
constexpr std::uint32_t kNetLinkMinSize = 0x14;
constexpr std::uint32_t kEnvironmentBlockSize = 0x314;
constexpr std::uint64_t kEnvironmentAnsiChars = 260;

// An offset that points past the end of the structure holding it: reported where the
// offset itself lies.
ParseError offsetPastEnd(ByteView view, std::uint64_t offset, std::uint64_t fieldAt, const char* what) {
    return parseError(fieldAt, std::string(what) + " starts at " + std::to_string(offset) + ", past the end of its structure (" +
                                   std::to_string(view.size()) + " bytes)");
}

// The NUL-terminated ANSI string at `offset` of `view` (`base` is the view's offset in the
// file, `fieldAt` that of the field that holds `offset`, for the errors).
Parsed<std::string> ansiString(ByteView view, std::uint64_t offset, std::uint64_t base, std::uint64_t fieldAt, const char* what) {
    if (offset >= view.size()) return offsetPastEnd(view, offset, fieldAt, what);
    const auto* start = view.data() + offset;
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(start, 0, view.size() - offset));
    if (!end) return parseError(base + offset, std::string(what) + " has no terminating NUL inside its structure");
    return std::string(reinterpret_cast<const char*>(start), static_cast<std::size_t>(end - start));
}

// The NUL-terminated UTF-16 string at `offset`, as UTF-8.
Parsed<std::string> unicodeString(ByteView view, std::uint64_t offset, std::uint64_t base, std::uint64_t fieldAt, const char* what) {
    if (offset >= view.size()) return offsetPastEnd(view, offset, fieldAt, what);
    for (std::uint64_t at = offset; view.fits(at, 2); at += 2)
        if (*view.u16(at) == 0) return utf16ToUtf8(*view.sub(offset, at - offset));
    return parseError(base + offset, std::string(what) + " has no terminating NUL inside its structure");
}

// ANSI bytes as stored, cut at the first NUL.
std::string cutAtNul(std::string text) {
    const std::size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

struct LinkInfoPaths {
    std::optional<StoredText> base, suffix, netName, deviceName;
};

Parsed<LinkInfoPaths> readLinkInfo(ByteView info, std::uint64_t at) {
    const std::uint32_t headerSize = *info.u32(4);
    if (headerSize < kLinkInfoMinHeader || (headerSize > kLinkInfoMinHeader && headerSize < kLinkInfoUnicodeHeader) ||
        headerSize > info.size())
        return parseError(at + 4, "LinkInfo header of " + std::to_string(headerSize) + " bytes in a LinkInfo of " +
                                      std::to_string(info.size()));
    const std::uint32_t flags = *info.u32(8);
    const std::uint32_t baseOffset = *info.u32(16);
    const std::uint32_t netOffset = *info.u32(20);
    const std::uint32_t suffixOffset = *info.u32(24);
    const bool unicode = headerSize >= kLinkInfoUnicodeHeader;

    LinkInfoPaths paths;
    std::optional<std::string> baseUnicode, suffixUnicode;
    if (flags & 1) {
        auto base = ansiString(info, baseOffset, at, at + 16, "the local base path");
        if (!base) return base.error();
        paths.base = StoredText::ansi(std::move(*base));
        if (unicode && *info.u32(28) != 0) {
            auto wide = unicodeString(info, *info.u32(28), at, at + 28, "the Unicode local base path");
            if (!wide) return wide.error();
            baseUnicode = std::move(*wide);
        }
    }
    if (flags & 2) {
        auto net = info.from(netOffset);
        if (!net || !net->fits(0, kNetLinkMinSize))
            return parseError(at + 20, "the network link at " + std::to_string(netOffset) + " does not fit in the LinkInfo");
        const std::uint32_t netSize = *net->u32(0);
        if (netSize < kNetLinkMinSize || !net->fits(0, netSize))
            return parseError(at + netOffset, "a network link of " + std::to_string(netSize) + " bytes does not fit in the LinkInfo");
        const ByteView link = *net->sub(0, netSize);
        const std::uint32_t netFlags = *link.u32(4);
        const std::uint32_t nameOffset = *link.u32(8);
        const std::uint32_t deviceOffset = *link.u32(12);
        const bool wide = nameOffset > kNetLinkMinSize && link.fits(0, kNetLinkMinSize + 8);
        if (wide && *link.u32(0x14) != 0) {
            auto name = unicodeString(link, *link.u32(0x14), at + netOffset, at + netOffset + 0x14, "the Unicode network name");
            if (!name) return name.error();
            paths.netName = StoredText::utf8(std::move(*name));
        } else {
            auto name = ansiString(link, nameOffset, at + netOffset, at + netOffset + 8, "the network name");
            if (!name) return name.error();
            paths.netName = StoredText::ansi(std::move(*name));
        }
        if (netFlags & 1) {
            if (wide && *link.u32(0x18) != 0) {
                auto device = unicodeString(link, *link.u32(0x18), at + netOffset, at + netOffset + 0x18, "the Unicode device name");
                if (!device) return device.error();
                paths.deviceName = StoredText::utf8(std::move(*device));
            } else {
                auto device = ansiString(link, deviceOffset, at + netOffset, at + netOffset + 12, "the device name");
                if (!device) return device.error();
                paths.deviceName = StoredText::ansi(std::move(*device));
            }
        }
    }
    if (flags & 3) {
        auto suffix = ansiString(info, suffixOffset, at, at + 24, "the common path suffix");
        if (!suffix) return suffix.error();
        paths.suffix = StoredText::ansi(std::move(*suffix));
        if (unicode && *info.u32(32) != 0) {
            auto wide = unicodeString(info, *info.u32(32), at, at + 32, "the Unicode common path suffix");
            if (!wide) return wide.error();
            suffixUnicode = std::move(*wide);
        }
    }
    // The Unicode suffix (and base path) when the LinkInfo holds every part of the path in
    // Unicode, so that the parts share one encoding; else the ANSI ones.
    const bool baseWide = !(flags & 1) || baseUnicode.has_value();
    const bool netWide = !paths.netName || paths.netName->isUtf8();
    if (baseWide && netWide && suffixUnicode) {
        if (baseUnicode) paths.base = StoredText::utf8(std::move(*baseUnicode));
        paths.suffix = StoredText::utf8(std::move(*suffixUnicode));
    }
    return paths;
}

// The path of an environment data block: Unicode when its first character is not NUL,
// else ANSI.
Parsed<StoredText> environmentPath(ByteView block, std::uint64_t at) {
    const ByteView ansi = *block.sub(8, kEnvironmentAnsiChars);
    const ByteView wide = *block.sub(8 + kEnvironmentAnsiChars, 2 * kEnvironmentAnsiChars);
    if (*wide.u16(0) != 0) {
        auto text = unicodeString(wide, 0, at + 8 + kEnvironmentAnsiChars, at, "the block's Unicode path");
        if (!text) return text.error();
        return StoredText::utf8(std::move(*text));
    }
    auto text = ansiString(ansi, 0, at + 8, at, "the block's path");
    if (!text) return text.error();
    return StoredText::ansi(std::move(*text));
}

// Joins two texts of one encoding; an ANSI part that is plain ASCII joins a UTF-8 one.
StoredText joinText(StoredText a, const StoredText& b, bool separator) {
    if (a.codePage != b.codePage) {
        a = decodedWhereSimple(std::move(a));
        StoredText bb = decodedWhereSimple(b);
        if (a.codePage != bb.codePage) return a;  // cannot happen for the pairs LinkInfo yields
        if (separator) a.bytes += '\\';
        a.bytes += bb.bytes;
        return a;
    }
    if (separator) a.bytes += '\\';
    a.bytes += b.bytes;
    return a;
}

}  // namespace

bool isShellLink(ByteView head) {
    return head.fits(0, 20) && *head.u32(0) == kLinkHeaderSize && std::memcmp(head.data() + 4, kLinkClsid, 16) == 0;
}

bool isNetworkPath(std::string_view path) {
    const auto sep = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() < 3 || !sep(path[0]) || !sep(path[1])) return false;
    if ((path[2] == '?' || path[2] == '.') && path.size() >= 4 && sep(path[3]))
        return path.size() >= 8 && compareIgnoreCase(path.substr(4, 3), "UNC") == 0 && sep(path[7]);
    return true;
}

Parsed<ShellLink> readShellLink(ByteView bytes) {
    if (!bytes.fits(0, kLinkHeaderSize))
        return parseError(0, "the header needs " + std::to_string(kLinkHeaderSize) + " bytes, the file has " +
                                 std::to_string(bytes.size()));
    if (!isShellLink(bytes)) return parseError(0, "no shell link header (size 0x4C and the shell link class id)");
    ShellLink link;
    link.flags = *bytes.u32(0x14);
    link.iconIndex = *bytes.s32(kIconIndexOffset);
    std::uint64_t p = kLinkHeaderSize;

    if (link.flags & linkflag::HasLinkTargetIdList) {
        const auto size = bytes.u16(p);
        if (!size || !bytes.fits(p + 2, *size))
            return parseError(p, "the target's ID list" + (size ? " of " + std::to_string(*size) + " bytes" : std::string()) +
                                     " runs past the end of the file");
        p += 2 + *size;
    }
    if (link.flags & linkflag::HasLinkInfo) {
        const auto size = bytes.u32(p);
        if (!size || *size < kLinkInfoMinHeader || !bytes.fits(p, *size))
            return parseError(p, "LinkInfo" + (size ? " of " + std::to_string(*size) + " bytes" : std::string()) +
                                     (size && *size < kLinkInfoMinHeader ? " is shorter than its header" : " runs past the end of the file"));
        if (!(link.flags & linkflag::ForceNoLinkInfo)) {
            auto paths = readLinkInfo(*bytes.sub(p, *size), p);
            if (!paths) return paths.error();
            link.localBasePath = std::move(paths->base);
            link.commonPathSuffix = std::move(paths->suffix);
            link.netName = std::move(paths->netName);
            link.deviceName = std::move(paths->deviceName);
        }
        p += *size;
    }

    const bool unicode = link.flags & linkflag::IsUnicode;
    const struct {
        std::uint32_t flag;
        std::optional<StoredText> ShellLink::*field;
        const char* name;
    } strings[] = {{linkflag::HasName, &ShellLink::name, "the name"},
                   {linkflag::HasRelativePath, &ShellLink::relativePath, "the relative path"},
                   {linkflag::HasWorkingDir, &ShellLink::workingDir, "the working directory"},
                   {linkflag::HasArguments, &ShellLink::arguments, "the arguments"},
                   {linkflag::HasIconLocation, &ShellLink::iconLocation, "the icon location"}};
    for (const auto& s : strings) {
        if (!(link.flags & s.flag)) continue;
        const auto count = bytes.u16(p);
        const std::uint64_t length = count ? std::uint64_t{*count} * (unicode ? 2 : 1) : 0;
        if (!count || !bytes.fits(p + 2, length))
            return parseError(p, std::string(s.name) + (count ? " of " + std::to_string(*count) + " characters" : std::string()) +
                                     " runs past the end of the file");
        const ByteView text = *bytes.sub(p + 2, length);
        if (unicode) {
            link.*s.field = StoredText::utf8(cutAtNul(utf16ToUtf8(text)));
        } else {
            link.*s.field = StoredText::ansi(cutAtNul(std::string(reinterpret_cast<const char*>(text.data()), text.size())));
        }
        p += 2 + length;
    }

    // Extra data blocks until one whose size is below 4 (or the end of the file, which
    // some writers reach without the terminal block). A damaged block ends the reading.
    while (bytes.fits(p, 4)) {
        const std::uint32_t size = *bytes.u32(p);
        if (size < 4) break;
        if (size < 8 || !bytes.fits(p, size)) {
            link.extraDataProblem = parseError(p, "an extra data block of " + std::to_string(size) + " bytes" +
                                                      (size < 8 ? " is shorter than its header" : " runs past the end of the file"));
            break;
        }
        const std::uint32_t signature = *bytes.u32(p + 4);
        if (signature == kEnvironmentBlockSignature || signature == kIconEnvironmentBlockSignature) {
            if (size < kEnvironmentBlockSize) {
                link.extraDataProblem = parseError(p, "an environment data block of " + std::to_string(size) + " bytes, " +
                                                          std::to_string(kEnvironmentBlockSize) + " needed");
                break;
            }
            auto path = environmentPath(*bytes.sub(p, size), p);
            if (!path) {
                link.extraDataProblem = path.error();
                break;
            }
            (signature == kEnvironmentBlockSignature ? link.environmentTarget : link.environmentIcon) = std::move(*path);
        }
        p += size;
    }
    return link;
}

std::optional<LinkPath> ShellLink::target() const {
    if (localBasePath) {
        const bool join = commonPathSuffix && !commonPathSuffix->empty();
        const bool separator = join && !localBasePath->empty() && localBasePath->bytes.back() != '\\' &&
                               commonPathSuffix->bytes.front() != '\\';
        LinkPath out{join ? joinText(*localBasePath, *commonPathSuffix, separator) : *localBasePath, false};
        out.network = isNetworkPath(out.path.bytes);
        return out;
    }
    if (netName) {
        const bool join = commonPathSuffix && !commonPathSuffix->empty();
        return LinkPath{join ? joinText(*netName, *commonPathSuffix, true) : *netName, true};
    }
    for (const auto* text : {&environmentTarget, &relativePath})
        if (*text && !(*text)->empty()) return LinkPath{**text, isNetworkPath((*text)->bytes)};
    return std::nullopt;
}

LinkIcon ShellLink::icon() const {
    if ((flags & linkflag::HasExpIcon) && environmentIcon && !environmentIcon->empty())
        return LinkIcon{*environmentIcon, iconIndex, false};
    if ((flags & linkflag::HasIconLocation) && iconLocation && !iconLocation->empty())
        return LinkIcon{*iconLocation, iconIndex, false};
    LinkIcon icon;
    icon.ofTarget = true;
    if (const auto t = target()) icon.path = t->path;
    return icon;
}

}  // namespace formats
