// Internal to the module resource reader: the two format readers behind
// ResourceModule::open, and the text helpers they share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "formats/ByteView.h"
#include "formats/ModuleResources.h"

namespace formats::detail {

// A PE32 or PE32+ module whose "PE\0\0" signature is at peOffset. nullptr when its
// headers are not those of either format or do not fit the file.
std::unique_ptr<ResourceModule> openPe(std::unique_ptr<ByteSource> source, std::uint64_t peOffset);

// A 16-bit NE module whose "NE" header is at neOffset. nullptr when the header does not
// fit the file.
std::unique_ptr<ResourceModule> openNe(std::unique_ptr<ByteSource> source, std::uint64_t neOffset);

// UTF-16LE code units (an even number of bytes; an odd last byte is ignored) as UTF-8.
// Unpaired surrogates become U+FFFD.
std::string utf16leToUtf8(ByteView units);

}  // namespace formats::detail
