#include "formats/CompoundFile.h"

#include <cstring>
#include <unordered_set>

namespace formats {

namespace {

constexpr std::uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
constexpr std::uint64_t kHeaderSize = 512;
constexpr std::uint32_t kHeaderDifatEntries = 109;
constexpr std::uint32_t kMiniSectorSize = 64;
constexpr std::uint32_t kEntrySize = 128;
constexpr std::uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t kMaxRegularSector = 0xFFFFFFFA;

std::string sectorName(std::uint32_t s) {
    switch (s) {
    case 0xFFFFFFFF: return "a free sector";
    case 0xFFFFFFFD: return "a FAT sector marker";
    case 0xFFFFFFFC: return "a DIFAT sector marker";
    default: return "sector " + std::to_string(s);
    }
}

std::uint64_t ceilDiv(std::uint64_t a, std::uint64_t b) { return a / b + (a % b != 0); }

}  // namespace

bool isCompoundFile(ByteView head) {
    return head.fits(0, sizeof kSignature) && std::memcmp(head.data(), kSignature, sizeof kSignature) == 0;
}

CompoundFile::~CompoundFile() = default;

Parsed<std::unique_ptr<CompoundFile>> CompoundFile::open(std::unique_ptr<ByteSource> source) {
    if (!source) return parseError(0, "no file");
    const auto headerBytes = source->read(0, kHeaderSize);
    if (!headerBytes) return parseError(0, "the header needs 512 bytes, the file has " + std::to_string(source->size()));
    const ByteView header(*headerBytes);
    if (!isCompoundFile(header)) return parseError(0, "no compound file signature");
    const std::uint16_t sectorShift = *header.u16(0x1E);
    if (sectorShift != 9 && sectorShift != 12)
        return parseError(0x1E, "a sector shift of " + std::to_string(sectorShift) + " (9 or 12 expected)");
    if (*header.u16(0x20) != 6) return parseError(0x20, "a mini sector shift of " + std::to_string(*header.u16(0x20)) + " (6 expected)");

    std::unique_ptr<CompoundFile> file(new CompoundFile);
    file->sectorSize_ = 1u << sectorShift;
    const std::uint64_t size = source->size();
    file->sectorCount_ = size > file->sectorSize_ ? ceilDiv(size - file->sectorSize_, file->sectorSize_) : 0;
    file->miniCutoff_ = *header.u32(0x38);
    file->miniFatStart_ = *header.u32(0x3C);
    file->miniFatCount_ = *header.u32(0x40);
    file->source_ = std::move(source);

    // The DIFAT: the header's 109 entries, then a chain of DIFAT sectors, each ending in
    // the number of the next.
    const std::uint32_t fatCount = *header.u32(0x2C);
    if (fatCount > file->sectorCount_)
        return parseError(0x2C, std::to_string(fatCount) + " FAT sectors in a file of " + std::to_string(file->sectorCount_) + " sectors");
    file->fatSectors_.reserve(fatCount);
    for (std::uint32_t i = 0; i < kHeaderDifatEntries && file->fatSectors_.size() < fatCount; ++i)
        file->fatSectors_.push_back(*header.u32(0x4C + 4 * i));
    std::uint32_t difat = *header.u32(0x44);
    std::unordered_set<std::uint32_t> seen;
    const std::uint32_t perDifat = file->sectorSize_ / 4 - 1;
    while (file->fatSectors_.size() < fatCount) {
        if (difat >= file->sectorCount_)
            return parseError(0x44, "the DIFAT chain reaches " + sectorName(difat) + " with " +
                                        std::to_string(fatCount - file->fatSectors_.size()) + " FAT sectors still to list");
        if (!seen.insert(difat).second) return parseError(0x44, "the DIFAT chain loops back to sector " + std::to_string(difat));
        const auto bytes = readZeroPadded(*file->source_, (std::uint64_t{difat} + 1) * file->sectorSize_, file->sectorSize_);
        if (!bytes) return parseError((std::uint64_t{difat} + 1) * file->sectorSize_, "DIFAT sector " + std::to_string(difat) + " cannot be read");
        const ByteView v(*bytes);
        for (std::uint32_t i = 0; i < perDifat && file->fatSectors_.size() < fatCount; ++i) file->fatSectors_.push_back(*v.u32(4 * i));
        difat = *v.u32(4 * perDifat);
    }
    for (std::size_t i = 0; i < file->fatSectors_.size(); ++i)
        if (file->fatSectors_[i] >= file->sectorCount_)
            return parseError(i < kHeaderDifatEntries ? 0x4C + 4 * i : 0x44,
                              "FAT sector " + std::to_string(i) + " is " + sectorName(file->fatSectors_[i]) + ", past the file's " +
                                  std::to_string(file->sectorCount_) + " sectors");

    // The directory: a chain of sectors holding 128-byte entries.
    const auto dirSectors = file->chain(*header.u32(0x30), std::nullopt, "the directory");
    if (!dirSectors) return dirSectors.error();
    file->entries_.reserve(dirSectors->size() * (file->sectorSize_ / kEntrySize));
    const bool version3 = file->sectorSize_ == 512;
    for (const std::uint32_t s : *dirSectors) {
        const auto bytes = readZeroPadded(*file->source_, (std::uint64_t{s} + 1) * file->sectorSize_, file->sectorSize_);
        if (!bytes) return parseError((std::uint64_t{s} + 1) * file->sectorSize_, "directory sector " + std::to_string(s) + " cannot be read");
        for (std::uint32_t at = 0; at < file->sectorSize_; at += kEntrySize) {
            const ByteView e = *ByteView(*bytes).sub(at, kEntrySize);
            Entry entry;
            const std::uint16_t nameBytes = *e.u16(0x40);
            const std::uint16_t units = nameBytes >= 2 && nameBytes <= 64 ? static_cast<std::uint16_t>(nameBytes / 2 - 1) : 0;
            for (std::uint16_t u = 0; u < units; ++u) entry.name.push_back(static_cast<char16_t>(*e.u16(2 * u)));
            const std::uint8_t type = *e.u8(0x42);
            entry.type = type == 1 || type == 2 || type == 5 ? static_cast<EntryType>(type) : EntryType::Empty;
            entry.left = *e.u32(0x44);
            entry.right = *e.u32(0x48);
            entry.child = *e.u32(0x4C);
            entry.start = *e.u32(0x74);
            entry.size = version3 ? *e.u32(0x78) : (std::uint64_t{*e.u32(0x7C)} << 32 | *e.u32(0x78));
            file->entries_.push_back(std::move(entry));
        }
    }
    if (file->entries_.empty() || file->entries_[0].type != EntryType::Root)
        return parseError((std::uint64_t{*header.u32(0x30)} + 1) * file->sectorSize_, "the first directory entry is not the root");
    return file;
}

Parsed<std::uint32_t> CompoundFile::nextSector(std::uint32_t sector) {
    const std::uint32_t perSector = sectorSize_ / 4;
    const std::uint32_t index = sector / perSector;
    if (index >= fatSectors_.size())
        return parseError(0, "sector " + std::to_string(sector) + " lies past the " + std::to_string(fatSectors_.size()) + " FAT sectors");
    auto cached = fatCache_.find(index);
    if (cached == fatCache_.end()) {
        const std::uint64_t at = (std::uint64_t{fatSectors_[index]} + 1) * sectorSize_;
        auto bytes = readZeroPadded(*source_, at, sectorSize_);
        if (!bytes) return parseError(at, "FAT sector " + std::to_string(index) + " cannot be read");
        cached = fatCache_.emplace(index, std::move(*bytes)).first;
    }
    return *ByteView(cached->second).u32(4 * (sector % perSector));
}

Parsed<std::vector<std::uint32_t>> CompoundFile::chain(std::uint32_t start, std::optional<std::uint64_t> count, const std::string& place) {
    std::vector<std::uint32_t> sectors;
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t s = start;
    while (!count || sectors.size() < *count) {
        if (s == kEndOfChain) {
            if (!count) break;
            return parseError(0, "the chain ends after " + std::to_string(sectors.size()) + " sectors, " + std::to_string(*count) + " needed", place);
        }
        if (s >= sectorCount_ || s >= kMaxRegularSector)
            return parseError(0, "the chain reaches " + sectorName(s) + (s < kMaxRegularSector ? ", past the file's " + std::to_string(sectorCount_) + " sectors" : std::string()), place);
        if (!seen.insert(s).second) return parseError(0, "the chain loops back to sector " + std::to_string(s), place);
        sectors.push_back(s);
        const auto next = nextSector(s);
        if (!next) return ParseError{next.error().offset, next.error().what, place};
        s = *next;
    }
    return sectors;
}

Parsed<Bytes> CompoundFile::readRegular(std::uint32_t start, std::uint64_t size, const std::string& place) {
    if (size > sectorCount_ * sectorSize_)
        return parseError(0, "a size of " + std::to_string(size) + " bytes, more than the file's sectors hold", place);
    const auto sectors = chain(start, ceilDiv(size, sectorSize_), place);
    if (!sectors) return sectors.error();
    Bytes out;
    out.reserve(static_cast<std::size_t>(size));
    for (const std::uint32_t s : *sectors) {
        const std::uint64_t part = std::min<std::uint64_t>(sectorSize_, size - out.size());
        const std::uint64_t at = (std::uint64_t{s} + 1) * sectorSize_;
        const auto bytes = source_->read(at, part);
        if (!bytes) return parseError(out.size(), "sector " + std::to_string(s) + " runs past the end of the file", place);
        out.insert(out.end(), bytes->begin(), bytes->end());
    }
    return out;
}

Parsed<std::uint32_t> CompoundFile::nextMiniSector(std::uint32_t sector) {
    if (!miniFatSectors_) {
        if (miniFatCount_ > sectorCount_)
            return parseError(0x40, std::to_string(miniFatCount_) + " mini FAT sectors in a file of " + std::to_string(sectorCount_) + " sectors");
        auto sectors = chain(miniFatStart_, miniFatCount_, "the mini FAT");
        if (!sectors) return sectors.error();
        miniFatSectors_ = std::move(*sectors);
    }
    const std::uint32_t perSector = sectorSize_ / 4;
    const std::uint32_t index = sector / perSector;
    if (index >= miniFatSectors_->size())
        return parseError(0, "mini sector " + std::to_string(sector) + " lies past the mini FAT's " +
                                 std::to_string(miniFatSectors_->size()) + " sectors", "the mini FAT");
    auto cached = miniFatCache_.find(index);
    if (cached == miniFatCache_.end()) {
        const std::uint64_t at = (std::uint64_t{(*miniFatSectors_)[index]} + 1) * sectorSize_;
        auto bytes = readZeroPadded(*source_, at, sectorSize_);
        if (!bytes) return parseError(at, "mini FAT sector " + std::to_string(index) + " cannot be read");
        cached = miniFatCache_.emplace(index, std::move(*bytes)).first;
    }
    return *ByteView(cached->second).u32(4 * (sector % perSector));
}

Parsed<Bytes> CompoundFile::readMini(std::uint32_t start, std::uint64_t size, const std::string& place) {
    const Entry& root = entries_[0];
    if (size > root.size)
        return parseError(0, "a size of " + std::to_string(size) + " bytes, more than the mini stream's " + std::to_string(root.size), place);
    if (!miniStreamSectors_) {
        if (root.size > sectorCount_ * sectorSize_)
            return parseError(0, "a mini stream of " + std::to_string(root.size) + " bytes, more than the file's sectors hold", "the root entry");
        auto sectors = chain(root.start, ceilDiv(root.size, sectorSize_), "the mini stream");
        if (!sectors) return sectors.error();
        miniStreamSectors_ = std::move(*sectors);
    }
    const std::uint64_t miniCount = ceilDiv(root.size, kMiniSectorSize);
    Bytes out;
    out.reserve(static_cast<std::size_t>(size));
    std::unordered_set<std::uint32_t> seen;
    std::uint32_t m = start;
    while (out.size() < size) {
        if (m >= miniCount)
            return parseError(0, "the chain reaches " + (m >= kMaxRegularSector ? sectorName(m) : "mini sector " + std::to_string(m)) +
                                     ", past the mini stream's " + std::to_string(miniCount) + " mini sectors", place);
        if (!seen.insert(m).second) return parseError(0, "the chain loops back to mini sector " + std::to_string(m), place);
        const std::uint64_t inStream = std::uint64_t{m} * kMiniSectorSize;
        const std::uint32_t regular = (*miniStreamSectors_)[inStream / sectorSize_];
        const std::uint64_t part = std::min<std::uint64_t>(kMiniSectorSize, size - out.size());
        const auto bytes = source_->read((std::uint64_t{regular} + 1) * sectorSize_ + inStream % sectorSize_, part);
        if (!bytes) return parseError(out.size(), "mini sector " + std::to_string(m) + " runs past the end of the file", place);
        out.insert(out.end(), bytes->begin(), bytes->end());
        if (out.size() >= size) break;
        const auto next = nextMiniSector(m);
        if (!next) return next.error();
        if (*next == kEndOfChain)
            return parseError(out.size(), "the chain ends after " + std::to_string(out.size()) + " of " + std::to_string(size) + " bytes", place);
        m = *next;
    }
    return out;
}

std::string CompoundFile::entryPlace(std::uint32_t entry) const { return "directory entry " + std::to_string(entry); }

Parsed<Bytes> CompoundFile::readStream(std::uint32_t entry) {
    if (entry >= entries_.size() || entries_[entry].type != EntryType::Stream)
        return parseError(0, "not a stream", entryPlace(entry));
    const Entry& e = entries_[entry];
    if (e.size == 0) return Bytes{};
    return e.size < miniCutoff_ ? readMini(e.start, e.size, entryPlace(entry)) : readRegular(e.start, e.size, entryPlace(entry));
}

Parsed<std::vector<std::uint32_t>> CompoundFile::children(std::uint32_t storage) const {
    if (storage >= entries_.size() || (entries_[storage].type != EntryType::Storage && entries_[storage].type != EntryType::Root))
        return parseError(0, "not a storage", entryPlace(storage));
    std::vector<std::uint32_t> out;
    std::vector<bool> seen(entries_.size(), false);
    seen[storage] = true;
    std::vector<std::uint32_t> stack;
    std::uint32_t at = entries_[storage].child;
    // In-order walk of the storage's tree: left subtree, the entry, right subtree.
    while (at != kNoEntry || !stack.empty()) {
        while (at != kNoEntry) {
            if (at >= entries_.size())
                return parseError(0, "the tree names entry " + std::to_string(at) + " of " + std::to_string(entries_.size()), entryPlace(storage));
            if (seen[at]) return parseError(0, "the tree reaches entry " + std::to_string(at) + " twice", entryPlace(storage));
            seen[at] = true;
            stack.push_back(at);
            at = entries_[at].left;
        }
        const std::uint32_t node = stack.back();
        stack.pop_back();
        if (entries_[node].type != EntryType::Empty) out.push_back(node);
        at = entries_[node].right;
    }
    return out;
}

}  // namespace formats
