// vexil-cli's cursor commands and the listing: what kind of file a path holds, opened once
// for what the commands read of it.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "cli/Cli.h"
#include "formats/ModuleResources.h"
#include "iconmod/Cursors.h"

namespace cli {

enum class FileKind { Other, Pe32, Pe32Plus, Ne, Ico, Cur, Ani };

// A file opened for its cursors and icons: a module's resources, or an .ico, .cur or .ani
// file read on demand.
struct OpenedFile {
    FileKind kind = FileKind::Other;
    std::unique_ptr<formats::ResourceModule> module;
    std::unique_ptr<formats::ByteSource> file;  // the file itself when it is no module

    // The bytes of a file that is no module, read whole (for copies); nullopt when they
    // cannot be read.
    std::optional<iconmod::SharedBytes> readWhole() const;
};

// Opens the file; nullopt (with *error set) when it cannot be read.
std::optional<OpenedFile> openFile(const std::string& path, std::string* error);

// The JSON name of a kind: "PE32", "PE32+", "NE", "ICO", "CUR", "ANI", "other".
const char* kindName(FileKind kind);

// One file's cursor group names, and the images of its cursor group --group (its first
// without), for `groups` and `images` with --cursors.
int cursorGroupsOfFile(const std::string& path, const Arguments& args);
int cursorImagesOfFile(const std::string& path, const Arguments& args);

}  // namespace cli
