// Compound files (the structured storage that installer packages and older Office
// documents use): a 512-byte header, the sector allocation table (FAT) whose sectors the
// DIFAT lists, a directory of 128-byte entries that forms a red-black tree of names per
// storage, and streams held in chains of regular sectors (512 or 4096 bytes) or, below
// the cutoff size, of 64-byte mini sectors inside the root entry's stream.
//
// Hostile input: every sector number is checked against the file's sector count, every
// chain is checked for loops and for its length against the size it must hold, every size
// against the file; the FAT and mini FAT are read a sector at a time as chains need them,
// so memory follows the streams read, never the sizes a header or an entry claims.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/ByteView.h"
#include "formats/StoredText.h"

namespace formats {

// True when the bytes start with the compound file signature (D0 CF 11 E0 A1 B1 1A E1).
bool isCompoundFile(ByteView head);

class CompoundFile {
public:
    enum class EntryType : std::uint8_t { Empty = 0, Storage = 1, Stream = 2, Root = 5 };
    static constexpr std::uint32_t kNoEntry = 0xFFFFFFFF;

    struct Entry {
        std::u16string name;  // UTF-16 units as stored, without the terminating NUL
        EntryType type = EntryType::Empty;
        std::uint32_t left = kNoEntry, right = kNoEntry, child = kNoEntry;
        std::uint32_t start = 0;
        std::uint64_t size = 0;
    };

    // Reads the header, the DIFAT and the directory. The source stays with the file.
    static Parsed<std::unique_ptr<CompoundFile>> open(std::unique_ptr<ByteSource> source);
    ~CompoundFile();
    CompoundFile(const CompoundFile&) = delete;
    CompoundFile& operator=(const CompoundFile&) = delete;

    const std::vector<Entry>& entries() const { return entries_; }
    std::uint32_t sectorSize() const { return sectorSize_; }

    // The ids of the entries directly inside a storage (0: the root), in the tree's order.
    // Fails when the tree names an entry that does not exist, or reaches one twice.
    Parsed<std::vector<std::uint32_t>> children(std::uint32_t storage = 0) const;

    // The bytes of a stream entry. Fails when its chain leaves the file, loops, ends before
    // the size is read, or the size is larger than the file could hold. `place` names the
    // stream in errors.
    Parsed<Bytes> readStream(std::uint32_t entry);

private:
    CompoundFile() = default;
    // The next sector of a regular or mini chain.
    Parsed<std::uint32_t> nextSector(std::uint32_t sector);
    Parsed<std::uint32_t> nextMiniSector(std::uint32_t sector);
    // The sectors of a regular chain from `start`: exactly `count` of them when given,
    // else up to its end (at most the file's sector count).
    Parsed<std::vector<std::uint32_t>> chain(std::uint32_t start, std::optional<std::uint64_t> count, const std::string& place);
    Parsed<Bytes> readRegular(std::uint32_t start, std::uint64_t size, const std::string& place);
    Parsed<Bytes> readMini(std::uint32_t start, std::uint64_t size, const std::string& place);
    std::string entryPlace(std::uint32_t entry) const;

    std::unique_ptr<ByteSource> source_;
    std::uint32_t sectorSize_ = 512;
    std::uint32_t miniCutoff_ = 4096;
    std::uint64_t sectorCount_ = 0;  // sectors the file holds (a partial last one counts)
    std::vector<std::uint32_t> fatSectors_;  // from the DIFAT
    std::map<std::uint32_t, Bytes> fatCache_;  // FAT sector index -> its bytes
    std::uint32_t miniFatStart_ = 0;
    std::uint32_t miniFatCount_ = 0;
    std::optional<std::vector<std::uint32_t>> miniFatSectors_;  // read when first needed
    std::map<std::uint32_t, Bytes> miniFatCache_;
    std::optional<std::vector<std::uint32_t>> miniStreamSectors_;  // the root entry's chain
    std::vector<Entry> entries_;
};

}  // namespace formats
