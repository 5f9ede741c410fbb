// FILE as the icon commands take it: a module or icon file read as it is, or a file that
// points at an icon (a shortcut, .url, desktop.ini, autorun.inf or .msi) standing for the
// file and group it names (iconmod/PointerSource.h). The file is opened once.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/OpenedFile.h"
#include "iconmod/PointerSource.h"
#include "platform/FileSource.h"

namespace cli {

struct InputFile {
    std::string path;
    std::unique_ptr<formats::OpenedFile> file;  // nullptr: not opened (the reader opens it and says why not)
    std::unique_ptr<iconmod::PointerSource> pointer;  // set for a file that points at an icon
    platform::FileSource::OpenError error = platform::FileSource::OpenError::None;  // why not opened
    int systemError = 0;
};

// Opens FILE and tells a pointer file apart by its first bytes or name.
InputFile openInput(const std::string& path, const platform::WineResolveOptions& options = {});

// FILE GROUP as a command reads them: for a pointer file the file and group its GROUP
// stands for. `group` is then the group in `file` as `groups` writes it ("-" for an icon
// file), `index` its position among the file's icon groups.
struct GroupInput {
    std::string path;
    std::unique_ptr<formats::OpenedFile> file;
    std::string group;
    std::size_t index = 0;
};

// nullopt after the failure line (the status in *status). For any other file `group`
// stays as given and the file is handed on opened (or unopened when it cannot be).
std::optional<GroupInput> openGroupInput(const std::string& path, const std::string& group, int* status);

// The same for a pointer file's group at `position` (render's I); nullopt for a file that
// is no pointer file (*status 0) or after the failure line.
std::optional<GroupInput> openPointedAt(InputFile& input, std::size_t position, int* status);

// What `resolve` and `shortcuts` say of a pointer file: what it stores (UTF-8; empty where
// it stores nothing), the Linux file and the group there its icon is (empty when not
// found), a package's Icon rows, and why no icon was found.
struct PointerReport {
    std::string kind, location, target, path, group;
    std::vector<std::string> icons;
    std::optional<std::string> failure;
};

// Resolves the pointer and opens the group it shows (its first, for a package). With
// `keep`, the group is handed on for the caller to read (nullptr when not found).
PointerReport reportPointer(iconmod::PointerSource& pointer, std::optional<iconmod::PointedGroup>* keep = nullptr);

// `resolve`'s fields of a report as JSON members (no braces): "kind", "location",
// "target", "path", "group", "icons", "found", "failure"; text that is absent is null.
std::string reportMembers(const PointerReport& report);

// `shortcuts`: the shortcut files under `dir` by their paths under it, sorted bytewise.
// The walk never enters a folder called dosdevices, enters a linked folder only where it
// lies inside `dir`, and enters each folder once. nullopt when `dir` cannot be walked.
std::optional<std::vector<std::string>> findShortcuts(const std::string& dir, std::string* why);
// The icon set name `shortcuts --theme` gives the shortcut at `relative` under DIR.
std::string shortcutKey(const std::string& relative);

}  // namespace cli
