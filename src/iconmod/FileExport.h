// Every icon group of one file written into a folder as `vexil-cli extract` writes them (the
// window's save-all command), a group at a time: first the groups and the names of their
// files, so that a caller can ask once about files already there, then each one written.
// Nothing is shown on screen: what fails is answered as a value.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "formats/ModuleResources.h"
#include "iconmod/ExtractOutput.h"

namespace iconmod {

class FileExport {
public:
    enum class Outcome { Written, Kept, Failed };

    // Reads `path` by its content, as extract does: a module's icon groups (16-bit modules
    // too), or an icon file's images as one icon; anything else gives nothing to write.
    FileExport(const std::string& path, ExtractFormat format);
    ~FileExport();
    FileExport(const FileExport&) = delete;
    FileExport& operator=(const FileExport&) = delete;

    // How many files the groups make; 0 when the file gives no icons.
    std::size_t count() const { return entries_.size(); }
    // The name of file i in the folder: `<file>-<group>.<ext>`, or `<file>.<ext>` for an
    // icon file (NameBook's names).
    const std::string& name(std::size_t i) const { return entries_.at(i).name; }
    // The names of the files that are already in `folder` (whatever they are).
    std::vector<std::string> existing(const std::string& folder) const;
    // Writes file i into `folder`: Kept when one is there and not `replace`, Failed when its
    // group cannot be read or made into the format or the file cannot be written (an
    // existing file then keeps its bytes).
    Outcome write(std::size_t i, const std::string& folder, bool replace);

private:
    struct Entry {
        std::optional<formats::ResourceName> group;  // none: the icon file's images
        std::string name;
    };

    std::unique_ptr<QIconMod> source_;
    ExtractFormat format_;
    std::vector<Entry> entries_;
};

}  // namespace iconmod
