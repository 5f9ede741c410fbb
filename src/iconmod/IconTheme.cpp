#include "iconmod/IconTheme.h"

#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

#include "iconmod/Iconmod.h"
#include "iconmod/SizedPng.h"
#include "platform/AtomicFile.h"
#include "platform/MbText.h"
#include "platform/MessageBox.h"

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

bool writeIconTheme(const IconImageSet& set, const std::string& dir, const std::string& name,
                    std::vector<std::string>* written) {
    if (written) written->clear();
    if (!isIconThemeName(name)) {
        platform::messageBox(text::kThemeNameInvalid, name);
        return false;
    }
    const std::vector<int> sizes = iconThemeSizes(set);
    if (sizes.empty()) {
        platform::messageBox(text::kThemeNoSquareImage, text::kErrorTitle);
        return false;
    }
    const std::string theme = platform::joinPath(dir, "hicolor");
    try {
        for (int size : sizes) {
            const std::string path = iconThemeFile(dir, size, name);
            const std::string folder(path.substr(0, path.rfind('/')));
            std::error_code ec;
            std::filesystem::create_directories(folder, ec);
            if (ec || !std::filesystem::is_directory(folder, ec)) {
                platform::messageBox(text::kThemeFolderFailed, folder);
                return false;
            }
            const auto png = sizedPng(set, size);
            if (!png) {
                platform::messageBox(text::kThemePictureFailed, path);
                return false;
            }
            if (!platform::AtomicFile::writeWhole(path, formats::ByteView(*png))) {
                platform::messageBox(text::kThemeWriteFailed, path);
                return false;
            }
            if (written) written->push_back(path);
        }
    } catch (const std::bad_alloc&) {
        platform::messageBox(text::kMemoryFailed, text::kErrorTitle);
        return false;
    }
    // Icon caches compare the theme folder's time with their own; a failure here leaves
    // the icons written, only noticed later.
    std::error_code ec;
    std::filesystem::last_write_time(theme, std::filesystem::file_time_type::clock::now(), ec);
    return true;
}

}  // namespace iconmod
