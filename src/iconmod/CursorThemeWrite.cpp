// The pictures of a planned cursor theme, its preview and index.theme, and the writer that
// puts the theme in place whole.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <new>

#include <sys/stat.h>
#include <unistd.h>

#include "formats/IconDecode.h"
#include "iconmod/CursorTheme.h"
#include "iconmod/CursorThemeNames.h"
#include "iconmod/IconTheme.h"
#include "iconmod/PixelFont.h"
#include "iconmod/PngExport.h"
#include "platform/AtomicFile.h"
#include "platform/MbText.h"
#include "platform/StagedFolder.h"
#include "platform/SystemError.h"

namespace iconmod {
namespace {

// The preview's layout: a margin round each role's cell, the label under the picture.
constexpr int kPreviewMargin = 8;
constexpr int kPreviewLabelGap = 4;
constexpr std::uint32_t kLightStrip = 0xFFF2F2F2;
constexpr std::uint32_t kDarkStrip = 0xFF2B2B2B;
constexpr std::uint32_t kLightText = 0xFFF2F2F2;
constexpr std::uint32_t kDarkText = 0xFF202020;

// The picture of a chunk: its image decoded and scaled to the chunk's size.
std::optional<formats::ArgbImage> chunkPicture(const CursorImage& image, const XcursorImageInfo& chunk) {
    const auto decoded = formats::decodeIconImage(image.Image.view());
    if (!decoded) return std::nullopt;
    const int w = static_cast<int>(chunk.width), h = static_cast<int>(chunk.height);
    if (decoded->width == w && decoded->height == h) return decoded;
    if (w > decoded->width) return formats::enlargeSmoothly(*decoded, w, h);
    return formats::scaleImage(*decoded, w, h);
}

// Draws `picture` over `image` with its top left at (x, y) (premultiplied source-over).
void drawOver(formats::ArgbImage& image, const formats::ArgbImage& picture, int x, int y) {
    for (int py = 0; py < picture.height; ++py) {
        for (int px = 0; px < picture.width; ++px) {
            const int tx = x + px, ty = y + py;
            if (tx < 0 || ty < 0 || tx >= image.width || ty >= image.height) continue;
            const std::uint32_t s = picture.pixel(px, py), d = image.pixel(tx, ty);
            const std::uint32_t keep = 255 - formats::argbAlpha(s);
            auto mix = [&](std::uint32_t sc, std::uint32_t dc) { return std::min<std::uint32_t>(255, sc + (dc * keep + 127) / 255); };
            image.pixel(tx, ty) = formats::makeArgb(mix(formats::argbAlpha(s), formats::argbAlpha(d)),
                                                    mix(formats::argbRed(s), formats::argbRed(d)),
                                                    mix(formats::argbGreen(s), formats::argbGreen(d)),
                                                    mix(formats::argbBlue(s), formats::argbBlue(d)));
        }
    }
}

// The role's picture for the preview: the first step at the size nearest the preview's
// (the smallest not below it, else the largest), fitted into kCursorPreviewSize pixels.
std::optional<formats::ArgbImage> previewPicture(const CursorThemeRole& role) {
    std::size_t index = role.sizes.size() - 1;
    for (std::size_t i = 0; i < role.sizes.size(); ++i)
        if (role.sizes[i].size >= kCursorPreviewSize) {
            index = i;
            break;
        }
    auto picture = cursorThemePicture(role, index, 0);
    if (!picture) return std::nullopt;
    const int size = kCursorPreviewSize;
    if (picture->width > size || picture->height > size) return formats::shrinkToFit(*picture, size);
    if (picture->width < size && picture->height < size) {
        const int w = picture->width >= picture->height ? size : std::max(1, picture->width * size / picture->height);
        const int h = picture->height >= picture->width ? size : std::max(1, picture->height * size / picture->width);
        return formats::enlargeSmoothly(*picture, w, h);
    }
    return picture;
}

CursorThemeError writeError(const std::string& path, const std::string& reason) {
    return {CursorThemeFailure::Write, path + ": cannot be written: " + reason};
}

}  // namespace

std::optional<formats::ArgbImage> cursorThemePicture(const CursorThemeRole& role, std::size_t sizeIndex, std::size_t step) {
    const std::size_t steps = std::max<std::size_t>(1, role.delaysMs.size());
    if (sizeIndex >= role.sizes.size() || step >= steps) return std::nullopt;
    const std::size_t entry = sizeIndex * steps + step;
    if (entry >= role.layout.entries.size()) return std::nullopt;
    const std::size_t chunk = role.layout.entries[entry];
    if (chunk >= role.chunkImages.size() || chunk >= role.layout.chunks.size()) return std::nullopt;
    try {
        return chunkPicture(role.chunkImages[chunk], role.layout.chunks[chunk]);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

formats::ArgbImage cursorThemePreview(const CursorThemePlan& plan) {
    std::vector<int> widths;
    int total = kPreviewMargin;
    for (const CursorThemeRole& role : plan.roles) {
        widths.push_back(std::max(kCursorPreviewSize, labelWidth(formats::cursorRoleName(role.role))));
        total += widths.back() + kPreviewMargin;
    }
    const int stripHeight = kPreviewMargin + kCursorPreviewSize + kPreviewLabelGap + labelHeight() + kPreviewMargin;
    formats::ArgbImage image(total, 2 * stripHeight, kLightStrip);
    std::fill(image.pixels.begin() + static_cast<std::ptrdiff_t>(image.pixels.size() / 2), image.pixels.end(), kDarkStrip);
    int x = kPreviewMargin;
    for (std::size_t i = 0; i < plan.roles.size(); ++i) {
        const CursorThemeRole& role = plan.roles[i];
        const auto picture = previewPicture(role);
        const char* label = formats::cursorRoleName(role.role);
        for (int strip = 0; strip < 2; ++strip) {
            const int top = strip * stripHeight + kPreviewMargin;
            if (picture) drawOver(image, *picture, x + (widths[i] - picture->width) / 2, top + (kCursorPreviewSize - picture->height) / 2);
            drawLabel(image, x + (widths[i] - labelWidth(label)) / 2, top + kCursorPreviewSize + kPreviewLabelGap, label,
                      strip == 0 ? kDarkText : kLightText);
        }
        x += widths[i] + kPreviewMargin;
    }
    return image;
}

std::string cursorThemeIndex(const CursorThemePlan& plan) {
    return "[Icon Theme]\nName=" + plan.name + "\nComment=" + plan.comment + "\nInherits=" + std::string(kInheritedCursorTheme) + "\n";
}

std::optional<std::string> defaultCursorThemeDir() {
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/') return std::nullopt;
    return platform::joinPath(home, ".icons");
}

std::vector<std::string> cursorThemeChoiceLines(const std::string& name) {
    return {"GNOME: gsettings set org.gnome.desktop.interface cursor-theme " + name,
            "KDE: plasma-apply-cursortheme " + name,
            "X: Xcursor.theme: " + name + " in ~/.Xresources"};
}

CursorThemeResult<CursorThemeWritten> writeCursorTheme(const CursorThemePlan& plan, const std::string& prefix, bool replace) {
    try {
        if (!isIconThemeName(plan.name) || plan.name == "." || plan.name == "..")
            return CursorThemeError{CursorThemeFailure::Name, plan.name + ": not a name for a cursor theme"};
        if (plan.roles.empty() || plan.roles.front().role != formats::CursorRole::Arrow)
            return CursorThemeError{CursorThemeFailure::NoArrow, plan.name + ": the theme has no Arrow cursor"};
        CursorThemeWritten written;
        written.folder = platform::joinPath(prefix, plan.name);
        std::vector<std::string> made;
        std::string reason;
        if (!platform::makeFolders(prefix, &made, &reason)) return writeError(prefix, reason);
        struct stat st {};
        written.replaced = ::lstat(written.folder.c_str(), &st) == 0;
        if (written.replaced && !replace)
            return CursorThemeError{CursorThemeFailure::Exists, written.folder + ": exists; it is replaced only when asked"};

        platform::StagedFolder staged;
        // A failure removes the staging folder (with `staged`) and the folders made for the prefix.
        auto failed = [&](CursorThemeError error) {
            staged.discard();
            for (auto it = made.rbegin(); it != made.rend(); ++it) ::rmdir(it->c_str());
            return error;
        };
        if (!staged.create(written.folder)) return failed(writeError(written.folder, staged.error()));
        const std::string cursors = platform::joinPath(staged.path(), "cursors");
        if (::mkdir(cursors.c_str(), 0777) != 0) return failed(writeError(written.folder + "/cursors", platform::systemErrorText(errno)));

        for (const CursorThemeRole& role : plan.roles) {
            const std::string file(role.names.front());
            const std::string shown = written.folder + "/cursors/" + file;
            auto picture = [&role](std::size_t chunk) -> std::optional<formats::ArgbImage> {
                return chunkPicture(role.chunkImages[chunk], role.layout.chunks[chunk]);
            };
            if (role.chunkImages.size() != role.layout.chunks.size()) return failed(writeError(shown, "the plan is not whole"));
            switch (writeXcursor(platform::joinPath(cursors, file), role.layout, picture)) {
            case XcursorResult::Written: break;
            case XcursorResult::TooManyEntries:
            case XcursorResult::TooLarge:
                return failed({CursorThemeFailure::TooLarge, shown + ": would pass what a cursor file may hold"});
            case XcursorResult::BadImage: return failed(writeError(shown, "a cursor image cannot be decoded"));
            case XcursorResult::NotWritten: return failed(writeError(shown, platform::AtomicFile::lastError()));
            }
            written.files.push_back("cursors/" + file);
            for (std::size_t i = 1; i < role.names.size(); ++i) {
                const std::string alias(role.names[i]);
                if (::symlink(file.c_str(), platform::joinPath(cursors, alias).c_str()) != 0)
                    return failed(writeError(written.folder + "/cursors/" + alias, platform::systemErrorText(errno)));
                written.files.push_back("cursors/" + alias);
            }
        }
        const std::string index = cursorThemeIndex(plan);
        if (!platform::AtomicFile::writeWhole(platform::joinPath(staged.path(), "index.theme"),
                                              formats::ByteView(reinterpret_cast<const std::uint8_t*>(index.data()), index.size())))
            return failed(writeError(written.folder + "/index.theme", platform::AtomicFile::lastError()));
        written.files.push_back("index.theme");
        if (!writePng(platform::joinPath(staged.path(), "preview.png"), cursorThemePreview(plan)))
            return failed(writeError(written.folder + "/preview.png", platform::AtomicFile::lastError()));
        written.files.push_back("preview.png");

        if (!staged.publish(replace ? platform::StagedFolder::Existing::Replace : platform::StagedFolder::Existing::Keep)) {
            if (!replace && staged.error() == platform::systemErrorText(EEXIST))
                return failed({CursorThemeFailure::Exists, written.folder + ": exists; it is replaced only when asked"});
            return failed(writeError(written.folder, staged.error()));
        }
        written.leftover = staged.leftover();
        return written;
    } catch (const std::bad_alloc&) {
        return CursorThemeError{CursorThemeFailure::Memory, prefix + ": out of memory"};
    }
}

}  // namespace iconmod
