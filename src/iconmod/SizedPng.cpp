#include "iconmod/SizedPng.h"

#include <algorithm>

#include "formats/IconDecode.h"
#include "formats/IconDirectory.h"
#include "formats/IconFile.h"

namespace iconmod {
namespace {

// Images tried before giving up, so that one broken image does not hide the picture.
constexpr std::size_t kMaxTries = 4;

std::vector<formats::IconDirEntry> entriesOf(const IconImageSet& set) {
    std::vector<formats::IconDirEntry> entries;
    entries.reserve(set.Images.size());
    for (const IconImage& image : set.Images) {
        formats::IconDirEntry e;
        e.width = image.Width;
        e.height = image.Height;
        e.bitCount = image.ColorBits;
        entries.push_back(e);
    }
    return entries;
}

}  // namespace

std::vector<int> heldSizes(const IconImageSet& set) {
    std::vector<int> sizes;
    for (const IconImage& image : set.Images)
        if (image.Width == image.Height && image.Width > 0) sizes.push_back(image.Width);
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

std::vector<int> offeredSizes(const IconImageSet& set, const std::vector<int>& standard) {
    std::vector<int> sizes = heldSizes(set);
    int largest = 0;
    for (const IconImage& image : set.Images) largest = std::max(largest, std::max(image.Width, image.Height));
    for (int size : standard)
        if (size < largest) sizes.push_back(size);
    std::sort(sizes.begin(), sizes.end());
    sizes.erase(std::unique(sizes.begin(), sizes.end()), sizes.end());
    return sizes;
}

std::optional<formats::Bytes> sizedPng(const IconImageSet& set, int size, PngCompression compression) {
    if (size <= 0) return std::nullopt;
    auto order = formats::scaleDownOrder(entriesOf(set), size);
    if (order.size() > kMaxTries) order.resize(kMaxTries);
    for (std::size_t i : order) {
        const IconImage& image = set.Images[i];
        if (image.IsPng && image.Width == size && image.Height == size) {
            if (const auto length = formats::wholePngLength(image.view()))
                return formats::Bytes(image.Data.begin(), image.Data.begin() + *length);
        }
        const auto picture = formats::decodeIconImage(image.view());
        if (!picture) continue;
        return encodePng(formats::shrinkToFit(*picture, size), compression);
    }
    return std::nullopt;
}

}  // namespace iconmod
