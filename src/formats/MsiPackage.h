// Installer packages (.msi): a compound file whose root holds the database's tables as
// streams. Stream names are packed (64 characters, two to a UTF-16 unit, a table's name
// marked by a leading unit). Strings live in a pool (!_StringPool: the code page, then a
// length and reference count per string; !_StringData: their bytes one after another);
// tables are stored column by column, their layouts listed in _Tables and _Columns. What
// Vexil needs of a package: the rows of the Icon table (Name, and the stream Icon.NAME
// with a whole .ico file or a module), and the row the Property table's ARPPRODUCTICON
// names.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ByteView.h"
#include "formats/CompoundFile.h"
#include "formats/StoredText.h"

namespace formats {

struct MsiIconRow {
    StoredText name;  // decoded to UTF-8 where the package's code page allows
    std::optional<std::uint32_t> stream;  // the directory entry of Icon.NAME; nullopt when missing
};

class MsiPackage {
public:
    // Decodes bytes of a code page to UTF-8 (nullopt when it cannot). Code pages 1252 and
    // 65001, and plain ASCII, are decoded without it.
    using Decoder = std::function<std::optional<std::string>(std::string_view bytes, std::uint32_t codePage)>;

    // Opens the compound file and reads the string pool, the table layouts, the Property
    // table's ARPPRODUCTICON and the Icon table's rows. A package without an Icon table
    // has no rows.
    static Parsed<std::unique_ptr<MsiPackage>> open(std::unique_ptr<ByteSource> source, const Decoder& decoder = {});

    // The string pool's code page (0: neutral).
    std::uint32_t codePage() const { return codePage_; }
    // The Icon table's rows, in table order.
    const std::vector<MsiIconRow>& icons() const { return icons_; }
    // The row ARPPRODUCTICON names, when it names one of them.
    std::optional<std::size_t> productIconRow() const { return productRow_; }
    // The package's icon: the row ARPPRODUCTICON names, else the first; nullopt without rows.
    std::optional<std::size_t> packageIconRow() const;
    // The bytes of a row's stream (a whole .ico file or a module), read now.
    Parsed<Bytes> readIcon(std::size_t row);

    CompoundFile& file() { return *file_; }

private:
    MsiPackage() = default;
    std::unique_ptr<CompoundFile> file_;
    std::uint32_t codePage_ = 0;
    std::vector<MsiIconRow> icons_;
    std::optional<std::size_t> productRow_;
};

// A stream name as the directory stores it, unpacked: the table marker becomes '!', other
// units that are no packed characters stay as they are (UTF-8 out).
std::string decodeMsiStreamName(const std::u16string& stored);
// The reverse, for names of the packed alphabet and others (fixtures and look-ups).
std::u16string encodeMsiStreamName(std::string_view name, bool table);

}  // namespace formats
