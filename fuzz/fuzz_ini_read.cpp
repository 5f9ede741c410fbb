// INI text: the reader and the icon references of .url, desktop.ini and autorun.inf; a
// split location's path is a prefix of its text.
#include "FuzzCommon.h"
#include "formats/IniFile.h"

namespace {

void checkReference(const std::optional<formats::IniIconReference>& ref) {
    if (!ref) return;
    FUZZ_CHECK(ref->path.codePage == ref->location.codePage);
    FUZZ_CHECK(ref->path.bytes.size() <= ref->location.bytes.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto ini = formats::IniFile::read(formats::ByteView(data, size));
    if (!ini) {
        FUZZ_CHECK(ini.error().offset < size);
        return 0;
    }
    const auto url = formats::readUrlShortcut(*ini);
    checkReference(url.icon);
    checkReference(formats::desktopIniIcon(*ini));
    checkReference(formats::autorunIcon(*ini));
    const std::string text(reinterpret_cast<const char*>(data), size);
    checkReference(formats::splitIconLocation(formats::StoredText::ansi(text)));
    (void)formats::profileInt(text);
    return 0;
}
