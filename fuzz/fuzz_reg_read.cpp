// Wine registry files: keys Wine keeps the environment and folders in, found through the
// reader (links followed), and the string unescaper over the raw input.
#include "FuzzCommon.h"
#include "formats/WineRegistry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t used = 0;
    if (formats::unescapeRegistryString(text, '"', &used)) FUZZ_CHECK(used >= 1 && used <= size);
    const auto reg = formats::WineRegistry::open(formats::ByteView(data, size));
    if (!reg) return 0;
    for (const char* key : {"Software\\Microsoft\\Windows\\CurrentVersion", "System\\CurrentControlSet\\Control\\Nls\\CodePage",
                            "Environment", "A\\B\\C"}) {
        if (const auto values = reg->values(key))
            for (const auto& v : *values) FUZZ_CHECK(v.text.size() <= 4 * size + 4);
    }
    (void)reg->value("Software\\Microsoft\\Windows\\CurrentVersion", "ProgramFilesDir");
    return 0;
}
