// Read-only access to the resources of a Windows module: PE32 and PE32+ programs and
// DLLs (the resource section's three-level directory) and 16-bit NE modules (the NE
// resource table; .icl icon libraries are NE files too). Data only: nothing of the module
// is ever run. All reads go through a ByteSource, so nothing is read outside the file and
// no size from the file is trusted.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ByteView.h"

namespace formats {

constexpr std::uint16_t kRtCursor = 1;
constexpr std::uint16_t kRtIcon = 3;
constexpr std::uint16_t kRtGroupCursor = 12;
constexpr std::uint16_t kRtGroupIcon = 14;
constexpr std::uint16_t kRtAniCursor = 21;  // the bytes of an .ani file
constexpr std::uint16_t kRtAniIcon = 22;    // the same, its frames icons

// The name of a resource: an integer id, or a string. PE string names (UTF-16 in the
// file) are held as UTF-8; NE names as the bytes the file holds.
struct ResourceName {
    std::optional<std::uint16_t> id;
    std::string text;

    static ResourceName fromId(std::uint16_t id) { return ResourceName{id, {}}; }
    static ResourceName fromString(std::string text) { return ResourceName{std::nullopt, std::move(text)}; }
    bool isId() const { return id.has_value(); }
    bool operator==(const ResourceName&) const = default;
};

// The text by which a group is listed and found again: "#" and the decimal id, or the
// string name itself.
std::string groupNameText(const ResourceName& name);

// Reads a group name: "#" followed by decimal digits is that integer id (nullopt when the
// value does not fit 16 bits); anything else non-empty is a string name; empty: nullopt.
std::optional<ResourceName> parseGroupName(std::string_view text);

// Where a resource's bytes lie in the module's file.
struct ResourceSpan {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

class ResourceModule {
public:
    enum class Format { Pe32, Pe32Plus, Ne };

    virtual ~ResourceModule() = default;

    // Recognises a PE32, PE32+ or NE module. nullptr for anything else (including an ICO
    // file, a DOS program or a module whose headers do not fit the file).
    static std::unique_ptr<ResourceModule> open(std::unique_ptr<ByteSource> source);

    virtual Format format() const = 0;

    // Size of the module's file in bytes.
    virtual std::uint64_t fileSize() const = 0;

    // How many resources of the type the module lists (named and integer together), read
    // from the type's directory header alone; 0 when there are none or the directory is
    // unreadable. NE: the count of the type's entries, 0 for RT_GROUP_ICON when the module
    // holds no RT_ICON resources.
    virtual std::size_t count(std::uint16_t type) = 0;

    // The names of a type in resource-directory order (PE: as stored, which is string names
    // first, then integer ids ascending; NE: table order). nullopt when the module has no
    // resources, the type is absent or has no entries, or the directory cannot be read.
    // A string name that cannot be read keeps its place as an empty string, so positions
    // still match loadAt(); it is never found by name.
    virtual std::optional<std::vector<ResourceName>> names(std::uint16_t type) = 0;

    // Where the bytes of the resource of that type and name lie in the module's file: the
    // first language entry under the name. String names compare without regard to ASCII
    // case. nullopt when absent or when its data does not lie inside the file. NE lengths
    // are whole alignment units, so the bytes may end in padding; a resource cut short by
    // the end of the file spans the bytes up to the end.
    virtual std::optional<ResourceSpan> locate(std::uint16_t type, const ResourceName& name) = 0;

    // Where the bytes of the index-th resource of the type in directory order lie.
    virtual std::optional<ResourceSpan> locateAt(std::uint16_t type, std::size_t index) = 0;

    // The module's file, for reading part of a resource (an image's header) without the rest.
    virtual ByteSource& file() = 0;

    // The bytes of the resource that locate() finds, or of the index-th one.
    std::optional<Bytes> load(std::uint16_t type, const ResourceName& name);
    std::optional<Bytes> loadAt(std::uint16_t type, std::size_t index);

    // The language id of the entry loadAt() reads for the index-th resource of the type
    // (PE: the first language under the name). nullopt where the module keeps none (NE)
    // or the entry cannot be read.
    virtual std::optional<std::uint16_t> languageAt(std::uint16_t, std::size_t) { return std::nullopt; }
};

}  // namespace formats
