#include "iconmod/PointerSource.h"

#include <algorithm>
#include <utility>

#include "formats/MsiPackage.h"
#include "iconmod/IconLocation.h"
#include "platform/IconExtract.h"

namespace iconmod {
namespace {

using Step = PointerFailure::Step;

// Enough of a file's start for the signatures pointerKindOf looks at.
constexpr std::uint64_t kHeadSize = 20;

std::string_view lastComponent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

bool holdsIcons(const formats::OpenedFile& file) {
    return file.kind() == formats::FileKind::Ico || (file.module() && file.count() > 0);
}

// What a file that holds no icons is, as a shortcut's target: another pointer file or a
// document.
std::string whatItIs(formats::OpenedFile& file, const std::string& path) {
    const auto head = file.source().read(0, std::min(file.source().size(), kHeadSize));
    const PointerKind kind = head ? pointerKindOf(*head, lastComponent(path)) : PointerKind::None;
    if (kind != PointerKind::None) return std::string("a file that points at an icon itself (") + pointerKindName(kind) + ")";
    return "a document";
}

}  // namespace

PointerSource::PointerSource(std::unique_ptr<formats::ByteSource> source, PointerKind kind, const std::string& path,
                             const platform::WineResolveOptions& options)
    : path_(path) {
    if (kind != PointerKind::Package) {
        pointer_ = resolvePointer(readPointerContents(std::move(source), lastComponent(path)), path, options);
        return;
    }
    pointer_.kind = PointerKind::Package;
    auto package = formats::MsiPackage::open(std::move(source), platform::decodeCodePage);
    if (!package) {
        pointer_.failure = PointerFailure{Step::Read, path, package.error().text()};
        return;
    }
    package_ = std::move(*package);
    const auto& rows = package_->icons();
    const auto chosen = package_->packageIconRow();
    if (!chosen) {
        pointer_.failure = PointerFailure{Step::NoIcon, path, "no rows in the Icon table"};
        return;
    }
    rows_.push_back(*chosen);
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (i != *chosen) rows_.push_back(i);
    for (std::size_t row : rows_) pointer_.iconNames.push_back(platform::decodeStoredText(rows[row].name, 1252));
}

PointerSource::~PointerSource() = default;

std::optional<std::string> PointerSource::failure() const {
    if (!pointer_.failure) return std::nullopt;
    const PointerFailure& f = *pointer_.failure;
    if (pointer_.ofTarget && f.step == Step::NotAFile && f.detail == "a folder")
        return "the shortcut names a folder, not followed (Windows shows a folder's icon): " + f.path;
    return f.message();
}

std::vector<std::string> PointerSource::groups() const {
    if (pointer_.failure) return {};
    if (pointer_.kind == PointerKind::Package) return pointer_.iconNames;
    return {"-"};
}

std::optional<PointedGroup> PointerSource::open(const std::string& group, std::string* why) {
    if (auto f = failure()) {
        *why = *f;
        return std::nullopt;
    }
    if (group.empty() || group == "-") return openAt(0, why);
    const auto& names = pointer_.iconNames;
    const auto it = std::find(names.begin(), names.end(), group);
    if (pointer_.kind != PointerKind::Package || it == names.end()) {
        *why = path_ + ": no icon group " + group +
               (pointer_.kind == PointerKind::Package ? " in the Icon table" : " (it stands for one icon, group -)");
        return std::nullopt;
    }
    return openAt(static_cast<std::size_t>(it - names.begin()), why);
}

std::optional<PointedGroup> PointerSource::openAt(std::size_t position, std::string* why) {
    if (auto f = failure()) {
        *why = *f;
        return std::nullopt;
    }
    if (position >= groups().size()) {
        *why = path_ + ": holds no icon group " + std::to_string(position);
        return std::nullopt;
    }
    return pointer_.kind == PointerKind::Package ? openRow(position, why) : openTarget(why);
}

std::optional<PointedGroup> openIconAt(const std::string& path, std::int32_t index, bool ofTarget, std::string* why) {
    PointedGroup out;
    out.path = path;
    auto opened = platform::openFile(out.path);
    if (!opened) {
        *why = out.path + ": cannot be opened: " + opened.reason();
        return std::nullopt;
    }
    out.file = std::move(opened.file);
    if (ofTarget && !holdsIcons(*out.file)) {
        *why = "the shortcut names " + whatItIs(*out.file, out.path) +
               ", not followed (Windows shows that type's icon): " + out.path;
        return std::nullopt;
    }
    LocationError error = LocationError::None;
    const auto found = locateGroup(*out.file, out.path, index, formats::kRtGroupIcon, &error);
    if (!found) {
        *why = out.path + (error == LocationError::NoGroups ? ": holds no icon groups"
                                                            : ": holds no icon group" + (index < 0
                                                                                            ? " with id " + std::to_string(-std::int64_t{index})
                                                                                            : " " + std::to_string(index)));
        return std::nullopt;
    }
    out.name = found->name;
    out.index = found->index;
    return out;
}

std::optional<PointedGroup> PointerSource::openTarget(std::string* why) {
    return openIconAt(pointer_.path, pointer_.index, pointer_.ofTarget, why);
}

std::optional<PointedGroup> PointerSource::openRow(std::size_t position, std::string* why) {
    PointedGroup out;
    out.path = path_ + ":" + pointer_.iconNames[position];
    // The stream's size was checked against the package's when its chain was read.
    auto bytes = package_->readIcon(rows_[position]);
    if (!bytes) {
        *why = "cannot read the icon " + out.path + ": " + bytes.error().text();
        return std::nullopt;
    }
    out.file = formats::OpenedFile::fromSource(std::make_unique<formats::MemorySource>(std::move(*bytes)));
    if (!holdsIcons(*out.file)) {
        *why = out.path + ": the Icon row holds neither an icon file nor a module with icons";
        return std::nullopt;
    }
    if (out.file->module()) {
        out.name = out.file->groupName(0);
        if (!out.name) {
            *why = out.path + ": holds no icon groups";
            return std::nullopt;
        }
    }
    return out;
}

}  // namespace iconmod
