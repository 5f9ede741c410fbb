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

// An image of the set: its bytes and what they say of themselves.
std::optional<CursorImage> makeImage(SharedBytes data, std::uint16_t x, std::uint16_t y) {
    CursorImage c;
    c.Image.Data = std::move(data);
    if (!QIconMod::fnParseImage(&c.Image)) return std::nullopt;
    c.HotspotX = x;
    c.HotspotY = y;
    return c;
}

}  // namespace

std::uint64_t CursorSet::curFileSize() const {
    std::uint64_t total = formats::kIconDirHeaderSize + formats::kIcoEntrySize * Images.size();
    for (const CursorImage& c : Images) total += c.Image.Data.size();
    return total;
}

int chooseCursorImage(const CursorSet& set, int size) {
    int best = -1;
    auto better = [size](const IconImage& a, const IconImage& b) {
        const bool aFits = a.Width <= size;
        const bool bFits = b.Width <= size;
        if (aFits != bFits) return aFits;
        if (a.Width != b.Width) return aFits ? a.Width > b.Width : a.Width < b.Width;
        return a.ColorBits > b.ColorBits;
    };
    for (std::size_t i = 0; i < set.Images.size(); ++i)
        if (best < 0 || better(set.Images[i].Image, set.Images[static_cast<std::size_t>(best)].Image))
            best = static_cast<int>(i);
    return best;
}

std::optional<CursorSet> loadCursorGroup(formats::ResourceModule& module, const formats::ResourceName& name) {
    try {
        const auto group = module.load(formats::kRtGroupCursor, name);
        const auto entries = group ? formats::readCursorGroupDirectory(*group) : std::nullopt;
        if (!entries) return std::nullopt;
        CursorSet set;
        set.Images.reserve(entries->size());
        // Each RT_CURSOR is read once however often the group names it, and the distinct
        // resources of a sound module cannot together hold more bytes than its file.
        std::map<std::uint16_t, SharedBytes> loaded;
        std::uint64_t held = 0;
        for (const formats::IconDirEntry& e : *entries) {
            auto it = loaded.find(e.id);
            if (it == loaded.end()) {
                auto data = module.load(formats::kRtCursor, formats::ResourceName::fromId(e.id));
                if (!data || data->size() < kHotspotSize) return std::nullopt;
                held += data->size();
                if (held > module.fileSize()) return std::nullopt;
                it = loaded.emplace(e.id, SharedBytes(std::move(*data))).first;
            }
            const SharedBytes& resource = it->second;
            const auto parts = formats::splitCursorResource(resource.view());
            auto image = makeImage(resource.sub(kHotspotSize, resource.size() - kHotspotSize), parts->hotspotX,
                                   parts->hotspotY);
            if (!image) return std::nullopt;
            set.Images.push_back(std::move(*image));
        }
        if (set.curFileSize() > IconImageSet::kMaxIcoFileSize) return std::nullopt;
        return set;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<CursorSet> readCursorSet(const SharedBytes& file, bool iconsToo) {
    try {
        bool cursor = false;
        const auto entries = formats::readImageFileDirectory(file.view(), &cursor);
        if (!entries || (!cursor && !iconsToo)) return std::nullopt;
        CursorSet set;
        set.Images.reserve(entries->size());
        for (const formats::IconDirEntry& e : *entries) {
            auto image = makeImage(file.sub(e.imageOffset, e.bytesInRes), e.hotspotX, e.hotspotY);
            if (!image) return std::nullopt;
            if (!cursor) {
                image->HotspotX = static_cast<std::uint16_t>(image->Image.Width / 2);
                image->HotspotY = static_cast<std::uint16_t>(image->Image.Height / 2);
            }
            set.Images.push_back(std::move(*image));
        }
        if (set.curFileSize() > IconImageSet::kMaxIcoFileSize) return std::nullopt;
        return set;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

std::optional<AnimatedCursor> readAnimatedCursor(const SharedBytes& bytes) {
    try {
        auto ani = formats::readAni(bytes.view());
        if (!ani) return std::nullopt;
        AnimatedCursor out;
        out.Steps = std::move(ani->steps);
        out.IconFrames = true;
        out.Frames.reserve(ani->frames.size());
        for (const formats::AniFrame& f : ani->frames) {
            const SharedBytes frame = bytes.sub(f.offset, f.size);
            auto set = readCursorSet(frame, true);
            if (!set || set->Images.empty()) return std::nullopt;
            if (formats::curImageCount(frame.view())) out.IconFrames = false;
            out.Frames.push_back(std::move(*set));
        }
        return out;
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

bool saveCur(const std::string& path, const CursorSet& set) {
    if (set.Images.empty() || set.Images.size() > 0xFFFF || set.curFileSize() > IconImageSet::kMaxIcoFileSize)
        return false;
    platform::AtomicFile file;
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
    return file.commit();
}

}  // namespace iconmod
