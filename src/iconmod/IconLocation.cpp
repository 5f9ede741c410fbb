#include "iconmod/IconLocation.h"

#include <algorithm>
#include <vector>

#include "formats/AniFile.h"
#include "formats/IconDirectory.h"
#include "formats/ModuleResources.h"
#include "platform/FileSource.h"

namespace iconmod {
namespace {

constexpr std::size_t kMaxDigits = 9;
// Enough of a file's start to tell an icon, cursor or animated cursor file.

// The header type of a file that is one group of this type: 1 an icon file, 2 a cursor file.
std::uint16_t fileTypeOf(std::uint16_t groupType) {
    if (groupType == formats::kRtGroupIcon) return 1;
    if (groupType == formats::kRtGroupCursor) return 2;
    return 0;
}

struct FileGroups {
    bool isGroupFile = false;  // an icon (or cursor) file: one group
    std::vector<formats::ResourceName> names;

    bool empty() const { return !isGroupFile && names.empty(); }
};

// The groups of the type that an opened file holds.
FileGroups groupsIn(formats::OpenedFile& file, std::uint16_t groupType) {
    FileGroups groups;
    const std::uint16_t type = fileTypeOf(groupType);
    const formats::FileKind kind = file.kind();
    if ((type == 1 && kind == formats::FileKind::Ico) || (type == 2 && kind == formats::FileKind::Cur)) {
        const auto header = file.source().read(0, formats::kIconDirHeaderSize);
        groups.isGroupFile = header && formats::ByteView(*header).u16(4).value_or(0) != 0;
    }
    // An animated cursor (RIFF form ACON) is one cursor too.
    if (groupType == formats::kRtGroupCursor && kind == formats::FileKind::Ani) groups.isGroupFile = true;
    if (groups.isGroupFile) return groups;
    if (file.module()) {
        if (auto names = file.module()->names(groupType)) groups.names = std::move(*names);
    }
    return groups;
}

// The groups of the type that the file holds, from one open; nullopt, with why the file
// could not be opened, when it cannot be read.
std::optional<FileGroups> groupsOf(const std::string& path, std::uint16_t groupType, platform::Opened* failure) {
    auto opened = platform::openFile(path);
    if (!opened) {
        *failure = std::move(opened);
        return std::nullopt;
    }
    return groupsIn(*opened.file, groupType);
}

// The group N names among `groups` (found.path set), or why there is none.
LocationError pickGroup(const FileGroups& groups, std::int64_t number, IconLocation* found) {
    if (groups.isGroupFile) {
        if (number > 0) return LocationError::NoSuchGroup;
        found->group = "-";
        return LocationError::None;
    }
    if (groups.names.empty()) return LocationError::NoGroups;
    const std::vector<formats::ResourceName>& names = groups.names;
    const auto index = groupAtLocation(names, number);
    if (!index) return LocationError::NoSuchGroup;
    found->index = *index;
    found->name = names[found->index];
    found->group = formats::groupNameText(names[found->index]);
    return LocationError::None;
}

}  // namespace

std::optional<LocationText> parseLocation(std::string_view text) {
    const std::size_t comma = text.rfind(',');
    if (comma == std::string_view::npos || comma == 0) return std::nullopt;
    std::string_view number = text.substr(comma + 1);
    bool negative = false;
    if (!number.empty() && (number.front() == '-' || number.front() == '+')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    if (number.empty() || number.size() > kMaxDigits) return std::nullopt;
    std::int64_t value = 0;
    for (char c : number) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return LocationText{std::string(text.substr(0, comma)), negative ? -value : value};
}

std::optional<std::size_t> groupAtLocation(const std::vector<formats::ResourceName>& names, std::int64_t number) {
    if (number >= 0) {
        if (static_cast<std::uint64_t>(number) >= names.size()) return std::nullopt;
        return static_cast<std::size_t>(number);
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].id && *names[i].id == -number) return i;
    return std::nullopt;
}

std::string systemResourcesPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view dir = slash == std::string_view::npos ? std::string_view(".") : path.substr(0, slash);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return std::string(dir) + "/../SystemResources/" + std::string(name) + ".mun";
}

std::optional<IconLocation> resolveLocation(const LocationText& location, std::uint16_t groupType,
                                            LocationError* error, std::string* readPath, platform::Opened* unopened) {
    auto failed = [&](LocationError why, const std::string& path) -> std::optional<IconLocation> {
        if (error) *error = why;
        if (readPath) *readPath = path;
        return std::nullopt;
    };
    IconLocation found;
    found.path = location.path;
    platform::Opened failure;
    auto groups = groupsOf(location.path, groupType, &failure);
    if (!groups || groups->empty()) {
        const std::string standIn = systemResourcesPath(location.path);
        platform::Opened ignored;
        auto other = groupsOf(standIn, groupType, &ignored);
        if (other && !other->empty()) {
            groups = std::move(other);
            found.path = standIn;
            found.redirected = true;
        }
    }
    if (!groups) {
        if (unopened) *unopened = std::move(failure);
        return failed(LocationError::Unreadable, found.path);
    }
    const LocationError why = pickGroup(*groups, location.number, &found);
    if (why != LocationError::None) return failed(why, found.path);
    if (error) *error = LocationError::None;
    return found;
}

std::optional<IconLocation> locateGroup(formats::OpenedFile& file, const std::string& path, std::int64_t number,
                                        std::uint16_t groupType, LocationError* error) {
    IconLocation found;
    found.path = path;
    const LocationError why = pickGroup(groupsIn(file, groupType), number, &found);
    if (error) *error = why;
    if (why != LocationError::None) return std::nullopt;
    return found;
}

}  // namespace iconmod
