// The module resource reader on hostile 16-bit NE modules (programs, libraries, .icl files): open, then list and load
// every resource of every standard type, by position and by name. The seeds of this
// harness are NE modules; the reader itself decides the format from the bytes.
#include <memory>

#include "FuzzCommon.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::setUp();
    auto source = std::make_unique<formats::MemorySource>(formats::Bytes(data, data + size));
    if (auto module = formats::ResourceModule::open(std::move(source))) fuzz::exerciseModule(*module);
    return 0;
}
