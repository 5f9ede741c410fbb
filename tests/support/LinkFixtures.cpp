#include "support/LinkFixtures.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>

#include "formats/MsiPackage.h"
#include "formats/ShellLink.h"
#include "formats/StoredText.h"
#include "platform/WinePaths.h"

namespace fixtures {

namespace {

constexpr std::uint32_t kEnd = 0xFFFFFFFE;
constexpr std::uint32_t kFree = 0xFFFFFFFF;
constexpr std::uint32_t kNone = 0xFFFFFFFF;

void appendText(Bytes& b, const std::string& text) { b.insert(b.end(), text.begin(), text.end()); }

void appendCString(Bytes& b, const std::string& text) {
    appendText(b, text);
    b.push_back(0);
}

void appendWideCString(Bytes& b, const std::string& utf8) {
    const Bytes w = utf16le(utf8);
    b.insert(b.end(), w.begin(), w.end());
    appendU16(b, 0);
}

Bytes linkInfo(const LinkInfoSpec& s) {
    const std::uint32_t header = s.unicode ? 0x24 : 0x1C;
    Bytes b(header, 0);
    std::uint32_t flags = 0;
    if (s.localBasePath) {
        flags |= 1;
        putU32(b, 12, static_cast<std::uint32_t>(b.size()));  // VolumeID: 16 bytes, drive type fixed
        Bytes volume(16, 0);
        putU32(volume, 0, 16);
        putU32(volume, 4, 3);
        putU32(volume, 12, 16);  // an empty label right after it
        b.insert(b.end(), volume.begin(), volume.end());
        b.push_back(0);
        putU32(b, 16, static_cast<std::uint32_t>(b.size()));
        appendCString(b, *s.localBasePath);
    }
    if (s.netName) {
        flags |= 2;
        putU32(b, 20, static_cast<std::uint32_t>(b.size()));
        Bytes net(0x14, 0);
        putU32(net, 4, s.deviceName ? 3 : 2);
        putU32(net, 8, 0x14);
        appendCString(net, *s.netName);
        if (s.deviceName) {
            putU32(net, 12, static_cast<std::uint32_t>(net.size()));
            appendCString(net, *s.deviceName);
        }
        putU32(net, 16, 0x00020000);
        putU32(net, 0, static_cast<std::uint32_t>(net.size()));
        b.insert(b.end(), net.begin(), net.end());
    }
    putU32(b, 24, static_cast<std::uint32_t>(b.size()));
    appendCString(b, s.commonPathSuffix);
    if (s.unicode) {
        if (s.localBasePath) {
            putU32(b, 28, static_cast<std::uint32_t>(b.size()));
            appendWideCString(b, s.localBasePathUnicode);
        }
        putU32(b, 32, static_cast<std::uint32_t>(b.size()));
        appendWideCString(b, s.commonPathSuffixUnicode);
    }
    putU32(b, 0, static_cast<std::uint32_t>(b.size()));
    putU32(b, 4, header);
    putU32(b, 8, flags);
    return b;
}

// A red-black tree's worth of links for sorted entries: each range's middle is its root.
std::uint32_t buildTree(std::vector<std::array<std::uint32_t, 2>>& children, const std::vector<std::uint32_t>& ids, int lo, int hi) {
    if (lo > hi) return kNone;
    const int mid = (lo + hi) / 2;
    const std::uint32_t id = ids[static_cast<std::size_t>(mid)];
    children[id][0] = buildTree(children, ids, lo, mid - 1);
    children[id][1] = buildTree(children, ids, mid + 1, hi);
    return id;
}

// The order of names in a storage's tree: shorter first, then by upper-cased units.
bool cfbNameLess(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return a.size() < b.size();
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char16_t x = (a[i] >= u'a' && a[i] <= u'z') ? a[i] - 32 : a[i];
        const char16_t y = (b[i] >= u'a' && b[i] <= u'z') ? b[i] - 32 : b[i];
        if (x != y) return x < y;
    }
    return false;
}

}  // namespace

Bytes utf16le(const std::string& utf8) {
    Bytes b;
    for (const char16_t u : formats::utf8ToUtf16(utf8)) appendU16(b, u);
    return b;
}

Bytes environmentBlock(std::uint32_t signature, const std::string& ansi, const std::string& unicode) {
    Bytes b(0x314, 0);
    putU32(b, 0, 0x314);
    putU32(b, 4, signature);
    std::copy_n(ansi.begin(), std::min<std::size_t>(ansi.size(), 259), b.begin() + 8);
    const Bytes w = utf16le(unicode);
    std::copy_n(w.begin(), std::min<std::size_t>(w.size(), 518), b.begin() + 268);
    return b;
}

Bytes makeLink(const LinkSpec& parts, LinkLayout* layout) {
    using namespace formats::linkflag;
    std::uint32_t flags = parts.setFlags;
    if (parts.idList) flags |= HasLinkTargetIdList;
    if (parts.linkInfo) flags |= HasLinkInfo;
    if (parts.name) flags |= HasName;
    if (parts.relativePath) flags |= HasRelativePath;
    if (parts.workingDir) flags |= HasWorkingDir;
    if (parts.arguments) flags |= HasArguments;
    if (parts.iconLocation) flags |= HasIconLocation;
    if (parts.unicode) flags |= IsUnicode;
    for (const Bytes& block : parts.extraBlocks) {
        if (block.size() >= 8 && getU32(block, 4) == formats::kIconEnvironmentBlockSignature) flags |= HasExpIcon;
        if (block.size() >= 8 && getU32(block, 4) == formats::kEnvironmentBlockSignature) flags |= HasExpString;
    }
    flags &= ~parts.clearFlags;

    Bytes b(formats::kLinkHeaderSize, 0);
    putU32(b, 0, formats::kLinkHeaderSize);
    const std::uint8_t clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    std::copy(std::begin(clsid), std::end(clsid), b.begin() + 4);
    putU32(b, 0x14, flags);
    putU32(b, 0x38, static_cast<std::uint32_t>(parts.iconIndex));
    putU32(b, 0x3C, 1);  // SW_SHOWNORMAL
    LinkLayout where;
    where.idList = b.size();
    if (parts.idList) {
        appendU16(b, static_cast<std::uint16_t>(parts.idList->size()));
        b.insert(b.end(), parts.idList->begin(), parts.idList->end());
    }
    where.linkInfo = b.size();
    if (parts.linkInfo) {
        const Bytes info = linkInfo(*parts.linkInfo);
        b.insert(b.end(), info.begin(), info.end());
    }
    where.strings = b.size();
    for (const auto* s : {&parts.name, &parts.relativePath, &parts.workingDir, &parts.arguments, &parts.iconLocation}) {
        if (!*s) continue;
        if (parts.unicode) {
            const Bytes w = utf16le(**s);
            appendU16(b, static_cast<std::uint16_t>(w.size() / 2));
            b.insert(b.end(), w.begin(), w.end());
        } else {
            appendU16(b, static_cast<std::uint16_t>((*s)->size()));
            appendText(b, **s);
        }
    }
    where.extra = b.size();
    for (const Bytes& block : parts.extraBlocks) b.insert(b.end(), block.begin(), block.end());
    if (parts.terminalBlock) appendU32(b, 0);
    if (layout) *layout = where;
    return b;
}

Bytes iniText(const std::vector<std::string>& lines, TextEncoding encoding, bool crlf) {
    std::string text;
    for (const auto& line : lines) text += line + (crlf ? "\r\n" : "\n");
    Bytes b;
    if (encoding == TextEncoding::Utf16Bom) {
        b = {0xFF, 0xFE};
        const Bytes w = utf16le(text);
        b.insert(b.end(), w.begin(), w.end());
    } else {
        if (encoding == TextEncoding::Utf8Bom) b = {0xEF, 0xBB, 0xBF};
        appendText(b, text);
    }
    return b;
}

Bytes makeCompoundFile(const CfbSpec& parts, CfbLayout* layout) {
    const std::uint32_t ss = 1u << parts.sectorShift;
    const std::uint32_t perFat = ss / 4;
    constexpr std::uint32_t kCutoff = 4096;
    CfbLayout where;
    where.sectorSize = ss;
    const std::size_t n = parts.streams.size();
    where.entryOf.resize(n);
    where.startOf.resize(n);
    where.inMini.resize(n);

    // The mini stream: small streams one after another, each from a 64-byte boundary.
    Bytes mini;
    std::vector<std::uint32_t> miniFat;
    for (std::size_t i = 0; i < n; ++i) {
        const Bytes& d = parts.streams[i].data;
        if (d.empty() || d.size() >= kCutoff) continue;
        where.inMini[i] = true;
        where.startOf[i] = static_cast<std::uint32_t>(mini.size() / 64);
        const std::uint32_t count = static_cast<std::uint32_t>((d.size() + 63) / 64);
        for (std::uint32_t k = 0; k < count; ++k) miniFat.push_back(k + 1 < count ? where.startOf[i] + k + 1 : kEnd);
        mini.insert(mini.end(), d.begin(), d.end());
        mini.resize(mini.size() + (64 - mini.size() % 64) % 64, 0);
    }
    const auto sectorsFor = [ss](std::size_t bytes) { return static_cast<std::uint32_t>((bytes + ss - 1) / ss); };
    const std::uint32_t dirSectors = sectorsFor((n + 1) * 128);
    const std::uint32_t miniFatSectors = sectorsFor(miniFat.size() * 4);
    const std::uint32_t miniSectors = sectorsFor(mini.size());
    std::uint32_t dataSectors = dirSectors + miniFatSectors + miniSectors;
    for (std::size_t i = 0; i < n; ++i)
        if (!where.inMini[i]) dataSectors += sectorsFor(parts.streams[i].data.size());
    std::uint32_t fatSectors = 1;
    while (fatSectors * perFat < fatSectors + dataSectors) ++fatSectors;
    where.fatSectors = fatSectors;

    std::vector<std::uint32_t> fat(fatSectors * perFat, kFree);
    for (std::uint32_t s = 0; s < fatSectors; ++s) fat[s] = 0xFFFFFFFD;
    std::uint32_t next = fatSectors;
    Bytes body;  // the sectors after the FAT
    const auto place = [&](const Bytes& data, std::uint32_t count) {
        const std::uint32_t start = count ? next : kEnd;
        for (std::uint32_t k = 0; k < count; ++k) fat[next + k] = k + 1 < count ? next + k + 1 : kEnd;
        next += count;
        Bytes padded = data;
        padded.resize(std::size_t{count} * ss, 0);
        body.insert(body.end(), padded.begin(), padded.end());
        return start;
    };

    // The directory: the root, then the streams; each storage's children as a tree.
    std::vector<std::uint32_t> sorted(n);
    for (std::size_t i = 0; i < n; ++i) sorted[i] = static_cast<std::uint32_t>(i + 1);
    std::sort(sorted.begin(), sorted.end(),
              [&](std::uint32_t a, std::uint32_t b) { return cfbNameLess(parts.streams[a - 1].name, parts.streams[b - 1].name); });
    std::vector<std::array<std::uint32_t, 2>> children(n + 1, {kNone, kNone});
    const std::uint32_t rootChild = buildTree(children, sorted, 0, static_cast<int>(n) - 1);
    Bytes dir((std::size_t{dirSectors} * ss), 0);
    const auto writeEntry = [&](std::uint32_t id, const std::u16string& name, std::uint8_t type, std::uint32_t child,
                                std::uint32_t start, std::uint64_t size) {
        const std::size_t at = std::size_t{id} * 128;
        for (std::size_t u = 0; u < name.size() && u < 31; ++u) putU16(dir, at + 2 * u, name[u]);
        putU16(dir, at + 0x40, static_cast<std::uint16_t>((std::min<std::size_t>(name.size(), 31) + 1) * 2));
        dir[at + 0x42] = type;
        dir[at + 0x43] = 1;  // black
        putU32(dir, at + 0x44, children[id][0]);
        putU32(dir, at + 0x48, children[id][1]);
        putU32(dir, at + 0x4C, child);
        putU32(dir, at + 0x74, start);
        putU32(dir, at + 0x78, static_cast<std::uint32_t>(size));
        putU32(dir, at + 0x7C, static_cast<std::uint32_t>(size >> 32));
    };
    for (std::uint32_t id = static_cast<std::uint32_t>(n + 1); id < dirSectors * (ss / 128); ++id) {
        putU32(dir, std::size_t{id} * 128 + 0x44, kNone);
        putU32(dir, std::size_t{id} * 128 + 0x48, kNone);
        putU32(dir, std::size_t{id} * 128 + 0x4C, kNone);
    }
    where.directoryStart = next;
    next += dirSectors;  // written once the starts are known
    const std::uint32_t dirFirst = where.directoryStart;
    for (std::uint32_t k = 0; k < dirSectors; ++k) fat[dirFirst + k] = k + 1 < dirSectors ? dirFirst + k + 1 : kEnd;

    Bytes miniFatBytes;
    for (const std::uint32_t v : miniFat) appendU32(miniFatBytes, v);
    miniFatBytes.resize(std::size_t{miniFatSectors} * ss, 0xFF);
    where.miniFatStart = place(miniFatBytes, miniFatSectors);
    where.miniStreamStart = place(mini, miniSectors);
    for (std::size_t i = 0; i < n; ++i) {
        if (where.inMini[i] || parts.streams[i].data.empty()) {
            if (parts.streams[i].data.empty()) where.startOf[i] = kEnd;
            continue;
        }
        where.startOf[i] = place(parts.streams[i].data, sectorsFor(parts.streams[i].data.size()));
    }
    writeEntry(0, u"Root Entry", 5, rootChild, where.miniStreamStart, mini.size());
    for (std::size_t i = 0; i < n; ++i) {
        where.entryOf[i] = static_cast<std::uint32_t>(i + 1);
        writeEntry(static_cast<std::uint32_t>(i + 1), parts.streams[i].name, 2, kNone, where.startOf[i], parts.streams[i].data.size());
    }

    Bytes header(ss, 0);
    const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(std::begin(signature), std::end(signature), header.begin());
    putU16(header, 0x18, 0x3E);
    putU16(header, 0x1A, parts.sectorShift == 12 ? 4 : 3);
    putU16(header, 0x1C, 0xFFFE);
    putU16(header, 0x1E, static_cast<std::uint16_t>(parts.sectorShift));
    putU16(header, 0x20, 6);
    if (parts.sectorShift == 12) putU32(header, 0x28, dirSectors);
    putU32(header, 0x2C, fatSectors);
    putU32(header, 0x30, where.directoryStart);
    putU32(header, 0x38, kCutoff);
    putU32(header, 0x3C, miniFatSectors ? where.miniFatStart : kEnd);
    putU32(header, 0x40, miniFatSectors);
    putU32(header, 0x44, kEnd);
    for (std::uint32_t i = 0; i < 109; ++i) putU32(header, 0x4C + 4 * i, i < fatSectors ? i : kFree);

    Bytes out = header;
    for (const std::uint32_t v : fat) appendU32(out, v);
    out.insert(out.end(), dir.begin(), dir.end());
    out.insert(out.end(), body.begin(), body.end());
    if (layout) *layout = where;
    return out;
}

Bytes makeMsi(const MsiSpec& parts, CfbLayout* layout) {
    std::vector<std::string> pool;
    std::map<std::string, std::uint32_t> ids;
    const auto id = [&](const std::string& s) {
        const auto it = ids.find(s);
        if (it != ids.end()) return it->second;
        pool.push_back(s);
        return ids[s] = static_cast<std::uint32_t>(pool.size());
    };
    const unsigned refSize = parts.longStringRefs ? 3 : 2;
    const auto appendRef = [refSize](Bytes& b, std::uint32_t v) {
        for (unsigned k = 0; k < refSize; ++k) b.push_back(static_cast<std::uint8_t>(v >> (8 * k)));
    };

    std::vector<std::string> tables = {"Property"};
    if (parts.iconTable) tables.push_back("Icon");
    struct ColumnRow { std::string table; std::uint16_t number; std::string name; std::uint16_t type; };
    std::vector<ColumnRow> columns = {{"Property", 1, "Property", 0x2D48}, {"Property", 2, "Value", 0x0F00}};
    if (parts.iconTable) {
        columns.push_back({"Icon", 1, "Name", 0x2D48});
        columns.push_back({"Icon", 2, "Data", 0x0900});
    }
    Bytes tablesStream, columnsStream, propertyStream, iconStream;
    for (const auto& t : tables) appendRef(tablesStream, id(t));
    for (const auto& c : columns) appendRef(columnsStream, id(c.table));
    for (const auto& c : columns) appendU16(columnsStream, static_cast<std::uint16_t>(c.number | 0x8000));
    for (const auto& c : columns) appendRef(columnsStream, id(c.name));
    for (const auto& c : columns) appendU16(columnsStream, static_cast<std::uint16_t>(c.type ^ 0x8000));
    for (const auto& [k, v] : parts.properties) appendRef(propertyStream, id(k));
    for (const auto& [k, v] : parts.properties) appendRef(propertyStream, id(v));
    for (const auto& icon : parts.icons) appendRef(iconStream, id(icon.name));
    for (std::size_t i = 0; i < parts.icons.size(); ++i) appendU16(iconStream, 0);

    Bytes poolStream, dataStream;
    appendU32(poolStream, parts.codePage | (parts.longStringRefs ? 0x80000000u : 0));
    for (const auto& s : pool) {
        if (s.size() > 0xFFFF) {
            appendU16(poolStream, 0);
            appendU16(poolStream, 1);
            appendU32(poolStream, static_cast<std::uint32_t>(s.size()));
        } else {
            appendU16(poolStream, static_cast<std::uint16_t>(s.size()));
            appendU16(poolStream, 1);
        }
        dataStream.insert(dataStream.end(), s.begin(), s.end());
    }

    CfbSpec cfb;
    cfb.sectorShift = parts.sectorShift;
    const auto table = [](const std::string& name) { return formats::encodeMsiStreamName(name, true); };
    cfb.streams = {{table("_StringPool"), poolStream}, {table("_StringData"), dataStream}, {table("_Tables"), tablesStream},
                   {table("_Columns"), columnsStream}, {table("Property"), propertyStream}};
    if (parts.iconTable) cfb.streams.push_back({table("Icon"), iconStream});
    for (const auto& icon : parts.icons) {
        const std::string utf8 = platform::decodeCodePage(icon.name, parts.codePage).value_or(icon.name);
        cfb.streams.push_back({formats::encodeMsiStreamName("Icon." + utf8, false), icon.data});
    }
    return makeCompoundFile(cfb, layout);
}

std::string wineRegistryText(const std::string& root,
                             const std::vector<std::pair<std::string, std::vector<std::string>>>& keys) {
    std::string text = "WINE REGISTRY Version 2\n;; All keys relative to " + root + "\n\n#arch=win64\n";
    for (const auto& [key, lines] : keys) {
        text += "\n[" + key + "] 1700000000\n#time=1d9a0b0c0d0e0f0\n";
        for (const auto& line : lines) text += line + "\n";
    }
    return text;
}

void makePrefix(const std::string& dir, const PrefixSpec& parts) {
    namespace fs = std::filesystem;
    const fs::path root(dir);
    for (const char* sub : {"drive_c/windows/system32", "drive_c/Program Files/Common Files", "drive_c/ProgramData",
                            "drive_c/users/Public/Desktop", "dosdevices"})
        fs::create_directories(root / sub);
    if (parts.wow64) fs::create_directories(root / "drive_c/Program Files (x86)");
    if (!parts.user.empty()) fs::create_directories(root / "drive_c/users" / parts.user / "AppData/Roaming");
    fs::create_symlink("../drive_c", root / "dosdevices/c:");
    fs::create_symlink("/", root / "dosdevices/z:");
    for (const auto& [name, target] : parts.links) fs::create_symlink(target, root / "dosdevices" / name);
    for (const auto& file : parts.files) {
        const fs::path p = root / "drive_c" / file;
        fs::create_directories(p.parent_path());
        writeFile(p.string(), Bytes{'M', 'Z'});
    }
    if (parts.systemReg) writeFile((root / "system.reg").string(), Bytes(parts.systemReg->begin(), parts.systemReg->end()));
    if (parts.userReg) writeFile((root / "user.reg").string(), Bytes(parts.userReg->begin(), parts.userReg->end()));
}

}  // namespace fixtures
