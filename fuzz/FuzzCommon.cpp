#include "FuzzCommon.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include <fcntl.h>
#include <unistd.h>

#include "iconmod/IconGroups.h"
#include "platform/FileSource.h"
#include "platform/MessageBox.h"

namespace fuzz {
namespace {

// Types tried on every module: all the standard resource types (cursor 1 to HTML 23,
// manifest 24) and a few beyond, so that lookups of absent types run too.
constexpr std::uint16_t kMaxType = 26;
// Bounds on the work per input, so that a large directory does not turn one input into
// a slow unit; the readers themselves have no such limits.
constexpr std::size_t kMaxNamesPerType = 64;
constexpr std::uint32_t kMaxBmpImages = 4;
// A set that names one image thousands of times is saved correctly but makes a file far
// larger than the input; such sets are saved only up to this size to keep units fast.
constexpr std::uint64_t kMaxSavedIco = 16u << 20;

std::string& scratchDir() {
    static std::string dir;
    return dir;
}

void removeScratch() {
    if (scratchDir().empty()) return;
    std::error_code ec;
    std::filesystem::remove_all(scratchDir(), ec);
}

void makeScratch() {
    const char* base = std::filesystem::is_directory("/dev/shm") ? "/dev/shm" : "/tmp";
    std::string pattern = std::string(base) + "/vexil-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data())) propertyFailed("scratch directory", __FILE__, __LINE__);
    scratchDir() = pattern;
    std::atexit(removeScratch);
}

// The ICO file at path holds exactly these images (bitmaps compare without the
// biSizeImage field, which a save writes as 0).
void checkReadBack(const std::string& path, const iconmod::IconImageSet& expected, std::int32_t selection) {
    iconmod::QIconMod copy(path);
    FUZZ_CHECK(copy.fnOpen());
    const std::uint32_t count = selection < 0 ? expected.Count() : 1;
    FUZZ_CHECK(copy.Images->Count() == count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const iconmod::IconImage& want = expected.Images[selection < 0 ? i : static_cast<std::uint32_t>(selection)];
        const iconmod::IconImage& got = copy.Images->Images[i];
        FUZZ_CHECK(got.Data.size() == want.Data.size());
        FUZZ_CHECK(got.IsPng == want.IsPng);
        FUZZ_CHECK(got.Width == want.Width && got.Height == want.Height && got.ColorBits == want.ColorBits);
        for (std::size_t k = 0; k < want.Data.size(); ++k) {
            const bool sizeImageField = !want.IsPng && k >= 20 && k < 24;
            FUZZ_CHECK(got.Data[k] == (sizeImageField ? 0 : want.Data[k]));
        }
    }
}

}  // namespace

void propertyFailed(const char* what, const char* file, int line) {
    std::fprintf(stderr, "fuzz property failed: %s (%s:%d)\n", what, file, line);
    std::abort();
}

void setUp() {
    static bool done = false;
    if (done) return;
    done = true;
    platform::setMessageBoxHandler([](const std::string&, const std::string&, unsigned) { return platform::mb::IdOk; });
    makeScratch();
}

std::string scratchFile(const std::string& name) { return scratchDir() + "/" + name; }

bool writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    while (size > 0 && ok) {
        const ssize_t n = ::write(fd, data, size);
        ok = n > 0;
        if (ok) {
            data += n;
            size -= static_cast<std::size_t>(n);
        }
    }
    return ::close(fd) == 0 && ok;
}

void exerciseModule(formats::ResourceModule& module) {
    (void)module.format();
    for (std::uint16_t type = 1; type <= kMaxType; ++type) {
        const std::size_t declared = module.count(type);
        const auto names = module.names(type);
        if (!names) continue;
        // Every listed name is one the directory declares.
        if (module.format() != formats::ResourceModule::Format::Ne) FUZZ_CHECK(names->size() == declared);
        for (std::size_t i = 0; i < names->size() && i < kMaxNamesPerType; ++i) {
            const formats::ResourceName& name = (*names)[i];
            (void)module.loadAt(type, i);
            (void)module.load(type, name);
            (void)module.languageAt(type, i);
            // The listed text of a name finds a resource the way a group name is looked up.
            if (const auto parsed = formats::parseGroupName(formats::groupNameText(name)))
                (void)module.load(type, *parsed);
        }
        (void)module.loadAt(type, names->size());  // one past the end: nothing
    }
    (void)module.load(formats::kRtGroupIcon, formats::ResourceName::fromString("MAINICON"));
}

void exerciseImageSet(iconmod::QIconMod& source) {
    iconmod::VectorTextList lines;
    iconmod::subListImages(source, lines);
    if (!source.Images) return;
    const iconmod::IconImageSet& set = *source.Images;
    FUZZ_CHECK(lines.items.size() == set.Count());

    const std::string all = scratchFile("all.ico");
    if (set.icoFileSize() <= kMaxSavedIco && source.fnSaveIco(all, -1)) checkReadBack(all, set, -1);
    if (set.Count() > 0) {
        const std::string one = scratchFile("one.ico");
        if (source.fnSaveIco(one, 0)) checkReadBack(one, set, 0);
    }
    for (std::uint32_t i = 0; i < set.Count() && i < kMaxBmpImages; ++i) {
        const iconmod::IconImage& image = set.Images[i];
        (void)source.fnSaveBmp(scratchFile("image.bmp"), image);
        if (const auto picture = iconmod::QIconMod::fnMakeIcon(&image)) {
            FUZZ_CHECK(!picture->isNull());
            FUZZ_CHECK(picture->pixels.size() ==
                       static_cast<std::size_t>(picture->width) * static_cast<std::size_t>(picture->height));
        }
    }
}

void exerciseCursorSet(const iconmod::CursorSet& set) {
    const std::string path = scratchFile("set.cur");
    if (!set.Images.empty() && set.curFileSize() <= kMaxSavedIco && iconmod::saveCur(path, set)) {
        auto file = platform::FileSource::open(path);
        FUZZ_CHECK(file);
        auto bytes = file->read(0, file->size());
        FUZZ_CHECK(bytes);
        const auto back = iconmod::readCursorSet(iconmod::SharedBytes(std::move(*bytes)));
        FUZZ_CHECK(back && back->Images.size() == set.Images.size());
        for (std::size_t i = 0; i < set.Images.size(); ++i) {
            const iconmod::CursorImage& a = set.Images[i];
            const iconmod::CursorImage& b = back->Images[i];
            FUZZ_CHECK(a.HotspotX == b.HotspotX && a.HotspotY == b.HotspotY);
            FUZZ_CHECK(a.Image.Data.size() == b.Image.Data.size() &&
                       std::equal(a.Image.Data.begin(), a.Image.Data.end(), b.Image.Data.begin()));
        }
    }
    for (std::size_t i = 0; i < set.Images.size() && i < kMaxBmpImages; ++i) {
        if (const auto picture = iconmod::QIconMod::fnMakeIcon(&set.Images[i].Image)) FUZZ_CHECK(!picture->isNull());
    }
}

void checkListing(const std::optional<iconmod::ImageEntries>& listed, const iconmod::IconImageSet* loaded) {
    FUZZ_CHECK(listed.has_value() == (loaded != nullptr));
    if (!listed) return;
    FUZZ_CHECK(listed->size() == loaded->Images.size());
    for (std::size_t i = 0; i < listed->size(); ++i) {
        const iconmod::ImageEntry& e = (*listed)[i];
        const iconmod::IconImage& image = loaded->Images[i];
        FUZZ_CHECK(e.Width == image.Width && e.Height == image.Height && e.ColorBits == image.ColorBits);
        FUZZ_CHECK(e.IsPng == image.IsPng && e.Size == image.Data.size());
    }
    for (int size : {16, 32, 48, 300}) {
        const int chosen = iconmod::chooseCursorImage(*listed, size);
        FUZZ_CHECK(listed->empty() ? chosen == -1 : chosen >= 0 && static_cast<std::size_t>(chosen) < listed->size());
    }
}

void checkListing(const std::optional<iconmod::ImageEntries>& listed, const std::optional<iconmod::CursorSet>& loaded) {
    FUZZ_CHECK(listed.has_value() == loaded.has_value());
    if (!listed) return;
    iconmod::IconImageSet images;
    for (const iconmod::CursorImage& c : loaded->Images) images.Images.push_back(c.Image);
    checkListing(listed, &images);
    for (std::size_t i = 0; i < listed->size(); ++i)
        FUZZ_CHECK((*listed)[i].HotspotX == loaded->Images[i].HotspotX && (*listed)[i].HotspotY == loaded->Images[i].HotspotY);
}

void exerciseAnimation(const iconmod::AnimationEntries& animation, const iconmod::SharedBytes& file) {
    FUZZ_CHECK(!animation.Steps.empty() && !animation.Frames.empty());
    for (const formats::AniStep& step : animation.Steps) FUZZ_CHECK(step.frame < animation.Frames.size());
    for (std::size_t i = 0; i < animation.Frames.size() && i < kMaxBmpImages; ++i) {
        const iconmod::ImageEntries& frame = animation.Frames[i];
        for (const iconmod::ImageEntry& e : frame) FUZZ_CHECK(e.Offset <= file.size() && e.Size <= file.size() - e.Offset);
        exerciseCursorSet(iconmod::cursorSetOf(frame, file));
    }
}

}  // namespace fuzz
