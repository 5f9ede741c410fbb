// Installer packages: the compound file on its own (the root's children, the first
// streams read whole, each exactly its entry's size), then the package's tables and the
// streams of its first icon rows.
#include "FuzzCommon.h"
#include "formats/MsiPackage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const formats::Bytes bytes(data, data + size);
    if (auto file = formats::CompoundFile::open(std::make_unique<formats::MemorySource>(bytes))) {
        if (const auto children = (*file)->children(0)) {
            std::size_t read = 0;
            for (const std::uint32_t id : *children) {
                FUZZ_CHECK(id < (*file)->entries().size());
                if ((*file)->entries()[id].type != formats::CompoundFile::EntryType::Stream || ++read > 24) continue;
                if (const auto stream = (*file)->readStream(id)) FUZZ_CHECK(stream->size() == (*file)->entries()[id].size);
            }
        }
    }
    auto package = formats::MsiPackage::open(std::make_unique<formats::MemorySource>(bytes));
    if (!package) return 0;
    const auto& rows = (*package)->icons();
    if (const auto row = (*package)->packageIconRow()) FUZZ_CHECK(*row < rows.size());
    for (std::size_t i = 0; i < rows.size() && i < 8; ++i) {
        const auto icon = (*package)->readIcon(i);
        FUZZ_CHECK(static_cast<bool>(icon) || !icon.error().what.empty());
    }
    return 0;
}
