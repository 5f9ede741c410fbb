// Resources of PE32 and PE32+ modules: the resource directory found through data
// directory slot 2, walked as three levels (type, name, language). Every offset is checked
// against the file before it is used; the walk has a fixed depth and refuses a directory
// that points back to one of its ancestors, so no input can make it loop.
#include <algorithm>
#include <map>
#include <unordered_map>

#include "formats/AsciiText.h"
#include "formats/ResourceReaders.h"

namespace formats::detail {

namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint64_t kCoffHeaderSize = 20;
constexpr std::uint64_t kSectionHeaderSize = 40;
constexpr std::uint64_t kDirectoryHeaderSize = 16;
constexpr std::uint64_t kDirectoryEntrySize = 8;
constexpr std::uint64_t kDataEntrySize = 16;
constexpr std::uint32_t kResourceSlot = 2;
constexpr std::uint32_t kHighBit = 0x80000000u;

// Offsets inside the optional header.
constexpr std::uint64_t kOptSizeOfHeaders = 60;
constexpr std::uint64_t kOptRvaCountPe32 = 92;
constexpr std::uint64_t kOptRvaCountPe32Plus = 108;

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawPointer;
};

// One 8-byte directory entry: the name (or id) word and the target (data entry or
// subdirectory, by the high bit).
struct DirEntry {
    std::uint32_t name;
    std::uint32_t target;

    bool isNamed() const { return (name & kHighBit) != 0; }
    bool isSubdirectory() const { return (target & kHighBit) != 0; }
    std::uint32_t targetOffset() const { return target & ~kHighBit; }
};

struct Directory {
    std::uint64_t offset = 0;   // from the root
    std::size_t declared = 0;   // named + id counts of the header, bounded by the file
    std::vector<DirEntry> entries;
    // Integer id -> position of the first entry with that id, made at the first look-up by
    // id: a module of thousands of icons finds each image without walking the directory.
    std::optional<std::unordered_map<std::uint16_t, std::size_t>> firstById;

    const DirEntry* findId(std::uint16_t id) {
        if (!firstById) {
            firstById.emplace();
            firstById->reserve(entries.size());
            for (std::size_t i = 0; i < entries.size(); ++i)
                if (!entries[i].isNamed()) firstById->emplace(static_cast<std::uint16_t>(entries[i].name & 0xFFFF), i);
        }
        const auto it = firstById->find(id);
        return it == firstById->end() ? nullptr : &entries[it->second];
    }
};

class PeModule final : public ResourceModule {
public:
    PeModule(std::unique_ptr<ByteSource> source, bool plus) : source_(std::move(source)), plus_(plus) {}

    bool readHeaders(std::uint64_t peOffset);

    Format format() const override { return plus_ ? Format::Pe32Plus : Format::Pe32; }
    std::uint64_t fileSize() const override { return source_->size(); }
    std::size_t count(std::uint16_t type) override;
    std::optional<std::vector<ResourceName>> names(std::uint16_t type) override;
    std::optional<ResourceSpan> locate(std::uint16_t type, const ResourceName& name) override;
    std::optional<ResourceSpan> locateAt(std::uint16_t type, std::size_t index) override;
    ByteSource& file() override { return *source_; }
    std::optional<std::uint16_t> languageAt(std::uint16_t type, std::size_t index) override;

private:
    std::optional<std::uint64_t> rvaToOffset(std::uint32_t rva) const;
    std::size_t fittingEntries(std::uint64_t directoryOffset) const;
    std::optional<Directory> readDirectory(std::uint64_t offset, std::size_t maxEntries);
    std::optional<std::uint64_t> typeDirectoryOffset(std::uint16_t type);
    Directory* typeDirectory(std::uint16_t type);
    std::optional<std::string> entryString(const DirEntry& entry, std::uint64_t maxUnits, std::uint64_t* fileBytes = nullptr);
    std::optional<ResourceSpan> locateName(const DirEntry& nameEntry, std::uint64_t typeOffset);

    std::unique_ptr<ByteSource> source_;
    bool plus_;
    std::optional<std::uint64_t> root_;  // file offset of the root directory; none: no resources
    std::vector<Section> sections_;
    std::optional<std::optional<Directory>> rootDirectory_;
    std::map<std::uint16_t, std::optional<Directory>> typeDirectories_;
};

bool PeModule::readHeaders(std::uint64_t peOffset) {
    const std::uint64_t coff = peOffset + 4;
    // The headers are read as the loader maps them: bytes past the end of the file are zeros.
    const auto coffBytes = readZeroPadded(*source_, coff, kCoffHeaderSize);
    if (!coffBytes) return false;
    const ByteView coffView(*coffBytes);
    const std::uint16_t sectionCount = *coffView.u16(2);
    const std::uint16_t optionalSize = *coffView.u16(16);

    const std::uint64_t opt = coff + kCoffHeaderSize;
    const std::uint64_t rvaCountAt = plus_ ? kOptRvaCountPe32Plus : kOptRvaCountPe32;
    const auto optBytes = readZeroPadded(*source_, opt, rvaCountAt + 4);
    if (!optBytes) return false;
    const ByteView optView(*optBytes);
    const std::uint32_t sizeOfHeaders = *optView.u32(kOptSizeOfHeaders);
    const std::uint32_t rvaCount = *optView.u32(rvaCountAt);

    // The resource slot must be one of the slots the header declares, inside the optional
    // header; otherwise the module has no resources.
    const std::uint64_t slotAt = rvaCountAt + 4 + kResourceSlot * 8;
    if (rvaCount <= kResourceSlot || slotAt + 8 > optionalSize) return true;
    const auto slot = source_->read(opt + slotAt, 8);
    if (!slot) return true;
    const std::uint32_t resourceRva = *ByteView(*slot).u32(0);
    if (resourceRva == 0) return true;

    // The section table; sections that do not fit the file are left out.
    const std::uint64_t table = opt + optionalSize;
    const std::uint64_t fileSize = source_->size();
    const std::uint64_t fitting = table < fileSize ? (fileSize - table) / kSectionHeaderSize : 0;
    const std::uint64_t usable = std::min<std::uint64_t>(sectionCount, fitting);
    if (usable > 0) {
        const auto tableBytes = source_->read(table, usable * kSectionHeaderSize);
        if (!tableBytes) return true;
        const ByteView tableView(*tableBytes);
        for (std::uint64_t i = 0; i < usable; ++i) {
            const std::uint64_t at = i * kSectionHeaderSize;
            sections_.push_back({*tableView.u32(at + 12), *tableView.u32(at + 16), *tableView.u32(at + 20)});
        }
    }

    // The directory itself may sit inside the headers, where its RVA is its file offset.
    root_ = resourceRva < sizeOfHeaders ? std::optional<std::uint64_t>(resourceRva) : rvaToOffset(resourceRva);
    return true;
}

std::optional<std::uint64_t> PeModule::rvaToOffset(std::uint32_t rva) const {
    for (const Section& s : sections_) {
        if (rva >= s.virtualAddress && std::uint64_t{rva} < std::uint64_t{s.virtualAddress} + s.rawSize)
            return std::uint64_t{s.rawPointer} + (rva - s.virtualAddress);
    }
    return std::nullopt;
}

std::size_t PeModule::fittingEntries(std::uint64_t directoryOffset) const {
    const std::uint64_t first = *root_ + directoryOffset + kDirectoryHeaderSize;
    const std::uint64_t fileSize = source_->size();
    return first < fileSize ? static_cast<std::size_t>((fileSize - first) / kDirectoryEntrySize) : 0;
}

// Reads the directory at `offset` from the root: its header and at most maxEntries of its
// entries, never more than the file can hold.
std::optional<Directory> PeModule::readDirectory(std::uint64_t offset, std::size_t maxEntries) {
    if (!root_) return std::nullopt;
    const std::uint64_t at = *root_ + offset;
    const auto header = source_->read(at, kDirectoryHeaderSize);
    if (!header) return std::nullopt;
    const ByteView headerView(*header);
    const std::size_t total = std::size_t{*headerView.u16(12)} + *headerView.u16(14);

    Directory dir;
    dir.offset = offset;
    dir.declared = std::min(total, fittingEntries(offset));
    const std::size_t wanted = std::min(dir.declared, maxEntries);
    if (wanted == 0) return dir;
    const auto entries = source_->read(at + kDirectoryHeaderSize, wanted * kDirectoryEntrySize);
    if (!entries) return std::nullopt;
    const ByteView entriesView(*entries);
    dir.entries.reserve(wanted);
    for (std::size_t i = 0; i < wanted; ++i)
        dir.entries.push_back({*entriesView.u32(i * 8), *entriesView.u32(i * 8 + 4)});
    return dir;
}

// The root offset of the type's directory: the first integer entry of the root with that
// id that leads to a subdirectory other than the root itself.
std::optional<std::uint64_t> PeModule::typeDirectoryOffset(std::uint16_t type) {
    if (!rootDirectory_) rootDirectory_ = readDirectory(0, SIZE_MAX);
    if (!*rootDirectory_) return std::nullopt;
    for (const DirEntry& e : (*rootDirectory_)->entries) {
        if (e.isNamed() || (e.name & 0xFFFF) != type) continue;
        if (!e.isSubdirectory() || e.targetOffset() == 0) return std::nullopt;
        return e.targetOffset();
    }
    return std::nullopt;
}

Directory* PeModule::typeDirectory(std::uint16_t type) {
    auto it = typeDirectories_.find(type);
    if (it == typeDirectories_.end()) {
        const auto offset = typeDirectoryOffset(type);
        it = typeDirectories_.emplace(type, offset ? readDirectory(*offset, SIZE_MAX) : std::nullopt).first;
    }
    return it->second ? &*it->second : nullptr;
}

// The string of a named entry, or nullopt when it does not fit the file or holds more
// than maxUnits UTF-16 units. fileBytes receives the bytes it takes in the file.
std::optional<std::string> PeModule::entryString(const DirEntry& entry, std::uint64_t maxUnits,
                                                 std::uint64_t* fileBytes) {
    const std::uint64_t at = *root_ + (entry.name & ~kHighBit);
    const auto length = source_->read(at, 2);
    if (!length) return std::nullopt;
    const std::uint64_t count = *ByteView(*length).u16(0);
    if (count > maxUnits) return std::nullopt;
    const auto units = source_->read(at + 2, count * 2);
    if (!units) return std::nullopt;
    if (fileBytes) *fileBytes = 2 + count * 2;
    return utf16leToUtf8(ByteView(*units));
}

// Where the data of the first language entry under a name entry of the type directory at
// typeOffset lies. The name must lead to a directory that is neither the root nor the type's
// own, and its first entry must be a data entry.
std::optional<ResourceSpan> PeModule::locateName(const DirEntry& nameEntry, std::uint64_t typeOffset) {
    if (!nameEntry.isSubdirectory()) return std::nullopt;
    const std::uint64_t languages = nameEntry.targetOffset();
    if (languages == 0 || languages == typeOffset) return std::nullopt;
    const auto dir = readDirectory(languages, 1);
    if (!dir || dir->entries.empty() || dir->entries[0].isSubdirectory()) return std::nullopt;

    const auto dataEntry = source_->read(*root_ + dir->entries[0].target, kDataEntrySize);
    if (!dataEntry) return std::nullopt;
    const ByteView entryView(*dataEntry);
    const auto offset = rvaToOffset(*entryView.u32(0));
    const std::uint32_t size = *entryView.u32(4);
    if (!offset || !source_->fits(*offset, size)) return std::nullopt;
    return ResourceSpan{*offset, size};
}

std::size_t PeModule::count(std::uint16_t type) {
    if (const auto it = typeDirectories_.find(type); it != typeDirectories_.end())
        return it->second ? it->second->declared : 0;
    const auto offset = typeDirectoryOffset(type);
    if (!offset) return 0;
    const auto dir = readDirectory(*offset, 0);
    return dir ? dir->declared : 0;
}

std::optional<std::vector<ResourceName>> PeModule::names(std::uint16_t type) {
    const Directory* dir = typeDirectory(type);
    if (!dir || dir->entries.empty()) return std::nullopt;
    std::vector<ResourceName> out;
    out.reserve(dir->entries.size());
    // The strings of a sound directory are distinct parts of the file, so together they
    // take no more bytes than the file has. Entries that share one long string cannot
    // make a listing read (and keep) more than that.
    std::uint64_t budget = source_->size();
    for (const DirEntry& e : dir->entries) {
        if (!e.isNamed()) {
            out.push_back(ResourceName::fromId(static_cast<std::uint16_t>(e.name & 0xFFFF)));
            continue;
        }
        // A name whose string cannot be read keeps its place, so positions still match
        // loadAt(), but as an empty name it is never found by name.
        std::uint64_t used = 0;
        auto text = entryString(e, budget / 2, &used);
        budget -= std::min(budget, used);
        out.push_back(ResourceName::fromString(text.value_or(std::string())));
    }
    return out;
}

std::optional<ResourceSpan> PeModule::locate(std::uint16_t type, const ResourceName& name) {
    Directory* dir = typeDirectory(type);
    if (!dir) return std::nullopt;
    if (name.id) {
        const DirEntry* e = dir->findId(*name.id);
        return e ? locateName(*e, dir->offset) : std::nullopt;
    }
    if (name.text.empty()) return std::nullopt;
    for (const DirEntry& e : dir->entries) {
        if (!e.isNamed()) continue;
        // Every UTF-16 unit gives at least one UTF-8 byte, so a longer string cannot match.
        const auto text = entryString(e, name.text.size());
        if (text && compareIgnoreCase(*text, name.text) == 0) return locateName(e, dir->offset);
    }
    return std::nullopt;
}

std::optional<ResourceSpan> PeModule::locateAt(std::uint16_t type, std::size_t index) {
    const Directory* dir = typeDirectory(type);
    if (!dir || index >= dir->entries.size()) return std::nullopt;
    return locateName(dir->entries[index], dir->offset);
}

std::optional<std::uint16_t> PeModule::languageAt(std::uint16_t type, std::size_t index) {
    const Directory* dir = typeDirectory(type);
    if (!dir || index >= dir->entries.size()) return std::nullopt;
    const DirEntry& nameEntry = dir->entries[index];
    const std::uint64_t languages = nameEntry.targetOffset();
    if (!nameEntry.isSubdirectory() || languages == 0 || languages == dir->offset) return std::nullopt;
    const auto languageDir = readDirectory(languages, 1);
    if (!languageDir || languageDir->entries.empty() || languageDir->entries[0].isNamed()) return std::nullopt;
    return static_cast<std::uint16_t>(languageDir->entries[0].name & 0xFFFF);
}

}  // namespace

std::unique_ptr<ResourceModule> openPe(std::unique_ptr<ByteSource> source, std::uint64_t peOffset) {
    const std::uint64_t magicAt = peOffset + 4 + kCoffHeaderSize;
    const auto magicBytes = readZeroPadded(*source, magicAt, 2);
    if (!magicBytes) return nullptr;
    const std::uint16_t magic = *ByteView(*magicBytes).u16(0);
    if (magic != kMagicPe32 && magic != kMagicPe32Plus) return nullptr;
    auto module = std::make_unique<PeModule>(std::move(source), magic == kMagicPe32Plus);
    if (!module->readHeaders(peOffset)) return nullptr;
    return module;
}

}  // namespace formats::detail
