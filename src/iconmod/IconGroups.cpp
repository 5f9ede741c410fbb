#include "iconmod/IconGroups.h"

#include <map>
#include <new>

#include "formats/IconDirectory.h"
#include "platform/MessageBox.h"

namespace iconmod {

std::optional<std::vector<formats::ResourceName>> fnGroupNames(QIconMod& source) {
    if (!source.Module) return std::nullopt;
    auto names = source.Module->names(formats::kRtGroupIcon);
    if (!names) platform::messageBox(text::kGroupNamesFailed, text::kErrorTitle);
    return names;
}

bool fnListGroupNames(QIconMod& source, TextList& list) {
    list.clear();
    if (source.IsIcoFile) return source.Images != nullptr;
    const auto names = fnGroupNames(source);
    if (!names) return false;
    for (const formats::ResourceName& name : *names) list.append(formats::groupNameText(name));
    return true;
}

bool fnLoadGroup(QIconMod& source) {
    const auto name = formats::parseGroupName(source.GroupName);
    if (!name) {
        source.subFreeImages();
        return false;
    }
    return fnLoadGroup(source, *name);
}

bool fnLoadGroup(QIconMod& source, const formats::ResourceName& name) {
    if (!source.Module) return false;
    source.subFreeImages();
    const auto group = source.Module->load(formats::kRtGroupIcon, name);
    if (!group) return false;

    auto formatFailed = [&source]() {
        platform::messageBox(text::kGroupFormatFailed, source.Path);
        return false;
    };
    auto memoryFailed = [&source]() {
        platform::messageBox(text::kGroupMemoryFailed, source.Path);
        return false;
    };
    const auto entries = formats::readGroupDirectory(*group);
    if (!entries) return formatFailed();

    try {
        auto set = std::make_unique<IconImageSet>();
        set->Images.resize(entries->size());
        // Each RT_ICON is read once however often the group names it. The distinct images
        // of a sound module are distinct parts of its file, so together they hold no more
        // bytes than the file; a group that claims more (resources whose data overlap) is
        // refused like a set that cannot be allocated.
        std::map<std::uint16_t, SharedBytes> loaded;
        std::uint64_t held = 0;
        for (std::size_t i = 0; i < entries->size(); ++i) {
            const std::uint16_t id = (*entries)[i].id;
            auto it = loaded.find(id);
            if (it == loaded.end()) {
                auto data = source.Module->load(formats::kRtIcon, formats::ResourceName::fromId(id));
                if (!data) return false;
                held += data->size();
                if (held > source.Module->fileSize()) return memoryFailed();
                it = loaded.emplace(id, SharedBytes(std::move(*data))).first;
            }
            IconImage& image = set->Images[i];
            image.Data = it->second;
            if (!QIconMod::fnParseImage(&image)) return formatFailed();
        }
        // Its ICO file must be writable with 32-bit offsets.
        if (set->icoFileSize() > IconImageSet::kMaxIcoFileSize) return memoryFailed();
        source.Images = std::move(set);
        return true;
    } catch (const std::bad_alloc&) {
        return memoryFailed();
    }
}

bool fnLoadIconAt(QIconMod& source, int index) {
    if (index < 0 || !source.fnOpenByContent()) return false;
    if (source.IsIcoFile) return index == 0 && source.Images != nullptr;
    VectorTextList groups;
    if (!fnListGroupNames(source, groups) || index >= groups.count()) return false;
    source.GroupName = groups.textAt(index);
    return fnLoadGroup(source);
}

void subListImages(QIconMod& source, TextList& combo) {
    if (!source.Images) return;
    combo.clear();
    for (const IconImage& image : source.Images->Images) combo.append(imageLineText(image));
    if (combo.count() > 0) combo.setSelected(0);
}

std::string imageLineText(const IconImage& image) {
    std::string line = std::to_string(image.Width) + "x" + std::to_string(image.Height) + ", ";
    if (image.ColorBits < 24) {
        const long long colours = image.ColorBits <= 0 ? 2 : 1LL << image.ColorBits;
        return line + std::to_string(colours) + "色";
    }
    return line + "True Color (" + std::to_string(image.ColorBits) + "bit)";
}

}  // namespace iconmod
