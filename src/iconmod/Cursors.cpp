#include "iconmod/Cursors.h"

#include <map>
#include <new>

#include "formats/CursorFile.h"
#include "formats/IconDirectory.h"
#include "iconmod/Iconmod.h"
#include "platform/AtomicFile.h"

namespace iconmod {
namespace {

constexpr std::uint64_t kHotspotSize = 4;

}  // namespace

std::uint64_t CursorSet::curFileSize() const {
    std::uint64_t total = formats::kIconDirHeaderSize + formats::kIcoEntrySize * Images.size();
    for (const CursorImage& c : Images) total += c.Image.Data.size();
    return total;
}

int chooseCursorImage(const ImageEntries& images, int size) {
    int best = -1;
    auto better = [size](const ImageEntry& a, const ImageEntry& b) {
        const bool aFits = a.Width <= size;
        const bool bFits = b.Width <= size;
        if (aFits != bFits) return aFits;
        if (a.Width != b.Width) return aFits ? a.Width > b.Width : a.Width < b.Width;
        return a.ColorBits > b.ColorBits;
    };
    for (std::size_t i = 0; i < images.size(); ++i)
        if (best < 0 || better(images[i], images[static_cast<std::size_t>(best)])) best = static_cast<int>(i);
    return best;
}

std::optional<ImageEntries> listCursorGroup(formats::ResourceModule& module, const formats::ResourceName& name) {
    try {
        const auto group = module.load(formats::kRtGroupCursor, name);
        const auto entries = group ? formats::readCursorGroupDirectory(*group) : std::nullopt;
        if (!entries) return std::nullopt;
        ImageEntries images;
        images.reserve(entries->size());
        // Each RT_CURSOR is looked at once however often the group names it, and the distinct
        // resources of a sound module cannot together hold more bytes than its file.
        std::map<std::uint16_t, ImageEntry> listed;
        std::uint64_t held = 0;
        for (const formats::IconDirEntry& e : *entries) {
            auto it = listed.find(e.id);
            if (it == listed.end()) {
                const auto span = module.locate(formats::kRtCursor, formats::ResourceName::fromId(e.id));
                if (!span || span->size < kHotspotSize) return std::nullopt;
                held += span->size;
                if (held > module.fileSize()) return std::nullopt;
                const auto hotspot = module.file().read(span->offset, kHotspotSize);
                auto image = readImageEntry(module.file(), span->offset + kHotspotSize, span->size - kHotspotSize);
                if (!hotspot || !image) return std::nullopt;
                const auto parts = formats::splitCursorResource(*hotspot);
                image->HotspotX = parts->hotspotX;
                image->HotspotY = parts->hotspotY;
                it = listed.emplace(e.id, *image).first;
            }
            images.push_back(it->second);
        }
        if (imageFileSize(images) > IconImageSet::kMaxIcoFileSize) return std::nullopt;
        return images;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<CursorSet> loadCursorGroup(formats::ResourceModule& module, const formats::ResourceName& name) {
    try {
        const auto images = listCursorGroup(module, name);
        const auto data = images ? readImageData(module.file(), *images) : std::nullopt;
        if (!data) return std::nullopt;
        CursorSet set;
        set.Images.resize(images->size());
        for (std::size_t i = 0; i < images->size(); ++i) {
            const ImageEntry& e = (*images)[i];
            static_cast<ImageHead&>(set.Images[i].Image) = e;
            set.Images[i].Image.Data = (*data)[i];
            set.Images[i].HotspotX = e.HotspotX;
            set.Images[i].HotspotY = e.HotspotY;
        }
        return set;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<ImageEntries> listCursorFile(formats::ByteSource& source, std::uint64_t begin, std::uint64_t size,
                                           bool iconsToo) {
    try {
        bool cursor = false;
        const auto entries = formats::readImageFileDirectory(source, begin, size, &cursor);
        if (!entries || (!cursor && !iconsToo)) return std::nullopt;
        ImageEntries images;
        images.reserve(entries->size());
        for (const formats::IconDirEntry& e : *entries) {
            auto image = readImageEntry(source, begin + e.imageOffset, e.bytesInRes);
            if (!image) return std::nullopt;
            image->HotspotX = cursor ? e.hotspotX : static_cast<std::uint16_t>(image->Width / 2);
            image->HotspotY = cursor ? e.hotspotY : static_cast<std::uint16_t>(image->Height / 2);
            images.push_back(*image);
        }
        if (imageFileSize(images) > IconImageSet::kMaxIcoFileSize) return std::nullopt;
        return images;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

CursorSet cursorSetOf(const ImageEntries& images, const SharedBytes& file) {
    CursorSet set;
    set.Images.resize(images.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const ImageEntry& e = images[i];
        static_cast<ImageHead&>(set.Images[i].Image) = e;
        set.Images[i].Image.Data = file.sub(e.Offset, e.Size);
        set.Images[i].HotspotX = e.HotspotX;
        set.Images[i].HotspotY = e.HotspotY;
    }
    return set;
}

std::optional<CursorSet> readCursorSet(const SharedBytes& file, bool iconsToo) {
    try {
        formats::ViewSource source(file.view());
        const auto images = listCursorFile(source, 0, file.size(), iconsToo);
        if (!images) return std::nullopt;
        return cursorSetOf(*images, file);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<AnimationEntries> listAnimation(formats::ByteSource& source, std::uint64_t begin, std::uint64_t size) {
    try {
        auto ani = formats::readAni(source, begin, size);
        if (!ani) return std::nullopt;
        AnimationEntries out;
        out.Steps = std::move(ani->steps);
        out.Frames.reserve(ani->frames.size());
        for (const formats::AniFrame& f : ani->frames) {
            auto images = listCursorFile(source, f.offset, f.size, true);
            if (!images || images->empty()) return std::nullopt;
            out.Frames.push_back(std::move(*images));
        }
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

bool saveCur(const std::string& path, const CursorSet& set) {
    platform::AtomicFile file;
    return writeCur(file, path, set) && file.commit();
}

bool writeCur(platform::AtomicFile& file, const std::string& path, const CursorSet& set) {
    if (set.Images.empty() || set.Images.size() > 0xFFFF || set.curFileSize() > IconImageSet::kMaxIcoFileSize)
        return false;
    if (!file.create(path)) return false;
    if (!QIconMod::fnWriteIcoHeader(file, static_cast<std::uint16_t>(set.Images.size()), formats::kCurType)) return false;
    std::uint64_t offset = formats::kIconDirHeaderSize + formats::kIcoEntrySize * set.Images.size();
    for (const CursorImage& c : set.Images) {
        formats::Bytes entry(formats::kIcoEntrySize, 0);
        entry[0] = static_cast<std::uint8_t>(c.Image.Width);
        entry[1] = static_cast<std::uint8_t>(c.Image.Height);
        entry[2] = entryColorCount(c.Image);
        formats::putU16(entry, 4, c.HotspotX);
        formats::putU16(entry, 6, c.HotspotY);
        formats::putU32(entry, 8, c.Image.DataSize());
        formats::putU32(entry, 12, static_cast<std::uint32_t>(offset));
        if (!file.write(entry)) return false;
        offset += c.Image.Data.size();
    }
    for (const CursorImage& c : set.Images)
        if (!file.write(c.Image.view())) return false;
    return true;
}

}  // namespace iconmod
