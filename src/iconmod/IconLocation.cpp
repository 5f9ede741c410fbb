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
constexpr std::uint64_t kHeadSize = 12;

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

// The groups of the type that the file holds, from one open; nullopt when it cannot be read.
std::optional<FileGroups> groupsOf(const std::string& path, std::uint16_t groupType) {
    auto file = platform::FileSource::open(path);
    if (!file) return std::nullopt;
    FileGroups groups;
    if (const auto header = file->read(0, std::min<std::uint64_t>(file->size(), kHeadSize))) {
        const formats::ByteView h(*header);
        const std::uint16_t type = fileTypeOf(groupType);
        const bool iconFile = type != 0 && h.u16(0) == 0 && h.u16(2) == type && h.u16(4).value_or(0) != 0;
        // An animated cursor (RIFF form ACON) is one cursor too.
        const bool animated = groupType == formats::kRtGroupCursor && formats::isAni(h);
        if (iconFile || animated) {
            groups.isGroupFile = true;
            return groups;
        }
    }
    if (auto module = formats::ResourceModule::open(std::move(file))) {
        if (auto names = module->names(groupType)) groups.names = std::move(*names);
    }
    return groups;
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

std::string systemResourcesPath(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::string_view dir = slash == std::string_view::npos ? std::string_view(".") : path.substr(0, slash);
    const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    return std::string(dir) + "/../SystemResources/" + std::string(name) + ".mun";
}

std::optional<IconLocation> resolveLocation(const LocationText& location, std::uint16_t groupType,
                                            LocationError* error, std::string* readPath) {
    auto failed = [&](LocationError why, const std::string& path) -> std::optional<IconLocation> {
        if (error) *error = why;
        if (readPath) *readPath = path;
        return std::nullopt;
    };
    IconLocation found;
    found.path = location.path;
    auto groups = groupsOf(location.path, groupType);
    if (!groups || groups->empty()) {
        const std::string standIn = systemResourcesPath(location.path);
        auto other = groupsOf(standIn, groupType);
        if (other && !other->empty()) {
            groups = std::move(other);
            found.path = standIn;
            found.redirected = true;
        }
    }
    if (!groups) return failed(LocationError::Unreadable, found.path);
    if (groups->isGroupFile) {
        if (location.number > 0) return failed(LocationError::NoSuchGroup, found.path);
        found.group = "-";
        if (error) *error = LocationError::None;
        return found;
    }
    if (groups->names.empty()) return failed(LocationError::NoGroups, found.path);

    const std::vector<formats::ResourceName>& names = groups->names;
    if (location.number >= 0) {
        if (static_cast<std::uint64_t>(location.number) >= names.size())
            return failed(LocationError::NoSuchGroup, found.path);
        found.index = static_cast<std::size_t>(location.number);
    } else {
        const std::int64_t id = -location.number;
        std::size_t i = 0;
        while (i < names.size() && !(names[i].id && *names[i].id == id)) ++i;
        if (i == names.size()) return failed(LocationError::NoSuchGroup, found.path);
        found.index = i;
    }
    found.name = names[found.index];
    found.group = formats::groupNameText(names[found.index]);
    if (error) *error = LocationError::None;
    return found;
}

}  // namespace iconmod
