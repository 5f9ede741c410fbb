// vexil-thumbnailer: the thumbnail of a Windows program, DLL or icon file for file managers
// (the freedesktop thumbnailer protocol: `vexil-thumbnailer -s %s %i %o`). It writes icon 0
// of the file, the file's own icon, from the largest image of its group, shrunk to fit
// SIZE, as a PNG with transparency (a .cur or .ani file: its cursor). It links the
// toolkit-free core only, reads only the headers, the resource directory and the one
// image it needs, and never runs module code.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "iconmod/PngExport.h"
#include "platform/AtomicFile.h"
#include "formats/IconDecode.h"
#include "platform/IconExtract.h"

namespace {

constexpr int kDefaultSize = 128;
constexpr int kMaxSize = 1024;

const char kUsage[] =
    "usage: vexil-thumbnailer [-s SIZE] INPUT OUTPUT\n"
    "\n"
    "Writes the icon of a Windows program, DLL, 16-bit module or .ico file (icon 0, from its\n"
    "largest image) or the cursor of a .cur or .ani file to OUTPUT as a PNG with transparency,\n"
    "shrunk to fit SIZE x SIZE pixels (default 128, at most 1024; never enlarged).\n"
    "Exit status: 0 written, 1 no icon (nothing written), 2 usage error.\n";

int usageError(const std::string& message) {
    std::fprintf(stderr, "vexil-thumbnailer: %s\n%s", message.c_str(), kUsage);
    return 2;
}

int failure(const std::string& path, const char* what) {
    std::fprintf(stderr, "vexil-thumbnailer: %s: %s\n", path.c_str(), what);
    return 1;
}

std::optional<int> parseSize(const char* text) {
    const std::size_t n = std::strlen(text);
    if (n == 0 || n > 4) return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (value < 1 || value > kMaxSize) return std::nullopt;
    return value;
}

// The picture's size shrunk, keeping its proportions, so that its longer side is `size`;
// a picture that already fits keeps its size.
std::pair<int, int> fitted(int width, int height, int size) {
    const int longer = std::max(width, height);
    if (longer <= size) return {width, height};
    auto shrink = [size, longer](int side) {
        const long long scaled = (static_cast<long long>(side) * size + longer / 2) / longer;
        return static_cast<int>(std::max(1LL, scaled));
    };
    return {shrink(width), shrink(height)};
}

// Writes all of `bytes` into the empty regular file at `path`, keeping its inode; on
// failure the file is left empty again. False when `path` is not such a file (or turns out
// not to be once opened) or the write fails.
bool writeIntoEmptyFile(const std::string& path, formats::ByteView bytes, bool* wasEmptyFile) {
    *wasEmptyFile = false;
    const int fd = ::open(path.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != 0) {
        ::close(fd);
        return false;
    }
    *wasEmptyFile = true;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    bool ok = done == bytes.size();
    if (!ok && ::ftruncate(fd, 0) != 0) ok = false;
    return ::close(fd) == 0 && ok;
}

// The PNG goes to a temporary file beside OUTPUT that is renamed over it when complete, so
// a failure leaves no output and an existing file keeps its bytes. One exception: an
// OUTPUT that exists and is empty is written in place. Thumbnail services create that file
// themselves and read the thumbnail through the descriptor they keep open (tumbler does),
// which would still see the empty file after a rename; an empty file has no bytes to lose.
bool writeOutput(const std::string& path, formats::ByteView bytes) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0) {
        bool wasEmptyFile = false;
        const bool written = writeIntoEmptyFile(path, bytes, &wasEmptyFile);
        if (wasEmptyFile) return written;
    }
    // A thumbnail is disposable and its reader takes it over at once: no need to wait for
    // the disk.
    return platform::AtomicFile::writeWhole(path, bytes, platform::AtomicFile::Durability::Unflushed);
}

int writeThumbnail(const std::string& output, const formats::ArgbImage& picture) {
    const auto png = iconmod::encodePng(picture, iconmod::PngCompression::Fast);
    if (!png || !writeOutput(output, *png)) return failure(output, "cannot be written");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    int size = kDefaultSize;
    std::vector<std::string> files;
    bool onlyFiles = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (onlyFiles || a.empty() || a[0] != '-' || a == "-") {
            files.push_back(a);
        } else if (a == "--") {
            onlyFiles = true;
        } else if (a == "-h" || a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "-s" || a == "--size") {
            if (i + 1 >= argc) return usageError(a + " needs a size");
            const auto value = parseSize(argv[++i]);
            if (!value) return usageError("SIZE must be a number of pixels from 1 to 1024");
            size = *value;
        } else {
            return usageError("unknown option " + a);
        }
    }
    if (files.size() != 2) return usageError("INPUT and OUTPUT are needed");
    const std::string& input = files[0];
    const std::string& output = files[1];

    const auto file = platform::openIconFile(input);
    if (!file) return failure(input, "cannot be read (not a regular, readable file)");
    if (file->count() == 0) {
        // .cur and .ani files hold no icons: their picture comes by the scale-down rule.
        const auto cursor = file->cursorPicture(size);
        if (!cursor) return failure(input, "holds no icons");
        return writeThumbnail(output, *cursor);
    }
    const auto image = file->largestImage(0);
    if (!image) return failure(input, "damaged icon data");

    const auto [width, height] = fitted(image->width, image->height, size);
    const formats::ArgbImage picture =
        width == image->width && height == image->height ? *image : formats::scaleImage(*image, width, height);
    return writeThumbnail(output, picture);
}
