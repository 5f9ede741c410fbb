#include "formats/PictureAtSize.h"

#include <algorithm>
#include <map>
#include <tuple>

#include "formats/OpenedFile.h"

namespace formats {
namespace {

// Images tried for one picture before giving up, so that one broken image does not hide
// the picture (and a hostile directory of thousands of entries costs little).
constexpr std::size_t kMaxTries = 4;

}  // namespace

std::vector<std::size_t> scaleDownOrder(const std::vector<std::optional<ImageInfo>>& images, int size) {
    // Rank: 0 exact, 1 larger, 2 smaller; then the distance from the size (larger ones
    // nearest first, smaller ones largest first); then the deeper image.
    auto rank = [&images, size](std::size_t i) {
        const ImageInfo& image = *images[i];
        const int group = (image.width == size && image.height == size) ? 0 : (std::max(image.width, image.height) > size ? 1 : 2);
        const std::int64_t area = std::int64_t{image.width} * image.height;
        return std::tuple<int, std::int64_t, int>(group, group == 1 ? area : -area, -image.colorBits);
    };
    std::vector<std::size_t> order;
    order.reserve(images.size());
    for (std::size_t i = 0; i < images.size(); ++i)
        if (images[i]) order.push_back(i);
    std::stable_sort(order.begin(), order.end(), [&rank](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    return order;
}

std::optional<PictureAtSize> pictureAtSize(const std::vector<ByteView>& images, int size, PictureUse use,
                                           const ImageDecoder& decode) {
    if (size <= 0) return std::nullopt;
    std::vector<std::optional<ImageInfo>> sizes;
    sizes.reserve(images.size());
    for (const ByteView& image : images) sizes.push_back(imageHeaderInfo(image));
    std::vector<std::size_t> order = scaleDownOrder(sizes, size);
    if (order.size() > kMaxTries) order.resize(kMaxTries);

    std::optional<ArgbImage> decoded;
    for (std::size_t i : order) {
        const ImageInfo& info = *sizes[i];
        if (use == PictureUse::PngFile && info.isPng && info.width == size && info.height == size) {
            if (const auto length = wholePngLength(images[i])) {
                PictureAtSize picture;
                picture.image = i;
                picture.png = Bytes(images[i].data(), images[i].data() + *length);
                return picture;
            }
        }
        const ArgbImage* image = nullptr;
        if (decode) {
            image = decode(i);
        } else {
            decoded = decodeIconImage(images[i]);
            image = decoded ? &*decoded : nullptr;
        }
        if (!image) continue;
        PictureAtSize picture;
        picture.image = i;
        picture.pixels = shrinkToFit(*image, size);
        return picture;
    }
    return std::nullopt;
}

int largestImageSide(const std::vector<ByteView>& images) {
    int side = 0;
    for (const ByteView& image : images)
        if (const auto info = imageHeaderInfo(image)) side = std::max({side, info->width, info->height});
    return side;
}

std::vector<std::shared_ptr<const Bytes>> readGroupImages(OpenedFile& file, int index) {
    const std::vector<IconDirEntry> entries = file.imagesOf(index);
    std::vector<std::shared_ptr<const Bytes>> images(entries.size());
    // An .ico entry is its (offset, length) in the file; a group entry its RT_ICON id.
    using Key = std::tuple<std::uint32_t, std::uint32_t, std::uint16_t>;
    std::map<Key, std::shared_ptr<const Bytes>> read;
    // Once an image would take the bytes read past the file's size, nothing more is read.
    std::uint64_t budget = file.fileSize();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IconDirEntry& e = entries[i];
        const Key key{e.imageOffset, e.bytesInRes, e.id};
        auto it = read.find(key);
        if (it == read.end()) {
            auto data = file.imageData(e);
            if (data && data->size() > budget) break;
            if (data) budget -= data->size();
            it = read.emplace(key, data ? std::make_shared<const Bytes>(std::move(*data)) : nullptr).first;
        }
        images[i] = it->second;
    }
    return images;
}

}  // namespace formats
