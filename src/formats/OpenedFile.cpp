#include "formats/OpenedFile.h"

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

// The opened file's source lent to its module, so that the file's bytes stay the opened
// file's whether or not its resources can be read.
class LentSource final : public ByteSource {
public:
    explicit LentSource(ByteSource& source) : source_(source) {}
    std::uint64_t size() const override { return source_.size(); }
    std::optional<Bytes> read(std::uint64_t offset, std::uint64_t length) override { return source_.read(offset, length); }

private:
    ByteSource& source_;
};

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

std::unique_ptr<OpenedFile> OpenedFile::fromSource(std::unique_ptr<ByteSource> source) {
    std::unique_ptr<OpenedFile> file(new OpenedFile());
    KindCheck check = checkKind(*source);
    file->kind_ = check.kind;
    file->problem_ = std::move(check.problem);
    if (check.kind == FileKind::Pe32 || check.kind == FileKind::Pe32Plus || check.kind == FileKind::Ne) {
        file->module_ = ResourceModule::open(std::make_unique<LentSource>(*source));
        if (file->module_)
            file->count_ = static_cast<int>(std::min<std::size_t>(file->module_->count(kRtGroupIcon), 0xFFFF));
        else
            file->problem_ = "its resource headers cannot be read";
    }
    // An icon file of at least one image counts as one icon.
    if (check.kind == FileKind::Ico) {
        const auto head = source->read(0, std::min<std::uint64_t>(kIconDirHeaderSize, source->size()));
        if (head && icoImageCount(*head).value_or(0) != 0) file->count_ = 1;
    }
    file->source_ = std::move(source);
    return file;
}

std::unique_ptr<ByteSource> OpenedFile::takeSource(std::unique_ptr<OpenedFile> file) {
    // The module reads through a loan of the source: it goes first.
    file->module_.reset();
    return std::move(file->source_);
}

ByteSource& OpenedFile::source() { return *source_; }
const ByteSource& OpenedFile::source() const { return *source_; }

OpenedFile::~OpenedFile() = default;

std::optional<ArgbImage> OpenedFile::icon(int index, int size) {
    if (index < 0 || index >= count_ || size <= 0) return std::nullopt;
    const auto images = imagesOf(index);
    const ArgbImage* image = firstDecoded(index, images, preferenceOrder(images, size));
    if (!image) return std::nullopt;
    if (image->width == size && image->height == size) return *image;
    return scaleImage(*image, size, size);
}

std::optional<ArgbImage> OpenedFile::largestImage(int index) {
    auto picture = groupPicture(index, 0, PictureUse::Pixels);
    if (!picture) return std::nullopt;
    return std::move(picture->pixels);
}

std::optional<PictureAtSize> OpenedFile::picture(int index, int size, PictureUse use) {
    if (size <= 0) return std::nullopt;
    return groupPicture(index, size, use);
}

std::optional<ArgbImage> OpenedFile::scaledDown(int index, int size) {
    auto picture = this->picture(index, size);
    if (!picture) return std::nullopt;
    return std::move(picture->pixels);
}

std::optional<PictureAtSize> OpenedFile::groupPicture(int index, int size, PictureUse use) {
    if (index < 0 || index >= count_) return std::nullopt;
    const auto images = readGroupImages(*this, index);
    std::vector<ByteView> views;
    views.reserve(images.size());
    for (const auto& image : images) views.push_back(image ? ByteView(*image) : ByteView());
    if (size == 0) size = largestImageSide(views);
    // The strip asks for an icon's pictures one after the other: an image it decoded for
    // its own rule is not decoded again here.
    return pictureAtSize(views, size, use,
                         [this, index, &views](std::size_t entry) { return decodedImage(index, entry, views[entry]); });
}

std::optional<ArgbImage> OpenedFile::cursorPicture(int size) {
    if ((kind_ != FileKind::Cur && kind_ != FileKind::Ani) || !source_) return std::nullopt;
    return cursorFilePicture(*source_, size);
}

std::optional<Bytes> OpenedFile::imageData(const IconDirEntry& e) {
    if (kind_ == FileKind::Ico) return source_->read(e.imageOffset, e.bytesInRes);
    if (module_) return module_->load(kRtIcon, ResourceName::fromId(e.id));
    return std::nullopt;
}

std::uint64_t OpenedFile::fileSize() const {
    return source_->size();
}

const ArgbImage* OpenedFile::decodedImage(int index, std::size_t entry, ByteView data) {
    if (!decoded_ || decodedIndex_ != index || decodedEntry_ != entry) {
        decoded_ = decodeIconImage(data);
        decodedIndex_ = index;
        decodedEntry_ = entry;
    }
    return decoded_ ? &*decoded_ : nullptr;
}

const ArgbImage* OpenedFile::firstDecoded(int index, const std::vector<IconDirEntry>& images,
                                        const std::vector<std::size_t>& order) {
    // The large and the small picture of an icon often come from the same image (a group
    // holding one 48-pixel or 256-pixel image): it is read and decoded once for both.
    for (std::size_t i : order) {
        if (decoded_ && decodedIndex_ == index && decodedEntry_ == i) return &*decoded_;
        const auto data = imageData(images[i]);
        if (!data) continue;
        if (const ArgbImage* image = decodedImage(index, i, *data)) return image;
    }
    return nullptr;
}

std::optional<ResourceName> OpenedFile::groupName(int index) {
    if (!module_ || index < 0) return std::nullopt;
    const auto names = module_->names(kRtGroupIcon);
    if (!names || static_cast<std::size_t>(index) >= names->size()) return std::nullopt;
    return (*names)[static_cast<std::size_t>(index)];
}

std::vector<IconDirEntry> OpenedFile::imagesOf(int index) {
    std::optional<std::vector<IconDirEntry>> entries;
    if (kind_ == FileKind::Ico) {
        const auto header = source_->read(0, kIconDirHeaderSize);
        const auto count = header ? icoImageCount(*header) : std::nullopt;
        if (!count) return {};
        const auto dir = source_->read(0, kIconDirHeaderSize + kIcoEntrySize * *count);
        if (dir) entries = readIcoDirectory(*dir);
    } else if (module_) {
        const auto group = module_->loadAt(kRtGroupIcon, static_cast<std::size_t>(index));
        if (group) entries = readGroupDirectory(*group);
    }
    return entries ? std::move(*entries) : std::vector<IconDirEntry>{};
}

}  // namespace formats
