// What `vexil-cli extract` writes for an icon group, shared with the window (its drag out
// of the strip and its save-all command): the names of the files written and each group's
// file, an .ico of the group's images as stored or a .png of its largest image.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "iconmod/Iconmod.h"
#include "platform/AtomicFile.h"

namespace iconmod {

enum class ExtractFormat { Ico, Png };

// Writes one output file's bytes into `file`, which it creates for `path` and leaves
// uncommitted: the caller decides how it is made to last (platform::FileBatch for a new
// name, AtomicFile::commit() for a file replaced).
using OutputWriter = std::function<bool(platform::AtomicFile& file, const std::string& path)>;

// The writer of the source's current image set: an .ico as save-ico writes it (a bitmap's
// biSizeImage as 0 unless `exact`), or a .png of its largest image (largestPng, encoded
// quickly). nullopt when the set has no image, or for a .png when no image decodes. The
// .ico writer reads `source` when called, so the set must not change in between.
std::optional<OutputWriter> groupWriter(QIconMod& source, ExtractFormat format, bool exact);

// The extension of a format's files: ".ico" or ".png".
std::string_view extractExtension(ExtractFormat format);

// A piece of a file name made safe: "/", NUL and the other control characters become "_",
// an empty text becomes "_", and the text is cut (at a character boundary) to at most
// maxBytes. Other bytes, also those that are not valid UTF-8, are kept as they are.
// NameBook::take also turns a leading "." of the whole name into "_" (no hidden files,
// never "." or "..").
std::string safeComponent(std::string_view text, std::size_t maxBytes);

// The output file names of one run: `<file>-<group>.<ext>` for a module's group,
// `<file>.<ext>` for an icon file, made safe for the file system. Names are unique within
// the run, ignoring ASCII case (so that a case-blind file system loses nothing): a name
// met again gets "~2", "~3", ... before its extension, in the order the icons come.
class NameBook {
public:
    std::string take(std::string_view fileName, std::optional<std::string_view> group, std::string_view extension);

private:
    std::set<std::string> used_;
};

}  // namespace iconmod
