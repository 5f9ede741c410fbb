#include "formats/IconFile.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>
#include <utility>
#include <vector>

#include "formats/CursorFile.h"
#include "formats/IconDecode.h"
#include "formats/ModuleResources.h"

namespace formats {
namespace {

constexpr int kTargetDepth = 32;

// Images tried for one picture before giving up, so that one broken image does not hide
// the icon (and a hostile directory of thousands of entries costs little).
constexpr std::size_t kMaxTries = 4;

int sizeOf(int stored, int other) { return stored == 0 && other == 0 ? 256 : stored; }

// The images of a directory in the order they should be tried for a size: the chosen one
// first, then a few runners-up by distance and depth.
std::vector<std::size_t> preferenceOrder(const std::vector<IconDirEntry>& entries, int size) {
    std::vector<std::size_t> order;
    const int first = chooseIconEntry(entries, size, size);
    if (first < 0) return order;
    order.push_back(static_cast<std::size_t>(first));
    auto rank = [&entries, size](std::size_t i) {
        const IconDirEntry& e = entries[i];
        const int d = std::abs(sizeOf(e.width, e.height) - size) + std::abs(sizeOf(e.height, e.width) - size);
        return std::pair<int, int>(d, std::abs(kTargetDepth - e.bitCount));
    };
    std::vector<std::size_t> rest;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (i != static_cast<std::size_t>(first)) rest.push_back(i);
    const std::size_t keep = std::min(rest.size(), kMaxTries - 1);
    std::partial_sort(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(keep), rest.end(),
                      [&rank](std::size_t a, std::size_t b) { return rank(a) < rank(b) || (rank(a) == rank(b) && a < b); });
    order.insert(order.end(), rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(keep));
    return order;
}

// The largest images first: by area, then depth, then directory order; at most kMaxTries.
std::vector<std::size_t> largestFirst(const std::vector<IconDirEntry>& entries) {
    auto rank = [&entries](std::size_t i) {
        const IconDirEntry& e = entries[i];
        const std::int64_t area = std::int64_t{sizeOf(e.width, e.height)} * sizeOf(e.height, e.width);
        return std::pair<std::int64_t, int>(area, e.bitCount);
    };
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    const std::size_t keep = std::min(order.size(), kMaxTries);
    std::partial_sort(order.begin(), order.begin() + static_cast<std::ptrdiff_t>(keep), order.end(),
                      [&rank](std::size_t a, std::size_t b) { return rank(a) > rank(b) || (rank(a) == rank(b) && a < b); });
    order.resize(keep);
    return order;
}

}  // namespace

int chooseIconEntry(const std::vector<IconDirEntry>& entries, int width, int height) {
    int best = -1;
    int bestDistance = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const IconDirEntry& e = entries[i];
        const int d = std::abs(sizeOf(e.width, e.height) - width) + std::abs(sizeOf(e.height, e.width) - height);
        if (best < 0 || d < bestDistance) {
            best = static_cast<int>(i);
            bestDistance = d;
        }
    }
    if (best < 0) return -1;
    const IconDirEntry& winner = entries[static_cast<std::size_t>(best)];
    const int dx = std::abs(sizeOf(winner.width, winner.height) - width);
    const int dy = std::abs(sizeOf(winner.height, winner.width) - height);
    int chosen = best;
    int bestDepth = std::abs(kTargetDepth - winner.bitCount);
    for (std::size_t i = static_cast<std::size_t>(best) + 1; i < entries.size(); ++i) {
        const IconDirEntry& e = entries[i];
        if (std::abs(sizeOf(e.width, e.height) - width) != dx || std::abs(sizeOf(e.height, e.width) - height) != dy) continue;
        const int depth = std::abs(kTargetDepth - e.bitCount);
        if (depth < bestDepth) {
            chosen = static_cast<int>(i);
            bestDepth = depth;
        }
    }
    return chosen;
}

std::vector<std::size_t> scaleDownOrder(const std::vector<IconDirEntry>& entries, int size) {
    // Rank: 0 exact, 1 larger, 2 smaller; then the distance from the size (larger ones
    // nearest first, smaller ones largest first); then the deeper image.
    auto rank = [&entries, size](std::size_t i) {
        const IconDirEntry& e = entries[i];
        const int w = sizeOf(e.width, e.height);
        const int h = sizeOf(e.height, e.width);
        const int side = std::max(w, h);
        const int group = (w == size && h == size) ? 0 : (side > size ? 1 : 2);
        const std::int64_t area = std::int64_t{w} * h;
        const std::int64_t distance = group == 1 ? area : -area;
        return std::tuple<int, std::int64_t, int>(group, distance, -e.bitCount);
    };
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&rank](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    return order;
}

int chooseScaleDownEntry(const std::vector<IconDirEntry>& entries, int size) {
    const auto order = scaleDownOrder(entries, size);
    return order.empty() ? -1 : static_cast<int>(order.front());
}

std::unique_ptr<IconFile> IconFile::fromSource(std::unique_ptr<ByteSource> source) {
    std::unique_ptr<IconFile> file(new IconFile());
    const auto head = source->read(0, std::min<std::uint64_t>(6, source->size()));
    const ByteView h(head ? ByteView(*head) : ByteView());
    if (h.startsWith("MZ")) {
        file->module_ = ResourceModule::open(std::move(source));
        if (file->module_) {
            file->kind_ = Kind::Module;
            file->count_ = static_cast<int>(std::min<std::size_t>(file->module_->count(kRtGroupIcon), 0xFFFF));
        }
        return file;
    }
    // An icon file: reserved 0, type 1 and at least one image count as one icon.
    if (icoImageCount(h).value_or(0) != 0) {
        file->kind_ = Kind::Ico;
        file->count_ = 1;
    }
    file->source_ = std::move(source);
    return file;
}

IconFile::~IconFile() = default;

std::optional<ArgbImage> IconFile::icon(int index, int size) {
    if (index < 0 || index >= count_ || size <= 0) return std::nullopt;
    const auto images = imagesOf(index);
    const ArgbImage* image = firstDecoded(index, images, preferenceOrder(images, size));
    if (!image) return std::nullopt;
    if (image->width == size && image->height == size) return *image;
    return scaleImage(*image, size, size);
}

std::optional<ArgbImage> IconFile::largestImage(int index) {
    if (index < 0 || index >= count_) return std::nullopt;
    const auto images = imagesOf(index);
    const ArgbImage* image = firstDecoded(index, images, largestFirst(images));
    if (!image) return std::nullopt;
    return *image;
}

std::optional<ArgbImage> IconFile::scaledDown(int index, int size) {
    if (index < 0 || index >= count_ || size <= 0) return std::nullopt;
    const auto images = imagesOf(index);
    auto order = scaleDownOrder(images, size);
    if (order.size() > kMaxTries) order.resize(kMaxTries);
    const ArgbImage* image = firstDecoded(index, images, order);
    if (!image) return std::nullopt;
    return shrinkToFit(*image, size);
}

std::optional<ArgbImage> IconFile::cursorPicture(int size) {
    if (kind_ != Kind::None || !source_) return std::nullopt;
    return cursorFilePicture(*source_, size);
}

std::optional<Bytes> IconFile::wholePngOfSize(int index, int size) {
    if (index < 0 || index >= count_ || size <= 0) return std::nullopt;
    const auto images = imagesOf(index);
    const int chosen = chooseScaleDownEntry(images, size);
    if (chosen < 0) return std::nullopt;
    // Only an image the directory lists at that size is read here; any other is drawn.
    const IconDirEntry& e = images[static_cast<std::size_t>(chosen)];
    if (sizeOf(e.width, e.height) != size || sizeOf(e.height, e.width) != size) return std::nullopt;
    auto data = imageData(e);
    if (!data) return std::nullopt;
    const auto info = readPngInfo(*data);
    if (!info || info->width != size || info->height != size) return std::nullopt;
    const auto length = wholePngLength(*data);
    if (!length) return std::nullopt;
    data->resize(*length);
    return data;
}

std::optional<Bytes> IconFile::imageData(const IconDirEntry& e) {
    if (kind_ == Kind::Ico) return source_->read(e.imageOffset, e.bytesInRes);
    if (kind_ == Kind::Module) return module_->load(kRtIcon, ResourceName::fromId(e.id));
    return std::nullopt;
}

const ArgbImage* IconFile::firstDecoded(int index, const std::vector<IconDirEntry>& images,
                                        const std::vector<std::size_t>& order) {
    // The large and the small picture of an icon often come from the same image (a group
    // holding one 48-pixel or 256-pixel image): it is read and decoded once for both.
    for (std::size_t i : order) {
        if (!decoded_ || decodedIndex_ != index || decodedEntry_ != i) {
            const auto data = imageData(images[i]);
            decoded_ = data ? decodeIconImage(*data) : std::nullopt;
            decodedIndex_ = index;
            decodedEntry_ = i;
        }
        if (decoded_) return &*decoded_;
    }
    return nullptr;
}

std::vector<IconDirEntry> IconFile::imagesOf(int index) {
    std::optional<std::vector<IconDirEntry>> entries;
    if (kind_ == Kind::Ico) {
        const auto header = source_->read(0, kIconDirHeaderSize);
        const auto count = header ? icoImageCount(*header) : std::nullopt;
        if (!count) return {};
        const auto dir = source_->read(0, kIconDirHeaderSize + kIcoEntrySize * *count);
        if (dir) entries = readIcoDirectory(*dir);
    } else if (kind_ == Kind::Module) {
        const auto group = module_->loadAt(kRtGroupIcon, static_cast<std::size_t>(index));
        if (group) entries = readGroupDirectory(*group);
    }
    return entries ? std::move(*entries) : std::vector<IconDirEntry>{};
}

}  // namespace formats
