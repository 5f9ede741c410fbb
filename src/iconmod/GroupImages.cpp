#include "iconmod/GroupImages.h"

#include <map>
#include <memory>
#include <tuple>

#include "iconmod/Iconmod.h"

namespace iconmod {

std::optional<IconImageSet> groupImageSet(formats::IconFile& file, int index) {
    if (index < 0 || index >= file.count()) return std::nullopt;
    // An .ico entry is its (offset, length) in the file; a group entry its RT_ICON id.
    using Key = std::tuple<std::uint32_t, std::uint32_t, std::uint16_t>;
    std::map<Key, std::shared_ptr<const formats::Bytes>> read;
    IconImageSet set;
    for (const formats::IconDirEntry& entry : file.imagesOf(index)) {
        const Key key{entry.imageOffset, entry.bytesInRes, entry.id};
        auto it = read.find(key);
        if (it == read.end()) {
            auto data = file.imageData(entry);
            it = read.emplace(key, data ? std::make_shared<const formats::Bytes>(std::move(*data)) : nullptr).first;
        }
        if (!it->second) continue;
        IconImage image;
        image.Data = SharedBytes(it->second, 0, it->second->size());
        if (QIconMod::fnParseImage(&image)) set.Images.push_back(std::move(image));
    }
    if (set.Images.empty()) return std::nullopt;
    return set;
}

}  // namespace iconmod
