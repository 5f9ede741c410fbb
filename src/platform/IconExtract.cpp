#include "platform/IconExtract.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "platform/IconDecode.h"
#include "platform/ModuleResources.h"

namespace platform {
namespace {

constexpr int kTargetDepth = 32;

struct Candidate {
    IconDirEntry entry;
    std::uint64_t where = 0;   // ICO: file offset; module: RT_ICON id
    std::uint64_t length = 0;  // ICO: bytes in the file
};

int sizeOf(int stored, int other) { return stored == 0 && other == 0 ? 256 : stored; }

// The images of a directory in the order they should be tried for a size: the chosen one
// first, then a few runners-up by distance and depth, so that one broken image does not hide
// the icon (and a hostile directory of thousands of entries costs little).
std::vector<std::size_t> preferenceOrder(const std::vector<IconDirEntry>& entries, int size) {
    constexpr std::size_t kMaxTries = 4;
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

std::unique_ptr<IconFile> IconFile::open(const std::string& path) {
    auto source = FileSource::open(path);
    if (!source) return nullptr;
    return fromSource(std::move(source));
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
    if (h.u16(0) == 0 && h.u16(2) == 1 && h.u16(4).value_or(0) != 0) {
        file->kind_ = Kind::Ico;
        file->count_ = 1;
    }
    file->source_ = std::move(source);
    return file;
}

IconFile::~IconFile() = default;

std::optional<ArgbImage> IconFile::icon(int index, int size) {
    if (index < 0 || index >= count_ || size <= 0) return std::nullopt;
    return kind_ == Kind::Ico ? icoIcon(size) : moduleIcon(index, size);
}

std::optional<ArgbImage> IconFile::decodeScaled(int index, std::size_t entry, int size, const ImageLoader& load) {
    // The large and the small picture of an icon often come from the same image (a group
    // holding one 48-pixel or 256-pixel image): it is read and decoded once for both.
    if (!decoded_ || decodedIndex_ != index || decodedEntry_ != entry) {
        const auto data = load();
        decoded_ = data ? decodeIconImage(*data) : std::nullopt;
        decodedIndex_ = index;
        decodedEntry_ = entry;
    }
    if (!decoded_) return std::nullopt;
    if (decoded_->width == size && decoded_->height == size) return decoded_;
    return scaleImage(*decoded_, size, size);
}

std::optional<ArgbImage> IconFile::icoIcon(int size) {
    const auto header = source_->read(0, 6);
    if (!header) return std::nullopt;
    const std::uint16_t n = *ByteView(*header).u16(4);
    const auto dirBytes = source_->read(6, 16ull * n);
    if (!dirBytes) return std::nullopt;
    const ByteView dir(*dirBytes);
    std::vector<IconDirEntry> entries;
    std::vector<Candidate> where;
    for (std::uint16_t i = 0; i < n; ++i) {
        const std::uint64_t e = 16ull * i;
        entries.push_back({*dir.u8(e), *dir.u8(e + 1), *dir.u16(e + 6)});
        where.push_back({entries.back(), *dir.u32(e + 12), *dir.u32(e + 8)});
    }
    for (std::size_t i : preferenceOrder(entries, size)) {
        auto load = [this, &where, i] { return source_->read(where[i].where, where[i].length); };
        if (auto image = decodeScaled(0, i, size, load)) return image;
    }
    return std::nullopt;
}

std::optional<ArgbImage> IconFile::moduleIcon(int index, int size) {
    const auto group = module_->loadAt(kRtGroupIcon, static_cast<std::size_t>(index));
    if (!group) return std::nullopt;
    const ByteView dir(*group);
    const std::uint16_t n = dir.u16(4).value_or(0);
    std::vector<IconDirEntry> entries;
    std::vector<std::uint16_t> ids;
    for (std::uint16_t i = 0; i < n && dir.fits(6 + 14ull * i, 14); ++i) {
        const std::uint64_t e = 6 + 14ull * i;
        entries.push_back({*dir.u8(e), *dir.u8(e + 1), *dir.u16(e + 6)});
        ids.push_back(*dir.u16(e + 12));
    }
    for (std::size_t i : preferenceOrder(entries, size)) {
        auto load = [this, &ids, i] { return module_->load(kRtIcon, ResourceName::fromId(ids[i])); };
        if (auto image = decodeScaled(index, i, size, load)) return image;
    }
    return std::nullopt;
}

int iconCount(const std::string& path) {
    const auto file = IconFile::open(path);
    return file ? file->count() : 0;
}

bool extractIcon(const std::string& path, int index, ArgbImage* large, ArgbImage* small, int largeSize, int smallSize) {
    const auto file = IconFile::open(path);
    if (!file) return false;
    auto l = file->icon(index, largeSize);
    auto s = file->icon(index, smallSize);
    if (!l || !s) return false;
    if (large) *large = std::move(*l);
    if (small) *small = std::move(*s);
    return true;
}

}  // namespace platform
