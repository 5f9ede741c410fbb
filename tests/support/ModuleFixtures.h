// Test fixtures made by code: Windows modules with chosen resources. PE32 and PE32+
// files (a .text section and a .rsrc section holding a three-level resource directory)
// and 16-bit NE files (a resource table and aligned resource data), with a layout record
// that tells where every structure landed, so a test can patch bytes to make hostile
// variants.
//
//   auto pe = fixtures::makePe({fixtures::patternIcon(fixtures::resId(1)),
//                               fixtures::patternIcon(fixtures::resName("MAIN"), {16, 32, 48}, 8)});
//   auto ne = fixtures::makeNe({...}, {.shift = 9});
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/ModuleResources.h"
#include "support/ImageFixtures.h"

namespace fixtures {

using formats::ResourceName;

constexpr std::uint16_t kLangNeutral = 0x0000;
constexpr std::uint16_t kLangGerman = 0x0407;
constexpr std::uint16_t kLangEnUs = 0x0409;
constexpr std::uint16_t kLangJapanese = 0x0411;

inline ResourceName resId(std::uint16_t id) { return ResourceName::fromId(id); }
inline ResourceName resName(std::string text) { return ResourceName::fromString(std::move(text)); }

// One icon group and its images (DIB or PNG bytes, as in an ICO file). The images become
// RT_ICON resources; their ids are iconIds when given (one per image), else consecutive
// ids handed out by the builder across all icons.
struct ModuleIcon {
    ResourceName group;
    std::vector<Bytes> images;
    std::vector<std::uint16_t> iconIds{};
};

// An icon of square pattern images of the given sizes and depth (see patternDib).
ModuleIcon patternIcon(ResourceName group, const std::vector<int>& sizes = {16, 32}, int bitCount = 4);

// A 256-pixel PNG with enough detail that it does not compress to nothing.
Bytes detailedPng(int seed);

// An icon group as current programs carry them: 16, 32 and 48 pixels at 32 bits, a
// 256-pixel PNG, and 16 and 32 pixels at 4 and 8 bits.
ModuleIcon modernIcon(ResourceName name, const Bytes& png);

// Any resource, written as given. PE: type and name may be ids or strings (strings are
// UTF-8, stored as UTF-16). NE: integer types and ids are stored with bit 15 set, strings
// as their bytes; the language is not used.
struct RawResource {
    ResourceName type;
    ResourceName name;
    Bytes data;
    std::uint16_t language = kLangEnUs;
};

// The data of an RT_GROUP_ICON resource: a 6-byte header and one 14-byte entry per image,
// with width, height, colours, planes and depth read from the image (PNG: 0 for 256) and
// nID from ids (one per image; they need not name existing RT_ICON resources).
Bytes makeGroupDirectory(const std::vector<Bytes>& images, const std::vector<std::uint16_t>& ids);

// The RT_GROUP_ICON and RT_ICON resources that stand for these icons: each group's images
// first (an id given twice is written once), then the group.
std::vector<RawResource> iconResources(const std::vector<ModuleIcon>& icons, std::uint16_t firstIconId = 1,
                                       std::uint16_t language = kLangEnUs);

// One cursor group and its images, each with its hotspot. The images become RT_CURSOR
// resources (hotspot words, then the image) with ids given or handed out from firstId.
struct ModuleCursor {
    ResourceName group;
    std::vector<CursorEntry> images;
    std::vector<std::uint16_t> cursorIds{};
};

// The RT_GROUP_CURSOR and RT_CURSOR resources of these cursors: each group's images first,
// then the group, whose entries give 16-bit width and doubled height as the bitmap does.
std::vector<RawResource> cursorResources(const std::vector<ModuleCursor>& cursors, std::uint16_t firstId = 1,
                                         std::uint16_t language = kLangEnUs);

struct PeOptions {
    bool plus = false;                    // PE32+ headers (64-bit module)
    std::uint16_t language = kLangEnUs;   // language of the resources made from icons
    std::uint16_t firstIconId = 1;        // first RT_ICON id handed out
    std::vector<RawResource> extra{};     // written beside the icons' resources
    // true: as a resource compiler writes directories (string names first, sorted ignoring
    // ASCII case, then ids ascending; languages ascending). false: in the order given
    // (types and names by first appearance).
    bool sorted = true;
    bool withResources = true;            // false: no .rsrc section and an empty slot 2
    bool resourcesInHeaders = false;      // directory tree inside the headers, data in .rsrc
    std::size_t textSize = 0x200;         // bytes of the .text section before .rsrc
    // A resource-only DLL as Windows 10/11 keeps system icons in (.mun) and languages in
    // (.mui): no code, the first section read-only data (.rdata) instead of .text, no entry
    // point.
    bool resourceOnly = false;
};

// Where makePe put things (file offsets unless named RVA).
struct PeLayout {
    struct Entry {
        ResourceName type;
        ResourceName name;
        std::uint16_t language = 0;
        std::size_t typeEntry = 0;          // the root's entry for the type
        std::size_t typeDirectory = 0;
        std::size_t nameEntry = 0;          // the type directory's entry for the name
        std::size_t languageDirectory = 0;
        std::size_t languageEntry = 0;      // the language directory's entry
        std::size_t dataEntry = 0;          // DataRVA, Size, CodePage, Reserved
        std::size_t data = 0;
        std::size_t nameString = 0;         // length word of a string name; 0 for ids
    };
    std::size_t peHeader = 0;         // "PE\0\0"
    std::size_t optionalHeader = 0;
    std::size_t resourceSlot = 0;     // data directory slot 2: RVA and size
    std::size_t sectionTable = 0;
    std::size_t rootDirectory = 0;
    std::uint32_t rootRva = 0;
    std::size_t rsrcSection = 0;      // raw data of .rsrc
    std::uint32_t rsrcRva = 0;
    std::vector<Entry> entries;       // in directory order

    // The first entry of that type and name; throws when there is none.
    const Entry& at(const ResourceName& type, const ResourceName& name) const;
};

Bytes makePe(const std::vector<ModuleIcon>& icons, const PeOptions& options = {}, PeLayout* layout = nullptr);

// Writes a module made by makePe (with resources, not in the headers) with `gap` more
// bytes before its .rsrc section, left as a hole: a large program whose resources lie at
// its end, which costs no disk space where the file system has holes. False on failure.
bool writePeWithGap(const std::string& path, Bytes pe, const PeLayout& layout, std::uint32_t gap);

struct NeOptions {
    unsigned shift = 4;                   // alignment shift (0..15) of offsets and lengths
    std::uint16_t firstIconId = 1;
    std::vector<RawResource> extra{};     // written after the icons' resources
    bool withResources = true;            // false: an empty resource table (ne_restab == ne_rsrctab)
    bool padEnd = true;                   // false: the file ends with the last resource's own bytes
};

struct NeLayout {
    struct Entry {
        ResourceName type;
        ResourceName name;
        std::size_t typeInfo = 0;
        std::size_t nameInfo = 0;     // offset, length, flags, id, handle, usage
        std::size_t data = 0;
        std::size_t nameString = 0;   // length byte of a string name; 0 for ids
    };
    std::size_t neHeader = 0;
    std::size_t resourceTable = 0;    // the alignment shift word
    std::vector<Entry> entries;       // in table order

    const Entry& at(const ResourceName& type, const ResourceName& name) const;
};

// Types appear in the table in order of first appearance: RT_ICON, RT_GROUP_ICON, then
// the extra resources' types; names in the order given.
Bytes makeNe(const std::vector<ModuleIcon>& icons, const NeOptions& options = {}, NeLayout* layout = nullptr);

// One icon group of a 32x32 and a 16x16 24-bit image of one colour.
ModuleIcon solidIcon(int groupId, Argb colour);

// A PE32 module whose one group (#1) names its one RT_ICON (id 1) `count` times.
Bytes moduleRepeatingOneImage(const Bytes& image, int count);

// A PE32 module of `groups` groups (#1, #2, ...), each naming the one RT_ICON (id 1).
Bytes moduleOfGroupsSharingOneImage(const Bytes& image, int groups);

// The module reader over bytes in memory (nullptr when they are not a module).
std::unique_ptr<formats::ResourceModule> openModule(const Bytes& bytes);

}  // namespace fixtures
