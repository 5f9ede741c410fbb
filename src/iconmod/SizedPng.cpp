#include "iconmod/SizedPng.h"

#include <algorithm>

namespace iconmod {
namespace {

std::vector<formats::ByteView> viewsOf(const IconImageSet& set) {
    std::vector<formats::ByteView> views;
    views.reserve(set.Images.size());
    for (const IconImage& image : set.Images) views.push_back(image.view());
    return views;
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

std::optional<formats::Bytes> pngFile(formats::PictureAtSize picture, PngCompression compression) {
    if (picture.png) return std::move(picture.png);
    return encodePng(picture.pixels, compression);
}

std::optional<formats::Bytes> sizedPng(const IconImageSet& set, int size, PngCompression compression) {
    auto picture = formats::pictureAtSize(viewsOf(set), size, formats::PictureUse::PngFile);
    if (!picture) return std::nullopt;
    return pngFile(std::move(*picture), compression);
}

std::optional<formats::Bytes> largestPng(const IconImageSet& set, PngCompression compression) {
    return sizedPng(set, formats::largestImageSide(viewsOf(set)), compression);
}

}  // namespace iconmod
