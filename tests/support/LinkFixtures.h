// Test fixtures made by code: files that name an icon. Shell links (.lnk) with chosen
// parts, INI text in UTF-16, UTF-8 or ANSI, compound files and installer packages with
// chosen streams and tables, Wine registry text, and prefix-shaped folder trees. Each
// builder can report where its parts landed, so a test can patch bytes into hostile
// variants.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "support/ImageFixtures.h"

namespace fixtures {

// UTF-8 text as UTF-16LE bytes (no terminator).
Bytes utf16le(const std::string& utf8);

// ---- shell links ----

struct LinkInfoSpec {
    std::optional<std::string> localBasePath{};  // ANSI bytes; with VolumeIDAndLocalBasePath
    std::string commonPathSuffix{};              // ANSI bytes
    bool unicode = false;                      // a 0x24-byte header with the Unicode copies below
    std::string localBasePathUnicode{};          // UTF-8, written as UTF-16
    std::string commonPathSuffixUnicode{};
    std::optional<std::string> netName{};        // a CommonNetworkRelativeLink (ANSI)
    std::optional<std::string> deviceName{};
};

struct LinkSpec {
    std::uint32_t setFlags = 0;    // added to the flags the parts present imply
    std::uint32_t clearFlags = 0;  // taken from them
    std::int32_t iconIndex = 0;
    bool unicode = true;           // the strings in UTF-16 (given in UTF-8), else their bytes
    std::optional<Bytes> idList{};   // the list's bytes after its size
    std::optional<LinkInfoSpec> linkInfo{};
    std::optional<std::string> name{}, relativePath{}, workingDir{}, arguments{}, iconLocation{};
    std::vector<Bytes> extraBlocks{};  // each a whole block (see environmentBlock)
    bool terminalBlock = true;
};

struct LinkLayout {
    std::size_t idList = 0, linkInfo = 0, strings = 0, extra = 0;
};

Bytes makeLink(const LinkSpec& parts, LinkLayout* layout = nullptr);

// An IconEnvironmentDataBlock (0xA0000007) or EnvironmentVariableDataBlock (0xA0000001):
// the ANSI path (bytes) and the Unicode path (UTF-8, written as UTF-16; empty: none).
Bytes environmentBlock(std::uint32_t signature, const std::string& ansi, const std::string& unicode);

// ---- INI text ----

enum class TextEncoding { Utf16Bom, Utf8Bom, Ansi };
// The lines joined by CRLF (or LF); UTF-8 lines written in the encoding (Ansi: as given).
Bytes iniText(const std::vector<std::string>& lines, TextEncoding encoding, bool crlf = true);

// ---- compound files and installer packages ----

struct CfbStream {
    std::u16string name{};
    Bytes data{};
};

struct CfbSpec {
    int sectorShift = 9;
    std::vector<CfbStream> streams{};  // all inside the root storage
};

// Where the builder put things: sectors are numbered as the file numbers them.
struct CfbLayout {
    std::uint32_t sectorSize = 512;
    std::uint32_t fatSectors = 0;         // sectors 0 .. fatSectors - 1
    std::uint32_t directoryStart = 0;
    std::uint32_t miniFatStart = 0;
    std::uint32_t miniStreamStart = 0;
    std::vector<std::uint32_t> entryOf{};   // per stream: its directory entry
    std::vector<std::uint32_t> startOf{};   // per stream: its first (mini) sector
    std::vector<bool> inMini{};             // per stream: held in the mini stream

    std::size_t sectorOffset(std::uint32_t sector) const { return (std::size_t{sector} + 1) * sectorSize; }
    // The FAT entry of a sector (the FAT is contiguous from sector 0).
    std::size_t fatEntryOffset(std::uint32_t sector) const { return sectorOffset(sector / (sectorSize / 4)) + 4 * (sector % (sectorSize / 4)); }
    // The mini FAT entry of a mini sector (the mini FAT is contiguous).
    std::size_t miniFatEntryOffset(std::uint32_t mini) const { return sectorOffset(miniFatStart) + 4 * std::size_t{mini}; }
    // Directory entry `id` (the directory is contiguous).
    std::size_t entryOffset(std::uint32_t id) const { return sectorOffset(directoryStart) + 128 * std::size_t{id}; }
};

Bytes makeCompoundFile(const CfbSpec& parts, CfbLayout* layout = nullptr);

struct MsiIcon {
    std::string name{};  // bytes in the package's code page
    Bytes data{};
};

struct MsiSpec {
    std::uint32_t codePage = 1252;
    bool longStringRefs = false;
    std::vector<MsiIcon> icons{};
    std::vector<std::pair<std::string, std::string>> properties{};
    bool iconTable = true;
    int sectorShift = 9;
};

// The stream names the package holds, in the order makeMsi passes them to
// makeCompoundFile: !_StringPool, !_StringData, !_Tables, !_Columns, !Property, !Icon,
// then Icon.NAME for each icon.
Bytes makeMsi(const MsiSpec& parts, CfbLayout* layout = nullptr);

// ---- Wine prefixes ----

// A Wine registry file: the header, the root line, then each key with its value lines as
// given ("\"Name\"=\"value\"").
std::string wineRegistryText(const std::string& root,
                             const std::vector<std::pair<std::string, std::vector<std::string>>>& keys);

struct PrefixSpec {
    std::string user = "ann";
    std::vector<std::string> files{};  // below drive_c, '/'-separated; each gets a few bytes
    std::vector<std::pair<std::string, std::string>> links{};  // more dosdevices links: name, target
    std::optional<std::string> systemReg{}, userReg{};
    bool wow64 = true;  // "Program Files (x86)" as a 64-bit prefix has it
};

// Makes a prefix at `dir`: drive_c (windows/system32, Program Files, ProgramData,
// users/Public, users/USER, the files), dosdevices with c: -> ../drive_c and z: -> /, the
// registry files given.
void makePrefix(const std::string& dir, const PrefixSpec& parts);

}  // namespace fixtures
