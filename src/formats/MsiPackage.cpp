#include "formats/MsiPackage.h"

#include <algorithm>
#include <map>

namespace formats {

namespace {

constexpr char16_t kTableMarker = 0x4840;
constexpr std::uint16_t kTypeString = 0x0800;
constexpr std::uint16_t kTypeValid = 0x0100;
constexpr std::uint16_t kTypeNullable = 0x1000;

int packedIndex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 36;
    if (c == '.') return 62;
    if (c == '_') return 63;
    return -1;
}

char packedChar(unsigned index) {
    static constexpr char kAlphabet[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz._";
    return kAlphabet[index & 0x3F];
}

// A table read from its stream: columns of fixed widths, stored one after another.
struct Column {
    std::string name;
    std::uint16_t type = 0;
    unsigned width = 2;
    bool isString = false;
};

struct Table {
    std::vector<Column> columns;
    Bytes data;
    std::uint64_t rows = 0;

    // The raw value of column c in row r.
    std::uint32_t cell(std::uint64_t r, std::size_t c) const {
        std::uint64_t at = 0;
        for (std::size_t k = 0; k < c; ++k) at += rows * columns[k].width;
        at += r * columns[c].width;
        std::uint32_t v = 0;
        for (unsigned b = 0; b < columns[c].width; ++b) v |= static_cast<std::uint32_t>(data[at + b]) << (8 * b);
        return v;
    }
    std::optional<std::size_t> column(std::string_view name) const {
        for (std::size_t i = 0; i < columns.size(); ++i)
            if (columns[i].name == name) return i;
        return std::nullopt;
    }
};

class Database {
public:
    Database(CompoundFile& file, std::map<std::string, std::uint32_t, std::less<>> streams) : file_(file), streams_(std::move(streams)) {}

    std::optional<std::uint32_t> stream(std::string_view name) const {
        const auto it = streams_.find(name);
        if (it == streams_.end()) return std::nullopt;
        return it->second;
    }

    Parsed<Bytes> readNamed(std::string_view name, bool required) {
        const auto id = stream(name);
        if (!id) {
            if (required) return parseError(0, "the package has no stream " + std::string(name));
            return Bytes{};
        }
        auto bytes = file_.readStream(*id);
        if (!bytes) return ParseError{bytes.error().offset, bytes.error().what, "stream " + std::string(name)};
        return bytes;
    }

    std::optional<ParseError> readStrings() {
        auto pool = readNamed("!_StringPool", true);
        if (!pool) return pool.error();
        auto data = readNamed("!_StringData", true);
        if (!data) return data.error();
        data_ = std::move(*data);
        const ByteView p(*pool);
        if (p.size() < 4) return std::nullopt;
        codePage_ = *p.u16(0) | (std::uint32_t{*p.u16(2)} << 16);
        refSize_ = (codePage_ & 0x80000000u) ? 3 : 2;
        codePage_ &= 0x7FFFFFFFu;
        const std::uint64_t count = p.size() / 4;
        strings_.reserve(static_cast<std::size_t>(count));
        strings_.push_back({0, 0});  // id 0: no string
        std::uint64_t offset = 0;
        for (std::uint64_t i = 1; i < count;) {
            std::uint32_t length = *p.u16(4 * i);
            const std::uint16_t refs = *p.u16(4 * i + 2);
            if (length == 0 && refs != 0) {
                // A string past 64 KiB: this entry is empty, the next holds its length.
                if (i + 1 >= count) return parseError(4 * i, "string " + std::to_string(strings_.size()) + " has no length entry", "stream !_StringPool");
                length = *p.u16(4 * i + 4) | (std::uint32_t{*p.u16(4 * i + 6)} << 16);
                i += 2;
            } else {
                i += 1;
            }
            if (length > data_.size() - offset)
                return parseError(offset, "string " + std::to_string(strings_.size()) + " of " + std::to_string(length) +
                                              " bytes runs past the end of the string data (" + std::to_string(data_.size()) + " bytes)",
                                  "stream !_StringData");
            strings_.push_back({offset, length});
            offset += length;
        }
        return std::nullopt;
    }

    std::uint32_t codePage() const { return codePage_; }
    std::size_t stringCount() const { return strings_.size(); }

    // String `id` as stored (empty for 0); nullopt past the pool.
    std::optional<std::string_view> string(std::uint32_t id) const {
        if (id >= strings_.size()) return std::nullopt;
        return std::string_view(reinterpret_cast<const char*>(data_.data()) + strings_[id].first, strings_[id].second);
    }

    // A table's layout from _Columns, its rows from its stream. A table _Tables does not
    // list has no rows.
    Parsed<Table> table(std::string_view name) {
        if (!tablesRead_) {
            auto tables = fixedTable("_Tables", {{"Name", kTypeString | kTypeValid, refSize_, true}});
            if (!tables) return tables.error();
            for (std::uint64_t r = 0; r < tables->rows; ++r) {
                const auto n = string(tables->cell(r, 0));
                if (!n) return stringError("_Tables", r, tables->cell(r, 0));
                tableNames_.emplace_back(*n);
            }
            auto columns = fixedTable("_Columns", {{"Table", kTypeString | kTypeValid, refSize_, true},
                                                   {"Number", 0x0102, 2, false},
                                                   {"Name", kTypeString | kTypeValid, refSize_, true},
                                                   {"Type", 0x0102, 2, false}});
            if (!columns) return columns.error();
            columns_ = std::move(*columns);
            tablesRead_ = true;
        }
        Table out;
        if (std::find(tableNames_.begin(), tableNames_.end(), name) == tableNames_.end()) return out;
        std::vector<std::pair<std::uint32_t, Column>> numbered;
        for (std::uint64_t r = 0; r < columns_.rows; ++r) {
            const auto table = string(columns_.cell(r, 0));
            if (!table) return stringError("_Columns", r, columns_.cell(r, 0));
            if (*table != name) continue;
            const auto colName = string(columns_.cell(r, 2));
            if (!colName) return stringError("_Columns", r, columns_.cell(r, 2));
            Column c;
            c.name = std::string(*colName);
            c.type = static_cast<std::uint16_t>(columns_.cell(r, 3) ^ 0x8000);
            const bool binary = (c.type & ~kTypeNullable) == (kTypeString | kTypeValid);
            c.isString = (c.type & kTypeString) && !binary;
            c.width = binary ? 2 : c.isString ? refSize_ : (c.type & 0xFF) <= 2 ? 2 : 4;
            numbered.emplace_back(columns_.cell(r, 1) ^ 0x8000, std::move(c));
        }
        std::stable_sort(numbered.begin(), numbered.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto& [number, c] : numbered) out.columns.push_back(std::move(c));
        return withRows(std::move(out), name);
    }

    ParseError stringError(std::string_view table, std::uint64_t row, std::uint32_t id) const {
        return parseError(0, "row " + std::to_string(row) + " names string " + std::to_string(id) + ", past the pool's " +
                                 std::to_string(strings_.size()) + " strings",
                          "table " + std::string(table));
    }

private:
    Parsed<Table> fixedTable(std::string_view name, std::vector<Column> columns) {
        Table t;
        t.columns = std::move(columns);
        return withRows(std::move(t), name);
    }

    Parsed<Table> withRows(Table t, std::string_view name) {
        auto data = readNamed("!" + std::string(name), false);
        if (!data) return data.error();
        std::uint64_t rowSize = 0;
        for (const Column& c : t.columns) rowSize += c.width;
        t.data = std::move(*data);
        t.rows = rowSize ? t.data.size() / rowSize : 0;
        return t;
    }

    CompoundFile& file_;
    std::map<std::string, std::uint32_t, std::less<>> streams_;
    Bytes data_;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> strings_;
    std::uint32_t codePage_ = 0;
    unsigned refSize_ = 2;
    bool tablesRead_ = false;
    std::vector<std::string> tableNames_;
    Table columns_;
};

}  // namespace

std::string decodeMsiStreamName(const std::u16string& stored) {
    std::u16string units;
    for (const char16_t u : stored) {
        if (u == kTableMarker) {
            units.push_back(u'!');
        } else if (u >= 0x4800 && u < 0x4840) {
            units.push_back(static_cast<char16_t>(packedChar(u - 0x4800)));
        } else if (u >= 0x3800 && u < 0x4800) {
            units.push_back(static_cast<char16_t>(packedChar(u - 0x3800)));
            units.push_back(static_cast<char16_t>(packedChar((u - 0x3800) >> 6)));
        } else {
            units.push_back(u);
        }
    }
    return utf16ToUtf8(units);
}

std::u16string encodeMsiStreamName(std::string_view name, bool table) {
    const std::u16string units = utf8ToUtf16(name);
    std::u16string out;
    if (table) out.push_back(kTableMarker);
    for (std::size_t i = 0; i < units.size(); ++i) {
        const int a = units[i] < 0x80 ? packedIndex(static_cast<char>(units[i])) : -1;
        if (a < 0) {
            out.push_back(units[i]);
            continue;
        }
        const int b = i + 1 < units.size() && units[i + 1] < 0x80 ? packedIndex(static_cast<char>(units[i + 1])) : -1;
        if (b >= 0) {
            out.push_back(static_cast<char16_t>(0x3800 + a + (b << 6)));
            ++i;
        } else {
            out.push_back(static_cast<char16_t>(0x4800 + a));
        }
    }
    return out;
}

Parsed<std::unique_ptr<MsiPackage>> MsiPackage::open(std::unique_ptr<ByteSource> source, const Decoder& decoder) {
    auto file = CompoundFile::open(std::move(source));
    if (!file) return file.error();
    const auto children = (*file)->children(0);
    if (!children) return children.error();
    // Streams by their unpacked names; the first of a name counts.
    std::map<std::string, std::uint32_t, std::less<>> streams;
    for (const std::uint32_t id : *children)
        if ((*file)->entries()[id].type == CompoundFile::EntryType::Stream)
            streams.emplace(decodeMsiStreamName((*file)->entries()[id].name), id);

    std::unique_ptr<MsiPackage> package(new MsiPackage);
    package->file_ = std::move(*file);
    Database db(*package->file_, std::move(streams));
    if (auto error = db.readStrings()) return *error;
    package->codePage_ = db.codePage();
    const auto text = [&](std::string_view bytes) -> StoredText {
        const std::uint32_t cp = package->codePage_;
        if (auto simple = decodeSimpleCodePage(bytes, cp == 0 ? kAnsiCodePage : cp)) return StoredText::utf8(std::move(*simple));
        if (decoder && cp != 0)
            if (auto decoded = decoder(bytes, cp)) return StoredText::utf8(std::move(*decoded));
        return StoredText{std::string(bytes), cp};
    };

    std::optional<std::string> productName;
    auto property = db.table("Property");
    if (!property) return property.error();
    const auto key = property->column("Property"), value = property->column("Value");
    if (key && value && property->columns[*key].isString && property->columns[*value].isString) {
        for (std::uint64_t r = 0; r < property->rows && !productName; ++r) {
            const auto k = db.string(property->cell(r, *key));
            if (!k) return db.stringError("Property", r, property->cell(r, *key));
            if (*k != "ARPPRODUCTICON") continue;
            const auto v = db.string(property->cell(r, *value));
            if (!v) return db.stringError("Property", r, property->cell(r, *value));
            productName = std::string(*v);
        }
    }

    auto icon = db.table("Icon");
    if (!icon) return icon.error();
    std::optional<std::size_t> nameColumn = icon->column("Name");
    if (!nameColumn && !icon->columns.empty()) nameColumn = 0;
    if (nameColumn && icon->columns[*nameColumn].isString) {
        package->icons_.reserve(static_cast<std::size_t>(icon->rows));
        for (std::uint64_t r = 0; r < icon->rows; ++r) {
            const auto name = db.string(icon->cell(r, *nameColumn));
            if (!name) return db.stringError("Icon", r, icon->cell(r, *nameColumn));
            MsiIconRow row;
            row.name = text(*name);
            // The stream's name is the table's and the key's, in Unicode: found by the
            // decoded name (or the bytes themselves when they could not be decoded).
            row.stream = db.stream("Icon." + row.name.bytes);
            if (productName && *name == *productName && !package->productRow_) package->productRow_ = package->icons_.size();
            package->icons_.push_back(std::move(row));
        }
    }
    return package;
}

std::optional<std::size_t> MsiPackage::packageIconRow() const {
    if (productRow_) return productRow_;
    if (icons_.empty()) return std::nullopt;
    return 0;
}

Parsed<Bytes> MsiPackage::readIcon(std::size_t row) {
    if (row >= icons_.size()) return parseError(0, "no row " + std::to_string(row), "table Icon");
    if (!icons_[row].stream)
        return parseError(0, "row " + std::to_string(row) + " (" + icons_[row].name.bytes + ") has no stream Icon." + icons_[row].name.bytes,
                          "table Icon");
    auto bytes = file_->readStream(*icons_[row].stream);
    if (!bytes) return ParseError{bytes.error().offset, bytes.error().what, "stream Icon." + icons_[row].name.bytes};
    return bytes;
}

}  // namespace formats
