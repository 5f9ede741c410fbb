#include "cli/XcursorWriter.h"

#include <X11/Xcursor/Xcursor.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/AtomicFile.h"

namespace cli {
namespace {

constexpr int kMaxSide = 0x7FFF;

struct ImagesDeleter {
    void operator()(XcursorImages* images) const { XcursorImagesDestroy(images); }
};

// The Xcursor file's bytes, made by libXcursor into a memory stream.
std::optional<formats::Bytes> encode(const XcursorImages& images) {
    char* buffer = nullptr;
    std::size_t size = 0;
    FILE* stream = ::open_memstream(&buffer, &size);
    if (!stream) return std::nullopt;
    const bool saved = XcursorFileSaveImages(stream, &images) == XcursorTrue;
    const bool closed = std::fclose(stream) == 0;
    std::optional<formats::Bytes> out;
    if (saved && closed) out.emplace(reinterpret_cast<const std::uint8_t*>(buffer), reinterpret_cast<const std::uint8_t*>(buffer) + size);
    std::free(buffer);
    return out;
}

}  // namespace

bool writeXcursor(const std::string& path, const std::vector<XcursorFrame>& frames) {
    if (frames.empty() || frames.size() > static_cast<std::size_t>(kMaxSide)) return false;
    std::unique_ptr<XcursorImages, ImagesDeleter> images(XcursorImagesCreate(static_cast<int>(frames.size())));
    if (!images) return false;
    for (const XcursorFrame& f : frames) {
        const formats::ArgbImage& p = f.picture;
        if (p.isNull() || p.width > kMaxSide || p.height > kMaxSide) return false;
        XcursorImage* image = XcursorImageCreate(p.width, p.height);
        if (!image) return false;
        images->images[images->nimage++] = image;  // owned by `images` from here on
        image->size = std::max<std::uint32_t>(1, f.nominalSize);
        image->xhot = std::min<std::uint32_t>(f.hotspotX, static_cast<std::uint32_t>(p.width - 1));
        image->yhot = std::min<std::uint32_t>(f.hotspotY, static_cast<std::uint32_t>(p.height - 1));
        image->delay = f.delayMs;
        std::copy(p.pixels.begin(), p.pixels.end(), image->pixels);
    }
    const auto bytes = encode(*images);
    return bytes && platform::AtomicFile::writeWhole(path, *bytes);
}

}  // namespace cli
