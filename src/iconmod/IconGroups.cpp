#include "iconmod/IconGroups.h"

#include <map>
#include <new>

#include "formats/IconDirectory.h"
#include "platform/MessageBox.h"

namespace iconmod {

std::optional<std::vector<formats::ResourceName>> fnGroupNames(QIconMod& source) {
    if (!source.Module) return std::nullopt;
    auto names = source.Module->names(formats::kRtGroupIcon);
    if (!names) source.tell(text::kGroupNamesFailed, text::kErrorTitle);
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

namespace {

// Shows the message, titled with the source's path; answers nothing.
std::nullopt_t showFailure(QIconMod& source, const char* message) {
    source.tell(message, source.Path);
    return std::nullopt;
}

}  // namespace

std::optional<ImageEntries> fnListGroupImages(QIconMod& source) {
    const auto name = formats::parseGroupName(source.GroupName);
    if (!name) return std::nullopt;
    return fnListGroupImages(source, *name);
}

std::optional<ImageEntries> fnListGroupImages(QIconMod& source, const formats::ResourceName& name) {
    if (!source.Module) return std::nullopt;
    const auto group = source.Module->load(formats::kRtGroupIcon, name);
    if (!group) return std::nullopt;
    const auto entries = formats::readGroupDirectory(*group);
    if (!entries) return showFailure(source, text::kGroupFormatFailed);

    try {
        ImageEntries images;
        images.reserve(entries->size());
        // Each RT_ICON is looked at once however often the group names it. The distinct
        // images of a sound module are distinct parts of its file, so together they hold no
        // more bytes than the file; a group that claims more (resources whose data overlap)
        // is refused like a set that cannot be allocated.
        std::map<std::uint16_t, ImageEntry> listed;
        std::uint64_t held = 0;
        for (const formats::IconDirEntry& e : *entries) {
            auto it = listed.find(e.id);
            if (it == listed.end()) {
                const auto span = source.Module->locate(formats::kRtIcon, formats::ResourceName::fromId(e.id));
                if (!span) return std::nullopt;
                held += span->size;
                if (held > source.Module->fileSize()) return showFailure(source, text::kGroupMemoryFailed);
                const auto image = readImageEntry(source.Module->file(), span->offset, span->size);
                if (!image) return showFailure(source, text::kGroupFormatFailed);
                it = listed.emplace(e.id, *image).first;
            }
            images.push_back(it->second);
        }
        // Its ICO file must be writable with 32-bit offsets.
        if (imageFileSize(images) > IconImageSet::kMaxIcoFileSize) return showFailure(source, text::kGroupMemoryFailed);
        return images;
    } catch (const std::bad_alloc&) {
        return showFailure(source, text::kGroupMemoryFailed);
    }
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
    source.subFreeImages();
    const auto entries = fnListGroupImages(source, name);
    if (!entries) return false;
    try {
        const auto data = readImageData(source.Module->file(), *entries);
        if (!data) return false;
        auto set = std::make_unique<IconImageSet>();
        set->Images.resize(entries->size());
        for (std::size_t i = 0; i < entries->size(); ++i) {
            static_cast<ImageHead&>(set->Images[i]) = (*entries)[i];
            set->Images[i].Data = (*data)[i];
        }
        source.Images = std::move(set);
        return true;
    } catch (const std::bad_alloc&) {
        showFailure(source, text::kGroupMemoryFailed);
        return false;
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

std::string imageLineText(const ImageHead& image) {
    std::string line = std::to_string(image.Width) + "x" + std::to_string(image.Height) + ", ";
    if (image.ColorBits < 24) {
        const long long colours = image.ColorBits <= 0 ? 2 : 1LL << image.ColorBits;
        return line + std::to_string(colours) + "色";
    }
    return line + "True Color (" + std::to_string(image.ColorBits) + "bit)";
}

}  // namespace iconmod
