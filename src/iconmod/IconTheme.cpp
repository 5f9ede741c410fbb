#include "iconmod/IconTheme.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <new>
#include <system_error>

#include <sys/stat.h>
#include <unistd.h>

#include "iconmod/Iconmod.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"
#include "platform/StagedFolder.h"
#include "platform/SystemError.h"

namespace iconmod {

bool isIconThemeName(std::string_view name) {
    if (name.empty()) return false;
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        if (!letter && !digit && c != '.' && c != '_' && c != '-') return false;
    }
    return true;
}

std::string suggestIconThemeName(std::string_view fileName) {
    const std::size_t dot = fileName.rfind('.');
    if (dot != std::string_view::npos && dot > 0) fileName = fileName.substr(0, dot);
    std::string name;
    for (std::size_t i = 0; i < fileName.size();) {
        const std::size_t length = platform::charLength(fileName, i);
        const std::string_view c = fileName.substr(i, length);
        name += isIconThemeName(c) ? std::string(c) : std::string("_");
        i += length;
    }
    return name.empty() ? std::string("icon") : name;
}

std::optional<std::string> defaultIconThemeDir() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') return platform::joinPath(dataHome, "icons");
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return platform::joinPath(home, ".local/share/icons");
    return std::nullopt;
}

std::vector<int> iconThemeSizes(const IconImageSet& set) {
    const std::vector<int> held = heldSizes(set);
    std::vector<int> sizes;
    if (held.empty()) return sizes;
    for (int size : kHicolorSizes)
        if (size <= held.back()) sizes.push_back(size);
    return sizes;
}

std::string iconThemeFile(const std::string& dir, int size, const std::string& name) {
    const std::string n = std::to_string(size);
    return platform::joinPath(dir, "hicolor/" + n + "x" + n + "/apps/" + name + ".png");
}

std::optional<std::string> existingIconTheme(const std::string& dir, const std::string& name) {
    for (int size : kHicolorSizes) {
        std::string path = iconThemeFile(dir, size, name);
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0) return path;
    }
    return std::nullopt;
}

bool writeIconTheme(const IconImageSet& set, const std::string& dir, const std::string& name,
                    std::vector<std::string>* written, std::string* failure, platform::FileBatch* batch) {
    if (written) written->clear();
    std::vector<std::string> made;
    std::vector<std::unique_ptr<platform::AtomicFile>> files;
    // A failure shows its message, removes the temporary files (with `files`) and the
    // folders this call made, and leaves any earlier set as it was.
    auto fail = [&](const char* message, const std::string& title, const std::string& what) {
        files.clear();
        for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
        if (failure) *failure = what + ": " + message;
        platform::messageBox(message, title);
        return false;
    };
    if (!isIconThemeName(name)) return fail(text::kThemeNameInvalid, name, name + ": not a name for an icon set");
    const std::vector<int> sizes = iconThemeSizes(set);
    if (sizes.empty()) return fail(text::kThemeNoSquareImage, text::kErrorTitle, "the group has no square image");
    const std::string theme = platform::joinPath(dir, "hicolor");
    try {
        // Every size is written and flushed under a temporary name first; only when all of
        // them are there do they take their places, so a failure keeps the old set whole.
        for (int size : sizes) {
            const std::string path = iconThemeFile(dir, size, name);
            const std::string folder(path.substr(0, path.rfind('/')));
            std::string reason;
            if (!platform::makeFolders(folder, &made, &reason))
                return fail(text::kThemeFolderFailed, folder, folder + ": cannot make the folder: " + reason);
            const auto png = sizedPng(set, size, batch ? PngCompression::Fast : PngCompression::Small);
            if (!png) return fail(text::kThemePictureFailed, path, path + ": the picture cannot be made");
            auto& file = files.emplace_back(std::make_unique<platform::AtomicFile>());
            const auto durability = batch ? platform::AtomicFile::Durability::Unflushed : platform::AtomicFile::Durability::Flushed;
            if (!file->create(path) || !file->write(formats::ByteView(*png)) || !file->prepare(durability))
                return fail(text::kThemeWriteFailed, path, path + ": cannot be written: " + file->error());
        }
        for (std::size_t i = 0; batch && i < files.size(); ++i) {
            if (written) written->push_back(files[i]->target());
            batch->add(std::move(files[i]));
        }
        for (std::size_t i = 0; !batch && i < files.size(); ++i) {
            const std::string path = iconThemeFile(dir, sizes[i], name);
            if (!files[i]->publish()) return fail(text::kThemeWriteFailed, path, path + ": cannot be written: " + files[i]->error());
            if (written) written->push_back(path);
        }
    } catch (const std::bad_alloc&) {
        return fail(text::kMemoryFailed, text::kErrorTitle, "out of memory");
    }
    // The sizes an earlier set of this name had and this one lacks go, so that the theme
    // holds one picture of the icon, not two.
    for (int size : kHicolorSizes) {
        if (std::find(sizes.begin(), sizes.end(), size) != sizes.end()) continue;
        ::unlink(iconThemeFile(dir, size, name).c_str());
    }
    // Icon caches compare the theme folder's time with their own; a failure here leaves
    // the icons written, only noticed later.
    std::error_code ec;
    std::filesystem::last_write_time(theme, std::filesystem::file_time_type::clock::now(), ec);
    return true;
}

}  // namespace iconmod
