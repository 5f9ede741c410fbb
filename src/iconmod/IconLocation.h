// Icon locations as Windows stores them (in shortcuts, desktop.ini files, the registry's
// DefaultIcon keys): "PATH,N". N >= 0 is the N-th group of the file in module order (0 is
// the file's own icon), N < 0 the group whose integer id is -N. The same text names a
// cursor group when the groups looked at are cursor groups.
//
// Windows 10 and 11 keep the icons of many system DLLs in resource-only files beside the
// system folder: "System32/imageres.dll" holds no icon group, "SystemResources/
// imageres.dll.mun" holds them all under the same ids. A location naming such a DLL is read
// from that file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "formats/ModuleResources.h"
#include "platform/IconExtract.h"

namespace iconmod {

struct LocationText {
    std::string path;
    std::int64_t number = 0;
};

// Splits "PATH,N" at its last comma. nullopt when there is no comma, PATH is empty or N is
// not a decimal number (an optional sign, then 1 to 9 digits).
std::optional<LocationText> parseLocation(std::string_view text);

// "DIR/../SystemResources/NAME.mun" for "DIR/NAME": the resource-only file that stands for
// a module of a Windows 10/11 system folder.
std::string systemResourcesPath(std::string_view path);

// The group a location names, in a file that can be read with it.
struct IconLocation {
    std::string path;         // the file to read: PATH, or the .mun file that stands for it
    std::string group;        // as `groups` lists it ("#184", "MAINICON"); "-" for an icon
                              // (or cursor) file, which is one group
    std::optional<formats::ResourceName> name;  // the group's resource name; none for such a file
    std::size_t index = 0;    // its position among the file's groups of that type
    bool redirected = false;  // read from systemResourcesPath(PATH)
};

// The position among `names` (a module's groups of one type, in module order) of the group
// a location's number names: >= 0 the N-th group, < 0 the group whose id is -N.
std::optional<std::size_t> groupAtLocation(const std::vector<formats::ResourceName>& names, std::int64_t number);

enum class LocationError { None, Unreadable, NoGroups, NoSuchGroup };

// Resolves a location over the groups of `groupType` (14 icon groups, 12 cursor groups):
// in a module, the group by position or id; in an icon file (type 1 for icon groups, 2
// for cursor groups, or an animated cursor file), the file itself for N = 0 (and, as
// Windows does, for N < 0). When
// PATH holds no group of the type and systemResourcesPath(PATH) is a file, that file is
// read instead. nullopt with *error set (and *readPath the file that was looked at) when
// the file cannot be read (why in *unopened), holds no such groups, or not the one asked for.
std::optional<IconLocation> resolveLocation(const LocationText& location, std::uint16_t groupType,
                                            LocationError* error, std::string* readPath = nullptr,
                                            platform::Opened* unopened = nullptr);

// The same over a file already open as `file` (named `path`), without a stand-in file: the
// group N names among its groups of that type. nullopt with *error NoGroups or NoSuchGroup.
std::optional<IconLocation> locateGroup(formats::OpenedFile& file, const std::string& path, std::int64_t number,
                                        std::uint16_t groupType, LocationError* error = nullptr);

}  // namespace iconmod
