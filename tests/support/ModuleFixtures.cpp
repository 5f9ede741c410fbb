#include "support/ModuleFixtures.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "platform/MbText.h"

namespace fixtures {

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kFileAlignment = 0x200;
constexpr std::uint32_t kSectionAlignment = 0x1000;

std::size_t alignUp(std::size_t v, std::size_t a) { return a <= 1 ? v : (v + a - 1) / a * a; }

void padTo(Bytes& b, std::size_t size) {
    if (b.size() < size) b.resize(size, 0);
}

void putBytes(Bytes& b, std::size_t at, const Bytes& data) {
    padTo(b, at + data.size());
    std::copy(data.begin(), data.end(), b.begin() + static_cast<std::ptrdiff_t>(at));
}

// UTF-8 (assumed well formed) to UTF-16 code units.
std::vector<std::uint16_t> utf16Units(const std::string& text) {
    std::vector<std::uint16_t> out;
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        std::uint32_t cp = n == 1 ? c : c & (0x3Fu >> (n - 1));
        for (std::size_t k = 1; k < n && i + k < text.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
        i += n;
        if (cp >= 0x10000) {
            out.push_back(static_cast<std::uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<std::uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<std::uint16_t>(cp));
        }
    }
    return out;
}

bool directoryLess(const ResourceName& a, const ResourceName& b) {
    if (a.isId() != b.isId()) return !a.isId();
    if (a.isId()) return *a.id < *b.id;
    return platform::compareIgnoreCase(a.text, b.text) < 0;
}

// Resources grouped by type, then name; the leaves keep every resource given under that
// type and name (one per language).
struct NameNode {
    ResourceName name;
    std::vector<const RawResource*> leaves;
};
struct TypeNode {
    ResourceName type;
    std::vector<NameNode> names;
};

std::vector<TypeNode> groupResources(const std::vector<RawResource>& resources, bool sorted) {
    std::vector<TypeNode> types;
    // Positions by exact name, so that modules of many thousand resources build quickly.
    using Key = std::pair<int, std::string>;  // id, or -1 and the string
    auto key = [](const ResourceName& n) { return n.isId() ? Key(*n.id, {}) : Key(-1, n.text); };
    std::map<Key, std::size_t> typeAt;
    std::vector<std::map<Key, std::size_t>> nameAt;
    for (const RawResource& r : resources) {
        auto t = typeAt.find(key(r.type));
        if (t == typeAt.end()) {
            t = typeAt.emplace(key(r.type), types.size()).first;
            types.push_back(TypeNode{r.type, {}});
            nameAt.emplace_back();
        }
        TypeNode& type = types[t->second];
        auto n = nameAt[t->second].find(key(r.name));
        if (n == nameAt[t->second].end()) {
            n = nameAt[t->second].emplace(key(r.name), type.names.size()).first;
            type.names.push_back(NameNode{r.name, {}});
        }
        type.names[n->second].leaves.push_back(&r);
    }
    if (sorted) {
        auto byName = [](const auto& a, const auto& b) { return directoryLess(a.name, b.name); };
        std::stable_sort(types.begin(), types.end(),
                         [](const TypeNode& a, const TypeNode& b) { return directoryLess(a.type, b.type); });
        for (TypeNode& t : types) {
            std::stable_sort(t.names.begin(), t.names.end(), byName);
            for (NameNode& n : t.names)
                std::stable_sort(n.leaves.begin(), n.leaves.end(),
                                 [](const RawResource* a, const RawResource* b) { return a->language < b->language; });
        }
    }
    return types;
}

std::vector<RawResource> allResources(const std::vector<ModuleIcon>& icons, std::uint16_t firstIconId,
                                      std::uint16_t language, const std::vector<RawResource>& extra) {
    std::vector<RawResource> all = iconResources(icons, firstIconId, language);
    all.insert(all.end(), extra.begin(), extra.end());
    return all;
}

// ---- PE ----

// The resource directory tree (directories, data entries, strings) with offsets from its
// root, and the resources' bytes in a separate blob. DataRVA fields are left as offsets
// into the blob, to be moved by the blob's RVA.
struct PeTree {
    Bytes tree;
    Bytes data;
    std::vector<PeLayout::Entry> entries;  // tree offsets; `data` relative to the blob
};

PeTree buildPeTree(const std::vector<TypeNode>& types) {
    PeTree out;
    auto directorySize = [](std::size_t n) { return 16 + 8 * n; };

    // Place everything first: directories, then data entries, then strings.
    std::size_t pos = directorySize(types.size());
    std::vector<std::size_t> typeDirs, langDirs, dataEntries;
    for (const TypeNode& t : types) {
        typeDirs.push_back(pos);
        pos += directorySize(t.names.size());
    }
    for (const TypeNode& t : types)
        for (const NameNode& n : t.names) {
            langDirs.push_back(pos);
            pos += directorySize(n.leaves.size());
        }
    for (const TypeNode& t : types)
        for (const NameNode& n : t.names)
            for (std::size_t k = 0; k < n.leaves.size(); ++k) {
                dataEntries.push_back(pos);
                pos += 16;
            }
    Bytes& tree = out.tree;
    auto putString = [&](const ResourceName& name) -> std::uint32_t {
        if (name.isId()) return 0;
        const auto units = utf16Units(name.text);
        const std::size_t at = pos;
        putU16(tree, at, static_cast<std::uint16_t>(units.size()));
        for (std::size_t i = 0; i < units.size(); ++i) putU16(tree, at + 2 + 2 * i, units[i]);
        pos += 2 + 2 * units.size();
        return static_cast<std::uint32_t>(at);
    };
    auto putDirectory = [&](std::size_t at, const std::vector<ResourceName>& names) {
        const auto named = std::count_if(names.begin(), names.end(), [](const ResourceName& n) { return !n.isId(); });
        putU16(tree, at + 8, 4);  // major version
        putU16(tree, at + 12, static_cast<std::uint16_t>(named));
        putU16(tree, at + 14, static_cast<std::uint16_t>(names.size() - static_cast<std::size_t>(named)));
    };
    auto entryName = [&](const ResourceName& name) -> std::uint32_t {
        return name.isId() ? *name.id : kHighBit | putString(name);
    };

    padTo(tree, pos);
    std::vector<ResourceName> typeNames;
    for (const TypeNode& t : types) typeNames.push_back(t.type);
    putDirectory(0, typeNames);
    std::size_t langIndex = 0, leafIndex = 0;
    for (std::size_t ti = 0; ti < types.size(); ++ti) {
        const TypeNode& t = types[ti];
        const std::size_t typeEntry = 16 + 8 * ti;
        putU32(tree, typeEntry, entryName(t.type));
        putU32(tree, typeEntry + 4, kHighBit | static_cast<std::uint32_t>(typeDirs[ti]));
        std::vector<ResourceName> names;
        for (const NameNode& n : t.names) names.push_back(n.name);
        putDirectory(typeDirs[ti], names);
        for (std::size_t ni = 0; ni < t.names.size(); ++ni, ++langIndex) {
            const NameNode& n = t.names[ni];
            const std::size_t nameEntry = typeDirs[ti] + 16 + 8 * ni;
            const std::uint32_t nameField = entryName(n.name);
            putU32(tree, nameEntry, nameField);
            putU32(tree, nameEntry + 4, kHighBit | static_cast<std::uint32_t>(langDirs[langIndex]));
            std::vector<ResourceName> languages;
            for (const RawResource* r : n.leaves) languages.push_back(ResourceName::fromId(r->language));
            putDirectory(langDirs[langIndex], languages);
            for (std::size_t li = 0; li < n.leaves.size(); ++li, ++leafIndex) {
                const RawResource& r = *n.leaves[li];
                const std::size_t langEntry = langDirs[langIndex] + 16 + 8 * li;
                const std::size_t dataEntry = dataEntries[leafIndex];
                putU32(tree, langEntry, r.language);
                putU32(tree, langEntry + 4, static_cast<std::uint32_t>(dataEntry));
                const std::size_t dataAt = alignUp(out.data.size(), 8);
                putBytes(out.data, dataAt, r.data);
                putU32(tree, dataEntry, static_cast<std::uint32_t>(dataAt));
                putU32(tree, dataEntry + 4, static_cast<std::uint32_t>(r.data.size()));
                out.entries.push_back({t.type, n.name, r.language, typeEntry, typeDirs[ti], nameEntry,
                                       langDirs[langIndex], langEntry, dataEntry, dataAt,
                                       n.name.isId() ? 0 : (nameField & ~kHighBit)});
            }
        }
    }
    padTo(tree, alignUp(pos, 8));
    return out;
}

void putSection(Bytes& b, std::size_t at, const char* name, std::uint32_t virtualSize, std::uint32_t rva,
                std::uint32_t rawSize, std::uint32_t rawPointer, std::uint32_t characteristics) {
    for (std::size_t i = 0; i < 8 && name[i]; ++i) b[at + i] = static_cast<std::uint8_t>(name[i]);
    putU32(b, at + 8, virtualSize);
    putU32(b, at + 12, rva);
    putU32(b, at + 16, rawSize);
    putU32(b, at + 20, rawPointer);
    putU32(b, at + 36, characteristics);
}

// ---- NE ----

std::uint16_t neTypeOrId(const ResourceName& name, std::uint16_t stringOffset) {
    return name.isId() ? static_cast<std::uint16_t>(*name.id | 0x8000) : stringOffset;
}

template <typename Entry>
const Entry& findEntry(const std::vector<Entry>& entries, const ResourceName& type, const ResourceName& name) {
    for (const Entry& e : entries)
        if (e.type == type && e.name == name) return e;
    throw std::out_of_range("no such resource in the fixture");
}

}  // namespace

ModuleIcon patternIcon(ResourceName group, const std::vector<int>& sizes, int bitCount) {
    ModuleIcon icon{std::move(group), {}, {}};
    for (int s : sizes) icon.images.push_back(patternDib(s, bitCount));
    return icon;
}

Bytes detailedPng(int seed) {
    return makePng(256, 256, [seed](int x, int y) {
        const auto v = static_cast<std::uint32_t>((x * 7 + y * 13 + seed * 31 + x * y) & 0xFF);
        return 0xFF000000u | (v << 16) | ((255 - v) << 8) | static_cast<std::uint32_t>((x ^ y) & 0xFF);
    });
}

ModuleIcon modernIcon(ResourceName name, const Bytes& png) {
    ModuleIcon icon{std::move(name), {}};
    for (int size : {16, 32, 48}) icon.images.push_back(patternDib(size, 32));
    icon.images.push_back(png);
    for (int bits : {4, 8})
        for (int size : {16, 32}) icon.images.push_back(patternDib(size, bits));
    return icon;
}

Bytes makeGroupDirectory(const std::vector<Bytes>& images, const std::vector<std::uint16_t>& ids) {
    if (images.size() != ids.size()) throw std::invalid_argument("one id per image");
    Bytes out;
    appendU16(out, 0);
    appendU16(out, 1);
    appendU16(out, static_cast<std::uint16_t>(images.size()));
    for (std::size_t i = 0; i < images.size(); ++i) {
        const Bytes& img = images[i];
        std::uint32_t width = 0, height = 0, planes = 1, bitCount = 32;
        if (img.size() >= 24 && img[0] == 0x89 && img[1] == 'P') {
            width = (std::uint32_t{img[18]} << 8) | img[19];
            height = (std::uint32_t{img[22]} << 8) | img[23];
        } else if (img.size() >= 16) {
            width = getU32(img, 4);
            height = getU32(img, 8) / 2;
            planes = getU16(img, 12);
            bitCount = getU16(img, 14);
        }
        const std::uint32_t bits = planes * bitCount;
        out.push_back(static_cast<std::uint8_t>(width >= 256 ? 0 : width));
        out.push_back(static_cast<std::uint8_t>(height >= 256 ? 0 : height));
        out.push_back(static_cast<std::uint8_t>(bits < 8 ? 1u << bits : 0));
        out.push_back(0);
        appendU16(out, static_cast<std::uint16_t>(planes));
        appendU16(out, static_cast<std::uint16_t>(bitCount));
        appendU32(out, static_cast<std::uint32_t>(img.size()));
        appendU16(out, ids[i]);
    }
    return out;
}

std::vector<RawResource> iconResources(const std::vector<ModuleIcon>& icons, std::uint16_t firstIconId,
                                       std::uint16_t language) {
    std::vector<RawResource> out;
    std::vector<std::uint16_t> written;
    std::uint16_t next = firstIconId;
    for (const ModuleIcon& icon : icons) {
        std::vector<std::uint16_t> ids = icon.iconIds;
        if (ids.empty())
            for (std::size_t i = 0; i < icon.images.size(); ++i) ids.push_back(next++);
        if (ids.size() != icon.images.size()) throw std::invalid_argument("one icon id per image");
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (std::find(written.begin(), written.end(), ids[i]) != written.end()) continue;
            written.push_back(ids[i]);
            out.push_back({resId(formats::kRtIcon), resId(ids[i]), icon.images[i], language});
        }
        out.push_back({resId(formats::kRtGroupIcon), icon.group, makeGroupDirectory(icon.images, ids), language});
    }
    return out;
}

std::vector<RawResource> cursorResources(const std::vector<ModuleCursor>& cursors, std::uint16_t firstId,
                                         std::uint16_t language) {
    std::vector<RawResource> out;
    std::uint16_t next = firstId;
    for (const ModuleCursor& cursor : cursors) {
        std::vector<std::uint16_t> ids = cursor.cursorIds;
        if (ids.empty())
            for (std::size_t i = 0; i < cursor.images.size(); ++i) ids.push_back(next++);
        if (ids.size() != cursor.images.size()) throw std::invalid_argument("one cursor id per image");
        Bytes group{0, 0, 2, 0};
        appendU16(group, static_cast<std::uint16_t>(cursor.images.size()));
        for (std::size_t i = 0; i < ids.size(); ++i) {
            const CursorEntry& c = cursor.images[i];
            Bytes data;
            appendU16(data, c.hotspotX);
            appendU16(data, c.hotspotY);
            data.insert(data.end(), c.data.begin(), c.data.end());
            if (std::none_of(out.begin(), out.end(), [&ids, i](const RawResource& r) { return r.type == resId(formats::kRtCursor) && r.name == resId(ids[i]); }))
                out.push_back({resId(formats::kRtCursor), resId(ids[i]), data, language});
            const bool png = c.data.size() >= 24 && c.data[0] == 0x89;
            appendU16(group, static_cast<std::uint16_t>(png ? (c.data[18] << 8 | c.data[19]) : getU32(c.data, 4)));
            appendU16(group, static_cast<std::uint16_t>(png ? 2 * (c.data[22] << 8 | c.data[23]) : getU32(c.data, 8)));
            appendU16(group, png ? 1 : getU16(c.data, 12));
            appendU16(group, png ? 32 : getU16(c.data, 14));
            appendU32(group, static_cast<std::uint32_t>(data.size()));
            appendU16(group, ids[i]);
        }
        out.push_back({resId(formats::kRtGroupCursor), cursor.group, group, language});
    }
    return out;
}

const PeLayout::Entry& PeLayout::at(const ResourceName& type, const ResourceName& name) const {
    return findEntry(entries, type, name);
}

const NeLayout::Entry& NeLayout::at(const ResourceName& type, const ResourceName& name) const {
    return findEntry(entries, type, name);
}

Bytes makePe(const std::vector<ModuleIcon>& icons, const PeOptions& options, PeLayout* layout) {
    const auto resources = allResources(icons, options.firstIconId, options.language, options.extra);
    PeTree tree = buildPeTree(groupResources(resources, options.sorted));

    const std::size_t pe = 0x80;
    const std::size_t opt = pe + 24;
    const std::uint16_t optSize = options.plus ? 240 : 224;
    const std::size_t sectionTable = opt + optSize;
    const std::size_t dataDirs = opt + (options.plus ? 112 : 96);
    const std::size_t treeInHeaders = 0x200;

    std::size_t sizeOfHeaders = kFileAlignment;
    if (options.withResources && options.resourcesInHeaders)
        sizeOfHeaders = alignUp(treeInHeaders + tree.tree.size(), kFileAlignment);
    const std::size_t textFile = sizeOfHeaders;
    const std::size_t textRaw = alignUp(options.textSize, kFileAlignment);
    const std::uint32_t textRva = kSectionAlignment;
    const auto rsrcRva = static_cast<std::uint32_t>(textRva + alignUp(std::max<std::size_t>(options.textSize, 1), kSectionAlignment));
    const std::size_t rsrcFile = textFile + textRaw;

    Bytes rsrc;  // the .rsrc section's contents
    std::size_t rootFile = 0, dataFile = 0;
    std::uint32_t rootRva = 0, dataRva = 0;
    if (options.resourcesInHeaders) {
        rootFile = rootRva = treeInHeaders;
        rsrc = tree.data;
        dataFile = rsrcFile;
        dataRva = rsrcRva;
    } else {
        rootFile = rsrcFile;
        rootRva = rsrcRva;
        rsrc = tree.tree;
        rsrc.insert(rsrc.end(), tree.data.begin(), tree.data.end());
        dataFile = rsrcFile + tree.tree.size();
        dataRva = rsrcRva + static_cast<std::uint32_t>(tree.tree.size());
    }
    for (PeLayout::Entry& e : tree.entries) {
        putU32(tree.tree, e.dataEntry, dataRva + getU32(tree.tree, e.dataEntry));
        for (std::size_t* field : {&e.typeEntry, &e.typeDirectory, &e.nameEntry, &e.languageDirectory,
                                   &e.languageEntry, &e.dataEntry})
            *field += rootFile;
        if (e.nameString) e.nameString += rootFile;
        e.data += dataFile;
    }
    if (!options.resourcesInHeaders) std::copy(tree.tree.begin(), tree.tree.end(), rsrc.begin());

    // A resource-only module without data before its resources has the one section.
    const bool firstSection = !(options.resourceOnly && options.textSize == 0);
    const std::uint16_t sectionCount = static_cast<std::uint16_t>((options.withResources ? 1 : 0) + (firstSection ? 1 : 0));
    const std::size_t rsrcHeader = sectionTable + (firstSection ? 40 : 0);
    const std::size_t rsrcRaw = alignUp(rsrc.size(), kFileAlignment);
    const std::uint32_t imageSize =
        options.withResources ? rsrcRva + static_cast<std::uint32_t>(alignUp(rsrc.size(), kSectionAlignment)) : rsrcRva;

    Bytes b(sizeOfHeaders, 0);
    b[0] = 'M';
    b[1] = 'Z';
    putU32(b, 0x3C, static_cast<std::uint32_t>(pe));
    b[pe] = 'P';
    b[pe + 1] = 'E';
    putU16(b, pe + 4, options.plus ? 0x8664 : 0x014C);
    putU16(b, pe + 6, sectionCount);
    putU16(b, pe + 20, optSize);
    putU16(b, pe + 22, static_cast<std::uint16_t>((options.plus ? 0x0022 : 0x0102) | (options.resourceOnly ? 0x2000 : 0)));
    putU16(b, opt, options.plus ? 0x20B : 0x10B);
    putU32(b, opt + 4, options.resourceOnly ? 0 : static_cast<std::uint32_t>(textRaw));
    putU32(b, opt + 8, static_cast<std::uint32_t>(rsrcRaw + (options.resourceOnly ? textRaw : 0)));
    putU32(b, opt + 16, options.resourceOnly ? 0 : textRva);
    putU32(b, opt + 20, textRva);
    if (options.plus) {
        putU32(b, opt + 24, 0x40000000);
        putU32(b, opt + 28, 0x1);  // ImageBase 0x140000000
    } else {
        putU32(b, opt + 24, rsrcRva);
        putU32(b, opt + 28, 0x400000);
    }
    putU32(b, opt + 32, kSectionAlignment);
    putU32(b, opt + 36, static_cast<std::uint32_t>(kFileAlignment));
    putU16(b, opt + 40, 6);
    putU16(b, opt + 48, 6);
    putU32(b, opt + 56, imageSize);
    putU32(b, opt + 60, static_cast<std::uint32_t>(sizeOfHeaders));
    putU16(b, opt + 68, 2);  // GUI subsystem
    putU32(b, dataDirs - 4, 16);
    if (options.withResources) {
        putU32(b, dataDirs + 16, rootRva);
        putU32(b, dataDirs + 20, static_cast<std::uint32_t>(options.resourcesInHeaders ? tree.tree.size() : rsrc.size()));
    }
    if (firstSection)
        putSection(b, sectionTable, options.resourceOnly ? ".rdata" : ".text",
                   static_cast<std::uint32_t>(options.textSize), textRva, static_cast<std::uint32_t>(textRaw),
                   static_cast<std::uint32_t>(textFile), options.resourceOnly ? 0x40000040 : 0x60000020);
    if (options.withResources)
        putSection(b, rsrcHeader, ".rsrc", static_cast<std::uint32_t>(rsrc.size()), rsrcRva,
                   static_cast<std::uint32_t>(rsrcRaw), static_cast<std::uint32_t>(rsrcFile), 0x40000040);
    if (options.withResources && options.resourcesInHeaders) putBytes(b, treeInHeaders, tree.tree);

    b.resize(textFile + textRaw, options.resourceOnly ? 0x00 : 0xCC);
    if (options.withResources) {
        putBytes(b, rsrcFile, rsrc);
        padTo(b, rsrcFile + rsrcRaw);
    }

    if (layout) {
        *layout = PeLayout{};
        layout->peHeader = pe;
        layout->optionalHeader = opt;
        layout->resourceSlot = dataDirs + 16;
        layout->sectionTable = sectionTable;
        layout->rootDirectory = rootFile;
        layout->rootRva = rootRva;
        layout->rsrcSection = rsrcFile;
        layout->rsrcRva = rsrcRva;
        layout->entries = std::move(tree.entries);
    }
    return b;
}

Bytes makeNe(const std::vector<ModuleIcon>& icons, const NeOptions& options, NeLayout* layout) {
    if (options.shift > 15) throw std::invalid_argument("NE alignment shift above 15");
    const auto resources = allResources(icons, options.firstIconId, kLangEnUs, options.extra);
    const auto types = groupResources(resources, false);
    const std::size_t ne = 0x40;
    const std::size_t table = ne + 0x40;
    const std::size_t align = std::size_t{1} << options.shift;

    Bytes b(table, 0);
    NeLayout out;
    out.neHeader = ne;
    out.resourceTable = table;

    // The table: shift, TYPEINFO and NAMEINFO records, a 0 word, the names, a 0 byte.
    std::size_t records = 2;
    for (const TypeNode& t : types) records += 8 + 12 * t.names.size();
    std::size_t strings = records + 2;
    auto putString = [&](const ResourceName& name) -> std::uint16_t {
        if (name.isId()) return 0;
        const std::size_t at = strings;
        b.resize(std::max(b.size(), table + at + 1 + name.text.size()), 0);
        b[table + at] = static_cast<std::uint8_t>(name.text.size());
        std::copy(name.text.begin(), name.text.end(), b.begin() + static_cast<std::ptrdiff_t>(table + at + 1));
        strings += 1 + name.text.size();
        return static_cast<std::uint16_t>(at);
    };
    std::vector<std::pair<std::size_t, const RawResource*>> pending;  // NAMEINFO, resource
    if (options.withResources) {
        padTo(b, table + records + 2);
        putU16(b, table, static_cast<std::uint16_t>(options.shift));
        std::size_t pos = 2;
        for (const TypeNode& t : types) {
            const std::size_t typeInfo = table + pos;
            putU16(b, typeInfo, neTypeOrId(t.type, putString(t.type)));
            putU16(b, typeInfo + 2, static_cast<std::uint16_t>(t.names.size()));
            pos += 8;
            for (const NameNode& n : t.names) {
                const std::size_t nameInfo = table + pos;
                const std::uint16_t stringAt = putString(n.name);
                putU16(b, nameInfo + 4, 0x0030);  // moveable, pure
                putU16(b, nameInfo + 6, neTypeOrId(n.name, stringAt));
                out.entries.push_back({t.type, n.name, typeInfo, nameInfo, 0, n.name.isId() ? 0 : table + stringAt});
                pending.emplace_back(nameInfo, n.leaves.front());
                pos += 12;
            }
        }
        padTo(b, table + strings + 1);  // the closing 0 byte
    }
    const std::size_t tableEnd = b.size();

    // The resident-name table: the module name with ordinal 0, then a 0 byte.
    const std::string moduleName = "VEXIL";
    b.push_back(static_cast<std::uint8_t>(moduleName.size()));
    b.insert(b.end(), moduleName.begin(), moduleName.end());
    appendU16(b, 0);
    b.push_back(0);
    const std::size_t otherTables = b.size();
    b.push_back(0);  // an empty entry table

    b[0] = 'M';
    b[1] = 'Z';
    putU32(b, 0x3C, static_cast<std::uint32_t>(ne));
    b[ne] = 'N';
    b[ne + 1] = 'E';
    b[ne + 2] = 5;
    b[ne + 3] = 10;
    putU16(b, ne + 0x04, static_cast<std::uint16_t>(otherTables - ne));  // entry table
    putU16(b, ne + 0x22, static_cast<std::uint16_t>(table - ne));        // segment table (empty)
    putU16(b, ne + 0x24, static_cast<std::uint16_t>(options.withResources ? table - ne : tableEnd - ne));
    putU16(b, ne + 0x26, static_cast<std::uint16_t>(tableEnd - ne));
    putU16(b, ne + 0x28, static_cast<std::uint16_t>(otherTables - ne));  // module references
    putU16(b, ne + 0x2A, static_cast<std::uint16_t>(otherTables - ne));  // imported names
    putU16(b, ne + 0x32, static_cast<std::uint16_t>(options.shift));
    b[ne + 0x36] = 2;  // Windows
    putU16(b, ne + 0x3E, 0x030A);

    // Resource data, each at an aligned offset, its length rounded up to the alignment.
    for (std::size_t i = 0; i < pending.size(); ++i) {
        const auto [nameInfo, resource] = pending[i];
        const std::size_t at = alignUp(b.size(), align);
        const std::size_t units = (resource->data.size() + align - 1) / align;
        if ((at >> options.shift) > 0xFFFF || units > 0xFFFF)
            throw std::invalid_argument("NE resource out of reach of a 16-bit offset");
        putBytes(b, at, resource->data);
        const bool last = i + 1 == pending.size();
        if (options.padEnd || !last) padTo(b, at + units * align);
        putU16(b, nameInfo, static_cast<std::uint16_t>(at >> options.shift));
        putU16(b, nameInfo + 2, static_cast<std::uint16_t>(units));
        out.entries[i].data = at;
    }
    if (layout) *layout = std::move(out);
    return b;
}

bool writePeWithGap(const std::string& path, Bytes pe, const PeLayout& layout, std::uint32_t gap) {
    const std::size_t rsrcHeader = layout.sectionTable + 40;  // the second section: .rsrc
    if (layout.rsrcSection == 0 || pe.size() < rsrcHeader + 40 || getU32(pe, rsrcHeader + 20) != layout.rsrcSection)
        return false;
    putU32(pe, rsrcHeader + 20, static_cast<std::uint32_t>(layout.rsrcSection + gap));
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    auto put = [fd](const std::uint8_t* data, std::size_t size, off_t at) {
        return ::pwrite(fd, data, size, at) == static_cast<ssize_t>(size);
    };
    const bool ok = put(pe.data(), layout.rsrcSection, 0) &&
                    put(pe.data() + layout.rsrcSection, pe.size() - layout.rsrcSection,
                        static_cast<off_t>(layout.rsrcSection + gap));
    return ::close(fd) == 0 && ok;
}

ModuleIcon solidIcon(int groupId, Argb colour) {
    ModuleIcon icon{resId(static_cast<std::uint16_t>(groupId)), {}, {}};
    for (int size : {32, 16}) icon.images.push_back(solidDib(size, colour, 24));
    return icon;
}

Bytes moduleRepeatingOneImage(const Bytes& image, int count) {
    const Bytes one = makeGroupDirectory({image}, {1});
    Bytes group(one.begin(), one.begin() + 6);
    putU16(group, 4, static_cast<std::uint16_t>(count));
    for (int i = 0; i < count; ++i) group.insert(group.end(), one.begin() + 6, one.end());
    PeOptions options;
    options.extra.push_back({resId(formats::kRtIcon), resId(1), image});
    options.extra.push_back({resId(formats::kRtGroupIcon), resId(1), group});
    return makePe({}, options);
}

Bytes moduleOfGroupsSharingOneImage(const Bytes& image, int groups) {
    std::vector<ModuleIcon> icons;
    icons.reserve(static_cast<std::size_t>(groups));
    for (int g = 0; g < groups; ++g) icons.push_back({resId(static_cast<std::uint16_t>(g + 1)), {image}, {1}});
    return makePe(icons);
}

std::unique_ptr<formats::ResourceModule> openModule(const Bytes& bytes) {
    return formats::ResourceModule::open(std::make_unique<formats::MemorySource>(bytes));
}

}  // namespace fixtures
