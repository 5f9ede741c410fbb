// Resources of 16-bit NE modules (programs, libraries and .icl icon libraries). The
// resource table runs from ne_rsrctab to ne_restab (both relative to the NE header); it is
// read once, and its TYPEINFO and NAMEINFO records are bounded by its extent.
#include <algorithm>

#include "formats/AsciiText.h"
#include "formats/ResourceReaders.h"

namespace formats::detail {

namespace {

constexpr std::uint64_t kNeHeaderSize = 0x40;
constexpr std::uint64_t kResourceTableField = 0x24;
constexpr std::uint64_t kResidentNamesField = 0x26;
constexpr std::uint64_t kTypeInfoSize = 8;
constexpr std::uint64_t kNameInfoSize = 12;
constexpr std::uint16_t kIntegerBit = 0x8000;
constexpr unsigned kMaxShift = 15;

struct NameInfo {
    std::uint16_t offset;  // in units of 1 << shift, from the start of the file
    std::uint16_t length;  // in the same units
    std::uint16_t id;      // integer id | 0x8000, or the table offset of a name
};

struct TypeInfo {
    std::uint16_t id;  // integer type | 0x8000, or the table offset of a name
    std::vector<NameInfo> names;
};

class NeModule final : public ResourceModule {
public:
    NeModule(std::unique_ptr<ByteSource> source, Bytes table) : source_(std::move(source)), table_(std::move(table)) {
        parseTable();
    }

    Format format() const override { return Format::Ne; }
    std::uint64_t fileSize() const override { return source_->size(); }
    std::size_t count(std::uint16_t type) override;
    std::optional<std::vector<ResourceName>> names(std::uint16_t type) override;
    std::optional<ResourceSpan> locate(std::uint16_t type, const ResourceName& name) override;
    std::optional<ResourceSpan> locateAt(std::uint16_t type, std::size_t index) override;
    ByteSource& file() override { return *source_; }

private:
    void parseTable();
    const TypeInfo* findType(std::uint16_t type) const;
    std::optional<std::string> tableString(std::uint16_t offset) const;
    std::optional<ResourceSpan> dataSpan(const NameInfo& info) const;

    std::unique_ptr<ByteSource> source_;
    Bytes table_;
    std::uint16_t shift_ = 0;
    std::vector<TypeInfo> types_;
};

void NeModule::parseTable() {
    const ByteView table(table_);
    const auto shift = table.u16(0);
    if (!shift) return;
    shift_ = *shift;
    std::uint64_t pos = 2;
    while (true) {
        const auto typeId = table.u16(pos);
        if (!typeId || *typeId == 0 || !table.fits(pos, kTypeInfoSize)) return;
        const std::uint16_t declared = *table.u16(pos + 2);
        pos += kTypeInfoSize;
        const std::uint64_t fitting = (table_.size() - pos) / kNameInfoSize;
        const std::uint64_t usable = std::min<std::uint64_t>(declared, fitting);
        TypeInfo type{*typeId, {}};
        type.names.reserve(static_cast<std::size_t>(usable));
        for (std::uint64_t i = 0; i < usable; ++i, pos += kNameInfoSize)
            type.names.push_back({*table.u16(pos), *table.u16(pos + 2), *table.u16(pos + 6)});
        types_.push_back(std::move(type));
        if (usable < declared) return;  // the table ends inside this type's records
    }
}

const TypeInfo* NeModule::findType(std::uint16_t type) const {
    if (type >= kIntegerBit) return nullptr;
    const auto wanted = static_cast<std::uint16_t>(type | kIntegerBit);
    const auto it = std::find_if(types_.begin(), types_.end(), [wanted](const TypeInfo& t) { return t.id == wanted; });
    return it == types_.end() ? nullptr : &*it;
}

// A name string of the table: a length byte and that many bytes.
std::optional<std::string> NeModule::tableString(std::uint16_t offset) const {
    const ByteView table(table_);
    const auto length = table.u8(offset);
    if (!length) return std::nullopt;
    const auto chars = table.sub(std::uint64_t{offset} + 1, *length);
    if (!chars) return std::nullopt;
    return std::string(chars->data(), chars->data() + chars->size());
}

// Where a resource's bytes lie: offset and length are both in alignment units. The length
// is rounded up to the alignment, so a resource at the end of a file may claim bytes past
// it; it then spans what the file holds.
std::optional<ResourceSpan> NeModule::dataSpan(const NameInfo& info) const {
    if (shift_ > kMaxShift) return std::nullopt;
    const std::uint64_t offset = std::uint64_t{info.offset} << shift_;
    const std::uint64_t length = std::uint64_t{info.length} << shift_;
    const std::uint64_t fileSize = source_->size();
    if (offset >= fileSize) return std::nullopt;
    return ResourceSpan{offset, std::min(length, fileSize - offset)};
}

std::size_t NeModule::count(std::uint16_t type) {
    const TypeInfo* info = findType(type);
    if (!info) return 0;
    // Icon groups count only when the module holds icon images too.
    if (type == kRtGroupIcon && !findType(kRtIcon)) return 0;
    return info->names.size();
}

std::optional<std::vector<ResourceName>> NeModule::names(std::uint16_t type) {
    const TypeInfo* info = findType(type);
    if (!info || info->names.empty()) return std::nullopt;
    std::vector<ResourceName> out;
    out.reserve(info->names.size());
    for (const NameInfo& n : info->names) {
        if (n.id & kIntegerBit) {
            out.push_back(ResourceName::fromId(static_cast<std::uint16_t>(n.id & ~kIntegerBit)));
        } else {
            // An unreadable name keeps its place (see loadAt) but is never found by name.
            out.push_back(ResourceName::fromString(tableString(n.id).value_or(std::string())));
        }
    }
    return out;
}

std::optional<ResourceSpan> NeModule::locate(std::uint16_t type, const ResourceName& name) {
    const TypeInfo* info = findType(type);
    if (!info) return std::nullopt;
    for (const NameInfo& n : info->names) {
        bool match = false;
        if (name.id) {
            match = *name.id < kIntegerBit && n.id == (*name.id | kIntegerBit);
        } else if (!(n.id & kIntegerBit) && !name.text.empty()) {
            const auto text = tableString(n.id);
            match = text && compareIgnoreCase(*text, name.text) == 0;
        }
        if (match) return dataSpan(n);
    }
    return std::nullopt;
}

std::optional<ResourceSpan> NeModule::locateAt(std::uint16_t type, std::size_t index) {
    const TypeInfo* info = findType(type);
    if (!info || index >= info->names.size()) return std::nullopt;
    return dataSpan(info->names[index]);
}

}  // namespace

std::unique_ptr<ResourceModule> openNe(std::unique_ptr<ByteSource> source, std::uint64_t neOffset) {
    const auto header = source->read(neOffset, kNeHeaderSize);
    if (!header) return nullptr;
    const ByteView headerView(*header);
    const std::uint16_t tableStart = *headerView.u16(kResourceTableField);
    const std::uint16_t tableEnd = *headerView.u16(kResidentNamesField);

    // A table of 8 bytes or less (or one that ends before it starts) holds no resources.
    // A table that runs past the end of the file is cut at the end.
    Bytes table;
    if (int{tableEnd} - int{tableStart} > 8) {
        const std::uint64_t start = neOffset + tableStart;
        const std::uint64_t end = std::min<std::uint64_t>(neOffset + tableEnd, source->size());
        if (start < end) {
            if (auto bytes = source->read(start, end - start)) table = std::move(*bytes);
        }
    }
    return std::make_unique<NeModule>(std::move(source), std::move(table));
}

}  // namespace formats::detail
