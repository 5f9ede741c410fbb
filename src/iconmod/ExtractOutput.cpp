#include "iconmod/ExtractOutput.h"

#include <memory>

#include "iconmod/SizedPng.h"
#include "platform/MbText.h"

namespace iconmod {
namespace {

// A file name may hold at most this many bytes on the usual Linux file systems.
constexpr std::size_t kMaxNameBytes = 255;
// Room kept for a collision suffix ("~" and a number).
constexpr std::size_t kSuffixRoom = 8;
// The bytes of a name that the input file's own name may take when a group name follows.
constexpr std::size_t kMaxFileShare = 160;

}  // namespace

std::optional<OutputWriter> groupWriter(QIconMod& source, ExtractFormat format, bool exact) {
    if (!source.Images || source.Images->Count() == 0) return std::nullopt;
    if (format == ExtractFormat::Png) {
        auto png = largestPng(*source.Images, PngCompression::Fast);
        if (!png) return std::nullopt;
        auto bytes = std::make_shared<const formats::Bytes>(std::move(*png));
        return OutputWriter([bytes](platform::AtomicFile& file, const std::string& path) {
            return file.create(path) && file.write(*bytes);
        });
    }
    return OutputWriter([&source, exact](platform::AtomicFile& file, const std::string& path) {
        return source.fnWriteIco(file, path, -1, exact);
    });
}

std::string_view extractExtension(ExtractFormat format) { return format == ExtractFormat::Png ? ".png" : ".ico"; }

std::string safeComponent(std::string_view text, std::size_t maxBytes) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t len = platform::charLength(text, i);
        if (out.size() + len > maxBytes) break;
        const auto c = static_cast<unsigned char>(text[i]);
        if (len == 1 && (c == '/' || c < 0x20 || c == 0x7F)) out.push_back('_');
        else out.append(text.substr(i, len));
        i += len;
    }
    return out.empty() ? std::string("_") : out;
}

std::string NameBook::take(std::string_view fileName, std::optional<std::string_view> group,
                           std::string_view extension) {
    const std::size_t room = kMaxNameBytes - kSuffixRoom - extension.size();
    std::string stem;
    if (group) {
        stem = safeComponent(fileName, kMaxFileShare) + "-";
        stem += safeComponent(*group, room - stem.size());
    } else {
        stem = safeComponent(fileName, room);
    }
    if (stem.front() == '.') stem.front() = '_';

    std::string name = stem + std::string(extension);
    for (unsigned n = 2; used_.count(platform::asciiLower(name)) != 0; ++n)
        name = stem + "~" + std::to_string(n) + std::string(extension);
    used_.insert(platform::asciiLower(name));
    return name;
}

}  // namespace iconmod
