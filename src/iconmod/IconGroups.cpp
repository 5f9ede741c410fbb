#include "iconmod/IconGroups.h"

#include <new>

#include "platform/MessageBox.h"

namespace iconmod {

bool fnListGroupNames(QIconMod& source, TextList& list) {
    list.clear();
    if (source.IsIcoFile) return source.Images != nullptr;
    if (!source.Module) return false;
    const auto names = source.Module->names(platform::kRtGroupIcon);
    if (!names) {
        platform::messageBox(text::kGroupNamesFailed, text::kErrorTitle);
        return false;
    }
    for (const platform::ResourceName& name : *names) list.append(platform::groupNameText(name));
    return true;
}

bool fnLoadGroup(QIconMod& source) {
    if (!source.Module) return false;
    source.subFreeImages();
    const auto name = platform::parseGroupName(source.GroupName);
    if (!name) return false;
    const auto group = source.Module->load(platform::kRtGroupIcon, *name);
    if (!group) return false;

    auto formatFailed = [&source]() {
        platform::messageBox(text::kGroupFormatFailed, source.Path);
        return false;
    };
    // The group directory: 6-byte header, then 14-byte entries ending in the RT_ICON id.
    const platform::ByteView dir(*group);
    const auto count = dir.u16(4);
    if (!count || !dir.fits(6, 14ull * *count)) return formatFailed();

    auto set = std::make_unique<IconImageSet>();
    try {
        set->Images.resize(*count);
    } catch (const std::bad_alloc&) {
        platform::messageBox(text::kGroupMemoryFailed, source.Path);
        return false;
    }
    for (std::uint16_t i = 0; i < *count; ++i) {
        const std::uint16_t id = *dir.u16(6 + 14ull * i + 12);
        auto data = source.Module->load(platform::kRtIcon, platform::ResourceName::fromId(id));
        if (!data) return false;
        IconImage& image = set->Images[i];
        image.Data = std::move(*data);
        if (!QIconMod::fnParseImage(&image)) return formatFailed();
    }
    source.Images = std::move(set);
    return true;
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
