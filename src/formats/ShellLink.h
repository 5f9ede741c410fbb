// Shell links (.lnk files): the header, the target's ID list (skipped), LinkInfo (the
// target's local or network path), the strings (name, relative path, working directory,
// arguments, icon location) and the extra data blocks that carry paths with environment
// variables. What Vexil needs of a link is the icon a Windows user sees for it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "formats/ByteView.h"
#include "formats/StoredText.h"

namespace formats {

namespace linkflag {
constexpr std::uint32_t HasLinkTargetIdList = 1u << 0;
constexpr std::uint32_t HasLinkInfo = 1u << 1;
constexpr std::uint32_t HasName = 1u << 2;
constexpr std::uint32_t HasRelativePath = 1u << 3;
constexpr std::uint32_t HasWorkingDir = 1u << 4;
constexpr std::uint32_t HasArguments = 1u << 5;
constexpr std::uint32_t HasIconLocation = 1u << 6;
constexpr std::uint32_t IsUnicode = 1u << 7;
constexpr std::uint32_t ForceNoLinkInfo = 1u << 8;
constexpr std::uint32_t HasExpString = 1u << 9;
constexpr std::uint32_t HasExpIcon = 1u << 14;
}  // namespace linkflag

constexpr std::uint32_t kLinkHeaderSize = 0x4C;
constexpr std::uint32_t kEnvironmentBlockSignature = 0xA0000001;
constexpr std::uint32_t kIconEnvironmentBlockSignature = 0xA0000007;

// A path a link stores, and whether it names a network location (a CommonNetworkRelativeLink
// in LinkInfo, or text of the form \\server\share).
struct LinkPath {
    StoredText path;
    bool network = false;
};

// The icon Windows shows for a link. When `ofTarget` is set the link names no icon of its
// own: Windows shows icon 0 of the target (`path` is then the target's path, when known).
struct LinkIcon {
    StoredText path;
    std::int32_t index = 0;  // >= 0 the N-th icon, < 0 the resource id -N
    bool ofTarget = false;
};

struct ShellLink {
    std::uint32_t flags = 0;
    std::int32_t iconIndex = 0;

    // LinkInfo: the local base path and the common path suffix (Unicode when the LinkInfo
    // holds them, else ANSI), or the network share and device of a network target.
    std::optional<StoredText> localBasePath;
    std::optional<StoredText> commonPathSuffix;
    std::optional<StoredText> netName;     // \\server\share
    std::optional<StoredText> deviceName;  // the drive letter it was mapped to ("Z:")

    // The strings, UTF-16 decoded to UTF-8 when the link is Unicode, else ANSI.
    std::optional<StoredText> name;
    std::optional<StoredText> relativePath;
    std::optional<StoredText> workingDir;
    std::optional<StoredText> arguments;
    std::optional<StoredText> iconLocation;

    // The extra data blocks: the icon path with %VARIABLES% (IconEnvironmentDataBlock) and
    // the target's (EnvironmentVariableDataBlock); Unicode text where the block holds one.
    std::optional<StoredText> environmentIcon;
    std::optional<StoredText> environmentTarget;
    // Set when the extra data could not be read to its end (a block that runs past the
    // file, or bytes after the strings the flags do not announce, as Wine writes a relative
    // path without its flag): the parts before it stand, the blocks from there on are lost.
    std::optional<ParseError> extraDataProblem;

    // The target: LinkInfo's base path and suffix (or share and suffix), else the
    // environment block's, else the relative path. nullopt when the link stores none.
    std::optional<LinkPath> target() const;
    // The icon a Windows user sees: the icon environment block's path when HasExpIcon is
    // set, else ICON_LOCATION when HasIconLocation is set, with IconIndex; when the link
    // names no icon path, icon 0 of the target.
    LinkIcon icon() const;
};

// True when the bytes start with a shell link's header size and class id.
bool isShellLink(ByteView head);

// Reads a shell link. Every size and offset is checked against the bytes; the error says
// where and what. Damage in the extra data after the strings does not lose the link: it
// is reported in extraDataProblem.
Parsed<ShellLink> readShellLink(ByteView bytes);

// True for \\server\share paths (also \\?\UNC\server\share), not for \\?\C:\ or \\.\ device
// paths. ASCII is enough: the backslashes that decide it come first in any code page.
bool isNetworkPath(std::string_view path);

}  // namespace formats
