// A file that points at an icon (iconmod/IconPointer.h) as a source of icon groups, for the
// commands that read a module's or an icon file's groups. A shortcut, .url, desktop.ini or
// autorun.inf is one group, "-": the icon it shows, in the file its location resolves to.
// An installer package lists its Icon table's rows as groups, by name, the row
// ARPPRODUCTICON names first and then table order; each row's stream (a whole .ico file or
// a module, whose first group it stands for) is read when asked for, one at a time.
//
// A shortcut whose target is a folder, a document (a file that holds no icon groups) or
// another pointer file is not followed: Windows shows that type's icon, which Vexil does
// not have; the failure says what the shortcut names.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/ModuleResources.h"
#include "formats/OpenedFile.h"
#include "iconmod/IconPointer.h"

namespace formats {
class MsiPackage;
}

namespace iconmod {

// What one group of a pointer file stands for: a file open for its icons, and the group in it.
struct PointedGroup {
    std::string path;  // the file that holds it: a resolved Linux path, or "PACKAGE:NAME" for an Icon row
    std::unique_ptr<formats::OpenedFile> file;
    std::optional<formats::ResourceName> name;  // the group in a module; none for an icon file
    std::size_t index = 0;                      // its position among the file's icon groups
};

class PointerSource {
public:
    // Reads the pointer file open as `source` (named `path`, of `kind` by pointerKindOf) and
    // resolves what it names.
    PointerSource(std::unique_ptr<formats::ByteSource> source, PointerKind kind, const std::string& path,
                  const platform::WineResolveOptions& options = {});
    ~PointerSource();
    PointerSource(const PointerSource&) = delete;
    PointerSource& operator=(const PointerSource&) = delete;

    // What the file says and where it leads; for a package its kind and Icon row names.
    const IconPointer& pointer() const { return pointer_; }
    // Why it gives no groups (one line), or nullopt.
    std::optional<std::string> failure() const;
    // Its groups as GROUP words: "-" for a file that shows one icon, a package's row names.
    std::vector<std::string> groups() const;
    // The group GROUP ("-" or empty: the first) stands for, opened; nullopt with *why (one
    // line) when there is none or it cannot be read.
    std::optional<PointedGroup> open(const std::string& group, std::string* why);
    // The same for the group at `position` in groups().
    std::optional<PointedGroup> openAt(std::size_t position, std::string* why);

private:
    std::optional<PointedGroup> openTarget(std::string* why);
    std::optional<PointedGroup> openRow(std::size_t position, std::string* why);

    std::string path_;
    IconPointer pointer_;
    std::unique_ptr<formats::MsiPackage> package_;
    std::vector<std::size_t> rows_;  // per package group: its row in the Icon table
};

// The group a resolved icon location names: group `index` of the file at `path` as a
// location's N names it. With `ofTarget` (a shortcut's target, icon 0) a file that holds
// no icons is not followed, and *why says what it is.
std::optional<PointedGroup> openIconAt(const std::string& path, std::int32_t index, bool ofTarget, std::string* why);

}  // namespace iconmod
