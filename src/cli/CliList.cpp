// vexil-cli list FILE...: everything a file holds of icons and cursors as one JSON object
// (several files: an array of them), for scripts. It reads directories and image headers, never image data.
#include <algorithm>
#include <cstdio>

#include "cli/Cli.h"
#include "cli/CliCursors.h"
#include "cli/CliPointer.h"
#include "cli/JsonText.h"
#include "iconmod/IconGroups.h"
#include "iconmod/Iconmod.h"
#include "platform/MessageBox.h"

namespace cli {
namespace {

std::string number(std::uint64_t n) { return std::to_string(n); }

template <class T>
std::string orNull(const std::optional<T>& value) {
    return value ? std::to_string(*value) : std::string("null");
}

// The items joined into a JSON array.
std::string array(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + items[i];
    return out + "]";
}

std::string imageObject(const iconmod::ImageEntry& image, bool hotspot) {
    return "{\"width\": " + number(static_cast<std::uint64_t>(image.Width)) +
           ", \"height\": " + number(static_cast<std::uint64_t>(image.Height)) +
           ", \"bits\": " + number(static_cast<std::uint64_t>(image.ColorBits)) + ", \"format\": \"" +
           (image.IsPng ? "png" : "dib") + "\", \"bytes\": " + number(image.Size) +
           (hotspot ? ", \"hotspot\": [" + number(image.HotspotX) + ", " + number(image.HotspotY) + "]" : "") + "}";
}

// The JSON array of a group's images (empty when it could not be read), with hotspots for
// cursors.
std::string imageArray(const std::optional<iconmod::ImageEntries>& set, bool hotspots) {
    std::vector<std::string> images;
    if (set)
        for (const iconmod::ImageEntry& image : *set) images.push_back(imageObject(image, hotspots));
    return array(images);
}

// A group object: an entry of a module (with its name, id and language) or the one group
// of a file ("-", no id or language). `images` is the JSON array of its images.
std::string groupObject(std::size_t index, const formats::ResourceName* name, std::optional<std::uint16_t> language,
                        const std::string& images) {
    const std::string text = name ? formats::groupNameText(*name) : std::string("-");
    return "{\"index\": " + number(index) + ", " + json::textMember("name", text, "name_hex") +
           ", \"id\": " + orNull(name ? name->id : std::nullopt) + ", \"language\": " + orNull(language) +
           ", \"images\": " + images + "}";
}

// Prints the items of one JSON array as they are made, so that memory stays that of one
// group however many groups a module claims.
class ArrayOut {
public:
    // Starts the next item: the separator before every item but the first.
    void next() {
        std::fputs(first_ ? "" : ", ", stdout);
        first_ = false;
    }
    void operator()(const std::string& item) {
        next();
        std::fputs(item.c_str(), stdout);
    }

private:
    bool first_ = true;
};

// Prints an animation object into `out`, each step as it comes: an animation of millions
// of steps costs its step list, not its text.
void printAnimation(ArrayOut& out, const std::string& name, const char* type, const iconmod::AnimationEntries* ani) {
    out.next();
    std::fputs(("{" + json::textMember("name", name, "name_hex") + ", \"type\": \"" + type +
                "\", \"frames\": " + number(ani ? ani->Frames.size() : 0) + ", \"steps\": [").c_str(),
               stdout);
    ArrayOut steps;
    if (ani)
        for (const formats::AniStep& s : ani->Steps)
            steps("{\"frame\": " + number(s.frame) + ", \"delay_ms\": " + number(formats::jiffiesToMs(s.jiffies)) + "}");
    std::fputs("]}", stdout);
}

// The groups are read as the icon save dialog reads them, from the source's opened file.
void iconGroups(iconmod::QIconMod& source, ArrayOut& out) {
    const formats::OpenedFile& file = *source.File;
    if (file.kind() == formats::FileKind::Ico) return out(groupObject(0, nullptr, std::nullopt, imageArray(source.listIco().images, false)));
    if (!file.module()) return;
    const auto names = file.module()->names(formats::kRtGroupIcon);
    if (!names) return;
    const bool opened = source.fnOpenAnyModule();
    for (std::size_t i = 0; i < names->size(); ++i) {
        const formats::ResourceName& name = (*names)[i];
        source.GroupName = formats::groupNameText(name);
        const auto images = opened ? iconmod::fnListGroupImages(source, name) : std::nullopt;
        out(groupObject(i, &name, file.module()->languageAt(formats::kRtGroupIcon, i), imageArray(images, false)));
    }
}

void cursorGroups(formats::OpenedFile& file, const std::optional<iconmod::AnimationEntries>& ani, ArrayOut& out) {
    if (file.kind() == formats::FileKind::Cur)
        return out(groupObject(0, nullptr, std::nullopt, imageArray(iconmod::listCursorFile(file.source(), 0, file.source().size()), true)));
    for (std::size_t i = 0; ani && i < ani->Frames.size(); ++i)
        out(groupObject(i, nullptr, std::nullopt, imageArray(ani->Frames[i], true)));
    if (!file.module()) return;
    const auto names = file.module()->names(formats::kRtGroupCursor);
    for (std::size_t i = 0; names && i < names->size(); ++i) {
        const formats::ResourceName& name = (*names)[i];
        const auto set = name.isId() || !name.text.empty() ? iconmod::listCursorGroup(*file.module(), name) : std::nullopt;
        out(groupObject(i, &name, file.module()->languageAt(formats::kRtGroupCursor, i), imageArray(set, true)));
    }
}

void animations(formats::OpenedFile& file, const std::optional<iconmod::AnimationEntries>& ani, ArrayOut& out) {
    if (ani) printAnimation(out, "-", "cursor", &*ani);
    if (!file.module()) return;
    for (const auto& [type, kind] : {std::pair{formats::kRtAniCursor, "cursor"}, std::pair{formats::kRtAniIcon, "icon"}}) {
        const auto names = file.module()->names(type);
        for (std::size_t i = 0; names && i < names->size(); ++i) {
            const auto span = file.module()->locateAt(type, i);
            const auto one = span ? iconmod::listAnimation(file.module()->file(), span->offset, span->size) : std::nullopt;
            printAnimation(out, formats::groupNameText((*names)[i]), kind, one ? &*one : nullptr);
        }
    }
}

// The images of the group a pointer file's group stands for (nullopt when it cannot be read).
std::optional<iconmod::ImageEntries> pointedImages(iconmod::PointedGroup group) {
    iconmod::QIconMod source(group.path, std::move(group.file));
    if (source.File->kind() == formats::FileKind::Ico) return source.listIco().images;
    if (!group.name || !source.fnOpenAnyModule()) return std::nullopt;
    source.GroupName = formats::groupNameText(*group.name);
    return iconmod::fnListGroupImages(source, *group.name);
}

// The object of a file that points at an icon: what it stores, where that leads (null
// where it stores or finds nothing), why no icon was found, and its groups: the one icon
// it shows ("-"), or a package's Icon rows.
void listPointer(const std::string& path, iconmod::PointerSource& pointer, const char* before) {
    const iconmod::IconPointer& p = pointer.pointer();
    const auto textOrNull = [](const std::string& key, const std::string& text) {
        return text.empty() ? json::quoted(key) + ": null" : json::textMember(key, text, key + "_hex");
    };
    const auto why = pointer.failure();
    std::printf("%s{%s, \"kind\": \"%s\", %s, %s, %s, %s, \"icons\": [", before,
                json::textMember("file", path, "path_hex").c_str(), iconmod::pointerKindName(p.kind),
                textOrNull("location", p.storedLocation).c_str(), textOrNull("resolved", p.path).c_str(),
                textOrNull("target", p.storedTarget).c_str(), textOrNull("failure", why ? *why : "").c_str());
    ArrayOut icons;
    const auto groups = pointer.groups();
    for (std::size_t i = 0; i < groups.size(); ++i) {
        std::string ignored;
        auto group = pointer.openAt(i, &ignored);
        const auto images = group ? pointedImages(std::move(*group)) : std::nullopt;
        icons("{\"index\": " + number(i) + ", " + json::textMember("name", groups[i], "name_hex") +
              ", \"id\": null, \"language\": null, \"images\": " + imageArray(images, false) + "}");
    }
    std::fputs("], \"cursors\": [], \"animated\": []}", stdout);
    std::fflush(stdout);
}

// Prints the JSON object of one file, after `before` ("" or the separator of an array);
// the exit status.
int listFile(const std::string& path, const char* before) {
    InputFile input = openInput(path);
    if (input.pointer) {
        listPointer(path, *input.pointer, before);
        return 0;
    }
    if (!input.file) return fail(path + ": cannot be read: " + platform::FileSource::describe(input.error, input.systemError));
    iconmod::QIconMod source(path, std::move(input.file));
    formats::OpenedFile& file = *source.File;

    // A group that cannot be read is listed with no images; the core's boxes stay silent.
    const auto previous =
        platform::setMessageBoxHandler([](const std::string&, const std::string&, unsigned) { return platform::mb::IdOk; });
    const auto ani = file.kind() == formats::FileKind::Ani ? iconmod::listAnimation(file.source(), 0, file.source().size()) : std::nullopt;
    // A module whose resources cannot be read is listed as a file of no known kind.
    const formats::FileKind kind = file.module() || file.kind() == formats::FileKind::Ico || file.kind() == formats::FileKind::Cur ||
                                           file.kind() == formats::FileKind::Ani
                                       ? file.kind()
                                       : formats::FileKind::Other;
    std::printf("%s{%s, \"kind\": \"%s\", \"icons\": [", before, json::textMember("file", path, "path_hex").c_str(),
                formats::kindName(kind));
    ArrayOut icons, cursors, animated;
    iconGroups(source, icons);
    std::fputs("], \"cursors\": [", stdout);
    cursorGroups(file, ani, cursors);
    std::fputs("], \"animated\": [", stdout);
    animations(file, ani, animated);
    std::fputs("]}", stdout);
    std::fflush(stdout);
    platform::setMessageBoxHandler(previous);
    return 0;
}

}  // namespace

int cmdList(const Arguments& args) {
    if (args.words.size() == 1) {
        const int status = listFile(args.words[0], "");
        if (status == 0) std::fputs("\n", stdout);
        return status;
    }
    // Several files: one array of their objects; a file that cannot be read is left out
    // (its failure line on stderr) and the others are still listed.
    int status = 0;
    bool first = true;
    std::fputs("[", stdout);
    for (const std::string& path : args.words) {
        const int one = listFile(path, first ? "" : ", ");
        if (one == 0) first = false;
        status = std::max(status, one);
    }
    std::fputs("]\n", stdout);
    return status;
}

}  // namespace cli
